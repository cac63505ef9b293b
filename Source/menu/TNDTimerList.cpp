#include "TNDTimerList.h"

#include "Bundle.h"
#include "CalendarFormat.h"
#include "Clock.h"
#include "DesktopNotifications.h"
#include "DistributedNotificationCenter.h"
#include "InternationalSettings.h"
#include "NotificationCenter.h"
#include "NumberValues.h"
#include "PropertyList.h"
#include "TNDContract.h"
#include "TNDKestmoorDate.h"
#include "TimerRecordCheck.h"
#include "UserDefaults.h"
#include "timerObject.h"

#include <QUrl>

#include <cmath>
#include <optional>

namespace {

constexpr char kRefusedMessage[] = "%s refused: %s; nothing changed";
constexpr char kSoftProblemMessage[] = "%s: %s";
// The first %s is always the key of the stored list.
constexpr char kStoredRecordKeptMessage[] =
    "The settings file's \"%s\" entry %lld cannot be read: %s; its place is kept, with no timer";
constexpr char kStoredEndIgnoredMessage[] =
    "The settings file's \"%s\" entry %lld is %s, not a moment; the timer starts from its whole duration";
constexpr char kStoredRecordSoftMessage[] = "The settings file's \"%s\" entry %lld: %s";
constexpr char kStoredListTooLongMessage[] =
    "The settings file's \"%s\" holds more timers than the %d the companion runs at once; the last %lld are "
    "left out";
constexpr char kStoredListUnusableMessage[] =
    "The settings file's \"%s\" is %s, not a list of timer records; no timers are started";

QString text(const char *latin1) {
    return QString::fromLatin1(latin1);
}

void refuse(const char *note, const QString &problem) {
    qWarning(kRefusedMessage, note, qPrintable(problem));
}

// The desktop notification of a timer's end.
constexpr char kApplicationName[] = "Tindral";
constexpr char kDesktopEntry[] = "org.tindral.Tindral"; // Tindral's desktop entry and icon name
constexpr char kIconName[] = "tindral_icon";
constexpr char kEndSound[] = "complete";
constexpr char kEndedIC[] = "The %1 IC timer ended at %2 IC.";
constexpr char kEndedReal[] = "The %1 timer ended at %2.";

// An end moment as timerEnds holds it, or nothing for the empty string.
std::optional<double> storedEnd(const QVariant &value) {
    if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::LongLong &&
        value.typeId() != QMetaType::Int)
        return std::nullopt;
    const double moment = value.toDouble();
    return std::isfinite(moment) ? std::optional<double>(moment) : std::nullopt;
}

// The user info's rowIndex as a position, or nothing with the problem. A number beyond 64 bits holds at the
// end it passed: it names no timer either way, and the list check says so.
std::optional<int64_t> rowIndexOf(const QVariantMap &userInfo, QString *problem) {
    const QVariant value = userInfo.value(text(TND::kRowIndexKey));
    const NumberValues::Reading reading = NumberValues::read(value);
    switch (reading.refusal) {
    case NumberValues::Refusal::Missing:
        *problem = QStringLiteral("it has no \"%1\"").arg(text(TND::kRowIndexKey));
        return std::nullopt;
    case NumberValues::Refusal::NotANumber:
        *problem = QStringLiteral("its \"%1\" is %2, not an integer")
                       .arg(text(TND::kRowIndexKey), PropertyList::kindOf(value));
        return std::nullopt;
    default:
        return reading.valueOrLimit(0);
    }
}

} // namespace

TNDTimerList::TNDTimerList(DistributedNotificationCenter &center, QObject *parent)
    : QObject(parent)
    , m_center(center) {}

TNDTimerList::~TNDTimerList() = default;

void TNDTimerList::observe() {
    m_center.addObserver(
        text(TND::kAddTimerNote), [this](const Notification &note) { addTimer(note.userInfo); }, this);
    m_center.addObserver(
        text(TND::kChangeTimerNote), [this](const Notification &note) { changeTimer(note.userInfo); },
        this);
    m_center.addObserver(
        text(TND::kRemoveTimerNote), [this](const Notification &note) { removeTimer(note.userInfo); },
        this);
    NotificationCenter::defaultCenter().addObserver(
        text(TND::kTimerWindowDoneNote), [this](const Notification &note) { doneTimer(note.object); },
        this);
}

bool TNDTimerList::timerEndNotificationsOn() {
    const QVariant value = UserDefaults::standardUserDefaults().objectForKey(text(TND::kTimerEndNoticesKey));
    return !value.isValid() || UserDefaults::integerValue(value) != 0;
}

void TNDTimerList::announceEnd(const timerObject &timer) {
    if (!timerEndNotificationsOn())
        return;
    DesktopNotifications &notifications = DesktopNotifications::shared();
    if (!m_listeningToNotices) {
        m_listeningToNotices = true;
        connect(&notifications, &DesktopNotifications::actionInvoked, this,
                [this](quint64, const QString &actionKey) {
                    if (actionKey == DesktopNotifications::defaultActionKey())
                        Q_EMIT timersPaneRequested();
                });
    }
    const TNDTimerRecord &record = timer.timerInfo();
    const double ended = timer.endMoment().value_or(Clock::now());
    QString body;
    if (record.ic()) {
        TNDKestmoorDate *date = TNDKestmoorDate::sharedDate();
        date->refreshWithTimeFrom1970(ended);
        body = text(kEndedIC).arg(record.time(),
                                  date->timeWithFormatNoAdd(InternationalSettings::timeFormat()));
        // The shared clock goes back to now for the companion's other readers.
        date->refreshWithTimeFrom1970(Clock::now());
    } else {
        body = text(kEndedReal).arg(record.time(),
                                    CalendarFormat::expand(InternationalSettings::timeFormat(), ended));
    }
    DesktopNotifications::Notice notice;
    notice.appName = text(kApplicationName);
    const QString icon = Bundle::mainBundle().pathForResource(text(kIconName), QStringLiteral("png"));
    notice.appIcon = icon.isEmpty() ? text(kDesktopEntry) : QUrl::fromLocalFile(icon).toString();
    notice.summary = record.title();
    notice.body = body;
    notice.desktopEntry = text(kDesktopEntry);
    notice.soundName = text(kEndSound);
    notifications.notify(notice);
}

void TNDTimerList::recordEnds() {
    QVariantList ends;
    ends.reserve(qsizetype(m_timerArray.size()));
    for (const std::unique_ptr<timerObject> &timer : m_timerArray) {
        const std::optional<double> end = timer ? timer->endMoment() : std::nullopt;
        ends.append(end ? QVariant(*end) : QVariant(QString()));
    }
    // One locked write; a done timer's end goes once the main application's list marks it done. A file that
    // does not exist is not created here.
    UserDefaults::standardUserDefaults().writeBack(
        [&](QVariantMap &settings) {
            const QVariantList records = settings.value(text(TND::kTimerArrayKey)).toList();
            for (qsizetype i = 0; i < ends.size(); ++i) {
                const timerObject *timer = m_timerArray[size_t(i)].get();
                if (!timer || !timer->timerInfo().isDone() || i >= records.size())
                    continue;
                const QString done = records[i].toMap().value(text(TND::kDoneKey)).toString();
                if (done == QChar(TNDTimerRecord::kDoneMark))
                    ends[i] = QString();
            }
            settings.insert(text(TND::kTimerEndsKey), ends);
        },
        UserDefaults::WriteMode::OnlyIfFileExists);
}

timerObject *TNDTimerList::timerAt(qsizetype index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return m_timerArray[size_t(index)].get();
}

qsizetype TNDTimerList::indexOf(const QObject *timer) const {
    for (size_t i = 0; i < m_timerArray.size(); ++i) {
        if (m_timerArray[i].get() == timer)
            return qsizetype(i);
    }
    return -1;
}

bool TNDTimerList::addTimer(const QVariantMap &userInfo) {
    if (count() >= TND::kMaxTimers) {
        refuse(TND::kAddTimerNote, QStringLiteral("%1 timers are running, the most the companion runs at once")
                                  .arg(TND::kMaxTimers));
        return false;
    }
    const TimerRecordCheck::Result read = TimerRecordCheck::read(userInfo);
    if (!read.record) {
        refuse(TND::kAddTimerNote, read.problem);
        return false;
    }
    if (!read.softProblem.isEmpty())
        qWarning(kSoftProblemMessage, TND::kAddTimerNote, qPrintable(read.softProblem));
    m_timerArray.push_back(timerObject::timerWithDict(*read.record, read.windowColor));
    recordEnds();
    return true;
}

bool TNDTimerList::changeTimer(const QVariantMap &userInfo) {
    QString problem;
    const std::optional<int64_t> rowIndex = rowIndexOf(userInfo, &problem);
    if (!rowIndex) {
        refuse(TND::kChangeTimerNote, problem);
        return false;
    }
    if (const std::optional<QString> outside = TNDTimerRecord::rowIndexProblem(*rowIndex, count())) {
        refuse(TND::kChangeTimerNote, *outside);
        return false;
    }
    const auto info = userInfo.constFind(text(TND::kTimerInfoKey));
    if (info == userInfo.cend()) {
        refuse(TND::kChangeTimerNote, QStringLiteral("it has no \"%1\"").arg(text(TND::kTimerInfoKey)));
        return false;
    }
    if (info->typeId() != QMetaType::QVariantMap) {
        refuse(TND::kChangeTimerNote, QStringLiteral("its \"%1\" is %2, not a timer record")
                                          .arg(text(TND::kTimerInfoKey), PropertyList::kindOf(*info)));
        return false;
    }
    const TimerRecordCheck::Result read = TimerRecordCheck::read(info->toMap());
    if (!read.record) {
        refuse(TND::kChangeTimerNote, read.problem);
        return false;
    }
    if (!read.softProblem.isEmpty())
        qWarning(kSoftProblemMessage, TND::kChangeTimerNote, qPrintable(read.softProblem));
    std::unique_ptr<timerObject> &timer = m_timerArray[size_t(*rowIndex)];
    // The place of an entry that could not be read gets its first timer.
    if (timer)
        timer->mergeWithDict(*read.record, read.windowColor);
    else
        timer = timerObject::timerWithDict(*read.record, read.windowColor);
    recordEnds();
    return true;
}

bool TNDTimerList::removeTimer(const QVariantMap &userInfo) {
    QString problem;
    const std::optional<int64_t> rowIndex = rowIndexOf(userInfo, &problem);
    if (!rowIndex) {
        refuse(TND::kRemoveTimerNote, problem);
        return false;
    }
    if (const std::optional<QString> outside = TNDTimerRecord::rowIndexProblem(*rowIndex, count())) {
        refuse(TND::kRemoveTimerNote, *outside);
        return false;
    }
    const auto position = m_timerArray.begin() + *rowIndex;
    if (*position) {
        (*position)->stopCountdown();
        (*position)->hideWindow();
    }
    m_timerArray.erase(position);
    recordEnds();
    return true;
}

bool TNDTimerList::doneTimer(const QObject *finished) {
    const qsizetype position = indexOf(finished);
    if (position < 0)
        return false;
    m_center.post(text(TND::kDoneTimerNote), {{text(TND::kRowIndexKey), qint64(position)}});
    recordEnds();
    announceEnd(*m_timerArray[size_t(position)]);
    return true;
}

void TNDTimerList::loadTimers(const QVariant &timerArray, const QVariant &timerEnds) {
    if (!timerArray.isValid())
        return;
    if (timerArray.typeId() != QMetaType::QVariantList) {
        qWarning(kStoredListUnusableMessage, TND::kTimerArrayKey,
                 qPrintable(PropertyList::kindOf(timerArray)));
        return;
    }
    const QVariantList records = timerArray.toList();
    // Anything but a list of ends reads as no ends at all: every timer starts from its whole duration.
    const QVariantList ends = timerEnds.toList();
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (count() >= TND::kMaxTimers) {
            qWarning(kStoredListTooLongMessage, TND::kTimerArrayKey, TND::kMaxTimers, qlonglong(records.size() - i));
            break;
        }
        const QVariant &entry = records[i];
        QString problem;
        std::optional<TimerRecordCheck::Result> read;
        if (entry.typeId() != QMetaType::QVariantMap) {
            problem = QStringLiteral("it is %1, not a timer record").arg(PropertyList::kindOf(entry));
        } else {
            read = TimerRecordCheck::read(entry.toMap());
            if (!read->record)
                problem = read->problem;
        }
        if (!problem.isEmpty()) {
            qWarning(kStoredRecordKeptMessage, TND::kTimerArrayKey, qlonglong(i), qPrintable(problem));
            m_timerArray.push_back(nullptr);
            continue;
        }
        if (!read->softProblem.isEmpty())
            qWarning(kStoredRecordSoftMessage, TND::kTimerArrayKey, qlonglong(i),
                     qPrintable(read->softProblem));
        m_timerArray.push_back(timerObject::timerWithDict(*read->record, read->windowColor));
        if (read->record->isDone() || i >= ends.size())
            continue;
        const QVariant &end = ends[i];
        if (const std::optional<double> moment = storedEnd(end))
            m_timerArray.back()->resumeUntil(*moment);
        else if (end.typeId() != QMetaType::QString || !end.toString().isEmpty())
            qWarning(kStoredEndIgnoredMessage, TND::kTimerEndsKey, qlonglong(i),
                     qPrintable(PropertyList::kindOf(end)));
    }
    recordEnds();
}
