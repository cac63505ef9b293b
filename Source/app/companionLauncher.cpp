#include "companionLauncher.h"

#include "AlertPanel.h"
#include "Bundle.h"
#include "Launcher.h"

#include <QString>

namespace {

const char kProblemLaunching[] = "Problem launching menu";
const char kProblemFinding[] = "There was a problem finding the Tindral Menu\nError: %1";
const char kProblemStarting[] = "There was a problem launching the Tindral Menu\nError: %1";
const char kAhWell[] = "Ah well";

const char kCompanionName[] = "TindralMenu";
const char kCompanionType[] = "app";

void tell(const char *message, int status) {
    AlertPanel::run(QString::fromUtf8(kProblemLaunching), QString::fromUtf8(message).arg(status),
                    QString::fromUtf8(kAhWell));
}

} // namespace

bool companionLauncher::launch() {
    const QString path = Bundle::mainBundle().pathForResource(QString::fromLatin1(kCompanionName),
                                                              QString::fromLatin1(kCompanionType));
    const int found = Launcher::checkPath(path);
    if (found != Launcher::Success) {
        tell(kProblemFinding, found);
        return false;
    }
    const int started = Launcher::openApplication(path);
    if (started != Launcher::Success) {
        tell(kProblemStarting, started);
        return false;
    }
    return true;
}
