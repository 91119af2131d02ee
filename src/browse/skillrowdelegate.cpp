#include "browse/skillrowdelegate.h"

#include "common/itemroles.h"
#include "common/palettecolors.h"
#include "common/symbols.h"

#include <QCoreApplication>
#include <QPainter>

QSize SkillRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return {0, option.fontMetrics.height() + 4 + 4 + 8};
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

    const QRect content = rect.adjusted(10, 0, -10, 0);
    int right = content.right();
    const qreal dpr = painter->device()->devicePixelRatioF();

    if (index.data(ItemRoles::IsFavoriteRole).toBool()) {
        const int size = std::max(10, option.fontMetrics.height() * 2 / 3);
        const QRect star(right - size + 1, content.center().y() - size / 2 + 1, size, size);
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
        const QRect badge(right - width + 1, content.center().y() - height / 2, width, height);
        const QColor color = onAccent ? palette.color(QPalette::HighlightedText) : PaletteColors::secondaryLabel(palette);
        painter->setPen(QPen(color, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(badge).adjusted(0.5, 0.5, -0.5, -0.5), height / 2.0, height / 2.0);
        painter->drawText(badge, Qt::AlignCenter, text);
        right = badge.left() - 8;
    }

    const QString project = index.data(ItemRoles::ProjectNameRole).toString();
    if (!project.isEmpty()) {
        QFont caption = option.font;
        caption.setPointSizeF(caption.pointSizeF() * 0.85);
        painter->setFont(caption);
        const QFontMetrics metrics = painter->fontMetrics();
        const int width = std::min(metrics.horizontalAdvance(project) + 1, content.width() / 2);
        const QRect projectRect(right - width + 1, content.top(), width, content.height());
        painter->setPen(onAccent ? QColor(255, 255, 255, 190) : PaletteColors::tertiaryLabel(palette));
        painter->drawText(projectRect, Qt::AlignRight | Qt::AlignVCenter,
                          metrics.elidedText(project, Qt::ElideRight, width));
        right = projectRect.left() - 8;
    }

    painter->setFont(option.font);
    QColor nameColor = onAccent ? palette.color(QPalette::HighlightedText) : PaletteColors::label(palette);
    if (turnedOff)
        nameColor.setAlphaF(nameColor.alphaF() * 0.55);
    painter->setPen(nameColor);
    const QRect nameRect(content.left(), content.top(), right - content.left(), content.height());
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                    nameRect.width()));
    painter->restore();
}
