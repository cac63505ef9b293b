#pragma once

#include <QImage>

// Tindral's icon: a crescent moon rising over the top right of a dark clock face with gold hands.
QImage drawApplicationIcon(int size); // size in pixels
