#include "menuController.h"

#include "AlertPanel.h"
#include "Bundle.h"
#include "Clock.h"
#include "ClockSwitches.h"
#include "DistributedNotificationCenter.h"
#include "InternationalSettings.h"
#include "Launcher.h"
#include "LoginItems.h"
#include "NumberValues.h"
#include "StatusItem.h"
#include "TNDContract.h"
#include "TNDClockTexts.h"
#include "TNDKestmoorDate.h"
#include "TNDTimerList.h"
#include "UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include <cmath>

namespace {

const char kLoading[] = "Loading...";
const char kDawnDusk[] = "Dawn/Dusk";
const char kLunarCalendar[] = "Lunar Calendar";
const char kZodiacCalendar[] = "Zodiac Calendar";
const char kToday[] = "Today:";
const char kTomorrow[] = "Tomorrow:";
const char kNextFullMoon[] = "Next Full Moon:";
const char kFullMoonAfterNext[] = "Full Moon After Next:";
const char kQuit[] = "Quit";
const char kOpenTindral[] = "Open Tindral";
// Some desktops' menus never run the action of an item that opens a submenu: each submenu ends with an item
// that copies its report.
const char kCopyDawnDusk[] = "Copy Dawn/Dusk Report";
const char kCopyLunar[] = "Copy Lunar Calendar Report";
const char kCopyZodiac[] = "Copy Zodiac Calendar Report";

const char kProblemLaunching[] = "Problem launching Tindral";
const char kProblemFinding[] = "There was a problem finding Tindral\nError: %1";
const char kProblemStarting[] = "There was a problem launching Tindral\nError: %1";
const char kAhWell[] = "Ah well";

QString text(const char *t) {
    return QString::fromUtf8(t);
}

} // namespace

menuController::menuController(QObject *parent)
    : QObject(parent) {
    m_kestmoorDate = TNDKestmoorDate::sharedDate();
    m_kestmoorDate->setDaylightSavings(3600.0);
    m_displayString = m_kestmoorDate->timeWithFormat(InternationalSettings::timeFormat());

    m_menu = std::make_unique<QMenu>();
    m_menu->setObjectName(QStringLiteral("menu"));
    m_dawnDuskMenu = new QMenu(m_menu.get());
    m_dawnDuskMenu->setObjectName(QStringLiteral("dawnDuskMenu"));
    m_lunarMenu = new QMenu(m_menu.get());
    m_lunarMenu->setObjectName(QStringLiteral("lunarMenu"));
    m_zodiacMenu = new QMenu(m_menu.get());
    m_zodiacMenu->setObjectName(QStringLiteral("zodiacMenu"));

    auto copiesTitle = [this](QAction *item) {
        connect(item, &QAction::triggered, this, [this, item] { copyMenuTitleToClipboard(item); });
        return item;
    };

    // The sun submenu.
    m_kestmoorDawnDuskToday = addItem(m_dawnDuskMenu, "kestmoorDawnDuskToday", text(kToday));
    m_kestmoorDawnDuskToday->setEnabled(false);
    m_kestmoorSunriseMenu = copiesTitle(addItem(m_dawnDuskMenu, "kestmoorSunriseMenu", text(kLoading)));
    m_kestmoorSunsetMenu = copiesTitle(addItem(m_dawnDuskMenu, "kestmoorSunsetMenu", text(kLoading)));
    m_dawnDuskMenu->addSeparator();
    m_kestmoorDawnDuskTomorrow = addItem(m_dawnDuskMenu, "kestmoorDawnDuskTomorrow", text(kTomorrow));
    m_kestmoorDawnDuskTomorrow->setEnabled(false);
    m_kestmoorSunriseTomorrowMenu =
        copiesTitle(addItem(m_dawnDuskMenu, "kestmoorSunriseTomorrowMenu", text(kLoading)));
    m_kestmoorSunsetTomorrowMenu =
        copiesTitle(addItem(m_dawnDuskMenu, "kestmoorSunsetTomorrowMenu", text(kLoading)));
    m_dawnDuskMenu->addSeparator();
    connect(addItem(m_dawnDuskMenu, "copyDawnDuskReport", text(kCopyDawnDusk)), &QAction::triggered, this,
            &menuController::copyDawnDuskToClipboard);

    // The lunar submenu.
    m_lunarMenuDay = copiesTitle(addItem(m_lunarMenu, "lunarMenuDay", text(kLoading)));
    m_lunarMenu->addSeparator();
    m_lunarMenuNext = addItem(m_lunarMenu, "lunarMenuNext", text(kNextFullMoon));
    m_lunarMenuNext->setEnabled(false);
    m_lunarMenuFullMoonStart = copiesTitle(addItem(m_lunarMenu, "lunarMenuFullMoonStart", text(kLoading)));
    m_lunarMenuFullMoonNoon = copiesTitle(addItem(m_lunarMenu, "lunarMenuFullMoonNoon", text(kLoading)));
    m_lunarMenuFullMoonEnd = copiesTitle(addItem(m_lunarMenu, "lunarMenuFullMoonEnd", text(kLoading)));
    m_lunarMenu->addSeparator();
    m_lunarMenuNextAfter = addItem(m_lunarMenu, "lunarMenuNextAfter", text(kFullMoonAfterNext));
    m_lunarMenuNextAfter->setEnabled(false);
    m_lunarMenuNextFullMoonStart =
        copiesTitle(addItem(m_lunarMenu, "lunarMenuNextFullMoonStart", text(kLoading)));
    m_lunarMenuNextFullMoonNoon =
        copiesTitle(addItem(m_lunarMenu, "lunarMenuNextFullMoonNoon", text(kLoading)));
    m_lunarMenuNextFullMoonEnd =
        copiesTitle(addItem(m_lunarMenu, "lunarMenuNextFullMoonEnd", text(kLoading)));
    m_lunarMenu->addSeparator();
    connect(addItem(m_lunarMenu, "copyLunarReport", text(kCopyLunar)), &QAction::triggered, this,
            &menuController::copyLunarToClipboard);

    // The zodiac submenu.
    m_zodiacMenuDay = copiesTitle(addItem(m_zodiacMenu, "zodiacMenuDay", text(kLoading)));
    m_zodiacMenuNextDay = copiesTitle(addItem(m_zodiacMenu, "zodiacMenuNextDay", text(kLoading)));
    m_zodiacMenu->addSeparator();
    connect(addItem(m_zodiacMenu, "copyZodiacReport", text(kCopyZodiac)), &QAction::triggered, this,
            &menuController::copyZodiacToClipboard);

    // The main menu.
    m_kestmoorLongTimeMenu = addItem(m_menu.get(), "kestmoorLongTimeMenu", text(kLoading));
    connect(m_kestmoorLongTimeMenu, &QAction::triggered, this, &menuController::copyAllToClipboard);
    m_menu->addSeparator();
    m_kestmoorDawnDusk = m_dawnDuskMenu->menuAction();
    m_kestmoorDawnDusk->setObjectName(QStringLiteral("kestmoorDawnDusk"));
    m_kestmoorDawnDusk->setText(text(kDawnDusk));
    connect(m_kestmoorDawnDusk, &QAction::triggered, this, &menuController::copyDawnDuskToClipboard);
    m_menu->addAction(m_kestmoorDawnDusk);
    m_menu->addSeparator();
    m_kestmoorLunarMenu = m_lunarMenu->menuAction();
    m_kestmoorLunarMenu->setObjectName(QStringLiteral("kestmoorLunarMenu"));
    m_kestmoorLunarMenu->setText(text(kLunarCalendar));
    connect(m_kestmoorLunarMenu, &QAction::triggered, this, &menuController::copyLunarToClipboard);
    m_menu->addAction(m_kestmoorLunarMenu);
    m_menu->addSeparator();
    m_kestmoorZodiacMenu = m_zodiacMenu->menuAction();
    m_kestmoorZodiacMenu->setObjectName(QStringLiteral("kestmoorZodiacMenu"));
    m_kestmoorZodiacMenu->setText(text(kZodiacCalendar));
    connect(m_kestmoorZodiacMenu, &QAction::triggered, this, &menuController::copyZodiacToClipboard);
    m_menu->addAction(m_kestmoorZodiacMenu);
    m_menu->addSeparator();
    m_kestmoorColiseumMenu = addItem(m_menu.get(), "kestmoorColiseumMenu", text(kLoading));
    connect(m_kestmoorColiseumMenu, &QAction::triggered, this, &menuController::copyColiseumToClipboard);
    m_menu->addSeparator();
    m_quitMenu = addItem(m_menu.get(), "quitMenu", text(kQuit));
    m_menu->addSeparator();
    m_openTindralMenu = addItem(m_menu.get(), "openTindralMenu", text(kOpenTindral));
    connect(m_quitMenu, &QAction::triggered, this, &menuController::goAway);
    connect(m_openTindralMenu, &QAction::triggered, this, &menuController::openTindral);

    m_updateInterval = 1;
    m_tindralPreferences = UserDefaults::standardUserDefaults().dictionary();
    if (m_tindralPreferences) {
        const qint64 stored =
            UserDefaults::integerValue(m_tindralPreferences->value(text(TND::kUpdateTimerIntervalKey)));
        m_updateInterval = periodFromSetting(stored);
    }
    connect(&m_timerLoop, &QTimer::timeout, this, &menuController::needsDisplay);
    startTimerLoop(m_updateInterval);
    needsDisplay();

    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    center.addObserver(
        text(TND::kUpdateTimerIntervalNote),
        [this](const Notification &note) { updateTimerInterval(note.userInfo); }, this);
    center.addObserver(
        text(TND::kGoAwayNote), [this](const Notification &) { goAway(); }, this);
    connect(&ClockSwitches::shared(), &ClockSwitches::changed, this, &menuController::menuClockUpdate);
    m_timerArray = std::make_unique<TNDTimerList>(center);
}

menuController::~menuController() = default;

QAction *menuController::addItem(QMenu *menu, const char *objectName, const QString &title) {
    QAction *item = menu->addAction(title);
    item->setObjectName(QString::fromLatin1(objectName));
    return item;
}

int menuController::periodFromSetting(qint64 seconds) {
    // A period of 0 or less would make a timer that spins; 1 second is the companion's own default.
    if (seconds < 1)
        return 1;
    return seconds > 86400 ? 86400 : int(seconds);
}

int menuController::timerInterval() const {
    return m_timerLoop.interval() / 1000;
}

void menuController::startTimerLoop(int seconds) {
    m_timerLoop.stop();
    m_timerLoop.setTimerType(Qt::PreciseTimer);
    m_timerLoop.start(seconds * 1000);
}

void menuController::awakeFromNib() {
    m_statusItem = std::make_unique<StatusItem>();
    m_statusItem->setTitle(m_displayString);
    m_statusItem->setMenu(m_menu.get());
    connect(m_statusItem.get(), &StatusItem::menuAboutToOpen, this, &menuController::menuNeedsUpdate);
    refreshMenu();
    m_statusItem->show();

    m_loginItems = std::make_unique<LoginItems>(QCoreApplication::applicationFilePath());
    m_loginItems->add();

    // A settings file that does not exist is not created here.
    UserDefaults::standardUserDefaults().writeBack(
        [](QVariantMap &settings) { settings.insert(text(TND::kShowTindralMenuKey), true); },
        UserDefaults::WriteMode::OnlyIfFileExists);

    if (const auto settings = UserDefaults::standardUserDefaults().dictionary())
        m_timerArray->loadTimers(settings->value(text(TND::kTimerArrayKey)),
                                 settings->value(text(TND::kTimerEndsKey)));
    connect(m_timerArray.get(), &TNDTimerList::timersPaneRequested, this,
            &menuController::openTindralTimers);

    DistributedNotificationCenter::defaultCenter().post(text(TND::kTurnedOnNote));
    m_timerArray->observe();
}

void menuController::announce() {
    DistributedNotificationCenter::defaultCenter().post(text(TND::kTurnedOnNote));
}

void menuController::needsDisplay() {
    m_kestmoorDate->refreshWithTimeFrom1970(Clock::now());
    const QString display = m_kestmoorDate->timeWithFormat(InternationalSettings::timeFormat());
    const bool changed = display != m_displayString;
    m_displayString = display;
    if (m_statusItem) {
        m_statusItem->setTitle(m_displayString);
        // Some hosts show the menu without asking first: keep its texts current on every tick.
        refreshMenu();
    }
    if (changed)
        Q_EMIT titleChanged(m_displayString);
}

void menuController::menuNeedsUpdate() {
    refreshMenu();
}

void menuController::menuClockUpdate() {
    m_kestmoorDate->refreshExtraPreferences();
    refreshMenu();
}

void menuController::updateTimerInterval(const QVariantMap &userInfo) {
    const QVariant value = userInfo.value(text(TND::kUpdateIntervalInfoKey));
    const NumberValues::Reading reading =
        NumberValues::read(value, NumberValues::Reals | NumberValues::Booleans);
    switch (reading.refusal) {
    case NumberValues::Refusal::NotANumber:
        qWarning("%s refused: \"%s\" is a %s, not a number; the period stays %d s",
                 TND::kUpdateTimerIntervalNote, TND::kUpdateIntervalInfoKey, value.typeName(), timerInterval());
        return;
    default:
        // A missing value gives the shortest period, as a missing setting does; a number beyond 64 bits holds
        // at the end it passed.
        startTimerLoop(periodFromSetting(reading.valueOrLimit(0)));
        return;
    }
}

void menuController::setItemImage(QAction *item, QIcon &held, int &heldNumber, const QString &prefix,
                                  int number) {
    // Setting an icon always announces a change; only a new picture is worth one.
    if (number == heldNumber)
        return;
    heldNumber = number;
    held = picture(prefix + QString::number(number));
    item->setIcon(held);
}

QIcon menuController::picture(const QString &name) {
    // A missing picture gives no image and nothing else. QIcon takes the @2x file beside it by itself.
    const QString path = Bundle::mainBundle().pathForResource(name, QStringLiteral("png"));
    return path.isEmpty() ? QIcon() : QIcon(path);
}

void menuController::updateStatusIcon() {
    // The moon of the current lunar day beside the label, so the phase shows at a glance.
    if (!m_statusItem || m_kestmoorDate->lundarDay() == m_statusIconNumber)
        return;
    m_statusIconNumber = m_kestmoorDate->lundarDay();
    const QString name = QStringLiteral("moon%1").arg(m_statusIconNumber);
    QIcon icon = picture(name);
    // Hosts load the icon as a file of 48 px and scale it to their panel; the moon drawn for that size
    // gives it (QIcon never scales a picture up, and takes in @2x files only on dense screens).
    const QString panelSize =
        Bundle::mainBundle().pathForResource(name + QStringLiteral("-48"), QStringLiteral("png"));
    if (!icon.isNull() && !panelSize.isEmpty())
        icon.addFile(panelSize);
    m_statusItem->setIcon(icon);
}

void menuController::refreshMenu() {
    m_kestmoorDate->refreshWithTimeFrom1970(Clock::now());
    m_kestmoorDate->refreshAllOthers();
    const TNDClockTexts texts = TNDClockTexts::withUserFormats(*m_kestmoorDate);

    m_kestmoorLongTimeMenu->setText(texts.longTimeLine());
    const TNDClockTexts::SunLines sun = texts.sunLines();
    m_kestmoorSunriseMenu->setText(sun.sunrise);
    m_kestmoorSunsetMenu->setText(sun.sunset);
    m_kestmoorSunriseTomorrowMenu->setText(sun.tomorrowSunrise);
    m_kestmoorSunsetTomorrowMenu->setText(sun.tomorrowSunset);
    m_kestmoorDawnDusk->setText(texts.dawnDuskLine());
    m_zodiacMenuDay->setText(texts.zodiacDayLine());
    m_zodiacMenuNextDay->setText(texts.zodiacNextLine());

    setItemImage(m_zodiacMenuDay, m_zodiacImage, m_zodiacImageNumber, QStringLiteral("zodiacSymbol"),
                 m_kestmoorDate->zodiacSymbol());
    setItemImage(m_zodiacMenuNextDay, m_zodiacNextImage, m_zodiacNextImageNumber,
                 QStringLiteral("zodiacSymbol"), m_kestmoorDate->nextZodiacSymbol());
    setItemImage(m_lunarMenuDay, m_lunarImage, m_lunarImageNumber, QStringLiteral("moon"),
                 m_kestmoorDate->lundarDay());

    m_lunarMenuDay->setText(texts.lunarMenuDayLine());
    const TNDClockTexts::FullMoonLines moon = texts.fullMoonLines();
    m_lunarMenuNext->setText(moon.heading);
    m_lunarMenuNextAfter->setText(moon.nextHeading);
    m_lunarMenuFullMoonStart->setText(moon.start);
    m_lunarMenuFullMoonNoon->setText(moon.noon);
    m_lunarMenuFullMoonEnd->setText(moon.end);
    m_lunarMenuNextFullMoonStart->setText(moon.nextStart);
    m_lunarMenuNextFullMoonNoon->setText(moon.nextNoon);
    m_lunarMenuNextFullMoonEnd->setText(moon.nextEnd);
    m_kestmoorColiseumMenu->setText(texts.coliseumLine());
    updateStatusIcon();
}

void menuController::setClipboard(const QString &report) {
    QGuiApplication::clipboard()->setText(report);
}

void menuController::copyMenuTitleToClipboard(QAction *item) {
    if (item)
        setClipboard(item->text());
}

void menuController::copyDawnDuskToClipboard() {
    setClipboard(TNDClockTexts::withUserFormats(*m_kestmoorDate).sunReport());
}

void menuController::copyLunarToClipboard() {
    setClipboard(TNDClockTexts::withUserFormats(*m_kestmoorDate).lunarReport());
}

void menuController::copyZodiacToClipboard() {
    setClipboard(TNDClockTexts::withUserFormats(*m_kestmoorDate).zodiacReport());
}

void menuController::copyColiseumToClipboard() {
    setClipboard(TNDClockTexts::withUserFormats(*m_kestmoorDate).coliseumReport());
}

void menuController::copyAllToClipboard() {
    setClipboard(TNDClockTexts::withUserFormats(*m_kestmoorDate).fullReport());
}

void menuController::openTindral() {
    const QString path = Bundle::mainBundle().enclosingBundlePath();
    const int found = Launcher::checkPath(path);
    if (found != 0) {
        AlertPanel::run(text(kProblemLaunching), text(kProblemFinding).arg(found), text(kAhWell));
        return;
    }
    const int started = Launcher::openApplication(path);
    if (started != 0)
        AlertPanel::run(text(kProblemLaunching), text(kProblemStarting).arg(started), text(kAhWell));
}

void menuController::openTindralTimers() {
    DistributedNotificationCenter::defaultCenter().post(text(TND::kShowTimersNote));
    const QString path = Bundle::mainBundle().enclosingBundlePath();
    const int found = Launcher::checkPath(path);
    if (found != 0) {
        AlertPanel::run(text(kProblemLaunching), text(kProblemFinding).arg(found), text(kAhWell));
        return;
    }
    // A running main application hands the start over to itself and has shown the pane on the notification.
    const int started =
        Launcher::startDetached(Launcher::executableOf(path), {text(TND::kShowTimersArgument)});
    if (started != 0)
        AlertPanel::run(text(kProblemLaunching), text(kProblemStarting).arg(started), text(kAhWell));
}

void menuController::goAway() {
    if (!m_loginItems)
        m_loginItems = std::make_unique<LoginItems>(QCoreApplication::applicationFilePath());
    m_loginItems->remove();
    UserDefaults::standardUserDefaults().writeBack(
        [](QVariantMap &settings) { settings.insert(text(TND::kShowTindralMenuKey), false); },
        UserDefaults::WriteMode::OnlyIfFileExists);
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    center.post(text(TND::kWentAwayNote));
    // The notification must be on the bus before the program ends.
    center.waitForBus();
    QCoreApplication::quit();
}

void menuController::applicationWillTerminate() {
    if (m_statusItem)
        m_statusItem->remove();
}
