#include "DesktopNotifications.h"
#include "FakeNotificationServer.h"

#include <QDBusConnection>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(DesktopNotifications::Urgency)

namespace {

DesktopNotifications::Notice timerEnd() {
    DesktopNotifications::Notice notice;
    notice.appName = QStringLiteral("Tindral");
    notice.appIcon = QStringLiteral("org.tindral.Tindral");
    notice.summary = QStringLiteral("Tea");
    notice.body = QStringLiteral("Ended at 14:05:09");
    notice.desktopEntry = QStringLiteral("org.tindral.Tindral");
    notice.soundName = QStringLiteral("complete");
    return notice;
}

} // namespace

class TestDesktopNotifications : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeNotificationServer> m_server;
    std::unique_ptr<DesktopNotifications> m_notifications;

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        m_server = std::make_unique<FakeNotificationServer>();
        m_notifications = std::make_unique<DesktopNotifications>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("program")));
    }

    void cleanup() {
        m_notifications.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("program"));
        m_server.reset();
    }

    // What the server is sent, hints included, for the kinds of notice the programs send.
    void notify_data() {
        QTest::addColumn<DesktopNotifications::Urgency>("urgency");
        QTest::addColumn<QString>("desktopEntry");
        QTest::addColumn<QString>("soundName");
        QTest::addColumn<bool>("defaultAction");
        QTest::addColumn<uchar>("urgencyByte");
        QTest::addColumn<QStringList>("hintKeys");
        QTest::addColumn<QStringList>("actionKeys");

        QTest::newRow("a timer's end: normal urgency, the program's entry and the sound \"complete\"")
            << DesktopNotifications::Urgency::Normal << QStringLiteral("org.tindral.Tindral")
            << QStringLiteral("complete") << true << uchar(1)
            << QStringList{QStringLiteral("desktop-entry"), QStringLiteral("sound-name"),
                           QStringLiteral("urgency")}
            << QStringList{QStringLiteral("default")};
        QTest::newRow("critical, silent, no entry: only the urgency byte")
            << DesktopNotifications::Urgency::Critical << QString() << QString() << true << uchar(2)
            << QStringList{QStringLiteral("urgency")} << QStringList{QStringLiteral("default")};
        QTest::newRow("low urgency without a default action offers no action")
            << DesktopNotifications::Urgency::Low << QStringLiteral("org.tindral.Tindral") << QString()
            << false << uchar(0) << QStringList{QStringLiteral("desktop-entry"), QStringLiteral("urgency")}
            << QStringList{};
    }

    void notify() {
        QFETCH(DesktopNotifications::Urgency, urgency);
        QFETCH(QString, desktopEntry);
        QFETCH(QString, soundName);
        QFETCH(bool, defaultAction);
        QFETCH(uchar, urgencyByte);
        QFETCH(QStringList, hintKeys);
        QFETCH(QStringList, actionKeys);
        QVERIFY(m_server->start());

        DesktopNotifications::Notice notice = timerEnd();
        notice.urgency = urgency;
        notice.desktopEntry = desktopEntry;
        notice.soundName = soundName;
        notice.defaultAction = defaultAction;
        QSignalSpy shown(m_notifications.get(), &DesktopNotifications::shown);
        const quint64 number = m_notifications->notify(notice);
        QVERIFY(shown.wait());
        QCOMPARE(shown.first().at(0).value<quint64>(), number);
        QCOMPARE(shown.first().at(1).value<uint>(), uint(1));

        QCOMPARE(m_server->notices().size(), 1);
        const FakeNotificationServer::Notice &sent = m_server->notices().first();
        QCOMPARE(sent.appName, QStringLiteral("Tindral"));
        QCOMPARE(sent.replacesId, uint(0));
        QCOMPARE(sent.appIcon, QStringLiteral("org.tindral.Tindral"));
        QCOMPARE(sent.summary, QStringLiteral("Tea"));
        QCOMPARE(sent.body, QStringLiteral("Ended at 14:05:09"));
        QCOMPARE(sent.expireTimeout, -1);
        // Actions come in pairs: key, then the text a server may show for it.
        QStringList keys;
        for (qsizetype i = 0; i + 1 < sent.actions.size(); i += 2)
            keys << sent.actions[i];
        QCOMPARE(keys, actionKeys);
        QCOMPARE(sent.actions.size() % 2, 0);

        QStringList sentKeys = sent.hints.keys();
        sentKeys.sort();
        QCOMPARE(sentKeys, hintKeys);
        const QVariant urgencyHint = sent.hints.value(QStringLiteral("urgency"));
        QCOMPARE(urgencyHint.typeId(), int(QMetaType::UChar));
        QCOMPARE(urgencyHint.value<uchar>(), urgencyByte);
        if (!desktopEntry.isEmpty())
            QCOMPARE(sent.hints.value(QStringLiteral("desktop-entry")).toString(), desktopEntry);
        if (!soundName.isEmpty())
            QCOMPARE(sent.hints.value(QStringLiteral("sound-name")).toString(), soundName);
    }

    // A bus without a notification server: the notice is not shown, and nothing is said about it.
    void noServerIsQuiet() {
        QSignalSpy shown(m_notifications.get(), &DesktopNotifications::shown);
        QSignalSpy notShown(m_notifications.get(), &DesktopNotifications::notShown);
        const quint64 number = m_notifications->notify(timerEnd());
        QVERIFY(notShown.wait());
        QCOMPARE(notShown.first().at(0).value<quint64>(), number);
        QCOMPARE(shown.size(), 0);
    }

    void noBusIsQuiet() {
        const QString name = QStringLiteral("nowhere");
        DesktopNotifications nowhere(
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), name));
        QSignalSpy notShown(&nowhere, &DesktopNotifications::notShown);
        const quint64 number = nowhere.notify(timerEnd());
        QVERIFY(notShown.wait());
        QCOMPARE(notShown.first().at(0).value<quint64>(), number);
        QDBusConnection::disconnectFromBus(name);
    }

    // A server that starts after a notice went nowhere shows the next one, and its clicks are heard.
    void serverThatComesLater() {
        QSignalSpy notShown(m_notifications.get(), &DesktopNotifications::notShown);
        m_notifications->notify(timerEnd());
        QVERIFY(notShown.wait());

        QVERIFY(m_server->start());
        QSignalSpy shown(m_notifications.get(), &DesktopNotifications::shown);
        QSignalSpy invoked(m_notifications.get(), &DesktopNotifications::actionInvoked);
        const quint64 second = m_notifications->notify(timerEnd());
        QVERIFY(shown.wait());
        m_server->invokeAction(shown.first().at(1).value<uint>(), QStringLiteral("default"));
        QVERIFY(invoked.wait());
        QCOMPARE(invoked.first().at(0).value<quint64>(), second);
        QCOMPARE(invoked.first().at(1).toString(), QStringLiteral("default"));
    }

    // Clicks are told for this object's own notices only, each for the notice it was on.
    void actionsOfOwnNoticesOnly() {
        QVERIFY(m_server->start());
        QSignalSpy shown(m_notifications.get(), &DesktopNotifications::shown);
        const quint64 first = m_notifications->notify(timerEnd());
        const quint64 second = m_notifications->notify(timerEnd());
        QTRY_COMPARE(shown.size(), 2);
        // The server numbers its notices 1, 2, ... in the order they come.
        QCOMPARE(shown.at(0).at(0).value<quint64>(), first);
        QCOMPARE(shown.at(0).at(1).value<uint>(), uint(1));
        QCOMPARE(shown.at(1).at(0).value<quint64>(), second);
        QCOMPARE(shown.at(1).at(1).value<uint>(), uint(2));

        QSignalSpy invoked(m_notifications.get(), &DesktopNotifications::actionInvoked);
        // Another program's notice, then the second of ours.
        m_server->invokeAction(42, QStringLiteral("default"));
        m_server->invokeAction(2, QStringLiteral("default"));
        QVERIFY(invoked.wait());
        QCOMPARE(invoked.size(), 1);
        QCOMPARE(invoked.first().at(0).value<quint64>(), second);

        // Once closed, a notice's id is no longer ours: a later click on it is someone else's.
        m_server->invokeAction(2, QStringLiteral("default"));
        m_server->invokeAction(1, QStringLiteral("default"));
        QVERIFY(invoked.wait());
        QCOMPARE(invoked.size(), 2);
        QCOMPARE(invoked.last().at(0).value<quint64>(), first);
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifications)
#include "tst_DesktopNotifications.moc"
