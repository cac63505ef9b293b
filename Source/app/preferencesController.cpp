#include "preferencesController.h"

#include "DistributedNotificationCenter.h"
#include "NotificationCenter.h"
#include "TNDContract.h"
#include "UserDefaults.h"
#include "companionLauncher.h"
#include "updateController.h"

#include "ui_preferencesWindow.h"

#include <QValidator>

#include <limits>

namespace {

QString text(const char *t) {
    return QString::fromUtf8(t);
}

// Whole numbers with an optional sign in the 32-bit range; a lone sign or nothing while the user types.
// Anything else is refused at the keyboard, so that a slip cannot quietly set the offset to 0.
class offsetValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override {
        if (input.isEmpty() || input == QLatin1String("-") || input == QLatin1String("+"))
            return Intermediate;
        const qsizetype start = input[0] == u'-' || input[0] == u'+' ? 1 : 0;
        for (qsizetype i = start; i < input.size(); ++i) {
            if (input[i] < u'0' || input[i] > u'9')
                return Invalid;
        }
        bool ok = false;
        input.toInt(&ok);
        return ok ? Acceptable : Invalid;
    }
};

} // namespace

preferencesController::preferencesController(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::preferencesWindow>()) {
    m_ui->setupUi(this);
    m_showTindralCheckbox = m_ui->showTindralCheckbox;
    m_timerEndNotificationsCheckbox = m_ui->timerEndNotificationsCheckbox;
    m_updateTimerPulldown = m_ui->updateTimerPulldown;
    m_icSecondsOffsetTextField = m_ui->icSecondsOffsetTextField;
    m_icSecondsOffsetTextField->setValidator(new offsetValidator(m_icSecondsOffsetTextField));
    m_updates = std::make_unique<updateController>(m_ui->checkNowButton, m_ui->oLastVersion, m_ui->oLastDate);

    // Only the user's clicks act: the announcements tick and untick the box without starting anything.
    connect(m_showTindralCheckbox, &QCheckBox::clicked, this, &preferencesController::showTindral);
    connect(m_timerEndNotificationsCheckbox, &QCheckBox::clicked, this,
            &preferencesController::timerEndNotifications);
    connect(m_updateTimerPulldown, &QComboBox::activated, this, &preferencesController::changeUpdateTimer);
    // The offset field acts on Return, which in this window is OK's key: OK applies the offset.
    connect(m_ui->oOkay, &QPushButton::clicked, this, &preferencesController::aOkay);
}

preferencesController::~preferencesController() = default;

void preferencesController::awakeFromNib() {
    if (m_awake)
        return;
    m_awake = true;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    m_showTindralCheckbox->setChecked(defaults.integerForKey(text(TND::kShowTindralMenuKey)) == 1);
    m_timerEndNotificationsCheckbox->setChecked(timerEndNotificationsOn());
    const qint64 index = defaults.integerForKey(text(TND::kUpdateTimerIndexKey));
    // An index the pull-down does not have leaves no entry selected.
    const bool known = index >= 0 && index < m_updateTimerPulldown->count();
    m_updateTimerPulldown->setCurrentIndex(known ? int(index) : -1);
    m_icSecondsOffsetTextField->setText(
        QString::number(defaults.integerForKey(text(TND::kICSecondsOffsetKey))));

    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    center.addObserver(
        text(TND::kTurnedOnNote), [this](const Notification &) { turnedOn(); }, this);
    center.addObserver(
        text(TND::kWentAwayNote), [this](const Notification &) { wentAway(); }, this);

    m_updates->awakeFromNib();
}

void preferencesController::runModal() {
    if (isVisible()) {
        // Already running: one modal loop is enough.
        raise();
        activateWindow();
        return;
    }
    exec();
}

bool preferencesController::isTindralMenuRunning() const {
    return m_showTindralCheckbox->isChecked();
}

int preferencesController::intervalForIndex(int index) {
    static constexpr int kSeconds[] = {1, 3, 5, 15};
    if (index < 0 || index >= int(std::size(kSeconds)))
        return 1;
    return kSeconds[index];
}

int preferencesController::leadingInteger(const QString &t) {
    qsizetype i = 0;
    while (i < t.size() && (t[i] == u' ' || t[i] == u'\t' || t[i] == u'\n'))
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    // Past the 32-bit range the value stays at its end, as the digits go on.
    constexpr qint64 kHigh = std::numeric_limits<int>::max();
    constexpr qint64 kLow = -qint64(std::numeric_limits<int>::min());
    const qint64 limit = negative ? kLow : kHigh;
    qint64 value = 0;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i)
        value = std::min(limit, value * 10 + (t[i].unicode() - u'0'));
    return int(negative ? -value : value);
}

void preferencesController::showTindral() {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (m_showTindralCheckbox->checkState() == Qt::Checked) {
        if (!companionLauncher::launch()) {
            // The alert has told why; the setting stays as it was.
            m_showTindralCheckbox->setChecked(false);
            return;
        }
        defaults.setIntegerForKey(1, text(TND::kShowTindralMenuKey));
        return;
    }
    DistributedNotificationCenter::defaultCenter().post(text(TND::kGoAwayNote));
    defaults.setIntegerForKey(0, text(TND::kShowTindralMenuKey));
}

bool preferencesController::timerEndNotificationsOn() {
    const QVariant value = UserDefaults::standardUserDefaults().objectForKey(text(TND::kTimerEndNoticesKey));
    return !value.isValid() || UserDefaults::integerValue(value) != 0;
}

void preferencesController::timerEndNotifications() {
    const qint64 on = m_timerEndNotificationsCheckbox->isChecked() ? 1 : 0;
    UserDefaults::standardUserDefaults().setIntegerForKey(on, text(TND::kTimerEndNoticesKey));
}

void preferencesController::turnedOn() {
    m_showTindralCheckbox->setChecked(true);
    UserDefaults::standardUserDefaults().setIntegerForKey(1, text(TND::kShowTindralMenuKey));
}

void preferencesController::wentAway() {
    m_showTindralCheckbox->setChecked(false);
    UserDefaults::standardUserDefaults().setIntegerForKey(0, text(TND::kShowTindralMenuKey));
}

void preferencesController::changeUpdateTimer() {
    const int index = m_updateTimerPulldown->currentIndex();
    const int seconds = intervalForIndex(index);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setIntegerForKey(index, text(TND::kUpdateTimerIndexKey));
    defaults.setIntegerForKey(seconds, text(TND::kUpdateTimerIntervalKey));
    const QVariantMap userInfo{{text(TND::kUpdateIntervalInfoKey), seconds}};
    DistributedNotificationCenter::defaultCenter().post(text(TND::kUpdateTimerIntervalNote), userInfo);
    NotificationCenter::defaultCenter().post(text(TND::kUpdateTimerIntervalNote), nullptr, userInfo);
}

void preferencesController::icSecondsOffset() {
    // The field keeps its text as typed; what is in force is its leading integer.
    const int offset = leadingInteger(m_icSecondsOffsetTextField->text());
    UserDefaults::standardUserDefaults().setIntegerForKey(offset, text(TND::kICSecondsOffsetKey));
    DistributedNotificationCenter::defaultCenter().post(text(TND::kUpdateICSecondsOffsetNote),
                                                        {{text(TND::kICSecondsOffsetInfoKey), offset}});
}

void preferencesController::aOkay() {
    icSecondsOffset();
    changeUpdateTimer();
    // Hiding the window ends its modal loop.
    accept();
}

void preferencesController::reject() {
    aOkay();
}
