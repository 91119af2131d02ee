#include "common/appstate.h"
#include "common/libraryactions.h"
#include "detail/segmentedcontrol.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "detail/skillsummaryview.h"
#include "detail/highlightedtexteditor.h"
#include "library/modelcontainer.h"
#include "library/modelcontext.h"
#include "testhome.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest/QtTest>

// The detail column's frame: what it shows in each mode, its title and its
// header controls. Each test has its own home folder and store.
class TestDetailView final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<ModelContainer> m_container;

    ModelContext &context() const { return *m_container->mainContext(); }

    Skill *addSkill(const QString &name, const QByteArray &text, const QString &content = QStringLiteral("Body."))
    {
        const QString path = m_home->path() + "/.claude/skills/" + name + "/SKILL.md";
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return nullptr;
        file.close();
        return context().insert(std::make_unique<Skill>(path, path, name, QStringLiteral("About ") + name, content,
                                                        Skill::Frontmatter{}, ToolSource::Claude, true, true,
                                                        QDateTime::currentDateTimeUtc(), text.size()));
    }

    static QWidget *shownContent(SkillDetailView &view)
    {
        return view.findChild<QStackedWidget *>("detailContent")->currentWidget();
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        QString error;
        m_container = ModelContainer::open(m_home->path() + "/data/vesk.sqlite", &error);
        QVERIFY2(m_container, qPrintable(error));
    }

    void cleanup()
    {
        m_container.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_home.reset();
    }

    void theContentFollowsTheMode()
    {
        Skill *skill = addSkill("review", "---\nname: review\n---\nRead the diff.\n");
        QVERIFY(skill);
        AppState state;
        SkillDetailView view(state);
        view.setSkill(skill);
        QCOMPARE(state.detailViewMode(), DetailViewMode::Card);
        QVERIFY(qobject_cast<SkillSummaryView *>(shownContent(view)));
        QCOMPARE(view.modeSwitch()->currentIndex(), 0);

        state.setDetailViewMode(DetailViewMode::Editor);
        QCOMPARE(shownContent(view), view.editor());
        QCOMPARE(view.modeSwitch()->currentIndex(), 1);
        QCOMPARE(view.editor()->text(), QStringLiteral("---\nname: review\n---\nRead the diff.\n"));

        // The mode is the shared state's, so it holds for the next skill too.
        Skill *other = addSkill("other", "Other text.");
        view.setSkill(other);
        QCOMPARE(shownContent(view), view.editor());
        QCOMPARE(view.editor()->text(), QStringLiteral("Other text."));
    }

    void theSwitchWritesTheModeButChoosingTheCurrentOneDoesNothing()
    {
        Skill *skill = addSkill("review", "Text.");
        AppState state;
        SkillDetailView view(state);
        view.setSkill(skill);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        SegmentedControl *modes = view.modeSwitch();
        QCOMPARE(modes->toolTip(), QStringLiteral("Switch between card and editor view"));
        QCOMPARE(modes->width(), 80);
        QSignalSpy changed(&state, &AppState::detailViewModeChanged);

        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(0).center());
        QCOMPARE(changed.size(), 0);
        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(1).center());
        QCOMPARE(state.detailViewMode(), DetailViewMode::Editor);
        QCOMPARE(changed.size(), 1);
        QVERIFY(view.editor()->textEditor()->hasFocus()); // ready to type
        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(1).center());
        QCOMPARE(changed.size(), 1);
        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(0).center());
        QCOMPARE(state.detailViewMode(), DetailViewMode::Card);
    }

    void theFavoriteToggleShowsAndSavesEachChange()
    {
        Skill *skill = addSkill("review", "Text.");
        QVERIFY(context().save());
        AppState state;
        SkillDetailView view(state);
        view.setSkill(skill);
        connect(&view, &SkillDetailView::toggleFavoriteRequested, this,
                [this](Skill *target) { toggleFavorite(context(), *target); });
        QToolButton *favorite = view.favoriteButton();
        QCOMPARE(favorite->toolTip(), QStringLiteral("Add to favorites"));
        const QImage plain = favorite->icon().pixmap(16, 16).toImage();

        favorite->click();
        QVERIFY(skill->isFavorite());
        QVERIFY(!context().hasChanges()); // saved at once
        QCOMPARE(favorite->toolTip(), QStringLiteral("Remove from favorites"));
        QVERIFY(favorite->icon().pixmap(16, 16).toImage() != plain);

        favorite->click();
        QVERIFY(!skill->isFavorite());
        QVERIFY(!context().hasChanges());
        QCOMPARE(favorite->toolTip(), QStringLiteral("Add to favorites"));
        QCOMPARE(favorite->icon().pixmap(16, 16).toImage(), plain);
    }

    void theRevealButtonAsksForTheSkillsFile()
    {
        Skill *skill = addSkill("review", "Text.");
        AppState state;
        SkillDetailView view(state);
        view.setSkill(skill);
        QCOMPARE(view.revealButton()->toolTip(), QStringLiteral("Show in File Manager"));
        QSignalSpy reveal(&view, &SkillDetailView::revealRequested);
        view.revealButton()->click();
        QCOMPARE(reveal.size(), 1);
        QCOMPARE(reveal.first().first().value<Skill *>(), skill);
    }

    void theTitleIsTheNameAndFollowsRenames()
    {
        Skill *skill = addSkill("review", "Text.");
        AppState state;
        SkillDetailView view(state);
        view.resize(600, 400);
        view.setSkill(skill);
        QCOMPARE(view.title(), QStringLiteral("review"));
        skill->setName(QStringLiteral("careful-review"));
        QCOMPARE(view.title(), QStringLiteral("careful-review"));
        view.setSkill(nullptr);
        QCOMPARE(view.title(), QString());
    }

    void theSummaryShowsTextFromTheFileAsPlainText()
    {
        const QString body = QStringLiteral("![x](/dev/zero)\n<b>not bold</b>");
        Skill *skill = addSkill("trap", "Text.", body);
        skill->setName(QStringLiteral("<img src=/dev/zero>"));
        AppState state;
        SkillDetailView view(state);
        view.setSkill(skill);
        auto *summary = view.findChild<SkillSummaryView *>();
        QVERIFY(summary);
        QStringList texts;
        for (QLabel *label : summary->findChildren<QLabel *>()) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            texts.append(label->text());
        }
        QVERIFY(texts.contains(QStringLiteral("<img src=/dev/zero>")));
        QCOMPARE(summary->findChild<QPlainTextEdit *>("summaryBody")->toPlainText(), body);
    }

    void theSummarySaysWhenAToolNoLongerReadsTheFolder()
    {
        const QString legacy = QDir::homePath() + "/.cursor/rules/old.mdc";
        const QString current = QDir::homePath() + "/.cursor/skills/old/SKILL.md";
        Skill *skill = context().insert(std::make_unique<Skill>(legacy, legacy, "old", "", "", Skill::Frontmatter{},
                                                                ToolSource::Cursor, false, true,
                                                                QDateTime::currentDateTimeUtc(), 0));
        QVERIFY(skill);
        skill->setInstalledPaths({legacy, current});
        AppState state;
        SkillDetailView view(state);
        view.setSkill(skill);
        auto *note = view.findChild<QLabel *>("legacyNote");
        QVERIFY(note);
        QVERIFY(!note->isHidden());
        QCOMPARE(note->text(), QStringLiteral("Cursor no longer reads this folder"));
        QCOMPARE(note->toolTip(), QStringLiteral("~/.cursor/rules"));

        skill->setInstalledPaths({current}); // the copy in the old folder went away
        QVERIFY(note->isHidden());
    }

    void theSummaryPreviewKeepsTheFirstLinesThatAreNotBlank_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("characters");
        QTest::addColumn<QString>("preview");
        QTest::newRow("blank lines are skipped") << "a\n\n  \nb\n" << 20 << 100 << "a\nb";
        QTest::newRow("at most the given number of lines") << "a\nb\nc" << 2 << 100 << "a\nb";
        QTest::newRow("a long line is cut at the character limit") << "abcdef\nxyz" << 20 << 4 << "abcd";
        QTest::newRow("nothing left reads as no content") << "\n \t\n" << 20 << 100 << "(No content)";
    }

    void theSummaryPreviewKeepsTheFirstLinesThatAreNotBlank()
    {
        QFETCH(QString, body);
        QFETCH(int, lines);
        QFETCH(int, characters);
        QFETCH(QString, preview);
        QCOMPARE(SkillSummaryView::preview(body, lines, characters), preview);
    }

    void leaveChecksCanRefuseAndEndWithTheirOwner()
    {
        Skill *first = addSkill("first", "One.");
        Skill *second = addSkill("second", "Two.");
        AppState state;
        state.setSelectedSkill(first);
        state.setDetailViewMode(DetailViewMode::Editor);
        int asked = 0;
        bool allow = false;
        auto owner = std::make_unique<QObject>();
        state.addLeaveCheck(owner.get(), [&] {
            ++asked;
            return allow;
        });

        QVERIFY(state.requestSelectedSkill(first)); // no change, nothing to ask
        QCOMPARE(asked, 0);
        QVERIFY(!state.requestSelectedSkill(second));
        QVERIFY(!state.requestDetailViewMode(DetailViewMode::Card));
        QCOMPARE(state.selectedSkill(), first);
        QCOMPARE(state.detailViewMode(), DetailViewMode::Editor);
        QCOMPARE(asked, 2);

        allow = true;
        QVERIFY(state.requestDetailViewMode(DetailViewMode::Card));
        QVERIFY(state.requestDetailViewMode(DetailViewMode::Editor)); // entering the editor asks nothing
        QCOMPARE(asked, 3);

        allow = false;
        owner.reset();
        QVERIFY(state.requestSelectedSkill(second));
        QCOMPARE(asked, 3);
    }
};

VESK_TEST_MAIN(TestDetailView)
#include "tst_detailview.moc"
