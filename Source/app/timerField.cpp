#include "timerField.h"

#include "TNDTimerRecord.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <limits>

namespace {

constexpr char kAccessibleName[] = "Duration";
constexpr char kAccessibleDescription[] = "%1, %2 selected";
constexpr char kToolTip[] = "Click hours, minutes or seconds to choose what the arrows change";

// Where each text starts: the lower-left corner of the text, from the view's bottom-left corner.
constexpr QPointF kHoursAt(5, 2);
constexpr QPointF kFirstColonAt(20, 2);
constexpr QPointF kMinutesAt(25, 2);
constexpr QPointF kSecondColonAt(40, 2);
constexpr QPointF kSecondsAt(45, 2);

// Each field's digits have from x + 1 to the end of its 16-wide zone, and from y 2 to the zone's top at 18.
constexpr double kDigitsWidth = 15.0;
constexpr double kDigitsHeight = 16.0;

// The longest duration whose seconds an unsigned 32-bit count holds: 1193046:28:15.
constexpr int64_t kLongestDuration = std::numeric_limits<uint32_t>::max();

QString partName(int32_t selected) {
    switch (selected) {
    case timerField::Hours:
        return QStringLiteral("hours");
    case timerField::Minutes:
        return QStringLiteral("minutes");
    case timerField::Seconds:
        return QStringLiteral("seconds");
    default:
        return QStringLiteral("nothing");
    }
}

} // namespace

timerField::timerField(QWidget *parent)
    : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QString::fromLatin1(kAccessibleName));
    setToolTip(QString::fromLatin1(kToolTip));
    chooseFont();
    durationChanged();
}

uint32_t timerField::totalSeconds() const {
    return uint32_t(m_hours) * 3600u + uint32_t(m_minutes) * 60u + uint32_t(m_seconds);
}

int timerField::increaseBy() const {
    switch (m_selected) {
    case Hours:
        return 3600;
    case Minutes:
        return 60;
    default:
        return 1;
    }
}

QString timerField::formated() const {
    return TNDTimerRecord::formated(uint32_t(m_hours), uint32_t(m_minutes), uint32_t(m_seconds));
}

QString timerField::totalSecondsString() const {
    return TNDTimerRecord::totalSecondsString(totalSeconds());
}

void timerField::setTotalSeconds(uint32_t seconds) {
    const uint32_t hours = seconds / 3600;
    const uint32_t rest = seconds - hours * 3600;
    m_hours = int32_t(hours); // [0, 1193046]
    m_minutes = int32_t(rest / 60);
    m_seconds = int32_t(rest - uint32_t(m_minutes) * 60);
    durationChanged();
    update();
}

void timerField::increaseHoursBy(uint32_t amount) {
    m_hours = int32_t(std::min<int64_t>(int64_t(m_hours) + amount, std::numeric_limits<int32_t>::max()));
    clampDuration();
    durationChanged();
}

void timerField::increaseMinutesBy(uint32_t amount) {
    const int64_t minutes = int64_t(m_minutes) + amount;
    if (minutes > 59) {
        const int64_t hours = int64_t(m_hours) + minutes / 60;
        m_hours = int32_t(std::min<int64_t>(hours, std::numeric_limits<int32_t>::max()));
        m_minutes = int32_t(minutes % 60);
    } else {
        m_minutes = int32_t(minutes);
    }
    clampDuration();
    durationChanged();
}

void timerField::increaseSecondsBy(uint32_t amount) {
    const int64_t seconds = int64_t(m_seconds) + amount;
    if (seconds > 59) {
        // Minutes may pass 59 here for a moment; increaseMinutesBy(0) carries them on into hours.
        const int64_t minutes = int64_t(m_minutes) + seconds / 60;
        m_minutes = int32_t(std::min<int64_t>(minutes, std::numeric_limits<int32_t>::max()));
        m_seconds = int32_t(seconds % 60);
        increaseMinutesBy(0);
    } else {
        m_seconds = int32_t(seconds);
        durationChanged();
    }
}

// The increase operations take any amount; a sum beyond what totalSeconds counts would wrap around to a
// short duration, so it stops at the longest one instead.
void timerField::clampDuration() {
    const int64_t total = int64_t(m_hours) * 3600 + int64_t(m_minutes) * 60 + m_seconds;
    if (total <= kLongestDuration)
        return;
    m_hours = int32_t(kLongestDuration / 3600);
    m_minutes = int32_t(kLongestDuration % 3600 / 60);
    m_seconds = int32_t(kLongestDuration % 60);
}

QRectF timerField::highlightRect(int32_t part) {
    switch (part) {
    case Hours:
        return {4, 1, 16, 17};
    case Minutes:
        return {24, 1, 16, 17};
    case Seconds:
        return {44, 1, 16, 17};
    default:
        return {};
    }
}

int32_t timerField::partAt(double x) {
    if (x > 4 && x < 20)
        return Hours;
    if (x > 24 && x < 40)
        return Minutes;
    if (x > 44 && x < 60)
        return Seconds;
    return None;
}

QSize timerField::sizeHint() const {
    return {kWidth, kHeight};
}

QPointF timerField::toWidget(QPointF point) const {
    return {point.x(), height() - point.y()};
}

QRectF timerField::toWidget(const QRectF &rect) const {
    return {rect.x(), height() - rect.y() - rect.height(), rect.width(), rect.height()};
}

void timerField::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const double w = width();
    const double h = height();

    painter.fillRect(rect(), Qt::white);

    // Lines along the bounds: one on the edge would be half outside the view, so each is drawn on the
    // outermost row or column of pixels.
    painter.setRenderHint(QPainter::Antialiasing, false);
    // With the keyboard focus the frame takes the highlight colour, so that Left and Right have a visible
    // home.
    const QColor frame = hasFocus() ? palette().color(QPalette::Active, QPalette::Highlight)
                                    : QColor(kGrayLevel, kGrayLevel, kGrayLevel);
    painter.setPen(QPen(frame, 0));
    const auto inside = [w, h](QPointF p) {
        return QPointF(std::clamp(p.x(), 0.0, w - 1), std::clamp(p.y(), 0.0, h - 1));
    };
    const auto line = [&](QPointF from, QPointF to) {
        painter.drawLine(inside(toWidget(from)), inside(toWidget(to)));
    };
    line({0, 0}, {w, 0});
    line({0, h}, {w, h});
    line({0, 1}, {0, h - 1});
    line({w, 1}, {w, h - 1});

    if (m_selected != None)
        painter.fillRect(toWidget(highlightRect(m_selected)),
                         QColor::fromRgbF(kHighlightRed, kHighlightGreen, kHighlightBlue, 1.0));

    painter.setFont(m_digitFont);
    // The ground is always white and the highlight always light blue, so the digits are always black: the
    // palette's text colour is light under a dark theme and would vanish there.
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(m_digitFont);
    // A text's lower-left corner is the bottom of its descent; Qt places the baseline.
    const auto text = [&](QPointF at, const QString &string) {
        painter.drawText(toWidget(at) - QPointF(0, metrics.descent()), string);
    };
    const QString colon = QStringLiteral(":");
    const QStringList parts = formated().split(colon);
    text(kHoursAt, parts[0]);
    text(kFirstColonAt, colon);
    text(kMinutesAt, parts[1]);
    text(kSecondColonAt, colon);
    text(kSecondsAt, parts[2]);
}

void timerField::mousePressEvent(QMouseEvent *event) {
    select(partAt(event->position().x()));
    event->accept();
}

void timerField::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Left:
        select(m_selected <= Hours ? Hours : m_selected - 1);
        break;
    case Qt::Key_Right:
        select(m_selected >= Seconds ? Seconds : m_selected + 1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void timerField::focusInEvent(QFocusEvent *event) {
    update();
    QWidget::focusInEvent(event);
}

void timerField::focusOutEvent(QFocusEvent *event) {
    update();
    QWidget::focusOutEvent(event);
}

void timerField::changeEvent(QEvent *event) {
    if (event->type() == QEvent::FontChange)
        chooseFont();
    QWidget::changeEvent(event);
}

void timerField::select(int32_t part) {
    m_selected = part;
    durationChanged();
    update();
}

// The widget's own font, made smaller until the widest two digits fit a field.
void timerField::chooseFont() {
    QFont font = this->font();
    double size = font.pixelSize() > 0 ? font.pixelSize() : QFontMetricsF(font).height();
    for (;; size -= 1.0) {
        font.setPixelSize(std::max(1, int(size)));
        const QFontMetricsF metrics(font);
        double widest = 0;
        for (char digit = '0'; digit <= '9'; ++digit)
            widest = std::max(widest, metrics.horizontalAdvance(QString(2, QLatin1Char(digit))));
        if ((widest <= kDigitsWidth && metrics.ascent() + metrics.descent() <= kDigitsHeight) || size <= 1.0)
            break;
    }
    m_digitFont = font;
    update();
}

void timerField::durationChanged() {
    setAccessibleDescription(
        QString::fromLatin1(kAccessibleDescription).arg(formated(), partName(m_selected)));
}
