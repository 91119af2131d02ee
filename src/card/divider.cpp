#include "card/divider.h"

#include "common/palettecolors.h"

#include <QPainter>

Divider::Divider(Qt::Orientation orientation, int length, QWidget *parent)
    : QWidget(parent)
    , m_orientation(orientation)
    , m_length(length)
{
    if (orientation == Qt::Horizontal)
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    else
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Divider::sizeHint() const
{
    return m_orientation == Qt::Horizontal ? QSize(m_length, 1) : QSize(1, m_length);
}

void Divider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor line = PaletteColors::faded(PaletteColors::label(palette()),
                                             PaletteColors::isDark(palette()) ? 0.18 : 0.12);
    painter.fillRect(m_orientation == Qt::Horizontal ? QRect(0, 0, width(), 1) : QRect(0, 0, 1, height()), line);
}
