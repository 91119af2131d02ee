#include "common/editcommands.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QWidget>

EditCommands::EditCommands(QObject *parent)
    : QObject(parent)
{
    add(tr("Undo"), QKeySequence::Undo, "undo");
    add(tr("Redo"), QKeySequence::Redo, "redo");
    add(tr("Cut"), QKeySequence::Cut, "cut");
    add(tr("Copy"), QKeySequence::Copy, "copy");
    add(tr("Paste"), QKeySequence::Paste, "paste");
    add(tr("Select All"), QKeySequence::SelectAll, "selectAll");
    connect(qApp, &QApplication::focusChanged, this, &EditCommands::refresh);
}

QAction *EditCommands::add(const QString &text, const QKeySequence &keys, const char *command)
{
    auto *action = new QAction(text, this);
    action->setShortcut(keys);
    action->setData(QByteArray(command));
    connect(action, &QAction::triggered, this, [command] {
        // Asked afresh: a menu that was open may have had the focus a moment ago.
        QWidget *focus = QApplication::focusWidget();
        if (offers(focus, command))
            QMetaObject::invokeMethod(focus, command);
    });
    m_actions.append(action);
    return action;
}

bool EditCommands::offers(const QWidget *widget, const char *command)
{
    if (!widget)
        return false;
    const QByteArray signature = QByteArray(command) + "()";
    return widget->metaObject()->indexOfMethod(signature.constData()) >= 0;
}

void EditCommands::refresh()
{
    QWidget *focus = QApplication::focusWidget();
    const auto *line = qobject_cast<const QLineEdit *>(focus);
    const auto *text = qobject_cast<const QPlainTextEdit *>(focus);
    for (QAction *action : std::as_const(m_actions)) {
        const QByteArray command = action->data().toByteArray();
        bool enabled = offers(focus, command.constData());
        // A read-only text takes nothing but Copy and Select All.
        const bool writes = command != "copy" && command != "selectAll";
        if (writes && ((line && line->isReadOnly()) || (text && text->isReadOnly())))
            enabled = false;
        if (command == "undo" && (line || text))
            enabled = enabled && (line ? line->isUndoAvailable() : text->document()->isUndoAvailable());
        if (command == "redo" && (line || text))
            enabled = enabled && (line ? line->isRedoAvailable() : text->document()->isRedoAvailable());
        action->setEnabled(enabled);
    }
}
