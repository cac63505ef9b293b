#include "SingleInstance.h"

#include <QtTest>

#include <cstdio>

namespace {

const QString kName = QStringLiteral("org.tindral.test.SingleInstance");

// The first copy: owns the name, says so, and ends when a later start asks it to activate.
int runFirstCopy() {
    SingleInstance instance(kName);
    if (instance.claim() != SingleInstance::Claim::Owner)
        return 3;
    QObject::connect(&instance, &SingleInstance::activationRequested, [] {
        std::printf("activated\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    std::printf("owner\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void aLaterStartActivatesTheFirst() {
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-copy")});
        QVERIFY(first.waitForReadyRead(20000));
        QCOMPARE(first.readLine().trimmed(), QByteArray("owner"));

        SingleInstance second(kName);
        QCOMPARE(second.claim(), SingleInstance::Claim::AlreadyRunning);
        QVERIFY(first.waitForFinished(20000));
        QCOMPARE(first.readAll().trimmed(), QByteArray("activated"));
        QCOMPARE(first.exitCode(), 0);

        // With the first copy gone the name is free again.
        SingleInstance third(kName);
        QCOMPARE(third.claim(), SingleInstance::Claim::Owner);
    }
};

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--first-copy")
        return runFirstCopy();
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SingleInstance.moc"
