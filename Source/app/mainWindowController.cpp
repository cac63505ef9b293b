#include "mainWindowController.h"

#include "Bundle.h"
#include "customizeToolbarSheet.h"
#include "toolbarItem.h"
#include "ui_loadPane.h"

#include <algorithm>
#include <array>

#include <QEventLoop>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPropertyAnimation>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

namespace {

const QString kToolbarIdentifier = QStringLiteral("mainToolbar");
const QString kIconName = QStringLiteral("tindral_icon");
const QString kIconType = QStringLiteral("png");

struct ItemText {
    const QString &identifier;
    QString label;
    QString toolTip;
    QByteArray action;
    QKeySequence shortcut;
};

// The four items in the order they are made and listed in the View menu.
const std::array<ItemText, 4> &itemTexts() {
    static const std::array<ItemText, 4> texts{{
        {mainWindowController::kDateTimeItem, QStringLiteral("Date/Time"),
         QStringLiteral("Displays the date/time and other information."), "activateDateTime",
         QKeySequence(Qt::CTRL | Qt::Key_1)},
        {mainWindowController::kCalendarItem, QStringLiteral("Calendar"),
         QStringLiteral("Displays a calendar."), "activateCalendar", QKeySequence(Qt::CTRL | Qt::Key_2)},
        {mainWindowController::kTimerAlertItem, QStringLiteral("Timers/Alerts"),
         QStringLiteral("Configure timers/alerts for specified times/events."), "activateTimerAlert",
         QKeySequence(Qt::CTRL | Qt::Key_3)},
        {mainWindowController::kConversionItem, QStringLiteral("Conversion"),
         QStringLiteral("Conversion utilities."), "activateConversion", QKeySequence(Qt::CTRL | Qt::Key_4)},
    }};
    return texts;
}

const QString kViewMenuTitle = QStringLiteral("&View");
const QString kCustomizeTitle = QStringLiteral("Customize Toolbar\u2026");
const QString kSmallSizeTitle = QStringLiteral("Use Small Size");
const QString kMoreItemsName = QStringLiteral("More Items");
const QString kSeparatorName = QStringLiteral("Separator");
const QString kSpaceName = QStringLiteral("Space");
const QString kFlexibleSpaceName = QStringLiteral("Flexible Space");
const QString kToolbarName = QStringLiteral("Panes");

} // namespace

void addToolbarItem(ToolbarItemDictionary &theDict, const QString &identifier, const QString &label,
                    const QString &paletteLabel, const QString &toolTip, QObject *target,
                    void (toolbarItem::*settingSelector)(const QIcon &), const QIcon &itemContent,
                    const QByteArray &action, QMenu *menu) {
    auto item = std::make_unique<toolbarItem>(identifier);
    item->setLabel(label);
    item->setPaletteLabel(paletteLabel);
    item->setToolTip(toolTip);
    item->setTarget(target);
    if (settingSelector)
        (item.get()->*settingSelector)(itemContent);
    item->setAction(action);
    if (menu) {
        auto *representation = new QAction(menu->title(), item.get());
        representation->setMenu(menu);
        item->setMenuFormRepresentation(representation);
    }
    theDict[identifier] = std::move(item);
}

mainWindowController::mainWindowController(QMainWindow *mainWindow, const Panes &panes,
                                           UserDefaults &defaults, QObject *parent)
    : QObject(parent)
    , m_mainWindow(mainWindow)
    , m_dateTimeWindow(panes.dateTime)
    , m_calendarWindow(panes.calendar)
    , m_timerAlertWindow(panes.timerAlert)
    , m_conversionWindow(panes.conversion)
    , m_shelf(std::make_unique<QWidget>())
    , m_loadUi(std::make_unique<Ui::loadPane>())
    , m_layout(defaults, toolbarAllowedItemIdentifiers(), {kSeparatorItem, kSpaceItem, kFlexibleSpaceItem},
               toolbarDefaultItemIdentifiers()) {
    m_shelf->setObjectName(QStringLiteral("paneShelf"));
    for (QWidget *pane : {m_dateTimeWindow, m_calendarWindow, m_timerAlertWindow, m_conversionWindow}) {
        Q_ASSERT(pane);
        m_paneSizes.insert(pane, pane->size());
        pane->setParent(m_shelf.get());
    }
    m_loadPane = new QWidget(m_shelf.get());
    m_loadUi->setupUi(m_loadPane);
    // The load pane takes whatever size the window passes through while it changes size.
    m_loadPane->setMinimumSize(0, 0);
    m_loadUi->loadImage->setMinimumSize(0, 0);
    m_loadUi->loadImage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

mainWindowController::~mainWindowController() {
    if (m_sheet)
        delete m_sheet;
    // The panes are the shelf's to destroy, not the window's.
    if (QWidget *shown = m_mainWindow->takeCentralWidget())
        shown->setParent(m_shelf.get());
}

QLabel *mainWindowController::loadImage() const {
    return m_loadUi->loadImage;
}

void mainWindowController::awakeFromNib() {
    m_toolbar = new QToolBar(kToolbarName, m_mainWindow);
    m_toolbar->setObjectName(kToolbarIdentifier);
    m_toolbar->setAccessibleName(kToolbarName);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->toggleViewAction()->setVisible(false);
    // Icon and label.
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // The button that shows the items a narrow window has no room for.
    if (QWidget *more = m_toolbar->findChild<QWidget *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(kMoreItemsName);

    const QIcon image(Bundle::mainBundle().pathForResource(kIconName, kIconType));
    for (const ItemText &text : itemTexts())
        addToolbarItem(m_toolbarItems, text.identifier, text.label, text.label, text.toolTip, this,
                       &toolbarItem::setImage, image, text.action, nullptr);

    const ToolbarLayout::Configuration configuration = m_layout.read();
    m_smallSize = configuration.smallSize;
    applySize();
    placeItems(configuration.itemIdentifiers);
    m_mainWindow->addToolBar(Qt::TopToolBarArea, m_toolbar);
    buildMenus();
}

void mainWindowController::buildMenus() {
    m_customizeAction = new QAction(kCustomizeTitle, this);
    m_customizeAction->setObjectName(QStringLiteral("customizeToolbarAction"));
    connect(m_customizeAction, &QAction::triggered, this, &mainWindowController::runCustomizationSheet);
    m_smallSizeAction = new QAction(kSmallSizeTitle, this);
    m_smallSizeAction->setObjectName(QStringLiteral("useSmallSizeAction"));
    m_smallSizeAction->setCheckable(true);
    m_smallSizeAction->setChecked(m_smallSize);
    connect(m_smallSizeAction, &QAction::toggled, this, &mainWindowController::setSmallSize);

    m_viewMenu = m_mainWindow->menuBar()->addMenu(kViewMenuTitle);
    m_viewMenu->setObjectName(QStringLiteral("viewMenu"));
    for (const ItemText &text : itemTexts()) {
        QAction *entry = m_viewMenu->addAction(text.label);
        entry->setObjectName(text.identifier + QStringLiteral("MenuItem"));
        entry->setShortcut(text.shortcut);
        const QByteArray action = text.action;
        connect(entry, &QAction::triggered, this,
                [this, action] { QMetaObject::invokeMethod(this, action.constData()); });
    }
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(m_smallSizeAction);
    m_viewMenu->addAction(m_customizeAction);

    m_contextMenu = new QMenu(m_toolbar);
    m_contextMenu->setObjectName(QStringLiteral("toolbarContextMenu"));
    m_contextMenu->addAction(m_smallSizeAction);
    m_contextMenu->addAction(m_customizeAction);
    m_toolbar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_toolbar, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_contextMenu->popup(m_toolbar->mapToGlobal(at)); });
}

toolbarItem *mainWindowController::toolbarItemForItemIdentifier(const QString &identifier,
                                                                bool willBeInsertedIntoToolbar) {
    Q_UNUSED(willBeInsertedIntoToolbar)
    auto *item = new toolbarItem(identifier);
    const toolbarItem *model = prototype(identifier);
    if (!model)
        return item;
    item->setLabel(model->label());
    item->setPaletteLabel(model->paletteLabel());
    item->setImage(model->image());
    item->setToolTip(model->toolTip());
    item->setTarget(model->target());
    item->setAction(model->action());
    item->setMenuFormRepresentation(model->menuFormRepresentation());
    return item;
}

QStringList mainWindowController::toolbarDefaultItemIdentifiers() {
    return {kFlexibleSpaceItem, kDateTimeItem,   kCalendarItem,
            kTimerAlertItem,    kConversionItem, kFlexibleSpaceItem};
}

QStringList mainWindowController::toolbarAllowedItemIdentifiers() {
    return {kDateTimeItem,  kCalendarItem, kTimerAlertItem,   kConversionItem,
            kSeparatorItem, kSpaceItem,    kFlexibleSpaceItem};
}

bool mainWindowController::validateToolbarItem(QAction *item) const {
    Q_UNUSED(item)
    return true;
}

bool mainWindowController::isSpacingItem(const QString &identifier) {
    return identifier == kSeparatorItem || identifier == kSpaceItem || identifier == kFlexibleSpaceItem;
}

const toolbarItem *mainWindowController::prototype(const QString &identifier) const {
    const auto found = m_toolbarItems.find(identifier);
    return found == m_toolbarItems.end() ? nullptr : found->second.get();
}

QStringList mainWindowController::toolbarItemIdentifiers() const {
    QStringList identifiers;
    if (m_toolbar)
        for (const QAction *item : m_toolbar->actions())
            identifiers << item->objectName();
    return identifiers;
}

void mainWindowController::placeItems(const QStringList &identifiers) {
    const QList<QAction *> old = m_toolbar->actions();
    m_toolbar->clear();
    for (QAction *item : old)
        item->deleteLater();

    for (const QString &identifier : identifiers) {
        QAction *placed = nullptr;
        if (identifier == kSeparatorItem) {
            placed = m_toolbar->addSeparator();
            if (QWidget *line = m_toolbar->widgetForAction(placed))
                line->setAccessibleName(kSeparatorName);
        } else if (identifier == kSpaceItem || identifier == kFlexibleSpaceItem) {
            auto *space = new QWidget;
            const bool flexible = identifier == kFlexibleSpaceItem;
            space->setAccessibleName(flexible ? kFlexibleSpaceName : kSpaceName);
            if (flexible)
                space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            else
                space->setFixedWidth(kSpaceWidth);
            placed = m_toolbar->addWidget(space);
        } else {
            toolbarItem *item = toolbarItemForItemIdentifier(identifier, true);
            item->setParent(m_toolbar);
            m_toolbar->addAction(item);
            item->setEnabled(validateToolbarItem(item));
            if (QWidget *button = m_toolbar->widgetForAction(item)) {
                button->setObjectName(identifier + QStringLiteral("Button"));
                button->setAccessibleName(item->label());
                button->setAccessibleDescription(item->toolTip());
            }
            placed = item;
        }
        placed->setObjectName(identifier);
    }
}

void mainWindowController::setToolbarItemIdentifiers(const QStringList &identifiers) {
    placeItems(m_layout.cleaned(identifiers));
    refitShownPane();
    save();
}

void mainWindowController::setSmallSize(bool small) {
    if (small == m_smallSize)
        return;
    m_smallSize = small;
    if (m_smallSizeAction)
        m_smallSizeAction->setChecked(small);
    applySize();
    refitShownPane();
    save();
}

void mainWindowController::applySize() {
    const int side = m_smallSize ? kSmallIconSize : kRegularIconSize;
    m_toolbar->setIconSize(QSize(side, side));
}

void mainWindowController::save() {
    m_layout.write({toolbarItemIdentifiers(), m_smallSize});
}

void mainWindowController::runCustomizationSheet() {
    if (m_sheet) {
        // Open already: brought forward rather than opened twice.
        m_sheet->raise();
        m_sheet->activateWindow();
        return;
    }
    m_sheet = new customizeToolbarSheet(this, m_mainWindow);
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet->open();
}

void mainWindowController::activateDateTime() {
    showPane(m_dateTimeWindow, kDateTimeItem);
}

void mainWindowController::activateCalendar() {
    showPane(m_calendarWindow, kCalendarItem);
}

void mainWindowController::activateTimerAlert() {
    showPane(m_timerAlertWindow, kTimerAlertItem);
}

void mainWindowController::activateConversion() {
    showPane(m_conversionWindow, kConversionItem);
}

void mainWindowController::showPane(QWidget *pane, const QString &identifier) {
    if (m_resizing) {
        // The last pane chosen while the window still changes size comes next.
        m_pendingPane = pane;
        m_pendingIdentifier = identifier;
        return;
    }
    checkToSetLoadImage(identifier);
    setContent(m_loadPane);
    smoothResize(m_paneSizes.value(pane));
    setContent(pane);
    if (QWidget *next = std::exchange(m_pendingPane, nullptr))
        showPane(next, std::exchange(m_pendingIdentifier, {}));
}

void mainWindowController::showPaneAtOnce(QWidget *pane) {
    // Measured with the load pane in, which takes whatever room the window gives it; a pane of fixed size
    // would not tell how much room that is.
    setContent(m_loadPane);
    const QPoint origin = m_mainWindow->pos();
    const int startWidth = m_mainWindow->width();
    const QSize target = windowSizeFor(m_paneSizes.value(pane));
    m_mainWindow->resize(target);
    m_mainWindow->move(keptOnScreen(origin.x() + (startWidth - target.width()) / 2, target.width()), origin.y());
    setContent(pane);
}

void mainWindowController::refitShownPane() {
    QWidget *shown = m_mainWindow->centralWidget();
    if (!shown || !m_paneSizes.contains(shown) || m_resizing)
        return;
    showPaneAtOnce(shown);
}

void mainWindowController::setContent(QWidget *content) {
    QWidget *old = m_mainWindow->centralWidget();
    if (old == content)
        return;
    if (old) {
        m_mainWindow->takeCentralWidget();
        old->setParent(m_shelf.get());
    }
    m_mainWindow->setCentralWidget(content);
    content->show();
}

QSize mainWindowController::windowSizeFor(const QSize &contentSize) {
    // What the menu bar, the toolbar and the window's own margins take is what the layout gives them now, at
    // the toolbar's present size.
    if (QLayout *layout = m_mainWindow->layout()) {
        layout->invalidate();
        layout->activate();
    }
    const QWidget *content = m_mainWindow->centralWidget();
    const QSize chrome = content ? m_mainWindow->size() - content->size() : QSize();
    return contentSize + chrome;
}

void mainWindowController::checkToSetLoadImage(const QString &toolbarString) {
    if (!m_toolbar)
        return;
    for (const QAction *item : m_toolbar->actions()) {
        if (item->objectName() != toolbarString)
            continue;
        const qreal ratio = m_loadPane->devicePixelRatioF();
        m_loadUi->loadImage->setPixmap(item->icon().pixmap(QSize(kLoadImageSize, kLoadImageSize), ratio));
        return;
    }
}

int mainWindowController::keptOnScreen(int x, int width) const {
    // The horizontal centre stays, but a window that fits its screen is not pushed past either side of it;
    // a window wider than the screen is left where the centre puts it.
    const QScreen *screen = m_mainWindow->screen();
    if (!screen)
        return x;
    const QRect room = screen->availableGeometry();
    if (width > room.width())
        return x;
    return std::clamp(x, room.left(), room.right() + 1 - width);
}

void mainWindowController::smoothResize(const QSize &paneSize) {
    const QSize start = m_mainWindow->size();
    const QSize target = windowSizeFor(paneSize);
    const QPoint origin = m_mainWindow->pos();
    const auto place = [this, origin, start](const QSize &size) {
        m_mainWindow->resize(size);
        m_mainWindow->move(keptOnScreen(origin.x() + (start.width() - size.width()) / 2, size.width()),
                           origin.y());
    };
    m_resizing = true;
    if (m_resizeDuration > 0 && start != target) {
        QPropertyAnimation animation(m_mainWindow, "size");
        animation.setDuration(m_resizeDuration);
        animation.setStartValue(start);
        animation.setEndValue(target);
        connect(&animation, &QVariantAnimation::valueChanged, this,
                [place](const QVariant &value) { place(value.toSize()); });
        QEventLoop loop;
        connect(&animation, &QAbstractAnimation::finished, &loop, &QEventLoop::quit);
        animation.start();
        if (animation.state() == QAbstractAnimation::Running)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // Whatever the animation's last step was, the window ends exactly at its new frame.
    place(target);
    m_resizing = false;
}
