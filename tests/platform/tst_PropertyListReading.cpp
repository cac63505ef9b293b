#include "PropertyList.h"

#include <QtTest>

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
};

QTEST_GUILESS_MAIN(TestPropertyListReading)
#include "tst_PropertyListReading.moc"
