#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// A line at the foot of the sidebar: while a scan runs, that it runs and how far
// it is; and, once the system's limit on watched folders was reached, that
// changes are now looked for periodically. Hidden when there is nothing to say.
class ScanStatusView final : public QWidget
{
    Q_OBJECT

public:
    explicit ScanStatusView(QWidget *parent = nullptr);

    bool isScanning() const { return m_scanning; }
    QString progressText() const;
    QString noticeText() const;

    void scanStarted();
    void setProgress(int done, int total);
    void scanFinished();
    void showWatchLimitReached();

private:
    void updateVisibility();

    QLabel *m_progressLabel = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_notice = nullptr;
    bool m_scanning = false;
};
