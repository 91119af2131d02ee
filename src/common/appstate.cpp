#include "common/appstate.h"

#include "library/records/skill.h"

namespace DetailViewModes {

QString rawValue(DetailViewMode mode)
{
    return mode == DetailViewMode::Editor ? QStringLiteral("editor") : QStringLiteral("card");
}

std::optional<DetailViewMode> fromRawValue(const QString &raw)
{
    if (raw == QLatin1String("editor"))
        return DetailViewMode::Editor;
    if (raw == QLatin1String("card"))
        return DetailViewMode::Card;
    return std::nullopt;
}

} // namespace DetailViewModes

AppState::AppState(QObject *parent)
    : QObject(parent)
{
}

void AppState::setSelectedSkill(Skill *skill)
{
    if (m_selectedSkill.data() == skill)
        return;
    m_selectedSkill = skill;
    Q_EMIT selectedSkillChanged();
}

void AppState::setSearchText(const QString &text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    Q_EMIT searchTextChanged();
}

void AppState::setShowingNewSkillSheet(bool showing)
{
    if (m_showingNewSkillSheet == showing)
        return;
    m_showingNewSkillSheet = showing;
    Q_EMIT showingNewSkillSheetChanged();
}

void AppState::setSidebarFilter(const SidebarFilter &filter)
{
    if (m_sidebarFilter == filter)
        return;
    m_sidebarFilter = filter;
    Q_EMIT sidebarFilterChanged();
}

void AppState::setDetailViewMode(DetailViewMode mode)
{
    if (m_detailViewMode == mode)
        return;
    m_detailViewMode = mode;
    Q_EMIT detailViewModeChanged();
}

bool AppState::mayLeaveCurrentSkill()
{
    // A check may open a dialog, whose event loop may register or drop checks:
    // walk a copy, and skip the ones whose owner went away meanwhile.
    const std::vector<RegisteredLeaveCheck> checks = m_leaveChecks;
    for (const RegisteredLeaveCheck &registered : checks) {
        if (registered.owner && !registered.check())
            return false;
    }
    return true;
}

bool AppState::requestSelectedSkill(Skill *skill)
{
    if (m_selectedSkill.data() == skill)
        return true;
    if (!mayLeaveCurrentSkill())
        return false;
    setSelectedSkill(skill);
    return m_selectedSkill.data() == skill;
}

bool AppState::requestDetailViewMode(DetailViewMode mode)
{
    if (m_detailViewMode == mode)
        return true;
    // Only leaving the editor can drop unsaved text.
    if (m_detailViewMode == DetailViewMode::Editor && !mayLeaveCurrentSkill())
        return false;
    setDetailViewMode(mode);
    return m_detailViewMode == mode;
}

void AppState::addLeaveCheck(QObject *owner, LeaveCheck check)
{
    m_leaveChecks.push_back({owner, std::move(check)});
    connect(owner, &QObject::destroyed, this, [this](QObject *gone) {
        std::erase_if(m_leaveChecks, [gone](const RegisteredLeaveCheck &registered) {
            return !registered.owner || registered.owner.data() == gone;
        });
    });
}
