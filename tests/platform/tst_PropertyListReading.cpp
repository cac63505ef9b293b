#include "../hostileFiles.h"
#include "PropertyList.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace HostileFiles;

namespace {
const char kNulOnLineThree[] =
    "<plist version=\"1.0\">\n<dict>\n<key>k\0</key><integer>1</integer></dict></plist>";
}

class TestPropertyListReading : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString write(const QByteArray &bytes) {
        static int n = 0;
        const QString path = m_dir.filePath(QStringLiteral("f%1.plist").arg(++n));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(bytes);
        return path;
    }

    static QVariant valueOfK(const QByteArray &bytes) {
        return PropertyList::fromData(bytes).toMap().value(QStringLiteral("k"));
    }

    // {"k": object}, the object's bytes given.
    static QByteArray binaryWithK(const QByteArray &object) {
        return binary({dictionary({1}, {2}, 1), asciiString("k"), object}, 1);
    }

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void everyValueType() {
        const QString path = QStringLiteral(TINDRAL_TEST_SOURCE_DIR "/fixtures/everyType.plist");
        const auto dict = PropertyList::readDictionary(path);
        QVERIFY(dict);
        QCOMPARE(dict->value("string"), QVariant(QString::fromUtf8("Kestmoor √")));
        QCOMPARE(dict->value("integer"), QVariant(qint64(15)));
        QCOMPARE(dict->value("negative"), QVariant(qint64(-3600)));
        QCOMPARE(dict->value("real"), QVariant(0.75));
        QCOMPARE(dict->value("yes"), QVariant(true));
        QCOMPARE(dict->value("no"), QVariant(false));
        QCOMPARE(dict->value("data"), QVariant(QByteArray("\x00\x01\x02\xff", 4)));
        QCOMPARE(dict->value("date").toDateTime().toSecsSinceEpoch(), qint64(978307260));
        QCOMPARE(dict->value("list"), QVariant(QVariantList{qint64(1), QStringLiteral("two")}));
        QCOMPARE(dict->value("nested").toMap().value("inner"), QVariant(QStringLiteral("x")));
    }

    void xmlRoundTripsThroughTheBinaryReader() {
        const QVariantMap tree{{"a", qint64(-5)}, {"b", QVariantList{true, 2.5}}, {"c", QByteArray("xyz")}};
        const QString path = write(PropertyList::toXml(tree));
        QCOMPARE(PropertyList::readDictionary(path), std::optional<QVariantMap>(tree));
    }

    void damagedAndMissingFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("dictionary");
        const int ok = int(PropertyList::Status::Ok);
        const int damaged = int(PropertyList::Status::Damaged);
        QTest::newRow("empty") << QByteArray() << damaged << false;
        QTest::newRow("not a plist") << QByteArray("hello, world") << damaged << false;
        QTest::newRow("truncated") << QByteArray("<?xml version=\"1.0\"?><plist><dict><key>a</key><str")
                                   << damaged << false;
        QTest::newRow("truncated binary") << QByteArray("bplist00\xd1\x01\x02", 11) << damaged << false;
        QTest::newRow("top level not a dictionary")
            << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>") << ok << false;
    }

    void damagedAndMissingFiles() {
        QFETCH(QByteArray, bytes);
        const QString path = write(bytes);
        QTEST(int(PropertyList::readFile(path).status), "status");
        QTEST(bool(PropertyList::readDictionary(path)), "dictionary");
        QCOMPARE(int(PropertyList::readFile(m_dir.filePath("absent.plist")).status),
                 int(PropertyList::Status::Missing));
    }

    // What a broken disk or a hostile program could leave: read as nothing, with one line naming what is
    // wrong and where, never a crash, a hang or a read without end.
    void hostileBytesReadAsNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem"); // the message begins so
        QTest::newRow("NUL in an XML string")
            << nulInXmlString()
            << QStringLiteral("it holds a NUL byte, which XML does not allow (at line 1)");
        QTest::newRow("NUL on the third line")
            << QByteArray::fromRawData(kNulOnLineThree, sizeof kNulOnLineThree - 1)
            << QStringLiteral("it holds a NUL byte, which XML does not allow (at line 3)");
        QTest::newRow("NUL in a binary string") << binaryWithK(asciiString(QByteArray("a\0b", 3)))
                                                << QStringLiteral("a string holds a NUL character (at “k”)");
        QTest::newRow("NUL in a binary UTF-16 string")
            << binaryWithK(QByteArray("\x62\x00\x61\x00\x00", 5))
            << QStringLiteral("a string holds a NUL character (at “k”)");
        QTest::newRow("NUL in a binary key")
            << binary({dictionary({1}, {2}, 1), asciiString(QByteArray("k\0z", 3)), smallInteger(1)}, 1)
            << QStringLiteral("a key holds a NUL character (at key 0)");
        QTest::newRow("50,000-deep XML")
            << deepXml(50000) << QStringLiteral("it is nested deeper than 256 levels (at line 1)");
        QTest::newRow("257-deep XML")
            << deepXml(257) << QStringLiteral("it is nested deeper than 256 levels (at line 1)");
        QTest::newRow("120,000-deep binary chain")
            << deepBinaryChain(120000)
            << QStringLiteral("it is nested deeper than 256 levels (at “k” → item 0 → item 0 → … → item 0 → "
                              "item 0 → item 0)");
        QTest::newRow("2^30 shared references")
            << sharedReferences(30)
            << QStringLiteral(
                   "it holds more than 1000000 values, shared references counted each time (at “k” → "
                   "item 0 → item 0 → … → ");
        QTest::newRow("a list that holds itself")
            << binaryWithK(list({2}, 1)) << QStringLiteral("a container holds itself (at “k” → item 0)");
        QTest::newRow("a reference past the last object")
            << binary({dictionary({1}, {9}, 1), asciiString("k")}, 1)
            << QStringLiteral("the file is not a property list");
        QTest::newRow("an integer beyond 64 bits")
            << binaryWithK(QByteArray(1, char(0x14)) + bigEndian(1, 8) + bigEndian(0, 8))
            << QStringLiteral("an integer does not fit in 64 bits (at “k”)");
        QByteArray moreObjectsThanFit = binaryWithK(smallInteger(1));
        moreObjectsThanFit.replace(moreObjectsThanFit.size() - 24, 8, bigEndian(1000000, 8));
        QTest::newRow("a trailer with more objects than fit")
            << moreObjectsThanFit << QStringLiteral("the file is not a property list");
        QTest::newRow("a later binary version") << QByteArray("bplist01").append(binaryWithK(smallInteger(1)))
                                                << QStringLiteral("the file is not a property list");
        QTest::newRow("4 MiB and one byte of blanks")
            << QByteArray(4 * 1024 * 1024 + 1, ' ') << QStringLiteral("it is larger than 4 MiB");
    }

    void hostileBytesReadAsNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        const PropertyList::ReadResult read = PropertyList::readFile(write(bytes));
        QCOMPARE(read.status, PropertyList::Status::Damaged);
        QVERIFY2(read.problem.startsWith(problem), qPrintable(read.problem));
        QVERIFY(!read.problem.contains(u'\n'));
        QVERIFY(!read.value.isValid());
    }

    void binaryFormValues_data() {
        QTest::addColumn<QByteArray>("object");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("1-byte integer") << smallInteger(200) << QVariant(qint64(200));
        QTest::newRow("2-byte integer") << QByteArray("\x11\x12\x34", 3) << QVariant(qint64(0x1234));
        QTest::newRow("8-byte -1") << QByteArray(1, char(0x13)) + QByteArray(8, char(0xff))
                                   << QVariant(qint64(-1));
        QTest::newRow("16-byte 2^63")
            << QByteArray(1, char(0x14)) + bigEndian(0, 8) + bigEndian(1ULL << 63, 8)
            << QVariant(quint64(9223372036854775808ULL));
        QTest::newRow("16-byte -2") << QByteArray(1, char(0x14)) +
                                           QByteArray(15, char(0xff)).append(char(0xfe))
                                    << QVariant(qint64(-2));
        QTest::newRow("real 0.75") << QByteArray("\x23\x3f\xe8\0\0\0\0\0\0", 9) << QVariant(0.75);
        QTest::newRow("float 0.5") << QByteArray("\x22\x3f\x00\0\0", 5) << QVariant(0.5);
        QTest::newRow("true") << QByteArray("\x09") << QVariant(true);
        QTest::newRow("data") << QByteArray("\x42\x00\xff", 3) << QVariant(QByteArray("\x00\xff", 2));
        QTest::newRow("UTF-16 string")
            << QByteArray("\x62\x22\x1a\x00\x78", 5) << QVariant(QString::fromUtf8("√x"));
        QTest::newRow("date one minute after 2001")
            << QByteArray("\x33\x40\x4e\0\0\0\0\0\0", 9)
            << QVariant(QDateTime(QDate(2001, 1, 1), QTime(0, 1), QTimeZone::utc()));
        QTest::newRow("string of 20 characters, its length after the marker")
            << QByteArray("\x5f\x10\x14") + QByteArray(20, 'z') << QVariant(QString(20, u'z'));
    }

    void binaryFormValues() {
        QFETCH(QByteArray, object);
        QFETCH(QVariant, value);
        const QVariant read = valueOfK(binaryWithK(object));
        QCOMPARE(read.typeId(), value.typeId());
        QCOMPARE(read, value);
    }

    void sharedReferencesWithinTheLimitReadAsCopies() {
        // {"k": [[7, 7], [7, 7]]}, each list and the 7 written once.
        const QByteArray bytes = binary(
            {dictionary({1}, {2}, 1), asciiString("k"), list({3, 3}, 1), list({4, 4}, 1), smallInteger(7)},
            1);
        const QVariantList pair{qint64(7), qint64(7)};
        QCOMPARE(valueOfK(bytes), QVariant(QVariantList{pair, pair}));
    }

    void longBinaryListReadsWhole() {
        const QVariantList items = PropertyList::fromData(longBinaryList(100000))
                                       .toMap()
                                       .value(QStringLiteral("hostileList"))
                                       .toList();
        QCOMPARE(items.size(), 100000);
        QCOMPARE(items[255], QVariant(qint64(255)));
        QCOMPARE(items[99999], QVariant(qint64(159))); // 99999 = 390 × 256 + 159
    }

    void integersKeepTheirSign_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("2^63") << QByteArray("9223372036854775808")
                              << QVariant(quint64(9223372036854775808ULL));
        QTest::newRow("2^64 - 1") << QByteArray("18446744073709551615")
                                  << QVariant(quint64(18446744073709551615ULL));
        QTest::newRow("2^63 - 1") << QByteArray("9223372036854775807")
                                  << QVariant(qint64(9223372036854775807LL));
        QTest::newRow("-2^63") << QByteArray("-9223372036854775808")
                               << QVariant(std::numeric_limits<qint64>::min());
        QTest::newRow("-1") << QByteArray("-1") << QVariant(qint64(-1));
    }

    void integersKeepTheirSign() {
        QFETCH(QByteArray, text);
        QFETCH(QVariant, value);
        // With a large unsigned number in the same file, so that both kinds are told apart in one read.
        const QByteArray xml =
            "<plist version=\"1.0\"><dict><key>k</key><integer>" + text +
            "</integer><key>big</key><integer>18446744073709551614</integer></dict></plist>";
        const QVariant read = valueOfK(xml);
        QCOMPARE(read.typeId(), value.typeId());
        QCOMPARE(read, value);
        // Written back as it was read.
        QVERIFY(PropertyList::toXml(QVariantMap{{QStringLiteral("k"), read}})
                    .contains("<integer>" + text + "</integer>"));
    }

    void thingsThatAreNotFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char *name, const char *kind, const char *problem) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(problem);
        };
        row("FIFO", "fifo", "it is a named pipe (FIFO), not a regular file");
        row("folder", "folder", "it is a folder, not a regular file");
        row("link to a folder", "link to folder", "it is a symbolic link to a folder, not to a regular file");
        row("link to a device", "link to device", "it is a symbolic link to a device, not to a regular file");
        row("loop of links", "loop", "it is a loop of symbolic links");
    }

    void thingsThatAreNotFiles() {
        QFETCH(QString, kind);
        QFETCH(QString, problem);
        const QString path = m_dir.filePath(QStringLiteral("thing.plist"));
        const QByteArray name = QFile::encodeName(path);
        QFile::remove(path);
        QDir(path).removeRecursively();
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        else if (kind == QLatin1String("link to folder"))
            QVERIFY(QFile::link(m_dir.path(), path));
        else if (kind == QLatin1String("link to device"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        else
            QVERIFY(QFile::link(path, path));
        const PropertyList::ReadResult read = PropertyList::readFile(path);
        QCOMPARE(read.status, PropertyList::Status::NotAFile);
        QCOMPARE(read.problem, problem);
        QFile::remove(path);
        QDir(path).removeRecursively();
    }

    void linkToAFileIsFollowed() {
        const QString target = write(PropertyList::toXml(QVariantMap{{QStringLiteral("k"), qint64(1)}}));
        const QString first = m_dir.filePath(QStringLiteral("first-link.plist"));
        const QString second = m_dir.filePath(QStringLiteral("second-link.plist"));
        QVERIFY(QFile::link(target, first));
        QVERIFY(QFile::link(first, second));
        QCOMPARE(PropertyList::readDictionary(second), (QVariantMap{{QStringLiteral("k"), qint64(1)}}));
    }
};

QTEST_GUILESS_MAIN(TestPropertyListReading)
#include "tst_PropertyListReading.moc"
