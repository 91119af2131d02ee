#include "library/watch/librarydiscovery.h"

#include "library/catalogue/settingskeys.h"
#include "library/catalogue/skilllocations.h"

#include <QDir>
#include <QElapsedTimer>

#include <optional>

namespace {

// How long a scan stands in for watching when not every folder can be watched.
constexpr std::chrono::seconds fallbackPeriod(60);
// Adding a watch costs the kernel a little; a few hundred per turn of the event
// loop keep the window responsive while thousands are added.
constexpr qint64 watchSliceMs = 4;

QString parentOf(const QString &path)
{
    return path.left(qMax<qsizetype>(0, path.lastIndexOf(u'/')));
}

// Whether `path` is `folder` or lies below it.
bool isAtOrBelow(const QString &path, const QString &folder)
{
    return path == folder
        || (path.startsWith(folder) && path.size() > folder.size() && path.at(folder.size()) == u'/');
}

QStringList customRoots()
{
    QStringList roots;
    for (const QString &root : readCustomScanPaths())
        roots.append(QDir(root).path()); // as the scan spells its projects: no trailing slash
    return roots;
}

} // namespace

LibraryDiscovery::LibraryDiscovery(ModelContext &context, ArtifactCache &artifacts, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_pipeline(context, artifacts)
    , m_watcher([this](const FileWatcher::Event &event) { folderChanged(event); })
{
    // The window's thread writes no rows while it scans: a disk busy copying the
    // log into the store can hold a write (or a sync) for a tenth of a second.
    m_pipeline.setSavesInBackground(true);
    connect(&m_coalescer, &ChangeCoalescer::due, this, [this] {
        ScanRequest request;
        std::swap(request, m_due);
        m_pipeline.request(request);
    });
    // New folders found by a scan are watched before it ends, and what changed in
    // them meanwhile joins the same scan.
    connect(&m_pipeline, &ScanPipeline::allApplied, this, &LibraryDiscovery::watchNewFolders);
    connect(&m_pipeline, &ScanPipeline::finished, this, [this] {
        if (m_firstScanRequested && !m_firstScanDone) {
            m_firstScanDone = true;
            Q_EMIT firstScanFinished();
        }
    });
    m_fallback.setInterval(fallbackPeriod);
    connect(&m_fallback, &QTimer::timeout, this, [this] { m_pipeline.request(ScanRequest::full(true)); });
    m_watchSlices.setInterval(0);
    connect(&m_watchSlices, &QTimer::timeout, this, &LibraryDiscovery::addPendingWatches);
}

void LibraryDiscovery::start()
{
    // What earlier runs found is watched first, so that nothing changing while
    // the first scan runs goes unseen; that scan then looks at everything.
    connect(&m_pipeline, &ScanPipeline::findingsRecalled, this, [this] {
        rewatchEverything();
        m_firstScanDue = true;
        addPendingWatches(); // starts the first scan once every watch is in place
    }, Qt::SingleShotConnection);
    m_pipeline.recallFindings();
}

void LibraryDiscovery::rescanEverything()
{
    rewatchEverything();
    m_pipeline.request(ScanRequest::full(true));
}

void LibraryDiscovery::rewatchEverything()
{
    const ScanPipeline::Findings &findings = m_pipeline.findings();
    QStringList folders;
    // The locations of home (or the folders above those not made yet) come first:
    // should the watches run out, they matter most.
    folders.append(ScanListing::rowFolders(LocationBase::Home, QDir::homePath()));
    for (const QString &root : customRoots()) {
        QString folder = root;
        while (!folder.isEmpty() && !QFileInfo(folder).isDir())
            folder = parentOf(folder);
        folders.append(folder.isEmpty() ? QStringLiteral("/") : folder);
    }
    const QList<const QSet<QString> *> groups{&findings.projects, &findings.rowFolders, &findings.locationFolders,
                                              &findings.entryFolders, &findings.skillFolders};
    const QStringList watched = m_watcher.watchedPaths(); // none at the start
    if (!watched.isEmpty()) {
        QSet<QString> wanted(folders.cbegin(), folders.cend());
        for (const QSet<QString> *group : groups)
            wanted.unite(*group);
        for (const QString &path : watched) {
            if (!wanted.contains(path))
                m_watcher.remove(path);
        }
    }
    m_queuedWatches.clear();
    m_pendingWatches.clear();
    m_followUpWatches.clear();
    // Then the groups by importance, each in no particular order: sorting a large
    // library's hundreds of thousands of folders would hold the thread for long.
    queueWatches(folders, false);
    for (const QSet<QString> *group : groups)
        queueWatches(*group, false);
    addPendingWatches();
}

void LibraryDiscovery::watchNewFolders()
{
    const ScanPipeline::Findings fresh = m_pipeline.takeNewFindings();
    for (const QSet<QString> *group : {&fresh.projects, &fresh.rowFolders, &fresh.locationFolders,
                                       &fresh.entryFolders, &fresh.skillFolders})
        queueWatches(*group, true);
    if (!m_queuedWatches.isEmpty())
        addPendingWatches();
}

void LibraryDiscovery::queueWatches(const QStringList &folders, bool followUp)
{
    if (folders.isEmpty())
        return;
    m_queuedWatches.append({folders, 0, {}, std::nullopt, followUp});
    if (followUp)
        expectFollowUps(folders.size());
}

void LibraryDiscovery::queueWatches(const QSet<QString> &folders, bool followUp)
{
    if (folders.isEmpty())
        return;
    // A copy that shares the set's data: walked with const iterators, it never detaches.
    m_queuedWatches.append({{}, 0, folders, std::nullopt, followUp});
    if (followUp)
        expectFollowUps(folders.size());
}

void LibraryDiscovery::expectFollowUps(qsizetype count)
{
    // The follow-ups of a first scan's folders grow to a hundred thousand in a few
    // slices: room made now spares a rehash of the whole set within one of them.
    if (count >= ScanPipeline::largeScanFiles)
        m_followUpWatches.reserve(m_followUpWatches.size() + count);
}

bool LibraryDiscovery::nextQueuedFolder(QueuedWatches &queued, QString *folder)
{
    if (queued.set.isEmpty()) {
        if (queued.next == queued.folders.size())
            return false;
        *folder = queued.folders.at(queued.next++);
        return true;
    }
    if (!queued.at)
        queued.at = queued.set.cbegin();
    if (*queued.at == queued.set.cend())
        return false;
    *folder = **queued.at;
    ++*queued.at;
    return true;
}

void LibraryDiscovery::noteUnwatched(const QString &failed)
{
    if (m_tooManyUnwatched)
        return;
    // Counting stops at a bound: a system's limit far below the library's folders
    // would otherwise make this thread copy hundreds of thousands of paths.
    const auto note = [this](const QString &path) {
        if (!path.isEmpty() && !m_watcher.isWatching(path))
            m_unwatched.insert(path);
        return m_unwatched.size() <= m_mostUnwatched;
    };
    bool counted = note(failed);
    for (qsizetype i = 0; counted && i < m_pendingWatches.size(); ++i)
        counted = note(m_pendingWatches.at(i));
    for (QueuedWatches &queued : m_queuedWatches) {
        QString path;
        while (counted && nextQueuedFolder(queued, &path))
            counted = note(path);
    }
    if (!counted) {
        m_tooManyUnwatched = true;
        m_unwatched.clear();
        m_unwatched.squeeze();
    }
    Q_EMIT unwatchedFoldersChanged();
}

void LibraryDiscovery::addPendingWatches()
{
    QElapsedTimer clock;
    clock.start();
    while (!m_queuedWatches.isEmpty() && clock.elapsed() < watchSliceMs) {
        QueuedWatches &queued = m_queuedWatches.first();
        constexpr int perCheck = 256;
        QString path;
        bool more = true;
        for (int taken = 0; taken < perCheck && (more = nextQueuedFolder(queued, &path)); ++taken) {
            if (path.isEmpty() || m_watcher.isWatching(path))
                continue;
            m_pendingWatches.append(path);
            if (queued.followUp)
                m_followUpWatches.insert(path);
        }
        if (!more)
            m_queuedWatches.removeFirst();
    }
    std::optional<QStringList> roots; // read at the first follow-up, once a slice
    // Told once a slice: whoever keeps a copy of the set would otherwise have it
    // copied whole for every folder that leaves it.
    bool watchedUnwatched = false;
    ScanRequest followUp;
    while (m_queuedWatches.isEmpty() && !m_pendingWatches.isEmpty() && clock.elapsed() < watchSliceMs) {
        const QString path = m_pendingWatches.takeFirst();
        if (m_watcher.isWatching(path))
            continue;
        const bool wasFollowUp = m_followUpWatches.remove(path);
        if (m_watcher.add(path)) {
            // Watches freed since (folders that went away) made room for it.
            watchedUnwatched = m_unwatched.remove(path) || watchedUnwatched;
            // The folder may have changed between the scan that found it and now:
            // look once more at what it holds, once every queued watch is in.
            if (wasFollowUp) {
                if (!roots)
                    roots = customRoots();
                m_followUps.merge(requestFor(path, QString(), *roots));
            }
            continue;
        }
        if (m_watcher.limitReached()) {
            noteUnwatched(path);
            m_queuedWatches.clear();
            m_pendingWatches.clear();
            m_followUpWatches.clear();
            if (!m_limitAnnounced) {
                m_limitAnnounced = true;
                m_fallback.start();
                Q_EMIT watchLimitReached();
            }
            break;
        }
    }
    if (watchedUnwatched)
        Q_EMIT unwatchedFoldersChanged();
    const bool drained = m_queuedWatches.isEmpty() && m_pendingWatches.isEmpty();
    // Asked one folder at a time, the follow-ups of a first scan each listed their
    // own scope as it was watched, a project and then each location inside it,
    // and the library went through a second scan nearly twice. Asked together
    // once the last watch is in, each file is listed once, after its watch.
    if (drained) {
        m_due.merge(std::exchange(m_followUps, {}));
        m_watchSlices.stop();
    } else if (!m_watchSlices.isActive())
        m_watchSlices.start();
    if (m_firstScanDue && drained) {
        m_firstScanDue = false;
        m_firstScanRequested = true;
        m_pipeline.takeNewFindings();
        m_pipeline.request(ScanRequest::full(false));
    }
    if (!m_due.isEmpty())
        m_pipeline.request(std::exchange(m_due, {})); // joins the scan that found these folders
}

void LibraryDiscovery::folderChanged(const FileWatcher::Event &event)
{
    if (event.lost) {
        m_due.merge(ScanRequest::full(true));
    } else {
        m_due.merge(requestFor(event.path, event.name, customRoots()));
    }
    m_coalescer.note();
    Q_EMIT changedOnDisk(event.lost ? QString() : event.name.isEmpty() ? event.path : event.path + u'/' + event.name);
}

ScanRequest LibraryDiscovery::requestFor(const QString &folder, const QString &name, const QStringList &roots) const
{
    const ScanPipeline::Findings &findings = m_pipeline.findings();
    const QString changed = name.isEmpty() ? folder : folder + u'/' + name;
    ScanRequest request;
    request.prune = true;

    // Inside a location: the entry holding the change (the change itself, when
    // it is an entry of the location), or the whole location when it went away.
    QString location = folder;
    while (!location.isEmpty() && !findings.locationFolders.contains(location))
        location = parentOf(location);
    if (!location.isEmpty()) {
        if (changed == location) {
            request.merge([&] {
                ScanRequest whole;
                whole.homeLocations.insert(location);
                return whole;
            }());
        } else {
            const qsizetype slash = changed.indexOf(u'/', location.size() + 1);
            request.entries.insert(slash < 0 ? changed : changed.left(slash));
        }
    }

    // A location of home that is (or is about to be) made at or below the change.
    const QString home = QDir::homePath();
    for (const SkillLocation &row : SkillLocations::table()) {
        if (row.base != LocationBase::Home)
            continue;
        const QString placed = home + u'/' + row.path;
        if (isAtOrBelow(placed, changed))
            request.homeLocations.insert(placed);
    }

    // A project, or a custom scan directory whose projects came or went.
    for (const QString &project : findings.projects) {
        if (isAtOrBelow(changed, project) && (location.isEmpty() || isAtOrBelow(project, location) || changed == location))
            request.projects.insert(project);
    }
    for (const QString &root : roots) {
        if (isAtOrBelow(root, changed))
            request.customRoots.insert(root);
        else if (folder == root && !name.isEmpty())
            request.projects.insert(changed);
    }
    return request;
}
