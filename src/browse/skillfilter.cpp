#include "browse/skillfilter.h"

#include "library/catalogue/settingskeys.h"
#include "library/catalogue/turnedoff.h"
#include "library/checks/libraryhealth.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"

#include <QCoreApplication>

namespace {

// What a filter needs beyond the record, looked up once for a pass over many.
struct FilterPlaces {
    explicit FilterPlaces(const SidebarFilter &filter)
    {
        const SidebarFilter::Kind kind = filter.kind();
        if (kind == SidebarFilter::Kind::Tool || kind == SidebarFilter::Kind::TurnedOff || kind == SidebarFilter::Kind::Project)
            turnedOff = turnedOffFolder();
        if (kind == SidebarFilter::Kind::Project)
            customRoots = readCustomScanPaths();
    }
    QString turnedOff;
    QStringList customRoots;
};

bool matches(const Skill &skill, const SidebarFilter &filter, const LibraryHealth *health, const FilterPlaces &places)
{
    switch (filter.kind()) {
    case SidebarFilter::Kind::All:
        return true;
    case SidebarFilter::Kind::Favorites:
        return skill.isFavorite();
    case SidebarFilter::Kind::Tool:
        // A turned-off skill is read by no tool, whichever read it before.
        return skill.hasToolSource(filter.toolSource()) && !isTurnedOffPath(skill.resolvedPath(), places.turnedOff);
    case SidebarFilter::Kind::TurnedOff:
        return isTurnedOffPath(skill.resolvedPath(), places.turnedOff);
    case SidebarFilter::Kind::NeedsAttention:
        return health && health->tally(skill).needsAttention();
    case SidebarFilter::Kind::Collection:
        for (const SkillCollection *collection : skill.collections()) {
            if (collection->name() == filter.collectionName())
                return true;
        }
        return false;
    case SidebarFilter::Kind::Project:
        return skill.projectName(places.customRoots, places.turnedOff).value_or(QString()) == filter.projectName();
    }
    return false;
}

} // namespace

bool matchesSidebarFilter(const Skill &skill, const SidebarFilter &filter, const LibraryHealth *health)
{
    return matches(skill, filter, health, FilterPlaces(filter));
}

bool matchesSearch(const Skill &skill, const QString &searchText)
{
    if (searchText.isEmpty())
        return true;
    return skill.name().contains(searchText, Qt::CaseInsensitive)
        || skill.skillDescription().contains(searchText, Qt::CaseInsensitive)
        || skill.content().contains(searchText, Qt::CaseInsensitive);
}

QList<Skill *> filterBySidebar(const QList<Skill *> &skills, const SidebarFilter &filter, const LibraryHealth *health)
{
    if (filter.kind() == SidebarFilter::Kind::All)
        return skills;
    const FilterPlaces places(filter);
    QList<Skill *> result;
    for (Skill *skill : skills) {
        if (matches(*skill, filter, health, places))
            result.append(skill);
    }
    return result;
}

QList<Skill *> filterSkills(const QList<Skill *> &skills, const SidebarFilter &filter,
                            const QString &searchText)
{
    const FilterPlaces places(filter);
    QList<Skill *> result;
    for (Skill *skill : skills) {
        if (matches(*skill, filter, nullptr, places) && matchesSearch(*skill, searchText))
            result.append(skill);
    }
    return result;
}

QString listTitle(const SidebarFilter &filter)
{
    switch (filter.kind()) {
    case SidebarFilter::Kind::All:
        return QCoreApplication::translate("SidebarModel", "All skills");
    case SidebarFilter::Kind::Favorites:
        return QCoreApplication::translate("SidebarModel", "Favorites");
    case SidebarFilter::Kind::Tool:
        return Tools::displayName(filter.toolSource());
    case SidebarFilter::Kind::Collection:
        return filter.collectionName();
    case SidebarFilter::Kind::Project:
        return filter.projectName();
    case SidebarFilter::Kind::TurnedOff:
        return QCoreApplication::translate("SidebarModel", "Turned Off");
    case SidebarFilter::Kind::NeedsAttention:
        return QCoreApplication::translate("SidebarModel", "Needs Attention");
    }
    return {};
}
