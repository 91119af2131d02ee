#include "library/catalogue/homelocations.h"

#include "library/catalogue/skilllocations.h"

namespace {

// A location read by more tools than this is everybody's, not one tool's.
constexpr qsizetype kOwnReaders = 4;

bool isShared(const SkillLocation &location)
{
    return location.readers.toList().size() > kOwnReaders;
}

bool isCurrentHomeLocation(const SkillLocation &location)
{
    return location.base == LocationBase::Home && !location.isLegacy;
}

QString fromHome(const SkillLocation &location)
{
    return QStringLiteral("~/") + location.path;
}

} // namespace

QList<ToolHomeLocations> homeLocationsByTool()
{
    QList<ToolHomeLocations> result;
    for (ToolSource tool : Tools::allCases()) {
        ToolHomeLocations entry{tool, {}};
        for (const SkillLocation &location : SkillLocations::table()) {
            if (isCurrentHomeLocation(location) && !isShared(location) && location.readers.contains(tool))
                entry.paths.append(fromHome(location));
        }
        if (!entry.paths.isEmpty())
            result.append(entry);
    }
    return result;
}

QStringList sharedHomeLocations()
{
    QStringList paths;
    for (const SkillLocation &location : SkillLocations::table()) {
        if (isCurrentHomeLocation(location) && isShared(location))
            paths.append(fromHome(location));
    }
    return paths;
}
