#include "Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// A copy of the application folder's layout, away from the build tree:
//
//   Tindral.app/Tindral
//   Tindral.app/Resources/moon3.png, tindral_icon.png, shared.txt
//   Tindral.app/Resources/TindralMenu.app/TindralMenu
//   Tindral.app/Resources/TindralMenu.app/Resources/own.png, shared.txt
class TestBundle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    // Any warning is a failure; patterns last for one test function, so set them anew for each.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cleanup() { Bundle::setMainBundlePath({}); }

    void pathForResourceLooksInTheResources_data();
    void pathForResourceLooksInTheResources();
    void bundlePathIsAbsoluteAndClean();
    void enclosingBundleIsTwoLevelsUp();
    void mainBundleIsTheProgramsFolderUnlessSet();
    void infoDictionaryGivesTheVersion();
    void theBuiltApplicationFolderHasItsPictures();

private:
    QString m_root;
    QTemporaryDir m_dir;
};

namespace {

void touch(const QString &path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

} // namespace

void TestBundle::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_root = m_dir.path();
    for (const char *file :
         {"Tindral.app/Tindral", "Tindral.app/Resources/moon3.png", "Tindral.app/Resources/tindral_icon.png",
          "Tindral.app/Resources/shared.txt", "Tindral.app/Resources/TindralMenu.app/TindralMenu",
          "Tindral.app/Resources/TindralMenu.app/Resources/own.png",
          "Tindral.app/Resources/TindralMenu.app/Resources/shared.txt"})
        touch(m_root + QLatin1Char('/') + QLatin1String(file));
}

void TestBundle::pathForResourceLooksInTheResources_data() {
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("found"); // below the temporary folder; empty for none

    const QString main = QStringLiteral("Tindral.app");
    const QString menu = QStringLiteral("Tindral.app/Resources/TindralMenu.app");
    QTest::newRow("a picture of the main folder") << main << "moon3"
                                                  << "png"
                                                  << "Tindral.app/Resources/moon3.png";
    QTest::newRow("a whole file name without a type") << main << "tindral_icon.png"
                                                      << ""
                                                      << "Tindral.app/Resources/tindral_icon.png";
    QTest::newRow("the companion's folder among the main folder's resources")
        << main << "TindralMenu"
        << "app"
        << "Tindral.app/Resources/TindralMenu.app";
    QTest::newRow("the companion finds the pictures of the folder it lies in")
        << menu << "moon3"
        << "png"
        << "Tindral.app/Resources/moon3.png";
    QTest::newRow("the companion's own resources come first")
        << menu << "shared"
        << "txt"
        << "Tindral.app/Resources/TindralMenu.app/Resources/shared.txt";
    QTest::newRow("the companion's own picture") << menu << "own"
                                                 << "png"
                                                 << "Tindral.app/Resources/TindralMenu.app/Resources/own.png";
    QTest::newRow("the main folder does not look into the companion's") << main << "own"
                                                                        << "png"
                                                                        << "";
    QTest::newRow("a missing picture") << main << "moon29"
                                       << "png"
                                       << "";
    QTest::newRow("another type is another file") << main << "moon3"
                                                  << "gif"
                                                  << "";
    QTest::newRow("no name") << main << ""
                             << ""
                             << "";
    QTest::newRow("a name cannot climb out of the resources") << menu << ".."
                                                              << ""
                                                              << "";
    QTest::newRow("a name cannot hold a folder") << main << "../Tindral"
                                                 << ""
                                                 << "";
    QTest::newRow("a type cannot hold a folder") << main << "moon3"
                                                 << "png/.."
                                                 << "";
}

void TestBundle::pathForResourceLooksInTheResources() {
    QFETCH(QString, bundle);
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, found);
    const QString expected = found.isEmpty() ? QString() : m_root + QLatin1Char('/') + found;
    QCOMPARE(Bundle(m_root + QLatin1Char('/') + bundle).pathForResource(name, type), expected);
}

void TestBundle::bundlePathIsAbsoluteAndClean() {
    QCOMPARE(
        Bundle(m_root + QStringLiteral("/Tindral.app/Resources/../Resources/TindralMenu.app/")).bundlePath(),
        m_root + QStringLiteral("/Tindral.app/Resources/TindralMenu.app"));
    QVERIFY(QDir::setCurrent(m_root));
    QCOMPARE(Bundle(QStringLiteral("Tindral.app")).bundlePath(), m_root + QStringLiteral("/Tindral.app"));
    QCOMPARE(Bundle(QStringLiteral("Tindral.app")).resourcePath(),
             m_root + QStringLiteral("/Tindral.app/Resources"));
}

void TestBundle::enclosingBundleIsTwoLevelsUp() {
    QCOMPARE(Bundle(m_root + QStringLiteral("/Tindral.app/Resources/TindralMenu.app")).enclosingBundlePath(),
             m_root + QStringLiteral("/Tindral.app"));
}

void TestBundle::mainBundleIsTheProgramsFolderUnlessSet() {
    // This test program lies in the build tree's tests/platform/.
    QCOMPARE(QFileInfo(Bundle::mainBundle().bundlePath()).canonicalFilePath(),
             QFileInfo(QStringLiteral(TINDRAL_BUILD_DIR "/tests/platform")).canonicalFilePath());

    const QString menu = m_root + QStringLiteral("/Tindral.app/Resources/TindralMenu.app");
    Bundle::setMainBundlePath(menu);
    QCOMPARE(Bundle::mainBundle().bundlePath(), menu);
    QCOMPARE(Bundle::mainBundle().pathForResource(QStringLiteral("moon3"), QStringLiteral("png")),
             m_root + QStringLiteral("/Tindral.app/Resources/moon3.png"));

    Bundle::setMainBundlePath({});
    QCOMPARE(QFileInfo(Bundle::mainBundle().bundlePath()).canonicalFilePath(),
             QFileInfo(QStringLiteral(TINDRAL_BUILD_DIR "/tests/platform")).canonicalFilePath());
}

void TestBundle::infoDictionaryGivesTheVersion() {
    const QVariantMap info =
        Bundle(m_root + QStringLiteral("/Tindral.app/Resources/TindralMenu.app")).infoDictionary();
    QCOMPARE(info.value(QStringLiteral("CFBundleVersion")).toString(), QStringLiteral(TINDRAL_VERSION));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                .match(info.value(QStringLiteral("CFBundleVersion")).toString())
                .hasMatch());
    QCOMPARE(info.value(QStringLiteral("CFBundleName")).toString(), QStringLiteral("TindralMenu"));
}

// The build draws the pictures into Tindral.app/Resources/; both programs find them from where they stand.
void TestBundle::theBuiltApplicationFolderHasItsPictures() {
    const Bundle main(QStringLiteral(TINDRAL_BUNDLE_DIR));
    const Bundle menu(QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/TindralMenu.app"));
    for (const char *name : {"moon1", "moon28", "zodiacSymbol1", "zodiacSymbol12", "zodiacStars7"}) {
        const QString expected =
            QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/%1.png").arg(QLatin1String(name));
        QCOMPARE(main.pathForResource(QLatin1String(name), QStringLiteral("png")), expected);
        QCOMPARE(menu.pathForResource(QLatin1String(name), QStringLiteral("png")), expected);
    }
    QCOMPARE(main.pathForResource(QStringLiteral("tindral_icon.png")),
             QStringLiteral(TINDRAL_BUNDLE_DIR "/Resources/tindral_icon.png"));
}

QTEST_GUILESS_MAIN(TestBundle)
#include "tst_Bundle.moc"
