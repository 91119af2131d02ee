#pragma once

#include "library/skill.h"
#include "library/skillcollection.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <unordered_map>

namespace Sqlite {
class Database;
class Statement;
}

// Owns the records in memory (one object per stored row), tracks what changed
// since the last save, and writes all of it in one transaction on save().
// The change signals are the views' live query: they fire as soon as a record
// is inserted, removed or edited in memory.
class ModelContext final : public QObject
{
    Q_OBJECT

public:
    explicit ModelContext(Sqlite::Database &database, QObject *parent = nullptr);
    ~ModelContext() override;

    // Reads every stored record; called once by the container after opening.
    bool load(QString *error);

    // Every skill, in plain (case-sensitive, code-unit) name order.
    QList<Skill *> skills() const;
    // Every collection by sortOrder, then by name for equal sort orders.
    QList<SkillCollection *> collections() const;
    Skill *skillWithResolvedPath(const QString &resolvedPath) const;
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

    bool hasChanges() const;
    // Called by the records when one of their stored fields changed.
    void noteChanged(Skill *skill);
    void noteChanged(SkillCollection *collection);
    // Writes every pending change in one transaction. On failure nothing is
    // written, every change stays pending and `error` holds SQLite's message.
    bool save(QString *error = nullptr);

Q_SIGNALS:
    void skillInserted(Skill *skill);
    void skillAboutToBeRemoved(Skill *skill);
    void skillChanged(Skill *skill);
    void collectionInserted(SkillCollection *collection);
    void collectionAboutToBeRemoved(SkillCollection *collection);
    void collectionChanged(SkillCollection *collection);
    // Fires after any of the above.
    void changed();

private:
    friend class SkillCollection;

    void noteMembershipChanged(SkillCollection *collection, Skill *skill);
    static QString duplicateCollectionMessage(const QString &name);
    void adopt(Skill *skill);
    void adopt(SkillCollection *collection);

    // Prepared once per context and reused: the scanner saves after every file.
    Sqlite::Statement &statement(const char *sql);

    bool loadSkills(QString *error);
    bool loadCollections(QString *error);
    bool loadMemberships(QString *error);

    Sqlite::Database &m_database;
    std::unordered_map<const char *, std::unique_ptr<Sqlite::Statement>> m_statements;

    QSet<Skill *> m_skills;
    QList<SkillCollection *> m_collections;
    QHash<QString, Skill *> m_skillsByResolvedPath;
    mutable QList<Skill *> m_sortedSkills;
    mutable bool m_sortedSkillsValid = false;

    // Pending changes, kept until a save succeeds.
    QList<Skill *> m_insertedSkills; // in insertion order, so row ids follow it
    QSet<Skill *> m_insertedSkillSet;
    QSet<Skill *> m_changedSkills;
    QList<qint64> m_removedSkillIds;
    QList<SkillCollection *> m_insertedCollections;
    QSet<SkillCollection *> m_changedCollections;
    QList<qint64> m_removedCollectionIds;
    QSet<SkillCollection *> m_membershipChanged;
};
