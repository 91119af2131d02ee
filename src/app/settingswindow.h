#pragma once

#include "app/scanpathsettings.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class AppNotifications;
class QTreeWidget;

// The non-modal settings window: the default harness, the custom scan
// directories and the About page.
class SettingsWindow final : public QWidget
{
    Q_OBJECT

public:
    // Asks the user for a directory; an empty string means the user cancelled.
    using DirectoryChooser = std::function<QString(QWidget *parent)>;

    explicit SettingsWindow(AppNotifications &notifications, QWidget *parent = nullptr);

    void setDirectoryChooser(DirectoryChooser chooser);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *createGeneralTab();
    QWidget *createDirectoriesTab();
    QWidget *createAboutTab();
    void reloadPaths();
    void rebuildPathList();
    void addDirectory();

    ScanPathSettings m_scanPaths;
    QStringList m_paths;
    QTreeWidget *m_pathList = nullptr;
    DirectoryChooser m_chooseDirectory;
};
