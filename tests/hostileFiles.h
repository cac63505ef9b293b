#pragma once

// Property-list files that a broken disk, a sync tool or a hostile program could leave at the settings path,
// built byte by byte here (never with the code under test).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

namespace HostileFiles {

// A reference or offset of `size` bytes, big-endian.
inline QByteArray bigEndian(quint64 value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xff);
    return bytes;
}

// A marker with its count: in the low four bits, or as an integer object after 0xF.
inline QByteArray marker(int type, quint64 count) {
    if (count < 15)
        return QByteArray(1, char((type << 4) | int(count)));
    return QByteArray(1, char((type << 4) | 0xF)) + QByteArray(1, char(0x12)) + bigEndian(count, 4);
}

inline QByteArray asciiString(const QByteArray &text) {
    return marker(0x5, quint64(text.size())) + text;
}

// A one-byte integer (0 to 255).
inline QByteArray smallInteger(int value) {
    return QByteArray(1, char(0x10)) + QByteArray(1, char(value));
}

inline QByteArray list(const QList<quint64> &refs, int refSize) {
    QByteArray bytes = marker(0xA, quint64(refs.size()));
    for (quint64 ref : refs)
        bytes += bigEndian(ref, refSize);
    return bytes;
}

inline QByteArray dictionary(const QList<quint64> &keys, const QList<quint64> &values, int refSize) {
    QByteArray bytes = marker(0xD, quint64(keys.size()));
    for (quint64 ref : keys)
        bytes += bigEndian(ref, refSize);
    for (quint64 ref : values)
        bytes += bigEndian(ref, refSize);
    return bytes;
}

// "bplist00", the objects, a table of 4-byte offsets and the 32-byte trailer.
inline QByteArray binary(const QList<QByteArray> &objects, int refSize, quint64 top = 0) {
    QByteArray bytes("bplist00");
    QByteArray table;
    for (const QByteArray &object : objects) {
        table += bigEndian(quint64(bytes.size()), 4);
        bytes += object;
    }
    const quint64 tableOffset = quint64(bytes.size());
    bytes += table;
    bytes += QByteArray(6, '\0') + char(4) + char(refSize);
    bytes += bigEndian(quint64(objects.size()), 8) + bigEndian(top, 8) + bigEndian(tableOffset, 8);
    return bytes;
}

// {"k": [[[ ... [0] ... ]]]}: `depth` lists, each the only item of the one before.
inline QByteArray deepBinaryChain(int depth) {
    QList<QByteArray> objects{dictionary({1}, {2}, 4), asciiString("k")};
    for (int i = 0; i < depth; ++i)
        objects.append(list({quint64(3 + i)}, 4));
    objects.append(smallInteger(0));
    return binary(objects, 4);
}

// {"k": L30} where each L(n) = [L(n-1), L(n-1)] and L0 = 7: 2^levels references to one integer.
inline QByteArray sharedReferences(int levels) {
    QList<QByteArray> objects{dictionary({1}, {2}, 1), asciiString("k")};
    for (int i = 0; i < levels; ++i)
        objects.append(list({quint64(3 + i), quint64(3 + i)}, 1));
    objects.append(smallInteger(7));
    return binary(objects, 1);
}

// {"hostileList": [0, 1, ..., 255, 0, 1, ...]}: `items` distinct integer objects.
inline QByteArray longBinaryList(int items) {
    QList<quint64> refs;
    for (int i = 0; i < items; ++i)
        refs.append(quint64(3 + i));
    QList<QByteArray> objects{dictionary({1}, {2}, 4), asciiString("hostileList"), list(refs, 4)};
    for (int i = 0; i < items; ++i)
        objects.append(smallInteger(i % 256));
    return binary(objects, 4);
}

// {"k": [[[ ... ]]]} in XML on one line, `depth` lists deep.
inline QByteArray deepXml(int depth) {
    return "<plist version=\"1.0\"><dict><key>k</key>" + QByteArray("<array>").repeated(depth) +
           QByteArray("</array>").repeated(depth) + "</dict></plist>";
}

inline QByteArray nulInXmlString() {
    static const char text[] =
        "<plist version=\"1.0\"><dict><key>k</key><string>a\0b</string></dict></plist>";
    return QByteArray(text, sizeof text - 1);
}

} // namespace HostileFiles
