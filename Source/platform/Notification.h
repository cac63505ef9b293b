#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// One notification as its observers receive it. `object` is the in-process sender, when there is one (always
// nothing for a system-wide notification); `userInfo` is empty when the poster gave no details.
struct Notification {
    QString name;
    QVariantMap userInfo;
    QObject *object = nullptr;
};
