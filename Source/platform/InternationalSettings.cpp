#include "InternationalSettings.h"

#include "ClockSwitches.h"
#include "TNDContract.h"
#include "UserDefaults.h"

#include <QVariantList>

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <string>

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

std::optional<QStringList> designatorsFrom(const QVariant &stored) {
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

// The designators as last derived, with what they were derived from: the settings' generation and the
// locale's name. The clock asks at every tick, so they are derived again only when one of those moves.
struct DesignatorCache {
    uint64_t generation = 0;
    std::string locale;
    bool valid = false;
    std::optional<QStringList> designators;
};

// The time format as last derived: the setting of the generation it was read in, and the format made from
// the locale for the desktop's 12-hour switch.
struct TimeFormatCache {
    uint64_t generation = 0;
    bool valid = false;
    QVariant setting;
    bool derived = false;
    bool twelveHour = false;
    std::string locale;
    QString format;
};

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

QString timeFormatFrom(const QVariant &setting, bool twelveHour, const QString &posixFormat,
                       const QString &posixTwelveHourFormat) {
    if (setting.typeId() == QMetaType::QString)
        return setting.toString();
    if (!twelveHour)
        return fromPosix(posixFormat);
    if (posixTwelveHourFormat.isEmpty())
        return QStringLiteral("%I:%M:%S %p");
    return fromPosix(posixTwelveHourFormat);
}

QString timeFormat() {
    static TimeFormatCache cache;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const uint64_t generation = defaults.generation();
    if (!cache.valid || cache.generation != generation) {
        cache.setting = defaults.objectForKey(QString::fromLatin1(TND::kTimeFormatKey));
        cache.generation = generation;
        cache.valid = true;
        cache.derived = false;
    }
    if (cache.setting.typeId() == QMetaType::QString)
        return cache.setting.toString();
    // Only without a format of the user's own do the desktop's switches matter.
    const std::optional<QVariantMap> switches = ClockSwitches::read();
    const bool twelveHour =
        switches && switches->value(QString::fromLatin1(TND::kAppendAMPMSwitch)).toBool();
    const char *locale = std::setlocale(LC_TIME, nullptr);
    if (!cache.derived || cache.twelveHour != twelveHour || cache.locale != (locale ? locale : "")) {
        cache.format =
            timeFormatFrom(cache.setting, twelveHour, localeString(T_FMT), localeString(T_FMT_AMPM));
        cache.twelveHour = twelveHour;
        cache.locale = locale ? locale : "";
        cache.derived = true;
    }
    return cache.format;
}

QString shortDateFormat() {
    return settingOrLocale(TND::kShortDateFormatKey, fromPosix(localeString(D_FMT)));
}

QString dateFormat() {
    return settingOrLocale(TND::kDateFormatKey, QStringLiteral("%A, %B %e, %Y"));
}

std::optional<QStringList> amPmDesignation() {
    static DesignatorCache cache;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const uint64_t generation = defaults.generation();
    const char *locale = std::setlocale(LC_TIME, nullptr);
    if (!cache.valid || cache.generation != generation || cache.locale != (locale ? locale : "")) {
        cache.designators =
            designatorsFrom(defaults.objectForKey(QString::fromLatin1(TND::kAMPMDesignationKey)));
        cache.generation = generation;
        cache.locale = locale ? locale : "";
        cache.valid = true;
    }
    return cache.designators;
}

} // namespace InternationalSettings
