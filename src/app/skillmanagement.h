#pragma once

#include "library/files/skilloperations.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class AppState;
class ContentView;
class ModelContext;
class NoticeBar;
class QAction;
class QToolButton;
class QWidget;

// The window's side of the skill operations: the actions of the list's context
// menu and of the card's "Manage" button, each run on every chosen skill with a
// report of what failed, and a notice bar that offers to undo the last one.
class SkillManagement final : public QObject
{
    Q_OBJECT

public:
    SkillManagement(AppState &state, ModelContext &context, ContentView &window, NoticeBar &undoBar);

    // Use In ▸, Stop Using In ▸, Turn Off (or On), Rename…, Move To ▸, Duplicate,
    // Move to Trash, for `skills`; the actions belong to `owner`.
    QList<QAction *> actions(const QList<Skill *> &skills, QObject *owner);
    // A button whose menu holds the same actions for the selected skill.
    QToolButton *makeButton(QWidget *parent);

    // Runs an operation on each skill; what worked can be undone from the bar.
    // Public for the tests, which drive it without menus.
    using Operation = std::function<SkillOperationResult(Skill &skill)>;
    void run(const QString &verb, const QList<Skill *> &skills, const Operation &operation);
    void undoLast();

    // The project folders the library's skills are in, sorted.
    QStringList projects() const;

    // The problems of the last run, one line per skill that failed.
    QStringList lastFailures() const { return m_lastFailures; }

private:
    bool mayChange(const QList<Skill *> &skills);
    void rename(Skill *skill);

    AppState &m_state;
    ModelContext &m_context;
    ContentView &m_window;
    NoticeBar &m_undoBar;
    QList<SkillUndo> m_undo;
    QString m_undoVerb;
    QString m_doneName; // the last skill an operation was done for
    QStringList m_lastFailures;
};
