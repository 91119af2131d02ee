#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

class AppState;
class ModelContext;
class NewCollectionPopover;
class QAction;
class QLabel;
class QTreeView;
class QVBoxLayout;
class SidebarModel;
class SkillCollection;

// The left column: the library rows, the harnesses that have skills, and the
// collections, each with its live count; the product mark pinned at the bottom.
// Its selection is AppState's sidebar filter, so it always holds a value.
// It manages the collections too: creating, renaming, changing the icon and
// deleting (after asking), and it takes skills dropped on a collection. When the
// collection the filter names goes away the filter falls back to all skills;
// when it is renamed the filter follows it.
class SidebarView final : public QWidget
{
    Q_OBJECT

public:
    SidebarView(AppState &state, ModelContext &context, QWidget *parent = nullptr);

    QTreeView *treeView() const { return m_tree; }
    SidebarModel *model() const { return m_model; }
    NewCollectionPopover *newCollectionPopover() const { return m_popover; }
    NewCollectionPopover *editCollectionPopover() const { return m_editPopover; }
    // The question asked before a collection is deleted, while it is open.
    QMessageBox *deleteConfirmation() const { return m_confirmation; }

    void openNewCollectionPopover();
    // The actions of a collection row's context menu (used by the menu and by tests).
    QList<QAction *> collectionActions(SkillCollection *collection, QObject *owner);
    void openEditCollectionPopover(SkillCollection *collection);
    // Asks whether to delete the collection; deletes it when the user agrees.
    void confirmDeleteCollection(SkillCollection *collection);
    // Places a status line (what the library is doing) above the product mark.
    void setStatusWidget(QWidget *widget);

private:
    void selectFilterFromState();
    void selectionChangedByUser();
    void showContextMenu(const QPoint &position);
    void activate(const QModelIndex &index);
    void followRemovedCollection(SkillCollection *collection);
    QRect globalRectOf(SkillCollection *collection) const;

    AppState &m_state;
    ModelContext &m_context;
    SidebarModel *m_model = nullptr;
    QTreeView *m_tree = nullptr;
    NewCollectionPopover *m_popover = nullptr;
    NewCollectionPopover *m_editPopover = nullptr;
    QPointer<SkillCollection> m_editing;
    QPointer<QMessageBox> m_confirmation;
    QVBoxLayout *m_statusSlot = nullptr;
    bool m_syncing = false;
};
