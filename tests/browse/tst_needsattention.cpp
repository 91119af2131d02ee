#include "browse/sidebarmodel.h"
#include "browse/skilllistmodel.h"
#include "common/appstate.h"
#include "common/itemroles.h"
#include "library/checks/libraryhealth.h"

#include "libraryfixture.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QAbstractItemModelTester>
#include <QtTest/QtTest>

#include <memory>

// The sidebar's "Needs Attention" row, the list it filters to, and the marks of
// the rows, all following the library's health and the rules turned off.
class TestNeedsAttention final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;

    void addSkill(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_library->home(QStringLiteral(".claude/skills/") + name + QStringLiteral("/SKILL.md"));
        QVERIFY(TestFiles::writeBytes(path, bytes));
        QVERIFY(m_library->context().insert(std::make_unique<Skill>(
            path, path, name, QStringLiteral("stored"), QString::fromUtf8(bytes), Skill::Frontmatter{{"name", name}},
            ToolSource::Claude, true, true, QDateTime::currentDateTimeUtc(), bytes.size())));
    }

private Q_SLOTS:
    void init() { m_library = std::make_unique<LibraryFixture>(); }
    void cleanup()
    {
        m_library.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void rowCountListAndMarksFollowTheHealth_data()
    {
        QTest::addColumn<QStringList>("disabled");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("marks"); // "name: level, summary" for every skill
        QTest::newRow("with every rule on, the skills with errors or warnings need attention")
            << QStringList() << 3 << QStringList{"beta", "delta", "gamma"}
            << QStringList{"alpha: 0, ", "beta: 2, 1 error", "delta: 2, 1 error, 1 warning", "gamma: 1, 1 warning"};
        QTest::newRow("turning off unknown keys takes the skill with only that warning out")
            << QStringList{"keys/unknown"} << 2 << QStringList{"beta", "delta"}
            << QStringList{"alpha: 0, ", "beta: 2, 1 error", "delta: 2, 1 error", "gamma: 0, "};
        QTest::newRow("turning off missing descriptions leaves the warnings")
            << QStringList{"format/description-missing"} << 2 << QStringList{"delta", "gamma"}
            << QStringList{"alpha: 0, ", "beta: 0, ", "delta: 1, 1 warning", "gamma: 1, 1 warning"};
    }

    void rowCountListAndMarksFollowTheHealth()
    {
        QFETCH(QStringList, disabled);
        QFETCH(int, count);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, marks);
        addSkill(QStringLiteral("alpha"), "---\nname: alpha\ndescription: Sorts imports.\n---\nSort them.\n");
        addSkill(QStringLiteral("beta"), "---\nname: beta\n---\nDo the thing.\n");
        addSkill(QStringLiteral("gamma"), "---\nname: gamma\ndescription: Paints.\ncolour: blue\n---\nPaint.\n");
        addSkill(QStringLiteral("delta"), "---\nname: delta\nshade: dark\n---\nShade.\n");

        AppState state;
        SidebarModel sidebar(m_library->context());
        SkillListModel list(state, m_library->context());
        QAbstractItemModelTester listTester(&list);
        // Without the library's health there is no row to choose, and nothing is marked.
        QVERIFY(!sidebar.indexForFilter(SidebarFilter::needsAttention()).isValid());

        LibraryHealth health(m_library->context());
        QSignalSpy finished(&health, &LibraryHealth::roundFinished);
        health.start();
        QVERIFY(finished.wait(20000));
        health.setDisabledRules(QSet<QString>(disabled.cbegin(), disabled.cend()));
        sidebar.setHealth(&health);
        list.setHealth(&health);
        state.setSidebarFilter(SidebarFilter::needsAttention());
        list.refresh();

        const QModelIndex row = sidebar.indexForFilter(SidebarFilter::needsAttention());
        QVERIFY(row.isValid());
        QCOMPARE(row.data(Qt::DisplayRole).toString(), QStringLiteral("Needs Attention"));
        QCOMPARE(row.data(ItemRoles::BadgeCountRole).toInt(), count);
        const auto namesListed = [&list] {
            QStringList names;
            for (int i = 0; i < list.rowCount(); ++i)
                names.append(list.index(i).data().toString());
            return names;
        };
        QCOMPARE(namesListed(), listed);

        state.setSidebarFilter(SidebarFilter::all());
        QStringList shown;
        for (int i = 0; i < list.rowCount(); ++i) {
            const QModelIndex index = list.index(i);
            const QString summary = index.data(ItemRoles::HealthSummaryRole).toString();
            shown.append(QStringLiteral("%1: %2, %3")
                             .arg(index.data().toString())
                             .arg(index.data(ItemRoles::HealthLevelRole).toInt())
                             .arg(summary));
            // Said as well as drawn: to a screen reader and in the row's tooltip.
            QCOMPARE(index.data(Qt::AccessibleDescriptionRole).toString(), summary);
            QCOMPARE(index.data(Qt::ToolTipRole).toString().contains(summary), true);
        }
        QCOMPARE(shown, marks);

        // Every rule back on, "Needs Attention" chosen: the count follows at once,
        // told for its row alone, and the list follows too.
        state.setSidebarFilter(SidebarFilter::needsAttention());
        QSignalSpy told(&sidebar, &QAbstractItemModel::dataChanged);
        health.setDisabledRules({});
        QCOMPARE(sidebar.indexForFilter(SidebarFilter::needsAttention()).data(ItemRoles::BadgeCountRole).toInt(), 3);
        QCOMPARE(told.size(), count == 3 ? 0 : 1);
        if (!told.isEmpty())
            QCOMPARE(told.constFirst().constFirst().toModelIndex(), sidebar.indexForFilter(SidebarFilter::needsAttention()));
        QTRY_COMPARE(namesListed(), (QStringList{"beta", "delta", "gamma"}));
    }

    void theFilterHasATextForm()
    {
        QCOMPARE(SidebarFilter::needsAttention().toString(), QStringLiteral("attention"));
        QCOMPARE(SidebarFilter::fromString(QStringLiteral("attention")), SidebarFilter::needsAttention());
        QVERIFY(SidebarFilter::needsAttention() != SidebarFilter::turnedOff());
    }
};

VESK_TEST_MAIN(TestNeedsAttention)
#include "tst_needsattention.moc"
