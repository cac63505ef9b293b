// What the shared settings cost: a locked, flushed write of one key, a read that follows the file, the clock
// switches read at every clock refresh, and the whole read of a settings file of 1 MB.
#include "ClockSwitches.h"
#include "PropertyList.h"
#include "PropertyListCodec.h"
#include "UserDefaults.h"

#include <QFile>
#include <QFileInfo>

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

// A settings file of at least 1 MB in the binary form: a long list of distinct timer records.
QString largeSettings(bool binary) {
    const QString path =
        folder().filePath(binary ? QStringLiteral("Large.bplist") : QStringLiteral("Large.plist"));
    QVariantList timers;
    QByteArray bytes;
    for (int count = 4096; bytes.size() < 1000000; count *= 2) {
        while (timers.size() < count) {
            const qint64 i = timers.size();
            timers.append(QVariantMap{{QStringLiteral("title"), QStringLiteral("Timer %1").arg(i)},
                                      {QStringLiteral("time"), QStringLiteral("%1:00:00").arg(i % 24)},
                                      {QStringLiteral("windowColor"), QByteArray(11, char(i))},
                                      {QStringLiteral("totalSeconds"), i * 60},
                                      {QStringLiteral("rowIndex"), i}});
        }
        const QVariantMap settings{{QStringLiteral("timerArray"), timers}};
        bytes = binary ? PropertyListCodec::toBinary(settings) : PropertyListCodec::toXml(settings);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

void readLargeFile(benchmark::State &state, bool binary) {
    const QString path = largeSettings(binary);
    for (auto _ : state) {
        const PropertyList::ReadResult read = PropertyList::readFile(path);
        if (read.status != PropertyList::Status::Ok)
            state.SkipWithError("the file did not read");
        benchmark::DoNotOptimize(read.value);
    }
    state.counters["fileBytes"] = double(QFileInfo(path).size());
    state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

void readOneMegabyteBinary(benchmark::State &state) {
    readLargeFile(state, true);
}
BENCHMARK(readOneMegabyteBinary)->Unit(benchmark::kMillisecond);

void readOneMegabyteXml(benchmark::State &state) {
    readLargeFile(state, false);
}
BENCHMARK(readOneMegabyteXml)->Unit(benchmark::kMillisecond);

// A list of 100,000 integers in the binary form: once quadratic to read (10 s for 80,000).
void readLongBinaryList(benchmark::State &state) {
    const QString path = folder().filePath(QStringLiteral("LongList.bplist"));
    QVariantList items;
    for (qint64 i = 0; i < 100000; ++i)
        items.append(i);
    const QByteArray bytes = PropertyListCodec::toBinary(QVariantMap{{QStringLiteral("hostileList"), items}});
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    file.close();
    for (auto _ : state)
        benchmark::DoNotOptimize(PropertyList::readFile(path).value);
    state.counters["fileBytes"] = double(bytes.size());
}
BENCHMARK(readLongBinaryList)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
