#include "library/search/naturalorder.h"
#include "library/store/backgroundcheckpoints.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/store/storedpaths.h"
#include "library/store/searchkeyloader.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/sqlite.h"
#include "library/store/storeintegrity.h"
#include "damagedstore.h"
#include "sidesql.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QSignalSpy>
#include <QtTest/QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

namespace {

using TestFiles::sqlOnSide;

std::unique_ptr<Skill> makeSkill(const QString &name, const QString &path)
{
    return std::make_unique<Skill>(path, path, name, "d", "c", Skill::Frontmatter{{"k", "v"}},
                                   ToolSource::Cursor, false, true,
                                   QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC), 7);
}

// While alive, the default SQLite file system counts the statement journals that
// connections opened meanwhile spill into files.
class SpilledJournals final
{
public:
    SpilledJournals()
    {
        s_real = sqlite3_vfs_find(nullptr);
        m_vfs = *s_real;
        m_vfs.zName = "counting";
        m_vfs.pNext = nullptr;
        m_vfs.xOpen = [](sqlite3_vfs *, const char *name, sqlite3_file *file, int flags, int *outFlags) {
            if (flags & SQLITE_OPEN_SUBJOURNAL)
                ++s_count;
            return s_real->xOpen(s_real, name, file, flags, outFlags);
        };
        s_count = 0;
        sqlite3_vfs_register(&m_vfs, 1);
    }
    ~SpilledJournals()
    {
        sqlite3_vfs_unregister(&m_vfs);
        sqlite3_vfs_register(s_real, 1);
    }
    SpilledJournals(const SpilledJournals &) = delete;
    SpilledJournals &operator=(const SpilledJournals &) = delete;

    int count() const { return s_count; }

private:
    static inline sqlite3_vfs *s_real = nullptr;
    static inline int s_count = 0;
    sqlite3_vfs m_vfs{};
};

} // namespace

class TestModelStore final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString storePath(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    std::unique_ptr<ModelContainer> open(const QString &path)
    {
        QString error;
        auto container = ModelContainer::open(path, &error);
        if (!container)
            qWarning() << "open failed:" << error;
        return container;
    }

    static qint64 storedSkillCount(const QString &path)
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *count = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM skill", -1, &count, nullptr);
        const qint64 result = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int64(count, 0) : -1;
        sqlite3_finalize(count);
        sqlite3_close(db);
        return result;
    }

private Q_SLOTS:
    void recordsSurviveAReopenWithTheirPackedForms()
    {
        const QString path = storePath("roundtrip.sqlite");
        QByteArray paths;
        {
            auto container = open(path);
            QVERIFY(container);
            ModelContext *context = container->mainContext();
            Skill *skill = context->insert(makeSkill("alpha", "/s/alpha.md"));
            QVERIFY(skill);
            skill->addInstallation("/t/alpha.md", ToolSource::Claude);
            skill->setIsFavorite(true);
            skill->setLastOpened(QDateTime::fromMSecsSinceEpoch(5000, Qt::UTC));
            skill->setHasFrontmatterYamlError(true);
            SkillCollection *work = context->insert(std::make_unique<SkillCollection>("Work", "hammer", 0));
            work->addSkill(skill);
            paths = *skill->installedPathsData();
            QString error;
            QVERIFY2(context->save(&error), qPrintable(error));
            QVERIFY(skill->persistentId() > 0);
        }
        auto container = open(path);
        QVERIFY(container);
        const QList<Skill *> skills = container->mainContext()->skills();
        QCOMPARE(skills.size(), 1);
        const Skill *skill = skills.first();
        QCOMPARE(skill->name(), QStringLiteral("alpha"));
        QCOMPARE(skill->toolSourcesRaw(), QStringLiteral("claude,cursor"));
        QCOMPARE(*skill->installedPathsData(), paths);
        QCOMPARE(*skill->frontmatterData(), QByteArray(R"({"k":"v"})"));
        QCOMPARE(skill->fileModifiedDate().toMSecsSinceEpoch(), 1700000000123);
        QCOMPARE(skill->lastOpened().toMSecsSinceEpoch(), 5000);
        QCOMPARE(skill->fileSize(), 7);
        QVERIFY(skill->isFavorite());
        QVERIFY(skill->hasFrontmatterYamlError());
        QCOMPARE(skill->collections().size(), 1);
        QCOMPARE(skill->collections().first()->name(), QStringLiteral("Work"));
        QCOMPARE(container->mainContext()->collectionNamed("Work")->skills().size(), 1);
        // The file names its schema's version and keeps a write-ahead log.
        QCOMPARE(sqlOnSide(path, "SELECT value FROM vesk_meta WHERE key = 'schemaVersion'"), QStringLiteral("1.1.0"));
        QCOMPARE(sqlOnSide(path, "PRAGMA journal_mode"), QStringLiteral("wal"));
    }

    // A library written before records kept whether their frontmatter is YAML opens
    // with everything in it: the column is added, the version raised, marks kept.
    void aStoreOfTheFirstSchemaIsMigratedKeepingEverything()
    {
        const QString path = storePath("first-schema.sqlite");
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        const char *firstSchema = R"sql(
            CREATE TABLE vesk_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
            INSERT INTO vesk_meta VALUES ('schemaVersion', '1.0.0');
            CREATE TABLE skill (
                id INTEGER PRIMARY KEY, resolvedPath TEXT NOT NULL UNIQUE, filePath TEXT NOT NULL,
                isDirectory INTEGER NOT NULL, name TEXT NOT NULL, skillDescription TEXT NOT NULL,
                content TEXT NOT NULL, frontmatterData BLOB, isFavorite INTEGER NOT NULL,
                lastOpened INTEGER, fileModifiedDate INTEGER NOT NULL, fileSize INTEGER NOT NULL,
                isGlobal INTEGER NOT NULL, toolSourcesRaw TEXT NOT NULL, installedPathsData BLOB);
            CREATE TABLE skill_collection (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,
                icon TEXT NOT NULL, sortOrder INTEGER NOT NULL);
            CREATE TABLE collection_membership (
                collection_id INTEGER NOT NULL REFERENCES skill_collection(id) ON DELETE CASCADE,
                skill_id INTEGER NOT NULL REFERENCES skill(id) ON DELETE CASCADE,
                PRIMARY KEY (collection_id, skill_id));
            INSERT INTO skill VALUES (7, '/s/a.md', '/s/a.md', 0, 'alpha', 'd', 'body', NULL, 1,
                NULL, 1700000000000, 3, 1, 'claude', NULL);
            INSERT INTO skill_collection VALUES (2, 'Work', 'hammer', 0);
            INSERT INTO collection_membership VALUES (2, 7);
        )sql";
        QCOMPARE(sqlite3_exec(db, firstSchema, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);

        {
            auto container = open(path);
            QVERIFY(container);
            const QList<Skill *> skills = container->mainContext()->skills();
            QCOMPARE(skills.size(), 1);
            Skill *skill = skills.first();
            QCOMPARE(skill->name(), QStringLiteral("alpha"));
            QCOMPARE(skill->content(), QStringLiteral("body"));
            QVERIFY(skill->isFavorite());
            QVERIFY(!skill->hasFrontmatterYamlError());
            QCOMPARE(skill->collections().size(), 1);
            QCOMPARE(sqlOnSide(path, "SELECT value FROM vesk_meta WHERE key = 'schemaVersion'"), QStringLiteral("1.1.0"));
            skill->setHasFrontmatterYamlError(true);
            QString error;
            QVERIFY2(container->mainContext()->save(&error), qPrintable(error));
        }
        auto container = open(path);
        QVERIFY(container);
        QVERIFY(container->mainContext()->skills().first()->hasFrontmatterYamlError());
        QCOMPARE(container->mainContext()->collectionNamed("Work")->skills().size(), 1);
    }

    void bodiesStayInTheStoreUntilAskedFor_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expectedBody");
        QTest::addColumn<bool>("pending");
        QTest::newRow("a saved record changed in another field keeps its body")
            << "favorite" << "stored body" << true;
        QTest::newRow("the same body written again is no change") << "stored body" << "stored body" << false;
        QTest::newRow("a new body is saved and read back") << "new body" << "new body" << true;
        QTest::newRow("an empty body is saved as empty") << "empty body" << "" << true;
        QTest::newRow("another process's new body is announced and read") << "their body" << "their body" << false;
    }
    void bodiesStayInTheStoreUntilAskedFor()
    {
        QFETCH(QString, change);
        QFETCH(QString, expectedBody);
        QFETCH(bool, pending);
        static int run = 0;
        const QString path = storePath(QByteArray("bodies-" + QByteArray::number(++run) + ".sqlite").constData());
        {
            auto container = open(path);
            Skill *skill = container->mainContext()->insert(makeSkill("alpha", "/s/alpha.md"));
            skill->setContent(QStringLiteral("stored body"));
            QVERIFY(container->mainContext()->save());
            QVERIFY(!skill->isContentResident()); // once saved, the store holds it
            QCOMPARE(skill->content(), QStringLiteral("stored body"));
        }
        auto container = open(path);
        ModelContext *context = container->mainContext();
        Skill *skill = context->skills().constFirst();
        QVERIFY(!skill->isContentResident());
        QSignalSpy announced(skill, &Skill::contentChanged);
        if (change == QLatin1String("favorite")) {
            skill->setIsFavorite(true);
        } else if (change == QLatin1String("their body")) {
            auto other = open(path);
            Skill *theirs = other->mainContext()->skills().constFirst();
            theirs->setContent(expectedBody);
            theirs->setFileSize(theirs->fileSize() + 1);
            QVERIFY(other->mainContext()->save());
            QVERIFY(context->refresh());
            QCOMPARE(announced.count(), 1);
        } else {
            skill->setContent(change == QLatin1String("empty body") ? QString() : change);
        }
        QCOMPARE(context->hasChanges(), pending);
        QCOMPARE(skill->content(), expectedBody);
        QVERIFY(context->save());
        QCOMPARE(skill->content(), expectedBody);
        container.reset();
        QCOMPARE(sqlOnSide(path, "SELECT content FROM skill"), expectedBody);
    }

    // A reopened library's search keys are built from the store on a worker; a
    // record changed meanwhile keeps none of them, a removed one is never touched.
    void searchKeysComeFromTheStoreForRecordsLeftAsLoaded()
    {
        const QString path = storePath("keys.sqlite");
        {
            auto container = open(path);
            for (int i = 0; i < 1200; ++i) {
                const QString name = QStringLiteral("Skill %1").arg(i);
                Skill *skill = container->mainContext()->insert(makeSkill(name, QStringLiteral("/s/%1.md").arg(i)));
                skill->setSkillDescription(QStringLiteral("Ünïcode %1").arg(i));
                skill->setContent(QStringLiteral("Body of SKILL %1").arg(i));
            }
            QVERIFY(container->mainContext()->save());
        }
        auto container = open(path);
        ModelContext *context = container->mainContext();
        SearchKeyLoader loader(*context);
        QSignalSpy finished(&loader, &SearchKeyLoader::finished);
        loader.start();
        // Before any of the worker's keys arrive (they come through this thread's events).
        Skill *changed = nullptr;
        for (Skill *skill : context->skills()) {
            if (skill->name() == QLatin1String("Skill 7"))
                context->remove(skill);
            else if (skill->name() == QLatin1String("Skill 8"))
                changed = skill;
        }
        QVERIFY(changed);
        changed->setContent(QStringLiteral("edited"));
        QVERIFY(finished.wait(20000));

        QCOMPARE(context->skillCount(), 1199);
        QVERIFY(!changed->hasSearchKey());
        for (Skill *skill : context->skills()) {
            if (skill == changed)
                continue;
            QVERIFY2(skill->hasSearchKey(), qPrintable(skill->name()));
            const SearchKey made = SearchKey::make(skill->name(), skill->skillDescription(), skill->content());
            QCOMPARE(skill->searchKey().folded, made.folded);
            QCOMPARE(skill->searchKey().nameEnd, made.nameEnd);
        }
    }

    void storedFoldersHoldEverySavedRecordsFileAndItsTarget()
    {
        const QString path = storePath("paths.sqlite");
        auto container = open(path);
        ModelContext *context = container->mainContext();
        context->insert(makeSkill("alpha", "/s/alpha/SKILL.md"));
        context->insert(std::make_unique<Skill>("/link/beta/SKILL.md", "/s/beta/SKILL.md", "beta", "d", "c",
                                                Skill::Frontmatter{}, ToolSource::Claude, true, true,
                                                QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC), 7));
        QVERIFY(context->save());
        Skill *removed = context->insert(makeSkill("gamma", "/s/gamma/SKILL.md"));
        QVERIFY(context->save());
        context->remove(removed);
        QVERIFY(context->save());

        std::optional<QStringList> folders = readStoredSkillFolders(path);
        QVERIFY(folders);
        folders->sort();
        QCOMPARE(*folders, QStringList({"/link/beta", "/s/alpha", "/s/beta"}));
        QVERIFY(!readStoredSkillFolders(storePath("missing.sqlite")));
    }

    void duplicateKeysAreRefusedWithoutLosingAnything()
    {
        auto container = open(storePath("unique.sqlite"));
        ModelContext *context = container->mainContext();
        Skill *original = context->insert(makeSkill("one", "/same.md"));
        SkillCollection *work = context->insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(original);
        QVERIFY(context->save());

        QString error;
        QVERIFY(!context->insert(makeSkill("two", "/same.md"), &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!context->insert(std::make_unique<SkillCollection>("Work", "star", 1), &error));
        QVERIFY(error.contains("Work"));
        // "work" differs from "Work": names are case-sensitive.
        QVERIFY(context->insert(std::make_unique<SkillCollection>("work", "star", 1)));
        QVERIFY(context->save());

        QCOMPARE(context->skills().size(), 1);
        QCOMPARE(context->skillWithResolvedPath("/same.md")->name(), QStringLiteral("one"));
        QCOMPARE(context->collectionNamed("Work")->icon(), QStringLiteral("folder"));
        QCOMPARE(context->collectionNamed("Work")->skills(), QList<Skill *>{original});
    }

    // The paths that lead to a record besides its own follow every way a record
    // changes: edits here, a row another process wrote, a reopen, a removal.
    void pathsBesideARecordsOwnFollowEveryChange()
    {
        const QString path = storePath("beside.sqlite");
        const QString link = QStringLiteral("/link/x.md");
        auto container = open(path);
        ModelContext *context = container->mainContext();
        Skill *a = context->insert(makeSkill("a", "/s/a.md"));
        Skill *b = context->insert(makeSkill("b", "/s/b.md"));
        QVERIFY(context->skillsAlsoInstalledAt("/s/a.md").isEmpty()); // its own path
        a->setInstalledPaths({"/s/a.md", link});
        b->addInstallation(link, ToolSource::Claude);
        QCOMPARE(context->skillsAlsoInstalledAt(link).size(), 2);
        a->setInstalledPaths({"/s/a.md"});
        QCOMPARE(context->skillsAlsoInstalledAt(link), QList<Skill *>{b});
        b->setResolvedPath(link); // now b's own path; the other one is beside it
        QVERIFY(context->skillsAlsoInstalledAt(link).isEmpty());
        QCOMPARE(context->skillsAlsoInstalledAt("/s/b.md"), QList<Skill *>{b});
        QVERIFY(context->save());

        {
            auto reopened = open(path);
            ModelContext *other = reopened->mainContext();
            Skill *loadedB = other->skillWithResolvedPath(link);
            QVERIFY(loadedB);
            QCOMPARE(other->skillsAlsoInstalledAt("/s/b.md"), QList<Skill *>{loadedB});
            other->skillWithResolvedPath("/s/a.md")->addInstallation("/link/y.md", ToolSource::Claude);
            QVERIFY(other->save());
        }
        QVERIFY(context->refresh()); // takes in what the other process wrote
        QCOMPARE(context->skillsAlsoInstalledAt("/link/y.md"), QList<Skill *>{a});

        context->remove(b);
        QVERIFY(context->skillsAlsoInstalledAt("/s/b.md").isEmpty());
    }

    void deletingEitherSideOfAMembershipRemovesOnlyTheMembership()
    {
        const QString path = storePath("nullify.sqlite");
        {
            auto container = open(path);
            ModelContext *context = container->mainContext();
            Skill *a = context->insert(makeSkill("a", "/a.md"));
            Skill *b = context->insert(makeSkill("b", "/b.md"));
            SkillCollection *one = context->insert(std::make_unique<SkillCollection>("One", "folder", 0));
            SkillCollection *two = context->insert(std::make_unique<SkillCollection>("Two", "folder", 1));
            one->addSkill(a);
            one->addSkill(b);
            two->addSkill(a);
            QVERIFY(context->save());

            context->remove(one);
            QCOMPARE(a->collections(), QList<SkillCollection *>{two});
            context->remove(b);
            QVERIFY(context->save());
        }
        auto container = open(path);
        ModelContext *context = container->mainContext();
        QCOMPARE(context->skills().size(), 1);
        QCOMPARE(context->collections().size(), 1);
        QCOMPARE(context->skills().first()->collections().first()->name(), QStringLiteral("Two"));
        QCOMPARE(sqlOnSide(path, "SELECT count(*) FROM collection_membership"), QStringLiteral("1"));
    }

    void skillsAreInNaturalNameOrder()
    {
        auto container = open(storePath("order.sqlite"));
        ModelContext *context = container->mainContext();
        for (const char *name : {"beta", "alpha", "Alpha"})
            context->insert(makeSkill(QString::fromLatin1(name), QStringLiteral("/%1.md").arg(QLatin1String(name))));
        QStringList names;
        for (const Skill *skill : context->skills())
            names.append(skill->name());
        QCOMPARE(names, (QStringList{"Alpha", "alpha", "beta"}));

        // The order is kept up as records come, go and are renamed: always what a
        // full sort gives, whether asked for after each change or after a run of
        // them, and when a new record takes the address of one deleted meanwhile.
        QRandomGenerator random(7);
        for (int step = 0; step < 600; ++step) {
            if (random.bounded(5) == 0)
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const QList<Skill *> all = context->skillsInAnyOrder();
            const QString name = QString::number(random.bounded(50));
            switch (all.isEmpty() ? 0 : random.bounded(4)) {
            case 0:
            case 1:
                context->insert(makeSkill(name, QStringLiteral("/%1.md").arg(step)));
                break;
            case 2:
                context->remove(all.at(random.bounded(int(all.size()))));
                break;
            default:
                all.at(random.bounded(int(all.size())))->setName(name);
            }
            QList<Skill *> sorted = context->skillsInAnyOrder();
            std::sort(sorted.begin(), sorted.end(), [](const Skill *a, const Skill *b) {
                const int byName = compareNaturally(a->name(), b->name());
                return byName != 0 ? byName < 0 : a->resolvedPath() < b->resolvedPath();
            });
            if (step < 300 || random.bounded(6) == 0)
                QCOMPARE(context->skills(), sorted);
        }

        // A whole library at once (as a load or a first scan brings it) lands in
        // the same order: names equal but for case, digits, accents, repeats.
        const QStringList spellings{"skill-%1", "Skill-%1", "skill-0%1", "ébauche %1", "%1", "z"};
        for (int i = 0; i < 400; ++i) {
            const QString &spelling = spellings.at(random.bounded(int(spellings.size())));
            const int number = random.bounded(30);
            const QString name = spelling.contains(u'%') ? spelling.arg(number) : spelling;
            context->insert(makeSkill(name, QStringLiteral("/bulk/%1.md").arg(i)));
        }
        QList<Skill *> sorted = context->skillsInAnyOrder();
        std::sort(sorted.begin(), sorted.end(), [](const Skill *a, const Skill *b) {
            const int byName = compareNaturally(a->name(), b->name());
            return byName != 0 ? byName < 0 : a->resolvedPath() < b->resolvedPath();
        });
        QCOMPARE(context->skills(), sorted);
    }

    void checkpointsRunOffTheWritingThread()
    {
        const QString path = storePath("checkpoints.sqlite");
        Sqlite::Database database;
        QVERIFY(database.open(path, nullptr));
        QVERIFY(database.exec("PRAGMA journal_mode = WAL; CREATE TABLE t (x BLOB)"));
        const qint64 emptySize = QFileInfo(path).size();
        // Every commit asks for one; most come while one is still copying.
        BackgroundCheckpoints checkpoints(database, 1);
        for (int i = 0; i < 20; ++i)
            QVERIFY(database.exec("INSERT INTO t VALUES (randomblob(20000))"));
        checkpoints.wait();
        // The writer's own commits never copy the log (the hook replaces SQLite's
        // automatic checkpoint), so rows in the database file came from the worker,
        // the last commit's among them.
        QVERIFY(checkpoints.started() >= 1);
        QVERIFY2(QFileInfo(path).size() > emptySize + 20 * 20000, qPrintable(QString::number(QFileInfo(path).size())));
    }

    void savingManyNewRecordsCopiesNoPagesAside()
    {
        // Each row written fires the stamping triggers; had those statements been
        // able to abort halfway, SQLite would copy every page they touch aside,
        // megabytes for a few hundred records, spilled into temporary files.
        SpilledJournals journals;
        auto container = open(storePath("journals.sqlite"));
        QVERIFY(container);
        ModelContext &context = *container->mainContext();
        // As a scan saves them: slice after slice, their paths falling among those
        // of the slices before.
        for (int slice = 0; slice < 2; ++slice) {
            for (int i = 0; i < 500; ++i) {
                const QString name = QStringLiteral("s%1-%2").arg(i, 3, 10, QLatin1Char('0')).arg(slice);
                context.insert(makeSkill(name, QLatin1Char('/') + name))->setContent(QString(5000, QLatin1Char('x')));
            }
            QVERIFY(context.save());
        }
        QCOMPARE(storedSkillCount(storePath("journals.sqlite")), 1000);
        QCOMPARE(journals.count(), 0);
    }

    void editsInMemoryAreAnnouncedAtOnce()
    {
        auto container = open(storePath("signals.sqlite"));
        ModelContext *context = container->mainContext();
        QSignalSpy changed(context, &ModelContext::changed);
        QSignalSpy removed(context, &ModelContext::skillAboutToBeRemoved);
        Skill *skill = context->insert(makeSkill("a", "/a.md"));
        QCOMPARE(changed.count(), 1);
        skill->setIsFavorite(true);
        QCOMPARE(changed.count(), 2);
        skill->setIsFavorite(true);
        QCOMPARE(changed.count(), 2);
        QPointer<Skill> watcher(skill);
        context->remove(skill);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(changed.count(), 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watcher.isNull());
    }

    void aDeferredCheckHoldsEveryWriteUntilTheStorePasses_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("a sound store opens at once and its held change is written once the check passes")
            << false;
        QTest::newRow("a store with a damaged index page opens at once, gets no write and says how to move it aside")
            << true;
    }
    void aDeferredCheckHoldsEveryWriteUntilTheStorePasses()
    {
        QFETCH(bool, damaged);
        QTemporaryDir dir;
        const QString path = dir.filePath("deferred.sqlite");
        TestFiles::writeStoreWithDamagedIndex(path, true, damaged);
        if (QTest::currentTestFailed())
            return;
        const QByteArray before = TestFiles::readFile(path);

        QString error;
        auto container = ModelContainer::open(path, &error, ModelContainer::IntegrityCheck::Deferred);
        QVERIFY2(container, qPrintable(error));
        QVERIFY(container->integrityCheckPending());
        ModelContext *context = container->mainContext();
        QCOMPARE(context->skillCount(), 200);
        context->insert(makeSkill("new", "/s/new.md"));
        QVERIFY(context->save());
        QVERIFY(context->hasChanges());
        QString held;
        QVERIFY(!context->save(&held, [](Sqlite::Database &, QString *) { return true; }));
        QVERIFY(!held.isEmpty());
        QCOMPARE(storedSkillCount(path), qint64(200));

        StoreIntegrityCheck check(path);
        QSignalSpy finished(&check, &StoreIntegrityCheck::finished);
        check.start();
        QVERIFY(finished.wait(20000));
        const QString damage = finished.at(0).at(0).toString();
        if (damaged) {
            QVERIFY2(damage.contains(QFileInfo(path).absoluteFilePath()) && damage.contains("move the file aside"),
                     qPrintable(damage));
            QVERIFY(context->save());
            container.reset();
            QCOMPARE(TestFiles::readFile(path), before);
            QCOMPARE(storedSkillCount(path), qint64(200));
        } else {
            QVERIFY2(damage.isEmpty(), qPrintable(damage));
            container->integrityCheckPassed();
            QVERIFY(!container->integrityCheckPending());
            QVERIFY(!context->hasChanges());
            QCOMPARE(storedSkillCount(path), qint64(201));
        }
    }

    void aStoreThatMustBeWrittenToOpenIsCheckedFirst()
    {
        // Opening a store in another journal mode writes to it, so the check cannot
        // wait: the damage is found before, as without deferring.
        const QString path = storePath("rollback.sqlite");
        TestFiles::writeStoreWithDamagedIndex(path, false);
        if (QTest::currentTestFailed())
            return;
        const QByteArray before = TestFiles::readFile(path);
        QString error;
        QVERIFY(!ModelContainer::open(path, &error, ModelContainer::IntegrityCheck::Deferred));
        QVERIFY2(error.contains("move the file aside"), qPrintable(error));
        QCOMPARE(TestFiles::readFile(path), before);
    }

    void unusableStoresAreRefusedAndLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("a file of garbage") << QByteArray("garbage");
        QTest::newRow("a store written by a newer schema") << QByteArray("newer");
        QTest::newRow("a store folder that is a plain file") << QByteArray("folder");
        QTest::newRow("a store with a damaged index page") << QByteArray("index");
    }
    void unusableStoresAreRefusedAndLeftUntouched()
    {
        QFETCH(QByteArray, kind);
        QTemporaryDir dir;
        QString path = dir.filePath("store.sqlite");
        if (kind == "garbage") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, 'x'));
        } else if (kind == "newer") {
            {
                auto container = open(path);
                QVERIFY(container);
            }
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(path).constData(), &db);
            sqlite3_exec(db, "UPDATE vesk_meta SET value = '2.0.0'; PRAGMA journal_mode = DELETE;", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        } else if (kind == "index") {
            TestFiles::writeStoreWithDamagedIndex(path, false);
            if (QTest::currentTestFailed())
                return;
        } else {
            QFile blocker(dir.filePath("blocked"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            path = dir.filePath("blocked/store.sqlite");
        }
        const QByteArray before = TestFiles::readFile(path);

        QString error;
        QVERIFY(!ModelContainer::open(path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(TestFiles::readFile(path), before);
        if (kind == "index") {
            QVERIFY2(error.contains(QFileInfo(path).absoluteFilePath()) && error.contains("move the file aside"),
                     qPrintable(error));
        }
    }

    void theStoreIsItsUsersAloneWhateverTheUmask_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("a new store in a new folder") << false;
        QTest::newRow("a store an earlier run left readable by all is tightened") << true;
    }

    void theStoreIsItsUsersAloneWhateverTheUmask()
    {
        QFETCH(bool, existing);
        const mode_t previous = ::umask(022);
        QTemporaryDir dir;
        const QString folder = dir.filePath("data/Vesk");
        const QString path = folder + "/vesk.sqlite";
        sqlite3 *reader = nullptr; // keeps the journal files of an earlier run there
        if (existing) {
            QVERIFY(open(path));
            sqlite3_open(QFile::encodeName(path).constData(), &reader);
            sqlite3_exec(reader, "SELECT count(*) FROM skill", nullptr, nullptr, nullptr);
            for (const char *suffix : {"", "-wal", "-shm"})
                QCOMPARE(::chmod(QFile::encodeName(path + suffix).constData(), 0644), 0);
        }
        auto container = open(path);
        ::umask(previous);
        QVERIFY(container);
        container->mainContext()->insert(makeSkill("private", "/s/private.md"));
        QVERIFY(container->mainContext()->save());

        const auto mode = [](const QString &file) {
            struct stat info {};
            return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
        };
        if (!existing)
            QCOMPARE(mode(folder), 0700);
        QCOMPARE(mode(path), 0600);
        QCOMPARE(mode(path + "-wal"), 0600);
        QCOMPARE(mode(path + "-shm"), 0600);
        container.reset();
        sqlite3_close_v2(reader);
    }
};

VESK_TEST_GUILESS_MAIN(TestModelStore)
#include "tst_modelstore.moc"
