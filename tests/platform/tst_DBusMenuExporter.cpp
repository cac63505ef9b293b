#include "DBusMenuExporter.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPixmap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

QIcon solidIcon(const QColor &colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

QStringList childLabels(const DBusMenuLayoutItem &item) {
    QStringList labels;
    for (const DBusMenuLayoutItem &child : item.children)
        labels.append(child.properties.value(QStringLiteral("label")).toString());
    return labels;
}

using Setup = std::function<QAction *(QMenu &)>;

} // namespace

Q_DECLARE_METATYPE(Setup)

// The exporter called as its adaptor calls it, without a bus; tst_StatusItem reads it over the bus.
class TestDBusMenuExporter : public QObject {
    Q_OBJECT

private:
    static QVariantMap propertiesOf(DBusMenuExporter &exporter, const QAction *action) {
        const DBusMenuItemList items = exporter.GetGroupProperties({exporter.idOfAction(action)}, {});
        return items.isEmpty() ? QVariantMap() : items.first().properties;
    }

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void labels_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("label");
        QTest::newRow("plain text") << "Quit"
                                    << "Quit";
        QTest::newRow("underscores doubled, not access keys") << "snake_case"
                                                              << "snake__case";
        QTest::newRow("a doubled underscore doubled again") << "a__b"
                                                            << "a____b";
        QTest::newRow("Qt's escaped ampersand") << "Fish && Chips"
                                                << "Fish & Chips";
        QTest::newRow("a lone ampersand stays") << "Fish & Chips"
                                                << "Fish & Chips";
        QTest::newRow("Qt mnemonic dropped") << "&Open Tindral"
                                             << "Open Tindral";
        QTest::newRow("ampersand at the end") << "Rock &"
                                              << "Rock &";
        QTest::newRow("shortcut after a tab left out") << "Copy\tCtrl+C"
                                                       << "Copy";
        QTest::newRow("leading space kept") << " Waxing Crescent. Day 5"
                                            << " Waxing Crescent. Day 5";
        QTest::newRow("empty") << ""
                               << "";
    }

    void labels() {
        QFETCH(QString, text);
        QFETCH(QString, label);
        QCOMPARE(DBusMenuExporter::labelFromText(text), label);
    }

    void entryProperties_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QVariantMap>("expected");
        QTest::newRow("plain entry: only its label")
            << Setup([](QMenu &m) { return m.addAction("Plain"); }) << QVariantMap{{"label", "Plain"}};
        QTest::newRow("disabled heading") << Setup([](QMenu &m) {
            QAction *a = m.addAction("Today:");
            a->setEnabled(false);
            return a;
        }) << QVariantMap{{"label", "Today:"}, {"enabled", false}};
        QTest::newRow("hidden entry") << Setup([](QMenu &m) {
            QAction *a = m.addAction("Hidden");
            a->setVisible(false);
            return a;
        }) << QVariantMap{{"label", "Hidden"}, {"visible", false}};
        QTest::newRow("separator: no label")
            << Setup([](QMenu &m) { return m.addSeparator(); }) << QVariantMap{{"type", "separator"}};
        QTest::newRow("check mark, off") << Setup([](QMenu &m) {
            QAction *a = m.addAction("Seconds");
            a->setCheckable(true);
            return a;
        }) << QVariantMap{{"label", "Seconds"}, {"toggle-type", "checkmark"}, {"toggle-state", 0}};
        QTest::newRow("radio, on") << Setup([](QMenu &m) {
            auto *group = new QActionGroup(&m);
            QAction *a = m.addAction("IC");
            a->setCheckable(true);
            a->setChecked(true);
            group->addAction(a);
            return a;
        }) << QVariantMap{{"label", "IC"}, {"toggle-type", "radio"}, {"toggle-state", 1}};
        QTest::newRow("submenu") << Setup([](QMenu &m) {
            QMenu *sub = m.addMenu("Lunar Calendar");
            sub->addAction("Day 5");
            return sub->menuAction();
        }) << QVariantMap{{"label", "Lunar Calendar"}, {"children-display", "submenu"}};
    }

    void entryProperties() {
        QFETCH(Setup, setup);
        QFETCH(QVariantMap, expected);
        QMenu menu;
        QAction *action = setup(menu);
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        const QVariantMap properties = propertiesOf(exporter, action);
        QCOMPARE(properties, expected);
        // Hosts check the types: toggle-state must be an int, enabled and visible booleans.
        for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
            if (it.key() == QLatin1String("toggle-state"))
                QCOMPARE(it->metaType(), QMetaType::fromType<int>());
            else if (it.key() == QLatin1String("enabled") || it.key() == QLatin1String("visible"))
                QCOMPARE(it->metaType(), QMetaType::fromType<bool>());
        }
    }

    void pictureGoesAsPng() {
        QMenu menu;
        QAction *moon = menu.addAction("Full Moon");
        moon->setIcon(solidIcon(Qt::yellow));
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        const QByteArray png = propertiesOf(exporter, moon).value("icon-data").toByteArray();
        QVERIFY(png.startsWith("\x89PNG"));
        const QImage image = QImage::fromData(png, "PNG");
        QCOMPARE(image.size(), QSize(DBusMenuExporter::iconSize, DBusMenuExporter::iconSize));
        QCOMPARE(image.pixel(3, 3), QColor(Qt::yellow).rgb());

        QSignalSpy updates(&exporter, &DBusMenuExporter::ItemsPropertiesUpdated);
        moon->setIcon(QIcon());
        exporter.flush();
        QCOMPARE(updates.count(), 1);
        const auto removed = updates.first().at(1).value<DBusMenuItemKeysList>();
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().id, exporter.idOfAction(moon));
        QCOMPARE(removed.first().properties, QStringList({"icon-data"}));
    }

    void idsAreStableAndNeverReused() {
        QMenu menu;
        QAction *first = menu.addAction("First");
        QAction *second = menu.addAction("Second");
        auto *third = new QAction("Third", &menu);
        menu.addAction(third);
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        const QList<int> ids = {exporter.idOfAction(first), exporter.idOfAction(second),
                                exporter.idOfAction(third)};
        QCOMPARE(QSet<int>(ids.cbegin(), ids.cend()).size(), 3);
        QVERIFY(!ids.contains(DBusMenuExporter::rootId));

        // Out of the menu and back: the same id.
        menu.removeAction(second);
        exporter.flush();
        menu.addAction(second);
        exporter.flush();
        QCOMPARE(exporter.idOfAction(second), ids[1]);

        // Destroyed: its id is not given to anyone else.
        delete third;
        exporter.flush();
        QCOMPARE(exporter.idOfAction(third), -1);
        for (int i = 0; i < 5; ++i) {
            QAction *newcomer = menu.addAction(QStringLiteral("Newcomer %1").arg(i));
            exporter.flush();
            QVERIFY(!ids.contains(exporter.idOfAction(newcomer)));
        }
        DBusMenuLayoutItem layout;
        exporter.GetLayout(0, -1, {}, layout);
        QCOMPARE(childLabels(layout).first(), QStringLiteral("First"));
        QCOMPARE(layout.children.first().id, ids[0]);
    }

    void changesWaitForTheEndOfTheTurn() {
        QMenu menu;
        QAction *a = menu.addAction("a");
        QAction *b = menu.addAction("b");
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        exporter.flush();
        QSignalSpy updates(&exporter, &DBusMenuExporter::ItemsPropertiesUpdated);
        QSignalSpy layouts(&exporter, &DBusMenuExporter::LayoutUpdated);
        a->setText("A");
        b->setText("B");
        b->setEnabled(false);
        QCOMPARE(updates.count(), 0);
        QVERIFY(updates.wait());
        QCOMPARE(updates.count(), 1);
        QCOMPARE(layouts.count(), 0);
        const auto updated = updates.first().at(0).value<DBusMenuItemList>();
        QCOMPARE(updated.size(), 2);
        QCOMPARE(updated.at(0).properties, QVariantMap({{"label", "A"}}));
        QCOMPARE(updated.at(1).properties, QVariantMap({{"label", "B"}, {"enabled", false}}));

        // Back to the default: the property is listed as removed.
        b->setEnabled(true);
        exporter.flush();
        QCOMPARE(updates.count(), 2);
        QVERIFY(updates.last().at(0).value<DBusMenuItemList>().isEmpty());
        const auto removed = updates.last().at(1).value<DBusMenuItemKeysList>();
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().properties, QStringList({"enabled"}));
    }

    void structureChangesRaiseTheRevision() {
        QMenu menu;
        menu.addAction("Loading...");
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        exporter.flush();
        const uint start = exporter.revision();
        QSignalSpy layouts(&exporter, &DBusMenuExporter::LayoutUpdated);

        QMenu *lunar = menu.addMenu("Lunar Calendar");
        QAction *day = lunar->addAction("Day 5");
        exporter.flush();
        QCOMPARE(layouts.count(), 1);
        QCOMPARE(layouts.last().at(0).toUInt(), start + 1);
        QCOMPARE(layouts.last().at(1).toInt(), DBusMenuExporter::rootId);
        QVERIFY(exporter.idOfAction(day) > 0);

        // A change inside the submenu names the submenu's entry as the parent.
        lunar->addAction("Day 6");
        exporter.flush();
        QCOMPARE(layouts.count(), 2);
        QCOMPARE(layouts.last().at(1).toInt(), exporter.idOfAction(lunar->menuAction()));

        // An entry given another submenu.
        QMenu zodiac;
        zodiac.addAction("Day 3 of the Heron");
        QAction *opener = menu.addAction("Zodiac Calendar");
        exporter.flush();
        QCOMPARE(layouts.count(), 3);
        opener->setMenu(&zodiac);
        exporter.flush();
        QCOMPARE(layouts.count(), 4);
        DBusMenuLayoutItem layout;
        exporter.GetLayout(exporter.idOfAction(opener), -1, {}, layout);
        QCOMPARE(childLabels(layout), QStringList({"Day 3 of the Heron"}));
        QCOMPARE(layout.properties.value("children-display").toString(), QStringLiteral("submenu"));
        opener->setMenu(nullptr);

        // A submenu destroyed on its own takes its entries with it.
        delete lunar;
        exporter.flush();
        QCOMPARE(layouts.count(), 5);
        QCOMPARE(layouts.last().at(0).toUInt(), start + 5);
        QCOMPARE(exporter.GetLayout(0, -1, {}, layout), start + 5);
        QCOMPARE(childLabels(layout), QStringList({"Loading...", "Zodiac Calendar"}));

        // Nothing changed, nothing sent.
        exporter.flush();
        QCOMPARE(layouts.count(), 5);
    }

    void menuThatContainsItselfIsCutOff() {
        QMenu menu;
        menu.addAction("Entry");
        QMenu *sub = menu.addMenu("Sub");
        sub->addAction("Inner");
        // The submenu lists its parent: followed once, then cut off.
        sub->addAction(menu.menuAction());
        menu.menuAction()->setText("Loop");
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        DBusMenuLayoutItem layout;
        exporter.GetLayout(0, -1, {}, layout);
        QCOMPARE(childLabels(layout), QStringList({"Entry", "Sub"}));
        const DBusMenuLayoutItem &inner = layout.children.at(1);
        QCOMPARE(childLabels(inner), QStringList({"Inner", "Loop"}));
        QVERIFY(inner.children.at(1).children.isEmpty());
    }

    void replacingTheMenu() {
        QMenu first;
        first.addAction("One");
        QMenu second;
        second.addAction("Two");
        second.addAction("Three");
        DBusMenuExporter exporter;
        exporter.setMenu(&first);
        exporter.flush();
        QSignalSpy layouts(&exporter, &DBusMenuExporter::LayoutUpdated);
        exporter.setMenu(&second);
        exporter.flush();
        QCOMPARE(layouts.count(), 1);
        DBusMenuLayoutItem layout;
        exporter.GetLayout(0, -1, {}, layout);
        QCOMPARE(childLabels(layout), QStringList({"Two", "Three"}));
        QCOMPARE(layout.properties, QVariantMap({{"children-display", "submenu"}}));

        // The old menu is not followed any more.
        QSignalSpy updates(&exporter, &DBusMenuExporter::ItemsPropertiesUpdated);
        first.actions().first()->setText("Changed");
        exporter.flush();
        QCOMPARE(updates.count(), 0);

        exporter.setMenu(nullptr);
        exporter.GetLayout(0, -1, {}, layout);
        QVERIFY(layout.children.isEmpty());
    }

    void clickedTogglesACheckMark() {
        QMenu menu;
        QAction *seconds = menu.addAction("Show seconds");
        seconds->setCheckable(true);
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        QSignalSpy updates(&exporter, &DBusMenuExporter::ItemsPropertiesUpdated);
        exporter.Event(exporter.idOfAction(seconds), "clicked", QDBusVariant(QVariant(0)), 0);
        QVERIFY(!seconds->isChecked());
        QTRY_VERIFY(seconds->isChecked());
        QTRY_COMPARE(updates.count(), 1);
        QCOMPARE(updates.first().at(0).value<DBusMenuItemList>().first().properties,
                 QVariantMap({{"toggle-state", 1}}));
    }

    void groupsReportUnknownIds() {
        QMenu menu;
        QMenu *sub = menu.addMenu("Zodiac Calendar");
        QAction *day = sub->addAction("Day 3");
        DBusMenuExporter exporter;
        exporter.setMenu(&menu);
        connect(sub, &QMenu::aboutToShow, this, [day] { day->setText("Day 3 of the Heron"); });
        exporter.flush();
        QList<int> idErrors;
        const QList<int> updatesNeeded =
            exporter.AboutToShowGroup({0, exporter.idOfAction(sub->menuAction()), 77}, idErrors);
        QCOMPARE(updatesNeeded, QList<int>({exporter.idOfAction(sub->menuAction())}));
        QCOMPARE(idErrors, QList<int>({77}));
        QCOMPARE(propertiesOf(exporter, day).value("label").toString(), QStringLiteral("Day 3 of the Heron"));

        const QList<int> eventErrors = exporter.EventGroup(
            {DBusMenuEvent{exporter.idOfAction(day), "hovered", QDBusVariant(QVariant(0)), 0},
             DBusMenuEvent{78, "clicked", QDBusVariant(QVariant(0)), 0}});
        QCOMPARE(eventErrors, QList<int>({78}));
    }
};

QTEST_MAIN(TestDBusMenuExporter)
#include "tst_DBusMenuExporter.moc"
