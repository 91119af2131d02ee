#pragma once

#include "library/records/recordowner.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/sqlite.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

namespace BackgroundSave {
struct Batch;
}

// Owns the records in memory (one object per stored row), tracks what changed
// since the last save, and writes all of it in one transaction on save().
// The change signals are the views' live query: they fire as soon as a record
// is inserted, removed or edited in memory.
//
// Several processes may share the library (windows, `vesk list`). The invariants
// that keep them from losing each other's work:
// - Every write to a row is stamped in the store (triggers on the tables), so a
//   context reads exactly the rows others changed since it last looked: refresh()
//   does that when SQLite's data_version says another connection committed, and
//   save() does it inside its write transaction before writing anything.
// - A row another process changed is merged field by field into a record this
//   process also changed (RecordRows::mergeSkill); an insert that meets a row
//   another process wrote for the same file (or collection name) becomes that row.
//   A record this process changed is never dropped because another process
//   deleted its row: it is written again.
// - A save that fails as a whole (disk full, read-only file, locked) keeps every
//   change pending and says so (saveFailed); the next save retries all of it. A
//   change the store refuses on its own (a constraint) is set aside and reported
//   (changeSetAside) and never blocks the other changes.
// - Memberships are saved as the additions and removals made here, not as whole
//   lists, so two processes editing one collection keep both sets of edits.
class ModelContext final : public QObject, public RecordOwner
{
    Q_OBJECT

public:
    explicit ModelContext(Sqlite::Database &database, QObject *parent = nullptr);
    ~ModelContext() override;

    // The context that keeps the record, or null for a record no context keeps.
    static ModelContext *of(const Skill *skill);

    // Reads every stored record; called once by the container after opening.
    bool load(QString *error);

    // Every skill, in plain (case-sensitive, code-unit) name order.
    QList<Skill *> skills() const;
    // The same skills in no particular order, for those that only count or look
    // up: no sort to bring up to date.
    QList<Skill *> skillsInAnyOrder() const { return m_skills.values(); }
    int skillCount() const { return int(m_skills.size()); }
    // Room for `count` records, made before a scan that may bring that many.
    void expectSkills(qsizetype count);
    // Every collection by sortOrder, then by name for equal sort orders.
    QList<SkillCollection *> collections() const;
    Skill *skillWithResolvedPath(const QString &resolvedPath) const;
    // Every record by resolved path. A copy (cheap until either side changes), so
    // another thread may look up which paths have records; it must not touch them.
    QHash<QString, Skill *> resolvedPathIndex() const { return m_skillsByResolvedPath; }
    // The records that hold `path` among their installed paths besides their own
    // resolved path (reached through a link, or installed at several paths).
    QList<Skill *> skillsAlsoInstalledAt(const QString &path) const { return m_alsoInstalledAt.value(path); }
    // The connection, for the few library parts that keep tables of their own
    // next to the records and write them in the same transactions (see save()).
    // Waits for a save in the background first: the connection is its alone.
    Sqlite::Database &database();
    // The store file, for readers that open their own connection.
    QString databasePath() const;
    // The body of a saved record as the store holds it; empty when it cannot be read.
    QString storedContent(qint64 id) const override;
    // An unnamed file next to the store, made on first use; null for a store in
    // memory, or where no file can be made (the keys then stay in memory).
    std::shared_ptr<SearchKeyFile> searchKeyFile() const override;
    SkillCollection *collectionNamed(const QString &name) const;

    // Takes the record into the context. A record whose unique key (resolvedPath,
    // or a collection's name) is already taken is refused: nullptr is returned,
    // `error` says why, and nothing already stored is touched.
    Skill *insert(std::unique_ptr<Skill> skill, QString *error = nullptr);
    SkillCollection *insert(std::unique_ptr<SkillCollection> collection, QString *error = nullptr);

    // Gives the collection another name, refused like an insert when another
    // collection has that name already (nothing changes, `error` says why).
    bool rename(SkillCollection *collection, const QString &name, QString *error = nullptr);

    // Removes the record and its memberships. The object is deleted later, once
    // the current event has been handled, so listeners can let go of it first.
    void remove(Skill *skill);
    void remove(SkillCollection *collection);
    // Tells listeners that `successor` holds what `gone` held at another path;
    // called before `gone` is removed.
    void noteMoved(Skill *gone, Skill *successor);

    bool hasChanges() const;
    // Changes no save has taken yet: those of a save under way in the background aside.
    bool hasUntakenChanges() const;
    // Called by the records when one of their stored fields changed.
    void noteChanged(Skill *skill) override;
    // Called by a record just before its name or resolved path (the keys of the
    // skills() order) changes.
    void noteSortKeyChanging() override { invalidateOrder(); }
    void noteChanged(SkillCollection *collection) override;

    // Writes every pending change in one transaction, after taking in what other
    // processes wrote. False with `error` when the store could not be written at
    // all; every change then stays pending. Changes set aside do not make it fail.
    bool save(QString *error = nullptr);
    // The same, with more rows written by `alsoWrite` inside the same transaction
    // (what a scan learnt about the files it read stays consistent with the
    // records it changed). `alsoWrite` returns false with the error to fail the save.
    bool save(QString *error, const std::function<bool(Sqlite::Database &, QString *)> &alsoWrite);

    // A save of the records inserted since the last save, and of `alsoWrite`'s
    // rows, written on a thread of its own: a scan filling the store goes on
    // meanwhile. Returns false, starting nothing, while anything else is pending
    // (changes, removals, collections: those may need another process's rows
    // merged in, which only this thread may do), while writes are held, or after
    // a failed save (the next one reports). Anything that uses the store waits for
    // it first (settle()); the records stay this thread's throughout. What it
    // cannot write stays pending for the next save, and `settled` is told
    // (on this thread, once done) whether it was written.
    bool saveInBackground(std::function<bool(Sqlite::Database &, QString *)> alsoWrite,
                          std::function<void(bool written)> settled);
    // Waits for a save in the background, if one runs, and applies its outcome.
    void settle();
    // Whether a save in the background is still writing (settle() would wait).
    bool isWritingInBackground() const;
    // Waits for a save in the background and finalizes every statement this
    // context keeps on the connection, so that it can close. The context must
    // not use the store afterwards.
    void letGoOfStore();

    // While held, nothing of this process is written: a save keeps every change
    // pending and reports success, except one that writes rows of its own
    // (`alsoWrite`), which fails quietly so its caller keeps those rows pending
    // too. Releasing saves what is pending at once.
    void holdWrites() { m_writesHeld = true; }
    void releaseWrites();
    bool writesHeld() const { return m_writesHeld; }

    // Takes in the rows other processes changed since this context last looked.
    // Costs one query when nothing changed. False with `error` when the store
    // cannot be read.
    bool refresh(QString *error = nullptr);

    // The message of the most recent save when it failed as a whole; empty once a
    // save succeeds.
    QString lastSaveError() const { return m_lastSaveError; }

Q_SIGNALS:
    void skillInserted(Skill *skill);
    void skillAboutToBeRemoved(Skill *skill);
    // See noteMoved(): sent after the record's own movedTo().
    void skillMoved(Skill *gone, Skill *successor);
    void skillChanged(Skill *skill);
    void collectionInserted(SkillCollection *collection);
    void collectionAboutToBeRemoved(SkillCollection *collection);
    void collectionChanged(SkillCollection *collection);
    // Fires after any of the above.
    void changed();
    // A save failed as a whole; `message` is the store's own. Changes stay pending.
    void saveFailed(const QString &message);
    // A save succeeded, after one or more had failed.
    void saveRecovered();
    // One change could not be stored and was dropped (the record shows the stored
    // state again); `message` names it and gives the store's reason.
    void changeSetAside(const QString &message);
    // Writes were held and may now reach the store; sent before the held changes
    // are saved, for those that write tables of their own.
    void writesReleased();
    // A save in the background has been written and its outcome taken in, and no
    // other is writing: a save put off meanwhile may start.
    void backgroundSaveDone();

private:
    friend class SkillCollection;
    class Writer;

    using Membership = std::pair<SkillCollection *, Skill *>;

    void noteMembershipChanged(SkillCollection *collection, Skill *skill, bool added) override;
    static QString duplicateCollectionMessage(const QString &name);
    void adopt(Skill *skill);
    void adopt(SkillCollection *collection);
    void setSkillId(Skill *skill, qint64 id);
    void noteInserted(Skill *skill);
    void invalidateOrder();
    bool dropInserted(Skill *skill);
    QList<Skill *> insertedSkills() const;
    void mergeSortedSkills() const;
    SkillCollection *collectionWithId(qint64 id) const;

    // Prepared once per context and reused: the scanner saves after every file.
    Sqlite::Statement &statement(const char *sql);

    bool loadSkills(QString *error);
    bool loadCollections(QString *error);
    bool loadMemberships(QString *error);
    bool readStamp(qint64 *stamp, QString *error);

    // Applying what another process wrote; see modelcontextsync.cpp.
    bool takeInForeignChanges(QString *error);
    void takeInSkillRow(const SkillRow &row);
    void takeInMissingSkill(qint64 id);
    void takeInCollectionRow(const CollectionRow &row);
    void takeInMissingCollection(qint64 id);
    bool takeInMemberships(SkillCollection *collection, QString *error);
    void mergeIntoInserted(Skill *skill, const SkillRow &theirs);
    void mergeIntoInserted(SkillCollection *collection, const CollectionRow &theirs);
    void forget(Skill *skill);
    void forget(SkillCollection *collection);
    void indexOtherPaths(Skill *skill);
    void unindexOtherPaths(const Skill *skill);
    bool isDirty(const Skill *skill) const;
    bool isDirty(const SkillCollection *collection) const;
    void clearPending();

    Sqlite::Database &m_database;
    mutable std::shared_ptr<SearchKeyFile> m_searchKeyFile;
    mutable bool m_searchKeyFileTried = false;
    QObject *m_recordHolder = nullptr;
    int m_recordsInHolder = 0;
    std::unordered_map<const char *, std::unique_ptr<Sqlite::Statement>> m_statements;

    QSet<Skill *> m_skills;
    QList<SkillCollection *> m_collections;
    QHash<QString, Skill *> m_skillsByResolvedPath;
    QHash<qint64, Skill *> m_skillsById;
    // Installed paths other than a record's own resolved path, kept as records
    // change: a scan asks of each path it records whether another record holds
    // it, and only a few records (links, a skill at several paths) hold any.
    QHash<QString, QList<Skill *>> m_alsoInstalledAt;
    QHash<const Skill *, QStringList> m_otherPathsOf;
    mutable QList<Skill *> m_sortedSkills;
    mutable bool m_sortedSkillsValid = false;
    // While the order is valid, records added and removed since it was last
    // brought up to date: merged in once when the order is next asked for, so a
    // scan adding thousands costs one sort of what it added, not a shift per record.
    mutable QSet<Skill *> m_unsortedSkills;
    mutable QSet<Skill *> m_unsortedRemovals;

    // Pending changes, kept until a save succeeds.
    // Records not yet stored, by a running number so row ids follow the order of
    // insertion; looked up and removed by record without walking a list.
    std::map<quint64, Skill *> m_insertedSkills;
    QHash<Skill *, quint64> m_insertedSkillSet;
    quint64 m_insertionNumber = 0;
    QSet<Skill *> m_changedSkills;
    QList<qint64> m_removedSkillIds;
    QList<SkillCollection *> m_insertedCollections;
    QSet<SkillCollection *> m_changedCollections;
    QList<qint64> m_removedCollectionIds;
    QSet<Membership> m_addedMemberships;
    QSet<Membership> m_removedMemberships;

    // How far this context has taken in the store's change stamps, and SQLite's
    // data_version when it last looked.
    qint64 m_seenStamp = 0;
    qint64 m_dataVersion = -1;
    // True while rows read from the store are applied: those edits are not changes
    // of this process and must not become pending.
    bool m_applyingStoredRows = false;
    bool m_writesHeld = false;
    QString m_lastSaveError;
    std::unique_ptr<BackgroundSave::Batch> m_background; // a save running on its own thread
    QString m_storePath;
    // Reads stored bodies while a save holds the connection.
    struct BodyReader {
        Sqlite::Database database;
        std::unique_ptr<Sqlite::Statement> select; // finalized before the connection closes
    };
    mutable std::unique_ptr<BodyReader> m_bodyReader;
    std::optional<QString> bodyBesideWriter(qint64 id) const;
    void backgroundSaveWritten(quint64 number);
    quint64 m_backgroundSaves = 0;
    // A save in the background gave way: saves are made here until one succeeds.
    bool m_backgroundGaveWay = false;
};
