#include "LoginItems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kProgram = QStringLiteral("/opt/Tindral.app/Resources/TindralMenu.app/TindralMenu");
const QString kOwnName = QStringLiteral("tindral-menu.desktop");

// The entry as it is written, for kProgram and the icon below.
const QByteArray kEntry = "[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Tindral Menu\n"
                          "Comment=The in-game clock of Kestmoor in the status area\n"
                          "Exec=/opt/Tindral.app/Resources/TindralMenu.app/TindralMenu\n"
                          "TryExec=/opt/Tindral.app/Resources/TindralMenu.app/TindralMenu\n"
                          "Icon=/opt/Tindral.app/Resources/tindral_icon.png\n"
                          "Terminal=false\n";

QByteArray entryFor(const QString &exec) {
    return "[Desktop Entry]\nType=Application\nName=Somebody's\nExec=" + exec.toUtf8() + "\n";
}

// Everything in a folder, hidden files included: a file by its bytes, a symbolic link by its target, a folder
// by a mark.
QMap<QString, QByteArray> snapshot(const QString &folder) {
    QMap<QString, QByteArray> items;
    const QDir dir(folder);
    for (const QFileInfo &info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (info.isSymLink()) {
            items.insert(info.fileName(), "-> " + info.symLinkTarget().toUtf8());
        } else if (info.isDir()) {
            items.insert(info.fileName(), "<folder>");
        } else {
            QFile file(info.filePath());
            items.insert(info.fileName(), file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>");
        }
    }
    return items;
}

} // namespace

class TestLoginItems : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void autostartFolderFollowsXdgConfigHome_data();
    void autostartFolderFollowsXdgConfigHome();
    void addWritesOneWholeEntry();
    void addQuotesThePathInExec_data();
    void addQuotesThePathInExec();
    void addingTwiceAddsNothing();
    void anEntryOfAnyNameThatRunsTheProgramCounts();
    void aTakenNameIsLeftAloneAndAnotherChosen_data();
    void aTakenNameIsLeftAloneAndAnotherChosen();
    void removeLeavesEveryOtherFile();
    void removeTakesEveryOwnEntry();
    void removeWithNothingListedWritesNothing();
    void addMakesTheFolder();
    void addFailsWhenTheFolderCannotBeMade();
    void onlyAWholePathIsAdded_data();
    void onlyAWholePathIsAdded();

private:
    QString entryPath(const QString &name) const { return m_folder + QLatin1Char('/') + name; }
    void write(const QString &name, const QByteArray &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QByteArray m_savedConfigHome;
};

void TestLoginItems::init() {
    // Any warning is a failure; patterns last for one test function, so set them anew for each.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->filePath(QStringLiteral("autostart"));
    QVERIFY(QDir().mkpath(m_folder));
    m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
}

void TestLoginItems::cleanup() {
    qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
    m_dir.reset();
}

void TestLoginItems::write(const QString &name, const QByteArray &text) {
    QFile file(entryPath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), text.size());
}

void TestLoginItems::autostartFolderFollowsXdgConfigHome_data() {
    QTest::addColumn<QByteArray>("configHome"); // empty: unset
    QTest::addColumn<QString>("folder");        // "~" for the home folder
    QTest::newRow("an absolute path") << QByteArray("/srv/ann/config") << "/srv/ann/config/autostart";
    QTest::newRow("unset") << QByteArray() << "~/.config/autostart";
    QTest::newRow("a relative path does not count") << QByteArray("config") << "~/.config/autostart";
}

void TestLoginItems::autostartFolderFollowsXdgConfigHome() {
    QFETCH(QByteArray, configHome);
    QFETCH(QString, folder);
    if (configHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome);
    folder.replace(QLatin1Char('~'), QDir::homePath());
    QCOMPARE(LoginItems::autostartFolder(), folder);
    QCOMPARE(LoginItems(kProgram).folder(), folder);
}

void TestLoginItems::addWritesOneWholeEntry() {
    LoginItems items(kProgram, m_folder);
    items.setIconPath(QStringLiteral("/opt/Tindral.app/Resources/tindral_icon.png"));
    QCOMPARE(items.add(), LoginItems::Result::Added);
    // Nothing else is left behind, no temporary file either.
    const QMap<QString, QByteArray> expected{{kOwnName, kEntry}};
    QCOMPARE(snapshot(m_folder), expected);
    QCOMPARE(QFileInfo(entryPath(kOwnName)).permissions(),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QCOMPARE(items.listingEntries(), QStringList{entryPath(kOwnName)});
}

void TestLoginItems::addQuotesThePathInExec_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("exec");
    QTest::addColumn<QByteArray>("tryExec");
    QTest::newRow("spaces")
        << "/home/ann/My Apps/Tindral.app/Resources/TindralMenu.app/TindralMenu"
        << QByteArray("Exec=\"/home/ann/My Apps/Tindral.app/Resources/TindralMenu.app/TindralMenu\"")
        << QByteArray("TryExec=/home/ann/My Apps/Tindral.app/Resources/TindralMenu.app/TindralMenu");
    QTest::newRow("a backslash and a dollar sign")
        << "/home/ann/a\\b$c/TindralMenu" << QByteArray(R"(Exec="/home/ann/a\\\\b\\$c/TindralMenu")")
        << QByteArray(R"(TryExec=/home/ann/a\\b$c/TindralMenu)");
    QTest::newRow("a percent sign") << "/home/ann/100%/TindralMenu"
                                    << QByteArray("Exec=/home/ann/100%%/TindralMenu")
                                    << QByteArray("TryExec=/home/ann/100%/TindralMenu");
    QTest::newRow("a double quote") << "/home/ann/\"x\"/TindralMenu"
                                    << QByteArray(R"(Exec="/home/ann/\\"x\\"/TindralMenu")")
                                    << QByteArray(R"(TryExec=/home/ann/"x"/TindralMenu)");
}

// The entry is written for the path as it is, and recognised again by it.
void TestLoginItems::addQuotesThePathInExec() {
    QFETCH(QString, program);
    QFETCH(QByteArray, exec);
    QFETCH(QByteArray, tryExec);
    LoginItems items(program, m_folder);
    QCOMPARE(items.add(), LoginItems::Result::Added);
    const QList<QByteArray> lines = snapshot(m_folder).value(kOwnName).split('\n');
    QVERIFY2(lines.contains(exec), lines.join('\n').constData());
    QVERIFY2(lines.contains(tryExec), lines.join('\n').constData());
    QCOMPARE(items.add(), LoginItems::Result::AlreadyListed);
    QCOMPARE(items.remove(), LoginItems::Result::Removed);
    QVERIFY(snapshot(m_folder).isEmpty());
}

void TestLoginItems::addingTwiceAddsNothing() {
    LoginItems items(kProgram, m_folder);
    QCOMPARE(items.add(), LoginItems::Result::Added);
    const auto before = snapshot(m_folder);
    const QDateTime modified = QFileInfo(entryPath(kOwnName)).lastModified();
    QCOMPARE(items.add(), LoginItems::Result::AlreadyListed);
    QCOMPARE(LoginItems(kProgram, m_folder).add(), LoginItems::Result::AlreadyListed);
    QCOMPARE(snapshot(m_folder), before);
    QCOMPARE(QFileInfo(entryPath(kOwnName)).lastModified(), modified);
}

// A desktop entry the user made for the program under a name of their own keeps it from being added twice,
// and it is the program's login item: taking the program out removes it, and nothing else.
void TestLoginItems::anEntryOfAnyNameThatRunsTheProgramCounts() {
    write(QStringLiteral("my-clock.desktop"),
          entryFor(QStringLiteral("\"") + kProgram + QStringLiteral("\"")));
    const auto before = snapshot(m_folder);
    LoginItems items(kProgram, m_folder);
    QCOMPARE(items.listingEntries(), QStringList{entryPath(QStringLiteral("my-clock.desktop"))});
    QCOMPARE(items.add(), LoginItems::Result::AlreadyListed);
    QCOMPARE(snapshot(m_folder), before);
    write(QStringLiteral("other.desktop"), entryFor(QStringLiteral("/usr/bin/other")));
    QCOMPARE(items.remove(), LoginItems::Result::Removed);
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{QStringLiteral("other.desktop")});
}

void TestLoginItems::aTakenNameIsLeftAloneAndAnotherChosen_data() {
    QTest::addColumn<QByteArray>(
        "occupant"); // the text of tindral-menu.desktop; "link" and "folder" as named
    QTest::newRow("an entry for a copy elsewhere")
        << entryFor(QStringLiteral("/home/ann/Old/Tindral.app/Resources/TindralMenu.app/TindralMenu"));
    QTest::newRow("an entry for the program with arguments")
        << entryFor(kProgram + QStringLiteral(" --quiet"));
    QTest::newRow("an entry with an open quote") << entryFor(QStringLiteral("\"") + kProgram);
    QTest::newRow("an entry without Exec") << QByteArray("[Desktop Entry]\nType=Application\nName=Nothing\n");
    QTest::newRow("a file that is no desktop entry") << QByteArray("\x89PNG\r\n\x1a\nnot an entry at all");
    QTest::newRow("an entry for the program twice over")
        << (entryFor(kProgram) + "Exec=" + kProgram.toUtf8() + "\n");
    QTest::newRow("a symbolic link to nothing") << QByteArray("link");
    QTest::newRow("a folder") << QByteArray("folder");
}

void TestLoginItems::aTakenNameIsLeftAloneAndAnotherChosen() {
    QFETCH(QByteArray, occupant);
    if (occupant == "link")
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere")), entryPath(kOwnName)));
    else if (occupant == "folder")
        QVERIFY(QDir().mkdir(entryPath(kOwnName)));
    else
        write(kOwnName, occupant);
    auto expected = snapshot(m_folder);

    LoginItems items(kProgram, m_folder);
    QVERIFY(items.listingEntries().isEmpty());
    QCOMPARE(items.add(), LoginItems::Result::Added);
    auto after = snapshot(m_folder);
    QVERIFY(after.contains(QStringLiteral("tindral-menu-2.desktop")));
    QCOMPARE(after.take(QStringLiteral("tindral-menu-2.desktop")).split('\n').value(4),
             "Exec=" + kProgram.toUtf8());
    QCOMPARE(after, expected);

    QCOMPARE(items.remove(), LoginItems::Result::Removed);
    QCOMPARE(snapshot(m_folder), expected);
}

void TestLoginItems::removeLeavesEveryOtherFile() {
    write(QStringLiteral("org.example.Mail.desktop"), entryFor(QStringLiteral("/usr/bin/mail-app %U")));
    write(QStringLiteral("tindral-menu-3.desktop"), entryFor(QStringLiteral("/elsewhere/TindralMenu")));
    write(QStringLiteral("notes.txt"), kProgram.toUtf8());
    write(QStringLiteral("TindralMenu.desktop.bak"), entryFor(kProgram));
    const auto others = snapshot(m_folder);

    LoginItems items(kProgram, m_folder);
    QCOMPARE(items.add(), LoginItems::Result::Added);
    QCOMPARE(snapshot(m_folder).size(), others.size() + 1);
    QVERIFY(snapshot(m_folder).contains(kOwnName));
    QCOMPARE(items.remove(), LoginItems::Result::Removed);
    QCOMPARE(snapshot(m_folder), others);
}

// Two entries of its own, say from two starts at the same moment: both go.
void TestLoginItems::removeTakesEveryOwnEntry() {
    write(kOwnName, entryFor(kProgram));
    write(QStringLiteral("tindral-menu-4.desktop"), entryFor(kProgram));
    write(QStringLiteral("tindral-menu-5.desktop"), entryFor(QStringLiteral("/elsewhere/TindralMenu")));
    LoginItems items(kProgram, m_folder);
    QCOMPARE(items.remove(), LoginItems::Result::Removed);
    QCOMPARE(snapshot(m_folder).keys(), QStringList{QStringLiteral("tindral-menu-5.desktop")});
}

void TestLoginItems::removeWithNothingListedWritesNothing() {
    write(QStringLiteral("tindral-menu.desktop"), entryFor(QStringLiteral("/elsewhere/TindralMenu")));
    const auto before = snapshot(m_folder);
    QCOMPARE(LoginItems(kProgram, m_folder).remove(), LoginItems::Result::NotListed);
    QCOMPARE(snapshot(m_folder), before);

    const QString missing = m_dir->filePath(QStringLiteral("no/such/autostart"));
    QCOMPARE(LoginItems(kProgram, missing).remove(), LoginItems::Result::NotListed);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("no"))));
}

void TestLoginItems::addMakesTheFolder() {
    const QString folder = m_dir->filePath(QStringLiteral("fresh/config/autostart"));
    QCOMPARE(LoginItems(kProgram, folder).add(), LoginItems::Result::Added);
    QVERIFY(QFileInfo(folder + QLatin1Char('/') + kOwnName).isFile());
}

void TestLoginItems::addFailsWhenTheFolderCannotBeMade() {
    write(QStringLiteral("blocker"), "a file where a folder would have to be");
    const QString folder = entryPath(QStringLiteral("blocker/autostart"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "Cannot add .*TindralMenu to the login items: cannot make "
                                           "the folder .*blocker/autostart")));
    QCOMPARE(LoginItems(kProgram, folder).add(), LoginItems::Result::Failed);
}

void TestLoginItems::onlyAWholePathIsAdded_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("no path") << "";
    QTest::newRow("a relative path") << "Tindral.app/Resources/TindralMenu.app/TindralMenu";
}

void TestLoginItems::onlyAWholePathIsAdded() {
    QFETCH(QString, program);
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(QStringLiteral("Cannot add \"%1\" to the login items: not an absolute path")
                               .arg(QRegularExpression::escape(program))));
    QCOMPARE(LoginItems(program, m_folder).add(), LoginItems::Result::Failed);
    QVERIFY(snapshot(m_folder).isEmpty());
}

QTEST_GUILESS_MAIN(TestLoginItems)
#include "tst_LoginItems.moc"
