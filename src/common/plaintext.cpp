#include "common/plaintext.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

QString plainToolTip(const QString &text)
{
    // Only text Qt would take for markup needs spelling out; the rest stays as it is.
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

void showAsPlainText(QMessageBox *box)
{
    box->setTextFormat(Qt::PlainText);
    for (QLabel *label : box->findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
}
