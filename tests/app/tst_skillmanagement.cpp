#include "app/contentview.h"
#include "app/skillmanagement.h"
#include "app/veskapp.h"
#include "browse/sidebarmodel.h"
#include "browse/sidebarview.h"
#include "common/appstate.h"
#include "common/itemroles.h"
#include "common/noticebar.h"
#include "detail/highlightedtexteditor.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "library/catalogue/settingskeys.h"
#include "library/records/skillcollection.h"
#include "appwindow.h"
#include "messageboxes.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QtTest/QtTest>

using TestFiles::readFile;
using TestFiles::writeSkill;

// The skill operations as the window offers them, on the real window offscreen,
// each test with a fresh home folder and store.
class TestSkillManagement final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<VeskApp> m_app;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }
    Skill *skillNamed(const QString &name) const { return TestWindow::skillNamed(m_app->context(), name); }

    ContentView *windowOnThreeSkills()
    {
        for (const char *name : {"one", "two", "three"})
            writeSkill(home(QStringLiteral(".claude/skills/%1/SKILL.md").arg(QLatin1String(name))), name);
        return TestWindow::shown(m_app->newWindow());
    }

    static QStringList titles(const QList<QAction *> &actions, const QString &objectName)
    {
        for (QAction *action : actions) {
            if (action->objectName() == objectName && action->menu()) {
                QStringList list;
                for (QAction *item : action->menu()->actions()) {
                    if (!item->isSeparator() && !item->isCheckable())
                        list.append(item->text());
                }
                return list;
            }
        }
        return {QStringLiteral("(no such menu)")};
    }

    static int turnedOffCount(ContentView *window)
    {
        SidebarModel *model = window->sidebar()->model();
        model->refresh();
        const QModelIndex index = model->indexForFilter(SidebarFilter::turnedOff());
        return index.isValid() ? index.data(ItemRoles::BadgeCountRole).toInt() : 0;
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

    void theMenuOffersOnlyToolsThatDoNotReadTheSkillYet()
    {
        ContentView *window = windowOnThreeSkills();
        QVERIFY(window);
        QObject owner;
        const QList<QAction *> actions = window->skillManagement()->actions({skillNamed("one")}, &owner);
        // Claude's folder is read by Copilot, Cursor and OpenCode already; Codex's
        // own folder is the shared one.
        QCOMPARE(titles(actions, "useIn"), (QStringList{"All tools (shared folder)", "Windsurf", "Gemini CLI"}));
        QCOMPARE(titles(actions, "stopUsingIn"), QStringList{});

        window->skillManagement()->run("Use in Gemini CLI", {skillNamed("one")}, [this](Skill &skill) {
            return useSkillIn(m_app->context(), skill, ToolSource::Gemini, PlacementKind::Link);
        });
        QVERIFY(skillNamed("one")->hasToolSource(ToolSource::Gemini));
        const QList<QAction *> after = window->skillManagement()->actions({skillNamed("one")}, &owner);
        QCOMPARE(titles(after, "useIn"), (QStringList{"All tools (shared folder)", "Windsurf"}));
        QCOMPARE(titles(after, "stopUsingIn"), QStringList{"Gemini CLI"});
    }

    void severalSkillsAreEachTurnedOffAndAFailureIsReportedNotUndone()
    {
        ContentView *window = windowOnThreeSkills();
        QVERIFY(window);
        skillNamed("one")->setIsFavorite(true);
        m_app->context().save();
        // "three" is gone from disk behind the window's back: it cannot be turned off.
        QVERIFY(QDir(home(".claude/skills/three")).removeRecursively());
        const QList<Skill *> skills{skillNamed("one"), skillNamed("two"), skillNamed("three")};

        MessageBoxAnswers answers({QMessageBox::Ok});
        window->skillManagement()->run("Turn off", skills, [this](Skill &skill) {
            return turnSkillOff(m_app->context(), skill);
        });
        QCOMPARE(answers.texts(), QStringList{"1 of 3 skills could not be done; the others were."});
        QCOMPARE(window->skillManagement()->lastFailures().size(), 1);
        QVERIFY(window->skillManagement()->lastFailures().constFirst().startsWith("three: "));
        QVERIFY(!QFileInfo::exists(home(".claude/skills/one")));
        QVERIFY(!QFileInfo::exists(home(".claude/skills/two")));
        QCOMPARE(turnedOffCount(window), 2);

        NoticeBar *bar = window->undoNotice();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->message(), QStringLiteral("Turn off: done for 2 skills."));
        bar->actionButton()->click();
        QCOMPARE(readFile(home(".claude/skills/one/SKILL.md")), TestFiles::skillText("one"));
        QCOMPARE(readFile(home(".claude/skills/two/SKILL.md")), TestFiles::skillText("two"));
        QCOMPARE(bar->message(), QStringLiteral("Turn off: undone."));
        QVERIFY(!bar->actionButton()->isVisible());
        QVERIFY2(skillNamed("one") && skillNamed("one")->isFavorite(), "the favorite came back with it");
        QCOMPARE(turnedOffCount(window), 0);
    }

    void aSkillOpenWithUnsavedTextAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("renamed");
        QTest::newRow("cancel keeps the skill and the text as they are") << int(QMessageBox::Cancel) << false;
        QTest::newRow("save writes the text, then renames") << int(QMessageBox::Save) << true;
    }
    void aSkillOpenWithUnsavedTextAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(bool, renamed);
        ContentView *window = windowOnThreeSkills();
        QVERIFY(window);
        QVERIFY(window->openInEditor(skillNamed("one")));
        HighlightedTextEditor *editor = window->detailView()->editor()->textEditor();
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor, "edited");

        MessageBoxAnswers answers({QMessageBox::StandardButton(answer)});
        window->skillManagement()->run("Rename", {skillNamed("one")}, [this](Skill &skill) {
            return renameSkill(m_app->context(), skill, "fresh");
        });
        QCOMPARE(answers.texts(), QStringList{"Save changes to “one”?"});
        QCOMPARE(QFileInfo::exists(home(".claude/skills/fresh/SKILL.md")), renamed);
        QCOMPARE(QFileInfo::exists(home(".claude/skills/one/SKILL.md")), !renamed);
        if (renamed)
            QVERIFY(readFile(home(".claude/skills/fresh/SKILL.md")).endsWith("edited"));
        else
            QVERIFY(window->detailView()->editor()->hasUnsavedChanges());
    }
};

VESK_TEST_MAIN(TestSkillManagement)
#include "tst_skillmanagement.moc"
