#include "browse/skillrowdelegate.h"

#include "common/itemroles.h"
#include "common/palettecolors.h"
#include "common/symbols.h"

#include <QCoreApplication>
#include <QPainter>

namespace {

QFont captionFont(const QFont &base)
{
    QFont caption = base;
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    return caption;
}

// The mark of a row whose checks found errors (red) or warnings (orange), deep on
// a light background and bright on a dark one, so it keeps its contrast in both.
QColor markColor(HealthLevel level, const QPalette &palette)
{
    const bool dark = PaletteColors::isDark(palette);
    if (level == HealthLevel::Error)
        return dark ? QColor(0xff, 0x6b, 0x61) : QColor(0xc4, 0x2b, 0x1c);
    return dark ? QColor(0xff, 0xa9, 0x4d) : QColor(0xb3, 0x5c, 0x00);
}

constexpr int verticalPadding = 6;
constexpr int lineGap = 1;

} // namespace

QSize SkillRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const QFontMetrics caption(captionFont(option.font));
    return {0, verticalPadding + option.fontMetrics.height() + lineGap + caption.height() + verticalPadding + 2};
}

void SkillRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &palette = option.palette;
    const QRect rect = option.rect.adjusted(6, 1, -6, -1);
    const bool selected = option.state & QStyle::State_Selected;
    const bool active = option.state & QStyle::State_Active;
    const bool onAccent = selected && active;

    if (selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(onAccent ? PaletteColors::accent(palette)
                                   : PaletteColors::inactiveSelectionFill(palette));
        painter->drawRoundedRect(rect, 6, 6);
    } else if (option.state & QStyle::State_MouseOver) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(PaletteColors::hoverFill(palette));
        painter->drawRoundedRect(rect, 6, 6);
    }

    // The row the keyboard is on, while the list has the focus: a ring, so Tab
    // into the list shows where the keys act even on a selected row.
    if (option.state & QStyle::State_HasFocus) {
        const QColor ring = onAccent ? palette.color(QPalette::HighlightedText) : PaletteColors::accent(palette);
        painter->setPen(QPen(ring, 1.5));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 5, 5);
    }

    const QRect content = rect.adjusted(10, verticalPadding - 1, -10, -(verticalPadding - 1));
    const QFont captionFace = captionFont(option.font);
    const QFontMetrics captionMetrics(captionFace);
    const QRect nameLine(content.left(), content.top(), content.width(), option.fontMetrics.height());
    const QRect captionLine(content.left(), nameLine.bottom() + 1 + lineGap, content.width(), captionMetrics.height());
    int right = nameLine.right();
    const qreal dpr = painter->device()->devicePixelRatioF();

    const auto health = HealthLevel(index.data(ItemRoles::HealthLevelRole).toInt());
    if (health != HealthLevel::None) {
        const int size = std::max(11, option.fontMetrics.height() * 5 / 6);
        const QRect mark(right - size + 1, nameLine.center().y() - size / 2 + 1, size, size);
        const QColor color = onAccent ? palette.color(QPalette::HighlightedText) : markColor(health, palette);
        const QString symbol = health == HealthLevel::Error ? QStringLiteral("xmark.circle.fill")
                                                            : QStringLiteral("exclamationmark.triangle.fill");
        painter->drawPixmap(mark, Symbols::pixmap(symbol, color, mark.size(), dpr));
        right = mark.left() - 6;
    }

    if (index.data(ItemRoles::IsFavoriteRole).toBool()) {
        const int size = std::max(10, option.fontMetrics.height() * 2 / 3);
        const QRect star(right - size + 1, nameLine.center().y() - size / 2 + 1, size, size);
        const QColor color = onAccent ? palette.color(QPalette::HighlightedText) : PaletteColors::favoriteStar(palette);
        painter->drawPixmap(star, Symbols::pixmap(QStringLiteral("star.fill"), color, star.size(), dpr));
        right = star.left() - 8;
    }

    // A turned-off skill: an "Off" capsule, and its name dimmed.
    const bool turnedOff = index.data(ItemRoles::IsTurnedOffRole).toBool();
    if (turnedOff) {
        QFont caption = option.font;
        caption.setPointSizeF(caption.pointSizeF() * 0.8);
        caption.setBold(true);
        painter->setFont(caption);
        const QFontMetrics metrics = painter->fontMetrics();
        const QString text = QCoreApplication::translate("SkillRowDelegate", "Off");
        const int width = metrics.horizontalAdvance(text) + 12;
        const int height = metrics.height() + 2;
        const QRect badge(right - width + 1, nameLine.center().y() - height / 2, width, height);
        const QColor color = onAccent ? palette.color(QPalette::HighlightedText) : PaletteColors::secondaryLabel(palette);
        painter->setPen(QPen(color, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(badge).adjusted(0.5, 0.5, -0.5, -0.5), height / 2.0, height / 2.0);
        painter->drawText(badge, Qt::AlignCenter, text);
        right = badge.left() - 8;
    }

    painter->setFont(option.font);
    QColor nameColor = onAccent ? palette.color(QPalette::HighlightedText) : PaletteColors::label(palette);
    if (turnedOff)
        nameColor.setAlphaF(nameColor.alphaF() * 0.55);
    painter->setPen(nameColor);
    const QRect nameRect(nameLine.left(), nameLine.top(), right - nameLine.left(), nameLine.height());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                        nameRect.width()));

    // The second line: where the skill lives at the trailing edge (never more than
    // half the row), the description in the room left, both cut to one line.
    painter->setFont(captionFace);
    const QColor faint = onAccent ? QColor(255, 255, 255, 190) : PaletteColors::secondaryLabel(palette);
    int captionRight = captionLine.right();
    const QString location = index.data(ItemRoles::LocationRole).toString();
    if (!location.isEmpty()) {
        const int width = std::min(captionMetrics.horizontalAdvance(location) + 1, captionLine.width() / 2);
        const QRect locationRect(captionRight - width + 1, captionLine.top(), width, captionLine.height());
        painter->setPen(onAccent ? QColor(255, 255, 255, 170) : PaletteColors::tertiaryLabel(palette));
        painter->drawText(locationRect, Qt::AlignRight | Qt::AlignVCenter,
                          captionMetrics.elidedText(location, Qt::ElideMiddle, width));
        captionRight = locationRect.left() - 8;
    }
    const QString description = index.data(ItemRoles::DescriptionRole).toString();
    if (!description.isEmpty() && captionRight > captionLine.left()) {
        const QRect descriptionRect(captionLine.left(), captionLine.top(), captionRight - captionLine.left(),
                                    captionLine.height());
        painter->setPen(faint);
        painter->drawText(descriptionRect, Qt::AlignLeft | Qt::AlignVCenter,
                          captionMetrics.elidedText(description, Qt::ElideRight, descriptionRect.width()));
    }
    painter->restore();
}
