#pragma once

#include <QImage>

// The moon as it stands on a lunar day: new on day 1, first quarter on day 8, full on day 15, last quarter on
// day 22, as seen from the northern hemisphere (waxing lit on the right, waning on the left). The dark part
// is a dark disc inside a light rim with a thin dark edge outside it: the dark disc and the edge stand out
// on a light background, the rim on a dark one, so that even the new moon shows on any panel. The corners
// are transparent.
//
// lunarDay 1 to 28; size in pixels; rimWidth, the light rim's width in pixels, is chosen for the size the
// picture is shown at (a picture a panel scales down needs a wider one).
QImage drawMoonPicture(int lunarDay, int size, double rimWidth);
