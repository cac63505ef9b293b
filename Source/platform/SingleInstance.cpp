#include "SingleInstance.h"

#include "singleInstanceAdaptor.h"
#include "singleInstanceInterface.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QtDebug>

namespace {
const char kObjectPath[] = "/org/tindral/SingleInstance";
}

SingleInstance::SingleInstance(QString serviceName, QObject *parent)
    : QObject(parent)
    , m_serviceName(std::move(serviceName)) {
    new SingleInstanceAdaptor(this);
}

SingleInstance::~SingleInstance() {
    if (m_owner) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(m_serviceName);
    }
}

SingleInstance::Claim SingleInstance::claim() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return Claim::NoBus;
    // The object is in place before the name, so a caller that sees the name can reach it.
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this))
        return Claim::NoBus;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(m_serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owner = true;
        return Claim::Owner;
    }
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
    OrgTindralSingleInstanceInterface running(m_serviceName, QString::fromLatin1(kObjectPath), bus);
    QDBusPendingReply<> answer = running.Activate();
    answer.waitForFinished();
    if (answer.isError())
        qWarning("The running copy of %s did not answer: %s", qPrintable(m_serviceName),
                 qPrintable(answer.error().message()));
    return Claim::AlreadyRunning;
}

void SingleInstance::Activate() {
    Q_EMIT activationRequested();
}
