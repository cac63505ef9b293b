#pragma once

#include <QString>

#include <functional>

// A modal alert with a title, a message and one button. Tests install an answerer so that no alert ever
// waits for a person: it sees what would have been shown and gives the button's result.
class AlertPanel {
public:
    struct Alert {
        QString title;
        QString message;
        QString defaultButton;
    };
    using Answerer = std::function<int(const Alert &)>;

    // Shows the alert and waits for its button; 1 when the default button was chosen.
    static int run(const QString &title, const QString &message, const QString &defaultButton);

    static void setAnswerer(Answerer answerer);
};
