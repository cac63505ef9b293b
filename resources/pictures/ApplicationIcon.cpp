#include "ApplicationIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace {

const QColor kFaceLight(44, 54, 120);
const QColor kFaceDark(14, 18, 52);
const QColor kGold(240, 194, 74);
const QColor kGoldDark(176, 124, 32);
const QColor kTick(226, 230, 250);
const QColor kMoon(252, 228, 140);
const QColor kMoonEdge(20, 24, 66);

QPointF onCircle(QPointF centre, double radius, double degreesFromTwelve) {
    const double a = degreesFromTwelve * std::numbers::pi / 180;
    return centre + QPointF(radius * std::sin(a), -radius * std::cos(a));
}

} // namespace

QImage drawApplicationIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // All lengths in a 100-unit box.
    painter.scale(size / 100.0, size / 100.0);

    const QPointF centre(46, 54);
    const double faceRadius = 40;

    QRadialGradient face(centre + QPointF(-10, -14), faceRadius * 1.4);
    face.setColorAt(0, kFaceLight);
    face.setColorAt(1, kFaceDark);
    QLinearGradient rim(0, 14, 0, 94);
    rim.setColorAt(0, kGold);
    rim.setColorAt(1, kGoldDark);
    painter.setPen(QPen(QBrush(rim), 5));
    painter.setBrush(face);
    painter.drawEllipse(centre, faceRadius, faceRadius);

    for (int hour = 0; hour < 12; ++hour) {
        const bool quarter = hour % 3 == 0;
        painter.setPen(QPen(kTick, quarter ? 4 : 2.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(onCircle(centre, faceRadius - (quarter ? 12 : 9), hour * 30),
                         onCircle(centre, faceRadius - 5, hour * 30));
    }

    // Ten past ten, the hands framing the moon.
    painter.setPen(QPen(kGold, 5.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, onCircle(centre, 20, 305));
    painter.setPen(QPen(kGold, 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, onCircle(centre, 29, 60));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGold);
    painter.drawEllipse(centre, 4.5, 4.5);

    // The crescent: a disc with a smaller one taken out towards the lower left, over a soft glow.
    const QPointF moonCentre(76, 24);
    const double moonRadius = 19;
    QRadialGradient glow(moonCentre, moonRadius * 1.5);
    glow.setColorAt(0.6, QColor(255, 226, 130, 70));
    glow.setColorAt(1, QColor(255, 226, 130, 0));
    painter.setBrush(glow);
    painter.drawEllipse(moonCentre, moonRadius * 1.5, moonRadius * 1.5);
    QPainterPath disc;
    disc.addEllipse(moonCentre, moonRadius, moonRadius);
    QPainterPath bite;
    bite.addEllipse(moonCentre + QPointF(-10, 8), moonRadius * 0.84, moonRadius * 0.84);
    // A dark edge keeps the crescent apart from the clock's rim and from a light background.
    painter.setPen(QPen(kMoonEdge, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kMoon);
    painter.drawPath(disc.subtracted(bite));
    return image;
}
