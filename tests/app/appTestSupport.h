#pragma once

// What the main application's widget tests share.

#include <QRegularExpression>
#include <QTest>

// Any warning fails the test, but for the one the offscreen platform gives whenever a window's size limits
// change.
inline void failOnUnexpectedWarnings() {
    QTest::failOnWarning(
        QRegularExpression(QStringLiteral("^(?!This plugin does not support propagateSizeHints\\(\\)).*")));
}
