#pragma once

// What the two halves of the scan pipeline share: the state of the scan under
// way and the pause between slices. Private to scanpipeline.cpp and scanpipelineend.cpp.

#include "library/scan/scanpipeline.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QSet>

#include <chrono>

// The pause between two slices. Not zero: a slice posted at once keeps the event
// loop's posted-event source busy for the whole scan, and the sources of lower
// priority wait that long (item views lay out their rows on a zero timer, which
// runs when the loop is otherwise idle: a list would stay blank until the end).
constexpr std::chrono::milliseconds sliceGap{1};

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
    // Found by this scan (they exist): a set per listing, made by its worker.
    QList<QSet<QString>> listedPaths;
    // For each record reached, the last of its paths applied, in scan order.
    QHash<QString, ScanItem> lastReached;
    bool finishing = false;
    // The end of a run, done in slices: records to read once more, records
    // whose harnesses to bring up to date, records to prune.
    QStringList rereadQueue;
    qsizetype finishIndex = 0;
    // Plain pointers: a guard for each of a hundred thousand records costs the
    // window tens of milliseconds. A record removed meanwhile is noted in `gone`.
    QList<Skill *> harnessQueue;
    // Where a prune looks (the scope's folders, and their lengths for a quick
    // no), the records still to look at, and what was gathered so far.
    QSet<QString> scope;
    QSet<qsizetype> scopeLengths;
    QList<Skill *> gatherQueue;
    qsizetype gatherIndex = 0;
    QStringList prunePaths;
    QList<Skill *> pruneCandidates;
    QSet<const Skill *> gone;
    QHash<QString, bool> existence; // of the candidates' paths, asked on a worker
    QSet<QString> reported; // paths this scan reported as not read
    Statistics statistics;
};
