// What the shared settings cost: a locked, flushed write of one key, a read that follows the file, and the
// clock switches read at every clock refresh.
#include "ClockSwitches.h"
#include "PropertyList.h"
#include "UserDefaults.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

QTemporaryDir &folder() {
    static QTemporaryDir dir;
    return dir;
}

// A settings file as the main application leaves it: a dozen keys and two timer records.
QString preparedSettings() {
    const QString path = folder().filePath(QStringLiteral("Tindral.plist"));
    QVariantMap settings;
    for (int i = 0; i < 10; ++i)
        settings.insert(QStringLiteral("key%1").arg(i), qint64(i));
    const QVariantMap record{{QStringLiteral("title"), QStringLiteral("Tea")},
                             {QStringLiteral("time"), QStringLiteral("00:05:00")},
                             {QStringLiteral("windowColor"), QByteArray(11, '\x01')},
                             {QStringLiteral("totalSeconds"), QStringLiteral("300")}};
    settings.insert(QStringLiteral("timerArray"), QVariantList{record, record});
    PropertyList::writeFile(path, settings);
    return path;
}

void settingWrite(benchmark::State &state) {
    UserDefaults defaults(preparedSettings());
    qint64 value = 0;
    for (auto _ : state)
        defaults.setIntegerForKey(++value, QStringLiteral("icSecondsOffset"));
}
BENCHMARK(settingWrite)->Unit(benchmark::kMicrosecond);

void settingRead(benchmark::State &state) {
    UserDefaults defaults(preparedSettings());
    for (auto _ : state)
        benchmark::DoNotOptimize(defaults.integerForKey(QStringLiteral("key3")));
}
BENCHMARK(settingRead)->Unit(benchmark::kMicrosecond);

void clockSwitchesFromTheFile(benchmark::State &state) {
    const QString path = folder().filePath(QStringLiteral("MenuBarClock.plist"));
    PropertyList::writeFile(path, QVariantMap{{QStringLiteral("DisplaySeconds"), true}});
    ClockSwitches switches(path, QStringLiteral("/bin/true"));
    for (auto _ : state)
        benchmark::DoNotOptimize(switches.switches());
}
BENCHMARK(clockSwitchesFromTheFile)->Unit(benchmark::kMicrosecond);

void clockSwitchesFromTheDesktop(benchmark::State &state) {
    ClockSwitches switches(folder().filePath(QStringLiteral("none.plist")), QStringLiteral("gsettings"));
    for (auto _ : state)
        benchmark::DoNotOptimize(switches.switches());
}
BENCHMARK(clockSwitchesFromTheDesktop)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
