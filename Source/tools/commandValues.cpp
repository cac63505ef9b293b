#include "commandValues.h"

#include "QuotedText.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QVariantList>
#include <QVariantMap>

#include <cmath>

namespace {

// Deeper nesting than any notification needs, and well inside what the bus can carry.
constexpr int kDeepestNesting = 16;
constexpr char kDataKey[] = "$base64";

class JsonReader {
public:
    explicit JsonReader(const QString &text)
        : m_text(text) {}

    std::optional<QVariant> document() {
        skipBlanks();
        std::optional<QVariant> value = readValue(0);
        if (!value)
            return std::nullopt;
        skipBlanks();
        if (m_at < m_text.size())
            return fail(QStringLiteral("more text after the value"));
        return value;
    }

    QString problem() const { return m_problem; }

private:
    std::nullopt_t fail(const QString &what) {
        if (m_problem.isEmpty())
            m_problem = m_at < m_text.size() ? QStringLiteral("%1 at character %2").arg(what).arg(m_at + 1)
                                             : QStringLiteral("%1 at the end").arg(what);
        return std::nullopt;
    }

    bool atEnd() const { return m_at >= m_text.size(); }
    QChar current() const { return atEnd() ? QChar() : m_text[m_at]; }

    void skipBlanks() {
        while (!atEnd() &&
               (current() == u' ' || current() == u'\t' || current() == u'\n' || current() == u'\r'))
            ++m_at;
    }

    bool take(QStringView word) {
        if (QStringView(m_text).mid(m_at, word.size()) != word)
            return false;
        m_at += word.size();
        return true;
    }

    std::optional<QVariant> readValue(int depth) {
        if (depth > kDeepestNesting)
            return fail(QStringLiteral("nesting deeper than %1 levels").arg(kDeepestNesting));
        if (atEnd())
            return fail(QStringLiteral("a value expected"));
        const QChar c = current();
        if (c == u'{')
            return readObject(depth);
        if (c == u'[')
            return readArray(depth);
        if (c == u'"') {
            std::optional<QString> text = readString();
            return text ? std::optional<QVariant>(*text) : std::nullopt;
        }
        if (c == u'-' || (c >= u'0' && c <= u'9'))
            return readNumber();
        if (take(u"true"))
            return QVariant(true);
        if (take(u"false"))
            return QVariant(false);
        if (QStringView(m_text).mid(m_at, 4) == u"null")
            return fail(QStringLiteral("null, which cannot be sent or stored,"));
        return fail(QStringLiteral("a value expected"));
    }

    std::optional<QVariant> readObject(int depth) {
        ++m_at; // {
        QVariantMap map;
        skipBlanks();
        if (current() == u'}') {
            ++m_at;
            return map;
        }
        for (;;) {
            skipBlanks();
            if (current() != u'"')
                return fail(QStringLiteral("a key in double quotes expected"));
            const qsizetype keyAt = m_at;
            std::optional<QString> key = readString();
            if (!key)
                return std::nullopt;
            if (map.contains(*key)) {
                m_at = keyAt;
                return fail(QStringLiteral("the key \"%1\" given twice").arg(*key));
            }
            skipBlanks();
            if (current() != u':')
                return fail(QStringLiteral("':' expected"));
            ++m_at;
            skipBlanks();
            std::optional<QVariant> value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            map.insert(*key, *value);
            skipBlanks();
            if (current() == u',') {
                ++m_at;
                continue;
            }
            if (current() == u'}') {
                ++m_at;
                break;
            }
            return fail(QStringLiteral("',' or '}' expected"));
        }
        if (map.size() == 1 && map.contains(QString::fromLatin1(kDataKey)))
            return dataValue(map.first());
        return map;
    }

    std::optional<QVariant> dataValue(const QVariant &encoded) {
        const QByteArray text = encoded.toString().toUtf8();
        const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
        if (encoded.typeId() != QMetaType::QString || !decoded)
            return fail(QStringLiteral("data (a {\"%1\": ...} ending here) that is not a base64 string")
                            .arg(kDataKey));
        return QVariant(*decoded);
    }

    std::optional<QVariant> readArray(int depth) {
        ++m_at; // [
        QVariantList list;
        skipBlanks();
        if (current() == u']') {
            ++m_at;
            return list;
        }
        for (;;) {
            skipBlanks();
            std::optional<QVariant> value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            list.append(*value);
            skipBlanks();
            if (current() == u',') {
                ++m_at;
                continue;
            }
            if (current() == u']') {
                ++m_at;
                return list;
            }
            return fail(QStringLiteral("',' or ']' expected"));
        }
    }

    std::optional<int> hexQuad() {
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = atEnd() ? -1 : QStringLiteral("0123456789abcdef").indexOf(current().toLower());
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
            ++m_at;
        }
        return value;
    }

    std::optional<QString> readString() {
        ++m_at; // "
        QString text;
        for (;;) {
            if (atEnd())
                return fail(QStringLiteral("a closing '\"' expected"));
            const QChar c = current();
            if (c == u'"') {
                ++m_at;
                return text;
            }
            if (c.unicode() < 0x20)
                return fail(QStringLiteral("a control character inside a string"));
            if (c != u'\\') {
                text += c;
                ++m_at;
                continue;
            }
            ++m_at;
            const QChar escaped = current();
            ++m_at;
            switch (escaped.unicode()) {
            case '"':
                text += u'"';
                break;
            case '\\':
                text += u'\\';
                break;
            case '/':
                text += u'/';
                break;
            case 'b':
                text += u'\b';
                break;
            case 'f':
                text += u'\f';
                break;
            case 'n':
                text += u'\n';
                break;
            case 'r':
                text += u'\r';
                break;
            case 't':
                text += u'\t';
                break;
            case 'u': {
                const std::optional<int> unit = hexQuad();
                if (!unit)
                    return fail(QStringLiteral("four hexadecimal digits expected"));
                const QChar first{char16_t(*unit)};
                if (first.isHighSurrogate()) {
                    std::optional<int> low;
                    if (take(u"\\u"))
                        low = hexQuad();
                    if (!low || !QChar(char16_t(*low)).isLowSurrogate())
                        return fail(QStringLiteral("the second half of a surrogate pair expected"));
                    text += first;
                    text += QChar(char16_t(*low));
                } else if (first.isLowSurrogate()) {
                    return fail(QStringLiteral("half a surrogate pair"));
                } else {
                    text += first;
                }
                break;
            }
            default:
                --m_at;
                return fail(QStringLiteral("an unknown escape"));
            }
        }
    }

    std::optional<QVariant> readNumber() {
        static const QRegularExpression number(
            QStringLiteral("-?(?:0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?"));
        const QRegularExpressionMatch match = number.match(m_text, m_at, QRegularExpression::NormalMatch,
                                                           QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch())
            return fail(QStringLiteral("a number expected"));
        const QString digits = match.captured(0);
        const bool integral = match.capturedLength(1) == 0 && match.capturedLength(2) == 0;
        if (integral) {
            bool ok = false;
            const qint64 value = digits.toLongLong(&ok);
            if (ok) {
                m_at += digits.size();
                return QVariant(value);
            }
        }
        const double value = digits.toDouble();
        if (!std::isfinite(value))
            return fail(QStringLiteral("a number too large"));
        m_at += digits.size();
        return QVariant(value);
    }

    const QString &m_text;
    qsizetype m_at = 0;
    QString m_problem;
};

void appendString(QByteArray &out, const QString &text) {
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += QByteArrayLiteral("\\u00") + QByteArray::number(int(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

void appendJson(QByteArray &out, const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        const QVariantMap map = value.toMap();
        out += '{';
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (it != map.cbegin())
                out += ", ";
            appendString(out, it.key());
            out += ": ";
            appendJson(out, it.value());
        }
        out += '}';
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = value.toList();
        out += '[';
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i > 0)
                out += ", ";
            appendJson(out, list[i]);
        }
        out += ']';
        return;
    }
    case QMetaType::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        out += QByteArray::number(value.toLongLong());
        return;
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        out += QByteArray::number(value.toULongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double real = value.toDouble();
        if (!std::isfinite(real)) {
            out += "null"; // JSON has no infinities or NaN
            return;
        }
        QByteArray text = QByteArray::number(real, 'g', QLocale::FloatingPointShortest);
        if (!text.contains('.') && !text.contains('e'))
            text += ".0";
        out += text;
        return;
    }
    case QMetaType::QByteArray:
        appendString(out, QString::fromLatin1(value.toByteArray().toBase64()));
        return;
    case QMetaType::QDateTime:
        appendString(out, value.toDateTime().toUTC().toString(Qt::ISODate));
        return;
    default:
        appendString(out, value.toString());
        return;
    }
}

} // namespace

namespace CommandValues {

QVariant scalarValue(const QString &text) {
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression real(
        QStringLiteral("^[+-]?([0-9]+\\.[0-9]*|\\.[0-9]+|[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (integer.match(text).hasMatch()) {
        bool ok = false;
        const qint64 value = text.toLongLong(&ok);
        if (ok)
            return value;
    }
    if (real.match(text).hasMatch()) {
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (ok && std::isfinite(value))
            return value;
    }
    return text;
}

std::optional<QVariant> jsonValue(const QString &text, QString *problem) {
    JsonReader reader(text);
    std::optional<QVariant> value = reader.document();
    if (!value && problem)
        *problem = reader.problem();
    return value;
}

QByteArray json(const QVariant &value) {
    QByteArray out;
    appendJson(out, value);
    return out;
}

QString quoted(const QString &text) {
    return quotedText(text);
}

} // namespace CommandValues
