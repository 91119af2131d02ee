#pragma once

#include "library/checks/finding.h"

#include <QAbstractListModel>
#include <QPalette>
#include <QList>

// The findings of the text in the editor, one row each: the level's symbol,
// "Line N" and the message (which says what to do), all plain text.
class FindingListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit FindingListModel(QObject *parent = nullptr);

    void setFindings(const QList<Finding> &findings);
    const QList<Finding> &findings() const { return m_findings; }
    // Recolours the symbols for `palette` (light or dark).
    void setPalette(const QPalette &palette);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QList<Finding> m_findings;
    QPalette m_palette;
};
