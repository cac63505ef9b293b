#include "Clock.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace {

double systemNow() {
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

double systemMonotonic() {
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
