#pragma once

#include "library/checks/clashes.h"
#include "library/checks/finding.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class ModelContext;
class Skill;

// The health of the whole library: every record's findings (its file's and its
// clashes with the others), worked out off the window's thread and kept in the
// store, so that a restart shows them at once and checks again only the files
// whose stamp changed.
//
// A round runs after the records settle (a scan, a change the watcher reported, a
// save): the owning thread describes the records (paths, names, tools), a worker
// with its own connection to the store checks what changed since it last looked,
// writes those rows, and hands back the findings, which this object keeps by
// resolved path. Records are only ever touched on this object's thread.
//
// Rules the user turned off are left out of everything it answers, at once.
class LibraryHealth final : public QObject
{
    Q_OBJECT

public:
    // Errors and warnings of one record, its notes left out (they need no attention).
    struct Tally {
        int errors = 0;
        int warnings = 0;
        bool needsAttention() const { return errors > 0 || warnings > 0; }
        bool operator==(const Tally &) const = default;
    };

    explicit LibraryHealth(ModelContext &context, QObject *parent = nullptr);
    ~LibraryHealth() override; // stops the worker and waits for it

    // Starts following the records: a first round now, another after each burst of changes.
    void start();
    // A round as soon as the worker is free, without the pause after changes.
    void recheck();

    // Something changed on disk at `path` (an entry of a watched folder, or the
    // folder itself); empty when changes went untold and anything may have changed.
    // A round follows after the pause, and looks at the files near it again.
    void noteChangeOnDisk(const QString &path);
    // Whether every change on disk is told through noteChangeOnDisk(), as a watcher
    // on every folder does. Then a round looks again only at the files of records
    // that changed and at those near a change told (a round over a large library
    // would otherwise stat every file and its folders); otherwise, and every few
    // minutes regardless, at every file.
    void setChangesReported(bool reported) { m_changesReported = reported; }
    // Folders a watcher that reports changes could not watch (it ran out of
    // watches): the files in them are looked at every round, the rest only near a
    // change told, instead of every file of a library too large to watch whole.
    void setUnreportedFolders(const QSet<QString> &folders) { m_unreported = folders; }

    // The record's findings, turned-off rules left out; null before any round had it.
    std::optional<QList<Finding>> findings(const Skill &skill) const;
    Tally tally(const Skill &skill) const;
    // How many records have errors or warnings.
    int needingAttention() const { return m_needingAttention; }
    // Whether a round has delivered its findings since start().
    bool hasResults() const { return m_hasResults; }
    bool isChecking() const { return m_inFlight; }
    // Results are in, and no round runs or waits for the records to settle.
    bool isSettled() const { return m_hasResults && !m_inFlight && !m_settle.isActive(); }

    // Rule ids whose findings are left out.
    QSet<QString> disabledRules() const { return m_disabled; }
    void setDisabledRules(const QSet<QString> &rules);

    // How the last round went: files it checked afresh, and those whose stored or
    // remembered findings still held.
    qint64 lastChecked() const { return m_lastChecked; }
    qint64 lastReused() const { return m_lastReused; }

    // The pause after a change before a round starts.
    void setSettleDelay(int milliseconds) { m_settle.setInterval(milliseconds); }
    // How long the window's thread gathers (and describes) records for a round
    // before it lets other events in.
    void setDescribeSlice(std::chrono::milliseconds slice) { m_describeSlice = slice; }

Q_SIGNALS:
    // The findings, tallies or count changed (a round delivered, or the rules did).
    void changed();
    // A round finished, whether or not anything changed.
    void roundFinished();

private:
    struct Worker;
    struct Round;
    struct Gathering;
    void startRound();
    // Gathers the records for a round, a slice at a time, then hands it to the worker.
    void prepareRound();
    void dispatch(std::shared_ptr<Round> round);
    void delivered(const Round &round);
    void recount();
    void forgetDescription(const Skill *skill) { m_described.remove(skill); }
    void forgetRemoved(const Skill *skill);
    struct Described;
    // Describes a record for the worker; its file counts as changed.
    const Described &describe(const Skill &skill, const QStringList &customRoots, const QString &turnedOff);
    // Adds a path for the next round to look at; empty: every file.
    void noteChangedPath(const QString &path);
    QList<Finding> visible(const QList<Finding> &findings) const;

    ModelContext &m_context;
    QTimer m_settle;
    QThreadPool m_pool;
    std::shared_ptr<Worker> m_worker;
    // Each record as the worker needs it, kept until the record changes: describing
    // every record afresh would cost the window's thread tens of milliseconds a round
    // in a large library.
    struct Described {
        ClashCandidate candidate;
        QString key; // the record's resolved path
    };
    QHash<const Skill *, Described> m_described;
    std::unique_ptr<Gathering> m_gathering; // while a round is being gathered
    // What the next round looks at again: paths where something changed, unless
    // it is to look at every file.
    QStringList m_changedPaths;
    QSet<QString> m_unreported;
    bool m_lookEverywhere = true;
    bool m_changesReported = false;
    QElapsedTimer m_sinceLookedEverywhere;
    QHash<QString, QList<Finding>> m_findings; // by resolved path, every rule's
    QHash<QString, Tally> m_tallies;           // by resolved path, turned-off rules left out
    QSet<QString> m_disabled;
    std::chrono::milliseconds m_describeSlice{8};
    int m_needingAttention = 0;
    bool m_started = false;
    bool m_inFlight = false;
    bool m_again = false;
    bool m_hasResults = false;
    qint64 m_lastChecked = 0;
    qint64 m_lastReused = 0;
};
