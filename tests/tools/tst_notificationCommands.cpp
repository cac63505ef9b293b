#include "programRun.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

const QString kProgram = QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock");

// A `tindral-clock listen` in a program of its own, ready once it says it is listening.
class Listener {
public:
    explicit Listener(const QStringList &names = {}) {
        m_process.start(kProgram, QStringList{QStringLiteral("listen")} + names);
    }
    ~Listener() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    bool waitUntilListening() {
        m_process.setReadChannel(QProcess::StandardError);
        for (;;) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine();
                if (line.startsWith("listening"))
                    return true;
                m_errors += line;
            }
            if (!m_process.waitForReadyRead(30000))
                return false;
        }
    }

    QStringList takeLines(int count) {
        m_process.setReadChannel(QProcess::StandardOutput);
        QStringList lines;
        while (lines.size() < count) {
            while (lines.size() < count && m_process.canReadLine())
                lines << QString::fromUtf8(m_process.readLine()).chopped(1);
            if (lines.size() < count && !m_process.waitForReadyRead(30000))
                break;
        }
        return lines;
    }

    int stop(int signal) {
        ::kill(pid_t(m_process.processId()), signal);
        if (!m_process.waitForFinished(30000) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }

    QString remainingOutput() { return QString::fromUtf8(m_process.readAllStandardOutput()); }
    QString errors() { return QString::fromUtf8(m_errors + m_process.readAllStandardError()); }

private:
    QProcess m_process;
    QByteArray m_errors;
};

const char kTimerRecordJson[] = R"({"title": "Tea", "time": "00:05:00", "done": "", )"
                                R"("windowColor": {"$base64": "Af//////AAAAAAAA"}, "transparency": "0.7", )"
                                R"("totalSeconds": "300", "ic": true, "rowIndex": 0})";
const char kTimerRecordOut[] =
    R"({"done": "", "ic": true, "rowIndex": 0, "time": "00:05:00", "title": "Tea", )"
    R"("totalSeconds": "300", "transparency": "0.7", "windowColor": "Af//////AAAAAAAA"})";

const char kTurnedOnLine[] = R"({"name": "TNDTurnedOn", "userInfo": {}})";
const char kWentAwayLine[] = R"({"name": "TNDWentAway", "userInfo": {}})";
const char kRemoveTimerLine[] = R"({"name": "TNDRemoveTimer", "userInfo": {"rowIndex": 0}})";

// Expected lines and rows of JSON, kept out of the test class for easier reading. (moc misreads a backslash
// before a quote inside a raw string, so the row with escapes is written without one.)
void kindRows() {
    QTest::addColumn<QStringList>("post");
    QTest::addColumn<QString>("line");
    QTest::newRow("values typed by their look")
        << QStringList{"TNDUpdateTimerInterval",
                       "i=15",
                       "n=-5",
                       "r=0.7",
                       "d=2.",
                       "e=1e3",
                       "t=true",
                       "f=false",
                       "s=hello world",
                       "empty=",
                       "huge=99999999999999999999"}
        << R"({"name": "TNDUpdateTimerInterval", "userInfo": {"d": 2.0, "e": 1000.0, "empty": "", "f": false, )"
           R"("huge": 1e+20, "i": 15, "n": -5, "r": 0.7, "s": "hello world", "t": true}})";
    QTest::newRow("a new timer: the record is the whole user info")
        << QStringList{"TNDAddTimer", QStringLiteral(":=") + kTimerRecordJson}
        << QStringLiteral(R"({"name": "TNDAddTimer", "userInfo": %1})").arg(kTimerRecordOut);
    QTest::newRow("a changed timer: the record nested under timerInfo")
        << QStringList{"TNDChangeTimer", QStringLiteral("timerInfo:=") + kTimerRecordJson, "rowIndex=0"}
        << QStringLiteral(R"({"name": "TNDChangeTimer", "userInfo": {"rowIndex": 0, "timerInfo": %1}})")
               .arg(kTimerRecordOut);
    QTest::newRow("JSON keeps every kind")
        << QStringList{"x", R"(v:=[1, 1.0, -0.5e-3, "1", true, [], {}, {"$base64": ""}])"}
        << R"({"name": "x", "userInfo": {"v": [1, 1.0, -5e-04, "1", true, [], {}, ""]}})";
    QTest::newRow("escapes and letters beyond ASCII")
        << QStringList{"x", "t:=\"say \\\"grün\\\" √\\n\\t\\u0001 \\ud83c\\udf19\""}
        << QStringLiteral("{\"name\": \"x\", \"userInfo\": {\"t\": \"say \\\"grün\\\" √\\n\\t\\u0001 🌙\"}}");
    QTest::newRow("later arguments win") << QStringList{"x", R"(:={"a": 1, "b": 2})", "b=3"}
                                         << R"({"name": "x", "userInfo": {"a": 1, "b": 3}})";
    QTest::newRow("no details") << QStringList{"TNDGoAway"} << R"({"name": "TNDGoAway", "userInfo": {}})";
}

void usageErrorRows() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no name") << QStringList{"post"}
                             << "tindral-clock post: the notification's name is missing";
    QTest::newRow("an option") << QStringList{"post", "--name", "x"}
                               << "tindral-clock post: unknown option --name";
    QTest::newRow("a value where the name goes")
        << QStringList{"post", "rowIndex=1"}
        << "tindral-clock post: the first argument is the notification's name, not rowIndex=1";
    QTest::newRow("a bare word") << QStringList{"post", "x", "word"}
                                 << "tindral-clock post: word is neither KEY=VALUE nor KEY:=JSON";
    QTest::newRow("no key") << QStringList{"post", "x", "=1"}
                            << "tindral-clock post: =1 has no key before the '='";
    QTest::newRow("broken JSON")
        << QStringList{"post", "x", R"(k:={"a": })"}
        << R"(tindral-clock post: the value of "k" is not JSON: a value expected at )"
           R"(character 7)";
    QTest::newRow("JSON cut short")
        << QStringList{"post", "x", R"(k:=[1, 2)"}
        << R"(tindral-clock post: the value of "k" is not JSON: ',' or ']' expected )"
           R"(at the end)";
    QTest::newRow("text after the JSON")
        << QStringList{"post", "x", "k:=1 2"}
        << R"(tindral-clock post: the value of "k" is not JSON: more text after )"
           R"(the value at character 3)";
    QTest::newRow("null")
        << QStringList{"post", "x", "k:=null"}
        << R"(tindral-clock post: the value of "k" is not JSON: null, which cannot be sent or )"
           R"(stored, at character 1)";
    QTest::newRow("a key twice")
        << QStringList{"post", "x", R"(k:={"a": 1, "a": 2})"}
        << R"(tindral-clock post: the value of "k" is not JSON: the key "a" given twice )"
           R"(at character 10)";
    QTest::newRow("data that is not base64")
        << QStringList{"post", "x", R"(k:={"$base64": "**"})"}
        << R"(tindral-clock post: the value of "k" is not JSON: data (a )"
           R"({"$base64": ...} ending here) that is not a base64 string at )"
           R"(the end)";
    QTest::newRow("whole user info not an object")
        << QStringList{"post", "x", ":=[1]"}
        << "tindral-clock post: the user info after := is not a JSON "
           "object";
    QTest::newRow("whole user info not JSON")
        << QStringList{"post", "x", ":={"}
        << "tindral-clock post: the user info is not JSON: a key in double "
           "quotes expected at the end";
    QTest::newRow("listen option") << QStringList{"listen", "--all"}
                                   << "tindral-clock listen: unknown option --all";
    QTest::newRow("listen empty name")
        << QStringList{"listen", ""} << "tindral-clock listen: a notification's name is empty";
}

} // namespace

class TestNotificationCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void postedNotificationReachesListenWithItsKinds_data() { kindRows(); }
    void postedNotificationReachesListenWithItsKinds() {
        QFETCH(QStringList, post);
        QFETCH(QString, line);
        Listener listener;
        QVERIFY(listener.waitUntilListening());
        const ProgramRun posted = runTindralClock(QStringList{QStringLiteral("post")} + post);
        QCOMPARE(posted.err, QString());
        QCOMPARE(posted.status, 0);
        QCOMPARE(listener.takeLines(1), QStringList{line});
        QCOMPARE(listener.stop(SIGTERM), 0);
        QCOMPARE(listener.errors(), QString());
    }

    void listenHearsOnlyTheNamesGiven() {
        Listener listener({QStringLiteral("TNDTurnedOn"), QStringLiteral("TNDWentAway")});
        QVERIFY(listener.waitUntilListening());
        for (const char *name : {"TNDGoAway", "TNDTurnedOn", "TNDDoneTimer", "TNDWentAway"})
            QCOMPARE(runTindralClock({QStringLiteral("post"), QString::fromLatin1(name)}).status, 0);
        QCOMPARE(listener.takeLines(2), (QStringList{kTurnedOnLine, kWentAwayLine}));
        QCOMPARE(listener.stop(SIGINT), 0);
        QCOMPARE(listener.remainingOutput(), QString());
    }

    void malformedNotificationIsRefusedAndListenGoesOn() {
        Listener listener;
        QVERIFY(listener.waitUntilListening());
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/tindral/Notifications"),
                                                         QStringLiteral("org.tindral.Notifications"),
                                                         QStringLiteral("Notification"));
        signal << QStringLiteral("TNDAddTimer") << QStringLiteral("not a dictionary");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.send(signal));
        QCOMPARE(runTindralClock(
                     {QStringLiteral("post"), QStringLiteral("TNDRemoveTimer"), QStringLiteral("rowIndex=0")})
                     .status,
                 0);
        QCOMPARE(listener.takeLines(1), QStringList{kRemoveTimerLine});
        QCOMPARE(listener.stop(SIGTERM), 0);
        QCOMPARE(listener.errors(),
                 QStringLiteral("A notification from %1 was refused: its arguments are (ss), not "
                                "a name and a dictionary (sa{sv}).\n")
                     .arg(bus.baseService()));
    }

    void usageErrorsAreNamedInOneLine_data() { usageErrorRows(); }
    void usageErrorsAreNamedInOneLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const ProgramRun result = runTindralClock(arguments);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, message + u'\n');
        QCOMPARE(result.out, QString());
    }

    void withoutABusNothingIsSent() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=/nonexistent/bus"));
        const ProgramRun posted =
            runTindralClock({QStringLiteral("post"), QStringLiteral("TNDGoAway")}, environment);
        QCOMPARE(posted.status, 1);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^No D-Bus session bus \\(.+\\): notifications are not sent to "
                                              "other programs\\.\n$"))
                .match(posted.err)
                .hasMatch(),
            qPrintable(posted.err));
        const ProgramRun listened = runTindralClock({QStringLiteral("listen")}, environment);
        QCOMPARE(listened.status, 1);
        QCOMPARE(listened.err,
                 QStringLiteral("tindral-clock listen: there is no D-Bus session bus to listen to\n"));
    }
};

QTEST_GUILESS_MAIN(TestNotificationCommands)
#include "tst_notificationCommands.moc"
