#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class preferencesWindow;
}
class QCheckBox;
class QComboBox;
class QLineEdit;
class updateController;

// The preferences window: whether the companion runs, how often the clocks redraw and the IC seconds offset,
// all three shared with the companion through the settings file and announced on the bus; and the update
// check's group. It runs application-modal; OK, the title bar's close and Escape all end it the same way.
class preferencesController : public QDialog {
    Q_OBJECT

public:
    explicit preferencesController(QWidget *parent = nullptr);
    ~preferencesController() override;

    // Fills the controls from the settings once and starts listening to the companion's announcements.
    void awakeFromNib();
    // Shows the window application-modal and returns when it is closed.
    void runModal();

    // Whether a timer's end is announced: the setting, where a missing value means yes.
    static bool timerEndNotificationsOn();

    // Whether the check box is ticked; it follows the companion's announcements, not the running processes.
    bool isTindralMenuRunning() const;

    updateController *updates() const { return m_updates.get(); }

    // Seconds for an entry of the pull-down: 1, 3, 5, 15; any other index (no selection: -1) gives 1.
    static int intervalForIndex(int index);
    // The leading integer of a text: leading blanks, an optional sign and the digits that follow, held to
    // the 32-bit range; 0 when the text does not start with a number.
    static int leadingInteger(const QString &text);

public Q_SLOTS:
    void showTindral();
    // The check box for desktop notifications at a timer's end: written at once, read by the companion at
    // each end.
    void timerEndNotifications();
    void changeUpdateTimer();
    void icSecondsOffset();
    void aOkay();
    void turnedOn();
    void wentAway();

    // Escape and the title bar's close end the window as OK does.
    void reject() override;

private:
    std::unique_ptr<Ui::preferencesWindow> m_ui;
    std::unique_ptr<updateController> m_updates;
    QCheckBox *m_showTindralCheckbox = nullptr;
    QCheckBox *m_timerEndNotificationsCheckbox = nullptr;
    QComboBox *m_updateTimerPulldown = nullptr;
    QLineEdit *m_icSecondsOffsetTextField = nullptr;
    bool m_awake = false;
};
