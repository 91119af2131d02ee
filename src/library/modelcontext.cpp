#include "library/modelcontext.h"

#include "library/skill.h"
#include "library/skillcollection.h"
#include "library/sqlite.h"


#include <algorithm>

namespace {

constexpr char skillColumns[] =
    "resolvedPath, filePath, isDirectory, name, skillDescription, content, frontmatterData, "
    "isFavorite, lastOpened, fileModifiedDate, fileSize, isGlobal, toolSourcesRaw, "
    "installedPathsData";

std::optional<qint64> toMilliseconds(const QDateTime &date)
{
    if (!date.isValid())
        return std::nullopt;
    return date.toMSecsSinceEpoch();
}

QDateTime fromMilliseconds(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

// Binds the fourteen stored fields of `skill` to parameters 1..14.
void bindSkill(Sqlite::Statement &statement, const Skill &skill)
{
    statement.bind(1, skill.resolvedPath());
    statement.bind(2, skill.filePath());
    statement.bind(3, skill.isDirectory());
    statement.bind(4, skill.name());
    statement.bind(5, skill.skillDescription());
    statement.bind(6, skill.content());
    statement.bind(7, skill.frontmatterData());
    statement.bind(8, skill.isFavorite());
    if (const auto opened = toMilliseconds(skill.lastOpened()))
        statement.bind(9, *opened);
    else
        statement.bindNull(9);
    statement.bind(10, toMilliseconds(skill.fileModifiedDate()).value_or(0));
    statement.bind(11, skill.fileSize());
    statement.bind(12, skill.isGlobal());
    statement.bind(13, skill.toolSourcesRaw());
    statement.bind(14, skill.installedPathsData());
}

void bindCollection(Sqlite::Statement &statement, const SkillCollection &collection)
{
    statement.bind(1, collection.name());
    statement.bind(2, collection.icon());
    statement.bind(3, collection.sortOrder());
}

const QByteArray insertSkillSql = QByteArray("INSERT INTO skill (") + skillColumns
    + ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)";
constexpr char updateSkillSql[] =
    "UPDATE skill SET resolvedPath = ?1, filePath = ?2, isDirectory = ?3, name = ?4, "
    "skillDescription = ?5, content = ?6, frontmatterData = ?7, isFavorite = ?8, "
    "lastOpened = ?9, fileModifiedDate = ?10, fileSize = ?11, isGlobal = ?12, "
    "toolSourcesRaw = ?13, installedPathsData = ?14 WHERE id = ?15";
constexpr char deleteSkillSql[] = "DELETE FROM skill WHERE id = ?1";
constexpr char insertCollectionSql[] = "INSERT INTO skill_collection (name, icon, sortOrder) VALUES (?1, ?2, ?3)";
constexpr char updateCollectionSql[] = "UPDATE skill_collection SET name = ?1, icon = ?2, sortOrder = ?3 WHERE id = ?4";
constexpr char deleteCollectionSql[] = "DELETE FROM skill_collection WHERE id = ?1";
constexpr char clearMembershipSql[] = "DELETE FROM collection_membership WHERE collection_id = ?1";
constexpr char addMembershipSql[] = "INSERT INTO collection_membership (collection_id, skill_id) VALUES (?1, ?2)";

} // namespace

ModelContext::ModelContext(Sqlite::Database &database, QObject *parent)
    : QObject(parent)
    , m_database(database)
{
}

ModelContext::~ModelContext() = default;

Sqlite::Statement &ModelContext::statement(const char *sql)
{
    std::unique_ptr<Sqlite::Statement> &cached = m_statements[sql];
    if (!cached || !cached->isValid())
        cached = std::make_unique<Sqlite::Statement>(m_database, sql);
    return *cached;
}

bool ModelContext::load(QString *error)
{
    return loadSkills(error) && loadCollections(error) && loadMemberships(error);
}

bool ModelContext::loadSkills(QString *error)
{
    const QByteArray sql = QByteArray("SELECT id, ") + skillColumns + " FROM skill";
    Sqlite::Statement select(m_database, sql.constData());
    while (select.next()) {
        auto *skill = new Skill;
        skill->m_persistentId = select.integer(0);
        skill->m_resolvedPath = select.text(1);
        skill->m_filePath = select.text(2);
        skill->m_isDirectory = select.integer(3) != 0;
        skill->m_name = select.text(4);
        skill->m_skillDescription = select.text(5);
        skill->m_content = select.text(6);
        skill->m_frontmatterData = select.blob(7);
        skill->m_isFavorite = select.integer(8) != 0;
        if (!select.isNull(9))
            skill->m_lastOpened = fromMilliseconds(select.integer(9));
        skill->m_fileModifiedDate = fromMilliseconds(select.integer(10));
        skill->m_fileSize = select.integer(11);
        skill->m_isGlobal = select.integer(12) != 0;
        skill->m_toolSourcesRaw = select.text(13);
        skill->m_installedPathsData = select.blob(14);
        adopt(skill);
    }
    if (error && !select.error().isEmpty())
        *error = select.error();
    return select.error().isEmpty();
}

bool ModelContext::loadCollections(QString *error)
{
    Sqlite::Statement select(m_database, "SELECT id, name, icon, sortOrder FROM skill_collection");
    while (select.next()) {
        auto *collection = new SkillCollection(select.text(1), select.text(2), select.integer(3));
        collection->m_persistentId = select.integer(0);
        adopt(collection);
    }
    if (error && !select.error().isEmpty())
        *error = select.error();
    return select.error().isEmpty();
}

bool ModelContext::loadMemberships(QString *error)
{
    QHash<qint64, Skill *> skillsById;
    for (Skill *skill : std::as_const(m_skills))
        skillsById.insert(skill->persistentId(), skill);
    QHash<qint64, SkillCollection *> collectionsById;
    for (SkillCollection *collection : std::as_const(m_collections))
        collectionsById.insert(collection->persistentId(), collection);

    Sqlite::Statement select(m_database,
                             "SELECT collection_id, skill_id FROM collection_membership ORDER BY rowid");
    while (select.next()) {
        SkillCollection *collection = collectionsById.value(select.integer(0));
        Skill *skill = skillsById.value(select.integer(1));
        if (collection && skill)
            collection->link(skill);
    }
    if (error && !select.error().isEmpty())
        *error = select.error();
    return select.error().isEmpty();
}

void ModelContext::adopt(Skill *skill)
{
    skill->setParent(this);
    skill->m_context = this;
    m_skills.insert(skill);
    m_skillsByResolvedPath.insert(skill->resolvedPath(), skill);
    m_sortedSkillsValid = false;
}

void ModelContext::adopt(SkillCollection *collection)
{
    collection->setParent(this);
    collection->m_context = this;
    m_collections.append(collection);
}

QList<Skill *> ModelContext::skills() const
{
    if (!m_sortedSkillsValid) {
        m_sortedSkills = m_skills.values();
        // Equal names fall back to the (unique) resolved path, so the order is stable.
        std::sort(m_sortedSkills.begin(), m_sortedSkills.end(), [](const Skill *a, const Skill *b) {
            const int byName = QString::compare(a->name(), b->name(), Qt::CaseSensitive);
            return byName != 0 ? byName < 0 : a->resolvedPath() < b->resolvedPath();
        });
        m_sortedSkillsValid = true;
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
    m_insertedSkills.append(record);
    m_insertedSkillSet.insert(record);
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
    if (!collection || collection->m_context != this)
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
    if (!skill || skill->m_context != this)
        return;
    Q_EMIT skillAboutToBeRemoved(skill);
    for (SkillCollection *collection : skill->collections()) {
        collection->unlink(skill);
        Q_EMIT collectionChanged(collection);
    }
    m_skills.remove(skill);
    if (m_skillsByResolvedPath.value(skill->resolvedPath()) == skill)
        m_skillsByResolvedPath.remove(skill->resolvedPath());
    m_sortedSkillsValid = false;
    m_changedSkills.remove(skill);
    if (m_insertedSkillSet.remove(skill))
        m_insertedSkills.removeOne(skill);
    else
        m_removedSkillIds.append(skill->persistentId());
    skill->m_context = nullptr;
    skill->deleteLater();
    Q_EMIT changed();
}

void ModelContext::remove(SkillCollection *collection)
{
    if (!collection || collection->m_context != this)
        return;
    Q_EMIT collectionAboutToBeRemoved(collection);
    for (Skill *skill : collection->skills()) {
        collection->unlink(skill);
        Q_EMIT skillChanged(skill);
    }
    m_collections.removeOne(collection);
    m_changedCollections.remove(collection);
    m_membershipChanged.remove(collection);
    if (!m_insertedCollections.removeOne(collection))
        m_removedCollectionIds.append(collection->persistentId());
    collection->m_context = nullptr;
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
    m_sortedSkillsValid = false;
    if (!m_insertedSkillSet.contains(skill))
        m_changedSkills.insert(skill);
    Q_EMIT skillChanged(skill);
    Q_EMIT changed();
}

void ModelContext::noteChanged(SkillCollection *collection)
{
    if (!m_insertedCollections.contains(collection))
        m_changedCollections.insert(collection);
    Q_EMIT collectionChanged(collection);
    Q_EMIT changed();
}

void ModelContext::noteMembershipChanged(SkillCollection *collection, Skill *skill)
{
    m_membershipChanged.insert(collection);
    Q_EMIT collectionChanged(collection);
    Q_EMIT skillChanged(skill);
    Q_EMIT changed();
}

bool ModelContext::hasChanges() const
{
    return !m_insertedSkills.isEmpty() || !m_changedSkills.isEmpty() || !m_removedSkillIds.isEmpty()
        || !m_insertedCollections.isEmpty() || !m_changedCollections.isEmpty()
        || !m_removedCollectionIds.isEmpty() || !m_membershipChanged.isEmpty();
}

bool ModelContext::save(QString *error)
{
    if (!hasChanges())
        return true;

    const auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };

    Sqlite::Transaction transaction(m_database);
    if (!transaction.isActive())
        return fail(transaction.error());

    // Deletions go first so that a key freed by a deleted record can be reused
    // by a record inserted in the same save.
    {
        Sqlite::Statement &deleteSkill = statement(deleteSkillSql);
        for (qint64 id : std::as_const(m_removedSkillIds)) {
            deleteSkill.bind(1, id);
            if (!deleteSkill.run())
                return fail(deleteSkill.error());
        }
        Sqlite::Statement &deleteCollection = statement(deleteCollectionSql);
        for (qint64 id : std::as_const(m_removedCollectionIds)) {
            deleteCollection.bind(1, id);
            if (!deleteCollection.run())
                return fail(deleteCollection.error());
        }
    }

    // Row ids are handed to the records only once the transaction has committed.
    QHash<const Skill *, qint64> skillIds;
    QHash<const SkillCollection *, qint64> collectionIds;
    {
        Sqlite::Statement &insertSkill = statement(insertSkillSql.constData());
        for (const Skill *skill : std::as_const(m_insertedSkills)) {
            bindSkill(insertSkill, *skill);
            if (!insertSkill.run())
                return fail(insertSkill.error());
            skillIds.insert(skill, m_database.lastInsertRowId());
        }
        Sqlite::Statement &insertCollection = statement(insertCollectionSql);
        for (const SkillCollection *collection : std::as_const(m_insertedCollections)) {
            bindCollection(insertCollection, *collection);
            if (!insertCollection.run())
                return fail(insertCollection.error());
            collectionIds.insert(collection, m_database.lastInsertRowId());
        }
    }

    {
        Sqlite::Statement &updateSkill = statement(updateSkillSql);
        for (const Skill *skill : std::as_const(m_changedSkills)) {
            bindSkill(updateSkill, *skill);
            updateSkill.bind(15, skill->persistentId());
            if (!updateSkill.run())
                return fail(updateSkill.error());
        }
        Sqlite::Statement &updateCollection = statement(updateCollectionSql);
        for (const SkillCollection *collection : std::as_const(m_changedCollections)) {
            bindCollection(updateCollection, *collection);
            updateCollection.bind(4, collection->persistentId());
            if (!updateCollection.run())
                return fail(updateCollection.error());
        }
    }

    {
        const auto skillId = [&](const Skill *skill) { return skillIds.value(skill, skill->persistentId()); };
        Sqlite::Statement &clear = statement(clearMembershipSql);
        Sqlite::Statement &add = statement(addMembershipSql);
        for (const SkillCollection *collection : std::as_const(m_membershipChanged)) {
            const qint64 collectionId = collectionIds.value(collection, collection->persistentId());
            clear.bind(1, collectionId);
            if (!clear.run())
                return fail(clear.error());
            for (const Skill *skill : collection->skills()) {
                add.bind(1, collectionId);
                add.bind(2, skillId(skill));
                if (!add.run())
                    return fail(add.error());
            }
        }
    }

    if (!transaction.commit())
        return fail(transaction.error());

    for (auto it = skillIds.cbegin(); it != skillIds.cend(); ++it)
        const_cast<Skill *>(it.key())->m_persistentId = it.value();
    for (auto it = collectionIds.cbegin(); it != collectionIds.cend(); ++it)
        const_cast<SkillCollection *>(it.key())->m_persistentId = it.value();
    m_insertedSkills.clear();
    m_insertedSkillSet.clear();
    m_changedSkills.clear();
    m_removedSkillIds.clear();
    m_insertedCollections.clear();
    m_changedCollections.clear();
    m_removedCollectionIds.clear();
    m_membershipChanged.clear();
    return true;
}
