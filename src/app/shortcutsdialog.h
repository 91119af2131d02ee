#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

class QDialog;
class QMenuBar;
class QWidget;

// One line of the keyboard shortcuts list: what the keys do, and the keys.
struct ShortcutRow {
    QString command; // "File ▸ Save"
    QString keys;    // as the desktop writes them ("Ctrl+S")
};

// Every menu command that has a shortcut, menu by menu, followed by the keys
// that belong to one place in the window (the search field, the list, the
// editor) and so have no menu item.
QList<ShortcutRow> shortcutRows(const QMenuBar *bar);

// Help ▸ Keyboard Shortcuts: the rows above in a window of their own.
QDialog *createShortcutsDialog(const QMenuBar *bar, QWidget *parent);
