#include "AlertPanel.h"
#include "Clock.h"
#include "PropertyList.h"
#include "UserDefaults.h"
#include "preferencesController.h"
#include "updateController.h"

#include <QDesktopServices>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// 2023-11-14 22:13:20 UTC, a Tuesday.
constexpr double kMoment = 1700000000.0;

QByteArray versionFile(const QString &entries) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>%1</dict></plist>\n")
        .arg(entries)
        .toUtf8();
}

QByteArray entries(const QString &version, const QString &details, const QString &urlLatest) {
    return versionFile(
        QStringLiteral("<key>version</key><string>%1</string><key>details</key><string>%2</string>"
                       "<key>urlLatest</key><string>%3</string>")
            .arg(version, details, urlLatest));
}

QByteArray response(const QByteArray &status, const QByteArray &body, const QByteArray &headers = {}) {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: application/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

QVariant setting(const char *key) {
    const auto settings = PropertyList::readDictionary(UserDefaults::standardPath());
    return settings ? settings->value(QString::fromLatin1(key)) : QVariant();
}

// A web server on 127.0.0.1 that answers each path with the bytes it was given; a path with no answer keeps
// the connection open and says nothing.
class versionServer : public QObject {
public:
    QMap<QByteArray, QByteArray> answers;
    QList<QByteArray> asked;

    bool start() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
        return m_server.listen(QHostAddress::LocalHost);
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    void serve(QTcpSocket *socket) {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        asked.append(path);
        if (!answers.contains(path))
            return;
        socket->write(answers.value(path));
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

} // namespace

class TestUpdateController : public QObject {
    Q_OBJECT

public Q_SLOTS:
    // The desktop's browser, as far as the tests see it.
    void openUrl(const QUrl &url) { m_opened.append(url.toString()); }

private:
    std::unique_ptr<preferencesController> m_prefs;
    std::unique_ptr<versionServer> m_server;
    QList<AlertPanel::Alert> m_alerts;
    QStringList m_opened;
    int m_answer = 1;

    updateController *updates() const { return m_prefs->updates(); }
    QString lastVersionField() const { return m_prefs->findChild<QLabel *>("oLastVersion")->text(); }
    QString lastDateField() const { return m_prefs->findChild<QLabel *>("oLastDate")->text(); }

    // Clicks "Check Now" and waits for the check to end.
    bool checkNow() {
        QSignalSpy ended(updates(), &updateController::checkEnded);
        m_prefs->findChild<QPushButton *>("checkNowButton")->click();
        return !ended.isEmpty() || ended.wait(20000);
    }

    void serve(const QByteArray &answer) {
        m_server->answers.clear();
        m_server->answers.insert("/tindral/version.plist", answer);
    }

private Q_SLOTS:
    void initTestCase() {
        Clock::setNowFunction([] { return kMoment; });
        AlertPanel::setAnswerer([this](const AlertPanel::Alert &alert) {
            m_alerts.append(alert);
            return m_answer;
        });
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("javascript"), this, "openUrl");
        m_server = std::make_unique<versionServer>();
        QVERIFY(m_server->start());
        m_prefs = std::make_unique<preferencesController>();
        m_prefs->awakeFromNib();
    }

    void init() {
        // Offscreen cannot pass size hints on; it says so when a dialog first shows.
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("^(?!This plugin does not support propagateSizeHints).*")));
        m_alerts.clear();
        m_opened.clear();
        m_answer = 1;
        m_server->asked.clear();
        updates()->setRunningVersion(QStringLiteral("2.1"));
        updates()->setTimeLimit(updateController::kTimeLimitMilliseconds);
        UserDefaults::standardUserDefaults().setObjectForKey(m_server->address(),
                                                             QStringLiteral("updateServer"));
    }

    void theFirstStart() {
        QFile::remove(UserDefaults::standardPath());
        preferencesController fresh;
        fresh.awakeFromNib();
        QCOMPARE(fresh.findChild<QLabel *>("oLastVersion")->text(),
                 QStringLiteral("Last Check: Version Unknown"));
        QCOMPARE(fresh.findChild<QLabel *>("oLastDate")->text(), QStringLiteral("Date Unknown"));
    }

    void aCheckThatFindsAnAnswer_data() {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QByteArray>("served");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QStringList>("opened");

        const QStringList updateLater{"Update", "Later"};
        const QString newVersion = "There is a new version of Tindral out!";
        QTest::newRow("equal 2.1") << "2.1" << entries("2.1", "Faster moons", "https://example.org/get") << 1
                                   << "Tindral is up-to-date!"
                                   << "Come back again soon +)" << QStringList{"OK"}
                                   << "Tindral was upto date for version 2.1" << QStringList();
        QTest::newRow("2.2 against 2.1, Later")
            << "2.1" << entries("2.2", "Faster moons", "https://example.org/get") << 0 << newVersion
            << "Your version: 2.1\nNew version: 2.2\n\nFaster moons" << updateLater
            << "New version 2.2 was avaliable" << QStringList();
        QTest::newRow("2.2 against 2.1, Update")
            << "2.1" << entries("2.2", "Faster moons", "https://example.org/get") << 1 << newVersion
            << "Your version: 2.1\nNew version: 2.2\n\nFaster moons" << updateLater
            << "Tindral was updated to version 2.2" << QStringList{"https://example.org/get"};
        QTest::newRow("2.10 against 2.9 is new")
            << "2.9" << entries("2.10", "", "http://example.org/get") << 0 << newVersion
            << "Your version: 2.9\nNew version: 2.10\n\n"
            << updateLater << "New version 2.10 was avaliable" << QStringList();
        QTest::newRow("2.1 against 2.2 is new too")
            << "2.2" << entries("2.1", "Older", "http://example.org/get") << 0 << newVersion
            << "Your version: 2.2\nNew version: 2.1\n\nOlder" << updateLater
            << "New version 2.1 was avaliable" << QStringList();
        QTest::newRow("details keep their % and markup")
            << "2.1" << entries("2.2", "100% &lt;b&gt;new&lt;/b&gt; %1 %@", "http://example.org/get") << 0
            << newVersion << "Your version: 2.1\nNew version: 2.2\n\n100% <b>new</b> %1 %@" << updateLater
            << "New version 2.2 was avaliable" << QStringList();
        QTest::newRow("details that are not a string show as nothing")
            << "2.1"
            << versionFile("<key>version</key><string>2.2</string><key>details</key><integer>7</integer>"
                           "<key>urlLatest</key><string>http://example.org/get</string>")
            << 0 << newVersion << "Your version: 2.1\nNew version: 2.2\n\n"
            << updateLater << "New version 2.2 was avaliable" << QStringList();
        QTest::newRow("a download address that is a script is never opened")
            << "2.1" << entries("2.2", "Faster moons", "javascript:alert(1)") << 1 << newVersion
            << "Your version: 2.1\nNew version: 2.2\n\nFaster moons\n\nThe download address "
               "“javascript:alert(1)” "
               "is not a web address, so Tindral cannot open it."
            << QStringList{"OK"} << "New version 2.2 was avaliable" << QStringList();
        QTest::newRow("a download address that is a file is never opened")
            << "2.1" << entries("2.2", "Faster moons", "file:///etc/passwd") << 1 << newVersion
            << "Your version: 2.1\nNew version: 2.2\n\nFaster moons\n\nThe download address "
               "“file:///etc/passwd” "
               "is not a web address, so Tindral cannot open it."
            << QStringList{"OK"} << "New version 2.2 was avaliable" << QStringList();
        QTest::newRow("no download address")
            << "2.1" << versionFile("<key>version</key><string>2.2</string>") << 1 << newVersion
            << "Your version: 2.1\nNew version: 2.2\n\n\n\nThe version file gives no download address."
            << QStringList{"OK"} << "New version 2.2 was avaliable" << QStringList();
    }

    void aCheckThatFindsAnAnswer() {
        QFETCH(QString, running);
        QFETCH(QByteArray, served);
        QFETCH(QStringList, buttons);
        QFETCH(QString, outcome);
        QFETCH(int, answer);
        m_answer = answer;
        updates()->setRunningVersion(running);
        serve(response("200 OK", served));

        QVERIFY(checkNow());
        QCOMPARE(m_server->asked, QList<QByteArray>{"/tindral/version.plist"});
        QCOMPARE(m_alerts.size(), 1);
        QTEST(m_alerts[0].title, "title");
        QTEST(m_alerts[0].message, "message");
        QCOMPARE(m_alerts[0].defaultButton, buttons.value(0));
        QCOMPARE(m_alerts[0].alternateButton, buttons.value(1));
        QTEST(m_opened, "opened");
        QCOMPARE(setting("lastVersion"), QVariant(outcome));
        QCOMPARE(setting("lastDate"),
                 QVariant(QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20), QTimeZone::utc())));
        QCOMPARE(lastVersionField(), "Last Check: " + outcome);
        QCOMPARE(lastDateField(), QStringLiteral("Tuesday, November 14, 2023"));
        QVERIFY(!updates()->isChecking());
    }

    void aDownloadPageThatDoesNotOpen() {
        // No browser to hand the address to: the user is told where to go, and nothing counts as updated.
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        serve(response("200 OK", entries("2.2", "Faster moons", "https://example.org/get")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not support .*openUrl"));
        const bool checked = checkNow();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        QVERIFY(checked);
        QCOMPARE(m_alerts.size(), 2);
        QCOMPARE(m_alerts[0].title, QStringLiteral("There is a new version of Tindral out!"));
        QCOMPARE(m_alerts[1].title, QStringLiteral("Tindral could not open the download page"));
        QCOMPARE(m_alerts[1].message,
                 QStringLiteral("Open https://example.org/get in your web browser to download version 2.2."));
        QCOMPARE(setting("lastVersion"), QVariant(QStringLiteral("New version 2.2 was avaliable")));
    }

    void aCheckThatFails_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("timeLimit");
        QTest::addColumn<QString>("reason");

        const int limit = updateController::kTimeLimitMilliseconds;
        QTest::newRow("404")
            << response("404 Not Found", "nothing here") << limit
            << "The update server answered “404 Not Found” instead of sending the version file.";
        QTest::newRow("500")
            << response("500 Internal Server Error", "") << limit
            << "The update server answered “500 Internal Server Error” instead of sending the "
               "version file.";
        QTest::newRow("a server that never answers")
            << QByteArray() << 300 << "The update server did not answer within 0.3 seconds.";
        QTest::newRow("garbage") << response("200 OK", "this is not a property list \x01\x02 at all") << limit
                                 << "The version file is not a property list that Tindral can read.";
        QTest::newRow("1 MB of data")
            << response("200 OK", QByteArray(1024 * 1024, 'x')) << limit
            << "The update server sent more than 64 KiB, too much for a version file.";
        QTest::newRow("a version that is a number")
            << response("200 OK", versionFile("<key>version</key><integer>3</integer>")) << limit
            << "The version file's “version” entry is an integer, not a string.";
        QTest::newRow("no version") << response("200 OK", versionFile("<key>details</key><string>x</string>"))
                                    << limit << "The version file names no version.";
        QTest::newRow("an empty version") << response("200 OK", versionFile("<key>version</key><string/>"))
                                          << limit << "The version file names no version.";
        QTest::newRow("a list, not a dictionary")
            << response("200 OK", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>") << limit
            << "The version file holds a list instead of a dictionary.";
    }

    void aCheckThatFails() {
        QFETCH(QByteArray, answer);
        QFETCH(int, timeLimit);
        QFETCH(QString, reason);
        if (answer.isEmpty())
            m_server->answers.clear();
        else
            serve(answer);
        updates()->setTimeLimit(timeLimit);
        UserDefaults::standardUserDefaults().setObjectForKey(QStringLiteral("an earlier outcome"),
                                                             QStringLiteral("lastVersion"));

        QVERIFY(checkNow());
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Tindral could not check for updates"));
        QCOMPARE(m_alerts[0].message, reason);
        QCOMPARE(m_alerts[0].defaultButton, QStringLiteral("OK"));
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(setting("lastVersion"), QVariant("Check failed. " + reason));
        QCOMPARE(setting("lastDate"),
                 QVariant(QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20), QTimeZone::utc())));
        QCOMPARE(lastVersionField(), "Last Check: Check failed. " + reason);
    }

    void noServerListening() {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        UserDefaults::standardUserDefaults().setObjectForKey(QStringLiteral("http://127.0.0.1:%1").arg(port),
                                                             QStringLiteral("updateServer"));
        QVERIFY(checkNow());
        const QString reason =
            QStringLiteral(
                "The update server at http://127.0.0.1:%1 could not be reached (Connection refused).")
                .arg(port);
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Tindral could not check for updates"));
        QCOMPARE(m_alerts[0].message, reason);
        QCOMPARE(setting("lastVersion"), QVariant("Check failed. " + reason));
    }

    void redirectsAreFollowedOnlyToWebAddresses() {
        serve(response("302 Found", "", "Location: /tindral/moved.plist\r\n"));
        m_server->answers.insert("/tindral/moved.plist",
                                 response("200 OK", entries("2.1", "", "http://example.org/get")));
        QVERIFY(checkNow());
        QCOMPARE(m_server->asked, QList<QByteArray>({"/tindral/version.plist", "/tindral/moved.plist"}));
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Tindral is up-to-date!"));

        m_alerts.clear();
        serve(response("302 Found", "", "Location: file:///etc/passwd\r\n"));
        QVERIFY(checkNow());
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Tindral could not check for updates"));
        QVERIFY2(m_alerts[0].message.startsWith(
                     "The update server sent Tindral on to an address it does not follow ("),
                 qPrintable(m_alerts[0].message));
    }

    void withoutAServerNothingIsFetched_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("message");
        QTest::newRow("no server") << QVariant() << "No update server is set for this build";
        QTest::newRow("an empty setting") << QVariant(QString()) << "No update server is set for this build";
        QTest::newRow("a server that is not a web address")
            << QVariant(QStringLiteral("ftp://127.0.0.1/"))
            << "The update server address “ftp://127.0.0.1/” is not a web address.";
    }

    void withoutAServerNothingIsFetched() {
        QFETCH(QVariant, stored);
        QFETCH(QString, message);
        if (message.startsWith("No update server") && !QStringLiteral(BUILD_UPDATE_SERVER).isEmpty())
            QSKIP("This build has an update server of its own (TINDRAL_UPDATE_SERVER).");
        QFile::remove(UserDefaults::standardPath());
        UserDefaults::standardUserDefaults().setObjectForKey(stored, QStringLiteral("updateServer"));
        QVERIFY(checkNow());
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].title, QStringLiteral("Tindral could not check for updates"));
        QCOMPARE(m_alerts[0].message, message);
        QVERIFY(m_server->asked.isEmpty());
        QCOMPARE(setting("lastVersion"), QVariant());
        QCOMPARE(setting("lastDate"), QVariant());
    }

    void theWindowStaysLiveAndCancelStopsTheCheck() {
        m_server->answers.clear();
        UserDefaults::standardUserDefaults().setObjectForKey(QStringLiteral("an earlier outcome"),
                                                             QStringLiteral("lastVersion"));
        QSignalSpy ended(updates(), &updateController::checkEnded);
        // From the application menu.
        updates()->checkForUpdates();
        // The call came back at once; a modal dialog with Cancel stands in front while the request runs.
        QVERIFY(updates()->isChecking());
        QProgressDialog *progress = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("updateProgress") && widget->isVisible())
                progress = qobject_cast<QProgressDialog *>(widget);
        }
        QVERIFY(progress);
        QCOMPARE(progress->windowModality(), Qt::ApplicationModal);
        QTRY_COMPARE(m_server->asked.size(), 1);
        // A second request while one runs starts nothing.
        updates()->checkNow();
        QCOMPARE(m_server->asked.size(), 1);

        QPushButton *cancel = progress->findChild<QPushButton *>();
        QVERIFY(cancel);
        cancel->click();
        QVERIFY(!ended.isEmpty() || ended.wait(10000));
        QVERIFY(!updates()->isChecking());
        QVERIFY(m_alerts.isEmpty());
        QCOMPARE(setting("lastVersion"), QVariant(QStringLiteral("an earlier outcome")));
        QCOMPARE(lastVersionField(), QStringLiteral("Last Check: an earlier outcome"));
    }

    void theDateFieldFollowsTheDateFormat() {
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.setObjectForKey(QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20), QTimeZone::utc()),
                                 QStringLiteral("lastDate"));
        defaults.setVolatileValue(QStringLiteral("NSDateFormatString"), QStringLiteral("%d.%m.%Y %H:%M"));
        updates()->updateLast();
        QCOMPARE(lastDateField(), QStringLiteral("14.11.2023 22:13"));
        defaults.removeVolatileValue(QStringLiteral("NSDateFormatString"));
        // A "lastDate" that is not a date is no date.
        defaults.setObjectForKey(QStringLiteral("yesterday"), QStringLiteral("lastDate"));
        defaults.setObjectForKey(qint64(12), QStringLiteral("lastVersion"));
        updates()->updateLast();
        QCOMPARE(lastDateField(), QStringLiteral("Date Unknown"));
        QCOMPARE(lastVersionField(), QStringLiteral("Last Check: Version Unknown"));
    }

    void picture() {
        serve(response("404 Not Found", ""));
        QVERIFY(checkNow());
        m_prefs->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_prefs.get()));
        QVERIFY(m_prefs->grab().save(QCoreApplication::applicationDirPath() +
                                     "/preferencesWindowAfterCheck.png"));
        m_prefs->hide();
    }

    void cleanupTestCase() {
        m_prefs.reset();
        m_server.reset();
        for (const char *scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        AlertPanel::setAnswerer({});
        Clock::reset();
    }
};

QTEST_MAIN(TestUpdateController)
#include "tst_updateController.moc"
