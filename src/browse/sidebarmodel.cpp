#include "browse/sidebarmodel.h"

#include "browse/skilldrag.h"
#include "common/libraryactions.h"
#include "common/plaintext.h"
#include "library/catalogue/settingskeys.h"
#include "library/catalogue/turnedoff.h"
#include "library/checks/libraryhealth.h"
#include "library/store/modelcontext.h"
#include "library/search/naturalorder.h"

#include <QHash>
#include <algorithm>

#include <QMimeData>

namespace {
constexpr quintptr sectionId = 0; // internal id of section rows; children use section + 1
}

SidebarModel::SidebarModel(ModelContext &context, QObject *parent)
    : QAbstractItemModel(parent)
    , m_context(context)
{
    m_sections = buildSections();
    const auto again = [this](Skill *skill) { unplace(skill, true); };
    connect(&m_context, &ModelContext::skillInserted, this, again);
    connect(&m_context, &ModelContext::skillChanged, this, again);
    connect(&m_context, &ModelContext::skillAboutToBeRemoved, this, [this](Skill *skill) { unplace(skill, false); });
    connect(&m_context, &ModelContext::skillMoved, this, [this](Skill *gone, Skill *successor) {
        unplace(gone, true);
        unplace(successor, true);
    });
    connect(&m_context, &ModelContext::changed, this, &SidebarModel::scheduleRefresh);
}

void SidebarModel::unplace(Skill *skill, bool again)
{
    const auto found = m_placements.constFind(skill);
    if (found != m_placements.cend()) {
        count(*found, -1);
        m_placements.erase(found);
    }
    if (again)
        m_unplaced.insert(skill);
    else
        m_unplaced.remove(skill);
}

void SidebarModel::place(Skill *skill)
{
    Placement placement{skill->projectName(m_placedWithRoots, m_placedWithTurnedOff).value_or(QString()),
                        isTurnedOffPath(skill->resolvedPath(), m_placedWithTurnedOff), skill->isFavorite(), 0};
    for (ToolSource tool : Tools::allCases()) {
        if (skill->hasToolSource(tool))
            placement.tools |= 1u << int(tool);
    }
    count(placement, 1);
    m_placements.insert(skill, std::move(placement));
}

void SidebarModel::count(const Placement &placement, int sign)
{
    if (!placement.project.isEmpty()) {
        int &inProject = m_counts.projects[placement.project];
        inProject += sign;
        if (inProject == 0)
            m_counts.projects.remove(placement.project);
    }
    if (placement.favorite)
        m_counts.favorites += sign;
    if (placement.turnedOff) {
        m_counts.turnedOff += sign;
        return;
    }
    for (ToolSource tool : Tools::allCases()) {
        if (placement.tools & (1u << int(tool)))
            m_counts.tools[int(tool)] += sign;
    }
}

void SidebarModel::placeChanged()
{
    const QStringList customRoots = readCustomScanPaths(); // once, not once per record
    const QString turnedOffFolder = ::turnedOffFolder();
    if (customRoots != m_placedWithRoots || turnedOffFolder != m_placedWithTurnedOff) {
        m_placedWithRoots = customRoots;
        m_placedWithTurnedOff = turnedOffFolder;
        m_placesEverything = true;
    }
    if (m_placesEverything) {
        m_placesEverything = false;
        m_unplaced.clear();
        m_placements.clear();
        m_counts = Counts{};
        m_counts.tools.fill(0, Tools::allCases().size());
        const QList<Skill *> skills = m_context.skillsInAnyOrder();
        m_placements.reserve(skills.size());
        for (Skill *skill : skills)
            place(skill);
        return;
    }
    for (Skill *skill : std::as_const(m_unplaced)) {
        if (!m_placements.contains(skill))
            place(skill);
    }
    m_unplaced.clear();
}

void SidebarModel::setHealth(LibraryHealth *health)
{
    if (m_health)
        disconnect(m_health, nullptr, this, nullptr);
    m_health = health;
    if (health)
        connect(health, &LibraryHealth::changed, this, &SidebarModel::recountAttention);
    refresh();
}

void SidebarModel::recountAttention()
{
    // The findings change only how many need attention: the other counts, and
    // the pass over every record they take, wait for the records to change.
    if (!m_health)
        return;
    for (int s = 0; s < m_sections.size(); ++s) {
        QList<Row> &rows = m_sections[s].rows;
        for (int r = 0; r < rows.size(); ++r) {
            if (rows.at(r).filter != SidebarFilter::needsAttention())
                continue;
            if (rows.at(r).count != m_health->needingAttention()) {
                rows[r].count = m_health->needingAttention();
                const QModelIndex changed = index(r, 0, index(s, 0));
                Q_EMIT dataChanged(changed, changed);
            }
            return;
        }
    }
    scheduleRefresh(); // no such row yet
}

QList<SidebarModel::Section> SidebarModel::buildSections()
{
    placeChanged();
    const int favorites = m_counts.favorites;
    const int turnedOff = m_counts.turnedOff;
    const QList<int> &toolCounts = m_counts.tools;
    const QHash<QString, int> &projectCounts = m_counts.projects;

    Section library{tr("Library"), {}};
    library.rows.append({SidebarRowKind::Filter, tr("All skills"), QStringLiteral("tray.full.fill"),
                         -1, SidebarFilter::all(), m_context.skillCount(), {}});
    library.rows.append({SidebarRowKind::Filter, tr("Favorites"), QStringLiteral("star.fill"), -1,
                         SidebarFilter::favorites(), favorites, {}});
    if (m_health) {
        library.rows.append({SidebarRowKind::Filter, tr("Needs Attention"), QStringLiteral("exclamationmark.triangle.fill"),
                             -1, SidebarFilter::needsAttention(), m_health->needingAttention(), {}});
    }
    if (turnedOff > 0) {
        library.rows.append({SidebarRowKind::Filter, tr("Turned Off"), QStringLiteral("minus.circle.fill"), -1,
                             SidebarFilter::turnedOff(), turnedOff, {}});
    }

    Section harnesses{tr("Harnesses"), {}};
    for (ToolSource tool : Tools::allCases()) {
        if (toolCounts.at(int(tool)) == 0)
            continue;
        harnesses.rows.append({SidebarRowKind::Filter, Tools::displayName(tool), Tools::symbolName(tool),
                               int(tool), SidebarFilter::tool(tool), toolCounts.at(int(tool)), {}});
    }

    // One row per project that has skills, in the list's natural order.
    Section projects{tr("Projects"), {}};
    QStringList projectNames = projectCounts.keys();
    std::sort(projectNames.begin(), projectNames.end(),
              [](const QString &a, const QString &b) { return compareNaturally(a, b) < 0; });
    for (const QString &project : std::as_const(projectNames)) {
        projects.rows.append({SidebarRowKind::Filter, project, QStringLiteral("folder.fill"), -1,
                              SidebarFilter::project(project), projectCounts.value(project), {}});
    }

    Section collections{tr("Collections"), {}};
    for (SkillCollection *collection : m_context.collections()) {
        collections.rows.append({SidebarRowKind::Filter, collection->name(), collection->icon(), -1,
                                 SidebarFilter::collection(collection->name()),
                                 int(collection->skills().size()), collection});
    }
    collections.rows.append({SidebarRowKind::NewCollection, tr("New collection"),
                             QStringLiteral("plus.circle"), -1, SidebarFilter::all(), 0, {}});

    // A heading with nothing under it (no tool's skills found yet, no project) is left out.
    QList<Section> sections{library};
    if (!harnesses.rows.isEmpty())
        sections.append(harnesses);
    if (!projects.rows.isEmpty())
        sections.append(projects);
    sections.append(collections);
    return sections;
}

bool SidebarModel::sameShape(const QList<Section> &a, const QList<Section> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype s = 0; s < a.size(); ++s) {
        if (a.at(s).rows.size() != b.at(s).rows.size())
            return false;
        for (qsizetype r = 0; r < a.at(s).rows.size(); ++r) {
            const Row &x = a.at(s).rows.at(r);
            const Row &y = b.at(s).rows.at(r);
            if (x.kind != y.kind || x.filter != y.filter || x.collection != y.collection)
                return false;
        }
    }
    return true;
}

void SidebarModel::refresh()
{
    m_pacing.runNow();
}

void SidebarModel::rebuild()
{
    QList<Section> sections = buildSections();
    if (sameShape(m_sections, sections)) {
        // Only the rows whose count or title moved are told: a view answers each
        // with a new size hint and a repaint.
        std::swap(m_sections, sections);
        for (int s = 0; s < m_sections.size(); ++s) {
            const QList<Row> &now = m_sections.at(s).rows;
            const QList<Row> &before = sections.at(s).rows;
            for (int r = 0; r < now.size(); ++r) {
                const Row &row = now.at(r);
                if (row.count == before.at(r).count && row.title == before.at(r).title
                    && row.symbolName == before.at(r).symbolName)
                    continue;
                const QModelIndex changed = index(r, 0, index(s, 0));
                Q_EMIT dataChanged(changed, changed);
            }
        }
        return;
    }
    beginResetModel();
    m_sections = std::move(sections);
    endResetModel();
}

QModelIndex SidebarModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < m_sections.size() ? createIndex(row, 0, sectionId) : QModelIndex();
    if (parent.internalId() != sectionId || parent.row() >= m_sections.size())
        return {};
    if (row >= m_sections.at(parent.row()).rows.size())
        return {};
    return createIndex(row, 0, quintptr(parent.row() + 1));
}

QModelIndex SidebarModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == sectionId)
        return {};
    return createIndex(int(child.internalId() - 1), 0, sectionId);
}

int SidebarModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_sections.size());
    if (parent.internalId() == sectionId && parent.row() < m_sections.size())
        return int(m_sections.at(parent.row()).rows.size());
    return 0;
}

int SidebarModel::columnCount(const QModelIndex &) const
{
    return 1;
}

const SidebarModel::Row *SidebarModel::rowAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == sectionId)
        return nullptr;
    const int section = int(index.internalId() - 1);
    if (section >= m_sections.size() || index.row() >= m_sections.at(section).rows.size())
        return nullptr;
    return &m_sections.at(section).rows.at(index.row());
}

QVariant SidebarModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == sectionId) {
        if (role == Qt::DisplayRole)
            return m_sections.at(index.row()).title;
        if (role == ItemRoles::SidebarRowKindRole)
            return QVariant::fromValue(SidebarRowKind::Section);
        return {};
    }
    const Row *row = rowAt(index);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return row->title;
    case Qt::ToolTipRole:
        return plainToolTip(row->kind == SidebarRowKind::Filter && row->count > 0
                                ? QStringLiteral("%1 (%2)").arg(row->title).arg(row->count) : row->title);
    case ItemRoles::SidebarRowKindRole:
        return QVariant::fromValue(row->kind);
    case ItemRoles::SidebarFilterRole:
        return row->kind == SidebarRowKind::Filter ? QVariant::fromValue(row->filter) : QVariant();
    case ItemRoles::BadgeCountRole:
        return row->count;
    case ItemRoles::SymbolNameRole:
        return row->symbolName;
    case ItemRoles::ToolSourceRole:
        return row->toolSource >= 0 ? QVariant(row->toolSource) : QVariant();
    case ItemRoles::CollectionRole:
        return QVariant::fromValue(row->collection.data());
    default:
        return {};
    }
}

Qt::ItemFlags SidebarModel::flags(const QModelIndex &index) const
{
    const Row *row = rowAt(index);
    if (!row)
        return Qt::ItemIsEnabled;
    if (row->kind == SidebarRowKind::NewCollection)
        return Qt::ItemIsEnabled;
    if (row->collection)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QModelIndex SidebarModel::indexForFilter(const SidebarFilter &filter) const
{
    for (int s = 0; s < m_sections.size(); ++s) {
        const QList<Row> &rows = m_sections.at(s).rows;
        for (int r = 0; r < rows.size(); ++r) {
            if (rows.at(r).kind == SidebarRowKind::Filter && rows.at(r).filter == filter)
                return index(r, 0, index(s, 0));
        }
    }
    return {};
}

QModelIndex SidebarModel::newCollectionIndex() const
{
    const int last = int(m_sections.size()) - 1;
    return index(int(m_sections.at(last).rows.size()) - 1, 0, index(last, 0));
}

QStringList SidebarModel::mimeTypes() const
{
    return {SkillDrag::mimeType()};
}

Qt::DropActions SidebarModel::supportedDropActions() const
{
    return Qt::CopyAction;
}

SkillCollection *SidebarModel::dropTarget(const QMimeData *data, int row, const QModelIndex &parent) const
{
    // Only a drop onto a collection row counts, not between rows.
    if (row != -1 || !data || !data->hasFormat(SkillDrag::mimeType()))
        return nullptr;
    const Row *target = rowAt(parent);
    return target ? target->collection.data() : nullptr;
}

bool SidebarModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int row, int,
                                   const QModelIndex &parent) const
{
    return dropTarget(data, row, parent) != nullptr;
}

bool SidebarModel::dropMimeData(const QMimeData *data, Qt::DropAction, int row, int, const QModelIndex &parent)
{
    SkillCollection *collection = dropTarget(data, row, parent);
    if (!collection)
        return false;
    // A copy: the list offers nothing else, so its rows stay where they are.
    addToCollection(m_context, SkillDrag::decode(data, m_context), *collection);
    return true;
}
