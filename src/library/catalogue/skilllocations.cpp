#include "library/catalogue/skilllocations.h"

#include "library/disk/regularfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

const QString skillFileName = QStringLiteral("SKILL.md");
const QString agentsFileName = QStringLiteral("AGENTS.md");

// Entries directly inside `directory`, hidden ones left out, in name order so
// that repeated scans visit files the same way. Empty when it cannot be listed.
QFileInfoList visibleEntries(const QString &directory)
{
    // System: pipes, sockets and devices too, so that one named like a skill file
    // is reported rather than passed over (dangling links come with them).
    return QDir(directory).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool isSingleFileSkill(const QString &name)
{
    return name.endsWith(QLatin1String(".md")) || name.endsWith(QLatin1String(".mdc"));
}

// Whether `relative` (a path below some base folder, '/'-separated) is a skill
// file that `location` holds.
bool holdsRelativePath(const SkillLocation &location, QStringView relative)
{
    if (location.holds == LocationHolds::NamedFile)
        return relative == location.path;
    if (!relative.startsWith(location.path) || relative.size() <= location.path.size()
        || relative.at(location.path.size()) != u'/')
        return false;
    const QStringView inside = relative.sliced(location.path.size() + 1);
    const qsizetype slash = inside.indexOf(u'/');
    const QStringView entry = slash < 0 ? inside : inside.first(slash);
    if (entry.isEmpty() || entry.startsWith(u'.'))
        return false; // the scan never records hidden entries
    if (slash < 0) {
        switch (location.holds) {
        case LocationHolds::SkillFolders:
            return isSingleFileSkill(entry.toString());
        case LocationHolds::RuleFiles:
            return entry.endsWith(location.ruleSuffix);
        default:
            return false;
        }
    }
    const QStringView mainFile = inside.sliced(slash + 1);
    switch (location.holds) {
    case LocationHolds::SkillFolders:
        return mainFile == skillFileName || mainFile == agentsFileName;
    case LocationHolds::AgentsFolders:
        return mainFile == agentsFileName;
    default:
        return false;
    }
}

// How many trailing components of a path a skill file of `location` takes up.
QList<qsizetype> componentCounts(const SkillLocation &location)
{
    const qsizetype own = location.path.count(u'/') + 1;
    switch (location.holds) {
    case LocationHolds::NamedFile:
        return {own};
    case LocationHolds::RuleFiles:
        return {own + 1};
    case LocationHolds::AgentsFolders:
        return {own + 2};
    case LocationHolds::SkillFolders:
        return {own + 1, own + 2};
    }
    return {};
}

// The part of `path` after its last `count` separators, or nothing when the path
// has no non-empty folder left in front of it to be the project.
std::optional<QStringView> lastComponents(QStringView path, qsizetype count)
{
    qsizetype cut = path.size();
    for (qsizetype i = 0; i < count; ++i) {
        cut = path.lastIndexOf(u'/', cut - 1);
        if (cut <= 0)
            return std::nullopt;
    }
    return path.sliced(cut + 1);
}

QList<const SkillLocation *> homeLocationsOf(const QString &path, const QString &home)
{
    QList<const SkillLocation *> found;
    if (home.isEmpty() || !path.startsWith(home) || path.size() <= home.size()
        || path.at(home.size()) != u'/')
        return found;
    const QStringView relative = QStringView(path).sliced(home.size() + 1);
    for (const SkillLocation &location : SkillLocations::table()) {
        if (location.base == LocationBase::Home && holdsRelativePath(location, relative))
            found.append(&location);
    }
    return found;
}

struct ProjectMatch {
    QList<const SkillLocation *> locations;
    qsizetype components = 0; // how many trailing components of the path they account for
};

ProjectMatch projectLocationsOf(const QString &path)
{
    ProjectMatch match;
    for (const SkillLocation &location : SkillLocations::table()) {
        if (location.base != LocationBase::Project)
            continue;
        for (const qsizetype count : componentCounts(location)) {
            const std::optional<QStringView> tail = lastComponents(path, count);
            if (!tail || !holdsRelativePath(location, *tail) || count < match.components)
                continue;
            if (count > match.components)
                match.locations.clear();
            match.components = count;
            match.locations.append(&location);
            break;
        }
    }
    return match;
}

// The project folder `path` lies in below one of `roots` (its first folder
// there) and the rest of the path; nothing when it lies in none.
struct RootedPath {
    QString projectFolder;
    QStringView relative;
};

std::optional<RootedPath> rootedPath(const QString &path, const QStringList &roots)
{
    for (QString root : roots) {
        root = QDir::cleanPath(root);
        if (root.isEmpty() || !path.startsWith(root))
            continue;
        qsizetype start = root.size();
        if (!root.endsWith(u'/')) {
            if (path.size() <= start || path.at(start) != u'/')
                continue;
            ++start;
        }
        const qsizetype slash = path.indexOf(u'/', start);
        if (slash <= start)
            continue;
        return RootedPath{path.first(slash), QStringView(path).sliced(slash + 1)};
    }
    return std::nullopt;
}

QList<const SkillLocation *> rootedLocationsOf(const RootedPath &rooted)
{
    QList<const SkillLocation *> found;
    for (const SkillLocation &location : SkillLocations::table()) {
        if (location.base == LocationBase::Project && holdsRelativePath(location, rooted.relative))
            found.append(&location);
    }
    return found;
}

} // namespace

namespace SkillLocations {

QList<PlacedLocation> existingLocations(LocationBase base, const QString &baseFolder)
{
    QList<PlacedLocation> placed;
    for (const SkillLocation &location : table()) {
        if (location.base != base)
            continue;
        const QString path = baseFolder + QLatin1Char('/') + location.path;
        if (QFileInfo::exists(path))
            placed.append({path, &location});
    }
    return placed;
}

QList<LocatedFile> filesIn(const PlacedLocation &placed)
{
    const SkillLocation &location = *placed.location;
    QList<LocatedFile> files;
    if (location.holds == LocationHolds::NamedFile) {
        if (QFileInfo(placed.path).isFile())
            files.append({placed.path, false});
        return files;
    }
    for (const QFileInfo &entry : visibleEntries(placed.path)) {
        const QString name = entry.fileName();
        if (entry.isDir()) {
            const QString skill = entry.filePath() + QLatin1Char('/') + skillFileName;
            const QString agents = entry.filePath() + QLatin1Char('/') + agentsFileName;
            if (location.holds == LocationHolds::SkillFolders && QFileInfo::exists(skill))
                files.append({skill, true});
            else if (location.holds != LocationHolds::RuleFiles && QFileInfo::exists(agents))
                files.append({agents, true});
        } else if (entry.exists()) { // a regular file, or a special one that reading reports
            if ((location.holds == LocationHolds::SkillFolders && isSingleFileSkill(name))
                || (location.holds == LocationHolds::RuleFiles && name.endsWith(location.ruleSuffix)))
                files.append({entry.filePath(), false});
        }
    }
    for (const QString &path : undecodableEntries(placed.path))
        files.append({path, false, true});
    return files;
}

SkillReading readingOf(LocationHolds holds)
{
    switch (holds) {
    case LocationHolds::SkillFolders:
        return SkillReading::Frontmatter;
    case LocationHolds::AgentsFolders:
    case LocationHolds::NamedFile:
        return SkillReading::Heading;
    case LocationHolds::RuleFiles:
        break;
    }
    // Rule files carry frontmatter for their own settings (paths, applyTo) and
    // seldom a name, so their heading names them.
    return SkillReading::FrontmatterOrHeading;
}

namespace {

// The rows of a path that no home row accounts for.
QList<const SkillLocation *> projectRowsOf(const QString &path, const QStringList &projectRoots)
{
    if (const std::optional<RootedPath> rooted = rootedPath(path, projectRoots)) {
        const QList<const SkillLocation *> found = rootedLocationsOf(*rooted);
        if (!found.isEmpty())
            return found;
    }
    return projectLocationsOf(path).locations;
}

} // namespace

QList<const SkillLocation *> locationsOf(const QString &path, const QString &home, const QStringList &projectRoots)
{
    const QList<const SkillLocation *> inHome = homeLocationsOf(path, home);
    return inHome.isEmpty() ? projectRowsOf(path, projectRoots) : inHome;
}

std::optional<QString> rootedProjectFolderOf(const QString &path, const QStringList &projectRoots)
{
    const std::optional<RootedPath> rooted = rootedPath(path, projectRoots);
    if (!rooted || rootedLocationsOf(*rooted).isEmpty())
        return std::nullopt;
    return rooted->projectFolder;
}

bool isHomePath(const QString &path, const QString &home)
{
    return !homeLocationsOf(path, home).isEmpty();
}

std::optional<QString> projectFolderOf(const QString &path, const QString &home, const QStringList &projectRoots)
{
    if (!homeLocationsOf(path, home).isEmpty())
        return std::nullopt;
    if (const std::optional<RootedPath> rooted = rootedPath(path, projectRoots)) {
        if (!rootedLocationsOf(*rooted).isEmpty())
            return rooted->projectFolder;
    }
    const ProjectMatch match = projectLocationsOf(path);
    if (match.locations.isEmpty())
        return std::nullopt;
    const std::optional<QStringView> tail = lastComponents(path, match.components);
    return path.first(path.size() - tail->size() - 1);
}

ToolSet readersOf(const QStringList &paths, const QString &home, const QStringList &projectRoots)
{
    return readersAndHomeOf(paths, home, projectRoots).tools;
}

PathReaders readersAndHomeOf(const QStringList &paths, const QString &home, const QStringList &projectRoots)
{
    PathReaders readers;
    for (const QString &path : paths) {
        QList<const SkillLocation *> locations = homeLocationsOf(path, home);
        if (locations.isEmpty())
            locations = projectRowsOf(path, projectRoots);
        else
            readers.anyInHome = true;
        for (const SkillLocation *location : std::as_const(locations))
            readers.tools |= location->readers;
    }
    return readers;
}

QList<LegacyNote> legacyNotes(const QStringList &paths, const QString &home, const QStringList &projectRoots)
{
    QList<LegacyNote> notes;
    for (const QString &path : paths) {
        for (const SkillLocation *location : locationsOf(path, home, projectRoots)) {
            if (!location->isLegacy)
                continue;
            for (ToolSource tool : location->readers.toList()) {
                notes.append({path, tool,
                              QCoreApplication::translate("SkillLocations", "%1 no longer reads this folder")
                                  .arg(Tools::displayName(tool))});
            }
        }
    }
    return notes;
}

QStringList watchedFolders(const QString &home)
{
    QStringList folders;
    for (const SkillLocation &location : table()) {
        if (location.base != LocationBase::Home)
            continue;
        QString folder = home + QLatin1Char('/') + location.path;
        if (location.holds == LocationHolds::NamedFile)
            folder = QFileInfo(folder).path();
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

} // namespace SkillLocations
