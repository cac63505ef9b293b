#include "PropertyList.h"
#include "programRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

ProgramRun settings(const QStringList &arguments) {
    return runTindralClock(QStringList{QStringLiteral("settings")} + arguments);
}

QString settingsPath() {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Tindral.plist");
}

// The rows of JSON are kept out of the test class: moc cannot read every raw string inside one.
void typedValueRows() {
    QTest::addColumn<QStringList>("set");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("printed");
    QTest::newRow("integer") << QStringList{"updateTimerInterval", "15"} << QVariant(qint64(15)) << "15\n";
    QTest::newRow("negative integer")
        << QStringList{"icSecondsOffset", "-86400"} << QVariant(qint64(-86400)) << "-86400\n";
    QTest::newRow("boolean") << QStringList{"showTindralMenu", "true"} << QVariant(true) << "true\n";
    QTest::newRow("real") << QStringList{"k", "0.5"} << QVariant(0.5) << "0.5\n";
    QTest::newRow("string") << QStringList{"NSTimeFormatString", "%H:%M:%S"}
                            << QVariant(QStringLiteral("%H:%M:%S")) << "\"%H:%M:%S\"\n";
    QTest::newRow("JSON string that looks like a number") << QStringList{"--json", "lastVersion", R"("1.10")"}
                                                          << QVariant(QStringLiteral("1.10")) << "\"1.10\"\n";
    QTest::newRow("JSON list") << QStringList{"--json", "NSAMPMDesignation", R"(["AM", "PM"])"}
                               << QVariant(QVariantList{QStringLiteral("AM"), QStringLiteral("PM")})
                               << "[\"AM\", \"PM\"]\n";
    QTest::newRow("JSON data") << QStringList{"--json", "k", R"({"$base64": "AAH/"})"}
                               << QVariant(QByteArray("\x00\x01\xff", 3)) << "\"AAH/\"\n";
}

void usageErrorRows() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no action") << QStringList{} << "get, set or remove expected";
    QTest::newRow("unknown action") << QStringList{"put", "k", "1"}
                                    << "unknown action put: get, set or remove expected";
    QTest::newRow("get two keys") << QStringList{"get", "a", "b"} << "get takes one key at most";
    QTest::newRow("set without a value") << QStringList{"set", "k"} << "set takes a key and a value";
    QTest::newRow("set with two values")
        << QStringList{"set", "k", "1", "2"} << "set takes a key and a value";
    QTest::newRow("set an empty key") << QStringList{"set", "", "1"} << "the key is empty";
    QTest::newRow("set an option") << QStringList{"set", "--force", "1"} << "unknown option --force";
    QTest::newRow("set broken JSON") << QStringList{"set", "--json", "k", "[1,"}
                                     << "the value is not JSON: a value expected at the end";
    QTest::newRow("set --json without a value")
        << QStringList{"set", "--json", "k"} << "set --json takes a key and a JSON value";
    QTest::newRow("remove without a key") << QStringList{"remove"} << "remove takes one key";
}

} // namespace

class TestSettingsCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QFile::remove(settingsPath());
    }

    void setValueIsStoredWithItsKindAndPrinted_data() { typedValueRows(); }
    void setValueIsStoredWithItsKindAndPrinted() {
        QFETCH(QStringList, set);
        QFETCH(QVariant, stored);
        QFETCH(QString, printed);
        const ProgramRun written = settings(QStringList{QStringLiteral("set")} + set);
        QCOMPARE(written.err, QString());
        QCOMPARE(written.status, 0);
        const QString key = set.at(set.size() - 2);
        const QVariant value =
            PropertyList::readDictionary(settingsPath()).value_or(QVariantMap()).value(key);
        QCOMPARE(value.typeId(), stored.typeId());
        QCOMPARE(value, stored);
        const ProgramRun read = settings({QStringLiteral("get"), key});
        QCOMPARE(read.status, 0);
        QCOMPARE(read.out, printed);
    }

    void eachSetKeepsTheOtherKeys() {
        QVERIFY(PropertyList::writeFile(settingsPath(),
                                        QVariantMap{{QStringLiteral("showTindralMenu"), true},
                                                    {QStringLiteral("timerArray"), QVariantList{}}}));
        QCOMPARE(settings({QStringLiteral("set"), QStringLiteral("icSecondsOffset"), QStringLiteral("120")})
                     .status,
                 0);
        const ProgramRun all = settings({QStringLiteral("get")});
        QCOMPARE(all.status, 0);
        QCOMPARE(all.out, QStringLiteral(
                              "{\"icSecondsOffset\": 120, \"showTindralMenu\": true, \"timerArray\": []}\n"));
    }

    void removeTakesOneKeyAway() {
        settings({QStringLiteral("set"), QStringLiteral("a"), QStringLiteral("1")});
        settings({QStringLiteral("set"), QStringLiteral("b"), QStringLiteral("2")});
        QCOMPARE(settings({QStringLiteral("remove"), QStringLiteral("a")}).status, 0);
        QCOMPARE(settings({QStringLiteral("get")}).out, QStringLiteral("{\"b\": 2}\n"));
    }

    void missingThingsAreSaid() {
        const ProgramRun noFile = settings({QStringLiteral("get")});
        QCOMPARE(noFile.status, 1);
        QCOMPARE(noFile.err,
                 QStringLiteral("tindral-clock settings: there are no settings in %1\n").arg(settingsPath()));
        QCOMPARE(settings({QStringLiteral("remove"), QStringLiteral("a")}).status, 0);
        QVERIFY(!QFileInfo::exists(settingsPath()));
        settings({QStringLiteral("set"), QStringLiteral("a"), QStringLiteral("1")});
        const ProgramRun noKey = settings({QStringLiteral("get"), QStringLiteral("nope")});
        QCOMPARE(noKey.status, 1);
        QCOMPARE(noKey.out, QString());
        QCOMPARE(noKey.err, QStringLiteral("tindral-clock settings: \"nope\" is not set\n"));
    }

    void damagedFileIsKeptWhenASettingIsChanged() {
        const QByteArray damaged("<?xml version=\"1.0\"?><plist><dict><key>icSecondsOffset</key><integ");
        {
            QFile file(settingsPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(damaged);
        }
        const ProgramRun read = settings({QStringLiteral("get"), QStringLiteral("icSecondsOffset")});
        QCOMPARE(read.status, 1);
        QCOMPARE(read.err,
                 QStringLiteral("The settings file %1 is damaged (the file is not a property list): its "
                                "settings read as missing. The next change of a setting keeps it aside "
                                "and starts a new file.\ntindral-clock settings: \"icSecondsOffset\" is "
                                "not set\n")
                     .arg(settingsPath()));

        const ProgramRun written =
            settings({QStringLiteral("set"), QStringLiteral("icSecondsOffset"), QStringLiteral("60")});
        QCOMPARE(written.status, 0);
        const QStringList kept = QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                                     .entryList({QStringLiteral("Tindral.plist.damaged-*")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        const QString keptPath = qEnvironmentVariable("XDG_CONFIG_HOME") + u'/' + kept.first();
        QCOMPARE(written.err,
                 QStringLiteral("The settings file %1 could not be read (the file is not a property "
                                "list). It was kept as %2, and a new file was started.\n")
                     .arg(settingsPath(), keptPath));
        QFile keptFile(keptPath);
        QVERIFY(keptFile.open(QIODevice::ReadOnly));
        QCOMPARE(keptFile.readAll(), damaged);
        QCOMPARE(settings({QStringLiteral("get")}).out, QStringLiteral("{\"icSecondsOffset\": 60}\n"));
    }

    void usageErrorsAreNamedInOneLine_data() { usageErrorRows(); }
    void usageErrorsAreNamedInOneLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const ProgramRun result = settings(arguments);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, QStringLiteral("tindral-clock settings: ") + message + u'\n');
        QVERIFY(!QFileInfo::exists(settingsPath()));
    }
};

QTEST_GUILESS_MAIN(TestSettingsCommand)
#include "tst_settingsCommand.moc"
