#include "library/records/artifactcache.h"
#include "library/records/skillartifact.h"

#include "skillfiles.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest/QtTest>

#include <unistd.h>

using Category = SkillArtifact::Category;
Q_DECLARE_METATYPE(SkillArtifact::Category)

namespace {

// Creates each entry below root: a trailing "/" makes a folder, anything else a
// small file, parent folders included.
bool createEntries(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const QString path = root + u'/' + entry;
        if (!(entry.endsWith(u'/') ? QDir().mkpath(path) : TestFiles::writeBytes(path, "x\n")))
            return false;
    }
    return true;
}

QStringList listedPaths(const QString &skillFile)
{
    QStringList paths;
    for (const SkillArtifact &artifact : listArtifacts(skillFile))
        paths.append(artifact.relativePath);
    return paths;
}

} // namespace

class TestArtifacts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titlesAreStoredValuesThatReadBackExactly()
    {
        QStringList titles;
        for (Category category : ArtifactCategories::allCases()) {
            titles << ArtifactCategories::title(category);
            QCOMPARE(ArtifactCategories::fromTitle(titles.last()), std::optional<Category>(category));
        }
        QCOMPARE(titles, (QStringList{"Scripts", "References", "Rules", "Config", "Files"}));
        for (const char *other : {"scripts", "CONFIG", "Other", ""})
            QVERIFY(!ArtifactCategories::fromTitle(QLatin1String(other)).has_value());
    }

    void listing_data()
    {
        QTest::addColumn<QString>("skillFileName");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("hidden files, empty folders and the skill file itself are left out")
            << "SKILL.md" << QStringList{"SKILL.md", ".DS_Store", "empty/", "sub/SKILL.md"}
            << QStringList{"sub/SKILL.md"};
        QTest::newRow("files inside a hidden folder are listed, its hidden files are not")
            << "SKILL.md" << QStringList{"SKILL.md", ".git/HEAD", ".git/refs/.keep"} << QStringList{".git/HEAD"};
        QTest::newRow("only the skill file's own name is left out")
            << "rules.mdc" << QStringList{"rules.mdc", "SKILL.md"} << QStringList{"SKILL.md"};
        QTest::newRow("the walk goes depth-first in name order")
            << "SKILL.md" << QStringList{"c.txt", "b/x/y.txt", "a.txt"} << QStringList{"a.txt", "b/x/y.txt", "c.txt"};
        QTest::newRow("groups are sorted by title and keep walk order within")
            << "SKILL.md" << QStringList{"scripts/z.md", "scripts/b.md", "a.sh", "notes.md", "config.yml"}
            << QStringList{"config.yml", "notes.md", "a.sh", "scripts/b.md", "scripts/z.md"};
        QTest::newRow("a folder that is missing lists nothing")
            << "gone/SKILL.md" << QStringList{"a.txt"} << QStringList{};
    }

    void listing()
    {
        QFETCH(QString, skillFileName);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);

        QTemporaryDir dir;
        QVERIFY(createEntries(dir.path(), entries));
        QCOMPARE(listedPaths(dir.filePath(skillFileName)), expected);
    }

    void classification_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<Category>("category");
        QTest::addColumn<QString>("extension");

        QTest::newRow("a document in a scripts folder is a script") << "scripts/usage.md" << Category::Script << "md";
        QTest::newRow("folder names are matched without regard to case")
            << "docs/References/api.md" << Category::Reference << "md";
        QTest::newRow("a yaml file in a rules folder is a rule") << "rules/lint.yaml" << Category::Rule << "yaml";
        QTest::newRow("an upper-case config extension is lower-cased") << "settings.TOML" << Category::Config << "toml";
        QTest::newRow("a file without extension is a plain file") << "Makefile" << Category::Other << "";
        QTest::newRow("a script extension beats a rules folder") << "rules/check.py" << Category::Script << "py";
        QTest::newRow("a references folder beats a config extension")
            << "references/schema.json" << Category::Reference << "json";
        QTest::newRow("only the last dot starts the extension") << "bundle.tar.gz" << Category::Other << "gz";
        QTest::newRow("the file name itself does not pick the folder category")
            << "scripts.txt" << Category::Other << "txt";
        QTest::newRow("any enclosing folder counts, by any part of its name")
            << "scripting/helpers/Notes.Page.MD" << Category::Script << "md";
    }

    void classification()
    {
        QFETCH(QString, relativePath);
        QFETCH(Category, category);
        QFETCH(QString, extension);

        QCOMPARE(categorize(relativePath), category);

        QTemporaryDir dir;
        QVERIFY(createEntries(dir.path(), {QStringLiteral("SKILL.md"), relativePath}));
        const QString skill = dir.filePath(QStringLiteral("SKILL.md"));
        const QList<SkillArtifact> artifacts = listArtifacts(skill);
        QCOMPARE(artifacts.size(), 1);
        const SkillArtifact &artifact = artifacts.first();
        // Every listing hands out fresh ids.
        QVERIFY(!artifact.id.isNull());
        QVERIFY(listArtifacts(skill).first().id != artifact.id);
        QCOMPARE(artifact.relativePath, relativePath);
        QCOMPARE(artifact.name, relativePath.section(u'/', -1));
        QCOMPARE(artifact.path, dir.filePath(relativePath));
        QCOMPARE(artifact.category, category);
        QCOMPARE(artifact.fileExtension, extension);
    }

    void symbolicLinks_data()
    {
        // %1 is the skill folder, %2 a folder elsewhere holding shared.py and nested/deeper.txt.
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("expected");

        const QStringList own{"dir/file.txt", "own.txt"};
        QTest::newRow("a link back up the tree is not followed") << "%1" << "dir/loop" << own;
        QTest::newRow("a dangling link is left out") << "%1/missing.txt" << "broken.txt" << own;
        QTest::newRow("a link to a folder is not descended") << "%2" << "external" << own;
        QTest::newRow("a link to a file is listed under its own name")
            << "%2/shared.py" << "linked.py" << own + QStringList{"linked.py"};
    }

    void symbolicLinks()
    {
        QFETCH(QString, target);
        QFETCH(QString, link);
        QFETCH(QStringList, expected);

        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        QVERIFY(createEntries(dir.path(), {"SKILL.md", "dir/file.txt", "own.txt"}));
        QVERIFY(createEntries(elsewhere.path(), {"shared.py", "nested/deeper.txt"}));
        target.replace(QStringLiteral("%1"), dir.path()).replace(QStringLiteral("%2"), elsewhere.path());
        QVERIFY(QFile::link(target, dir.filePath(link)));

        QCOMPARE(listedPaths(dir.filePath(QStringLiteral("SKILL.md"))), expected);
    }

    void anUnreadableFolderIsSkipped()
    {
        if (geteuid() == 0)
            QSKIP("root reads folders regardless of their permissions");

        QTemporaryDir dir;
        QVERIFY(createEntries(dir.path(), {"SKILL.md", "locked/secret.txt", "open/visible.txt"}));
        const QString locked = dir.filePath(QStringLiteral("locked"));
        const QFile::Permissions original = QFile::permissions(locked);
        QVERIFY(QFile::setPermissions(locked, QFile::Permissions()));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(locked, original); });

        QCOMPARE(listedPaths(dir.filePath(QStringLiteral("SKILL.md"))), QStringList{"open/visible.txt"});
    }

    void eachArtifactOfAWalkHasADistinctRandomId()
    {
        QStringList files;
        for (int i = 0; i < 2000; ++i)
            files.append(QStringLiteral("scripts/f%1.py").arg(i));
        QSet<QUuid> ids;
        for (const SkillArtifact &artifact : artifactsFromFiles(QStringLiteral("/skills/a/SKILL.md"), files)) {
            QCOMPARE(artifact.id.version(), QUuid::Random);
            QCOMPARE(artifact.id.variant(), QUuid::DCE);
            ids.insert(artifact.id);
        }
        QCOMPARE(ids.size(), files.size());
    }

    void cacheGivesBackEachListingExactlyAsStored_data()
    {
        QTest::addColumn<QString>("skillFile");
        QTest::addColumn<QList<SkillArtifact>>("listing");

        const QString skillFile = QStringLiteral("/skills/a/SKILL.md");
        const QList<SkillArtifact> walked = artifactsFromFiles(
            skillFile, {"SKILL.md", "scripts/run.py", "references/api.md", "config.json", "notes/Deep/Á b.TXT"});
        QTest::newRow("a listing from a walk of the skill's folder") << skillFile << walked;

        QList<SkillArtifact> moved = walked;
        moved[1].path = QStringLiteral("/elsewhere/scripts/run.py");
        QTest::newRow("a listing with one path outside the skill's folder") << skillFile << moved;

        QList<SkillArtifact> renamed = walked;
        renamed.last().fileExtension = QStringLiteral("TXT");
        QTest::newRow("a listing with a field that does not follow from its path") << skillFile << renamed;

        QTest::newRow("a listing of a skill file outside any folder")
            << QStringLiteral("SKILL.md") << artifactsFromFiles(skillFile, {"run.py"});
        QTest::newRow("an empty listing") << skillFile << QList<SkillArtifact>{};
    }

    void cacheGivesBackEachListingExactlyAsStored()
    {
        QFETCH(QString, skillFile);
        QFETCH(QList<SkillArtifact>, listing);
        ArtifactCache cache;
        cache.setArtifacts(listing, skillFile);
        QCOMPARE(cache.artifacts(skillFile), listing);
        QCOMPARE(cache.artifacts(skillFile), listing); // the ids hold from one call to the next
    }

    void cacheKeepsTheLatestListingOfEachSkillUnderConcurrentUse()
    {
        const QList<SkillArtifact> listing(3);
        const QString key = QStringLiteral("/skills/a/SKILL.md");
        const QString other = QStringLiteral("/skills/b/SKILL.md");
        ArtifactCache cache;
        QVERIFY(cache.artifacts(key).isEmpty());
        cache.setArtifacts(listing, key);
        cache.setArtifacts(listing.first(1), other);
        cache.setArtifacts(listing.first(2), key);
        QCOMPARE(cache.artifacts(key), listing.first(2));
        QCOMPARE(cache.artifacts(other), listing.first(1));

        // All threads hammer one entry, which without locking is all but certain to crash.
        QAtomicInt torn = 0;
        QList<QThread *> threads;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([&cache, &listing, &key, &torn, t] {
                for (int i = 0; i < 20000; ++i) {
                    cache.setArtifacts(t % 2 ? listing : QList<SkillArtifact>{}, key);
                    const QList<SkillArtifact> seen = cache.artifacts(key);
                    if (!seen.isEmpty() && seen != listing)
                        torn.ref();
                }
            });
            threads.last()->start();
        }
        for (QThread *thread : std::as_const(threads)) {
            QVERIFY(thread->wait(QDeadlineTimer(30000)));
            delete thread;
        }
        QCOMPARE(torn.loadRelaxed(), 0);
    }
};

VESK_TEST_GUILESS_MAIN(TestArtifacts)
#include "tst_artifacts.moc"
