#include "ApplicationDeligate.h"

#include "Bundle.h"
#include "DistributedNotificationCenter.h"
#include "TNDContract.h"
#include "UserDefaults.h"
#include "companionLauncher.h"
#include "dateTimeController.h"
#include "mainWindowController.h"
#include "preferencesController.h"
#include "timerController.h"
#include "updateController.h"
#include "ui_calendarPane.h"
#include "ui_conversionPane.h"
#include "ui_mainWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QWidget>

namespace {

const QString kApplicationMenuTitle = QStringLiteral("&Tindral");
const QString kAboutTitle = QStringLiteral("About Tindral");
const QString kPreferencesTitle = QStringLiteral("Preferences\u2026");
const QString kCheckForUpdatesTitle = QStringLiteral("Check for Updates\u2026");
const QString kQuitTitle = QStringLiteral("Quit Tindral");
const QString kAboutText = QStringLiteral("Tindral");
const QString kAboutDetail = QStringLiteral("Version %1\nKestmoor's clock on your desktop.");

template <typename Form> QWidget *staticPane() {
    auto *pane = new QWidget;
    Form form;
    form.setupUi(pane);
    pane->resize(pane->minimumSize());
    return pane;
}

} // namespace

ApplicationDeligate::ApplicationDeligate(UserDefaults &defaults, QObject *parent)
    : QObject(parent)
    , m_defaults(defaults) {}

ApplicationDeligate::~ApplicationDeligate() {
    // The preferences window is the main window's child: it goes first, once. The controller gives the
    // shown pane back to its shelf before the window goes.
    m_preferences.reset();
    m_windowController.reset();
    m_mainWindow.reset();
}

void ApplicationDeligate::awakeFromNib() {
    m_mainWindow = std::make_unique<QMainWindow>();
    m_mainWindowUi = std::make_unique<Ui::mainWindow>();
    m_mainWindowUi->setupUi(m_mainWindow.get());

    auto *dateTime = new dateTimeController;
    dateTime->awakeFromNib();
    m_dateTimePane = dateTime;
    m_calendarPane = staticPane<Ui::calendarPane>();
    auto *timers = new timerController;
    timers->awakeFromNib();
    m_timerAlertPane = timers;
    m_conversionPane = staticPane<Ui::conversionPane>();
    m_preferences = std::make_unique<preferencesController>(m_mainWindow.get());
    m_preferences->awakeFromNib();

    buildApplicationMenu();
    m_windowController = std::make_unique<mainWindowController>(
        m_mainWindow.get(),
        mainWindowController::Panes{m_dateTimePane, m_calendarPane, m_timerAlertPane, m_conversionPane},
        m_defaults);
    m_windowController->awakeFromNib();
    DistributedNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(TND::kShowTimersNote), [this](const Notification &) { showTimers(); }, this);
}

void ApplicationDeligate::buildApplicationMenu() {
    // The application's own menu comes first in the menu bar, before the View menu.
    m_applicationMenu = m_mainWindow->menuBar()->addMenu(kApplicationMenuTitle);
    m_applicationMenu->setObjectName(QStringLiteral("applicationMenu"));

    QAction *about = m_applicationMenu->addAction(kAboutTitle, this, &ApplicationDeligate::showAbout);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setMenuRole(QAction::AboutRole);
    m_applicationMenu->addSeparator();

    QAction *preferences =
        m_applicationMenu->addAction(kPreferencesTitle, this, &ApplicationDeligate::activatePreferences);
    preferences->setObjectName(QStringLiteral("preferencesAction"));
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
    QAction *updates = m_applicationMenu->addAction(kCheckForUpdatesTitle, m_preferences->updates(),
                                                    &updateController::checkForUpdates);
    updates->setObjectName(QStringLiteral("checkForUpdatesAction"));
    updates->setMenuRole(QAction::ApplicationSpecificRole);
    m_applicationMenu->addSeparator();

    QAction *quit = m_applicationMenu->addAction(kQuitTitle, this, [this] {
        if (applicationShouldTerminate())
            QCoreApplication::quit();
    });
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
}

void ApplicationDeligate::applicationWillFinishLaunching() {
    // The window is made for the Date/Time pane: it goes in without the animated resize.
    m_windowController->showPaneAtOnce(m_dateTimePane);
    m_mainWindow->show();
    if (m_defaults.integerForKey(QString::fromLatin1(TND::kShowTindralMenuKey)) == 1)
        companionLauncher::launch();
}

void ApplicationDeligate::activatePreferences() {
    m_preferences->runModal();
}

void ApplicationDeligate::showAbout() {
    const QString version =
        Bundle::mainBundle().infoDictionary().value(QStringLiteral("CFBundleShortVersionString")).toString();
    auto *box = new QMessageBox(QMessageBox::Information, kAboutTitle, kAboutText, QMessageBox::Ok,
                                m_mainWindow.get());
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setInformativeText(kAboutDetail.arg(version));
    box->setIconPixmap(
        QIcon(Bundle::mainBundle().pathForResource(QStringLiteral("tindral_icon"), QStringLiteral("png")))
            .pixmap(64, 64));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ApplicationDeligate::showTimers() {
    bringToFront();
    m_windowController->activateTimerAlert();
}

void ApplicationDeligate::bringToFront() {
    if (m_mainWindow->isMinimized())
        m_mainWindow->showNormal();
    else
        m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}
