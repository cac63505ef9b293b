#include "timerField.h"

#include <QImage>
#include <QtTest>

#include <algorithm>

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGray(128, 128, 128);      // the frame lines
const QColor kLightBlue(181, 213, 255); // 0.71, 0.835, 1.0 of 255, rounded

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A field in a window, beside a marker widget. Once the marker has painted after an update asked for later,
// every redraw asked for before it has been done: both belong to the same window's repaint.
struct Shown {
    QWidget window;
    timerField *field = new timerField(&window);
    QWidget *marker = new QWidget(&window);
    PaintCounter fieldPaints;
    PaintCounter markerPaints;

    Shown() {
        window.resize(200, 40);
        field->move(0, 0);
        marker->setGeometry(100, 0, 20, 20);
        field->installEventFilter(&fieldPaints);
        marker->installEventFilter(&markerPaints);
    }

    bool showAndSettle() {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        return settle();
    }

    // Waits for every redraw asked for until now, then forgets the paints counted so far.
    bool settle() {
        const int before = markerPaints.paints;
        marker->update();
        if (!QTest::qWaitFor([&] { return markerPaints.paints > before; }))
            return false;
        fieldPaints.paints = 0;
        markerPaints.paints = 0;
        return true;
    }

    // The field's redraws since the last settle, once everything asked for until now has been done.
    int redrawsSince() {
        markerPaints.paints = 0;
        marker->update();
        if (!QTest::qWaitFor([&] { return markerPaints.paints > 0; }))
            return -1;
        return fieldPaints.paints;
    }
};

void click(timerField &field, int x, int y) {
    QTest::mouseClick(&field, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
}

} // namespace

class TestTimerField : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void newViewIsZeroWithNothingSelected() {
        timerField field;
        QCOMPARE(field.hours(), 0);
        QCOMPARE(field.minutes(), 0);
        QCOMPARE(field.seconds(), 0);
        QCOMPARE(field.selected(), 0);
        QCOMPARE(field.totalSeconds(), 0u);
        QCOMPARE(field.increaseBy(), 1);
        QCOMPARE(field.formated(), QStringLiteral("00:00:00"));
        QCOMPARE(field.totalSecondsString(), QStringLiteral("0"));
        const QImage shot = field.grab().toImage();
        for (const QPoint at : {QPoint(10, 18), QPoint(30, 18), QPoint(50, 18)})
            QCOMPARE(shot.pixelColor(at), kWhite);
    }

    void setTotalSecondsSplitsAndRedraws_data() {
        QTest::addColumn<uint>("seconds");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("secondsPart");
        QTest::addColumn<QString>("formated");
        QTest::addColumn<QString>("totalSecondsString");
        QTest::newRow("nothing") << 0u << 0 << 0 << 0 << "00:00:00"
                                 << "0";
        QTest::newRow("one of each part") << 3661u << 1 << 1 << 1 << "01:01:01"
                                          << "3661";
        QTest::newRow("the most two digits of hours show") << 359999u << 99 << 59 << 59 << "99:59:59"
                                                           << "359999";
        QTest::newRow("a hundred hours take three digits") << 360000u << 100 << 0 << 0 << "100:00:00"
                                                           << "360000";
        QTest::newRow("ten of each part, no leading zero") << 36610u << 10 << 10 << 10 << "10:10:10"
                                                           << "36610";
        QTest::newRow("the largest count stays positive in the text")
            << 4294967295u << 1193046 << 28 << 15 << "1193046:28:15"
            << "4294967295";
    }
    void setTotalSecondsSplitsAndRedraws() {
        QFETCH(uint, seconds);
        Shown shown;
        QVERIFY(shown.showAndSettle());
        shown.field->setTotalSeconds(seconds);
        QTEST(int(shown.field->hours()), "hours");
        QTEST(int(shown.field->minutes()), "minutes");
        QTEST(int(shown.field->seconds()), "secondsPart");
        QTEST(shown.field->formated(), "formated");
        QTEST(shown.field->totalSecondsString(), "totalSecondsString");
        QCOMPARE(shown.field->totalSeconds(), seconds);
        QCOMPARE(shown.redrawsSince(), 1);
    }

    // Each click starts from minutes selected, so that a click that clears the selection shows.
    void clickSelectsByXOnly_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("increaseBy");
        QTest::newRow("x 10: hours") << 10 << 10 << 1 << 3600;
        QTest::newRow("x 30: minutes") << 30 << 10 << 2 << 60;
        QTest::newRow("x 50: seconds") << 50 << 10 << 3 << 1;
        QTest::newRow("x 10 on the top line: hours") << 10 << 0 << 1 << 3600;
        QTest::newRow("x 50 on the bottom line: seconds") << 50 << 19 << 3 << 1;
        QTest::newRow("x 30 below the view: minutes") << 30 << 25 << 2 << 60;
        QTest::newRow("x 4: the hours zone's left bound") << 4 << 10 << 0 << 1;
        QTest::newRow("x 5: just inside hours") << 5 << 10 << 1 << 3600;
        QTest::newRow("x 19: just inside hours") << 19 << 10 << 1 << 3600;
        QTest::newRow("x 20: the hours zone's right bound") << 20 << 10 << 0 << 1;
        QTest::newRow("x 22: the first colon") << 22 << 10 << 0 << 1;
        QTest::newRow("x 24: the minutes zone's left bound") << 24 << 10 << 0 << 1;
        QTest::newRow("x 40: the minutes zone's right bound") << 40 << 10 << 0 << 1;
        QTest::newRow("x 44: the seconds zone's left bound") << 44 << 10 << 0 << 1;
        QTest::newRow("x 60: the seconds zone's right bound") << 60 << 10 << 0 << 1;
        QTest::newRow("x 70: right of every zone") << 70 << 10 << 0 << 1;
        QTest::newRow("x 2: the left margin") << 2 << 10 << 0 << 1;
    }
    void clickSelectsByXOnly() {
        QFETCH(int, x);
        QFETCH(int, y);
        Shown shown;
        shown.window.resize(200, 40);
        shown.field->setFixedSize(80, 20); // a click at x 70 still lands on the view
        QVERIFY(shown.showAndSettle());
        click(*shown.field, 30, 10);
        QCOMPARE(shown.field->selected(), 2);
        QVERIFY(shown.settle());
        click(*shown.field, x, y);
        QTEST(int(shown.field->selected()), "selected");
        QTEST(shown.field->increaseBy(), "increaseBy");
        QCOMPARE(shown.redrawsSince(), 1);
    }

    void increaseOperationsCarryWithoutRedrawing_data() {
        QTest::addColumn<uint>("start");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<uint>("amount");
        QTest::addColumn<QString>("formated");
        QTest::addColumn<uint>("totalSeconds");
        QTest::newRow("125 s on 00:00:00 carry two minutes") << 0u << "seconds" << 125u << "00:02:05" << 125u;
        QTest::newRow("3600 s on 00:59:00 carry through minutes into hours")
            << 3540u << "seconds" << 3600u << "01:59:00" << 7140u;
        QTest::newRow("130 min on 00:00:00 carry two hours")
            << 0u << "minutes" << 130u << "02:10:00" << 7800u;
        QTest::newRow("1 s on 00:59:59 rolls every part") << 3599u << "seconds" << 1u << "01:00:00" << 3600u;
        QTest::newRow("59 s on 00:00:00 carry nothing") << 0u << "seconds" << 59u << "00:00:59" << 59u;
        QTest::newRow("1 min on 00:59:30 carries an hour") << 3570u << "minutes" << 1u << "01:00:30" << 3630u;
        QTest::newRow("hours never touch minutes or seconds")
            << 3723u << "hours" << 100u << "101:02:03" << 363723u;
        QTest::newRow("nothing added changes nothing") << 3723u << "seconds" << 0u << "01:02:03" << 3723u;
        QTest::newRow("a sum past the largest count stops at it")
            << 4294967295u << "seconds" << 4294967295u << "1193046:28:15" << 4294967295u;
        QTest::newRow("hours past the largest count stop at it")
            << 0u << "hours" << 4294967295u << "1193046:28:15" << 4294967295u;
    }
    void increaseOperationsCarryWithoutRedrawing() {
        QFETCH(uint, start);
        QFETCH(QString, operation);
        QFETCH(uint, amount);
        Shown shown;
        QVERIFY(shown.showAndSettle());
        shown.field->setTotalSeconds(start);
        QVERIFY(shown.settle());
        if (operation == QLatin1String("hours"))
            shown.field->increaseHoursBy(amount);
        else if (operation == QLatin1String("minutes"))
            shown.field->increaseMinutesBy(amount);
        else
            shown.field->increaseSecondsBy(amount);
        QTEST(shown.field->formated(), "formated");
        QTEST(uint(shown.field->totalSeconds()), "totalSeconds");
        QVERIFY(shown.field->minutes() >= 0 && shown.field->minutes() <= 59);
        QVERIFY(shown.field->seconds() >= 0 && shown.field->seconds() <= 59);
        QCOMPARE(shown.redrawsSince(), 0);
    }

    void keyboardMovesTheSelection() {
        Shown shown;
        QVERIFY(shown.showAndSettle());
        shown.field->setFocus();
        QTest::keyClick(shown.field, Qt::Key_Left);
        QCOMPARE(shown.field->selected(), 1);
        QTest::keyClick(shown.field, Qt::Key_Right);
        QTest::keyClick(shown.field, Qt::Key_Right);
        QCOMPARE(shown.field->selected(), 3);
        QTest::keyClick(shown.field, Qt::Key_Right);
        QCOMPARE(shown.field->selected(), 3);
        QCOMPARE(shown.field->accessibleDescription(), QStringLiteral("00:00:00, seconds selected"));
    }

    // Positions from the view's bottom left, turned by hand into rows from the top of a 64 x 20 view: the
    // minutes highlight (24, 1, 16, 17) covers columns 24 to 39 and rows 20 - 1 - 17 = 2 to 18.
    void minutesSelectedDrawsAtTheDescribedPixels_data() {
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QColor>("color");
        QTest::newRow("highlight, bottom left corner") << QPoint(24, 18) << kLightBlue;
        QTest::newRow("highlight, bottom right corner") << QPoint(39, 18) << kLightBlue;
        QTest::newRow("highlight, top left corner") << QPoint(24, 2) << kLightBlue;
        QTest::newRow("highlight, left edge before the digits") << QPoint(24, 10) << kLightBlue;
        QTest::newRow("white left of the highlight") << QPoint(23, 18) << kWhite;
        QTest::newRow("white right of the highlight") << QPoint(40, 18) << kWhite;
        QTest::newRow("white above the highlight") << QPoint(30, 1) << kWhite;
        QTest::newRow("hours not highlighted") << QPoint(4, 18) << kWhite;
        QTest::newRow("seconds not highlighted") << QPoint(59, 18) << kWhite;
        QTest::newRow("white fill, inside the left margin") << QPoint(1, 1) << kWhite;
        QTest::newRow("white fill, inside the right margin") << QPoint(62, 18) << kWhite;
        QTest::newRow("bottom line, left end") << QPoint(0, 19) << kGray;
        QTest::newRow("bottom line, under the highlight") << QPoint(30, 19) << kGray;
        QTest::newRow("bottom line, right end") << QPoint(63, 19) << kGray;
        QTest::newRow("top line, left end") << QPoint(0, 0) << kGray;
        QTest::newRow("top line, over the highlight") << QPoint(30, 0) << kGray;
        QTest::newRow("top line, right end") << QPoint(63, 0) << kGray;
        QTest::newRow("left line") << QPoint(0, 10) << kGray;
        QTest::newRow("right line") << QPoint(63, 10) << kGray;
    }
    void minutesSelectedDrawsAtTheDescribedPixels() {
        QFETCH(QPoint, pixel);
        QFETCH(QColor, color);
        timerField field;
        field.setTotalSeconds(600);
        click(field, 30, 10);
        QCOMPARE(field.size(), QSize(64, 20));
        const QImage shot = field.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.size(), QSize(64, 20));
        QCOMPARE(shot.pixelColor(pixel), color);

        // The picture, and eight times larger for looking at, beside the test program.
        const QString dir = QCoreApplication::applicationDirPath();
        QVERIFY(shot.save(dir + QStringLiteral("/timerField-minutes.png")));
        QVERIFY(shot.scaled(shot.size() * 8).save(dir + QStringLiteral("/timerField-minutes-x8.png")));
    }

    // The digits stay inside their 16-wide zones: no ink left of where each text starts (x 4, 24, 44) nor
    // right of the seconds zone (x 60 to 62), with wide digits in every part.
    void digitsFitTheirZones() {
        timerField field;
        field.setTotalSeconds(318508);
        QCOMPARE(field.formated(), QStringLiteral("88:28:28"));
        const QImage shot = field.grab().toImage().convertToFormat(QImage::Format_RGB32);
        bool inked = false;
        for (int y = 1; y <= 18; ++y) {
            for (const int x : {4, 24, 44, 60, 61, 62})
                QVERIFY2(shot.pixelColor(x, y) == kWhite,
                         qPrintable(QStringLiteral("ink at %1, %2").arg(x).arg(y)));
            for (int x = 5; x < 20; ++x)
                inked = inked || shot.pixelColor(x, y) != kWhite;
        }
        QVERIFY(inked);
        QVERIFY(shot.save(QCoreApplication::applicationDirPath() +
                          QStringLiteral("/timerField-wide-digits.png")));
    }

    // Under a dark theme the palette's text is light, but the view's ground stays white: its digits stay dark.
    void theDigitsReadUnderADarkTheme() {
        timerField field;
        QPalette dark = field.palette();
        dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
        dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        field.setPalette(dark);
        field.setTotalSeconds(318508); // 88:28:28, ink in every zone
        const QImage shot = field.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.pixelColor(1, 1), kWhite);
        int darkest = 255;
        for (int y = 1; y <= 18; ++y)
            for (int x = 5; x < 20; ++x)
                darkest = std::min(darkest, qGray(shot.pixel(x, y)));
        QVERIFY2(darkest < 64, qPrintable(QStringLiteral("the darkest ink of the hours is %1").arg(darkest)));
        QVERIFY(shot.save(QCoreApplication::applicationDirPath() + QStringLiteral("/timerField-dark-theme.png")));
    }
};

QTEST_MAIN(TestTimerField)
#include "tst_timerField.moc"
