#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class ModelContext;
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

    // Looks now (after a scan); questions are asked once the event loop runs.
    void check();

Q_SIGNALS:
    // A copy was put back into its file.
    void restored(const QString &filePath);

private:
    void askAbout(const QString &copyPath, const QString &filePath);

    ModelContext &m_context;
    QPointer<QWidget> m_window;
    QSet<QString> m_asked; // copies already asked about by this window
};
