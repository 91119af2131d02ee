#include "library/checks/healthstore.h"
#include "library/checks/libraryhealth.h"
#include "library/store/sqlite.h"

#include "libraryfixture.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <memory>

namespace {

const QByteArray clean = "---\nname: alpha\ndescription: Sorts the imports.\n---\nSort them.\n";
const QByteArray noDescription = "---\nname: beta\n---\nDo the thing.\n";
const QByteArray fixedBeta = "---\nname: beta\ndescription: Does the thing, now described.\n---\nDo the thing.\n";
const QByteArray unknownKey = "---\nname: gamma\ndescription: Paints.\ncolour: blue\n---\nPaint it.\n";

QStringList rulesOf(const std::optional<QList<Finding>> &findings)
{
    QStringList rules;
    for (const Finding &finding : findings.value_or(QList<Finding>()))
        rules.append(finding.rule);
    return rules;
}

} // namespace

class TestLibraryHealth final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;

    QString skillPath(const QString &name, const QString &tool = QStringLiteral(".claude")) const
    {
        return m_library->home(tool + QStringLiteral("/skills/") + name + QStringLiteral("/SKILL.md"));
    }

    Skill *addSkill(const QString &name, const QByteArray &bytes, const QString &tool = QStringLiteral(".claude"))
    {
        const QString path = skillPath(name, tool);
        if (!TestFiles::writeBytes(path, bytes))
            return nullptr;
        return m_library->context().insert(std::make_unique<Skill>(
            path, path, name, QStringLiteral("stored"), QString::fromUtf8(bytes), Skill::Frontmatter{{"name", name}},
            ToolSource::Claude, true, true, QDateTime::currentDateTimeUtc(), bytes.size()));
    }

    // Waits until no round runs or is due any more.
    static bool settled(LibraryHealth &health)
    {
        QSignalSpy finished(&health, &LibraryHealth::roundFinished);
        while (health.isChecking() || !health.isSettled()) {
            if (!finished.wait(20000))
                return false;
        }
        return true;
    }

    // Starts following the records and waits for the first round.
    static bool round(LibraryHealth &health)
    {
        health.start();
        return health.isChecking() && settled(health);
    }

    void addThree()
    {
        QVERIFY(addSkill(QStringLiteral("alpha"), clean));
        QVERIFY(addSkill(QStringLiteral("beta"), noDescription));
        QVERIFY(addSkill(QStringLiteral("gamma"), unknownKey));
        QVERIFY(m_library->context().save());
    }

private Q_SLOTS:
    void init() { m_library = std::make_unique<LibraryFixture>(); }
    void cleanup()
    {
        m_library.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void storedFindingsSurviveAReopen_data()
    {
        QTest::addColumn<QString>("change"); // what happens while the library is closed
        QTest::addColumn<int>("checked");    // files the reopened library checks again
        QTest::addColumn<int>("attention");  // skills needing attention after it
        QTest::addColumn<QStringList>("betaRules");
        QTest::newRow("a reopened library shows the stored findings and checks nothing again")
            << "nothing" << 0 << 2 << QStringList{"format/description-missing"};
        QTest::newRow("a file fixed while closed is the only one checked again")
            << "fix beta" << 1 << 1 << QStringList();
        QTest::newRow("a skill removed while closed no longer counts")
            << "remove gamma" << 0 << 1 << QStringList{"format/description-missing"};
        QTest::newRow("rows another revision of the checker wrote are checked again")
            << "stale rows" << 3 << 2 << QStringList{"format/description-missing"};
    }

    void storedFindingsSurviveAReopen()
    {
        QFETCH(QString, change);
        QFETCH(int, checked);
        QFETCH(int, attention);
        QFETCH(QStringList, betaRules);
        addThree();
        {
            LibraryHealth health(m_library->context());
            QVERIFY(round(health));
            QCOMPARE(health.lastChecked(), 3);
            QCOMPARE(health.needingAttention(), 2);
        }
        if (change == QLatin1String("fix beta")) {
            TestFiles::writeFile(skillPath(QStringLiteral("beta")), fixedBeta);
        } else if (change == QLatin1String("remove gamma")) {
            m_library->context().remove(m_library->named(QStringLiteral("gamma")));
            QVERIFY(m_library->context().save());
            QVERIFY(QDir(QFileInfo(skillPath(QStringLiteral("gamma"))).path()).removeRecursively());
        } else if (change == QLatin1String("stale rows")) {
            QVERIFY(m_library->context().database().exec("UPDATE check_result SET checker = 'an older checker'"));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_library->openStore();

        LibraryHealth reopened(m_library->context());
        QVERIFY(round(reopened));
        QCOMPARE(reopened.lastChecked(), checked);
        QCOMPARE(reopened.needingAttention(), attention);
        QCOMPARE(rulesOf(reopened.findings(*m_library->named(QStringLiteral("beta")))), betaRules);
        QCOMPARE(rulesOf(reopened.findings(*m_library->named(QStringLiteral("alpha")))), QStringList());

        // What the reopened library checked is stored in its turn, and a removed file's row is gone.
        Sqlite::Statement rows(m_library->context().database(), "SELECT count(*) FROM check_result WHERE checker = ?1");
        rows.bind(1, HealthStore::checkerTag());
        QVERIFY(rows.next());
        QCOMPARE(rows.integer(0), change == QLatin1String("remove gamma") ? 2 : 3);
    }

    // Thousands of records are gathered and described a slice at a time; records
    // that come and go between slices are counted as they stand at the end, and a
    // record removed before its slice is never looked at.
    void aLargeLibraryIsDescribedInSlices()
    {
        for (int i = 0; i < 200; ++i) {
            const QString name = QStringLiteral("s%1").arg(i);
            QVERIFY(addSkill(name, "---\nname: " + name.toUtf8() + "\ndescription: Sorts.\n---\nSort.\n"));
        }
        QVERIFY(addSkill(QStringLiteral("beta"), noDescription));
        LibraryHealth health(m_library->context());
        health.setDescribeSlice(std::chrono::milliseconds(0));
        health.start();
        QVERIFY(health.isChecking());
        // Enough that some are removed before the round has gathered them.
        for (int i = 0; i < 40; ++i)
            m_library->context().remove(m_library->named(QStringLiteral("s%1").arg(i)));
        Skill *late = addSkill(QStringLiteral("late"), "---\nname: late\n---\nLate.\n");
        QVERIFY(late);
        QVERIFY(settled(health));
        QCOMPARE(health.needingAttention(), 2);
        QCOMPARE(rulesOf(health.findings(*late)), QStringList{"format/description-missing"});
        QCOMPARE(rulesOf(health.findings(*m_library->named(QStringLiteral("s199")))), QStringList());
    }

    void turnedOffRulesDisappear_data()
    {
        QTest::addColumn<QStringList>("disabled");
        QTest::addColumn<int>("attention");
        QTest::addColumn<int>("betaErrors");
        QTest::addColumn<int>("gammaWarnings");
        QTest::newRow("with every rule on, an error and a warning need attention") << QStringList() << 2 << 1 << 1;
        QTest::newRow("turning off unknown keys clears the warning")
            << QStringList{"keys/unknown"} << 1 << 1 << 0;
        QTest::newRow("turning off the missing description clears the error")
            << QStringList{"format/description-missing"} << 1 << 0 << 1;
        QTest::newRow("turning off a rule no skill breaks changes nothing")
            << QStringList{"safety/pipe-to-shell"} << 2 << 1 << 1;
    }

    void turnedOffRulesDisappear()
    {
        QFETCH(QStringList, disabled);
        QFETCH(int, attention);
        QFETCH(int, betaErrors);
        QFETCH(int, gammaWarnings);
        addThree();
        LibraryHealth health(m_library->context());
        QVERIFY(round(health));
        QSignalSpy changed(&health, &LibraryHealth::changed);
        health.setDisabledRules(QSet<QString>(disabled.cbegin(), disabled.cend()));
        // At once, without another round.
        QCOMPARE(changed.size(), disabled.isEmpty() ? 0 : 1);
        QCOMPARE(health.needingAttention(), attention);
        const Skill &beta = *m_library->named(QStringLiteral("beta"));
        const Skill &gamma = *m_library->named(QStringLiteral("gamma"));
        QCOMPARE(health.tally(beta).errors, betaErrors);
        QCOMPARE(health.tally(gamma).warnings, gammaWarnings);
        for (const QString &rule : disabled) {
            QVERIFY(!rulesOf(health.findings(beta)).contains(rule));
            QVERIFY(!rulesOf(health.findings(gamma)).contains(rule));
        }
    }

    void aRoundLooksAgainWhereChangesWereTold_data()
    {
        QTest::addColumn<bool>("reported");
        QTest::addColumn<bool>("told");
        QTest::addColumn<QString>("unwatched"); // a folder the watcher had no watch left for
        QTest::addColumn<QStringList>("deltaRules");
        QTest::addColumn<int>("checked");
        const QStringList missing{"files/missing-file"};
        QTest::newRow("without a watcher every round looks at every file") << false << false << QString() << QStringList() << 1;
        QTest::newRow("a change told in a supporting folder is looked at") << true << true << QString() << QStringList() << 1;
        QTest::newRow("an untold change waits while every change is told") << true << false << QString() << missing << 0;
        QTest::newRow("an untold change in a folder left unwatched is looked at")
            << true << false << QStringLiteral("delta") << QStringList() << 1;
        QTest::newRow("an untold change in a supporting folder left unwatched is looked at")
            << true << false << QStringLiteral("delta/scripts") << QStringList() << 1;
        QTest::newRow("another folder left unwatched changes nothing for the rest")
            << true << false << QStringLiteral("omega") << missing << 0;
    }

    void aRoundLooksAgainWhereChangesWereTold()
    {
        QFETCH(bool, reported);
        QFETCH(bool, told);
        QFETCH(QString, unwatched);
        QFETCH(QStringList, deltaRules);
        QFETCH(int, checked);
        QVERIFY(addSkill(QStringLiteral("alpha"), clean));
        Skill *delta = addSkill(QStringLiteral("delta"), "---\nname: delta\ndescription: Runs.\n---\nRun [it](scripts/run.sh).\n");
        QVERIFY(delta);
        LibraryHealth health(m_library->context());
        health.setChangesReported(reported);
        if (!unwatched.isEmpty())
            health.setUnreportedFolders({m_library->home(QStringLiteral(".claude/skills/") + unwatched)});
        QVERIFY(round(health));
        QCOMPARE(rulesOf(health.findings(*delta)), QStringList{"files/missing-file"});

        // The script appears; the records stay as they were, but for alpha's mark.
        const QString folder = QFileInfo(skillPath(QStringLiteral("delta"))).path();
        QVERIFY(TestFiles::writeBytes(folder + QStringLiteral("/scripts/run.sh"), "echo run\n"));
        health.setSettleDelay(0);
        if (told)
            health.noteChangeOnDisk(folder + QStringLiteral("/scripts"));
        QSignalSpy finished(&health, &LibraryHealth::roundFinished);
        m_library->named(QStringLiteral("alpha"))->setIsFavorite(true);
        QVERIFY(finished.wait(20000));
        QVERIFY(settled(health));
        QCOMPARE(rulesOf(health.findings(*delta)), deltaRules);
        QCOMPARE(health.lastChecked() + health.lastReused(), 2);
        QCOMPARE(health.lastChecked(), checked);
    }

    void clashesAreAmongTheFindings()
    {
        QVERIFY(addSkill(QStringLiteral("delta"), "---\nname: delta\ndescription: One.\n---\nOne.\n"));
        QVERIFY(addSkill(QStringLiteral("delta"), "---\nname: delta\ndescription: Two.\n---\nTwo.\n",
                         QStringLiteral(".agents")));
        LibraryHealth health(m_library->context());
        QVERIFY(round(health));
        QCOMPARE(health.needingAttention(), 2);
        for (Skill *skill : m_library->context().skills())
            QCOMPARE(rulesOf(health.findings(*skill)), QStringList{"clash/differing-copy"});

        // A change to the records starts a round by itself, after the pause.
        health.setSettleDelay(0);
        const QString second = skillPath(QStringLiteral("delta"), QStringLiteral(".agents"));
        TestFiles::writeFile(second, "---\nname: delta\ndescription: One.\n---\nOne.\n");
        // A rewrite of the same size within the clock's tick would look unchanged: a minute later, as an edit would be.
        QFile touched(second);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        touched.close();
        QSignalSpy finished(&health, &LibraryHealth::roundFinished);
        m_library->context().skills().constFirst()->setIsFavorite(true);
        QVERIFY(!health.isChecking());
        QVERIFY(finished.wait(20000));
        QVERIFY(settled(health));
        QCOMPARE(health.needingAttention(), 0);
        QCOMPARE(health.lastChecked(), 1);
        for (Skill *skill : m_library->context().skills())
            QCOMPARE(rulesOf(health.findings(*skill)), QStringList{"clash/identical-copy"});

        // A record whose name changes is described to the worker afresh: the clash goes.
        Skill *renamed = m_library->context().skills().constFirst();
        QSignalSpy again(&health, &LibraryHealth::roundFinished);
        renamed->setName(QStringLiteral("epsilon"));
        QVERIFY(again.wait(20000));
        QVERIFY(settled(health));
        for (Skill *skill : m_library->context().skills())
            QVERIFY(!rulesOf(health.findings(*skill)).contains(QStringLiteral("clash/identical-copy")));
    }
};

VESK_TEST_GUILESS_MAIN(TestLibraryHealth)
#include "tst_libraryhealth.moc"
