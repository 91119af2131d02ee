#pragma once

#include <QObject>

#include <functional>
#include <optional>

class QAction;
class QWidget;

// What the focused editor offers the "Save" command: one closure to call.
struct SaveAction {
    std::function<void()> action;
};

// Implemented by a widget that can save while it, or a widget inside it, has the
// keyboard focus (the skill editor).
class SaveActionProvider
{
public:
    virtual ~SaveActionProvider() = default;
    virtual std::optional<SaveAction> saveAction() const = 0;
};

// The application's "Save" command (Ctrl+S). It asks the focus widget and its
// ancestors for a save action, stays enabled exactly while one is offered, and
// calls it once per press.
class SaveCommand final : public QObject
{
    Q_OBJECT

public:
    explicit SaveCommand(QObject *parent = nullptr);

    QAction *action() const { return m_action; }

    // The save action the focused part of the active window offers, if any.
    static std::optional<SaveAction> focusedSaveAction(QWidget *focus);

    // Re-reads the focused save action, e.g. after an editor changed what it offers.
    void refresh();

private:
    void trigger();

    QAction *m_action = nullptr;
};
