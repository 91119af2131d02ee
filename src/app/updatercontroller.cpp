#include "app/updatercontroller.h"

#include "app/updatedialog.h"
#include "app/updater.h"

#include <QApplication>
#include <QDesktopServices>

UpdaterController::UpdaterController(QObject *parent)
    : QObject(parent)
    , m_updater(new Updater(this))
    , m_openUrl([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    connect(m_updater, &Updater::checkStarted, this, &UpdaterController::presentChecking);
    connect(m_updater, &Updater::checkFinished, this, &UpdaterController::presentResult);
}

UpdaterController::~UpdaterController()
{
    delete m_dialog.data();
}

UpdateDialog *UpdaterController::dialog() const
{
    return m_dialog;
}

void UpdaterController::presentChecking(bool userInitiated)
{
    if (!userInitiated)
        return;
    UpdateDialog *dialog = ensureDialog();
    dialog->showChecking();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void UpdaterController::presentResult(const UpdateCheckResult &result, bool userInitiated)
{
    if (result.outcome == UpdateCheckResult::Outcome::Cancelled) {
        if (m_dialog && m_dialog->isChecking())
            m_dialog->close();
        return;
    }
    // Unasked, only news is worth a window.
    if (!userInitiated && result.outcome != UpdateCheckResult::Outcome::UpdateAvailable)
        return;
    UpdateDialog *dialog = ensureDialog();
    dialog->showResult(result);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

UpdateDialog *UpdaterController::ensureDialog()
{
    if (m_dialog && m_dialog->isVisible())
        return m_dialog;
    delete m_dialog.data();
    // A child of the window the user is in, so it opens centred over it.
    m_dialog = new UpdateDialog(QApplication::activeWindow());
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &UpdateDialog::cancelRequested, m_updater, &Updater::cancelCheck);
    connect(m_dialog, &UpdateDialog::downloadRequested, this, &UpdaterController::openWebUrl);
    connect(m_dialog, &UpdateDialog::linkRequested, this, &UpdaterController::openWebUrl);
    // Closing the window while it checks stops the check.
    connect(m_dialog, &QDialog::finished, m_updater, &Updater::cancelCheck);
    return m_dialog;
}

void UpdaterController::openWebUrl(const QUrl &url) const
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https") || scheme == QLatin1String("http"))
        m_openUrl(url);
}
