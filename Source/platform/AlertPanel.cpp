#include "AlertPanel.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>

namespace {
AlertPanel::Answerer &answerer() {
    static AlertPanel::Answerer installed;
    return installed;
}
} // namespace

void AlertPanel::setAnswerer(Answerer answerer_) {
    answerer() = std::move(answerer_);
}

int AlertPanel::run(const QString &title, const QString &message, const QString &defaultButton) {
    return run(title, message, defaultButton, {});
}

int AlertPanel::run(const QString &title, const QString &message, const QString &defaultButton,
                    const QString &alternateButton) {
    if (answerer())
        return answerer()(Alert{title, message, defaultButton, alternateButton});
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(title);
    // Messages carry text from elsewhere (a server's release notes): markup in them is shown, not obeyed.
    box.setInformativeText(Qt::convertFromPlainText(message));
    QPushButton *button = box.addButton(defaultButton, QMessageBox::AcceptRole);
    box.setDefaultButton(button);
    if (!alternateButton.isEmpty())
        box.setEscapeButton(box.addButton(alternateButton, QMessageBox::RejectRole));
    box.exec();
    return box.clickedButton() == button ? 1 : 0;
}
