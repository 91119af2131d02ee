#include "detail/segmentedcontrol.h"

#include "common/palettecolors.h"
#include "common/symbols.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int controlHeight = 24;
constexpr int iconSize = 14;
constexpr qreal cornerRadius = 6;
constexpr qreal segmentInset = 2;

} // namespace

SegmentedControl::SegmentedControl(const QStringList &symbolNames, int segmentWidth, QWidget *parent)
    : QWidget(parent)
    , m_symbols(symbolNames)
    , m_segmentWidth(segmentWidth)
{
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setFixedSize(sizeHint());
}

QSize SegmentedControl::sizeHint() const
{
    return {m_segmentWidth * count(), controlHeight};
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index == m_current || index < 0 || index >= count())
        return;
    m_current = index;
    update();
}

QRect SegmentedControl::segmentRect(int index) const
{
    return {index * m_segmentWidth, 0, m_segmentWidth, height()};
}

int SegmentedControl::segmentAt(const QPoint &position) const
{
    for (int i = 0; i < count(); ++i) {
        if (segmentRect(i).contains(position))
            return i;
    }
    return -1;
}

void SegmentedControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colors = palette();
    const bool dark = PaletteColors::isDark(colors);

    painter.setPen(Qt::NoPen);
    painter.setBrush(PaletteColors::badgeBackground(colors));
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);

    for (int i = 0; i < count(); ++i) {
        const QRectF segment = QRectF(segmentRect(i)).adjusted(segmentInset, segmentInset, -segmentInset, -segmentInset);
        if (i == m_current) {
            painter.setPen(QPen(PaletteColors::quaternaryLabel(colors), 0.5));
            painter.setBrush(dark ? colors.color(QPalette::Light) : colors.color(QPalette::Base));
            painter.drawRoundedRect(segment, cornerRadius - 1.5, cornerRadius - 1.5);
        } else if (i == m_hovered) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(PaletteColors::badgeBackground(colors));
            painter.drawRoundedRect(segment, cornerRadius - 1.5, cornerRadius - 1.5);
        }
        const QColor tint = i == m_current ? PaletteColors::label(colors) : PaletteColors::secondaryLabel(colors);
        const QPixmap icon = Symbols::pixmap(m_symbols.at(i), tint, QSize(iconSize, iconSize), devicePixelRatioF());
        const QRect iconRect(QPoint(0, 0), QSize(iconSize, iconSize));
        painter.drawPixmap(iconRect.translated(segmentRect(i).center() - iconRect.center()), icon);
    }
    if (hasFocus()) {
        painter.setPen(QPen(PaletteColors::accent(colors), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), cornerRadius, cornerRadius);
    }
}

void SegmentedControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const int segment = segmentAt(event->position().toPoint());
    if (segment >= 0 && segment != m_current)
        Q_EMIT segmentActivated(segment);
}

void SegmentedControl::mouseMoveEvent(QMouseEvent *event)
{
    const int segment = segmentAt(event->position().toPoint());
    if (segment != m_hovered) {
        m_hovered = segment;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void SegmentedControl::leaveEvent(QEvent *event)
{
    m_hovered = -1;
    update();
    QWidget::leaveEvent(event);
}

void SegmentedControl::keyPressEvent(QKeyEvent *event)
{
    // Space steps round the segments, so a two-way switch flips like a toggle button.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && count() > 1) {
        Q_EMIT segmentActivated((m_current + 1) % count());
        return;
    }
    const int step = event->key() == Qt::Key_Left ? -1 : event->key() == Qt::Key_Right ? 1 : 0;
    const int target = m_current + step;
    if (step == 0 || target < 0 || target >= count())
        return QWidget::keyPressEvent(event);
    Q_EMIT segmentActivated(target);
}
