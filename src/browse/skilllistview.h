#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class AppState;
class ContentUnavailableView;
class ModelContext;
class NewCollectionPopover;
class QLabel;
class QListView;
class QStackedWidget;
class Skill;
class SkillListModel;

// The middle column: the title of the sidebar choice and the matching skills; when
// none, why: the library is still empty, or a search or a filter matches nothing,
// or a collection holds nothing yet. Its selection is AppState's selected skill;
// a selected skill that drops out of the list stays selected.
class SkillListView final : public QWidget
{
    Q_OBJECT

public:
    SkillListView(AppState &state, ModelContext &context, QWidget *parent = nullptr);

    QListView *listView() const { return m_list; }
    SkillListModel *model() const { return m_model; }
    QString title() const;

    // Puts the keyboard focus on the list, on the selected skill, or on the first
    // one (selecting it) when none is.
    void focusResults();
    // Takes the selected skill out of the collection the list shows; false when
    // the list shows no collection or nothing is selected.
    bool removeSelectedFromCollection();
    bool isShowingEmptyState() const;
    // Nothing shows because the library holds no skill at all (and nothing is searched).
    bool isShowingEmptyLibrary() const;
    // What shows in place of the list when no skill does (title, then explanation).
    ContentUnavailableView *emptyState() const { return m_empty; }

    // The actions of a row's context menu, built for `skill` (used by the menu and by tests):
    // favorite, "Add to Collection" with one checkable item per collection and
    // "New Collection…", and reveal.
    QList<QAction *> contextActions(Skill *skill, QObject *owner);
    // The skills of the selected rows, in list order (several with Ctrl or Shift).
    QList<Skill *> selectedSkills() const;
    // More actions for the context menu, built for the skills it acts on (the
    // selected rows when the click was on one of them, else the row clicked).
    using ExtraActions = std::function<QList<QAction *>(const QList<Skill *> &skills, QObject *owner)>;
    void setExtraContextActions(ExtraActions extra) { m_extraActions = std::move(extra); }
    // The form "New Collection…" opens; a collection made there holds the skill.
    NewCollectionPopover *newCollectionPopover() const { return m_newCollection; }

Q_SIGNALS:
    void toggleFavoriteRequested(Skill *skill);
    void revealRequested(Skill *skill);
    void openInDefaultEditorRequested(Skill *skill);
    // Enter on a row: show the skill with the focus in the detail column.
    void openRequested(Skill *skill);

private:
    void updateTitle();
    void updateEmptyState();
    void selectSkillFromState();
    void selectionChangedByUser();
    void showContextMenu(const QPoint &position);
    QAction *collectionMenuAction(Skill *skill, QObject *owner);
    void openNewCollectionFor(Skill *skill);

    AppState &m_state;
    ModelContext &m_context;
    SkillListModel *m_model = nullptr;
    QLabel *m_title = nullptr;
    QStackedWidget *m_stack = nullptr;
    QListView *m_list = nullptr;
    ContentUnavailableView *m_empty = nullptr;
    bool m_emptyLibrary = false;
    NewCollectionPopover *m_newCollection = nullptr;
    QPointer<Skill> m_newCollectionSkill;
    bool m_syncing = false;
    ExtraActions m_extraActions;
};
