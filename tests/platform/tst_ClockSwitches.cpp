#include "../fileSupport.h"
#include "ClockSwitches.h"
#include "PropertyList.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const char kGnomeDefaults[] = "org.gnome.desktop.interface clock-format '24h'\n"
                              "org.gnome.desktop.interface clock-show-date true\n"
                              "org.gnome.desktop.interface clock-show-seconds false\n"
                              "org.gnome.desktop.interface clock-show-weekday false\n"
                              "org.gnome.desktop.interface cursor-size 24\n";

QVariantMap switchesOf(bool seconds, bool weekday, bool ampm) {
    return {{QStringLiteral("DisplaySeconds"), seconds},
            {QStringLiteral("ShowDay"), weekday},
            {QStringLiteral("AppendAMPM"), ampm}};
}

void sendDconfNotify(const QString &prefix, const QStringList &changes) {
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/ca/desrt/dconf/Writer/user"),
                                   QStringLiteral("ca.desrt.dconf.Writer"), QStringLiteral("Notify"));
    signal << prefix << changes << QStringLiteral("tag");
    QVERIFY(QDBusConnection::sessionBus().send(signal));
}

} // namespace

class TestClockSwitches : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString m_plist;
    QString m_fake; // stands in for gsettings: prints `values`, counts its runs in `runs`
    QString m_values;
    QString m_runs;

    int runs() {
        QFile file(m_runs);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    std::unique_ptr<ClockSwitches> switches(const QString &program = QString()) {
        return std::make_unique<ClockSwitches>(m_plist, program.isEmpty() ? m_fake : program);
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        m_plist = m_folder.filePath(QStringLiteral("MenuBarClock.plist"));
        m_fake = m_folder.filePath(QStringLiteral("gsettings"));
        m_values = m_folder.filePath(QStringLiteral("values"));
        m_runs = m_folder.filePath(QStringLiteral("runs"));
        writeBytes(m_fake,
                   QStringLiteral("#!/bin/sh\n"
                                  "echo \"$*\" >> '%1'\n"
                                  "[ \"$*\" = 'list-recursively org.gnome.desktop.interface' ] || exit 9\n"
                                  "[ -f '%2.sleep' ] && exec sleep 30\n"
                                  "[ -f '%2' ] || { echo 'No such schema' >&2; exit 1; }\n"
                                  "exec cat '%2'\n")
                       .arg(m_runs, m_values)
                       .toUtf8());
        QVERIFY(QFile::setPermissions(m_fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        for (const QString &path : {m_plist, m_values, m_runs, m_values + QStringLiteral(".sleep")})
            QFile::remove(path);
    }

    void menuBarClockFileComesFirst() {
        writeBytes(m_values, "org.gnome.desktop.interface clock-show-seconds true\n");
        QVERIFY(PropertyList::writeFile(m_plist, QVariantMap{{QStringLiteral("ShowDay"), true}}));
        QCOMPARE(switches()->switches(), (QVariantMap{{QStringLiteral("ShowDay"), true}}));
        QCOMPARE(runs(), 0);
    }

    void damagedMenuBarClockFileGivesNothing() {
        writeBytes(m_values, kGnomeDefaults);
        writeBytes(m_plist, "<plist><dict><key>ShowDay");
        auto source = switches();
        QTest::ignoreMessage(
            QtWarningMsg,
            qPrintable(QStringLiteral("The desktop clock's settings file %1 is damaged (the file is "
                                      "not a property list): all its switches read as off.")
                           .arg(m_plist)));
        QCOMPARE(source->switches(), std::nullopt);
        QCOMPARE(source->switches(), std::nullopt); // told once
        QCOMPARE(runs(), 0);
    }

    void desktopSettingsWithoutTheFile_data() {
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<QVariantMap>("expected");
        QTest::newRow("GNOME's defaults: all off")
            << QByteArray(kGnomeDefaults) << switchesOf(false, false, false);
        QTest::newRow("seconds shown") << QByteArray("org.gnome.desktop.interface clock-show-seconds true\n")
                                       << switchesOf(true, false, false);
        QTest::newRow("weekday shown") << QByteArray("org.gnome.desktop.interface clock-show-weekday true\n")
                                       << switchesOf(false, true, false);
        QTest::newRow("12-hour clock appends AM or PM")
            << QByteArray("org.gnome.desktop.interface clock-format '12h'\n")
            << switchesOf(false, false, true);
        QTest::newRow("all on") << QByteArray("org.gnome.desktop.interface clock-format '12h'\n"
                                              "org.gnome.desktop.interface clock-show-seconds true\n"
                                              "org.gnome.desktop.interface clock-show-weekday true\n")
                                << switchesOf(true, true, true);
        QTest::newRow("another schema's keys are not ours")
            << QByteArray("org.gnome.desktop.calendar clock-show-seconds true\n"
                          "org.gnome.desktop.interface clock-show-weekday false\n")
            << switchesOf(false, false, false);
    }
    void desktopSettingsWithoutTheFile() {
        QFETCH(QByteArray, values);
        QFETCH(QVariantMap, expected);
        writeBytes(m_values, values);
        QCOMPARE(switches()->switches(), std::optional<QVariantMap>(expected));
    }

    void noDesktopSettingsGiveNothing_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("values");
        QTest::newRow("no such program")
            << m_folder.filePath(QStringLiteral("nowhere/gsettings")) << QByteArray();
        QTest::newRow("no clock keys in the schema")
            << QString() << QByteArray("org.gnome.desktop.interface cursor-size 24\n");
        QTest::newRow("no such schema (the program fails)") << QString() << QByteArray();
    }
    void noDesktopSettingsGiveNothing() {
        QFETCH(QString, program);
        QFETCH(QByteArray, values);
        if (!values.isEmpty())
            writeBytes(m_values, values);
        QCOMPARE(switches(program)->switches(), std::nullopt);
    }

    void slowDesktopProgramCountsAsNoSettings() {
        writeBytes(m_values, kGnomeDefaults);
        writeBytes(m_values + QStringLiteral(".sleep"), "");
        auto source = switches();
        source->setDesktopPatience(200);
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(QStringLiteral("The desktop's clock settings did not come from "
                                                       "%1 within 200 ms: its switches read as off.")
                                            .arg(m_fake)));
        QCOMPARE(source->switches(), std::nullopt);
    }

    void desktopProgramRunsOnceForManyReads() {
        writeBytes(m_values, kGnomeDefaults);
        auto source = switches();
        for (int read = 0; read < 100; ++read)
            QCOMPARE(source->switches(), std::optional<QVariantMap>(switchesOf(false, false, false)));
        QCOMPARE(runs(), 1);
    }

    void fileChangesAreAnnounced() {
        writeBytes(m_values, kGnomeDefaults);
        auto source = switches();
        QCOMPARE(source->switches(), std::optional<QVariantMap>(switchesOf(false, false, false)));
        QSignalSpy changed(source.get(), &ClockSwitches::changed);

        QVERIFY(PropertyList::writeFile(m_plist, QVariantMap{{QStringLiteral("DisplaySeconds"), true}}));
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(), (QVariantMap{{QStringLiteral("DisplaySeconds"), true}}));

        QVERIFY(PropertyList::writeFile(m_plist, QVariantMap{{QStringLiteral("DisplaySeconds"), false}}));
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(), (QVariantMap{{QStringLiteral("DisplaySeconds"), false}}));

        QVERIFY(QFile::remove(m_plist));
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(), std::optional<QVariantMap>(switchesOf(false, false, false)));
        QCOMPARE(changed.size(), 3);
        QCOMPARE(runs(), 1);
    }

    // In a brand-new account the preferences folder may appear only after the program started.
    void aPreferencesFolderThatAppearsLaterIsWatched() {
        writeBytes(m_values, kGnomeDefaults);
        const QString folder = m_folder.filePath(QStringLiteral("new/config"));
        QDir(m_folder.filePath(QStringLiteral("new"))).removeRecursively();
        ClockSwitches source(folder + QStringLiteral("/MenuBarClock.plist"), m_fake);
        QCOMPARE(source.switches(), std::optional<QVariantMap>(switchesOf(false, false, false)));
        QSignalSpy changed(&source, &ClockSwitches::changed);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(PropertyList::writeFile(folder + QStringLiteral("/MenuBarClock.plist"),
                                        QVariantMap{{QStringLiteral("ShowDay"), true}}));
        // Announced, not only read: the menu hears of it while it is closed.
        QTRY_VERIFY_WITH_TIMEOUT(changed.size() >= 1, 20000);
        QCOMPARE(source.switches(), (QVariantMap{{QStringLiteral("ShowDay"), true}}));
        QDir(m_folder.filePath(QStringLiteral("new"))).removeRecursively();
    }

    void otherFilesOfTheFolderAnnounceNothing() {
        writeBytes(m_values, kGnomeDefaults);
        auto source = switches();
        source->switches();
        // What each announcement found: "ShowDay" on or off.
        QList<bool> announced;
        connect(source.get(), &ClockSwitches::changed, this, [&] {
            announced << source->switches().value_or(QVariantMap()).value(QStringLiteral("ShowDay")).toBool();
        });
        // The settings file beside it, then the clock file: one change, and no new run of the desktop's
        // program.
        QVERIFY(PropertyList::writeFile(m_folder.filePath(QStringLiteral("Tindral.plist")), QVariantMap{}));
        QVERIFY(PropertyList::writeFile(m_plist, QVariantMap{{QStringLiteral("ShowDay"), true}}));
        QTRY_VERIFY(announced.contains(true));
        // A later change of the clock file marks the end: an announcement of the settings file would have come
        // before it.
        QVERIFY(PropertyList::writeFile(m_plist, QVariantMap{{QStringLiteral("ShowDay"), false}}));
        QTRY_VERIFY(announced.last() == false);
        QCOMPARE(announced, (QList<bool>{true, false}));
        QCOMPARE(runs(), 1);
    }

    void dconfNotificationOfTheClockKeysIsAnnounced() {
        writeBytes(m_values, kGnomeDefaults);
        auto source = switches();
        source->switches();
        QSignalSpy changed(source.get(), &ClockSwitches::changed);
        writeBytes(m_values, "org.gnome.desktop.interface clock-format '12h'\n");
        // A change elsewhere first: it must not run the program.
        sendDconfNotify(QStringLiteral("/org/gnome/desktop/background/"), {QStringLiteral("picture-uri")});
        sendDconfNotify(QStringLiteral("/org/gnome/desktop/interface/"), {QStringLiteral("clock-format")});
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(), std::optional<QVariantMap>(switchesOf(false, false, true)));
        QCOMPARE(runs(), 2);
        // A reset of the whole folder counts too.
        writeBytes(m_values, kGnomeDefaults);
        sendDconfNotify(QStringLiteral("/org/gnome/desktop/"), {});
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(), std::optional<QVariantMap>(switchesOf(false, false, false)));
        QCOMPARE(changed.size(), 2);
    }

    void dconfDatabaseChangeIsAnnounced() {
        writeBytes(m_values, kGnomeDefaults);
        const QString dconf = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/dconf");
        QDir(dconf).removeRecursively();
        auto source = switches();
        source->switches();
        QSignalSpy changed(source.get(), &ClockSwitches::changed);
        writeBytes(m_values, "org.gnome.desktop.interface clock-show-weekday true\n");
        // dconf's folder appears with its database, as at the first change of a new user's settings.
        QVERIFY(QDir().mkpath(dconf));
        writeBytes(dconf + QStringLiteral("/user"), "database");
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(), std::optional<QVariantMap>(switchesOf(false, true, false)));
        writeBytes(m_values, "org.gnome.desktop.interface clock-show-weekday false\n");
        writeBytes(dconf + QStringLiteral("/user.new"), "database");
        QVERIFY(QFile::remove(dconf + QStringLiteral("/user")));
        QVERIFY(QFile::rename(dconf + QStringLiteral("/user.new"), dconf + QStringLiteral("/user")));
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(), std::optional<QVariantMap>(switchesOf(false, false, false)));
        QDir(dconf).removeRecursively();
    }

    void sharedInstanceReadsThePreferencesFolder() {
        QCOMPARE(ClockSwitches::menuBarClockPath(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/MenuBarClock.plist"));
        QVERIFY(PropertyList::writeFile(ClockSwitches::menuBarClockPath(),
                                        QVariantMap{{QStringLiteral("AppendAMPM"), true}}));
        QCOMPARE(ClockSwitches::read(), (QVariantMap{{QStringLiteral("AppendAMPM"), true}}));
        QFile::remove(ClockSwitches::menuBarClockPath());
    }

    void theDesktopsOwnSettingsThroughGsettings() {
        const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
        if (gsettings.isEmpty())
            QSKIP("gsettings is not installed");
        const auto gsettingsRun = [&](const QStringList &arguments) {
            QProcess process;
            process.start(gsettings, arguments);
            process.waitForFinished(30000);
            return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()).trimmed()
                                           : QString();
        };
        const QString format = gsettingsRun({"get", "org.gnome.desktop.interface", "clock-format"});
        if (format.isEmpty())
            QSKIP("the GNOME desktop schemas are not installed");
        gsettingsRun({"reset", "org.gnome.desktop.interface", "clock-show-seconds"});
        const bool seconds =
            gsettingsRun({"get", "org.gnome.desktop.interface", "clock-show-seconds"}) == "true";
        const bool weekday =
            gsettingsRun({"get", "org.gnome.desktop.interface", "clock-show-weekday"}) == "true";

        auto source = switches(QStringLiteral("gsettings"));
        QCOMPARE(source->switches(),
                 std::optional<QVariantMap>(switchesOf(seconds, weekday, format == "'12h'")));
        QSignalSpy changed(source.get(), &ClockSwitches::changed);
        gsettingsRun(
            {"set", "org.gnome.desktop.interface", "clock-show-seconds", seconds ? "false" : "true"});
        if (gsettingsRun({"get", "org.gnome.desktop.interface", "clock-show-seconds"}) ==
            (seconds ? "true" : "false"))
            QSKIP("gsettings keeps its settings in memory here (no dconf)");
        QVERIFY(changed.wait());
        QCOMPARE(source->switches(),
                 std::optional<QVariantMap>(switchesOf(!seconds, weekday, format == "'12h'")));
        gsettingsRun({"reset", "org.gnome.desktop.interface", "clock-show-seconds"});
    }
};

QTEST_GUILESS_MAIN(TestClockSwitches)
#include "tst_ClockSwitches.moc"
