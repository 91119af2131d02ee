#pragma once

#include "app/directorysettingspage.h"

#include <QWidget>

class AppNotifications;
class CheckSettingsPage;
class QTabWidget;
class Updater;

// The non-modal settings window: General, Directories, Checks and About. One instance
// serves every main window; it opens centred on the window that asked for it,
// and Escape, Ctrl+W or its Close button close it.
class SettingsWindow final : public QWidget
{
    Q_OBJECT

public:
    using DirectoryChooser = DirectorySettingsPage::DirectoryChooser;

    SettingsWindow(AppNotifications &notifications, Updater &updater, QWidget *parent = nullptr);

    void setDirectoryChooser(DirectoryChooser chooser);
    QTabWidget *tabs() const { return m_tabs; }

    // Shows the window, centred on `requester`'s window when it was hidden (so a
    // window the user moved stays where they put it), and brings it to the front.
    void present(QWidget *requester);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QTabWidget *m_tabs = nullptr;
    DirectorySettingsPage *m_directories = nullptr;
    CheckSettingsPage *m_checks = nullptr;
};

// Where a window of `size` goes to sit centred on `anchor` while staying inside
// `available` (the screen's usable area).
QPoint centredPosition(const QSize &size, const QRect &anchor, const QRect &available);
