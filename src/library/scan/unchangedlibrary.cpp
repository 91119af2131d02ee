#include "library/scan/unchangedlibrary.h"

#include "library/catalogue/skilllocations.h"
#include "library/records/frontmatter.h"
#include "library/records/skill.h"
#include "library/scan/scanmemory.h"
#include "library/scan/scanwork.h"
#include "library/search/naturalorder.h"
#include "library/store/modelcontainer.h"
#include "library/store/sqlite.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace UnchangedLibrary {

namespace {

// Opening the store the full way takes away group and other bits from the files
// this user owns; a store that still has them is left to that path.
bool storeFilesArePrivate(const QString &storePath)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
        struct stat info {};
        if (::lstat(QFile::encodeName(storePath + QLatin1String(suffix)).constData(), &info) != 0) {
            if (*suffix == '\0')
                return false; // no store: a first run
            continue;
        }
        if (info.st_uid == ::geteuid() && (info.st_mode & 0077) != 0)
            return false;
    }
    return true;
}

// The paths a scan finds for one stored file, in scan order.
struct Reached {
    QStringList paths;
};

// Whether a skill folder's walk would be left as it is: the stored walk still
// current, or a walk that is never stored (it met a link) and has nothing to report.
bool walkIsSettled(const QString &skillFile, const QHash<QString, QByteArray> &walks)
{
    const auto stored = walks.constFind(skillFile);
    if (stored != walks.cend()) {
        const auto walk = ScanMemory::decodeWalk(*stored, false);
        return walk && ScanListing::isWalkCurrent(skillFile, *walk);
    }
    const ScanListing::ArtifactWalk walk = ScanListing::walkArtifacts(skillFile);
    return !walk.reusable && walk.undecodable.isEmpty() && walk.special.isEmpty();
}

} // namespace

std::optional<Listing> read(const QString &storePath, const QString &home, const QStringList &customRoots)
{
    if (!storeFilesArePrivate(storePath))
        return std::nullopt;
    Sqlite::Database database;
    if (!database.open(storePath, nullptr, Sqlite::Database::Access::ReadOnly))
        return std::nullopt;
    if (!ModelContainer::opensWithoutWrites(database))
        return std::nullopt;
    // One snapshot for the scan memory and the records alike, whatever another
    // process commits meanwhile.
    if (!database.exec("BEGIN"))
        return std::nullopt;
    const ScanMemory memory(database, false);

    ScanSnapshot snapshot;
    snapshot.home = home;
    snapshot.customRoots = customRoots;
    snapshot.nowNs = fileSystemNowNs();
    const ScanListingResult listing = listRequest(ScanRequest::full(true), snapshot);
    if (!listing.undecodable.isEmpty())
        return std::nullopt;

    const QHash<QString, ScanMemory::File> &files = memory.files();
    QHash<QString, Reached> reached;
    reached.reserve(listing.items.size());
    Listing result;
    for (const ScanItem &item : listing.items) {
        const ScanListing::ListedFile &file = item.file;
        const QString resolved = file.resolvedPath.isEmpty() ? file.path : file.resolvedPath;
        const auto known = files.constFind(file.path);
        // A file a scan never reads, whatever it holds: said again, nothing else.
        if (known == files.cend() && !item.isGlobal && linkLeavesProject(file.path, resolved, customRoots)) {
            result.problems.append({file.path, linkLeavesProjectReason()});
            continue;
        }
        if (known == files.cend() || !known->signature.isUnchangedIn(file.signature)
            || known->reader != skillReaderVersion || known->resolvedPath != resolved)
            return std::nullopt;
        if (file.isDirectory && !walkIsSettled(file.path, memory.walks()))
            return std::nullopt;
        reached[resolved].paths.append(file.path);
    }

    Sqlite::Statement rows(database, "SELECT resolvedPath, filePath, name, toolSourcesRaw, installedPathsData, isGlobal "
                                     "FROM skill");
    if (!rows.isValid())
        return std::nullopt;
    QList<ListedSkill> &skills = result.skills;
    skills.reserve(reached.size());
    while (rows.next()) {
        ListedSkill skill{rows.text(2), rows.text(0), rows.text(1), rows.text(3)};
        const auto found = reached.find(skill.resolvedPath);
        if (found == reached.end())
            return std::nullopt; // a record no path reaches: the prune would act on it
        const QStringList &paths = found->paths;
        const std::optional<QStringList> installed = SkillEncoding::decodeStringList(rows.blob(4));
        // Each path once (QStringList equality as sets: both are free of duplicates).
        if (!installed || installed->size() != paths.size() || !installed->contains(skill.filePath)
            || !std::all_of(paths.cbegin(), paths.cend(), [&installed](const QString &path) { return installed->contains(path); }))
            return std::nullopt;
        // The texts come from the last path in scan order; a record that holds
        // another's reading would be read once more.
        if (memory.textSource(skill.resolvedPath) != paths.constLast())
            return std::nullopt;
        const ToolSet readers = SkillLocations::readersOf(*installed, home, customRoots);
        if (!readers.isEmpty()) {
            const bool isGlobal = std::any_of(installed->cbegin(), installed->cend(),
                                              [&home](const QString &path) { return SkillLocations::isHomePath(path, home); });
            if (SkillEncoding::encodeToolSources(readers.toList()) != skill.toolSourcesRaw
                || isGlobal != (rows.integer(5) != 0))
                return std::nullopt;
        }
        reached.erase(found);
        skills.append(std::move(skill));
    }
    if (!rows.error().isEmpty() || !reached.isEmpty())
        return std::nullopt; // a damaged row, or a file found with no record: it would be read
    database.exec("COMMIT");

    // The order of the records' list: each name's key made once, then compared.
    std::vector<std::pair<NaturalKey, qsizetype>> order;
    order.reserve(size_t(skills.size()));
    for (qsizetype i = 0; i < skills.size(); ++i)
        order.emplace_back(naturalKey(skills.at(i).name), i);
    std::sort(order.begin(), order.end(), [&skills](const auto &a, const auto &b) {
        const int byName = compareNaturally(a.first, b.first);
        return byName != 0 ? byName < 0 : skills.at(a.second).resolvedPath < skills.at(b.second).resolvedPath;
    });
    QList<ListedSkill> sorted;
    sorted.reserve(skills.size());
    for (const auto &[key, index] : order)
        sorted.append(std::move(skills[index]));
    skills = std::move(sorted);
    std::sort(result.problems.begin(), result.problems.end(),
              [](const FileProblem &a, const FileProblem &b) { return a.path < b.path; });
    return result;
}

} // namespace UnchangedLibrary
