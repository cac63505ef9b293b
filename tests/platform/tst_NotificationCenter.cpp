#include "NotificationCenter.h"

#include <QRegularExpression>
#include <QTest>

#include <memory>

class TestNotificationCenter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void observersAreCalledDuringThePostWithTheSender() {
        NotificationCenter center;
        QObject timer;
        QStringList calls;
        center.addObserver(QStringLiteral("doneTimer"), [&](const Notification &n) {
            QCOMPARE(n.object, &timer);
            calls << n.name;
        });
        center.addObserver(QStringLiteral("TNDUpdateTimerInterval"), [&](const Notification &n) {
            calls << n.name + QStringLiteral(" ") +
                         n.userInfo.value(QStringLiteral("updateInterval")).toString();
        });
        center.post(QStringLiteral("doneTimer"), &timer);
        QCOMPARE(calls, QStringList{QStringLiteral("doneTimer")});
        center.post(QStringLiteral("TNDUpdateTimerInterval"), nullptr,
                    {{QStringLiteral("updateInterval"), qint64(15)}});
        QCOMPARE(calls,
                 (QStringList{QStringLiteral("doneTimer"), QStringLiteral("TNDUpdateTimerInterval 15")}));
        center.post(QStringLiteral("nobodyListens"));
        QCOMPARE(calls.size(), 2);
    }

    void emptyNameObservesEveryName() {
        NotificationCenter center;
        QStringList heard;
        center.addObserver(QString(), [&](const Notification &n) { heard << n.name; });
        center.post(QStringLiteral("a"));
        center.post(QStringLiteral("b"));
        QCOMPARE(heard, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    }

    void observersRunInTheOrderTheyCame() {
        NotificationCenter center;
        QString order;
        for (const char c : {'1', '2', '3'})
            center.addObserver(QStringLiteral("x"),
                               [&order, c](const Notification &) { order += QLatin1Char(c); });
        center.post(QStringLiteral("x"));
        QCOMPARE(order, QStringLiteral("123"));
    }

    void removedObserverIsNotCalled() {
        NotificationCenter center;
        int calls = 0;
        const int token = center.addObserver(QStringLiteral("x"), [&](const Notification &) { ++calls; });
        center.removeObserver(token);
        center.removeObserver(token); // a second removal is harmless
        center.post(QStringLiteral("x"));
        QCOMPARE(calls, 0);
    }

    void observerGoesWithItsContext() {
        NotificationCenter center;
        int calls = 0;
        auto context = std::make_unique<QObject>();
        center.addObserver(
            QStringLiteral("x"), [&](const Notification &) { ++calls; }, context.get());
        center.post(QStringLiteral("x"));
        context.reset();
        center.post(QStringLiteral("x"));
        QCOMPARE(calls, 1);
    }

    void observersMayChangeTheListWhileCalled() {
        NotificationCenter center;
        QStringList calls;
        int second = 0;
        int self = 0;
        self = center.addObserver(QStringLiteral("x"), [&](const Notification &) {
            calls << QStringLiteral("first removes itself and the second, adds a third");
            center.removeObserver(self);
            center.removeObserver(second);
            center.addObserver(QStringLiteral("x"),
                               [&](const Notification &) { calls << QStringLiteral("third"); });
        });
        second = center.addObserver(QStringLiteral("x"),
                                    [&](const Notification &) { calls << QStringLiteral("second"); });
        center.post(QStringLiteral("x"));
        QCOMPARE(calls, QStringList{QStringLiteral("first removes itself and the second, adds a third")});
        center.post(QStringLiteral("x"));
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.last(), QStringLiteral("third"));
    }

    void postFromAnObserverIsDeliveredAtOnce() {
        NotificationCenter center;
        QStringList calls;
        center.addObserver(QStringLiteral("doneTimer"), [&](const Notification &) {
            calls << QStringLiteral("doneTimer");
            center.post(QStringLiteral("TNDDoneTimer"));
            calls << QStringLiteral("after");
        });
        center.addObserver(QStringLiteral("TNDDoneTimer"),
                           [&](const Notification &) { calls << QStringLiteral("TNDDoneTimer"); });
        center.post(QStringLiteral("doneTimer"));
        QCOMPARE(calls, (QStringList{QStringLiteral("doneTimer"), QStringLiteral("TNDDoneTimer"),
                                     QStringLiteral("after")}));
    }

    void defaultCenterIsOneCenter() {
        QCOMPARE(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    }
};

QTEST_GUILESS_MAIN(TestNotificationCenter)
#include "tst_NotificationCenter.moc"
