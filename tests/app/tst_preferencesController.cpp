#include "AlertPanel.h"
#include "Bundle.h"
#include "DistributedNotificationCenter.h"
#include "NotificationCenter.h"
#include "PropertyList.h"
#include "UserDefaults.h"
#include "preferencesController.h"

#include "../fileSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

QVariant setting(const char *key) {
    const auto settings = PropertyList::readDictionary(UserDefaults::standardPath());
    return settings ? settings->value(QString::fromLatin1(key)) : QVariant();
}

QString settingsText(const QString &entries) {
    return QStringLiteral("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>%1</dict></plist>")
        .arg(entries);
}

} // namespace

class TestPreferencesController : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folders;
    std::unique_ptr<DistributedNotificationCenter> m_spy; // the companion's side of the bus
    QList<Notification> m_heard;
    QList<Notification> m_heardInside;
    QList<AlertPanel::Alert> m_alerts;
    std::unique_ptr<preferencesController> m_prefs;

    QCheckBox *checkbox() const {
        return m_prefs->findChild<QCheckBox *>(QStringLiteral("showTindralCheckbox"));
    }
    QComboBox *pulldown() const {
        return m_prefs->findChild<QComboBox *>(QStringLiteral("updateTimerPulldown"));
    }
    QLineEdit *offsetField() const {
        return m_prefs->findChild<QLineEdit *>(QStringLiteral("icSecondsOffsetTextField"));
    }
    QCheckBox *noticesCheckbox() const {
        return m_prefs->findChild<QCheckBox *>(QStringLiteral("timerEndNotificationsCheckbox"));
    }
    QPushButton *okay() const { return m_prefs->findChild<QPushButton *>(QStringLiteral("oOkay")); }

    QString applicationFolder(const QString &name) const { return m_folders.filePath(name + "/Tindral.app"); }

    // Everything the controller posted so far has reached the spy: a marker posted after it from the same
    // connection arrives after it. Returns what the spy heard, the marker left out.
    QList<Notification> heardUntilNow() {
        const int before = int(m_heard.size());
        DistributedNotificationCenter::defaultCenter().post(QStringLiteral("marker"));
        if (!QTest::qWaitFor([&] { return !m_heard.isEmpty() && m_heard.last().name == "marker"; }, 10000))
            return {};
        Q_UNUSED(before);
        QList<Notification> heard = m_heard;
        heard.removeLast();
        m_heard.clear();
        return heard;
    }

    // Runs the window's modal loop with `action` done inside it; false when the loop had to be ended by the
    // test's own limit.
    bool runModalWith(const std::function<void()> &action) {
        bool stillRunning = false;
        QTimer::singleShot(0, m_prefs.get(), [&] {
            stillRunning = m_prefs->isVisible() && QApplication::activeModalWidget() == m_prefs.get();
            action();
        });
        bool limitReached = false;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, m_prefs.get(), [&] {
            limitReached = true;
            m_prefs->hide();
        });
        limit.start(20000);
        m_prefs->runModal();
        return stillRunning && !limitReached;
    }

    static QVariantMap interval(int seconds) { return {{QStringLiteral("updateInterval"), qint64(seconds)}}; }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_folders.isValid());
        // A companion that announces itself the way the real one does, and leaves a mark that it ran.
        const QString present = applicationFolder("present") + "/Resources/TindralMenu.app";
        QVERIFY(QDir().mkpath(present));
        writeBytes(present + "/TindralMenu",
                   QStringLiteral("#!/bin/sh\necho started >> '%1'\nexec '%2' post TNDTurnedOn\n")
                       .arg(m_folders.filePath("started"), QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"))
                       .toUtf8());
        QVERIFY(QFile::setPermissions(present + "/TindralMenu",
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // One folder without the companion, one whose companion is not a program.
        QVERIFY(QDir().mkpath(applicationFolder("absent") + "/Resources"));
        const QString broken = applicationFolder("broken") + "/Resources/TindralMenu.app";
        QVERIFY(QDir().mkpath(broken));
        writeBytes(broken + "/TindralMenu", "not a program");

        AlertPanel::setAnswerer([this](const AlertPanel::Alert &alert) {
            m_alerts.append(alert);
            return 1;
        });
        m_spy = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("spy")));
        m_spy->addObserver({}, [this](const Notification &n) { m_heard.append(n); });
        QVERIFY(m_spy->waitForBus());
        NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("TNDUpdateTimerInterval"),
            [this](const Notification &n) { m_heardInside.append(n); });

        m_prefs = std::make_unique<preferencesController>();
        m_prefs->awakeFromNib();
        QVERIFY(DistributedNotificationCenter::defaultCenter().waitForBus());
    }

    void init() {
        // Offscreen cannot pass size hints on; it says so once, at the first show.
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("^(?!This plugin does not support propagateSizeHints).*")));
        m_heard.clear();
        m_heardInside.clear();
        m_alerts.clear();
        Bundle::setMainBundlePath(applicationFolder("present"));
    }

    void controlsStartFromTheSettings_data() {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("offset");
        QTest::newRow("no settings file") << QString() << false << "1 second"
                                          << "0";
        QTest::newRow("companion on, fourth interval, offset -12")
            << "<key>showTindralMenu</key><true/><key>updateTimerIndex</key><integer>3</integer>"
               "<key>icSecondsOffset</key><integer>-12</integer>"
            << true << "15 seconds"
            << "-12";
        QTest::newRow("showTindralMenu 2 is not on")
            << "<key>showTindralMenu</key><integer>2</integer><key>updateTimerIndex</key><integer>1</integer>"
            << false << "3 seconds"
            << "0";
        QTest::newRow("an index the pull-down does not have selects nothing")
            << "<key>updateTimerIndex</key><integer>9</integer>" << false << ""
            << "0";
    }

    void controlsStartFromTheSettings() {
        QFETCH(QString, entries);
        if (!entries.isEmpty())
            writeBytes(UserDefaults::standardPath(), settingsText(entries).toUtf8());
        preferencesController other;
        other.awakeFromNib();
        QTEST(other.findChild<QCheckBox *>("showTindralCheckbox")->isChecked(), "ticked");
        QTEST(other.isTindralMenuRunning(), "ticked");
        QTEST(other.findChild<QComboBox *>("updateTimerPulldown")->currentText(), "interval");
        QTEST(other.findChild<QLineEdit *>("icSecondsOffsetTextField")->text(), "offset");
        QFile::remove(UserDefaults::standardPath());
    }

    void thePulldownOffersFourIntervals() {
        QStringList items;
        for (int i = 0; i < pulldown()->count(); ++i)
            items << pulldown()->itemText(i);
        QCOMPARE(items, QStringList({"1 second", "3 seconds", "5 seconds", "15 seconds"}));
    }

    void tickingStartsTheCompanion() {
        m_prefs->wentAway();
        m_heard.clear();
        checkbox()->click();
        QVERIFY(checkbox()->isChecked());
        QCOMPARE(setting("showTindralMenu"), QVariant(qint64(1)));
        // The companion started and announced itself; the box stays ticked.
        QTRY_VERIFY_WITH_TIMEOUT(!m_heard.isEmpty(), 20000);
        QCOMPARE(m_heard.first().name, QStringLiteral("TNDTurnedOn"));
        QCOMPARE(readBytes(m_folders.filePath("started")), QByteArray("started\n"));
        QTRY_VERIFY(checkbox()->isChecked());
        QCOMPARE(setting("showTindralMenu"), QVariant(qint64(1)));
        QVERIFY(m_alerts.isEmpty());
    }

    void aFailedStartUnticksTheBoxAndLeavesTheSetting_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("no companion in the application folder")
            << "absent"
            << "There was a problem finding the Tindral Menu\nError: 127";
        QTest::newRow("a companion that is not a program")
            << "broken"
            << "There was a problem launching the Tindral Menu\nError: 126";
    }

    void aFailedStartUnticksTheBoxAndLeavesTheSetting() {
        QFETCH(QString, folder);
        Bundle::setMainBundlePath(applicationFolder(folder));
        m_prefs->wentAway();
        const QByteArray before = readBytes(UserDefaults::standardPath());
        QCOMPARE(setting("showTindralMenu"), QVariant(qint64(0)));
        heardUntilNow();
        if (folder == "broken")
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot start .* is not a program"));

        checkbox()->click();
        QVERIFY(!checkbox()->isChecked());
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Problem launching menu"));
        QTEST(m_alerts[0].message, "message");
        QCOMPARE(m_alerts[0].defaultButton, QStringLiteral("Ah well"));
        QCOMPARE(m_alerts[0].alternateButton, QString());
        QCOMPARE(readBytes(UserDefaults::standardPath()), before);
        QCOMPARE(heardUntilNow().size(), 0);
    }

    void untickingSendsGoAwayWithNoCompanionRunning() {
        m_prefs->turnedOn();
        heardUntilNow();
        checkbox()->click();
        QVERIFY(!checkbox()->isChecked());
        QCOMPARE(setting("showTindralMenu"), QVariant(qint64(0)));
        const QList<Notification> heard = heardUntilNow();
        QCOMPARE(heard.size(), 1);
        QCOMPARE(heard[0].name, QStringLiteral("TNDGoAway"));
        QCOMPARE(heard[0].userInfo, QVariantMap());
        QVERIFY(m_alerts.isEmpty());
    }

    void choosingAnInterval_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<qint64>("index");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("the fourth") << int(Qt::Key_End) << qint64(3) << qint64(15);
        QTest::newRow("the first") << int(Qt::Key_Home) << qint64(0) << qint64(1);
    }

    void choosingAnInterval() {
        QFETCH(int, key);
        QFETCH(qint64, seconds);
        pulldown()->setCurrentIndex(1);
        heardUntilNow();
        QTest::keyClick(pulldown(), Qt::Key(key));
        QTEST(setting("updateTimerIndex").toLongLong(), "index");
        QCOMPARE(setting("updateTimerInterval"), QVariant(seconds));
        const QList<Notification> heard = heardUntilNow();
        QCOMPARE(heard.size(), 1);
        QCOMPARE(heard[0].name, QStringLiteral("TNDUpdateTimerInterval"));
        QCOMPARE(heard[0].userInfo, interval(int(seconds)));
        QCOMPARE(m_heardInside.size(), 1);
        QCOMPARE(m_heardInside[0].userInfo.value("updateInterval").toLongLong(), seconds);
    }

    void typingIntoTheOffsetField_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a negative number") << "-30"
                                           << "-30";
        QTest::newRow("a plus sign") << "+7"
                                     << "+7";
        QTest::newRow("letters are refused") << "abc"
                                             << "";
        QTest::newRow("letters after a number are refused") << "12abc"
                                                            << "12";
        QTest::newRow("a blank is refused") << "1 2"
                                            << "12";
        QTest::newRow("the smallest 32-bit number") << "-2147483648"
                                                    << "-2147483648";
        QTest::newRow("a digit past the largest is refused") << "2147483648"
                                                             << "214748364";
        QTest::newRow("thousands separators are refused") << "1,000"
                                                          << "1000";
    }

    void typingIntoTheOffsetField() {
        QFETCH(QString, typed);
        offsetField()->clear();
        QTest::keyClicks(offsetField(), typed);
        QTEST(offsetField()->text(), "shown");
    }

    void theLeadingInteger_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("digits") << "42" << 42;
        QTest::newRow("blanks and a sign before") << " \t-30" << -30;
        QTest::newRow("a plus sign") << "+5" << 5;
        QTest::newRow("letters after the number") << "12abc" << 12;
        QTest::newRow("letters only") << "abc" << 0;
        QTest::newRow("nothing") << "" << 0;
        QTest::newRow("a sign alone") << "-" << 0;
        QTest::newRow("past the largest 32-bit number") << "99999999999" << 2147483647;
        QTest::newRow("past the smallest") << "-99999999999" << -2147483647 - 1;
    }

    void theLeadingInteger() {
        QFETCH(QString, text);
        QTEST(preferencesController::leadingInteger(text), "value");
    }

    void minusThirtyThenOkay() {
        QVERIFY(runModalWith([this] {
            offsetField()->clear();
            QTest::keyClicks(offsetField(), "-30");
            QTest::mouseClick(okay(), Qt::LeftButton);
        }));
        QVERIFY(!m_prefs->isVisible());
        QCOMPARE(setting("icSecondsOffset"), QVariant(qint64(-30)));
        const QList<Notification> heard = heardUntilNow();
        QCOMPARE(heard.size(), 2);
        QCOMPARE(heard[0].name, QStringLiteral("TNDUpdateICSecondsOffset"));
        QCOMPARE(heard[0].userInfo, QVariantMap({{"icSecondsOffset", qint64(-30)}}));
        QCOMPARE(heard[1].name, QStringLiteral("TNDUpdateTimerInterval"));
        // The field keeps the text as typed.
        QCOMPARE(offsetField()->text(), QStringLiteral("-30"));
    }

    // OK, Escape, the title bar's close: each writes and announces both settings, even unchanged, and ends
    // the modal loop. The window hidden by the program ends the loop too, so that none runs without it.
    void endingTheWindow_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("applies");
        QTest::newRow("OK with nothing changed") << "ok" << true;
        QTest::newRow("Escape") << "escape" << true;
        QTest::newRow("the title bar's close") << "close" << true;
        QTest::newRow("hidden by the program") << "hide" << false;
    }

    void endingTheWindow() {
        QFETCH(QString, how);
        QFETCH(bool, applies);
        QFile::remove(UserDefaults::standardPath());
        offsetField()->setText(QStringLiteral("17"));
        pulldown()->setCurrentIndex(2);
        heardUntilNow();
        m_heardInside.clear();
        QVERIFY(runModalWith([&] {
            if (how == "ok")
                okay()->click();
            else if (how == "escape")
                QTest::keyClick(m_prefs.get(), Qt::Key_Escape);
            else if (how == "close")
                m_prefs->close();
            else
                m_prefs->hide();
        }));
        QVERIFY(!m_prefs->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        const QList<Notification> heard = heardUntilNow();
        if (!applies) {
            QVERIFY(heard.isEmpty());
            QVERIFY(!QFile::exists(UserDefaults::standardPath()));
            return;
        }
        QCOMPARE(setting("icSecondsOffset"), QVariant(qint64(17)));
        QCOMPARE(setting("updateTimerIndex"), QVariant(qint64(2)));
        QCOMPARE(setting("updateTimerInterval"), QVariant(qint64(5)));
        QCOMPARE(heard.size(), 2);
        QCOMPARE(heard[0].name, QStringLiteral("TNDUpdateICSecondsOffset"));
        QCOMPARE(heard[0].userInfo, QVariantMap({{"icSecondsOffset", qint64(17)}}));
        QCOMPARE(heard[1].name, QStringLiteral("TNDUpdateTimerInterval"));
        QCOMPARE(heard[1].userInfo, interval(5));
        QCOMPARE(m_heardInside.size(), 1);
        QCOMPARE(m_heardInside[0].userInfo.value("updateInterval").toLongLong(), qint64(5));
    }

    void wentAwayWhileTheWindowIsClosed() {
        m_prefs->turnedOn();
        QVERIFY(!m_prefs->isVisible());
        QCOMPARE(setting("showTindralMenu"), QVariant(qint64(1)));
        // As the companion says it when it quits.
        m_spy->post(QStringLiteral("TNDWentAway"));
        QTRY_VERIFY(!checkbox()->isChecked());
        QCOMPARE(setting("showTindralMenu"), QVariant(qint64(0)));
        bool shownTicked = true;
        QVERIFY(runModalWith([&] {
            shownTicked = checkbox()->isChecked();
            okay()->click();
        }));
        QVERIFY(!shownTicked);

        m_spy->post(QStringLiteral("TNDTurnedOn"));
        QTRY_VERIFY(checkbox()->isChecked());
        QCOMPARE(setting("showTindralMenu"), QVariant(qint64(1)));
    }

    // Desktop notifications at a timer's end are on unless the setting says otherwise.
    void timerEndNotificationsStartFromTheSetting_data() {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("no settings file: on") << QString() << true;
        QTest::newRow("a file without the key: on")
            << "<key>updateTimerIndex</key><integer>1</integer>" << true;
        QTest::newRow("0: off") << "<key>timerEndNotifications</key><integer>0</integer>" << false;
        QTest::newRow("1: on") << "<key>timerEndNotifications</key><integer>1</integer>" << true;
        QTest::newRow("false: off") << "<key>timerEndNotifications</key><false/>" << false;
    }
    void timerEndNotificationsStartFromTheSetting() {
        QFETCH(QString, entries);
        if (!entries.isEmpty())
            writeBytes(UserDefaults::standardPath(), settingsText(entries).toUtf8());
        preferencesController other;
        other.awakeFromNib();
        QTEST(other.findChild<QCheckBox *>("timerEndNotificationsCheckbox")->isChecked(), "ticked");
        QFile::remove(UserDefaults::standardPath());
    }

    // A click writes the setting at once, every other key kept, and sends nothing: the companion reads it at
    // each timer's end.
    void clickingTheNotificationsBoxWritesTheSetting() {
        writeBytes(UserDefaults::standardPath(),
                   settingsText("<key>icSecondsOffset</key><integer>-4</integer>").toUtf8());
        QVERIFY(noticesCheckbox()->isChecked());
        m_prefs->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_prefs.get()));
        noticesCheckbox()->click();
        QCOMPARE(setting("timerEndNotifications"), QVariant(qint64(0)));
        QCOMPARE(setting("icSecondsOffset"), QVariant(qint64(-4)));
        noticesCheckbox()->click();
        QCOMPARE(setting("timerEndNotifications"), QVariant(qint64(1)));
        QVERIFY(heardUntilNow().isEmpty());
        m_prefs->hide();
        QFile::remove(UserDefaults::standardPath());
    }

    void picture() {
        m_prefs->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_prefs.get()));
        const QString path = QCoreApplication::applicationDirPath() + "/preferencesWindow.png";
        QVERIFY(m_prefs->grab().save(path));
        m_prefs->hide();
    }

    void cleanupTestCase() {
        m_prefs.reset();
        m_spy.reset();
        AlertPanel::setAnswerer({});
        Bundle::setMainBundlePath({});
    }
};

QTEST_MAIN(TestPreferencesController)
#include "tst_preferencesController.moc"
