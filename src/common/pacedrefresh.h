#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs a model's refresh once for any number of requests, on a later turn of
// the event loop. A refresh that goes over the whole library costs more as the
// library grows; while changes keep coming (a first scan applying its files in
// slices), the next run waits a few times what the last one took, so refreshing
// keeps at most a quarter of the thread and the scan's own work and the window's
// input get the rest. The first request after a quiet spell, and any after a
// run cheaper than a frame, run on the next turn.
class PacedRefresh final : public QObject
{
    Q_OBJECT

public:
    explicit PacedRefresh(std::function<void()> refresh, QObject *parent = nullptr);

    // Asks for a refresh; requests until it runs are one.
    void schedule();
    // Runs the refresh now (a request of the user's, say), dropping one pending.
    void runNow();
    bool isScheduled() const { return m_timer.isActive(); }

private:
    std::function<void()> m_refresh;
    QTimer m_timer;
    QElapsedTimer m_sinceLastRun; // from the end of the last run
    qint64 m_lastCostMs = 0;
};
