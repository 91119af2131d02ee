#include "card/symboltext.h"

#include "common/symbols.h"
#include "common/monospacefont.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

int SymbolText::symbolSide() const
{
    if (!artwork.isNull())
        return qRound(artwork.height() / artwork.devicePixelRatio());
    if (symbolName.isEmpty())
        return 0;
    return qRound(QFontMetricsF(font).capHeight() * symbolScale);
}

QSize SymbolText::sizeHint() const
{
    const QFontMetricsF metrics(font);
    const int side = symbolSide();
    const qreal textWidth = text.isEmpty() ? 0 : metrics.horizontalAdvance(text);
    const int gap = side > 0 && !text.isEmpty() ? spacing : 0;
    const int height = std::max<int>(side, text.isEmpty() ? 0 : int(std::ceil(metrics.height())));
    return QSize(side + gap + int(std::ceil(textWidth)), height);
}

void SymbolText::paint(QPainter &painter, const QRect &rect, qreal devicePixelRatio) const
{
    const int side = symbolSide();
    int x = rect.left();
    if (!artwork.isNull()) {
        painter.drawPixmap(QPoint(x, rect.top() + (rect.height() - side) / 2), artwork);
        x += side + spacing;
    } else if (side > 0) {
        const QColor tint = symbolColor.isValid() ? symbolColor : color;
        const QPixmap symbol = Symbols::pixmap(symbolName, tint, QSize(side, side), devicePixelRatio);
        painter.drawPixmap(QPoint(x, rect.top() + (rect.height() - side) / 2), symbol);
        x += side + spacing;
    }
    if (text.isEmpty())
        return;
    painter.setFont(font);
    painter.setPen(color);
    const QRect textRect(x, rect.top(), rect.right() - x + 1, rect.height());
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

QFont designFont(qreal points, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

QFont designMonospaceFont(qreal points, QFont::Weight weight)
{
    QFont font = MonospaceFont::system();
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

SymbolLabel::SymbolLabel(const SymbolText &content, QWidget *parent)
    : QWidget(parent)
    , m_content(content)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolLabel::setContent(const SymbolText &content)
{
    m_content = content;
    updateGeometry();
    update();
}

void SymbolLabel::setCapsule(const QColor &fill, const QMargins &padding)
{
    m_fill = fill;
    m_padding = padding;
    updateGeometry();
    update();
}

QSize SymbolLabel::sizeHint() const
{
    return m_content.sizeHint().grownBy(m_padding);
}

QSize SymbolLabel::minimumSizeHint() const
{
    return sizeHint();
}

void SymbolLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_fill.isValid()) {
        const QRectF bounds = QRectF(rect());
        const qreal radius = bounds.height() / 2.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_fill);
        painter.drawRoundedRect(bounds, radius, radius);
    }
    m_content.paint(painter, rect().marginsRemoved(m_padding), devicePixelRatioF());
}

SymbolButton::SymbolButton(const SymbolText &content, QWidget *parent)
    : QAbstractButton(parent)
    , m_content(content)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void SymbolButton::setContent(const SymbolText &content)
{
    m_content = content;
    updateGeometry();
    update();
}

QSize SymbolButton::sizeHint() const
{
    return m_content.sizeHint().grownBy(QMargins(2, 2, 2, 2));
}

void SymbolButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown())
        painter.setOpacity(0.55);
    else if (underMouse())
        painter.setOpacity(0.8);
    m_content.paint(painter, rect().marginsRemoved(QMargins(2, 2, 2, 2)), devicePixelRatioF());
    if (hasFocus()) {
        QPen focus(palette().color(QPalette::Highlight));
        focus.setWidthF(1.5);
        painter.setOpacity(1.0);
        painter.setPen(focus);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 4, 4);
    }
}
