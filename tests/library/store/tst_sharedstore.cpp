#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/store/sqlite.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "smallfilesystem.h"
#include "sidesql.h"
#include "testhome.h"

#include <QSignalSpy>
#include <QtTest/QtTest>

#include <optional>
#include <sqlite3.h>

namespace {

using TestFiles::sqlOnSide;

std::unique_ptr<Skill> makeSkill(const QString &name, const QString &path, ToolSource tool = ToolSource::Claude)
{
    return std::make_unique<Skill>(path, path, name, "d", "body of " + name, Skill::Frontmatter{{"name", name}},
                                   tool, false, true, QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC), 7);
}

QStringList namesIn(const ModelContext &context)
{
    QStringList names;
    for (const Skill *skill : context.skills())
        names.append(skill->name());
    return names;
}

QStringList memberNames(const SkillCollection *collection)
{
    QStringList names;
    if (collection) {
        for (const Skill *skill : collection->skills())
            names.append(skill->name());
    }
    names.sort();
    return names;
}

} // namespace

// Two containers on one file are two connections, exactly as two processes would
// have: SQLite's locking and data_version treat them alike. (tst_sharedlibrary runs
// real `vesk list` processes against a context like the window's.)
class TestSharedStore final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

    std::unique_ptr<ModelContainer> open(const QString &path = QString())
    {
        QString error;
        auto container = ModelContainer::open(path.isEmpty() ? m_path : path, &error);
        if (!container)
            qWarning() << "open failed:" << error;
        return container;
    }

    void verifyIntegrity(const QString &path)
    {
        QCOMPARE(sqlOnSide(path, "PRAGMA integrity_check"), QStringLiteral("ok"));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath("shared.sqlite");
    }

    void anInsertMeetingAnotherProcesssRowBecomesThatRow()
    {
        auto window = open();
        auto other = open();
        ModelContext &ours = *window->mainContext();
        ModelContext &theirs = *other->mainContext();

        Skill *stored = theirs.insert(makeSkill("review", "/skills/review.md", ToolSource::Cursor));
        stored->setIsFavorite(true);
        SkillCollection *work = theirs.insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(stored);
        QVERIFY(theirs.save());

        Skill *found = ours.insert(makeSkill("review (fresh reading)", "/skills/review.md"));
        found->addInstallation("/link/review.md", ToolSource::Claude);
        QString error;
        QVERIFY2(ours.save(&error), qPrintable(error));
        QCOMPARE(ours.skills(), QList<Skill *>{found});
        QCOMPARE(found->persistentId(), stored->persistentId());
        QVERIFY(found->isFavorite());
        QCOMPARE(found->name(), QStringLiteral("review (fresh reading)"));
        QCOMPARE(found->toolSources(), (QList<ToolSource>{ToolSource::Claude, ToolSource::Cursor}));
        QStringList paths = found->installedPaths();
        paths.sort();
        QCOMPARE(paths, (QStringList{"/link/review.md", "/skills/review.md"}));
        QCOMPARE(found->collections().size(), 1);
        QCOMPARE(found->collections().first()->name(), QStringLiteral("Work"));

        // Later saves go on: nothing is left pending that the store refuses.
        SkillCollection *later = ours.insert(std::make_unique<SkillCollection>("Later", "star", 1));
        later->addSkill(found);
        QVERIFY2(ours.save(&error), qPrintable(error));
        QVERIFY(!ours.hasChanges());
        QCOMPARE(sqlOnSide(m_path, "SELECT count(*) FROM skill"), QStringLiteral("1"));
        QCOMPARE(sqlOnSide(m_path, "SELECT count(*) FROM collection_membership"), QStringLiteral("2"));
        QCOMPARE(sqlOnSide(m_path, "SELECT name FROM skill"), QStringLiteral("review (fresh reading)"));
        verifyIntegrity(m_path);
    }

    void rowsChangedElsewhereAreTakenIn()
    {
        auto window = open();
        ModelContext &ours = *window->mainContext();
        ours.insert(makeSkill("kept", "/kept.md"));
        ours.insert(makeSkill("deleted", "/deleted.md"));
        SkillCollection *work = ours.insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(ours.skillWithResolvedPath("/kept.md"));
        QVERIFY(ours.save());

        QSignalSpy inserted(&ours, &ModelContext::skillInserted);
        QSignalSpy removed(&ours, &ModelContext::skillAboutToBeRemoved);
        QSignalSpy edited(&ours, &ModelContext::skillChanged);
        {
            auto other = open();
            ModelContext &theirs = *other->mainContext();
            Skill *kept = theirs.skillWithResolvedPath("/kept.md");
            kept->setName("kept, renamed");
            kept->setIsFavorite(true);
            theirs.remove(theirs.skillWithResolvedPath("/deleted.md"));
            Skill *added = theirs.insert(makeSkill("added", "/added.md"));
            theirs.collectionNamed("Work")->addSkill(added);
            theirs.collectionNamed("Work")->removeSkill(kept);
            theirs.insert(std::make_unique<SkillCollection>("Fresh", "star", 1));
            QVERIFY(theirs.save());
        }
        QString error;
        QVERIFY2(ours.refresh(&error), qPrintable(error));

        QCOMPARE(namesIn(ours), (QStringList{"added", "kept, renamed"}));
        QVERIFY(ours.skillWithResolvedPath("/kept.md")->isFavorite());
        QCOMPARE(memberNames(ours.collectionNamed("Work")), QStringList{"added"});
        QVERIFY(ours.collectionNamed("Fresh"));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(removed.count(), 1);
        QVERIFY(edited.count() >= 1);
        // What was taken in is not a change of this process.
        QVERIFY(!ours.hasChanges());
        // Nothing new: nothing happens.
        inserted.clear();
        QVERIFY(ours.refresh());
        QCOMPARE(inserted.count(), 0);
    }

    void fieldsChangedInBothProcessesAreMerged()
    {
        auto window = open();
        auto other = open();
        ModelContext &ours = *window->mainContext();
        ModelContext &theirs = *other->mainContext();
        ours.insert(makeSkill("x", "/x.md"));
        QVERIFY(ours.save());
        QVERIFY(theirs.refresh());

        // A field changed here only keeps this process's value, one changed there
        // only takes the other's, one changed on both sides keeps this process's,
        // and harnesses changed on both sides are united.
        Skill *here = ours.skillWithResolvedPath("/x.md");
        here->setIsFavorite(true); // not saved yet
        here->setName("named here");
        Skill *there = theirs.skillWithResolvedPath("/x.md");
        there->setContent("edited elsewhere");
        there->setName("named there");
        there->addInstallation("/elsewhere/x.md", ToolSource::Cursor);
        QVERIFY(theirs.save());
        here->addInstallation("/here/x.md", ToolSource::Codex);

        QVERIFY(ours.save());
        QVERIFY(here->isFavorite());
        QCOMPARE(here->name(), QStringLiteral("named here"));
        QCOMPARE(here->content(), QStringLiteral("edited elsewhere"));
        QCOMPARE(here->toolSources(), (QList<ToolSource>{ToolSource::Claude, ToolSource::Codex, ToolSource::Cursor}));
        QCOMPARE(here->installedPaths().size(), 3);
        QCOMPARE(sqlOnSide(m_path, "SELECT count(*) || isFavorite || name || content || toolSourcesRaw FROM skill"),
                 QStringLiteral("11named hereedited elsewhereclaude,codex,cursor"));
    }

    void aRowDeletedElsewhereKeepsWhatThisProcessChanged()
    {
        auto window = open();
        ModelContext &ours = *window->mainContext();
        Skill *marked = ours.insert(makeSkill("marked", "/marked.md"));
        ours.insert(makeSkill("untouched", "/untouched.md"));
        SkillCollection *work = ours.insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(marked);
        QVERIFY(ours.save());
        marked->setIsFavorite(true); // the user's mark, not saved yet

        {
            auto other = open();
            ModelContext &theirs = *other->mainContext();
            theirs.remove(theirs.skillWithResolvedPath("/marked.md"));
            theirs.remove(theirs.skillWithResolvedPath("/untouched.md"));
            QVERIFY(theirs.save());
        }
        QVERIFY(ours.save());
        QCOMPARE(namesIn(ours), QStringList{"marked"});
        QCOMPARE(sqlOnSide(m_path, "SELECT name || isFavorite FROM skill"), QStringLiteral("marked1"));
        QCOMPARE(sqlOnSide(m_path, "SELECT count(*) FROM collection_membership"), QStringLiteral("1"));
        QCOMPARE(memberNames(work), QStringList{"marked"});
        verifyIntegrity(m_path);
    }

    void collectionEditsInBothProcessesAreUnited()
    {
        auto window = open();
        auto other = open();
        ModelContext &ours = *window->mainContext();
        ModelContext &theirs = *other->mainContext();
        for (const char *name : {"a", "b", "c"})
            ours.insert(makeSkill(name, QStringLiteral("/%1.md").arg(QLatin1String(name))));
        SkillCollection *work = ours.insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(ours.skillWithResolvedPath("/c.md"));
        QVERIFY(ours.save());
        QVERIFY(theirs.refresh());

        // Memberships added and removed on either side are all kept.
        work->addSkill(ours.skillWithResolvedPath("/a.md"));
        theirs.collectionNamed("Work")->addSkill(theirs.skillWithResolvedPath("/b.md"));
        theirs.collectionNamed("Work")->removeSkill(theirs.skillWithResolvedPath("/c.md"));
        QVERIFY(theirs.save());
        QVERIFY(ours.save());
        QVERIFY(theirs.refresh());
        QCOMPARE(memberNames(work), (QStringList{"a", "b"}));
        QCOMPARE(memberNames(theirs.collectionNamed("Work")), (QStringList{"a", "b"}));

        // Collections of one name made on both sides become one.
        SkillCollection *mine = ours.insert(std::make_unique<SkillCollection>("Later", "folder", 1));
        mine->addSkill(ours.skillWithResolvedPath("/a.md"));
        theirs.insert(std::make_unique<SkillCollection>("Later", "star", 1))->addSkill(theirs.skillWithResolvedPath("/b.md"));
        QVERIFY(theirs.save());
        QString error;
        QVERIFY2(ours.save(&error), qPrintable(error));
        QCOMPARE(ours.collections(), (QList<SkillCollection *>{work, mine}));
        QCOMPARE(mine->icon(), QStringLiteral("star"));
        QCOMPARE(memberNames(mine), (QStringList{"a", "b"}));
        QCOMPARE(sqlOnSide(m_path, "SELECT count(*) FROM skill_collection"), QStringLiteral("2"));
        QCOMPARE(sqlOnSide(m_path, "SELECT count(*) FROM collection_membership"), QStringLiteral("4"));
    }

    void aChangeTheStoreRefusesIsSetAsideAndTheRestIsSaved()
    {
        auto window = open();
        ModelContext &ours = *window->mainContext();
        Skill *poisoned = ours.insert(makeSkill("x", "/x.md"));
        Skill *other = ours.insert(makeSkill("y", "/y.md"));
        QVERIFY(ours.save());
        // A rule of the store (here a trigger) refuses one particular change.
        QCOMPARE(sqlOnSide(m_path, "CREATE TRIGGER refuse BEFORE UPDATE ON skill WHEN NEW.name = 'poison' "
                                   "BEGIN SELECT RAISE(ABORT, 'refused by the store'); END"),
                 QString());

        QSignalSpy setAside(&ours, &ModelContext::changeSetAside);
        QSignalSpy failed(&ours, &ModelContext::saveFailed);
        poisoned->setName("poison");
        other->setIsFavorite(true);
        QString error;
        QVERIFY2(ours.save(&error), qPrintable(error));
        QCOMPARE(setAside.count(), 1);
        const QString message = setAside.first().first().toString();
        QVERIFY2(message.contains("poison") && message.contains("refused by the store"), qPrintable(message));
        QCOMPARE(failed.count(), 0);
        QCOMPARE(poisoned->name(), QStringLiteral("x")); // shows what is stored again
        QVERIFY(!ours.hasChanges());
        QCOMPARE(sqlOnSide(m_path, "SELECT isFavorite FROM skill WHERE name = 'y'"), QStringLiteral("1"));

        // It does not block what comes next.
        poisoned->setIsFavorite(true);
        QVERIFY(ours.save());
        QCOMPARE(sqlOnSide(m_path, "SELECT isFavorite FROM skill WHERE name = 'x'"), QStringLiteral("1"));
        QCOMPARE(setAside.count(), 1);
        verifyIntegrity(m_path);
    }

    void aLockedStoreFailsTheSaveAndKeepsEveryChange()
    {
        auto window = open();
        window->setBusyTimeout(200);
        ModelContext &ours = *window->mainContext();
        ours.insert(makeSkill("a", "/a.md"));
        QSignalSpy failed(&ours, &ModelContext::saveFailed);
        QSignalSpy recovered(&ours, &ModelContext::saveRecovered);

        sqlite3 *holder = nullptr;
        sqlite3_open(QFile::encodeName(m_path).constData(), &holder);
        QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        QString error;
        QVERIFY(!ours.save(&error));
        QVERIFY(error.contains("locked"));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(ours.lastSaveError(), error);
        QVERIFY(ours.hasChanges());
        QCOMPARE(ours.skills().first()->persistentId(), 0);
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);

        QVERIFY(ours.save());
        QCOMPARE(recovered.count(), 1);
        QVERIFY(ours.lastSaveError().isEmpty());
        QVERIFY(!ours.hasChanges());
        QCOMPARE(sqlOnSide(m_path, "SELECT name FROM skill"), QStringLiteral("a"));
    }

    // A save in the background writes copies of rows while records go on
    // changing; what happens meanwhile (here, or in another process) is still
    // stored, by it or by the next save.
    void aSaveInTheBackgroundKeepsWhatHappensMeanwhile_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QStringList>("stored");

        const QStringList three{"a", "b", "c"};
        QTest::newRow("a record inserted meanwhile is written by the next save") << "insert" << true << three;
        QTest::newRow("a record renamed meanwhile is updated by the next save") << "rename" << true
                                                                               << QStringList{"a", "b renamed"};
        QTest::newRow("a record removed meanwhile is deleted by the next save") << "remove" << true << QStringList{"b"};
        QTest::newRow("a stored record changed before it starts is updated by it") << "changed first" << true
                                                                                   << QStringList{"a", "b", "old renamed"};
        QTest::newRow("another process's row for the same file makes it give way, and the next save merges")
            << "other process" << false << QStringList{"a", "b"};
        QTest::newRow("a store locked by another process makes it give way and keeps everything pending")
            << "locked" << false << QStringList{"a", "b"};
        QTest::newRow("a stored body is read meanwhile without waiting for it")
            << "read a body" << true << QStringList{"a", "b", "old"};
        QTest::newRow("once written, it is taken in without another use of the store")
            << "nothing" << true << QStringList{"a", "b"};
        QTest::newRow("taken in early, its notice does not wait for the save after it")
            << "next save" << true << three;
    }

    void aSaveInTheBackgroundKeepsWhatHappensMeanwhile()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, written);
        QFETCH(QStringList, stored);

        auto window = open();
        auto other = open();
        ModelContext &ours = *window->mainContext();
        Skill *old = nullptr;
        if (meanwhile == "changed first" || meanwhile == "read a body") {
            old = ours.insert(makeSkill("old", "/old.md"));
            QVERIFY(ours.save());
            QVERIFY(!old->isContentResident());
        }
        if (meanwhile == "changed first")
            old->setName("old renamed");
        Skill *a = ours.insert(makeSkill("a", "/a.md"));
        Skill *b = ours.insert(makeSkill("b", "/b.md"));
        if (meanwhile == "other process") {
            other->mainContext()->insert(makeSkill("a", "/a.md"));
            QVERIFY(other->mainContext()->save());
        }
        sqlite3 *holder = nullptr;
        if (meanwhile == "locked" || meanwhile == "read a body") {
            // Long enough for the writer to be still waiting when the body is read.
            window->setBusyTimeout(meanwhile == "locked" ? 100 : 10000);
            sqlite3_open(QFile::encodeName(m_path).constData(), &holder);
            QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        }

        // The extra rows share the transaction: stored exactly when the records are.
        const auto alsoWrite = [](Sqlite::Database &database, QString *error) {
            return database.exec("CREATE TABLE IF NOT EXISTS side (x); INSERT INTO side VALUES (1)", error);
        };
        std::optional<bool> settled;
        QSignalSpy done(&ours, &ModelContext::backgroundSaveDone);
        QVERIFY(ours.saveInBackground(alsoWrite, [&settled](bool done) { settled = done; }));
        QVERIFY(ours.hasChanges());
        if (meanwhile == "insert")
            ours.insert(makeSkill("c", "/c.md"));
        else if (meanwhile == "rename")
            b->setName("b renamed");
        else if (meanwhile == "remove")
            ours.remove(a);
        if (meanwhile == "nothing") {
            QVERIFY(a->isContentResident());
            QTRY_COMPARE(done.count(), 1);
            QCOMPARE(settled, std::optional<bool>(true));
            QVERIFY(!a->isContentResident()); // the store has it
            QVERIFY(!ours.hasChanges());
        } else if (meanwhile == "next save") {
            ours.settle(); // before the first save's notice is handled
            window->setBusyTimeout(10000);
            sqlite3_open(QFile::encodeName(m_path).constData(), &holder);
            QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
            ours.insert(makeSkill("c", "/c.md"));
            QVERIFY(ours.saveInBackground({}, {}));
            QElapsedTimer clock;
            clock.start();
            QCoreApplication::processEvents();
            QVERIFY(clock.elapsed() < 5000);
            QVERIFY(ours.isWritingInBackground());
            QCOMPARE(done.count(), 0);
            sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(std::exchange(holder, nullptr));
        }
        if (meanwhile == "read a body") {
            QCOMPARE(old->content(), QStringLiteral("body of old"));
            QVERIFY(ours.isWritingInBackground());
            sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(std::exchange(holder, nullptr));
        }
        ours.settle();
        QCOMPARE(settled, std::optional<bool>(written));
        QCOMPARE(sqlOnSide(m_path, "SELECT count(*) FROM sqlite_master WHERE name = 'side'"), QString(written ? "1" : "0"));
        if (holder) {
            sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(holder);
        }
        if (meanwhile != "remove")
            QCOMPARE(a->persistentId() != 0, written);

        QString error;
        QVERIFY2(ours.save(&error), qPrintable(error));
        QVERIFY(!ours.hasChanges());
        QCOMPARE(sqlOnSide(m_path, "SELECT group_concat(name, ',') FROM (SELECT name FROM skill ORDER BY name)"),
                 stored.join(','));
        QCOMPARE(namesIn(ours), stored);
        // Another process sees every row the way this one holds it.
        QVERIFY(other->mainContext()->refresh());
        QCOMPARE(namesIn(*other->mainContext()), stored);
        verifyIntegrity(m_path);

        // After a save here, saves in the background go through again.
        ours.insert(makeSkill("d", "/d.md"));
        QVERIFY(ours.saveInBackground({}, {}));
        ours.settle();
        QVERIFY(!ours.hasChanges());
    }

    void aFullDiskFailsTheSaveAndTheNextSaveWritesEverything()
    {
        SmallFileSystem disk(4 * 1024 * 1024);
        if (!disk.isMounted())
            QSKIP("needs root to mount a small file system");
        const QString path = disk.path() + "/store.sqlite";
        auto window = open(path);
        QVERIFY(window);
        ModelContext &ours = *window->mainContext();
        ours.insert(makeSkill("first", "/first.md"));
        QVERIFY(ours.save());

        disk.fill();
        const QString big(128 * 1024, u'x');
        for (int i = 0; i < 10; ++i) {
            auto skill = makeSkill(QStringLiteral("big %1").arg(i), QStringLiteral("/big%1.md").arg(i));
            skill->setContent(big);
            ours.insert(std::move(skill));
        }
        ours.skills().first()->setIsFavorite(true);
        QString error;
        QVERIFY(!ours.save(&error));
        QVERIFY2(error.contains("full"), qPrintable(error));
        QVERIFY(ours.hasChanges());
        QCOMPARE(sqlOnSide(path, "SELECT count(*) FROM skill"), QStringLiteral("1"));
        verifyIntegrity(path);

        disk.unfill();
        QVERIFY2(ours.save(&error), qPrintable(error));
        QCOMPARE(sqlOnSide(path, "SELECT count(*) FROM skill"), QStringLiteral("11"));
        verifyIntegrity(path);
    }
};

VESK_TEST_GUILESS_MAIN(TestSharedStore)
#include "tst_sharedstore.moc"
