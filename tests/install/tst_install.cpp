// Installs the build into a temporary DESTDIR, as a package does, and checks what a user then meets: every
// file in its place, nothing that points back into the build, the installed clock answering as the build's,
// the desktop files passing their validators, the completion, and the installed Tindral starting the
// installed companion, whose login entry names the installed path.
#include "DistributedNotificationCenter.h"
#include "../fileSupport.h"
#include "../processSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kBundle = QStringLiteral(TINDRAL_INSTALL_LIBDIR "/tindral/Tindral.app");
const QString kCompanion = kBundle + QStringLiteral("/Resources/TindralMenu.app/TindralMenu");

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_destdir;
    QString m_root; // the installed /usr inside the DESTDIR

    QString installed(const QString &path) const { return m_root + QLatin1Char('/') + path; }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_destdir.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), m_destdir.path());
        const ProgramRun install = runProgram(QStringLiteral("cmake"),
                                {QStringLiteral("--install"), QStringLiteral(TINDRAL_BUILD_DIR),
                                 QStringLiteral("--prefix"), QStringLiteral("/usr")},
                                environment);
        QVERIFY2(install.status == 0, qPrintable(install.out + install.err));
        m_root = QFileInfo(m_destdir.path() + QStringLiteral("/usr")).canonicalFilePath();
        QVERIFY(!m_root.isEmpty());
    }

    void everyFileIsInItsPlace_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("program");
        QTest::newRow("the main program") << kBundle + QStringLiteral("/Tindral") << true;
        QTest::newRow("the link to it on the PATH") << QStringLiteral("bin/tindral") << true;
        QTest::newRow("the companion, inside the application folder") << kCompanion << true;
        QTest::newRow("the command-line clock") << QStringLiteral("bin/tindral-clock") << true;
        QTest::newRow("a moon picture") << kBundle + QStringLiteral("/Resources/moon15.png") << false;
        QTest::newRow("a moon picture at twice the density")
            << kBundle + QStringLiteral("/Resources/moon15@2x.png") << false;
        QTest::newRow("the toolbar's picture") << kBundle + QStringLiteral("/Resources/tindral_icon.png")
                                               << false;
        QTest::newRow("the desktop entry") << QStringLiteral("share/applications/org.tindral.Tindral.desktop")
                                           << false;
        QTest::newRow("the AppStream description")
            << QStringLiteral("share/metainfo/org.tindral.Tindral.metainfo.xml") << false;
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            const QString path =
                QStringLiteral("share/icons/hicolor/%1x%1/apps/org.tindral.Tindral.png").arg(size);
            QTest::newRow(qPrintable(QStringLiteral("the %1 px icon").arg(size))) << path << false;
        }
        QTest::newRow("the scalable icon")
            << QStringLiteral("share/icons/hicolor/scalable/apps/org.tindral.Tindral.svg") << false;
        QTest::newRow("man tindral-clock") << QStringLiteral("share/man/man1/tindral-clock.1.gz") << false;
        QTest::newRow("man tindral") << QStringLiteral("share/man/man1/tindral.1.gz") << false;
        QTest::newRow("the completion")
            << QStringLiteral("share/bash-completion/completions/tindral-clock") << false;
        QTest::newRow("the copyright") << QStringLiteral("share/doc/tindral/copyright") << false;
    }

    void everyFileIsInItsPlace() {
        QFETCH(QString, path);
        QFETCH(bool, program);
        const QFileInfo file(installed(path));
        QVERIFY2(file.exists(), qPrintable(path));
        QCOMPARE(file.isExecutable(), program);
    }

    void theIconsHaveTheirSizes_data() {
        QTest::addColumn<int>("size");
        for (const int size : {16, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }

    void theIconsHaveTheirSizes() {
        QFETCH(int, size);
        const QImage icon(
            installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/org.tindral.Tindral.png").arg(size)));
        QCOMPARE(icon.size(), QSize(size, size));
        // Drawn, not blank: the centre of the clock face is opaque.
        QCOMPARE(qAlpha(icon.pixel(size * 46 / 100, size * 70 / 100)), 255);
    }

    void nothingPointsBackIntoTheBuild() {
        const QStringList forbidden{QStringLiteral(TINDRAL_BUILD_DIR), QStringLiteral(TINDRAL_SOURCE_DIR)};
        QDirIterator files(m_root, QDir::Files | QDir::System, QDirIterator::Subdirectories);
        int programs = 0;
        while (files.hasNext()) {
            const QString path = files.next();
            if (QFileInfo(path).isSymLink()) {
                const QString target = QFileInfo(path).symLinkTarget();
                QVERIFY2(target.startsWith(m_root), qPrintable(path + QStringLiteral(" -> ") + target));
                continue;
            }
            const QByteArray bytes = readBytes(path);
            if (bytes.startsWith("\x7f" "ELF")) {
                // Programs: no search path for libraries into the build (the debug build's programs still
                // name their source files for its messages, which points nowhere).
                ++programs;
                const ProgramRun dynamic = runProgram(QStringLiteral("readelf"), {QStringLiteral("-d"), path});
                QCOMPARE(dynamic.status, 0);
                for (const QString &line : dynamic.out.split(QLatin1Char('\n')))
                    if (line.contains(QLatin1String("PATH")))
                        for (const QString &folder : forbidden)
                            QVERIFY2(!line.contains(folder), qPrintable(path + QStringLiteral(": ") + line));
                continue;
            }
            for (const QString &folder : forbidden)
                QVERIFY2(!bytes.contains(folder.toUtf8()), qPrintable(path + QStringLiteral(" names ") + folder));
        }
        QCOMPARE(programs, 3);
    }

    void theInstalledClockAnswersAsTheBuilds() {
        const QStringList arguments{QStringLiteral("--at"),          QStringLiteral("1000000000"),
                                    QStringLiteral("--time-format"), QStringLiteral("%1I:%M:%S %p"),
                                    QStringLiteral("--am-pm"),       QStringLiteral("AM,PM"),
                                    QStringLiteral("--show"),        QStringLiteral("seconds,ampm,weekday"),
                                    QStringLiteral("--title")};
        const ProgramRun built = runProgram(QStringLiteral(TINDRAL_BIN_DIR "/tindral-clock"), arguments);
        const ProgramRun installedRun = runProgram(installed(QStringLiteral("bin/tindral-clock")), arguments);
        QCOMPARE(built.status, 0);
        QCOMPARE(installedRun.status, 0);
        QCOMPARE(installedRun.out, QStringLiteral("Jorvac 9:26:38 AM\n"));
        QCOMPARE(installedRun.out, built.out);
    }

    void theDesktopFilesPassTheirValidators_data() {
        QTest::addColumn<QString>("validator");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("path");
        QTest::newRow("desktop entry") << QStringLiteral("desktop-file-validate") << QStringList()
                                       << QStringLiteral("share/applications/org.tindral.Tindral.desktop");
        QTest::newRow("AppStream") << QStringLiteral("appstreamcli")
                                   << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net")}
                                   << QStringLiteral("share/metainfo/org.tindral.Tindral.metainfo.xml");
    }

    void theDesktopFilesPassTheirValidators() {
        QFETCH(QString, validator);
        QFETCH(QStringList, options);
        QFETCH(QString, path);
        const ProgramRun check = runProgram(validator, options << installed(path));
        QVERIFY2(check.status == 0, qPrintable(check.out + check.err));
        QVERIFY2(!check.out.contains(QLatin1String("error")), qPrintable(check.out));
    }

    void theManualPagesRead_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("excerpt");
        QTest::newRow("tindral-clock") << QStringLiteral("tindral-clock.1.gz")
                                       << QStringLiteral("--time-format F");
        QTest::newRow("tindral") << QStringLiteral("tindral.1.gz") << QStringLiteral("one Tindral at a time");
    }

    void theManualPagesRead() {
        QFETCH(QString, page);
        QFETCH(QString, excerpt);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("100"));
        const ProgramRun man = runProgram(QStringLiteral("man"),
                            {QStringLiteral("--warnings"), QStringLiteral("-l"),
                             installed(QStringLiteral("share/man/man1/") + page)},
                            environment);
        QCOMPARE(man.status, 0);
        QVERIFY2(man.err.isEmpty(), qPrintable(man.err));
        QVERIFY2(man.out.contains(excerpt), qPrintable(man.out));
    }

    void theCompletionCompletes_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the commands") << QStringList{QString()} << QStringLiteral("post listen settings timer");
        QTest::newRow("an option") << QStringList{QStringLiteral("--ti")} << QStringLiteral("--title --time-format");
        QTest::newRow("a second clock switch")
            << QStringList{QStringLiteral("--show"), QStringLiteral("seconds,am")} << QStringLiteral("seconds,ampm");
        QTest::newRow("a settings key") << QStringList{QStringLiteral("settings"), QStringLiteral("get"),
                                                       QStringLiteral("updateTimerI")}
                                        << QStringLiteral("updateTimerInterval updateTimerIndex");
        QTest::newRow("a timer option") << QStringList{QStringLiteral("timer"), QStringLiteral("add"),
                                                       QStringLiteral("--d")}
                                        << QStringLiteral("--duration");
    }

    void theCompletionCompletes() {
        QFETCH(QStringList, words);
        QFETCH(QString, expected);
        const QString script = QStringLiteral(
            "source /usr/share/bash-completion/bash_completion\n"
            "source \"$1\"\n"
            "shift\n"
            "COMP_WORDS=(tindral-clock \"$@\"); COMP_CWORD=$#\n"
            "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"
            "_tindral_clock 2>/dev/null\n"
            "echo \"${COMPREPLY[*]}\"\n");
        const ProgramRun complete =
            runProgram(QStringLiteral("bash"),
                QStringList{QStringLiteral("-c"), script, QStringLiteral("bash"),
                            installed(QStringLiteral("share/bash-completion/completions/tindral-clock"))} +
                    words);
        QCOMPARE(complete.status, 0);
        QCOMPARE(complete.out.trimmed(), expected);
    }

    void theInstalledTindralStartsTheInstalledCompanion() {
#ifndef TINDRAL_HAS_MAIN_PROGRAM
        QSKIP("this build has no main program");
#else
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QCOMPARE(runProgram(installed(QStringLiteral("bin/tindral-clock")),
                     {QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("showTindralMenu"),
                      QStringLiteral("1")})
                     .status,
                 0);

        DistributedNotificationCenter listener(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener")));
        QStringList heard;
        listener.addObserver({}, [&heard](const Notification &note) { heard.append(note.name); });
        QVERIFY(listener.waitForBus());

        QProcess tindral;
        tindral.setProcessChannelMode(QProcess::ForwardedChannels);
        tindral.start(installed(QStringLiteral("bin/tindral")));
        QVERIFY(tindral.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(heard.count(QStringLiteral("TNDTurnedOn")), 1, 60000);

        // The companion's login entry starts the installed companion, and passes the validator too.
        const QDir autostart(config + QStringLiteral("/autostart"));
        const QStringList entries = autostart.entryList(QDir::Files);
        QCOMPARE(entries.size(), 1);
        const QString entry = autostart.filePath(entries.first());
        const QString text = QString::fromUtf8(readBytes(entry));
        const QString companion = installed(kCompanion);
        QVERIFY2(text.contains(QStringLiteral("\nExec=") + companion + QLatin1Char('\n')), qPrintable(text));
        const ProgramRun check = runProgram(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY2(check.status == 0, qPrintable(check.out + check.err));

        // The companion leaves when told to, and Tindral goes too.
        QVERIFY(listener.post(QStringLiteral("TNDGoAway")));
        QTRY_COMPARE_WITH_TIMEOUT(heard.count(QStringLiteral("TNDWentAway")), 1, 30000);
        tindral.terminate();
        QVERIFY(tindral.waitForFinished(30000));
#endif
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
