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
#include <atomic>
#include <future>
#include <numeric>
#include <thread>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace UnchangedLibrary {

namespace {

// Opening the store the full way takes away group and other bits from its folder
// and the files this user owns; a store that still has them is left to that path.
bool storeFilesArePrivate(const QString &storePath)
{
    struct stat folder {};
    const QString folderPath = storePath.left(storePath.lastIndexOf(u'/'));
    if (::stat(QFile::encodeName(folderPath.isEmpty() ? QStringLiteral("/") : folderPath).constData(), &folder) != 0
        || (folder.st_uid == ::geteuid() && (folder.st_mode & 0077) != 0))
        return false;
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

    // Two halves that need nothing of each other run side by side: the listing
    // and the walks' checks (the file system) beside the store's rows.
    ScanSnapshot snapshot;
    snapshot.home = home;
    snapshot.customRoots = customRoots;
    snapshot.nowNs = fileSystemNowNs();
    std::promise<const ScanMemory *> memoryLoaded;
    // What the lister finds: every file's paths by the file they lead to, and
    // what a scan would say; `settled` false when a scan would change anything.
    QHash<QString, Reached> reached;
    QList<FileProblem> problems;
    const auto settle = [&](const ScanListingResult &listing, const ScanMemory &memory) {
        const QHash<QString, ScanMemory::File> &files = memory.files();
        reached.reserve(listing.items.size());
        for (const ScanItem &item : listing.items) {
            const ScanListing::ListedFile &file = item.file;
            const QString resolved = file.resolvedPath.isEmpty() ? file.path : file.resolvedPath;
            const auto known = files.constFind(file.path);
            // A file a scan never reads, whatever it holds: said again, nothing else.
            if (known == files.cend() && !item.isGlobal && linkLeavesProject(file.path, resolved, customRoots)) {
                problems.append({file.path, linkLeavesProjectReason()});
                continue;
            }
            if (known == files.cend() || !known->signature.isUnchangedIn(file.signature)
                || known->reader != skillReaderVersion || known->resolvedPath != resolved)
                return false;
            if (file.isDirectory && !walkIsSettled(file.path, memory.walks()))
                return false;
            reached[resolved].paths.append(file.path);
        }
        return true;
    };
    bool settled = false;
    std::atomic<bool> unsettled = false; // known early: the reading stops too
    std::jthread lister([&, loaded = memoryLoaded.get_future()]() mutable {
        const ScanListingResult listing = listRequest(ScanRequest::full(true), snapshot);
        const ScanMemory *memory = loaded.get();
        settled = memory && listing.undecodable.isEmpty() && settle(listing, *memory);
        unsettled = !settled;
    });
    // However this ends, the lister is not left waiting.
    bool memoryGiven = false;
    const auto giveMemory = [&](const ScanMemory *memory) {
        if (!memoryGiven)
            memoryLoaded.set_value(memory);
        memoryGiven = true;
    };
    // Joined before anything it reads (the memory) goes away.
    const auto noAnswer = [&]() -> std::optional<Listing> {
        giveMemory(nullptr);
        if (lister.joinable())
            lister.join();
        return std::nullopt;
    };

    Sqlite::Database database;
    if (!database.open(storePath, nullptr, Sqlite::Database::Access::ReadOnly))
        return noAnswer();
    if (!ModelContainer::opensWithoutWrites(database))
        return noAnswer();
    // The rows are read once, front to back, bodies included (the columns after
    // them are needed): mapped, they are not copied page by page.
    database.exec("PRAGMA mmap_size = 1073741824");
    // One snapshot for the scan memory and the records alike, whatever another
    // process commits meanwhile.
    if (!database.exec("BEGIN"))
        return noAnswer();
    const ScanMemory memory(database, false);
    giveMemory(&memory);

    struct Stored {
        ListedSkill skill;
        QStringList installed;
        NaturalKey key;
    };
    std::vector<Stored> stored;
    // Room for a record per remembered file, so the rows are never copied to grow.
    stored.reserve(size_t(memory.files().size()));
    // Few distinct sets of tools: each encoded once.
    std::vector<std::pair<ToolSet, QString>> encodings;
    const auto encoded = [&encodings](ToolSet tools) -> const QString & {
        for (const auto &[set, text] : encodings) {
            if (set == tools)
                return text;
        }
        encodings.emplace_back(tools, SkillEncoding::encodeToolSources(tools.toList()));
        return encodings.back().second;
    };
    Sqlite::Statement rows(database, "SELECT resolvedPath, filePath, name, toolSourcesRaw, installedPathsData, isGlobal "
                                     "FROM skill");
    if (!rows.isValid())
        return noAnswer();
    while (rows.next()) {
        if (unsettled)
            return noAnswer();
        ListedSkill skill{rows.text(2), rows.text(0), rows.text(1), rows.text(3)};
        std::optional<QStringList> installed = SkillEncoding::decodeStringList(rows.blob(4));
        if (!installed || !installed->contains(skill.filePath))
            return noAnswer();
        // A scan brings each record's tools and global flag up to the location table.
        const SkillLocations::PathReaders readers = SkillLocations::readersAndHomeOf(*installed, home, customRoots);
        if (!readers.tools.isEmpty()
            && (encoded(readers.tools) != skill.toolSourcesRaw || readers.anyInHome != (rows.integer(5) != 0)))
            return noAnswer();
        NaturalKey key = naturalKey(skill.name);
        stored.push_back({std::move(skill), std::move(*installed), std::move(key)});
    }
    if (!rows.error().isEmpty())
        return noAnswer(); // a damaged row
    database.exec("COMMIT");

    // The order of the records' list: names by their keys, then resolved paths.
    std::vector<size_t> order(stored.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&stored](size_t a, size_t b) {
        const int byName = compareNaturally(stored[a].key, stored[b].key);
        return byName != 0 ? byName < 0 : stored[a].skill.resolvedPath < stored[b].skill.resolvedPath;
    });

    lister.join();
    if (!settled)
        return std::nullopt;
    for (const Stored &row : stored) {
        const auto found = reached.find(row.skill.resolvedPath);
        if (found == reached.end())
            return std::nullopt; // a record no path reaches: the prune would act on it
        // Exactly the paths found (as sets: neither list holds one twice).
        const QStringList &paths = found->paths;
        if (row.installed.size() != paths.size()
            || !std::all_of(paths.cbegin(), paths.cend(), [&row](const QString &path) { return row.installed.contains(path); }))
            return std::nullopt;
        // The texts come from the last path in scan order; a record that holds
        // another's reading would be read once more.
        if (memory.textSource(row.skill.resolvedPath) != paths.constLast())
            return std::nullopt;
        reached.erase(found);
    }
    if (!reached.isEmpty())
        return std::nullopt; // a file found with no record: it would be read

    Listing result;
    result.skills.reserve(qsizetype(stored.size()));
    for (size_t index : order)
        result.skills.append(std::move(stored[index].skill));
    result.problems = std::move(problems);
    std::sort(result.problems.begin(), result.problems.end(),
              [](const FileProblem &a, const FileProblem &b) { return a.path < b.path; });
    return result;
}

} // namespace UnchangedLibrary
