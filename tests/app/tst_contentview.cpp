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
        QVERIFY(window->skillList()->isShowingEmptyState());
        QVERIFY(window->isShowingPlaceholder());
        QCOMPARE(badge(window, SidebarFilter::all()), 0);
        QCOMPARE(window->sidebar()->model()->rowCount(window->sidebar()->model()->index(1, 0)), 0);
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
        QVERIFY(window->isShowingPlaceholder());
        QVERIFY(window->skillList()->isShowingEmptyState());
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
        m_app->state().setSidebarFilter(SidebarFilter::favorites());
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::tool(ToolSource::Cursor));
        QTest::keyClick(tree, Qt::Key_Down); // only the collections heading and its button follow
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::tool(ToolSource::Cursor));
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

    // Ctrl+F and Ctrl+S belong to the editor while it has the focus, and only then.
    void ctrlFAndCtrlSActOnTheFocusedEditor()
    {
        ContentView *window = windowWithAnEdit();
        QVERIFY(window);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTRY_VERIFY(window->detailView()->editor()->textEditor()->hasFocus()); // opening it focused it
        QTest::keySequence(QApplication::focusWidget(), QKeySequence::Find);
        QVERIFY(window->detailView()->editor()->findBar()->isVisible());
        QVERIFY(!window->searchField()->hasFocus());

        QAction *save = m_app->saveCommand().action();
        QCOMPARE(save->shortcut(), QKeySequence(QKeySequence::Save));
        // With the focus elsewhere there is nothing to save, edit or not.
        window->searchField()->setFocus();
        QTRY_VERIFY(!save->isEnabled());
        save->trigger();
        QVERIFY(fileOf("one").endsWith("Body.\n"));

        window->detailView()->focusEditor();
        QTRY_VERIFY(save->isEnabled());
        QTest::keySequence(window, QKeySequence::Save);
        QVERIFY(fileOf("one").endsWith("Body.\nedited"));
        QVERIFY(!window->detailView()->editor()->hasUnsavedChanges());
        QVERIFY(!window->isWindowModified());

        // In card mode there is no editor to save.
        m_app->state().setDetailViewMode(DetailViewMode::Card);
        window->skillList()->listView()->setFocus();
        QTRY_VERIFY(!save->isEnabled());
    }
};

VESK_TEST_MAIN(TestContentView)
#include "tst_contentview.moc"
