#pragma once

// Edge lengths in pixels of the square pictures, at single density; each is drawn once more at twice that.
namespace PictureSizes {

constexpr int menu = 18;  // beside a menu line
constexpr int panel = 48; // the moon a status host loads by name and scales down to its panel
constexpr int pane = 64;  // in the main window's Date/Time pane
constexpr int icon = 128; // the application icon

} // namespace PictureSizes
