// The main window's toolbar and pane switch, driven through the real controller, toolbar and customisation
// sheet on the offscreen platform, with panes of sizes the tests choose.
#include "Bundle.h"
#include "UserDefaults.h"
#include "appTestSupport.h"
#include "customizeToolbarSheet.h"
#include "mainWindowController.h"
#include "toolbarItem.h"
#include "toolbarItemList.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace {

const QString kFlex = QStringLiteral("NSToolbarFlexibleSpaceItem");
const QStringList kDefaultItems{kFlex, "dateTime", "calendar", "timerAlert", "conversion", kFlex};

QPixmap filled(const QColor &colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return pixmap;
}

QColor middleOf(const QPixmap &pixmap) {
    const QImage image = pixmap.toImage();
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

QString accessibleName(QObject *object) {
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

// A window with its four panes and its controller, started as the application starts it.
struct Window {
    QMainWindow window;
    QWidget *panes[4];
    std::unique_ptr<mainWindowController> controller;

    Window(UserDefaults &defaults, const QSize &paneSize = QSize(300, 200)) {
        const QStringList names{"dateTimePane", "calendarPane", "timerAlertPane", "conversionPane"};
        for (int i = 0; i < 4; ++i) {
            panes[i] = new QWidget;
            panes[i]->setObjectName(names[i]);
            panes[i]->resize(i == 0 ? QSize(500, 400) : paneSize);
        }
        controller = std::make_unique<mainWindowController>(
            &window, mainWindowController::Panes{panes[0], panes[1], panes[2], panes[3]}, defaults);
        controller->setResizeDuration(100);
        controller->awakeFromNib();
        controller->showPaneAtOnce(panes[0]);
        window.move(200, 100);
        window.show();
    }

    QWidget *pane(const QString &identifier) const {
        const QStringList order{"dateTime", "calendar", "timerAlert", "conversion"};
        return panes[order.indexOf(identifier)];
    }
    toolbarItem *placed(const QString &identifier) const {
        for (QAction *item : controller->toolbar()->actions())
            if (item->objectName() == identifier)
                return qobject_cast<toolbarItem *>(item);
        return nullptr;
    }
    void activate(const QString &identifier) {
        QMetaObject::invokeMethod(
            controller.get(),
            qPrintable(QStringLiteral("activate%1%2").arg(identifier.left(1).toUpper(), identifier.mid(1))));
    }
};

// A drop of an item of list `from` at row `row` onto `onto`, at position `at` of its viewport.
void drop(toolbarItemList *from, int row, toolbarItemList *onto, const QPoint &at) {
    std::unique_ptr<QMimeData> data(from->dragDataForRow(row));
    QVERIFY(data);
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(onto->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(onto->viewport(), &dropped);
    QVERIFY(dropped.isAccepted());
}

// Where a drop puts an item before the toolbar list's row `row` (or at the end when row is its count).
QPoint before(toolbarItemList *list, int row) {
    if (row >= list->count())
        return list->visualItemRect(list->item(list->count() - 1)).center() + QPoint(40, 0);
    const QRect rect = list->visualItemRect(list->item(row));
    return QPoint(rect.left() + 2, rect.center().y());
}

int rowOf(QListWidget *list, const QString &identifier) {
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->data(toolbarItemList::kIdentifierRole).toString() == identifier)
            return row;
    return -1;
}

} // namespace

class TestMainWindowController : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    std::unique_ptr<UserDefaults> m_defaults;
    QString path() const { return m_folder.filePath(QStringLiteral("Tindral.plist")); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR));
    }
    void init() {
        failOnUnexpectedWarnings();
        QFile::remove(path());
        m_defaults = std::make_unique<UserDefaults>(path());
    }

    void theToolbarHasItsItems_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("Date/Time") << "dateTime"
                                   << "Date/Time"
                                   << "Displays the date/time and other information.";
        QTest::newRow("Calendar") << "calendar"
                                  << "Calendar"
                                  << "Displays a calendar.";
        QTest::newRow("Timers/Alerts") << "timerAlert"
                                       << "Timers/Alerts"
                                       << "Configure timers/alerts for specified times/events.";
        QTest::newRow("Conversion") << "conversion"
                                    << "Conversion"
                                    << "Conversion utilities.";
    }
    void theToolbarHasItsItems() {
        QFETCH(QString, identifier);
        QFETCH(QString, label);
        QFETCH(QString, toolTip);
        Window w(*m_defaults);
        QCOMPARE(w.controller->toolbar()->objectName(), QStringLiteral("mainToolbar"));
        QCOMPARE(w.controller->toolbarItemIdentifiers(), kDefaultItems);
        QCOMPARE(w.controller->toolbar()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        toolbarItem *item = w.placed(identifier);
        QVERIFY(item);
        QCOMPARE(item->text(), label);
        QCOMPARE(item->paletteLabel(), label);
        QCOMPARE(item->toolTip(), toolTip);
        QVERIFY(item->isEnabled());
        // The picture is tindral_icon.png of the application folder.
        const QIcon file(QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/tindral_icon.png"));
        QVERIFY(!file.isNull());
        QCOMPARE(item->icon().pixmap(QSize(32, 32), 1.0).toImage(),
                 file.pixmap(QSize(32, 32), 1.0).toImage());
        // A screen reader hears the label, and the tool tip as the description.
        QWidget *button = w.controller->toolbar()->widgetForAction(item);
        QVERIFY(button);
        QCOMPARE(accessibleName(button), label);
        QCOMPARE(button->accessibleDescription(), toolTip);
        // A placed item is a copy of its prototype, not the prototype itself.
        QVERIFY(item != w.controller->prototype(identifier));
        // Chosen, it shows its pane.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(w.window.centralWidget(), w.pane(identifier));
    }

    void thePaneTakesTheContentArea_data() {
        QTest::addColumn<bool>("small");
        QTest::addColumn<QSize>("paneSize");
        QTest::newRow("300x200 under a regular toolbar") << false << QSize(300, 200);
        QTest::newRow("300x200 under a small toolbar") << true << QSize(300, 200);
        QTest::newRow("larger than the screen, regular toolbar") << false << QSize(2600, 1900);
        QTest::newRow("larger than the screen, small toolbar") << true << QSize(2600, 1900);
    }
    void thePaneTakesTheContentArea() {
        QFETCH(bool, small);
        QFETCH(QSize, paneSize);
        Window w(*m_defaults, paneSize);
        w.controller->setSmallSize(small);
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QCOMPARE(w.window.centralWidget()->size(), QSize(500, 400));
        const int top = w.window.pos().y();
        const int doubleCentre = 2 * w.window.pos().x() + w.window.width();

        // Every step of the resize shows the load pane; the pane comes when the resize has ended.
        QList<QWidget *> shownWhileResizing;
        QList<QSize> steps;
        struct Watch : QObject {
            QMainWindow *window;
            QList<QWidget *> *shown;
            QList<QSize> *steps;
            bool eventFilter(QObject *, QEvent *event) override {
                if (event->type() == QEvent::Resize) {
                    shown->append(window->centralWidget());
                    steps->append(window->size());
                }
                return false;
            }
        } watch;
        watch.window = &w.window;
        watch.shown = &shownWhileResizing;
        watch.steps = &steps;
        w.window.installEventFilter(&watch);
        // Long enough that even a busy machine draws steps between the two sizes.
        w.controller->setResizeDuration(400);
        w.activate(QStringLiteral("calendar"));
        w.window.removeEventFilter(&watch);

        QCOMPARE(w.window.centralWidget(), w.pane(QStringLiteral("calendar")));
        QCOMPARE(w.window.centralWidget()->size(), paneSize);
        QCOMPARE(w.window.width(), paneSize.width());
        // Nothing of the pane is under the toolbar, and nothing of the window is below the pane.
        QCOMPARE(w.window.centralWidget()->geometry().top(),
                 w.controller->toolbar()->geometry().bottom() + 1);
        QCOMPARE(w.window.centralWidget()->geometry().bottom(), w.window.height() - 1);
        QCOMPARE(w.window.pos().y(), top);
        QVERIFY2(qAbs(2 * w.window.pos().x() + w.window.width() - doubleCentre) <= 1,
                 "the horizontal centre moved");
        QVERIFY2(steps.size() >= 2, "the resize was not animated");
        QVERIFY(!shownWhileResizing.isEmpty());
        for (QWidget *shown : shownWhileResizing)
            QCOMPARE(shown, w.controller->loadPane());
        QCOMPARE(steps.last(), w.window.size());
        if (paneSize.width() > 2000) {
            const QRect screen = w.window.screen()->geometry();
            QVERIFY(w.window.width() > screen.width());
            QVERIFY(w.window.height() > screen.height());
        }
    }

    void aWiderPaneKeepsTheWindowOnItsScreen_data() {
        QTest::addColumn<bool>("atTheLeft");
        QTest::newRow("a window at the screen's left edge") << true;
        QTest::newRow("a window at the screen's right edge") << false;
    }
    void aWiderPaneKeepsTheWindowOnItsScreen() {
        QFETCH(bool, atTheLeft);
        // The content area starts at 500 wide; the calendar pane is 200 wider, and fits the screen.
        Window w(*m_defaults, QSize(700, 300));
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        const QRect room = w.window.screen()->availableGeometry();
        QVERIFY(room.width() >= 700);
        const int startX = atTheLeft ? room.left() : room.right() + 1 - w.window.width();
        w.window.move(startX, room.top() + 10);
        w.activate(QStringLiteral("calendar"));
        QCOMPARE(w.window.width(), 700);
        // Keeping the centre would put 100 points past the edge: the window stops at the edge instead.
        QCOMPARE(w.window.pos().x(), atTheLeft ? room.left() : room.right() + 1 - 700);
        QCOMPARE(w.window.pos().y(), room.top() + 10);
    }

    void aSmallToolbarIsLowerAndKeepsThePane() {
        Window w(*m_defaults);
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        w.activate(QStringLiteral("calendar"));
        const int regular = w.controller->toolbar()->height();
        const int top = w.window.pos().y();
        w.controller->setSmallSize(true);
        QCOMPARE(w.controller->toolbar()->iconSize(), QSize(24, 24));
        QVERIFY(w.controller->toolbar()->height() < regular);
        QCOMPARE(w.window.centralWidget()->size(), QSize(300, 200));
        QCOMPARE(w.window.pos().y(), top);
    }

    void anActivationWithoutItsItemKeepsTheLoadImage_data() {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QString>("other");
        QTest::newRow("Date/Time removed") << "dateTime"
                                           << "calendar";
        QTest::newRow("Calendar removed") << "calendar"
                                          << "dateTime";
        QTest::newRow("Timers/Alerts removed") << "timerAlert"
                                               << "conversion";
        QTest::newRow("Conversion removed") << "conversion"
                                            << "timerAlert";
    }
    void anActivationWithoutItsItemKeepsTheLoadImage() {
        QFETCH(QString, removed);
        QFETCH(QString, other);
        Window w(*m_defaults);
        QStringList items = kDefaultItems;
        items.removeAll(removed);
        w.controller->setToolbarItemIdentifiers(items);
        QVERIFY(!w.placed(removed));
        // Each placed item gets a picture of its own colour, so the load image tells which item it came from.
        const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
        int next = 0;
        for (QAction *item : w.controller->toolbar()->actions())
            if (qobject_cast<toolbarItem *>(item))
                item->setIcon(filled(colours[next++]));
        const QColor otherColour = middleOf(w.placed(other)->icon().pixmap(32, 32));

        w.activate(other);
        QCOMPARE(middleOf(w.controller->loadImage()->pixmap()), otherColour);
        w.activate(removed);
        QCOMPARE(w.window.centralWidget(), w.pane(removed));
        QCOMPARE(w.window.centralWidget()->size(), removed == "dateTime" ? QSize(500, 400) : QSize(300, 200));
        QCOMPARE(middleOf(w.controller->loadImage()->pixmap()), otherColour);
    }

    void anItemPlacedFromTheSheetBehavesAsTheDefault_data() {
        QTest::addColumn<bool>("byDragging");
        QTest::newRow("dragged from the palette") << true;
        QTest::newRow("added with the button") << false;
    }
    void anItemPlacedFromTheSheetBehavesAsTheDefault() {
        QFETCH(bool, byDragging);
        Window w(*m_defaults);
        toolbarItem *original = w.placed(QStringLiteral("calendar"));
        const QString label = original->text();
        const QString toolTip = original->toolTip();
        const QImage image = original->icon().pixmap(QSize(32, 32), 1.0).toImage();
        const QString spoken = accessibleName(w.controller->toolbar()->widgetForAction(original));

        w.controller->runCustomizationSheet();
        customizeToolbarSheet *sheet = w.controller->customizationSheet();
        QVERIFY(sheet);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        toolbarItemList *palette = sheet->paletteList();
        toolbarItemList *items = sheet->itemList();
        QCOMPARE(items->count(), 6);
        // Placed already: the palette's entry cannot be added again.
        QVERIFY(!(palette->item(rowOf(palette, "calendar"))->flags() & Qt::ItemIsEnabled));

        items->setCurrentRow(2);
        QTest::mouseClick(sheet->findChild<QPushButton *>("removeButton"), Qt::LeftButton);
        QCOMPARE(w.controller->toolbarItemIdentifiers(),
                 (QStringList{kFlex, "dateTime", "timerAlert", "conversion", kFlex}));
        QVERIFY(palette->item(rowOf(palette, "calendar"))->flags() & Qt::ItemIsEnabled);

        if (byDragging) {
            drop(palette, rowOf(palette, "calendar"), items, before(items, 3));
        } else {
            palette->setCurrentRow(rowOf(palette, "calendar"));
            items->setCurrentRow(2);
            QTest::mouseClick(sheet->findChild<QPushButton *>("addButton"), Qt::LeftButton);
        }
        QCOMPARE(w.controller->toolbarItemIdentifiers(),
                 (QStringList{kFlex, "dateTime", "timerAlert", "calendar", "conversion", kFlex}));

        toolbarItem *placed = w.placed(QStringLiteral("calendar"));
        QVERIFY(placed);
        QCOMPARE(placed->text(), label);
        QCOMPARE(placed->paletteLabel(), label);
        QCOMPARE(placed->toolTip(), toolTip);
        QCOMPARE(placed->icon().pixmap(QSize(32, 32), 1.0).toImage(), image);
        QVERIFY(placed->isEnabled());
        QWidget *button = w.controller->toolbar()->widgetForAction(placed);
        QCOMPARE(accessibleName(button), spoken);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(w.window.centralWidget(), w.pane(QStringLiteral("calendar")));
        QCOMPARE(w.window.centralWidget()->size(), QSize(300, 200));
        sheet->accept();
    }

    void theSheetArrangesTheToolbar_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("dragging within the toolbar moves an item")
            << "drag to row 1" << 4
            << QStringList{kFlex, "conversion", "dateTime", "calendar", "timerAlert", kFlex};
        QTest::newRow("dragging to the end")
            << "drag to the end" << 1
            << QStringList{kFlex, "calendar", "timerAlert", "conversion", kFlex, "dateTime"};
        QTest::newRow("dragging out to the palette removes it")
            << "drag to the palette" << 2
            << QStringList{kFlex, "dateTime", "timerAlert", "conversion", kFlex};
        QTest::newRow("Move Left") << "moveLeftButton" << 2
                                   << QStringList{kFlex,        "calendar",   "dateTime",
                                                  "timerAlert", "conversion", kFlex};
        QTest::newRow("Move Right") << "moveRightButton" << 2
                                    << QStringList{kFlex,      "dateTime",   "timerAlert",
                                                   "calendar", "conversion", kFlex};
        QTest::newRow("Remove") << "removeButton" << 0
                                << QStringList{"dateTime", "calendar", "timerAlert", "conversion", kFlex};
        QTest::newRow("a space dragged in twice stays twice")
            << "drag a space in twice" << 1
            << QStringList{kFlex,      "NSToolbarSpaceItem", "NSToolbarSpaceItem", "dateTime",
                           "calendar", "timerAlert",         "conversion",         kFlex};
        QTest::newRow("a placed item dropped from the palette is moved, not doubled")
            << "drop dateTime from the palette at the end" << 0
            << QStringList{kFlex, "calendar", "timerAlert", "conversion", kFlex, "dateTime"};
    }
    void theSheetArrangesTheToolbar() {
        QFETCH(QString, operation);
        QFETCH(int, row);
        QFETCH(QStringList, expected);
        Window w(*m_defaults);
        w.controller->runCustomizationSheet();
        customizeToolbarSheet *sheet = w.controller->customizationSheet();
        toolbarItemList *palette = sheet->paletteList();
        toolbarItemList *items = sheet->itemList();
        if (operation == "drag to row 1") {
            drop(items, row, items, before(items, 1));
        } else if (operation == "drag to the end") {
            drop(items, row, items, before(items, items->count()));
        } else if (operation == "drag to the palette") {
            drop(items, row, palette, palette->visualItemRect(palette->item(0)).center());
        } else if (operation == "drag a space in twice") {
            drop(palette, rowOf(palette, "NSToolbarSpaceItem"), items, before(items, row));
            drop(palette, rowOf(palette, "NSToolbarSpaceItem"), items, before(items, row));
        } else if (operation == "drop dateTime from the palette at the end") {
            drop(palette, rowOf(palette, "dateTime"), items, before(items, items->count()));
        } else {
            items->setCurrentRow(row);
            QPushButton *button = sheet->findChild<QPushButton *>(operation);
            QVERIFY(button);
            QVERIFY(button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(w.controller->toolbarItemIdentifiers(), expected);
        QStringList listed;
        for (int i = 0; i < items->count(); ++i)
            listed << items->item(i)->data(toolbarItemList::kIdentifierRole).toString();
        QCOMPARE(listed, expected);
        // Saved at once.
        UserDefaults later(path());
        const QVariantMap stored = later.objectForKey(QStringLiteral("toolbarItems")).toMap();
        QCOMPARE(stored.value(QStringLiteral("itemIdentifiers")).toStringList(), expected);

        QTest::mouseClick(sheet->findChild<QPushButton *>("restoreDefaultsButton"), Qt::LeftButton);
        QCOMPARE(w.controller->toolbarItemIdentifiers(), kDefaultItems);
        QCOMPARE(UserDefaults(path())
                     .objectForKey(QStringLiteral("toolbarItems"))
                     .toMap()
                     .value(QStringLiteral("itemIdentifiers"))
                     .toStringList(),
                 kDefaultItems);
        QTest::mouseClick(sheet->findChild<QPushButton *>("doneButton"), Qt::LeftButton);
        QTRY_VERIFY(!w.controller->customizationSheet());
    }

    void theSheetOpensFromTheContextMenuAndTheViewMenu() {
        Window w(*m_defaults);
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QAction *customize = w.controller->customizeAction();
        QCOMPARE(customize->text(), QStringLiteral("Customize Toolbar\u2026"));
        QVERIFY(w.controller->viewMenu()->actions().contains(customize));
        QVERIFY(w.controller->toolbarContextMenu()->actions().contains(customize));
        QVERIFY(w.window.menuBar()->actions().contains(w.controller->viewMenu()->menuAction()));

        // A right click on the toolbar opens its menu (which offscreen cannot give the keyboard).
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support grabbing the keyboard");
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        QToolBar *toolbar = w.controller->toolbar();
        const QPoint at(5, toolbar->height() / 2);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, toolbar->mapToGlobal(at));
        QCoreApplication::sendEvent(toolbar, &click);
        QTRY_VERIFY(w.controller->toolbarContextMenu()->isVisible());
        w.controller->toolbarContextMenu()->close();

        customize->trigger();
        QVERIFY(w.controller->customizationSheet());
        QVERIFY(w.controller->customizationSheet()->isVisible());
        QCOMPARE(w.controller->customizationSheet()->parentWidget(), &w.window);
    }

    void useSmallSizeIsOneSettingEverywhere() {
        Window w(*m_defaults);
        w.controller->runCustomizationSheet();
        QCheckBox *check = w.controller->customizationSheet()->findChild<QCheckBox *>("smallSizeCheck");
        QVERIFY(check);
        QCOMPARE(check->text().remove('&'), QStringLiteral("Use Small Size"));
        check->click();
        QVERIFY(w.controller->smallSize());
        QCOMPARE(w.controller->toolbar()->iconSize(), QSize(24, 24));
        const QList<QAction *> entries = w.controller->toolbarContextMenu()->actions();
        const auto small = std::find_if(entries.begin(), entries.end(), [](QAction *a) {
            return a->text() == QStringLiteral("Use Small Size");
        });
        QVERIFY(small != entries.end());
        QVERIFY((*small)->isChecked());
        (*small)->trigger();
        QVERIFY(!w.controller->smallSize());
        QCOMPARE(w.controller->toolbar()->iconSize(), QSize(32, 32));
    }

    void theViewMenuShowsEachPane_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("key");
        QTest::newRow("Ctrl+1 Date/Time") << "dateTime"
                                          << "Date/Time" << int(Qt::Key_1);
        QTest::newRow("Ctrl+2 Calendar") << "calendar"
                                         << "Calendar" << int(Qt::Key_2);
        QTest::newRow("Ctrl+3 Timers/Alerts") << "timerAlert"
                                              << "Timers/Alerts" << int(Qt::Key_3);
        QTest::newRow("Ctrl+4 Conversion") << "conversion"
                                           << "Conversion" << int(Qt::Key_4);
    }
    void theViewMenuShowsEachPane() {
        QFETCH(QString, identifier);
        QFETCH(QString, label);
        QFETCH(int, key);
        Window w(*m_defaults);
        // Shown first: another pane.
        w.activate(identifier == "conversion" ? QStringLiteral("calendar") : QStringLiteral("conversion"));
        QAction *entry = w.controller->viewMenu()->findChild<QAction *>(identifier + "MenuItem");
        if (!entry)
            for (QAction *candidate : w.controller->viewMenu()->actions())
                if (candidate->objectName() == identifier + "MenuItem")
                    entry = candidate;
        QVERIFY(entry);
        QCOMPARE(entry->text(), label);
        QCOMPARE(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key(key)));
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QTest::keyClick(&w.window, Qt::Key(key), Qt::ControlModifier);
        QTRY_COMPARE(w.window.centralWidget(), w.pane(identifier));
    }

    void theLayoutSurvivesARestart() {
        const QStringList arranged{"conversion", "NSToolbarSeparatorItem", "dateTime"};
        {
            Window first(*m_defaults);
            first.controller->setToolbarItemIdentifiers(arranged);
            first.controller->setSmallSize(true);
        }
        UserDefaults restarted(path());
        Window second(restarted);
        QCOMPARE(second.controller->toolbarItemIdentifiers(), arranged);
        QVERIFY(second.controller->smallSize());
        QCOMPARE(second.controller->toolbar()->iconSize(), QSize(24, 24));
        QVERIFY(second.placed("conversion"));
        QCOMPARE(second.placed("conversion")->toolTip(), QStringLiteral("Conversion utilities."));
    }

    void anUnknownItemInTheSettingsIsLeftOutAtStart() {
        QVariantMap layout{{"formatVersion", 1},
                           {"itemIdentifiers", QVariantList{"calendar", "moonPhases", "dateTime"}},
                           {"smallSize", false}};
        QVERIFY(m_defaults->setObjectForKey(layout, QStringLiteral("toolbarItems")) ==
                UserDefaults::WriteOutcome::Written);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("\"moonPhases\" is no longer known"));
        Window w(*m_defaults);
        QCOMPARE(w.controller->toolbarItemIdentifiers(), (QStringList{"calendar", "dateTime"}));
        // The user's file keeps what it held until the user changes the toolbar.
        QCOMPARE(UserDefaults(path())
                     .objectForKey(QStringLiteral("toolbarItems"))
                     .toMap()
                     .value(QStringLiteral("itemIdentifiers"))
                     .toStringList(),
                 (QStringList{"calendar", "moonPhases", "dateTime"}));
    }
};

QTEST_MAIN(TestMainWindowController)
#include "tst_mainWindowController.moc"
