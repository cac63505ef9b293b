#pragma once

#include <QImage>

// The sun half risen over a line of hills, on a round dark-blue badge like the zodiac's signs, shown beside
// the Date/Time pane's sunrise and sunset. The corners are transparent.
QImage drawDawnDuskPicture(int size); // size in pixels
