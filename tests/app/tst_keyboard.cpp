#include "app/contentview.h"
#include "app/veskapp.h"
#include "browse/skilllistmodel.h"
#include "browse/skilllistview.h"
#include "common/appstate.h"
#include "common/savecommand.h"
#include "detail/findbar.h"
#include "detail/highlightedtexteditor.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "library/modelcontext.h"
#include "library/settingskeys.h"
#include "appwindow.h"
#include "messageboxes.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QAction>
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
};

VESK_TEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
