#include "browse/skilllistview.h"

#include "common/appstate.h"
#include "common/columntitle.h"
#include "common/contentunavailableview.h"
#include "common/libraryactions.h"
#include "common/plaintext.h"
#include "browse/newcollectionpopover.h"
#include "browse/skillfilter.h"
#include "browse/skilllistmodel.h"
#include "browse/skillrowdelegate.h"
#include "library/store/modelcontext.h"
#include "library/records/skillcollection.h"
#include "library/records/skill.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Focusing the list makes no row current by itself, so the first arrow key
// selects the first skill instead of skipping it.
class SkillListWidget final : public QListView
{
public:
    using QListView::QListView;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QListView::focusInEvent(event);
        if (!selectionModel()->hasSelection())
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
};

} // namespace

SkillListView::SkillListView(AppState &state, ModelContext &context, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_context(context)
    , m_model(new SkillListModel(state, context, this))
    , m_title(new ColumnTitle(QString(), this))
    , m_stack(new QStackedWidget(this))
    , m_list(new SkillListWidget(this))
    , m_empty(new ContentUnavailableView(tr("No Skills"), QStringLiteral("doc.text"),
                                         tr("No skills match the current filter."), this))
{
    m_list->setObjectName(QStringLiteral("skillList"));
    m_list->setAccessibleName(tr("Skills"));
    // Enter opens the row and Delete takes it out of the collection shown; both
    // only while the list has the focus, so the editor keeps its own keys.
    auto *open = new QAction(tr("Open"), m_list);
    open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    open->setShortcutContext(Qt::WidgetShortcut);
    connect(open, &QAction::triggered, this, [this] {
        if (Skill *skill = m_model->skillAt(m_list->currentIndex().row()); skill && m_list->currentIndex().isValid())
            Q_EMIT openRequested(skill);
    });
    auto *remove = new QAction(tr("Remove from Collection"), m_list);
    remove->setShortcuts(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    connect(remove, &QAction::triggered, this, &SkillListView::removeSelectedFromCollection);
    m_list->addActions({open, remove});
    // Rows that come and go move the view's current row; that is no choice of the
    // user's. Connected before the view's own handlers, so that those run inside.
    const auto rowsChanging = [this] { m_syncing = true; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, rowsChanging);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, rowsChanging);
    m_list->setModel(m_model);
    m_list->setItemDelegate(new SkillRowDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setMouseTracking(true);
    m_list->viewport()->setAttribute(Qt::WA_Hover);
    m_list->setUniformItemSizes(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    // Rows are dragged onto a collection in the sidebar to add them to it.
    m_list->setDragEnabled(true);
    m_list->setDragDropMode(QAbstractItemView::DragOnly);
    m_list->setDefaultDropAction(Qt::CopyAction);
    m_newCollection = new NewCollectionPopover(this);
    m_newCollection->setObjectName(QStringLiteral("listNewCollectionPopover"));
    connect(m_newCollection, &NewCollectionPopover::createRequested, this,
            [this](const QString &name, const QString &icon) {
                QString error;
                SkillCollection *made = createCollection(m_context, name, icon, &error);
                if (made && m_newCollectionSkill)
                    addToCollection(m_context, {m_newCollectionSkill.data()}, *made);
                m_newCollection->finishCreate(error);
            });
    m_list->setStyleSheet(QStringLiteral("QListView { outline: 0; }"));
    m_empty->setObjectName(QStringLiteral("noSkills"));
    m_empty->setAutoFillBackground(true);
    m_empty->setBackgroundRole(QPalette::Base);

    m_stack->addWidget(m_list);
    m_stack->addWidget(m_empty);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addWidget(m_stack, 1);

    connect(&m_state, &AppState::sidebarFilterChanged, this, &SkillListView::updateTitle);
    // Which empty state fits depends on the library as a whole, the search and the filter.
    connect(&m_state, &AppState::sidebarFilterChanged, this, &SkillListView::updateEmptyState);
    connect(&m_state, &AppState::searchTextChanged, this, &SkillListView::updateEmptyState);
    connect(&m_context, &ModelContext::changed, this, &SkillListView::updateEmptyState);
    connect(&m_state, &AppState::selectedSkillChanged, this, &SkillListView::selectSkillFromState);
    const auto rowsReplaced = [this] {
        m_syncing = false;
        // Laid out now rather than on the view's zero timer, which runs only when the
        // event loop has nothing else to do: during a scan that would be its end.
        m_list->doItemsLayout();
        updateEmptyState();
        selectSkillFromState();
    };
    connect(m_model, &QAbstractItemModel::modelReset, this, rowsReplaced);
    // A refresh may tell several runs of rows: at a hundred thousand rows, a
    // layout after each of them is a stall; one follows the last.
    const auto rowsMoved = [this, rowsReplaced] {
        if (!m_model->isTellingRuns())
            rowsReplaced();
    };
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, rowsMoved);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, rowsMoved);
    connect(m_model, &SkillListModel::rowsSettled, this, rowsReplaced);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SkillListView::selectionChangedByUser);
    connect(m_list, &QListView::customContextMenuRequested, this, &SkillListView::showContextMenu);
    updateTitle();
    updateEmptyState();
    selectSkillFromState();
}

QString SkillListView::title() const
{
    return m_title->text();
}

void SkillListView::focusResults()
{
    m_list->setFocus(Qt::OtherFocusReason);
    if (m_model->rowOf(m_state.selectedSkill()) < 0 && m_model->rowCount() > 0)
        m_state.requestSelectedSkill(m_model->skillAt(0));
}

bool SkillListView::removeSelectedFromCollection()
{
    const SidebarFilter filter = m_state.sidebarFilter();
    if (filter.kind() != SidebarFilter::Kind::Collection)
        return false;
    SkillCollection *collection = m_context.collectionNamed(filter.collectionName());
    QList<Skill *> skills = selectedSkills();
    if (skills.isEmpty() && m_state.selectedSkill())
        skills = {m_state.selectedSkill()};
    if (!collection)
        return false;
    skills.removeIf([this, collection](Skill *skill) { return m_model->rowOf(skill) < 0 || !isMember(*skill, *collection); });
    if (skills.isEmpty())
        return false;
    if (skills.size() > 1) {
        // Several rows go at once only when the user says so: a stray Shift+Down
        // would otherwise empty a collection.
        QMessageBox question(QMessageBox::Question, tr("Remove from Collection"),
                             tr("Remove %n skills from “%1”?", nullptr, int(skills.size())).arg(collection->name()),
                             QMessageBox::Cancel, this);
        question.setInformativeText(tr("The skills stay in your library."));
        QPushButton *remove = question.addButton(tr("Remove"), QMessageBox::DestructiveRole);
        remove->setObjectName(QStringLiteral("confirmRemove"));
        question.setDefaultButton(QMessageBox::Cancel);
        showAsPlainText(&question);
        question.exec();
        // The keys go on in the list, whatever the answer.
        m_list->setFocus(Qt::OtherFocusReason);
        if (question.clickedButton() != remove)
            return false;
    }
    QPointer<SkillCollection> guard(collection);
    for (Skill *skill : std::as_const(skills)) {
        if (!guard)
            break;
        if (isMember(*skill, *guard))
            toggleMembership(m_context, *skill, *guard);
    }
    return true;
}

bool SkillListView::isShowingEmptyState() const
{
    return m_stack->currentWidget() == m_empty;
}

bool SkillListView::isShowingEmptyLibrary() const
{
    return isShowingEmptyState() && m_emptyLibrary;
}

void SkillListView::updateTitle()
{
    m_title->setText(listTitle(m_state.sidebarFilter()));
}

void SkillListView::updateEmptyState()
{
    m_emptyLibrary = false;
    if (m_model->rowCount() > 0) {
        m_stack->setCurrentWidget(m_list);
        return;
    }
    const QString search = m_state.searchText().trimmed();
    const SidebarFilter filter = m_state.sidebarFilter();
    if (m_context.skillCount() == 0 && search.isEmpty()) {
        // The detail column says where Vesk looks; this column need only say why it is empty.
        m_emptyLibrary = true;
        m_empty->setContent(tr("No Skills Yet"), tr("Skills show here as soon as Vesk finds them."));
    } else if (!search.isEmpty()) {
        m_empty->setContent(tr("No Results"), tr("No skills match “%1”.").arg(search.left(200)));
    } else if (filter.kind() == SidebarFilter::Kind::Collection) {
        m_empty->setContent(tr("Empty Collection"),
                            tr("“%1” holds no skills yet. Drag skills onto it in the sidebar, or right-click a "
                               "skill and choose Add to Collection.")
                                .arg(filter.collectionName()));
    } else if (filter.kind() == SidebarFilter::Kind::NeedsAttention) {
        m_empty->setContent(tr("Nothing Needs Attention"),
                            tr("No skill has errors or warnings. Vesk checks every skill again as it changes."));
    } else if (filter.kind() == SidebarFilter::Kind::Favorites) {
        m_empty->setContent(tr("No Favorites"), tr("Right-click a skill and choose Favorite to list it here."));
    } else {
        m_empty->setContent(tr("No Skills"), tr("No skills match the current filter."));
    }
    m_stack->setCurrentWidget(m_empty);
}

void SkillListView::selectSkillFromState()
{
    m_syncing = true;
    const int row = m_model->rowOf(m_state.selectedSkill());
    if (row < 0) {
        m_list->selectionModel()->clear();
    } else {
        const QModelIndex index = m_model->index(row);
        // A row chosen among several selected ones keeps the others selected.
        const bool inSelection = m_list->selectionModel()->isSelected(index);
        m_list->selectionModel()->setCurrentIndex(index, inSelection ? QItemSelectionModel::NoUpdate
                                                                     : QItemSelectionModel::ClearAndSelect);
        m_list->scrollTo(index);
    }
    m_syncing = false;
}

void SkillListView::selectionChangedByUser()
{
    if (m_syncing)
        return;
    // Only a row the user selects changes the selection; focusing the list
    // (which moves the current row) or deselecting does not.
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    // The detail column may hold unsaved text the user chooses to keep: the
    // row the user left is then selected again.
    // With several rows selected, the one the user last clicked is shown.
    const QModelIndex current = m_list->selectionModel()->currentIndex();
    const int row = current.isValid() && m_list->selectionModel()->isSelected(current) ? current.row()
                                                                                        : selected.first().row();
    if (Skill *skill = m_model->skillAt(row); skill && !m_state.requestSelectedSkill(skill))
        selectSkillFromState();
}

QList<QAction *> SkillListView::contextActions(Skill *skill, QObject *owner)
{
    const QPointer<Skill> target(skill);
    auto *favorite = new QAction(skill->isFavorite() ? tr("Unfavorite") : tr("Favorite"), owner);
    connect(favorite, &QAction::triggered, this, [this, target] {
        if (target)
            Q_EMIT toggleFavoriteRequested(target);
    });
    auto *separator = new QAction(owner);
    separator->setSeparator(true);
    QAction *collections = collectionMenuAction(skill, owner);
    auto *reveal = new QAction(tr("Show in File Manager"), owner);
    connect(reveal, &QAction::triggered, this, [this, target] {
        if (target)
            Q_EMIT revealRequested(target);
    });
    auto *open = new QAction(tr("Open in Default Editor"), owner);
    connect(open, &QAction::triggered, this, [this, target] {
        if (target)
            Q_EMIT openInDefaultEditorRequested(target);
    });
    return {favorite, collections, separator, reveal, open};
}

QAction *SkillListView::collectionMenuAction(Skill *skill, QObject *owner)
{
    const QPointer<Skill> target(skill);
    auto *menu = new QMenu(this);
    connect(owner, &QObject::destroyed, menu, &QObject::deleteLater);
    for (SkillCollection *collection : m_context.collections()) {
        // No icon: a checked item with an icon shows its state only as a faint
        // frame around the icon, and membership is what this menu is for.
        QAction *item = menu->addAction(collection->name());
        item->setCheckable(true);
        item->setChecked(isMember(*skill, *collection));
        const QPointer<SkillCollection> held(collection);
        connect(item, &QAction::triggered, this, [this, target, held] {
            if (target && held)
                toggleMembership(m_context, *target, *held);
        });
    }
    if (!menu->isEmpty())
        menu->addSeparator();
    QAction *create = menu->addAction(tr("New Collection…"));
    create->setObjectName(QStringLiteral("newCollectionWithSkill"));
    connect(create, &QAction::triggered, this, [this, target] {
        if (target)
            openNewCollectionFor(target);
    });
    auto *action = new QAction(tr("Add to Collection"), owner);
    action->setObjectName(QStringLiteral("addToCollection"));
    action->setMenu(menu);
    return action;
}

void SkillListView::openNewCollectionFor(Skill *skill)
{
    m_newCollectionSkill = skill;
    const int row = m_model->rowOf(skill);
    const QRect rect = row >= 0 ? m_list->visualRect(m_model->index(row)) : m_list->viewport()->rect();
    m_newCollection->popup(QRect(m_list->viewport()->mapToGlobal(rect.topLeft()), rect.size()));
}

void SkillListView::showContextMenu(const QPoint &position)
{
    Skill *skill = m_model->skillAt(m_list->indexAt(position).row());
    if (!skill)
        return;
    QMenu menu(this);
    menu.addActions(contextActions(skill, &menu));
    if (m_extraActions) {
        QList<Skill *> skills = selectedSkills();
        if (!skills.contains(skill))
            skills = {skill};
        menu.addSeparator();
        menu.addActions(m_extraActions(skills, &menu));
    }
    menu.exec(m_list->viewport()->mapToGlobal(position));
}

QList<Skill *> SkillListView::selectedSkills() const
{
    QModelIndexList rows = m_list->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QList<Skill *> skills;
    for (const QModelIndex &index : std::as_const(rows)) {
        if (Skill *skill = m_model->skillAt(index.row()))
            skills.append(skill);
    }
    return skills;
}
