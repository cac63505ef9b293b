#pragma once

#include "toolbarItemList.h"

#include <QDialog>
#include <QStringList>

#include <memory>

class mainWindowController;

namespace Ui {
class customizeToolbar;
}

// The "Customize Toolbar…" sheet: the allowed items in a palette, the toolbar's items in order beside it.
// Items are added by dragging them from the palette into the toolbar's row, reordered by dragging them
// within it and removed by dragging them back to the palette; buttons do the same for those who do not drag.
// Each change goes to the toolbar at once, which saves it.
class customizeToolbarSheet : public QDialog {
    Q_OBJECT

public:
    customizeToolbarSheet(mainWindowController *controller, QWidget *parent = nullptr);
    ~customizeToolbarSheet() override;

    toolbarItemList *paletteList() const;
    toolbarItemList *itemList() const;

public Q_SLOTS:
    // The palette's selected item, after the toolbar's selected item or at the end.
    void addSelected();
    void removeSelected();
    void moveSelectedLeft();
    void moveSelectedRight();
    void restoreDefaults();

private:
    void fill();
    void change(QStringList identifiers, int selectedRow);
    void dropped(const toolbarItemList::DraggedItem &item, int row, const toolbarItemList *onto);
    void moveSelected(int step);
    void updateButtons();
    QListWidgetItem *entryFor(const QString &identifier) const;

    mainWindowController *m_controller;
    std::unique_ptr<Ui::customizeToolbar> m_ui;
};
