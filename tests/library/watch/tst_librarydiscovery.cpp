#include "library/watch/changecoalescer.h"
#include "library/watch/librarydiscovery.h"
#include "libraryfixture.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QtTest/QtTest>

namespace {

using TestFiles::skillText;
using TestFiles::writeFile;

constexpr int kTimeoutMs = 20000;

} // namespace

// Watching and what each change on disk leads to, on a fresh home and store per test.
class TestLibraryDiscovery final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;
    std::unique_ptr<LibraryDiscovery> m_discovery;

    QString home(const QString &relative) const { return m_library->home(relative); }
    Skill *named(const QString &name) const { return m_library->named(name); }

    void startAndWaitForTheFirstScan()
    {
        QSignalSpy first(m_discovery.get(), &LibraryDiscovery::firstScanFinished);
        m_discovery->start();
        QVERIFY(first.wait(kTimeoutMs));
        waitUntilIdle();
    }

    // Until no scan runs, nothing is coalescing and no watch waits to be added.
    void waitUntilIdle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!m_discovery->pipeline().isRunning() && !m_discovery->isBusy(), kTimeoutMs);
    }

    int scans() const { return m_discovery->pipeline().statistics().scans; }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        m_discovery = std::make_unique<LibraryDiscovery>(m_library->context(), m_library->artifacts());
        writeFile(home(".claude/skills/existing/SKILL.md"), skillText("existing"));
        writeFile(home(".claude/skills/existing/scripts/run.sh"), "echo\n");
        writeFile(home(".cursor/rules/style.mdc"), "---\ndescription: style\n---\nTabs.\n");
    }

    void cleanup()
    {
        m_discovery.reset();
        m_library.reset();
    }

    void changesInsideAWatchedSkillAreFollowed()
    {
        startAndWaitForTheFirstScan();
        QCOMPARE(named("existing")->content(), QStringLiteral("Body."));
        writeFile(home(".claude/skills/existing/SKILL.md"), skillText("existing", "Edited elsewhere."));
        QTRY_COMPARE_WITH_TIMEOUT(named("existing")->content(), QStringLiteral("Edited elsewhere."), kTimeoutMs);
        // A rule edited in place, directly in a watched location.
        writeFile(home(".cursor/rules/style.mdc"), "---\ndescription: spaces now\n---\nSpaces.\n");
        QTRY_COMPARE_WITH_TIMEOUT(named("style")->skillDescription(), QStringLiteral("spaces now"), kTimeoutMs);
        // Only the edited file was read: the scans looked at one entry each.
        waitUntilIdle();
        QCOMPARE(m_discovery->pipeline().statistics().filesRead, 1);

        // A script added to the skill's folder shows up among its files.
        writeFile(home(".claude/skills/existing/scripts/new.py"), "print(1)\n");
        const auto hasNewScript = [&] {
            for (const SkillArtifact &artifact : m_library->artifacts().artifacts(home(".claude/skills/existing/SKILL.md"))) {
                if (artifact.relativePath == QLatin1String("scripts/new.py"))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(hasNewScript(), kTimeoutMs);
    }

    void foldersMadeAfterTheStartAreWatched()
    {
        startAndWaitForTheFirstScan();
        // A harness folder that did not exist at the start...
        QVERIFY(!QFileInfo::exists(home(".gemini")));
        writeFile(home(".gemini/skills/late/SKILL.md"), skillText("late"));
        QTRY_VERIFY_WITH_TIMEOUT(named("late"), kTimeoutMs);
        QCOMPARE(named("late")->toolSourcesRaw(), QStringLiteral("gemini"));
        // ...is from then on watched like any other.
        waitUntilIdle();
        writeFile(home(".gemini/skills/later/SKILL.md"), skillText("later"));
        QTRY_VERIFY_WITH_TIMEOUT(named("later"), kTimeoutMs);

        // A skill folder made empty, and the scan it causes run to its end...
        waitUntilIdle();
        QSignalSpy finished(&m_discovery->pipeline(), &ScanPipeline::finished);
        QVERIFY(QDir().mkpath(home(".claude/skills/two-steps")));
        QVERIFY(finished.wait(kTimeoutMs));
        waitUntilIdle();
        QVERIFY(!named("two-steps"));
        // ...and only then its main file.
        writeFile(home(".claude/skills/two-steps/SKILL.md"), skillText("two-steps"));
        QTRY_VERIFY_WITH_TIMEOUT(named("two-steps"), kTimeoutMs);
    }

    // Reopened, the library watches the folders it remembers at once, and an
    // entry made while it was closed (an empty folder, no skill yet) once its
    // first scan has found it.
    void aReopenedLibraryWatchesWhatItKnewAndWhatCameWhileClosed()
    {
        startAndWaitForTheFirstScan();
        m_discovery.reset();
        QVERIFY(QDir().mkpath(home(".claude/skills/while-closed")));
        m_library->openStore();
        m_discovery = std::make_unique<LibraryDiscovery>(m_library->context(), m_library->artifacts());
        startAndWaitForTheFirstScan();
        QVERIFY(!named("while-closed"));
        writeFile(home(".claude/skills/while-closed/SKILL.md"), skillText("while-closed"));
        QTRY_VERIFY_WITH_TIMEOUT(named("while-closed"), kTimeoutMs);
        writeFile(home(".claude/skills/existing/SKILL.md"), skillText("existing", "Edited after the reopen."));
        QTRY_COMPARE_WITH_TIMEOUT(named("existing")->content(), QStringLiteral("Edited after the reopen."), kTimeoutMs);
    }

    // A first scan finds its folders by the thousand; they are taken in for
    // watching a slice at a time, and every one of them ends up watched.
    void foldersFoundByTheThousandAreAllWatched()
    {
        constexpr int count = 700;
        for (int i = 0; i < count; ++i)
            writeFile(home(QStringLiteral(".claude/skills/bulk-%1/SKILL.md").arg(i)), skillText("bulk-" + QByteArray::number(i)));
        startAndWaitForTheFirstScan();
        for (int i : {0, count / 2, count - 1}) {
            const QString name = QStringLiteral("bulk-%1").arg(i);
            writeFile(home(QStringLiteral(".claude/skills/%1/SKILL.md").arg(name)), skillText(name.toUtf8(), "Edited."));
            QTRY_COMPARE_WITH_TIMEOUT(named(name)->content(), QStringLiteral("Edited."), kTimeoutMs);
        }
    }

    // Every folder a first scan finds is looked at once more after its watch is
    // in. Asked together once the last watch is in, those looks list each file
    // once; asked a slice of watches at a time, a location and then each entry
    // inside it were listed apart, and the library went through nearly twice.
    void theLooksAfterAFirstScanListEachFileOnce()
    {
        constexpr int count = 1500;
        for (int i = 0; i < count; ++i) {
            const QString folder = QStringLiteral(".claude/skills/many-%1/").arg(i);
            writeFile(home(folder + "SKILL.md"), skillText("many-" + QByteArray::number(i)));
            writeFile(home(folder + "scripts/run.sh"), "echo\n");
        }
        int examined = 0;
        const auto counting = connect(&m_discovery->pipeline(), &ScanPipeline::finished, this, [this, &examined] {
            examined += m_discovery->pipeline().statistics().filesRead + m_discovery->pipeline().statistics().filesSkipped;
        });
        startAndWaitForTheFirstScan();
        disconnect(counting);
        const int files = count + 2; // and the two skills every test home has
        QVERIFY2(examined >= files && examined <= 2 * files, qPrintable(QString::number(examined)));
    }

    void aNewProjectInACustomScanDirectoryIsFound()
    {
        QDir().mkpath(home("code/old"));
        LibraryFixture::setCustomScanPaths({home("code")});
        startAndWaitForTheFirstScan();
        writeFile(home("code/fresh/.claude/skills/tool/SKILL.md"), skillText("project tool"));
        QTRY_VERIFY_WITH_TIMEOUT(named("project tool"), kTimeoutMs);
        QCOMPARE(named("project tool")->isGlobal(), false);
        // A skill folder of that project is watched too.
        waitUntilIdle();
        writeFile(home("code/fresh/.claude/skills/tool/SKILL.md"), skillText("project tool", "Changed."));
        QTRY_COMPARE_WITH_TIMEOUT(named("project tool")->content(), QStringLiteral("Changed."), kTimeoutMs);
        // Removing the project prunes its skills.
        QVERIFY(QDir(home("code/fresh")).removeRecursively());
        QTRY_VERIFY_WITH_TIMEOUT(!named("project tool"), kTimeoutMs);
    }

    void aBurstOfAHundredEntriesCostsAtMostTwoScans()
    {
        startAndWaitForTheFirstScan();
        for (int i = 0; i < 100; ++i)
            writeFile(home("staging/burst-%1/SKILL.md").arg(i, 3, 10, QLatin1Char('0')), skillText("burst"));
        const int before = scans();
        for (int i = 0; i < 100; ++i) {
            const QString name = QStringLiteral("burst-%1").arg(i, 3, 10, QLatin1Char('0'));
            QVERIFY(QFile::rename(home("staging/") + name, home(".claude/skills/") + name));
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_library->context().skills().size(), qsizetype(102), kTimeoutMs);
        waitUntilIdle();
        QVERIFY2(scans() - before <= 2, qPrintable(QString::number(scans() - before)));
    }

    void reachingTheWatchLimitIsSaidOnceAndScansPeriodically_data()
    {
        QTest::addColumn<int>("mostUnwatched");
        QTest::newRow("the folders left unwatched are told") << 1000;
        QTest::newRow("too many folders left unwatched are not counted") << 1;
    }

    void reachingTheWatchLimitIsSaidOnceAndScansPeriodically()
    {
        QFETCH(int, mostUnwatched);
        m_discovery->setMostUnwatchedForTesting(mostUnwatched);
        m_discovery->setWatchLimitForTesting(2);
        m_discovery->setFallbackPeriod(std::chrono::milliseconds(300));
        QSignalSpy limit(m_discovery.get(), &LibraryDiscovery::watchLimitReached);
        startAndWaitForTheFirstScan();
        QTRY_COMPARE_WITH_TIMEOUT(limit.count(), 1, kTimeoutMs);
        QVERIFY(m_discovery->isWatchLimitReached());
        QCOMPARE(m_discovery->watcher().watchedPaths().size(), 2);
        // Every folder it wanted is watched or said to be unwatched, never both.
        const QStringList watchedPaths = m_discovery->watcher().watchedPaths();
        const QSet<QString> watched(watchedPaths.cbegin(), watchedPaths.cend());
        const QSet<QString> &unwatched = m_discovery->unwatchedFolders();
        QCOMPARE(m_discovery->knowsUnwatchedFolders(), mostUnwatched > 1);
        QCOMPARE(unwatched.isEmpty(), !m_discovery->knowsUnwatchedFolders());
        QVERIFY(!watched.intersects(unwatched));
        for (const QString &folder : {home(".claude/skills"), home(".claude/skills/existing")}) {
            QVERIFY2(watched.contains(folder) || unwatched.contains(folder) || !m_discovery->knowsUnwatchedFolders(),
                     qPrintable(folder));
        }
        // A change nothing watches is still found, by the periodic scan.
        writeFile(home(".claude/skills/existing/SKILL.md"), skillText("existing", "Found by polling."));
        QTRY_COMPARE_WITH_TIMEOUT(named("existing")->content(), QStringLiteral("Found by polling."), kTimeoutMs);
        QCOMPARE(limit.count(), 1);
    }

    void coalescing_data()
    {
        QTest::addColumn<int>("notices");
        QTest::addColumn<int>("spacingMs");
        QTest::addColumn<bool>("answeredWhileComing");
        QTest::addColumn<int>("mostFirings");
        QTest::newRow("a hundred notices at once fire once") << 100 << 0 << false << 1;
        // 12 notices 60 ms apart never leave 100 ms of quiet, yet take over 500 ms.
        QTest::newRow("a steady trickle is answered within the longest delay") << 12 << 60 << true << 12;
    }
    void coalescing()
    {
        QFETCH(int, notices);
        QFETCH(int, spacingMs);
        QFETCH(bool, answeredWhileComing);
        QFETCH(int, mostFirings);
        ChangeCoalescer coalescer(std::chrono::milliseconds(100), std::chrono::milliseconds(500));
        QSignalSpy due(&coalescer, &ChangeCoalescer::due);
        for (int i = 0; i < notices; ++i) {
            coalescer.note();
            if (spacingMs > 0)
                QTest::qWait(spacingMs);
        }
        QCOMPARE(due.count() > 0, answeredWhileComing);
        QTRY_VERIFY_WITH_TIMEOUT(!coalescer.isPending(), 5000);
        QVERIFY(due.count() >= 1);
        QVERIFY2(due.count() <= mostFirings, qPrintable(QString::number(due.count())));
    }
};

VESK_TEST_GUILESS_MAIN(TestLibraryDiscovery)
#include "tst_librarydiscovery.moc"
