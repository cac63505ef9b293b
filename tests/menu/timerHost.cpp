// A stand-in companion for the end-to-end timer test: the companion's timer list on the session bus and
// nothing else. Like the companion, it posts "TNDTurnedOn" once it hears the timer notifications.
#include "DistributedNotificationCenter.h"
#include "TNDTimerList.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    TNDTimerList timers(center);
    timers.observe();
    if (!center.post(QStringLiteral("TNDTurnedOn")) || !center.waitForBus())
        return 1;
    return QApplication::exec();
}
