#pragma once

#include "library/scan/scanwork.h"
#include "library/scan/skillscanner.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>

class ArtifactCache;
class FileProblems;
class ModelContext;
class ScanMemory;

// Runs scans off the thread that owns the records. Workers list the locations,
// look at each file (a file whose signature did not change since it was last
// read is not read again; nor is an unchanged skill folder walked again), read
// and parse the rest and fold their search keys. Their results come back to this
// object's thread, which applies them in the order a plain sequential scan would
// (same records, same merges) in short slices, each saved in one transaction
// together with what was learnt about the files, so that the event loop keeps
// running between slices. A request that arrives while a scan runs joins it.
class ScanPipeline final : public QObject
{
    Q_OBJECT

public:
    // From about this many files, tables grown one entry per file are worth
    // sizing ahead: below it a rehash costs a few milliseconds, less than the
    // room costs in memory.
    static constexpr qsizetype largeScanFiles = 32 * 1024;

    ScanPipeline(ModelContext &context, ArtifactCache &artifacts, QObject *parent = nullptr);
    ~ScanPipeline() override; // stops the workers and waits for them

    void request(const ScanRequest &request);
    bool isRunning() const { return m_run != nullptr; }

    // Where files found but not read are reported; none by default. Each scan
    // takes back the problems of files in what it covered that it read well or
    // no longer found.
    void setProblems(FileProblems *problems) { m_scanner.setProblems(problems); }

    // How long one slice of applying and saving may keep the thread; zero: no limit.
    void setSliceBudget(std::chrono::milliseconds budget) { m_sliceBudget = budget; }
    // Whether records read now get their search keys at once, made beside the
    // reading. Off where nothing will be searched (a command that lists and
    // ends): a record makes its key when first asked instead.
    void setMakesSearchKeys(bool makes) { m_makesSearchKeys = makes; }
    // Whether the saves a scan makes run on a thread of their own
    // (ModelContext::saveInBackground) while it applies on. The last one may still
    // run once the scan has finished: whatever uses the store next waits for it
    // (ModelContext::settle()), and so does this pipeline's end. With a slice
    // budget (a window), a save that finds the last one still writing is put off
    // until it is done, rather than waited for: a disk busy with a checkpoint
    // can hold a write, or the sync of a log started afresh, for a tenth of a
    // second.
    void setSavesInBackground(bool inBackground) { m_savesInBackground = inBackground; }

    // Files of the running (or last) scan applied so far, and found in all.
    int filesDone() const { return m_done; }
    int filesTotal() const { return m_total; }

    struct Statistics {
        int scans = 0;      // scans finished since this pipeline was made
        int filesRead = 0;  // files read and parsed by the last scan
        int filesSkipped = 0; // files the last scan found unchanged
        int foldersWalked = 0; // skill folders the last scan walked
    };
    const Statistics &statistics() const { return m_statistics; }

    // What the scans have found so far, for whoever watches the disk: the folders
    // of the locations, every folder inside them (a skill folder or a folder that
    // may become one), the folders of each skill's artifact walk, and the projects.
    struct Findings {
        QSet<QString> rowFolders; // each location's folder, or the nearest one above it
        QSet<QString> locationFolders;
        QSet<QString> entryFolders;
        QSet<QString> skillFolders; // every folder an artifact walk went through
        QSet<QString> projects;
    };
    const Findings &findings() const { return m_findings; }
    // Fills findings() with what earlier runs found (kept in the store), on a
    // worker; findingsRecalled() tells when it is done.
    void recallFindings();
    // What was found for the first time since the last call.
    Findings takeNewFindings() { return std::exchange(m_newFindings, {}); }

Q_SIGNALS:
    void started();
    void progressChanged(int done, int total);
    // Everything listed so far is applied; a request made now still joins this scan.
    void allApplied();
    void finished();
    void findingsRecalled();

private:
    struct Run;
    void noteFinding(QSet<QString> Findings::*group, const QString &folder);
    void makeRoomFor(qsizetype files);
    std::shared_ptr<const ScanSnapshot> takeSnapshot() const;
    // One part of a listing; the request's listing is complete with the `last`.
    void listed(quint64 generation, ScanListingResult result, QSet<QString> paths, QSet<QString> entryFolders,
                bool last);
    void submitChunks();
    void examined(quint64 generation, int chunk, QList<ExaminedFile> files);
    void scheduleApply();
    void applySlice();
    void applyFile(ExaminedFile &file);
    void report(const QString &path, const QString &reason);
    void takeBackSolvedProblems();
    void finishRun();
    bool sliceIsOver(const QElapsedTimer &clock) const;
    void scheduleFinishSlice();
    void finishSlice();
    void gatherSlice();
    void pruneChecked(quint64 generation, QHash<QString, bool> existence);
    void pruneSlice();
    void completeRun();
    void save();
    void saveHere();
    void saveInBackground();
    ScanMemory &memory() const;

    ModelContext &m_context;
    ArtifactCache &m_artifacts;
    SkillScanner m_scanner;
    mutable std::unique_ptr<ScanMemory> m_memory; // see memory()
    mutable std::future<std::unique_ptr<ScanMemory>> m_memoryRead;
    bool m_recallWhenRead = false; // recallFindings() was asked for before the memory was read
    // The entry folders earlier runs found, as recalled, until a run has ended: a
    // listing's worker leaves these out of what it reports, so that the start-up
    // rescan of a large library does not look up each of them on this thread.
    std::shared_ptr<const QSet<QString>> m_recalledEntryFolders;
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    std::unique_ptr<Run> m_run;
    ScanRequest m_pending;
    quint64 m_generation = 0;
    std::chrono::milliseconds m_sliceBudget{10};
    bool m_makesSearchKeys = true;
    bool m_savesInBackground = false;
    bool m_saveWaitsForWriter = false; // put off while the last save still writes
    double m_saveMsPerFile = 0.25; // learnt from each slice's save
    bool m_applyScheduled = false;
    int m_unsaved = 0; // files applied since the last save, with no slice budget
    int m_done = 0;
    int m_total = 0;
    Statistics m_statistics;
    Findings m_findings;
    Findings m_newFindings;
};
