#pragma once

#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QWidget;

// What an editor with unsaved text offers the "Save" command: one closure to call.
struct SaveAction {
    std::function<void()> action;
};

// Implemented by a widget that can save: the skill editor, and the window that
// shows it (so Save reaches the editor wherever the focus is in that window).
class SaveActionProvider
{
public:
    virtual ~SaveActionProvider() = default;
    virtual std::optional<SaveAction> saveAction() const = 0;
};

// The application's "Save" command (Ctrl+S). It asks the focus widget and its
// ancestors, up to the window, for a save action (the active window when nothing
// has the focus), stays enabled exactly while one is offered, and calls it once per
// press. Clicking the search field, cancelling a prompt or closing a menu moves the
// focus, never what Save saves.
class SaveCommand final : public QObject
{
    Q_OBJECT

public:
    explicit SaveCommand(QObject *parent = nullptr);

    QAction *action() const { return m_action; }

    // The save action `focus` or its window offers, if any; with no focus, the
    // one `activeWindow` offers.
    static std::optional<SaveAction> saveActionFor(QWidget *focus, QWidget *activeWindow);

    // Re-reads the focused save action, e.g. after an editor changed what it offers.
    void refresh();

private:
    void trigger();

    QAction *m_action = nullptr;
};
