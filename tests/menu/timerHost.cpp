// A stand-in companion for the end-to-end timer test: the companion's timer list on the session bus and
// nothing else. It says "ready" on standard output once it hears the timer notifications.
#include "DistributedNotificationCenter.h"
#include "TNDTimerList.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    TNDTimerList timers(center);
    timers.observe();
    if (!center.waitForBus())
        return 1;
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return QApplication::exec();
}
