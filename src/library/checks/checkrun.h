#pragma once

#include "library/checks/finding.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class Skill;

// The findings of one checked file.
struct CheckedFile {
    QString path;
    QList<Finding> findings;
};

class CheckCache;
struct ClashCandidate;

// Checks every record's file (at its first installed path) and the clashes between
// them, in the records' order. With a cache, files that look unchanged are not read.
QList<CheckedFile> checkRecords(const QList<Skill *> &skills, CheckCache *cache = nullptr);

// The same for files described by their clash candidates (the digests are filled
// from the cache), so that a worker can check what the owning thread described.
// Gives up with an empty list once `stop` is set. With `mayHaveChanged`, a file it
// rules out (given the candidate and its index) keeps its cached entry without
// being looked at.
using CandidateFilter = std::function<bool(const ClashCandidate &, qsizetype)>;
QList<CheckedFile> checkCandidates(QList<ClashCandidate> candidates, CheckCache &cache,
                                   const std::atomic<bool> *stop = nullptr, const CandidateFilter &mayHaveChanged = {});

// One record's findings: its file's (at its first installed path), and its clashes
// with those of `library` that share its name. For one card at a time; the whole
// library at once is checkRecords' work.
QList<Finding> checkRecord(const Skill &skill, const QList<Skill *> &library);

// Checks the skills at the given paths, without the library: a SKILL.md or .mdc file,
// a skill folder, or a folder searched for them (hidden folders included, .git and
// node_modules left out, symbolic links to folders followed once). Paths as given
// stay as given in the results. A path that is not there goes to `missing`.
QList<CheckedFile> checkPaths(const QStringList &paths, QStringList *missing);
