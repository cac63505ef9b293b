// What one redisplay of the Date/Time pane costs: the clock refreshed, every text rebuilt and set, every
// picture looked up, on Qt's offscreen platform (nothing is drawn on a screen).
#include "Bundle.h"
#include "Clock.h"
#include "UserDefaults.h"
#include "dateTimeController.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <ctime>

namespace {

double g_now = 1000000000.0;

void redisplay(benchmark::State &state) {
    dateTimeController pane;
    pane.awakeFromNib();
    for (auto _ : state) {
        // One OOC second later each time, as the one-second timer sees it.
        g_now += 1.0;
        pane.redisplayDate();
    }
}
BENCHMARK(redisplay);

// A redisplay one IC day later each time: new sun, moon and zodiac pictures every call.
void redisplayNewDay(benchmark::State &state) {
    dateTimeController pane;
    pane.awakeFromNib();
    for (auto _ : state) {
        g_now += 21120.0; // one IC day in OOC seconds
        pane.redisplayDate();
    }
}
BENCHMARK(redisplayNewDay);

} // namespace

int main(int argc, char **argv) {
    setenv("TZ", "UTC", 1);
    tzset();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A settings folder of its own, so that no user's settings file is read.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication application(argc, argv);
    Clock::setNowFunction([] { return g_now; });
    Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR));
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setVolatileValue(QStringLiteral("NSTimeFormatString"), QStringLiteral("%H:%M:%S"));
    defaults.setVolatileValue(QStringLiteral("NSShortDateFormatString"), QStringLiteral("%m/%d/%y"));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
