#include "card/flowlayout.h"

#include <QWidget>

#include <cmath>
#include <limits>

FlowArrangement arrangeFlow(const QList<QSizeF> &sizes, qreal spacing, std::optional<qreal> maxWidth)
{
    const qreal lineWidth = maxWidth.value_or(std::numeric_limits<qreal>::infinity());
    FlowArrangement result;
    result.positions.reserve(sizes.size());
    qreal x = 0;
    qreal y = 0;
    qreal lineHeight = 0;
    for (const QSizeF &size : sizes) {
        if (x > 0 && x + size.width() > lineWidth) {
            y = y + lineHeight + spacing;
            x = 0;
            lineHeight = 0;
        }
        result.positions.append(QPointF(x, y));
        result.usedWidth = std::max(result.usedWidth, x + size.width());
        lineHeight = std::max(lineHeight, size.height());
        x = x + size.width() + spacing;
    }
    result.size = QSizeF(lineWidth, y + lineHeight);
    return result;
}

FlowLayout::FlowLayout(QWidget *parent, int spacing)
    : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(spacing);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
    invalidate();
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem *FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem *item = m_items.takeAt(index);
    invalidate();
    return item;
}

QList<QLayoutItem *> FlowLayout::visibleItems() const
{
    QList<QLayoutItem *> visible;
    visible.reserve(m_items.size());
    for (QLayoutItem *item : m_items) {
        if (!item->isEmpty())
            visible.append(item);
    }
    return visible;
}

FlowArrangement FlowLayout::arrangement(const QList<QLayoutItem *> &items, std::optional<qreal> width) const
{
    QList<QSizeF> sizes;
    sizes.reserve(items.size());
    for (const QLayoutItem *item : items)
        sizes.append(QSizeF(item->sizeHint()));
    return arrangeFlow(sizes, spacing(), width);
}

QSize FlowLayout::sizeHint() const
{
    const FlowArrangement flow = arrangement(visibleItems(), std::nullopt);
    const QMargins margins = contentsMargins();
    return QSize(int(std::ceil(flow.usedWidth)) + margins.left() + margins.right(),
                 int(std::ceil(flow.size.height())) + margins.top() + margins.bottom());
}

QSize FlowLayout::minimumSize() const
{
    QSize widest(0, 0);
    for (const QLayoutItem *item : visibleItems())
        widest = widest.expandedTo(item->sizeHint());
    const QMargins margins = contentsMargins();
    return widest + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const qreal inner = std::max(0, width - margins.left() - margins.right());
    return int(std::ceil(arrangement(visibleItems(), inner).size.height())) + margins.top() + margins.bottom();
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QRect inner = rect.marginsRemoved(contentsMargins());
    const QList<QLayoutItem *> items = visibleItems();
    const FlowArrangement flow = arrangement(items, qreal(inner.width()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QPointF position = flow.positions.at(i);
        items.at(i)->setGeometry(QRect(inner.topLeft() + QPoint(qRound(position.x()), qRound(position.y())),
                                       items.at(i)->sizeHint()));
    }
}
