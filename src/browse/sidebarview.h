#pragma once

#include <QWidget>

class AppState;
class ModelContext;
class NewCollectionPopover;
class QLabel;
class QTreeView;
class SidebarModel;
class SkillCollection;

// The left column: the library rows, the harnesses that have skills, and the
// collections, each with its live count; the product mark pinned at the bottom.
// Its selection is AppState's sidebar filter, so it always holds a value.
class SidebarView final : public QWidget
{
    Q_OBJECT

public:
    SidebarView(AppState &state, ModelContext &context, QWidget *parent = nullptr);

    QTreeView *treeView() const { return m_tree; }
    SidebarModel *model() const { return m_model; }
    NewCollectionPopover *newCollectionPopover() const { return m_popover; }

    void openNewCollectionPopover();

Q_SIGNALS:
    void deleteCollectionRequested(SkillCollection *collection);
    void createCollectionRequested(const QString &name, const QString &icon);

private:
    void selectFilterFromState();
    void selectionChangedByUser();
    void showContextMenu(const QPoint &position);
    void activate(const QModelIndex &index);

    AppState &m_state;
    SidebarModel *m_model = nullptr;
    QTreeView *m_tree = nullptr;
    NewCollectionPopover *m_popover = nullptr;
    bool m_syncing = false;
};
