#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

class AppNotifications;
class AppState;
class ArtifactCache;
class ContentUnavailableView;
class FileProblems;
class FileWatcher;
class LibraryDiscovery;
class ScanStatusView;
class ModelContext;
class NoticeBar;
class QAction;
class QDialog;
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
class ContentView final : public QMainWindow
{
    Q_OBJECT

public:
    using SheetFactory = std::function<QDialog *(QWidget *parent)>;

    ContentView(AppState &state, ModelContext &context, ArtifactCache &artifacts,
                AppNotifications &notifications, QWidget *parent = nullptr);
    ~ContentView() override;

    SidebarView *sidebar() const { return m_sidebar; }
    SkillListView *skillList() const { return m_list; }
    QLineEdit *searchField() const { return m_search; }
    QSplitter *columns() const { return m_splitter; }
    QAction *newSkillAction() const { return m_newSkill; }
    QAction *findAction() const { return m_find; }
    bool isShowingPlaceholder() const;
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

    // Selects `skill` and shows it in the editor with the keyboard focus there.
    // False when the user chose to stay with unsaved text in the current one.
    bool openInEditor(Skill *skill);

    // Scans every folder now and drops the skills whose files are gone.
    void reload();

    // Hand the skill's file to the desktop; when nothing takes it, a message says so.
    void revealSkill(Skill *skill);
    void revealPath(const QString &path);
    void openSkillElsewhere(Skill *skill);

    // How the new-skill sheet is made; without one, "New Skill" stays disabled.
    void setNewSkillSheetFactory(SheetFactory factory);

Q_SIGNALS:
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
    void setUpDiscovery();
    void showSelectedSkill();
    void presentNewSkillSheet();
    void updateProblemsNotice();
    void showProblems();

    AppState &m_state;
    ModelContext &m_context;
    ArtifactCache &m_artifacts;
    LibraryDiscovery *m_discovery = nullptr;
    ScanStatusView *m_scanStatus = nullptr;
    bool m_painted = false;
    bool m_discoveryStarted = false;
    SheetFactory m_sheetFactory;
    QDialog *m_sheet = nullptr;
    bool m_setUpDone = false;
    bool m_initialScanDone = false;

    FileProblems *m_problems = nullptr;
    NoticeBar *m_saveNotice = nullptr;
    NoticeBar *m_problemsNotice = nullptr;
    NoticeBar *m_undoNotice = nullptr;
    SkillManagement *m_management = nullptr;
    QDialog *m_problemsDialog = nullptr;
    QSplitter *m_splitter = nullptr;
    SidebarView *m_sidebar = nullptr;
    SkillListView *m_list = nullptr;
    QStackedWidget *m_detailStack = nullptr;
    ContentUnavailableView *m_placeholder = nullptr;
    SkillDetailView *m_detail = nullptr;
    QLineEdit *m_search = nullptr;
    QAction *m_newSkill = nullptr;
    QAction *m_find = nullptr;
};
