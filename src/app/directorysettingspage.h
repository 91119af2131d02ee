#pragma once

#include "app/scanpathsettings.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class AppNotifications;
class QTreeWidget;

// The Directories tab: the custom scan directories, each change stored and
// announced at once. Paths show "~" for the home directory; the full path is
// the row's tooltip and its Qt::UserRole data.
class DirectorySettingsPage final : public QWidget
{
    Q_OBJECT

public:
    // Asks the user for a directory; an empty string means the user cancelled.
    using DirectoryChooser = std::function<QString(QWidget *parent)>;

    explicit DirectorySettingsPage(AppNotifications &notifications, QWidget *parent = nullptr);

    void setDirectoryChooser(DirectoryChooser chooser) { m_chooseDirectory = std::move(chooser); }
    // Reads the stored list again: another window may have changed it.
    void reload();

private:
    void rebuildList();
    void addDirectory();

    ScanPathSettings m_scanPaths;
    QStringList m_paths;
    QTreeWidget *m_list = nullptr;
    DirectoryChooser m_chooseDirectory;
};
