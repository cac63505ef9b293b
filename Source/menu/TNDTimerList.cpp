#include "TNDTimerList.h"

#include "DistributedNotificationCenter.h"
#include "NotificationCenter.h"
#include "NumberValues.h"
#include "PropertyList.h"
#include "TNDContract.h"
#include "TimerRecordCheck.h"
#include "timerObject.h"

#include <optional>

namespace {

constexpr char kRefusedMessage[] = "%s refused: %s; nothing changed";
constexpr char kSoftProblemMessage[] = "%s: %s";
// The first %s is always the key of the stored list.
constexpr char kStoredRecordLeftOutMessage[] =
    "The settings file's \"%s\" entry %lld is left out: %s; the positions after it no longer match "
    "the main application's list";
constexpr char kStoredRecordSoftMessage[] = "The settings file's \"%s\" entry %lld: %s";
constexpr char kStoredListUnusableMessage[] =
    "The settings file's \"%s\" is %s, not a list of timer records; no timers are started";

QString text(const char *latin1) {
    return QString::fromLatin1(latin1);
}

void refuse(const char *note, const QString &problem) {
    qWarning(kRefusedMessage, note, qPrintable(problem));
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
    const TimerRecordCheck::Result read = TimerRecordCheck::read(userInfo);
    if (!read.record) {
        refuse(TND::kAddTimerNote, read.problem);
        return false;
    }
    if (!read.softProblem.isEmpty())
        qWarning(kSoftProblemMessage, TND::kAddTimerNote, qPrintable(read.softProblem));
    m_timerArray.push_back(timerObject::timerWithDict(*read.record, read.windowColor));
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
    m_timerArray[size_t(*rowIndex)]->mergeWithDict(*read.record, read.windowColor);
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
    (*position)->stopCountdown();
    (*position)->hideWindow();
    m_timerArray.erase(position);
    return true;
}

bool TNDTimerList::doneTimer(const QObject *finished) {
    const qsizetype position = indexOf(finished);
    if (position < 0)
        return false;
    m_center.post(text(TND::kDoneTimerNote), {{text(TND::kRowIndexKey), qint64(position)}});
    return true;
}

void TNDTimerList::loadTimers(const QVariant &timerArray) {
    if (!timerArray.isValid())
        return;
    if (timerArray.typeId() != QMetaType::QVariantList) {
        qWarning(kStoredListUnusableMessage, TND::kTimerArrayKey,
                 qPrintable(PropertyList::kindOf(timerArray)));
        return;
    }
    const QVariantList records = timerArray.toList();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QVariant &entry = records[i];
        if (entry.typeId() != QMetaType::QVariantMap) {
            qWarning(
                kStoredRecordLeftOutMessage, TND::kTimerArrayKey, qlonglong(i),
                qPrintable(QStringLiteral("it is %1, not a timer record").arg(PropertyList::kindOf(entry))));
            continue;
        }
        const TimerRecordCheck::Result read = TimerRecordCheck::read(entry.toMap());
        if (!read.record) {
            qWarning(kStoredRecordLeftOutMessage, TND::kTimerArrayKey, qlonglong(i),
                     qPrintable(read.problem));
            continue;
        }
        if (!read.softProblem.isEmpty())
            qWarning(kStoredRecordSoftMessage, TND::kTimerArrayKey, qlonglong(i),
                     qPrintable(read.softProblem));
        m_timerArray.push_back(timerObject::timerWithDict(*read.record, read.windowColor));
    }
}
