#pragma once

#include <QObject>
#include <QString>

// One copy of a program at a time, through a well-known name on the session bus. The first start owns the
// name; a later start asks the owner to activate itself and then leaves.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim { Owner, AlreadyRunning, NoBus };

    explicit SingleInstance(QString serviceName, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Tries to own the name. AlreadyRunning has asked the running copy to activate; NoBus means nothing
    // guards against a second copy, and the program goes on alone.
    Claim claim();

    QString serviceName() const { return m_serviceName; }

public Q_SLOTS:
    // Called over the bus by a later start.
    void Activate();

Q_SIGNALS:
    void activationRequested();

private:
    QString m_serviceName;
    bool m_owner = false;
};
