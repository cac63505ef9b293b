#pragma once

#include <QAction>
#include <QByteArray>
#include <QIcon>
#include <QPointer>
#include <QString>

class QMenu;

// One item of the main window's toolbar: an identifier, a label with the palette label the customisation
// sheet shows, a tool tip, an image, and the target and action it calls when chosen. The prototypes live in
// the window controller; each item placed in the toolbar is a fresh copy of its prototype.
class toolbarItem : public QAction {
    Q_OBJECT

public:
    explicit toolbarItem(const QString &itemIdentifier, QObject *parent = nullptr);

    QString itemIdentifier() const { return objectName(); }

    QString label() const { return text(); }
    void setLabel(const QString &label) { setText(label); }
    QString paletteLabel() const { return m_paletteLabel; }
    void setPaletteLabel(const QString &paletteLabel) { m_paletteLabel = paletteLabel; }
    QIcon image() const { return icon(); }
    void setImage(const QIcon &image) { setIcon(image); }

    QObject *target() const { return m_target; }
    void setTarget(QObject *target) { m_target = target; }
    // The name of a slot or invokable method of the target that takes no arguments.
    QByteArray action() const { return m_action; }
    void setAction(const QByteArray &action) { m_action = action; }

    QAction *menuFormRepresentation() const { return m_menuFormRepresentation; }
    void setMenuFormRepresentation(QAction *representation) { m_menuFormRepresentation = representation; }

private:
    void performAction();

    QString m_paletteLabel;
    QPointer<QObject> m_target;
    QByteArray m_action;
    QPointer<QAction> m_menuFormRepresentation;
};
