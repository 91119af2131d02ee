#include "library/store/modelcontext.h"

#include "library/search/naturalorder.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/backgroundsave.h"
#include "library/store/sqlite.h"
#include "library/store/storesql.h"

#include <QFileInfo>

#include <algorithm>

ModelContext::ModelContext(Sqlite::Database &database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
}

ModelContext *ModelContext::of(const Skill *skill)
{
    return skill ? dynamic_cast<ModelContext *>(skill->owner()) : nullptr;
}

Sqlite::Statement &ModelContext::statement(const char *sql)
{
    Q_ASSERT(!m_background); // the connection is the writer's until settle()
    std::unique_ptr<Sqlite::Statement> &cached = m_statements[sql];
    if (!cached || !cached->isValid())
        cached = std::make_unique<Sqlite::Statement>(m_database, sql);
    return *cached;
}

namespace {

// The order of skills(): names in natural order; equal names fall back to the
// (unique) resolved path, so the order is stable.
bool comesBefore(const Skill *a, const Skill *b)
{
    const int byName = compareNaturally(a->nameKey(), b->nameKey());
    return byName != 0 ? byName < 0 : a->resolvedPath() < b->resolvedPath();
}

} // namespace

void ModelContext::adopt(Skill *skill)
{
    // Held in groups rather than as children of the context itself: a child
    // leaving its parent is looked for in the parent's list of children, and a
    // scan removes records by the thousand.
    constexpr int recordsPerHolder = 512;
    if (!m_recordHolder || m_recordsInHolder == recordsPerHolder) {
        m_recordHolder = new QObject(this);
        m_recordsInHolder = 0;
    }
    skill->setParent(m_recordHolder);
    ++m_recordsInHolder;
    skill->m_owner = this;
    m_skills.insert(skill);
    m_skillsByResolvedPath.insert(skill->resolvedPath(), skill);
    if (skill->m_persistentId != 0)
        m_skillsById.insert(skill->m_persistentId, skill);
    indexOtherPaths(skill);
    // Kept in order as records come, rather than sorted again: a scan adds
    // thousands, and the list asks for the order after every few.
    if (m_sortedSkillsValid) {
        if (m_unsortedRemovals.contains(skill))
            invalidateOrder(); // a new record at the address of one still in the order
        else
            m_unsortedSkills.insert(skill);
    }
}

void ModelContext::indexOtherPaths(Skill *skill)
{
    // Called on every change of a record: most hold their own path only, which
    // is told without decoding their paths.
    const auto indexed = m_otherPathsOf.constFind(skill);
    if (indexed == m_otherPathsOf.cend() && skill->isInstalledOnlyAt(skill->resolvedPath()))
        return;
    QStringList others;
    for (const QString &path : skill->installedPaths()) {
        if (path != skill->resolvedPath())
            others.append(path);
    }
    if (indexed != m_otherPathsOf.cend() && *indexed == others)
        return;
    unindexOtherPaths(skill);
    if (others.isEmpty())
        return;
    for (const QString &path : std::as_const(others))
        m_alsoInstalledAt[path].append(skill);
    m_otherPathsOf.insert(skill, others);
}

void ModelContext::unindexOtherPaths(const Skill *skill)
{
    const QStringList others = m_otherPathsOf.take(skill);
    for (const QString &path : others) {
        const auto holders = m_alsoInstalledAt.find(path);
        if (holders == m_alsoInstalledAt.end())
            continue;
        holders->removeOne(skill);
        if (holders->isEmpty())
            m_alsoInstalledAt.erase(holders);
    }
}

void ModelContext::invalidateOrder()
{
    m_sortedSkillsValid = false;
    m_unsortedSkills.clear();
    m_unsortedRemovals.clear();
}

void ModelContext::mergeSortedSkills() const
{
    if (!m_unsortedRemovals.isEmpty()) {
        m_sortedSkills.removeIf([this](Skill *skill) { return m_unsortedRemovals.contains(skill); });
        m_unsortedRemovals.clear();
    }
    if (!m_unsortedSkills.isEmpty()) {
        QList<Skill *> added = m_unsortedSkills.values();
        std::sort(added.begin(), added.end(), comesBefore);
        // Each added record's place found by a binary search from the one before:
        // a few comparisons per record, and the records in order copied once.
        QList<Skill *> merged;
        merged.reserve(m_sortedSkills.size() + added.size());
        auto from = m_sortedSkills.cbegin();
        for (Skill *skill : std::as_const(added)) {
            const auto at = std::lower_bound(from, m_sortedSkills.cend(), skill, comesBefore);
            merged.append(from, at);
            merged.append(skill);
            from = at;
        }
        merged.append(from, m_sortedSkills.cend());
        m_sortedSkills = std::move(merged);
        m_unsortedSkills.clear();
    }
}

void ModelContext::noteInserted(Skill *skill)
{
    if (m_insertedSkillSet.contains(skill))
        return;
    const quint64 number = ++m_insertionNumber;
    m_insertedSkills.emplace(number, skill);
    m_insertedSkillSet.insert(skill, number);
}

bool ModelContext::dropInserted(Skill *skill)
{
    const auto found = m_insertedSkillSet.constFind(skill);
    if (found == m_insertedSkillSet.cend())
        return false;
    m_insertedSkills.erase(found.value());
    m_insertedSkillSet.erase(found);
    return true;
}

QList<Skill *> ModelContext::insertedSkills() const
{
    QList<Skill *> inOrder;
    inOrder.reserve(qsizetype(m_insertedSkills.size()));
    for (const auto &[number, skill] : m_insertedSkills)
        inOrder.append(skill);
    return inOrder;
}

void ModelContext::setSkillId(Skill *skill, qint64 id)
{
    if (skill->m_persistentId != 0 && m_skillsById.value(skill->m_persistentId) == skill)
        m_skillsById.remove(skill->m_persistentId);
    skill->m_persistentId = id;
    if (id != 0)
        m_skillsById.insert(id, skill);
}

void ModelContext::adopt(SkillCollection *collection)
{
    collection->setParent(this);
    collection->m_owner = this;
    m_collections.append(collection);
}

QList<Skill *> ModelContext::skills() const
{
    if (!m_sortedSkillsValid) {
        m_sortedSkills = m_skills.values();
        std::sort(m_sortedSkills.begin(), m_sortedSkills.end(), comesBefore);
        m_unsortedSkills.clear();
        m_unsortedRemovals.clear();
        m_sortedSkillsValid = true;
    } else {
        mergeSortedSkills();
    }
    return m_sortedSkills;
}

QList<SkillCollection *> ModelContext::collections() const
{
    QList<SkillCollection *> sorted = m_collections;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SkillCollection *a, const SkillCollection *b) {
                         return a->sortOrder() < b->sortOrder();
                     });
    return sorted;
}

void ModelContext::expectSkills(qsizetype count)
{
    // Records known already (a start-up rescan): room asked would only rehash.
    if (m_skills.size() >= count / 4)
        return;
    m_skills.reserve(count);
    m_skillsByResolvedPath.reserve(count);
    m_skillsById.reserve(count);
}

Skill *ModelContext::skillWithResolvedPath(const QString &resolvedPath) const
{
    return m_skillsByResolvedPath.value(resolvedPath);
}

SkillCollection *ModelContext::collectionNamed(const QString &name) const
{
    for (SkillCollection *collection : m_collections) {
        if (collection->name() == name)
            return collection;
    }
    return nullptr;
}

Skill *ModelContext::insert(std::unique_ptr<Skill> skill, QString *error)
{
    if (!skill)
        return nullptr;
    if (skillWithResolvedPath(skill->resolvedPath())) {
        if (error)
            *error = tr("A skill for the file \"%1\" is already in the library.").arg(skill->resolvedPath());
        return nullptr;
    }
    Skill *record = skill.release();
    adopt(record);
    noteInserted(record);
    Q_EMIT skillInserted(record);
    Q_EMIT changed();
    return record;
}

SkillCollection *ModelContext::insert(std::unique_ptr<SkillCollection> collection, QString *error)
{
    if (!collection)
        return nullptr;
    if (collectionNamed(collection->name())) {
        if (error)
            *error = duplicateCollectionMessage(collection->name());
        return nullptr;
    }
    SkillCollection *record = collection.release();
    adopt(record);
    m_insertedCollections.append(record);
    Q_EMIT collectionInserted(record);
    Q_EMIT changed();
    return record;
}

QString ModelContext::duplicateCollectionMessage(const QString &name)
{
    return tr("A collection named \"%1\" already exists.").arg(name);
}

bool ModelContext::rename(SkillCollection *collection, const QString &name, QString *error)
{
    if (!collection || collection->m_owner != static_cast<RecordOwner *>(this))
        return false;
    const SkillCollection *holder = collectionNamed(name);
    if (holder && holder != collection) {
        if (error)
            *error = duplicateCollectionMessage(name);
        return false;
    }
    collection->setName(name);
    return true;
}

void ModelContext::remove(Skill *skill)
{
    if (!skill || skill->m_owner != static_cast<RecordOwner *>(this))
        return;
    settle(); // a record being written gets its row id before it can be deleted
    if (!dropInserted(skill))
        m_removedSkillIds.append(skill->persistentId());
    forget(skill);
}

void ModelContext::noteMoved(Skill *gone, Skill *successor)
{
    if (!gone || !successor || gone == successor || gone->m_owner != static_cast<RecordOwner *>(this) || successor->m_owner != static_cast<RecordOwner *>(this))
        return;
    Q_EMIT gone->movedTo(successor);
    Q_EMIT skillMoved(gone, successor);
}

void ModelContext::remove(SkillCollection *collection)
{
    if (!collection || collection->m_owner != static_cast<RecordOwner *>(this))
        return;
    if (!m_insertedCollections.removeOne(collection))
        m_removedCollectionIds.append(collection->persistentId());
    forget(collection);
}

// Takes the record out of memory, with everything pending about it; the store
// drops its memberships along with its row.
void ModelContext::forget(Skill *skill)
{
    Q_EMIT skill->removing();
    Q_EMIT skillAboutToBeRemoved(skill);
    for (SkillCollection *collection : skill->collections()) {
        collection->unlink(skill);
        m_addedMemberships.remove({collection, skill});
        Q_EMIT collectionChanged(collection);
    }
    m_removedMemberships.removeIf([skill](const Membership &m) { return m.second == skill; });
    m_skills.remove(skill);
    if (m_skillsByResolvedPath.value(skill->resolvedPath()) == skill)
        m_skillsByResolvedPath.remove(skill->resolvedPath());
    if (m_skillsById.value(skill->persistentId()) == skill)
        m_skillsById.remove(skill->persistentId());
    unindexOtherPaths(skill);
    if (m_sortedSkillsValid && !m_unsortedSkills.remove(skill))
        m_unsortedRemovals.insert(skill);
    m_changedSkills.remove(skill);
    dropInserted(skill);
    skill->m_owner = nullptr;
    skill->deleteLater();
    Q_EMIT changed();
}

void ModelContext::forget(SkillCollection *collection)
{
    Q_EMIT collectionAboutToBeRemoved(collection);
    for (Skill *skill : collection->skills()) {
        collection->unlink(skill);
        Q_EMIT skillChanged(skill);
    }
    m_addedMemberships.removeIf([collection](const Membership &m) { return m.first == collection; });
    m_removedMemberships.removeIf([collection](const Membership &m) { return m.first == collection; });
    m_collections.removeOne(collection);
    m_changedCollections.remove(collection);
    m_insertedCollections.removeOne(collection);
    collection->m_owner = nullptr;
    collection->deleteLater();
    Q_EMIT changed();
}

void ModelContext::noteChanged(Skill *skill)
{
    if (m_skillsByResolvedPath.value(skill->resolvedPath()) != skill) {
        // The resolved path itself changed: re-key the index.
        m_skillsByResolvedPath.remove(m_skillsByResolvedPath.key(skill));
        m_skillsByResolvedPath.insert(skill->resolvedPath(), skill);
    }
    indexOtherPaths(skill);
    if (!m_applyingStoredRows && !m_insertedSkillSet.contains(skill))
        m_changedSkills.insert(skill);
    Q_EMIT skillChanged(skill);
    Q_EMIT changed();
}

void ModelContext::noteChanged(SkillCollection *collection)
{
    if (!m_applyingStoredRows && !m_insertedCollections.contains(collection))
        m_changedCollections.insert(collection);
    Q_EMIT collectionChanged(collection);
    Q_EMIT changed();
}

void ModelContext::noteMembershipChanged(SkillCollection *collection, Skill *skill, bool added)
{
    if (!m_applyingStoredRows) {
        // Adding back what was removed since the last save (or the reverse) cancels out.
        const Membership membership{collection, skill};
        QSet<Membership> &opposite = added ? m_removedMemberships : m_addedMemberships;
        if (!opposite.remove(membership))
            (added ? m_addedMemberships : m_removedMemberships).insert(membership);
    }
    Q_EMIT collectionChanged(collection);
    Q_EMIT skillChanged(skill);
    Q_EMIT changed();
}

bool ModelContext::hasChanges() const
{
    return m_background || hasUntakenChanges();
}

bool ModelContext::hasUntakenChanges() const
{
    return !m_insertedSkillSet.isEmpty() || !m_changedSkills.isEmpty() || !m_removedSkillIds.isEmpty()
        || !m_insertedCollections.isEmpty() || !m_changedCollections.isEmpty()
        || !m_removedCollectionIds.isEmpty() || !m_addedMemberships.isEmpty()
        || !m_removedMemberships.isEmpty();
}

bool ModelContext::isDirty(const Skill *skill) const
{
    const auto involves = [skill](const Membership &m) { return m.second == skill; };
    return m_insertedSkillSet.contains(const_cast<Skill *>(skill))
        || m_changedSkills.contains(const_cast<Skill *>(skill))
        || std::any_of(m_addedMemberships.cbegin(), m_addedMemberships.cend(), involves)
        || std::any_of(m_removedMemberships.cbegin(), m_removedMemberships.cend(), involves);
}

bool ModelContext::isDirty(const SkillCollection *collection) const
{
    const auto involves = [collection](const Membership &m) { return m.first == collection; };
    return m_insertedCollections.contains(const_cast<SkillCollection *>(collection))
        || m_changedCollections.contains(const_cast<SkillCollection *>(collection))
        || std::any_of(m_addedMemberships.cbegin(), m_addedMemberships.cend(), involves)
        || std::any_of(m_removedMemberships.cbegin(), m_removedMemberships.cend(), involves);
}

void ModelContext::clearPending()
{
    m_insertedSkills.clear();
    m_insertedSkillSet.clear();
    m_changedSkills.clear();
    m_removedSkillIds.clear();
    m_insertedCollections.clear();
    m_changedCollections.clear();
    m_removedCollectionIds.clear();
    m_addedMemberships.clear();
    m_removedMemberships.clear();
}

Sqlite::Database &ModelContext::database()
{
    settle();
    return m_database;
}

QString ModelContext::databasePath() const
{
    return m_database.path();
}

std::shared_ptr<SearchKeyFile> ModelContext::searchKeyFile() const
{
    if (!m_searchKeyFileTried) {
        m_searchKeyFileTried = true;
        const QString path = databasePath();
        if (!path.isEmpty())
            m_searchKeyFile = SearchKeyFile::create(QFileInfo(path).absolutePath());
    }
    return m_searchKeyFile;
}

QString ModelContext::storedContent(qint64 id) const
{
    if (isWritingInBackground()) {
        if (std::optional<QString> body = bodyBesideWriter(id))
            return *std::move(body);
    }
    const_cast<ModelContext *>(this)->settle();
    Sqlite::Statement &select = const_cast<ModelContext *>(this)->statement(StoreSql::selectContent);
    select.bind(1, id);
    QString content;
    if (select.next())
        content = select.text(0);
    select.reset();
    return content;
}
