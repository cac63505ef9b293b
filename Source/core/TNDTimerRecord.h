#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <optional>

// One countdown timer as the two programs describe it to each other: the payload of TNDAddTimer, the
// timerInfo of TNDChangeTimer, and an entry of the settings file's timerArray. A dictionary of eight
// keys, every one of them always present in a record the main application builds:
//
//   title         string   the timer's name; the tool tip of its window
//   time          string   the starting duration as HH:MM:SS
//   done          string   "√" once the countdown has ended, "" before
//   windowColor   data     the window's colour, archived by ColorArchive
//   transparency  string   the window's opacity as a decimal number, 0.0 (invisible) to 1.0 (opaque)
//   totalSeconds  string   the time left as a decimal number of seconds of the timer's own kind
//   ic            boolean  true: the countdown runs in IC seconds, false: in real seconds
//   rowIndex      integer  the timer's position in the timer list, from 0
//
// The keys are TNDContract.h's (TND::kTitleKey and the rest).
class TNDTimerRecord {
public:
    static constexpr char16_t kDoneMark = u'\u221A'; // √

    // The record the timer editor builds from its controls. Its done is "", so adding or changing a timer
    // (re)starts it from the whole duration.
    static TNDTimerRecord fromParts(const QString &title, uint32_t totalSeconds, bool ic,
                                    const QByteArray &windowColor, double transparency, int64_t rowIndex);

    // A duration as HH:MM:SS, each part "0%d" when 9 or less and "%d" otherwise ("100:00:00" and up).
    static QString formated(uint32_t hours, uint32_t minutes, uint32_t seconds);
    static QString formated(uint32_t totalSeconds);
    // The whole number of seconds in decimal.
    static QString totalSecondsString(uint32_t totalSeconds);
    // A number of the kind the record's strings hold: blanks around it allowed, nothing else.
    static std::optional<double> decimalValue(const QString &text);

    struct Reading;
    // Checks every key for presence and kind. An unusable transparency only gives a soft problem: the
    // window is then opaque.
    static Reading fromMap(const QVariantMap &map);
    QVariantMap toMap() const;

    // Nothing when `rowIndex` names one of `count` entries, else why not.
    static std::optional<QString> rowIndexProblem(int64_t rowIndex, qsizetype count);

    QString title() const { return m_title; }
    QString time() const { return m_time; }
    QString done() const { return m_done; }
    bool isDone() const { return m_done == QChar(kDoneMark); }
    QByteArray windowColor() const { return m_windowColor; }
    QString transparency() const { return m_transparency; }
    // The opacity for the window, 0.0 to 1.0: 1.0 when transparency is not a number.
    double opacity() const;
    QString totalSeconds() const { return m_totalSeconds; }
    bool ic() const { return m_ic; }
    int64_t rowIndex() const { return m_rowIndex; }

    void setDone(const QString &done) { m_done = done; }
    void setTotalSeconds(const QString &totalSeconds) { m_totalSeconds = totalSeconds; }
    void setRowIndex(int64_t rowIndex) { m_rowIndex = rowIndex; }

    bool operator==(const TNDTimerRecord &) const = default;

private:
    QString m_title;
    QString m_time;
    QString m_done;
    QByteArray m_windowColor;
    QString m_transparency;
    QString m_totalSeconds;
    bool m_ic = false;
    int64_t m_rowIndex = 0;
};

struct TNDTimerRecord::Reading {
    std::optional<TNDTimerRecord> record; // nothing when a key is missing or has the wrong kind
    QString problem;                      // the first bad key, when there is no record
    QString softProblem;                  // a record that is read all the same: an unusable transparency
};
