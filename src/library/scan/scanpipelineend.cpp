// The end of a scan, in slices like the rest: records read once more, harnesses
// brought up to the location table, records pruned, problems taken back.

#include "library/scan/scanpipeline.h"
#include "library/scan/scanpipelinerun.h"

#include "library/disk/fileproblems.h"
#include "library/store/modelcontext.h"
#include "library/disk/regularfile.h"
#include "library/scan/scanmemory.h"
#include "library/records/skill.h"

#include <QTimer>

void ScanPipeline::finishRun()
{
    Run &run = *m_run;
    run.finishing = true;
    run.rereadQueue = run.lastReached.keys();
    // A full scan brings every record's harnesses up to the location table.
    if (run.request.everything) {
        run.harnessQueue = m_context.skillsInAnyOrder();
    }
    // Listing a hundred thousand paths and records is a slice's worth already.
    if (m_sliceBudget.count() > 0)
        scheduleFinishSlice();
    else
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
        if (memory().textSource(resolved) != item.file.path) {
            if (const auto reading = readSkillForRecord(item.file.path, resolved, item.reading,
                                                        item.file.isDirectory, item.isGlobal)) {
                if (Skill *skill = m_scanner.applyReading(*reading))
                    skill->setSearchKey(SearchKey::make(reading->name, reading->parsed.description,
                                                        reading->parsed.content,
                                                        m_makesSearchKeys ? m_context.searchKeyFile() : nullptr));
                memory().setTextSource(resolved, item.file.path);
            }
        }
        if (sliceIsOver(clock)) {
            scheduleFinishSlice();
            return;
        }
    }
    while (!run.harnessQueue.isEmpty()) {
        if (Skill *skill = run.harnessQueue.takeLast(); !run.gone.contains(skill))
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
    run.scope = QSet<QString>(run.scopeFolders.cbegin(), run.scopeFolders.cend());
    for (const QString &folder : std::as_const(run.scope))
        run.scopeLengths.insert(folder.size());
    run.gatherQueue = m_context.skills();
    gatherSlice();
}

void ScanPipeline::gatherSlice()
{
    Run &run = *m_run;
    QElapsedTimer clock;
    clock.start();
    // Asked of every record's paths: a few folders (one new skill) are compared
    // directly; many are looked up for each folder above the path, those of a
    // length no folder in scope has skipped without making a string of them.
    constexpr qsizetype fewFolders = 16;
    const QSet<QString> &scope = run.scope;
    const QSet<qsizetype> &lengths = run.scopeLengths;
    // Listed once: walking a set's buckets for every record costs more than the compares.
    const QStringList fewScope = scope.size() <= fewFolders ? scope.values() : QStringList();
    const auto inScope = [&scope, &lengths, &fewScope, few = scope.size() <= fewFolders](const QString &path) {
        if (few) {
            return std::any_of(fewScope.cbegin(), fewScope.cend(), [&path](const QString &folder) {
                return path.startsWith(folder)
                    && (path.size() == folder.size() || path.at(folder.size()) == u'/' || folder.endsWith(u'/'));
            });
        }
        // The path itself, or any folder above it.
        QStringView rest(path);
        while (!rest.isEmpty()) {
            if (lengths.contains(rest.size()) && scope.contains(rest.toString()))
                return true;
            rest.truncate(qMax<qsizetype>(0, rest.lastIndexOf(u'/')));
        }
        return false;
    };
    // A hundred thousand records take the window longer than a slice: a record
    // removed between slices is noted in `gone` and left out.
    constexpr qsizetype recordsBetweenClockReadings = 64;
    while (run.gatherIndex < run.gatherQueue.size()) {
        Skill *skill = run.gatherQueue.at(run.gatherIndex++);
        if (run.gone.contains(skill))
            continue;
        // Most records are installed at their own path only: told without
        // decoding their paths.
        const QString own = skill->resolvedPath();
        const bool onlyOwn = skill->isInstalledOnlyAt(own);
        const QStringList installed = onlyOwn ? QStringList() : skill->installedPaths();
        const bool reached = run.request.everything
            || (onlyOwn ? inScope(own) : std::any_of(installed.cbegin(), installed.cend(), inScope));
        if (reached) {
            run.pruneCandidates.append(skill);
            if (onlyOwn)
                run.prunePaths.append(own);
            else
                run.prunePaths.append(installed);
            run.prunePaths.append(skill->filePath());
        }
        if (run.gatherIndex % recordsBetweenClockReadings == 0 && sliceIsOver(clock)
            && run.gatherIndex < run.gatherQueue.size()) {
            const quint64 generation = run.generation;
            QTimer::singleShot(sliceGap, this, [this, generation] {
                if (m_run && m_run->generation == generation)
                    gatherSlice();
            });
            return;
        }
    }
    run.gatherQueue.clear();
    const quint64 generation = run.generation;
    const auto cancelled = m_cancelled;
    const QList<QSet<QString>> listed = run.listedPaths;
    m_pool.start([this, generation, paths = std::exchange(run.prunePaths, {}), listed, cancelled] {
        const auto wasListed = [&listed](const QString &path) {
            return std::any_of(listed.cbegin(), listed.cend(), [&path](const QSet<QString> &set) { return set.contains(path); });
        };
        QHash<QString, bool> existence;
        for (const QString &path : paths) {
            if (*cancelled)
                return;
            if (!existence.contains(path))
                existence.insert(path, wasListed(path) || !isGone(path));
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
            memory().forgetFile(it.key());
            memory().forgetWalk(it.key());
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
            if (Skill *skill = run.pruneCandidates.takeLast(); !run.gone.contains(skill))
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
    // A first scan's run holds tens of thousands of paths: freeing them takes
    // tens of milliseconds, done by a worker rather than by the window's thread.
    // It holds no objects of this thread: values, and pointers to records it
    // no longer follows. The recalled entry folders served the run that followed
    // the recall; later runs list a few folders each.
    m_pool.start([leftover = std::shared_ptr<Run>(m_run.release()),
                  recalled = std::exchange(m_recalledEntryFolders, nullptr)] {});
    m_scanner.unpinCustomRoots();
    Q_EMIT finished();
    if (!m_pending.isEmpty()) {
        ScanRequest next;
        std::swap(next, m_pending);
        request(next);
    }
}

void ScanPipeline::save()
{
    if (m_savesInBackground)
        saveInBackground();
    else
        saveHere();
}

void ScanPipeline::saveHere()
{
    if (!m_context.hasChanges() && !memory().hasPendingWrites())
        return;
    const bool saved = m_context.save(nullptr, [this](Sqlite::Database &database, QString *error) {
        return memory().writePending(database, error);
    });
    // A failed save keeps both the record changes and these rows pending.
    if (saved)
        memory().committed();
}

void ScanPipeline::saveInBackground()
{
    if (m_context.isWritingInBackground()) {
        // Nothing new since the save under way: waiting for it would only hold up
        // this thread. Whatever uses the store next settles it.
        if (!m_context.hasUntakenChanges() && !memory().hasPendingWrites())
            return;
        if (m_sliceBudget.count() > 0) {
            m_saveWaitsForWriter = true; // made once the writer is done (see the constructor)
            return;
        }
    }
    m_saveWaitsForWriter = false;
    m_context.settle(); // what the last one could not write is pending again first
    if (!m_context.hasChanges() && !memory().hasPendingWrites())
        return;
    std::optional<ScanMemory::PendingRows> rows = memory().takePending();
    if (!rows) {
        saveHere();
        return;
    }
    // The writer reads the rows from its own thread; this one keeps them too,
    // to make them pending again should the write give way.
    const auto taken = std::make_shared<const ScanMemory::PendingRows>(std::move(*rows));
    const bool started = m_context.saveInBackground(
        [taken](Sqlite::Database &database, QString *error) { return ScanMemory::write(database, *taken, error); },
        [this, taken](bool written) {
            if (!written)
                memory().restorePending(*taken);
        });
    if (!started) {
        memory().restorePending(*taken);
        saveHere();
    }
}
