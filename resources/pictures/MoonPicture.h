#pragma once

#include <QImage>

// The moon as it stands on a lunar day: new on day 1, first quarter on day 8, full on day 15, last quarter on
// day 22, as seen from the northern hemisphere (waxing lit on the right, waning on the left). The dark part
// is a dark disc with a faint rim, so that even the new moon shows; the corners are transparent.
QImage drawMoonPicture(int lunarDay, int size); // lunarDay 1 to 28, size in pixels
