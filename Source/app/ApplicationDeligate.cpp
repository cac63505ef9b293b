#include "ApplicationDeligate.h"

#include "AlertPanel.h"
#include "Bundle.h"
#include "Launcher.h"
#include "TNDContract.h"
#include "UserDefaults.h"
#include "mainWindowController.h"
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

const QString kMenuName = QStringLiteral("TindralMenu");
const QString kMenuType = QStringLiteral("app");

const QString kApplicationMenuTitle = QStringLiteral("&Tindral");
const QString kAboutTitle = QStringLiteral("About Tindral");
const QString kPreferencesTitle = QStringLiteral("Preferences\u2026");
const QString kQuitTitle = QStringLiteral("Quit Tindral");
const QString kAboutText = QStringLiteral("Tindral");
const QString kAboutDetail = QStringLiteral("Version %1\nKestmoor's clock on your desktop.");

// Stand-ins for the panes whose controllers come with their own classes.
const QSize kDateTimePaneSize(520, 420);
const QSize kTimerAlertPaneSize(560, 420);

QWidget *placeholderPane(const QString &name, const QString &accessibleName, const QSize &size) {
    auto *pane = new QWidget;
    pane->setObjectName(name);
    pane->setAccessibleName(accessibleName);
    pane->setFixedSize(size);
    return pane;
}

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
    // The controller gives the shown pane back to its shelf before the window goes.
    m_windowController.reset();
    m_mainWindow.reset();
}

void ApplicationDeligate::awakeFromNib() {
    m_mainWindow = std::make_unique<QMainWindow>();
    m_mainWindowUi = std::make_unique<Ui::mainWindow>();
    m_mainWindowUi->setupUi(m_mainWindow.get());

    m_dateTimePane =
        placeholderPane(QStringLiteral("dateTimePane"), QStringLiteral("Date/Time"), kDateTimePaneSize);
    m_calendarPane = staticPane<Ui::calendarPane>();
    m_timerAlertPane = placeholderPane(QStringLiteral("timerAlertPane"), QStringLiteral("Timers/Alerts"),
                                       kTimerAlertPaneSize);
    m_conversionPane = staticPane<Ui::conversionPane>();

    buildApplicationMenu();
    m_windowController = std::make_unique<mainWindowController>(
        m_mainWindow.get(),
        mainWindowController::Panes{m_dateTimePane, m_calendarPane, m_timerAlertPane, m_conversionPane},
        m_defaults);
    m_windowController->awakeFromNib();
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
        launchTindralMenu();
}

int ApplicationDeligate::launchTindralMenu() {
    const QString path = Bundle::mainBundle().pathForResource(kMenuName, kMenuType);
    const int found = Launcher::checkPath(path);
    if (found != Launcher::Success) {
        AlertPanel::run(kLaunchProblemTitle, kFindingProblemMessage.arg(found), kAlertButton);
        return found;
    }
    // Launcher starts it detached and in the background; this window stays in front.
    const int started = Launcher::openApplication(path);
    if (started != Launcher::Success)
        AlertPanel::run(kLaunchProblemTitle, kLaunchingProblemMessage.arg(started), kAlertButton);
    return started;
}

void ApplicationDeligate::activatePreferences() {
    // The preferences window runs here, modally, once it exists.
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

void ApplicationDeligate::bringToFront() {
    if (m_mainWindow->isMinimized())
        m_mainWindow->showNormal();
    else
        m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}
