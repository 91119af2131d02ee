#include "app/veskapp.h"

#include "app/sourcemenu.h"

#include "library/files/operationjournal.h"

#include "common/appnotifications.h"
#include "common/appstate.h"
#include "app/aboutbox.h"
#include "app/contentview.h"
#include "common/editcommands.h"
#include "common/savecommand.h"
#include "app/settingswindow.h"
#include "app/shortcutsdialog.h"
#include "cli/storeopener.h"
#include "app/updater.h"
#include "app/updatercontroller.h"
#include "common/toolicon.h"
#include "browse/sidebarview.h"
#include "detail/newskillsheet.h"
#include "detail/highlightedtexteditor.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "library/checks/libraryhealth.h"
#include "library/watch/librarydiscovery.h"
#include "library/records/artifactcache.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/store/searchkeyloader.h"
#include "library/store/storeintegrity.h"
#include "library/catalogue/settingskeys.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QThreadPool>
#include <QTimer>

#include <chrono>

#include <malloc.h>

VeskApp::VeskApp() = default;

VeskApp::~VeskApp()
{
    // Windows hold references to the store and state: close them first.
    for (const QPointer<ContentView> &window : std::as_const(m_windows))
        delete window.data();
    // Their workers must be gone before the store they read from.
    delete m_searchKeys;
    delete m_health;
    delete m_integrityCheck;
}

std::unique_ptr<VeskApp> VeskApp::create(const QString &storePath, QString *fatalMessage, QString *reason)
{
    std::unique_ptr<VeskApp> app(new VeskApp);
    app->m_state = new AppState(app.get());

    QString error;
    // A large library takes a while to read end to end: the window does not wait
    // for it, but nothing it changes is written until the file checks out.
    app->m_container = ModelContainer::open(storePath, &error, ModelContainer::IntegrityCheck::Deferred);
    if (!app->m_container) {
        if (fatalMessage)
            *fatalMessage = fatalStoreMessage(error);
        if (reason)
            *reason = error;
        return nullptr;
    }
    if (app->m_container->integrityCheckPending()) {
        app->m_integrityCheck = new StoreIntegrityCheck(app->m_container->path(), app.get());
        VeskApp *self = app.get();
        connect(app->m_integrityCheck, &StoreIntegrityCheck::finished, self, [self](const QString &damage) {
            if (damage.isEmpty())
                self->m_container->integrityCheckPassed();
            else
                Q_EMIT self->storeDamaged(damage);
        });
        app->m_integrityCheck->start();
    }
    // An operation on a skill that an earlier run never finished is finished (or
    // undone) before anything reads the folders.
    finishInterruptedOperations(app->context());
    app->m_artifacts = std::make_unique<ArtifactCache>();
    // The bodies stay in the store; their folded search keys are built on a
    // worker once a window's first scan is over (see newWindow()). Built while
    // that scan runs, the keys (about the size of every body together) would sit
    // on top of the scan's own working set and set the window's peak memory; a
    // search typed before then folds what it looks at itself, same results.
    app->m_searchKeys = new SearchKeyLoader(app->context(), app.get());
    // The first scan's working set is free by then but still held by the allocator:
    // handed back once the keys are in. Not as the scan ends: the trim holds the
    // allocator's lock for as long as it runs (tens of milliseconds in a library of
    // 100,000 skills), and the window's thread, busy allocating as a scan ends,
    // would wait for it. Off the window's thread, where the trim itself runs.
    connect(app->m_searchKeys, &SearchKeyLoader::finished, app.get(),
            [] { QThreadPool::globalInstance()->start([] { malloc_trim(0); }); });
    app->m_notifications = new AppNotifications(app.get());
    // Every skill's findings: what the store kept shows at once, and a worker checks
    // again what changed since, then whatever changes.
    app->m_health = new LibraryHealth(app->context(), app.get());
    LibraryHealth *health = app->m_health;
    const auto readRules = [health] {
        const QStringList rules = readDisabledCheckRules();
        health->setDisabledRules(QSet<QString>(rules.cbegin(), rules.cend()));
    };
    readRules();
    connect(app->m_notifications, &AppNotifications::checkRulesChanged, health, readRules);
    // After the first window's first frame (see newWindow): describing a large
    // library's records for the worker takes a moment that frame should not wait
    // for. Without a window, a little later anyway.
    QTimer::singleShot(std::chrono::seconds(1), health, &LibraryHealth::start);
    app->m_saveCommand = new SaveCommand(app.get());
    app->m_editCommands = new EditCommands(app.get());
    app->m_updaterController = new UpdaterController(app.get());
    app->createActions();
    app->updater().start();

    // Pruning may delete the selected record; nothing may read it afterwards.
    AppState *state = app->m_state;
    connect(&app->context(), &ModelContext::skillAboutToBeRemoved, state, [state](Skill *skill) {
        if (state->selectedSkill() == skill)
            state->setSelectedSkill(nullptr);
    });
    // A skill whose folder was moved or renamed stays selected under its new path.
    connect(&app->context(), &ModelContext::skillMoved, state, [state](Skill *gone, Skill *successor) {
        if (state->selectedSkill() == gone)
            state->setSelectedSkill(successor);
    });
    return app;
}

ModelContext &VeskApp::context() const
{
    return *m_container->mainContext();
}

Updater &VeskApp::updater() const
{
    return m_updaterController->updater();
}

void VeskApp::createActions()
{
    m_about = new QAction(tr("About Vesk"), this);
    m_about->setMenuRole(QAction::AboutRole);
    connect(m_about, &QAction::triggered, this, [this] { showAbout(QApplication::activeWindow()); });

    m_checkForUpdates = new QAction(tr("Check for Updates…"), this);
    m_checkForUpdates->setEnabled(updater().canCheckForUpdates());
    connect(&updater(), &Updater::canCheckForUpdatesChanged, m_checkForUpdates, &QAction::setEnabled);
    connect(m_checkForUpdates, &QAction::triggered, &updater(), &Updater::checkForUpdates);

    // "Preferences" is the word Linux desktops use for this item.
    m_settings = new QAction(tr("Preferences…"), this);
    m_settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_settings->setMenuRole(QAction::PreferencesRole);
    connect(m_settings, &QAction::triggered, this, [this] { showSettings(QApplication::activeWindow()); });

    m_quit = new QAction(tr("Quit"), this);
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quit->setMenuRole(QAction::QuitRole);
    connect(m_quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    m_lineNumbers = new QAction(tr("Show &Line Numbers"), this);
    m_lineNumbers->setObjectName(QStringLiteral("showLineNumbers"));
    m_lineNumbers->setCheckable(true);
    m_lineNumbers->setChecked(QSettings().value(QLatin1String(SettingsKeys::showLineNumbers), false).toBool());
    connect(m_lineNumbers, &QAction::toggled, this, [this](bool shown) {
        QSettings().setValue(QLatin1String(SettingsKeys::showLineNumbers), shown);
        for (ContentView *window : windows())
            window->detailView()->editor()->textEditor()->setLineNumbersShown(shown);
    });

    m_newWindow = new QAction(tr("New Window"), this);
    m_newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    connect(m_newWindow, &QAction::triggered, this, [this] { newWindow()->show(); });
}

ContentView *VeskApp::newWindow()
{
    auto *window = new ContentView(*m_state, context(), *m_artifacts, *m_notifications);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(applicationIcon());
    window->setLibraryHealth(m_health);
    connect(window, &ContentView::settledIn, m_health, [health = m_health] {
        QTimer::singleShot(0, health, &LibraryHealth::start); // an event of its own
    });
    // Once this window watches its folders, a round after a change looks at what
    // changed only, and at what is in the folders it ran out of watches for.
    LibraryDiscovery *discovery = window->discovery();
    connect(discovery, &LibraryDiscovery::changedOnDisk, m_health, &LibraryHealth::noteChangeOnDisk);
    const auto followWatching = [health = m_health, discovery] {
        health->setUnreportedFolders(discovery->unwatchedFolders());
        health->setChangesReported(discovery->knowsUnwatchedFolders());
    };
    connect(discovery, &LibraryDiscovery::firstScanFinished, m_health, followWatching);
    connect(discovery, &LibraryDiscovery::unwatchedFoldersChanged, m_health, [followWatching, discovery] {
        if (discovery->hasFinishedFirstScan())
            followWatching();
    });
    window->setNewSkillSheetFactory(
        [this](QWidget *parent) { return new NewSkillSheet(*m_state, context(), parent); });
    installMenus(window);
    window->detailView()->editor()->textEditor()->setLineNumbersShown(m_lineNumbers->isChecked());
    connect(window->detailView(), &SkillDetailView::saveActionChanged, m_saveCommand, &SaveCommand::refresh);
    // Only the first window's scan matters: starting again does nothing.
    connect(window, &ContentView::initialScanFinished, m_searchKeys, [this] {
        if (m_searchKeys->isStarted())
            return;
        // On a timer rather than a posted event: the end of the scan has just kept
        // the thread busy, and timers already due (input, painting) go first.
        QTimer::singleShot(std::chrono::milliseconds(1), m_searchKeys, [this] { m_searchKeys->start(); });
    });
    m_windows.append(window);
    Q_EMIT windowOpened(window);
    return window;
}

QList<ContentView *> VeskApp::windows() const
{
    QList<ContentView *> open;
    for (const QPointer<ContentView> &window : m_windows) {
        if (window)
            open.append(window);
    }
    return open;
}

void VeskApp::installMenus(ContentView *window)
{
    // The layout Qt and GTK applications share on Linux desktops: File, Edit, View,
    // Help, with About and "Check for Updates…" together under Help.
    QMenuBar *bar = window->menuBar();
    QMenu *file = bar->addMenu(tr("&File"));
    file->addAction(window->newSkillAction());
    file->addAction(tr("New &Collection…"), window->sidebar(), &SidebarView::openNewCollectionPopover);
    file->addAction(m_newWindow);
    file->addSeparator();
    addSourceActions(file, window);
    file->addSeparator();
    file->addAction(m_saveCommand->action());
    file->addSeparator();
    QAction *close = file->addAction(tr("Close Window"), window, &QWidget::close);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    file->addAction(m_quit);
    connect(file, &QMenu::aboutToShow, m_saveCommand, &SaveCommand::refresh);

    QMenu *edit = bar->addMenu(tr("&Edit"));
    const QList<QAction *> editing = m_editCommands->actions();
    edit->addActions(editing.mid(0, 2)); // Undo, Redo
    edit->addSeparator();
    edit->addActions(editing.mid(2)); // Cut, Copy, Paste, Select All
    edit->addSeparator();
    edit->addAction(window->findAction());
    edit->addAction(window->findNextAction());
    edit->addAction(window->replaceAction());
    edit->addSeparator();
    edit->addAction(m_settings);
    connect(edit, &QMenu::aboutToShow, m_editCommands, &EditCommands::refresh);

    QMenu *view = bar->addMenu(tr("&View"));
    view->addAction(window->switchModeAction());
    view->addAction(m_lineNumbers);
    view->addSeparator();
    QAction *reload = view->addAction(tr("Reload"), window, &ContentView::reload);
    reload->setShortcut(QKeySequence(Qt::Key_F5));
    reload->setToolTip(tr("Look for new, changed and removed skills now"));
    connect(view, &QMenu::aboutToShow, window, &ContentView::updateSkillActions);

    QMenu *skill = bar->addMenu(tr("&Skill"));
    window->fillSkillMenu(skill); // so its shortcut is listed before it first opens
    connect(skill, &QMenu::aboutToShow, window, [window, skill] { window->fillSkillMenu(skill); });

    QMenu *help = bar->addMenu(tr("&Help"));
    QAction *shortcuts = help->addAction(tr("Keyboard Shortcuts"));
    shortcuts->setObjectName(QStringLiteral("keyboardShortcuts"));
    shortcuts->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Question));
    connect(shortcuts, &QAction::triggered, window, [window] {
        createShortcutsDialog(window->menuBar(), window)->show();
    });
    help->addSeparator();
    help->addAction(m_about);
    help->addAction(m_checkForUpdates);

    // Shortcuts of shared actions work only where the action is added to a widget.
    window->addActions({m_saveCommand->action(), m_quit, m_settings, m_newWindow, shortcuts});
    window->addActions(editing);
}

void VeskApp::showSettings(QWidget *requester)
{
    if (!m_settingsWindow)
        m_settingsWindow = std::make_unique<SettingsWindow>(*m_notifications, updater());
    m_settingsWindow->present(requester);
}

void VeskApp::showAbout(QWidget *parent)
{
    createAboutBox(parent)->open();
}
