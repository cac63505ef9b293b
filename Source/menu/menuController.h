#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <memory>
#include <optional>

class QAction;
class QMenu;
class StatusItem;
class TNDKestmoorDate;
class TNDTimerList;
class LoginItems;

// The companion: one item in the desktop's status area whose title is the running IC clock, and its menu of
// the day's events. It owns the refresh cycle and handles every notification the companion receives.
class menuController : public QObject {
    Q_OBJECT

public:
    // init: takes the shared clock, builds the menu and starts the title refresh.
    explicit menuController(QObject *parent = nullptr);
    ~menuController() override;

    // Creates the status item and finishes start-up: login item, showTindralMenu, timers, TNDTurnedOn.
    void awakeFromNib();

    void needsDisplay();
    void menuNeedsUpdate();
    void menuClockUpdate();
    void updateTimerInterval(const QVariantMap &userInfo);
    QString title() const { return m_displayString; }
    void refreshMenu();

    void copyMenuTitleToClipboard(QAction *item);
    void copyDawnDuskToClipboard();
    void copyLunarToClipboard();
    void copyZodiacToClipboard();
    void copyColiseumToClipboard();
    void copyAllToClipboard();

    // "Open Tindral": starts the main application from the folder that holds the companion's.
    void openTindral();
    // A click on a timer's end notification: the main application on its Timers/Alerts pane, whether it runs
    // already (TNDShowTimers) or starts for it (with --timers).
    void openTindralTimers();
    // "Quit" and TNDGoAway: leaves the login items, writes showTindralMenu false, says TNDWentAway,
    // and quits.
    void goAway();
    void applicationWillTerminate();
    // A later start of the companion handed over to this one: announce again.
    void announce();

    QMenu *menu() const { return m_menu.get(); }
    StatusItem *statusItem() const { return m_statusItem.get(); }
    TNDTimerList *timerArray() const { return m_timerArray.get(); }
    // The current title refresh period, in seconds.
    int timerInterval() const;
    // The period from a stored or sent value: whole seconds, never below 1.
    static int periodFromSetting(qint64 seconds);

Q_SIGNALS:
    void titleChanged(const QString &title);

private:
    QAction *addItem(QMenu *menu, const char *objectName, const QString &title);
    void setClipboard(const QString &text);
    void startTimerLoop(int seconds);
    void setItemImage(QAction *item, QIcon &held, int &heldNumber, const QString &prefix, int number);
    void updateStatusIcon();
    static QIcon picture(const QString &name);

    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<QMenu> m_menu;
    QMenu *m_dawnDuskMenu = nullptr;
    QMenu *m_lunarMenu = nullptr;
    QMenu *m_zodiacMenu = nullptr;
    QTimer m_timerLoop;
    QString m_displayString;

    QAction *m_kestmoorSunriseMenu = nullptr;
    QAction *m_kestmoorSunsetMenu = nullptr;
    QAction *m_kestmoorDawnDusk = nullptr;
    QAction *m_kestmoorDawnDuskToday = nullptr;
    QAction *m_kestmoorDawnDuskTomorrow = nullptr;
    QAction *m_kestmoorSunriseTomorrowMenu = nullptr;
    QAction *m_kestmoorSunsetTomorrowMenu = nullptr;
    QAction *m_kestmoorLongTimeMenu = nullptr;
    QAction *m_kestmoorColiseumMenu = nullptr;
    QAction *m_kestmoorLunarMenu = nullptr;
    QAction *m_lunarMenuDay = nullptr;
    QAction *m_lunarMenuFullMoonStart = nullptr;
    QAction *m_lunarMenuFullMoonNoon = nullptr;
    QAction *m_lunarMenuFullMoonEnd = nullptr;
    QAction *m_lunarMenuNextFullMoonStart = nullptr;
    QAction *m_lunarMenuNextFullMoonNoon = nullptr;
    QAction *m_lunarMenuNextFullMoonEnd = nullptr;
    QAction *m_lunarMenuNext = nullptr;
    QAction *m_lunarMenuNextAfter = nullptr;
    QAction *m_kestmoorZodiacMenu = nullptr;
    QAction *m_zodiacMenuDay = nullptr;
    QAction *m_zodiacMenuNextDay = nullptr;
    QAction *m_quitMenu = nullptr;
    QAction *m_openTindralMenu = nullptr;

    QIcon m_lunarImage;
    QIcon m_zodiacImage;
    QIcon m_zodiacNextImage;
    int m_lunarImageNumber = -1;
    int m_zodiacImageNumber = -1;
    int m_zodiacNextImageNumber = -1;
    int m_statusIconNumber = -1;

    std::optional<QVariantMap> m_tindralPreferences;
    TNDKestmoorDate *m_kestmoorDate = nullptr;
    int m_updateInterval = 1;
    std::unique_ptr<TNDTimerList> m_timerArray;
    std::unique_ptr<LoginItems> m_loginItems;
};
