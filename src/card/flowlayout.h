#pragma once

#include <QLayout>
#include <QList>
#include <QPointF>
#include <QSizeF>

#include <optional>

// Where children of the given sizes go when laid out left to right and wrapped
// like words: a child moves to the next line when it would cross `maxWidth`,
// unless it is the first on its line (then it stays and overflows). `spacing`
// separates neighbours on a line and consecutive lines.
struct FlowArrangement {
    // The width is the offered width itself, or infinity when none was offered;
    // the height runs to the bottom of the tallest child of the last line.
    QSizeF size;
    QList<QPointF> positions; // top-left of each child, in child order
    qreal usedWidth = 0;      // right edge of the widest line
};

FlowArrangement arrangeFlow(const QList<QSizeF> &sizes, qreal spacing, std::optional<qreal> maxWidth);

// A layout that wraps its children onto as many lines as the width needs. Each
// child keeps its size hint. The size query and the placement both run
// arrangeFlow(), so the height the layout asks for is the height it fills.
//
// Qt asks for a size hint without offering a width. A Qt size cannot be infinite
// (and QWIDGETSIZE_MAX would make every parent greedy), so that unbounded
// arrangement is reported with the width its single line actually uses.
// The height for a real width comes from heightForWidth(); the minimum width is
// the widest child, so a narrow pane wraps down to one child per line.
class FlowLayout final : public QLayout
{
    Q_OBJECT

public:
    explicit FlowLayout(QWidget *parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    void setGeometry(const QRect &rect) override;

private:
    QList<QLayoutItem *> visibleItems() const; // hidden children take no place and no spacing
    FlowArrangement arrangement(const QList<QLayoutItem *> &items, std::optional<qreal> width) const;

    QList<QLayoutItem *> m_items;
};
