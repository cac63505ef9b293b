#include "DBusMenuExporter.h"
#include "StatusItem.h"
#include "StatusNotifierItem.h"
#include "TestPanelHost.h"

#include <QAction>
#include <QDBusArgument>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <memory>

namespace {

const QString noStatusAreaWarning = QStringLiteral("StatusItem: this desktop has no status area");

QIcon solidIcon(const QColor &colour, int size = 16) {
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// The shape of the companion's menu, three levels deep: headings that cannot be chosen, separators,
// pictures, and texts with characters that mean something to menus.
struct CompanionMenu {
    QMenu menu;
    QMenu dawnDusk{QStringLiteral("Dawn/Dusk")};
    QMenu more{QStringLiteral("More")};
    QMenu lunar{QStringLiteral("Lunar Calendar")};
    QAction *longTime = nullptr;
    QAction *today = nullptr;
    QAction *sunrise = nullptr;
    QAction *tomorrow = nullptr;
    QAction *deep = nullptr;
    QAction *snake = nullptr;
    QAction *fish = nullptr;
    QAction *quit = nullptr;

    CompanionMenu() {
        longTime = menu.addAction(QStringLiteral("Loading..."));
        menu.addSeparator();
        menu.addMenu(&dawnDusk);
        today = dawnDusk.addAction(QStringLiteral("Today:"));
        today->setEnabled(false);
        sunrise = dawnDusk.addAction(QStringLiteral("Loading..."));
        dawnDusk.addSeparator();
        tomorrow = dawnDusk.addAction(QStringLiteral("Tomorrow:"));
        tomorrow->setEnabled(false);
        dawnDusk.addMenu(&more);
        deep = more.addAction(QStringLiteral("Deep entry"));
        deep->setIcon(solidIcon(Qt::red));
        menu.addSeparator();
        menu.addMenu(&lunar);
        snake = lunar.addAction(QStringLiteral("snake_case_text"));
        snake->setIcon(solidIcon(Qt::blue));
        fish = lunar.addAction(QStringLiteral("Fish && Chips"));
        menu.addSeparator();
        quit = menu.addAction(QStringLiteral("Quit"));
    }
};

void collectIds(const TestPanelHost::MenuEntry &entry, QList<int> &ids) {
    ids.append(entry.id);
    for (const TestPanelHost::MenuEntry &child : entry.children)
        collectIds(child, ids);
}

} // namespace

class TestStatusItem : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestPanelHost> m_host;
    std::unique_ptr<CompanionMenu> m_menu;
    std::unique_ptr<StatusItem> m_item;

    // Shows the item with the companion's menu to a running watcher and waits for it to register.
    bool showToHost(const QString &title = QStringLiteral("12:34:56")) {
        if (!m_host->startWatcher())
            return false;
        m_item->setTitle(title);
        m_item->setMenu(&m_menu->menu);
        m_item->show();
        return m_item->backend() == StatusItem::Backend::StatusNotifier && m_host->waitForItems(1);
    }

    // Lets the item send what it holds for the end of the turn, then makes sure it has all arrived.
    bool settle() {
        m_item->notifierItem()->flush();
        m_item->menuExporter()->flush();
        return m_host->sync();
    }

    int idOf(const QAction *action) const { return m_item->menuExporter()->idOfAction(action); }

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        m_host = std::make_unique<TestPanelHost>();
        QVERIFY2(m_host->isConnected(), qPrintable(m_host->lastError()));
        m_menu = std::make_unique<CompanionMenu>();
        // A desktop that shows labels, whatever desktop runs the tests.
        qputenv("XDG_CURRENT_DESKTOP", "GNOME");
        m_item = std::make_unique<StatusItem>();
    }

    void cleanup() {
        m_item.reset();
        m_menu.reset();
        m_host.reset();
    }

    void itemRegistersWithWhatPanelsNeed() {
        QVERIFY2(showToHost(), qPrintable(m_host->lastError()));
        QCOMPARE(m_host->registeredItems().size(), 1);
        QVERIFY(m_host->registeredItems().first().endsWith(QLatin1String("/StatusNotifierItem")));

        const auto properties = m_host->itemProperties();
        QVERIFY2(properties, qPrintable(m_host->lastError()));
        QCOMPARE(properties->value("Id").toString(), QCoreApplication::applicationName());
        QCOMPARE(properties->value("Category").toString(), QStringLiteral("ApplicationStatus"));
        QCOMPARE(properties->value("Status").toString(), QStringLiteral("Active"));
        QCOMPARE(properties->value("Menu").value<QDBusObjectPath>().path(), QStringLiteral("/MenuBar"));
        QCOMPARE(properties->value("ItemIsMenu").toBool(), true);
        QCOMPARE(properties->value("XAyatanaLabel").toString(), QStringLiteral("12:34:56"));
        QCOMPARE(properties->value("XAyatanaOrderingIndex").metaType(), QMetaType::fromType<uint>());
        QCOMPARE(properties->value("WindowId").metaType(), QMetaType::fromType<int>());

        // Hosts that look icons up by name find a picture file in the folder the item names.
        const QString iconName = properties->value("IconName").toString();
        QVERIFY(!iconName.isEmpty());
        const QString iconFile = properties->value("IconThemePath").toString() + '/' + iconName + ".png";
        QVERIFY2(!QImage(iconFile).isNull(), qPrintable(iconFile));
        const auto pictures = properties->value("IconPixmap").value<QList<TestPanelHost::Picture>>();
        QVERIFY(!pictures.isEmpty());
        for (const TestPanelHost::Picture &picture : pictures)
            QCOMPARE(picture.argb.size(), picture.width * picture.height * 4);

        const auto toolTip = m_host->toolTip();
        QVERIFY2(toolTip, qPrintable(m_host->lastError()));
        QCOMPARE(toolTip->title, QStringLiteral("12:34:56"));
    }

    void iconPixmapIsArgbInNetworkOrder() {
        QVERIFY(showToHost());
        m_item->setIcon(solidIcon(QColor(0x11, 0x22, 0x33), 32));
        QVERIFY(m_host->waitForSignals("NewIcon"));
        const auto pictures = m_host->iconPixmap();
        QVERIFY2(pictures, qPrintable(m_host->lastError()));
        const auto sized = std::find_if(pictures->cbegin(), pictures->cend(),
                                        [](const TestPanelHost::Picture &p) { return p.width == 32; });
        QVERIFY(sized != pictures->cend());
        QCOMPARE(sized->height, 32);
        QCOMPARE(sized->argb.left(4), QByteArray("\xff\x11\x22\x33"));
    }

    void labelFollowsTheTitle_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("seconds") << QStringLiteral("12:34:57");
        QTest::newRow("twelve-hour clock") << QStringLiteral("9:05 PM");
        QTest::newRow("weekday and time") << QStringLiteral("Day 3, 14:00");
    }

    void labelFollowsTheTitle() {
        QFETCH(QString, title);
        QVERIFY(showToHost(QStringLiteral("12:34:56")));
        m_item->setTitle(title);
        QVERIFY(m_host->waitForSignals("XAyatanaNewLabel"));
        const QDBusMessage signal = m_host->receivedSignals().last();
        QCOMPARE(signal.signature(), QStringLiteral("ss"));
        QCOMPARE(signal.arguments().value(0).toString(), title);
        QCOMPARE(m_host->label(), title);

        // The guide keeps every other character and puts one and the same digit wherever the title has one.
        const QString guide = signal.arguments().value(1).toString();
        QCOMPARE(m_host->labelGuide(), guide);
        QCOMPARE(guide.size(), title.size());
        QChar digit;
        for (qsizetype i = 0; i < title.size(); ++i) {
            if (title.at(i).isDigit()) {
                QVERIFY(guide.at(i).isDigit());
                if (digit.isNull())
                    digit = guide.at(i);
                QCOMPARE(guide.at(i), digit);
            } else {
                QCOMPARE(guide.at(i), title.at(i));
            }
        }
    }

    void ownerSetGuideIsSent() {
        QVERIFY(showToHost(QStringLiteral("1:05")));
        m_item->setTitleGuide(QStringLiteral("88:88"));
        QVERIFY(m_host->waitForSignals("XAyatanaNewLabel"));
        QCOMPARE(m_host->receivedSignals().last().arguments().value(1).toString(), QStringLiteral("88:88"));
        QCOMPARE(m_host->labelGuide(), QStringLiteral("88:88"));
    }

    void unchangedTitleSendsNothing() {
        QVERIFY(showToHost(QStringLiteral("12:34:56")));
        QVERIFY(settle());
        m_host->clearSignals();
        m_item->setTitle(QStringLiteral("12:34:56"));
        QVERIFY(settle());
        QCOMPARE(m_host->receivedSignals().size(), 0);

        // Two changes in one turn of the event loop go out as one, with the later text.
        m_item->setTitle(QStringLiteral("12:34:57"));
        m_item->setTitle(QStringLiteral("12:34:58"));
        QVERIFY(m_host->waitForSignals("XAyatanaNewLabel"));
        QVERIFY(settle());
        QCOMPARE(m_host->signalCount("XAyatanaNewLabel"), 1);
        const QList<QDBusMessage> received = m_host->receivedSignals();
        const auto label = std::find_if(received.cbegin(), received.cend(), [](const QDBusMessage &m) {
            return m.member() == "XAyatanaNewLabel";
        });
        QCOMPARE(label->arguments().value(0).toString(), QStringLiteral("12:34:58"));
        QCOMPARE(m_host->signalCount("NewIcon"), 0);
    }

    // The cost of the running clock: a minute of a title that changes every second.
    void minuteOfClockTicks_data() {
        QTest::addColumn<bool>("titleInIcon");
        QTest::addColumn<int>("icons");
        QTest::newRow("label beside the icon") << false << 0;
        QTest::newRow("title drawn in the icon too") << true << 60;
    }

    void minuteOfClockTicks() {
        QFETCH(bool, titleInIcon);
        QFETCH(int, icons);
        m_item->setTitleInIcon(titleInIcon);
        QVERIFY(showToHost(QStringLiteral("12:00:00")));
        QVERIFY(settle());
        m_host->clearSignals();
        for (int second = 1; second <= 60; ++second) {
            m_item->setTitle(QStringLiteral("12:%1:%2")
                                 .arg(second / 60, 2, 10, QLatin1Char('0'))
                                 .arg(second % 60, 2, 10, QLatin1Char('0')));
            // The same text again within the second, as a refresh faster than the clock would set it.
            m_item->setTitle(m_item->title());
            QVERIFY(m_host->waitForSignals("XAyatanaNewLabel", second));
        }
        QVERIFY(settle());
        QCOMPARE(m_host->signalCount("XAyatanaNewLabel"), 60);
        QCOMPARE(m_host->signalCount("NewToolTip"), 60);
        QCOMPARE(m_host->signalCount("NewIcon"), icons);
        QCOMPARE(m_host->receivedSignals().size(), 120 + icons);
        qInfo("A minute of once-a-second titles: %lld signals from the item (%d label, %d tool tip, %d icon)",
              qlonglong(m_host->receivedSignals().size()), m_host->signalCount("XAyatanaNewLabel"),
              m_host->signalCount("NewToolTip"), icons);
    }

    void titleInIconDependsOnTheDesktop_data() {
        QTest::addColumn<QByteArray>("desktop");
        QTest::addColumn<bool>("titleInIcon");
        QTest::newRow("GNOME shows labels") << QByteArray("GNOME") << false;
        QTest::newRow("Ubuntu's GNOME too") << QByteArray("ubuntu:GNOME") << false;
        QTest::newRow("XFCE with the indicator plugin") << QByteArray("XFCE") << false;
        QTest::newRow("Plasma shows no labels") << QByteArray("KDE") << true;
        QTest::newRow("unknown desktop: labels assumed") << QByteArray() << false;
    }

    void titleInIconDependsOnTheDesktop() {
        QFETCH(QByteArray, desktop);
        QFETCH(bool, titleInIcon);
        qputenv("XDG_CURRENT_DESKTOP", desktop);
        StatusItem item{QDBusConnection(QStringLiteral("no such connection"))};
        QCOMPARE(item.titleInIcon(), titleInIcon);
    }

    // Hosts without labels take the pixmaps first: there the title is drawn, the named icon stays.
    void titleInIconForHostsWithoutLabels() {
        QVERIFY(showToHost(QStringLiteral("12:34:56")));
        const auto plain = m_host->itemProperties();
        QVERIFY(plain);
        QVERIFY(settle());
        m_host->clearSignals();

        m_item->setTitleInIcon(true);
        QVERIFY(m_host->waitForSignals("NewIcon"));
        const auto drawn = m_host->itemProperties();
        QCOMPARE(drawn->value("IconName"), plain->value("IconName"));
        const auto pictures = drawn->value("IconPixmap").value<QList<TestPanelHost::Picture>>();
        QVERIFY(!pictures.isEmpty());
        QVERIFY(pictures.first().argb !=
                plain->value("IconPixmap").value<QList<TestPanelHost::Picture>>().first().argb);

        // Every new title is a new picture; the label goes on as before.
        m_item->setTitle(QStringLiteral("12:34:57"));
        QVERIFY(m_host->waitForSignals("NewIcon", 2));
        QVERIFY(m_host->waitForSignals("XAyatanaNewLabel"));
        QVERIFY(m_host->iconPixmap()->first().argb != pictures.first().argb);

        m_item->setTitleInIcon(false);
        QVERIFY(m_host->waitForSignals("NewIcon", 3));
        QCOMPARE(m_host->iconPixmap()->first().argb,
                 plain->value("IconPixmap").value<QList<TestPanelHost::Picture>>().first().argb);
    }

    void menuIsReadInThreeLevels() {
        QVERIFY(showToHost());
        uint revision = 0;
        const auto root = m_host->menuLayout({}, 0, -1, &revision);
        QVERIFY2(root, qPrintable(m_host->lastError()));
        QVERIFY(revision > 0);
        QCOMPARE(root->id, 0);
        QCOMPARE(root->childrenDisplay, QStringLiteral("submenu"));
        QCOMPARE(root->childTexts(),
                 QStringList({"Loading...", "-", "Dawn/Dusk", "-", "Lunar Calendar", "-", "Quit"}));

        const TestPanelHost::MenuEntry *dawnDusk = root->find("Dawn/Dusk");
        QVERIFY(dawnDusk);
        QCOMPARE(dawnDusk->childrenDisplay, QStringLiteral("submenu"));
        QCOMPARE(dawnDusk->childTexts(), QStringList({"Today:", "Loading...", "-", "Tomorrow:", "More"}));
        QCOMPARE(dawnDusk->find("Today:")->enabled, false);
        QCOMPARE(dawnDusk->find("Tomorrow:")->enabled, false);
        QCOMPARE(dawnDusk->find("Loading...")->enabled, true);
        QCOMPARE(dawnDusk->children.at(2).type, QStringLiteral("separator"));
        QVERIFY(!dawnDusk->children.at(2).properties.contains("label"));

        const TestPanelHost::MenuEntry *deep = dawnDusk->find("Deep entry");
        QVERIFY(deep);
        QVERIFY(deep->hasIcon);
        const QImage picture = QImage::fromData(deep->iconData, "PNG");
        QCOMPARE(picture.size(), QSize(16, 16));
        QCOMPARE(picture.pixel(8, 8), QColor(Qt::red).rgb());
        QVERIFY(deep->childrenDisplay.isEmpty());

        const TestPanelHost::MenuEntry *snake = root->find("snake_case_text");
        QVERIFY(snake);
        QCOMPARE(snake->label, QStringLiteral("snake__case__text"));
        QVERIFY(snake->hasIcon);
        QCOMPARE(root->find("Fish & Chips")->label, QStringLiteral("Fish & Chips"));
        QVERIFY(!root->find("Quit")->hasIcon);

        QList<int> ids;
        collectIds(*root, ids);
        QCOMPARE(QSet<int>(ids.cbegin(), ids.cend()).size(), ids.size());
        QCOMPARE(root->find("Quit")->id, idOf(m_menu->quit));
    }

    void menuIsReadInParts() {
        QVERIFY(showToHost());
        const auto top = m_host->menuLayout({}, 0, 0);
        QVERIFY(top);
        QVERIFY(top->children.isEmpty());

        const int dawnDuskId = idOf(m_menu->dawnDusk.menuAction());
        const auto oneLevel = m_host->menuLayout({}, dawnDuskId, 1);
        QVERIFY(oneLevel);
        QCOMPARE(oneLevel->childTexts(), QStringList({"Today:", "Loading...", "-", "Tomorrow:", "More"}));
        QVERIFY(oneLevel->find("More")->children.isEmpty());

        const auto labels = m_host->groupProperties({}, {idOf(m_menu->today), idOf(m_menu->deep)}, {"label"});
        QVERIFY2(labels, qPrintable(m_host->lastError()));
        QCOMPARE(labels->keys(), QList<int>({idOf(m_menu->today), idOf(m_menu->deep)}));
        QCOMPARE(labels->value(idOf(m_menu->today)), QVariantMap({{"label", "Today:"}}));
        QCOMPARE(labels->value(idOf(m_menu->deep)), QVariantMap({{"label", "Deep entry"}}));

        QVERIFY(!m_host->menuLayout({}, 9999, -1));
        QVERIFY(m_host->lastError().contains("InvalidArgs"));
    }

    void aboutToShowRefreshesTextsFirst() {
        QVERIFY(showToHost());
        int refreshes = 0;
        connect(&m_menu->menu, &QMenu::aboutToShow, this, [&] {
            ++refreshes;
            m_menu->longTime->setText(QStringLiteral("Sunday, day 5 of Spring, 1204"));
        });
        connect(&m_menu->dawnDusk, &QMenu::aboutToShow, this,
                [&] { m_menu->sunrise->setText(QStringLiteral("The Sun rose at 06:00")); });
        QSignalSpy opening(m_item.get(), &StatusItem::menuAboutToOpen);
        QVERIFY(settle());
        m_host->clearSignals();

        QCOMPARE(m_host->aboutToShow({}, 0), std::optional<bool>(true));
        QCOMPARE(refreshes, 1);
        QCOMPARE(opening.count(), 1);
        // The change was on the bus before the answer: the host needs no second look.
        QCOMPARE(m_host->signalCount("ItemsPropertiesUpdated"), 1);
        const auto updated = TestPanelHost::updatedProperties(m_host->receivedSignals().first());
        QCOMPARE(updated.keys(), QList<int>({idOf(m_menu->longTime)}));
        QCOMPARE(updated.first(), QVariantMap({{"label", "Sunday, day 5 of Spring, 1204"}}));
        QVERIFY(m_host->menuLayout()->find("Sunday, day 5 of Spring, 1204"));

        // A second opening changes nothing, and says so.
        QCOMPARE(m_host->aboutToShow({}, 0), std::optional<bool>(false));
        QCOMPARE(refreshes, 2);

        // GNOME announces a submenu with "opened" before asking.
        QSignalSpy submenuOpening(&m_menu->dawnDusk, &QMenu::aboutToShow);
        QVERIFY(m_host->sendEvent({}, idOf(m_menu->dawnDusk.menuAction()), "opened"));
        QCOMPARE(submenuOpening.count(), 1);
        QVERIFY(m_host->waitForSignals("ItemsPropertiesUpdated", 2));
        QVERIFY(m_host->menuLayout()->find("The Sun rose at 06:00"));
        QCOMPARE(m_host->aboutToShow({}, idOf(m_menu->dawnDusk.menuAction())), std::optional<bool>(false));
        QCOMPARE(submenuOpening.count(), 2);

        QSignalSpy closing(&m_menu->dawnDusk, &QMenu::aboutToHide);
        QVERIFY(m_host->sendEvent({}, idOf(m_menu->dawnDusk.menuAction()), "closed"));
        QCOMPARE(closing.count(), 1);

        QVERIFY(!m_host->aboutToShow({}, 4242));
    }

    void clickTriggersTheAction() {
        QVERIFY(showToHost());
        QSignalSpy quit(m_menu->quit, &QAction::triggered);
        QSignalSpy heading(m_menu->today, &QAction::triggered);
        QSignalSpy deep(m_menu->deep, &QAction::triggered);

        QVERIFY(m_host->click({}, idOf(m_menu->today)));
        QVERIFY(m_host->click({}, idOf(m_menu->deep)));
        // The action runs on the turn after the reply, which may come while the host still waits.
        QTRY_COMPARE(deep.count(), 1);
        QCOMPARE(heading.count(), 0);
        QCOMPARE(quit.count(), 0);

        QVERIFY(m_host->click({}, idOf(m_menu->quit)));
        QTRY_COMPARE(quit.count(), 1);

        QVERIFY(!m_host->click({}, 31337));
        QVERIFY(m_host->lastError().contains("InvalidArgs"));
    }

    // A menu refresh of eighteen texts and three pictures reaches hosts as one signal naming only what
    // changed.
    void refreshGoesOutAsOneSignal() {
        QMenu menu;
        QList<QAction *> texts;
        for (int i = 0; i < 18; ++i)
            texts.append(menu.addAction(QStringLiteral("Loading...")));
        QList<QAction *> pictures;
        for (int i = 0; i < 3; ++i) {
            pictures.append(menu.addAction(QStringLiteral("Picture %1").arg(i)));
            pictures.last()->setIcon(solidIcon(Qt::black));
        }
        QAction *unchanged = menu.addAction(QStringLiteral("Quit"));
        QVERIFY(m_host->startWatcher());
        m_item->setMenu(&menu);
        m_item->show();
        QVERIFY(m_host->waitForItems());
        QVERIFY(settle());
        m_host->clearSignals();

        for (int i = 0; i < 18; ++i)
            texts[i]->setText(QStringLiteral("Line %1").arg(i));
        for (int i = 0; i < 3; ++i)
            pictures[i]->setIcon(solidIcon(QColor::fromHsv(i * 100, 255, 255)));
        // A text set anew to what it was, and one changed and changed back, are no change.
        unchanged->setText(QStringLiteral("Quit"));
        texts[0]->setText(QStringLiteral("Interim"));
        texts[0]->setText(QStringLiteral("Line 0"));
        pictures[2]->setText(QStringLiteral("Interim"));
        pictures[2]->setText(QStringLiteral("Picture 2"));

        QVERIFY(m_host->waitForSignals("ItemsPropertiesUpdated"));
        QVERIFY(settle());
        QCOMPARE(m_host->receivedSignals().size(), 1);
        const QDBusMessage signal = m_host->receivedSignals().first();
        QCOMPARE(signal.signature(), QStringLiteral("a(ia{sv})a(ias)"));
        const auto updated = TestPanelHost::updatedProperties(signal);
        QCOMPARE(updated.size(), 21);
        for (int i = 0; i < 18; ++i)
            QCOMPARE(updated.value(idOf(texts[i])),
                     QVariantMap({{"label", QStringLiteral("Line %1").arg(i)}}));
        for (int i = 0; i < 3; ++i) {
            const QVariantMap properties = updated.value(idOf(pictures[i]));
            QCOMPARE(properties.keys(), QStringList({"icon-data"}));
            const QImage picture = QImage::fromData(properties.value("icon-data").toByteArray(), "PNG");
            QCOMPARE(picture.pixel(4, 4), QColor::fromHsv(i * 100, 255, 255).rgb());
        }
        QVERIFY(!updated.contains(idOf(unchanged)));
        QVERIFY(TestPanelHost::removedProperties(signal).isEmpty());

        // A heading made choosable again: its "enabled" goes back to the default and is listed as removed.
        unchanged->setEnabled(false);
        QVERIFY(m_host->waitForSignals("ItemsPropertiesUpdated", 2));
        unchanged->setEnabled(true);
        QVERIFY(m_host->waitForSignals("ItemsPropertiesUpdated", 3));
        const QDBusMessage enabledAgain = m_host->receivedSignals().last();
        QCOMPARE(TestPanelHost::removedProperties(enabledAgain),
                 (QMap<int, QStringList>{{idOf(unchanged), {"enabled"}}}));
        QVERIFY(TestPanelHost::updatedProperties(enabledAgain).isEmpty());
        m_host->clearSignals();

        // The same pictures once more (new icons with the same pixels) are no change either.
        for (int i = 0; i < 3; ++i)
            pictures[i]->setIcon(solidIcon(QColor::fromHsv(i * 100, 255, 255)));
        QVERIFY(settle());
        QCOMPARE(m_host->receivedSignals().size(), 0);
        m_item->remove();
    }

    void layoutChangesRaiseTheRevisionAndKeepIds() {
        QVERIFY(showToHost());
        uint firstRevision = 0;
        const auto before = m_host->menuLayout({}, 0, -1, &firstRevision);
        QVERIFY(before);
        QList<int> oldIds;
        collectIds(*before, oldIds);
        QVERIFY(settle());
        m_host->clearSignals();

        QAction *added = m_menu->lunar.addAction(QStringLiteral("Full Moon After Next:"));
        QVERIFY(m_host->waitForSignals("LayoutUpdated"));
        QDBusMessage signal = m_host->receivedSignals().last();
        QCOMPARE(signal.signature(), QStringLiteral("ui"));
        const uint revision = signal.arguments().value(0).toUInt();
        QVERIFY(revision > firstRevision);
        QCOMPARE(signal.arguments().value(1).toInt(), idOf(m_menu->lunar.menuAction()));

        uint fetchedRevision = 0;
        const auto after = m_host->menuLayout({}, 0, -1, &fetchedRevision);
        QCOMPARE(fetchedRevision, revision);
        QVERIFY(after->find("Full Moon After Next:"));
        const int addedId = after->find("Full Moon After Next:")->id;
        for (const int id : std::as_const(oldIds))
            QVERIFY(after->findId(id));
        QVERIFY(!oldIds.contains(addedId));

        delete added;
        QVERIFY(m_host->waitForSignals("LayoutUpdated", 2));
        QVERIFY(m_host->receivedSignals().last().arguments().value(0).toUInt() > revision);
        QVERIFY(!m_host->menuLayout()->find("Full Moon After Next:"));

        // An id once given is never given again, not even to an action made where the old one stood.
        QAction *another = m_menu->lunar.addAction(QStringLiteral("Another"));
        QVERIFY(m_host->waitForSignals("LayoutUpdated", 3));
        QVERIFY(idOf(another) > addedId);
        QCOMPARE(m_host->menuLayout()->find("Another")->id, idOf(another));
    }

    void itemComesBackWhenTheWatcherRestarts() {
        QVERIFY(showToHost());
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^" + QRegularExpression::escape(noStatusAreaWarning)));
        m_host->stopWatcher();
        QTRY_COMPARE(m_item->backend(), StatusItem::Backend::TrayIcon);
        QVERIFY(m_item->trayIcon());

        m_item->setTitle(QStringLiteral("12:40:00"));
        QVERIFY(m_host->startWatcher());
        QVERIFY(m_host->waitForItems(1));
        QCOMPARE(m_item->backend(), StatusItem::Backend::StatusNotifier);
        QCOMPARE(m_host->label(), QStringLiteral("12:40:00"));
        QVERIFY(m_host->menuLayout()->find("Quit"));

        // A panel that dies and another that starts: the item registers with the newcomer.
        m_host.reset();
        QTRY_COMPARE(m_item->backend(), StatusItem::Backend::TrayIcon);
        m_host = std::make_unique<TestPanelHost>();
        QVERIFY(m_host->startWatcher());
        QVERIFY(m_host->waitForItems(1));
        QCOMPARE(m_host->label(), QStringLiteral("12:40:00"));
    }

    void watcherHandedToASuccessorGetsTheItemAgain() {
        QVERIFY(showToHost());
        // The name passes straight to the next in line: the item stays where it is and registers anew.
        auto successor = std::make_unique<TestPanelHost>();
        QVERIFY(successor->queueForWatcher());
        m_host.reset();
        QVERIFY(successor->waitForItems(1));
        QCOMPARE(m_item->backend(), StatusItem::Backend::StatusNotifier);
        QCOMPARE(successor->label(), QStringLiteral("12:34:56"));
        m_host = std::move(successor);
    }

    void removeTakesTheItemAway() {
        QVERIFY(showToHost());
        m_item->remove();
        QCOMPARE(m_item->backend(), StatusItem::Backend::None);
        QVERIFY(m_host->waitForNoItems());
        m_item->show();
        QVERIFY(m_host->waitForItems(1));
        QCOMPARE(m_host->label(), QStringLiteral("12:34:56"));
    }

    void fallsBackToTheTrayWithoutAWatcher() {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^" + QRegularExpression::escape(noStatusAreaWarning)));
        m_item->setTitle(QStringLiteral("12:34:56"));
        m_item->setToolTip(QStringLiteral("Kestmoor time"));
        m_item->setMenu(&m_menu->menu);
        m_item->show();
        QCOMPARE(m_item->backend(), StatusItem::Backend::TrayIcon);
        QSystemTrayIcon *tray = m_item->trayIcon();
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QStringLiteral("12:34:56\nKestmoor time"));
        QCOMPARE(tray->contextMenu(), &m_menu->menu);
        QVERIFY(m_host->registeredItems().isEmpty());

        // The title is the icon: a new title, a new icon; the same title, no redrawing.
        const qint64 firstIcon = tray->icon().cacheKey();
        QVERIFY(!tray->icon().pixmap(22, 22).isNull());
        m_item->setTitle(QStringLiteral("12:34:56"));
        QCOMPARE(tray->icon().cacheKey(), firstIcon);
        m_item->setTitle(QStringLiteral("12:34:57"));
        QVERIFY(tray->icon().cacheKey() != firstIcon);
        QCOMPARE(tray->toolTip(), QStringLiteral("12:34:57\nKestmoor time"));

        // A watcher that starts later takes the item over from the tray.
        QVERIFY(m_host->startWatcher());
        QVERIFY(m_host->waitForItems(1));
        QCOMPARE(m_item->backend(), StatusItem::Backend::StatusNotifier);
        QVERIFY(!m_item->trayIcon());
        QCOMPARE(m_host->label(), QStringLiteral("12:34:57"));
    }

    void refusedItemGoesToTheTray() {
        m_host->setRefusingItems(true);
        QTest::ignoreMessage(
            QtWarningMsg,
            QRegularExpression("^StatusItem: the desktop's StatusNotifierWatcher did not take the "
                               "status item \\(Items are refused here\\)"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^" + QRegularExpression::escape(noStatusAreaWarning)));
        QSignalSpy backends(m_item.get(), &StatusItem::backendChanged);
        QVERIFY(m_host->startWatcher());
        m_item->setTitle(QStringLiteral("12:34:56"));
        m_item->show();
        QTRY_COMPARE(m_item->backend(), StatusItem::Backend::TrayIcon);
        QCOMPARE(backends.count(), 2);
        QCOMPARE(m_item->trayIcon()->toolTip(), QStringLiteral("12:34:56"));
        QVERIFY(m_host->registeredItems().isEmpty());
    }

    void goesOnWithoutABus() {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^" + QRegularExpression::escape(noStatusAreaWarning)));
        StatusItem item{QDBusConnection(QStringLiteral("no such connection"))};
        item.setMenu(&m_menu->menu);
        item.setTitle(QStringLiteral("12:34:56"));
        item.show();
        QCOMPARE(item.backend(), StatusItem::Backend::TrayIcon);
        QCOMPARE(item.trayIcon()->toolTip(), QStringLiteral("12:34:56"));
        m_menu->longTime->setText(QStringLiteral("Still going"));
        item.setTitle(QStringLiteral("12:34:57"));
        QCOMPARE(item.trayIcon()->toolTip(), QStringLiteral("12:34:57"));
        item.remove();
        QCOMPARE(item.backend(), StatusItem::Backend::None);
    }
};

QTEST_MAIN(TestStatusItem)
#include "tst_StatusItem.moc"
