// Tindral's start: the companion started or not by "showTindralMenu", the alerts when it cannot be, the
// Date/Time pane put in at once, the application menu; and pictures of the window with each pane and of the
// customisation sheet, kept in the build tree.
#include "../fileSupport.h"
#include "AlertPanel.h"
#include "ApplicationDeligate.h"
#include "Bundle.h"
#include "Launcher.h"
#include "UserDefaults.h"
#include "appTestSupport.h"
#include "customizeToolbarSheet.h"
#include "mainWindowController.h"
#include "preferencesController.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPalette>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

namespace {

const QString kScreenshots = QStringLiteral(TINDRAL_BUILD_DIR "/tests/app/screenshots");

// A desktop's dark palette, as a dark theme gives the application: light text on dark ground.
QPalette darkPalette() {
    QPalette dark;
    const QColor window(0x2b, 0x2b, 0x2b), base(0x1e, 0x1e, 0x1e), text(0xe6, 0xe6, 0xe6);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, base);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, QColor(0x90, 0x90, 0x90));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return dark;
}

QByteArray settings(const QByteArray &showTindralMenu) {
    QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";
    if (!showTindralMenu.isNull())
        body += "<key>showTindralMenu</key>" + showTindralMenu;
    return body + "<key>updateTimerInterval</key><integer>5</integer></dict></plist>\n";
}

QString accessibleName(QObject *object) {
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

QAction *entryNamed(QMenu *menu, const QString &name) {
    for (QAction *entry : menu->actions())
        if (entry->objectName() == name)
            return entry;
    return nullptr;
}

// Tindral as its program starts it: the delegate made, its windows woken, the start run.
struct Started {
    UserDefaults defaults;
    ApplicationDeligate delegate;

    explicit Started(const QString &settingsPath)
        : defaults(settingsPath)
        , delegate(defaults) {
        delegate.awakeFromNib();
        delegate.applicationWillFinishLaunching();
    }
};

} // namespace

class TestApplicationDeligate : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QList<QStringList> m_started;
    QList<AlertPanel::Alert> m_alerts;
    bool m_startSucceeds = true;

    QString settingsPath() const { return m_folder.filePath(QStringLiteral("Tindral.plist")); }
    QString withCompanion() const { return m_folder.filePath(QStringLiteral("Tindral.app")); }
    QString withoutCompanion() const { return m_folder.filePath(QStringLiteral("Bare.app")); }
    QString companionProgram() const {
        return withCompanion() + QStringLiteral("/Resources/TindralMenu.app/TindralMenu");
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QVERIFY(QDir().mkpath(QFileInfo(companionProgram()).absolutePath()));
        writeBytes(companionProgram(), "#!/bin/sh\nexit 0\n");
        QVERIFY(QFile::setPermissions(companionProgram(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QVERIFY(QDir().mkpath(withoutCompanion() + QStringLiteral("/Resources")));
        QVERIFY(QDir().mkpath(m_folder.filePath(QStringLiteral("Locked.app/Resources/TindralMenu.app"))));
        writeBytes(m_folder.filePath(QStringLiteral("Locked.app/Resources/TindralMenu.app/TindralMenu")),
                   "x");
        QVERIFY(QDir().mkpath(kScreenshots));
    }
    void init() {
        failOnUnexpectedWarnings();
        QFile::remove(settingsPath());
        m_started.clear();
        m_alerts.clear();
        m_startSucceeds = true;
        Launcher::setStartFunction([this](const QString &program, const QStringList &arguments) {
            m_started << (QStringList{program} + arguments);
            return m_startSucceeds;
        });
        AlertPanel::setAnswerer([this](const AlertPanel::Alert &alert) {
            m_alerts << alert;
            return 1;
        });
        Bundle::setMainBundlePath(withCompanion());
    }
    void cleanup() {
        Launcher::reset();
        AlertPanel::setAnswerer({});
        Bundle::setMainBundlePath({});
    }

    void theCompanionStartsOnlyForExactlyOne_data() {
        QTest::addColumn<QByteArray>("value"); // null: no such key
        QTest::addColumn<int>("launches");
        QTest::newRow("missing") << QByteArray() << 0;
        QTest::newRow("0") << QByteArray("<integer>0</integer>") << 0;
        QTest::newRow("2") << QByteArray("<integer>2</integer>") << 0;
        QTest::newRow("-1") << QByteArray("<integer>-1</integer>") << 0;
        QTest::newRow("1") << QByteArray("<integer>1</integer>") << 1;
        QTest::newRow("true, as the companion writes it") << QByteArray("<true/>") << 1;
        QTest::newRow("false, as the companion writes it") << QByteArray("<false/>") << 0;
    }
    void theCompanionStartsOnlyForExactlyOne() {
        QFETCH(QByteArray, value);
        QFETCH(int, launches);
        writeBytes(settingsPath(), settings(value));
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        QCOMPARE(m_started.size(), launches);
        if (launches == 1)
            QCOMPARE(m_started.first(), QStringList{companionProgram()});
        QCOMPARE(m_alerts.size(), 0);
        // The Date/Time pane is in, the window already fitted to it.
        QWidget *shown = delegate.mainWindow()->centralWidget();
        QVERIFY(shown);
        QCOMPARE(shown, delegate.dateTimePane());
        QCOMPARE(shown->size(), delegate.windowController()->paneSize(shown));
        QCOMPARE(shown->geometry().top(), delegate.windowController()->toolbar()->geometry().bottom() + 1);
        QCOMPARE(shown->geometry().bottom(), delegate.mainWindow()->height() - 1);
        QCOMPARE(delegate.mainWindow()->width(), shown->width());
        QVERIFY(delegate.mainWindow()->isVisible());
    }

    void aBuildWithoutTheCompanionSaysSoOnceAndWorks() {
        Bundle::setMainBundlePath(withoutCompanion());
        writeBytes(settingsPath(), settings("<integer>1</integer>"));
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        QCOMPARE(m_started.size(), 0);
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Problem launching menu"));
        QCOMPARE(m_alerts[0].message,
                 QStringLiteral("There was a problem finding the Tindral Menu\nError: 127"));
        QCOMPARE(m_alerts[0].defaultButton, QStringLiteral("Ah well"));
        // Then it works as ever, and the setting is left as it was.
        delegate.windowController()->activateConversion();
        QCOMPARE(delegate.mainWindow()->centralWidget(), delegate.conversionPane());
        delegate.windowController()->activateDateTime();
        QCOMPARE(delegate.mainWindow()->centralWidget(), delegate.dateTimePane());
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(started.defaults.integerForKey(QStringLiteral("showTindralMenu")), 1);
    }

    void aCompanionThatCannotStartIsTold_data() {
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<bool>("startSucceeds");
        QTest::addColumn<int>("starts");
        QTest::newRow("its program cannot be run") << "Locked.app" << true << 0;
        QTest::newRow("the start fails") << "Tindral.app" << false << 1;
    }
    void aCompanionThatCannotStartIsTold() {
        QFETCH(QString, bundle);
        QFETCH(bool, startSucceeds);
        QFETCH(int, starts);
        Bundle::setMainBundlePath(m_folder.filePath(bundle));
        m_startSucceeds = startSucceeds;
        writeBytes(settingsPath(), settings("<integer>1</integer>"));
        // The launcher tells why on standard error.
        if (startSucceeds)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("is not a program that can be run")));
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        QCOMPARE(m_started.size(), starts);
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Problem launching menu"));
        QCOMPARE(m_alerts[0].message,
                 QStringLiteral("There was a problem launching the Tindral Menu\nError: 126"));
        QCOMPARE(m_alerts[0].defaultButton, QStringLiteral("Ah well"));
        QCOMPARE(delegate.mainWindow()->centralWidget(), delegate.dateTimePane());
    }

    void theApplicationMenu() {
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        QMenu *menu = delegate.applicationMenu();
        QVERIFY(menu);
        // First in the menu bar, the View menu after it.
        const QList<QAction *> bar = delegate.mainWindow()->menuBar()->actions();
        QCOMPARE(bar.size(), 2);
        QCOMPARE(bar[0], menu->menuAction());
        QCOMPARE(bar[1], delegate.windowController()->viewMenu()->menuAction());

        QAction *preferences = entryNamed(menu, QStringLiteral("preferencesAction"));
        QVERIFY(preferences);
        QCOMPARE(preferences->text(), QStringLiteral("Preferences\u2026"));
        QCOMPARE(preferences->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QAction *quit = entryNamed(menu, QStringLiteral("quitAction"));
        QVERIFY(quit);
        QCOMPARE(quit->text(), QStringLiteral("Quit Tindral"));
        QCOMPARE(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QVERIFY(delegate.applicationShouldTerminate());

        QAction *about = entryNamed(menu, QStringLiteral("aboutAction"));
        QVERIFY(about);
        QCOMPARE(about->text(), QStringLiteral("About Tindral"));
        about->trigger();
        auto *box = delegate.mainWindow()->findChild<QMessageBox *>(QStringLiteral("aboutBox"));
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        QVERIFY(box->informativeText().startsWith(QStringLiteral("Version " TINDRAL_VERSION "\n")));
        box->close();
    }

    void aSecondStartBringsTheWindowBack() {
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        delegate.mainWindow()->hide();
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        delegate.bringToFront();
        QVERIFY(delegate.mainWindow()->isVisible());
    }

    // A click on the desktop notification of a timer's end: the window comes back with the timer pane.
    void showTimersBringsTheTimerPane() {
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        QVERIFY(delegate.timerAlertPane()->window() != delegate.mainWindow());
        delegate.mainWindow()->hide();
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        delegate.showTimers();
        QVERIFY(delegate.mainWindow()->isVisible());
        QTRY_COMPARE(delegate.timerAlertPane()->window(), delegate.mainWindow());
        QTRY_VERIFY(delegate.timerAlertPane()->isVisible());
    }

    void everythingHasAName() {
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR));
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        mainWindowController *controller = delegate.windowController();
        controller->setToolbarItemIdentifiers({"NSToolbarSeparatorItem", "dateTime", "NSToolbarSpaceItem",
                                               "calendar", "timerAlert", "NSToolbarFlexibleSpaceItem",
                                               "conversion"});
        for (QAction *item : controller->toolbar()->actions()) {
            QWidget *shown = controller->toolbar()->widgetForAction(item);
            QVERIFY(shown);
            QVERIFY2(!accessibleName(shown).isEmpty(), qPrintable(item->objectName()));
        }
        controller->runCustomizationSheet();
        QList<QWidget *> widgets = delegate.mainWindow()->findChildren<QWidget *>();
        widgets += controller->loadPane()->findChildren<QWidget *>();
        controller->activateCalendar();
        widgets += delegate.mainWindow()->centralWidget()->findChildren<QWidget *>();
        controller->activateConversion();
        widgets += delegate.mainWindow()->centralWidget()->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            // Qt's own overflow buttons of the menu bar and toolbar are Qt's to name.
            if (widget->objectName().startsWith(QStringLiteral("qt_")))
                continue;
            if (!qobject_cast<QLabel *>(widget) && !qobject_cast<QAbstractButton *>(widget) &&
                !qobject_cast<QListWidget *>(widget))
                continue;
            QVERIFY2(!accessibleName(widget).isEmpty(), qPrintable(widget->objectName()));
        }
    }

    void screenshotsOfEachPaneAndTheSheet_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("light palette") << QString();
        QTest::newRow("dark palette") << QStringLiteral("-dark");
    }
    void screenshotsOfEachPaneAndTheSheet() {
        QFETCH(QString, suffix);
        const QPalette desktops = QApplication::palette();
        const auto restore = qScopeGuard([&desktops] { QApplication::setPalette(desktops); });
        if (!suffix.isEmpty())
            QApplication::setPalette(darkPalette());
        Bundle::setMainBundlePath(QStringLiteral(TINDRAL_BUNDLE_DIR));
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        QVERIFY(QTest::qWaitForWindowExposed(delegate.mainWindow()));
        mainWindowController *controller = delegate.windowController();
        const auto keep = [&suffix](QWidget *window, const QString &name) {
            const QString file = kScreenshots + QLatin1Char('/') + name + suffix + QStringLiteral(".png");
            QVERIFY2(window->grab().save(file), qPrintable(file));
        };
        keep(delegate.mainWindow(), QStringLiteral("dateTime"));
        controller->activateCalendar();
        keep(delegate.mainWindow(), QStringLiteral("calendar"));
        controller->activateTimerAlert();
        keep(delegate.mainWindow(), QStringLiteral("timerAlert"));
        controller->activateConversion();
        keep(delegate.mainWindow(), QStringLiteral("conversion"));
        controller->checkToSetLoadImage(QStringLiteral("calendar"));
        controller->loadPane()->resize(300, 200);
        keep(controller->loadPane(), QStringLiteral("loadPane"));
        controller->setSmallSize(true);
        keep(delegate.mainWindow(), QStringLiteral("conversionSmallToolbar"));
        controller->setSmallSize(false);
        controller->runCustomizationSheet();
        QVERIFY(QTest::qWaitForWindowExposed(controller->customizationSheet()));
        keep(controller->customizationSheet(), QStringLiteral("customizeToolbar"));
        keep(delegate.preferences(), QStringLiteral("preferences"));
    }

    // Last: it runs the event loop to its end.
    void quittingEndsAtOnceAndLeavesTheCompanion() {
        writeBytes(settingsPath(), settings("<integer>1</integer>"));
        Started started(settingsPath());
        ApplicationDeligate &delegate = started.delegate;
        QCOMPARE(m_started.size(), 1);
        QAction *quit = entryNamed(delegate.applicationMenu(), QStringLiteral("quitAction"));
        QTimer::singleShot(0, quit, &QAction::trigger);
        QCOMPARE(QCoreApplication::exec(), 0);
        // Nothing more was started, nothing asked, and the settings are as they were.
        QCOMPARE(m_started.size(), 1);
        QCOMPARE(m_alerts.size(), 0);
        QCOMPARE(readBytes(settingsPath()), settings("<integer>1</integer>"));
    }
};

QTEST_MAIN(TestApplicationDeligate)
#include "tst_ApplicationDeligate.moc"
