#include "common/appnotifications.h"
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
#include "common/libraryactions.h"
#include "detail/findbar.h"
#include "detail/highlightedtexteditor.h"
#include "detail/segmentedcontrol.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "common/noticebar.h"
#include "common/problemslist.h"
#include "library/fileproblems.h"
#include "library/filewatcher.h"
#include "library/modelcontainer.h"
#include "library/modelcontext.h"
#include "library/settingskeys.h"
#include "messageboxes.h"
#include "smallfilesystem.h"
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

using TestFiles::writeSkill;

// Drives the real window offscreen, each test with a fresh home folder and store.
class TestContentView final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<VeskApp> m_app;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }

    // Opens a window and waits until its first scan has run.
    ContentView *openWindow()
    {
        ContentView *window = m_app->newWindow();
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return nullptr;
        if (!window->hasFinishedInitialScan()) {
            QSignalSpy scanned(window, &ContentView::initialScanFinished);
            scanned.wait(5000);
        }
        QCoreApplication::processEvents();
        return window;
    }

    static int badge(ContentView *window, const SidebarFilter &filter)
    {
        SidebarModel *model = window->sidebar()->model();
        model->refresh();
        const QModelIndex index = model->indexForFilter(filter);
        return index.isValid() ? index.data(ItemRoles::BadgeCountRole).toInt() : -1;
    }

    static QStringList listed(ContentView *window)
    {
        SkillListModel *model = window->skillList()->model();
        model->refresh();
        QStringList names;
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->skillAt(row)->name());
        return names;
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

    QByteArray fileOf(const QString &name) const
    {
        QFile file(home(".claude/skills/" + name + "/SKILL.md"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    Skill *skillNamed(const QString &name) const
    {
        for (Skill *skill : m_app->context().skills()) {
            if (skill->name() == name)
                return skill;
        }
        return nullptr;
    }

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

    void aFailedSaveShowsTheStoresMessageUntilASaveGoesThrough_data()
    {
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("another process holds the library's write lock") << false;
        QTest::newRow("the disk holding the library is full") << true;
    }
    void aFailedSaveShowsTheStoresMessageUntilASaveGoesThrough()
    {
        QFETCH(bool, diskFull);
        std::unique_ptr<SmallFileSystem> disk;
        if (diskFull) {
            disk = std::make_unique<SmallFileSystem>(4 * 1024 * 1024);
            if (!disk->isMounted())
                QSKIP("A small file system needs root.");
            m_app.reset();
            QString fatal;
            m_app = VeskApp::create(disk->path() + "/vesk.sqlite", &fatal);
            QVERIFY2(m_app, qPrintable(fatal));
        }
        const QString storePath = m_app->container().path();
        writeSkill(home(".claude/skills/one/SKILL.md"), "one");
        writeSkill(home(".claude/skills/two/SKILL.md"), "two");
        ContentView *window = openWindow();
        QVERIFY(window);
        NoticeBar *notice = window->saveNotice();
        QVERIFY(!notice->isVisible());

        sqlite3 *holder = nullptr;
        if (diskFull) {
            disk->fill();
        } else {
            m_app->container().setBusyTimeout(200);
            QCOMPARE(sqlite3_open(QFile::encodeName(storePath).constData(), &holder), SQLITE_OK);
            QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        Skill *one = skillNamed("one");
        one->setIsFavorite(true);
        // Big enough that a full disk cannot take it in the pages it has left.
        one->setContent(QString(256 * 1024, u'x'));
        QVERIFY(!m_app->context().save());
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->message().contains(m_app->context().lastSaveError()), qPrintable(notice->message()));
        QVERIFY(!m_app->context().lastSaveError().isEmpty());

        if (diskFull) {
            disk->unfill();
        } else {
            sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(holder);
        }
        // The next change saves everything still pending, and the notice goes.
        Skill *two = skillNamed("two");
        two->setIsFavorite(true);
        QVERIFY(m_app->context().save());
        QVERIFY(!notice->isVisible());

        sqlite3 *check = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(storePath).constData(), &check), SQLITE_OK);
        sqlite3_stmt *statement = nullptr;
        sqlite3_prepare_v2(check, "PRAGMA integrity_check", -1, &statement, nullptr);
        QCOMPARE(sqlite3_step(statement), SQLITE_ROW);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0))), QByteArray("ok"));
        sqlite3_finalize(statement);
        sqlite3_prepare_v2(check, "SELECT count(*) FROM skill WHERE isFavorite", -1, &statement, nullptr);
        QCOMPARE(sqlite3_step(statement), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(statement, 0), 2); // the change made while failing was kept
        sqlite3_finalize(statement);
        sqlite3_close(check);
        m_app.reset();
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

    void anEmptyLibraryShowsItsEmptyStates()
    {
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
    }

    void countsFollowHarnessesAndFavorites()
    {
        writeSkill(home("shared/both/SKILL.md"), "both");
        QDir().mkpath(home(".claude/skills"));
        QDir().mkpath(home(".cursor/skills"));
        QVERIFY(QFile::link(home("shared/both"), home(".claude/skills/both")));
        QVERIFY(QFile::link(home("shared/both"), home(".cursor/skills/both")));
        writeSkill(home(".claude/skills/solo.md"), "solo");
        writeSkill(home(".cursor/rules/rule.mdc"), "rule");
        ContentView *window = openWindow();
        QVERIFY(window);

        QCOMPARE(badge(window, SidebarFilter::all()), 3);
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Claude)), 2);
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Cursor)), 3); // Cursor reads Claude's folder too
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Codex)), -1); // no row without skills
        QCOMPARE(badge(window, SidebarFilter::favorites()), 0);

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

    void searchReachesTheBodyAndKeepsTheSelection()
    {
        writeSkill(home(".claude/skills/one.md"), "one", "Mentions the zebra crossing.");
        writeSkill(home(".claude/skills/two.md"), "two");
        ContentView *window = openWindow();
        QVERIFY(window);
        m_app->state().setSelectedSkill(skillNamed("two"));
        QVERIFY(!window->isShowingPlaceholder());

        QTest::keyClicks(window->searchField(), "ZEBRA");
        QCOMPARE(m_app->state().searchText(), QStringLiteral("ZEBRA"));
        QCOMPARE(listed(window), QStringList{"one"});
        // The selected skill no longer matches but stays selected and shown.
        QCOMPARE(m_app->state().selectedSkill(), skillNamed("two"));
        QVERIFY(!window->isShowingPlaceholder());
    }

    void deletingTheFilteredCollectionShowsAllSkills()
    {
        writeSkill(home(".claude/skills/member.md"), "member");
        ContentView *window = openWindow();
        QVERIFY(window);

        SidebarView *sidebar = window->sidebar();
        sidebar->openNewCollectionPopover();
        NewCollectionPopover *popover = sidebar->newCollectionPopover();
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
        work->addSkill(skillNamed("member"));

        // Choosing the collection row filters the list by it.
        sidebar->model()->refresh();
        const QModelIndex row = sidebar->model()->indexForFilter(SidebarFilter::collection("Work"));
        QVERIFY(row.isValid());
        QCOMPARE(row.data(ItemRoles::BadgeCountRole).toInt(), 1);
        sidebar->treeView()->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::collection("Work"));
        QCOMPARE(window->skillList()->title(), QStringLiteral("Work"));
        QCOMPARE(listed(window), QStringList{"member"});

        sidebar->confirmDeleteCollection(work);
        QTRY_VERIFY(sidebar->deleteConfirmation() && sidebar->deleteConfirmation()->isVisible());
        sidebar->deleteConfirmation()->findChild<QPushButton *>("confirmDelete")->click();
        // The list does not stay titled after a collection that is gone.
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::all());
        QCOMPARE(window->skillList()->title(), QStringLiteral("All skills"));
        QCOMPARE(listed(window), QStringList{"member"});
        QVERIFY(skillNamed("member")->collections().isEmpty());
        QVERIFY(!m_app->context().collectionNamed("Work"));
    }

    void theMetadataBarsPickerMovesTheSidebarCount()
    {
        writeSkill(home(".claude/skills/member/SKILL.md"), "member");
        ContentView *window = openWindow();
        QVERIFY(window);
        QString error;
        QVERIFY(createCollection(m_app->context(), "Work", "hammer", &error));
        m_app->state().setSidebarFilter(SidebarFilter::collection("Work"));
        m_app->state().setSelectedSkill(skillNamed("member"));
        SkillMetadataBar *bar = window->detailView()->metadataBar();
        QTRY_VERIFY(bar->isVisible());

        // Nothing here asks the sidebar or the list to refresh: they follow the store.
        SidebarModel *sidebar = window->sidebar()->model();
        const auto count = [sidebar] {
            return sidebar->indexForFilter(SidebarFilter::collection("Work")).data(ItemRoles::BadgeCountRole).toInt();
        };
        const auto rows = [window] { return window->skillList()->model()->rowCount(); };
        QTRY_COMPARE(count(), 0);
        QTRY_COMPARE(rows(), 0);

        bar->collectionsButton()->click();
        CollectionPicker *picker = bar->collectionPicker();
        QTRY_VERIFY(picker->isVisible());
        QTest::mouseClick(picker->rows().at(0), Qt::LeftButton);
        QTRY_COMPARE(count(), 1);
        QTRY_COMPARE(rows(), 1);
        QVERIFY(!m_app->context().hasChanges());
        QVERIFY(picker->isVisible());

        QTest::mouseClick(picker->rows().at(0), Qt::LeftButton);
        QTRY_COMPARE(count(), 0);
        QTRY_COMPARE(rows(), 0);
        QVERIFY(!m_app->context().hasChanges());
        picker->hide();
    }

    void aDuplicateCollectionNameIsExplainedInThePopover()
    {
        ContentView *window = openWindow();
        QVERIFY(window);
        NewCollectionPopover *popover = window->sidebar()->newCollectionPopover();
        for (int attempt = 0; attempt < 2; ++attempt) {
            window->sidebar()->openNewCollectionPopover();
            QTRY_VERIFY(popover->isVisible());
            popover->findChild<QLineEdit *>()->setText("Work");
            popover->findChild<QPushButton *>("create")->click();
        }
        QVERIFY(popover->isVisible());
        QVERIFY(popover->errorText().contains("Work"));
        QCOMPARE(m_app->context().collections().size(), 1);
        // Cancel keeps what was typed for the next opening.
        popover->findChild<QPushButton *>("cancel")->click();
        QVERIFY(!popover->isVisible());
        window->sidebar()->openNewCollectionPopover();
        QCOMPARE(popover->name(), QStringLiteral("Work"));
    }

    void theWatcherAddsCopiedSkillsAndDropsPrunedOnes()
    {
        writeSkill(home(".claude/skills/doomed/SKILL.md"), "doomed");
        ContentView *window = openWindow();
        QVERIFY(window);
        QVERIFY(window->fileWatcher()->watchedPaths().contains(home(".claude/skills")));
        m_app->state().setSelectedSkill(skillNamed("doomed"));
        QVERIFY(!window->isShowingPlaceholder());

        // A skill folder copied in from elsewhere appears without user action.
        writeSkill(home("incoming/fresh/SKILL.md"), "fresh");
        QVERIFY(QFile::rename(home("incoming/fresh"), home(".claude/skills/fresh")));
        QTRY_COMPARE(listed(window), (QStringList{"doomed", "fresh"}));

        // Removing the selected skill's folder prunes it and clears the selection.
        QVERIFY(QDir(home(".claude/skills/doomed")).removeRecursively());
        QTRY_COMPARE(listed(window), QStringList{"fresh"});
        QVERIFY(!m_app->state().selectedSkill());
        QVERIFY(window->isShowingPlaceholder());
    }

    void customScanDirectoriesRescanWhenAnnounced()
    {
        ContentView *window = openWindow();
        QVERIFY(window);
        writeSkill(home("code/app/.claude/skills/local/SKILL.md"), "local");
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("code")});
        QCOMPARE(listed(window), QStringList{});
        Q_EMIT m_app->notifications().customScanPathsChanged();
        QTRY_COMPARE(listed(window), QStringList{"local"});
        QSettings().remove(QLatin1String(SettingsKeys::customScanPaths));
    }

    void removingAScanDirectoryInSettingsTakesItsSkillsAway()
    {
        writeSkill(home("one/app/.claude/skills/first/SKILL.md"), "first");
        writeSkill(home("two/web/.cursor/rules/second.mdc"), "second");
        writeSkill(home(".claude/skills/global.md"), "global");
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("one"), home("two")});
        ContentView *window = openWindow();
        QVERIFY(window);
        QCOMPARE(listed(window), (QStringList{"first", "global", "second"}));

        m_app->showSettings(window);
        auto *paths = m_app->settingsWindow()->findChild<QTreeWidget *>(QStringLiteral("scanDirectories"));
        QVERIFY(paths && paths->topLevelItemCount() == 2);
        QCOMPARE(paths->topLevelItem(0)->data(0, Qt::UserRole).toString(), home("one"));
        qobject_cast<QAbstractButton *>(paths->itemWidget(paths->topLevelItem(0), 1))->click();

        QTRY_COMPARE(listed(window), (QStringList{"global", "second"}));
        QTRY_COMPARE(badge(window, SidebarFilter::all()), 2);
        QVERIFY(QFileInfo::exists(home("one/app/.claude/skills/first/SKILL.md")));
        QSettings().remove(QLatin1String(SettingsKeys::customScanPaths));
    }

    void windowsShareOneState()
    {
        writeSkill(home(".claude/skills/shared.md"), "shared");
        ContentView *first = openWindow();
        ContentView *second = openWindow();
        QVERIFY(first && second);
        first->sidebar()->model()->refresh();
        const QModelIndex claude = first->sidebar()->model()->indexForFilter(SidebarFilter::tool(ToolSource::Claude));
        first->sidebar()->treeView()->selectionModel()->setCurrentIndex(claude, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(second->skillList()->title(), QStringLiteral("Claude Code"));
        QTest::keyClicks(second->searchField(), "sha");
        QCOMPARE(first->searchField()->text(), QStringLiteral("sha"));
        second->skillList()->listView()->setCurrentIndex(second->skillList()->model()->index(0));
        QCOMPARE(first->detailView()->skill(), skillNamed("shared"));
    }

    void sharedFolderSkillsCountUnderEveryToolThatReadsThem()
    {
        writeSkill(home(".agents/skills/lint/SKILL.md"), "lint");
        writeSkill(home(".agents/skills/docs/SKILL.md"), "docs");
        writeSkill(home(".claude/skills/review/SKILL.md"), "review");
        writeSkill(home("code/app/.agents/skills/deploy/SKILL.md"), "deploy");
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("code")});
        ContentView *window = openWindow();
        QVERIFY(window);

        QCOMPARE(badge(window, SidebarFilter::all()), 4);
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Claude)), 1); // not the shared folder
        for (ToolSource tool : {ToolSource::Codex, ToolSource::Windsurf, ToolSource::Gemini})
            QCOMPARE(badge(window, SidebarFilter::tool(tool)), 3);
        for (ToolSource tool : {ToolSource::Cursor, ToolSource::Copilot, ToolSource::OpenCode})
            QCOMPARE(badge(window, SidebarFilter::tool(tool)), 4); // they read Claude's folder too
        QCOMPARE(badge(window, SidebarFilter::tool(ToolSource::Amp)), -1);

        SidebarModel *model = window->sidebar()->model();
        const QModelIndex harnesses = model->index(1, 0);
        QStringList rows;
        for (int row = 0; row < model->rowCount(harnesses); ++row)
            rows.append(model->index(row, 0, harnesses).data().toString());
        QCOMPARE(rows, (QStringList{"Claude Code", "Cursor", "Windsurf", "Codex", "Copilot", "Gemini CLI", "OpenCode"}));
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

    void ctrlFFindsInTheEditorAndElsewhereSearchesSkills()
    {
        writeSkill(home(".claude/skills/one/SKILL.md"), "one", "Find the needle.");
        ContentView *window = openWindow();
        QVERIFY(window);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(window->openInEditor(skillNamed("one")));
        HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
        QTRY_VERIFY(editor->hasFocus());
        QTest::keySequence(QApplication::focusWidget(), QKeySequence::Find);
        FindBar *bar = window->detailView()->editor()->findBar();
        QVERIFY(bar->isVisible());
        QVERIFY(!window->searchField()->hasFocus());

        window->skillList()->listView()->setFocus();
        QTRY_VERIFY(window->skillList()->listView()->hasFocus());
        QTest::keySequence(window->skillList()->listView(), QKeySequence::Find);
        QTRY_VERIFY(window->searchField()->hasFocus());
    }

    void ctrlSSavesTheFocusedEditorAndNothingElse()
    {
        ContentView *window = windowWithAnEdit();
        QVERIFY(window);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
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
