#include "toolbarItem.h"

#include <QMetaObject>
#include <QtDebug>

toolbarItem::toolbarItem(const QString &itemIdentifier, QObject *parent)
    : QAction(parent) {
    setObjectName(itemIdentifier);
    connect(this, &QAction::triggered, this, &toolbarItem::performAction);
}

void toolbarItem::performAction() {
    if (!m_target || m_action.isEmpty())
        return;
    if (!QMetaObject::invokeMethod(m_target, m_action.constData()))
        qWarning("The toolbar item \"%s\" cannot call %s.", qPrintable(itemIdentifier()),
                 m_action.constData());
}
