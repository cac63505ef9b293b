#include "InternationalSettings.h"

#include "UserDefaults.h"

#include <QVariantList>

#include <clocale>
#include <langinfo.h>

namespace {

QString localeString(nl_item item) {
    // Qt's application objects call setlocale(LC_ALL, ""); a program without one still reads the C locale.
    const char *text = nl_langinfo(item);
    return QString::fromLocal8Bit(text ? text : "");
}

QString settingOrLocale(const char *key, const QString &fallback) {
    const QVariant stored = UserDefaults::standardUserDefaults().objectForKey(QString::fromLatin1(key));
    if (stored.typeId() == QMetaType::QString)
        return stored.toString();
    return fallback;
}

} // namespace

namespace InternationalSettings {

QString fromPosix(const QString &posix) {
    QString out;
    const qsizetype n = posix.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = posix[i];
        if (c != u'%' || i + 1 >= n) {
            out += c;
            continue;
        }
        qsizetype j = i + 1;
        // Alternative-representation modifiers (%Ex, %OH) and glibc's padding flags.
        bool unpadded = false;
        while (j < n && (posix[j] == u'E' || posix[j] == u'O' || posix[j] == u'-' || posix[j] == u'_' ||
                         posix[j] == u'0' || posix[j] == u'^' || posix[j] == u'#')) {
            if (posix[j] == u'-' || posix[j] == u'_')
                unpadded = true;
            ++j;
        }
        if (j >= n) {
            out += posix.mid(i);
            break;
        }
        const QChar t = posix[j];
        QString piece;
        switch (t.unicode()) {
        case 'T':
            piece = QStringLiteral("%H:%M:%S");
            break;
        case 'r':
            piece = QStringLiteral("%I:%M:%S %p");
            break;
        case 'R':
            piece = QStringLiteral("%H:%M");
            break;
        case 'D':
            piece = QStringLiteral("%m/%d/%y");
            break;
        case 'F':
            piece = QStringLiteral("%Y-%m-%d");
            break;
        case 'k':
            piece = QStringLiteral("%1H");
            break;
        case 'l':
            piece = QStringLiteral("%1I");
            break;
        case 'P':
            piece = QStringLiteral("%p");
            break;
        case 'h':
            piece = QStringLiteral("%b");
            break;
        case 'n':
            piece = QStringLiteral("\n");
            break;
        case 't':
            piece = QStringLiteral("\t");
            break;
        case 'H':
        case 'I':
        case 'd':
        case 'm':
            piece = unpadded ? QStringLiteral("%1") + t : QStringLiteral("%") + t;
            break;
        default:
            piece = QStringLiteral("%") + t;
            break;
        }
        out += piece;
        i = j;
    }
    return out;
}

QString timeFormat() {
    return settingOrLocale(kTimeFormatKey, fromPosix(localeString(T_FMT)));
}

QString shortDateFormat() {
    return settingOrLocale(kShortDateFormatKey, fromPosix(localeString(D_FMT)));
}

QString dateFormat() {
    return settingOrLocale(kDateFormatKey, QStringLiteral("%A, %B %e, %Y"));
}

std::optional<QStringList> amPmDesignation() {
    const QVariant stored =
        UserDefaults::standardUserDefaults().objectForKey(QString::fromLatin1(kAMPMDesignationKey));
    if (!stored.isValid())
        return QStringList{localeString(AM_STR), localeString(PM_STR)};
    QStringList designators;
    if (stored.typeId() == QMetaType::QStringList) {
        designators = stored.toStringList();
    } else if (stored.typeId() == QMetaType::QVariantList) {
        for (const QVariant &entry : stored.toList()) {
            if (entry.typeId() != QMetaType::QString)
                return std::nullopt;
            designators.append(entry.toString());
        }
    } else {
        return std::nullopt;
    }
    if (designators.size() < 2)
        return std::nullopt;
    return designators;
}

} // namespace InternationalSettings
