#include "ConstellationPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

struct Star {
    double x, y;   // in a 100 x 100 sky, y downwards
    int magnitude; // 1 brightest .. 3 faintest
};

struct Constellation {
    std::vector<Star> stars;
    std::vector<std::pair<int, int>> lines; // indexes into stars
};

// One figure per sign, in the order of the signs.
const std::array<Constellation, 12> &constellations() {
    static const std::array<Constellation, 12> table{{
        // 1 the heron's wing: a long leading edge and the feather tips below it
        {{{14, 72, 2},
          {28, 50, 1},
          {46, 36, 2},
          {66, 26, 1},
          {88, 16, 2},
          {72, 44, 3},
          {54, 58, 2},
          {36, 72, 3}},
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 0}}},
        // 2 the rooster: comb, beak, neck, body, tail and leg
        {{{70, 22, 2},
          {88, 28, 3},
          {62, 10, 3},
          {62, 40, 2},
          {44, 58, 1},
          {18, 30, 2},
          {12, 54, 3},
          {48, 86, 2},
          {68, 62, 3}},
         {{0, 1}, {0, 2}, {0, 3}, {3, 8}, {8, 4}, {4, 5}, {4, 6}, {4, 7}}},
        // 3 the warrior: head, shoulders, waist, feet, a raised sword
        {{{48, 12, 2},
          {34, 30, 2},
          {62, 28, 1},
          {48, 54, 2},
          {32, 88, 2},
          {64, 86, 3},
          {88, 8, 2},
          {16, 48, 3}},
         {{0, 1}, {0, 2}, {1, 3}, {2, 3}, {3, 4}, {3, 5}, {2, 6}, {1, 7}}},
        // 4 the pig: a square body, snout, ear and two legs
        {{{22, 40, 2},
          {62, 34, 1},
          {74, 62, 2},
          {30, 70, 2},
          {90, 46, 3},
          {66, 14, 3},
          {34, 90, 3},
          {72, 86, 3}},
         {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {1, 4}, {1, 5}, {3, 6}, {2, 7}}},
        // 5 the centaur's bow and arrow
        {{{12, 84, 3}, {34, 62, 2}, {56, 42, 1}, {86, 14, 2}, {30, 26, 2}, {66, 22, 3}, {76, 64, 2}},
         {{0, 1}, {1, 2}, {2, 3}, {4, 5}, {5, 3}, {3, 6}, {6, 1}, {1, 4}}},
        // 6 the mystic's ring around one bright star
        {{{50, 50, 1}, {80, 50, 2}, {65, 76, 3}, {35, 76, 2}, {20, 50, 3}, {35, 24, 2}, {65, 24, 3}},
         {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 1}}},
        // 7 the skelkin: a spine with ribs
        {{{50, 10, 2},
          {50, 30, 2},
          {50, 52, 1},
          {50, 72, 2},
          {52, 92, 3},
          {28, 34, 3},
          {72, 34, 3},
          {26, 58, 3},
          {74, 58, 2}},
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {1, 5}, {1, 6}, {2, 7}, {2, 8}}},
        // 8 the shredders: two claws side by side
        {{{18, 20, 2},
          {34, 44, 1},
          {48, 68, 2},
          {58, 88, 3},
          {46, 10, 2},
          {64, 34, 2},
          {80, 58, 1},
          {88, 80, 3}},
         {{0, 1}, {1, 2}, {2, 3}, {4, 5}, {5, 6}, {6, 7}, {1, 5}}},
        // 9 the ancient's hourglass
        {{{22, 14, 2}, {78, 14, 2}, {50, 50, 1}, {22, 86, 2}, {78, 86, 2}, {50, 76, 3}},
         {{0, 1}, {0, 2}, {1, 2}, {2, 3}, {2, 4}, {3, 4}}},
        // 10 the rat: snout, ear, body and a long tail
        {{{10, 56, 2}, {28, 38, 3}, {40, 54, 1}, {60, 64, 2}, {74, 76, 3}, {88, 64, 3}, {90, 42, 2}},
         {{0, 1}, {1, 2}, {0, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}}},
        // 11 the cat's head with its ears
        {{{26, 14, 2}, {40, 36, 3}, {60, 36, 3}, {74, 14, 2}, {80, 54, 2}, {50, 82, 1}, {20, 54, 2}},
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 0}}},
        // 12 the healer's cross
        {{{50, 12, 2}, {50, 88, 2}, {14, 46, 2}, {86, 46, 2}, {50, 46, 1}, {68, 72, 3}},
         {{4, 0}, {4, 1}, {4, 2}, {4, 3}}},
    }};
    return table;
}

const QColor kSkyTop(8, 12, 40);
const QColor kSkyBottom(28, 40, 92);
const QColor kLine(150, 178, 240, 150);
const QColor kStar(255, 247, 222);

double starRadius(int magnitude) // in sky units
{
    switch (magnitude) {
    case 1:
        return 4.6;
    case 2:
        return 3.4;
    default:
        return 2.4;
    }
}

// A few faint stars that are the same on every build: a small linear congruential sequence per sign.
std::vector<QPointF> faintStars(int sign) {
    std::vector<QPointF> stars;
    quint32 state = 2654435761u * quint32(sign);
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return 6 + (state >> 8) % 8800 / 100.0; // 6 .. 94
    };
    for (int i = 0; i < 12; ++i) {
        const double x = next();
        const double y = next();
        stars.emplace_back(x, y);
    }
    return stars;
}

} // namespace

QImage drawConstellationPicture(int sign, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, size);
    sky.setColorAt(0, kSkyTop);
    sky.setColorAt(1, kSkyBottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(0, 0, size, size), size * 0.22, size * 0.22);
    if (sign < 1 || sign > 12)
        return image;

    const double unit = size / 100.0;
    auto at = [unit](double x, double y) { return QPointF(x * unit, y * unit); };
    // Never thinner than about half a pixel and never smaller than about a pixel across, or the small
    // pictures would lose their lines and stars.
    const double lineWidth = std::max(0.55, 1.1 * unit);
    const double minimumRadius = 0.6;

    for (const QPointF &p : faintStars(sign)) {
        painter.setBrush(QColor(200, 210, 255, 110));
        const double r = std::max(minimumRadius * 0.8, 1.2 * unit);
        painter.drawEllipse(at(p.x(), p.y()), r, r);
    }

    const Constellation &figure = constellations()[size_t(sign - 1)];
    painter.setPen(QPen(kLine, lineWidth, Qt::SolidLine, Qt::RoundCap));
    for (const auto &[from, to] : figure.lines) {
        const Star &a = figure.stars[size_t(from)];
        const Star &b = figure.stars[size_t(to)];
        painter.drawLine(at(a.x, a.y), at(b.x, b.y));
    }
    painter.setPen(Qt::NoPen);
    for (const Star &star : figure.stars) {
        const double r = std::max(minimumRadius, starRadius(star.magnitude) * unit);
        const QPointF centre = at(star.x, star.y);
        QRadialGradient glow(centre, r * 2.4);
        glow.setColorAt(0, QColor(255, 245, 210, 120));
        glow.setColorAt(1, QColor(255, 245, 210, 0));
        painter.setBrush(glow);
        painter.drawEllipse(centre, r * 2.4, r * 2.4);
        painter.setBrush(kStar);
        painter.drawEllipse(centre, r, r);
    }
    return image;
}
