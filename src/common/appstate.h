#pragma once

#include "common/sidebarfilter.h"
#include "library/records/skill.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>


// How the detail column presents the selected skill.
enum class DetailViewMode { Editor, Card };

namespace DetailViewModes {
QString rawValue(DetailViewMode mode);
std::optional<DetailViewMode> fromRawValue(const QString &raw);
} // namespace DetailViewModes

// The one piece of shared user-interface state: every window and the settings
// window read and write the same instance. Writing an equal value is ignored.
class AppState final : public QObject
{
    Q_OBJECT

public:
    explicit AppState(QObject *parent = nullptr);

    Skill *selectedSkill() const { return m_selectedSkill.data(); }
    QString searchText() const { return m_searchText; }
    bool showingNewSkillSheet() const { return m_showingNewSkillSheet; }
    SidebarFilter sidebarFilter() const { return m_sidebarFilter; }
    DetailViewMode detailViewMode() const { return m_detailViewMode; }

    void setSelectedSkill(Skill *skill);
    void setSearchText(const QString &text);
    void setShowingNewSkillSheet(bool showing);
    void setSidebarFilter(const SidebarFilter &filter);
    void setDetailViewMode(DetailViewMode mode);

    // A user's choice that would take the detail column away from what it shows
    // (another skill, the card instead of the editor) goes through these: first
    // every registered leave check runs, and any one of them may refuse (the user
    // chose to stay with unsaved text). True when the state now holds the value.
    bool requestSelectedSkill(Skill *skill);
    bool requestDetailViewMode(DetailViewMode mode);

    // Asks the registered checks in turn; false at the first refusal.
    bool mayLeaveCurrentSkill();

    // Registers a check that runs while `owner` lives (it is dropped when `owner`
    // is destroyed). A check returns false to keep things as they are.
    using LeaveCheck = std::function<bool()>;
    void addLeaveCheck(QObject *owner, LeaveCheck check);

Q_SIGNALS:
    void selectedSkillChanged();
    void searchTextChanged();
    void showingNewSkillSheetChanged();
    void sidebarFilterChanged();
    void detailViewModeChanged();

private:
    // A QPointer, so a record that is deleted can never be read through the state.
    QPointer<Skill> m_selectedSkill;
    QString m_searchText;
    bool m_showingNewSkillSheet = false;
    SidebarFilter m_sidebarFilter;
    DetailViewMode m_detailViewMode = DetailViewMode::Card;

    struct RegisteredLeaveCheck {
        QPointer<QObject> owner;
        LeaveCheck check;
    };
    std::vector<RegisteredLeaveCheck> m_leaveChecks;
};
