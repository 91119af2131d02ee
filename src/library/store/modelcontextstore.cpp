// Reading the store into a ModelContext: the first load, and taking in what other
// processes wrote since. Saving is in modelcontextsave.cpp; the class comment has
// the invariants.

#include "library/store/modelcontext.h"

#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/sqlite.h"
#include "library/store/storerows.h"
#include "library/store/storesql.h"

#include <QScopedValueRollback>

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

bool ModelContext::load(QString *error)
{
    QScopedValueRollback applying(m_applyingStoredRows, true);
    // One read transaction, so the stamp and the rows describe the same moment.
    m_dataVersion = m_database.dataVersion();
    if (!m_database.exec("BEGIN", error))
        return false;
    const bool ok = readStamp(&m_seenStamp, error) && loadSkills(error) && loadCollections(error)
        && loadMemberships(error);
    m_database.exec("COMMIT");
    return ok;
}

bool ModelContext::readStamp(qint64 *stamp, QString *error)
{
    Sqlite::Statement &newest = statement(StoreSql::newestStamp);
    const bool ok = newest.next();
    if (ok)
        *stamp = newest.integer(0);
    newest.reset();
    return ok || fail(error, newest.error());
}

bool ModelContext::loadSkills(QString *error)
{
    // Bodies stay in the store until someone asks for one: reading and
    // converting every body up front is most of what a load costs, in time and memory.
    Sqlite::Statement select(m_database, StoreSql::selectSkillsWithoutContent);
    while (select.next()) {
        auto *skill = new Skill;
        SkillRow row = StoreRows::readSkill(select);
        row.hasContent = false;
        skill->assignStored(row);
        adopt(skill);
    }
    return select.error().isEmpty() || fail(error, select.error());
}

bool ModelContext::loadCollections(QString *error)
{
    Sqlite::Statement select(m_database, StoreSql::selectCollections);
    while (select.next()) {
        const CollectionRow row = StoreRows::readCollection(select);
        auto *collection = new SkillCollection(row.name, row.icon, row.sortOrder);
        collection->m_persistentId = row.id;
        collection->m_stored = row;
        adopt(collection);
    }
    return select.error().isEmpty() || fail(error, select.error());
}

bool ModelContext::loadMemberships(QString *error)
{
    Sqlite::Statement select(m_database, StoreSql::selectMemberships);
    while (select.next()) {
        SkillCollection *collection = collectionWithId(select.integer(0));
        Skill *skill = m_skillsById.value(select.integer(1));
        if (collection && skill)
            collection->link(skill);
    }
    return select.error().isEmpty() || fail(error, select.error());
}

SkillCollection *ModelContext::collectionWithId(qint64 id) const
{
    if (id == 0)
        return nullptr;
    for (SkillCollection *collection : m_collections) {
        if (collection->persistentId() == id)
            return collection;
    }
    return nullptr;
}

bool ModelContext::refresh(QString *error)
{
    settle();
    const qint64 version = m_database.dataVersion();
    if (version == m_dataVersion)
        return true;
    // data_version is read first: a commit that lands after it is seen by the read
    // below or, at the latest, by the next refresh.
    if (!m_database.exec("BEGIN", error))
        return false;
    const bool ok = takeInForeignChanges(error);
    m_database.exec("COMMIT");
    if (ok)
        m_dataVersion = version;
    return ok;
}

bool ModelContext::takeInForeignChanges(QString *error)
{
    QList<qint64> skillIds;
    QList<qint64> collectionIds;
    qint64 newest = m_seenStamp;
    {
        Sqlite::Statement &changes = statement(StoreSql::changesSince);
        changes.bind(1, m_seenStamp);
        while (changes.next()) {
            (changes.integer(0) == StoreSql::skillKind ? skillIds : collectionIds).append(changes.integer(1));
            newest = std::max(newest, changes.integer(2));
        }
        const QString readError = changes.error();
        changes.reset();
        if (!readError.isEmpty())
            return fail(error, readError);
    }
    if (skillIds.isEmpty() && collectionIds.isEmpty())
        return true;

    QScopedValueRollback applying(m_applyingStoredRows, true);
    // Rows that are gone first: a file whose row another process deleted and wrote
    // anew under another id must end up as one record, not two.
    QList<SkillRow> skillRows;
    for (qint64 id : std::as_const(skillIds)) {
        Sqlite::Statement &select = statement(StoreSql::selectSkillById);
        select.bind(1, id);
        if (select.next())
            skillRows.append(StoreRows::readSkill(select));
        else if (!select.error().isEmpty())
            return fail(error, select.error());
        else
            takeInMissingSkill(id);
        select.reset();
    }
    QList<CollectionRow> collectionRows;
    for (qint64 id : std::as_const(collectionIds)) {
        Sqlite::Statement &select = statement(StoreSql::selectCollectionById);
        select.bind(1, id);
        if (select.next())
            collectionRows.append(StoreRows::readCollection(select));
        else if (!select.error().isEmpty())
            return fail(error, select.error());
        else
            takeInMissingCollection(id);
        select.reset();
    }
    for (const SkillRow &row : std::as_const(skillRows))
        takeInSkillRow(row);
    for (const CollectionRow &row : std::as_const(collectionRows))
        takeInCollectionRow(row);
    // Membership changes stamp their collection, so these are all that can differ.
    for (const CollectionRow &row : std::as_const(collectionRows)) {
        if (SkillCollection *collection = collectionWithId(row.id)) {
            if (!takeInMemberships(collection, error))
                return false;
        }
    }
    m_seenStamp = newest;
    return true;
}

void ModelContext::takeInSkillRow(const SkillRow &row)
{
    // Row ids are reused: a row that now holds another file is another skill, and the
    // record that had the id lost its row.
    if (Skill *previous = m_skillsById.value(row.id); previous && previous->m_stored.resolvedPath != row.resolvedPath)
        takeInMissingSkill(row.id);
    if (Skill *skill = m_skillsById.value(row.id)) {
        // A record that does not hold its body leaves it in the store, where the
        // other process's body now is; that it changed shows in the file's facts.
        const bool bodyInStore = !skill->isContentResident();
        SkillRow theirs = row;
        if (bodyInStore) {
            theirs.content = QString();
            theirs.hasContent = false;
        }
        const bool bodyMayDiffer = row.fileModifiedDate != skill->m_stored.fileModifiedDate
            || row.fileSize != skill->m_stored.fileSize;
        skill->assign(m_changedSkills.contains(skill) ? RecordRows::mergeSkill(skill->m_stored, skill->row(), theirs)
                                                      : theirs);
        if (bodyInStore && bodyMayDiffer)
            skill->announceContentChanged();
        skill->m_stored = theirs;
        return;
    }
    if (Skill *same = m_skillsByResolvedPath.value(row.resolvedPath)) {
        mergeIntoInserted(same, row);
        return;
    }
    auto *skill = new Skill;
    skill->assignStored(row);
    adopt(skill);
    Q_EMIT skillInserted(skill);
    Q_EMIT changed();
}

void ModelContext::mergeIntoInserted(Skill *skill, const SkillRow &theirs)
{
    QScopedValueRollback applying(m_applyingStoredRows, true);
    const SkillRow merged = RecordRows::mergeInsertedSkill(skill->row(), theirs);
    dropInserted(skill);
    setSkillId(skill, theirs.id);
    skill->m_stored = theirs;
    skill->assign(merged);
    if (merged != theirs)
        m_changedSkills.insert(skill); // written back at the next save

    // The memberships the other process stored for this row.
    Sqlite::Statement &select = statement(StoreSql::collectionsOf);
    select.bind(1, theirs.id);
    while (select.next()) {
        SkillCollection *collection = collectionWithId(select.integer(0));
        if (collection && !collection->contains(skill) && !m_removedMemberships.contains({collection, skill})) {
            collection->link(skill);
            Q_EMIT collectionChanged(collection);
            Q_EMIT skillChanged(skill);
        }
    }
    select.reset();
    Q_EMIT changed();
}

void ModelContext::takeInMissingSkill(qint64 id)
{
    Skill *skill = m_skillsById.value(id);
    if (!skill)
        return;
    const bool keep = m_changedSkills.contains(skill)
        || std::any_of(m_addedMemberships.cbegin(), m_addedMemberships.cend(),
                       [skill](const Membership &m) { return m.second == skill; });
    if (!keep) {
        forget(skill);
        return;
    }
    // Another process deleted a row this process changed: the record is written anew,
    // with the memberships that went with the row.
    setSkillId(skill, 0);
    skill->m_stored = SkillRow{};
    m_changedSkills.remove(skill);
    noteInserted(skill);
    for (SkillCollection *collection : skill->collections()) {
        m_removedMemberships.remove({collection, skill});
        m_addedMemberships.insert({collection, skill});
    }
}

void ModelContext::takeInCollectionRow(const CollectionRow &row)
{
    if (SkillCollection *collection = collectionWithId(row.id)) {
        collection->assign(m_changedCollections.contains(collection)
                               ? RecordRows::mergeCollection(collection->m_stored, collection->row(), row)
                               : row);
        collection->m_stored = row;
        return;
    }
    if (SkillCollection *same = collectionNamed(row.name)) {
        mergeIntoInserted(same, row);
        return;
    }
    auto *collection = new SkillCollection(row.name, row.icon, row.sortOrder);
    collection->m_persistentId = row.id;
    collection->m_stored = row;
    adopt(collection);
    Q_EMIT collectionInserted(collection);
    Q_EMIT changed();
}

void ModelContext::mergeIntoInserted(SkillCollection *collection, const CollectionRow &theirs)
{
    // Two processes made a collection of the same name: it is one collection, as
    // stored, holding the members both gave it.
    QScopedValueRollback applying(m_applyingStoredRows, true);
    m_insertedCollections.removeOne(collection);
    m_changedCollections.remove(collection);
    collection->m_persistentId = theirs.id;
    collection->m_stored = theirs;
    collection->assign(theirs);
}

void ModelContext::takeInMissingCollection(qint64 id)
{
    SkillCollection *collection = collectionWithId(id);
    if (!collection)
        return;
    const bool keep = m_changedCollections.contains(collection)
        || std::any_of(m_addedMemberships.cbegin(), m_addedMemberships.cend(),
                       [collection](const Membership &m) { return m.first == collection; });
    if (!keep) {
        forget(collection);
        return;
    }
    collection->m_persistentId = 0;
    collection->m_stored = CollectionRow{};
    m_changedCollections.remove(collection);
    m_insertedCollections.append(collection);
    for (Skill *skill : collection->skills()) {
        m_removedMemberships.remove({collection, skill});
        m_addedMemberships.insert({collection, skill});
    }
}

bool ModelContext::takeInMemberships(SkillCollection *collection, QString *error)
{
    QList<Skill *> target;
    Sqlite::Statement &select = statement(StoreSql::membersOf);
    select.bind(1, collection->persistentId());
    while (select.next()) {
        Skill *skill = m_skillsById.value(select.integer(0));
        if (skill && !m_removedMemberships.contains({collection, skill}))
            target.append(skill);
    }
    const QString readError = select.error();
    select.reset();
    if (!readError.isEmpty())
        return fail(error, readError);
    for (const Membership &added : std::as_const(m_addedMemberships)) {
        if (added.first == collection && !target.contains(added.second))
            target.append(added.second);
    }

    QScopedValueRollback applying(m_applyingStoredRows, true);
    bool changedAny = false;
    for (Skill *skill : collection->skills()) {
        if (!target.contains(skill)) {
            collection->unlink(skill);
            Q_EMIT skillChanged(skill);
            changedAny = true;
        }
    }
    for (Skill *skill : std::as_const(target)) {
        if (!collection->contains(skill)) {
            collection->link(skill);
            Q_EMIT skillChanged(skill);
            changedAny = true;
        }
    }
    if (changedAny) {
        Q_EMIT collectionChanged(collection);
        Q_EMIT changed();
    }
    return true;
}
