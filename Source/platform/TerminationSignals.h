#pragma once

// Ends the program's event loop cleanly when it is asked to stop (SIGINT from Ctrl-C, SIGTERM from kill or a
// session ending): QCoreApplication::quit() is called from the event loop, not from the signal handler.
class TerminationSignals {
public:
    // Needs the QCoreApplication; a second call does nothing.
    static void quitOnTermination();
};
