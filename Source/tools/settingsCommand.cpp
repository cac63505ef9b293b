#include "settingsCommand.h"

#include "UserDefaults.h"
#include "commandValues.h"

#include <QDir>

#include <cstdio>

namespace {

int usageError(const QString &problem) {
    std::fprintf(stderr, "tindral-clock settings: %s\n", qPrintable(problem));
    return 2;
}

int notDone(const QString &what) {
    std::fprintf(stderr, "tindral-clock settings: %s\n", qPrintable(what));
    return 1;
}

void printLine(const QVariant &value) {
    const QByteArray line = CommandValues::json(value);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
}

int get(UserDefaults &defaults, const QStringList &arguments) {
    if (arguments.size() > 1)
        return usageError(QStringLiteral("get takes one key at most"));
    if (arguments.isEmpty()) {
        const std::optional<QVariantMap> dictionary = defaults.dictionary();
        if (!dictionary)
            return notDone(
                QStringLiteral("there are no settings in %1").arg(QDir::toNativeSeparators(defaults.path())));
        printLine(*dictionary);
        return 0;
    }
    const QVariant value = defaults.objectForKey(arguments.first());
    if (!value.isValid())
        return notDone(QStringLiteral("\"%1\" is not set").arg(arguments.first()));
    printLine(value);
    return 0;
}

int set(UserDefaults &defaults, QStringList arguments) {
    const bool json = !arguments.isEmpty() && arguments.first() == QLatin1String("--json");
    if (json)
        arguments.removeFirst();
    if (arguments.size() != 2)
        return usageError(json ? QStringLiteral("set --json takes a key and a JSON value")
                               : QStringLiteral("set takes a key and a value"));
    const QString &key = arguments[0];
    if (key.isEmpty())
        return usageError(QStringLiteral("the key is empty"));
    if (key.startsWith(u'-'))
        return usageError(QStringLiteral("unknown option %1").arg(key));
    QVariant value = CommandValues::scalarValue(arguments[1]);
    if (json) {
        QString problem;
        const std::optional<QVariant> parsed = CommandValues::jsonValue(arguments[1], &problem);
        if (!parsed)
            return usageError(QStringLiteral("the value is not JSON: %1").arg(problem));
        value = *parsed;
    }
    return defaults.setObjectForKey(value, key) == UserDefaults::WriteOutcome::Written ? 0 : 1;
}

int remove(UserDefaults &defaults, const QStringList &arguments) {
    if (arguments.size() != 1)
        return usageError(QStringLiteral("remove takes one key"));
    return defaults.removeObjectForKey(arguments.first()) == UserDefaults::WriteOutcome::Failed ? 1 : 0;
}

} // namespace

int runSettingsCommand(const QStringList &arguments) {
    if (arguments.isEmpty())
        return usageError(QStringLiteral("get, set or remove expected"));
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QString &action = arguments.first();
    if (action == QLatin1String("get"))
        return get(defaults, arguments.mid(1));
    if (action == QLatin1String("set"))
        return set(defaults, arguments.mid(1));
    if (action == QLatin1String("remove"))
        return remove(defaults, arguments.mid(1));
    return usageError(QStringLiteral("unknown action %1: get, set or remove expected").arg(action));
}
