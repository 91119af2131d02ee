#include "library/store/keptmarks.h"

#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/sqlite.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <utility>

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

KeptMarks::KeptMarks(ModelContext &context)
    : m_context(context)
    , m_database(context.database())
{
    connect(&context, &ModelContext::writesReleased, this, &KeptMarks::writeHeld);
    // An existing table is read without a write; a missing one is made only once
    // the store may be written to, and is empty until then anyway.
    if (!Sqlite::Statement(m_database, "SELECT resolvedPath FROM kept_marks LIMIT 0").isValid()
        && (m_context.writesHeld() || !tableReady()))
        return;
    m_tableChecked = true;
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

bool KeptMarks::tableReady()
{
    if (!m_tableChecked) {
        m_tableChecked = true;
        m_usable = m_database.exec(createTable);
    }
    return m_usable;
}

void KeptMarks::writeHeld()
{
    const QSet<QString> unwritten = std::exchange(m_unwritten, {});
    for (const QString &resolvedPath : unwritten)
        write(resolvedPath);
}

// Puts the marks kept for `resolvedPath` in the store, or takes them out when none
// are kept any more.
void KeptMarks::write(const QString &resolvedPath)
{
    if (m_context.writesHeld()) {
        m_unwritten.insert(resolvedPath);
        return;
    }
    if (!tableReady())
        return;
    const auto found = m_marks.constFind(resolvedPath);
    if (found == m_marks.cend()) {
        Sqlite::Statement drop(m_database, "DELETE FROM kept_marks WHERE resolvedPath = ?1");
        drop.bind(1, resolvedPath);
        drop.run();
        return;
    }
    Sqlite::Statement put(m_database, "INSERT OR REPLACE INTO kept_marks (resolvedPath, favorite, lastOpened, "
                                      "collections) VALUES (?1, ?2, ?3, ?4)");
    put.bind(1, resolvedPath);
    put.bind(2, found->favorite);
    put.bind(3, found->lastOpened.isValid() ? found->lastOpened.toUTC().toString(Qt::ISODateWithMs) : QString());
    put.bind(4, QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(found->collections)).toJson(QJsonDocument::Compact)));
    put.run(); // a store that refuses keeps them in memory for this run
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
    // Written at once: the record's removal is saved later, and marks kept a
    // moment too early cost nothing.
    write(skill.resolvedPath());
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
    write(skill.resolvedPath());
}
