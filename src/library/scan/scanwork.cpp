#include "library/scan/scanwork.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

QString parentOf(const QString &path)
{
    return path.left(path.lastIndexOf(u'/'));
}

// The requested entries, by the folder that holds them, and every folder above one.
struct EntryIndex {
    QHash<QString, QSet<QString>> namesByFolder;
    QSet<QString> ancestors;

    explicit EntryIndex(const QSet<QString> &entries)
    {
        for (const QString &entry : entries) {
            QString folder = parentOf(entry);
            namesByFolder[folder].insert(entry.mid(folder.size() + 1));
            while (!folder.isEmpty() && !ancestors.contains(folder)) {
                ancestors.insert(folder);
                folder = parentOf(folder);
            }
        }
    }
};

// A listing builds every path afresh. A path the scan memory knows takes the
// memory's copy, and a resolved path equal to its path shares that one: a
// library's paths are then held once, not once per table that keeps them, and
// a rescan of a known library allocates next to none.
ScanListing::ListedFile sharingPaths(ScanListing::ListedFile file, const ScanSnapshot &snapshot)
{
    const auto known = snapshot.files.constFind(file.path);
    if (known != snapshot.files.cend()) {
        file.path = known.key();
        if (file.resolvedPath == known->resolvedPath)
            file.resolvedPath = known->resolvedPath;
    }
    if (file.resolvedPath == file.path)
        file.resolvedPath = file.path;
    return file;
}

void listPlaced(const PlacedLocation &placed, bool isGlobal, bool whole, const ScanRequest &request,
                const EntryIndex &entries, const ScanSnapshot &snapshot, ScanListingResult &out)
{
    const SkillLocation &location = *placed.location;
    const SkillReading reading = SkillLocations::readingOf(location.holds);
    if (location.holds == LocationHolds::NamedFile) {
        if (!whole && !request.entries.contains(placed.path))
            return;
        out.locationFolders.append(parentOf(placed.path));
        if (whole)
            out.wholeLocationFolders.append(parentOf(placed.path));
        for (const ScanListing::ListedFile &file : ScanListing::filesIn(placed, snapshot.nowNs).files)
            out.items.append({sharingPaths(file, snapshot), reading, isGlobal});
        return;
    }
    QSet<QString> names;
    if (!whole) {
        names = entries.namesByFolder.value(placed.path);
        if (names.isEmpty())
            return;
    }
    out.locationFolders.append(placed.path);
    if (whole)
        out.wholeLocationFolders.append(placed.path);
    const ScanListing::LocationListing listing = ScanListing::filesIn(placed, snapshot.nowNs, whole ? nullptr : &names);
    for (const ScanListing::ListedFile &file : listing.files)
        out.items.append({sharingPaths(file, snapshot), reading, isGlobal});
    out.entryFolders.append(listing.folders);
    out.undecodable.append(listing.undecodable);
}

qint64 floorDiv(qint64 value, qint64 divisor)
{
    const qint64 quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

} // namespace

ScanRequest ScanRequest::full(bool prune)
{
    ScanRequest request;
    request.everything = true;
    request.prune = prune;
    return request;
}

bool ScanRequest::isEmpty() const
{
    return !everything && homeLocations.isEmpty() && customRoots.isEmpty() && projects.isEmpty()
        && entries.isEmpty();
}

void ScanRequest::merge(const ScanRequest &other)
{
    everything = everything || other.everything;
    prune = prune || other.prune;
    homeLocations.unite(other.homeLocations);
    customRoots.unite(other.customRoots);
    projects.unite(other.projects);
    entries.unite(other.entries);
    if (everything) {
        homeLocations.clear();
        customRoots.clear();
        projects.clear();
        entries.clear();
    }
}

ScanListingResult listRequest(const ScanRequest &request, const ScanSnapshot &snapshot,
                              const std::function<void(ScanListingResult &&)> &partDone)
{
    ScanListingResult out;
    // A part is a few chunks of files: enough to keep the readers going, few
    // enough posts for a listing of tens of thousands.
    constexpr qsizetype filesPerPart = 256;
    const auto handOver = [&out, &partDone] {
        if (partDone && out.items.size() >= filesPerPart)
            partDone(std::exchange(out, {}));
    };
    const EntryIndex entries(request.entries);
    // Home locations first, in table order, then the projects of each custom scan
    // directory: the order of a full scan, whatever part of it is asked for.
    const bool wholeHome = request.everything || !request.homeLocations.isEmpty();
    for (const PlacedLocation &placed : ScanListing::existingLocations(LocationBase::Home, snapshot.home)) {
        const bool whole = request.everything || request.homeLocations.contains(placed.path);
        listPlaced(placed, true, whole, request, entries, snapshot, out);
        handOver();
    }
    if (wholeHome)
        out.rowFolders.append(ScanListing::rowFolders(LocationBase::Home, snapshot.home));
    for (const QString &root : snapshot.customRoots) {
        const bool wholeRoot = request.everything || request.customRoots.contains(root)
            || request.customRoots.contains(QDir(root).path());
        if (!wholeRoot && request.projects.isEmpty() && request.entries.isEmpty())
            continue;
        for (const QString &project : ScanListing::projects(root, wholeRoot ? &out.undecodable : nullptr)) {
            const bool whole = wholeRoot || request.projects.contains(project);
            if (!whole && !entries.ancestors.contains(project))
                continue;
            if (whole) {
                out.projects.append(project);
                out.rowFolders.append(ScanListing::rowFolders(LocationBase::Project, project));
            }
            for (const PlacedLocation &placed : ScanListing::existingLocations(LocationBase::Project, project))
                listPlaced(placed, false, whole, request, entries, snapshot, out);
            handOver();
        }
    }
    return out;
}

ExaminedFile examine(const ScanItem &item, const ScanSnapshot &snapshot)
{
    ExaminedFile result;
    result.item = item;
    const ScanListing::ListedFile &file = item.file;
    const QString resolved = file.resolvedPath.isEmpty() ? file.path : file.resolvedPath;

    const auto known = snapshot.files.constFind(file.path);
    // A file read by an earlier reader is read again: its record may hold other values.
    const bool unchanged = known != snapshot.files.cend() && known->signature.isUnchangedIn(file.signature)
        && known->reader == skillReaderVersion && known->resolvedPath == resolved
        && snapshot.recordedPaths.contains(resolved);
    if (unchanged) {
        result.outcome = ExaminedFile::Outcome::Unchanged;
    } else {
        // The time as QFileInfo gives it: whole milliseconds, rounded down.
        const qint64 seconds = floorDiv(file.signature.modifiedNs, 1'000'000'000);
        const qint64 nanoseconds = file.signature.modifiedNs - seconds * 1'000'000'000;
        const KnownAttributes attributes{seconds * 1000 + nanoseconds / 1'000'000, file.signature.size};
        result.reading = readSkillForRecord(file.path, resolved, item.reading, file.isDirectory, item.isGlobal,
                                            attributes, &result.problem, &snapshot.customRoots);
        if (!result.reading)
            return result; // unreadable: nothing changes, not even the artifacts
        result.outcome = ExaminedFile::Outcome::Read;
        if (snapshot.makesSearchKeys)
            result.key = SearchKey::make(result.reading->name, result.reading->parsed.description,
                                     result.reading->parsed.content, snapshot.searchKeyFile);
    }

    if (file.isDirectory) {
        const auto stored = snapshot.walks.constFind(file.path);
        const auto earlier = stored != snapshot.walks.cend() ? ScanMemory::decodeWalk(*stored) : std::nullopt;
        if (earlier && ScanListing::isWalkCurrent(file.path, *earlier)) {
            result.walk = *earlier;
        } else {
            result.walk = ScanListing::walkArtifacts(file.path);
            result.walked = true;
        }
    }
    return result;
}
