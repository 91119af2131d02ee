#include "common/appstate.h"
#include "app/contentview.h"
#include "common/itemroles.h"
#include "common/savecommand.h"
#include "app/settingswindow.h"
#include "app/veskapp.h"
#include "browse/newcollectionpopover.h"
#include "browse/sidebarmodel.h"
#include "browse/sidebarview.h"
#include "browse/skilllistmodel.h"
#include "browse/skilllistview.h"
#include "card/clampedlabel.h"
#include "card/comparedialog.h"
#include "card/skillcardview.h"
#include "browse/welcomeview.h"
#include "common/contentunavailableview.h"
#include "common/libraryactions.h"
#include "card/collectionpicker.h"
#include "card/skillmetadatabar.h"
#include "card/symboltext.h"
#include "detail/findbar.h"
#include "detail/highlightedtexteditor.h"
#include "detail/segmentedcontrol.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "common/noticebar.h"
#include "common/problemslist.h"
#include "library/checks/libraryhealth.h"
#include "library/watch/filewatcher.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/catalogue/settingskeys.h"
#include "appwindow.h"
#include "messageboxes.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest/QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

using TestFiles::readFile;
using TestFiles::writeSkill;

// Drives the real window offscreen, each test with a fresh home folder and store.
class TestContentView final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<VeskApp> m_app;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }

    ContentView *openWindow() { return TestWindow::shown(m_app->newWindow()); }
    Skill *skillNamed(const QString &name) const { return TestWindow::skillNamed(m_app->context(), name); }
    static QStringList listed(const ContentView *window) { return TestWindow::listedNames(window); }

    static int badge(ContentView *window, const SidebarFilter &filter)
    {
        SidebarModel *model = window->sidebar()->model();
        model->refresh();
        const QModelIndex index = model->indexForFilter(filter);
        return index.isValid() ? index.data(ItemRoles::BadgeCountRole).toInt() : -1;
    }

    // Opens a window on skills "one" and "two" with "one" in the editor, edited.
    ContentView *windowWithAnEdit()
    {
        writeSkill(home(".claude/skills/one/SKILL.md"), "one");
        writeSkill(home(".claude/skills/two/SKILL.md"), "two");
        ContentView *window = openWindow();
        if (!window || !window->openInEditor(skillNamed("one")))
            return nullptr;
        HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "edited");
        return window->detailView()->editor()->hasUnsavedChanges() ? window : nullptr;
    }

    QByteArray fileOf(const QString &name) const { return readFile(home(".claude/skills/" + name + "/SKILL.md")); }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        QSettings().remove(QLatin1String(SettingsKeys::customScanPaths));
        QString fatal;
        m_app = VeskApp::create(home("data/vesk.sqlite"), &fatal);
        QVERIFY2(m_app, qPrintable(fatal));
    }

    void cleanup()
    {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_home.reset();
    }

    void filesLeftOutAreListedInANoticeTheUserCanOpen()
    {
        writeSkill(home(".claude/skills/fine/SKILL.md"), "fine");
        QDir().mkpath(home(".claude/skills/pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(home(".claude/skills/pipe/SKILL.md")).constData(), 0600), 0);
        writeSkill(home(".claude/skills/huge.md"), "huge", QByteArray(9 * 1024 * 1024, 'x'));
        ContentView *window = openWindow();
        QVERIFY(window);
        QCOMPARE(listed(window), QStringList{"fine"});

        NoticeBar *notice = window->problemsNotice();
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->message(), QStringLiteral("2 files in the skill folders were not read."));
        QVERIFY(!window->problemsDialog());
        notice->actionButton()->click();
        QDialog *dialog = window->problemsDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->isModal()); // the window stays usable
        auto *list = dialog->findChild<ProblemsList *>();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("~/.claude/skills/huge.md"));
        QVERIFY(list->topLevelItem(0)->text(1).startsWith("Larger than"));
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("~/.claude/skills/pipe/SKILL.md"));
        QVERIFY(list->topLevelItem(1)->text(1).startsWith("Not a regular file"));

        // Put right on disk, the next scan takes the problem and the notice away.
        QVERIFY(QFile::remove(home(".claude/skills/pipe/SKILL.md")));
        writeSkill(home(".claude/skills/huge.md"), "huge");
        window->reload();
        QTRY_VERIFY(!notice->isVisible());
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(listed(window), (QStringList{"fine", "huge"}));
    }

    // Findings follow a skill's folder, not only its file: a script put beside the
    // skill takes its missing-file warning away, though the record stays as it was.
    void aScriptAddedBesideASkillTakesItsWarningAway()
    {
        writeSkill(home(".claude/skills/runner/SKILL.md"), "runner", "Run [it](scripts/run.sh).");
        ContentView *window = openWindow();
        QVERIFY(window);
        const auto rules = [this] {
            QStringList rules;
            const Skill *skill = skillNamed(QStringLiteral("runner"));
            const auto findings = skill ? m_app->health().findings(*skill) : std::nullopt;
            for (const Finding &finding : findings.value_or(QList<Finding>()))
                rules.append(finding.rule);
            return rules;
        };
        QTRY_VERIFY_WITH_TIMEOUT(rules().contains(QStringLiteral("files/missing-file")), 10000);
        QVERIFY(TestFiles::writeBytes(home(".claude/skills/runner/scripts/run.sh"), "echo run\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!rules().contains(QStringLiteral("files/missing-file")), 10000);
    }

    // What a failed save keeps is the store's business and tested there; the window
    // shows the store's message until a save goes through.
    void aFailedSaveShowsTheStoresMessageUntilASaveGoesThrough()
    {
        writeSkill(home(".claude/skills/one/SKILL.md"), "one");
        ContentView *window = openWindow();
        QVERIFY(window);
        NoticeBar *notice = window->saveNotice();
        QVERIFY(!notice->isVisible());

        // Another process holds the library's write lock.
        m_app->container().setBusyTimeout(200);
        sqlite3 *holder = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_app->container().path()).constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        skillNamed("one")->setIsFavorite(true);
        QVERIFY(!m_app->context().save());
        QVERIFY(notice->isVisible());
        QVERIFY(!m_app->context().lastSaveError().isEmpty());
        QVERIFY2(notice->message().contains(m_app->context().lastSaveError()), qPrintable(notice->message()));

        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        QVERIFY(m_app->context().save());
        QVERIFY(!notice->isVisible());
    }

    void anInterruptedSaveIsOfferedBackOnceTheWindowHasScanned()
    {
        writeSkill(home(".claude/skills/cut/SKILL.md"), "cut");
        const QString file = home(".claude/skills/cut/SKILL.md");
        const QByteArray before = TestFiles::readFile(file);
        const QString copy = home(".claude/skills/cut/.SKILL.md.vesk-backup-x1");
        TestFiles::writeFile(copy, before);
        TestFiles::writeFile(file, "new text cut sh" + before.mid(15)); // a rewrite killed midway
        TestFiles::writeFile(home(".claude/skills/cut/.SKILL.md.vesk-save-y2"), "half");
        QFile stale(home(".claude/skills/cut/.SKILL.md.vesk-save-y2"));
        QVERIFY(stale.open(QIODevice::ReadWrite)
                && stale.setFileTime(QDateTime::currentDateTimeUtc().addDays(-1), QFileDevice::FileModificationTime));
        stale.close();

        writeSkill(home(".claude/skills/later/SKILL.md"), "later");
        writeSkill(home(".claude/skills/quiet/SKILL.md"), "quiet");

        MessageBoxAnswers answers({QStringLiteral("restoreCopy"), QStringLiteral("discardCopy")});
        QVERIFY(openWindow());
        QTRY_COMPARE(TestFiles::readFile(file), before);
        QVERIFY(!QFileInfo::exists(copy));
        QVERIFY(!QFileInfo::exists(home(".claude/skills/cut/.SKILL.md.vesk-save-y2")));
        QCOMPARE(answers.texts(), QStringList{"A save of “SKILL.md” was interrupted."});

        // Later another Vesk is killed while saving: the copy beside the file it
        // changed is offered too. A copy beside an unchanged file waits for the next start.
        const QString quietCopy = home(".claude/skills/quiet/.SKILL.md.vesk-backup-q1");
        TestFiles::writeFile(quietCopy, "old quiet");
        const QString laterCopy = home(".claude/skills/later/.SKILL.md.vesk-backup-l1");
        TestFiles::writeFile(laterCopy, TestFiles::readFile(home(".claude/skills/later/SKILL.md")));
        TestFiles::writeFile(home(".claude/skills/later/SKILL.md"), "---\nname: later\ndescription: cut sh");
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(laterCopy), 10000);
        QCOMPARE(answers.texts().size(), 2);
        QVERIFY(QFileInfo::exists(quietCopy));
    }

    void aSkillsTextIsShownAsTextEverywhere()
    {
        // Long enough that the detail title is cut and carries the whole name as a tooltip.
        const QByteArray markup = "<img src=\"/dev/zero\"><b>bold</b><a href=\"file:///etc\">link</a>";
        const QString name = QString::fromUtf8(markup).repeated(4);
        writeSkill(home(".claude/skills/html/SKILL.md"), markup.repeated(4),
                   "![x](/dev/zero) <style>*{color:red}</style>");
        ContentView *window = openWindow();
        QVERIFY(window);
        Skill *skill = skillNamed(name);
        QVERIFY(skill);
        QVERIFY(m_app->state().requestSelectedSkill(skill));
        window->resize(900, 500);
        QCoreApplication::processEvents();

        int shown = 0;
        for (QLabel *label : window->findChildren<QLabel *>()) {
            if (!label->text().contains("<img"))
                continue;
            ++shown;
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
        QVERIFY(shown > 0);
        // A tooltip that looks like HTML is shown as HTML: every one that carries the
        // name has it spelled out.
        QStringList toolTips;
        for (QWidget *widget : window->findChildren<QWidget *>())
            toolTips.append(widget->toolTip());
        toolTips.append(window->skillList()->model()->index(0, 0).data(Qt::ToolTipRole).toString());
        int carrying = 0;
        for (const QString &tip : std::as_const(toolTips)) {
            QVERIFY2(!tip.contains("<img") && !tip.contains("<a "), qPrintable(tip));
            if (tip.contains("&lt;img"))
                ++carrying;
        }
        QVERIFY(carrying >= 2); // the list row and the cut title
    }

    void countsFollowHarnessesSharedFoldersAndFavorites()
    {
        // One folder linked into Claude's and Cursor's, a file in each of their own
        // folders, and a skill in the shared folder at home and in a project's.
        writeSkill(home("shared/both/SKILL.md"), "both");
        QDir().mkpath(home(".claude/skills"));
        QDir().mkpath(home(".cursor/skills"));
        QVERIFY(QFile::link(home("shared/both"), home(".claude/skills/both")));
        QVERIFY(QFile::link(home("shared/both"), home(".cursor/skills/both")));
        writeSkill(home(".claude/skills/solo.md"), "solo");
        writeSkill(home(".cursor/rules/rule.mdc"), "rule");
        writeSkill(home(".agents/skills/lint/SKILL.md"), "lint");
        writeSkill(home("code/app/.agents/skills/deploy/SKILL.md"), "deploy");
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("code")});
        ContentView *window = openWindow();
        QVERIFY(window);

        QCOMPARE(badge(window, SidebarFilter::all()), 5); // the linked folder once
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Claude)), 2); // not the shared folder
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Cursor)), 5); // Claude's and the shared one too
        for (ToolSource tool : {ToolSource::Copilot, ToolSource::OpenCode})
            QCOMPARE(badge(window, SidebarFilter::tool(tool)), 4); // Claude's and the shared one
        for (ToolSource tool : {ToolSource::Codex, ToolSource::Windsurf, ToolSource::Gemini})
            QCOMPARE(badge(window, SidebarFilter::tool(tool)), 2); // the shared one only
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Amp)), -1); // no row without skills
        QCOMPARE(badge(window, SidebarFilter::favorites()), 0);
        SidebarModel *model = window->sidebar()->model();
        const QModelIndex harnesses = model->index(1, 0);
        QStringList rows;
        for (int row = 0; row < model->rowCount(harnesses); ++row)
            rows.append(model->index(row, 0, harnesses).data().toString());
        QCOMPARE(rows, (QStringList{"Claude Code", "Cursor", "Windsurf", "Codex", "Copilot", "Gemini CLI", "OpenCode"}));

        // Favorite and unfavorite through the row's context menu.
        Skill *solo = skillNamed("solo");
        QList<QAction *> actions = window->skillList()->contextActions(solo, this);
        QCOMPARE(actions.first()->text(), QStringLiteral("Favorite"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("Add to Collection"));
        QVERIFY(actions.at(2)->isSeparator());
        QCOMPARE(actions.at(3)->text(), QStringLiteral("Show in File Manager"));
        QCOMPARE(actions.at(4)->text(), QStringLiteral("Open in Default Editor"));
        actions.first()->trigger();
        QCOMPARE(badge(window, SidebarFilter::favorites()), 1);
        actions = window->skillList()->contextActions(solo, this);
        QCOMPARE(actions.first()->text(), QStringLiteral("Unfavorite"));
        actions.first()->trigger();
        QCOMPARE(badge(window, SidebarFilter::favorites()), 0);
        QVERIFY(!solo->isFavorite());
    }

    // Rows tell skills apart: a natural order, a second line with the description and
    // where each lives (the tool folder too where names repeat), and a Projects
    // section in the sidebar that filters like a harness.
    void rowsAndProjectsTellSkillsApart()
    {
        writeSkill(home(".claude/skills/skill-10/SKILL.md"), "skill-10");
        writeSkill(home(".claude/skills/skill-2/SKILL.md"), "skill-2");
        writeSkill(home(".claude/skills/wordpress/SKILL.md"), "WordPress Development");
        writeSkill(home(".claude/skills/acquire/SKILL.md"), "acquire-codebase-knowledge");
        writeSkill(home("code/app/.claude/skills/deploy/SKILL.md"), "deploy");
        writeSkill(home("code/web-2/.agents/skills/deploy/SKILL.md"), "deploy");
        writeSkill(home("code/web-10/.claude/skills/lint/SKILL.md"), "lint");
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("code")});
        ContentView *window = openWindow();
        QVERIFY(window);

        QCOMPARE(listed(window), (QStringList{"acquire-codebase-knowledge", "deploy", "deploy", "lint", "skill-2",
                                              "skill-10", "WordPress Development"}));
        SkillListModel *list = window->skillList()->model();
        QStringList locations;
        for (int row = 0; row < list->rowCount(); ++row)
            locations.append(list->index(row).data(ItemRoles::LocationRole).toString());
        QCOMPARE(locations, (QStringList{"Global", "app · .claude/skills", "web-2 · .agents/skills", "web-10",
                                         "Global", "Global", "Global"}));
        QCOMPARE(list->index(0).data(ItemRoles::DescriptionRole).toString(), QStringLiteral("about acquire-codebase-knowledge"));

        SidebarModel *model = window->sidebar()->model();
        model->refresh();
        QStringList sections;
        for (int section = 0; section < model->rowCount(); ++section)
            sections.append(model->index(section, 0).data().toString());
        QCOMPARE(sections, (QStringList{"Library", "Harnesses", "Projects", "Collections"}));
        const QModelIndex projects = model->index(2, 0);
        QStringList rows;
        for (int row = 0; row < model->rowCount(projects); ++row)
            rows.append(model->index(row, 0, projects).data().toString());
        QCOMPARE(rows, (QStringList{"app", "web-2", "web-10"}));
        QCOMPARE(badge(window, SidebarFilter::project("web-10")), 1);

        // Chosen in the sidebar, a project filters the list and titles it.
        QTreeView *tree = window->sidebar()->treeView();
        tree->selectionModel()->setCurrentIndex(model->indexForFilter(SidebarFilter::project("web-2")),
                                                QItemSelectionModel::ClearAndSelect);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::project("web-2"));
        QCOMPARE(window->skillList()->title(), QStringLiteral("web-2"));
        QCOMPARE(listed(window), QStringList{"deploy"});
        QCOMPARE(list->index(0).data(ItemRoles::LocationRole).toString(), QStringLiteral("web-2"));
        QCOMPARE(SidebarFilter::fromString(SidebarFilter::project("web-2").toString()), SidebarFilter::project("web-2"));

        // A home with no project has no Projects heading.
        QSettings().remove(QLatin1String(SettingsKeys::customScanPaths));
        QVERIFY(QDir(home("code")).removeRecursively());
        window->reload();
        QTRY_COMPARE(badge(window, SidebarFilter::project("web-2")), -1);
        QCOMPARE(model->rowCount(), 3);
    }

    // A collection's life in the window: made in the sidebar's popover, filled from
    // the detail pane's picker, chosen as the list's filter, deleted.
    void aCollectionIsMadeFilledChosenAndDeletedInTheWindow()
    {
        writeSkill(home(".claude/skills/member/SKILL.md"), "member");
        ContentView *window = openWindow();
        QVERIFY(window);
        SidebarView *sidebar = window->sidebar();
        NewCollectionPopover *popover = sidebar->newCollectionPopover();
        sidebar->openNewCollectionPopover();
        QTRY_VERIFY(popover->isVisible());
        auto *create = popover->findChild<QPushButton *>("create");
        QCOMPARE(create->text(), QStringLiteral("Create"));
        QVERIFY(!create->isEnabled());
        QTest::keyClicks(popover->findChild<QLineEdit *>(), "Work");
        QVERIFY(create->isEnabled());
        popover->findChild<QToolButton *>("hammer")->click();
        create->click();
        QVERIFY(!popover->isVisible());
        SkillCollection *work = m_app->context().collectionNamed("Work");
        QVERIFY(work);
        QCOMPARE(work->icon(), QStringLiteral("hammer"));
        QCOMPARE(work->sortOrder(), 0);

        // The same name again is explained in the popover; Cancel keeps what was
        // typed for the next opening.
        sidebar->openNewCollectionPopover();
        QTRY_VERIFY(popover->isVisible());
        popover->findChild<QLineEdit *>()->setText("Work");
        create->click();
        QVERIFY(popover->isVisible());
        QVERIFY(popover->errorText().contains("Work"));
        QCOMPARE(m_app->context().collections().size(), 1);
        popover->findChild<QPushButton *>("cancel")->click();
        QVERIFY(!popover->isVisible());
        sidebar->openNewCollectionPopover();
        QCOMPARE(popover->name(), QStringLiteral("Work"));
        popover->findChild<QPushButton *>("cancel")->click();

        // Choosing the collection's row filters the list by it.
        sidebar->model()->refresh();
        const QModelIndex row = sidebar->model()->indexForFilter(SidebarFilter::collection("Work"));
        QVERIFY(row.isValid());
        sidebar->treeView()->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::collection("Work"));
        QCOMPARE(window->skillList()->title(), QStringLiteral("Work"));

        // The picker moves the skill in and out; nothing here asks the sidebar or the
        // list to refresh: they follow the store.
        m_app->state().setSelectedSkill(skillNamed("member"));
        SkillMetadataBar *bar = window->detailView()->metadataBar();
        QTRY_VERIFY(bar->isVisible());
        const auto count = [sidebar] {
            return sidebar->model()->indexForFilter(SidebarFilter::collection("Work")).data(ItemRoles::BadgeCountRole).toInt();
        };
        const auto rows = [window] { return window->skillList()->model()->rowCount(); };
        QTRY_COMPARE(count(), 0);
        QTRY_COMPARE(rows(), 0);
        bar->collectionsButton()->click();
        CollectionPicker *picker = bar->collectionPicker();
        QTRY_VERIFY(picker->isVisible());
        for (int expected : {1, 0, 1}) {
            QTest::mouseClick(picker->rows().at(0), Qt::LeftButton);
            QTRY_COMPARE(count(), expected);
            QTRY_COMPARE(rows(), expected);
            QVERIFY(!m_app->context().hasChanges());
            QVERIFY(picker->isVisible());
        }
        picker->hide();

        // The list does not stay titled after a collection that is gone.
        sidebar->confirmDeleteCollection(work);
        QTRY_VERIFY(sidebar->deleteConfirmation() && sidebar->deleteConfirmation()->isVisible());
        sidebar->deleteConfirmation()->findChild<QPushButton *>("confirmDelete")->click();
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::all());
        QCOMPARE(window->skillList()->title(), QStringLiteral("All skills"));
        QCOMPARE(listed(window), QStringList{"member"});
    }

    // An empty library shows its empty states; the watcher then adds a skill copied in
    // and, when its folder goes while it is selected, prunes it and clears the selection.
    void anEmptyLibraryFillsAndEmptiesAsTheWatcherSees()
    {
        QVERIFY(QDir().mkpath(home(".claude/skills")));
        ContentView *window = openWindow();
        QVERIFY(window);
        QCOMPARE(window->skillList()->title(), QStringLiteral("All skills"));
        QVERIFY(window->skillList()->isShowingEmptyLibrary());
        QVERIFY(window->isShowingWelcome());
        QCOMPARE(badge(window, SidebarFilter::all()), 0);
        // No "Harnesses" heading with nothing under it: Library, then Collections.
        SidebarModel *sections = window->sidebar()->model();
        QCOMPARE(sections->rowCount(), 2);
        QCOMPARE(sections->index(1, 0).data().toString(), QStringLiteral("Collections"));
        QCOMPARE(window->searchField()->placeholderText(), QStringLiteral("Search skills…"));
        QVERIFY(window->minimumSize() == QSize(900, 500));
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::all());
        QVERIFY(window->fileWatcher()->watchedPaths().contains(home(".claude/skills")));

        writeSkill(home("incoming/fresh/SKILL.md"), "fresh");
        QVERIFY(QFile::rename(home("incoming/fresh"), home(".claude/skills/fresh")));
        QTRY_COMPARE(listed(window), QStringList{"fresh"});
        QVERIFY(!window->skillList()->isShowingEmptyState());
        m_app->state().setSelectedSkill(skillNamed("fresh"));
        QVERIFY(!window->isShowingPlaceholder());

        QVERIFY(QDir(home(".claude/skills/fresh")).removeRecursively());
        QTRY_COMPARE(listed(window), QStringList{});
        QVERIFY(!m_app->state().selectedSkill());
        QVERIFY(window->isShowingWelcome());
        QVERIFY(window->skillList()->isShowingEmptyLibrary());
    }

    // What the list says when it shows no skill depends on why: an empty library
    // welcomes, a search or a filter that matches nothing says so.
    void theEmptyStatesSayWhyNothingShows_data()
    {
        QTest::addColumn<bool>("hasSkill");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("shown"); // "welcome", "list", or the title of the message
        QTest::addColumn<QString>("description");
        QTest::newRow("an empty library welcomes") << false << "all" << "" << "welcome" << "";
        QTest::newRow("an empty library welcomes whatever harness was left chosen")
            << false << "gemini" << "" << "welcome" << "";
        QTest::newRow("a search in an empty library says it matched nothing")
            << false << "all" << "zzz" << "No Results" << "No skills match “zzz”.";
        QTest::newRow("a library with skills lists them") << true << "all" << "" << "list" << "";
        QTest::newRow("a search that matches nothing quotes the search")
            << true << "all" << "  zzz " << "No Results" << "No skills match “zzz”.";
        QTest::newRow("a harness filter that matches nothing says so")
            << true << "gemini" << "" << "No Skills" << "No skills match the current filter.";
        QTest::newRow("no favorites yet says how to add one")
            << true << "favorites" << "" << "No Favorites" << "Right-click a skill and choose Favorite to list it here.";
        QTest::newRow("an empty collection says so and how to add skills to it")
            << true << "collection:Work" << "" << "Empty Collection"
            << "“Work” holds no skills yet. Drag skills onto it in the sidebar, or right-click a skill and choose "
               "Add to Collection.";
    }

    void theEmptyStatesSayWhyNothingShows()
    {
        QFETCH(bool, hasSkill);
        QFETCH(QString, filter);
        QFETCH(QString, search);
        QFETCH(QString, shown);
        QFETCH(QString, description);
        if (hasSkill)
            writeSkill(home(".claude/skills/one/SKILL.md"), "one");
        ContentView *window = openWindow();
        QVERIFY(window);
        QTRY_COMPARE(m_app->context().skillCount(), hasSkill ? 1 : 0);
        QString error;
        QVERIFY2(createCollection(m_app->context(), "Work", "folder", &error), qPrintable(error));
        const std::optional<SidebarFilter> chosen = SidebarFilter::fromString(filter);
        QVERIFY(chosen);
        m_app->state().setSidebarFilter(*chosen);
        m_app->state().setSearchText(search);

        SkillListView *list = window->skillList();
        QCOMPARE(list->isShowingEmptyLibrary(), shown == "welcome");
        QCOMPARE(list->isShowingEmptyState(), shown != "list");
        QCOMPARE(window->isShowingWelcome(), !hasSkill);
        if (shown == "welcome") {
            QCOMPARE(list->emptyState()->title(), QStringLiteral("No Skills Yet"));
        } else if (shown != "list") {
            QCOMPARE(list->emptyState()->title(), shown);
            QCOMPARE(list->emptyState()->description(), description);
        }
        // With skills in the library, the detail column points at the list, not at the sidebar.
        QCOMPARE(window->isShowingPlaceholder(), hasSkill);
        QCOMPARE(window->findChild<ContentUnavailableView *>("selectASkill")->description(),
                 QStringLiteral("Choose a skill from the list to view and edit it."));
    }

    void theWelcomeSaysWhereVeskLooksAndOffersAWayOn()
    {
        ContentView *window = openWindow();
        QVERIFY(window);
        WelcomeView *welcome = window->welcome();
        QVERIFY(window->isShowingWelcome());
        const QStringList lines = welcome->locationLines();
        // One line per tool that reads anything at home, the shared folder once.
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.first(), QStringLiteral("Claude Code: ~/.claude/skills, ~/.claude/CLAUDE.md"));
        QVERIFY(lines.contains("Copilot: ~/.claude/skills, ~/.copilot/skills"));
        QCOMPARE(lines.last(), QStringLiteral("Most tools: ~/.agents/skills"));
        for (const QString &line : lines)
            QVERIFY2(!line.contains("~/.windsurf/rules") && !line.contains("Aider"), qPrintable(line));

        // "Add Projects Folder…" makes the chosen folder a custom scan directory, and its skills appear.
        writeSkill(home("code/app/.claude/skills/project-skill/SKILL.md"), "project-skill");
        window->setProjectsFolderChooser([this](QWidget *) { return home("code"); });
        welcome->findChild<QPushButton *>("addProjectsFolder")->click();
        QCOMPARE(readCustomScanPaths(), QStringList{home("code")});
        QTRY_COMPARE(listed(window), QStringList{"project-skill"});
        QVERIFY(!window->skillList()->isShowingEmptyState());
        QVERIFY(window->isShowingPlaceholder());

        // "New Skill…" opens the sheet.
        QVERIFY(QDir(home("code/app/.claude/skills/project-skill")).removeRecursively());
        QTRY_VERIFY(window->isShowingWelcome());
        welcome->findChild<QPushButton *>("welcomeNewSkill")->click();
        QVERIFY(m_app->state().showingNewSkillSheet());
        QTRY_VERIFY(QApplication::activeModalWidget());
        QApplication::activeModalWidget()->close();
    }

    // A scan directory added or removed in the settings rescans at once; removing one
    // takes its skills away and leaves their files alone.
    void scanDirectoriesChangedInTheSettingsRescan()
    {
        writeSkill(home("one/app/.claude/skills/first/SKILL.md"), "first");
        writeSkill(home("two/web/.cursor/rules/second.mdc"), "second");
        writeSkill(home(".claude/skills/global.md"), "global");
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("two")});
        ContentView *window = openWindow();
        QVERIFY(window);
        QCOMPARE(listed(window), (QStringList{"global", "second"}));

        m_app->showSettings(window);
        SettingsWindow *settings = m_app->settingsWindow();
        settings->setDirectoryChooser([this](QWidget *) { return home("one"); });
        settings->findChild<QPushButton *>(QStringLiteral("addDirectory"))->click();
        QTRY_COMPARE(listed(window), (QStringList{"first", "global", "second"}));

        auto *paths = settings->findChild<QTreeWidget *>(QStringLiteral("scanDirectories"));
        QVERIFY(paths && paths->topLevelItemCount() == 2);
        QCOMPARE(paths->topLevelItem(1)->data(0, Qt::UserRole).toString(), home("one"));
        qobject_cast<QAbstractButton *>(paths->itemWidget(paths->topLevelItem(1), 1))->click();
        QTRY_COMPARE(listed(window), (QStringList{"global", "second"}));
        QTRY_COMPARE(badge(window, SidebarFilter::all()), 2);
        QVERIFY(QFileInfo::exists(home("one/app/.claude/skills/first/SKILL.md")));
    }

    void windowsShareOneState()
    {
        writeSkill(home(".claude/skills/shared.md"), "shared", "Mentions the zebra crossing.");
        writeSkill(home(".claude/skills/other.md"), "other");
        ContentView *first = openWindow();
        ContentView *second = openWindow();
        QVERIFY(first && second);
        first->sidebar()->model()->refresh();
        const QModelIndex claude = first->sidebar()->model()->indexForFilter(SidebarFilter::tool(ToolSource::Claude));
        first->sidebar()->treeView()->selectionModel()->setCurrentIndex(claude, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(second->skillList()->title(), QStringLiteral("Claude Code"));
        SkillListModel *secondList = second->skillList()->model();
        second->skillList()->listView()->setCurrentIndex(secondList->index(secondList->rowOf(skillNamed("other"))));
        QCOMPARE(first->detailView()->skill(), skillNamed("other"));

        // A search typed in one window reaches the bodies and filters both; the
        // selected skill no longer matches but stays selected and shown.
        QTest::keyClicks(second->searchField(), "ZEBRA");
        QCOMPARE(first->searchField()->text(), QStringLiteral("ZEBRA"));
        QCOMPARE(m_app->state().searchText(), QStringLiteral("ZEBRA"));
        QCOMPARE(listed(first), QStringList{"shared"});
        QCOMPARE(m_app->state().selectedSkill(), skillNamed("other"));
        QVERIFY(!first->isShowingPlaceholder());
    }

    void arrowKeysStepOverSectionHeadings()
    {
        // Cursor's own folder: one harness row, so the keys have one row to land on.
        writeSkill(home(".cursor/skills/a.md"), "a");
        writeSkill(home(".cursor/skills/b.md"), "b");
        ContentView *window = openWindow();
        QVERIFY(window);
        QTreeView *tree = window->sidebar()->treeView();
        window->sidebar()->model()->refresh();
        tree->setFocus();
        m_app->state().setSidebarFilter(SidebarFilter::needsAttention());
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::tool(ToolSource::Cursor));
        QTest::keyClick(tree, Qt::Key_Down); // only the collections heading and its button follow
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::tool(ToolSource::Cursor));
        QTest::keyClick(tree, Qt::Key_Up);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::needsAttention());
        QTest::keyClick(tree, Qt::Key_Up);
        QTest::keyClick(tree, Qt::Key_Up);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::all());

        QListView *list = window->skillList()->listView();
        list->setFocus();
        QVERIFY(!m_app->state().selectedSkill()); // focusing the list alone selects nothing
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(m_app->state().selectedSkill(), skillNamed("a"));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(m_app->state().selectedSkill(), skillNamed("b"));
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(m_app->state().selectedSkill(), skillNamed("a"));
    }

    // Unsaved text is never dropped silently: each way of leaving it asks, and
    // Cancel leaves everything as it was.
    void leavingUnsavedTextAsksFirst_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("left");
        for (const char *how : {"select another skill", "switch to the card", "close the window", "quit"}) {
            QTest::addRow("%s, then cancel", how) << how << int(QMessageBox::Cancel) << false;
            QTest::addRow("%s, then discard", how) << how << int(QMessageBox::Discard) << true;
            QTest::addRow("%s, then save", how) << how << int(QMessageBox::Save) << true;
        }
    }

    void leavingUnsavedTextAsksFirst()
    {
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(bool, left);
        ContentView *window = windowWithAnEdit();
        QVERIFY(window);
        const QPointer<ContentView> alive(window);
        const QByteArray before = fileOf("one");
        SkillListView *list = window->skillList();

        MessageBoxAnswers answers({QMessageBox::StandardButton(answer)});
        if (how == "select another skill") {
            list->listView()->setCurrentIndex(list->model()->index(list->model()->rowOf(skillNamed("two"))));
            QCOMPARE(m_app->state().selectedSkill(), skillNamed(left ? "two" : "one"));
            // The list shows the selection the state holds.
            QCOMPARE(list->model()->skillAt(list->listView()->currentIndex().row()), m_app->state().selectedSkill());
        } else if (how == "switch to the card") {
            SegmentedControl *modes = window->detailView()->modeSwitch();
            QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(0).center());
            QCOMPARE(m_app->state().detailViewMode(), left ? DetailViewMode::Card : DetailViewMode::Editor);
            QCOMPARE(modes->currentIndex(), left ? 0 : 1);
        } else if (how == "close the window") {
            window->close();
        } else {
            m_app->quitAction()->trigger();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(answers.texts(), QStringList{"Save changes to “one”?"});
        const bool closing = how == "close the window" || how == "quit";
        QCOMPARE(alive.isNull(), closing && left);
        QCOMPARE(fileOf("one") != before, answer == int(QMessageBox::Save));
        QVERIFY(fileOf("one").endsWith(answer == int(QMessageBox::Save) ? "Body.\nedited" : "Body.\n"));
        if (alive && !left)
            QCOMPARE(window->detailView()->editor()->text(), QString::fromUtf8(before + "edited"));
    }

    // Unsaved text outlives its file: whatever another program does to it, the
    // text stays on screen with a bar saying what happened, until the user saves
    // it back, saves it elsewhere or discards it.
    void unsavedTextOutlivesItsFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("fate");
        QTest::addColumn<QString>("savedAt"); // where the text ends up; empty for nowhere
        QTest::addColumn<bool>("placeholderAfter");
        using Fate = SkillEditorView::FileFate;
        const QString original = QStringLiteral(".claude/skills/one/SKILL.md");
        const QString moved = QStringLiteral(".claude/skills/renamed/SKILL.md");
        const QString elsewhere = QStringLiteral("elsewhere/one.md");
        QTest::newRow("a deleted folder is put back by Save")
            << "delete" << "noticeAction" << int(Fate::Deleted) << original << false;
        QTest::newRow("a deleted folder's text is written elsewhere by Save As")
            << "delete" << "fateSaveAs" << int(Fate::Deleted) << elsewhere << false;
        QTest::newRow("a deleted folder's text is let go by Discard")
            << "delete" << "fateDiscard" << int(Fate::Deleted) << QString() << true;
        QTest::newRow("a moved folder takes the text along and Save writes it there")
            << "move" << "noticeAction" << int(Fate::Moved) << moved << false;
        QTest::newRow("a moved folder's file is read again by Discard")
            << "move" << "fateDiscard" << int(Fate::Moved) << QString() << false;
        QTest::newRow("a file replaced by a folder keeps its text for Save As")
            << "folder" << "fateSaveAs" << int(Fate::Folder) << elsewhere << false;
        QTest::newRow("a file that is no longer text is written over by Save")
            << "garble" << "noticeAction" << int(Fate::Unreadable) << original << false;
    }

    void unsavedTextOutlivesItsFile()
    {
        QFETCH(QString, change);
        QFETCH(QString, button);
        QFETCH(int, fate);
        QFETCH(QString, savedAt);
        QFETCH(bool, placeholderAfter);
        ContentView *window = windowWithAnEdit();
        QVERIFY(window);
        SkillEditorView *editor = window->detailView()->editor();
        editor->setSaveAsChooser([this](QWidget *, const QString &) { return home("elsewhere/one.md"); });
        const QString typed = editor->text();
        const QString file = home(".claude/skills/one/SKILL.md");

        if (change == "delete") {
            QVERIFY(QDir(home(".claude/skills/one")).removeRecursively());
        } else if (change == "move") {
            QVERIFY(QDir().rename(home(".claude/skills/one"), home(".claude/skills/renamed")));
        } else if (change == "folder") {
            QVERIFY(QFile::remove(file));
            QVERIFY(QDir().mkpath(file));
        } else {
            TestFiles::writeFile(file, "---\nname: one\n---\n\xff\xfe not text\n");
        }
        QTRY_COMPARE(int(editor->fileFate()), fate);
        if (change == "delete")
            QTRY_VERIFY(!skillNamed("one")); // the scan pruned the record under the text
        if (change == "move") {
            QTRY_VERIFY(m_app->state().selectedSkill()
                        && m_app->state().selectedSkill()->filePath() == home(".claude/skills/renamed/SKILL.md"));
            QCOMPARE(editor->skill(), m_app->state().selectedSkill());
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();

        QVERIFY(!window->isShowingPlaceholder());
        QVERIFY(editor->fateBar()->isVisible());
        QVERIFY(editor->fateBar()->message().startsWith(fate == int(SkillEditorView::FileFate::Moved)
                                                            ? QStringLiteral("This skill’s file was moved to ~/.claude/skills/renamed/SKILL.md")
                                                            : QStringLiteral("This skill’s file ")));
        QCOMPARE(editor->text(), typed);
        QVERIFY(editor->hasUnsavedChanges());
        QVERIFY(window->isWindowModified());
        QCOMPARE(window->detailView()->title(), QStringLiteral("one"));

        auto *pressed = editor->fateBar()->findChild<QPushButton *>(button);
        QVERIFY(pressed && pressed->isVisible());
        MessageBoxAnswers answers({QStringLiteral("overwrite")});
        pressed->click();
        QVERIFY(!editor->hasUnsavedChanges());
        QVERIFY(!editor->fateBar()->isVisible());
        if (!savedAt.isEmpty())
            QCOMPARE(QString::fromUtf8(readFile(home(savedAt))), typed);
        QCOMPARE(answers.texts().size(), change == "garble" ? 1 : 0);
        QTRY_COMPARE(window->isShowingPlaceholder(), placeholderAfter);
        if (button == "fateDiscard" && change == "move")
            QCOMPARE(editor->text().toUtf8(), readFile(home(".claude/skills/renamed/SKILL.md")));
        if (savedAt.startsWith(".claude/skills/one")) {
            // Put back where it was, the skill is found again and shown.
            QTRY_VERIFY(skillNamed("one") && m_app->state().selectedSkill() == skillNamed("one"));
            QCOMPARE(editor->skill(), skillNamed("one"));
            QVERIFY(!editor->isOrphaned());
        }
    }

    // At the window's least width the metadata bar keeps every part, side by side
    // and whole, and the path its start and its whole file name.
    void theMetadataBarKeepsEveryPartAtTheLeastWidth()
    {
        writeSkill(home(".claude/skills/a-skill-with-a-rather-long-folder-name/SKILL.md"), "long");
        ContentView *window = openWindow();
        QVERIFY(window);
        m_app->state().setSelectedSkill(skillNamed("long"));
        window->resize(window->minimumSize());
        QTRY_COMPARE(window->width(), 900);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        SkillMetadataBar *bar = window->detailView()->metadataBar();
        QVERIFY(bar->isVisible());
        int right = 0;
        for (const char *name : {"metadataHarnesses", "metadataPath", "metadataSize", "collectionsButton", "metadataDate"}) {
            auto *part = bar->findChild<QWidget *>(name);
            QVERIFY2(part && part->isVisible(), name);
            QVERIFY2(part->x() >= right, name); // after the one before it, not over it
            QVERIFY2(part->width() >= part->minimumSizeHint().width(), name);
            right = part->geometry().right();
        }
        QVERIFY(right < bar->width());
        const QString shown = bar->findChild<ClampedLabel *>("metadataPath")->displayedText();
        QVERIFY2(shown.startsWith(QLatin1String("~/")) && shown.endsWith(QLatin1String("/SKILL.md")), qPrintable(shown));
        QVERIFY(!bar->findChild<QLabel *>("metadataSize")->text().isEmpty());
    }

    // The title bar says which skill the window shows, and "*" while its text is unsaved.
    // The card's problems lead on: to the line in the editor, to the other copy of
    // a clash, and to the two copies side by side.
    void theCardsProblemsLeadToTheLineTheOtherCopyAndTheComparison_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("Show Line opens the editor with the cursor on the line") << QStringLiteral("showLineButton");
        QTest::newRow("the other copy's path selects that skill") << QStringLiteral("otherSkillLink");
        QTest::newRow("Compare shows both files side by side until Escape") << QStringLiteral("compareButton");
    }

    void theCardsProblemsLeadToTheLineTheOtherCopyAndTheComparison()
    {
        QFETCH(QString, button);
        // Claude Code and Cursor read both folders: two different skills named "notes".
        TestFiles::writeFile(home(".claude/skills/notes/SKILL.md"),
                  "---\nname: notes\ndescription: Takes notes.\nfavourite: yes\n---\nWrite them down.\n");
        TestFiles::writeFile(home(".agents/skills/notes/SKILL.md"), "---\nname: notes\ndescription: Other notes.\n---\nElse.\n");
        ContentView *window = openWindow();
        QVERIFY(window);
        Skill *mine = nullptr;
        Skill *other = nullptr;
        for (Skill *skill : m_app->context().skills())
            (skill->filePath().contains(QLatin1String(".claude")) ? mine : other) = skill;
        QVERIFY(mine && other);
        QVERIFY(window->openSkill(mine));
        SkillCardView *card = window->detailView()->card();
        auto *pressed = card->findChild<QAbstractButton *>(button);
        QVERIFY(pressed);
        pressed->click();

        if (button == QLatin1String("showLineButton")) {
            QVERIFY(window->detailView()->isShowingEditor());
            const QTextCursor cursor = window->detailView()->editor()->textEditor()->textCursor();
            QCOMPARE(cursor.blockNumber() + 1, 4);
        } else if (button == QLatin1String("otherSkillLink")) {
            QCOMPARE(m_app->state().selectedSkill(), other);
        } else {
            auto *dialog = qobject_cast<CompareDialog *>(window->compareDialog());
            QVERIFY(dialog);
            QTRY_VERIFY(dialog->isVisible());
            QCOMPARE(dialog->leftView()->toPlainText().split(u'\n').value(2), QStringLiteral("3  description: Takes notes."));
            QCOMPARE(dialog->rightView()->toPlainText().split(u'\n').value(2), QStringLiteral("3  description: Other notes."));
            QVERIFY(dialog->leftView()->isReadOnly() && dialog->rightView()->isReadOnly());
            QCOMPARE(dialog->summaryLabel()->text(), QStringLiteral("3 lines differ."));
            QTest::keyClick(dialog, Qt::Key_Escape);
            QTRY_VERIFY(!window->compareDialog());
        }
    }

    void theWindowTitleNamesTheSelectedSkill()
    {
        ContentView *window = windowWithAnEdit();
        QVERIFY(window);
        QCOMPARE(window->windowHandle()->title(), QStringLiteral("one* — Vesk"));
        QVERIFY(window->detailView()->editor()->save());
        QCOMPARE(window->windowHandle()->title(), QStringLiteral("one — Vesk"));
        skillNamed("one")->setName("renamed [*] one");
        QCOMPARE(window->windowHandle()->title(), QStringLiteral("renamed [*] one — Vesk"));
        m_app->state().setSelectedSkill(nullptr);
        QCOMPARE(window->windowHandle()->title(), QStringLiteral("Vesk"));
    }
};

VESK_TEST_MAIN(TestContentView)
#include "tst_contentview.moc"
