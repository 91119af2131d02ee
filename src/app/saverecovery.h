#pragma once

#include "library/files/savebackups.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class ModelContext;
class Skill;
class QWidget;

// Looks beside the library's skill files for what an interrupted save left:
// removes stale temporaries of its own and, for each copy of a previous text,
// asks whether to put it back or throw it away. A copy the user puts off is
// asked about again when Vesk next starts.
class SaveRecovery final : public QObject
{
    Q_OBJECT

public:
    SaveRecovery(ModelContext &context, QWidget *window);

    // Looks now (after a scan), on a worker: the first time in every record's
    // folders (a large library has thousands to list), later only in those of
    // records added or changed since. Questions are asked once the look is over;
    // a check asked for meanwhile runs when it is.
    void check();

Q_SIGNALS:
    // A copy was put back into its file.
    void restored(const QString &filePath);

private:
    void noteFolders(const Skill *skill);
    void looked();
    void askAbout(const QString &copyPath, const QString &filePath);

    ModelContext &m_context;
    QPointer<QWidget> m_window;
    QSet<QString> m_asked; // copies already asked about by this window
    QFutureWatcher<SaveLeftovers> m_looking;
    QSet<QString> m_pending; // folders of records added or changed since the last look
    bool m_lookedEverywhere = false;
    bool m_lookAgain = false;
};
