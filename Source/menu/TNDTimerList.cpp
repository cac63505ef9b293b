#include "TNDTimerList.h"

#include "DistributedNotificationCenter.h"
#include "NotificationCenter.h"
#include "PropertyList.h"
#include "TNDContract.h"
#include "TimerRecordCheck.h"
#include "timerObject.h"

#include <limits>
#include <optional>

namespace {

constexpr char kRefusedMessage[] = "%s refused: %s; nothing changed";
constexpr char kSoftProblemMessage[] = "%s: %s";
constexpr char kStoredRecordLeftOutMessage[] =
    "The settings file's \"timerArray\" entry %lld is left out: %s; the positions after it no longer match "
    "the main application's list";
constexpr char kStoredRecordSoftMessage[] = "The settings file's \"timerArray\" entry %lld: %s";
constexpr char kStoredListTooLongMessage[] =
    "The settings file's \"timerArray\" holds more timers than the %d the companion runs at once; the last "
    "%lld are left out";
constexpr char kStoredListUnusableMessage[] =
    "The settings file's \"timerArray\" is %s, not a list of timer records; no timers are started";

QString text(const char *latin1) {
    return QString::fromLatin1(latin1);
}

void refuse(const char *note, const QString &problem) {
    qWarning(kRefusedMessage, note, qPrintable(problem));
}

// The user info's "rowIndex" as a position, or nothing with the problem.
std::optional<int64_t> rowIndexOf(const QVariantMap &userInfo, QString *problem) {
    const auto found = userInfo.constFind(text(TNDTimerList::kRowIndexKey));
    if (found == userInfo.cend()) {
        *problem = QStringLiteral("it has no \"%1\"").arg(text(TNDTimerList::kRowIndexKey));
        return std::nullopt;
    }
    switch (found->typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return found->toLongLong();
    case QMetaType::ULongLong:
        if (found->toULongLong() > uint64_t(std::numeric_limits<int64_t>::max()))
            return std::numeric_limits<int64_t>::max();
        return int64_t(found->toULongLong());
    default:
        *problem = QStringLiteral("its \"%1\" is %2, not an integer")
                       .arg(text(TNDTimerList::kRowIndexKey), PropertyList::kindOf(*found));
        return std::nullopt;
    }
}

} // namespace

TNDTimerList::TNDTimerList(DistributedNotificationCenter &center, QObject *parent)
    : QObject(parent)
    , m_center(center) {}

TNDTimerList::~TNDTimerList() = default;

void TNDTimerList::observe() {
    m_center.addObserver(
        text(kAddTimerNote), [this](const Notification &note) { addTimer(note.userInfo); }, this);
    m_center.addObserver(
        text(kChangeTimerNote), [this](const Notification &note) { changeTimer(note.userInfo); }, this);
    m_center.addObserver(
        text(kRemoveTimerNote), [this](const Notification &note) { removeTimer(note.userInfo); }, this);
    NotificationCenter::defaultCenter().addObserver(
        text(timerObject::kDoneTimerNote), [this](const Notification &note) { doneTimer(note.object); },
        this);
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
        refuse(kAddTimerNote, QStringLiteral("%1 timers are running, the most the companion runs at once")
                                  .arg(TND::kMaxTimers));
        return false;
    }
    const TimerRecordCheck::Result read = TimerRecordCheck::read(userInfo);
    if (!read.record) {
        refuse(kAddTimerNote, read.problem);
        return false;
    }
    if (!read.softProblem.isEmpty())
        qWarning(kSoftProblemMessage, kAddTimerNote, qPrintable(read.softProblem));
    m_timerArray.push_back(timerObject::timerWithDict(*read.record, read.windowColor));
    saveTimers();
    return true;
}

bool TNDTimerList::changeTimer(const QVariantMap &userInfo) {
    QString problem;
    const std::optional<int64_t> rowIndex = rowIndexOf(userInfo, &problem);
    if (!rowIndex) {
        refuse(kChangeTimerNote, problem);
        return false;
    }
    if (const std::optional<QString> outside = TNDTimerRecord::rowIndexProblem(*rowIndex, count())) {
        refuse(kChangeTimerNote, *outside);
        return false;
    }
    const auto info = userInfo.constFind(text(kTimerInfoKey));
    if (info == userInfo.cend()) {
        refuse(kChangeTimerNote, QStringLiteral("it has no \"%1\"").arg(text(kTimerInfoKey)));
        return false;
    }
    if (info->typeId() != QMetaType::QVariantMap) {
        refuse(kChangeTimerNote, QStringLiteral("its \"%1\" is %2, not a timer record")
                                     .arg(text(kTimerInfoKey), PropertyList::kindOf(*info)));
        return false;
    }
    const TimerRecordCheck::Result read = TimerRecordCheck::read(info->toMap());
    if (!read.record) {
        refuse(kChangeTimerNote, read.problem);
        return false;
    }
    if (!read.softProblem.isEmpty())
        qWarning(kSoftProblemMessage, kChangeTimerNote, qPrintable(read.softProblem));
    m_timerArray[size_t(*rowIndex)]->mergeWithDict(*read.record, read.windowColor);
    saveTimers();
    return true;
}

bool TNDTimerList::removeTimer(const QVariantMap &userInfo) {
    QString problem;
    const std::optional<int64_t> rowIndex = rowIndexOf(userInfo, &problem);
    if (!rowIndex) {
        refuse(kRemoveTimerNote, problem);
        return false;
    }
    if (const std::optional<QString> outside = TNDTimerRecord::rowIndexProblem(*rowIndex, count())) {
        refuse(kRemoveTimerNote, *outside);
        return false;
    }
    const auto position = m_timerArray.begin() + *rowIndex;
    (*position)->stopCountdown();
    (*position)->hideWindow();
    m_timerArray.erase(position);
    saveTimers();
    return true;
}

bool TNDTimerList::doneTimer(const QObject *finished) {
    const qsizetype position = indexOf(finished);
    if (position < 0)
        return false;
    m_center.post(text(kDoneTimerNote), {{text(kRowIndexKey), qint64(position)}});
    saveTimers();
    return true;
}

void TNDTimerList::loadTimers(const QVariant &timerArray) {
    if (!timerArray.isValid())
        return;
    if (timerArray.typeId() != QMetaType::QVariantList) {
        qWarning(kStoredListUnusableMessage, qPrintable(PropertyList::kindOf(timerArray)));
        return;
    }
    const QVariantList records = timerArray.toList();
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (count() >= TND::kMaxTimers) {
            qWarning(kStoredListTooLongMessage, TND::kMaxTimers, qlonglong(records.size() - i));
            break;
        }
        const QVariant &entry = records[i];
        if (entry.typeId() != QMetaType::QVariantMap) {
            qWarning(
                kStoredRecordLeftOutMessage, qlonglong(i),
                qPrintable(QStringLiteral("it is %1, not a timer record").arg(PropertyList::kindOf(entry))));
            continue;
        }
        const TimerRecordCheck::Result read = TimerRecordCheck::read(entry.toMap());
        if (!read.record) {
            qWarning(kStoredRecordLeftOutMessage, qlonglong(i), qPrintable(read.problem));
            continue;
        }
        if (!read.softProblem.isEmpty())
            qWarning(kStoredRecordSoftMessage, qlonglong(i), qPrintable(read.softProblem));
        m_timerArray.push_back(timerObject::timerWithDict(*read.record, read.windowColor));
    }
}
