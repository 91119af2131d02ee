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

// What a full scan would make of each listed file. The lister starts on them as
// soon as the store's scan memory is there, and the reading thread joins in once
// it has read the rows: the skill folders' walks cost a few `stat` calls each and
// are most of the time, so they are taken in chunks by whichever thread is free.
class FileChecks final
{
public:
    // By the lister, before it lets the reading thread join in.
    void prepare(const ScanListingResult &listing, const QStringList &customRoots)
    {
        m_listing = &listing;
        m_customRoots = &customRoots;
        m_outcomes.assign(size_t(listing.items.size()), Outcome::Unchecked);
        if (!listing.undecodable.isEmpty())
            m_changed = true;
    }

    // Checks chunks until none is left or one file would change anything.
    void run(const ScanMemory &memory)
    {
        const qsizetype count = m_listing->items.size();
        while (!m_changed.load(std::memory_order_relaxed)) {
            const qsizetype begin = m_next.fetch_add(chunkSize);
            if (begin >= count)
                return;
            for (qsizetype i = begin; i < std::min(count, begin + chunkSize); ++i) {
                const Outcome outcome = check(m_listing->items.at(i), memory);
                if (outcome == Outcome::Changed) {
                    m_changed = true;
                    return;
                }
                m_outcomes[size_t(i)] = outcome;
            }
        }
    }

    // Known early, so that reading the rows stops too.
    bool foundChange() const { return m_changed.load(std::memory_order_relaxed); }

    // Once both threads are done, and nothing would change: every file's paths
    // by the file they lead to, in scan order.
    QHash<QString, QStringList> pathsByFile(QList<FileProblem> &problems) const
    {
        QHash<QString, QStringList> reached;
        reached.reserve(m_listing->items.size());
        for (qsizetype i = 0; i < m_listing->items.size(); ++i) {
            const ScanListing::ListedFile &file = m_listing->items.at(i).file;
            if (m_outcomes[size_t(i)] == Outcome::LeavesProject)
                problems.append({file.path, linkLeavesProjectReason()});
            else
                reached[file.resolvedPath.isEmpty() ? file.path : file.resolvedPath].append(file.path);
        }
        return reached;
    }

private:
    enum class Outcome : quint8 { Unchecked, Reached, LeavesProject, Changed };
    static constexpr qsizetype chunkSize = 64;

    Outcome check(const ScanItem &item, const ScanMemory &memory) const
    {
        const ScanListing::ListedFile &file = item.file;
        const QString &resolved = file.resolvedPath.isEmpty() ? file.path : file.resolvedPath;
        const auto known = memory.files().constFind(file.path);
        // A file a scan never reads, whatever it holds: said again, nothing else.
        if (known == memory.files().cend() && !item.isGlobal && linkLeavesProject(file.path, resolved, *m_customRoots))
            return Outcome::LeavesProject;
        if (known == memory.files().cend() || !known->signature.isUnchangedIn(file.signature)
            || known->reader != skillReaderVersion || known->resolvedPath != resolved)
            return Outcome::Changed;
        if (file.isDirectory && !walkIsSettled(file.path, memory.walks()))
            return Outcome::Changed;
        return Outcome::Reached;
    }

    const ScanListingResult *m_listing = nullptr;
    const QStringList *m_customRoots = nullptr;
    // One byte per file, each written by the one thread that checked it.
    std::vector<Outcome> m_outcomes;
    std::atomic<qsizetype> m_next = 0;
    std::atomic<bool> m_changed = false;
};

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
    std::promise<void> listed;
    ScanListingResult listing;
    FileChecks checks;
    std::jthread lister([&, loaded = memoryLoaded.get_future()]() mutable {
        listing = listRequest(ScanRequest::full(true), snapshot);
        checks.prepare(listing, customRoots);
        listed.set_value();
        const ScanMemory *memory = loaded.get();
        if (!memory)
            return;
        checks.run(*memory);
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
        if (checks.foundChange())
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

    // The reading thread helps with what is left of the checks.
    listed.get_future().wait();
    checks.run(memory);
    lister.join();
    if (checks.foundChange())
        return std::nullopt;
    QList<FileProblem> problems;
    QHash<QString, QStringList> reached = checks.pathsByFile(problems);
    for (const Stored &row : stored) {
        const auto found = reached.find(row.skill.resolvedPath);
        if (found == reached.end())
            return std::nullopt; // a record no path reaches: the prune would act on it
        // Exactly the paths found (as sets: neither list holds one twice).
        const QStringList &paths = *found;
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
