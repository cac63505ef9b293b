#pragma once

#include <QByteArray>
#include <QColor>
#include <QDataStream>
#include <QString>

#include <optional>

// A colour as data and back, opacity included, losing nothing: the windowColor of a timer record. The data
// is QColor's own QDataStream form at a fixed stream version, 11 bytes: the colour model, then the opacity
// and four components as 16-bit numbers, most significant byte first.
class ColorArchive {
public:
    static constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;

    static QByteArray archivedData(const QColor &color);
    // The colour, or nothing (with the reason) for data that is not an archived valid colour.
    static std::optional<QColor> unarchivedColor(const QByteArray &data, QString *problem = nullptr);
};
