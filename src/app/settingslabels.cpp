#include "app/settingslabels.h"

#include <QLabel>

namespace {
constexpr qreal designBasePoints = 13.0;
}

QFont designFont(const QFont &base, qreal designPoints, bool bold)
{
    QFont font = base;
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * designPoints / designBasePoints);
    font.setBold(bold);
    return font;
}

QLabel *colouredLabel(const QString &text, const QColor &colour, qreal designPoints)
{
    auto *label = new QLabel(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    if (designPoints > 0)
        label->setFont(designFont(label->font(), designPoints));
    return label;
}
