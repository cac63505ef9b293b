#include "../fileSupport.h"
#include "Clock.h"
#include "PropertyList.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>
#include <limits>

namespace {

// Reads whole lines from a child until one matches, or the child ends.
QByteArray waitForLine(QProcess &process) {
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(60000))
            return {};
    }
    return process.readLine().trimmed();
}

} // namespace

class TestUserDefaults : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString m_path;

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QVERIFY(m_folder.isValid());
        m_path = m_folder.filePath(QStringLiteral("Tindral.plist"));
        Clock::setNowFunction([] { return 1700000000.0; }); // 2023-11-14 22:13:20 UTC
    }
    void cleanup() {
        Clock::reset();
        QDir folder(m_folder.path());
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden))
            folder.remove(name);
    }

    void standardFileIsTindralPlistInThePreferencesFolder() {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_folder.path().toLocal8Bit());
        const QString path = UserDefaults::standardPath();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(path, m_folder.path() + QStringLiteral("/Tindral.plist"));
    }

    void valueSetIsReadBackWithItsKind_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("integer") << QVariant(qint64(15));
        QTest::newRow("negative integer") << QVariant(qint64(-86400));
        QTest::newRow("boolean, as the companion stores it") << QVariant(true);
        QTest::newRow("string") << QVariant(QStringLiteral("%H:%M:%S"));
        QTest::newRow("real") << QVariant(1.5);
        QTest::newRow("data") << QVariant(QByteArray("\x01\x00\xff", 3));
        QTest::newRow("list of strings")
            << QVariant(QVariantList{QStringLiteral("AM"), QStringLiteral("PM")});
    }
    void valueSetIsReadBackWithItsKind() {
        QFETCH(QVariant, value);
        UserDefaults writer(m_path);
        QCOMPARE(writer.setObjectForKey(value, QStringLiteral("key")), UserDefaults::WriteOutcome::Written);
        QCOMPARE(writer.objectForKey(QStringLiteral("key")), value);
        UserDefaults reader(m_path);
        const QVariant read = reader.objectForKey(QStringLiteral("key"));
        QCOMPARE(read.typeId(), value.typeId());
        QCOMPARE(read, value);
    }

    void integerSettingIsStoredAsAnInteger() {
        UserDefaults defaults(m_path);
        QCOMPARE(defaults.setIntegerForKey(5, QStringLiteral("updateTimerInterval")),
                 UserDefaults::WriteOutcome::Written);
        QCOMPARE(readBytes(m_path), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                               "<plist version=\"1.0\">\n<dict>\n"
                                               "\t<key>updateTimerInterval</key>\n\t<integer>5</integer>\n"
                                               "</dict>\n</plist>\n"));
        QCOMPARE(defaults.integerForKey(QStringLiteral("updateTimerInterval")), 5);
    }

    void integersAboveTheSignedRangeSaturate() {
        writeBytes(m_path, "<plist version=\"1.0\"><dict><key>a</key><integer>9223372036854775808</integer>"
                           "<key>b</key><integer>18446744073709551615</integer>"
                           "<key>c</key><integer>-9223372036854775808</integer></dict></plist>");
        UserDefaults defaults(m_path);
        QCOMPARE(defaults.integerForKey(QStringLiteral("a")), std::numeric_limits<qint64>::max());
        QCOMPARE(defaults.integerForKey(QStringLiteral("b")), std::numeric_limits<qint64>::max());
        QCOMPARE(defaults.integerForKey(QStringLiteral("c")), std::numeric_limits<qint64>::min());
        QCOMPARE(defaults.stringForKey(QStringLiteral("a")), QStringLiteral("9223372036854775808"));
    }

    void aLoopOfLinksIsToldOnceAndNeverReplaced() {
        const QString other = m_folder.filePath(QStringLiteral("other.plist"));
        QVERIFY(QFile::link(other, m_path));
        QVERIFY(QFile::link(m_path, other));
        UserDefaults defaults(m_path);
        QTest::ignoreMessage(
            QtWarningMsg,
            qPrintable(QStringLiteral("The settings file %1 cannot be read (it is a loop of "
                                      "symbolic links): its settings read as missing, and "
                                      "settings cannot be changed until a file takes its place.")
                           .arg(m_path)));
        QCOMPARE(defaults.objectForKey(QStringLiteral("icSecondsOffset")), QVariant());
        QCOMPARE(defaults.objectForKey(QStringLiteral("icSecondsOffset")), QVariant());
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("The settings file %1 was not changed: it is a "
                                                       "loop of symbolic links, so it was left as "
                                                       "it is.")
                                            .arg(m_path)));
        QCOMPARE(defaults.setIntegerForKey(60, QStringLiteral("icSecondsOffset")),
                 UserDefaults::WriteOutcome::Failed);
        QCOMPARE(QFileInfo(m_path).symLinkTarget(), other);
        QVERIFY(QFile::remove(m_path));
        QVERIFY(QFile::remove(other));
    }

    void eachWriteKeepsTheOtherKeys() {
        UserDefaults main(m_path);
        UserDefaults companion(m_path);
        main.setIntegerForKey(120, QStringLiteral("icSecondsOffset"));
        companion.setObjectForKey(true, QStringLiteral("showTindralMenu"),
                                  UserDefaults::WriteMode::OnlyIfFileExists);
        main.setIntegerForKey(3, QStringLiteral("updateTimerIndex"));
        QCOMPARE(*PropertyList::readDictionary(m_path),
                 (QVariantMap{{QStringLiteral("icSecondsOffset"), qint64(120)},
                              {QStringLiteral("showTindralMenu"), true},
                              {QStringLiteral("updateTimerIndex"), qint64(3)}}));
    }

    void readsFollowAnotherWriter() {
        UserDefaults mine(m_path);
        UserDefaults theirs(m_path);
        QCOMPARE(mine.integerForKey(QStringLiteral("icSecondsOffset")), 0);
        theirs.setIntegerForKey(60, QStringLiteral("icSecondsOffset"));
        QCOMPARE(mine.integerForKey(QStringLiteral("icSecondsOffset")), 60);
        theirs.setIntegerForKey(61, QStringLiteral("icSecondsOffset"));
        QCOMPARE(mine.integerForKey(QStringLiteral("icSecondsOffset")), 61);
        // A program that rewrites the file in place, keeping its inode and its size.
        QByteArray bytes = readBytes(m_path);
        bytes.replace("<integer>61</integer>", "<integer>62</integer>");
        {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write(bytes);
        }
        QCOMPARE(mine.integerForKey(QStringLiteral("icSecondsOffset")), 62);
        QFile::remove(m_path);
        QCOMPARE(mine.integerForKey(QStringLiteral("icSecondsOffset")), 0);
        QVERIFY(!mine.dictionary());
    }

    void removingAKey() {
        UserDefaults defaults(m_path);
        QCOMPARE(defaults.removeObjectForKey(QStringLiteral("lastDate")),
                 UserDefaults::WriteOutcome::Skipped);
        QVERIFY(!QFileInfo::exists(m_path));
        defaults.setObjectForKey(QStringLiteral("1.0"), QStringLiteral("lastVersion"));
        defaults.setObjectForKey(QStringLiteral("2024"), QStringLiteral("lastDate"));
        QCOMPARE(defaults.removeObjectForKey(QStringLiteral("lastDate")),
                 UserDefaults::WriteOutcome::Written);
        QVERIFY(!defaults.objectForKey(QStringLiteral("lastDate")).isValid());
        QCOMPARE(*PropertyList::readDictionary(m_path),
                 (QVariantMap{{QStringLiteral("lastVersion"), QStringLiteral("1.0")}}));
        // Setting nothing removes the key as well.
        defaults.setObjectForKey(QVariant(), QStringLiteral("lastVersion"));
        QCOMPARE(*PropertyList::readDictionary(m_path), QVariantMap());
    }

    void companionWriteBackNeedsAnExistingFile() {
        UserDefaults companion(m_path);
        QCOMPARE(companion.setObjectForKey(true, QStringLiteral("showTindralMenu"),
                                           UserDefaults::WriteMode::OnlyIfFileExists),
                 UserDefaults::WriteOutcome::Skipped);
        QVERIFY(!QFileInfo::exists(m_path));
        QCOMPARE(companion.integerForKey(QStringLiteral("showTindralMenu")), 0);

        UserDefaults(m_path).setIntegerForKey(5, QStringLiteral("updateTimerInterval"));
        QCOMPARE(
            companion.writeBack([](QVariantMap &d) { d.insert(QStringLiteral("showTindralMenu"), false); },
                                UserDefaults::WriteMode::OnlyIfFileExists),
            UserDefaults::WriteOutcome::Written);
        QCOMPARE(*PropertyList::readDictionary(m_path),
                 (QVariantMap{{QStringLiteral("updateTimerInterval"), qint64(5)},
                              {QStringLiteral("showTindralMenu"), false}}));
    }

    void damagedFileReadsAsMissingAndIsKeptOnTheNextWrite() {
        const QByteArray damaged = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>icSecondsOff";
        writeBytes(m_path, damaged);
        UserDefaults defaults(m_path);
        // Told once, not at every read.
        QTest::ignoreMessage(
            QtWarningMsg,
            qPrintable(QStringLiteral("The settings file %1 is damaged (the file is not a property "
                                      "list): its settings read as missing. The next change of a "
                                      "setting keeps it aside and starts a new file.")
                           .arg(m_path)));
        QVERIFY(!defaults.dictionary());
        QCOMPARE(defaults.integerForKey(QStringLiteral("icSecondsOffset")), 0);
        QVERIFY(!defaults.objectForKey(QStringLiteral("updateTimerInterval")).isValid());

        QCOMPARE(defaults.setObjectForKey(true, QStringLiteral("showTindralMenu"),
                                          UserDefaults::WriteMode::OnlyIfFileExists),
                 UserDefaults::WriteOutcome::Skipped);
        QCOMPARE(readBytes(m_path), damaged);

        const QString kept = m_path + QStringLiteral(".damaged-20231114-221320");
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("The settings file %1 could not be read (the file "
                                                       "is not a property list). It was kept as %2, "
                                                       "and a new file was started.")
                                            .arg(m_path, kept)));
        QCOMPARE(defaults.setIntegerForKey(1, QStringLiteral("showTindralMenu")),
                 UserDefaults::WriteOutcome::Written);
        QCOMPARE(readBytes(kept), damaged);
        QCOMPARE(defaults.integerForKey(QStringLiteral("showTindralMenu")), 1);
        QCOMPARE(UserDefaults(m_path).integerForKey(QStringLiteral("showTindralMenu")), 1);
    }

    void failedWriteIsToldAndChangesNothing() {
        UserDefaults defaults(m_path);
        defaults.setIntegerForKey(1, QStringLiteral("updateTimerIndex"));
        QFile::remove(PropertyList::lockPath(m_path));
        QVERIFY(QDir().mkdir(PropertyList::lockPath(m_path)));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^The settings file .*Tindral.plist was "
                                                               "not changed: cannot open the lock file: ")));
        const auto outcome = defaults.setIntegerForKey(2, QStringLiteral("updateTimerIndex"));
        QDir().rmdir(PropertyList::lockPath(m_path));
        QCOMPARE(outcome, UserDefaults::WriteOutcome::Failed);
        QCOMPARE(defaults.integerForKey(QStringLiteral("updateTimerIndex")), 1);
    }

    void volatileValuesAreReadFirstAndNeverWritten() {
        UserDefaults defaults(m_path);
        defaults.setIntegerForKey(60, QStringLiteral("icSecondsOffset"));
        defaults.setVolatileValue(QStringLiteral("icSecondsOffset"), qint64(-5));
        QCOMPARE(defaults.integerForKey(QStringLiteral("icSecondsOffset")), -5);
        defaults.setIntegerForKey(1, QStringLiteral("updateTimerIndex"));
        QCOMPARE(*PropertyList::readDictionary(m_path),
                 (QVariantMap{{QStringLiteral("icSecondsOffset"), qint64(60)},
                              {QStringLiteral("updateTimerIndex"), qint64(1)}}));
        defaults.removeVolatileValue(QStringLiteral("icSecondsOffset"));
        QCOMPARE(defaults.integerForKey(QStringLiteral("icSecondsOffset")), 60);
    }

    void twoProgramsSettingDifferentKeysAtOnceKeepBoth() {
        constexpr int kWrites = 500;
        QProcess first;
        QProcess second;
        first.start(QStringLiteral(SETTINGS_WRITER), {QStringLiteral("count"), m_path, QStringLiteral("a"),
                                                      QStringLiteral("b"), QString::number(kWrites)});
        second.start(QStringLiteral(SETTINGS_WRITER), {QStringLiteral("count"), m_path, QStringLiteral("b"),
                                                       QStringLiteral("a"), QString::number(kWrites)});
        QCOMPARE(waitForLine(first), QByteArray("ready"));
        QCOMPARE(waitForLine(second), QByteArray("ready"));
        first.write("go\n");
        second.write("go\n");
        QVERIFY(first.waitForFinished(120000));
        QVERIFY(second.waitForFinished(120000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY2(first.exitCode() == 0, first.readAllStandardError().constData());
        QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
        QCOMPARE(
            *PropertyList::readDictionary(m_path),
            (QVariantMap{{QStringLiteral("a"), qint64(kWrites)}, {QStringLiteral("b"), qint64(kWrites)}}));
    }

    void writerKilledAtAnyMomentLeavesTheOldFileOrTheNewOne() {
        constexpr int kPayload = 400000; // big enough that a write takes a while to put on the disk
        constexpr int kKills = 25;
        const QString kTemporaries = QStringLiteral(".Tindral.plist.tmp-*");
        int interruptedWrites = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            QProcess writer;
            writer.start(QStringLiteral(SETTINGS_WRITER),
                         {QStringLiteral("churn"), m_path, QString::number(kPayload)});
            // Let it finish a varied number of writes, then kill it during the next one: right away (while it
            // prepares the contents), or once its temporary file is there and after a varied number of looks
            // more (while the file is written, flushed or renamed).
            qint64 lastDone = 0;
            for (int done = 0; done <= kill % 4; ++done) {
                const QByteArray line = waitForLine(writer);
                QVERIFY2(!line.isEmpty(), writer.readAllStandardError().constData());
                lastDone = line.toLongLong();
            }
            if (kill % 5 != 0) {
                const QDir folder(m_folder.path());
                int looksAfter = -1;
                for (int look = 0; look < 1000000 && looksAfter < (kill * 7) % 40; ++look) {
                    if (looksAfter >= 0 ||
                        !folder.entryList({kTemporaries}, QDir::Files | QDir::Hidden).isEmpty())
                        ++looksAfter;
                }
            }
            ::kill(pid_t(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(60000));
            const QList<QByteArray> rest = writer.readAllStandardOutput().trimmed().split('\n');
            if (!rest.constLast().isEmpty())
                lastDone = rest.constLast().toLongLong();

            const PropertyList::DictionaryResult read = PropertyList::readDictionaryFile(m_path);
            QCOMPARE(read.status, PropertyList::Status::Ok);
            const qint64 generation = read.dictionary.value(QStringLiteral("generation")).toLongLong();
            QVERIFY2(generation == lastDone || generation == lastDone + 1,
                     qPrintable(QStringLiteral("the file holds generation %1 after %2 was written")
                                    .arg(generation)
                                    .arg(lastDone)));
            QCOMPARE(read.dictionary.value(QStringLiteral("payload")).toString(),
                     QString(kPayload, QChar(u'a' + int(generation % 26))));
            const QStringList leftovers =
                QDir(m_folder.path()).entryList({kTemporaries}, QDir::Files | QDir::Hidden);
            interruptedWrites += leftovers.isEmpty() ? 0 : 1;
        }
        qInfo("%d of %d kills left a temporary file behind", interruptedWrites, kKills);
        // The next write clears what the killed writers left.
        UserDefaults(m_path).setIntegerForKey(1, QStringLiteral("after"));
        QVERIFY(QDir(m_folder.path()).entryList({kTemporaries}, QDir::Files | QDir::Hidden).isEmpty());
    }

    // integerForKey's reading of every kind a settings file holds.
    void integerValueOfEveryKind_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<qint64>("integer");
        QTest::newRow("missing") << QVariant() << qint64(0);
        QTest::newRow("integer") << QVariant(qint64(-5)) << qint64(-5);
        QTest::newRow("real loses its fraction") << QVariant(59.9) << qint64(59);
        QTest::newRow("negative real, toward zero") << QVariant(-59.9) << qint64(-59);
        QTest::newRow("true") << QVariant(true) << qint64(1);
        QTest::newRow("leading number of a text") << QVariant(QStringLiteral(" 42 seconds")) << qint64(42);
        QTest::newRow("text without a number") << QVariant(QStringLiteral("soon")) << qint64(0);
        QTest::newRow("data") << QVariant(QByteArray("5")) << qint64(0);
        QTest::newRow("NaN") << QVariant(std::nan("")) << qint64(0);
        // Beyond 64 bits a number holds at the end it passed; an unsigned one used to wrap to a negative.
        QTest::newRow("unsigned above int64") << QVariant(quint64(18446744073709551615ull))
                                              << qint64(9223372036854775807);
        QTest::newRow("real above int64") << QVariant(1e30) << qint64(9223372036854775807);
        QTest::newRow("real below int64") << QVariant(-1e30) << qint64(-9223372036854775807 - 1);
        QTest::newRow("text above int64") << QVariant(QStringLiteral("99999999999999999999"))
                                          << qint64(9223372036854775807);
    }
    void integerValueOfEveryKind() {
        QFETCH(QVariant, value);
        QFETCH(qint64, integer);
        QCOMPARE(UserDefaults::integerValue(value), integer);
    }
};

QTEST_GUILESS_MAIN(TestUserDefaults)
#include "tst_UserDefaults.moc"
