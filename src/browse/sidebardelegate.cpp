#include "browse/sidebardelegate.h"

#include "common/itemroles.h"
#include "common/palettecolors.h"
#include "common/symbols.h"
#include "common/toolicon.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int horizontalMargin = 8;
constexpr int iconSize = 16;

SidebarRowKind kindOf(const QModelIndex &index)
{
    return index.data(ItemRoles::SidebarRowKindRole).value<SidebarRowKind>();
}

} // namespace

QSize SidebarDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int line = option.fontMetrics.height();
    if (kindOf(index) == SidebarRowKind::Section)
        return {0, line + 16};
    return {0, std::max(28, line + 12)};
}

void SidebarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &palette = option.palette;
    const QRect rect = option.rect.adjusted(horizontalMargin, 0, -horizontalMargin, 0);
    const QString title = index.data(Qt::DisplayRole).toString();
    const SidebarRowKind kind = kindOf(index);

    if (kind == SidebarRowKind::Section) {
        QFont font = option.font;
        font.setPointSizeF(font.pointSizeF() * 0.85);
        font.setWeight(QFont::DemiBold);
        painter->setFont(font);
        painter->setPen(PaletteColors::tertiaryLabel(palette));
        painter->drawText(rect.adjusted(4, 0, 0, -4), Qt::AlignLeft | Qt::AlignBottom, title);
        painter->restore();
        return;
    }

    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    const QRect pill = rect.adjusted(0, 1, 0, -1);
    if (selected) {
        const bool active = option.state & QStyle::State_Active;
        const QColor fill = active ? PaletteColors::accent(palette) : PaletteColors::inactiveSelectionFill(palette);
        painter->setPen(Qt::NoPen);
        painter->setBrush(fill);
        painter->drawRoundedRect(pill, 6, 6);
    } else if (hovered) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(PaletteColors::hoverFill(palette));
        painter->drawRoundedRect(pill, 6, 6);
    }
    const bool onAccent = selected && (option.state & QStyle::State_Active);
    const QColor text = onAccent ? palette.color(QPalette::HighlightedText)
        : kind == SidebarRowKind::NewCollection ? PaletteColors::secondaryLabel(palette)
                                                : PaletteColors::label(palette);

    // Icon
    const QRect iconRect(rect.left() + 8, rect.center().y() - iconSize / 2 + 1, iconSize, iconSize);
    const qreal dpr = painter->device()->devicePixelRatioF();
    const QVariant tool = index.data(ItemRoles::ToolSourceRole);
    QPixmap icon;
    if (tool.isValid()) {
        icon = toolPixmap(ToolSource(tool.toInt()), iconSize, dpr, text);
    } else {
        const QColor tint = onAccent ? text
            : kind == SidebarRowKind::NewCollection ? PaletteColors::secondaryLabel(palette)
                                                    : PaletteColors::sidebarSymbol(palette);
        icon = Symbols::pixmap(index.data(ItemRoles::SymbolNameRole).toString(), tint,
                               QSize(iconSize, iconSize), dpr);
    }
    painter->drawPixmap(iconRect, icon);

    // Badge
    int textRight = rect.right() - 8;
    const int count = index.data(ItemRoles::BadgeCountRole).toInt();
    if (kind == SidebarRowKind::Filter && count > 0) {
        QFont badgeFont = option.font;
        badgeFont.setPointSizeF(badgeFont.pointSizeF() * 0.85);
        badgeFont.setWeight(QFont::Medium);
        painter->setFont(badgeFont);
        const QFontMetrics metrics = painter->fontMetrics();
        const QString number = QString::number(count);
        const int width = std::max(metrics.horizontalAdvance(number) + 12, 22);
        const int height = metrics.height() + 2;
        const QRect badge(rect.right() - 6 - width, rect.center().y() - height / 2 + 1, width, height);
        painter->setPen(Qt::NoPen);
        painter->setBrush(onAccent ? PaletteColors::badgeBackgroundOnAccent(palette) : PaletteColors::badgeBackground(palette));
        painter->drawRoundedRect(badge, height / 2.0, height / 2.0);
        painter->setFont(badgeFont);
        painter->setPen(onAccent ? text : PaletteColors::secondaryLabel(palette));
        painter->drawText(badge, Qt::AlignCenter, number);
        textRight = badge.left() - 6;
    }

    // Title
    painter->setFont(option.font);
    painter->setPen(text);
    const QRect textRect(iconRect.right() + 8, rect.top(), textRight - iconRect.right() - 8, rect.height());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(title, Qt::ElideRight, textRect.width()));
    painter->restore();
}
