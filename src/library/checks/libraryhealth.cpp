#include "library/checks/libraryhealth.h"

#include "library/catalogue/settingskeys.h"
#include "library/catalogue/turnedoff.h"
#include "library/checks/checkcache.h"
#include "library/checks/checkrun.h"
#include "library/checks/clashes.h"
#include "library/checks/healthstore.h"
#include "library/checks/skillchecker.h"
#include "library/records/skill.h"
#include "library/store/modelcontext.h"
#include "library/store/sqlite.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {
constexpr int defaultSettleMs = 500;
// Even with every change told, a round looks at every file this often: a folder
// watched late, or a change inotify cannot see (a file on another machine's share).
constexpr qint64 lookEverywhereEveryMs = 5 * 60 * 1000;
// More changed paths than this, and looking at every file is as cheap.
constexpr qsizetype mostChangedPaths = 20000;

QStringView folderOf(QStringView path)
{
    return path.first(qMax<qsizetype>(0, path.lastIndexOf(u'/')));
}
} // namespace

// What one round takes to the worker and brings back.
struct LibraryHealth::Round {
    QList<ClashCandidate> candidates;
    QStringList keys; // each candidate's record, by resolved path
    // Unless every file is looked at: where something changed (a record's file, a
    // path the watcher told of).
    bool lookEverywhere = true;
    QStringList changedPaths;
    QSet<QString> unreportedFolders; // looked in every round all the same
    bool mayWrite = false;
    bool completed = false;
    QHash<QString, QList<Finding>> findings;
    // Whether they differ from the last completed round's, told by the worker:
    // compared on the window's thread, a hundred thousand lists would stall it.
    bool findingsChanged = true;
    qint64 checked = 0;
    qint64 reused = 0;
};

// A round in the making. Copying a large library's descriptions into a round
// holds the window's thread for tens of milliseconds, so it goes a slice at a
// time, in events of their own; what changes meanwhile brings another round.
struct LibraryHealth::Gathering {
    QList<Skill *> skills;
    qsizetype next = 0;
    std::shared_ptr<Round> round = std::make_shared<Round>();
    QStringList customRoots;
    QString turnedOff;
    QSet<const Skill *> gone; // removed since the gathering began: never looked at again
};

// The worker's side: its own connection and what it remembers between rounds.
// Rounds never overlap, so only one thread at a time touches it.
struct LibraryHealth::Worker {
    QString databasePath;
    std::atomic<bool> stop{false};
    Sqlite::Database database;
    bool opened = false;
    bool usable = false;
    CheckCache cache;
    QSet<QString> unwritten;  // checked afresh, not yet in the store
    QSet<QString> unwrittenGone; // no longer in the library, still in the store
    std::optional<QHash<QString, QList<Finding>>> lastFindings; // of the last completed round

    // Which candidates a round looks at again. A file's stamp covers the file, its
    // folder and the folders one level down: a change at a path touches a skill
    // folder that is the path, its folder or the folder above that.
    static CandidateFilter filesThatMayHaveChanged(const Round &round)
    {
        if (round.lookEverywhere)
            return {};
        // Views into the round's own paths, which outlive the filter: a first
        // scan's round is told of every file, and a copy of each path and of its
        // two folders was megabytes at the window's peak.
        QSet<QStringView> nearSet;
        for (const QString &path : round.changedPaths) {
            QStringView at = path;
            for (int up = 0; up < 3 && !at.isEmpty(); ++up) {
                nearSet.insert(at);
                at = folderOf(at);
            }
        }
        // A few paths (the usual burst) are compared in place; many are looked up,
        // at the price of cutting each candidate's folder out of its path.
        constexpr qsizetype comparedInPlace = 48;
        const auto near = std::make_shared<const QList<QStringView>>(nearSet.values());
        const auto isNear = [near, nearSet = std::move(nearSet)](QStringView path) {
            if (near->size() > comparedInPlace)
                return nearSet.contains(path);
            return std::any_of(near->cbegin(), near->cend(), [path](QStringView at) { return path == at; });
        };
        // Folders whose files' stamps an unwatched folder feeds: itself, and the one
        // above (it may be a skill folder's scripts/). Asked of every record's
        // folder: looked up by view, without a string made for each.
        auto unreported = std::make_shared<QSet<QStringView>>();
        unreported->reserve(2 * round.unreportedFolders.size());
        for (const QString &folder : round.unreportedFolders) {
            unreported->insert(folder);
            unreported->insert(folderOf(folder));
        }
        return [&round, near, isNear, unreported](const ClashCandidate &candidate, qsizetype i) {
            if (near->isEmpty() && unreported->isEmpty())
                return false;
            // By the record's resolved path too: the watcher may know a linked folder
            // by its target. Most records are installed at their resolved path: one
            // folder to ask of.
            const QString &key = round.keys.at(i);
            const QStringView folder = folderOf(candidate.path);
            const QStringView keyFolder = key == candidate.path ? QStringView() : folderOf(key);
            const auto eitherFolder = [folder, keyFolder](const auto &holds) {
                return holds(folder) || (!keyFolder.isNull() && holds(keyFolder));
            };
            if (eitherFolder([&unreported](QStringView at) { return unreported->contains(at); }))
                return true;
            if (near->isEmpty())
                return false;
            if (isNear(candidate.path))
                return true;
            return eitherFolder(isNear) && checkedKindFor(candidate.path) == CheckedKind::SkillFile;
        };
    }

    void run(Round &round)
    {
        if (!opened) {
            opened = true;
            usable = !databasePath.isEmpty() && database.open(databasePath, nullptr);
            // Reads its table once, then writes a few rows a round: the default
            // 2 MiB page cache would only hold pages it never reads again.
            if (usable)
                database.exec("PRAGMA cache_size = -256");
            if (usable)
                HealthStore::restore(database, cache);
        }
        const qint64 checkedBefore = cache.checked();
        const qint64 reusedBefore = cache.reused();
        const CandidateFilter mayHaveChanged = filesThatMayHaveChanged(round);
        cache.startRound();
        const QList<CheckedFile> files = checkCandidates(std::move(round.candidates), cache, &stop, mayHaveChanged);
        if (stop || files.size() != round.keys.size())
            return;
        round.findings.reserve(files.size());
        for (qsizetype i = 0; i < files.size(); ++i) {
            // Two records installed at one path are one file: the first one's findings hold.
            round.findings.insert(round.keys.at(i), files.at(i).findings);
        }
        round.findingsChanged = !lastFindings || *lastFindings != round.findings;
        lastFindings = round.findings;
        round.checked = cache.checked() - checkedBefore;
        round.reused = cache.reused() - reusedBefore;
        round.completed = true;

        unwritten += cache.takeFresh();
        for (const QString &gone : cache.forgetUnasked()) {
            unwritten.remove(gone);
            unwrittenGone.insert(gone);
        }
        if (!usable || !round.mayWrite || (unwritten.isEmpty() && unwrittenGone.isEmpty()))
            return;
        // A store that cannot be written now keeps everything pending for the next round.
        if (HealthStore::write(database, cache, unwritten, unwrittenGone.values())) {
            unwritten.clear();
            unwrittenGone.clear();
        }
    }
};

LibraryHealth::LibraryHealth(ModelContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_worker(std::make_shared<Worker>())
{
    m_worker->databasePath = context.databasePath();
    m_pool.setMaxThreadCount(1);
    m_pool.setThreadPriority(QThread::LowPriority);
    m_settle.setSingleShot(true);
    m_settle.setInterval(defaultSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &LibraryHealth::startRound);
}

LibraryHealth::~LibraryHealth()
{
    m_worker->stop = true;
    m_pool.waitForDone();
}

void LibraryHealth::start()
{
    if (m_started)
        return;
    m_started = true;
    connect(&m_context, &ModelContext::skillInserted, this, &LibraryHealth::forgetDescription);
    connect(&m_context, &ModelContext::skillChanged, this, &LibraryHealth::forgetDescription);
    connect(&m_context, &ModelContext::skillAboutToBeRemoved, this, &LibraryHealth::forgetRemoved);
    // A burst of changes (a scan applies its files in slices) settles into one round.
    connect(&m_context, &ModelContext::changed, &m_settle, qOverload<>(&QTimer::start));
    // Rows checked while the store was held are written by the next round.
    connect(&m_context, &ModelContext::writesReleased, this, &LibraryHealth::recheck);
    startRound();
}

void LibraryHealth::recheck()
{
    m_settle.stop();
    startRound();
}

void LibraryHealth::noteChangeOnDisk(const QString &path)
{
    noteChangedPath(path);
    if (m_started)
        m_settle.start();
}

void LibraryHealth::noteChangedPath(const QString &path)
{
    if (path.isEmpty() || m_changedPaths.size() >= mostChangedPaths) {
        m_lookEverywhere = true;
        m_changedPaths.clear();
    } else if (!m_lookEverywhere) {
        m_changedPaths.append(path);
    }
}

const LibraryHealth::Described &LibraryHealth::describe(const Skill &skill, const QStringList &customRoots,
                                                        const QString &turnedOff)
{
    const Described &described =
        *m_described.insert(&skill, {clashCandidate(skill, QByteArray(), customRoots, turnedOff), skill.resolvedPath()});
    noteChangedPath(described.candidate.path);
    return described;
}

void LibraryHealth::startRound()
{
    if (m_inFlight) {
        m_again = true;
        return;
    }
    m_inFlight = true;
    prepareRound();
}

void LibraryHealth::prepareRound()
{
    if (!m_started) {
        // Nothing follows the records' changes: one round, described afresh.
        auto round = std::make_shared<Round>();
        const QList<Skill *> skills = m_context.skillsInAnyOrder();
        const QStringList customRoots = readCustomScanPaths();
        const QString turnedOff = turnedOffFolder();
        round->candidates.reserve(skills.size());
        round->keys.reserve(skills.size());
        for (const Skill *skill : skills) {
            round->candidates.append(clashCandidate(*skill, QByteArray(), customRoots, turnedOff));
            round->keys.append(skill->resolvedPath());
        }
        dispatch(std::move(round));
        return;
    }
    if (!m_gathering) {
        m_gathering = std::make_unique<Gathering>();
        m_gathering->skills = m_context.skillsInAnyOrder();
        m_gathering->customRoots = readCustomScanPaths();
        m_gathering->turnedOff = turnedOffFolder();
        m_gathering->round->candidates.reserve(m_gathering->skills.size());
        m_gathering->round->keys.reserve(m_gathering->skills.size());
    }
    Gathering &gathering = *m_gathering;
    QElapsedTimer clock;
    clock.start();
    while (gathering.next < gathering.skills.size()) {
        const Skill *skill = gathering.skills.at(gathering.next++);
        if (gathering.gone.contains(skill))
            continue;
        const auto found = m_described.constFind(skill);
        const Described &described = found != m_described.cend()
            ? *found
            : describe(*skill, gathering.customRoots, gathering.turnedOff);
        gathering.round->candidates.append(described.candidate);
        gathering.round->keys.append(described.key);
        if (gathering.next % 64 == 0 && clock.elapsed() >= m_describeSlice.count()) {
            QTimer::singleShot(0, this, &LibraryHealth::prepareRound);
            return;
        }
    }
    std::shared_ptr<Round> round = std::move(gathering.round);
    m_gathering.reset();
    dispatch(std::move(round));
}

void LibraryHealth::forgetRemoved(const Skill *skill)
{
    m_described.remove(skill);
    if (m_gathering)
        m_gathering->gone.insert(skill);
}

void LibraryHealth::dispatch(std::shared_ptr<Round> round)
{
    round->lookEverywhere = !m_started || !m_changesReported || m_lookEverywhere
        || !m_sinceLookedEverywhere.isValid() || m_sinceLookedEverywhere.hasExpired(lookEverywhereEveryMs);
    if (round->lookEverywhere) {
        m_sinceLookedEverywhere.start();
    } else {
        round->changedPaths = std::move(m_changedPaths);
        round->unreportedFolders = m_unreported;
    }
    m_changedPaths.clear();
    m_lookEverywhere = false;
    round->mayWrite = !m_context.writesHeld();
    std::shared_ptr<Worker> worker = m_worker;
    m_pool.start([this, worker, round] {
        worker->run(*round);
        if (worker->stop)
            return;
        // Queued to this object's thread; dropped with the object if it is gone by then.
        QMetaObject::invokeMethod(this, [this, round] { delivered(*round); }, Qt::QueuedConnection);
    });
}

void LibraryHealth::delivered(const Round &round)
{
    m_inFlight = false;
    if (round.completed) {
        m_lastChecked = round.checked;
        m_lastReused = round.reused;
        const bool first = !m_hasResults;
        m_hasResults = true;
        if (first || round.findingsChanged) {
            m_findings = round.findings;
            recount();
            Q_EMIT changed();
        }
    }
    Q_EMIT roundFinished();
    if (std::exchange(m_again, false))
        startRound();
}

QList<Finding> LibraryHealth::visible(const QList<Finding> &findings) const
{
    if (m_disabled.isEmpty())
        return findings;
    QList<Finding> kept;
    for (const Finding &finding : findings) {
        if (!m_disabled.contains(finding.rule))
            kept.append(finding);
    }
    return kept;
}

void LibraryHealth::recount()
{
    m_tallies.clear();
    m_needingAttention = 0;
    for (auto it = m_findings.cbegin(); it != m_findings.cend(); ++it) {
        Tally tally;
        for (const Finding &finding : it.value()) {
            if (m_disabled.contains(finding.rule))
                continue;
            if (finding.level == FindingLevel::Error)
                ++tally.errors;
            else if (finding.level == FindingLevel::Warning)
                ++tally.warnings;
        }
        if (tally.needsAttention()) {
            m_tallies.insert(it.key(), tally);
            ++m_needingAttention;
        }
    }
}

std::optional<QList<Finding>> LibraryHealth::findings(const Skill &skill) const
{
    const auto found = m_findings.constFind(skill.resolvedPath());
    if (found == m_findings.cend())
        return std::nullopt;
    return visible(*found);
}

LibraryHealth::Tally LibraryHealth::tally(const Skill &skill) const
{
    return m_tallies.value(skill.resolvedPath());
}

void LibraryHealth::setDisabledRules(const QSet<QString> &rules)
{
    if (rules == m_disabled)
        return;
    m_disabled = rules;
    recount();
    Q_EMIT changed();
}
