#pragma once

#include "ToolbarLayout.h"
#include "customizeToolbarSheet.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;
class UserDefaults;
class toolbarItem;

namespace Ui {
class loadPane;
}

// The prototypes of the toolbar's items, by identifier; each placed item is a copy of one of them.
using ToolbarItemDictionary = std::map<QString, std::unique_ptr<toolbarItem>>;

// Makes one prototype toolbar item and stores it in theDict under identifier, in place of any item stored
// there before. settingSelector is applied to the new item with itemContent (here: its image); when menu is
// given, the item's menu form is an entry with menu as its submenu.
void addToolbarItem(ToolbarItemDictionary &theDict, const QString &identifier, const QString &label,
                    const QString &paletteLabel, const QString &toolTip, QObject *target,
                    void (toolbarItem::*settingSelector)(const QIcon &), const QIcon &itemContent,
                    const QByteArray &action, QMenu *menu);

// The main window's toolbar of panes and the pane switch. The four panes are handed over at construction and
// kept for the life of the controller: a pane taken out of the window waits, hidden, on a shelf of the
// controller's, so taking it out never destroys it. A pane's size is the size it has when handed over.
class mainWindowController : public QObject {
    Q_OBJECT

public:
    // Identifiers of the toolbar's items; they are stored in the settings file and must not change.
    static inline const QString kDateTimeItem = QStringLiteral("dateTime");
    static inline const QString kCalendarItem = QStringLiteral("calendar");
    static inline const QString kTimerAlertItem = QStringLiteral("timerAlert");
    static inline const QString kConversionItem = QStringLiteral("conversion");
    static inline const QString kSeparatorItem = QStringLiteral("NSToolbarSeparatorItem");
    static inline const QString kSpaceItem = QStringLiteral("NSToolbarSpaceItem");
    static inline const QString kFlexibleSpaceItem = QStringLiteral("NSToolbarFlexibleSpaceItem");

    static constexpr int kRegularIconSize = 32; // px, the toolbar's regular size
    static constexpr int kSmallIconSize = 24;   // px, "Use Small Size"
    static constexpr int kSpaceWidth = 32;      // px, the fixed space item
    static constexpr int kLoadImageSize = 64;   // px, the item's picture on the load pane

    struct Panes {
        QWidget *dateTime = nullptr;
        QWidget *calendar = nullptr;
        QWidget *timerAlert = nullptr;
        QWidget *conversion = nullptr;
    };

    mainWindowController(QMainWindow *mainWindow, const Panes &panes, UserDefaults &defaults,
                         QObject *parent = nullptr);
    ~mainWindowController() override;

    // Builds the toolbar, with the layout the user left in the settings file, and the View menu entries.
    void awakeFromNib();

    // Puts a pane into the window at once, the window fitted to it without animation (the start).
    void showPaneAtOnce(QWidget *pane);

    void checkToSetLoadImage(const QString &toolbarString);
    // Animated resize of the window so that its content area takes paneSize; the top edge and the
    // horizontal centre stay. The animation has finished when the call returns.
    void smoothResize(const QSize &paneSize);
    // The window's left edge for a width, so that a window that fits its screen stays on it.
    int keptOnScreen(int x, int width) const;

    // The toolbar's delegate.
    toolbarItem *toolbarItemForItemIdentifier(const QString &identifier, bool willBeInsertedIntoToolbar);
    static QStringList toolbarDefaultItemIdentifiers();
    static QStringList toolbarAllowedItemIdentifiers();
    bool validateToolbarItem(QAction *item) const;

    // The toolbar as the user arranges it; every change is saved at once.
    QStringList toolbarItemIdentifiers() const;
    void setToolbarItemIdentifiers(const QStringList &identifiers);
    bool smallSize() const { return m_smallSize; }
    void setSmallSize(bool small);
    // The label, palette label and image of an item, for the customisation sheet; nothing for the spacing.
    const toolbarItem *prototype(const QString &identifier) const;
    static bool isSpacingItem(const QString &identifier);
    static bool standsOnce(const QString &identifier) { return !isSpacingItem(identifier); }

    // Opens the customisation sheet over the window (window-modal, the call returns at once).
    void runCustomizationSheet();
    customizeToolbarSheet *customizationSheet() const { return m_sheet; }

    QMainWindow *mainWindow() const { return m_mainWindow; }
    QToolBar *toolbar() const { return m_toolbar; }
    QWidget *loadPane() const { return m_loadPane; }
    QLabel *loadImage() const;
    QMenu *viewMenu() const { return m_viewMenu; }
    QMenu *toolbarContextMenu() const { return m_contextMenu; }
    QAction *customizeAction() const { return m_customizeAction; }
    QSize paneSize(QWidget *pane) const { return m_paneSizes.value(pane); }

    // How long the animated resize lasts; 0 resizes at once.
    void setResizeDuration(int msecs) { m_resizeDuration = msecs; }

public Q_SLOTS:
    void activateDateTime();
    void activateCalendar();
    void activateTimerAlert();
    void activateConversion();

private:
    void showPane(QWidget *pane, const QString &identifier);
    void setContent(QWidget *content);
    QSize windowSizeFor(const QSize &contentSize);
    void placeItems(const QStringList &identifiers);
    void applySize();
    void refitShownPane();
    void save();
    void buildMenus();

    QMainWindow *m_mainWindow;
    QWidget *m_dateTimeWindow;
    QWidget *m_calendarWindow;
    QWidget *m_timerAlertWindow;
    QWidget *m_conversionWindow;
    std::unique_ptr<QWidget> m_shelf; // never shown; holds the panes out of the window
    QWidget *m_loadPane = nullptr;
    std::unique_ptr<Ui::loadPane> m_loadUi;
    QHash<QWidget *, QSize> m_paneSizes;

    QToolBar *m_toolbar = nullptr;
    ToolbarItemDictionary m_toolbarItems;
    ToolbarLayout m_layout;
    bool m_smallSize = false;

    QMenu *m_viewMenu = nullptr;
    QMenu *m_contextMenu = nullptr;
    QAction *m_customizeAction = nullptr;
    QAction *m_smallSizeAction = nullptr;
    QPointer<customizeToolbarSheet> m_sheet;

    int m_resizeDuration = 200;
    bool m_resizing = false;
    QWidget *m_pendingPane = nullptr; // a pane chosen while the window was still changing size
    QString m_pendingIdentifier;
};
