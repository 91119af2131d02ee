#include "library/store/backgroundcheckpoints.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/sqlite.h"
#include "sidesql.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QSignalSpy>
#include <QtTest/QtTest>

#include <sqlite3.h>

namespace {

using TestFiles::sqlOnSide;

std::unique_ptr<Skill> makeSkill(const QString &name, const QString &path)
{
    return std::make_unique<Skill>(path, path, name, "d", "c", Skill::Frontmatter{{"k", "v"}},
                                   ToolSource::Cursor, false, true,
                                   QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC), 7);
}

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
        QCOMPARE(skill->collections().size(), 1);
        QCOMPARE(skill->collections().first()->name(), QStringLiteral("Work"));
        QCOMPARE(container->mainContext()->collectionNamed("Work")->skills().size(), 1);
        // The file names its schema's version and keeps a write-ahead log.
        QCOMPARE(sqlOnSide(path, "SELECT value FROM vesk_meta WHERE key = 'schemaVersion'"), QStringLiteral("1.0.0"));
        QCOMPARE(sqlOnSide(path, "PRAGMA journal_mode"), QStringLiteral("wal"));
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

    void skillsAreInPlainNameOrder()
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
        // full sort gives.
        QRandomGenerator random(7);
        for (int step = 0; step < 300; ++step) {
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
                return a->name() != b->name() ? a->name() < b->name() : a->resolvedPath() < b->resolvedPath();
            });
            QCOMPARE(context->skills(), sorted);
        }
    }

    void checkpointsRunOffTheWritingThread()
    {
        const QString path = storePath("checkpoints.sqlite");
        Sqlite::Database database;
        QVERIFY(database.open(path, nullptr));
        QVERIFY(database.exec("PRAGMA journal_mode = WAL; CREATE TABLE t (x BLOB)"));
        const qint64 emptySize = QFileInfo(path).size();
        BackgroundCheckpoints checkpoints(database, 16);
        for (int i = 0; i < 20; ++i)
            QVERIFY(database.exec("INSERT INTO t VALUES (randomblob(20000))"));
        checkpoints.wait();
        // The writer's own commits never copy the log (the hook replaces SQLite's
        // automatic checkpoint), so rows in the database file came from the worker.
        QVERIFY(checkpoints.started() >= 1);
        QVERIFY2(QFileInfo(path).size() > emptySize + 100000, qPrintable(QString::number(QFileInfo(path).size())));
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

    void unusableStoresAreRefusedAndLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("a file of garbage") << QByteArray("garbage");
        QTest::newRow("a store written by a newer schema") << QByteArray("newer");
        QTest::newRow("a store folder that is a plain file") << QByteArray("folder");
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
    }
};

VESK_TEST_GUILESS_MAIN(TestModelStore)
#include "tst_modelstore.moc"
