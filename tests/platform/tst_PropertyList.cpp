#include "../fileSupport.h"
#include "../hostileFiles.h"
#include "Clock.h"
#include "PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

namespace {

const QByteArray kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

} // namespace

class TestPropertyList : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString m_path;

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QVERIFY(m_folder.isValid());
        m_path = m_folder.filePath(QStringLiteral("Tindral.plist"));
        QFile::remove(m_path);
        // 2023-11-14 22:13:20 UTC; the tests run with TZ=UTC.
        Clock::setNowFunction([] { return 1700000000.0; });
    }
    void cleanup() {
        Clock::reset();
        // Files, and the FIFOs, folders and links some cases leave.
        const QDir folder(m_folder.path());
        const auto entries =
            folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir() && !entry.isSymLink())
                QDir(entry.filePath()).removeRecursively();
            else
                QFile::remove(entry.filePath());
        }
    }

    void everyKindOfValueSurvivesAWrite_data() {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("string with non-Latin letters")
            << QVariant(QStringLiteral("Kestmoor · Ke'Varra √ 月"));
        QTest::newRow("empty string") << QVariant(QString());
        QTest::newRow("string with a control character") << QVariant(QStringLiteral("a\x01z"));
        QTest::newRow("markup characters") << QVariant(QStringLiteral("<key>&amp;</key> ]]>"));
        QTest::newRow("negative integer") << QVariant(qint64(-120));
        QTest::newRow("largest integer") << QVariant(std::numeric_limits<qint64>::max());
        QTest::newRow("smallest integer") << QVariant(std::numeric_limits<qint64>::min());
        QTest::newRow("real") << QVariant(0.7);
        QTest::newRow("real with no fraction") << QVariant(2.0);
        QTest::newRow("true") << QVariant(true);
        QTest::newRow("false") << QVariant(false);
        QTest::newRow("data with zero bytes") << QVariant(QByteArray("\x00\x01\xff\x00", 4));
        QTest::newRow("empty data") << QVariant(QByteArray(""));
        QTest::newRow("date") << QVariant(
            QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20), QTimeZone::utc()));
        QTest::newRow("nested list and dictionary") << QVariant(QVariantList{
            qint64(1), QStringLiteral("two"),
            QVariantMap{{QStringLiteral("three"), QVariantList{}}, {QStringLiteral("e"), QVariantMap{}}}});
    }
    void everyKindOfValueSurvivesAWrite() {
        QFETCH(QVariant, value);
        const QVariantMap tree{{QStringLiteral("value"), value}};
        QString problem;
        QVERIFY2(PropertyList::writeFile(m_path, tree, &problem), qPrintable(problem));
        const PropertyList::DictionaryResult read = PropertyList::readDictionaryFile(m_path);
        QCOMPARE(read.status, PropertyList::Status::Ok);
        QCOMPARE(read.dictionary.value(QStringLiteral("value")).typeId(), value.typeId());
        QCOMPARE(read.dictionary, tree);
    }

    void writeReplacesTheFileAndLeavesNoTemporaryBehind() {
        QVERIFY(PropertyList::writeFile(m_path, QVariantMap{{QStringLiteral("a"), qint64(1)}}));
        QVERIFY(PropertyList::writeFile(m_path, QVariantMap{{QStringLiteral("b"), qint64(2)}}));
        QCOMPARE(*PropertyList::readDictionary(m_path), (QVariantMap{{QStringLiteral("b"), qint64(2)}}));
        const QStringList names = QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(names, (QStringList{QStringLiteral("Tindral.plist"), QStringLiteral("Tindral.plist.lock")}));
    }

    void writtenFileIsXmlThatNamesEachValue() {
        QVERIFY(
            PropertyList::writeFile(m_path, QVariantMap{{QStringLiteral("icSecondsOffset"), qint64(-120)}}));
        QCOMPARE(readBytes(m_path), kXmlHead + "<plist version=\"1.0\">\n<dict>\n"
                                               "\t<key>icSecondsOffset</key>\n\t<integer>-120</integer>\n"
                                               "</dict>\n</plist>\n");
    }

    void writeCreatesTheFolder() {
        const QString deep = m_folder.filePath(QStringLiteral("new/folder/Tindral.plist"));
        QVERIFY(PropertyList::writeFile(deep, QVariantMap{{QStringLiteral("a"), true}}));
        QCOMPARE(*PropertyList::readDictionary(deep), (QVariantMap{{QStringLiteral("a"), true}}));
        QDir(m_folder.filePath(QStringLiteral("new"))).removeRecursively();
    }

    void writeKeepsTheFilesPermissions() {
        writeBytes(m_path, PropertyList::toXml(QVariantMap{}));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(PropertyList::writeFile(m_path, QVariantMap{{QStringLiteral("a"), true}}));
        QCOMPARE(QFile::permissions(m_path) & 0x0FFF, QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    }

    void writeThroughASymbolicLinkKeepsTheLink() {
        const QString real = m_folder.filePath(QStringLiteral("elsewhere.plist"));
        writeBytes(real, PropertyList::toXml(QVariantMap{{QStringLiteral("old"), true}}));
        QVERIFY(QFile::link(real, m_path));
        const auto result = PropertyList::updateDictionary(
            m_path, [](QVariantMap &d) { d.insert(QStringLiteral("new"), true); },
            PropertyList::WriteMode::CreateFile);
        QCOMPARE(result.outcome, PropertyList::WriteOutcome::Written);
        QVERIFY(QFileInfo(m_path).isSymLink());
        QCOMPARE(*PropertyList::readDictionary(real),
                 (QVariantMap{{QStringLiteral("old"), true}, {QStringLiteral("new"), true}}));
    }

    void updateKeepsTheOtherKeys() {
        QVERIFY(PropertyList::writeFile(m_path,
                                        QVariantMap{{QStringLiteral("updateTimerInterval"), qint64(5)},
                                                    {QStringLiteral("lastVersion"), QStringLiteral("1.2")}}));
        const auto result = PropertyList::updateDictionary(
            m_path, [](QVariantMap &d) { d.insert(QStringLiteral("showTindralMenu"), true); },
            PropertyList::WriteMode::OnlyIfFileExists);
        QCOMPARE(result.outcome, PropertyList::WriteOutcome::Written);
        const QVariantMap expected{{QStringLiteral("updateTimerInterval"), qint64(5)},
                                   {QStringLiteral("lastVersion"), QStringLiteral("1.2")},
                                   {QStringLiteral("showTindralMenu"), true}};
        QCOMPARE(result.dictionary, expected);
        QCOMPARE(*PropertyList::readDictionary(m_path), expected);
        QCOMPARE(result.stamp, FileStamp::of(m_path));
    }

    void updateOfAMissingFile_data() {
        QTest::addColumn<PropertyList::WriteMode>("mode");
        QTest::addColumn<bool>("created");
        QTest::newRow("the main application's write creates it")
            << PropertyList::WriteMode::CreateFile << true;
        QTest::newRow("the companion's write is skipped")
            << PropertyList::WriteMode::OnlyIfFileExists << false;
    }
    void updateOfAMissingFile() {
        QFETCH(PropertyList::WriteMode, mode);
        QFETCH(bool, created);
        bool changed = false;
        const auto result = PropertyList::updateDictionary(
            m_path,
            [&](QVariantMap &d) {
                changed = true;
                d.insert(QStringLiteral("k"), qint64(1));
            },
            mode);
        QCOMPARE(result.outcome,
                 created ? PropertyList::WriteOutcome::Written : PropertyList::WriteOutcome::Skipped);
        QCOMPARE(changed, created);
        QCOMPARE(QFileInfo::exists(m_path), created);
        // A skipped write leaves nothing at all behind, not even a lock file.
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty(), !created);
    }

    void damagedFileIsKeptAside_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        const QByteArray whole = kXmlHead + "<plist version=\"1.0\">\n<dict>\n\t<key>icSecondsOffset</key>\n"
                                            "\t<integer>120</integer>\n</dict>\n</plist>\n";
        QTest::newRow("truncated XML")
            << whole.left(whole.size() - 20) << QStringLiteral("the file is not a property list");
        QTest::newRow("plain text") << QByteArray("showTindralMenu = 1\n")
                                    << QStringLiteral("the file is not a property list");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("the file is empty");
        QTest::newRow("truncated binary")
            << QByteArray("bplist00\xd1\x01\x02", 11) << QStringLiteral("the file is not a property list");
        QTest::newRow("NUL in a string")
            << HostileFiles::nulInXmlString()
            << QStringLiteral("it holds a NUL byte, which XML does not allow (at line 1)");
        QTest::newRow("nested too deep") << HostileFiles::deepXml(300)
                                         << QStringLiteral("it is nested deeper than 256 levels (at line 1)");
        QTest::newRow("larger than 4 MiB")
            << QByteArray(4 * 1024 * 1024 + 1, '\n') << QStringLiteral("it is larger than 4 MiB");
        QTest::newRow("top level is a list")
            << QByteArray(kXmlHead +
                          "<plist version=\"1.0\">\n<array>\n\t<integer>1</integer>\n</array>\n</plist>\n")
            << QStringLiteral("its top level is a list, not a dictionary");
        QTest::newRow("top level is a string")
            << QByteArray(kXmlHead + "<plist version=\"1.0\">\n<string>x</string>\n</plist>\n")
            << QStringLiteral("its top level is a string, not a dictionary");
    }
    void damagedFileIsKeptAside() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        writeBytes(m_path, bytes);
        const QString kept = m_path + QStringLiteral(".damaged-20231114-221320");

        const auto skipped = PropertyList::updateDictionary(
            m_path, [](QVariantMap &d) { d.insert(QStringLiteral("showTindralMenu"), true); },
            PropertyList::WriteMode::OnlyIfFileExists);
        QCOMPARE(skipped.outcome, PropertyList::WriteOutcome::Skipped);
        QCOMPARE(readBytes(m_path), bytes);
        QVERIFY(!QFileInfo::exists(kept));

        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("The settings file %1 could not be read (%2). It "
                                                       "was kept as %3, and a new file was started.")
                                            .arg(m_path, problem, kept)));
        const auto written = PropertyList::updateDictionary(
            m_path, [](QVariantMap &d) { d.insert(QStringLiteral("icSecondsOffset"), qint64(60)); },
            PropertyList::WriteMode::CreateFile);
        QCOMPARE(written.outcome, PropertyList::WriteOutcome::Written);
        QCOMPARE(readBytes(kept), bytes);
        QCOMPARE(*PropertyList::readDictionary(m_path),
                 (QVariantMap{{QStringLiteral("icSecondsOffset"), qint64(60)}}));
    }

    // What is not a regular file stays what and where it is: no write replaces it, renames it or what a link
    // names.
    void writesLeaveWhatIsNotAFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char *kind, const char *problem) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << QString::fromLatin1(problem);
        };
        row("FIFO", "it is a named pipe (FIFO), not a regular file, so it was left as it is");
        row("folder", "it is a folder, not a regular file, so it was left as it is");
        row("link to a folder",
            "it is a symbolic link to a folder, not to a regular file, so it was left as it is");
        row("loop of links", "it is a loop of symbolic links, so it was left as it is");
    }

    void writesLeaveWhatIsNotAFile() {
        QFETCH(QString, kind);
        QFETCH(QString, problem);
        const QString folder = m_folder.filePath(QStringLiteral("a folder"));
        QVERIFY(QDir().mkpath(folder));
        writeBytes(folder + QStringLiteral("/inside.txt"), "kept");
        const QByteArray name = QFile::encodeName(m_path);
        if (kind == QLatin1String("FIFO"))
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(m_path));
        else if (kind == QLatin1String("link to a folder"))
            QVERIFY(QFile::link(folder, m_path));
        else
            QVERIFY(QFile::link(m_path, m_path));
        struct stat before {};
        QCOMPARE(::lstat(name.constData(), &before), 0);
        const auto setKey = [](QVariantMap &d) { d.insert(QStringLiteral("icSecondsOffset"), qint64(60)); };

        const auto skipped =
            PropertyList::updateDictionary(m_path, setKey, PropertyList::WriteMode::OnlyIfFileExists);
        QCOMPARE(skipped.outcome, PropertyList::WriteOutcome::Skipped);
        const auto refused =
            PropertyList::updateDictionary(m_path, setKey, PropertyList::WriteMode::CreateFile);
        QCOMPARE(refused.outcome, PropertyList::WriteOutcome::Failed);
        QCOMPARE(refused.problem, problem);
        QString whyNot;
        QVERIFY(!PropertyList::writeFile(m_path, QVariantMap{}, &whyNot));

        struct stat after {};
        QCOMPARE(::lstat(name.constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(readBytes(folder + QStringLiteral("/inside.txt")), QByteArray("kept"));
        // Nothing kept aside and no lock file beside what is there.
        QStringList left =
            QDir(m_folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral("Tindral.plist"), QStringLiteral("a folder")}));
    }

    void secondDamagedFileInTheSameSecondGetsItsOwnName() {
        for (int round = 0; round < 2; ++round) {
            writeBytes(m_path, QByteArray("garbage ") + QByteArray::number(round));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be read")));
            PropertyList::updateDictionary(
                m_path, [](QVariantMap &) {}, PropertyList::WriteMode::CreateFile);
        }
        QCOMPARE(readBytes(m_path + QStringLiteral(".damaged-20231114-221320")), QByteArray("garbage 0"));
        QCOMPARE(readBytes(m_path + QStringLiteral(".damaged-20231114-221320-2")), QByteArray("garbage 1"));
    }

    void staleTemporaryOfAKilledWriterIsRemoved() {
        const QString stale = m_folder.filePath(QStringLiteral(".Tindral.plist.tmp-Ab3dEf"));
        writeBytes(stale, "half a plist");
        const QString unrelated = m_folder.filePath(QStringLiteral(".Other.plist.tmp-Ab3dEf"));
        writeBytes(unrelated, "someone else's");
        QVERIFY(PropertyList::writeFile(m_path, QVariantMap{}));
        QVERIFY(!QFileInfo::exists(stale));
        QVERIFY(QFileInfo::exists(unrelated));
    }

    void failedWriteLeavesTheOldFile() {
        QVERIFY(PropertyList::writeFile(m_path, QVariantMap{{QStringLiteral("a"), qint64(1)}}));
        const QByteArray before = readBytes(m_path);
        // A folder where the lock file belongs: no write can take the lock.
        QFile::remove(PropertyList::lockPath(m_path));
        QVERIFY(QDir().mkdir(PropertyList::lockPath(m_path)));
        QString problem;
        const bool written =
            PropertyList::writeFile(m_path, QVariantMap{{QStringLiteral("a"), qint64(2)}}, &problem);
        const auto update = PropertyList::updateDictionary(
            m_path, [](QVariantMap &d) { d.clear(); }, PropertyList::WriteMode::CreateFile);
        QDir().rmdir(PropertyList::lockPath(m_path));
        QVERIFY(!written);
        QVERIFY2(problem.startsWith(QStringLiteral("cannot open the lock file: ")), qPrintable(problem));
        QCOMPARE(update.outcome, PropertyList::WriteOutcome::Failed);
        QCOMPARE(update.problem, problem);
        QCOMPARE(readBytes(m_path), before);
    }
};

QTEST_GUILESS_MAIN(TestPropertyList)
#include "tst_PropertyList.moc"
