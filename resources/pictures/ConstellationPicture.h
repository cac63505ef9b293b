#pragma once

#include <QImage>

// The stars of a zodiac sign on a square of night sky with rounded corners: its bright stars as dots of three
// sizes joined by thin lines that trace the sign's figure, and a few faint stars around them.
QImage drawConstellationPicture(int sign, int size); // sign 1 to 12, size in pixels
