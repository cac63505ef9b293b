#pragma once

#include <QImage>

// The sign of the zodiac as a bold gold figure on a round dark-blue badge, readable beside a menu line:
// 1 a heron's wing, 2 a rooster's head, 3 a sword, 4 a pig's face, 5 a drawn bow, 6 an eye, 7 a skull,
// 8 three claw slashes, 9 an hourglass, 10 a rat, 11 a cat's face, 12 a heart with a cross. The corners are
// transparent.
QImage drawZodiacSymbolPicture(int sign, int size); // sign 1 to 12, size in pixels
