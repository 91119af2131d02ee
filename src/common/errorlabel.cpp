#include "common/errorlabel.h"

ErrorLabel::ErrorLabel(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("error"));
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    setFont(small);
    QPalette red = palette();
    red.setColor(QPalette::WindowText, QColor(0xd7, 0x3a, 0x32));
    setPalette(red);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    hide();
}

void ErrorLabel::showError(const QString &message)
{
    setText(message);
    show();
}
