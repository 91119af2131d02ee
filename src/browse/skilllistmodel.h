#pragma once

#include "browse/skillsearch.h"
#include "common/pacedrefresh.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <optional>

class AppState;
class LibraryHealth;
class ModelContext;
class Skill;

// The skills that match the sidebar filter and the search text, in name order.
// Follows the store and the state live; a removed record leaves at once, so no
// row ever points at a deleted skill.
class SkillListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    SkillListModel(AppState &state, ModelContext &context, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Rows can be dragged onto a collection in the sidebar.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // Where a row's skill lives, as its second line says: "Global" or the project,
    // and with `withFolder` the tool folder that holds it (".claude/skills"), to
    // tell apart rows that share a name.
    static QString locationText(const Skill &skill, const std::optional<QString> &project, bool withFolder);

    // Marks the rows with errors or warnings, and makes "Needs Attention" list them.
    void setHealth(LibraryHealth *health);
    // "2 errors, 1 warning": what a row's mark says.
    static QString healthSummary(int errors, int warnings);

    Skill *skillAt(int row) const;
    int rowOf(const Skill *skill) const;

    // Brings the rows up to date now instead of on the next turn of the event loop.
    void refresh();
    // While a refresh tells its rows as runs of insertions and removals; it
    // emits rowsSettled() once they are all told.
    bool isTellingRuns() const { return m_tellingRuns; }

Q_SIGNALS:
    void rowsSettled();

private:
    void scheduleRefresh() { m_pacing.schedule(); }
    void healthChanged();
    void rebuild();
    void dropSkill(Skill *skill);
    // Whether a neighbouring row has the same name (its location then names its folder).
    bool sharesItsName(int row) const;
    // Brings the rows to `wanted` by removing and inserting rows; false, with
    // nothing changed, when the rows that stay would change order.
    bool applyAsInsertsAndRemovals(const QList<Skill *> &wanted);
    // The same when the rows only come or only go; nothing when they do both.
    std::optional<bool> applyOneWay(const QList<Skill *> &wanted);
    // The two steps of both: the rows `isGone(row)` says go, a run at a time from
    // the end; then the rows of `wanted` that `isNew(row)` says are new, a run at
    // a time from the start. Rows are counted as they stand at each step.
    template <typename IsGone>
    void removeRuns(IsGone isGone);
    template <typename IsNew>
    void insertRuns(const QList<Skill *> &wanted, IsNew isNew);
    // A view answers each run of rows on its own: many runs (a search narrowing
    // thousands of rows) cost more than one reset.
    static constexpr int mostRuns = 8;

    AppState &m_state;
    ModelContext &m_context;
    // Plain pointers: a record about to be removed leaves the rows first (dropSkill).
    QList<Skill *> m_skills;
    bool m_tellingRuns = false;
    // Read once per refresh, not once per row painted (a settings file, the environment).
    QStringList m_customRoots;
    QString m_turnedOffFolder;
    SkillSearch m_search;
    QPointer<LibraryHealth> m_health;
    PacedRefresh m_pacing{[this] { rebuild(); }};
};
