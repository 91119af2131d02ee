#include "app/skillmanagement.h"
#include "app/contentview.h"

#include "app/saverecovery.h"
#include "app/scanpathsettings.h"
#include "cli/skilllookup.h"
#include "card/comparedialog.h"
#include "library/catalogue/homepath.h"
#include "app/windowtitle.h"
#include "common/appnotifications.h"
#include "common/followedskill.h"
#include "common/appstate.h"
#include "common/contentunavailableview.h"
#include "common/filemanager.h"
#include "common/noticebar.h"
#include "common/problemslist.h"
#include "common/palettecolors.h"
#include "common/scanstatusview.h"
#include "common/searchfield.h"
#include "common/symbols.h"
#include "common/libraryactions.h"
#include "browse/sidebarview.h"
#include "browse/skilllistmodel.h"
#include "browse/skilllistview.h"
#include "browse/welcomeview.h"
#include "detail/skilldetailview.h"
#include "detail/findbar.h"
#include "card/skillcardview.h"
#include "detail/segmentedcontrol.h"
#include "detail/skilleditorview.h"
#include "browse/sidebarmodel.h"
#include "library/checks/libraryhealth.h"
#include "library/records/artifactcache.h"
#include "library/disk/fileproblems.h"
#include "library/watch/filewatcher.h"
#include "library/watch/librarydiscovery.h"
#include "library/store/modelcontext.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

ContentView::ContentView(AppState &state, ModelContext &context, ArtifactCache &artifacts,
                         AppNotifications &notifications, QWidget *parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_context(context)
    , m_artifacts(artifacts)
    , m_problems(new FileProblems(this))
    , m_saveNotice(new NoticeBar(this))
    , m_problemsNotice(new NoticeBar(this))
    , m_splitter(new QSplitter(Qt::Horizontal, this))
    , m_sidebar(new SidebarView(state, context, m_splitter))
    , m_list(new SkillListView(state, context, m_splitter))
    , m_detailStack(new QStackedWidget(m_splitter))
    , m_placeholder(new ContentUnavailableView(
          tr("Select a Skill"), QStringLiteral("doc.text"),
          tr("Choose a skill from the list to view and edit it."), m_detailStack))
    , m_welcome(new WelcomeView(m_detailStack))
    , m_detail(new SkillDetailView(state, context, artifacts, m_detailStack))
{
    setObjectName(QStringLiteral("contentView"));
    setWindowTitle(windowTitleFor(QString()));
    setMinimumSize(900, 500);
    setUnifiedTitleAndToolBarOnMac(true);

    m_sidebar->setObjectName(QStringLiteral("sidebarColumn"));
    m_list->setObjectName(QStringLiteral("listColumn"));
    m_detailStack->setObjectName(QStringLiteral("detailColumn"));
    m_placeholder->setObjectName(QStringLiteral("selectASkill"));
    m_detailStack->addWidget(m_placeholder);
    m_detailStack->addWidget(m_welcome);
    m_detailStack->addWidget(m_detail);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);
    m_splitter->setStyleSheet(QStringLiteral("QSplitter::handle { background: palette(mid); }"));
    m_sidebar->setMinimumWidth(180);
    m_list->setMinimumWidth(220);
    m_detailStack->setMinimumWidth(320);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 0);
    m_splitter->setStretchFactor(2, 1);
    m_splitter->setSizes({220, 280, 600});
    // The notices sit above the columns and push them down rather than cover them.
    auto *central = new QWidget(this);
    auto *stack = new QVBoxLayout(central);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(m_saveNotice);
    stack->addWidget(m_problemsNotice);
    m_undoNotice = new NoticeBar(central);
    stack->addWidget(m_undoNotice);
    stack->addWidget(m_splitter, 1);
    setCentralWidget(central);
    buildToolbar();
    createSkillActions();

    m_saveNotice->setObjectName(QStringLiteral("saveNotice"));
    m_saveNotice->setActionText(tr("Try Again"));
    m_problemsNotice->setObjectName(QStringLiteral("problemsNotice"));
    m_problemsNotice->setActionText(tr("Show Problems…"));
    // A failed save keeps every change pending and the next change saves them all
    // again; the notice says what the store said until a save goes through.
    connect(&m_context, &ModelContext::saveFailed, this, [this](const QString &message) {
        m_saveNotice->showNotice(tr("Your changes could not be saved: %1. Vesk tries again with your next change.")
                                     .arg(message));
    });
    connect(&m_context, &ModelContext::changeSetAside, this, [this](const QString &message) {
        m_saveNotice->showNotice(tr("A change could not be saved and was undone: %1").arg(message));
    });
    connect(&m_context, &ModelContext::saveRecovered, m_saveNotice, &QWidget::hide);
    connect(m_saveNotice, &NoticeBar::actionTriggered, this, [this] {
        if (m_context.save())
            m_saveNotice->hide();
    });
    connect(m_problems, &FileProblems::changed, this, &ContentView::updateProblemsNotice);
    connect(m_problemsNotice, &NoticeBar::actionTriggered, this, &ContentView::showProblems);

    connect(&m_state, &AppState::selectedSkillChanged, this, &ContentView::showSelectedSkill);
    connect(&m_state, &AppState::showingNewSkillSheetChanged, this, &ContentView::presentNewSkillSheet);
    m_scanStatus = new ScanStatusView(m_sidebar);
    m_sidebar->setStatusWidget(m_scanStatus);
    m_discovery = new LibraryDiscovery(m_context, m_artifacts, this);
    m_discovery->pipeline().setProblems(m_problems);
    connect(&m_discovery->pipeline(), &ScanPipeline::started, this, &ContentView::scanStarted);
    connect(&m_discovery->pipeline(), &ScanPipeline::finished, this, &ContentView::scanFinished);
    // What an interrupted save left is looked for after every scan, the first included.
    auto *recovery = new SaveRecovery(m_context, this);
    connect(&m_discovery->pipeline(), &ScanPipeline::finished, recovery, &SaveRecovery::check);
    connect(&m_discovery->pipeline(), &ScanPipeline::started, m_scanStatus, &ScanStatusView::scanStarted);
    connect(&m_discovery->pipeline(), &ScanPipeline::progressChanged, m_scanStatus, &ScanStatusView::setProgress);
    connect(&m_discovery->pipeline(), &ScanPipeline::finished, m_scanStatus, &ScanStatusView::scanFinished);
    connect(m_discovery, &LibraryDiscovery::watchLimitReached, m_scanStatus, &ScanStatusView::showWatchLimitReached);
    connect(m_discovery, &LibraryDiscovery::firstScanFinished, this, [this] {
        m_initialScanDone = true;
        Q_EMIT initialScanFinished();
    });
    // A removed directory takes its skills with it, so a change prunes as well as scans.
    connect(&notifications, &AppNotifications::customScanPathsChanged, this, [this] {
        if (m_discoveryStarted)
            m_discovery->rescanEverything();
    });
    connect(m_list, &SkillListView::toggleFavoriteRequested, this,
            [this](Skill *skill) { toggleFavorite(m_context, *skill); });
    connect(m_list, &SkillListView::revealRequested, this, &ContentView::revealSkill);
    // The welcome gives way to "Choose a skill" once the library holds one, and comes back when it is empty.
    connect(&m_context, &ModelContext::changed, this, &ContentView::updateDetailStack);
    connect(m_welcome, &WelcomeView::newSkillRequested, this, [this] {
        if (m_newSkill->isEnabled())
            m_newSkill->trigger();
    });
    // The folder becomes a custom scan directory, as in Settings; the rescan follows its notification.
    m_chooseProjectsFolder = [](QWidget *parent) {
        return QFileDialog::getExistingDirectory(parent, tr("Add Projects Folder"), QDir::homePath(),
                                                 QFileDialog::ShowDirsOnly);
    };
    connect(m_welcome, &WelcomeView::addProjectsFolderRequested, this, [this, &notifications] {
        const QString chosen = m_chooseProjectsFolder ? m_chooseProjectsFolder(this) : QString();
        if (chosen.isEmpty())
            return;
        ScanPathSettings settings(notifications);
        QStringList paths = settings.load();
        settings.add(paths, chosen);
    });
    m_management = new SkillManagement(m_state, m_context, *this, *m_undoNotice);
    m_list->setExtraContextActions([this](const QList<Skill *> &skills, QObject *owner) {
        return m_management->actions(skills, owner);
    });
    // The card's own header gets the same actions behind one button.
    if (auto *header = qobject_cast<QBoxLayout *>(m_detail->revealButton()->parentWidget()->layout()))
        header->addWidget(m_management->makeButton(m_detail->revealButton()->parentWidget()));
    connect(m_list, &SkillListView::openInDefaultEditorRequested, this, &ContentView::openSkillElsewhere);
    connect(m_detail, &SkillDetailView::toggleFavoriteRequested, this,
            [this](Skill *skill) { toggleFavorite(m_context, *skill); });
    connect(m_detail, &SkillDetailView::revealRequested, this, &ContentView::revealSkill);
    connect(m_detail, &SkillDetailView::revealFileRequested, this, &ContentView::revealPath);
    connect(m_detail, &SkillDetailView::showLineRequested, this, &ContentView::showLine);
    connect(m_detail, &SkillDetailView::otherSkillRequested, this, &ContentView::showSkillAt);
    connect(m_detail, &SkillDetailView::compareRequested, this, &ContentView::compareFiles);
    connect(m_detail, &SkillDetailView::installedCompareRequested, this, &ContentView::compareWithInstalled);
    connect(m_detail, &SkillDetailView::modifiedChanged, this, &QWidget::setWindowModified);
    // Whoever changes the selection or leaves the editor, in this window or
    // another, first lets this window's editor rescue unsaved text.
    m_state.addLeaveCheck(this, [this] { return m_detail->confirmLeave(); });
    connect(m_detail, &SkillDetailView::documentChanged, this, &ContentView::showSelectedSkill);
    connect(m_detail, &SkillDetailView::skillFoundAgain, this, [this](Skill *skill) {
        if (!m_state.selectedSkill())
            m_state.setSelectedSkill(skill);
    });
    connect(m_list, &SkillListView::openRequested, this, &ContentView::openSkill);
    showSelectedSkill();
    setTabOrder();
}

ContentView::~ContentView() = default;

void ContentView::setLibraryHealth(LibraryHealth *health)
{
    m_health = health;
    m_sidebar->model()->setHealth(health);
    m_list->model()->setHealth(health);
    m_detail->card()->setHealth(health);
}

LibraryHealth *ContentView::libraryHealth() const
{
    return m_health;
}

void ContentView::buildToolbar()
{
    QToolBar *toolbar = addToolBar(tr("Toolbar"));
    toolbar->setObjectName(QStringLiteral("mainToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setEnabled(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setIconSize(QSize(16, 16));

    m_search = new SearchField(toolbar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(tr("Search skills…"));
    m_search->setAccessibleName(tr("Search skills"));
    m_search->setClearButtonEnabled(true);
    m_search->addAction(Symbols::icon(QStringLiteral("magnifyingglass"), QPalette::PlaceholderText),
                        QLineEdit::LeadingPosition);
    m_search->setMinimumWidth(220);
    m_search->setMaximumWidth(360);
    m_search->setText(m_state.searchText());
    connect(m_search, &QLineEdit::textChanged, &m_state, &AppState::setSearchText);
    // Down walks into the results and Enter opens the one selected, so a search
    // needs no mouse.
    connect(static_cast<SearchField *>(m_search), &SearchField::resultsRequested, m_list, &SkillListView::focusResults);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        if (!m_state.selectedSkill() || m_list->model()->rowOf(m_state.selectedSkill()) < 0)
            m_list->focusResults();
        if (Skill *skill = m_state.selectedSkill())
            openSkill(skill);
    });
    connect(&m_state, &AppState::searchTextChanged, this, [this] {
        if (m_search->text() != m_state.searchText())
            m_search->setText(m_state.searchText());
    });

    m_newSkill = new QAction(Symbols::icon(QStringLiteral("plus")), tr("New Skill…"), this);
    m_newSkill->setObjectName(QStringLiteral("newSkill"));
    m_newSkill->setShortcut(QKeySequence::New);
    m_newSkill->setToolTip(tr("New Skill (%1)").arg(m_newSkill->shortcut().toString(QKeySequence::NativeText)));
    m_newSkill->setEnabled(false);
    connect(m_newSkill, &QAction::triggered, this, [this] { m_state.setShowingNewSkillSheet(true); });

    m_find = new QAction(tr("Find…"), this);
    m_find->setShortcut(QKeySequence::Find);
    connect(m_find, &QAction::triggered, this, [this] {
        // From the menu while the editor is shown, the find bar over its text;
        // the editor claims Ctrl+F for itself while it has the focus.
        if (m_detail->isShowingEditor() && m_detail->skill() && m_detail->editor()->isAncestorOf(focusWidget())) {
            m_detail->editor()->findBar()->open();
            return;
        }
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    m_findNext = new QAction(tr("Find Next"), this);
    m_findNext->setShortcut(QKeySequence::FindNext);
    connect(m_findNext, &QAction::triggered, this, [this] {
        if (!m_detail->isShowingEditor() || !m_detail->skill())
            return;
        FindBar *bar = m_detail->editor()->findBar();
        if (bar->isVisible() && !bar->query().isEmpty())
            bar->findNext();
        else
            bar->open();
    });
    m_replace = new QAction(tr("Replace…"), this);
    m_replace->setObjectName(QStringLiteral("replace"));
    m_replace->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(m_replace, &QAction::triggered, this, [this] {
        if (m_detail->isShowingEditor() && m_detail->skill() && m_detail->editor()->isEditable())
            m_detail->editor()->findBar()->openReplace();
    });
    addActions({m_find, m_findNext, m_replace});

    auto *spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    toolbar->addWidget(m_search);
    toolbar->addSeparator();
    toolbar->addAction(m_newSkill);
}

void ContentView::createSkillActions()
{
    m_switchMode = new QAction(tr("Show Editor"), this);
    m_switchMode->setObjectName(QStringLiteral("switchMode"));
    m_switchMode->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(m_switchMode, &QAction::triggered, this, [this] {
        if (m_state.selectedSkill())
            m_detail->toggleMode();
    });
    m_favorite = new QAction(tr("Add to Favorites"), this);
    m_favorite->setObjectName(QStringLiteral("toggleFavorite"));
    m_favorite->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(m_favorite, &QAction::triggered, this, [this] {
        if (Skill *skill = m_state.selectedSkill())
            toggleFavorite(m_context, *skill);
    });
    addActions({m_switchMode, m_favorite});
    connect(&m_state, &AppState::selectedSkillChanged, this, &ContentView::updateSkillActions);
    connect(&m_state, &AppState::detailViewModeChanged, this, &ContentView::updateSkillActions);
    updateSkillActions();
}

void ContentView::updateSkillActions()
{
    Skill *skill = m_state.selectedSkill();
    m_switchMode->setEnabled(skill);
    m_switchMode->setText(m_detail->isShowingEditor() ? tr("Show Card") : tr("Show Editor"));
    m_favorite->setEnabled(skill);
    m_favorite->setText(skill && skill->isFavorite() ? tr("Remove from Favorites") : tr("Add to Favorites"));
}

void ContentView::fillSkillMenu(QMenu *menu)
{
    updateSkillActions();
    menu->clear();
    delete m_skillMenuActions;
    m_skillMenuActions = new QObject(this);
    menu->addAction(m_favorite);
    Skill *skill = m_state.selectedSkill();
    if (!skill)
        return;
    // The list's own context actions, so the menu and the right click agree; the
    // first, its favorite toggle, is the one above with its shortcut.
    const QList<QAction *> actions = m_list->contextActions(skill, m_skillMenuActions);
    for (qsizetype i = 1; i < actions.size(); ++i) {
        if (actions.at(i)->menu())
            actions.at(i)->setText(tr("&Add to Collection"));
        menu->addAction(actions.at(i));
    }
}

void ContentView::setTabOrder()
{
    // Left to right, top to bottom: the toolbar, then the three columns. Within a
    // column the widgets' own order (the detail header before its content) holds.
    if (auto *button = qobject_cast<QToolButton *>(findChild<QToolBar *>()->widgetForAction(m_newSkill))) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(m_newSkill->text());
        QWidget::setTabOrder(m_search, button);
        QWidget::setTabOrder(button, m_sidebar->treeView());
    }
    QWidget::setTabOrder(m_sidebar->treeView(), m_list->listView());
    QWidget::setTabOrder(m_list->listView(), m_detail->modeSwitch());
    QWidget::setTabOrder(m_detail->modeSwitch(), m_detail->favoriteButton());
    QWidget::setTabOrder(m_detail->favoriteButton(), m_detail->revealButton());
    QWidget::setTabOrder(m_detail->revealButton(), m_detail->card());
}

void ContentView::setNewSkillSheetFactory(SheetFactory factory)
{
    m_sheetFactory = std::move(factory);
    m_newSkill->setEnabled(bool(m_sheetFactory));
}

void ContentView::presentNewSkillSheet()
{
    if (!m_state.showingNewSkillSheet() || m_sheet || !m_sheetFactory || !isActiveWindow())
        return;
    m_sheet = m_sheetFactory(this);
    if (!m_sheet) {
        m_state.setShowingNewSkillSheet(false);
        return;
    }
    m_sheet->setWindowModality(Qt::WindowModal);
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_sheet, &QDialog::finished, this, [this] {
        m_sheet = nullptr;
        m_state.setShowingNewSkillSheet(false);
    });
    m_sheet->open();
}

bool ContentView::isShowingPlaceholder() const
{
    return m_detailStack->currentWidget() == m_placeholder;
}

bool ContentView::isShowingWelcome() const
{
    return m_detailStack->currentWidget() == m_welcome;
}

void ContentView::updateWindowTitle()
{
    setWindowTitle(windowTitleFor(m_titledSkill ? m_titledSkill->name() : QString()));
}

void ContentView::showSelectedSkill()
{
    Skill *skill = m_state.selectedSkill();
    if (followSkill(m_titledSkill, skill, this, {&Skill::nameChanged}, &ContentView::updateWindowTitle))
        updateWindowTitle();
    m_detail->setSkill(skill);
    updateDetailStack();
}

void ContentView::updateDetailStack()
{
    // Unsaved text whose record went away stays on screen until the user settles it.
    QWidget *shown = m_detail;
    if (!m_state.selectedSkill() && !m_detail->hasDocument())
        shown = m_context.skillCount() == 0 ? static_cast<QWidget *>(m_welcome) : m_placeholder;
    m_detailStack->setCurrentWidget(shown);
}

std::optional<SaveAction> ContentView::saveAction() const
{
    if (isShowingPlaceholder() || !m_detail->isShowingEditor())
        return std::nullopt;
    return m_detail->editor()->saveAction();
}

bool ContentView::openSkill(Skill *skill)
{
    if (!m_state.requestSelectedSkill(skill))
        return false;
    m_detail->focusContent();
    return true;
}

bool ContentView::openInEditor(Skill *skill)
{
    if (!m_state.requestSelectedSkill(skill))
        return false;
    m_state.setDetailViewMode(DetailViewMode::Editor);
    m_detail->focusEditor();
    return true;
}

bool ContentView::showLine(Skill *skill, int line)
{
    if (!openInEditor(skill))
        return false;
    m_detail->editor()->showLine(line);
    return true;
}

bool ContentView::showSkillAt(const QString &path)
{
    // Only a path names the other copy: its name is the one both share.
    Skill *skill = QDir::isAbsolutePath(path) ? findSkill(m_context.skills(), path, QDir::rootPath()) : nullptr;
    return skill && openSkill(skill);
}

void ContentView::compareFiles(const QString &path, const QString &otherPath)
{
    delete m_compareDialog;
    auto *dialog = new CompareDialog(path, otherPath, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_compareDialog = dialog;
    dialog->open();
}

void ContentView::compareWithInstalled(const QString &installed, const QString &current)
{
    delete m_compareDialog;
    auto *dialog = new CompareDialog(installed, current, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The installed copy lives in Vesk's cache: its path would say nothing useful.
    dialog->setWindowTitle(tr("Compare with Installed Copy"));
    dialog->setSideNames(tr("As installed"), tr("Yours: %1").arg(abbreviateHome(current)));
    m_compareDialog = dialog;
    dialog->open();
}

void ContentView::closeEvent(QCloseEvent *event)
{
    if (!m_detail->confirmLeave()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

FileWatcher *ContentView::fileWatcher() const
{
    return &m_discovery->watcher();
}

void ContentView::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_setUpDone) {
        m_setUpDone = true;
        // The first paint shows what the store already holds; discovery starts
        // right after it (see paintEvent), or now if this window is never painted.
        QTimer::singleShot(500, this, &ContentView::setUpDiscovery);
    }
}

void ContentView::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        QTimer::singleShot(0, this, &ContentView::setUpDiscovery);
    }
}

void ContentView::setUpDiscovery()
{
    if (m_discoveryStarted)
        return;
    m_discoveryStarted = true;
    m_discovery->start();
    Q_EMIT settledIn();
}

void ContentView::updateProblemsNotice()
{
    const QList<FileProblem> problems = m_problems->all();
    if (m_problemsDialog)
        m_problemsDialog->findChild<ProblemsList *>()->setProblems(problems);
    if (problems.isEmpty()) {
        m_problemsNotice->hide();
        return;
    }
    m_problemsNotice->showNotice(problems.size() == 1
                                     ? tr("1 file in the skill folders was not read.")
                                     : tr("%L1 files in the skill folders were not read.").arg(problems.size()));
}

void ContentView::showProblems()
{
    if (!m_problemsDialog) {
        m_problemsDialog = new QDialog(this);
        m_problemsDialog->setObjectName(QStringLiteral("problemsDialog"));
        m_problemsDialog->setWindowTitle(tr("Problems"));
        auto *layout = new QVBoxLayout(m_problemsDialog);
        auto *list = new ProblemsList(m_problemsDialog);
        layout->addWidget(list);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_problemsDialog);
        connect(buttons, &QDialogButtonBox::rejected, m_problemsDialog, &QDialog::close);
        layout->addWidget(buttons);
        m_problemsDialog->resize(640, 320);
    }
    m_problemsDialog->findChild<ProblemsList *>()->setProblems(m_problems->all());
    // Not modal: the user may keep working, or fix a file and look again.
    m_problemsDialog->show();
    m_problemsDialog->raise();
    m_problemsDialog->activateWindow();
}

void ContentView::revealSkill(Skill *skill)
{
    revealPath(skill->filePath());
}

void ContentView::revealPath(const QString &path)
{
    revealInFileManager(path, this, [this, path](DesktopAnswer answer) {
        explainDesktopAnswer(this, answer, tr("Show in File Manager"), tr("No file manager answered."), path);
    });
}

void ContentView::openSkillElsewhere(Skill *skill)
{
    explainDesktopAnswer(this, openInDefaultEditor(skill->filePath()), tr("Open in Default Editor"),
                         tr("No application is set to open this kind of file."), skill->filePath());
}

void ContentView::reload()
{
    if (m_discoveryStarted)
        m_discovery->rescanEverything();
}
