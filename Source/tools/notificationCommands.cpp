#include "notificationCommands.h"

#include "DistributedNotificationCenter.h"
#include "TerminationSignals.h"
#include "commandValues.h"

#include <QCoreApplication>
#include <QVariantMap>

#include <cstdio>
#include <memory>

namespace {

int usageError(const char *command, const QString &problem) {
    std::fprintf(stderr, "tindral-clock %s: %s\n", command, qPrintable(problem));
    return 2;
}

// The caller's application object, or one of our own for as long as the command runs.
std::unique_ptr<QCoreApplication> applicationIfNone() {
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 1;
    static char name[] = "tindral-clock";
    static char *argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int runPostCommand(const QStringList &arguments) {
    if (arguments.isEmpty())
        return usageError("post", QStringLiteral("the notification's name is missing"));
    const QString name = arguments.first();
    if (name.startsWith(u'-'))
        return usageError("post", QStringLiteral("unknown option %1").arg(name));
    if (name.contains(u'='))
        return usageError("post",
                          QStringLiteral("the first argument is the notification's name, not %1").arg(name));

    QVariantMap userInfo;
    for (const QString &argument : arguments.mid(1)) {
        const qsizetype equals = argument.indexOf(u'=');
        if (equals < 0)
            return usageError("post", QStringLiteral("%1 is neither KEY=VALUE nor KEY:=JSON").arg(argument));
        const bool isJson = equals > 0 && argument[equals - 1] == u':';
        const QString key = argument.left(isJson ? equals - 1 : equals);
        const QString text = argument.mid(equals + 1);
        if (!isJson) {
            if (key.isEmpty())
                return usageError("post", QStringLiteral("%1 has no key before the '='").arg(argument));
            userInfo.insert(key, CommandValues::scalarValue(text));
            continue;
        }
        QString problem;
        const std::optional<QVariant> value = CommandValues::jsonValue(text, &problem);
        if (!value) {
            return usageError("post",
                              key.isEmpty()
                                  ? QStringLiteral("the user info is not JSON: %1").arg(problem)
                                  : QStringLiteral("the value of \"%1\" is not JSON: %2").arg(key, problem));
        }
        if (!key.isEmpty()) {
            userInfo.insert(key, *value);
            continue;
        }
        if (value->typeId() != QMetaType::QVariantMap)
            return usageError("post", QStringLiteral("the user info after := is not a JSON object"));
        const QVariantMap whole = value->toMap();
        for (auto it = whole.cbegin(); it != whole.cend(); ++it)
            userInfo.insert(it.key(), it.value());
    }

    const auto application = applicationIfNone();
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    if (!center.post(name, userInfo))
        return 1;
    // The program may end as soon as the bus has the notification; not before, or it could be lost.
    return center.waitForBus() ? 0 : 1;
}

int runListenCommand(const QStringList &arguments) {
    for (const QString &name : arguments) {
        if (name.startsWith(u'-'))
            return usageError("listen", QStringLiteral("unknown option %1").arg(name));
        if (name.isEmpty())
            return usageError("listen", QStringLiteral("a notification's name is empty"));
    }
    const auto application = applicationIfNone();
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    if (!center.isConnected()) {
        std::fprintf(stderr, "tindral-clock listen: there is no D-Bus session bus to listen to\n");
        return 1;
    }
    const auto print = [](const Notification &notification) {
        const QByteArray line =
            CommandValues::json(QVariantMap{{QStringLiteral("name"), notification.name},
                                            {QStringLiteral("userInfo"), notification.userInfo}});
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    QList<int> observers;
    if (arguments.isEmpty())
        observers << center.addObserver(QString(), print);
    for (const QString &name : arguments)
        observers << center.addObserver(name, print);
    TerminationSignals::quitOnTermination();
    if (!center.waitForBus()) {
        std::fprintf(stderr, "tindral-clock listen: the D-Bus session bus does not answer\n");
        return 1;
    }
    std::fprintf(stderr, "listening for %s\n",
                 arguments.isEmpty() ? "every notification"
                                     : qPrintable(arguments.join(QStringLiteral(", "))));
    std::fflush(stderr);
    QCoreApplication::exec();
    for (const int observer : observers)
        center.removeObserver(observer);
    return 0;
}
