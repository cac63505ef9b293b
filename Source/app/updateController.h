#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariantMap>

class QAbstractButton;
class QLabel;
class QNetworkReply;
class QProgressDialog;
class QWidget;

// The update check: fetches the version file from the update server, compares its version with the running
// one, tells the user in an alert and keeps the outcome (lastVersion) and its moment (lastDate) in the
// settings, which the two fields of the preferences window's "Updates" group show.
//
// The file comes over HTTP or HTTPS without blocking the program: while it travels, a small modal dialog
// with Cancel stands in front, so the user waits for the answer as before but every window still draws.
// The request ends after a time limit and past a size limit; every way it can fail ends in one alert that
// says why, and the failure is kept as the outcome.
class updateController : public QObject {
    Q_OBJECT

public:
    static constexpr int kTimeLimitMilliseconds = 15000;
    static constexpr qint64 kSizeLimit = 64 * 1024;

    updateController(QAbstractButton *checkNowButton, QLabel *oLastVersion, QLabel *oLastDate,
                     QObject *parent = nullptr);
    ~updateController() override;

    // Shows the last check's outcome.
    void awakeFromNib();
    void updateLast();

    // The base address of the update server: the setting updateServer when it holds one, else the one
    // this program was built with; empty when neither is set.
    static QString updateServer();

    // For tests: the running version (by default the application folder's "CFBundleVersion") and the time
    // limit of the request.
    void setRunningVersion(const QString &version) { m_runningVersion = version; }
    void setTimeLimit(int milliseconds) { m_timeLimit = milliseconds; }

    bool isChecking() const { return m_checking; }

public Q_SLOTS:
    // The "Check Now" button's action.
    void checkNow();
    // The application menu's "Check for Updates…": the same check.
    void checkForUpdates();

Q_SIGNALS:
    // A check has ended, whatever its outcome, and the fields show it.
    void checkEnded();

private:
    enum class Stop { None, Cancelled, TimedOut, TooLarge };

    void readBody();
    void requestFinished();
    void compare(const QVariant &versionFile);
    void fail(const QString &reason);
    void record(const QString &outcome);
    void end();
    QWidget *window() const;

    QPointer<QAbstractButton> m_checkNowButton;
    QPointer<QLabel> m_oLastVersion;
    QPointer<QLabel> m_oLastDate;

    QString m_runningVersion;
    int m_timeLimit = kTimeLimitMilliseconds;
    bool m_checking = false;

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    Stop m_stop = Stop::None;
    QTimer m_timeLimitTimer;
    QPointer<QProgressDialog> m_progress;
};
