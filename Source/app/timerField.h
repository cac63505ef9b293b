#pragma once

#include <QPointF>
#include <QRectF>
#include <QWidget>

#include <cstdint>

// A duration shown as HH:MM:SS in three two-digit fields. A click on a field selects it (hours, minutes or
// seconds) and highlights it; the timer editor's stepper then changes the duration by one unit of that
// part (increaseBy). With the keyboard, Left and Right move the selection. The view also gives the two
// texts a timer record stores: the HH:MM:SS text and the total number of seconds.
//
// All positions are fixed numbers, measured from the view's bottom-left corner with y growing upwards; only
// the frame lines follow the view's size.
class timerField : public QWidget {
    Q_OBJECT

public:
    enum Part : int32_t { None = 0, Hours = 1, Minutes = 2, Seconds = 3 };

    static constexpr int kWidth = 64;
    static constexpr int kHeight = 20;
    static constexpr int kGrayLevel = 128; // the frame lines: a grey halfway between black and white
    // The light blue behind the selected field.
    static constexpr double kHighlightRed = 0.71;
    static constexpr double kHighlightGreen = 0.835;
    static constexpr double kHighlightBlue = 1.0;

    explicit timerField(QWidget *parent = nullptr);

    uint32_t totalSeconds() const;
    // The step of the selected part: 3600 for hours, 60 for minutes, 1 for seconds or nothing selected.
    int increaseBy() const;
    QString formated() const;
    QString totalSecondsString() const;

    // Splits the count into hours, minutes [0, 59] and seconds [0, 59], and redraws.
    void setTotalSeconds(uint32_t seconds);
    // These three change the duration without redrawing; the caller asks for that when it is done.
    void increaseHoursBy(uint32_t amount);
    void increaseMinutesBy(uint32_t amount); // carries into hours
    void increaseSecondsBy(uint32_t amount); // carries into minutes and on into hours

    int32_t hours() const { return m_hours; }
    int32_t minutes() const { return m_minutes; }
    int32_t seconds() const { return m_seconds; }
    int32_t selected() const { return m_selected; }

    // The hit zone and highlight of each part, in the view's bottom-left system: x from 4 to 20, 24 to 40,
    // 44 to 60.
    static QRectF highlightRect(int32_t part);
    // The part a click at `x` selects; the bounds themselves select nothing.
    static int32_t partAt(double x);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The one place where the bottom-left positions become the widget's top-left ones.
    QPointF toWidget(QPointF point) const;
    QRectF toWidget(const QRectF &rect) const;

    void select(int32_t part);
    void chooseFont();
    void durationChanged();
    // Keeps the duration within what totalSeconds can count (1193046:28:15).
    void clampDuration();

    int32_t m_hours = 0;
    int32_t m_minutes = 0;  // [0, 59] outside the increase operations
    int32_t m_seconds = 0;  // [0, 59] outside the increase operations
    int32_t m_selected = 0; // a Part
    QFont m_digitFont;
};
