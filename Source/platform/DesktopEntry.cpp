#include "DesktopEntry.h"

#include <QFile>

#include <algorithm>

namespace DesktopEntry {

namespace {

const QString kGroup = QStringLiteral("Desktop Entry");
// Far above any real desktop entry; a larger file is not one.
constexpr qint64 kLargestFile = 1 << 20;

bool isReserved(QChar c) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

QString unescapeValue(QStringView value) {
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            result += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's':
            result += QLatin1Char(' ');
            break;
        case 'n':
            result += QLatin1Char('\n');
            break;
        case 't':
            result += QLatin1Char('\t');
            break;
        case 'r':
            result += QLatin1Char('\r');
            break;
        case '\\':
            result += QLatin1Char('\\');
            break;
        default: // not one of the escapes: kept as written, for the Exec quoting to read
            result += c;
            result += next;
        }
    }
    return result;
}

// The characters a backslash escapes inside double quotes.
bool isEscapedInQuotes(QChar c) {
    return c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\');
}

// %% stands for one % wherever it is, in quotes or not.
bool isDoubledPercent(const QString &value, qsizetype i) {
    return value[i] == QLatin1Char('%') && i + 1 < value.size() && value[i + 1] == QLatin1Char('%');
}

QString quoteArgument(const QString &argument) {
    if (!argument.isEmpty() && std::none_of(argument.cbegin(), argument.cend(), isReserved))
        return argument;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (isEscapedInQuotes(c))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

} // namespace

std::optional<Keys> parse(const QByteArray &text) {
    Keys keys;
    bool inGroup = false;
    bool groupSeen = false;
    QStringList groups;
    for (QByteArray rawLine : text.split('\n')) {
        if (rawLine.endsWith('\r'))
            rawLine.chop(1);
        const QString line = QString::fromUtf8(rawLine);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (!trimmed.endsWith(QLatin1Char(']')))
                return std::nullopt;
            const QString group = trimmed.mid(1, trimmed.size() - 2);
            if (groups.contains(group))
                return std::nullopt;
            groups << group;
            inGroup = group == kGroup;
            groupSeen = groupSeen || inGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return std::nullopt;
        const QString key = line.left(equals).trimmed();
        if (key.isEmpty() || groups.isEmpty())
            return std::nullopt;
        if (!inGroup)
            continue;
        if (keys.contains(key))
            return std::nullopt;
        QStringView value = QStringView(line).mid(equals + 1);
        while (!value.isEmpty() && (value.front() == QLatin1Char(' ') || value.front() == QLatin1Char('\t')))
            value = value.mid(1);
        keys.insert(key, unescapeValue(value));
    }
    if (!groupSeen)
        return std::nullopt;
    return keys;
}

std::optional<Keys> readFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile)
        return std::nullopt;
    const QByteArray text = file.read(kLargestFile + 1);
    if (text.size() > kLargestFile)
        return std::nullopt;
    return parse(text);
}

QString escapeValue(const QString &value) {
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    // A leading space would be taken for the space around "=".
    if (escaped.startsWith(QLatin1Char(' ')))
        escaped.replace(0, 1, QStringLiteral("\\s"));
    return escaped;
}

QString execValue(const QStringList &arguments) {
    QStringList quoted;
    for (const QString &argument : arguments)
        quoted << quoteArgument(argument).replace(QLatin1Char('%'), QStringLiteral("%%"));
    return escapeValue(quoted.join(QLatin1Char(' ')));
}

std::optional<QStringList> execArguments(const QString &value) {
    QStringList arguments;
    QString current;
    bool inArgument = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == QLatin1Char('"')) {
            for (++i;; ++i) {
                if (i >= value.size())
                    return std::nullopt;
                const QChar q = value[i];
                if (q == QLatin1Char('"'))
                    break;
                if (isDoubledPercent(value, i)) {
                    current += q;
                    ++i;
                    continue;
                }
                if (q == QLatin1Char('\\') && i + 1 < value.size() && isEscapedInQuotes(value[i + 1])) {
                    current += value[++i];
                    continue;
                }
                current += q;
            }
        } else if (c == QLatin1Char('\'')) {
            const qsizetype end = value.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0)
                return std::nullopt;
            current += QStringView(value).mid(i + 1, end - i - 1);
            i = end;
        } else if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            current += value[++i];
        } else if (isDoubledPercent(value, i)) {
            current += c;
            ++i;
        } else {
            current += c;
        }
    }
    if (inArgument)
        arguments << current;
    return arguments;
}

} // namespace DesktopEntry
