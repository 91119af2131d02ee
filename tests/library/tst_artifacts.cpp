#include "library/artifactcache.h"
#include "library/skillartifact.h"

#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest/QtTest>

#include <memory>
#include <vector>
#include <unistd.h>

using Category = SkillArtifact::Category;
Q_DECLARE_METATYPE(SkillArtifact::Category)

namespace {

// Creates every entry below root; a trailing "/" makes a folder, anything else a
// small file (with its parent folders).
void createEntries(const QString &root, const QStringList &entries)
{
    for (const QString &entry : entries) {
        if (entry.endsWith(u'/')) {
            QVERIFY(QDir(root).mkpath(entry));
            continue;
        }
        const QString path = root + u'/' + entry;
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("content\n");
    }
}

QStringList relativePaths(const QList<SkillArtifact> &artifacts)
{
    QStringList paths;
    for (const SkillArtifact &artifact : artifacts)
        paths.append(artifact.relativePath);
    return paths;
}

const SkillArtifact *findArtifact(const QList<SkillArtifact> &artifacts, const QString &relativePath)
{
    for (const SkillArtifact &artifact : artifacts) {
        if (artifact.relativePath == relativePath)
            return &artifact;
    }
    return nullptr;
}

} // namespace

class TestArtifacts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categoryCatalogue();
    void categoryTitles_data();
    void categoryTitles();
    void unknownTitlesAreRejected_data();
    void unknownTitlesAreRejected();

    void listing_data();
    void listing();
    void classification_data();
    void classification();
    void fieldsDescribeTheFile();
    void missingFolderListsNothing();
    void idsAreFreshForEveryListing();

    void linkLoopIsNotFollowed();
    void linkToFileIsListed();
    void danglingLinkIsSkipped();
    void linkToFolderIsNotDescended();
    void unreadableFolderIsSkipped();

    void cacheStartsEmpty();
    void cacheKeepsLatestListing();
    void cacheKeepsSkillsApart();
    void cacheSurvivesConcurrentUse();

private:
    QString makeSkill(QTemporaryDir &dir, const QStringList &entries, const QString &skillFileName = QStringLiteral("SKILL.md"));
};

QString TestArtifacts::makeSkill(QTemporaryDir &dir, const QStringList &entries, const QString &skillFileName)
{
    createEntries(dir.path(), QStringList{skillFileName} + entries);
    return dir.path() + u'/' + skillFileName;
}

void TestArtifacts::categoryCatalogue()
{
    const QList<Category> expected = {
        Category::Script, Category::Reference, Category::Rule, Category::Config, Category::Other,
    };
    QCOMPARE(ArtifactCategories::allCases(), expected);
}

void TestArtifacts::categoryTitles_data()
{
    QTest::addColumn<Category>("category");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("symbol");

    QTest::newRow("scripts show a terminal") << Category::Script << "Scripts" << "terminal";
    QTest::newRow("references show a text page") << Category::Reference << "References" << "doc.text.fill";
    QTest::newRow("rules show a checklist") << Category::Rule << "Rules" << "checklist";
    QTest::newRow("config shows a gear") << Category::Config << "Config" << "gearshape.fill";
    QTest::newRow("other files show a plain page") << Category::Other << "Files" << "doc.fill";
}

void TestArtifacts::categoryTitles()
{
    QFETCH(Category, category);
    QFETCH(QString, title);
    QFETCH(QString, symbol);

    QCOMPARE(ArtifactCategories::title(category), title);
    QCOMPARE(ArtifactCategories::symbolName(category), symbol);
    QCOMPARE(ArtifactCategories::fromTitle(title), std::optional<Category>(category));
}

void TestArtifacts::unknownTitlesAreRejected_data()
{
    QTest::addColumn<QString>("title");

    QTest::newRow("a lower-case title is not a title") << "scripts";
    QTest::newRow("an upper-case title is not a title") << "CONFIG";
    QTest::newRow("the enumerator name is not a title") << "Other";
    QTest::newRow("an empty string is not a title") << "";
}

void TestArtifacts::unknownTitlesAreRejected()
{
    QFETCH(QString, title);
    QVERIFY(!ArtifactCategories::fromTitle(title).has_value());
}

void TestArtifacts::listing_data()
{
    QTest::addColumn<QString>("skillFileName");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected");

    const QString skillMd = QStringLiteral("SKILL.md");

    QTest::newRow("a folder holding only its skill file lists nothing")
        << skillMd << QStringList{} << QStringList{};
    QTest::newRow("hidden files and empty folders are left out")
        << skillMd << QStringList{".DS_Store", "empty/"} << QStringList{};
    QTest::newRow("a skill file in a sub-folder is an ordinary file")
        << skillMd << QStringList{".DS_Store", "empty/", "sub/SKILL.md"} << QStringList{"sub/SKILL.md"};
    QTest::newRow("files inside a hidden folder are listed, the folder is not")
        << skillMd << QStringList{".git/HEAD", ".git/refs/.keep"} << QStringList{".git/HEAD"};
    QTest::newRow("only the skill file's own name is left out")
        << QStringLiteral("rules.mdc") << QStringList{"SKILL.md"} << QStringList{"SKILL.md"};
    QTest::newRow("groups follow the alphabetical order of their titles")
        << skillMd << QStringList{"a.py", "b.json", "c.txt"} << QStringList{"b.json", "c.txt", "a.py"};
    QTest::newRow("the walk goes depth-first in name order")
        << skillMd << QStringList{"c.txt", "b/x.txt", "a.txt"} << QStringList{"a.txt", "b/x.txt", "c.txt"};
    QTest::newRow("files within a group keep walk order")
        << skillMd << QStringList{"scripts/z.md", "scripts/b.md", "a.sh", "notes.md", "config.yml"}
        << QStringList{"config.yml", "notes.md", "a.sh", "scripts/b.md", "scripts/z.md"};
    QTest::newRow("deeply nested files are found")
        << skillMd << QStringList{"a/b/c/d/e/f/deep.txt"} << QStringList{"a/b/c/d/e/f/deep.txt"};
}

void TestArtifacts::listing()
{
    QFETCH(QString, skillFileName);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString skillFile = makeSkill(dir, entries, skillFileName);

    QCOMPARE(relativePaths(listArtifacts(skillFile)), expected);
}

void TestArtifacts::classification_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<Category>("category");
    QTest::addColumn<QString>("extension");

    QTest::newRow("a document in a scripts folder is a script")
        << "scripts/usage.md" << Category::Script << "md";
    QTest::newRow("a shell file anywhere is a script") << "tools/run.sh" << Category::Script << "sh";
    QTest::newRow("folder names are matched without regard to case")
        << "docs/References/api.md" << Category::Reference << "md";
    QTest::newRow("a yaml file in a rules folder is a rule") << "rules/lint.yaml" << Category::Rule << "yaml";
    QTest::newRow("an upper-case config extension is lower-cased")
        << "settings.TOML" << Category::Config << "toml";
    QTest::newRow("a file without extension is a plain file") << "Makefile" << Category::Other << "";
    QTest::newRow("a script extension beats a rules folder") << "rules/check.py" << Category::Script << "py";
    QTest::newRow("a references folder beats a config extension")
        << "references/schema.json" << Category::Reference << "json";
    QTest::newRow("a transcripts folder counts as scripts") << "transcripts/a.txt" << Category::Script << "txt";
    QTest::newRow("a preferences folder counts as references")
        << "preferences/x.txt" << Category::Reference << "txt";
    QTest::newRow("only the last dot starts the extension")
        << "bundle.tar.gz" << Category::Other << "gz";
    QTest::newRow("the file name itself does not pick the folder category")
        << "scripts.txt" << Category::Other << "txt";
    QTest::newRow("any enclosing folder counts, not just the nearest")
        << "scripting/helpers/notes.md" << Category::Script << "md";
    QTest::newRow("an ES module is a script") << "lib/index.mjs" << Category::Script << "mjs";
    QTest::newRow("a property list is config") << "Info.plist" << Category::Config << "plist";
}

void TestArtifacts::classification()
{
    QFETCH(QString, relativePath);
    QFETCH(Category, category);
    QFETCH(QString, extension);

    QCOMPARE(categorize(relativePath), category);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QList<SkillArtifact> artifacts = listArtifacts(makeSkill(dir, {relativePath}));
    QCOMPARE(artifacts.size(), 1);
    QCOMPARE(artifacts.first().relativePath, relativePath);
    QCOMPARE(artifacts.first().category, category);
    QCOMPARE(artifacts.first().fileExtension, extension);
}

void TestArtifacts::fieldsDescribeTheFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString skillFile = makeSkill(dir, {"docs/guide/Intro.Page.MD", "top.txt"});

    const QList<SkillArtifact> artifacts = listArtifacts(skillFile);
    QCOMPARE(artifacts.size(), 2);

    const SkillArtifact *nested = findArtifact(artifacts, QStringLiteral("docs/guide/Intro.Page.MD"));
    QVERIFY(nested);
    QCOMPARE(nested->name, QStringLiteral("Intro.Page.MD"));
    QCOMPARE(nested->path, dir.path() + QStringLiteral("/docs/guide/Intro.Page.MD"));
    QCOMPARE(nested->fileExtension, QStringLiteral("md"));
    QVERIFY(QFileInfo(nested->path).isFile());

    const SkillArtifact *top = findArtifact(artifacts, QStringLiteral("top.txt"));
    QVERIFY(top);
    QCOMPARE(top->name, QStringLiteral("top.txt"));
    QCOMPARE(top->path, dir.path() + QStringLiteral("/top.txt"));
}

void TestArtifacts::missingFolderListsNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(listArtifacts(dir.path() + QStringLiteral("/gone/SKILL.md")).isEmpty());
}

void TestArtifacts::idsAreFreshForEveryListing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString skillFile = makeSkill(dir, {"a.txt", "b.sh", "c.json"});

    const QList<SkillArtifact> first = listArtifacts(skillFile);
    const QList<SkillArtifact> second = listArtifacts(skillFile);
    QCOMPARE(first.size(), 3);
    QCOMPARE(relativePaths(second), relativePaths(first));

    QSet<QUuid> ids;
    for (const SkillArtifact &artifact : first + second) {
        QVERIFY(!artifact.id.isNull());
        ids.insert(artifact.id);
    }
    QCOMPARE(ids.size(), first.size() + second.size());
}

void TestArtifacts::linkLoopIsNotFollowed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString skillFile = makeSkill(dir, {"dir/file.txt", "top.txt"});
    QVERIFY(QFile::link(dir.path() + QStringLiteral("/dir"), dir.path() + QStringLiteral("/dir/loop")));
    QVERIFY(QFile::link(dir.path(), dir.path() + QStringLiteral("/up")));

    QCOMPARE(relativePaths(listArtifacts(skillFile)), (QStringList{"dir/file.txt", "top.txt"}));
}

void TestArtifacts::linkToFileIsListed()
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    QVERIFY(dir.isValid());
    QVERIFY(elsewhere.isValid());
    const QString skillFile = makeSkill(dir, {});
    createEntries(elsewhere.path(), {"shared.py"});
    QVERIFY(QFile::link(elsewhere.path() + QStringLiteral("/shared.py"), dir.path() + QStringLiteral("/linked.py")));

    const QList<SkillArtifact> artifacts = listArtifacts(skillFile);
    QCOMPARE(artifacts.size(), 1);
    QCOMPARE(artifacts.first().relativePath, QStringLiteral("linked.py"));
    QCOMPARE(artifacts.first().path, dir.path() + QStringLiteral("/linked.py"));
    QCOMPARE(artifacts.first().category, Category::Script);
}

void TestArtifacts::danglingLinkIsSkipped()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString skillFile = makeSkill(dir, {"real.txt"});
    QVERIFY(QFile::link(dir.path() + QStringLiteral("/missing.txt"), dir.path() + QStringLiteral("/broken.txt")));

    QCOMPARE(relativePaths(listArtifacts(skillFile)), QStringList{"real.txt"});
}

void TestArtifacts::linkToFolderIsNotDescended()
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    QVERIFY(dir.isValid());
    QVERIFY(elsewhere.isValid());
    const QString skillFile = makeSkill(dir, {"own.txt"});
    createEntries(elsewhere.path(), {"outside.txt", "nested/deeper.txt"});
    QVERIFY(QFile::link(elsewhere.path(), dir.path() + QStringLiteral("/external")));

    QCOMPARE(relativePaths(listArtifacts(skillFile)), QStringList{"own.txt"});
}

void TestArtifacts::unreadableFolderIsSkipped()
{
    if (geteuid() == 0)
        QSKIP("root reads folders regardless of their permissions");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString skillFile = makeSkill(dir, {"locked/secret.txt", "open/visible.txt", "top.txt"});
    const QString locked = dir.path() + QStringLiteral("/locked");
    const QFile::Permissions original = QFile::permissions(locked);
    QVERIFY(QFile::setPermissions(locked, QFile::Permissions()));
    // Give the folder its permissions back whatever happens, so it can be cleaned up.
    const auto restore = qScopeGuard([&] { QFile::setPermissions(locked, original); });

    QCOMPARE(relativePaths(listArtifacts(skillFile)), (QStringList{"open/visible.txt", "top.txt"}));
}

void TestArtifacts::cacheStartsEmpty()
{
    const ArtifactCache cache;
    QVERIFY(cache.artifacts(QStringLiteral("/nowhere/SKILL.md")).isEmpty());
}

void TestArtifacts::cacheKeepsLatestListing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString skillFile = makeSkill(dir, {"a.txt", "b.sh"});

    ArtifactCache cache;
    const QList<SkillArtifact> first = listArtifacts(skillFile);
    cache.setArtifacts(first, skillFile);
    QCOMPARE(cache.artifacts(skillFile), first);

    createEntries(dir.path(), {"c.json"});
    const QList<SkillArtifact> second = listArtifacts(skillFile);
    QCOMPARE(second.size(), 3);
    cache.setArtifacts(second, skillFile);
    QCOMPARE(cache.artifacts(skillFile), second);

    cache.setArtifacts({}, skillFile);
    QVERIFY(cache.artifacts(skillFile).isEmpty());
}

void TestArtifacts::cacheKeepsSkillsApart()
{
    QTemporaryDir one;
    QTemporaryDir two;
    QVERIFY(one.isValid());
    QVERIFY(two.isValid());
    const QString firstSkill = makeSkill(one, {"a.txt"});
    const QString secondSkill = makeSkill(two, {"b.py", "c.yaml"});

    ArtifactCache cache;
    const QList<SkillArtifact> firstList = listArtifacts(firstSkill);
    const QList<SkillArtifact> secondList = listArtifacts(secondSkill);
    cache.setArtifacts(firstList, firstSkill);
    cache.setArtifacts(secondList, secondSkill);

    QCOMPARE(cache.artifacts(firstSkill), firstList);
    QCOMPARE(cache.artifacts(secondSkill), secondList);
    QVERIFY(cache.artifacts(one.path()).isEmpty());
}

void TestArtifacts::cacheSurvivesConcurrentUse()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QList<SkillArtifact> listing = listArtifacts(makeSkill(dir, {"a.txt", "b.sh", "c.json"}));
    QCOMPARE(listing.size(), 3);

    ArtifactCache cache;
    constexpr int threadCount = 4;
    constexpr int rounds = 500;
    QAtomicInt torn = 0;

    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back(QThread::create([&cache, &listing, &torn, t] {
            for (int i = 0; i < rounds; ++i) {
                const QString key = QStringLiteral("/skills/%1/SKILL.md").arg(i % 7);
                cache.setArtifacts(t % 2 ? listing : QList<SkillArtifact>{}, key);
                const QList<SkillArtifact> seen = cache.artifacts(key);
                if (!seen.isEmpty() && seen != listing)
                    torn.ref();
            }
        }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        QVERIFY(thread->wait(QDeadlineTimer(30000)));

    QCOMPARE(torn.loadRelaxed(), 0);
    for (int i = 0; i < 7; ++i) {
        const QList<SkillArtifact> seen = cache.artifacts(QStringLiteral("/skills/%1/SKILL.md").arg(i));
        QVERIFY(seen.isEmpty() || seen == listing);
    }
}

VESK_TEST_GUILESS_MAIN(TestArtifacts)
#include "tst_artifacts.moc"
