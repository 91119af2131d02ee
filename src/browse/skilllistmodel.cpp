#include "browse/skilllistmodel.h"

#include "common/plaintext.h"
#include "common/appstate.h"
#include "common/itemroles.h"
#include "browse/skilldrag.h"
#include "browse/skillfilter.h"
#include "library/modelcontext.h"

#include <QTimer>

SkillListModel::SkillListModel(AppState &state, ModelContext &context, QObject *parent)
    : QAbstractListModel(parent)
    , m_state(state)
    , m_context(context)
{
    connect(&m_context, &ModelContext::changed, this, [this] {
        m_search.forget();
        scheduleRefresh();
    });
    connect(&m_context, &ModelContext::skillAboutToBeRemoved, this, &SkillListModel::dropSkill);
    connect(&m_state, &AppState::sidebarFilterChanged, this, &SkillListModel::refresh);
    connect(&m_state, &AppState::searchTextChanged, this, &SkillListModel::refresh);
    refresh();
}

void SkillListModel::scheduleRefresh()
{
    if (m_refreshScheduled)
        return;
    m_refreshScheduled = true;
    QTimer::singleShot(0, this, &SkillListModel::refresh);
}

void SkillListModel::refresh()
{
    m_refreshScheduled = false;
    const QList<Skill *> filtered = m_search.filter(filterBySidebar(m_context.skills(), m_state.sidebarFilter()),
                                                    m_state.searchText());
    bool same = filtered.size() == m_skills.size();
    for (qsizetype i = 0; same && i < filtered.size(); ++i)
        same = filtered.at(i) == m_skills.at(i).data();
    if (same) {
        if (!m_skills.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_skills.size()) - 1));
        return;
    }
    beginResetModel();
    m_skills.clear();
    m_skills.reserve(filtered.size());
    for (Skill *skill : filtered)
        m_skills.append(skill);
    endResetModel();
}

void SkillListModel::dropSkill(Skill *skill)
{
    const int row = rowOf(skill);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_skills.removeAt(row);
    endRemoveRows();
}

int SkillListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_skills.size());
}

Skill *SkillListModel::skillAt(int row) const
{
    return row >= 0 && row < m_skills.size() ? m_skills.at(row).data() : nullptr;
}

int SkillListModel::rowOf(const Skill *skill) const
{
    for (int row = 0; row < m_skills.size(); ++row) {
        if (m_skills.at(row).data() == skill)
            return row;
    }
    return -1;
}

QVariant SkillListModel::data(const QModelIndex &index, int role) const
{
    const Skill *skill = index.isValid() ? skillAt(index.row()) : nullptr;
    if (!skill)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return skill->name();
    case Qt::ToolTipRole:
        return plainToolTip(skill->skillDescription().isEmpty() ? skill->name() : skill->skillDescription());
    case ItemRoles::SkillRole:
        return QVariant::fromValue(const_cast<Skill *>(skill));
    case ItemRoles::ProjectNameRole:
        return skill->projectName().value_or(QString());
    case ItemRoles::IsFavoriteRole:
        return skill->isFavorite();
    default:
        return {};
    }
}

Qt::ItemFlags SkillListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractListModel::flags(index);
    if (index.isValid())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList SkillListModel::mimeTypes() const
{
    return {SkillDrag::mimeType()};
}

QMimeData *SkillListModel::mimeData(const QModelIndexList &indexes) const
{
    QList<Skill *> skills;
    for (const QModelIndex &index : indexes) {
        if (Skill *skill = skillAt(index.row()); skill && !skills.contains(skill))
            skills.append(skill);
    }
    return SkillDrag::encode(skills);
}

Qt::DropActions SkillListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}
