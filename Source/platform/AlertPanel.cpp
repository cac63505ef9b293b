#include "AlertPanel.h"

#include <QMessageBox>
#include <QPushButton>

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
    if (answerer())
        return answerer()(Alert{title, message, defaultButton});
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setText(title);
    box.setInformativeText(message);
    QPushButton *button = box.addButton(defaultButton, QMessageBox::AcceptRole);
    box.setDefaultButton(button);
    box.exec();
    return box.clickedButton() == button ? 1 : 0;
}
