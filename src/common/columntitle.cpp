#include "common/columntitle.h"

ColumnTitle::ColumnTitle(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setObjectName(QStringLiteral("columnTitle"));
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.15);
    heading.setWeight(QFont::DemiBold);
    setFont(heading);
    setContentsMargins(16, 12, 16, 8);
    setTextFormat(Qt::PlainText);
    setFixedHeight(QFontMetrics(heading).height() + 20);
}
