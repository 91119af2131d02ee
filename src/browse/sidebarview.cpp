#include "browse/sidebarview.h"

#include "common/appstate.h"
#include "common/libraryactions.h"
#include "common/columntitle.h"
#include "common/itemroles.h"
#include "common/palettecolors.h"
#include "common/symbols.h"
#include "common/toolicon.h"
#include "browse/newcollectionpopover.h"
#include "browse/sidebardelegate.h"
#include "browse/sidebarmodel.h"
#include "library/store/modelcontext.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// Keyboard navigation that steps over the section headings and the "New collection"
// row (reachable from the File menu), so the arrow keys move from filter to filter.
class SidebarTreeView final : public QTreeView
{
public:
    using QTreeView::QTreeView;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        QModelIndex next = QTreeView::moveCursor(action, modifiers);
        const QModelIndex start = currentIndex();
        QModelIndex previous;
        while (next.isValid() && next != previous && !(next.flags() & Qt::ItemIsSelectable)) {
            previous = next;
            // Move on from here without selecting the row.
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
            next = QTreeView::moveCursor(action, modifiers);
        }
        if (!next.isValid() || !(next.flags() & Qt::ItemIsSelectable)) {
            selectionModel()->setCurrentIndex(start, QItemSelectionModel::NoUpdate);
            return start;
        }
        return next;
    }
};

QWidget *makeProductMark(QWidget *parent)
{
    auto *mark = new QWidget(parent);
    auto *row = new QHBoxLayout(mark);
    row->setContentsMargins(0, 8, 0, 8);
    row->setSpacing(6);
    auto *icon = new QLabel(mark);
    const qreal dpr = parent->devicePixelRatioF();
    QPixmap pixmap = applicationIcon().pixmap(QSize(16, 16), dpr);
    QPixmap faded(pixmap.size());
    faded.setDevicePixelRatio(pixmap.devicePixelRatio());
    faded.fill(Qt::transparent);
    {
        QPainter painter(&faded);
        painter.setOpacity(0.35);
        painter.drawPixmap(0, 0, pixmap);
    }
    icon->setPixmap(faded);
    auto *name = new QLabel(QStringLiteral("Vesk"), mark);
    name->setObjectName(QStringLiteral("productMark"));
    QFont font = name->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setWeight(QFont::Medium);
    name->setFont(font);
    QPalette palette = name->palette();
    palette.setColor(QPalette::WindowText, PaletteColors::quaternaryLabel(palette));
    name->setPalette(palette);
    row->addStretch(1);
    row->addWidget(icon);
    row->addWidget(name);
    row->addStretch(1);
    return mark;
}

} // namespace

SidebarView::SidebarView(AppState &state, ModelContext &context, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_context(context)
    , m_model(new SidebarModel(context, this))
    , m_tree(new SidebarTreeView(this))
    , m_popover(new NewCollectionPopover(this))
    , m_editPopover(new NewCollectionPopover(this))
{
    m_editPopover->setObjectName(QStringLiteral("editCollectionPopover"));
    m_editPopover->setSubmitText(tr("Save"));
    auto *title = new ColumnTitle(QStringLiteral("Vesk"), this);

    m_tree->setObjectName(QStringLiteral("sidebarTree"));
    m_tree->setModel(m_model);
    m_tree->setItemDelegate(new SidebarDelegate(m_tree));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setItemsExpandable(false);
    m_tree->setIndentation(0);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setMouseTracking(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->viewport()->setAttribute(Qt::WA_Hover);
    m_tree->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_tree->viewport()->setAutoFillBackground(false);
    // Skills dragged from the list can be dropped on a collection.
    m_tree->setDragDropMode(QAbstractItemView::DropOnly);
    m_tree->setDefaultDropAction(Qt::CopyAction);
    m_tree->setDropIndicatorShown(true);
    m_tree->setStyleSheet(QStringLiteral("QTreeView { background: transparent; outline: 0; }"));
    m_tree->expandAll();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(title);
    layout->addWidget(m_tree, 1);
    m_statusSlot = new QVBoxLayout;
    layout->addLayout(m_statusSlot);
    layout->addWidget(makeProductMark(this));

    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_tree->expandAll();
        selectFilterFromState();
    });
    connect(m_model, &QAbstractItemModel::dataChanged, this, &SidebarView::selectFilterFromState);
    connect(&m_state, &AppState::sidebarFilterChanged, this, &SidebarView::selectFilterFromState);
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SidebarView::selectionChangedByUser);
    connect(m_tree, &QTreeView::customContextMenuRequested, this, &SidebarView::showContextMenu);
    connect(m_tree, &QTreeView::clicked, this, &SidebarView::activate);
    connect(m_tree, &QTreeView::activated, this, &SidebarView::activate);
    connect(m_popover, &NewCollectionPopover::createRequested, this, [this](const QString &name, const QString &icon) {
        QString error;
        createCollection(m_context, name, icon, &error);
        m_popover->finishCreate(error);
    });
    connect(m_editPopover, &NewCollectionPopover::createRequested, this,
            [this](const QString &name, const QString &icon) {
                if (!m_editing) {
                    m_editPopover->hide();
                    return;
                }
                const SidebarFilter before = SidebarFilter::collection(m_editing->name());
                QString error;
                if (editCollection(m_context, *m_editing, name, icon, &error) && m_state.sidebarFilter() == before)
                    m_state.setSidebarFilter(SidebarFilter::collection(m_editing->name()));
                m_editPopover->finishCreate(error);
            });
    connect(&context, &ModelContext::collectionAboutToBeRemoved, this, &SidebarView::followRemovedCollection);
    selectFilterFromState();
}

void SidebarView::selectFilterFromState()
{
    if (m_syncing)
        return;
    m_syncing = true;
    const QModelIndex index = m_model->indexForFilter(m_state.sidebarFilter());
    if (!index.isValid())
        m_tree->selectionModel()->clearSelection(); // the chosen row is no longer listed
    else if (m_tree->selectionModel()->currentIndex() != index || !m_tree->selectionModel()->isSelected(index))
        m_tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

void SidebarView::selectionChangedByUser()
{
    if (m_syncing)
        return;
    const QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) {
        // Nothing clears the sidebar's choice: put the highlight back.
        selectFilterFromState();
        return;
    }
    const QVariant filter = selected.first().data(ItemRoles::SidebarFilterRole);
    if (filter.isValid())
        m_state.setSidebarFilter(filter.value<SidebarFilter>());
}

void SidebarView::activate(const QModelIndex &index)
{
    if (index.data(ItemRoles::SidebarRowKindRole).value<SidebarRowKind>() == SidebarRowKind::NewCollection)
        openNewCollectionPopover();
}

void SidebarView::setStatusWidget(QWidget *widget)
{
    widget->setParent(this);
    m_statusSlot->addWidget(widget);
}

void SidebarView::openNewCollectionPopover()
{
    const QRect row = m_tree->visualRect(m_model->newCollectionIndex());
    m_popover->popup(QRect(m_tree->viewport()->mapToGlobal(row.topLeft()), row.size()));
}

QRect SidebarView::globalRectOf(SkillCollection *collection) const
{
    const QModelIndex index = m_model->indexForFilter(SidebarFilter::collection(collection->name()));
    const QRect row = index.isValid() ? m_tree->visualRect(index) : m_tree->viewport()->rect();
    return QRect(m_tree->viewport()->mapToGlobal(row.topLeft()), row.size());
}

QList<QAction *> SidebarView::collectionActions(SkillCollection *collection, QObject *owner)
{
    const QPointer<SkillCollection> target(collection);
    auto *rename = new QAction(tr("Rename…"), owner);
    rename->setObjectName(QStringLiteral("renameCollection"));
    connect(rename, &QAction::triggered, this, [this, target] {
        if (target)
            openEditCollectionPopover(target);
    });

    auto *iconMenu = new QMenu(this);
    connect(owner, &QObject::destroyed, iconMenu, &QObject::deleteLater);
    for (const QString &icon : availableCollectionIcons()) {
        QAction *choice = iconMenu->addAction(Symbols::icon(icon), icon);
        choice->setObjectName(icon);
        choice->setCheckable(true);
        choice->setChecked(collection->icon() == icon);
        connect(choice, &QAction::triggered, this, [this, target, icon] {
            if (target)
                editCollection(m_context, *target, target->name(), icon, nullptr);
        });
    }
    auto *changeIcon = new QAction(tr("Change Icon"), owner);
    changeIcon->setObjectName(QStringLiteral("changeCollectionIcon"));
    changeIcon->setMenu(iconMenu);

    auto *separator = new QAction(owner);
    separator->setSeparator(true);
    auto *remove = new QAction(tr("Delete"), owner);
    remove->setObjectName(QStringLiteral("deleteCollection"));
    connect(remove, &QAction::triggered, this, [this, target] {
        if (target)
            confirmDeleteCollection(target);
    });
    return {rename, changeIcon, separator, remove};
}

void SidebarView::openEditCollectionPopover(SkillCollection *collection)
{
    m_editing = collection;
    m_editPopover->setValues(collection->name(), collection->icon());
    m_editPopover->popup(globalRectOf(collection));
}

void SidebarView::confirmDeleteCollection(SkillCollection *collection)
{
    if (m_confirmation)
        m_confirmation->close();
    auto *question = new QMessageBox(QMessageBox::Warning, tr("Delete Collection"),
                                     tr("Delete “%1”? Its skills stay in your library.").arg(collection->name()),
                                     QMessageBox::NoButton, this);
    question->setObjectName(QStringLiteral("deleteCollectionQuestion"));
    question->setTextFormat(Qt::PlainText);
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setWindowModality(Qt::WindowModal);
    QPushButton *remove = question->addButton(tr("Delete"), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("confirmDelete"));
    QPushButton *cancel = question->addButton(QMessageBox::Cancel);
    question->setDefaultButton(cancel);
    question->setEscapeButton(cancel);
    const QPointer<SkillCollection> target(collection);
    connect(question, &QMessageBox::buttonClicked, this, [this, target, remove](QAbstractButton *clicked) {
        if (clicked == remove && target)
            deleteCollection(m_context, *target);
    });
    m_confirmation = question;
    question->open();
}

void SidebarView::followRemovedCollection(SkillCollection *collection)
{
    // A list titled after a collection that no longer exists would show nothing
    // and explain nothing: show the whole library instead.
    if (m_state.sidebarFilter() == SidebarFilter::collection(collection->name()))
        m_state.setSidebarFilter(SidebarFilter::all());
    if (m_editing == collection)
        m_editPopover->hide();
}

void SidebarView::showContextMenu(const QPoint &position)
{
    const QModelIndex index = m_tree->indexAt(position);
    auto *collection = index.data(ItemRoles::CollectionRole).value<SkillCollection *>();
    if (!collection)
        return;
    QMenu menu(this);
    menu.addActions(collectionActions(collection, &menu));
    menu.exec(m_tree->viewport()->mapToGlobal(position));
}
