// tindral-clock and the companion, started on a settings file that is damaged, built to do harm or not a
// file at all: each run ends by itself within seconds with an exit status (never a signal), says what is
// wrong, and leaves the user's files where and what they were.
#include "../hostileFiles.h"
#include "DistributedNotificationCenter.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

namespace {

const QString kClock = QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock");
const QString kCompanion = QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app/TindralMenu");
// The guard against a hang, far above what a run takes even under the sanitizers.
constexpr int kPatienceMs = 20000;

enum class Fate { Damaged, NotAFile, Fine };

struct Run {
    bool ended = false;    // within kPatienceMs
    bool bySignal = false; // crashed or was killed
    int status = -1;
    QString out;
    QString err;
};

Run runClock(const QStringList &arguments) {
    QProcess process;
    process.start(kClock, arguments);
    Run run;
    run.ended = process.waitForFinished(kPatienceMs);
    if (!run.ended) {
        process.kill();
        process.waitForFinished();
    }
    run.bySignal = process.exitStatus() != QProcess::NormalExit;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class TestHostileSettings : public QObject {
    Q_OBJECT

private:
    QString m_config = qEnvironmentVariable("XDG_CONFIG_HOME");
    QString m_path = m_config + QStringLiteral("/Tindral.plist");
    QString m_elsewhere = qEnvironmentVariable("HOME") + QStringLiteral("/a folder");
    std::unique_ptr<DistributedNotificationCenter> m_listener;
    int m_turnedOn = 0;

    void clearConfig() {
        QDir config(m_config);
        const auto entries =
            config.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir() && !entry.isSymLink())
                QDir(entry.filePath()).removeRecursively();
            else
                QFile::remove(entry.filePath());
        }
        QDir(m_elsewhere).removeRecursively();
    }

    // Puts the row's thing at the settings path; the bytes of a file, empty for what is not a file.
    QByteArray make(const QString &kind) {
        const QByteArray name = QFile::encodeName(m_path);
        QByteArray bytes;
        if (kind == QLatin1String("NUL string"))
            bytes = HostileFiles::nulInXmlString();
        else if (kind == QLatin1String("deep XML"))
            bytes = HostileFiles::deepXml(50000);
        else if (kind == QLatin1String("deep binary"))
            bytes = HostileFiles::deepBinaryChain(120000);
        else if (kind == QLatin1String("shared references"))
            bytes = HostileFiles::sharedReferences(30);
        else if (kind == QLatin1String("long binary list"))
            bytes = HostileFiles::longBinaryList(100000);
        if (!bytes.isEmpty()) {
            QFile file(m_path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                qFatal("cannot write %s", name.constData());
        } else if (kind == QLatin1String("FIFO")) {
            if (::mkfifo(name.constData(), 0600) != 0)
                qFatal("cannot make a FIFO");
        } else if (kind == QLatin1String("link to a folder")) {
            if (!QDir().mkpath(m_elsewhere) || !QFile::link(m_elsewhere, m_path))
                qFatal("cannot make the folder and its link");
            QFile inside(m_elsewhere + QStringLiteral("/inside.txt"));
            if (!inside.open(QIODevice::WriteOnly) || inside.write("kept") != 4)
                qFatal("cannot write into the folder");
        } else if (kind == QLatin1String("link loop")) {
            const QString other = m_config + QStringLiteral("/other.plist");
            if (!QFile::link(other, m_path) || !QFile::link(m_path, other))
                qFatal("cannot make the loop");
        }
        return bytes;
    }

    static void verifyEnded(const Run &run, const char *what) {
        QVERIFY2(run.ended, what);
        QVERIFY2(!run.bySignal, qPrintable(QStringLiteral("%1 ended by a signal: %2")
                                               .arg(QString::fromLatin1(what), run.err.right(2000))));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(!m_config.isEmpty());
        m_listener = std::make_unique<DistributedNotificationCenter>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener")));
        m_listener->addObserver(QStringLiteral("TNDTurnedOn"),
                                [this](const Notification &) { ++m_turnedOn; });
        QVERIFY(m_listener->waitForBus());
    }

    void init() { clearConfig(); }
    void cleanup() { clearConfig(); }

    void hostileSettingsPath_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // what stderr says; empty when the file is fine
        QTest::addColumn<int>("fate");
        const auto row = [](const char *kind, const char *message, Fate fate) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << QString::fromUtf8(message) << int(fate);
        };
        row("NUL string", "(it holds a NUL byte, which XML does not allow (at line 1))", Fate::Damaged);
        row("deep XML", "(it is nested deeper than 256 levels (at line 1))", Fate::Damaged);
        row("deep binary",
            "(it is nested deeper than 256 levels (at “k” → item 0 → item 0 → … → item 0 → item 0 "
            "→ item 0))",
            Fate::Damaged);
        row("shared references", "(it holds more than 1000000 values, shared references counted each time",
            Fate::Damaged);
        row("long binary list", "", Fate::Fine);
        row("FIFO", "(it is a named pipe (FIFO), not a regular file)", Fate::NotAFile);
        row("link to a folder", "(it is a symbolic link to a folder, not to a regular file)", Fate::NotAFile);
        row("link loop", "(it is a loop of symbolic links)", Fate::NotAFile);
    }

    void hostileSettingsPath() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QFETCH(int, fate);
        const QByteArray bytes = make(kind);
        struct stat before {};
        QCOMPARE(::lstat(QFile::encodeName(m_path).constData(), &before), 0);

        const Run title = runClock({QStringLiteral("--title")});
        verifyEnded(title, "tindral-clock --title");
        QCOMPARE(title.status, 0);
        QVERIFY(!title.out.trimmed().isEmpty());
        if (message.isEmpty())
            QVERIFY2(title.err.isEmpty(), qPrintable(title.err));
        else
            QVERIFY2(title.err.contains(message), qPrintable(title.err.left(2000)));

        const Run get =
            runClock({QStringLiteral("settings"), QStringLiteral("get"), QStringLiteral("hostileList")});
        verifyEnded(get, "tindral-clock settings get");
        if (Fate(fate) == Fate::Fine) {
            QCOMPARE(get.status, 0);
            QVERIFY(get.out.startsWith(QStringLiteral("[0, 1, 2, 3, ")));
        } else {
            QCOMPARE(get.status, 1);
            QVERIFY2(get.err.contains(message), qPrintable(get.err.left(2000)));
        }

        const int turnedOn = m_turnedOn;
        QProcess companion;
        companion.start(kCompanion);
        QVERIFY(companion.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_turnedOn > turnedOn || companion.state() == QProcess::NotRunning,
                                 kPatienceMs);
        QCOMPARE(companion.state(), QProcess::Running);
        companion.terminate();
        QVERIFY(companion.waitForFinished(kPatienceMs));
        QCOMPARE(companion.exitStatus(), QProcess::NormalExit);
        QCOMPARE(companion.exitCode(), 0);
        const QString companionErr = QString::fromUtf8(companion.readAllStandardError());
        if (!message.isEmpty())
            QVERIFY2(companionErr.contains(message), qPrintable(companionErr.left(2000)));

        const Run set = runClock({QStringLiteral("settings"), QStringLiteral("set"),
                                  QStringLiteral("someKey"), QStringLiteral("1")});
        verifyEnded(set, "tindral-clock settings set");
        const QStringList kept =
            QDir(m_config).entryList({QStringLiteral("Tindral.plist.damaged-*")}, QDir::Files | QDir::Hidden);
        switch (Fate(fate)) {
        case Fate::Damaged:
            QCOMPARE(set.status, 0);
            QCOMPARE(kept.size(), 1);
            {
                QFile keptFile(m_config + u'/' + kept.first());
                QVERIFY(keptFile.open(QIODevice::ReadOnly));
                QVERIFY(keptFile.readAll() == bytes);
            }
            break;
        case Fate::NotAFile: {
            QCOMPARE(set.status, 1);
            QVERIFY2(
                set.err.contains(message.mid(1).chopped(1) + QStringLiteral(", so it was left as it is")),
                qPrintable(set.err));
            QVERIFY(kept.isEmpty());
            struct stat after {};
            QCOMPARE(::lstat(QFile::encodeName(m_path).constData(), &after), 0);
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(after.st_mode, before.st_mode);
            if (kind == QLatin1String("link to a folder")) {
                QFile inside(m_elsewhere + QStringLiteral("/inside.txt"));
                QVERIFY(inside.open(QIODevice::ReadOnly));
                QCOMPARE(inside.readAll(), QByteArray("kept"));
                QCOMPARE(QFileInfo(m_path).symLinkTarget(), m_elsewhere);
            }
            break;
        }
        case Fate::Fine: {
            QCOMPARE(set.status, 0);
            QVERIFY(kept.isEmpty());
            const Run again =
                runClock({QStringLiteral("settings"), QStringLiteral("get"), QStringLiteral("hostileList")});
            verifyEnded(again, "tindral-clock settings get");
            QVERIFY(again.out.startsWith(QStringLiteral("[0, 1, 2, 3, ")));
            break;
        }
        }
    }
};

QTEST_GUILESS_MAIN(TestHostileSettings)
#include "tst_HostileSettings.moc"
