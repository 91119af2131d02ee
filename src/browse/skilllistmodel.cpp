#include "browse/skilllistmodel.h"

#include "common/plaintext.h"
#include "common/appstate.h"
#include "common/itemroles.h"
#include "browse/skilldrag.h"
#include "browse/skillfilter.h"
#include "library/catalogue/settingskeys.h"
#include "library/catalogue/turnedoff.h"
#include "library/checks/libraryhealth.h"
#include "library/store/modelcontext.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

SkillListModel::SkillListModel(AppState &state, ModelContext &context, QObject *parent)
    : QAbstractListModel(parent)
    , m_state(state)
    , m_context(context)
{
    connect(&m_context, &ModelContext::changed, this, [this] {
        m_search.forget();
        scheduleRefresh();
    });
    connect(&m_context, &ModelContext::skillAboutToBeRemoved, this, &SkillListModel::dropSkill);
    connect(&m_state, &AppState::sidebarFilterChanged, this, &SkillListModel::refresh);
    connect(&m_state, &AppState::searchTextChanged, this, &SkillListModel::refresh);
    refresh();
}

void SkillListModel::setHealth(LibraryHealth *health)
{
    if (m_health)
        disconnect(m_health, nullptr, this, nullptr);
    m_health = health;
    if (health)
        connect(health, &LibraryHealth::changed, this, &SkillListModel::healthChanged);
    scheduleRefresh();
}

void SkillListModel::healthChanged()
{
    // Only "Needs Attention" lists by the findings; anywhere else the same rows
    // stay and only their marks change, without a pass over every record.
    if (m_state.sidebarFilter().kind() == SidebarFilter::Kind::NeedsAttention) {
        scheduleRefresh();
        return;
    }
    if (!m_skills.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_skills.size()) - 1));
}

QString SkillListModel::healthSummary(int errors, int warnings)
{
    const QString errorText = errors == 1 ? tr("1 error") : tr("%L1 errors").arg(errors);
    const QString warningText = warnings == 1 ? tr("1 warning") : tr("%L1 warnings").arg(warnings);
    if (errors > 0 && warnings > 0)
        return tr("%1, %2").arg(errorText, warningText);
    if (errors > 0)
        return errorText;
    return warnings > 0 ? warningText : QString();
}

void SkillListModel::refresh()
{
    m_pacing.runNow();
}

void SkillListModel::rebuild()
{
    m_customRoots = readCustomScanPaths();
    m_turnedOffFolder = turnedOffFolder();
    const QList<Skill *> filtered = m_search.filter(filterBySidebar(m_context.skills(), m_state.sidebarFilter(), m_health),
                                                    m_state.searchText());
    bool same = filtered.size() == m_skills.size();
    for (qsizetype i = 0; same && i < filtered.size(); ++i)
        same = filtered.at(i) == m_skills.at(i);
    if (same) {
        if (!m_skills.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_skills.size()) - 1));
        return;
    }
    m_tellingRuns = true;
    const bool told = applyAsInsertsAndRemovals(filtered);
    m_tellingRuns = false;
    if (told) {
        Q_EMIT rowsSettled();
    } else {
        beginResetModel();
        m_skills = filtered;
        endResetModel();
    }
}

bool SkillListModel::applyAsInsertsAndRemovals(const QList<Skill *> &wanted)
{
    // Skills that came or went, the others staying in the same order (a scan
    // adding records, a filter narrowing): told as such, a view keeps its
    // selection and scroll position, and lays out only what changed. Anything
    // else (a rename that moved a row) is a reset.
    if (wanted.isEmpty() || m_skills.isEmpty()) {
        // Every row goes (a search matching nothing) or every row comes: one run,
        // nothing to compare.
        if (!m_skills.isEmpty()) {
            beginRemoveRows({}, 0, int(m_skills.size()) - 1);
            m_skills.clear();
            endRemoveRows();
        }
        if (!wanted.isEmpty()) {
            beginInsertRows({}, 0, int(wanted.size()) - 1);
            m_skills = wanted;
            endInsertRows();
        }
        return true;
    }
    // Rows that only come (a scan adding records, a search widening) or only go
    // (a search narrowing) are told apart by one walk over both lists; a first
    // scan of a large library refreshes the list many times with this.
    if (const std::optional<bool> applied = applyOneWay(wanted))
        return *applied;
    QSet<const Skill *> kept;
    kept.reserve(wanted.size());
    for (const Skill *skill : wanted)
        kept.insert(skill);
    QSet<const Skill *> had;
    had.reserve(m_skills.size());
    for (const Skill *skill : std::as_const(m_skills))
        had.insert(skill);
    qsizetype j = 0;
    for (const Skill *skill : std::as_const(m_skills)) {
        if (!kept.contains(skill))
            continue;
        while (j < wanted.size() && !had.contains(wanted.at(j)))
            ++j;
        if (j == wanted.size() || wanted.at(j) != skill)
            return false; // the order of the remaining rows changed
        ++j;
    }

    int runs = 0;
    for (qsizetype row = 0; row < m_skills.size() && runs <= mostRuns; ++row) {
        if (!kept.contains(m_skills.at(row)) && (row == 0 || kept.contains(m_skills.at(row - 1))))
            ++runs;
    }
    for (qsizetype row = 0; row < wanted.size() && runs <= mostRuns; ++row) {
        if (!had.contains(wanted.at(row)) && (row == 0 || had.contains(wanted.at(row - 1))))
            ++runs;
    }
    if (runs > mostRuns)
        return false;

    // Removals first, from the end, then insertions from the start. Once the
    // removals are done, the rows are those of `wanted` that were here already.
    removeRuns([&](qsizetype row) { return !kept.contains(m_skills.at(row)); });
    insertRuns(wanted, [&](qsizetype row) { return !had.contains(wanted.at(row)); });
    return true;
}

template <typename IsGone>
void SkillListModel::removeRuns(IsGone isGone)
{
    for (qsizetype row = m_skills.size() - 1; row >= 0; --row) {
        if (!isGone(row))
            continue;
        qsizetype first = row;
        while (first > 0 && isGone(first - 1))
            --first;
        beginRemoveRows({}, int(first), int(row));
        m_skills.remove(first, row - first + 1);
        endRemoveRows();
        row = first;
    }
}

template <typename IsNew>
void SkillListModel::insertRuns(const QList<Skill *> &wanted, IsNew isNew)
{
    for (qsizetype row = 0; row < wanted.size(); ++row) {
        if (!isNew(row))
            continue;
        qsizetype last = row;
        while (last + 1 < wanted.size() && isNew(last + 1))
            ++last;
        beginInsertRows({}, int(row), int(last));
        // The rows after the run move once, not once for each new row: a first
        // scan brings tens of thousands of rows in a few runs.
        m_skills.insert(row, last - row + 1, nullptr);
        for (qsizetype i = row; i <= last; ++i)
            m_skills[i] = wanted.at(i);
        endInsertRows();
        row = last;
    }
}

std::optional<bool> SkillListModel::applyOneWay(const QList<Skill *> &wanted)
{
    const QList<Skill *> &longer = wanted.size() >= m_skills.size() ? wanted : m_skills;
    const QList<Skill *> &shorter = wanted.size() >= m_skills.size() ? m_skills : wanted;
    // Whether the shorter list is the longer one with some rows left out, and
    // where: records are distinct, so matching greedily decides it.
    QList<bool> inShorter(longer.size(), false);
    qsizetype j = 0;
    int runs = 0;
    for (qsizetype i = 0; i < longer.size(); ++i) {
        if (j < shorter.size() && longer.at(i) == shorter.at(j)) {
            inShorter[i] = true;
            ++j;
        } else if (i == 0 || inShorter.at(i - 1)) {
            ++runs;
        }
    }
    if (j < shorter.size())
        return std::nullopt; // rows came and went, or moved: the general way
    if (runs > mostRuns)
        return false;
    if (&longer == &m_skills)
        removeRuns([&](qsizetype row) { return !inShorter.at(row); });
    else
        insertRuns(wanted, [&](qsizetype row) { return !inShorter.at(row); });
    return true;
}

void SkillListModel::dropSkill(Skill *skill)
{
    const int row = rowOf(skill);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    m_skills.removeAt(row);
    endRemoveRows();
}

bool SkillListModel::sharesItsName(int row) const
{
    // The rows keep the library's order, names in natural order, where only
    // identical names compare equal: rows sharing a name are neighbours. Asked
    // of the rows shown, rather than of every row at each refresh: a first scan
    // of a large library refreshes often, and each look reads two records.
    const Skill &skill = *m_skills.at(row);
    return (row > 0 && m_skills.at(row - 1)->hasSameNameAs(skill))
        || (row + 1 < m_skills.size() && m_skills.at(row + 1)->hasSameNameAs(skill));
}

int SkillListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_skills.size());
}

Skill *SkillListModel::skillAt(int row) const
{
    return row >= 0 && row < m_skills.size() ? m_skills.at(row) : nullptr;
}

int SkillListModel::rowOf(const Skill *skill) const
{
    for (int row = 0; row < m_skills.size(); ++row) {
        if (m_skills.at(row) == skill)
            return row;
    }
    return -1;
}

QVariant SkillListModel::data(const QModelIndex &index, int role) const
{
    const Skill *skill = index.isValid() ? skillAt(index.row()) : nullptr;
    if (!skill)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return skill->name();
    case Qt::ToolTipRole: {
        const QString about = skill->skillDescription().isEmpty() ? skill->name() : skill->skillDescription();
        const QString health = data(index, ItemRoles::HealthSummaryRole).toString();
        return plainToolTip(health.isEmpty() ? about : about + u'\n' + health);
    }
    case Qt::AccessibleDescriptionRole:
    case ItemRoles::HealthSummaryRole: {
        const LibraryHealth::Tally tally = m_health ? m_health->tally(*skill) : LibraryHealth::Tally();
        return healthSummary(tally.errors, tally.warnings);
    }
    case ItemRoles::HealthLevelRole: {
        const LibraryHealth::Tally tally = m_health ? m_health->tally(*skill) : LibraryHealth::Tally();
        return int(tally.errors > 0 ? HealthLevel::Error : tally.warnings > 0 ? HealthLevel::Warning : HealthLevel::None);
    }
    case ItemRoles::SkillRole:
        return QVariant::fromValue(const_cast<Skill *>(skill));
    case ItemRoles::ProjectNameRole:
        return skill->projectName(m_customRoots, m_turnedOffFolder).value_or(QString());
    case ItemRoles::DescriptionRole:
        return skill->skillDescription().simplified();
    case ItemRoles::LocationRole:
        return locationText(*skill, skill->projectName(m_customRoots, m_turnedOffFolder), sharesItsName(index.row()));
    case ItemRoles::IsFavoriteRole:
        return skill->isFavorite();
    case ItemRoles::IsTurnedOffRole:
        return isTurnedOffPath(skill->resolvedPath(), m_turnedOffFolder);
    default:
        return {};
    }
}

QString SkillListModel::locationText(const Skill &skill, const std::optional<QString> &project, bool withFolder)
{
    QString text = project && !project->isEmpty() ? *project : tr("Global");
    if (!withFolder)
        return text;
    // The tool folder is the one holding the skill: its folder's parent for a
    // skill folder, the file's own folder for a single file. Its last two parts
    // name it (".claude/skills", ".agents/skills").
    QDir folder = QFileInfo(skill.filePath()).dir();
    if (skill.isDirectory())
        folder.cdUp();
    const QStringList parts = folder.absolutePath().split(u'/', Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        text += QStringLiteral(" · ") + parts.mid(qMax(0, int(parts.size()) - 2)).join(u'/');
    return text;
}

Qt::ItemFlags SkillListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractListModel::flags(index);
    if (index.isValid())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList SkillListModel::mimeTypes() const
{
    return {SkillDrag::mimeType()};
}

QMimeData *SkillListModel::mimeData(const QModelIndexList &indexes) const
{
    QList<Skill *> skills;
    for (const QModelIndex &index : indexes) {
        if (Skill *skill = skillAt(index.row()); skill && !skills.contains(skill))
            skills.append(skill);
    }
    return SkillDrag::encode(skills);
}

Qt::DropActions SkillListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}
