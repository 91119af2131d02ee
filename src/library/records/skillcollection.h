#pragma once

#include "library/records/recordrows.h"

#include <QList>
#include <QObject>
#include <QString>

class ModelContext;
class RecordOwner;
class Skill;

// A named, user-made group of skills. Membership is one many-to-many relationship
// with Skill::collections(): adding or removing here updates both sides.
class SkillCollection final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString icon READ icon WRITE setIcon NOTIFY iconChanged)
    Q_PROPERTY(qint64 sortOrder READ sortOrder WRITE setSortOrder NOTIFY sortOrderChanged)

public:
    SkillCollection(const QString &name, const QString &icon, qint64 sortOrder);

    QString name() const { return m_name; }
    QString icon() const { return m_icon; }
    qint64 sortOrder() const { return m_sortOrder; }
    QList<Skill *> skills() const { return m_skills; }
    bool contains(const Skill *skill) const;

    void setName(const QString &value);
    void setIcon(const QString &value);
    void setSortOrder(qint64 value);
    void addSkill(Skill *skill);
    void removeSkill(Skill *skill);

    qint64 persistentId() const { return m_persistentId; }
    RecordOwner *owner() const { return m_owner; }

Q_SIGNALS:
    void nameChanged();
    void iconChanged();
    void sortOrderChanged();
    void skillsChanged();

private:
    friend class ModelContext;

    template <typename T>
    void write(T &field, const T &value, void (SkillCollection::*notify)());
    // Changes membership in memory on both sides without telling the context.
    void link(Skill *skill);
    void unlink(Skill *skill);
    CollectionRow row() const { return CollectionRow{m_persistentId, m_name, m_icon, m_sortOrder}; }
    void assign(const CollectionRow &row);

    QString m_name;
    QString m_icon;
    qint64 m_sortOrder = 0;
    QList<Skill *> m_skills;
    qint64 m_persistentId = 0;
    RecordOwner *m_owner = nullptr;
    CollectionRow m_stored; // as this process last read or wrote it
};
