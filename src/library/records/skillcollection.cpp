#include "library/records/skillcollection.h"

#include "library/records/observedfield.h"
#include "library/records/skill.h"

SkillCollection::SkillCollection(const QString &name, const QString &icon, qint64 sortOrder)
    : m_name(name)
    , m_icon(icon)
    , m_sortOrder(sortOrder)
{
}

template <typename T>
void SkillCollection::write(T &field, const T &value, void (SkillCollection::*notify)())
{
    writeObservedField(this, field, value, notify);
}

void SkillCollection::setName(const QString &value) { write(m_name, value, &SkillCollection::nameChanged); }
void SkillCollection::setIcon(const QString &value) { write(m_icon, value, &SkillCollection::iconChanged); }
void SkillCollection::setSortOrder(qint64 value) { write(m_sortOrder, value, &SkillCollection::sortOrderChanged); }

void SkillCollection::assign(const CollectionRow &row)
{
    setName(row.name);
    setIcon(row.icon);
    setSortOrder(row.sortOrder);
}

bool SkillCollection::contains(const Skill *skill) const
{
    return m_skills.contains(skill);
}

void SkillCollection::addSkill(Skill *skill)
{
    if (!skill || contains(skill))
        return;
    // Both records must live in the same context (or neither in one yet).
    Q_ASSERT(skill->owner() == m_owner);
    link(skill);
    if (m_owner)
        m_owner->noteMembershipChanged(this, skill, true);
}

void SkillCollection::removeSkill(Skill *skill)
{
    if (!skill || !contains(skill))
        return;
    unlink(skill);
    if (m_owner)
        m_owner->noteMembershipChanged(this, skill, false);
}

void SkillCollection::link(Skill *skill)
{
    m_skills.append(skill);
    skill->m_collections.append(this);
    Q_EMIT skillsChanged();
    Q_EMIT skill->collectionsChanged();
}

void SkillCollection::unlink(Skill *skill)
{
    m_skills.removeAll(skill);
    skill->m_collections.removeAll(this);
    Q_EMIT skillsChanged();
    Q_EMIT skill->collectionsChanged();
}
