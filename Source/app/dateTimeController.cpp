#include "dateTimeController.h"

#include "ui_dateTimePane.h"

#include "Bundle.h"
#include "Clock.h"
#include "NotificationCenter.h"
#include "TNDClockTexts.h"
#include "TNDContract.h"
#include "TNDKestmoorDate.h"
#include "UserDefaults.h"

#include <QPixmap>
#include <QtDebug>

#include <cmath>
#include <optional>

namespace {

QString text(const char *contractName) {
    return QString::fromLatin1(contractName);
}

// The pictures' own names, read out by screen readers.
const char kMoonPictureName[] = "%1 moon, day %2";      // "Waxing Gibbous moon, day 11"
const char kNamedMoonPictureName[] = "%1, day %2";      // "Full Moon, day 15": the phase names the moon
const char kStarsPictureName[] = "Constellation of %1"; // the stars of a sign

// The pane shows the pictures at their pane size; the files of twice the density serve screens that have it.
const char kPaneSizeSuffix[] = "-64";
const char kDoubleDensitySuffix[] = "@2x";

QString moonPictureName(int lunarDay) {
    const QString phase = TNDClockTexts::lunarPhaseName(lunarDay);
    const char *format = phase.endsWith(QStringLiteral(" Moon")) ? kNamedMoonPictureName : kMoonPictureName;
    return QString::fromLatin1(format).arg(phase, QString::number(lunarDay));
}

// A period in whole seconds from a setting: 0, below 0 or absent would make a timer that spins.
int periodFromSetting(qint64 seconds) {
    if (seconds < 1)
        return 1;
    return seconds > dateTimeController::kLongestPeriod ? dateTimeController::kLongestPeriod : int(seconds);
}

} // namespace

dateTimeController::dateTimeController(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::dateTimePane>()) {
    m_ui->setupUi(this);
    setFixedSize(minimumSize());
    // The form's own picture, beside the sun's lines; nothing changes it afterwards.
    setPicture(m_ui->dawnDuskImage, QStringLiteral("dawnDusk"), m_ui->dawnDuskImage->accessibleName());
    m_timerLoop.setTimerType(Qt::PreciseTimer);
    connect(&m_timerLoop, &QTimer::timeout, this, [this] { redisplayDate(&m_timerLoop); });
    connect(&m_prefTimerLoop, &QTimer::timeout, this, [this] {
        if (m_kestmoorDate)
            m_kestmoorDate->refreshExtraPreferences();
    });
}

dateTimeController::~dateTimeController() {
    if (m_intervalObserver)
        NotificationCenter::defaultCenter().removeObserver(m_intervalObserver);
}

void dateTimeController::awakeFromNib() {
    m_kestmoorDate = TNDKestmoorDate::sharedDate();
    m_kestmoorDate->setDaylightSavings(3600.0);

    // The desktop clock's switches follow within five seconds.
    m_prefTimerLoop.start(kPreferencesPeriodMs);

    startTimerLoop(periodFromSetting(
        UserDefaults::standardUserDefaults().integerForKey(text(TND::kUpdateTimerIntervalKey))));
    redisplayDate(&m_timerLoop);

    m_intervalObserver = NotificationCenter::defaultCenter().addObserver(
        text(TND::kUpdateTimerIntervalNote),
        [this](const Notification &notification) { updateTimerInterval(notification.userInfo); }, this);
}

void dateTimeController::startTimerLoop(int seconds) {
    m_timerLoop.stop();
    m_timerLoop.start(seconds * 1000);
}

void dateTimeController::updateTimerInterval(const QVariantMap &userInfo) {
    // The preferences window sends 1, 3, 5 or 15. Anything else still gets a timer that cannot spin.
    const QVariant value = userInfo.value(text(TND::kUpdateIntervalInfoKey));
    std::optional<qint64> seconds;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        seconds = UserDefaults::integerValue(value);
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        if (std::isfinite(value.toDouble()))
            seconds = UserDefaults::integerValue(value);
        break;
    default:
        break;
    }

    int period = 1;
    const char *note = TND::kUpdateTimerIntervalNote;
    const char *key = TND::kUpdateIntervalInfoKey;
    if (!seconds) {
        qWarning("%s: \"%s\" is %s, not a number; the pane is redrawn every second", note, key,
                 value.isValid() ? value.typeName() : "missing");
    } else if (*seconds < 1) {
        qWarning("%s: \"%s\" %lld is not a period; the pane is redrawn every second", note, key,
                 static_cast<long long>(*seconds));
    } else {
        period = periodFromSetting(*seconds);
        if (period != *seconds)
            qWarning("%s: \"%s\" %lld is longer than a day; the pane is redrawn every %d s", note, key,
                     static_cast<long long>(*seconds), period);
    }
    // The pane keeps what it shows until the first tick of the new period.
    startTimerLoop(period);
}

void dateTimeController::setPicture(QLabel *view, const QString &name, const QString &accessibleName) {
    // A picture the resources lack leaves the view empty. On a screen of more than single density the
    // file of twice the density is taken, so the picture stays crisp.
    const bool dense = devicePixelRatioF() > 1.0;
    const QString shown = name + (dense ? QLatin1String(kDoubleDensitySuffix) : QLatin1String());
    const auto held = m_shownPictures.constFind(view);
    if (held != m_shownPictures.constEnd() && *held == shown)
        return;
    m_shownPictures.insert(view, shown);
    const Bundle bundle = Bundle::mainBundle();
    const QString base = name + QLatin1String(kPaneSizeSuffix);
    const QString single = bundle.pathForResource(base, QStringLiteral("png"));
    const QString twice =
        dense ? bundle.pathForResource(base + QLatin1String(kDoubleDensitySuffix), QStringLiteral("png"))
              : QString();
    QPixmap picture;
    if (!twice.isEmpty() && picture.load(twice))
        picture.setDevicePixelRatio(2.0);
    else if (single.isEmpty() || !picture.load(single))
        picture = QPixmap();
    view->setPixmap(picture);
    view->setAccessibleName(picture.isNull() ? QString() : accessibleName);
}

void dateTimeController::redisplayDate(QTimer *timer) {
    Q_UNUSED(timer);
    if (!m_kestmoorDate) // not awake yet: there is no clock to show
        return;
    TNDKestmoorDate &clock = *m_kestmoorDate;
    clock.refreshWithTimeFrom1970(Clock::now());
    // T and O are read anew from the user's settings at every redisplay.
    const TNDClockTexts texts = TNDClockTexts::withUserFormats(clock);
    // The date line is built before the events are refreshed.
    m_ui->dateTimeString->setText(texts.dateLine());
    clock.refreshAllOthers();

    const TNDClockTexts::SunLines sun = texts.sunLines(TNDClockTexts::Wording::Pane);
    m_ui->sunriseString->setText(sun.sunrise);
    m_ui->sunsetString->setText(sun.sunset);
    m_ui->tomorowSunriseString->setText(sun.tomorrowSunrise);
    m_ui->tomorrowSunsetString->setText(sun.tomorrowSunset);

    m_ui->zodiacString->setText(texts.zodiacDayLine());
    m_ui->nextZodiacString->setText(texts.zodiacNextLine());

    const QString sign = clock.zodiacSymbolString();
    const QString nextSign = clock.nextZodiacSymbolString();
    const QString stars = QString::fromLatin1(kStarsPictureName);
    setPicture(m_ui->zodiacSymbolImage, QStringLiteral("zodiacSymbol%1").arg(clock.zodiacSymbol()), sign);
    setPicture(m_ui->zodiacStarsImage, QStringLiteral("zodiacStars%1").arg(clock.zodiacSymbol()),
               stars.arg(sign));
    setPicture(m_ui->zodiacNextSymbolImage, QStringLiteral("zodiacSymbol%1").arg(clock.nextZodiacSymbol()),
               nextSign);
    setPicture(m_ui->zodiacNextStarsImage, QStringLiteral("zodiacStars%1").arg(clock.nextZodiacSymbol()),
               stars.arg(nextSign));

    m_ui->coliseumString->setText(texts.coliseumLine());

    const int lunarDay = clock.lundarDay();
    setPicture(m_ui->lunarImage, QStringLiteral("moon%1").arg(lunarDay), moonPictureName(lunarDay));
    m_ui->lundarDayString->setText(texts.lunarDayLine());
    m_ui->lundarNameString->setText(TNDClockTexts::lunarPhaseName(lunarDay));

    const TNDClockTexts::FullMoonLines moon = texts.fullMoonLines();
    m_ui->lunarFullMoonString->setText(moon.heading);
    m_ui->lunarNextFullMoonString->setText(moon.nextHeading);
    m_ui->fullMoonStartString->setText(moon.start);
    m_ui->fullMoonNoonString->setText(moon.noon);
    m_ui->fullMoonEndString->setText(moon.end);
    m_ui->nextFullMoonStartString->setText(moon.nextStart);
    m_ui->nextFullMoonNoonString->setText(moon.nextNoon);
    m_ui->nextFullMoonEndString->setText(moon.nextEnd);
}
