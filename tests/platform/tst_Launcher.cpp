#include "Launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// Programs in a temporary folder: an application folder with its program, one without, one whose program
// cannot be run, one whose "program" is a folder, a plain program file and a file that is no program.
class TestLauncher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup() { Launcher::reset(); }

    void checkPathAsksWhetherSomethingIsThere_data();
    void checkPathAsksWhetherSomethingIsThere();
    void executableOfAnApplicationFolder_data();
    void executableOfAnApplicationFolder();
    void openApplicationStatuses_data();
    void openApplicationStatuses();
    void aFailedStartCouldNotStart();
    void aRealStartRunsTheProgramDetached();
    void aRealStartOfAFileThatIsNoProgramFails();

private:
    QString path(const QString &relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    void write(const QString &relative, const QByteArray &text, bool executable);

    QTemporaryDir m_dir;
    QList<QStringList> m_started; // program first, then its arguments
};

void TestLauncher::write(const QString &relative, const QByteArray &text, bool executable) {
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    QFile file(path(relative));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable)
        permissions |= QFileDevice::ExeOwner;
    QVERIFY(file.setPermissions(permissions));
}

void TestLauncher::initTestCase() {
    QVERIFY(m_dir.isValid());
    // The program writes its arguments, one a line, into started.txt beside it.
    const QByteArray script =
        "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$(dirname \"$0\")/started.tmp\"\n"
        "mv \"$(dirname \"$0\")/started.tmp\" \"$(dirname \"$0\")/started.txt\"\n";
    write(QStringLiteral("Tindral.app/Tindral"), script, true);
    write(QStringLiteral("Tindral.app/Resources/x.png"), "", false);
    write(QStringLiteral("Empty.app/Resources/x.png"), "", false);
    write(QStringLiteral("Locked.app/Locked"), script, false);
    QVERIFY(QDir().mkpath(path(QStringLiteral("Hollow.app/Hollow"))));
    write(QStringLiteral("Plain/Plain"), script, true);
    write(QStringLiteral("bin/tool"), script, true);
    write(QStringLiteral("notes.txt"), "just text\n", false);
    QVERIFY(QFile::link(path(QStringLiteral("nowhere")), path(QStringLiteral("dangling"))));
}

void TestLauncher::init() {
    // Any warning is a failure; patterns last for one test function, so set them anew for each.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    m_started.clear();
    Launcher::setStartFunction([this](const QString &program, const QStringList &arguments) {
        m_started << (QStringList{program} + arguments);
        return true;
    });
}

void TestLauncher::checkPathAsksWhetherSomethingIsThere_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<int>("status");
    QTest::newRow("a folder") << "Tindral.app" << 0;
    QTest::newRow("a file") << "notes.txt" << 0;
    QTest::newRow("nothing") << "Missing.app" << 127;
    QTest::newRow("a symbolic link to nothing") << "dangling" << 127;
}

void TestLauncher::checkPathAsksWhetherSomethingIsThere() {
    QFETCH(QString, relative);
    QFETCH(int, status);
    QCOMPARE(Launcher::checkPath(path(relative)), status);
}

void TestLauncher::executableOfAnApplicationFolder_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("program");
    QTest::newRow("NAME.app holds NAME") << "Tindral.app"
                                         << "Tindral.app/Tindral";
    QTest::newRow("a folder without the suffix holds its own name") << "Plain"
                                                                    << "Plain/Plain";
    QTest::newRow("a trailing slash changes nothing") << "Tindral.app/"
                                                      << "Tindral.app/Tindral";
    QTest::newRow("a program file stands for itself") << "bin/tool"
                                                      << "bin/tool";
}

void TestLauncher::executableOfAnApplicationFolder() {
    QFETCH(QString, relative);
    QFETCH(QString, program);
    QCOMPARE(QDir::cleanPath(Launcher::executableOf(path(relative))), path(program));
}

void TestLauncher::openApplicationStatuses_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("started"); // the program started, if any
    QTest::addColumn<QString>("warning");

    QTest::newRow("an application folder starts its program") << "Tindral.app" << 0 << "Tindral.app/Tindral"
                                                              << "";
    QTest::newRow("a program file starts itself") << "bin/tool" << 0 << "bin/tool"
                                                  << "";
    QTest::newRow("nothing there is not found") << "Missing.app" << 127 << ""
                                                << "";
    QTest::newRow("a folder without its program could not start")
        << "Empty.app" << 126 << ""
        << "Cannot start .*Empty.app: .*Empty.app/Empty is not a program that can be run";
    QTest::newRow("a program that may not be run could not start")
        << "Locked.app" << 126 << ""
        << "Cannot start .*Locked.app: .*Locked is not a program that can be run";
    QTest::newRow("a folder in the program's place could not start")
        << "Hollow.app" << 126 << ""
        << "Cannot start .*Hollow.app: .*Hollow is not a program that can be run";
    QTest::newRow("a file that is no program could not start")
        << "notes.txt" << 126 << ""
        << "Cannot start .*notes.txt: .*notes.txt is not a program that can be run";
}

void TestLauncher::openApplicationStatuses() {
    QFETCH(QString, relative);
    QFETCH(int, status);
    QFETCH(QString, started);
    QFETCH(QString, warning);
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    QCOMPARE(Launcher::openApplication(path(relative)), status);
    const QList<QStringList> expected =
        started.isEmpty() ? QList<QStringList>() : QList<QStringList>{{path(started)}};
    QCOMPARE(m_started, expected);
}

void TestLauncher::aFailedStartCouldNotStart() {
    Launcher::setStartFunction([](const QString &, const QStringList &) { return false; });
    QCOMPARE(Launcher::openApplication(path(QStringLiteral("Tindral.app"))), 126);
    QCOMPARE(Launcher::startDetached(path(QStringLiteral("bin/tool")), {QStringLiteral("-x")}), 126);
}

void TestLauncher::aRealStartRunsTheProgramDetached() {
    Launcher::reset();
    const QString marker = path(QStringLiteral("Plain/started.txt"));
    QFile::remove(marker);
    QCOMPARE(Launcher::startDetached(path(QStringLiteral("Plain/Plain")),
                                     {QStringLiteral("two words"), QStringLiteral("$HOME")}),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 10000);
    QFile file(marker);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("two words\n$HOME\n"));
}

void TestLauncher::aRealStartOfAFileThatIsNoProgramFails() {
    Launcher::reset();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot start .*Locked: .*denied")));
    QCOMPARE(Launcher::startDetached(path(QStringLiteral("Locked.app/Locked"))), 126);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Cannot start .*Missing: .*")));
    QCOMPARE(Launcher::startDetached(path(QStringLiteral("Missing.app/Missing"))), 126);
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_Launcher.moc"
