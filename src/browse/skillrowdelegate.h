#pragma once

#include <QStyledItemDelegate>

// Paints one skill row in two lines: the name, with a yellow star at the trailing
// edge for favorites; below it, small and faint, the description cut to one line
// and, at the trailing edge, where the skill lives.
class SkillRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
