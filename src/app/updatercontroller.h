#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class Updater;
class UpdateDialog;
struct UpdateCheckResult;

// Owns the updater and shows what it does: every check the user asked for gets
// the update window; an automatic check speaks up only when it finds a newer
// version. Links open in the browser, and only web addresses are opened.
class UpdaterController final : public QObject
{
    Q_OBJECT

public:
    using UrlOpener = std::function<void(const QUrl &)>;

    explicit UpdaterController(QObject *parent = nullptr);
    ~UpdaterController() override;

    Updater &updater() const { return *m_updater; }
    // The update window, once a check has needed one.
    UpdateDialog *dialog() const;
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

private:
    void presentChecking(bool userInitiated);
    void presentResult(const UpdateCheckResult &result, bool userInitiated);
    UpdateDialog *ensureDialog();
    void openWebUrl(const QUrl &url) const;

    Updater *m_updater = nullptr;
    QPointer<UpdateDialog> m_dialog;
    UrlOpener m_openUrl;
};
