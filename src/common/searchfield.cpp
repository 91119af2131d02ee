#include "common/searchfield.h"

#include <QKeyEvent>

void SearchField::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !text().isEmpty()) {
        clear();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier) {
        Q_EMIT resultsRequested();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
