#include "app/contentview.h"
#include "app/shortcutsdialog.h"
#include "common/editcommands.h"
#include "common/libraryactions.h"
#include "detail/segmentedcontrol.h"
#include "library/records/skillcollection.h"
#include "app/veskapp.h"
#include "browse/skilllistmodel.h"
#include "browse/skilllistview.h"
#include "common/appstate.h"
#include "common/savecommand.h"
#include "detail/findbar.h"
#include "detail/highlightedtexteditor.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "library/store/modelcontext.h"
#include "library/catalogue/settingskeys.h"
#include "appwindow.h"
#include "messageboxes.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QAction>
#include <QTreeView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest/QtTest>

using TestFiles::readFile;
using TestFiles::writeSkill;

// The window driven by the keyboard, each test with a fresh home folder and store.
class TestKeyboard final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<VeskApp> m_app;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }
    Skill *skillNamed(const QString &name) const { return TestWindow::skillNamed(m_app->context(), name); }
    QByteArray fileOf(const QString &name) const { return readFile(home(".claude/skills/" + name + "/SKILL.md")); }

    ContentView *activeWindow()
    {
        ContentView *window = TestWindow::shown(m_app->newWindow());
        if (!window)
            return nullptr;
        window->activateWindow();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }

    // Opens an active window on skills "one" and "two" with "one" in the editor.
    ContentView *windowEditingOne()
    {
        writeSkill(home(".claude/skills/one/SKILL.md"), "one");
        writeSkill(home(".claude/skills/two/SKILL.md"), "two");
        ContentView *window = activeWindow();
        if (!window || !window->openInEditor(skillNamed("one")))
            return nullptr;
        return window;
    }

    static QMenu *menuNamed(ContentView *window, const QString &title)
    {
        for (QAction *action : window->menuBar()->actions()) {
            if (action->menu() && action->text().remove('&') == title)
                return action->menu();
        }
        return nullptr;
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        QSettings().remove(QLatin1String(SettingsKeys::customScanPaths));
        QSettings().remove(QLatin1String(SettingsKeys::showLineNumbers));
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

    // Whatever the user did with the focus after typing, Save writes the editor's text.
    void saveReachesAModifiedEditorWhereverTheFocusIs_data()
    {
        QTest::addColumn<QString>("then");
        QTest::addColumn<bool>("byMenu");
        for (const char *then : {"the editor keeps the focus", "the search field was clicked",
                                 "a prompt was cancelled", "a menu was closed", "the list has the focus"}) {
            QTest::addRow("%s, then Ctrl+S", then) << then << false;
            QTest::addRow("%s, then File, Save", then) << then << true;
        }
    }

    void saveReachesAModifiedEditorWhereverTheFocusIs()
    {
        QFETCH(QString, then);
        QFETCH(bool, byMenu);
        ContentView *window = windowEditingOne();
        QVERIFY(window);
        HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
        QTRY_VERIFY(editor->hasFocus());
        QAction *save = m_app->saveCommand().action();
        QVERIFY(!save->isEnabled()); // nothing typed yet, nothing to save
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "edited");
        QTRY_VERIFY(save->isEnabled());

        if (then == "the search field was clicked") {
            QTest::mouseClick(window->searchField(), Qt::LeftButton);
            QTRY_VERIFY(window->searchField()->hasFocus());
        } else if (then == "a prompt was cancelled") {
            MessageBoxAnswers answers({QMessageBox::Cancel});
            SkillListView *list = window->skillList();
            list->listView()->setFocus();
            list->listView()->setCurrentIndex(list->model()->index(list->model()->rowOf(skillNamed("two"))));
            QCOMPARE(answers.texts(), QStringList{"Save changes to “one”?"});
            QCOMPARE(m_app->state().selectedSkill(), skillNamed("one"));
            window->activateWindow(); // as the desktop does once the prompt is gone
            QVERIFY(QTest::qWaitForWindowActive(window));
        } else if (then == "a menu was closed") {
            QMenu *edit = menuNamed(window, "Edit");
            QVERIFY(edit);
            edit->popup(window->mapToGlobal(QPoint(10, 10)));
            QVERIFY(QTest::qWaitForWindowExposed(edit));
            QTest::keyClick(edit, Qt::Key_Escape);
            QTRY_VERIFY(!edit->isVisible());
        } else if (then == "the list has the focus") {
            window->skillList()->listView()->setFocus();
            QTRY_VERIFY(window->skillList()->listView()->hasFocus());
        }
        QTRY_VERIFY(save->isEnabled());
        if (byMenu) {
            QMenu *file = menuNamed(window, "File");
            QVERIFY(file);
            Q_EMIT file->aboutToShow();
            QVERIFY(save->isEnabled());
            save->trigger();
        } else {
            QTest::keySequence(window, QKeySequence::Save);
        }
        QVERIFY(fileOf("one").endsWith("Body.\nedited"));
        QVERIFY(!window->detailView()->editor()->hasUnsavedChanges());
        QVERIFY(!window->isWindowModified());
        QTRY_VERIFY(!save->isEnabled()); // all written: nothing left to save
    }

    // In card mode, or with nothing typed, Save is greyed and does nothing.
    void saveIsGreyedWithNothingToSave()
    {
        ContentView *window = windowEditingOne();
        QVERIFY(window);
        QAction *save = m_app->saveCommand().action();
        const QByteArray before = fileOf("one");
        QVERIFY(!save->isEnabled());
        m_app->state().setDetailViewMode(DetailViewMode::Card);
        window->skillList()->listView()->setFocus();
        QTRY_VERIFY(!save->isEnabled());
        QTest::keySequence(window, QKeySequence::Save);
        QCOMPARE(fileOf("one"), before);
    }

    // Each keyboard path through the window, from a window on "alpha", "beta" and
    // "gamma" where "alpha" and "beta" are in the collection "Team".
    void keysReachEveryStepOfABrowse_data()
    {
        QTest::addColumn<QString>("showing");  // the sidebar's choice: "all" or "collection"
        QTest::addColumn<QString>("start");    // where the focus starts
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("selected"); // the skill selected after the keys
        QTest::addColumn<QString>("focus");    // where the focus ends
        QTest::addColumn<bool>("editor");
        QTest::addColumn<bool>("favorite");    // whether "alpha" is a favorite
        QTest::addColumn<QStringList>("team"); // who is in "Team"
        const QStringList both{"alpha", "beta"};
        QTest::addRow("down from the search field selects the first result")
            << "all" << "search" << QStringList{"Down"} << "alpha" << "skillList" << false << false << both;
        QTest::addRow("down, down and enter open the second result on its card")
            << "all" << "search" << QStringList{"Down", "Down", "Return"} << "beta" << "skillCard" << false << false << both;
        QTest::addRow("enter in the search field opens the first result")
            << "all" << "search" << QStringList{"Return"} << "alpha" << "skillCard" << false << false << both;
        QTest::addRow("enter in the list, then ctrl+e, opens the editor with the focus in its text")
            << "all" << "list" << QStringList{"Down", "Return", "Ctrl+E"} << "alpha" << "skillEditor" << true << false << both;
        QTest::addRow("ctrl+e twice comes back to the card")
            << "all" << "list" << QStringList{"Down", "Ctrl+E", "Ctrl+E"} << "alpha" << "skillCard" << false << false << both;
        QTest::addRow("ctrl+d in the editor marks the skill a favorite and leaves the text")
            << "all" << "editor" << QStringList{"Ctrl+D"} << "alpha" << "skillEditor" << true << true << both;
        QTest::addRow("ctrl+e in the editor goes back to the card")
            << "all" << "editor" << QStringList{"Ctrl+E"} << "alpha" << "skillCard" << false << false << both;
        QTest::addRow("ctrl+d marks the selected skill a favorite")
            << "all" << "list" << QStringList{"Down", "Ctrl+D"} << "alpha" << "skillList" << false << true << both;
        QTest::addRow("ctrl+d twice takes the mark away again")
            << "all" << "list" << QStringList{"Down", "Ctrl+D", "Ctrl+D"} << "alpha" << "skillList" << false << false << both;
        QTest::addRow("delete in a collection's list takes the skill out of it")
            << "collection" << "list" << QStringList{"Down", "Delete"} << "alpha" << "skillList" << false << false
            << QStringList{"beta"};
        QTest::addRow("shift+down and delete in a collection's list ask first, then take both out")
            << "collection" << "list" << QStringList{"Down", "Shift+Down", "Delete"} << "beta" << "noSkills" << false
            << false << QStringList{};
        QTest::addRow("delete in the list of every skill changes no collection")
            << "all" << "list" << QStringList{"Down", "Delete"} << "alpha" << "skillList" << false << false << both;
        QTest::addRow("space on the card and editor switch opens the editor")
            << "all" << "switch" << QStringList{"Space"} << "alpha" << "skillEditor" << true << false << both;
    }

    void keysReachEveryStepOfABrowse()
    {
        QFETCH(QString, showing);
        QFETCH(QString, start);
        QFETCH(QStringList, keys);
        QFETCH(QString, selected);
        QFETCH(QString, focus);
        QFETCH(bool, editor);
        QFETCH(bool, favorite);
        QFETCH(QStringList, team);
        for (const char *name : {"alpha", "beta", "gamma"})
            writeSkill(home(QStringLiteral(".claude/skills/%1/SKILL.md").arg(name)), name);
        ContentView *window = activeWindow();
        QVERIFY(window);
        QString error;
        SkillCollection *collection = createCollection(m_app->context(), "Team", "folder", &error);
        QVERIFY2(collection, qPrintable(error));
        QCOMPARE(addToCollection(m_app->context(), {skillNamed("alpha"), skillNamed("beta")}, *collection), 2);
        if (showing == "collection")
            m_app->state().setSidebarFilter(SidebarFilter::collection("Team"));
        if (start == "editor") {
            QVERIFY(window->openInEditor(skillNamed("alpha")));
            HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
            QTRY_VERIFY(editor->hasFocus());
            // A text edit on X11 takes these keys as Emacs moves; here the window's menus get them.
            for (const QKeyCombination keys : {QKeyCombination(Qt::CTRL, Qt::Key_E), QKeyCombination(Qt::CTRL, Qt::Key_D)}) {
                QKeyEvent override(QEvent::ShortcutOverride, keys.key(), keys.keyboardModifiers());
                QCoreApplication::sendEvent(editor, &override);
                QVERIFY(!override.isAccepted());
            }
        } else if (start == "switch") {
            m_app->state().setSelectedSkill(skillNamed("alpha"));
            window->detailView()->modeSwitch()->setFocus();
        } else {
            (start == "search" ? static_cast<QWidget *>(window->searchField()) : window->skillList()->listView())->setFocus();
        }
        QTRY_VERIFY(QApplication::focusWidget());

        MessageBoxAnswers answers({QStringLiteral("confirmRemove")});
        for (const QString &key : keys) {
            QWidget *target = QApplication::focusWidget();
            QVERIFY2(target, qPrintable(key));
            QTest::keySequence(target, QKeySequence(key));
        }
        if (!answers.texts().isEmpty())
            window->activateWindow(); // as the desktop does once the question is gone
        QCOMPARE(m_app->state().selectedSkill(), skillNamed(selected));
        QTRY_COMPARE(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), focus);
        QCOMPARE(window->detailView()->isShowingEditor(), editor);
        QCOMPARE(skillNamed("alpha")->isFavorite(), favorite);
        QStringList members;
        for (const char *name : {"alpha", "beta", "gamma"}) {
            if (isMember(*skillNamed(name), *collection))
                members.append(name);
        }
        QCOMPARE(members, team);
        // Only taking several skills out of a collection asks.
        QCOMPARE(answers.texts().size(), keys.contains("Shift+Down") ? 1 : 0);
        if (start == "editor")
            QVERIFY(!window->detailView()->editor()->hasUnsavedChanges());
    }

    // The Edit menu acts on whichever widget has the focus.
    void editCommandsActOnTheFocusedWidget()
    {
        ContentView *window = windowEditingOne();
        QVERIFY(window);
        const auto command = [this](const QString &text) {
            for (QAction *action : m_app->editCommands().actions()) {
                if (action->text() == text) {
                    m_app->editCommands().refresh();
                    return action;
                }
            }
            return static_cast<QAction *>(nullptr);
        };
        QLineEdit *search = window->searchField();
        search->setFocus();
        QTRY_VERIFY(search->hasFocus());
        QTest::keyClicks(search, "alp");
        command("Select All")->trigger();
        QCOMPARE(search->selectedText(), QStringLiteral("alp"));
        QVERIFY(command("Cut")->isEnabled());
        command("Cut")->trigger();
        QVERIFY(search->text().isEmpty());
        command("Paste")->trigger();
        QCOMPARE(search->text(), QStringLiteral("alp"));
        search->clear();

        HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
        editor->setFocus();
        QTRY_VERIFY(editor->hasFocus());
        const QString before = editor->text();
        QVERIFY(!command("Undo")->isEnabled()); // nothing typed in this file yet
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "x");
        QVERIFY(command("Undo")->isEnabled());
        command("Undo")->trigger();
        QCOMPARE(editor->text(), before);
        QVERIFY(command("Redo")->isEnabled());

        // The list takes no text: nothing to cut, copy or paste there.
        window->skillList()->listView()->setFocus();
        QTRY_VERIFY(window->skillList()->listView()->hasFocus());
        QVERIFY(!command("Cut")->isEnabled());
        QVERIFY(!command("Paste")->isEnabled());
    }

    // Find and Find Next open the find bar over the editor's text; elsewhere Find
    // goes to the skill search.
    void findGoesToTheEditorOrTheSearch()
    {
        ContentView *window = windowEditingOne();
        QVERIFY(window);
        FindBar *bar = window->detailView()->editor()->findBar();
        QTRY_VERIFY(window->detailView()->editor()->textEditor()->hasFocus());
        QTest::keySequence(QApplication::focusWidget(), QKeySequence::Find);
        QVERIFY(bar->isVisible());
        QVERIFY(!window->searchField()->hasFocus());
        bar->setQuery("o");
        const int first = bar->currentMatch();
        window->findNextAction()->trigger();
        QVERIFY(bar->currentMatch() != first);

        window->skillList()->listView()->setFocus();
        QTRY_VERIFY(window->skillList()->listView()->hasFocus());
        window->findAction()->trigger();
        QTRY_VERIFY(window->searchField()->hasFocus());
    }

    // Ctrl+H opens the replace field over the editor; Replace steps through the
    // matches and Replace All takes them all as one undo step.
    void replaceChangesTheMatchesInTheEditor()
    {
        ContentView *window = windowEditingOne();
        QVERIFY(window);
        HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
        QTRY_VERIFY(editor->hasFocus());
        editor->setPlainText("cat cat\ncat\n");
        QTest::keySequence(editor, QKeySequence(Qt::CTRL | Qt::Key_H));
        FindBar *bar = window->detailView()->editor()->findBar();
        QVERIFY(bar->isReplacing());
        bar->setQuery("cat");
        bar->setReplacement("dog cat");
        QVERIFY(bar->replaceCurrent());
        QCOMPARE(editor->text(), QStringLiteral("dog cat cat\ncat\n"));
        QCOMPARE(bar->matches().size(), 3); // the replacement's own "cat" is not replaced next
        QCOMPARE(bar->matches().at(bar->currentMatch()), 8);
        bar->setReplacement("dog");
        QCOMPARE(bar->replaceAll(), 3);
        QCOMPARE(editor->text(), QStringLiteral("dog dog dog\ndog\n"));
        QVERIFY(bar->matches().isEmpty());
        editor->undo();
        QCOMPARE(editor->text(), QStringLiteral("dog cat cat\ncat\n"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
    }

    // Help lists every shortcut the menus give, with its keys.
    void theShortcutListHoldsEveryMenuShortcut()
    {
        ContentView *window = activeWindow();
        QVERIFY(window);
        const QList<ShortcutRow> rows = shortcutRows(window->menuBar());
        QStringList listedKeys;
        for (const ShortcutRow &row : rows)
            listedKeys.append(row.keys);
        QStringList expected;
        const std::function<void(const QMenu *)> walk = [&](const QMenu *menu) {
            for (const QAction *action : menu->actions()) {
                if (action->menu())
                    walk(action->menu());
                else if (!action->shortcut().isEmpty())
                    expected.append(action->shortcut().toString(QKeySequence::NativeText));
            }
        };
        for (const QAction *action : window->menuBar()->actions()) {
            if (action->menu())
                walk(action->menu());
        }
        QVERIFY(expected.size() >= 15);
        for (const QString &keys : {QStringLiteral("Ctrl+S"), QStringLiteral("Ctrl+E"), QStringLiteral("Ctrl+D"),
                                    QStringLiteral("Ctrl+Z"), QStringLiteral("Ctrl+F")})
            QVERIFY2(expected.contains(keys), qPrintable(keys));
        for (const QString &keys : std::as_const(expected)) {
            const bool listed = std::any_of(listedKeys.cbegin(), listedKeys.cend(),
                                            [&](const QString &row) { return row.split(" or ").contains(keys); });
            QVERIFY2(listed, qPrintable(keys));
        }
        QVERIFY(std::any_of(rows.cbegin(), rows.cend(), [](const ShortcutRow &row) { return row.command == "File ▸ Save"; }));
    }

    // Tab walks the window left to right: search, New Skill, sidebar, list, the
    // detail header; every icon-only button there says what it is.
    void tabWalksTheWindowInReadingOrder()
    {
        writeSkill(home(".claude/skills/alpha/SKILL.md"), "alpha");
        ContentView *window = activeWindow();
        QVERIFY(window);
        m_app->state().setSelectedSkill(skillNamed("alpha"));
        window->searchField()->setFocus();
        QTRY_VERIFY(window->searchField()->hasFocus());
        QStringList stops;
        for (int step = 0; step < 7; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            stops.append(focus ? (focus->objectName().isEmpty() ? focus->accessibleName() : focus->objectName()) : QString());
        }
        QCOMPARE(window->searchField()->accessibleName(), QStringLiteral("Search skills"));
        QCOMPARE(stops, (QStringList{QStringLiteral("New Skill\u2026"), "sidebarTree", "skillList", "viewMode", "favorite", "reveal", "skillCard"}));
        for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
            // A line edit's own icons (the magnifier, Qt's clear button) are no stops.
            if (!button->isVisible() || !button->text().isEmpty() || button->icon().isNull()
                || qobject_cast<QLineEdit *>(button->parentWidget()))
                continue;
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName() + " " + button->metaObject()->className() + " in " + button->parentWidget()->objectName() + " " + button->parentWidget()->metaObject()->className()));
            QVERIFY2(!button->accessibleName().isEmpty(), qPrintable(button->objectName()));
        }
    }

    // View ▸ Show Line Numbers is stored, and every window's editor follows it.
    void lineNumbersAreAStoredSettingEveryEditorFollows()
    {
        ContentView *window = windowEditingOne();
        QVERIFY(window);
        HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
        QAction *lineNumbers = m_app->lineNumbersAction();
        QVERIFY(!lineNumbers->isChecked()); // off on a fresh home
        QCOMPARE(editor->gutterWidth(), 0);
        QCOMPARE(editor->viewport()->x(), 0);

        lineNumbers->trigger();
        QVERIFY(editor->lineNumbersShown());
        QVERIFY(editor->gutterWidth() > 0);
        QCOMPARE(editor->viewport()->x(), editor->gutterWidth()); // the text moves over for it
        QVERIFY(editor->findChild<QWidget *>("lineNumbers")->isVisible());
        QVERIFY(!editor->grab().isNull()); // the gutter paints
        QCOMPARE(QSettings().value(QLatin1String(SettingsKeys::showLineNumbers)).toBool(), true);
        ContentView *second = m_app->newWindow();
        QVERIFY(second->detailView()->editor()->textEditor()->lineNumbersShown());

        // A longer file widens the gutter for its numbers.
        const int narrow = editor->gutterWidth();
        editor->setPlainText(QString("line\n").repeated(1200));
        QVERIFY(editor->gutterWidth() > narrow);

        lineNumbers->trigger();
        QCOMPARE(editor->gutterWidth(), 0);
        QCOMPARE(QSettings().value(QLatin1String(SettingsKeys::showLineNumbers)).toBool(), false);
        QSettings().remove(QLatin1String(SettingsKeys::showLineNumbers));
    }
};

VESK_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
