#include "card/clampedlabel.h"
#include "card/skillcardview.h"
#include "card/skillmetadatabar.h"
#include "card/symboltext.h"
#include "common/appstate.h"
#include "common/libraryactions.h"
#include "detail/segmentedcontrol.h"
#include "detail/skilldetailview.h"
#include "detail/skilleditorview.h"
#include "detail/highlightedtexteditor.h"
#include "libraryfixture.h"
#include "skillfiles.h"
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

    std::unique_ptr<LibraryFixture> m_library;

    ModelContext &context() const { return m_library->context(); }
    ArtifactCache &artifacts() const { return m_library->artifacts(); }

    Skill *addSkill(const QString &name, const QByteArray &text, const QString &content = QStringLiteral("Body."))
    {
        const QString path = m_library->home(".claude/skills/" + name + "/SKILL.md");
        if (!TestFiles::writeBytes(path, text))
            return nullptr;
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
        m_library = std::make_unique<LibraryFixture>();
    }

    void cleanup()
    {
        m_library.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void theSwitchAndTheSharedModeChooseWhatIsShown()
    {
        Skill *skill = addSkill("review", "---\nname: review\n---\nRead the diff.\n");
        QVERIFY(skill);
        AppState state;
        SkillDetailView view(state, context(), artifacts());
        view.setSkill(skill);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(state.detailViewMode(), DetailViewMode::Card);
        QCOMPARE(shownContent(view), view.card());
        QCOMPARE(view.metadataBar()->skill(), skill);
        SegmentedControl *modes = view.modeSwitch();
        QCOMPARE(modes->currentIndex(), 0);
        QCOMPARE(modes->toolTip(), QStringLiteral("Switch between card and editor view"));
        QCOMPARE(modes->width(), 80);
        QSignalSpy changed(&state, &AppState::detailViewModeChanged);

        // Choosing the current mode writes nothing; the other one writes it once.
        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(0).center());
        QCOMPARE(changed.size(), 0);
        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(1).center());
        QCOMPARE(state.detailViewMode(), DetailViewMode::Editor);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(shownContent(view), view.editor());
        QCOMPARE(view.editor()->text(), QStringLiteral("---\nname: review\n---\nRead the diff.\n"));
        QVERIFY(view.editor()->textEditor()->hasFocus()); // ready to type
        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(1).center());
        QCOMPARE(changed.size(), 1);

        // The mode is the shared state's, so it holds for the next skill too.
        Skill *other = addSkill("other", "Other text.");
        view.setSkill(other);
        QCOMPARE(shownContent(view), view.editor());
        QCOMPARE(view.editor()->text(), QStringLiteral("Other text."));
        QTest::mouseClick(modes, Qt::LeftButton, {}, modes->segmentRect(0).center());
        QCOMPARE(state.detailViewMode(), DetailViewMode::Card);
        QCOMPARE(shownContent(view), view.card());
        state.setDetailViewMode(DetailViewMode::Editor);
        QCOMPARE(shownContent(view), view.editor());
        QCOMPARE(modes->currentIndex(), 1);
    }

    // The title, the reveal button and the favourite toggle in the header.
    void theHeaderFollowsTheSkill()
    {
        Skill *skill = addSkill("review", "Text.");
        QVERIFY(context().save());
        AppState state;
        SkillDetailView view(state, context(), artifacts());
        view.resize(600, 400);
        view.setSkill(skill);
        QCOMPARE(view.title(), QStringLiteral("review"));
        skill->setName(QStringLiteral("careful-review"));
        QCOMPARE(view.title(), QStringLiteral("careful-review"));

        QCOMPARE(view.revealButton()->toolTip(), QStringLiteral("Show in File Manager"));
        QSignalSpy reveal(&view, &SkillDetailView::revealRequested);
        view.revealButton()->click();
        QCOMPARE(reveal.size(), 1);
        QCOMPARE(reveal.first().first().value<Skill *>(), skill);

        // Each change of the favourite mark shows at once and is saved at once.
        connect(&view, &SkillDetailView::toggleFavoriteRequested, this,
                [this](Skill *target) { toggleFavorite(context(), *target); });
        QToolButton *favorite = view.favoriteButton();
        QCOMPARE(favorite->toolTip(), QStringLiteral("Add to favorites"));
        const QImage plain = favorite->icon().pixmap(16, 16).toImage();
        favorite->click();
        QVERIFY(skill->isFavorite());
        QVERIFY(!context().hasChanges());
        QCOMPARE(favorite->toolTip(), QStringLiteral("Remove from favorites"));
        QVERIFY(favorite->icon().pixmap(16, 16).toImage() != plain);
        favorite->click();
        QVERIFY(!skill->isFavorite());
        QVERIFY(!context().hasChanges());
        QCOMPARE(favorite->toolTip(), QStringLiteral("Add to favorites"));
        QCOMPARE(favorite->icon().pixmap(16, 16).toImage(), plain);

        view.setSkill(nullptr);
        QCOMPARE(view.title(), QString());
    }

    void theCardShowsTextFromTheFileAsPlainText()
    {
        const QString body = QStringLiteral("![x](/dev/zero)\n<b>not bold</b>");
        Skill *skill = addSkill("trap", "Text.", body);
        skill->setName(QStringLiteral("<img src=/dev/zero>"));
        AppState state;
        SkillDetailView view(state, context(), artifacts());
        view.setSkill(skill);
        view.resize(800, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_COMPARE(view.card()->findChild<ClampedLabel *>("cardName")->displayedText(),
                     QStringLiteral("<img src=/dev/zero>"));
        QCOMPARE(view.card()->findChild<ClampedLabel *>("contentPreview")->text(), body);
    }

    void theCardSaysWhenAToolNoLongerReadsTheFolder()
    {
        const QString legacy = QDir::homePath() + "/.cursor/rules/old.mdc";
        const QString current = QDir::homePath() + "/.cursor/skills/old/SKILL.md";
        Skill *skill = context().insert(std::make_unique<Skill>(legacy, legacy, "old", "", "", Skill::Frontmatter{},
                                                                ToolSource::Cursor, false, true,
                                                                QDateTime::currentDateTimeUtc(), 0));
        QVERIFY(skill);
        skill->setInstalledPaths({legacy, current});
        AppState state;
        SkillDetailView view(state, context(), artifacts());
        view.setSkill(skill);
        auto *note = view.card()->findChild<SymbolLabel *>("legacyNote");
        QVERIFY(note);
        QCOMPARE(note->text(), QStringLiteral("Cursor no longer reads this folder"));
        QCOMPARE(note->toolTip(), QStringLiteral("~/.cursor/rules"));

        skill->setInstalledPaths({current}); // the copy in the old folder went away
        QTRY_VERIFY(!view.card()->findChild<SymbolLabel *>("legacyNote"));
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
