#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class AppNotifications;
class AppState;
class ArtifactCache;
class ContentView;
class EditCommands;
class LibraryHealth;
class ModelContainer;
class ModelContext;
class QAction;
class SaveCommand;
class SearchKeyLoader;
class StoreIntegrityCheck;
class SettingsWindow;
class Updater;
class UpdaterController;

// The application object: the one AppState, the store, the artifact cache and
// the application-wide commands, shared by every main window it opens.
class VeskApp final : public QObject
{
    Q_OBJECT

public:
    // Creates the shared state, then opens the store at `storePath`. When the store
    // cannot be opened, returns nullptr with the fatal message to print (and, in
    // `reason`, why, in the user's words).
    static std::unique_ptr<VeskApp> create(const QString &storePath, QString *fatalMessage,
                                           QString *reason = nullptr);
    ~VeskApp() override;

    ContentView *newWindow();
    QList<ContentView *> windows() const;

    AppState &state() const { return *m_state; }
    ModelContext &context() const;
    ModelContainer &container() const { return *m_container; }
    ArtifactCache &artifacts() const { return *m_artifacts; }
    // Every skill's findings, shared by the windows.
    LibraryHealth &health() const { return *m_health; }
    AppNotifications &notifications() const { return *m_notifications; }
    SaveCommand &saveCommand() const { return *m_saveCommand; }
    EditCommands &editCommands() const { return *m_editCommands; }
    UpdaterController &updaterController() const { return *m_updaterController; }
    Updater &updater() const;
    // Enabled exactly while the updater can start a check.
    QAction *checkForUpdatesAction() const { return m_checkForUpdates; }
    QAction *settingsAction() const { return m_settings; }
    QAction *quitAction() const { return m_quit; }
    // View ▸ Show Line Numbers: checked from the settings, stored when toggled,
    // and followed by the editor of every window.
    QAction *lineNumbersAction() const { return m_lineNumbers; }

    // Opens the one settings window, centred on `requester`'s window the first
    // time it shows, and brings it to the front.
    void showSettings(QWidget *requester);
    SettingsWindow *settingsWindow() const { return m_settingsWindow.get(); }

Q_SIGNALS:
    // Every main window, before it is first shown.
    void windowOpened(ContentView *window);
    // The whole-file check, run while the window draws, found the store damaged.
    // Nothing of this process was written to it, nor will be; `message` says where
    // the file is and how to move it aside. Whoever runs the app stops it.
    void storeDamaged(const QString &message);

private:
    VeskApp();
    void createActions();
    void installMenus(ContentView *window);
    void showAbout(QWidget *parent);

    AppState *m_state = nullptr;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<ArtifactCache> m_artifacts;
    AppNotifications *m_notifications = nullptr;
    SearchKeyLoader *m_searchKeys = nullptr;
    LibraryHealth *m_health = nullptr;
    StoreIntegrityCheck *m_integrityCheck = nullptr;
    SaveCommand *m_saveCommand = nullptr;
    EditCommands *m_editCommands = nullptr;
    UpdaterController *m_updaterController = nullptr;
    QList<QPointer<ContentView>> m_windows;
    std::unique_ptr<SettingsWindow> m_settingsWindow; // created on first use

    QAction *m_about = nullptr;
    QAction *m_checkForUpdates = nullptr;
    QAction *m_settings = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_newWindow = nullptr;
    QAction *m_lineNumbers = nullptr;
};
