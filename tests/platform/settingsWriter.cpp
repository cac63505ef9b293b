// A second program for the settings tests: it writes the settings file the way the two applications do, so
// that a test can run writers side by side or kill one halfway.
//
//   settingsWriter count PATH KEY OTHER_KEY N   prints "ready", waits for a line on its input, then sets KEY
//   to
//                                               1...N, one write each; exits 1 if it ever sees OTHER_KEY go
//                                               backwards (a write that lost the other program's change)
//   settingsWriter churn PATH SIZE              writes generation after generation, each a "generation"
//   number
//                                               and a "payload" of SIZE copies of that generation's letter,
//                                               printing each generation once it is in place; never ends
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

QString payloadOf(qint64 generation, int size) {
    return QString(size, QChar(u'a' + int(generation % 26)));
}

int count(const QString &path, const QString &key, const QString &otherKey, int n) {
    UserDefaults defaults(path);
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);
    qint64 otherSeen = 0;
    for (int i = 1; i <= n; ++i) {
        qint64 other = 0;
        const auto outcome = defaults.writeBack(
            [&](QVariantMap &d) {
                d.insert(key, qint64(i));
                other = UserDefaults::integerValue(d.value(otherKey));
            },
            UserDefaults::WriteMode::CreateFile);
        if (outcome != UserDefaults::WriteOutcome::Written)
            return 1;
        if (other < otherSeen) {
            std::fprintf(stderr, "%s went back from %lld to %lld\n", qPrintable(otherKey), otherSeen, other);
            return 1;
        }
        otherSeen = other;
    }
    return 0;
}

int churn(const QString &path, int size) {
    UserDefaults defaults(path);
    qint64 generation = defaults.integerForKey(QStringLiteral("generation"));
    for (;;) {
        ++generation;
        const auto outcome = defaults.writeBack(
            [&](QVariantMap &d) {
                d.insert(QStringLiteral("generation"), generation);
                d.insert(QStringLiteral("payload"), payloadOf(generation, size));
            },
            UserDefaults::WriteMode::CreateFile);
        if (outcome != UserDefaults::WriteOutcome::Written)
            return 1;
        std::printf("%lld\n", generation);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 5 && args[0] == QLatin1String("count"))
        return count(args[1], args[2], args[3], args[4].toInt());
    if (args.size() == 3 && args[0] == QLatin1String("churn"))
        return churn(args[1], args[2].toInt());
    std::fprintf(stderr, "usage: settingsWriter count PATH KEY OTHER_KEY N | churn PATH SIZE\n");
    return 2;
}
