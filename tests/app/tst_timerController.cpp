#include "AlertPanel.h"
#include "DistributedNotificationCenter.h"
#include "PropertyList.h"
#include "TimerRecordCheck.h"
#include "UserDefaults.h"
#include "timerController.h"
#include "timerField.h"
#include "timerPaneSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const QString kDone = QString(QChar(0x221A)); // √
const QString kMarker = QStringLiteral("TNDTestMarker");

// Archived colours: model 1 (RGB), then opacity, red, green and blue as 16-bit numbers and two bytes of 0;
// in base64 as tindral-clock listen writes data.
const QByteArray kWhite = QByteArray::fromHex("01ffffffffffffffff0000");
const QString kWhiteBase64 = QStringLiteral("Af//////////AAA=");
const QByteArray kBlueish = QByteArray::fromHex("01ffff20208080c0c00000"); // #2080C0
const QString kBlueishBase64 = QStringLiteral("Af//ICCAgMDAAAA=");

// A record as the settings file would hold it.
QVariantMap stored(const QString &title, const QString &time, const QString &totalSeconds, bool ic,
                   qint64 rowIndex, const QByteArray &color = kWhite, const QString &transparency = "0.7",
                   const QString &done = QString()) {
    return {{"title", title},
            {"time", time},
            {"done", done},
            {"windowColor", color},
            {"transparency", transparency},
            {"totalSeconds", totalSeconds},
            {"ic", ic},
            {"rowIndex", rowIndex}};
}

// A record as tindral-clock listen prints it.
QJsonObject printed(const QString &title, const QString &time, const QString &totalSeconds, bool ic,
                    int rowIndex, const QString &color = kWhiteBase64, const QString &transparency = "0.7") {
    return {{"title", title},
            {"time", time},
            {"done", ""},
            {"windowColor", color},
            {"transparency", transparency},
            {"totalSeconds", totalSeconds},
            {"ic", ic},
            {"rowIndex", rowIndex}};
}

constexpr int kRounds = 200;

QVariantMap readSettings() {
    return PropertyList::readDictionary(UserDefaults::standardPath()).value_or(QVariantMap());
}

void writeSettings(const QVariantMap &settings) {
    QDir().mkpath(UserDefaults::preferencesFolder());
    QString problem;
    QVERIFY2(PropertyList::writeFile(UserDefaults::standardPath(), settings, &problem), qPrintable(problem));
}

// `tindral-clock listen` in a program of its own: every timer message the editor sends, and the marker.
class Listener {
public:
    Listener() {
        m_process.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"),
                        {QStringLiteral("listen"), QStringLiteral("TNDAddTimer"),
                         QStringLiteral("TNDChangeTimer"), QStringLiteral("TNDRemoveTimer"), kMarker});
    }
    ~Listener() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000))
                m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    bool waitUntilListening() {
        m_process.setReadChannel(QProcess::StandardError);
        for (;;) {
            while (m_process.canReadLine()) {
                if (m_process.readLine().startsWith("listening"))
                    return true;
            }
            if (!m_process.waitForReadyRead(30000))
                return false;
        }
    }

    // The next notification heard, as {"name": ..., "userInfo": {...}}.
    QJsonObject next() {
        m_process.setReadChannel(QProcess::StandardOutput);
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(30000))
                return {};
        }
        return QJsonDocument::fromJson(m_process.readLine()).object();
    }

private:
    QProcess m_process;
};

// Compares two dictionaries key by key, so that a failure names the key.
void compareKeyByKey(const QJsonObject &actual, const QJsonObject &expected) {
    QCOMPARE(actual.keys(), expected.keys());
    for (const QString &key : expected.keys()) {
        if (expected[key].isObject()) {
            compareKeyByKey(actual[key].toObject(), expected[key].toObject());
            if (QTest::currentTestFailed())
                return;
            continue;
        }
        QVERIFY2(actual[key] == expected[key],
                 qPrintable(QStringLiteral("\"%1\" is %2, not %3")
                                .arg(key,
                                     QString::fromUtf8(QJsonDocument(QJsonObject{{key, actual[key]}})
                                                           .toJson(QJsonDocument::Compact)),
                                     QString::fromUtf8(QJsonDocument(QJsonObject{{key, expected[key]}})
                                                           .toJson(QJsonDocument::Compact)))));
    }
}


void postMarker() {
    DistributedNotificationCenter::defaultCenter().post(kMarker);
}

} // namespace

class TestTimerController : public QObject {
    Q_OBJECT

    std::unique_ptr<Listener> m_listener;

    // The next message the editor sent, checked key by key; the marker tells that nothing else came first.
    void expectMessage(const QString &name, const QJsonObject &userInfo) {
        const QJsonObject heard = m_listener->next();
        QCOMPARE(heard[QStringLiteral("name")].toString(), name);
        compareKeyByKey(heard[QStringLiteral("userInfo")].toObject(), userInfo);
    }
    void expectNoMessage() {
        postMarker();
        QCOMPARE(m_listener->next()[QStringLiteral("name")].toString(), kMarker);
    }

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QFile::remove(UserDefaults::standardPath());
        timerController::setColorChooser({});
        AlertPanel::setAnswerer({});
        m_listener = std::make_unique<Listener>();
        QVERIFY(m_listener->waitUntilListening());
    }
    void cleanup() { m_listener.reset(); }

    void addToAnEmptyList() {
        Pane pane;
        QVERIFY(pane.start());
        QCOMPARE(pane.table->rowCount(), 0);
        QVERIFY(!pane.change->isEnabled());
        QVERIFY(!pane.remove->isEnabled());
        pane.addTimerOfMinutes(QStringLiteral("Tea"), 5);

        expectMessage("TNDAddTimer", printed("Tea", "00:05:00", "300", true, 0));
        QCOMPARE(pane.column(0), QStringList{"Tea"});
        QCOMPARE(pane.column(1), QStringList{"00:05:00"});
        QCOMPARE(pane.column(2), QStringList{""});
        QCOMPARE(pane.selectedRow(), 0);
        QVERIFY(pane.change->isEnabled());
        QVERIFY(pane.remove->isEnabled());
        QCOMPARE(pane.controller.timerArray(), QList<QVariantMap>{stored("Tea", "00:05:00", "300", true, 0)});

        // The companion's own check takes the record as it is.
        const TimerRecordCheck::Result read = TimerRecordCheck::read(pane.controller.timerArray().first());
        QVERIFY2(read.record, qPrintable(read.problem));
        QCOMPARE(read.softProblem, QString());
        QCOMPARE(read.windowColor, QColor(Qt::white));
    }

    void deletingTheFirstOfThreeKeepsTheOthersRowIndex() {
        Pane pane;
        QVERIFY(pane.start());
        pane.addTimerOfMinutes(QStringLiteral("A"), 1);
        pane.addTimerOfMinutes(QStringLiteral("B"), 1);
        pane.addTimerOfMinutes(QStringLiteral("C"), 1);
        expectMessage("TNDAddTimer", printed("A", "00:01:00", "60", true, 0));
        expectMessage("TNDAddTimer", printed("B", "00:02:00", "120", true, 1));
        expectMessage("TNDAddTimer", printed("C", "00:03:00", "180", true, 2));

        pane.clickRow(0);
        QCOMPARE(pane.selectedRow(), 0);
        QCOMPARE(pane.title->text(), QStringLiteral("A"));
        pane.remove->click();
        expectMessage("TNDRemoveTimer", {{"rowIndex", 0}});
        QCOMPARE(pane.column(0), (QStringList{"B", "C"}));
        QCOMPARE(pane.controller.timerArray(), (QList<QVariantMap>{stored("B", "00:02:00", "120", true, 1),
                                                                   stored("C", "00:03:00", "180", true, 2)}));
        // The selection stays on row 0, which now holds B: the controls show B.
        QCOMPARE(pane.selectedRow(), 0);
        QCOMPARE(pane.title->text(), QStringLiteral("B"));
        QCOMPARE(pane.field->formated(), QStringLiteral("00:02:00"));
    }

    void deletingTheLastRowSelectsTheNewLast() {
        Pane pane;
        QVERIFY(pane.start());
        pane.addTimerOfMinutes(QStringLiteral("A"), 1);
        pane.addTimerOfMinutes(QStringLiteral("B"), 2);
        QCOMPARE(pane.selectedRow(), 1);
        QTest::keyClick(pane.table, Qt::Key_Delete);
        QCOMPARE(pane.column(0), QStringList{"A"});
        QCOMPARE(pane.selectedRow(), 0);
        QCOMPARE(pane.title->text(), QStringLiteral("A"));
        QCOMPARE(pane.field->formated(), QStringLiteral("00:01:00"));
        expectMessage("TNDAddTimer", printed("A", "00:01:00", "60", true, 0));
        expectMessage("TNDAddTimer", printed("B", "00:03:00", "180", true, 1));
        expectMessage("TNDRemoveTimer", {{"rowIndex", 1}});
    }

    void deletingTheOnlyTimerResetsTheControls() {
        Pane pane;
        QVERIFY(pane.start());
        timerController::setColorChooser([](const QColor &, QWidget *) { return QColor(0x20, 0x80, 0xC0); });
        pane.color->click();
        pane.transparency->setValue(25);
        pane.oocCell->setChecked(true);
        pane.addTimerOfMinutes(QStringLiteral("Bread"), 2);
        expectMessage("TNDAddTimer", printed("Bread", "00:02:00", "120", false, 0, kBlueishBase64, "0.25"));

        QTest::keyClick(pane.table, Qt::Key_Backspace);
        expectMessage("TNDRemoveTimer", {{"rowIndex", 0}});
        QCOMPARE(pane.table->rowCount(), 0);
        QCOMPARE(pane.selectedRow(), -1);
        QCOMPARE(pane.title->text(), QStringLiteral("Untitled Timer"));
        QCOMPARE(pane.controller.windowColor(), QColor(Qt::white));
        QCOMPARE(pane.transparency->value(), 70);
        QCOMPARE(pane.controller.transparencyString(), QStringLiteral("0.7"));
        QCOMPARE(pane.field->formated(), QStringLiteral("00:00:00"));
        QCOMPARE(pane.stepper->value(), 0);
        QVERIFY(pane.icCell->isChecked());
        QVERIFY(!pane.change->isEnabled());
        QVERIFY(!pane.remove->isEnabled());
        QVERIFY(pane.add->isEnabled());
    }

    void deleteWithNothingSelectedDoesNothing() {
        Pane pane;
        QVERIFY(pane.start());
        pane.addTimerOfMinutes(QStringLiteral("A"), 1);
        expectMessage("TNDAddTimer", printed("A", "00:01:00", "60", true, 0));
        pane.table->clearSelection();
        QVERIFY(!pane.remove->isEnabled());
        pane.controller.aDelete();
        QTest::keyClick(pane.table, Qt::Key_Delete);
        QCOMPARE(pane.table->rowCount(), 1);
        expectNoMessage();
    }

    void changeClearsTheCheckMark() {
        Pane pane;
        QVERIFY(pane.start());
        pane.addTimerOfMinutes(QStringLiteral("Tea"), 1);
        pane.addTimerOfMinutes(QStringLiteral("Bread"), 1);
        expectMessage("TNDAddTimer", printed("Tea", "00:01:00", "60", true, 0));
        expectMessage("TNDAddTimer", printed("Bread", "00:02:00", "120", true, 1));

        DistributedNotificationCenter::defaultCenter().post("TNDDoneTimer", {{"rowIndex", qint64(1)}});
        QTRY_COMPARE(pane.column(2), (QStringList{"", kDone}));
        QCOMPARE(pane.controller.timerArray()[1].value("done"), QVariant(kDone));

        QCOMPARE(pane.selectedRow(), 1);
        pane.title->setText(QStringLiteral("Rye bread"));
        pane.change->click();
        expectMessage("TNDChangeTimer",
                      {{"rowIndex", 1}, {"timerInfo", printed("Rye bread", "00:02:00", "120", true, 1)}});
        QCOMPARE(pane.column(0), (QStringList{"Tea", "Rye bread"}));
        QCOMPARE(pane.column(2), (QStringList{"", ""}));
        QCOMPARE(pane.controller.timerArray()[1], stored("Rye bread", "00:02:00", "120", true, 1));
        QCOMPARE(pane.selectedRow(), 1);
    }

    void doneTimerNamesARowOrIsIgnored_data() {
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QStringList>("done");
        QTest::newRow("row 1 of two")
            << QVariantMap{{"rowIndex", qint64(1)}} << QString() << QStringList{"", kDone};
        QTest::newRow("row 5 of two is ignored")
            << QVariantMap{{"rowIndex", qint64(5)}}
            << "TNDDoneTimer ignored: \"rowIndex\" 5 names no timer: the list holds 2, from 0 to 1"
            << QStringList{"", ""};
        QTest::newRow("row 2 of two, just past the end, is ignored")
            << QVariantMap{{"rowIndex", qint64(2)}}
            << "TNDDoneTimer ignored: \"rowIndex\" 2 names no timer: the list holds 2, from 0 to 1"
            << QStringList{"", ""};
        QTest::newRow("a negative row is ignored")
            << QVariantMap{{"rowIndex", qint64(-1)}}
            << "TNDDoneTimer ignored: \"rowIndex\" -1 names no timer: the list holds 2, from 0 to 1"
            << QStringList{"", ""};
        QTest::newRow("no row is ignored")
            << QVariantMap{} << "TNDDoneTimer ignored: it has no \"rowIndex\"" << QStringList{"", ""};
        QTest::newRow("a row as text is ignored")
            << QVariantMap{{"rowIndex", QStringLiteral("1")}}
            << "TNDDoneTimer ignored: its \"rowIndex\" is a string, not an integer" << QStringList{"", ""};
    }
    void doneTimerNamesARowOrIsIgnored() {
        QFETCH(QVariantMap, userInfo);
        QFETCH(QString, warning);
        writeSettings({{"timerArray", QVariantList{stored("Tea", "00:01:00", "60", true, 0),
                                                   stored("Bread", "00:02:00", "120", false, 1)}}});
        Pane pane;
        QVERIFY(pane.start());
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        int heard = 0;
        DistributedNotificationCenter::defaultCenter().addObserver(
            "TNDDoneTimer", [&heard](const Notification &) { ++heard; }, &pane.controller);
        DistributedNotificationCenter::defaultCenter().post("TNDDoneTimer", userInfo);
        // The pane observed first, so it has dealt with the notification once the test hears it.
        QTRY_COMPARE(heard, 1);
        QTEST(pane.column(2), "done");
        QCOMPARE(pane.controller.timerArray().size(), 2);
    }

    // The stepper starts one record's duration, loaded by selecting its row, and takes one click.
    void stepperStepsBySelectedPart_data() {
        QTest::addColumn<QString>("totalSeconds");
        QTest::addColumn<int>("partAt"); // x of the click on the duration; 2 selects nothing
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("formated");
        QTest::addColumn<int>("stepper");
        QTest::newRow("minutes: 00:10:00 up") << "600" << 30 << true << "00:11:00" << 660;
        QTest::newRow("minutes: 00:10:00 down") << "600" << 30 << false << "00:09:00" << 540;
        QTest::newRow("nothing selected: up a second") << "600" << 2 << true << "00:10:01" << 601;
        QTest::newRow("nothing selected: down a second") << "600" << 2 << false << "00:09:59" << 599;
        QTest::newRow("seconds: up a second") << "600" << 50 << true << "00:10:01" << 601;
        QTest::newRow("hours: up an hour") << "600" << 10 << true << "01:10:00" << 4200;
        QTest::newRow("hours: down from 00:10:00 holds at 00:00:00")
            << "600" << 10 << false << "00:00:00" << 0;
        QTest::newRow("minutes: down from 00:00:30 holds at 00:00:00")
            << "30" << 30 << false << "00:00:00" << 0;
        QTest::newRow("at 00:00:00 down changes nothing") << "0" << 50 << false << "00:00:00" << 0;
        QTest::newRow("seconds: 00:00:59 up carries a minute") << "59" << 50 << true << "00:01:00" << 60;
        QTest::newRow("hours: up stops at 99:59:59") << "358000" << 10 << true << "99:59:59" << 359999;
        QTest::newRow("at 99:59:59 up changes nothing") << "359999" << 50 << true << "99:59:59" << 359999;
    }
    void stepperStepsBySelectedPart() {
        QFETCH(QString, totalSeconds);
        QFETCH(int, partAt);
        QFETCH(bool, up);
        writeSettings({{"timerArray", QVariantList{stored("Tea", "", totalSeconds, true, 0)}}});
        Pane pane;
        QVERIFY(pane.start());
        pane.clickRow(0);
        QCOMPARE(pane.stepper->value(), totalSeconds.toInt());
        pane.selectPart(partAt);
        pane.clickArrow(up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown);
        QTEST(pane.field->formated(), "formated");
        QTEST(pane.stepper->value(), "stepper");
        QCOMPARE(int(pane.field->totalSeconds()), pane.stepper->value());
    }

    void keyboardStepsAsTheArrowsDo() {
        Pane pane;
        QVERIFY(pane.start());
        pane.selectPart(30);
        QTest::keyClick(pane.stepper, Qt::Key_Up);
        QTest::keyClick(pane.stepper, Qt::Key_Up);
        QTest::keyClick(pane.stepper, Qt::Key_Down);
        QCOMPARE(pane.field->formated(), QStringLiteral("00:01:00"));
        // Digits typed into the stepper do not jump the duration.
        QTest::keyClicks(pane.stepper, QStringLiteral("9"));
        QCOMPARE(pane.field->formated(), QStringLiteral("00:01:00"));
        QCOMPARE(pane.stepper->value(), 60);
    }

    void icIsTheCellTitledIc_data() {
        QTest::addColumn<QString>("icTitle");
        QTest::addColumn<bool>("checkIc");
        QTest::addColumn<bool>("ic");
        QTest::newRow("the cell titled ic") << "ic" << true << true;
        QTest::newRow("the other cell") << "ic" << false << false;
        QTest::newRow("a cell titled IC records NO") << "IC" << true << false;
        QTest::newRow("a cell titled ic with a blank records NO") << "ic " << true << false;
    }
    void icIsTheCellTitledIc() {
        QFETCH(QString, icTitle);
        QFETCH(bool, checkIc);
        QFETCH(bool, ic);
        Pane pane;
        QVERIFY(pane.start());
        QCOMPARE(pane.icCell->text(), QStringLiteral("ic"));
        pane.icCell->setText(icTitle);
        (checkIc ? pane.icCell : pane.oocCell)->setChecked(true);
        pane.add->click();
        expectMessage("TNDAddTimer", printed("Untitled Timer", "00:00:00", "0", ic, 0));
        // Loading the record back selects the cell it names.
        pane.clickRow(0);
        QCOMPARE(pane.icCell->isChecked(), ic);
        QCOMPARE(pane.oocCell->isChecked(), !ic);
    }

    void colourWellAndOpacityMakeTheWindowsLook_data() {
        QTest::addColumn<int>("slider");
        QTest::addColumn<QString>("transparency");
        QTest::addColumn<double>("readBack");
        QTest::newRow("invisible") << 0 << "0" << 0.0;
        QTest::newRow("a quarter") << 25 << "0.25" << 0.25;
        QTest::newRow("the default") << 70 << "0.7" << 0.7;
        QTest::newRow("opaque") << 100 << "1" << 1.0;
    }
    void colourWellAndOpacityMakeTheWindowsLook() {
        QFETCH(int, slider);
        QFETCH(QString, transparency);
        QFETCH(double, readBack);
        Pane pane;
        QVERIFY(pane.start());
        QColor offered;
        timerController::setColorChooser([&offered](const QColor &current, QWidget *) {
            offered = current;
            return QColor(0x20, 0x80, 0xC0);
        });
        pane.color->click();
        QCOMPARE(offered, QColor(Qt::white));
        // A cancelled dialog keeps the colour.
        timerController::setColorChooser([](const QColor &, QWidget *) { return std::nullopt; });
        pane.color->click();
        QCOMPARE(pane.controller.windowColor(), QColor(0x20, 0x80, 0xC0));
        QCOMPARE(pane.color->icon().pixmap(pane.color->iconSize()).toImage().pixelColor(4, 4),
                 QColor(0x20, 0x80, 0xC0));

        pane.transparency->setValue(slider);
        pane.add->click();
        expectMessage("TNDAddTimer",
                      printed("Untitled Timer", "00:00:00", "0", true, 0, kBlueishBase64, transparency));
        const TimerRecordCheck::Result read = TimerRecordCheck::read(pane.controller.timerArray().first());
        QVERIFY2(read.record, qPrintable(read.problem));
        QCOMPARE(read.softProblem, QString());
        QCOMPARE(read.record->opacity(), readBack);
        QCOMPARE(read.windowColor, QColor(0x20, 0x80, 0xC0));
    }

    void listStartsFromTheSettingsFileAndIsKeptThere() {
        writeSettings({{"timerArray",
                        QVariantList{stored("Tea", "00:01:00", "60", true, 0),
                                     stored("Bread", "01:00:00", "3600", false, 1, kBlueish, "0.5", kDone)}},
                       {"updateTimerInterval", 3}});

        Pane pane;
        QVERIFY(pane.start());
        QCOMPARE(pane.column(0), (QStringList{"Tea", "Bread"}));
        QCOMPARE(pane.column(1), (QStringList{"00:01:00", "01:00:00"}));
        QCOMPARE(pane.column(2), (QStringList{"", kDone}));
        // Nothing selected until the user selects: the form's own values stay.
        QCOMPARE(pane.selectedRow(), -1);
        QCOMPARE(pane.title->text(), QStringLiteral("Untitled Timer"));

        pane.clickRow(1);
        QCOMPARE(pane.title->text(), QStringLiteral("Bread"));
        QCOMPARE(pane.field->formated(), QStringLiteral("01:00:00"));
        QCOMPARE(pane.stepper->value(), 3600);
        QCOMPARE(pane.controller.windowColor(), QColor(0x20, 0x80, 0xC0));
        QCOMPARE(pane.transparency->value(), 50);
        QVERIFY(pane.oocCell->isChecked());

        pane.addTimerOfMinutes(QStringLiteral("Soup"), 0);
        expectMessage("TNDAddTimer", printed("Soup", "01:00:00", "3600", false, 2, kBlueishBase64, "0.5"));
        const QVariantList timers{stored("Tea", "00:01:00", "60", true, 0),
                                  stored("Bread", "01:00:00", "3600", false, 1, kBlueish, "0.5", kDone),
                                  stored("Soup", "01:00:00", "3600", false, 2, kBlueish, "0.5")};
        QCOMPARE(readSettings(), (QVariantMap{{"timerArray", timers}, {"updateTimerInterval", 3}}));
    }

    // After each change of the list the file holds the whole list, every other key as it was.
    void everyChangeOfTheListIsWritten() {
        writeSettings({{"icSecondsOffset", -30}, {"showTindralMenu", true}});
        Pane pane;
        QVERIFY(pane.start());
        const QVariantMap others{{"icSecondsOffset", -30}, {"showTindralMenu", true}};
        auto fileHolds = [&](const QVariantList &timers) {
            QVariantMap expected = others;
            expected.insert("timerArray", timers);
            QCOMPARE(readSettings(), expected);
        };

        pane.addTimerOfMinutes(QStringLiteral("Tea"), 1);
        fileHolds({stored("Tea", "00:01:00", "60", true, 0)});
        pane.addTimerOfMinutes(QStringLiteral("Bread"), 1);
        fileHolds({stored("Tea", "00:01:00", "60", true, 0), stored("Bread", "00:02:00", "120", true, 1)});

        DistributedNotificationCenter::defaultCenter().post("TNDDoneTimer", {{"rowIndex", qint64(0)}});
        QTRY_COMPARE(pane.column(2), (QStringList{kDone, ""}));
        fileHolds({stored("Tea", "00:01:00", "60", true, 0, kWhite, "0.7", kDone),
                   stored("Bread", "00:02:00", "120", true, 1)});

        pane.clickRow(0);
        pane.title->setText(QStringLiteral("Green tea"));
        pane.change->click();
        fileHolds(
            {stored("Green tea", "00:01:00", "60", true, 0), stored("Bread", "00:02:00", "120", true, 1)});

        pane.remove->click();
        fileHolds({stored("Bread", "00:02:00", "120", true, 1)});
        pane.clickRow(0);
        pane.remove->click();
        fileHolds({});
        QCOMPARE(pane.controller.statusText(), QString());
    }

    // The companion started from the file: an editor whose list is not the file's takes the file's, and says
    // so.
    void turnedOnReloadsAListChangedElsewhere_data() {
        QTest::addColumn<QVariant>("fileTimers");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("status");
        const QString reloaded = QStringLiteral("Timer list reloaded: it was changed outside this window.");
        QTest::newRow("the same list: nothing changes")
            << QVariant(QVariantList{stored("Tea", "00:01:00", "60", true, 0)}) << QStringList{"Tea"}
            << QString();
        QTest::newRow("a timer added elsewhere")
            << QVariant(QVariantList{stored("Tea", "00:01:00", "60", true, 0),
                                     stored("Soup", "00:03:00", "180", false, 1)})
            << QStringList{"Tea", "Soup"} << reloaded;
        QTest::newRow("marked done elsewhere")
            << QVariant(QVariantList{stored("Tea", "00:01:00", "60", true, 0, kWhite, "0.7", kDone)})
            << QStringList{"Tea"} << reloaded;
        QTest::newRow("the key removed: an empty list") << QVariant() << QStringList{} << reloaded;
    }
    void turnedOnReloadsAListChangedElsewhere() {
        QFETCH(QVariant, fileTimers);
        writeSettings({{"timerArray", QVariantList{stored("Tea", "00:01:00", "60", true, 0)}}});
        Pane pane;
        QVERIFY(pane.start());
        pane.clickRow(0);
        QCOMPARE(pane.selectedRow(), 0);

        QVariantMap settings{{"updateTimerInterval", 5}};
        if (fileTimers.isValid())
            settings.insert("timerArray", fileTimers);
        writeSettings(settings);
        int heard = 0;
        DistributedNotificationCenter::defaultCenter().addObserver(
            "TNDTurnedOn", [&heard](const Notification &) { ++heard; }, &pane.controller);
        DistributedNotificationCenter::defaultCenter().post("TNDTurnedOn");
        QTRY_COMPARE(heard, 1);

        QTEST(pane.column(0), "titles");
        QTEST(pane.controller.statusText(), "status");
        QCOMPARE(pane.controller.findChild<QLabel *>("statusLine")->text(), pane.controller.statusText());
        if (!pane.controller.statusText().isEmpty()) {
            // The reloaded list is the file's, and the form no longer shows a row that may be gone.
            QCOMPARE(pane.selectedRow(), -1);
            QVERIFY(!pane.change->isEnabled());
            QCOMPARE(readSettings(), settings);
            // An artefact to look at: the pane with its status line.
            const QString picture = QStringLiteral(TINDRAL_BUILD_DIR "/tests/app/timerPane-status-%1.png");
            pane.controller.grab().save(picture.arg(pane.table->rowCount()));
            // The next change of the list clears the line.
            pane.addTimerOfMinutes(QStringLiteral("Rice"), 1);
            QCOMPARE(pane.controller.statusText(), QString());
        }
    }

    // A timer that ended while the editor was closed shows its check mark when the editor starts, and the
    // file learns of it.
    void endsPassedWhileClosedAreMarked() {
        const double now = QDateTime::currentMSecsSinceEpoch() / 1000.0;
        writeSettings({{"timerArray", QVariantList{stored("Tea", "00:01:00", "60", true, 0),
                                                   stored("Soup", "00:02:00", "120", true, 1),
                                                   stored("Rice", "00:03:00", "180", true, 2)}},
                       {"timerEnds", QVariantList{now - 30.0, now + 3600.0, QString()}}});
        Pane pane;
        QVERIFY(pane.start());
        QCOMPARE(pane.column(2), (QStringList{kDone, "", ""}));
        QCOMPARE(readSettings().value("timerArray"),
                 QVariant(QVariantList{stored("Tea", "00:01:00", "60", true, 0, kWhite, "0.7", kDone),
                                       stored("Soup", "00:02:00", "120", true, 1),
                                       stored("Rice", "00:03:00", "180", true, 2)}));
    }

    // The editor and another program write the file at the same moment, 200 times each: neither loses the
    // other's key.
    void writingBesideAnotherProgramLosesNoKey() {
        writeSettings({{"updateTimerInterval", 3}});
        Pane pane;
        QVERIFY(pane.start());
        QProcess writer;
        writer.start(QStringLiteral(SETTINGS_WRITER),
                     {QStringLiteral("count"), UserDefaults::standardPath(), QStringLiteral("otherCount"),
                      QStringLiteral("timerArray"), QString::number(kRounds)});
        QVERIFY(writer.waitForReadyRead(30000));
        QCOMPARE(writer.readLine().trimmed(), QByteArray("ready"));
        writer.write("go\n");
        for (int round = 0; round < kRounds; ++round) {
            // Adds until five, then changes and deletes in turn.
            if (pane.controller.timerArray().size() < 5) {
                pane.title->setText(QStringLiteral("T%1").arg(round));
                pane.add->click();
            } else if (round % 2 == 0) {
                pane.title->setText(QStringLiteral("T%1").arg(round));
                pane.change->click();
            } else {
                pane.remove->click();
            }
        }
        QVERIFY(writer.waitForFinished(60000));
        QCOMPARE(writer.exitCode(), 0);
        const QVariantMap settings = readSettings();
        QCOMPARE(settings.value("otherCount"), QVariant(qint64(kRounds)));
        QCOMPARE(settings.value("updateTimerInterval"), QVariant(qint64(3)));
        QCOMPARE(settings.value("timerArray"), QVariant(pane.controller.storedTimerArray()));
        QCOMPARE(settings.value("timerArray").toList().size(), pane.table->rowCount());
        // Drain the messages of the 200 changes, so that the listener ends cleanly.
        m_listener.reset();
    }

    // An entry that cannot be read keeps its row, as it keeps its place in the companion, and is written back
    // as it was.
    void unreadableStoredTimersKeepTheirRow_data() {
        QTest::addColumn<QVariant>("timerArray");
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("no list at all") << QVariant() << QStringList{} << QStringList{};
        QTest::newRow("a list of nothing") << QVariant(QVariantList{}) << QStringList{} << QStringList{};
        QTest::newRow("text instead of a list")
            << QVariant(QStringLiteral("timers"))
            << QStringList{"The settings file's \"timerArray\" is a string, not a list of timer records; the "
                           "timer list starts empty"}
            << QStringList{};
        QVariantMap noColor = stored("B", "00:00:01", "1", true, 1);
        noColor.remove("windowColor");
        QVariantMap garbledColor = stored("C", "00:00:01", "1", true, 2, QByteArray("xyz"));
        QTest::newRow("entries without a colour, with a garbled one, or not a record")
            << QVariant(QVariantList{stored("A", "00:00:01", "1", true, 0), noColor, garbledColor, 7,
                                     stored("D", "00:00:01", "1", true, 4)})
            << QStringList{"The settings file's \"timerArray\" entry 1 cannot be read: the timer record has "
                           "no \"windowColor\"; it keeps its row as a timer that does not run",
                           "The settings file's \"timerArray\" entry 2 cannot be read: the timer record's "
                           "\"windowColor\" is unreadable: *",
                           "The settings file's \"timerArray\" entry 3 cannot be read: it is an integer, "
                           "not a timer record; it keeps its row as a timer that does not run"}
            << QStringList{"A", "B", "C", "", "D"};
    }
    void unreadableStoredTimersKeepTheirRow() {
        QFETCH(QVariant, timerArray);
        QFETCH(QStringList, warnings);
        QVariantMap settings{{"updateTimerInterval", 1}};
        if (timerArray.isValid())
            settings.insert("timerArray", timerArray);
        writeSettings(settings);
        for (const QString &warning : warnings) {
            if (warning.endsWith(u'*'))
                QTest::ignoreMessage(
                    QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning.chopped(1)) + ".+"));
            else
                QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        }
        Pane pane;
        QVERIFY(pane.start());
        QTEST(pane.column(0), "titles");

        // A timer added after them lands at the position the companion gives it, and the entries that could
        // not be read go back to the file untouched.
        const qint64 next = pane.table->rowCount();
        pane.title->setText(QStringLiteral("E"));
        pane.add->click();
        QJsonObject added = printed("E", "00:00:00", "0", true, int(next));
        expectMessage("TNDAddTimer", added);
        QVariantList expected = timerArray.typeId() == QMetaType::QVariantList ? timerArray.toList()
                                                                                : QVariantList{};
        expected.append(stored("E", "00:00:00", "0", true, next));
        QCOMPARE(readSettings().value("timerArray"), QVariant(expected));
    }

    // The companion never runs an entry it could not read, so no end is ever told for one.
    void unreadableRowIsNeverMarkedDone() {
        writeSettings({{"timerArray", QVariantList{stored("A", "00:00:01", "1", true, 0), QStringLiteral("x"),
                                                   stored("C", "00:00:01", "1", true, 2)}}});
        QTest::ignoreMessage(QtWarningMsg, "The settings file's \"timerArray\" entry 1 cannot be read: it is "
                                           "a string, not a timer record; it keeps its row as a timer that "
                                           "does not run");
        Pane pane;
        QVERIFY(pane.start());
        QTest::ignoreMessage(QtWarningMsg, "TNDDoneTimer ignored: row 1 holds an entry of the settings file "
                                           "that could not be read");
        DistributedNotificationCenter::defaultCenter().post("TNDDoneTimer", {{"rowIndex", qint64(1)}});
        DistributedNotificationCenter::defaultCenter().post("TNDDoneTimer", {{"rowIndex", qint64(2)}});
        QTRY_COMPARE(pane.column(2), (QStringList{"", "", kDone}));
        QCOMPARE(readSettings().value("timerArray"),
                 QVariant(QVariantList{stored("A", "00:00:01", "1", true, 0), QStringLiteral("x"),
                                       stored("C", "00:00:01", "1", true, 2, kWhite, "0.7", kDone)}));
        // Its row is deletable like any other.
        pane.clickRow(1);
        QVERIFY(pane.remove->isEnabled());
        QCOMPARE(pane.title->text(), QStringLiteral("Untitled Timer"));
        pane.remove->click();
        QCOMPARE(pane.column(0), (QStringList{"A", "C"}));
    }

    void addStopsAtTheMostTimersTheCompanionRuns() {
        QVariantList hundred;
        for (int i = 0; i < 100; ++i)
            hundred << stored(QStringLiteral("T%1").arg(i), "00:00:01", "1", true, i);
        writeSettings({{"timerArray", hundred}});
        Pane pane;
        QVERIFY(pane.start());
        QCOMPARE(pane.table->rowCount(), 100);
        QList<AlertPanel::Alert> alerts;
        AlertPanel::setAnswerer([&alerts](const AlertPanel::Alert &alert) {
            alerts << alert;
            return 1;
        });
        pane.add->click();
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts[0].title, QStringLiteral("No more timers"));
        QCOMPARE(alerts[0].message,
                 QStringLiteral("The list holds 100 timers, the most the menu bar companion runs "
                                "at once. Delete one to add another."));
        QCOMPARE(pane.table->rowCount(), 100);
        expectNoMessage();
    }

    void tableShowsRecordKeysAndEditsNothing() {
        writeSettings({{"timerArray", QVariantList{stored("Tea", "00:01:00", "60", true, 0)}}});
        Pane pane;
        QVERIFY(pane.start());
        QCOMPARE(pane.table->property("columnIdentifiers").toStringList(),
                 (QStringList{"title", "time", "done"}));
        QCOMPARE(pane.controller.numberOfRowsInTableView(), 1);
        QCOMPARE(pane.controller.tableViewObjectValueForTableColumnRow("totalSeconds", 0), QVariant("60"));
        QCOMPARE(pane.controller.tableViewObjectValueForTableColumnRow("nothing", 0), QVariant());
        QVERIFY(!pane.controller.tableViewShouldEditTableColumnRow("title", 0));
        const QRect cell = pane.table->visualRect(pane.table->model()->index(0, 0));
        QTest::mouseDClick(pane.table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::keyClick(pane.table, Qt::Key_F2);
        QVERIFY(!pane.table->viewport()->findChild<QLineEdit *>()); // no cell editor opened
        QVERIFY(!(pane.table->item(0, 0)->flags() & Qt::ItemIsEditable));
        QCOMPARE(pane.column(0), QStringList{"Tea"});
    }

    void returnInTheTitleAddsOrChanges() {
        Pane pane;
        QVERIFY(pane.start());
        pane.title->setFocus();
        pane.title->setText(QStringLiteral("Tea"));
        QTest::keyClick(pane.title, Qt::Key_Return);
        expectMessage("TNDAddTimer", printed("Tea", "00:00:00", "0", true, 0));
        QCOMPARE(pane.selectedRow(), 0);
        pane.title->setText(QStringLiteral("Green tea"));
        QTest::keyClick(pane.title, Qt::Key_Enter);
        expectMessage("TNDChangeTimer",
                      {{"rowIndex", 0}, {"timerInfo", printed("Green tea", "00:00:00", "0", true, 0)}});
        QCOMPARE(pane.column(0), QStringList{"Green tea"});
    }

    void tabReachesEveryControlAndEachHasAName() {
        writeSettings({{"timerArray", QVariantList{stored("Tea", "00:01:00", "60", true, 0)}}});
        Pane pane;
        QVERIFY(pane.start());
        pane.clickRow(0);
        pane.controller.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pane.controller));
        pane.table->setFocus();
        QStringList reached{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget()->objectName();
        }
        // The radio pair is one stop, at its checked cell; the arrow keys move within it.
        QCOMPARE(reached, (QStringList{"oTable", "oTitle", "oTimerField", "oStepper", "icCell", "oColor",
                                       "oTransparency", "oAdd", "oChange", "oDelete", "oTable"}));
        for (QWidget *control :
             QList<QWidget *>{pane.table, pane.title, pane.field, pane.stepper, pane.icCell, pane.oocCell,
                              pane.color, pane.transparency, pane.add, pane.change, pane.remove}) {
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        }
        QCOMPARE(pane.controller.size(), QSize(480, 320));
        QVERIFY(pane.controller.grab().save(QCoreApplication::applicationDirPath() + "/timerAlertPane.png"));
    }
};

QTEST_MAIN(TestTimerController)
#include "tst_timerController.moc"
