#pragma once

// Whole files for the tests that put bytes on the disk and look at what the code left there.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

// The file's bytes, or none when it cannot be read.
inline QByteArray readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline void writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}
