#include "timerController.h"

#include "ui_timerAlertPane.h"

#include "AlertPanel.h"
#include "Clock.h"
#include "ColorArchive.h"
#include "DistributedNotificationCenter.h"
#include "PropertyList.h"
#include "TNDContract.h"
#include "TNDTimerRecord.h"
#include "TimerRecordCheck.h"
#include "UserDefaults.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The controls' values when no timer is selected.
constexpr char kUntitledTimer[] = "Untitled Timer";
constexpr int kTransparencySteps = 100; // the slider's range, 0 to 1 in hundredths

constexpr char kColorDialogTitle[] = "Timer Window Colour";
constexpr char kColorDescription[] = "%1, opacity %2";
constexpr char kListFullTitle[] = "No more timers";
constexpr char kListFullMessage[] =
    "The list holds %1 timers, the most the menu bar companion runs at once. Delete one to add another.";
constexpr char kListFullButton[] = "OK";

constexpr char kStoredListUnusableMessage[] =
    "The settings file's \"%s\" is %s, not a list of timer records; the timer list starts empty";
constexpr char kStoredRecordKeptMessage[] =
    "The settings file's \"%s\" entry %lld cannot be read: %s; it keeps its row as a timer that does not run";
constexpr char kDoneTimerIgnoredMessage[] = "%s ignored: %s";
constexpr char kUnreadableRowProblem[] = "row %1 holds an entry of the settings file that could not be read";
// The status line, when the companion started from a list other than the one shown.
constexpr char kListReloadedStatus[] = "Timer list reloaded: it was changed outside this window.";

QString text(const char *latin1) {
    return QString::fromLatin1(latin1);
}

// The user info's rowIndex as a number, or nothing with the problem.
std::optional<qint64> rowIndexOf(const QVariantMap &userInfo, QString *problem) {
    const auto found = userInfo.constFind(text(TND::kRowIndexKey));
    if (found == userInfo.cend()) {
        *problem = QStringLiteral("it has no \"%1\"").arg(text(TND::kRowIndexKey));
        return std::nullopt;
    }
    switch (found->typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return found->toLongLong();
    case QMetaType::ULongLong:
        return qint64(std::min<quint64>(found->toULongLong(), quint64(std::numeric_limits<qint64>::max())));
    default:
        *problem = QStringLiteral("its \"%1\" is %2, not an integer")
                       .arg(text(TND::kRowIndexKey), PropertyList::kindOf(*found));
        return std::nullopt;
    }
}

// A record's totalSeconds as the whole seconds the duration view counts.
uint32_t wholeSeconds(const QString &totalSeconds) {
    const std::optional<double> value = TNDTimerRecord::decimalValue(totalSeconds);
    if (!value || *value <= 0)
        return 0;
    return uint32_t(std::min(std::floor(*value), double(std::numeric_limits<uint32_t>::max())));
}

timerController::ColorChooser &colorChooser() {
    static timerController::ColorChooser installed;
    return installed;
}

} // namespace

timerController::timerController(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::timerAlertPane>()) {
    m_ui->setupUi(this);
    m_columnIdentifiers = m_ui->oTable->property("columnIdentifiers").toStringList();
    m_ui->oChange->setEnabled(false);
    m_ui->oDelete->setEnabled(false);

    showStepperArrowsOnly();
    setStepperValue(m_ui->oTimerField->totalSeconds());
    setWindowColor(m_windowColor);

    connect(m_ui->oAdd, &QPushButton::clicked, this, &timerController::aAdd);
    connect(m_ui->oChange, &QPushButton::clicked, this, &timerController::aChange);
    connect(m_ui->oDelete, &QPushButton::clicked, this, &timerController::aDelete);
    connect(m_ui->oStepper, &QSpinBox::valueChanged, this, &timerController::aStepper);
    connect(m_ui->oColor, &QToolButton::clicked, this, &timerController::chooseColor);
    connect(m_ui->oTitle, &QLineEdit::returnPressed, this, &timerController::returnInTitle);
    connect(m_ui->oTransparency, &QSlider::valueChanged, this, [this] { setWindowColor(m_windowColor); });
    connect(m_ui->oTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_reloading)
            tableViewSelectionDidChange();
    });
    m_ui->oTable->installEventFilter(this);
}

timerController::~timerController() = default;

void timerController::awakeFromNib() {
    m_ui->oDelete->setEnabled(false);
    m_ui->oChange->setEnabled(false);
    loadTimerArray();
    reloadData();
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    center.addObserver(
        text(TND::kDoneTimerNote), [this](const Notification &note) { doneTimer(note.userInfo); }, this);
    center.addObserver(
        text(TND::kTurnedOnNote), [this](const Notification &) { turnedOn(); }, this);
}

// An entry that cannot be read keeps its row, as the companion keeps its place, so that every later position
// names the same timer in both programs.
void timerController::loadTimerArray() {
    m_timerArray.clear();
    m_unreadable.clear();
    const std::optional<QVariantMap> settings = UserDefaults::standardUserDefaults().dictionary();
    if (!settings)
        return;
    const QVariant stored = settings->value(text(TND::kTimerArrayKey));
    if (!stored.isValid())
        return;
    if (stored.typeId() != QMetaType::QVariantList) {
        qWarning(kStoredListUnusableMessage, TND::kTimerArrayKey, qPrintable(PropertyList::kindOf(stored)));
        return;
    }
    const QVariantList records = stored.toList();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QVariant &entry = records[i];
        QString problem;
        if (entry.typeId() != QMetaType::QVariantMap) {
            problem = QStringLiteral("it is %1, not a timer record").arg(PropertyList::kindOf(entry));
        } else {
            const TimerRecordCheck::Result read = TimerRecordCheck::read(entry.toMap());
            if (!read.record)
                problem = read.problem;
        }
        m_timerArray.append(entry.toMap());
        m_unreadable.append(problem.isEmpty() ? QVariant() : entry);
        if (!problem.isEmpty())
            qWarning(kStoredRecordKeptMessage, TND::kTimerArrayKey, qlonglong(i), qPrintable(problem));
    }
    markEndsPassedMeanwhile(settings->value(text(TND::kTimerEndsKey)).toList());
}

// A timer that ended while the editor was closed: the companion told of it to no one, and keeps its end in
// the file until the list marks it done.
void timerController::markEndsPassedMeanwhile(const QVariantList &ends) {
    const double now = Clock::now();
    bool marked = false;
    for (qsizetype i = 0; i < std::min(ends.size(), m_timerArray.size()); ++i) {
        const QVariant &end = ends[i];
        const bool moment = end.typeId() == QMetaType::Double || end.typeId() == QMetaType::LongLong;
        if (!moment || !(end.toDouble() <= now) || m_unreadable[i].isValid())
            continue;
        const QString done = QString(QChar(TNDTimerRecord::kDoneMark));
        if (m_timerArray[i].value(text(TND::kDoneKey)).toString() == done)
            continue;
        m_timerArray[i].insert(text(TND::kDoneKey), done);
        marked = true;
    }
    if (marked)
        saveTimers();
}

QVariantList timerController::storedTimerArray() const {
    QVariantList list;
    list.reserve(m_timerArray.size());
    for (qsizetype i = 0; i < m_timerArray.size(); ++i)
        list.append(m_unreadable[i].isValid() ? m_unreadable[i] : QVariant(m_timerArray[i]));
    return list;
}

void timerController::saveTimers() {
    m_saved = UserDefaults::standardUserDefaults().setObjectForKey(storedTimerArray(),
                                                                   text(TND::kTimerArrayKey)) ==
              UserDefaults::WriteOutcome::Written;
}

void timerController::turnedOn() {
    // A list that could not be written is still the user's latest: the file gets it now, not the reverse.
    if (!m_saved) {
        saveTimers();
        return;
    }
    QVariant stored = UserDefaults::standardUserDefaults().objectForKey(text(TND::kTimerArrayKey));
    if (!stored.isValid())
        stored = QVariantList();
    // Compared as the file writes them, so that 1 and true, or an integer and a real, stay apart.
    if (PropertyList::toXml(stored) == PropertyList::toXml(storedTimerArray()))
        return;
    loadTimerArray();
    m_reloading = true;
    m_ui->oTable->clearSelection();
    m_reloading = false;
    reloadData();
    tableViewSelectionDidChange();
    m_ui->statusLine->setText(text(kListReloadedStatus));
}

QString timerController::statusText() const {
    return m_ui->statusLine->text();
}

QVariantMap timerController::recordFromControls(qsizetype rowIndex) const {
    const double transparency = double(m_ui->oTransparency->value()) / kTransparencySteps;
    return TNDTimerRecord::fromParts(m_ui->oTitle->text(), m_ui->oTimerField->totalSeconds(), icSelected(),
                                     ColorArchive::archivedData(m_windowColor), transparency, rowIndex)
        .toMap();
}

// The IC cell is the one titled with the record key it sets.
bool timerController::icSelected() const {
    const QList<QRadioButton *> cells = m_ui->oICOOC->findChildren<QRadioButton *>();
    for (const QRadioButton *cell : cells) {
        if (cell->isChecked())
            return cell->text() == text(TND::kIcKey);
    }
    return false;
}

QString timerController::transparencyString() const {
    return QString::number(double(m_ui->oTransparency->value()) / kTransparencySteps);
}

void timerController::aAdd() {
    if (m_timerArray.size() >= TND::kMaxTimers) {
        AlertPanel::run(text(kListFullTitle), text(kListFullMessage).arg(TND::kMaxTimers),
                        text(kListFullButton));
        return;
    }
    const QVariantMap record = recordFromControls(m_timerArray.size());
    m_timerArray.append(record);
    m_unreadable.append(QVariant());
    m_ui->statusLine->clear();
    saveTimers();
    reloadData();
    selectRow(int(m_timerArray.size()) - 1);
    DistributedNotificationCenter::defaultCenter().post(text(TND::kAddTimerNote), record);
}

void timerController::aChange() {
    const int row = selectedRow();
    if (row < 0 || row >= m_timerArray.size())
        return;
    const QVariantMap record = recordFromControls(row);
    m_timerArray[row] = record;
    m_unreadable[row] = QVariant();
    m_ui->statusLine->clear();
    saveTimers();
    DistributedNotificationCenter::defaultCenter().post(
        text(TND::kChangeTimerNote),
        {{text(TND::kTimerInfoKey), record}, {text(TND::kRowIndexKey), qint64(row)}});
    reloadData();
}

void timerController::aDelete() {
    const int row = selectedRow();
    if (row < 0 || row >= m_timerArray.size())
        return;
    m_timerArray.removeAt(row);
    m_unreadable.removeAt(row);
    m_ui->statusLine->clear();
    saveTimers();
    reloadData();
    if (selectedRow() < 0 && !m_timerArray.isEmpty()) {
        m_reloading = true;
        selectRow(int(m_timerArray.size()) - 1);
        m_reloading = false;
    }
    // The selection may stay on the same row, which now holds the next timer: the controls show that one,
    // so that a Change never writes the deleted timer's values over it.
    tableViewSelectionDidChange();
    DistributedNotificationCenter::defaultCenter().post(text(TND::kRemoveTimerNote),
                                                        {{text(TND::kRowIndexKey), qint64(row)}});
}

void timerController::aStepper() {
    const int64_t step = m_ui->oTimerField->increaseBy();
    const int64_t value = m_ui->oStepper->value(); // [0, maximum]
    const int64_t total = m_ui->oTimerField->totalSeconds();
    if (value != total) {
        // One click moved the stepper one away from the duration; it moves the duration one step instead.
        const int64_t wanted = value < total ? value - step + 1 : value + step - 1;
        {
            const QSignalBlocker blocker(m_ui->oStepper);
            m_ui->oStepper->setValue(int(std::clamp<int64_t>(wanted, std::numeric_limits<int>::min(),
                                                             std::numeric_limits<int>::max())));
        }
        // Read back, so that the stepper's range holds the duration: never below 00:00:00.
        m_ui->oTimerField->setTotalSeconds(uint32_t(m_ui->oStepper->value()));
    }
    m_ui->oTimerField->update();
}

void timerController::doneTimer(const QVariantMap &userInfo) {
    QString problem;
    const std::optional<qint64> row = rowIndexOf(userInfo, &problem);
    if (!row) {
        qWarning(kDoneTimerIgnoredMessage, TND::kDoneTimerNote, qPrintable(problem));
        return;
    }
    if (const std::optional<QString> outside = TNDTimerRecord::rowIndexProblem(*row, m_timerArray.size())) {
        qWarning(kDoneTimerIgnoredMessage, TND::kDoneTimerNote, qPrintable(*outside));
        return;
    }
    if (m_unreadable[*row].isValid()) {
        qWarning(kDoneTimerIgnoredMessage, TND::kDoneTimerNote,
                 qPrintable(text(kUnreadableRowProblem).arg(*row)));
        return;
    }
    m_timerArray[*row].insert(text(TND::kDoneKey), QString(QChar(TNDTimerRecord::kDoneMark)));
    saveTimers();
    reloadData();
}

int timerController::numberOfRowsInTableView() const {
    return int(m_timerArray.size());
}

QVariant timerController::tableViewObjectValueForTableColumnRow(const QString &columnIdentifier,
                                                                int row) const {
    if (row < 0 || row >= m_timerArray.size())
        return {};
    return m_timerArray[row].value(columnIdentifier);
}

bool timerController::tableViewShouldEditTableColumnRow(const QString &, int) const {
    return false;
}

void timerController::tableViewSelectionDidChange() {
    const int row = selectedRow();
    std::optional<TimerRecordCheck::Result> read;
    if (row >= 0 && row < m_timerArray.size())
        read = TimerRecordCheck::read(m_timerArray[row]);
    // Nothing selected, or an entry of the settings file that could not be read: the defaults, the row still
    // deletable and changeable into a timer that runs.
    if (!read || !read->record) {
        m_ui->oDelete->setEnabled(row >= 0);
        m_ui->oChange->setEnabled(row >= 0);
        setWindowColor(Qt::white);
        m_ui->oTransparency->setValue(kDefaultTransparency);
        m_ui->oTitle->setText(text(kUntitledTimer));
        m_ui->oTimerField->setTotalSeconds(0);
        setStepperValue(0);
        m_ui->icCell->setChecked(true);
        return;
    }
    const TNDTimerRecord &record = *read->record;
    m_ui->oDelete->setEnabled(true);
    m_ui->oChange->setEnabled(true);
    setWindowColor(read->windowColor);
    m_ui->oTransparency->setValue(int(std::lround(record.opacity() * kTransparencySteps)));
    m_ui->oTitle->setText(record.title());
    const uint32_t seconds = wholeSeconds(record.totalSeconds());
    m_ui->oTimerField->setTotalSeconds(seconds);
    setStepperValue(seconds);
    if (record.ic())
        m_ui->icCell->setChecked(true);
    else
        m_ui->oocCell->setChecked(true);
}

void timerController::setWindowColor(const QColor &color) {
    m_windowColor = color;
    const QSize size = m_ui->oColor->iconSize();
    QPixmap swatch(size);
    swatch.fill(color);
    QPainter painter(&swatch);
    painter.setPen(QColor(Qt::gray));
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    m_ui->oColor->setIcon(QIcon(swatch));
    m_ui->oColor->setAccessibleDescription(text(kColorDescription).arg(color.name(), transparencyString()));
}

void timerController::setColorChooser(ColorChooser chooser) {
    colorChooser() = std::move(chooser);
}

void timerController::chooseColor() {
    std::optional<QColor> chosen;
    if (colorChooser()) {
        chosen = colorChooser()(m_windowColor, this);
    } else {
        const QColor color = QColorDialog::getColor(m_windowColor, this, text(kColorDialogTitle));
        if (color.isValid())
            chosen = color;
    }
    if (chosen && chosen->isValid())
        setWindowColor(*chosen);
}

void timerController::returnInTitle() {
    if (selectedRow() < 0)
        aAdd();
    else
        aChange();
}

bool timerController::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_ui->oTable && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && selectedRow() >= 0) {
            aDelete();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

int timerController::selectedRow() const {
    const QModelIndexList rows = m_ui->oTable->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void timerController::selectRow(int row) {
    m_ui->oTable->selectRow(row);
}

void timerController::reloadData() {
    m_reloading = true;
    QTableWidget *table = m_ui->oTable;
    table->setRowCount(numberOfRowsInTableView());
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            const QString identifier = m_columnIdentifiers.value(column);
            QTableWidgetItem *item = table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
                if (tableViewShouldEditTableColumnRow(identifier, row))
                    flags |= Qt::ItemIsEditable;
                item->setFlags(flags);
                table->setItem(row, column, item);
            }
            item->setText(tableViewObjectValueForTableColumnRow(identifier, row).toString());
        }
    }
    m_reloading = false;
}

// The stepper is its arrows only: the duration view shows the value, and typed digits would jump the
// duration by more than one step.
void timerController::showStepperArrowsOnly() {
    QSpinBox *stepper = m_ui->oStepper;
    if (auto *editor = stepper->findChild<QLineEdit *>()) {
        editor->setReadOnly(true);
        QPalette palette = editor->palette();
        palette.setColor(QPalette::Text, Qt::transparent);
        palette.setColor(QPalette::HighlightedText, Qt::transparent);
        palette.setColor(QPalette::Highlight, Qt::transparent);
        editor->setPalette(palette);
    }
    QStyleOptionSpinBox option;
    option.initFrom(stepper);
    option.rect = QRect(QPoint(0, 0), stepper->maximumSize());
    option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
    option.frame = stepper->hasFrame();
    option.buttonSymbols = stepper->buttonSymbols();
    const QRect up =
        stepper->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, stepper);
    if (up.isValid())
        stepper->setFixedWidth(option.rect.width() - up.left());
}

void timerController::setStepperValue(uint32_t value) {
    const QSignalBlocker blocker(m_ui->oStepper);
    m_ui->oStepper->setValue(int(std::min<uint32_t>(value, uint32_t(std::numeric_limits<int>::max()))));
}
