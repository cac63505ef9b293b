// What the clock costs: one title tick, one menu refresh, and the same title from strftime as a baseline.
//
// A title tick is to cost at most three times the strftime baseline of the same run. Between two changes of
// the settings files it makes no system call: the designators and the time format come from caches that a
// FileWatch invalidates.
#include "InternationalSettings.h"
#include "TNDClockTexts.h"
#include "TNDKestmoorDate.h"

#include <benchmark/benchmark.h>

#include <QVariantMap>

#include <cstdlib>
#include <ctime>

namespace {

const QString kTimeFormat = QStringLiteral("%1I:%M:%S %p");
const QString kOOCFormat = QStringLiteral("%m/%d/%y %1I:%M:%S %p");

TNDKestmoorDate &benchClock() {
    static TNDKestmoorDate clock(1700000000.0);
    static const bool ready = [] {
        setenv("TZ", "UTC", 1);
        tzset();
        clock.setDaylightSavings(3600.0);
        clock.setExtraPreferences(QVariantMap{{QStringLiteral("DisplaySeconds"), true},
                                              {QStringLiteral("AppendAMPM"), true},
                                              {QStringLiteral("ShowDay"), true}});
        return true;
    }();
    (void)ready;
    return clock;
}

void titleRefresh(benchmark::State &state) {
    TNDKestmoorDate &clock = benchClock();
    double moment = 1700000000.0;
    for (auto _ : state) {
        clock.refreshWithTimeFrom1970(moment);
        QString title = clock.timeWithFormat(kTimeFormat);
        benchmark::DoNotOptimize(title);
        moment += 1.0;
    }
}
BENCHMARK(titleRefresh);

// The companion's whole title tick: the same, with the user's time format looked up as the companion does.
void companionTitleTick(benchmark::State &state) {
    TNDKestmoorDate &clock = benchClock();
    double moment = 1700000000.0;
    for (auto _ : state) {
        clock.refreshWithTimeFrom1970(moment);
        QString title = clock.timeWithFormat(InternationalSettings::timeFormat());
        benchmark::DoNotOptimize(title);
        moment += 1.0;
    }
}
BENCHMARK(companionTitleTick);

void menuRefresh(benchmark::State &state) {
    TNDKestmoorDate &clock = benchClock();
    double moment = 1700000000.0;
    for (auto _ : state) {
        clock.refreshWithTimeFrom1970(moment);
        clock.refreshAllOthers();
        const TNDClockTexts texts(clock, kTimeFormat, kOOCFormat);
        QString longTime = texts.longTimeLine();
        TNDClockTexts::SunLines sun = texts.sunLines();
        QString dawnDusk = texts.dawnDuskLine();
        QString zodiacDay = texts.zodiacDayLine();
        QString zodiacNext = texts.zodiacNextLine();
        QString lunarDay = texts.lunarMenuDayLine();
        TNDClockTexts::FullMoonLines moon = texts.fullMoonLines();
        QString coliseum = texts.coliseumLine();
        benchmark::DoNotOptimize(longTime);
        benchmark::DoNotOptimize(sun);
        benchmark::DoNotOptimize(dawnDusk);
        benchmark::DoNotOptimize(zodiacDay);
        benchmark::DoNotOptimize(zodiacNext);
        benchmark::DoNotOptimize(lunarDay);
        benchmark::DoNotOptimize(moon);
        benchmark::DoNotOptimize(coliseum);
        moment += 1.0;
    }
}
BENCHMARK(menuRefresh);

// The user's own clock: the same format through strftime for a moment, converted to a QString for display.
void strftimeTitle(benchmark::State &state) {
    setenv("TZ", "UTC", 1);
    tzset();
    std::time_t moment = 1700000000;
    char buffer[64];
    for (auto _ : state) {
        std::tm tm{};
        localtime_r(&moment, &tm);
        const size_t length = std::strftime(buffer, sizeof buffer, "%a %l:%M:%S %p", &tm);
        QString title = QString::fromLocal8Bit(buffer, qsizetype(length));
        benchmark::DoNotOptimize(title);
        ++moment;
    }
}
BENCHMARK(strftimeTitle);

} // namespace

BENCHMARK_MAIN();
