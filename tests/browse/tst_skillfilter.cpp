#include "common/appstate.h"
#include "browse/sidebarmodel.h"
#include "browse/skillfilter.h"
#include "common/itemroles.h"
#include "browse/skilllistmodel.h"
#include "browse/skillsearch.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "randomtext.h"
#include "testhome.h"

#include <QAbstractItemModelTester>
#include <QtTest/QtTest>

// A small library: each row of the tables names the skills it expects, in order.
class TestSkillFilter final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ModelContainer> m_container;

    ModelContext &context() { return *m_container->mainContext(); }

    void add(const QString &name, const QString &description, const QString &body,
             QList<ToolSource> tools, bool favorite = false)
    {
        auto skill = std::make_unique<Skill>("/s/" + name + ".md", QString(), name, description, body,
                                             Skill::Frontmatter{}, tools.first(), false, true,
                                             QDateTime::currentDateTimeUtc(), 1);
        skill->setToolSources(tools);
        skill->setIsFavorite(favorite);
        QVERIFY(context().insert(std::move(skill)));
    }

    // The plain rule and the fast search must agree on every row.
    QStringList names(const SidebarFilter &filter, const QString &search)
    {
        QStringList list;
        for (const Skill *skill : filterSkills(context().skills(), filter, search))
            list.append(skill->name());
        SkillSearch fast;
        QStringList fastList;
        for (const Skill *skill : fast.filter(filterBySidebar(context().skills(), filter), search))
            fastList.append(skill->name());
        if (fastList != list)
            return QStringList{QStringLiteral("fast search differs:")} + fastList;
        return list;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        m_container = ModelContainer::open(m_dir.filePath("filter.sqlite"), &error);
        QVERIFY2(m_container, qPrintable(error));
        add("beta", "second letter", "plain body", {ToolSource::Claude});
        add("Alpha", "capital first", "", {ToolSource::Cursor}, true);
        add("alpha", "", "mentions a hidden-needle in the body", {ToolSource::Claude, ToolSource::Cursor});
        add("claude tools", "helpers", "", {ToolSource::Codex});
        add("résumé", "cv writer", "", {ToolSource::Amp});
        add("nospace", "x", "y", {ToolSource::Amp});
        auto *work = context().insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(context().skillWithResolvedPath("/s/beta.md"));
    }

    void filtersAndSearches_data()
    {
        QTest::addColumn<SidebarFilter>("filter");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        const SidebarFilter all = SidebarFilter::all();
        QTest::newRow("all skills in plain name order, capitals first")
            << all << "" << QStringList{"Alpha", "alpha", "beta", "claude tools", "nospace", "résumé"};
        QTest::newRow("favorites only") << SidebarFilter::favorites() << "" << QStringList{"Alpha"};
        QTest::newRow("a skill of two harnesses is under the first")
            << SidebarFilter::tool(ToolSource::Claude) << "" << QStringList{"alpha", "beta"};
        QTest::newRow("and under the second")
            << SidebarFilter::tool(ToolSource::Cursor) << "" << QStringList{"Alpha", "alpha"};
        QTest::newRow("a harness without skills lists nothing") << SidebarFilter::tool(ToolSource::Aider) << "" << QStringList{};
        QTest::newRow("a collection lists its members") << SidebarFilter::collection("Work") << "" << QStringList{"beta"};
        QTest::newRow("collection names are case-sensitive") << SidebarFilter::collection("work") << "" << QStringList{};
        QTest::newRow("search ignores case") << all << "CLAUDE" << QStringList{"claude tools"};
        QTest::newRow("search reaches the description") << all << "Letter" << QStringList{"beta"};
        QTest::newRow("search reaches the body")
            << all << "hidden-needle" << QStringList{"alpha"};
        QTest::newRow("diacritics count") << all << "resume" << QStringList{};
        QTest::newRow("a space is a real search")
            << all << " " << QStringList{"Alpha", "alpha", "beta", "claude tools", "résumé"};
        QTest::newRow("search and filter combine") << SidebarFilter::tool(ToolSource::Claude) << "plain" << QStringList{"beta"};
    }
    void filtersAndSearches()
    {
        QFETCH(SidebarFilter, filter);
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        QCOMPARE(names(filter, search), expected);
    }

    // Typing, deleting and retyping over random records, some saved (their
    // bodies then come from the store), some with texts that cannot be folded,
    // some edited in between: every keystroke gives the plain rule's matches.
    void fastSearchMatchesThePlainRule_data()
    {
        QTest::addColumn<qsizetype>("twoThreadsFrom");
        QTest::addColumn<int>("bodyPieces");
        QTest::newRow("a small library is searched on one thread") << SkillSearch::defaultBytesForTwoThreads << 120;
        QTest::newRow("split between two threads, matches come back in order") << qsizetype(0) << 120;
        QTest::newRow("bodies kept in the key file are read back, letter pairs skip none that match")
            << qsizetype(0) << 2000;
    }

    void fastSearchMatchesThePlainRule()
    {
        QFETCH(qsizetype, twoThreadsFrom);
        QFETCH(int, bodyPieces);
        QTemporaryDir dir;
        QString error;
        auto container = ModelContainer::open(dir.filePath("random.sqlite"), &error);
        QVERIFY2(container, qPrintable(error));
        ModelContext &store = *container->mainContext();
        QRandomGenerator random(77);
        for (int i = 0; i < 400; ++i) {
            const int plain = i % 4 == 0 ? 0 : 80;
            // A long body of mixed pieces is nearly always inexact; most long ones are plain.
            const int bodyPlain = bodyPieces > 120 && plain > 0 ? 100 : plain;
            store.insert(std::make_unique<Skill>(QStringLiteral("/r/%1.md").arg(i), QString(),
                                                 RandomText::make(random, 8, plain), RandomText::make(random, 20, plain),
                                                 RandomText::make(random, i % 50 == 0 ? 1200 : bodyPieces, bodyPlain),
                                                 Skill::Frontmatter{}, ToolSource::Claude, false, true,
                                                 QDateTime::currentDateTimeUtc(), 1));
            if (i == 300)
                QVERIFY(store.save()); // the rest stay unsaved
        }
        const QList<Skill *> skills = store.skills();

        SkillSearch search;
        search.setBytesForTwoThreads(twoThreadsFrom);
        QString text;
        int nonEmptyResults = 0;
        int spilled = 0;
        for (int step = 0; step < 1200; ++step) {
            switch (random.bounded(6)) {
            case 0:
            case 1: // type a character
                text += RandomText::make(random, 1, 70);
                break;
            case 2: // delete one
                text.chop(1);
                break;
            case 3: // start over with a piece of some record
                text = RandomText::sliceOf(random, skills.at(random.bounded(int(skills.size())))->content());
                break;
            case 4: // edit a record, as a rescan would; the model then forgets the last search
                skills.at(random.bounded(int(skills.size())))->setContent(RandomText::make(random, 60, 80));
                search.forget();
                break;
            default: // clear the field
                if (random.bounded(4) == 0)
                    text.clear();
                break;
            }
            const QList<Skill *> expected = filterSkills(skills, SidebarFilter::all(), text);
            const QList<Skill *> actual = search.filter(skills, text);
            spilled += step == 0 ? int(std::count_if(skills.cbegin(), skills.cend(), [](const Skill *skill) {
                return skill->searchKey().spilledBody != nullptr;
            })) : 0;
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("step %1, search \"%2\": %3 matches, the rule gives %4")
                                     .arg(step).arg(text).arg(actual.size()).arg(expected.size())));
            nonEmptyResults += !text.isEmpty() && !expected.isEmpty() && expected.size() < skills.size();
        }
        QVERIFY2(nonEmptyResults > 200, qPrintable(QString::number(nonEmptyResults)));
        // Long bodies of exact texts go to the store's key file.
        QVERIFY2(bodyPieces <= 120 ? spilled < 20 : spilled > 150, qPrintable(QString::number(spilled)));
    }

    void theListFollowsChangesRowByRow()
    {
        // A library of its own, so that the one the tables read stays as it is.
        QTemporaryDir dir;
        QString error;
        const auto container = ModelContainer::open(dir.filePath("list.sqlite"), &error);
        QVERIFY2(container, qPrintable(error));
        ModelContext &library = *container->mainContext();
        AppState state;
        SkillListModel model(state, library);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QRandomGenerator random(11);
        for (int step = 0; step < 200; ++step) {
            const QList<Skill *> all = library.skillsInAnyOrder();
            const int choice = all.isEmpty() ? 0 : random.bounded(10);
            const QString name = QString(QChar(u'a' + random.bounded(6))) + QString::number(step);
            if (choice < 5) {
                library.insert(std::make_unique<Skill>("/l/" + name + ".md", QString(), name, QString(), QString(),
                                                       Skill::Frontmatter{}, ToolSource::Claude, false, true,
                                                       QDateTime::currentDateTimeUtc(), 1));
            } else if (choice < 8) {
                library.remove(all.at(random.bounded(int(all.size()))));
            } else {
                state.setSearchText(choice == 8 ? QString() : QString(QChar(u'a' + random.bounded(6))));
            }
            model.refresh();
            QStringList rows;
            for (int row = 0; row < model.rowCount(); ++row)
                rows.append(model.skillAt(row)->name());
            QStringList expected;
            for (const Skill *skill : filterSkills(library.skills(), SidebarFilter::all(), state.searchText()))
                expected.append(skill->name());
            QCOMPARE(rows, expected);
        }
        // Skills that come and go are told as rows; only some searches reset the list.
        QVERIFY2(resets.count() < 40, qPrintable(QString::number(resets.count())));
    }

    // The sidebar's counts follow each change of a record as a count made afresh would.
    void theSidebarCountsFollowChangesRecordByRecord()
    {
        QTemporaryDir dir;
        QString error;
        const auto container = ModelContainer::open(dir.filePath("sidebar.sqlite"), &error);
        QVERIFY2(container, qPrintable(error));
        ModelContext &library = *container->mainContext();
        const auto rows = [](SidebarModel &sidebar) {
            QStringList texts;
            for (int s = 0; s < sidebar.rowCount(); ++s) {
                const QModelIndex section = sidebar.index(s, 0);
                for (int r = 0; r < sidebar.rowCount(section); ++r) {
                    const QModelIndex row = sidebar.index(r, 0, section);
                    texts.append(row.data().toString() + u' ' + row.data(ItemRoles::BadgeCountRole).toString());
                }
            }
            return texts;
        };
        SidebarModel followed(library);
        const QList<ToolSource> tools{ToolSource::Claude, ToolSource::Cursor, ToolSource::Codex};
        QRandomGenerator random(7);
        for (int step = 0; step < 150; ++step) {
            const QList<Skill *> all = library.skillsInAnyOrder();
            const int choice = all.isEmpty() ? 0 : random.bounded(10);
            Skill *some = all.isEmpty() ? nullptr : all.at(random.bounded(int(all.size())));
            if (choice < 4) {
                const QString name = QStringLiteral("s%1").arg(step);
                const bool global = random.bounded(3) == 0;
                const QString path = global ? "/home/u/.claude/skills/" + name + "/SKILL.md"
                                            : QStringLiteral("/w/p%1/.claude/skills/%2/SKILL.md").arg(random.bounded(3)).arg(name);
                library.insert(std::make_unique<Skill>(path, path, name, QString(), QString(), Skill::Frontmatter{},
                                                       tools.at(random.bounded(3)), true, global,
                                                       QDateTime::currentDateTimeUtc(), 1));
            } else if (choice < 6) {
                library.remove(some);
            } else if (choice < 8) {
                some->setIsFavorite(!some->isFavorite());
            } else if (choice < 9) {
                some->setToolSources({tools.at(random.bounded(3)), tools.at(random.bounded(3))});
            } else {
                some->setFilePath(QStringLiteral("/w/p%1/.cursor/skills/%2/SKILL.md").arg(random.bounded(4)).arg(some->name()));
            }
            if (random.bounded(3) != 0)
                continue; // several changes between refreshes, as a scan's slice brings them
            followed.refresh();
            SidebarModel fresh(library);
            QCOMPARE(rows(followed), rows(fresh));
        }
    }

    void titlesFollowTheFilter_data()
    {
        QTest::addColumn<SidebarFilter>("filter");
        QTest::addColumn<QString>("title");
        QTest::newRow("all") << SidebarFilter::all() << "All skills";
        QTest::newRow("favorites") << SidebarFilter::favorites() << "Favorites";
        QTest::newRow("a harness shows its display name") << SidebarFilter::tool(ToolSource::Claude) << "Claude Code";
        QTest::newRow("a collection shows its name") << SidebarFilter::collection("Work") << "Work";
    }
    void titlesFollowTheFilter()
    {
        QFETCH(SidebarFilter, filter);
        QFETCH(QString, title);
        QCOMPARE(listTitle(filter), title);
    }

    void filterValuesCompareByCaseAndPayload()
    {
        QVERIFY(SidebarFilter::tool(ToolSource::Claude) == SidebarFilter::tool(ToolSource::Claude));
        QVERIFY(SidebarFilter::tool(ToolSource::Claude) != SidebarFilter::tool(ToolSource::Cursor));
        QVERIFY(SidebarFilter::all() != SidebarFilter::favorites());
        QVERIFY(SidebarFilter::collection("Work") != SidebarFilter::collection("work"));
        QCOMPARE(qHash(SidebarFilter::collection("Work")), qHash(SidebarFilter::collection("Work")));
        for (const QString text : {"all", "favorites", "amp", "collection:My: list"})
            QCOMPARE(SidebarFilter::fromString(text)->toString(), text);
        QVERIFY(!SidebarFilter::fromString("Claude"));
        QVERIFY(!DetailViewModes::fromRawValue("Editor"));
        QCOMPARE(DetailViewModes::fromRawValue("card"), std::optional<DetailViewMode>(DetailViewMode::Card));
    }

    void stateIgnoresEqualWrites()
    {
        AppState state;
        QCOMPARE(state.sidebarFilter(), SidebarFilter::all());
        QCOMPARE(state.detailViewMode(), DetailViewMode::Card);
        QVERIFY(!state.selectedSkill());
        QSignalSpy filter(&state, &AppState::sidebarFilterChanged);
        QSignalSpy search(&state, &AppState::searchTextChanged);
        QSignalSpy mode(&state, &AppState::detailViewModeChanged);
        state.setSidebarFilter(SidebarFilter::all());
        state.setSearchText(QString());
        state.setDetailViewMode(DetailViewMode::Card);
        QCOMPARE(filter.count() + search.count() + mode.count(), 0);
        state.setSidebarFilter(SidebarFilter::collection("Work"));
        state.setSidebarFilter(SidebarFilter::collection("Work"));
        QCOMPARE(filter.count(), 1);
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillFilter)
#include "tst_skillfilter.moc"
