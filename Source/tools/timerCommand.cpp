#include "timerCommand.h"

#include "ColorArchive.h"
#include "DistributedNotificationCenter.h"
#include "NumberValues.h"
#include "TNDContract.h"
#include "TNDTimerRecord.h"

#include <QColor>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

const char kHelp[] = R"(Usage: tindral-clock timer add --row N [OPTION...]
       tindral-clock timer change --row N [OPTION...]
       tindral-clock timer remove --row N

Tells the companion about a timer as the main application's timer editor does: "add" appends a timer to the
companion's list ({addNote}), "change" replaces the timer at position N and starts it again
({changeNote}), "remove" takes the timer at position N away ({removeNote}).

  --row N               the timer's position in the timer list, from 0; for "add", the number of timers
                        already in the list
  --title T             the timer's name, its window's tool tip (default: "Untitled Timer")
  --duration H:MM:SS    the time to count down; hours may have any number of digits (default: 00:00:00)
  --ic                  count IC seconds, 45/11 of them per real second (default: real seconds)
  --color '#RRGGBB'     the window's colour (default: white, #ffffff)
  --transparency X      the window's opacity, 0 (invisible) to 1 (opaque) (default: 0.7)
  --help                this text

Options take their value as the next argument or after '=' (--row=0).
)";

constexpr char kAddCommand[] = "add";
constexpr char kChangeCommand[] = "change";
constexpr char kRemoveCommand[] = "remove";

// The timer editor's controls when no timer is selected.
constexpr char kDefaultTitle[] = "Untitled Timer";
constexpr double kDefaultTransparency = 0.7;

struct UsageError {
    QString message;
};

QString text(const char *latin1) {
    return QString::fromLatin1(latin1);
}

struct Options {
    QString command;
    std::optional<int64_t> row;
    std::optional<QString> title;
    std::optional<uint32_t> duration;
    bool ic = false;
    std::optional<QColor> color;
    std::optional<double> transparency;
};

int64_t parseRow(const QString &value) {
    const NumberValues::Reading row = NumberValues::within(NumberValues::text(value), 0,
                                                           std::numeric_limits<int64_t>::max());
    if (!row.isRead())
        throw UsageError{
            QStringLiteral("--row: '%1' is not a position in the timer list (0, 1, 2 ...)").arg(value)};
    return *row.value;
}

uint32_t parseDuration(const QString &value) {
    static const QRegularExpression form(QStringLiteral("^([0-9]+):([0-9]{1,2}):([0-9]{1,2})$"));
    const QRegularExpressionMatch match = form.match(value);
    if (!match.hasMatch())
        throw UsageError{QStringLiteral("--duration: '%1' is not of the form H:MM:SS").arg(value)};
    bool ok = false;
    const qulonglong hours = match.captured(1).toULongLong(&ok);
    const uint minutes = match.captured(2).toUInt();
    const uint seconds = match.captured(3).toUInt();
    if (minutes > 59 || seconds > 59)
        throw UsageError{QStringLiteral("--duration: '%1' has minutes or seconds above 59").arg(value)};
    // The timer editor counts a duration in 32 bits.
    constexpr qulonglong largest = std::numeric_limits<uint32_t>::max();
    if (!ok || hours > largest / 3600 || hours * 3600 + minutes * 60 + seconds > largest)
        throw UsageError{QStringLiteral("--duration: '%1' is longer than 1193046:28:15").arg(value)};
    return uint32_t(hours * 3600 + minutes * 60 + seconds);
}

QColor parseColor(const QString &value) {
    static const QRegularExpression form(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (!form.match(value).hasMatch())
        throw UsageError{QStringLiteral("--color: '%1' is not a colour of the form #RRGGBB").arg(value)};
    return QColor::fromString(value);
}

double parseTransparency(const QString &value) {
    const std::optional<double> number = TNDTimerRecord::decimalValue(value);
    if (!number)
        throw UsageError{QStringLiteral("--transparency: '%1' is not a number").arg(value)};
    if (*number < 0.0 || *number > 1.0)
        throw UsageError{QStringLiteral("--transparency: %1 is outside 0 to 1").arg(value)};
    return *number;
}

template <typename T> void setOnce(std::optional<T> &field, const QString &name, T value) {
    if (field)
        throw UsageError{QStringLiteral("%1 is given twice").arg(name)};
    field = std::move(value);
}

Options parseOptions(const QStringList &arguments) {
    Options options;
    if (arguments.isEmpty())
        throw UsageError{QStringLiteral("timer: name a command: add, change or remove (see --help)")};
    options.command = arguments.first();
    if (options.command != text(kAddCommand) && options.command != text(kChangeCommand) &&
        options.command != text(kRemoveCommand))
        throw UsageError{QStringLiteral("timer: unknown command '%1': add, change or remove (see --help)")
                             .arg(options.command)};
    const bool removing = options.command == text(kRemoveCommand);

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(QStringLiteral("--")))
            throw UsageError{QStringLiteral("timer %1: unexpected argument '%2' (see --help)")
                                 .arg(options.command, argument)};
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        std::optional<QString> inlineValue;
        if (equals >= 0)
            inlineValue = argument.mid(equals + 1);

        if (name == QStringLiteral("--ic")) {
            if (inlineValue)
                throw UsageError{QStringLiteral("--ic takes no value")};
            if (removing)
                throw UsageError{QStringLiteral("timer remove: --ic does not apply, only --row")};
            options.ic = true;
            continue;
        }
        static const QStringList valued{QStringLiteral("--row"), QStringLiteral("--title"),
                                        QStringLiteral("--duration"), QStringLiteral("--color"),
                                        QStringLiteral("--transparency")};
        if (!valued.contains(name))
            throw UsageError{
                QStringLiteral("timer %1: unknown option '%2' (see --help)").arg(options.command, name)};
        if (removing && name != QStringLiteral("--row"))
            throw UsageError{QStringLiteral("timer remove: %1 does not apply, only --row").arg(name)};
        QString value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= arguments.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
            value = arguments[++i];
        }

        if (name == QStringLiteral("--row"))
            setOnce(options.row, name, parseRow(value));
        else if (name == QStringLiteral("--title"))
            setOnce(options.title, name, value);
        else if (name == QStringLiteral("--duration"))
            setOnce(options.duration, name, parseDuration(value));
        else if (name == QStringLiteral("--color"))
            setOnce(options.color, name, parseColor(value));
        else
            setOnce(options.transparency, name, parseTransparency(value));
    }
    if (!options.row)
        throw UsageError{QStringLiteral("timer %1: --row is needed").arg(options.command)};
    return options;
}

} // namespace

QString timerCommandHelp() {
    return text(kHelp)
        .replace(QStringLiteral("{addNote}"), text(TND::kAddTimerNote))
        .replace(QStringLiteral("{changeNote}"), text(TND::kChangeTimerNote))
        .replace(QStringLiteral("{removeNote}"), text(TND::kRemoveTimerNote));
}

std::optional<TimerCommandNotification> timerCommandNotification(const QStringList &arguments,
                                                                 QString *problem) {
    Options options;
    try {
        options = parseOptions(arguments);
    } catch (const UsageError &error) {
        *problem = error.message;
        return std::nullopt;
    }
    const QVariant rowIndex = qint64(*options.row);
    if (options.command == text(kRemoveCommand))
        return TimerCommandNotification{text(TND::kRemoveTimerNote),
                                        {{text(TND::kRowIndexKey), rowIndex}}};

    const TNDTimerRecord record = TNDTimerRecord::fromParts(
        options.title.value_or(text(kDefaultTitle)), options.duration.value_or(0), options.ic,
        ColorArchive::archivedData(options.color.value_or(QColor(Qt::white))),
        options.transparency.value_or(kDefaultTransparency), *options.row);
    if (options.command == text(kAddCommand))
        return TimerCommandNotification{text(TND::kAddTimerNote), record.toMap()};
    return TimerCommandNotification{
        text(TND::kChangeTimerNote),
        {{text(TND::kTimerInfoKey), record.toMap()}, {text(TND::kRowIndexKey), rowIndex}}};
}

int runTimerCommand(const QStringList &arguments) {
    QTextStream err(stderr);
    if (arguments.contains(QStringLiteral("--help"))) {
        QTextStream(stdout) << timerCommandHelp() << Qt::flush;
        return 0;
    }
    QString problem;
    const std::optional<TimerCommandNotification> notification =
        timerCommandNotification(arguments, &problem);
    if (!notification) {
        err << "tindral-clock: " << problem << Qt::endl;
        return 2;
    }
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    // The centre says why when it cannot send. Waiting for the bus makes sure the notification has left
    // before the program ends.
    if (!center.post(notification->name, notification->userInfo) || !center.waitForBus()) {
        err << "tindral-clock: timer " << arguments.first() << ": " << notification->name << " was not sent"
            << Qt::endl;
        return 1;
    }
    return 0;
}
