#include "common/plaintext.h"

#include <QTextDocument>

QString plainToolTip(const QString &text)
{
    // Only text Qt would take for markup needs spelling out; the rest stays as it is.
    if (!Qt::mightBeRichText(text))
        return text;
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}
