#include "common/scanstatusview.h"

#include "common/palettecolors.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>

ScanStatusView::ScanStatusView(QWidget *parent)
    : QWidget(parent)
    , m_progressLabel(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_notice(new QLabel(this))
{
    setObjectName(QStringLiteral("scanStatus"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 2);
    layout->setSpacing(3);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    for (QLabel *label : {m_progressLabel, m_notice}) {
        label->setFont(small);
        label->setWordWrap(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette));
        label->setPalette(palette);
        layout->addWidget(label);
    }
    layout->insertWidget(1, m_progress);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(4);
    m_notice->setObjectName(QStringLiteral("watchLimitNotice"));
    m_notice->hide();
    updateVisibility();
}

QString ScanStatusView::progressText() const
{
    return m_scanning ? m_progressLabel->text() : QString();
}

QString ScanStatusView::noticeText() const
{
    return m_notice->isVisibleTo(this) ? m_notice->text() : QString();
}

void ScanStatusView::scanStarted()
{
    m_scanning = true;
    setProgress(0, 0);
    updateVisibility();
}

void ScanStatusView::setProgress(int done, int total)
{
    const QLocale locale;
    m_progressLabel->setText(total > 0 ? tr("Scanning… %1 of %2").arg(locale.toString(done), locale.toString(total))
                                       : tr("Scanning…"));
    // Busy until the scan knows how many files there are.
    m_progress->setRange(0, qMax(total, 0));
    m_progress->setValue(qMin(done, total));
}

void ScanStatusView::scanFinished()
{
    m_scanning = false;
    updateVisibility();
}

void ScanStatusView::showWatchLimitReached()
{
    m_notice->setText(tr("Not every folder can be watched: the system's limit is reached. "
                         "Vesk looks for changes every minute instead."));
    m_notice->show();
    updateVisibility();
}

void ScanStatusView::updateVisibility()
{
    m_progressLabel->setVisible(m_scanning);
    m_progress->setVisible(m_scanning);
    setVisible(m_scanning || !m_notice->isHidden());
}
