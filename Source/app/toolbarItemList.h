#pragma once

#include <QListWidget>
#include <QString>

class QMimeData;

// A list of toolbar items in the customisation sheet (the palette of allowed items, or the toolbar's own
// items) from which items are dragged and onto which they are dropped. The list only reports what was
// dropped where; the sheet decides what a drop means.
class toolbarItemList : public QListWidget {
    Q_OBJECT

public:
    // What a dragged item carries: its identifier, and the list and row it came from.
    static inline const QString kMimeType = QStringLiteral("application/x-tindral-toolbar-item");
    static inline const QString kPaletteOrigin = QStringLiteral("palette");
    static inline const QString kToolbarOrigin = QStringLiteral("toolbar");
    static constexpr int kIdentifierRole = Qt::UserRole;

    struct DraggedItem {
        QString identifier;
        QString origin;
        int row = -1;
    };

    explicit toolbarItemList(QWidget *parent = nullptr);

    // kPaletteOrigin or kToolbarOrigin.
    QString origin() const { return m_origin; }
    void setOrigin(const QString &origin) { m_origin = origin; }
    // The data a drag of row carries.
    QMimeData *dragDataForRow(int row) const;
    static bool readDragData(const QMimeData *data, DraggedItem &item);
    // The row before which a drop at position (in the viewport) puts an item; count() for the end.
    int dropRowAt(const QPoint &position) const;

Q_SIGNALS:
    void itemDropped(const toolbarItemList::DraggedItem &item, int row);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QString m_origin;
};
