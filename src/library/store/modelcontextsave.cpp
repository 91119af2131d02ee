// Saving a ModelContext: every pending change in one transaction, after taking in
// what other processes wrote. A first attempt writes everything at once; only when
// the store refuses one change does a second attempt give each change a savepoint of
// its own, so the refused one is set aside and the rest is still written.

#include "library/store/modelcontext.h"

#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/sqlite.h"
#include "library/store/storerows.h"
#include "library/store/storesql.h"

#include <QScopedValueRollback>

#include <functional>
#include <optional>
#include <sqlite3.h>

namespace {


struct Failure {
    QString message;
    int code = 0;
};

bool failed(const Sqlite::Statement &statement, Failure &failure)
{
    failure = {statement.error(), statement.errorCode()};
    return false;
}

bool isUniqueConflict(int code)
{
    return code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY;
}

} // namespace

class ModelContext::Writer final
{
public:
    enum class Outcome { Written, RowRefused, StoreFailed };

    explicit Writer(ModelContext &context)
        : m_context(context)
    {
    }

    // Writes every pending change; with `isolate`, each in a savepoint of its own.
    Outcome write(bool isolate);
    QString error() const { return m_error; }
    // After the commit: hands out row ids, remembers what is stored now, undoes in
    // memory what was set aside and reports it.
    void finish();

private:
    using Work = std::function<bool(Failure &)>;
    using Undo = std::function<void()>;

    struct SetAside {
        QString message;
        Undo undo;
    };

    bool run(const Work &work, const QString &what, const Undo &undo);
    bool insertSkill(Skill *skill, Failure &failure);
    bool updateSkill(Skill *skill, Failure &failure);
    bool insertCollection(SkillCollection *collection, Failure &failure);
    bool writeMembership(const Membership &membership, bool added, Failure &failure);
    qint64 idOf(const Skill *skill) const { return m_skillIds.value(skill, skill->persistentId()); }
    qint64 idOf(const SkillCollection *collection) const
    {
        return m_collectionIds.value(collection, collection->persistentId());
    }

    ModelContext &m_context;
    bool m_isolate = false;
    Outcome m_outcome = Outcome::Written;
    QString m_error;
    QHash<const Skill *, qint64> m_skillIds;
    QHash<const SkillCollection *, qint64> m_collectionIds;
    QList<Skill *> m_writtenSkills;
    QList<SkillCollection *> m_writtenCollections;
    QList<SetAside> m_setAside;
};

ModelContext::Writer::Outcome ModelContext::Writer::write(bool isolate)
{
    m_isolate = isolate;
    m_outcome = Outcome::Written;
    m_skillIds.clear();
    m_collectionIds.clear();
    m_writtenSkills.clear();
    m_writtenCollections.clear();
    m_setAside.clear();
    ModelContext &c = m_context;

    // Deletions first, so that a key freed by a deleted record can be reused by a
    // record inserted in the same save.
    for (qint64 id : QList<qint64>(c.m_removedSkillIds)) {
        const Work work = [&c, id](Failure &failure) {
            Sqlite::Statement &remove = c.statement(StoreSql::deleteSkill);
            remove.bind(1, id);
            return remove.run() || failed(remove, failure);
        };
        if (!run(work, tr("the removal of a skill"), {}))
            return m_outcome;
    }
    for (qint64 id : QList<qint64>(c.m_removedCollectionIds)) {
        const Work work = [&c, id](Failure &failure) {
            Sqlite::Statement &remove = c.statement(StoreSql::deleteCollection);
            remove.bind(1, id);
            return remove.run() || failed(remove, failure);
        };
        if (!run(work, tr("the removal of a collection"), {}))
            return m_outcome;
    }

    for (Skill *skill : c.insertedSkills()) {
        const Work work = [this, skill](Failure &failure) { return insertSkill(skill, failure); };
        if (!run(work, skill->name(), [&c, skill] { c.forget(skill); }))
            return m_outcome;
    }
    for (SkillCollection *collection : QList<SkillCollection *>(c.m_insertedCollections)) {
        const Work work = [this, collection](Failure &failure) { return insertCollection(collection, failure); };
        if (!run(work, collection->name(), [&c, collection] { c.forget(collection); }))
            return m_outcome;
    }

    // Taken after the insertions: an insertion that met another process's row
    // became an update.
    for (Skill *skill : c.m_changedSkills.values()) {
        const Work work = [this, skill](Failure &failure) { return updateSkill(skill, failure); };
        const Undo undo = [skill] { skill->assign(skill->m_stored); };
        if (!run(work, skill->name(), undo))
            return m_outcome;
    }
    for (SkillCollection *collection : c.m_changedCollections.values()) {
        const Work work = [this, &c, collection](Failure &failure) {
            Sqlite::Statement &update = c.statement(StoreSql::updateCollection);
            StoreRows::bindCollection(update, collection->row());
            update.bind(4, collection->persistentId());
            if (!update.run())
                return failed(update, failure);
            m_writtenCollections.append(collection);
            return true;
        };
        const Undo undo = [collection] { collection->assign(collection->m_stored); };
        if (!run(work, collection->name(), undo))
            return m_outcome;
    }

    for (const Membership &membership : c.m_addedMemberships.values()) {
        const Work work = [this, membership](Failure &failure) { return writeMembership(membership, true, failure); };
        const Undo undo = [&c, membership] {
            membership.first->unlink(membership.second);
            Q_EMIT c.collectionChanged(membership.first);
            Q_EMIT c.skillChanged(membership.second);
        };
        if (!run(work, membership.first->name(), undo))
            return m_outcome;
    }
    for (const Membership &membership : c.m_removedMemberships.values()) {
        const Work work = [this, membership](Failure &failure) { return writeMembership(membership, false, failure); };
        const Undo undo = [&c, membership] {
            membership.first->link(membership.second);
            Q_EMIT c.collectionChanged(membership.first);
            Q_EMIT c.skillChanged(membership.second);
        };
        if (!run(work, membership.first->name(), undo))
            return m_outcome;
    }
    return m_outcome;
}

bool ModelContext::Writer::run(const Work &work, const QString &what, const Undo &undo)
{
    std::optional<Sqlite::Savepoint> savepoint;
    if (m_isolate) {
        savepoint.emplace(m_context.m_database, "vesk_change");
        if (!savepoint->isActive()) {
            m_error = savepoint->error();
            m_outcome = Outcome::StoreFailed;
            return false;
        }
    }
    Failure failure;
    if (work(failure)) {
        if (savepoint && !savepoint->release()) {
            m_error = savepoint->error();
            m_outcome = Outcome::StoreFailed;
            return false;
        }
        return true;
    }
    if (!Sqlite::isRowError(failure.code)) {
        m_error = failure.message;
        m_outcome = Outcome::StoreFailed;
        return false;
    }
    if (!m_isolate) {
        m_outcome = Outcome::RowRefused;
        return false;
    }
    // The savepoint's destructor takes this one change back out of the transaction.
    m_setAside.append({tr("“%1” could not be saved: %2").arg(what, failure.message), undo});
    return true;
}

bool ModelContext::Writer::insertSkill(Skill *skill, Failure &failure)
{
    Sqlite::Statement &insert = m_context.statement(StoreSql::insertSkill);
    StoreRows::bindSkill(insert, skill->row());
    if (insert.run()) {
        m_skillIds.insert(skill, m_context.m_database.lastInsertRowId());
        m_writtenSkills.append(skill);
        return true;
    }
    if (!isUniqueConflict(insert.errorCode()))
        return failed(insert, failure);
    // Another process recorded the same file since this context last looked: this
    // record becomes that row.
    Sqlite::Statement &select = m_context.statement(StoreSql::selectSkillByPath);
    select.bind(1, skill->resolvedPath());
    const bool found = select.next();
    const SkillRow theirs = found ? StoreRows::readSkill(select) : SkillRow{};
    select.reset();
    if (!found)
        return failed(insert, failure);
    m_context.mergeIntoInserted(skill, theirs);
    return updateSkill(skill, failure);
}

bool ModelContext::Writer::updateSkill(Skill *skill, Failure &failure)
{
    Sqlite::Statement &update = m_context.statement(StoreSql::updateSkill);
    StoreRows::bindSkill(update, skill->row());
    update.bind(16, skill->persistentId());
    if (!update.run())
        return failed(update, failure);
    if (m_context.m_database.changes() == 0) {
        // The row is gone (another process deleted it): this process's record wins
        // and is written anew, memberships included. A body this process left in
        // the store went with the row and is written empty; another process
        // deletes a row only once its file is gone, and so will the next scan here.
        Sqlite::Statement &insert = m_context.statement(StoreSql::insertSkill);
        StoreRows::bindSkill(insert, skill->row());
        if (!insert.run())
            return failed(insert, failure);
        m_skillIds.insert(skill, m_context.m_database.lastInsertRowId());
        for (SkillCollection *collection : skill->collections()) {
            if (!writeMembership({collection, skill}, true, failure))
                return false;
        }
    }
    m_writtenSkills.append(skill);
    return true;
}

bool ModelContext::Writer::insertCollection(SkillCollection *collection, Failure &failure)
{
    Sqlite::Statement &insert = m_context.statement(StoreSql::insertCollection);
    StoreRows::bindCollection(insert, collection->row());
    if (insert.run()) {
        m_collectionIds.insert(collection, m_context.m_database.lastInsertRowId());
        m_writtenCollections.append(collection);
        return true;
    }
    if (!isUniqueConflict(insert.errorCode()))
        return failed(insert, failure);
    // Another process made a collection of this name: they are one collection.
    Sqlite::Statement &select = m_context.statement(StoreSql::selectCollectionByName);
    select.bind(1, collection->name());
    const bool found = select.next();
    const CollectionRow theirs = found ? StoreRows::readCollection(select) : CollectionRow{};
    select.reset();
    if (!found)
        return failed(insert, failure);
    m_context.mergeIntoInserted(collection, theirs);
    QString error;
    if (!m_context.takeInMemberships(collection, &error)) {
        failure = {error, SQLITE_ERROR};
        return false;
    }
    return true;
}

bool ModelContext::Writer::writeMembership(const Membership &membership, bool added, Failure &failure)
{
    Sqlite::Statement &statement = m_context.statement(added ? StoreSql::addMembership : StoreSql::removeMembership);
    statement.bind(1, idOf(membership.first));
    statement.bind(2, idOf(membership.second));
    return statement.run() || failed(statement, failure);
}

void ModelContext::Writer::finish()
{
    ModelContext &c = m_context;
    for (auto it = m_skillIds.cbegin(); it != m_skillIds.cend(); ++it)
        c.setSkillId(const_cast<Skill *>(it.key()), it.value());
    for (auto it = m_collectionIds.cbegin(); it != m_collectionIds.cend(); ++it)
        const_cast<SkillCollection *>(it.key())->m_persistentId = it.value();
    for (Skill *skill : std::as_const(m_writtenSkills)) {
        skill->releaseContent(); // the store has it now
        skill->m_stored = skill->row();
    }
    for (SkillCollection *collection : std::as_const(m_writtenCollections))
        collection->m_stored = collection->row();
    c.clearPending();

    QScopedValueRollback applying(c.m_applyingStoredRows, true);
    for (const SetAside &setAside : std::as_const(m_setAside)) {
        if (setAside.undo)
            setAside.undo();
    }
    if (!m_setAside.isEmpty())
        Q_EMIT c.changed();
    for (const SetAside &setAside : std::as_const(m_setAside))
        Q_EMIT c.changeSetAside(setAside.message);
}

bool ModelContext::save(QString *error)
{
    return save(error, {});
}

bool ModelContext::save(QString *error, const std::function<bool(Sqlite::Database &, QString *)> &alsoWrite)
{
    settle();
    if (!hasChanges() && !alsoWrite)
        return true;
    if (m_writesHeld) {
        if (!alsoWrite)
            return true;
        if (error)
            *error = tr("The library is still being checked; the changes are kept until it is.");
        return false;
    }

    const auto failed = [&](const QString &message) {
        m_lastSaveError = message;
        if (error)
            *error = message;
        Q_EMIT saveFailed(message);
        return false;
    };

    const qint64 version = m_database.dataVersion();
    Sqlite::Transaction transaction(m_database);
    if (!transaction.isActive())
        return failed(transaction.error());
    QString message;
    if (!takeInForeignChanges(&message))
        return failed(message);

    Writer writer(*this);
    Writer::Outcome outcome = Writer::Outcome::Written;
    {
        Sqlite::Savepoint attempt(m_database, "vesk_save");
        if (!attempt.isActive())
            return failed(attempt.error());
        outcome = writer.write(false);
        if (outcome == Writer::Outcome::Written && !attempt.release())
            return failed(attempt.error());
        // Otherwise the savepoint's destructor takes the attempt back.
    }
    if (outcome == Writer::Outcome::RowRefused)
        outcome = writer.write(true);
    if (outcome == Writer::Outcome::StoreFailed)
        return failed(writer.error());

    if (alsoWrite && !alsoWrite(m_database, &message))
        return failed(message);

    qint64 stamp = 0;
    if (!readStamp(&stamp, &message))
        return failed(message);
    if (!transaction.commit())
        return failed(transaction.error());
    m_seenStamp = stamp;
    m_dataVersion = version;
    m_backgroundGaveWay = false;
    writer.finish();
    if (!m_lastSaveError.isEmpty()) {
        m_lastSaveError.clear();
        Q_EMIT saveRecovered();
    }
    return true;
}

void ModelContext::releaseWrites()
{
    if (!m_writesHeld)
        return;
    m_writesHeld = false;
    Q_EMIT writesReleased();
    save(); // a failure says so itself (saveFailed) and keeps the changes pending
}
