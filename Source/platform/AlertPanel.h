#pragma once

#include <QString>

#include <functional>

// A modal alert with a title, a message and one or two buttons. Tests install an answerer so that no alert
// ever waits for a person: it sees what would have been shown and gives the button's result.
class AlertPanel {
public:
    struct Alert {
        QString title;
        QString message;
        QString defaultButton;
        QString alternateButton{}; // empty: the alert has the default button only
    };
    using Answerer = std::function<int(const Alert &)>;

    // Shows the alert and waits for its button; 1 when the default button was chosen.
    // The message is shown as plain text, whatever it holds.
    static int run(const QString &title, const QString &message, const QString &defaultButton);
    // The same with a second button, which Escape also chooses; 0 when it was chosen.
    static int run(const QString &title, const QString &message, const QString &defaultButton,
                   const QString &alternateButton);

    static void setAnswerer(Answerer answerer);
};
