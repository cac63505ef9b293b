#include "customizeToolbarSheet.h"

#include "mainWindowController.h"
#include "toolbarItem.h"
#include "ui_customizeToolbar.h"

#include <QCheckBox>
#include <QPainter>
#include <QPushButton>

namespace {

QString spacingLabel(const QString &identifier) {
    if (identifier == mainWindowController::kSeparatorItem)
        return QStringLiteral("Separator");
    if (identifier == mainWindowController::kSpaceItem)
        return QStringLiteral("Space");
    return QStringLiteral("Flexible Space");
}

// A picture for a spacing item, drawn in the palette's text colour: a line for the separator, a dashed box
// for the space, and a dashed box with arrows to both sides for the flexible space.
QIcon spacingIcon(const QString &identifier, const QColor &ink) {
    const int side = 32;
    QPixmap picture(side * 2, side * 2);
    picture.setDevicePixelRatio(2.0);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(ink, 1.5);
    if (identifier == mainWindowController::kSeparatorItem) {
        painter.setPen(pen);
        painter.drawLine(QPointF(side / 2.0, 4), QPointF(side / 2.0, side - 4));
    } else {
        pen.setStyle(Qt::DashLine);
        painter.setPen(pen);
        painter.drawRect(QRectF(4, 8, side - 8, side - 16));
        if (identifier == mainWindowController::kFlexibleSpaceItem) {
            pen.setStyle(Qt::SolidLine);
            painter.setPen(pen);
            const qreal y = side / 2.0;
            painter.drawLine(QPointF(8, y), QPointF(side - 8, y));
            painter.drawLine(QPointF(8, y), QPointF(12, y - 3));
            painter.drawLine(QPointF(8, y), QPointF(12, y + 3));
            painter.drawLine(QPointF(side - 8, y), QPointF(side - 12, y - 3));
            painter.drawLine(QPointF(side - 8, y), QPointF(side - 12, y + 3));
        }
    }
    return QIcon(picture);
}

} // namespace

customizeToolbarSheet::customizeToolbarSheet(mainWindowController *controller, QWidget *parent)
    : QDialog(parent)
    , m_controller(controller)
    , m_ui(std::make_unique<Ui::customizeToolbar>()) {
    m_ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    paletteList()->setOrigin(toolbarItemList::kPaletteOrigin);
    itemList()->setOrigin(toolbarItemList::kToolbarOrigin);
    m_ui->smallSizeCheck->setChecked(m_controller->smallSize());

    connect(m_ui->addButton, &QPushButton::clicked, this, &customizeToolbarSheet::addSelected);
    connect(m_ui->removeButton, &QPushButton::clicked, this, &customizeToolbarSheet::removeSelected);
    connect(m_ui->moveLeftButton, &QPushButton::clicked, this, &customizeToolbarSheet::moveSelectedLeft);
    connect(m_ui->moveRightButton, &QPushButton::clicked, this, &customizeToolbarSheet::moveSelectedRight);
    connect(m_ui->restoreDefaultsButton, &QPushButton::clicked, this,
            &customizeToolbarSheet::restoreDefaults);
    connect(m_ui->doneButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->smallSizeCheck, &QCheckBox::toggled, m_controller, &mainWindowController::setSmallSize);
    for (toolbarItemList *list : {paletteList(), itemList()}) {
        connect(
            list, &toolbarItemList::itemDropped, this,
            [this, list](const toolbarItemList::DraggedItem &item, int row) { dropped(item, row, list); });
        connect(list, &QListWidget::itemSelectionChanged, this, &customizeToolbarSheet::updateButtons);
    }
    fill();
}

customizeToolbarSheet::~customizeToolbarSheet() = default;

toolbarItemList *customizeToolbarSheet::paletteList() const {
    return m_ui->paletteList;
}

toolbarItemList *customizeToolbarSheet::itemList() const {
    return m_ui->itemList;
}

QListWidgetItem *customizeToolbarSheet::entryFor(const QString &identifier) const {
    auto *entry = new QListWidgetItem;
    entry->setData(toolbarItemList::kIdentifierRole, identifier);
    if (const toolbarItem *model = m_controller->prototype(identifier)) {
        entry->setText(model->paletteLabel());
        entry->setIcon(model->image());
        entry->setToolTip(model->toolTip());
    } else {
        entry->setText(spacingLabel(identifier));
        entry->setIcon(spacingIcon(identifier, palette().color(QPalette::WindowText)));
    }
    return entry;
}

void customizeToolbarSheet::fill() {
    const QStringList placed = m_controller->toolbarItemIdentifiers();
    const int paletteRow = paletteList()->currentRow();
    paletteList()->clear();
    for (const QString &identifier : mainWindowController::toolbarAllowedItemIdentifiers()) {
        QListWidgetItem *entry = entryFor(identifier);
        // An item that stands once is already in the toolbar: it is moved there, not added again.
        if (mainWindowController::standsOnce(identifier) && placed.contains(identifier))
            entry->setFlags(entry->flags() & ~(Qt::ItemIsDragEnabled | Qt::ItemIsEnabled));
        paletteList()->addItem(entry);
    }
    if (paletteRow >= 0 && paletteRow < paletteList()->count())
        paletteList()->setCurrentRow(paletteRow);
    itemList()->clear();
    for (const QString &identifier : placed)
        itemList()->addItem(entryFor(identifier));
    updateButtons();
}

void customizeToolbarSheet::change(QStringList identifiers, int selectedRow) {
    m_controller->setToolbarItemIdentifiers(identifiers);
    fill();
    if (selectedRow >= 0 && selectedRow < itemList()->count())
        itemList()->setCurrentRow(selectedRow);
    updateButtons();
}

void customizeToolbarSheet::updateButtons() {
    const QListWidgetItem *chosen = paletteList()->currentItem();
    m_ui->addButton->setEnabled(chosen && (chosen->flags() & Qt::ItemIsEnabled));
    const int row = itemList()->currentRow();
    const bool selected = row >= 0 && itemList()->currentItem() && itemList()->currentItem()->isSelected();
    m_ui->removeButton->setEnabled(selected);
    m_ui->moveLeftButton->setEnabled(selected && row > 0);
    m_ui->moveRightButton->setEnabled(selected && row + 1 < itemList()->count());
}

void customizeToolbarSheet::addSelected() {
    const QListWidgetItem *chosen = paletteList()->currentItem();
    if (!chosen || !(chosen->flags() & Qt::ItemIsEnabled))
        return;
    QStringList identifiers = m_controller->toolbarItemIdentifiers();
    const int selected = itemList()->currentRow();
    const int row = selected >= 0 ? selected + 1 : identifiers.size();
    identifiers.insert(row, chosen->data(toolbarItemList::kIdentifierRole).toString());
    change(identifiers, row);
}

void customizeToolbarSheet::removeSelected() {
    const int row = itemList()->currentRow();
    QStringList identifiers = m_controller->toolbarItemIdentifiers();
    if (row < 0 || row >= identifiers.size())
        return;
    identifiers.removeAt(row);
    change(identifiers, qMin(row, int(identifiers.size()) - 1));
}

void customizeToolbarSheet::moveSelectedLeft() {
    moveSelected(-1);
}

void customizeToolbarSheet::moveSelectedRight() {
    moveSelected(1);
}

void customizeToolbarSheet::moveSelected(int step) {
    const int row = itemList()->currentRow();
    QStringList identifiers = m_controller->toolbarItemIdentifiers();
    const int to = row + step;
    if (row < 0 || row >= identifiers.size() || to < 0 || to >= identifiers.size())
        return;
    identifiers.move(row, to);
    change(identifiers, to);
}

void customizeToolbarSheet::restoreDefaults() {
    change(mainWindowController::toolbarDefaultItemIdentifiers(), -1);
}

void customizeToolbarSheet::dropped(const toolbarItemList::DraggedItem &item, int row,
                                    const toolbarItemList *onto) {
    QStringList identifiers = m_controller->toolbarItemIdentifiers();
    const bool fromToolbar = item.origin == toolbarItemList::kToolbarOrigin;
    const bool stillThere =
        item.row >= 0 && item.row < identifiers.size() && identifiers[item.row] == item.identifier;
    if (fromToolbar && !stillThere)
        return; // the toolbar changed since the drag began
    if (onto == paletteList()) {
        // Dragged out of the toolbar: removed. From the palette onto the palette: nothing.
        if (fromToolbar) {
            identifiers.removeAt(item.row);
            change(identifiers, -1);
        }
        return;
    }
    if (!mainWindowController::toolbarAllowedItemIdentifiers().contains(item.identifier))
        return;
    int from = fromToolbar ? item.row : -1;
    if (!fromToolbar && mainWindowController::standsOnce(item.identifier))
        from = identifiers.indexOf(item.identifier); // already placed: the drop moves it
    row = qBound(0, row, int(identifiers.size()));
    if (from >= 0) {
        identifiers.removeAt(from);
        if (from < row)
            --row;
    }
    identifiers.insert(row, item.identifier);
    change(identifiers, row);
}
