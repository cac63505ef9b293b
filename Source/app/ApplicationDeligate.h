#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QMainWindow;
class QMenu;
class QWidget;
class UserDefaults;
class mainWindowController;
class preferencesController;

namespace Ui {
class mainWindow;
}

// Tindral's start and end: makes the main window and its panes, hands the panes to the window's controller,
// puts the Date/Time pane in, starts the companion when the settings say so, and holds the application menu.
class ApplicationDeligate : public QObject {
    Q_OBJECT

public:
    explicit ApplicationDeligate(UserDefaults &defaults, QObject *parent = nullptr);
    ~ApplicationDeligate() override;

    // Creates the windows, panes and controllers and calls their awakeFromNib.
    void awakeFromNib();
    // Puts the Date/Time pane into the main window, shows the window and, when showTindralMenu is 1,
    // starts the companion.
    void applicationWillFinishLaunching();
    // Termination is always allowed at once; nothing is saved or sent, and the companion keeps running.
    bool applicationShouldTerminate() const { return true; }

    QMainWindow *mainWindow() const { return m_mainWindow.get(); }
    mainWindowController *windowController() const { return m_windowController.get(); }
    QMenu *applicationMenu() const { return m_applicationMenu; }
    QWidget *dateTimePane() const { return m_dateTimePane; }
    QWidget *calendarPane() const { return m_calendarPane; }
    QWidget *timerAlertPane() const { return m_timerAlertPane; }
    QWidget *conversionPane() const { return m_conversionPane; }
    preferencesController *preferences() const { return m_preferences.get(); }

public Q_SLOTS:
    void activatePreferences();
    void showAbout();
    // Brings the window to the front; a second start of Tindral asks for this.
    void bringToFront();
    // The window in front with the Timers/Alerts pane: the companion asks for it (TNDShowTimers, or a start
    // with --timers) when the user clicks the desktop notification of a timer's end.
    void showTimers();

private:
    void buildApplicationMenu();

    UserDefaults &m_defaults;
    std::unique_ptr<QMainWindow> m_mainWindow;
    std::unique_ptr<Ui::mainWindow> m_mainWindowUi;
    std::unique_ptr<mainWindowController> m_windowController;
    // The panes; the window controller keeps them for the life of the application.
    QWidget *m_dateTimePane = nullptr;
    QWidget *m_calendarPane = nullptr;
    QWidget *m_timerAlertPane = nullptr;
    QWidget *m_conversionPane = nullptr;
    QMenu *m_applicationMenu = nullptr;
    std::unique_ptr<preferencesController> m_preferences;
};
