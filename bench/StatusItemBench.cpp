// What the status item costs while the clock runs: the once-a-second title, a menu refresh, and the title
// drawn as a tray icon. Counters give the signals that would go onto the bus (every one a bus message
// when the item is shown to a watcher).
#include "DBusMenuExporter.h"
#include "StatusItem.h"
#include "StatusItemIconEngine.h"
#include "StatusNotifierItem.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

QString clockText(int second) {
    return QStringLiteral("12:%1:%2")
        .arg((second / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'));
}

QIcon solidIcon(const QColor &colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

void countSignals(StatusNotifierItem *item, int &count) {
    const auto add = [&count] { ++count; };
    QObject::connect(item, &StatusNotifierItem::NewTitle, add);
    QObject::connect(item, &StatusNotifierItem::NewIcon, add);
    QObject::connect(item, &StatusNotifierItem::NewToolTip, add);
    QObject::connect(item, &StatusNotifierItem::NewMenu, add);
    QObject::connect(item, &StatusNotifierItem::XAyatanaNewLabel, add);
}

// The companion's menu: eighteen texts over three submenus, three of them with pictures.
struct RefreshedMenu {
    QMenu menu;
    QList<QAction *> texts;
    QList<QAction *> pictures;

    RefreshedMenu() {
        QMenu *submenus[] = {menu.addMenu(QStringLiteral("Dawn/Dusk")),
                             menu.addMenu(QStringLiteral("Lunar Calendar")),
                             menu.addMenu(QStringLiteral("Zodiac Calendar"))};
        for (int i = 0; i < 18; ++i) {
            QMenu *into = i < 3 ? &menu : submenus[i % 3];
            texts.append(into->addAction(QStringLiteral("Loading...")));
            if (i % 6 == 0)
                pictures.append(texts.last());
        }
    }
};

// Argument 1: the title drawn into the icon as well, as for desktops without labels.
void titleTick(benchmark::State &state) {
    StatusItem item{QDBusConnection(QStringLiteral("no bus"))};
    item.setTitleInIcon(state.range(0) != 0);
    int signalCount = 0;
    countSignals(item.notifierItem(), signalCount);
    int second = 0;
    for (auto _ : state) {
        item.setTitle(clockText(++second));
        item.notifierItem()->flush();
    }
    state.counters["signals_per_tick"] = benchmark::Counter(signalCount, benchmark::Counter::kAvgIterations);
    state.counters["signals_per_minute"] =
        benchmark::Counter(signalCount * 60.0, benchmark::Counter::kAvgIterations);
}
BENCHMARK(titleTick)->Arg(0)->Arg(1);

void titleUnchanged(benchmark::State &state) {
    StatusItem item{QDBusConnection(QStringLiteral("no bus"))};
    item.setTitle(clockText(0));
    item.notifierItem()->flush();
    int signalCount = 0;
    countSignals(item.notifierItem(), signalCount);
    for (auto _ : state) {
        item.setTitle(clockText(0));
        item.notifierItem()->flush();
    }
    state.counters["signals_per_tick"] = benchmark::Counter(signalCount, benchmark::Counter::kAvgIterations);
}
BENCHMARK(titleUnchanged);

void menuRefresh(benchmark::State &state) {
    RefreshedMenu menu;
    DBusMenuExporter exporter;
    exporter.setMenu(&menu.menu);
    exporter.flush();
    int updates = 0;
    qsizetype entries = 0;
    QObject::connect(&exporter, &DBusMenuExporter::ItemsPropertiesUpdated,
                     [&](const DBusMenuItemList &updated, const DBusMenuItemKeysList &) {
                         ++updates;
                         entries += updated.size();
                     });
    const QIcon icons[] = {solidIcon(Qt::red), solidIcon(Qt::blue)};
    int round = 0;
    for (auto _ : state) {
        ++round;
        for (int i = 0; i < menu.texts.size(); ++i)
            menu.texts[i]->setText(QStringLiteral("Line %1 of refresh %2").arg(i).arg(round));
        for (QAction *picture : std::as_const(menu.pictures))
            picture->setIcon(icons[round % 2]);
        exporter.flush();
    }
    state.counters["signals_per_refresh"] = benchmark::Counter(updates, benchmark::Counter::kAvgIterations);
    state.counters["entries_per_refresh"] =
        benchmark::Counter(double(entries), benchmark::Counter::kAvgIterations);
}
BENCHMARK(menuRefresh);

// A refresh that finds every text as it was and sets pictures with the same pixels again.
void menuRefreshUnchanged(benchmark::State &state) {
    RefreshedMenu menu;
    DBusMenuExporter exporter;
    exporter.setMenu(&menu.menu);
    for (int i = 0; i < menu.texts.size(); ++i)
        menu.texts[i]->setText(QStringLiteral("Line %1").arg(i));
    for (QAction *picture : std::as_const(menu.pictures))
        picture->setIcon(solidIcon(Qt::red));
    exporter.flush();
    int updates = 0;
    QObject::connect(&exporter, &DBusMenuExporter::ItemsPropertiesUpdated, [&] { ++updates; });
    for (auto _ : state) {
        for (int i = 0; i < menu.texts.size(); ++i)
            menu.texts[i]->setText(QStringLiteral("Line %1").arg(i));
        for (QAction *picture : std::as_const(menu.pictures))
            picture->setIcon(solidIcon(Qt::red));
        exporter.flush();
    }
    state.counters["signals_per_refresh"] = benchmark::Counter(updates, benchmark::Counter::kAvgIterations);
}
BENCHMARK(menuRefreshUnchanged);

void trayTitleIcon(benchmark::State &state) {
    const int size = int(state.range(0));
    int second = 0;
    for (auto _ : state) {
        const QString title = clockText(++second);
        const QIcon icon(new StatusItemIconEngine(title, StatusItem::guideFor(title)));
        benchmark::DoNotOptimize(icon.pixmap(QSize(size, size), 1.0));
    }
}
BENCHMARK(trayTitleIcon)->Arg(22)->Arg(48);

} // namespace

int main(int argc, char **argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return EXIT_FAILURE;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
