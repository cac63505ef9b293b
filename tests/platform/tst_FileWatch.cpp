// The watch that tells the settings' readers when a file changed. Its word comes from a thread of its own, so
// each check waits for the count to move (QTRY) rather than for a fixed time.
#include "FileWatch.h"

#include <QtTest>

#include <QTemporaryDir>

namespace {

bool writeText(const QString &path, const QByteArray &text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// What another program's atomic replace does: a new file renamed over the old one.
bool replaceText(const QString &path, const QByteArray &text) {
    const QString fresh = path + QStringLiteral(".new");
    return writeText(fresh, text) && ::rename(QFile::encodeName(fresh), QFile::encodeName(path)) == 0;
}

} // namespace

class TestFileWatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void everyWayOfChangingTheFileCounts_data() {
        QTest::addColumn<bool>("existsBefore");
        QTest::addColumn<QString>("change");
        QTest::newRow("created") << false << "create";
        QTest::newRow("written in place") << true << "write";
        QTest::newRow("replaced by a rename") << true << "replace";
        QTest::newRow("removed") << true << "remove";
    }

    void everyWayOfChangingTheFileCounts() {
        QFETCH(bool, existsBefore);
        QFETCH(QString, change);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("Tindral.plist"));
        if (existsBefore)
            QVERIFY(writeText(path, "before"));
        FileWatch watch(path);
        QVERIFY(watch.watching());
        const uint64_t before = watch.changeCount();

        if (change == QLatin1String("create") || change == QLatin1String("write"))
            QVERIFY(writeText(path, "after"));
        else if (change == QLatin1String("replace"))
            QVERIFY(replaceText(path, "after"));
        else
            QVERIFY(QFile::remove(path));
        QTRY_VERIFY(watch.changeCount() != before);
    }

    void otherFilesOfTheFolderDoNotCount() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("Tindral.plist"));
        FileWatch watch(path);
        const uint64_t before = watch.changeCount();
        QVERIFY(writeText(folder.filePath(QStringLiteral("Other.plist")), "another program's"));
        QVERIFY(writeText(folder.filePath(QStringLiteral("Tindral.plist.lock")), ""));
        // A change of the file itself, after the others, is the marker that the others have been read; a
        // rename gives the kernel one event for it.
        QVERIFY(replaceText(path, "ours"));
        QTRY_VERIFY(watch.changeCount() != before);
        QCOMPARE(watch.changeCount(), before + 1);
    }

    void aFolderThatAppearsLaterIsFollowed() {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString folder = home.filePath(QStringLiteral("config/deeper"));
        const QString path = folder + QStringLiteral("/Tindral.plist");
        FileWatch watch(path);
        QVERIFY(watch.watching());
        uint64_t seen = watch.changeCount();

        QVERIFY(QDir().mkpath(folder));
        QTRY_VERIFY(watch.changeCount() != seen); // the folder may already hold the file: look
        seen = watch.changeCount();
        QVERIFY(writeText(path, "first settings"));
        QTRY_VERIFY(watch.changeCount() != seen);
    }

    void aFolderRemovedAndMadeAgainIsFollowedAgain() {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString folder = home.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/Tindral.plist");
        FileWatch watch(path);
        uint64_t seen = watch.changeCount();

        QVERIFY(QDir(folder).removeRecursively());
        QTRY_VERIFY(watch.changeCount() != seen);
        QVERIFY(watch.watching());
        seen = watch.changeCount();
        QVERIFY(QDir().mkpath(folder));
        QTRY_VERIFY(watch.changeCount() != seen);
        seen = watch.changeCount();
        QVERIFY(writeText(path, "settings again"));
        QTRY_VERIFY(watch.changeCount() != seen);
    }
};

QTEST_GUILESS_MAIN(TestFileWatch)
#include "tst_FileWatch.moc"
