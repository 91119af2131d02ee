#include "library/scanpipeline.h"

#include "library/artifactcache.h"
#include "library/fileproblems.h"
#include "library/modelcontext.h"
#include "library/regularfile.h"
#include "library/scanmemory.h"
#include "library/settingskeys.h"
#include "library/skill.h"
#include "library/skillartifact.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

// The pause between two slices. Not zero: a slice posted at once keeps the event
// loop's posted-event source busy for the whole scan, and the sources of lower
// priority wait that long (item views lay out their rows on a zero timer, which
// runs when the loop is otherwise idle: a list would stay blank until the end).
constexpr std::chrono::milliseconds sliceGap{1};

// Files per unit of work handed to a worker: small enough that results come back
// steadily and memory stays bounded, large enough that handing out costs nothing.
constexpr int chunkSize = 32;

} // namespace

struct ScanPipeline::Run {
    quint64 generation = 0;
    ScanRequest request;
    std::shared_ptr<const ScanSnapshot> snapshot; // the latest one taken
    QList<ScanItem> items;
    int listingsInFlight = 0;
    int submitted = 0;   // chunks handed to workers
    int nextToApply = 0; // chunk whose files are applied next
    int applyIndex = 0;  // within that chunk
    QMap<int, QList<ExaminedFile>> ready;
    QStringList scopeFolders; // where a partial scan prunes
    QSet<QString> listedPaths; // found by this scan: they exist
    // For each record reached, the last of its paths applied, in scan order.
    QHash<QString, ScanItem> lastReached;
    bool finishing = false;
    // The end of a run, done in slices: records to read once more, records
    // whose harnesses to bring up to date, records to prune.
    QStringList rereadQueue;
    qsizetype finishIndex = 0;
    QList<QPointer<Skill>> harnessQueue;
    QList<QPointer<Skill>> pruneCandidates;
    QHash<QString, bool> existence; // of the candidates' paths, asked on a worker
    QSet<QString> reported; // paths this scan reported as not read
    Statistics statistics;
};

ScanPipeline::ScanPipeline(ModelContext &context, ArtifactCache &artifacts, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_artifacts(artifacts)
    , m_scanner(context, artifacts)
    , m_memory(std::make_unique<ScanMemory>(context.database()))
    , m_cancelled(std::make_shared<std::atomic<bool>>(false))
{
    m_pool.setMaxThreadCount(qBound(2, QThread::idealThreadCount(), 4));
}

void ScanPipeline::recallFindings()
{
    const QHash<QString, QByteArray> walks = m_memory->walks();
    const auto cancelled = m_cancelled;
    m_pool.start([this, walks, cancelled] {
        // What earlier runs walked: the skill folders and the folders inside them.
        QStringList entryFolders;
        QStringList skillFolders;
        for (auto it = walks.cbegin(); it != walks.cend() && !*cancelled; ++it) {
            const QString folder = it.key().left(it.key().lastIndexOf(u'/'));
            entryFolders.append(folder);
            if (const auto walk = ScanMemory::decodeWalk(it.value())) {
                for (const ScanListing::FolderStamp &stamp : walk->folders) {
                    if (!stamp.relativePath.isEmpty())
                        skillFolders.append(folder + u'/' + stamp.relativePath);
                }
            }
        }
        QMetaObject::invokeMethod(this, [this, entryFolders, skillFolders] {
            for (const QString &folder : entryFolders)
                m_findings.entryFolders.insert(folder);
            for (const QString &folder : skillFolders)
                m_findings.skillFolders.insert(folder);
            Q_EMIT findingsRecalled();
        }, Qt::QueuedConnection);
    });
}

ScanPipeline::~ScanPipeline()
{
    *m_cancelled = true;
    m_pool.waitForDone();
}

std::shared_ptr<const ScanSnapshot> ScanPipeline::takeSnapshot() const
{
    auto snapshot = std::make_shared<ScanSnapshot>();
    snapshot->home = QDir::homePath();
    snapshot->customRoots = readCustomScanPaths();
    snapshot->files = m_memory->files();
    snapshot->walks = m_memory->walks();
    snapshot->recordedPaths = m_context.resolvedPathIndex();
    snapshot->nowNs = fileSystemNowNs();
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
    ++m_run->listingsInFlight;
    const quint64 generation = m_run->generation;
    const std::shared_ptr<const ScanSnapshot> snapshot = m_run->snapshot;
    const auto cancelled = m_cancelled;
    m_pool.start([this, generation, request, snapshot, cancelled] {
        if (*cancelled)
            return;
        ScanListingResult result = listRequest(request, *snapshot);
        QMetaObject::invokeMethod(this, [this, generation, result = std::move(result)]() mutable {
            listed(generation, std::move(result));
        }, Qt::QueuedConnection);
    });
}

void ScanPipeline::listed(quint64 generation, ScanListingResult result)
{
    if (!m_run || m_run->generation != generation)
        return;
    --m_run->listingsInFlight;
    for (const ScanItem &item : std::as_const(result.items))
        m_run->listedPaths.insert(item.file.path);
    m_run->items.append(result.items);
    m_total = int(m_run->items.size());
    m_run->scopeFolders.append(result.locationFolders);
    m_run->scopeFolders.append(result.projects);
    for (const QString &folder : std::as_const(result.locationFolders))
        noteFinding(&Findings::locationFolders, folder);
    for (const QString &folder : std::as_const(result.entryFolders))
        noteFinding(&Findings::entryFolders, folder);
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

void ScanPipeline::noteFinding(QSet<QString> Findings::*group, const QString &folder)
{
    QSet<QString> &known = m_findings.*group;
    if (known.contains(folder))
        return;
    known.insert(folder);
    (m_newFindings.*group).insert(folder);
}

void ScanPipeline::submitChunks()
{
    // A few chunks ahead of the one being applied keep every worker busy; more
    // would only hold parsed bodies in memory.
    const int ahead = 2 * m_pool.maxThreadCount() + 2;
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
        m_pool.start([this, generation, chunk, items, snapshot, cancelled] {
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
    QTimer::singleShot(sliceGap, this, &ScanPipeline::applySlice);
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
    if (applied > 0) {
        const qint64 saveStarted = clock.nsecsElapsed();
        save();
        const double perFile = (clock.nsecsElapsed() - saveStarted) / 1e6 / applied;
        // Quick to rise, slow to fall: a slice that saves longer than foreseen is
        // a stall, one that saves less is only one more slice.
        m_saveMsPerFile = std::max(perFile, 0.95 * m_saveMsPerFile);
        Q_EMIT progressChanged(m_done, m_total);
    }
    const auto allDone = [this] {
        const int chunks = int((m_run->items.size() + chunkSize - 1) / chunkSize);
        return m_run->listingsInFlight == 0 && m_run->nextToApply >= chunks;
    };
    if (m_run->ready.contains(m_run->nextToApply)) {
        scheduleApply();
    } else if (allDone()) {
        const quint64 generation = m_run->generation;
        Q_EMIT allApplied(); // whoever listens may still add to this scan
        if (m_run && m_run->generation == generation && allDone())
            finishRun();
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
        if (file.reading)
            file.key = SearchKey::make(file.reading->name, file.reading->parsed.description,
                                       file.reading->parsed.content);
    }
    switch (file.outcome) {
    case ExaminedFile::Outcome::Unreadable:
        m_memory->forgetFile(path);
        if (!file.problem.isEmpty())
            report(path, file.problem);
        return; // a file that cannot be read changes no record, nor its artifacts
    case ExaminedFile::Outcome::Read:
        if (Skill *skill = m_scanner.applyReading(*file.reading))
            skill->setSearchKey(std::move(file.key));
        m_memory->rememberFile(path, {resolved, listed.signature});
        m_memory->setTextSource(resolved, path);
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
                m_memory->rememberWalk(path, *file.walk);
            else
                m_memory->forgetWalk(path);
        }
    }
}

void ScanPipeline::finishRun()
{
    Run &run = *m_run;
    run.finishing = true;
    run.rereadQueue = run.lastReached.keys();
    // A full scan brings every record's harnesses up to the location table.
    if (run.request.everything) {
        for (Skill *skill : m_context.skills())
            run.harnessQueue.append(skill);
    }
    finishSlice();
}

bool ScanPipeline::sliceIsOver(const QElapsedTimer &clock) const
{
    return m_sliceBudget.count() > 0 && clock.elapsed() >= m_sliceBudget.count();
}

void ScanPipeline::scheduleFinishSlice()
{
    const quint64 generation = m_run->generation;
    QTimer::singleShot(sliceGap, this, [this, generation] {
        if (m_run && m_run->generation == generation)
            finishSlice();
    });
}

void ScanPipeline::finishSlice()
{
    Run &run = *m_run;
    QElapsedTimer clock;
    clock.start();

    // A record reached through several paths holds the reading of the last one
    // in scan order. Where a skipped path came last but the texts came from
    // another, read it once more.
    while (run.finishIndex < run.rereadQueue.size()) {
        const QString &resolved = run.rereadQueue.at(run.finishIndex++);
        const ScanItem &item = run.lastReached.value(resolved);
        if (m_memory->textSource(resolved) != item.file.path) {
            if (const auto reading = readSkillForRecord(item.file.path, resolved, item.reading,
                                                        item.file.isDirectory, item.isGlobal)) {
                if (Skill *skill = m_scanner.applyReading(*reading))
                    skill->setSearchKey(SearchKey::make(reading->name, reading->parsed.description,
                                                        reading->parsed.content));
                m_memory->setTextSource(resolved, item.file.path);
            }
        }
        if (sliceIsOver(clock)) {
            scheduleFinishSlice();
            return;
        }
    }
    while (!run.harnessQueue.isEmpty()) {
        if (Skill *skill = run.harnessQueue.takeLast())
            m_scanner.refreshHarnesses(*skill);
        if (sliceIsOver(clock)) {
            scheduleFinishSlice();
            return;
        }
    }
    save();
    takeBackSolvedProblems();

    if (!run.request.prune) {
        completeRun();
        return;
    }
    // Which installed paths still exist is asked on a worker; the records are
    // pruned here when the answer is back. A partial scan prunes where it looked,
    // including what it was asked about and found gone.
    for (const QSet<QString> *asked : {&run.request.homeLocations, &run.request.customRoots,
                                       &run.request.projects, &run.request.entries})
        run.scopeFolders.append(asked->values());
    const QSet<QString> scope(run.scopeFolders.cbegin(), run.scopeFolders.cend());
    // Asked of every record's paths: a few folders (one new skill) are compared
    // directly; many are looked up for each folder above the path.
    constexpr qsizetype fewFolders = 16;
    const auto inScope = [&scope, few = scope.size() <= fewFolders](const QString &path) {
        if (few) {
            return std::any_of(scope.cbegin(), scope.cend(), [&path](const QString &folder) {
                return path.startsWith(folder)
                    && (path.size() == folder.size() || path.at(folder.size()) == u'/' || folder.endsWith(u'/'));
            });
        }
        // The path itself, or any folder above it.
        QStringView rest(path);
        while (!rest.isEmpty()) {
            if (scope.contains(rest.toString()))
                return true;
            rest.truncate(qMax<qsizetype>(0, rest.lastIndexOf(u'/')));
        }
        return false;
    };
    QStringList paths;
    for (Skill *skill : m_context.skills()) {
        const QStringList installed = skill->installedPaths();
        const bool reached = run.request.everything
            || std::any_of(installed.cbegin(), installed.cend(), inScope);
        if (!reached)
            continue;
        run.pruneCandidates.append(skill);
        paths.append(installed);
        paths.append(skill->filePath());
    }
    const quint64 generation = run.generation;
    const auto cancelled = m_cancelled;
    const QSet<QString> listed = run.listedPaths;
    m_pool.start([this, generation, paths, listed, cancelled] {
        QHash<QString, bool> existence;
        for (const QString &path : paths) {
            if (*cancelled)
                return;
            if (!existence.contains(path))
                existence.insert(path, listed.contains(path) || !isGone(path));
        }
        QMetaObject::invokeMethod(this, [this, generation, existence = std::move(existence)]() mutable {
            pruneChecked(generation, std::move(existence));
        }, Qt::QueuedConnection);
    });
}

void ScanPipeline::pruneChecked(quint64 generation, QHash<QString, bool> existence)
{
    if (!m_run || m_run->generation != generation)
        return;
    // What the memory knew about vanished files goes with them.
    for (auto it = existence.cbegin(); it != existence.cend(); ++it) {
        if (!it.value()) {
            m_memory->forgetFile(it.key());
            m_memory->forgetWalk(it.key());
        }
    }
    m_run->existence = std::move(existence);
    pruneSlice();
}

void ScanPipeline::pruneSlice()
{
    Run &run = *m_run;
    QElapsedTimer clock;
    clock.start();
    const auto exists = [&run](const QString &path) {
        const auto found = run.existence.constFind(path);
        return found != run.existence.cend() ? *found : !isGone(path);
    };
    // A few records at a time, so that the window keeps drawing.
    constexpr qsizetype batch = 64;
    while (!run.pruneCandidates.isEmpty()) {
        QList<Skill *> candidates;
        while (!run.pruneCandidates.isEmpty() && candidates.size() < batch) {
            if (Skill *skill = run.pruneCandidates.takeLast())
                candidates.append(skill);
        }
        m_scanner.removeMissing(candidates, exists);
        if (sliceIsOver(clock) && !run.pruneCandidates.isEmpty()) {
            const quint64 generation = run.generation;
            QTimer::singleShot(sliceGap, this, [this, generation] {
                if (m_run && m_run->generation == generation)
                    pruneSlice();
            });
            return;
        }
    }
    m_scanner.endPrune();
    save();
    completeRun();
}

void ScanPipeline::report(const QString &path, const QString &reason)
{
    m_run->reported.insert(path);
    if (FileProblems *problems = m_scanner.problems())
        problems->report(path, reason);
}

void ScanPipeline::takeBackSolvedProblems()
{
    // A problem this scan did not meet again, in what it was asked to cover, is
    // solved: the file was read well, or is gone. Taken back only now, so that
    // the list does not empty and fill again while a scan runs.
    FileProblems *problems = m_scanner.problems();
    if (!problems)
        return;
    const ScanRequest &request = m_run->request;
    const auto covered = [&request](QString path) {
        if (request.everything)
            return true;
        while (!path.isEmpty()) {
            if (request.entries.contains(path) || request.homeLocations.contains(path)
                || request.customRoots.contains(path) || request.projects.contains(path))
                return true;
            path.truncate(qMax<qsizetype>(0, path.lastIndexOf(u'/')));
        }
        return false;
    };
    for (const FileProblem &problem : problems->all()) {
        if (!m_run->reported.contains(problem.path) && covered(problem.path))
            problems->clear(problem.path);
    }
}

void ScanPipeline::completeRun()
{
    m_statistics.filesRead = m_run->statistics.filesRead;
    m_statistics.filesSkipped = m_run->statistics.filesSkipped;
    m_statistics.foldersWalked = m_run->statistics.foldersWalked;
    ++m_statistics.scans;
    m_run.reset();
    Q_EMIT finished();
    if (!m_pending.isEmpty()) {
        ScanRequest next;
        std::swap(next, m_pending);
        request(next);
    }
}

bool ScanPipeline::save()
{
    if (!m_context.hasChanges() && !m_memory->hasPendingWrites())
        return true;
    const bool saved = m_context.save(nullptr, [this](Sqlite::Database &database, QString *error) {
        return m_memory->writePending(database, error);
    });
    // A failed save keeps both the record changes and these rows pending.
    if (saved)
        m_memory->committed();
    return saved;
}
