#pragma once

#include <QStyledItemDelegate>

// Paints sidebar rows: section headings, rows with a symbol or harness icon, a
// title and a count badge, and the "New collection" row.
class SidebarDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
