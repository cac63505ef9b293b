#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class timerAlertPane;
}

// The Timers/Alerts pane: the user's countdown timers in a table, and the controls that make one (title,
// duration, IC or OOC time, window colour and opacity). Add, Change and Delete change the list and tell the
// menu bar companion, which runs the timers, with TNDAddTimer, TNDChangeTimer and TNDRemoveTimer; the
// companion's TNDDoneTimer puts a check mark in the finished timer's row. The two lists stay in step by
// position only: every message names a timer by its row.
//
// The list is kept in the settings file's timerArray: after every change of it the whole list is written
// there, in one locked write of that key, so the companion starts from the same list after any restart.
// When the companion announces its start (TNDTurnedOn), a list that no longer matches the file (changed
// behind the editor's back) is read again from the file, and the pane's status line says so.
class timerController : public QWidget {
    Q_OBJECT

public:
    // Asks the user for a colour, starting from `current`; nothing when the user cancels. Tests install one
    // so that no colour dialog waits for a person.
    using ColorChooser = std::function<std::optional<QColor>(const QColor &current, QWidget *parent)>;

    explicit timerController(QWidget *parent = nullptr);
    ~timerController() override;

    // Reads the settings file's timerArray, disables Change and Delete, and observes TNDDoneTimer and
    // TNDTurnedOn.
    void awakeFromNib();

    // The actions of the pane's buttons and stepper.
    void aAdd();
    void aChange();
    void aDelete();
    void aStepper();

    // TNDDoneTimer: the timer at rowIndex has ended.
    void doneTimer(const QVariantMap &userInfo);
    // TNDTurnedOn: the companion has (re)started from the file's list; the editor makes sure it shows the
    // same one.
    void turnedOn();
    // Writes the whole list under timerArray, leaving every other key of the file as it is.
    void saveTimers();

    // The table's data: one row per record, each column showing the record key it is named after.
    int numberOfRowsInTableView() const;
    QVariant tableViewObjectValueForTableColumnRow(const QString &columnIdentifier, int row) const;
    bool tableViewShouldEditTableColumnRow(const QString &columnIdentifier, int row) const;
    // Loads the selected record into the controls, or the defaults when nothing is selected.
    void tableViewSelectionDidChange();

    const QList<QVariantMap> &timerArray() const { return m_timerArray; }
    // The list as the settings file keeps it: each record, and each entry that could not be read as it was.
    QVariantList storedTimerArray() const;
    // The pane's status line.
    QString statusText() const;
    QColor windowColor() const { return m_windowColor; }
    void setWindowColor(const QColor &color);
    // The opacity control's value as the record stores it.
    QString transparencyString() const;

    static void setColorChooser(ColorChooser chooser);

    static constexpr int kDefaultTransparency = 70; // of the slider's 0 to 100

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The record the controls describe, at `rowIndex`.
    QVariantMap recordFromControls(qsizetype rowIndex) const;
    bool icSelected() const;
    int selectedRow() const;
    void selectRow(int row);
    void reloadData();
    void setStepperValue(uint32_t value);
    void showStepperArrowsOnly();
    void chooseColor();
    void returnInTitle();
    void loadTimerArray();
    void markEndsPassedMeanwhile(const QVariantList &ends);

    std::unique_ptr<Ui::timerAlertPane> m_ui;
    QList<QVariantMap> m_timerArray; // row i of the table is record i
    // Beside each record, the settings file's entry when it could not be read (nothing otherwise): such an
    // entry keeps its row, runs nowhere, and is written back unchanged until it is changed or deleted.
    QList<QVariant> m_unreadable;
    QStringList m_columnIdentifiers;
    QColor m_windowColor = Qt::white;
    bool m_reloading = false; // selection changes while the table is refilled are not the user's
    bool m_saved = true;      // the file holds the list as it stands
};
