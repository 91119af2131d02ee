#pragma once

#include <QStyledItemDelegate>

// Paints one skill row: the name, then at the trailing edge the project name in
// a small faint font and a yellow star for favorites.
class SkillRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
