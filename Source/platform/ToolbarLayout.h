#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class UserDefaults;

// The toolbar as the user arranged it: its items in order, by identifier, and whether it uses the small size.
// Kept in the settings file under one key as a dictionary with a format version, so a later version of the
// program can tell an older layout from its own. Reading never fails: a missing layout is the default one, a
// damaged one is the default one with a warning, and an identifier the program no longer knows is dropped
// with a warning while the rest is kept.
class ToolbarLayout {
public:
    static constexpr int kFormatVersion = 1;

    struct Configuration {
        QStringList itemIdentifiers;
        bool smallSize = false;
        bool operator==(const Configuration &) const = default;
    };

    // allowed: every identifier the toolbar knows; repeatable: those that may stand more than once (the
    // spacing items); every other identifier stands at most once, its later copies dropped.
    ToolbarLayout(UserDefaults &defaults, QStringList allowed, QSet<QString> repeatable,
                  QStringList defaultIdentifiers);

    Configuration defaultConfiguration() const { return {m_defaultIdentifiers, false}; }

    // The layout in the settings file, or the default one.
    Configuration read() const;
    // Writes the layout; false (told on standard error) when the settings file could not be written.
    bool write(const Configuration &configuration) const;

    // identifiers without the unknown ones and the extra copies of those that stand once, each dropped one
    // told with a warning.
    QStringList cleaned(const QStringList &identifiers) const;

private:
    UserDefaults &m_defaults;
    QStringList m_allowed;
    QSet<QString> m_repeatable;
    QStringList m_defaultIdentifiers;
};
