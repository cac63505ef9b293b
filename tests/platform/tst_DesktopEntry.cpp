#include "DesktopEntry.h"

#include <QTemporaryDir>
#include <QTest>

using DesktopEntry::Keys;

Q_DECLARE_METATYPE(std::optional<QStringList>)
Q_DECLARE_METATYPE(std::optional<Keys>)

namespace {

std::optional<QStringList> arguments(const QStringList &list) {
    return list;
}

} // namespace

class TestDesktopEntry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Any warning is a failure; patterns last for one test function, so set them anew for each.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void execValueQuotesWhatTheSessionWouldSplit_data();
    void execValueQuotesWhatTheSessionWouldSplit();
    void execArgumentsReadEntriesOfOthers_data();
    void execArgumentsReadEntriesOfOthers();
    void parseTakesTheDesktopEntryGroup_data();
    void parseTakesTheDesktopEntryGroup();
    void readFileRefusesWhatIsNoEntry();
};

void TestDesktopEntry::execValueQuotesWhatTheSessionWouldSplit_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line"); // as it stands in the file

    QTest::newRow("a plain path stands as it is")
        << QStringList{"/usr/lib/Tindral.app/Resources/TindralMenu.app/TindralMenu"}
        << "Exec=/usr/lib/Tindral.app/Resources/TindralMenu.app/TindralMenu";
    QTest::newRow("a space puts the path in quotes")
        << QStringList{"/home/ann/My Apps/TindralMenu"} << "Exec=\"/home/ann/My Apps/TindralMenu\"";
    QTest::newRow("a double quote is escaped in quotes, its backslash escaped again")
        << QStringList{"/opt/say \"hi\"/T"} << R"(Exec="/opt/say \\"hi\\"/T")";
    QTest::newRow("a dollar sign is escaped") << QStringList{"/opt/$HOME/T"} << R"(Exec="/opt/\\$HOME/T")";
    QTest::newRow("a backtick is escaped") << QStringList{"/opt/a`b/T"} << R"(Exec="/opt/a\\`b/T")";
    QTest::newRow("a backslash becomes four") << QStringList{"/opt/a\\b/T"} << R"(Exec="/opt/a\\\\b/T")";
    QTest::newRow("a single quote is quoted") << QStringList{"/home/ann's/T"} << R"(Exec="/home/ann's/T")";
    QTest::newRow("a percent sign is doubled") << QStringList{"/opt/100%/T"} << "Exec=/opt/100%%/T";
    QTest::newRow("a percent sign is doubled in quotes too")
        << QStringList{"/opt/100 %/T"} << "Exec=\"/opt/100 %%/T\"";
    QTest::newRow("a tab is quoted and escaped") << QStringList{"/opt/a\tb/T"} << R"(Exec="/opt/a\tb/T")";
    QTest::newRow("a line break is quoted and escaped")
        << QStringList{"/opt/a\nb/T"} << R"(Exec="/opt/a\nb/T")";
    QTest::newRow("a tilde is quoted") << QStringList{"/opt/~x/T"} << "Exec=\"/opt/~x/T\"";
    QTest::newRow("shell characters are quoted")
        << QStringList{"/opt/a;b&c|d<e>f*g?h#i(j)/T"} << "Exec=\"/opt/a;b&c|d<e>f*g?h#i(j)/T\"";
    QTest::newRow("letters beyond ASCII need no quotes")
        << QStringList{"/home/jörg/Ünd/T"} << "Exec=/home/jörg/Ünd/T";
    QTest::newRow("an equals sign needs no quotes") << QStringList{"/opt/a=b/T"} << "Exec=/opt/a=b/T";
    QTest::newRow("arguments are parted by one space")
        << QStringList{"/opt/T", "--name", "two words"} << "Exec=/opt/T --name \"two words\"";
    QTest::newRow("an empty argument is an empty pair of quotes")
        << QStringList{"/opt/T", ""} << "Exec=/opt/T \"\"";
}

// Each value is the exact text, and reading the file back gives the very arguments again.
void TestDesktopEntry::execValueQuotesWhatTheSessionWouldSplit() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    QCOMPARE(QStringLiteral("Exec=") + DesktopEntry::execValue(arguments), line);

    const auto keys = DesktopEntry::parse("[Desktop Entry]\nType=Application\n" + line.toUtf8() + "\n");
    QVERIFY(keys.has_value());
    QCOMPARE(DesktopEntry::execArguments(keys->value("Exec")), std::optional<QStringList>(arguments));
}

void TestDesktopEntry::execArgumentsReadEntriesOfOthers_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<std::optional<QStringList>>("arguments");

    QTest::newRow("field codes stay")
        << QByteArray("Exec=/usr/bin/foo %U") << arguments({"/usr/bin/foo", "%U"});
    QTest::newRow("spaces after the equals sign do not count")
        << QByteArray("Exec =   /usr/bin/foo") << arguments({"/usr/bin/foo"});
    QTest::newRow("runs of spaces part arguments once")
        << QByteArray("Exec=/usr/bin/foo    -x") << arguments({"/usr/bin/foo", "-x"});
    QTest::newRow("a backslash outside quotes keeps the next character")
        << QByteArray("Exec=/opt/My\\ Apps/run") << arguments({"/opt/My Apps/run"});
    QTest::newRow("single quotes keep everything")
        << QByteArray("Exec='/opt/My Apps/$run'") << arguments({"/opt/My Apps/$run"});
    QTest::newRow("a quoted part joins its neighbours")
        << QByteArray("Exec=/opt/\"My Apps\"/run") << arguments({"/opt/My Apps/run"});
    QTest::newRow("sh -c with a quoted command")
        << QByteArray("Exec=sh -c \"exec foo\"") << arguments({"sh", "-c", "exec foo"});
    QTest::newRow("a backslash before an ordinary character in quotes stays")
        << QByteArray("Exec=\"/opt/a\\\\qb\"") << arguments({"/opt/a\\qb"});
    QTest::newRow("an empty command has no arguments") << QByteArray("Exec=") << arguments({});
    QTest::newRow("an open double quote is broken")
        << QByteArray("Exec=\"/opt/My Apps/run") << std::optional<QStringList>();
    QTest::newRow("an open single quote is broken")
        << QByteArray("Exec='/opt/My Apps/run") << std::optional<QStringList>();
}

void TestDesktopEntry::execArgumentsReadEntriesOfOthers() {
    QFETCH(QByteArray, line);
    QFETCH(std::optional<QStringList>, arguments);
    const auto keys = DesktopEntry::parse("[Desktop Entry]\n" + line + "\n");
    QVERIFY(keys.has_value());
    QCOMPARE(DesktopEntry::execArguments(keys->value("Exec")), arguments);
}

void TestDesktopEntry::parseTakesTheDesktopEntryGroup_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<std::optional<Keys>>("keys");

    const Keys simple{{"Type", "Application"}, {"Exec", "/opt/T"}};
    QTest::newRow("the keys of the group")
        << QByteArray("[Desktop Entry]\nType=Application\nExec=/opt/T\n") << std::optional<Keys>(simple);
    QTest::newRow("comments and blank lines")
        << QByteArray("# made by hand\n\n[Desktop Entry]\n# the type\nType=Application\n\nExec=/opt/T")
        << std::optional<Keys>(simple);
    QTest::newRow("lines ending in CR LF")
        << QByteArray("[Desktop Entry]\r\nType=Application\r\nExec=/opt/T\r\n")
        << std::optional<Keys>(simple);
    QTest::newRow("keys of other groups are not the entry's")
        << QByteArray(
               "[Desktop Entry]\nType=Application\nExec=/opt/T\n[Desktop Action quit]\nExec=/opt/T --quit\n")
        << std::optional<Keys>(simple);
    QTest::newRow("another group may come first")
        << QByteArray("[X-Extra]\nExec=nothing\n[Desktop Entry]\nType=Application\nExec=/opt/T\n")
        << std::optional<Keys>(simple);
    QTest::newRow("a localised key is a key of its own")
        << QByteArray("[Desktop Entry]\nName=Menu\nName[de]=Men\xc3\xbc\n")
        << std::optional<Keys>(Keys{{"Name", "Menu"}, {"Name[de]", "Menü"}});
    QTest::newRow("string escapes are undone")
        << QByteArray("[Desktop Entry]\nComment=\\sone\\ttwo\\nthree\\\\four\\r\n")
        << std::optional<Keys>(Keys{{"Comment", " one\ttwo\nthree\\four\r"}});
    QTest::newRow("no Desktop Entry group") << QByteArray("[Other]\nExec=/opt/T\n") << std::optional<Keys>();
    QTest::newRow("a key before any group")
        << QByteArray("Exec=/opt/T\n[Desktop Entry]\nType=Application\n") << std::optional<Keys>();
    QTest::newRow("a key given twice")
        << QByteArray("[Desktop Entry]\nExec=/opt/T\nExec=/opt/U\n") << std::optional<Keys>();
    QTest::newRow("the group given twice")
        << QByteArray("[Desktop Entry]\nExec=/opt/T\n[Desktop Entry]\nType=Application\n")
        << std::optional<Keys>();
    QTest::newRow("a line that is no key")
        << QByteArray("[Desktop Entry]\nExec=/opt/T\njust words\n") << std::optional<Keys>();
    QTest::newRow("an unclosed group header")
        << QByteArray("[Desktop Entry\nExec=/opt/T\n") << std::optional<Keys>();
    QTest::newRow("nothing at all") << QByteArray() << std::optional<Keys>();
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << std::optional<Keys>();
}

void TestDesktopEntry::parseTakesTheDesktopEntryGroup() {
    QFETCH(QByteArray, text);
    QFETCH(std::optional<Keys>, keys);
    QCOMPARE(DesktopEntry::parse(text), keys);
}

void TestDesktopEntry::readFileRefusesWhatIsNoEntry() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(!DesktopEntry::readFile(dir.filePath("missing.desktop")).has_value());
    QVERIFY(!DesktopEntry::readFile(dir.path()).has_value());

    QFile big(dir.filePath("big.desktop"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write("[Desktop Entry]\nExec=/opt/T\n");
    big.write(QByteArray(1 << 20, '#'));
    big.close();
    QVERIFY(!DesktopEntry::readFile(big.fileName()).has_value());

    QFile good(dir.filePath("good.desktop"));
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write("[Desktop Entry]\nExec=/opt/T\n");
    good.close();
    QCOMPARE(DesktopEntry::readFile(good.fileName()), std::optional<Keys>(Keys{{"Exec", "/opt/T"}}));
}

QTEST_GUILESS_MAIN(TestDesktopEntry)
#include "tst_DesktopEntry.moc"
