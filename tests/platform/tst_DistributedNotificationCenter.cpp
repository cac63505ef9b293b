#include "DistributedNotificationCenter.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDateTime>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// Equal values of the same kinds all the way down; QVariant's own == takes 5 and 5.0 for the same.
QString difference(const QVariant &actual, const QVariant &expected,
                   const QString &path = QStringLiteral("userInfo")) {
    if (actual.typeId() != expected.typeId())
        return QStringLiteral("%1 is a %2, expected a %3").arg(path, actual.typeName(), expected.typeName());
    if (expected.typeId() == QMetaType::QVariantMap) {
        const QVariantMap a = actual.toMap();
        const QVariantMap e = expected.toMap();
        if (a.keys() != e.keys())
            return QStringLiteral("%1 has the keys %2, expected %3")
                .arg(path, a.keys().join(u','), e.keys().join(u','));
        for (auto it = e.cbegin(); it != e.cend(); ++it) {
            const QString d = difference(a.value(it.key()), it.value(), path + u'.' + it.key());
            if (!d.isEmpty())
                return d;
        }
        return {};
    }
    if (expected.typeId() == QMetaType::QVariantList) {
        const QVariantList a = actual.toList();
        const QVariantList e = expected.toList();
        if (a.size() != e.size())
            return QStringLiteral("%1 has %2 items, expected %3").arg(path).arg(a.size()).arg(e.size());
        for (qsizetype i = 0; i < e.size(); ++i) {
            const QString d = difference(a[i], e[i], QStringLiteral("%1[%2]").arg(path).arg(i));
            if (!d.isEmpty())
                return d;
        }
        return {};
    }
    return actual == expected ? QString() : QStringLiteral("%1 differs").arg(path);
}

QVariantMap timerRecord() {
    return {{QStringLiteral("title"), QStringLiteral("Tea")},
            {QStringLiteral("time"), QStringLiteral("00:05:00")},
            {QStringLiteral("done"), QString()},
            {QStringLiteral("windowColor"), QByteArray("\x01\xff\xff\xff\xff\x00\x00\x00\x00\x00\x00", 11)},
            {QStringLiteral("transparency"), QStringLiteral("0.7")},
            {QStringLiteral("totalSeconds"), QStringLiteral("300")},
            {QStringLiteral("ic"), true},
            {QStringLiteral("rowIndex"), qint64(2)}};
}

} // namespace

class TestDistributedNotificationCenter : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<DistributedNotificationCenter> m_poster;
    std::unique_ptr<DistributedNotificationCenter> m_observer;
    std::vector<Notification> m_heard;

    void listen(const QString &name = QString()) {
        m_observer->addObserver(name, [this](const Notification &n) { m_heard.push_back(n); });
        QVERIFY(m_observer->waitForBus());
    }

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        // Two connections of their own: to the bus they are two programs.
        m_poster = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("poster")));
        m_observer = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("observer")));
        QVERIFY(m_poster->isConnected());
        QVERIFY(m_observer->isConnected());
        m_heard.clear();
    }
    void cleanup() {
        m_poster.reset();
        m_observer.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("poster"));
        QDBusConnection::disconnectFromBus(QStringLiteral("observer"));
    }

    void valuesArriveWithTheirKinds_data() {
        QTest::addColumn<QVariantMap>("sent");
        QTest::addColumn<QVariantMap>("expected");
        const auto one = [](const QVariant &v) { return QVariantMap{{QStringLiteral("v"), v}}; };
        QTest::newRow("string") << one(QStringLiteral("Kestmoor √")) << one(QStringLiteral("Kestmoor √"));
        QTest::newRow("empty string") << one(QString()) << one(QString());
        QTest::newRow("64-bit integer") << one(qint64(-4102444800)) << one(qint64(-4102444800));
        QTest::newRow("32-bit integer arrives as an integer") << one(int(120)) << one(qint64(120));
        QTest::newRow("unsigned integer arrives as an integer") << one(uint(7)) << one(qint64(7));
        QTest::newRow("real") << one(0.7) << one(0.7);
        QTest::newRow("real with no fraction stays a real") << one(2.0) << one(2.0);
        QTest::newRow("boolean") << one(false) << one(false);
        QTest::newRow("data") << one(QByteArray("\x00\xff", 2)) << one(QByteArray("\x00\xff", 2));
        QTest::newRow("empty data") << one(QByteArray("")) << one(QByteArray(""));
        QTest::newRow("list of mixed kinds")
            << one(QVariantList{int(1), QStringLiteral("two"), 3.5, true, QByteArray("4")})
            << one(QVariantList{qint64(1), QStringLiteral("two"), 3.5, true, QByteArray("4")});
        QTest::newRow("list of strings") << one(QStringList{QStringLiteral("AM"), QStringLiteral("PM")})
                                         << one(QVariantList{QStringLiteral("AM"), QStringLiteral("PM")});
        QTest::newRow("empty list and dictionary")
            << QVariantMap{{QStringLiteral("l"), QVariantList{}}, {QStringLiteral("d"), QVariantMap{}}}
            << QVariantMap{{QStringLiteral("l"), QVariantList{}}, {QStringLiteral("d"), QVariantMap{}}};
        QTest::newRow("a changed timer: nested record")
            << QVariantMap{{QStringLiteral("timerInfo"), timerRecord()}, {QStringLiteral("rowIndex"), int(2)}}
            << QVariantMap{{QStringLiteral("timerInfo"), timerRecord()},
                           {QStringLiteral("rowIndex"), qint64(2)}};
        QTest::newRow("a new timer: the record itself") << timerRecord() << timerRecord();
        QTest::newRow("deep nesting")
            << one(QVariantMap{{QStringLiteral("a"),
                                QVariantList{QVariantMap{{QStringLiteral("b"), QVariantList{int(1)}}}}}})
            << one(QVariantMap{{QStringLiteral("a"),
                                QVariantList{QVariantMap{{QStringLiteral("b"), QVariantList{qint64(1)}}}}}});
        QTest::newRow("no details") << QVariantMap() << QVariantMap();
    }
    void valuesArriveWithTheirKinds() {
        QFETCH(QVariantMap, sent);
        QFETCH(QVariantMap, expected);
        listen(QStringLiteral("TNDChangeTimer"));
        QVERIFY(m_poster->post(QStringLiteral("TNDChangeTimer"), sent));
        QTRY_COMPARE(m_heard.size(), size_t(1));
        QCOMPARE(m_heard[0].name, QStringLiteral("TNDChangeTimer"));
        QCOMPARE(m_heard[0].object, nullptr);
        const QString d = difference(m_heard[0].userInfo, expected);
        QVERIFY2(d.isEmpty(), qPrintable(d));
    }

    void posterHearsItsOwnNotificationLater() {
        bool heard = false;
        m_poster->addObserver(QStringLiteral("TNDUpdateICSecondsOffset"), [&](const Notification &n) {
            heard = n.userInfo.value(QStringLiteral("icSecondsOffset")) == qint64(120);
        });
        QVERIFY(m_poster->post(QStringLiteral("TNDUpdateICSecondsOffset"),
                               {{QStringLiteral("icSecondsOffset"), 120}}));
        QVERIFY(!heard);
        QTRY_VERIFY(heard);
    }

    void onlyTheObservedNamesAreDelivered() {
        std::vector<QString> all;
        m_observer->addObserver(QString(), [&](const Notification &n) { all.push_back(n.name); });
        listen(QStringLiteral("TNDTurnedOn"));
        m_poster->post(QStringLiteral("TNDGoAway"));
        m_poster->post(QStringLiteral("TNDTurnedOn"));
        m_poster->post(QStringLiteral("TNDWentAway"));
        QTRY_COMPARE(all.size(), size_t(3));
        QCOMPARE(all, (std::vector<QString>{QStringLiteral("TNDGoAway"), QStringLiteral("TNDTurnedOn"),
                                            QStringLiteral("TNDWentAway")}));
        QCOMPARE(m_heard.size(), size_t(1));
        QCOMPARE(m_heard[0].name, QStringLiteral("TNDTurnedOn"));
    }

    void removedObserversHearNothing() {
        int removedCalls = 0;
        int contextCalls = 0;
        const int token =
            m_observer->addObserver(QStringLiteral("x"), [&](const Notification &) { ++removedCalls; });
        auto context = std::make_unique<QObject>();
        m_observer->addObserver(
            QStringLiteral("x"), [&](const Notification &) { ++contextCalls; }, context.get());
        listen(QStringLiteral("x"));
        m_observer->removeObserver(token);
        context.reset();
        m_poster->post(QStringLiteral("x"));
        QTRY_COMPARE(m_heard.size(), size_t(1));
        QCOMPARE(removedCalls, 0);
        QCOMPARE(contextCalls, 0);
    }

    void malformedSignalsAreRefusedAndTheNextOneArrives_data() {
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("problem");
        QTest::newRow("wrong arguments")
            << QVariantList{QStringLiteral("TNDAddTimer"), QStringLiteral("title")}
            << QStringLiteral("its arguments are (ss), not a name and a dictionary (sa{sv})");
        QTest::newRow("no arguments")
            << QVariantList{} << QStringLiteral("its arguments are (), not a name and a dictionary (sa{sv})");

        QDBusArgument structure;
        structure.beginStructure();
        structure << int(1) << QStringLiteral("one");
        structure.endStructure();
        QTest::newRow("a structure inside")
            << QVariantList{QStringLiteral("TNDAddTimer"),
                            QVariant::fromValue(
                                QVariantMap{{QStringLiteral("title"), QVariant::fromValue(structure)}})}
            << QStringLiteral("\"TNDAddTimer\": the value under \"title\" is a structure");

        QDBusArgument numberKeys;
        numberKeys.beginMap(QMetaType(QMetaType::Int), QMetaType::fromType<QDBusVariant>());
        numberKeys.beginMapEntry();
        numberKeys << int(1) << QDBusVariant(QStringLiteral("x"));
        numberKeys.endMapEntry();
        numberKeys.endMap();
        QTest::newRow("a dictionary with number keys inside")
            << QVariantList{QStringLiteral("TNDChangeTimer"),
                            QVariant::fromValue(
                                QVariantMap{{QStringLiteral("timerInfo"), QVariant::fromValue(numberKeys)}})}
            << QStringLiteral(
                   "\"TNDChangeTimer\": the dictionary under \"timerInfo\" has keys that are not strings");
    }
    void malformedSignalsAreRefusedAndTheNextOneArrives() {
        QFETCH(QVariantList, arguments);
        QFETCH(QString, problem);
        listen();
        QDBusMessage signal = QDBusMessage::createSignal(DistributedNotificationCenter::objectPath(),
                                                         DistributedNotificationCenter::interfaceName(),
                                                         QStringLiteral("Notification"));
        signal.setArguments(arguments);
        QDBusConnection sender =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("sender"));
        // Both centres of this program hear it, and each refuses it.
        const QString refusal =
            QStringLiteral("A notification from %1 was refused: %2.").arg(sender.baseService(), problem);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(refusal));
        QTest::ignoreMessage(QtWarningMsg, qPrintable(refusal));
        QVERIFY(sender.send(signal));
        m_poster->post(QStringLiteral("TNDRemoveTimer"), {{QStringLiteral("rowIndex"), 0}});
        QTRY_COMPARE(m_heard.size(), size_t(1));
        QCOMPARE(m_heard[0].name, QStringLiteral("TNDRemoveTimer"));
        QDBusConnection::disconnectFromBus(QStringLiteral("sender"));
    }

    void valueWithoutABusFormIsNotSent_data() {
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<QString>("problem");
        QTest::newRow("a date")
            << QVariantMap{{QStringLiteral("lastDate"), QDateTime::fromSecsSinceEpoch(0)}}
            << QStringLiteral("the value under \"lastDate\" is a QDateTime, which has no form on the bus");
        QTest::newRow("nothing, deep inside")
            << QVariantMap{{QStringLiteral("timerInfo"),
                            QVariantMap{{QStringLiteral("l"), QVariantList{1, QVariant()}}}}}
            << QStringLiteral("there is no value under \"timerInfo\".\"l\".[1]");
        QTest::newRow("too large an integer") << QVariantMap{{QStringLiteral("n"), quint64(1) << 63}}
                                              << QStringLiteral("the integer under \"n\" is too large");
    }
    void valueWithoutABusFormIsNotSent() {
        QFETCH(QVariantMap, userInfo);
        QFETCH(QString, problem);
        QTest::ignoreMessage(
            QtWarningMsg,
            qPrintable(QStringLiteral("The notification \"TNDAddTimer\" was not sent: %1.").arg(problem)));
        QVERIFY(!m_poster->post(QStringLiteral("TNDAddTimer"), userInfo));
    }

    void withoutABusPostsAreDroppedWithOneWarning() {
        DistributedNotificationCenter center(QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nobus")));
        QVERIFY(!center.isConnected());
        bool heard = false;
        center.addObserver(QStringLiteral("TNDGoAway"), [&](const Notification &) { heard = true; });
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression(QStringLiteral(
                "^No D-Bus session bus \\(.+\\): notifications are not sent to other programs\\.$")));
        QVERIFY(!center.post(QStringLiteral("TNDGoAway")));
        QVERIFY(!center.post(QStringLiteral("TNDGoAway")));
        QVERIFY(!center.waitForBus());
        // A marker queued after the posts: whatever they had queued would run before it.
        bool marker = false;
        QMetaObject::invokeMethod(this, [&] { marker = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(marker);
        QVERIFY(!heard);
        QDBusConnection::disconnectFromBus(QStringLiteral("nobus"));
    }

    void defaultCenterIsOnTheSessionBus() {
        DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
        QCOMPARE(&center, &DistributedNotificationCenter::defaultCenter());
        bool heard = false;
        const int token =
            center.addObserver(QStringLiteral("TNDTurnedOn"), [&](const Notification &) { heard = true; });
        QVERIFY(center.waitForBus());
        m_poster->post(QStringLiteral("TNDTurnedOn"));
        QTRY_VERIFY(heard);
        center.removeObserver(token);
    }
};

QTEST_GUILESS_MAIN(TestDistributedNotificationCenter)
#include "tst_DistributedNotificationCenter.moc"
