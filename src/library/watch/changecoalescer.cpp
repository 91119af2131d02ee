#include "library/watch/changecoalescer.h"

ChangeCoalescer::ChangeCoalescer(std::chrono::milliseconds quiet, std::chrono::milliseconds longest, QObject *parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quiet);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(longest);
    connect(&m_quiet, &QTimer::timeout, this, &ChangeCoalescer::fire);
    connect(&m_deadline, &QTimer::timeout, this, &ChangeCoalescer::fire);
}

void ChangeCoalescer::note()
{
    m_quiet.start(); // restarts: the quiet period counts from the latest notice
    if (!m_deadline.isActive())
        m_deadline.start();
}

void ChangeCoalescer::fire()
{
    m_quiet.stop();
    m_deadline.stop();
    Q_EMIT due();
}
