#include "timerObject.h"

#include "Clock.h"
#include "NotificationCenter.h"
#include "TNDContract.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// The window's place: the first row's right edge 3 points from the right edge of the screen and its top 24
// points below the top, each further row 73 points further left, all on one line.
constexpr int kWindowWidth = 70;
constexpr int kWindowHeight = 29;
constexpr int kRowPitch = 73;
constexpr int kTopMargin = 24;
constexpr QRect kDisplayFieldRect(6, 6, 58, 17);
// Rows beyond this are far off any screen already; the limit keeps the arithmetic within int.
constexpr int64_t kFarthestRow = 10'000'000;
// About 31 million years: keeps an absurd clock difference from overflowing the tick count.
constexpr double kLongestElapsed = 1e15;

QRect windowRect(const QRect &screenFrame, int64_t rowIndex) {
    const int row = int(std::clamp<int64_t>(rowIndex, 0, kFarthestRow));
    return QRect(screenFrame.x() + screenFrame.width() - kRowPitch * (row + 1), screenFrame.y() + kTopMargin,
                 kWindowWidth, kWindowHeight);
}

// totalSeconds as the single-precision count the countdown works in; 0 for text that holds no count.
float secondsOf(const QString &totalSeconds) {
    const std::optional<double> value = TNDTimerRecord::decimalValue(totalSeconds);
    if (!value || *value <= 0.0)
        return 0.0f;
    return float(std::min(*value, double(FLT_MAX)));
}

// One part of HH:MM:SS: "0%d" when 9 or less, "%d" otherwise, so hours can run to three digits or more.
QString part(float value) {
    if (value <= 9.0f)
        return QStringLiteral("0%1").arg(int(value));
    return QString::number(double(value), 'f', 0);
}

} // namespace

std::unique_ptr<timerObject> timerObject::timerWithDict(const TNDTimerRecord &record,
                                                        const QColor &windowColor) {
    return std::make_unique<timerObject>(record, windowColor);
}

timerObject::timerObject(const TNDTimerRecord &record, const QColor &windowColor, QObject *parent)
    : QObject(parent)
    , m_timerInfo(record) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect screenFrame = screen ? screen->geometry() : QRect();

    // A tool window stays out of the task bar; with the two hints below it never takes the focus from the
    // window the user is typing in.
    m_theWindow =
        std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                               Qt::WindowDoesNotAcceptFocus);
    m_theWindow->setObjectName(QStringLiteral("timerWindow"));
    m_theWindow->setAttribute(Qt::WA_ShowWithoutActivating);
    // The companion is never the active program, and its timers' titles are only told by their tool tips.
    m_theWindow->setAttribute(Qt::WA_AlwaysShowToolTips);
    m_theWindow->setAutoFillBackground(true);
    m_theWindow->setGeometry(windowRect(screenFrame, record.rowIndex()));
    m_theWindow->installEventFilter(this);

    m_displayField = new QLabel(m_theWindow.get());
    m_displayField->setObjectName(QStringLiteral("displayField"));
    m_displayField->setGeometry(kDisplayFieldRect);
    m_displayField->setTextInteractionFlags(Qt::NoTextInteraction);
    // Presses on the text move the window like presses on the background.
    m_displayField->setAttribute(Qt::WA_TransparentForMouseEvents);

    applyRecord(windowColor);

    m_theTimer.setSingleShot(true);
    m_theTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_theTimer, &QTimer::timeout, this, &timerObject::performInterval);

    if (m_timerInfo.isDone())
        return;
    bringWindowToFront();
    startCountdown();
}

timerObject::~timerObject() = default;

void timerObject::applyRecord(const QColor &windowColor) {
    QPalette palette = m_theWindow->palette();
    palette.setColor(QPalette::Window, windowColor);
    m_theWindow->setPalette(palette);
    m_theWindow->setWindowOpacity(m_timerInfo.opacity());
    m_theWindow->setToolTip(m_timerInfo.title());
    m_theWindow->setWindowTitle(m_timerInfo.title());
    m_decrementInterval = m_timerInfo.ic() ? kICDecrementInterval : kRealDecrementInterval;
    m_displayField->setText(m_timerInfo.time());
    m_theWindow->update();
}

void timerObject::mergeWithDict(const TNDTimerRecord &record, const QColor &windowColor) {
    m_timerInfo = record;
    applyRecord(windowColor);
    stopCountdown();
    bringWindowToFront();
    startCountdown();
}

void timerObject::startCountdown() {
    m_left = secondsOf(m_timerInfo.totalSeconds());
    m_startMoment = Clock::monotonicNow();
    m_ticksTaken = 0;
    m_counting = true;
    m_endsAtOnce = false;
    // The tick at which the time left first falls below one second; the first tick at the earliest.
    const double ticks =
        std::max(1.0, std::floor((double(m_left) - 1.0) / double(m_decrementInterval)) + 1.0);
    m_endMoment = Clock::now() + ticks * kTickInterval / 1000.0;
    m_theTimer.start(kTickInterval);
}

void timerObject::stopCountdown() {
    m_counting = false;
    m_endsAtOnce = false;
    m_endMoment.reset();
    m_theTimer.stop();
}

void timerObject::resumeUntil(double endMoment) {
    stopCountdown();
    m_endMoment = endMoment;
    m_counting = true;
    m_ticksTaken = 0;
    const double left = endMoment - Clock::now(); // real seconds
    if (!(left > 0.0)) {
        m_endsAtOnce = true;
        m_theTimer.start(0);
        return;
    }
    // A countdown shows the whole seconds still to come, counting the one under way: with 7.3 s left it
    // shows 8, the next tick in 0.3 s shows 7, and the eighth tick, at the end moment, ends it.
    const double wholeTicks = std::ceil(std::min(left, kLongestElapsed));
    const double intoTick = 1.0 - (wholeTicks - left); // (0, 1]
    // At the timer's exact rate, so that 11 s of an IC timer show 45 IC seconds, not 44.99999.
    const double rate = m_timerInfo.ic() ? 45.0 / 11.0 : 1.0;
    m_left = float(wholeTicks * rate);
    m_startMoment = Clock::monotonicNow() - (1.0 - intoTick);
    m_timerInfo.setTotalSeconds(QString::asprintf("%f", double(m_left)));
    updateDisplay();
    m_theTimer.start(std::clamp(int(std::lround(intoTick * kTickInterval)), 1, kTickInterval));
}

void timerObject::performInterval() {
    if (!m_counting)
        return;
    if (m_endsAtOnce) {
        finish();
        return;
    }
    const double elapsed = std::clamp(Clock::monotonicNow() - m_startMoment, 0.0, kLongestElapsed);
    // The whole ticks due by now. A tick may fire up to a tenth of a second early and still count; one that
    // comes late counts only the seconds that have passed, never one that has not (a 3-second timer never
    // ends at 2.5 s), and one after a sleep or a stall counts every tick missed meanwhile.
    const int64_t due =
        std::max(m_ticksTaken, int64_t(std::floor(elapsed * 1000.0 / kTickInterval + kEarlyTickTolerance)));
    const int64_t steps = due - m_ticksTaken;
    if (steps > 0) {
        // A tick on time takes one single-precision step, the exact results totalSeconds has always shown;
        // the ticks missed by a late one are taken together.
        const float left = steps == 1 ? m_left - m_decrementInterval
                                      : float(double(m_left) - double(m_decrementInterval) * double(steps));
        m_ticksTaken = due;
        if (left < 1.0f) {
            finish();
            return;
        }
        m_left = left;
        m_timerInfo.setTotalSeconds(QString::asprintf("%f", double(left)));
        updateDisplay();
    }
    // The next tick is aimed at the next whole second since the start, so that a late tick does not shift
    // every later one.
    const double untilNext = double(due + 1) * kTickInterval - elapsed * 1000.0;
    m_theTimer.start(std::clamp(int(std::lround(untilNext)), 1, 2 * kTickInterval));
}

void timerObject::finish() {
    // A done timer keeps its end moment: it is when the timer ended.
    const std::optional<double> ended = m_endMoment;
    stopCountdown();
    m_endMoment = ended;
    m_left = 0.0f;
    m_timerInfo.setTotalSeconds(QStringLiteral("0"));
    m_timerInfo.setDone(QString(QChar(TNDTimerRecord::kDoneMark)));
    updateDisplay();
    // Last, as an observer may do anything with this timer.
    NotificationCenter::defaultCenter().post(QString::fromLatin1(TND::kTimerWindowDoneNote), this);
}

void timerObject::updateDisplay() {
    float t = secondsOf(m_timerInfo.totalSeconds());
    const float hours = std::trunc(t / 3600.0f);
    t = t - hours * 3600.0f;
    const float minutes = std::clamp(std::trunc(t / 60.0f), 0.0f, 59.0f);
    t = t - minutes * 60.0f;
    const float seconds = std::clamp(std::trunc(t), 0.0f, 59.0f);
    m_displayField->setText(QStringLiteral("%1:%2:%3").arg(part(hours), part(minutes), part(seconds)));
}

void timerObject::bringWindowToFront() {
    // A window that comes onto the screen comes on top of the others.
    if (m_theWindow->isVisible())
        m_theWindow->raise();
    else
        m_theWindow->show();
}

void timerObject::hideWindow() {
    m_theWindow->hide();
}

bool timerObject::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_theWindow.get())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        // The window manager moves the window where it can; elsewhere the window follows the pointer.
        QWindow *handle = m_theWindow->windowHandle();
        if (handle && handle->startSystemMove()) {
            m_dragOffset.reset();
            return true;
        }
        m_dragOffset = mouse->globalPosition() - QPointF(m_theWindow->pos());
        return true;
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_dragOffset || !(mouse->buttons() & Qt::LeftButton))
            break;
        m_theWindow->move((mouse->globalPosition() - *m_dragOffset).toPoint());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_dragOffset)
            break;
        m_dragOffset.reset();
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
