// The real TindralMenu program on a real session bus and X server, read by a panel written against the
// protocols: its label, its menu at the first opening, a second start, and quitting through the menu.
#include "DistributedNotificationCenter.h"
#include "TestPanelHost.h"

#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

const QString kCompanion = QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app/TindralMenu");

QString clockTitle() {
    QProcess clock;
    clock.start(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), {QStringLiteral("--title")});
    if (!clock.waitForFinished(20000))
        return {};
    return QString::fromUtf8(clock.readAllStandardOutput()).trimmed();
}

bool anyEntryReads(const TestPanelHost::MenuEntry &entry, const QString &text) {
    if (entry.text == text)
        return true;
    for (const TestPanelHost::MenuEntry &child : entry.children)
        if (anyEntryReads(child, text))
            return true;
    return false;
}

} // namespace

class TestTindralMenuEndToEnd : public QObject {
    Q_OBJECT

private:
    TestPanelHost m_host;
    QProcess m_companion;
    std::unique_ptr<DistributedNotificationCenter> m_listener;
    QStringList m_heard;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_host.startWatcher());
        m_listener = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener")));
        m_listener->addObserver({}, [this](const Notification &note) { m_heard.append(note.name); });
        QVERIFY(m_listener->waitForBus());
        m_companion.setProcessChannelMode(QProcess::ForwardedChannels);
        m_companion.start(kCompanion);
        QVERIFY(m_companion.waitForStarted());
        QVERIFY(m_host.waitForItems(1, 20000));
        QTRY_COMPARE_WITH_TIMEOUT(m_heard.count(QStringLiteral("TNDTurnedOn")), 1, 20000);
    }

    void labelIsTheClockOfThisMoment() {
        // The label follows the clock at the companion's next tick, up to a second later; an IC minute lasts
        // under 15 real seconds, so try again should the minute turn over meanwhile.
        for (int attempt = 0; attempt < 5; ++attempt) {
            const QString title = clockTitle();
            QVERIFY(!title.isEmpty());
            if (QTest::qWaitFor([&] { return m_host.label() == title; }, 3000))
                return;
        }
        QFAIL(qPrintable(
            QStringLiteral("the label reads '%1', the clock '%2'").arg(m_host.label(), clockTitle())));
    }

    void theFirstOpeningShowsAFilledMenu() {
        const auto answer = m_host.aboutToShow({}, 0);
        QVERIFY(answer);
        const auto menu = m_host.menuLayout();
        QVERIFY(menu);
        QCOMPARE(menu->children.size(), 13);
        QVERIFY(!anyEntryReads(*menu, QStringLiteral("Loading...")));
        QVERIFY(menu->children[0].text.contains(QStringLiteral(", day ")));
        QVERIFY(menu->children[4].children[0].hasIcon);
        QVERIFY(m_host.itemProperty({}, QStringLiteral("IconPixmap")));
    }

    void aSecondStartHandsOver() {
        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(kCompanion);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_heard.count(QStringLiteral("TNDTurnedOn")), 2, 20000);
        QVERIFY(m_host.sync());
        QCOMPARE(m_host.registeredItems().size(), 1);
        QCOMPARE(m_companion.state(), QProcess::Running);
        const QString autostart = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart");
        QCOMPARE(QDir(autostart).entryList(QDir::Files).size(), 1);
    }

    void quittingThroughTheMenu() {
        const auto menu = m_host.menuLayout();
        QVERIFY(menu);
        const TestPanelHost::MenuEntry *quit = menu->find(QStringLiteral("Quit"));
        QVERIFY(quit);
        QVERIFY(m_host.click({}, quit->id));
        QVERIFY(m_companion.waitForFinished(20000));
        QCOMPARE(m_companion.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_heard.count(QStringLiteral("TNDWentAway")), 1, 20000);
        QVERIFY(m_host.waitForNoItems());
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QCOMPARE(QDir(config + QStringLiteral("/autostart")).entryList(QDir::Files).size(), 0);
        // The companion never creates the settings file.
        QVERIFY(!QFile::exists(config + QStringLiteral("/Tindral.plist")));
    }

    void cleanupTestCase() {
        if (m_companion.state() != QProcess::NotRunning) {
            m_companion.terminate();
            m_companion.waitForFinished(10000);
        }
    }
};

QTEST_GUILESS_MAIN(TestTindralMenuEndToEnd)
#include "tst_TindralMenuEndToEnd.moc"
