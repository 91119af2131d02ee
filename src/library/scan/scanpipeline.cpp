#include "library/scan/scanpipeline.h"
#include "library/scan/scanpipelinerun.h"

#include "library/records/artifactcache.h"
#include "library/disk/fileproblems.h"
#include "library/store/modelcontext.h"
#include "library/disk/regularfile.h"
#include "library/scan/scanmemory.h"
#include "library/catalogue/settingskeys.h"
#include "library/store/sqlite.h"
#include "library/records/skill.h"
#include "library/records/skillartifact.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Files per unit of work handed to a worker: small enough that results come back
// steadily and memory stays bounded, large enough that handing out costs nothing.
constexpr int chunkSize = 32;
// With no window to keep drawn, a save every so many files (see applySlice).
// Written beside the scan, a save puts off the next while it runs (that one
// then takes whatever was applied meanwhile): half as many files left the last
// one shorter, and `vesk list` on an empty store of 10,000 skills 7% quicker
// than 2,048 (medians of 12 runs, alternating).
constexpr int filesPerUnlimitedSave = 1024;

} // namespace

ScanPipeline::ScanPipeline(ModelContext &context, ArtifactCache &artifacts, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_artifacts(artifacts)
    , m_scanner(context, artifacts)
    , m_cancelled(std::make_shared<std::atomic<bool>>(false))
{
    m_pool.setMaxThreadCount(qBound(2, QThread::idealThreadCount(), 4));
    connect(&m_context, &ModelContext::skillAboutToBeRemoved, this, [this](Skill *skill) {
        if (m_run && m_run->finishing)
            m_run->gone.insert(skill);
    });
    connect(&m_context, &ModelContext::backgroundSaveDone, this, [this] {
        if (std::exchange(m_saveWaitsForWriter, false))
            save();
    });
    // What earlier scans saw is read on a worker, through a read-only connection of
    // its own, while the window builds and paints what the store holds (tens of
    // thousands of rows: a moment the first frame should not wait for).
    auto read = std::make_shared<std::promise<std::unique_ptr<ScanMemory>>>();
    m_memoryRead = read->get_future();
    m_pool.start([this, read, path = context.database().path()] {
        std::unique_ptr<ScanMemory> memory;
        Sqlite::Database connection;
        if (!path.isEmpty() && connection.open(path, nullptr, Sqlite::Database::Access::ReadOnly))
            memory = std::make_unique<ScanMemory>(connection, false);
        read->set_value(std::move(memory));
        QMetaObject::invokeMethod(this, [this] {
            if (std::exchange(m_recallWhenRead, false))
                recallFindings();
        }, Qt::QueuedConnection);
    });
}

ScanMemory &ScanPipeline::memory() const
{
    if (!m_memory) {
        if (m_memoryRead.valid())
            m_memory = m_memoryRead.get(); // waits for the worker if need be
        // No tables to read there (a new or older store): made or brought up to date
        // here, through the connection that writes them.
        if (!m_memory || !m_memory->wasRead())
            m_memory = std::make_unique<ScanMemory>(m_context.database(), !m_context.writesHeld());
    }
    return *m_memory;
}

void ScanPipeline::recallFindings()
{
    // A large library's memory takes a while to read (half a second at 100,000
    // skills): the findings are recalled once it is in, not by waiting for it here.
    if (!m_memory && m_memoryRead.valid()
        && m_memoryRead.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        m_recallWhenRead = true;
        return;
    }
    const QHash<QString, QByteArray> walks = memory().walks();
    const auto cancelled = m_cancelled;
    m_pool.start([this, walks, cancelled] {
        // What earlier runs walked: the skill folders and the folders inside them,
        // gathered into sets here (hundreds of thousands in a large library).
        QSet<QString> entryFolders;
        QSet<QString> skillFolders;
        entryFolders.reserve(walks.size());
        for (auto it = walks.cbegin(); it != walks.cend() && !*cancelled; ++it) {
            const QString folder = it.key().left(it.key().lastIndexOf(u'/'));
            entryFolders.insert(folder);
            if (const auto walk = ScanMemory::decodeWalk(it.value())) {
                for (const ScanListing::FolderStamp &stamp : walk->folders) {
                    if (!stamp.relativePath.isEmpty())
                        skillFolders.insert(folder + u'/' + stamp.relativePath);
                }
            }
        }
        QMetaObject::invokeMethod(this, [this, entryFolders, skillFolders] {
            // At the start nothing is known yet: the sets are taken over whole.
            for (auto [known, recalled] : {std::pair{&m_findings.entryFolders, &entryFolders},
                                           std::pair{&m_findings.skillFolders, &skillFolders}}) {
                if (known->isEmpty())
                    *known = *recalled;
                else
                    known->unite(*recalled);
            }
            // Known from here on (findings are never forgotten): listings may leave them out.
            m_recalledEntryFolders = std::make_shared<const QSet<QString>>(entryFolders);
            Q_EMIT findingsRecalled();
        }, Qt::QueuedConnection);
    });
}

ScanPipeline::~ScanPipeline()
{
    *m_cancelled = true;
    m_pool.waitForDone();
    // A save in the background gives back what it could not write to this
    // pipeline's memory: it ends here, not after. One put off until then is
    // made now, or what the scan learnt about its files would go with it.
    if (m_savesInBackground)
        m_context.settle();
    if (m_saveWaitsForWriter)
        saveHere();
}

std::shared_ptr<const ScanSnapshot> ScanPipeline::takeSnapshot() const
{
    auto snapshot = std::make_shared<ScanSnapshot>();
    snapshot->home = QDir::homePath();
    snapshot->customRoots = readCustomScanPaths();
    snapshot->files = memory().files();
    snapshot->walks = memory().walks();
    snapshot->recordedPaths = m_context.resolvedPathIndex();
    snapshot->nowNs = fileSystemNowNs();
    snapshot->makesSearchKeys = m_makesSearchKeys;
    if (m_makesSearchKeys)
        snapshot->searchKeyFile = m_context.searchKeyFile();
    return snapshot;
}

void ScanPipeline::request(const ScanRequest &request)
{
    if (request.isEmpty())
        return;
    if (m_run && m_run->finishing) {
        // Too late to join: the scan is pruning. One more scan follows at once.
        m_pending.merge(request);
        return;
    }
    if (!m_run) {
        m_run = std::make_unique<Run>();
        m_run->generation = ++m_generation;
        m_done = 0;
        m_total = 0;
        Q_EMIT started();
        Q_EMIT progressChanged(0, 0);
    }
    // A scan that runs takes the request in: what it asks is listed on top of
    // what is listed already, and applied after it.
    m_run->request.merge(request);
    m_run->snapshot = takeSnapshot();
    m_scanner.pinCustomRoots(m_run->snapshot->customRoots, m_run->snapshot->home);
    ++m_run->listingsInFlight;
    const quint64 generation = m_run->generation;
    const std::shared_ptr<const ScanSnapshot> snapshot = m_run->snapshot;
    const auto cancelled = m_cancelled;
    const std::shared_ptr<const QSet<QString>> recalled = m_recalledEntryFolders;
    // A command hands its listing over in parts, in order: the other workers read
    // the first files while this one lists the rest. The window takes it whole:
    // knowing the number of files at once, it sizes its tables once (makeRoomFor).
    const bool inParts = m_sliceBudget.count() == 0;
    m_pool.start([this, generation, request, snapshot, cancelled, recalled, inParts] {
        if (*cancelled)
            return;
        const auto handOver = [this, generation, &recalled](ScanListingResult &&result, bool last) {
            // Sets of tens of thousands of paths are made here rather than by the window's thread.
            QSet<QString> paths;
            paths.reserve(result.items.size());
            for (const ScanItem &item : std::as_const(result.items))
                paths.insert(item.file.path);
            QSet<QString> entryFolders;
            for (const QString &folder : std::as_const(result.entryFolders)) {
                if (!recalled || !recalled->contains(folder))
                    entryFolders.insert(folder);
            }
            result.entryFolders.clear();
            QMetaObject::invokeMethod(this, [this, generation, result = std::move(result), paths = std::move(paths),
                                             entryFolders = std::move(entryFolders), last]() mutable {
                listed(generation, std::move(result), std::move(paths), std::move(entryFolders), last);
            }, Qt::QueuedConnection);
        };
        std::function<void(ScanListingResult &&)> partDone;
        if (inParts)
            partDone = [&handOver](ScanListingResult &&part) { handOver(std::move(part), false); };
        ScanListingResult rest = listRequest(request, *snapshot, partDone);
        handOver(std::move(rest), true);
    });
}

void ScanPipeline::listed(quint64 generation, ScanListingResult result, QSet<QString> paths,
                          QSet<QString> entryFolders, bool last)
{
    if (!m_run || m_run->generation != generation)
        return;
    if (last)
        --m_run->listingsInFlight;
    m_run->listedPaths.append(std::move(paths));
    m_run->items.append(std::move(result.items));
    m_total = int(m_run->items.size());
    makeRoomFor(m_run->items.size());
    m_run->scopeFolders.append(result.wholeLocationFolders);
    m_run->scopeFolders.append(result.projects);
    for (const QString &folder : std::as_const(result.locationFolders))
        noteFinding(&Findings::locationFolders, folder);
    // A first listing takes the set whole; later ones look up each folder.
    if (m_findings.entryFolders.isEmpty() && m_newFindings.entryFolders.isEmpty()) {
        m_findings.entryFolders = entryFolders;
        m_newFindings.entryFolders = std::move(entryFolders);
    } else {
        for (const QString &folder : std::as_const(entryFolders))
            noteFinding(&Findings::entryFolders, folder);
    }
    for (const QString &project : std::as_const(result.projects))
        noteFinding(&Findings::projects, project);
    for (const QString &folder : std::as_const(result.rowFolders))
        noteFinding(&Findings::rowFolders, folder);
    for (const QString &path : std::as_const(result.undecodable))
        report(path, undecodableNameReason());
    Q_EMIT progressChanged(m_done, m_total);
    submitChunks();
    scheduleApply();
}

void ScanPipeline::makeRoomFor(qsizetype files)
{
    // A first scan grows the tables that follow each file from nothing to a
    // hundred thousand entries. Each doubling rehashes a table whole within one
    // slice, and several of them double at about the same file: stalls of tens of
    // milliseconds. Room for the whole scan is made here, while they are small.
    // Smaller scans make none (a table copied for a worker keeps its size). Each
    // table is asked only while it is small: a library known already (a start-up
    // rescan) has the stored ones full, and room asked of them would rehash them
    // now, for nothing; those kept in memory only start empty all the same.
    if (files < largeScanFiles)
        return;
    memory().expect(files);
    m_scanner.expect(files);
    m_context.expectSkills(files);
    m_artifacts.expect(files);
    m_run->lastReached.reserve(files); // this run's own
    // A skill folder's walk goes through its subfolders too (scripts, references):
    // a few for each file.
    constexpr qsizetype foldersPerFile = 3;
    if (m_findings.skillFolders.size() < files) {
        m_findings.skillFolders.reserve(foldersPerFile * files);
        m_newFindings.skillFolders.reserve(foldersPerFile * files - m_findings.skillFolders.size());
    }
}

void ScanPipeline::noteFinding(QSet<QString> Findings::*group, const QString &folder)
{
    QSet<QString> &known = m_findings.*group;
    const qsizetype before = known.size();
    known.insert(folder);
    if (known.size() != before)
        (m_newFindings.*group).insert(folder);
}

namespace {

// With saves beside the scan, readers that outpace the writer leave it a backlog
// to write (and copy into the store) after the last file is read, with one core
// idle. Read at a lower priority, they take what the writer and this thread
// leave, and the writing keeps up. The priority is the thread's own, and lasts
// (an unprivileged thread cannot raise it again): the pool is this pipeline's
// alone, and its other work (the listing, the prune's look at which paths
// still exist) runs at it too once a thread has read.
void giveWayToTheWriter()
{
    constexpr int readerNiceness = 10;
    thread_local bool given = false;
    if (!std::exchange(given, true))
        ::setpriority(PRIO_PROCESS, ::gettid(), readerNiceness);
}

} // namespace

void ScanPipeline::submitChunks()
{
    // A few chunks ahead of the one being applied keep every worker busy; more
    // would only hold parsed bodies in memory. Without a window, this thread
    // saves thousands of files at once, and the workers read on meanwhile.
    const int ahead = 2 * m_pool.maxThreadCount() + 2 + (m_sliceBudget.count() > 0 ? 0 : filesPerUnlimitedSave / chunkSize);
    const int chunks = int((m_run->items.size() + chunkSize - 1) / chunkSize);
    while (m_run->submitted < chunks && m_run->submitted - m_run->nextToApply < ahead) {
        const int chunk = m_run->submitted++;
        // A chunk is cut only once complete, or when no more listing can extend it.
        const qsizetype begin = qsizetype(chunk) * chunkSize;
        const qsizetype end = qMin<qsizetype>(begin + chunkSize, m_run->items.size());
        if (end - begin < chunkSize && m_run->listingsInFlight > 0) {
            --m_run->submitted;
            break;
        }
        const QList<ScanItem> items = m_run->items.mid(begin, end - begin);
        const std::shared_ptr<const ScanSnapshot> snapshot = m_run->snapshot;
        const quint64 generation = m_run->generation;
        const auto cancelled = m_cancelled;
        const bool yields = m_savesInBackground;
        m_pool.start([this, generation, chunk, items, snapshot, cancelled, yields] {
            if (yields)
                giveWayToTheWriter();
            QList<ExaminedFile> files;
            files.reserve(items.size());
            for (const ScanItem &item : items) {
                if (*cancelled)
                    return;
                files.append(examine(item, *snapshot));
            }
            QMetaObject::invokeMethod(this, [this, generation, chunk, files = std::move(files)]() mutable {
                examined(generation, chunk, std::move(files));
            }, Qt::QueuedConnection);
        });
    }
    // Every file is in a worker's hands: the snapshot goes with the last of them.
    // Held here as well, it would share the scan memory and the record index with
    // this thread, so the first file applied would copy both whole.
    if (m_run->submitted == chunks && m_run->listingsInFlight == 0)
        m_run->snapshot.reset();
}

void ScanPipeline::examined(quint64 generation, int chunk, QList<ExaminedFile> files)
{
    if (!m_run || m_run->generation != generation)
        return;
    m_run->ready.insert(chunk, std::move(files));
    scheduleApply();
}

void ScanPipeline::scheduleApply()
{
    if (m_applyScheduled)
        return;
    m_applyScheduled = true;
    // Without a slice budget there is no window whose loop needs the pause.
    const std::chrono::milliseconds gap = m_sliceBudget.count() > 0 ? sliceGap : std::chrono::milliseconds(0);
    QTimer::singleShot(gap, this, &ScanPipeline::applySlice);
}

void ScanPipeline::applySlice()
{
    m_applyScheduled = false;
    if (!m_run || m_run->finishing)
        return;
    QElapsedTimer clock;
    clock.start();
    const bool limited = m_sliceBudget.count() > 0;
    const double budgetMs = double(m_sliceBudget.count());
    int applied = 0;
    bool outOfTime = false;
    while (!outOfTime) {
        const auto found = m_run->ready.find(m_run->nextToApply);
        if (found == m_run->ready.end())
            break;
        QList<ExaminedFile> &chunk = *found;
        while (m_run->applyIndex < chunk.size()) {
            applyFile(chunk[m_run->applyIndex++]);
            ++m_done;
            ++applied;
            // The slice's save counts too: it grows with what was applied.
            if (limited && clock.nsecsElapsed() / 1e6 + applied * m_saveMsPerFile >= budgetMs) {
                outOfTime = true;
                break;
            }
        }
        if (m_run->applyIndex == chunk.size()) {
            m_run->ready.erase(found);
            ++m_run->nextToApply;
            m_run->applyIndex = 0;
            submitChunks();
        }
    }
    // With no window to keep drawn, a save every few slices: each commit writes
    // the pages it touched again, and the end of the run saves what is left.
    m_unsaved += applied;
    // A save beside the scan that is still writing is not waited for: the
    // workers would stand idle meanwhile. The next slice saves all of it.
    const bool writerBusy = m_savesInBackground && m_context.isWritingInBackground();
    if (applied > 0 && !writerBusy && (limited || m_unsaved >= filesPerUnlimitedSave)) {
        m_unsaved = 0;
        const qint64 saveStarted = clock.nsecsElapsed();
        save();
        const double perFile = (clock.nsecsElapsed() - saveStarted) / 1e6 / applied;
        // Quick to rise, slow to fall: a slice that saves longer than foreseen is
        // a stall, one that saves less is only one more slice.
        m_saveMsPerFile = std::max(perFile, 0.95 * m_saveMsPerFile);
    }
    if (applied > 0)
        Q_EMIT progressChanged(m_done, m_total);
    const auto allDone = [this] {
        const int chunks = int((m_run->items.size() + chunkSize - 1) / chunkSize);
        return m_run->listingsInFlight == 0 && m_run->nextToApply >= chunks;
    };
    if (m_run->ready.contains(m_run->nextToApply)) {
        scheduleApply();
    } else if (allDone()) {
        const quint64 generation = m_run->generation;
        Q_EMIT allApplied(); // whoever listens may still add to this scan
        if (!m_run || m_run->generation != generation || !allDone())
            return;
        if (!limited) {
            finishRun();
            return;
        }
        // The window's last slice has had its time: the end starts on a turn of its own.
        QTimer::singleShot(sliceGap, this, [this, generation, allDone] {
            if (m_run && m_run->generation == generation && !m_run->finishing && allDone())
                finishRun();
        });
    } else {
        submitChunks(); // a partial last chunk may be due now that listing is over
    }
}

void ScanPipeline::applyFile(ExaminedFile &file)
{
    Run &run = *m_run;
    const ScanListing::ListedFile &listed = file.item.file;
    const QString &path = listed.path;
    const QString resolved = listed.resolvedPath.isEmpty() ? path : listed.resolvedPath;

    if (file.outcome == ExaminedFile::Outcome::Unchanged && !m_scanner.applyUnchanged(path, resolved)) {
        // Its record went away since the workers looked: read it here, now, so
        // the order of this scan stays the order of a plain one.
        file.reading = readSkillForRecord(path, resolved, file.item.reading, listed.isDirectory, file.item.isGlobal,
                                          std::nullopt, &file.problem);
        file.outcome = file.reading ? ExaminedFile::Outcome::Read : ExaminedFile::Outcome::Unreadable;
        if (file.reading && m_makesSearchKeys)
            file.key = SearchKey::make(file.reading->name, file.reading->parsed.description,
                                       file.reading->parsed.content, m_context.searchKeyFile());
    }
    switch (file.outcome) {
    case ExaminedFile::Outcome::Unreadable:
        memory().forgetFile(path);
        if (!file.problem.isEmpty())
            report(path, file.problem);
        return; // a file that cannot be read changes no record, nor its artifacts
    case ExaminedFile::Outcome::Read:
        if (Skill *skill = m_scanner.applyReading(*file.reading); skill && file.key)
            skill->setSearchKey(std::move(*file.key));
        memory().rememberFile(path, {resolved, listed.signature});
        memory().setTextSource(resolved, path);
        ++run.statistics.filesRead;
        break;
    case ExaminedFile::Outcome::Unchanged:
        ++run.statistics.filesSkipped;
        break;
    }
    run.lastReached.insert(resolved, file.item);

    if (listed.isDirectory && file.walk) {
        m_artifacts.setArtifacts(artifactsFromFiles(path, file.walk->files), path);
        const QString folder = path.left(path.lastIndexOf(u'/'));
        for (const QString &relative : std::as_const(file.walk->undecodable))
            report(folder + u'/' + relative, undecodableNameReason());
        for (const QString &relative : std::as_const(file.walk->special))
            report(folder + u'/' + relative, notRegularFileReason());
        for (const ScanListing::FolderStamp &stamp : std::as_const(file.walk->folders))
            noteFinding(&Findings::skillFolders, stamp.relativePath.isEmpty() ? folder : folder + u'/' + stamp.relativePath);
        if (file.walked) {
            ++run.statistics.foldersWalked;
            if (file.walk->reusable)
                memory().rememberWalk(path, *file.walk);
            else
                memory().forgetWalk(path);
        }
    }
}
