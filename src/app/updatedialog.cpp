#include "app/updatedialog.h"

#include "cli/buildinfo.h"
#include "app/releasenotes.h"
#include "common/toolicon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QVBoxLayout>

UpdateDialog::UpdateDialog(QWidget *parent)
    : QDialog(parent)
    , m_headline(new QLabel(this))
    , m_message(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_notes(new QPlainTextEdit(this))
    , m_buttons(new QDialogButtonBox(this))
{
    setWindowTitle(tr("Software Update"));
    setObjectName(QStringLiteral("updateDialog"));

    auto *icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_headline->setObjectName(QStringLiteral("headline"));
    QFont bold = m_headline->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_headline->setFont(bold);
    m_headline->setWordWrap(true);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::RichText);
    m_message->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_message->setOpenExternalLinks(false);
    connect(m_message, &QLabel::linkActivated, this,
            [this](const QString &link) { Q_EMIT linkRequested(QUrl(link)); });

    m_progress->setRange(0, 0); // busy: a check has no measurable progress
    m_progress->setTextVisible(false);

    // Notes come from the network: shown as plain text, links written out with
    // their targets, and nothing they reference is ever fetched.
    m_notes->setObjectName(QStringLiteral("releaseNotes"));
    m_notes->setReadOnly(true);
    m_notes->setMinimumHeight(160);

    m_download = m_buttons->addButton(tr("Open Download Page"), QDialogButtonBox::AcceptRole);
    m_download->setObjectName(QStringLiteral("download"));
    m_cancel = m_buttons->addButton(QDialogButtonBox::Cancel);
    m_close = m_buttons->addButton(QDialogButtonBox::Close);
    connect(m_download, &QPushButton::clicked, this, [this] {
        Q_EMIT downloadRequested(m_downloadUrl);
        close();
    });
    connect(m_cancel, &QPushButton::clicked, this, &UpdateDialog::cancelRequested);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);

    auto *text = new QVBoxLayout;
    text->setSpacing(8);
    text->addWidget(m_headline);
    text->addWidget(m_message);
    text->addWidget(m_progress);
    text->addWidget(m_notes, 1);
    text->addStretch(); // without notes, spare height goes below the text
    auto *body = new QHBoxLayout;
    body->setSpacing(16);
    body->addWidget(icon, 0, Qt::AlignTop);
    body->addLayout(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(m_buttons);
    setMinimumWidth(480);
}

void UpdateDialog::showChecking()
{
    m_checking = true;
    m_downloadUrl = QUrl();
    setTexts(tr("Checking for updates…"), QString());
    m_progress->show();
    m_notes->hide();
    m_download->hide();
    m_close->hide();
    m_cancel->show();
    m_cancel->setDefault(true);
    adjustSize();
}

void UpdateDialog::showResult(const UpdateCheckResult &result)
{
    m_checking = false;
    m_progress->hide();
    m_cancel->hide();
    m_close->show();
    m_notes->hide();
    m_download->hide();
    m_downloadUrl = QUrl();

    switch (result.outcome) {
    case UpdateCheckResult::Outcome::UpdateAvailable:
        setTexts(tr("A new version of Vesk is available"),
                 tr("Vesk %1 is available. You have version %2.")
                     .arg(result.item.displayVersion().toHtmlEscaped(), result.installedVersion.toHtmlEscaped()));
        // A feed item without a download link still leads to the web site.
        m_downloadUrl = result.item.downloadUrl.isValid() ? result.item.downloadUrl : BuildInfo::website();
        m_download->show();
        m_download->setDefault(true);
        showReleaseNotes(result.item);
        break;
    case UpdateCheckResult::Outcome::UpToDate:
        setTexts(tr("You're up to date"),
                 tr("Vesk %1 is the newest version available.").arg(result.installedVersion.toHtmlEscaped()));
        m_close->setDefault(true);
        break;
    case UpdateCheckResult::Outcome::Failed:
    case UpdateCheckResult::Outcome::Cancelled:
        setTexts(tr("Vesk could not check for updates"), result.error.toHtmlEscaped());
        m_close->setDefault(true);
        break;
    }
    adjustSize();
}

QString UpdateDialog::headline() const
{
    return m_headline->text();
}

QString UpdateDialog::message() const
{
    return m_message->text();
}

void UpdateDialog::setTexts(const QString &headline, const QString &message)
{
    m_headline->setText(headline);
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
}

void UpdateDialog::showReleaseNotes(const AppcastItem &item)
{
    if (!item.releaseNotes.isEmpty()) {
        m_notes->setPlainText(releaseNotesText(item.releaseNotes));
        m_notes->show();
    } else if (item.releaseNotesUrl.isValid()) {
        m_message->setText(m_message->text() + QStringLiteral(" <a href=\"%1\">%2</a>")
                                                   .arg(item.releaseNotesUrl.toString(QUrl::FullyEncoded)
                                                            .toHtmlEscaped(),
                                                        tr("Read the release notes.")));
    }
}
