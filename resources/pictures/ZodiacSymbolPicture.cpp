#include "ZodiacSymbolPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace {

const QColor kInk(247, 201, 72);
const QColor kBadgeLight(58, 64, 150);
const QColor kBadgeDark(24, 27, 74);
const QColor kBadgeRim(150, 158, 230, 170);

// Draws one figure in a 100 x 100 box. Ink is gold; a cut takes ink away again, to leave eyes, nostrils and
// gaps in the badge colour.
class Figure {
public:
    explicit Figure(QPainter &painter)
        : m_painter(painter) {}

    void fill(const QPainterPath &path) {
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_painter.fillPath(path, kInk);
    }
    void stroke(const QPainterPath &path, double width) {
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_painter.strokePath(path, pen(kInk, width));
    }
    void cut(const QPainterPath &path) {
        m_painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        m_painter.fillPath(path, Qt::black);
    }
    void cutStroke(const QPainterPath &path, double width) {
        m_painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        m_painter.strokePath(path, pen(Qt::black, width));
    }

private:
    static QPen pen(const QColor &colour, double width) {
        return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    }
    QPainter &m_painter;
};

QPainterPath circle(double x, double y, double r) {
    QPainterPath path;
    path.addEllipse(QPointF(x, y), r, r);
    return path;
}

QPainterPath ellipse(double x, double y, double rx, double ry) {
    QPainterPath path;
    path.addEllipse(QPointF(x, y), rx, ry);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

QPainterPath line(QPointF from, QPointF to) {
    QPainterPath path(from);
    path.lineTo(to);
    return path;
}

// A wing raised to the right: a curved leading edge and four long feathers hanging from it, with gaps wide
// enough to show at menu size.
void heronWing(Figure &f) {
    QPainterPath wing(QPointF(12, 56));
    wing.cubicTo(22, 24, 58, 8, 92, 16);
    wing.quadTo(92, 34, 84, 50); // first feather
    wing.lineTo(70, 40);
    wing.quadTo(74, 58, 66, 72); // second
    wing.lineTo(54, 54);
    wing.quadTo(56, 72, 46, 88); // third
    wing.lineTo(38, 62);
    wing.quadTo(32, 78, 18, 86); // fourth
    wing.quadTo(20, 68, 12, 56);
    f.fill(wing);
}

// A rooster's head facing right: comb, beak, wattle and eye.
void roosterHead(Figure &f) {
    f.fill(circle(34, 30, 10));
    f.fill(circle(47, 24, 11));
    f.fill(circle(60, 30, 9));
    QPainterPath head;
    head.addEllipse(QPointF(48, 50), 20, 19);
    f.fill(head);
    f.fill(polygon({{30, 56}, {50, 60}, {44, 90}, {22, 90}}));
    f.fill(polygon({{64, 40}, {86, 50}, {64, 58}}));
    f.fill(ellipse(62, 70, 7, 10));
    f.cut(circle(54, 45, 4.5));
}

// An upright sword: blade, cross-guard, grip and pommel.
void sword(Figure &f) {
    f.fill(polygon({{50, 4}, {61, 18}, {61, 62}, {39, 62}, {39, 18}}));
    QPainterPath guard;
    guard.addRoundedRect(QRectF(20, 60, 60, 13), 6, 6);
    f.fill(guard);
    QPainterPath grip;
    grip.addRect(QRectF(43, 70, 14, 16));
    f.fill(grip);
    f.fill(circle(50, 89, 8.5));
    f.cutStroke(line({50, 20}, {50, 54}), 4);
}

// A pig's face: round head, pointed ears, a big snout with two nostrils, two eyes.
void pigFace(Figure &f) {
    f.fill(polygon({{18, 42}, {20, 14}, {44, 30}}));
    f.fill(polygon({{82, 42}, {80, 14}, {56, 30}}));
    f.fill(ellipse(50, 54, 32, 28));
    f.cut(ellipse(50, 64, 17, 12));
    f.fill(ellipse(50, 64, 12, 7.5));
    f.cut(ellipse(44, 64, 3, 4));
    f.cut(ellipse(56, 64, 3, 4));
    f.cut(circle(36, 44, 4.5));
    f.cut(circle(64, 44, 4.5));
}

// A bow drawn back with its arrow, pointing right.
void drawnBow(Figure &f) {
    QPainterPath bow;
    bow.moveTo(44, 10);
    bow.cubicTo(88, 20, 88, 80, 44, 90);
    f.stroke(bow, 12);
    QPainterPath string(QPointF(44, 10));
    string.lineTo(22, 50);
    string.lineTo(44, 90);
    f.stroke(string, 5);
    f.stroke(line({20, 50}, {78, 50}), 9);
    f.fill(polygon({{96, 50}, {74, 34}, {80, 50}, {74, 66}}));
    f.fill(polygon({{8, 36}, {26, 50}, {8, 64}, {16, 50}}));
}

// An open eye with rays above it.
void mysticEye(Figure &f) {
    QPainterPath eye(QPointF(6, 60));
    eye.quadTo(50, 16, 94, 60);
    eye.quadTo(50, 104, 6, 60);
    f.fill(eye);
    QPainterPath white(QPointF(22, 60));
    white.quadTo(50, 36, 78, 60);
    white.quadTo(50, 84, 22, 60);
    f.cut(white);
    f.fill(circle(50, 60, 14));
    f.cut(circle(50, 60, 5));
    f.stroke(line({50, 26}, {50, 10}), 9);
    f.stroke(line({27, 32}, {18, 18}), 9);
    f.stroke(line({73, 32}, {82, 18}), 9);
}

// A skull: domed head, deep eye sockets, nose and teeth.
void skull(Figure &f) {
    f.fill(ellipse(50, 42, 32, 30));
    QPainterPath jaw;
    jaw.addRoundedRect(QRectF(32, 58, 36, 30), 8, 8);
    f.fill(jaw);
    f.cut(ellipse(37, 46, 9, 10));
    f.cut(ellipse(63, 46, 9, 10));
    f.cut(polygon({{50, 56}, {56, 68}, {44, 68}}));
    f.cutStroke(line({43, 76}, {43, 90}), 4);
    f.cutStroke(line({57, 76}, {57, 90}), 4);
    f.cutStroke(line({50, 76}, {50, 90}), 4);
}

// Three claw slashes from upper right to lower left, thick in the middle and sharp at both ends.
void clawSlashes(Figure &f) {
    for (int i = -1; i <= 1; ++i) {
        const QPointF shift(i * 22, i * 6);
        QPainterPath slash(QPointF(74, 8) + shift);
        slash.cubicTo(QPointF(78, 42) + shift, QPointF(54, 70) + shift, QPointF(22, 88) + shift);
        slash.cubicTo(QPointF(36, 58) + shift, QPointF(54, 36) + shift, QPointF(74, 8) + shift);
        f.fill(slash);
    }
}

// The outline of an hourglass's glass between y = 50 - halfHeight and 50 + halfHeight: straight across at
// both ends, the sides curving in to a waist at y = 50.
QPainterPath glassOutline(double halfWidth, double halfHeight, double waist) {
    const double left = 50 - halfWidth;
    const double right = 50 + halfWidth;
    const double top = 50 - halfHeight;
    const double bottom = 50 + halfHeight;
    const double bend = halfHeight * 0.68; // how far along the sides stay wide
    QPainterPath path(QPointF(left, top));
    path.lineTo(right, top);
    path.cubicTo(right, top + bend, 50 + waist, 44, 50 + waist, 50);
    path.cubicTo(50 + waist, 56, right, bottom - bend, right, bottom);
    path.lineTo(left, bottom);
    path.cubicTo(left, bottom - bend, 50 - waist, 56, 50 - waist, 50);
    path.cubicTo(50 - waist, 44, left, top + bend, left, top);
    return path;
}

// An hourglass with its sand run mostly to the bottom.
void hourglass(Figure &f) {
    QPainterPath top;
    top.addRoundedRect(QRectF(20, 8, 60, 11), 4, 4);
    f.fill(top);
    QPainterPath bottom;
    bottom.addRoundedRect(QRectF(20, 81, 60, 11), 4, 4);
    f.fill(bottom);
    f.fill(glassOutline(22, 31, 5));
    f.cut(glassOutline(14, 24, 1.5));
    f.fill(polygon({{38, 74}, {50, 60}, {62, 74}}));
    f.fill(polygon({{42, 32}, {58, 32}, {50, 42}}));
}

// A rat facing left: pointed snout, round ear, long curling tail.
void rat(Figure &f) {
    QPainterPath body(QPointF(10, 60));
    body.cubicTo(24, 40, 44, 34, 62, 40);
    body.cubicTo(80, 46, 82, 70, 70, 74);
    body.lineTo(26, 74);
    body.cubicTo(20, 70, 16, 64, 10, 60);
    f.fill(body);
    f.fill(circle(36, 38, 10));
    f.cut(circle(36, 38, 4));
    f.cut(circle(26, 52, 3.5));
    QPainterPath tail(QPointF(72, 68));
    tail.cubicTo(92, 66, 94, 44, 84, 32);
    tail.cubicTo(78, 24, 68, 26, 70, 34);
    f.stroke(tail, 6);
    f.fill(polygon({{30, 72}, {40, 72}, {36, 84}, {28, 84}}));
    f.fill(polygon({{56, 72}, {66, 72}, {64, 84}, {56, 84}}));
}

// A cat sitting up, seen from the side: pointed ears, round head, a tail curled round its feet.
void sittingCat(Figure &f) {
    f.fill(circle(40, 28, 15));
    f.fill(polygon({{26, 24}, {27, 2}, {42, 15}}));
    f.fill(polygon({{40, 15}, {55, 3}, {55, 26}}));
    QPainterPath body(QPointF(30, 36));
    body.cubicTo(18, 54, 18, 80, 24, 92);
    body.lineTo(70, 92);
    body.cubicTo(78, 74, 68, 46, 48, 38);
    body.closeSubpath();
    f.fill(body);
    QPainterPath tail(QPointF(66, 88));
    tail.cubicTo(92, 90, 96, 62, 84, 50);
    f.stroke(tail, 9);
    f.cutStroke(line({42, 70}, {42, 96}), 4);
    f.cut(ellipse(46, 27, 2.5, 4));
}

// A heart with a cross cut into it.
void healingHeart(Figure &f) {
    QPainterPath heart(QPointF(50, 90));
    heart.cubicTo(22, 70, 6, 52, 8, 34);
    heart.cubicTo(10, 16, 36, 8, 50, 28);
    heart.cubicTo(64, 8, 90, 16, 92, 34);
    heart.cubicTo(94, 52, 78, 70, 50, 90);
    f.fill(heart);
    QPainterPath upright;
    upright.addRect(QRectF(43, 30, 14, 38));
    QPainterPath bar;
    bar.addRect(QRectF(31, 42, 38, 14));
    f.cut(upright.united(bar));
}

} // namespace

QImage drawZodiacSymbolPicture(int sign, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const double radius = size / 2.0 - 0.5;
    const QPointF centre(size / 2.0, size / 2.0);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient gradient(centre.x(), centre.y() - radius * 0.4, radius * 1.5);
    gradient.setColorAt(0, kBadgeLight);
    gradient.setColorAt(1, kBadgeDark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(centre, radius, radius);
    const double rimWidth = std::max(1.0, size / 36.0);
    painter.setPen(QPen(kBadgeRim, rimWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, radius - rimWidth / 2, radius - rimWidth / 2);

    // The figure goes on a layer of its own, so that its cuts show the badge instead of clearing it.
    QImage layer(size, size, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter ink(&layer);
        ink.setRenderHint(QPainter::Antialiasing);
        // The 100-unit box fills 78 % of the badge's width; the figures keep their corners clear, so that
        // nothing reaches past the circle.
        const double box = 2 * radius * 0.78;
        ink.translate(centre.x() - box / 2, centre.y() - box / 2);
        ink.scale(box / 100, box / 100);
        Figure figure(ink);
        switch (sign) {
        case 1:
            heronWing(figure);
            break;
        case 2:
            roosterHead(figure);
            break;
        case 3:
            sword(figure);
            break;
        case 4:
            pigFace(figure);
            break;
        case 5:
            drawnBow(figure);
            break;
        case 6:
            mysticEye(figure);
            break;
        case 7:
            skull(figure);
            break;
        case 8:
            clawSlashes(figure);
            break;
        case 9:
            hourglass(figure);
            break;
        case 10:
            rat(figure);
            break;
        case 11:
            sittingCat(figure);
            break;
        case 12:
            healingHeart(figure);
            break;
        default:
            break;
        }
    }
    painter.drawImage(0, 0, layer);
    return image;
}
