#pragma once

#include "common/savecommand.h"

#include <QDialog>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class AppNotifications;
class AppState;
class ArtifactCache;
class ContentUnavailableView;
class WelcomeView;
class FileProblems;
class FileWatcher;
class LibraryHealth;
class LibraryDiscovery;
class ScanStatusView;
class ModelContext;
class NoticeBar;
class QAction;
class QDialog;
class QMenu;
class QLineEdit;
class QSplitter;
class QStackedWidget;
class QToolButton;
class Skill;
class SidebarView;
class SkillDetailView;
class SkillListView;
class SkillManagement;

// One main window: sidebar, skill list and detail in three resizable columns,
// the search field and "New Skill" in the toolbar. When first shown it starts
// discovery: one full scan once the window has been drawn, and a watcher over
// every harness's global folders that rescans and prunes on each change.
class ContentView final : public QMainWindow, public SaveActionProvider
{
    Q_OBJECT

public:
    using SheetFactory = std::function<QDialog *(QWidget *parent)>;
    // Asks for a folder; an empty answer is a cancel.
    using FolderChooser = std::function<QString(QWidget *parent)>;

    ContentView(AppState &state, ModelContext &context, ArtifactCache &artifacts,
                AppNotifications &notifications, QWidget *parent = nullptr);
    ~ContentView() override;

    SidebarView *sidebar() const { return m_sidebar; }
    SkillListView *skillList() const { return m_list; }
    QLineEdit *searchField() const { return m_search; }
    QSplitter *columns() const { return m_splitter; }
    QAction *newSkillAction() const { return m_newSkill; }
    QAction *findAction() const { return m_find; }
    // Find and Find Next in the editor while it is shown, the skill search otherwise.
    QAction *findNextAction() const { return m_findNext; }
    // Replace… (Ctrl+H): the find bar with its replace field, over the editor's text.
    QAction *replaceAction() const { return m_replace; }
    // The selected skill: card and editor (Ctrl+E), favorite (Ctrl+D).
    QAction *switchModeAction() const { return m_switchMode; }
    QAction *favoriteAction() const { return m_favorite; }
    bool isShowingPlaceholder() const;
    // The detail column, while the library holds no skill: where Vesk looks, and the ways on.
    bool isShowingWelcome() const;
    WelcomeView *welcome() const { return m_welcome; }
    SkillDetailView *detailView() const { return m_detail; }
    FileWatcher *fileWatcher() const;
    LibraryDiscovery *discovery() const { return m_discovery; }
    ScanStatusView *scanStatus() const { return m_scanStatus; }
    bool hasFinishedInitialScan() const { return m_initialScanDone; }
    // The files the last scan found but did not read, and the notice that says so.
    FileProblems *fileProblems() const { return m_problems; }
    NoticeBar *problemsNotice() const { return m_problemsNotice; }
    // Shown while the library cannot be saved; gone once a save succeeds.
    NoticeBar *saveNotice() const { return m_saveNotice; }
    // Offers to undo the last operation on skills (Use In, Turn Off, Rename, …).
    NoticeBar *undoNotice() const { return m_undoNotice; }
    SkillManagement *skillManagement() const { return m_management; }
    // The list of problems, open after the notice's button was clicked.
    QDialog *problemsDialog() const { return m_problemsDialog; }
    // The side-by-side view of two copies, while it is open.
    QDialog *compareDialog() const { return m_compareDialog.data(); }

    // Shows `skill` in the editor with the cursor on `line`; false when the user
    // chose to stay with unsaved text in the current one.
    bool showLine(Skill *skill, int line);
    // Selects the skill whose file is at `path`; false when none is.
    bool showSkillAt(const QString &path);
    // Opens the two files side by side, read-only.
    void compareFiles(const QString &path, const QString &otherPath);
    void compareWithInstalled(const QString &installed, const QString &current);

    // Names the skill actions for the selected skill (Show Card or Show Editor, Add
    // to or Remove from Favorites), as a menu does before it opens.
    void updateSkillActions();
    // Fills the Skill menu for the selected skill, as its menu bar item opens:
    // favorite, the collections to add it to, show in file manager, open elsewhere.
    void fillSkillMenu(QMenu *menu);

    // Selects `skill` and moves the focus to the detail column (card or editor).
    bool openSkill(Skill *skill);

    // Selects `skill` and shows it in the editor with the keyboard focus there.
    // False when the user chose to stay with unsaved text in the current one.
    bool openInEditor(Skill *skill);

    // The editor's unsaved text, wherever the focus is in this window.
    std::optional<SaveAction> saveAction() const override;

    // Scans every folder now and drops the skills whose files are gone.
    void reload();

    // Hand the skill's file to the desktop; when nothing takes it, a message says so.
    void revealSkill(Skill *skill);
    void revealPath(const QString &path);
    void openSkillElsewhere(Skill *skill);

    // Where the sidebar's "Needs Attention", the rows' marks and the card's problems
    // come from; without it the window shows no marks.
    void setLibraryHealth(LibraryHealth *health);
    LibraryHealth *libraryHealth() const;

    // How the new-skill sheet is made; without one, "New Skill" stays disabled.
    void setNewSkillSheetFactory(SheetFactory factory);
    // How "Add Projects Folder…" on the welcome asks for the folder (tests answer it).
    void setProjectsFolderChooser(FolderChooser chooser) { m_chooseProjectsFolder = std::move(chooser); }

Q_SIGNALS:
    // Once, right after the first frame showed what the store holds (or half a
    // second after showing, if it never paints): the library's own work may begin.
    void settledIn();
    void initialScanFinished();
    // Around every scan of the library, whatever started it.
    void scanStarted();
    void scanFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar();
    void createSkillActions();
    void setTabOrder();
    void updateWindowTitle();
    void setUpDiscovery();
    void showSelectedSkill();
    void updateDetailStack();
    void presentNewSkillSheet();
    void updateProblemsNotice();
    void showProblems();

    AppState &m_state;
    ModelContext &m_context;
    ArtifactCache &m_artifacts;
    QPointer<LibraryHealth> m_health;
    LibraryDiscovery *m_discovery = nullptr;
    ScanStatusView *m_scanStatus = nullptr;
    bool m_painted = false;
    bool m_discoveryStarted = false;
    SheetFactory m_sheetFactory;
    FolderChooser m_chooseProjectsFolder;
    QDialog *m_sheet = nullptr;
    bool m_setUpDone = false;
    bool m_initialScanDone = false;

    FileProblems *m_problems = nullptr;
    NoticeBar *m_saveNotice = nullptr;
    NoticeBar *m_problemsNotice = nullptr;
    NoticeBar *m_undoNotice = nullptr;
    SkillManagement *m_management = nullptr;
    QDialog *m_problemsDialog = nullptr;
    QPointer<QDialog> m_compareDialog;
    QSplitter *m_splitter = nullptr;
    SidebarView *m_sidebar = nullptr;
    SkillListView *m_list = nullptr;
    QStackedWidget *m_detailStack = nullptr;
    ContentUnavailableView *m_placeholder = nullptr;
    WelcomeView *m_welcome = nullptr;
    SkillDetailView *m_detail = nullptr;
    QLineEdit *m_search = nullptr;
    QAction *m_newSkill = nullptr;
    QAction *m_find = nullptr;
    QAction *m_findNext = nullptr;
    QAction *m_replace = nullptr;
    QAction *m_switchMode = nullptr;
    QAction *m_favorite = nullptr;
    QPointer<Skill> m_titledSkill;
    QObject *m_skillMenuActions = nullptr; // owns the Skill menu's per-skill actions
};
