#include "DawnDuskPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace {

const QColor kSkyHigh(30, 40, 92);
const QColor kSkyLow(196, 104, 70);
const QColor kSun(252, 206, 92);
const QColor kSunEdge(214, 128, 32);
const QColor kHills(26, 30, 52);
const QColor kBadgeEdge(226, 230, 250);

} // namespace

QImage drawDawnDuskPicture(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // All lengths in a 100-unit box.
    painter.scale(size / 100.0, size / 100.0);

    QPainterPath badge;
    badge.addEllipse(QPointF(50, 50), 46, 46);
    QLinearGradient sky(0, 4, 0, 96);
    sky.setColorAt(0, kSkyHigh);
    sky.setColorAt(0.7, kSkyLow);
    painter.fillPath(badge, sky);
    painter.setClipPath(badge);

    // Rays, then the disc, its lower half hidden by the hills.
    const QPointF sunCentre(50, 64);
    painter.setPen(QPen(kSun, 4, Qt::SolidLine, Qt::RoundCap));
    for (int ray = 0; ray <= 6; ++ray) {
        const double a = std::numbers::pi * ray / 6;
        painter.drawLine(sunCentre + QPointF(-27 * std::cos(a), -27 * std::sin(a)),
                         sunCentre + QPointF(-36 * std::cos(a), -36 * std::sin(a)));
    }
    painter.setPen(QPen(kSunEdge, 2.5));
    painter.setBrush(kSun);
    painter.drawEllipse(sunCentre, 20, 20);

    QPainterPath hills(QPointF(0, 70));
    hills.cubicTo(QPointF(22, 60), QPointF(36, 62), QPointF(52, 68));
    hills.cubicTo(QPointF(68, 74), QPointF(84, 62), QPointF(100, 66));
    hills.lineTo(100, 100);
    hills.lineTo(0, 100);
    hills.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.fillPath(hills, kHills);

    // A light edge, so the badge stands clear of a dark window as well as a light one.
    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kBadgeEdge, 3));
    painter.drawEllipse(QPointF(50, 50), 46, 46);
    return image;
}
