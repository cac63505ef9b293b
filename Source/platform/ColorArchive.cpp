#include "ColorArchive.h"

#include <QIODevice>

#include <cmath>

namespace {

constexpr qsizetype kArchiveSize = 11;
// A hue is kept in hundredths of a degree, [0, 35999]; 65535 stands for the hue of a grey, which has none.
constexpr quint16 kLargestHue = 35999;
constexpr quint16 kNoHue = 65535;

} // namespace

QByteArray ColorArchive::archivedData(const QColor &color) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << color;
    return data;
}

std::optional<QColor> ColorArchive::unarchivedColor(const QByteArray &data, QString *problem) {
    QString ignored;
    QString &why = problem ? *problem : ignored;
    if (data.size() != kArchiveSize) {
        why = QStringLiteral("the colour data is %1 bytes long, not %2").arg(data.size()).arg(kArchiveSize);
        return std::nullopt;
    }
    // QColor takes whatever numbers it is given; a model or hue out of range would make a colour that has no
    // meaning, so the fields are checked before QColor reads them.
    QDataStream fields(data);
    fields.setVersion(kStreamVersion);
    qint8 model = 0;
    quint16 alpha = 0, first = 0, second = 0, third = 0, fourth = 0;
    fields >> model >> alpha >> first >> second >> third >> fourth;
    switch (model) {
    case QColor::Rgb:
    case QColor::Cmyk:
    case QColor::ExtendedRgb:
        break;
    case QColor::Hsv:
    case QColor::Hsl:
        if (first > kLargestHue && first != kNoHue) {
            why =
                QStringLiteral("the colour data holds the hue %1, beyond 359.99 degrees").arg(first / 100.0);
            return std::nullopt;
        }
        break;
    case QColor::Invalid:
        why = QStringLiteral("the colour data holds no colour");
        return std::nullopt;
    default:
        why = QStringLiteral("the colour data names no colour model (%1)").arg(model);
        return std::nullopt;
    }

    QDataStream in(data);
    in.setVersion(kStreamVersion);
    QColor color;
    in >> color;
    if (in.status() != QDataStream::Ok || !color.isValid()) {
        why = QStringLiteral("the colour data cannot be read");
        return std::nullopt;
    }
    if (model == QColor::ExtendedRgb) {
        const float components[] = {color.redF(), color.greenF(), color.blueF(), color.alphaF()};
        for (const float c : components) {
            if (!std::isfinite(c)) {
                why = QStringLiteral("the colour data holds a component that is not a number");
                return std::nullopt;
            }
        }
        if (color.alphaF() < 0.0f || color.alphaF() > 1.0f) {
            why = QStringLiteral("the colour data holds an opacity outside 0 to 1");
            return std::nullopt;
        }
    }
    return color;
}
