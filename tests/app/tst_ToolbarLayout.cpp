// The toolbar's layout in the settings file: written and read back by a later start, and every kind of
// damaged or outdated layout read as the default one or with the unknown items left out, never a failure.
#include "../fileSupport.h"
#include "ToolbarLayout.h"
#include "UserDefaults.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList kAllowed{"dateTime",
                           "calendar",
                           "timerAlert",
                           "conversion",
                           "NSToolbarSeparatorItem",
                           "NSToolbarSpaceItem",
                           "NSToolbarFlexibleSpaceItem"};
const QSet<QString> kRepeatable{"NSToolbarSeparatorItem", "NSToolbarSpaceItem", "NSToolbarFlexibleSpaceItem"};
const QStringList kDefaults{"NSToolbarFlexibleSpaceItem", "dateTime", "calendar", "timerAlert", "conversion",
                            "NSToolbarFlexibleSpaceItem"};

QByteArray plist(const QByteArray &toolbarValue) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict><key>showTindralMenu</key><integer>1</integer>"
           "<key>toolbarItems</key>" +
           toolbarValue + "</dict></plist>\n";
}

QByteArray layout(const QByteArray &version, const QByteArray &items, const QByteArray &small = {}) {
    QByteArray text = "<dict>";
    if (!version.isNull())
        text += "<key>formatVersion</key>" + version;
    if (!items.isNull())
        text += "<key>itemIdentifiers</key>" + items;
    if (!small.isNull())
        text += "<key>smallSize</key>" + small;
    return text + "</dict>";
}

QByteArray strings(const QStringList &identifiers) {
    QByteArray text = "<array>";
    for (const QString &identifier : identifiers)
        text += "<string>" + identifier.toUtf8() + "</string>";
    return text + "</array>";
}

} // namespace

class TestToolbarLayout : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    QString path() const { return m_folder.filePath(QStringLiteral("Tindral.plist")); }

private Q_SLOTS:
    void init() {
        QVERIFY(m_folder.isValid());
        QFile::remove(path());
    }

    void aWrittenLayoutIsReadByTheNextStart_data() {
        QTest::addColumn<QStringList>("identifiers");
        QTest::addColumn<bool>("small");
        QTest::newRow("reordered, small size")
            << QStringList{"conversion", "NSToolbarSeparatorItem", "dateTime", "calendar"} << true;
        QTest::newRow("one item, regular size") << QStringList{"timerAlert"} << false;
        QTest::newRow("spacing items repeated")
            << QStringList{"NSToolbarSpaceItem", "NSToolbarSpaceItem", "dateTime",
                           "NSToolbarFlexibleSpaceItem", "NSToolbarFlexibleSpaceItem"}
            << false;
        QTest::newRow("everything removed") << QStringList{} << true;
    }
    void aWrittenLayoutIsReadByTheNextStart() {
        QFETCH(QStringList, identifiers);
        QFETCH(bool, small);
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        {
            UserDefaults defaults(path());
            QVERIFY(ToolbarLayout(defaults, kAllowed, kRepeatable, kDefaults).write({identifiers, small}));
        }
        UserDefaults later(path());
        const ToolbarLayout::Configuration read =
            ToolbarLayout(later, kAllowed, kRepeatable, kDefaults).read();
        QCOMPARE(read.itemIdentifiers, identifiers);
        QCOMPARE(read.smallSize, small);
    }

    void writingKeepsTheOtherSettings() {
        writeBytes(path(), plist("<string>x</string>"));
        UserDefaults defaults(path());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is not a dictionary")));
        ToolbarLayout layoutStore(defaults, kAllowed, kRepeatable, kDefaults);
        QCOMPARE(layoutStore.read().itemIdentifiers, kDefaults);
        QVERIFY(layoutStore.write({{"calendar"}, false}));
        UserDefaults later(path());
        QCOMPARE(later.integerForKey(QStringLiteral("showTindralMenu")), 1);
        QCOMPARE(ToolbarLayout(later, kAllowed, kRepeatable, kDefaults).read().itemIdentifiers,
                 QStringList{"calendar"});
    }

    void storedLayoutsAreReadSafely_data() {
        QTest::addColumn<QByteArray>("stored"); // the value under "toolbarItems"; null for no key at all
        QTest::addColumn<QStringList>("identifiers");
        QTest::addColumn<bool>("small");
        QTest::addColumn<QString>("warning"); // a pattern; empty for no warning

        QTest::newRow("no layout yet: the defaults, quietly")
            << QByteArray() << kDefaults << false << QString();
        QTest::newRow("a known layout")
            << layout("<integer>1</integer>", strings({"calendar", "dateTime"}), "<true/>")
            << QStringList{"calendar", "dateTime"} << true << QString();
        QTest::newRow("small size as the integer 1")
            << layout("<integer>1</integer>", strings({"dateTime"}), "<integer>1</integer>")
            << QStringList{"dateTime"} << true << QString();
        QTest::newRow("small size missing: regular") << layout("<integer>1</integer>", strings({"dateTime"}))
                                                     << QStringList{"dateTime"} << false << QString();
        QTest::newRow("an item no longer known is left out, the rest kept")
            << layout("<integer>1</integer>", strings({"dateTime", "weather", "conversion"}))
            << QStringList{"dateTime", "conversion"} << false
            << QStringLiteral("\"weather\" is no longer known");
        QTest::newRow("an item that stands once, twice: the first place kept")
            << layout("<integer>1</integer>", strings({"calendar", "dateTime", "calendar"}))
            << QStringList{"calendar", "dateTime"} << false << QStringLiteral("more than once");
        QTest::newRow("an item that is not a string is left out")
            << layout("<integer>1</integer>", "<array><integer>7</integer><string>dateTime</string></array>")
            << QStringList{"dateTime"} << false << QStringLiteral("not an identifier");
        QTest::newRow("not a dictionary: the defaults")
            << QByteArray("<array><string>dateTime</string></array>") << kDefaults << false
            << QStringLiteral("is not a dictionary");
        QTest::newRow("no format version: the defaults")
            << layout({}, strings({"dateTime"})) << kDefaults << false << QStringLiteral("no format version");
        QTest::newRow("a format version as text: the defaults")
            << layout("<string>1</string>", strings({"dateTime"})) << kDefaults << false
            << QStringLiteral("no format version");
        QTest::newRow("a later format version: the defaults")
            << layout("<integer>2</integer>", strings({"dateTime"})) << kDefaults << false
            << QStringLiteral("format version this program does not know");
        QTest::newRow("items not a list: the defaults")
            << layout("<integer>1</integer>", "<string>dateTime</string>") << kDefaults << false
            << QStringLiteral("no list of items");
    }
    void storedLayoutsAreReadSafely() {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, identifiers);
        QFETCH(bool, small);
        QFETCH(QString, warning);
        if (!stored.isNull())
            writeBytes(path(), plist(stored));
        const QByteArray before = readBytes(path());
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        UserDefaults defaults(path());
        const ToolbarLayout::Configuration read =
            ToolbarLayout(defaults, kAllowed, kRepeatable, kDefaults).read();
        QCOMPARE(read.itemIdentifiers, identifiers);
        QCOMPARE(read.smallSize, small);
        // Reading never rewrites the user's file.
        QCOMPARE(readBytes(path()), before);
    }
};

QTEST_GUILESS_MAIN(TestToolbarLayout)
#include "tst_ToolbarLayout.moc"
