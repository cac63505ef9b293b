#include "toolbarItemList.h"

#include <QDataStream>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>

toolbarItemList::toolbarItemList(QWidget *parent)
    : QListWidget(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
}

QMimeData *toolbarItemList::dragDataForRow(int row) const {
    const QListWidgetItem *entry = item(row);
    if (!entry)
        return nullptr;
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << entry->data(kIdentifierRole).toString() << m_origin << qint32(row);
    auto *data = new QMimeData;
    data->setData(kMimeType, bytes);
    return data;
}

bool toolbarItemList::readDragData(const QMimeData *data, DraggedItem &item) {
    if (!data || !data->hasFormat(kMimeType))
        return false;
    QDataStream stream(data->data(kMimeType));
    qint32 row = -1;
    stream >> item.identifier >> item.origin >> row;
    item.row = row;
    return stream.status() == QDataStream::Ok && !item.identifier.isEmpty();
}

int toolbarItemList::dropRowAt(const QPoint &position) const {
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return count();
    const QRect rect = visualRect(index);
    const bool across = flow() == QListView::LeftToRight;
    const bool afterIt = across ? position.x() > rect.center().x() : position.y() > rect.center().y();
    return index.row() + (afterIt ? 1 : 0);
}

void toolbarItemList::startDrag(Qt::DropActions supportedActions) {
    Q_UNUSED(supportedActions)
    const QListWidgetItem *entry = currentItem();
    if (!entry || !(entry->flags() & Qt::ItemIsDragEnabled))
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(dragDataForRow(row(entry)));
    drag->setPixmap(entry->icon().pixmap(iconSize()));
    // Every drop is carried out by the sheet, never by Qt's removal of a moved row.
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void toolbarItemList::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasFormat(kMimeType))
        event->acceptProposedAction();
    else
        event->ignore();
}

void toolbarItemList::dragMoveEvent(QDragMoveEvent *event) {
    if (event->mimeData()->hasFormat(kMimeType)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void toolbarItemList::dropEvent(QDropEvent *event) {
    DraggedItem dragged;
    if (!readDragData(event->mimeData(), dragged)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // What QAbstractItemView's own drop would have ended with.
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    Q_EMIT itemDropped(dragged, dropRowAt(event->position().toPoint()));
}
