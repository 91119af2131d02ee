#pragma once

#include <QList>
#include <QObject>

class QAction;
class QWidget;

// The Edit menu's standard commands: Undo, Redo, Cut, Copy, Paste and Select All.
// Each acts on the widget with the keyboard focus, whichever it is (the editor,
// the search field, a field in a sheet), and is enabled while that widget can
// take it. The focused widget keeps its own keys: these actions are for the menu
// and for widgets that do not handle the keys themselves.
class EditCommands final : public QObject
{
    Q_OBJECT

public:
    explicit EditCommands(QObject *parent = nullptr);

    QList<QAction *> actions() const { return m_actions; }

    // Enables each command the focused widget offers; call before the menu shows.
    void refresh();

    // Whether `widget` has the slot `command` ("undo", "copy", …) with no arguments.
    static bool offers(const QWidget *widget, const char *command);

private:
    QAction *add(const QString &text, const QKeySequence &keys, const char *command);

    QList<QAction *> m_actions;
};
