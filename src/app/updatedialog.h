#pragma once

#include "app/updatecheckresult.h"

#include <QDialog>
#include <QUrl>

class QDialogButtonBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QPlainTextEdit;

// The updater's window: "Checking for updates…" while a check runs, then what
// it found: up to date, a newer version with its notes, or why it failed.
// It only shows; the controller decides what its buttons do.
class UpdateDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit UpdateDialog(QWidget *parent = nullptr);

    void showChecking();
    void showResult(const UpdateCheckResult &result);

    QString headline() const;
    QString message() const;
    bool isChecking() const { return m_checking; }
    // Where "Open Download Page" leads; empty unless a newer version is shown.
    QUrl downloadUrl() const { return m_downloadUrl; }

Q_SIGNALS:
    void cancelRequested();
    void downloadRequested(const QUrl &url);
    // A link in the release notes or the message was clicked.
    void linkRequested(const QUrl &url);

private:
    void setTexts(const QString &headline, const QString &message);
    void showReleaseNotes(const AppcastItem &item);

    QLabel *m_headline = nullptr;
    QLabel *m_message = nullptr;
    QProgressBar *m_progress = nullptr;
    QPlainTextEdit *m_notes = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QPushButton *m_download = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_close = nullptr;
    QUrl m_downloadUrl;
    bool m_checking = false;
};
