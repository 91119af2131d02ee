#include "common/savecommand.h"

#include <QAction>
#include <QApplication>
#include <QWidget>

SaveCommand::SaveCommand(QObject *parent)
    : QObject(parent)
    , m_action(new QAction(tr("Save"), this))
{
    m_action->setShortcut(QKeySequence::Save);
    m_action->setEnabled(false);
    connect(m_action, &QAction::triggered, this, &SaveCommand::trigger);
    connect(qApp, &QApplication::focusChanged, this, &SaveCommand::refresh);
}

std::optional<SaveAction> SaveCommand::saveActionFor(QWidget *focus, QWidget *activeWindow)
{
    for (QWidget *widget = focus ? focus : activeWindow; widget; widget = widget->parentWidget()) {
        if (const auto *provider = dynamic_cast<const SaveActionProvider *>(widget))
            return provider->saveAction();
        if (widget->isWindow())
            break;
    }
    return std::nullopt;
}

void SaveCommand::refresh()
{
    m_action->setEnabled(saveActionFor(QApplication::focusWidget(), QApplication::activeWindow()).has_value());
}

void SaveCommand::trigger()
{
    // Asked afresh: the menu that triggered this may have held the focus a moment ago.
    if (const auto save = saveActionFor(QApplication::focusWidget(), QApplication::activeWindow());
        save && save->action)
        save->action();
}
