#include "clockCommand.h"
#include "commandValues.h"
#include "notificationCommands.h"
#include "settingsCommand.h"

#include "Clock.h"
#include "InternationalSettings.h"
#include "KestmoorCalendar.h"
#include "NumberValues.h"
#include "TNDContract.h"
#include "TNDClockTexts.h"
#include "TNDKestmoorDate.h"
#include "UserDefaults.h"

#include <QVariantMap>

#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace {

const char kHelp[] = R"(Usage: tindral-clock [OPTION...]
       tindral-clock COMMAND [ARGUMENT...]

Kestmoor's in-character clock on the command line. Without an output option it prints the full report that
the companion's first menu line copies.

Output (one at most):
  --title               the status item's title: the IC clock text with the weekday when "weekday" is on
  --json                every field of the clock as one JSON object
  (neither)             the full report

Moment and settings (each defaults to the user's own settings):
  --at SECONDS          the OOC moment, seconds since 1970-01-01 00:00:00 UTC, fraction allowed (default: now)
  --offset N            the IC seconds offset, a whole number (default: "{offsetKey}" of the settings file)
  --time-format F       the time format, calendar-format tokens such as %H %M %S %p %1I (default:
                        {timeFormatKey}, or the locale's)
  --date-format F       the short date format (default: {shortDateFormatKey}, or the locale's)
  --am-pm AM,PM         the morning and afternoon designators; fewer than two means none
  --show LIST           the clock switches that are on, from: seconds, ampm, weekday (comma-separated; an
                        empty LIST turns all off; default: the desktop clock's switches)
  --help                this text

Options take their value as the next argument or after '=' (--at=1000000000).

Commands, for scripts and support (each takes --help where it has more to say):
)";

struct Options {
    enum class Output { Report, Title, Json };
    Output output = Output::Report;
    std::optional<double> at;
    std::optional<int32_t> offset;
    std::optional<QString> timeFormat;
    std::optional<QString> dateFormat;
    std::optional<QStringList> amPm;
    std::optional<QVariantMap> switches;
    bool help = false;
};

struct UsageError {
    QString message;
};

double parseMoment(const QString &text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        throw UsageError{
            QStringLiteral("--at: '%1' is not a number of seconds").arg(CommandValues::quoted(text))};
    if (!std::isfinite(value))
        throw UsageError{
            QStringLiteral("--at: '%1' is not a finite number of seconds").arg(CommandValues::quoted(text))};
    return value;
}

int32_t parseOffset(const QString &text) {
    const NumberValues::Reading offset = NumberValues::within(
        NumberValues::text(text), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    if (offset.refusal == NumberValues::Refusal::NotANumber)
        throw UsageError{QStringLiteral("--offset: '%1' is not a whole number of IC seconds")
                             .arg(CommandValues::quoted(text))};
    if (!offset.isRead())
        throw UsageError{QStringLiteral("--offset: %1 does not fit in 32 bits")
                             .arg(CommandValues::quoted(text.trimmed()))};
    return int32_t(*offset.value);
}

QVariantMap parseSwitches(const QString &text) {
    const QString seconds = QString::fromLatin1(TND::kDisplaySecondsSwitch);
    const QString ampm = QString::fromLatin1(TND::kAppendAMPMSwitch);
    const QString weekday = QString::fromLatin1(TND::kShowDaySwitch);
    QVariantMap switches{{seconds, false}, {ampm, false}, {weekday, false}};
    const QStringList names = text.split(u',', Qt::SkipEmptyParts);
    for (const QString &raw : names) {
        const QString name = raw.trimmed();
        if (name == QLatin1String("seconds"))
            switches[seconds] = true;
        else if (name == QLatin1String("ampm"))
            switches[ampm] = true;
        else if (name == QLatin1String("weekday"))
            switches[weekday] = true;
        else if (!name.isEmpty())
            throw UsageError{
                QStringLiteral("--show: unknown switch '%1' (choose from seconds, ampm, weekday)")
                    .arg(CommandValues::quoted(name))};
    }
    return switches;
}

Options parseOptions(const QStringList &arguments) {
    Options options;
    bool outputChosen = false;
    auto chooseOutput = [&](Options::Output output, const QString &name) {
        if (outputChosen && options.output != output)
            throw UsageError{QStringLiteral("%1: only one of --title and --json can be given").arg(name)};
        options.output = output;
        outputChosen = true;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> inlineValue;
        if (name.startsWith(QLatin1String("--"))) {
            const qsizetype equals = name.indexOf(u'=');
            if (equals > 0) {
                inlineValue = name.mid(equals + 1);
                name = name.left(equals);
            }
        }
        auto value = [&]() -> QString {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= arguments.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
            return arguments[++i];
        };
        auto noValue = [&] {
            if (inlineValue)
                throw UsageError{QStringLiteral("%1 takes no value").arg(name)};
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            noValue();
            options.help = true;
        } else if (name == QLatin1String("--title")) {
            noValue();
            chooseOutput(Options::Output::Title, name);
        } else if (name == QLatin1String("--json")) {
            noValue();
            chooseOutput(Options::Output::Json, name);
        } else if (name == QLatin1String("--at")) {
            options.at = parseMoment(value());
        } else if (name == QLatin1String("--offset")) {
            options.offset = parseOffset(value());
        } else if (name == QLatin1String("--time-format")) {
            options.timeFormat = value();
        } else if (name == QLatin1String("--date-format")) {
            options.dateFormat = value();
        } else if (name == QLatin1String("--am-pm")) {
            options.amPm = value().split(u',');
        } else if (name == QLatin1String("--show")) {
            options.switches = parseSwitches(value());
        } else if (name.startsWith(u'-')) {
            throw UsageError{
                QStringLiteral("unknown option '%1' (see --help)").arg(CommandValues::quoted(name))};
        } else {
            throw UsageError{
                QStringLiteral("unexpected argument '%1' (see --help)").arg(CommandValues::quoted(name))};
        }
    }
    return options;
}

// Doubles with 17 significant digits read back to the same double; every other value as the commands write
// their JSON.
QString jsonValue(const QVariant &value) {
    if (value.typeId() == QMetaType::Double)
        return QString::asprintf("%.17g", value.toDouble());
    if (!value.isValid())
        return QStringLiteral("null");
    return QString::fromUtf8(CommandValues::json(value));
}

QString clockJson(const TNDKestmoorDate &clock, const TNDClockTexts &texts) {
    const QString t = texts.timeFormat();
    const std::vector<std::pair<const char *, QVariant>> fields = {
        {"kestmoorTime", clock.kestmoorTime()},
        {"kestmoorYear", clock.kestmoorYear()},
        {"kestmoorYearDay", clock.kestmoorYearDay()},
        {"kestmoorSeasonInt", clock.kestmoorSeasonInt()},
        {"kestmoorSeason", clock.kestmoorSeason()},
        {"kestmoorMonthDay", clock.kestmoorMonthDay()},
        {"kestmoorWeekdayInt", clock.kestmoorWeekdayInt()},
        {"kestmoorWeekday", clock.kestmoorWeekday()},
        {"kestmoorHour", clock.kestmoorHour()},
        {"kestmoorMinute", clock.kestmoorMinute()},
        {"kestmoorSecond", clock.kestmoorSecond()},
        {"icDayCount", qint64(clock.icDayCount())},
        {TND::kICSecondsOffsetKey, clock.icSecondsOffset()}, // the field is named as the setting
        {"daylightSavings", clock.daylightSavings()},
        {"extraPreferences", clock.extraPreferences() ? QVariant(*clock.extraPreferences()) : QVariant()},
        {"tindralPreferences", QVariant()},
        {"sunriseHour", clock.sunriseHour()},
        {"sunriseMinute", clock.sunriseMinute()},
        {"sunriseSecond", clock.sunriseSecond()},
        {"tomorrowSunriseHour", clock.tomorrowSunriseHour()},
        {"tomorrowSunriseMinute", clock.tomorrowSunriseMinute()},
        {"tomorrowSunriseSecond", clock.tomorrowSunriseSecond()},
        {"sunsetHour", clock.sunsetHour()},
        {"sunsetMinute", clock.sunsetMinute()},
        {"sunsetSecond", clock.sunsetSecond()},
        {"tomorrowSunsetHour", clock.tomorrowSunsetHour()},
        {"tomorrowSunsetMinute", clock.tomorrowSunsetMinute()},
        {"tomorrowSunsetSecond", clock.tomorrowSunsetSecond()},
        {"sunrise", clock.sunrise()},
        {"tomorrowSunrise", clock.tomorrowSunrise()},
        {"sunset", clock.sunset()},
        {"tomorrowSunset", clock.tomorrowSunset()},
        {"coliseum", clock.coliseum()},
        {"lunarDay", clock.lundarDay()},
        {"lunarPhase", TNDClockTexts::lunarPhaseName(clock.lundarDay())},
        {"fullMoonStart", clock.fullMoonStart()},
        {"fullMoonNoon", clock.fullMoonNoon()},
        {"fullMoonEnd", clock.fullMoonEnd()},
        {"nextFullMoonStart", clock.nextFullMoonStart()},
        {"nextFullMoonNoon", clock.nextFullMoonNoon()},
        {"nextFullMoonEnd", clock.nextFullMoonEnd()},
        {"zodiacDay", clock.zodiacDay()},
        {"zodiacSymbol", clock.zodiacSymbol()},
        {"zodiacSymbolString", clock.zodiacSymbolString()},
        {"daysUntilNextZodiac", clock.daysUntilNextZodiac()},
        {"nextZodiacSymbol", clock.nextZodiacSymbol()},
        {"nextZodiacSymbolString", clock.nextZodiacSymbolString()},
        {"title", clock.timeWithFormat(t)},
        {"titleNoAdd", clock.timeWithFormatNoAdd(t)},
    };
    QStringList members;
    for (const auto &[name, value] : fields)
        members << QStringLiteral("  ") + jsonValue(QString::fromLatin1(name)) + QStringLiteral(": ") +
                       jsonValue(value);
    return QStringLiteral("{\n") + members.join(QStringLiteral(",\n")) + QStringLiteral("\n}");
}

} // namespace

QString clockCommandHelp() {
    QString help = QString::fromUtf8(kHelp)
                       .replace(QStringLiteral("{offsetKey}"), QString::fromLatin1(TND::kICSecondsOffsetKey))
                       .replace(QStringLiteral("{timeFormatKey}"), QString::fromLatin1(TND::kTimeFormatKey))
                       .replace(QStringLiteral("{shortDateFormatKey}"),
                                QString::fromLatin1(TND::kShortDateFormatKey));
    for (const char *usage : {kPostUsage, kListenUsage, kSettingsUsage})
        help += QStringLiteral("  ") + QString::fromUtf8(usage) + u'\n';
    help += QStringLiteral("  tindral-clock timer add|change|remove --row N [OPTION...]\n");
    return help;
}

int runClockCommand(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    Options options;
    try {
        options = parseOptions(arguments);
    } catch (const UsageError &error) {
        err << "tindral-clock: " << error.message << Qt::endl;
        return 2;
    }
    if (options.help) {
        out << clockCommandHelp() << Qt::flush;
        return 0;
    }

    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (options.timeFormat)
        defaults.setVolatileValue(QString::fromLatin1(TND::kTimeFormatKey),
                                  *options.timeFormat);
    if (options.dateFormat)
        defaults.setVolatileValue(QString::fromLatin1(TND::kShortDateFormatKey),
                                  *options.dateFormat);
    if (options.amPm)
        defaults.setVolatileValue(QString::fromLatin1(TND::kAMPMDesignationKey),
                                  *options.amPm);

    TNDKestmoorDate *clock = TNDKestmoorDate::sharedDate();
    clock->setDaylightSavings(3600.0);
    if (options.offset)
        clock->setIcSecondsOffset(*options.offset);
    if (options.switches)
        clock->setExtraPreferences(*options.switches);

    const double at = options.at ? *options.at : Clock::now();
    clock->refreshWithTimeFrom1970(at);
    if (!KestmoorCalendar::yearFits(clock->kestmoorTime())) {
        err << "tindral-clock: --at: " << QString::number(at)
            << " lies so far out that the IC year does not fit in 32 bits" << Qt::endl;
        return 2;
    }
    clock->refreshAllOthers();

    const TNDClockTexts texts = TNDClockTexts::withUserFormats(*clock);
    switch (options.output) {
    case Options::Output::Title:
        out << clock->timeWithFormat(texts.timeFormat()) << '\n';
        break;
    case Options::Output::Json:
        out << clockJson(*clock, texts) << '\n';
        break;
    case Options::Output::Report:
        out << texts.fullReport() << '\n';
        break;
    }
    out.flush();
    return 0;
}
