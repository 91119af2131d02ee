#include "library/store/keptmarks.h"

#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/sqlite.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr char createTable[] = R"sql(
CREATE TABLE IF NOT EXISTS kept_marks (
    resolvedPath TEXT PRIMARY KEY,
    favorite     INTEGER NOT NULL,
    lastOpened   TEXT NOT NULL,
    collections  TEXT NOT NULL
) WITHOUT ROWID;
)sql";

} // namespace

KeptMarks::KeptMarks(Sqlite::Database &database)
    : m_database(database)
{
    if (!m_database.exec(createTable))
        return;
    m_usable = true;
    Sqlite::Statement rows(m_database, "SELECT resolvedPath, favorite, lastOpened, collections FROM kept_marks");
    while (rows.next()) {
        Marks marks;
        marks.favorite = rows.integer(1) != 0;
        marks.lastOpened = QDateTime::fromString(rows.text(2), Qt::ISODateWithMs);
        for (const QJsonValue &name : QJsonDocument::fromJson(rows.text(3).toUtf8()).array())
            marks.collections.append(name.toString());
        m_marks.insert(rows.text(0), marks);
    }
}

void KeptMarks::keep(const Skill &skill)
{
    Marks marks;
    marks.favorite = skill.isFavorite();
    marks.lastOpened = skill.lastOpened();
    for (const SkillCollection *collection : skill.collections())
        marks.collections.append(collection->name());
    if (!marks.favorite && !marks.lastOpened.isValid() && marks.collections.isEmpty())
        return;
    m_marks.insert(skill.resolvedPath(), marks);
    if (!m_usable)
        return;
    // Written at once: the record's removal is saved later, and marks kept a
    // moment too early cost nothing.
    Sqlite::Statement put(m_database, "INSERT OR REPLACE INTO kept_marks (resolvedPath, favorite, lastOpened, "
                                      "collections) VALUES (?1, ?2, ?3, ?4)");
    put.bind(1, skill.resolvedPath());
    put.bind(2, marks.favorite);
    put.bind(3, marks.lastOpened.isValid() ? marks.lastOpened.toUTC().toString(Qt::ISODateWithMs) : QString());
    put.bind(4, QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(marks.collections)).toJson(QJsonDocument::Compact)));
    put.run(); // a store that refuses keeps them in memory for this run
}

void KeptMarks::giveBack(Skill &skill, ModelContext &context)
{
    const auto found = m_marks.constFind(skill.resolvedPath());
    if (found == m_marks.cend())
        return;
    if (found->favorite)
        skill.setIsFavorite(true);
    if (found->lastOpened.isValid() && !skill.lastOpened().isValid())
        skill.setLastOpened(found->lastOpened);
    for (const QString &name : found->collections) {
        if (SkillCollection *collection = context.collectionNamed(name); collection && !collection->contains(&skill))
            collection->addSkill(&skill);
    }
    m_marks.erase(found);
    if (!m_usable)
        return;
    Sqlite::Statement drop(m_database, "DELETE FROM kept_marks WHERE resolvedPath = ?1");
    drop.bind(1, skill.resolvedPath());
    drop.run();
}
