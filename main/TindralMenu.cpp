// TindralMenu: the companion in the desktop's status area, with Kestmoor's clock as its title.
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "menuController.h"

#include <QApplication>

namespace {
const char kServiceName[] = "org.tindral.TindralMenu";
}

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TindralMenu"));
    QApplication::setApplicationVersion(QStringLiteral(TINDRAL_VERSION));
    // The companion has no window of its own: closing a timer window or an alert must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    TerminationSignals::quitOnTermination();

    // A second start (a login item and a launch from Tindral at once) hands over to the running companion,
    // which announces itself again, and leaves.
    SingleInstance instance(QString::fromLatin1(kServiceName));
    if (instance.claim() == SingleInstance::Claim::AlreadyRunning)
        return 0;

    menuController controller;
    QObject::connect(&instance, &SingleInstance::activationRequested, &controller, &menuController::announce);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller,
                     &menuController::applicationWillTerminate);
    controller.awakeFromNib();
    return QApplication::exec();
}
