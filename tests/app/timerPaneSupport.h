#pragma once

// The timer editor's pane as a person meets it, with its controls by name: the fixture of the tests that
// drive the real pane, in the test's own process.

#include "DistributedNotificationCenter.h"
#include "timerController.h"
#include "timerField.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

struct Pane {
    timerController controller;
    QTableWidget *table = controller.findChild<QTableWidget *>("oTable");
    QLineEdit *title = controller.findChild<QLineEdit *>("oTitle");
    timerField *field = controller.findChild<timerField *>("oTimerField");
    QSpinBox *stepper = controller.findChild<QSpinBox *>("oStepper");
    QRadioButton *icCell = controller.findChild<QRadioButton *>("icCell");
    QRadioButton *oocCell = controller.findChild<QRadioButton *>("oocCell");
    QToolButton *color = controller.findChild<QToolButton *>("oColor");
    QSlider *transparency = controller.findChild<QSlider *>("oTransparency");
    QPushButton *add = controller.findChild<QPushButton *>("oAdd");
    QPushButton *change = controller.findChild<QPushButton *>("oChange");
    QPushButton *remove = controller.findChild<QPushButton *>("oDelete");

    bool start() {
        controller.awakeFromNib();
        controller.show();
        return QTest::qWaitForWindowExposed(&controller) &&
               DistributedNotificationCenter::defaultCenter().waitForBus();
    }

    QStringList column(int index) const {
        QStringList texts;
        for (int row = 0; row < table->rowCount(); ++row)
            texts << (table->item(row, index) ? table->item(row, index)->text() : QString());
        return texts;
    }
    int selectedRow() const {
        const QModelIndexList rows = table->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }
    void clickRow(int row) {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier,
                          table->visualRect(table->model()->index(row, 0)).center());
    }
    // Selects a part of the duration as a person does, by a click on it.
    void selectPart(int x) { QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier, QPoint(x, 10)); }
    void clickArrow(QStyle::SubControl arrow) {
        QStyleOptionSpinBox option;
        option.initFrom(stepper);
        option.rect = stepper->rect();
        option.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
        option.frame = stepper->hasFrame();
        option.buttonSymbols = stepper->buttonSymbols();
        option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        const QRect rect = stepper->style()->subControlRect(QStyle::CC_SpinBox, &option, arrow, stepper);
        QTest::mouseClick(stepper, Qt::LeftButton, Qt::NoModifier, rect.center());
    }
    // Typed title, a duration set straight in the view, the kind, then Add.
    void addTimer(const QString &name, uint32_t seconds, bool ic = false) {
        title->setText(name);
        field->setTotalSeconds(seconds);
        (ic ? icCell : oocCell)->setChecked(true);
        add->click();
    }
    // Typed title, minutes by the stepper's arrows, then Add.
    void addTimerOfMinutes(const QString &name, int minutes) {
        title->setText(name);
        selectPart(30);
        for (int i = 0; i < minutes; ++i)
            QTest::keyClick(stepper, Qt::Key_Up);
        add->click();
    }
};

