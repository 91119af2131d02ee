#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// Folds a burst of change notices into one: `due` fires once no notice has come
// for the quiet period, or once the oldest unanswered notice has waited the
// longest delay, whichever comes first. A checkout or an unzip that touches a
// hundred entries thus costs one or two scans, and a steady trickle of changes
// still gets answered within the longest delay.
class ChangeCoalescer final : public QObject
{
    Q_OBJECT

public:
    explicit ChangeCoalescer(std::chrono::milliseconds quiet = std::chrono::milliseconds(100),
                             std::chrono::milliseconds longest = std::chrono::milliseconds(500),
                             QObject *parent = nullptr);

    void note();
    bool isPending() const { return m_quiet.isActive(); }

Q_SIGNALS:
    void due();

private:
    void fire();

    QTimer m_quiet;
    QTimer m_deadline;
};
