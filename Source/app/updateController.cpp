#include "updateController.h"

#include "AlertPanel.h"
#include "Bundle.h"
#include "CalendarFormat.h"
#include "Clock.h"
#include "InternationalSettings.h"
#include "PropertyList.h"
#include "TNDContract.h"
#include "UserDefaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QLabel>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProgressDialog>
#include <QTimeZone>
#include <QUrl>

// The base address of the update server this program was built with (CMake's TINDRAL_UPDATE_SERVER).
#ifndef TINDRAL_UPDATE_SERVER
#define TINDRAL_UPDATE_SERVER ""
#endif

namespace {

const char kVersionFilePath[] = "/tindral/version.plist";
const char kBundleVersionKey[] = "CFBundleVersion";
const char kVersionEntry[] = "version";
const char kDetailsEntry[] = "details";
const char kUrlLatestEntry[] = "urlLatest";

const char kUpToDateTitle[] = "Tindral is up-to-date!";
const char kUpToDateMessage[] = "Come back again soon +)";
const char kOkay[] = "OK";
const char kNewVersionTitle[] = "There is a new version of Tindral out!";
const char kNewVersionMessage[] = "Your version: %1\nNew version: %2\n\n%3";
const char kUpdate[] = "Update";
const char kLater[] = "Later";

const char kWasUpToDate[] = "Tindral was upto date for version %1";
const char kWasUpdated[] = "Tindral was updated to version %1";
const char kWasAvailable[] = "New version %1 was avaliable";
const char kLastCheck[] = "Last Check: %1";
const char kVersionUnknown[] = "Last Check: Version Unknown";
const char kDateUnknown[] = "Date Unknown";

const char kCheckingLabel[] = "Checking for updates…";
const char kCancel[] = "Cancel";

const char kCouldNotCheck[] = "Tindral could not check for updates";
const char kCheckFailed[] = "Check failed. %1";
const char kNoServer[] = "No update server is set for this build";
const char kServerNotWebAddress[] = "The update server address “%1” is not a web address.";
const char kUnreachable[] = "The update server at %1 could not be reached (%2).";
const char kHttpError[] = "The update server answered “%1 %2” instead of sending the version file.";
const char kRedirectRefused[] = "The update server sent Tindral on to an address it does not follow (%1).";
const char kFetchFailed[] = "The version file could not be fetched (%1).";
const char kTimedOut[] = "The update server did not answer within %1 seconds.";
const char kTooLarge[] = "The update server sent more than %1 KiB, too much for a version file.";
const char kUnreadable[] = "The version file is not a property list that Tindral can read.";
const char kNotDictionary[] = "The version file holds %1 instead of a dictionary.";
const char kNoVersion[] = "The version file names no version.";
const char kVersionNotText[] = "The version file's “version” entry is %1, not a string.";

const char kNoDownloadAddress[] = "The version file gives no download address.";
const char kDownloadNotWebAddress[] =
    "The download address “%1” is not a web address, so Tindral cannot open it.";
const char kCouldNotOpen[] = "Tindral could not open the download page";
const char kOpenByHand[] = "Open %1 in your web browser to download version %2.";

// Long enough for any real address, short enough for an alert.
constexpr qsizetype kShownAddressLength = 200;

QString text(const char *t) {
    return QString::fromUtf8(t);
}

bool isWebAddress(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QString shown(const QString &address) {
    if (address.size() <= kShownAddressLength)
        return address;
    return address.left(kShownAddressLength) + QStringLiteral("…");
}

QString secondsText(int milliseconds) {
    return QString::number(milliseconds / 1000.0);
}

} // namespace

updateController::updateController(QAbstractButton *checkNowButton, QLabel *oLastVersion, QLabel *oLastDate,
                                   QObject *parent)
    : QObject(parent)
    , m_checkNowButton(checkNowButton)
    , m_oLastVersion(oLastVersion)
    , m_oLastDate(oLastDate) {
    m_runningVersion = Bundle::mainBundle().infoDictionary().value(text(kBundleVersionKey)).toString();
    m_timeLimitTimer.setSingleShot(true);
    connect(&m_timeLimitTimer, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        m_stop = Stop::TimedOut;
        m_reply->abort();
    });
    if (m_checkNowButton)
        connect(m_checkNowButton, &QAbstractButton::clicked, this, &updateController::checkNow);
}

updateController::~updateController() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply;
    }
    delete m_progress;
}

void updateController::awakeFromNib() {
    updateLast();
}

void updateController::updateLast() {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QVariant lastVersion = defaults.objectForKey(text(TND::kLastVersionKey));
    const QString versionLine = lastVersion.typeId() == QMetaType::QString
                                    ? text(kLastCheck).arg(lastVersion.toString())
                                    : text(kVersionUnknown);
    const QVariant lastDate = defaults.objectForKey(text(TND::kLastDateKey));
    QString dateLine = text(kDateUnknown);
    if (lastDate.typeId() == QMetaType::QDateTime && lastDate.toDateTime().isValid()) {
        const double seconds = double(lastDate.toDateTime().toMSecsSinceEpoch()) / 1000.0;
        dateLine = CalendarFormat::expand(InternationalSettings::dateFormat(), seconds);
    }
    if (m_oLastVersion)
        m_oLastVersion->setText(versionLine);
    if (m_oLastDate)
        m_oLastDate->setText(dateLine);
}

QString updateController::updateServer() {
    const QVariant stored = UserDefaults::standardUserDefaults().objectForKey(text(TND::kUpdateServerKey));
    if (stored.typeId() == QMetaType::QString && !stored.toString().trimmed().isEmpty())
        return stored.toString().trimmed();
    return QStringLiteral(TINDRAL_UPDATE_SERVER);
}

void updateController::checkForUpdates() {
    checkNow();
}

QWidget *updateController::window() const {
    if (m_checkNowButton && m_checkNowButton->window()->isVisible())
        return m_checkNowButton->window();
    return QApplication::activeWindow();
}

void updateController::checkNow() {
    if (m_checking)
        return;
    const QString server = updateServer();
    if (server.isEmpty()) {
        // Nothing was asked of anybody: the last check's outcome stands.
        AlertPanel::run(text(kCouldNotCheck), text(kNoServer), text(kOkay));
        Q_EMIT checkEnded();
        return;
    }
    QString base = server;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base + text(kVersionFilePath), QUrl::StrictMode);
    if (!isWebAddress(url)) {
        AlertPanel::run(text(kCouldNotCheck), text(kServerNotWebAddress).arg(shown(server)), text(kOkay));
        Q_EMIT checkEnded();
        return;
    }

    m_checking = true;
    m_body.clear();
    m_stop = Stop::None;
    QNetworkRequest request(url);
    // Redirects are followed, from HTTPS only to HTTPS, and only to http and https addresses.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    m_reply = m_network.get(request);
    // Never more than the limit and one byte waits in memory.
    m_reply->setReadBufferSize(kSizeLimit + 1);
    connect(m_reply, &QNetworkReply::readyRead, this, &updateController::readBody);
    connect(m_reply, &QNetworkReply::finished, this, &updateController::requestFinished);
    m_timeLimitTimer.start(m_timeLimit);

    m_progress = new QProgressDialog(text(kCheckingLabel), text(kCancel), 0, 0, window());
    m_progress->setObjectName(QStringLiteral("updateProgress"));
    m_progress->setWindowTitle(text(kCheckingLabel));
    m_progress->setAccessibleName(text(kCheckingLabel));
    m_progress->setWindowModality(Qt::ApplicationModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        if (!m_reply)
            return;
        m_stop = Stop::Cancelled;
        m_reply->abort();
    });
    m_progress->show();
}

void updateController::readBody() {
    if (!m_reply || m_stop != Stop::None)
        return;
    m_body += m_reply->read(kSizeLimit + 1 - m_body.size());
    if (m_body.size() > kSizeLimit) {
        m_stop = Stop::TooLarge;
        m_reply->abort();
    }
}

void updateController::requestFinished() {
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    readBody();
    m_timeLimitTimer.stop();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString statusText = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    const QString address = reply->url().adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString();
    const Stop stop = m_stop;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    if (m_progress) {
        m_progress->disconnect(this);
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }

    switch (stop) {
    case Stop::Cancelled:
        // The user asked for nothing more: no alert, and the last check's outcome stands.
        end();
        return;
    case Stop::TimedOut:
        fail(text(kTimedOut).arg(secondsText(m_timeLimit)));
        return;
    case Stop::TooLarge:
        fail(text(kTooLarge).arg(kSizeLimit / 1024));
        return;
    case Stop::None:
        break;
    }
    if (status >= 400) {
        fail(text(kHttpError).arg(status).arg(statusText));
        return;
    }
    switch (error) {
    case QNetworkReply::NoError:
        compare(PropertyList::fromData(m_body));
        return;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        fail(text(kRedirectRefused).arg(errorText));
        return;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        fail(text(kUnreachable).arg(address, errorText));
        return;
    default:
        fail(text(kFetchFailed).arg(errorText));
        return;
    }
}

void updateController::compare(const QVariant &versionFile) {
    if (!versionFile.isValid()) {
        fail(text(kUnreadable));
        return;
    }
    if (versionFile.typeId() != QMetaType::QVariantMap) {
        fail(text(kNotDictionary).arg(PropertyList::kindOf(versionFile)));
        return;
    }
    const QVariantMap entries = versionFile.toMap();
    const QVariant versionEntry = entries.value(text(kVersionEntry));
    if (!versionEntry.isValid() ||
        (versionEntry.typeId() == QMetaType::QString && versionEntry.toString().isEmpty())) {
        fail(text(kNoVersion));
        return;
    }
    if (versionEntry.typeId() != QMetaType::QString) {
        fail(text(kVersionNotText).arg(PropertyList::kindOf(versionEntry)));
        return;
    }
    const QString version = versionEntry.toString();

    // Only equality counts: any other version, older ones included, is offered as new.
    if (version == m_runningVersion) {
        AlertPanel::run(text(kUpToDateTitle), text(kUpToDateMessage), text(kOkay));
        record(text(kWasUpToDate).arg(version));
        return;
    }

    const QVariant detailsEntry = entries.value(text(kDetailsEntry));
    const QString details = detailsEntry.typeId() == QMetaType::QString ? detailsEntry.toString() : QString();
    // The three values are put in at once, so a "%1" in the details stays as it is.
    const QString message = text(kNewVersionMessage).arg(m_runningVersion, version, details);

    const QVariant urlEntry = entries.value(text(kUrlLatestEntry));
    const QString address = urlEntry.typeId() == QMetaType::QString ? urlEntry.toString() : QString();
    const QUrl download(address, QUrl::StrictMode);
    if (!isWebAddress(download)) {
        // Nothing could be opened: the alert says so and offers no "Update".
        const QString why = urlEntry.typeId() == QMetaType::QString
                                ? text(kDownloadNotWebAddress).arg(shown(address))
                                : text(kNoDownloadAddress);
        AlertPanel::run(text(kNewVersionTitle), message + QStringLiteral("\n\n") + why, text(kOkay));
        record(text(kWasAvailable).arg(version));
        return;
    }

    if (AlertPanel::run(text(kNewVersionTitle), message, text(kUpdate), text(kLater)) != 1) {
        record(text(kWasAvailable).arg(version));
        return;
    }
    if (!QDesktopServices::openUrl(download)) {
        AlertPanel::run(text(kCouldNotOpen), text(kOpenByHand).arg(shown(address), version), text(kOkay));
        record(text(kWasAvailable).arg(version));
        return;
    }
    record(text(kWasUpdated).arg(version));
}

void updateController::fail(const QString &reason) {
    AlertPanel::run(text(kCouldNotCheck), reason, text(kOkay));
    record(text(kCheckFailed).arg(reason));
}

void updateController::record(const QString &outcome) {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObjectForKey(outcome, text(TND::kLastVersionKey));
    const qint64 now = qint64(Clock::now() * 1000.0);
    defaults.setObjectForKey(QDateTime::fromMSecsSinceEpoch(now, QTimeZone::utc()), text(TND::kLastDateKey));
    end();
}

void updateController::end() {
    m_checking = false;
    updateLast();
    Q_EMIT checkEnded();
}
