#include "Clock.h"

#include <QDateTime>
#include <QElapsedTimer>

#if defined(__linux__)
#include <time.h>
#endif

namespace {

double systemNow() {
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

double systemMonotonic() {
#if defined(__linux__)
    // CLOCK_BOOTTIME goes on while the machine is suspended, so a countdown wakes up to the right time left;
    // QElapsedTimer's CLOCK_MONOTONIC stands still during a suspend.
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) == 0)
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
#endif
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.nsecsElapsed() / 1e9;
}

std::function<double()> &nowSource() {
    static std::function<double()> source = systemNow;
    return source;
}

std::function<double()> &monotonicSource() {
    static std::function<double()> source = systemMonotonic;
    return source;
}

} // namespace

namespace Clock {

double now() {
    return nowSource()();
}
double monotonicNow() {
    return monotonicSource()();
}

void setNowFunction(std::function<double()> source) {
    nowSource() = source ? std::move(source) : systemNow;
}

void setMonotonicFunction(std::function<double()> source) {
    monotonicSource() = source ? std::move(source) : systemMonotonic;
}

void reset() {
    nowSource() = systemNow;
    monotonicSource() = systemMonotonic;
}

} // namespace Clock
