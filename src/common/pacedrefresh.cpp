#include "common/pacedrefresh.h"

#include <algorithm>

namespace {

// After a run of cost c, the next waits until 3c has passed since it ended;
// runs cheaper than a frame are not worth holding back.
constexpr qint64 pauseToCost = 3;
constexpr qint64 costWorthPausingMs = 8;

} // namespace

PacedRefresh::PacedRefresh(std::function<void()> refresh, QObject *parent)
    : QObject(parent)
    , m_refresh(std::move(refresh))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &PacedRefresh::runNow);
}

void PacedRefresh::schedule()
{
    if (m_timer.isActive())
        return;
    const qint64 pause = m_sinceLastRun.isValid() && m_lastCostMs >= costWorthPausingMs
        ? pauseToCost * m_lastCostMs - m_sinceLastRun.elapsed()
        : 0;
    m_timer.start(int(std::max<qint64>(0, pause)));
}

void PacedRefresh::runNow()
{
    m_timer.stop();
    QElapsedTimer clock;
    clock.start();
    m_refresh();
    m_lastCostMs = clock.elapsed();
    m_sinceLastRun.start();
}
