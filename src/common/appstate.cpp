#include "common/appstate.h"

#include "library/skill.h"

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
