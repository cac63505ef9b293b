#include "PropertyListCodec.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QTimeZone>

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Property-list dates count from 2001-01-01 00:00:00 UTC.
constexpr qint64 kPlistEpochFrom1970 = 978307200;
constexpr char kNotAPropertyList[] = "the file is not a property list";
constexpr qint64 kLargestSigned = std::numeric_limits<qint64>::max();

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

QString takeString(char *text) {
    QString result = QString::fromUtf8(text ? text : "");
    std::free(text);
    return result;
}

// A key as messages quote it: its first line, at most 40 characters.
QString quotedKey(const QString &key) {
    constexpr qsizetype kMost = 40;
    QString shown = key.section(u'\n', 0, 0);
    const bool cut = shown.size() > kMost || shown.size() < key.size();
    shown.truncate(kMost);
    return QStringLiteral("“%1%2”").arg(shown, cut ? QStringLiteral("…") : QString());
}

QString placeOf(const QStringList &where) {
    if (where.isEmpty())
        return QStringLiteral("at the top level");
    // The path to a value nested hundreds deep would fill the screen: its start and its end say where.
    constexpr qsizetype kShown = 3;
    if (where.size() <= 2 * kShown)
        return QStringLiteral("at ") + where.join(QStringLiteral(" → "));
    return QStringLiteral("at ") + where.first(kShown).join(QStringLiteral(" → ")) +
           QStringLiteral(" → … → ") + where.last(kShown).join(QStringLiteral(" → "));
}

QString tooDeep() {
    return QStringLiteral("it is nested deeper than %1 levels").arg(PropertyListCodec::kMaxDepth);
}

QString tooMany() {
    return QStringLiteral("it holds more than %1 values, shared references counted each time")
        .arg(PropertyListCodec::kMaxValues);
}

QString holdsNul(const char *what) {
    return QStringLiteral("%1 holds a NUL character").arg(QString::fromLatin1(what));
}

// A whole number above the qint64 range. libplist tells such a number from a negative one only in its XML
// reader, so the node is made by that reader.
plist_t unsignedNode(quint64 value) {
    if (value <= quint64(kLargestSigned))
        return plist_new_uint(value);
    const QByteArray xml =
        "<plist version=\"1.0\"><integer>" + QByteArray::number(value) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    return node ? node : plist_new_uint(value);
}

// The binary form: "bplist00", the objects, a table of their offsets, and a 32-byte trailer that gives the
// width of an offset and of an object reference, the number of objects, the top object and where the table
// starts. Every number read from the data is checked against the data before it is used.
class BinaryDecoder {
public:
    explicit BinaryDecoder(const QByteArray &data)
        : m_data(reinterpret_cast<const uchar *>(data.constData()))
        , m_size(data.size()) {}

    PropertyListCodec::Decoded run() {
        PropertyListCodec::Decoded result;
        if (!readTrailer()) {
            result.problem = QString::fromLatin1(kNotAPropertyList);
            return result;
        }
        m_onPath.assign(size_t(m_count), false);
        QVariant value;
        if (!decodeObject(m_top, 0, &value)) {
            result.problem = m_problem.isEmpty()
                                 ? QString::fromLatin1(kNotAPropertyList)
                                 : m_problem + QStringLiteral(" (") + placeOf(m_where) + QStringLiteral(")");
            return result;
        }
        result.value = std::move(value);
        return result;
    }

private:
    static constexpr qsizetype kHeaderSize = 8;
    static constexpr qsizetype kTrailerSize = 32;

    // A big-endian unsigned number of `bytes` bytes (1 to 8) at `at`, inside the objects' part of the data.
    bool readUnsigned(qsizetype at, int bytes, quint64 *out) const {
        if (bytes < 1 || bytes > 8 || at < 0 || at > m_end - bytes)
            return false;
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | m_data[at + i];
        *out = value;
        return true;
    }

    bool readTrailer() {
        if (m_size < kHeaderSize + 1 + kTrailerSize)
            return false;
        const uchar *trailer = m_data + m_size - kTrailerSize;
        m_offsetSize = trailer[6];
        m_refSize = trailer[7];
        const auto big = [&](int at) {
            quint64 value = 0;
            for (int i = 0; i < 8; ++i)
                value = (value << 8) | trailer[at + i];
            return value;
        };
        m_count = big(8);
        m_top = big(16);
        const quint64 table = big(24);
        m_end = m_size - kTrailerSize;
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return false;
        if (m_count == 0 || m_top >= m_count || table < quint64(kHeaderSize) || table > quint64(m_end))
            return false;
        if (m_count > (quint64(m_end) - table) / quint64(m_offsetSize))
            return false;
        m_table = qsizetype(table);
        return true;
    }

    bool offsetOf(quint64 index, qsizetype *offset) const {
        quint64 value = 0;
        if (index >= m_count ||
            !readUnsigned(m_table + qsizetype(index) * m_offsetSize, m_offsetSize, &value))
            return false;
        if (value < quint64(kHeaderSize) || value >= quint64(m_table))
            return false;
        *offset = qsizetype(value);
        return true;
    }

    // The count of a string, data or container: the marker's low four bits, or the integer object after the
    // marker when they are all set.
    bool countOf(qsizetype *at, int info, quint64 *count) const {
        if (info != 0xF) {
            *count = quint64(info);
            return true;
        }
        if (*at >= m_end || (m_data[*at] & 0xF0) != 0x10 || (m_data[*at] & 0x0F) > 3)
            return false;
        const int bytes = 1 << (m_data[*at] & 0x0F);
        if (!readUnsigned(*at + 1, bytes, count))
            return false;
        *at += 1 + bytes;
        return true;
    }

    bool fits(qsizetype at, quint64 count, quint64 width) const {
        return width == 0 || count <= quint64(m_end - at) / width;
    }

    bool fail(QString problem) {
        m_problem = std::move(problem);
        return false;
    }

    bool decodeObject(quint64 index, int depth, QVariant *out) {
        qsizetype at = 0;
        if (!offsetOf(index, &at))
            return false;
        if (++m_values > PropertyListCodec::kMaxValues)
            return fail(tooMany());
        const int type = m_data[at] >> 4;
        const int info = m_data[at] & 0x0F;
        ++at;
        switch (type) {
        case 0x0:
            if (info != 0x8 && info != 0x9)
                return false;
            *out = info == 0x9;
            return true;
        case 0x1:
            return decodeInteger(at, info, out);
        case 0x2: {
            quint64 bits = 0;
            if (info == 2 && readUnsigned(at, 4, &bits)) {
                float real = 0;
                const quint32 narrow = quint32(bits);
                std::memcpy(&real, &narrow, sizeof real);
                *out = double(real);
                return true;
            }
            if (info != 3 || !readUnsigned(at, 8, &bits))
                return false;
            double real = 0;
            std::memcpy(&real, &bits, sizeof real);
            *out = real;
            return true;
        }
        case 0x3: {
            quint64 bits = 0;
            if (info != 3 || !readUnsigned(at, 8, &bits))
                return false;
            double seconds = 0;
            std::memcpy(&seconds, &bits, sizeof seconds);
            // Years 1 to 9999 and a little more: what QDateTime and a settings file can mean.
            if (!std::isfinite(seconds) || std::fabs(seconds) > 3.2e11)
                return fail(QStringLiteral("a date is out of range"));
            *out = QDateTime::fromMSecsSinceEpoch(
                kPlistEpochFrom1970 * 1000 + qint64(std::trunc(seconds * 1000)), QTimeZone::utc());
            return true;
        }
        case 0x4: {
            quint64 length = 0;
            if (!countOf(&at, info, &length) || !fits(at, length, 1))
                return false;
            *out = QByteArray(reinterpret_cast<const char *>(m_data + at), qsizetype(length));
            return true;
        }
        case 0x5:
        case 0x6: {
            QString text;
            if (!decodeString(type, at, info, &text))
                return false;
            *out = std::move(text);
            return true;
        }
        case 0x8: {
            quint64 value = 0;
            if (!readUnsigned(at, info + 1, &value))
                return false;
            *out = value <= quint64(kLargestSigned) ? QVariant(qint64(value)) : QVariant(value);
            return true;
        }
        case 0xA:
        case 0xC:
        case 0xD:
            return decodeContainer(index, type, at, info, depth, out);
        default:
            return false;
        }
    }

    bool decodeInteger(qsizetype at, int info, QVariant *out) {
        quint64 value = 0;
        if (info <= 2) {
            if (!readUnsigned(at, 1 << info, &value))
                return false;
            *out = qint64(value);
            return true;
        }
        if (info == 3) {
            if (!readUnsigned(at, 8, &value))
                return false;
            *out = qint64(value); // eight bytes hold a signed number
            return true;
        }
        quint64 high = 0;
        if (info != 4 || !readUnsigned(at, 8, &high) || !readUnsigned(at + 8, 8, &value))
            return false;
        // Sixteen bytes hold a signed 128-bit number; what fits in 64 bits keeps its sign.
        if (high == 0)
            *out = value <= quint64(kLargestSigned) ? QVariant(qint64(value)) : QVariant(value);
        else if (high == ~quint64(0) && value > quint64(kLargestSigned))
            *out = qint64(value);
        else
            return fail(QStringLiteral("an integer does not fit in 64 bits"));
        return true;
    }

    bool decodeString(int type, qsizetype at, int info, QString *out) {
        quint64 length = 0;
        if (!countOf(&at, info, &length))
            return false;
        if (type == 0x5) {
            if (!fits(at, length, 1))
                return false;
            const char *bytes = reinterpret_cast<const char *>(m_data + at);
            if (std::memchr(bytes, 0, size_t(length)))
                return fail(holdsNul("a string"));
            *out = QString::fromUtf8(bytes, qsizetype(length));
            return true;
        }
        if (!fits(at, length, 2))
            return false;
        QString text(qsizetype(length), Qt::Uninitialized);
        for (qsizetype i = 0; i < qsizetype(length); ++i) {
            const char16_t unit = char16_t((m_data[at + 2 * i] << 8) | m_data[at + 2 * i + 1]);
            if (unit == 0)
                return fail(holdsNul("a string"));
            text[i] = QChar(unit);
        }
        *out = std::move(text);
        return true;
    }

    bool decodeContainer(quint64 index, int type, qsizetype at, int info, int depth, QVariant *out) {
        if (depth >= PropertyListCodec::kMaxDepth)
            return fail(tooDeep());
        if (m_onPath[size_t(index)])
            return fail(QStringLiteral("a container holds itself"));
        quint64 count = 0;
        const quint64 perItem = type == 0xD ? 2 * quint64(m_refSize) : quint64(m_refSize);
        if (!countOf(&at, info, &count) || !fits(at, count, perItem))
            return false;
        m_onPath[size_t(index)] = true;
        const bool ok =
            type == 0xD ? decodeDictionary(at, count, depth, out) : decodeList(at, count, depth, out);
        m_onPath[size_t(index)] = false;
        return ok;
    }

    bool decodeList(qsizetype at, quint64 count, int depth, QVariant *out) {
        QVariantList list;
        list.reserve(qsizetype(std::min<quint64>(count, quint64(PropertyListCodec::kMaxValues))));
        for (quint64 i = 0; i < count; ++i) {
            quint64 ref = 0;
            QVariant item;
            if (!readUnsigned(at + qsizetype(i) * m_refSize, m_refSize, &ref) ||
                !decodeObject(ref, depth + 1, &item)) {
                m_where.prepend(QStringLiteral("item %1").arg(i));
                return false;
            }
            list.append(std::move(item));
        }
        *out = std::move(list);
        return true;
    }

    bool decodeDictionary(qsizetype at, quint64 count, int depth, QVariant *out) {
        QVariantMap map;
        const qsizetype values = at + qsizetype(count) * m_refSize;
        for (quint64 i = 0; i < count; ++i) {
            quint64 keyRef = 0;
            quint64 valueRef = 0;
            if (!readUnsigned(at + qsizetype(i) * m_refSize, m_refSize, &keyRef) ||
                !readUnsigned(values + qsizetype(i) * m_refSize, m_refSize, &valueRef))
                return false;
            QString key;
            if (!decodeKey(keyRef, &key)) {
                m_where.prepend(QStringLiteral("key %1").arg(i));
                return false;
            }
            QVariant value;
            if (!decodeObject(valueRef, depth + 1, &value)) {
                m_where.prepend(quotedKey(key));
                return false;
            }
            map.insert(key, std::move(value));
        }
        *out = std::move(map);
        return true;
    }

    // Keys repeat from dictionary to dictionary (each record of a list has the same ones) and are usually
    // written once: each is decoded once and shared.
    bool decodeKey(quint64 ref, QString *key) {
        if (++m_values > PropertyListCodec::kMaxValues)
            return fail(tooMany());
        if (const auto known = m_keys.constFind(ref); known != m_keys.cend()) {
            *key = *known;
            return true;
        }
        qsizetype at = 0;
        if (!offsetOf(ref, &at))
            return false;
        const int type = m_data[at] >> 4;
        if (type != 0x5 && type != 0x6)
            return fail(QStringLiteral("a dictionary key is not a string"));
        if (!decodeString(type, at + 1, m_data[at] & 0x0F, key)) {
            if (!m_problem.isEmpty())
                m_problem = holdsNul("a key");
            return false;
        }
        m_keys.insert(ref, *key);
        return true;
    }

    const uchar *m_data;
    qsizetype m_size;
    qsizetype m_end = 0; // where the trailer starts
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_count = 0;
    quint64 m_top = 0;
    qsizetype m_table = 0;
    std::vector<bool> m_onPath; // the containers being read, to refuse one that holds itself
    QHash<quint64, QString> m_keys;
    qsizetype m_values = 0;
    QString m_problem; // empty for damage that makes the file no property list at all
    QStringList m_where;
};

// What libplist's XML reader is given only after this scan: its nesting depth, so that neither the reader nor
// the tree it builds recurses without bound, and no NUL byte, which XML does not allow. It also notes whether
// an integer above the qint64 range appears, which libplist keeps in the same 64 bits as a negative one.
struct XmlScan {
    QString problem;
    bool unsignedBeyondSigned = false;
};

XmlScan scanXml(const QByteArray &data) {
    XmlScan scan;
    const qsizetype size = data.size();
    const char *bytes = data.constData();
    const auto lineAt = [&](qsizetype at) { return 1 + QByteArrayView(bytes, at).count('\n'); };
    if (const void *nul = std::memchr(bytes, 0, size_t(size))) {
        scan.problem = QStringLiteral("it holds a NUL byte, which XML does not allow (at line %1)")
                           .arg(lineAt(static_cast<const char *>(nul) - bytes));
        return scan;
    }
    const auto skipPast = [&](qsizetype from, const char *end) {
        const qsizetype found = data.indexOf(end, from);
        return found < 0 ? size : found + qsizetype(std::strlen(end));
    };
    int depth = 0;
    qsizetype at = 0;
    while ((at = data.indexOf('<', at)) >= 0) {
        const QByteArrayView rest(bytes + at, size - at);
        if (rest.startsWith("<!--")) {
            at = skipPast(at + 4, "-->");
        } else if (rest.startsWith("<![CDATA[")) {
            at = skipPast(at + 9, "]]>");
        } else if (rest.startsWith("<?")) {
            at = skipPast(at + 2, "?>");
        } else if (rest.startsWith("<!")) {
            // A document type, perhaps with declarations in brackets.
            int brackets = 0;
            for (++at; at < size; ++at) {
                if (bytes[at] == '[')
                    ++brackets;
                else if (bytes[at] == ']')
                    --brackets;
                else if (bytes[at] == '>' && brackets <= 0)
                    break;
            }
        } else if (rest.startsWith("</")) {
            depth = std::max(0, depth - 1);
            at = skipPast(at + 2, ">");
        } else {
            const qsizetype start = at;
            char quote = 0;
            for (++at; at < size; ++at) {
                if (quote) {
                    if (bytes[at] == quote)
                        quote = 0;
                } else if (bytes[at] == '"' || bytes[at] == '\'') {
                    quote = bytes[at];
                } else if (bytes[at] == '>') {
                    break;
                }
            }
            if (at >= size)
                break;
            if (bytes[at - 1] == '/')
                continue;
            // The <plist> element around the top value is one level more than the value's own.
            if (++depth > PropertyListCodec::kMaxDepth + 1) {
                scan.problem = tooDeep() + QStringLiteral(" (at line %1)").arg(lineAt(start));
                return scan;
            }
            if (QByteArrayView(bytes + start, at - start).trimmed() == "<integer") {
                const qsizetype close = data.indexOf('<', at);
                const QByteArray text = data.mid(at + 1, close < 0 ? -1 : close - at - 1).trimmed();
                bool ok = false;
                if (!text.startsWith('-') && text.toULongLong(&ok) > quint64(kLargestSigned) && ok)
                    scan.unsignedBeyondSigned = true;
            }
        }
    }
    return scan;
}

// The tree libplist's XML reader built, as a QVariant tree.
class NodeReader {
public:
    explicit NodeReader(bool unsignedBeyondSigned)
        : m_unsignedBeyondSigned(unsignedBeyondSigned) {}

    PropertyListCodec::Decoded run(plist_t root) {
        PropertyListCodec::Decoded result;
        if (!read(root, 0, &result.value)) {
            result.value = QVariant();
            result.problem = m_problem + QStringLiteral(" (") + placeOf(m_where) + QStringLiteral(")");
        }
        return result;
    }

private:
    bool fail(QString problem) {
        m_problem = std::move(problem);
        return false;
    }

    QVariant integer(plist_t node) const {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        if (value <= quint64(kLargestSigned) || !m_unsignedBeyondSigned)
            return qint64(value); // a negative number, kept in its two's complement
        // Only the node's own XML says whether it is negative or above the qint64 range.
        char *xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(node, &xml, &length);
        const bool negative = QByteArrayView(xml, length).contains("<integer>-");
        plist_to_xml_free(xml);
        return negative ? QVariant(qint64(value)) : QVariant(quint64(value));
    }

    bool read(plist_t node, int depth, QVariant *out) {
        if (++m_values > PropertyListCodec::kMaxValues)
            return fail(tooMany());
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            *out = bool(value);
            return true;
        }
        case PLIST_UINT:
            *out = integer(node);
            return true;
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            *out = value;
            return true;
        }
        case PLIST_STRING: {
            uint64_t length = 0;
            const char *text = plist_get_string_ptr(node, &length);
            if (text && std::memchr(text, 0, size_t(length)))
                return fail(holdsNul("a string"));
            *out = QString::fromUtf8(text, text ? qsizetype(length) : 0);
            return true;
        }
        case PLIST_DATA: {
            char *value = nullptr;
            uint64_t length = 0;
            plist_get_data_val(node, &value, &length);
            *out = QByteArray(value, qsizetype(length));
            std::free(value);
            return true;
        }
        case PLIST_DATE: {
            int32_t sec = 0;
            int32_t usec = 0;
            plist_get_date_val(node, &sec, &usec);
            *out = QDateTime::fromMSecsSinceEpoch((kPlistEpochFrom1970 + sec) * 1000 + usec / 1000,
                                                  QTimeZone::utc());
            return true;
        }
        case PLIST_ARRAY:
            return readList(node, depth, out);
        case PLIST_DICT:
            return readDictionary(node, depth, out);
        case PLIST_UID: {
            uint64_t value = 0;
            plist_get_uid_val(node, &value);
            *out = value <= quint64(kLargestSigned) ? QVariant(qint64(value)) : QVariant(quint64(value));
            return true;
        }
        default:
            *out = QVariant();
            return true;
        }
    }

    bool readList(plist_t node, int depth, QVariant *out) {
        if (depth >= PropertyListCodec::kMaxDepth)
            return fail(tooDeep());
        QVariantList list;
        list.reserve(qsizetype(plist_array_get_size(node)));
        // The iterator, not plist_array_get_item(): that walks the list from its start on every call.
        plist_array_iter iter = nullptr;
        plist_array_new_iter(node, &iter);
        bool ok = true;
        for (qsizetype i = 0;; ++i) {
            plist_t item = nullptr;
            plist_array_next_item(node, iter, &item);
            if (!item)
                break;
            QVariant value;
            if (!read(item, depth + 1, &value)) {
                m_where.prepend(QStringLiteral("item %1").arg(i));
                ok = false;
                break;
            }
            list.append(std::move(value));
        }
        std::free(iter);
        if (ok)
            *out = std::move(list);
        return ok;
    }

    bool readDictionary(plist_t node, int depth, QVariant *out) {
        if (depth >= PropertyListCodec::kMaxDepth)
            return fail(tooDeep());
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        bool ok = true;
        for (;;) {
            char *key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &key, &item);
            const QString name = takeString(key);
            if (!item)
                break;
            QVariant value;
            if (!read(item, depth + 1, &value)) {
                m_where.prepend(quotedKey(name));
                ok = false;
                break;
            }
            map.insert(name, std::move(value));
        }
        std::free(iter);
        if (ok)
            *out = std::move(map);
        return ok;
    }

    bool m_unsignedBeyondSigned;
    qsizetype m_values = 0;
    QString m_problem;
    QStringList m_where;
};

plist_t toNode(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toNode(it.value()));
        return dict;
    }
    case QMetaType::QVariantHash: {
        plist_t dict = plist_new_dict();
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toNode(it.value()));
        return dict;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList())
            plist_array_append_item(array, toNode(item));
        return array;
    }
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return unsignedNode(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - kPlistEpochFrom1970 * 1000;
        const qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        return plist_new_date(int32_t(sec), int32_t((ms - sec * 1000) * 1000));
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

} // namespace

PropertyListCodec::Decoded PropertyListCodec::decode(const QByteArray &data) {
    Decoded result;
    if (data.isEmpty()) {
        result.problem = QStringLiteral("the file is empty");
        return result;
    }
    if (data.startsWith("bplist"))
        return data.startsWith("bplist00") ? BinaryDecoder(data).run()
                                           : Decoded{{}, QString::fromLatin1(kNotAPropertyList)};
    if (data.size() > qsizetype(std::numeric_limits<uint32_t>::max())) {
        result.problem = QString::fromLatin1(kNotAPropertyList);
        return result;
    }
    const XmlScan scan = scanXml(data);
    if (!scan.problem.isEmpty()) {
        result.problem = scan.problem;
        return result;
    }
    plist_t root = nullptr;
    plist_from_xml(data.constData(), uint32_t(data.size()), &root);
    if (!root) {
        result.problem = QString::fromLatin1(kNotAPropertyList);
        return result;
    }
    PlistPtr owner(root);
    return NodeReader(scan.unsignedBeyondSigned).run(root);
}

QVariant PropertyListCodec::fromData(const QByteArray &data) {
    return decode(data).value;
}

QByteArray PropertyListCodec::toXml(const QVariant &value) {
    PlistPtr root(toNode(value));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    QByteArray result(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return result;
}

QByteArray PropertyListCodec::toBinary(const QVariant &value) {
    PlistPtr root(toNode(value));
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    return result;
}
