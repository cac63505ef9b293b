#include "ToolbarLayout.h"

#include "TNDContract.h"
#include "UserDefaults.h"

#include <QVariantList>
#include <QVariantMap>
#include <QtDebug>

namespace {

// The keys inside the layout's dictionary; they belong to this class alone.
const QString kVersionField = QStringLiteral("formatVersion");
const QString kItemsField = QStringLiteral("itemIdentifiers");
const QString kSmallSizeField = QStringLiteral("smallSize");

const QString kKey = QString::fromLatin1(TND::kToolbarItemsKey);

bool isWholeNumber(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

} // namespace

ToolbarLayout::ToolbarLayout(UserDefaults &defaults, QStringList allowed, QSet<QString> repeatable,
                             QStringList defaultIdentifiers)
    : m_defaults(defaults)
    , m_allowed(std::move(allowed))
    , m_repeatable(std::move(repeatable))
    , m_defaultIdentifiers(std::move(defaultIdentifiers)) {}

ToolbarLayout::Configuration ToolbarLayout::read() const {
    const QVariant stored = m_defaults.objectForKey(kKey);
    if (!stored.isValid())
        return defaultConfiguration();
    const auto fallBack = [this](const char *why) {
        qWarning("The toolbar layout in the settings file (\"%s\") %s; the toolbar has its default items.",
                 TND::kToolbarItemsKey, why);
        return defaultConfiguration();
    };
    if (stored.typeId() != QMetaType::QVariantMap)
        return fallBack("is not a dictionary");
    const QVariantMap layout = stored.toMap();
    const QVariant version = layout.value(kVersionField);
    if (!isWholeNumber(version))
        return fallBack("has no format version");
    if (version.toLongLong() != kFormatVersion)
        return fallBack("is of a format version this program does not know");
    const QVariant items = layout.value(kItemsField);
    if (items.typeId() != QMetaType::QVariantList)
        return fallBack("has no list of items");

    QStringList identifiers;
    for (const QVariant &item : items.toList()) {
        if (item.typeId() != QMetaType::QString) {
            qWarning("The toolbar layout holds an item that is not an identifier; it is left out.");
            continue;
        }
        identifiers << item.toString();
    }
    Configuration configuration;
    configuration.itemIdentifiers = cleaned(identifiers);
    configuration.smallSize = UserDefaults::integerValue(layout.value(kSmallSizeField)) == 1;
    return configuration;
}

bool ToolbarLayout::write(const Configuration &configuration) const {
    QVariantList items;
    for (const QString &identifier : configuration.itemIdentifiers)
        items << identifier;
    const QVariantMap layout{
        {kVersionField, kFormatVersion},
        {kItemsField, items},
        {kSmallSizeField, configuration.smallSize},
    };
    return m_defaults.setObjectForKey(layout, kKey) == UserDefaults::WriteOutcome::Written;
}

QStringList ToolbarLayout::cleaned(const QStringList &identifiers) const {
    QStringList kept;
    for (const QString &identifier : identifiers) {
        if (!m_allowed.contains(identifier)) {
            qWarning("The toolbar item \"%s\" is no longer known; it is left out of the toolbar.",
                     qPrintable(identifier));
            continue;
        }
        if (!m_repeatable.contains(identifier) && kept.contains(identifier)) {
            qWarning("The toolbar item \"%s\" stands in the toolbar more than once; only its first place "
                     "is kept.",
                     qPrintable(identifier));
            continue;
        }
        kept << identifier;
    }
    return kept;
}
