#pragma once

#include "library/watch/changecoalescer.h"
#include "library/watch/filewatcher.h"
#include "library/scan/scanpipeline.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

class ArtifactCache;
class ModelContext;

// Keeps the library in step with the disk for one window: the first scan, then
// watching, and for each change a scan of the place that changed only.
//
// Watched are the folder of every home location (or, while it does not exist,
// the nearest folder above it that does, so that a tool installed later is seen),
// every custom scan directory and each of its projects with their locations, every
// folder inside a location (a skill folder, or one that may become one: a skill
// made by mkdir and then a write shows up), and the folders of each skill's
// artifacts. Changes are coalesced; each burst becomes one scan request for just
// the entries, locations or projects it touched. When the system's limit on
// watches is reached this says so once and scans everything periodically instead.
class LibraryDiscovery final : public QObject
{
    Q_OBJECT

public:
    LibraryDiscovery(ModelContext &context, ArtifactCache &artifacts, QObject *parent = nullptr);

    // Watches what earlier scans found, then runs the first scan.
    void start();
    // Everything again, pruning what is gone or no longer under a scanned folder
    // (the custom scan directories changed, or the user asked to reload).
    void rescanEverything();

    ScanPipeline &pipeline() { return m_pipeline; }
    FileWatcher &watcher() { return m_watcher; }
    bool hasFinishedFirstScan() const { return m_firstScanDone; }
    // Whether changes are waiting to be scanned or folders to be watched.
    bool isBusy() const { return m_coalescer.isPending() || !m_due.isEmpty() || !m_followUps.isEmpty()
            || !m_pendingWatches.isEmpty() || !m_queuedWatches.isEmpty(); }
    bool isWatchLimitReached() const { return m_limitAnnounced; }
    // The folders that could not be watched once the limit was reached: a change
    // in them is told by nobody, only found by the periodic scans. Past a point
    // they are no longer counted (a library many times larger than the limit):
    // then nothing is known of which changes go untold.
    const QSet<QString> &unwatchedFolders() const { return m_unwatched; }
    bool knowsUnwatchedFolders() const { return !m_tooManyUnwatched; }

    // For tests: the system's limit, and the period of the scans that stand in for watching.
    void setWatchLimitForTesting(int limit) { m_watcher.setWatchLimitForTesting(limit); }
    void setFallbackPeriod(std::chrono::milliseconds period) { m_fallback.setInterval(period); }
    void setMostUnwatchedForTesting(qsizetype most) { m_mostUnwatched = most; }

Q_SIGNALS:
    void firstScanFinished();
    // Once, when not every folder could be watched.
    void watchLimitReached();
    // unwatchedFolders() changed.
    void unwatchedFoldersChanged();
    // The watcher saw something change at `path` (an entry of a watched folder, or
    // the folder itself); empty when it lost events and anything may have changed.
    void changedOnDisk(const QString &path);

private:
    void folderChanged(const FileWatcher::Event &event);
    // What to scan for a change at `folder` (its entry `name`, when given).
    // `roots`: the custom scan directories, read once by a caller with many changes.
    ScanRequest requestFor(const QString &folder, const QString &name, const QStringList &roots) const;
    // Everything that should be watched, in order of importance, from scratch.
    void rewatchEverything();
    // The folders the last scan found for the first time; what changed in them
    // since it looked is scanned once they are watched.
    void watchNewFolders();
    // Queues folders to watch; addPendingWatches() takes them in.
    void queueWatches(const QStringList &folders, bool followUp);
    void queueWatches(const QSet<QString> &folders, bool followUp);
    struct QueuedWatches;
    // The next folder of a queued group; false when that group is done.
    static bool nextQueuedFolder(QueuedWatches &queued, QString *folder);
    void addPendingWatches();
    void expectFollowUps(qsizetype count);
    // At the limit: `failed` and every folder still waiting to be watched are not.
    void noteUnwatched(const QString &failed);

    ModelContext &m_context;
    ScanPipeline m_pipeline;
    FileWatcher m_watcher;
    ChangeCoalescer m_coalescer;
    ScanRequest m_due;
    QTimer m_fallback;
    QTimer m_watchSlices;
    // Folders as they were queued: taken in a slice at a time (a first scan finds
    // tens of thousands at once), all before any of them is added.
    // Folders to watch, taken a slice at a time: a list in its order, or a set
    // (a large library's hundreds of thousands of folders) walked as it stands,
    // without first copying it into a list on this thread.
    struct QueuedWatches {
        QStringList folders;
        qsizetype next = 0;
        QSet<QString> set;
        std::optional<QSet<QString>::const_iterator> at; // into `set`, once its walk began
        bool followUp = false;
    };
    QList<QueuedWatches> m_queuedWatches;
    QStringList m_pendingWatches;    // to add, in order, a few per turn of the event loop
    QSet<QString> m_followUpWatches; // of those, the ones whose scope is scanned once added
    ScanRequest m_followUps;         // those scopes, asked for once the last watch is in
    bool m_firstScanDue = false;
    bool m_firstScanRequested = false;
    bool m_firstScanDone = false;
    bool m_limitAnnounced = false;
    QSet<QString> m_unwatched;
    qsizetype m_mostUnwatched = 32 * 1024;
    bool m_tooManyUnwatched = false;
};
