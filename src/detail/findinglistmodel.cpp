#include "detail/findinglistmodel.h"

#include "common/itemroles.h"
#include "common/palettecolors.h"
#include "common/plaintext.h"
#include "common/symbols.h"

#include <QPalette>

FindingListModel::FindingListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

void FindingListModel::setFindings(const QList<Finding> &findings)
{
    if (findings == m_findings)
        return;
    beginResetModel();
    m_findings = findings;
    endResetModel();
}

void FindingListModel::setPalette(const QPalette &palette)
{
    m_palette = palette;
    if (!m_findings.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_findings.size()) - 1), {Qt::DecorationRole});
}

int FindingListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_findings.size());
}

QVariant FindingListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_findings.size())
        return {};
    const Finding &finding = m_findings.at(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        const QString place = finding.line > 0 ? tr("Line %1").arg(finding.line) : tr("File");
        return tr("%1: %2").arg(place, finding.message);
    }
    case Qt::AccessibleTextRole:
        return tr("%1, %2").arg(FindingLevels::name(finding.level), data(index, Qt::DisplayRole).toString());
    case Qt::ToolTipRole:
        return plainToolTip(finding.message + QStringLiteral("\n[") + finding.rule + u']');
    case Qt::DecorationRole:
        switch (finding.level) {
        case FindingLevel::Error:
            return Symbols::icon(QStringLiteral("xmark.circle.fill"), PaletteColors::errorRed(m_palette));
        case FindingLevel::Warning:
            return Symbols::icon(QStringLiteral("exclamationmark.triangle.fill"),
                                 PaletteColors::tint(PaletteColors::Tint::Orange, m_palette));
        case FindingLevel::Note:
            return Symbols::icon(QStringLiteral("info.circle.fill"), PaletteColors::secondaryLabel(m_palette));
        }
        return {};
    case ItemRoles::FindingLineRole:
        return finding.line;
    case ItemRoles::FindingLevelRole:
        return int(finding.level);
    default:
        return {};
    }
}
