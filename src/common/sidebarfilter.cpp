#include "common/sidebarfilter.h"

namespace {
const QString collectionPrefix = QStringLiteral("collection:");
const QString projectPrefix = QStringLiteral("project:");
}

QString SidebarFilter::toString() const
{
    switch (m_kind) {
    case Kind::All:
        return QStringLiteral("all");
    case Kind::Favorites:
        return QStringLiteral("favorites");
    case Kind::Tool:
        return Tools::rawValue(m_tool);
    case Kind::Collection:
        return collectionPrefix + m_name;
    case Kind::Project:
        return projectPrefix + m_name;
    case Kind::TurnedOff:
        return QStringLiteral("off");
    case Kind::NeedsAttention:
        return QStringLiteral("attention");
    }
    return {};
}

std::optional<SidebarFilter> SidebarFilter::fromString(const QString &text)
{
    if (text == QLatin1String("all"))
        return all();
    if (text == QLatin1String("favorites"))
        return favorites();
    if (text == QLatin1String("off"))
        return turnedOff();
    if (text == QLatin1String("attention"))
        return needsAttention();
    if (text.startsWith(collectionPrefix))
        return collection(text.mid(collectionPrefix.size()));
    if (text.startsWith(projectPrefix))
        return project(text.mid(projectPrefix.size()));
    if (const auto tool = Tools::fromRawValue(text))
        return SidebarFilter::tool(*tool);
    return std::nullopt;
}

size_t qHash(const SidebarFilter &filter, size_t seed)
{
    // The case's position first, then its payload, consistent with operator==.
    switch (filter.kind()) {
    case SidebarFilter::Kind::Tool:
        return qHashMulti(seed, int(filter.kind()), Tools::rawValue(filter.toolSource()));
    case SidebarFilter::Kind::Collection:
    case SidebarFilter::Kind::Project:
        return qHashMulti(seed, int(filter.kind()), filter.collectionName());
    default:
        return qHashMulti(seed, int(filter.kind()));
    }
}
