#pragma once

#include <QString>

// A value from elsewhere as a message quotes it: its first line, at most 60 characters, and "…" where more was
// left out, so that a refused 10 MB value or one with line breaks never floods a message.
inline QString quotedText(const QString &text) {
    constexpr qsizetype kMost = 60;
    QString shown = text.section(u'\n', 0, 0);
    const bool cut = shown.size() > kMost || shown.size() < text.size();
    shown.truncate(kMost);
    return cut ? shown + QStringLiteral("\u2026") : shown;
}
