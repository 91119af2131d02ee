// The installers' lock files read and written in their own format, and the two
// folder fingerprints they record, checked against values computed another way:
// by `git` itself and by sha256sum over the byte stream the format describes.

#include "library/sources/folderhash.h"
#include "library/sources/lockfile.h"
#include "library/sources/skillsource.h"

#include "skillfiles.h"
#include "testhome.h"

#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using TestFiles::readFile;
using TestFiles::writeFile;

namespace {

QString golden(const char *name)
{
    return QStringLiteral(VESK_SOURCE_DIR "/tests/library/sources/golden/") + QLatin1String(name);
}

// Runs a program and returns its standard output; fails the test when it fails.
QByteArray run(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAllStandardError();
        return QByteArray();
    }
    return process.readAllStandardOutput().trimmed();
}

} // namespace

// How each layout is made: files (path → bytes), executables, links (path → target), empty folders.
struct Layout {
    QList<QPair<QString, QByteArray>> files;
    QStringList executables;
    QList<QPair<QString, QString>> links;
    QStringList emptyFolders;
};
Q_DECLARE_METATYPE(Layout)

namespace {

void lay(const QString &root, const Layout &layout)
{
    for (const auto &[path, bytes] : layout.files)
        writeFile(root + u'/' + path, bytes);
    for (const QString &path : layout.executables)
        QFile::setPermissions(root + u'/' + path, QFile::permissions(root + u'/' + path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    for (const auto &[path, target] : layout.links) {
        QDir().mkpath(QFileInfo(root + u'/' + path).absolutePath());
        QVERIFY(QFile::link(target, root + u'/' + path));
    }
    for (const QString &folder : layout.emptyFolders)
        QVERIFY(QDir().mkpath(root + u'/' + folder));
}

} // namespace

class TestLockFiles final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contentHashFeedsPathsThenBytesInPathOrder_data()
    {
        QTest::addColumn<Layout>("layout");
        // The files the format hashes, in the order it hashes them: written out
        // here, not computed, so a wrong order or a wrong skip fails.
        QTest::addColumn<QStringList>("hashedInOrder");

        Layout plain;
        plain.files = {{QStringLiteral("SKILL.md"), "---\nname: x\n---\n"}};
        QTest::newRow("a folder holding only SKILL.md hashes its path then its bytes")
            << plain << QStringList{QStringLiteral("SKILL.md")};

        Layout ordered;
        ordered.files = {{QStringLiteral("scripts/run.sh"), "#!/bin/sh\n"},
                         {QStringLiteral("a.md"), "lower"},
                         {QStringLiteral("B.md"), "upper"},
                         {QStringLiteral("SKILL.md"), "skill"},
                         {QStringLiteral("scripts-notes.txt"), "dash sorts before slash"}};
        QTest::newRow("files are taken in code-unit order of their relative paths")
            << ordered
            << QStringList{QStringLiteral("B.md"), QStringLiteral("SKILL.md"), QStringLiteral("a.md"),
                           QStringLiteral("scripts-notes.txt"), QStringLiteral("scripts/run.sh")};

        Layout skipped;
        skipped.files = {{QStringLiteral("SKILL.md"), "skill"},
                         {QStringLiteral(".git/HEAD"), "ref: refs/heads/main\n"},
                         {QStringLiteral("node_modules/x/index.js"), "module"},
                         {QStringLiteral("lib/node_modules/y.js"), "nested module"},
                         {QStringLiteral(".hidden"), "dot files count"}};
        skipped.links = {{QStringLiteral("outside"), QStringLiteral("/etc/hostname")},
                         {QStringLiteral("inside"), QStringLiteral("SKILL.md")}};
        QTest::newRow(".git, node_modules at any depth and links are left out; dot files are not")
            << skipped << QStringList{QStringLiteral(".hidden"), QStringLiteral("SKILL.md")};
    }

    void contentHashFeedsPathsThenBytesInPathOrder()
    {
        QFETCH(Layout, layout);
        QFETCH(QStringList, hashedInOrder);
        QTemporaryDir dir;
        lay(dir.path(), layout);
        if (QTest::currentTestFailed())
            return;
        // The stream the format describes, hashed by sha256sum.
        QStringList pieces;
        for (const QString &path : hashedInOrder)
            pieces << QStringLiteral("printf '%s' '%1'; cat '%1'").arg(path);
        const QByteArray expected =
            run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), u'(' + pieces.join(QStringLiteral("; ")) + QStringLiteral(") | sha256sum")},
                dir.path())
                .left(64);
        QCOMPARE(expected.size(), 64);
        QString error;
        const std::optional<QString> hash = contentHash(dir.path(), &error);
        QVERIFY2(hash, qPrintable(error));
        QCOMPARE(*hash, QString::fromLatin1(expected));
    }

    void treeIdIsWhatGitWrites_data()
    {
        QTest::addColumn<Layout>("layout");
        Layout plain;
        plain.files = {{QStringLiteral("SKILL.md"), "---\nname: x\n---\n"}};
        QTest::newRow("a folder holding only SKILL.md") << plain;

        Layout mixed;
        mixed.files = {{QStringLiteral("SKILL.md"), "skill"},
                       {QStringLiteral("scripts/run.sh"), "#!/bin/sh\necho hi\n"},
                       {QStringLiteral("scripts-a"), "a file named like the folder with a dash"},
                       {QStringLiteral("scripts.txt"), "a file that sorts against the folder"},
                       {QStringLiteral("node_modules/kept.js"), "git keeps it when committed"},
                       {QStringLiteral("deep/er/still/file.md"), "nested"}};
        mixed.executables = {QStringLiteral("scripts/run.sh")};
        mixed.links = {{QStringLiteral("docs/link.md"), QStringLiteral("../SKILL.md")}};
        mixed.emptyFolders = {QStringLiteral("empty/inside")};
        QTest::newRow("nested folders, an executable, a link and an empty folder, ordered as git orders them")
            << mixed;

        Layout binary;
        binary.files = {{QStringLiteral("SKILL.md"), "skill"},
                        {QStringLiteral("assets/logo.bin"), QByteArray("\x00\x01\xff\xfe binary\n", 13)},
                        {QStringLiteral("Ünïcode-näme.md"), "a name outside ASCII"}};
        QTest::newRow("binary bytes and a name outside ASCII") << binary;
    }

    void treeIdIsWhatGitWrites()
    {
        QFETCH(Layout, layout);
        QTemporaryDir dir;
        lay(dir.path(), layout);
        if (QTest::currentTestFailed())
            return;
        QString error;
        const std::optional<QString> tree = gitTreeId(dir.path(), &error);
        QVERIFY2(tree, qPrintable(error));

        const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
        if (git.isEmpty())
            QSKIP("git is not installed here: the tree id cannot be compared with git's own");
        run(git, {QStringLiteral("init"), QStringLiteral("-q")}, dir.path());
        run(git, {QStringLiteral("-c"), QStringLiteral("core.quotepath=false"), QStringLiteral("add"), QStringLiteral("-A"), QStringLiteral("-f")}, dir.path());
        const QByteArray expected = run(git, {QStringLiteral("write-tree")}, dir.path());
        QCOMPARE(expected.size(), 40);
        QCOMPARE(*tree, QString::fromLatin1(expected));
        // The repository's own .git is not part of the folder's tree.
        QCOMPARE(gitTreeId(dir.path()), tree);
    }

    void locksAreReadLeniently_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("problems");

        QTest::newRow("a lock of version 3 with fields Vesk does not know")
            << QByteArray(R"({"version":3,"skills":{"a":{"source":"o/r","sourceType":"github","x":1}},"other":true})")
            << true << 3 << QStringList{QStringLiteral("a")} << 0;
        QTest::newRow("a lock of a later version is still read")
            << QByteArray(R"({"version":9,"skills":{"b":{"source":"o/r"}}})") << true << 9
            << QStringList{QStringLiteral("b")} << 0;
        QTest::newRow("entries whose names would lead out of the skill folder are left out")
            << QByteArray(R"({"version":1,"skills":{"..":{},"a/../../x":{},"/etc":{},".":{},"ok":{}}})") << true << 1
            << QStringList{QStringLiteral("ok")} << 4;
        QTest::newRow("a hidden name, which a half-made copy could take, is left out")
            << QByteArray(R"({"version":1,"skills":{".ok.partial":{},"ok":{}}})") << true << 1
            << QStringList{QStringLiteral("ok")} << 1;
        QTest::newRow("an entry that is not an object is left out")
            << QByteArray(R"({"version":1,"skills":{"text":"nope","ok":{}}})") << true << 1
            << QStringList{QStringLiteral("ok")} << 1;
        QTest::newRow("a lock without skills has no entries")
            << QByteArray(R"({"version":3})") << true << 3 << QStringList() << 0;
        QTest::newRow("a file that is not JSON is not read") << QByteArray("{not json") << false << 0 << QStringList() << 0;
        QTest::newRow("a JSON array is not a lock") << QByteArray("[]") << false << 0 << QStringList() << 0;
        QTest::newRow("a file over the size limit is not read")
            << (QByteArray(R"({"version":1,"pad":")") + QByteArray(maxLockFileBytes, 'x') + "\"}") << false << 0
            << QStringList() << 0;
    }

    void locksAreReadLeniently()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, readable);
        QFETCH(int, version);
        QFETCH(QStringList, names);
        QFETCH(int, problems);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("skills-lock.json"));
        writeFile(path, text);
        QString error;
        const std::optional<LockFile> lock = readLockFile(path, LockKind::Project, &error);
        QCOMPARE(lock.has_value(), readable);
        if (!readable) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QVERIFY(lock->exists);
        QCOMPARE(lock->version, version);
        QStringList read;
        for (const LockEntry &entry : lock->entries)
            read.append(entry.name);
        QCOMPARE(read, names);
        QCOMPARE(lock->problems.size(), problems);
    }

    void aMissingLockIsEmpty()
    {
        QTemporaryDir dir;
        const std::optional<LockFile> lock = readLockFile(dir.filePath(QStringLiteral("none.json")), LockKind::Global);
        QVERIFY(lock);
        QVERIFY(!lock->exists);
        QVERIFY(lock->entries.isEmpty());
    }

    void entriesAreWrittenInTheInstallersFormat_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("before"); // empty: no file yet
        QTest::addColumn<QString>("after");
        QTest::newRow("a new project lock holds the entry, keys sorted, two-space indent, final newline")
            << int(LockKind::Project) << QString() << golden("project-new.json");
        QTest::newRow("a global lock keeps its other entries and every field Vesk does not know")
            << int(LockKind::Global) << golden("global-before.json") << golden("global-after.json");
    }

    void entriesAreWrittenInTheInstallersFormat()
    {
        QFETCH(int, kind);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lock/file.json"));
        if (!before.isEmpty())
            writeFile(path, readFile(before));
        LockEntry entry;
        entry.name = QStringLiteral("pdf-tools");
        entry.source = QStringLiteral("acme/skills");
        entry.sourceType = QStringLiteral("github");
        entry.sourceUrl = QStringLiteral("https://github.com/acme/skills.git");
        entry.ref = QStringLiteral("main");
        entry.skillPath = QStringLiteral("skills/pdf-tools/SKILL.md");
        if (LockKind(kind) == LockKind::Global) {
            entry.hash = QStringLiteral("9d1e7a4b6c2f0e8d5a3b1c9e7f6d4a2b0c8e6f4d");
            entry.installedAt = QStringLiteral("2025-12-01T00:00:00.000Z");
            entry.updatedAt = QStringLiteral("2026-03-04T05:06:07.089Z");
        } else {
            entry.hash = QStringLiteral("4f2c0d8a6a0f5f55f1c7c26d5d1b9b8e0b8f5f0a6d2e7c1b3a9f8e7d6c5b4a39");
        }
        QString error;
        QVERIFY2(writeLockEntry(path, LockKind(kind), entry, &error), qPrintable(error));
        // Line by line, so a failure names the line.
        const QStringList written = QString::fromUtf8(readFile(path)).split(u'\n');
        const QStringList expected = QString::fromUtf8(readFile(after)).split(u'\n');
        for (qsizetype i = 0; i < std::min(written.size(), expected.size()); ++i)
            QCOMPARE(written.at(i), expected.at(i));
        QCOMPARE(written.size(), expected.size());
        // What was written reads back as written.
        const std::optional<LockFile> lock = readLockFile(path, LockKind(kind));
        QVERIFY(lock);
        const LockEntry *read = findEntry(*lock, entry.name);
        QVERIFY(read);
        QCOMPARE(read->hash, entry.hash);
        QCOMPARE(read->skillPath, entry.skillPath);
    }

    void locksVeskCannotWriteSafelyAreLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("a lock of a later version than Vesk knows")
            << QByteArray(R"({"version":4,"skills":{}})") << QStringLiteral("a");
        QTest::newRow("a lock that is not JSON") << QByteArray("{oops") << QStringLiteral("a");
        QTest::newRow("an entry name that would climb out") << QByteArray(R"({"version":3,"skills":{}})")
                                                            << QStringLiteral("../escape");
    }

    void locksVeskCannotWriteSafelyAreLeftAlone()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral(".skill-lock.json"));
        writeFile(path, text);
        LockEntry entry;
        entry.name = name;
        entry.source = QStringLiteral("o/r");
        QString error;
        QVERIFY(!writeLockEntry(path, LockKind::Global, entry, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(path), text);
    }

    void theGlobalLockFollowsTheStateFolderWhenItHasOne()
    {
        const QString agents = QDir::homePath() + QStringLiteral("/.agents/.skill-lock.json");
        QCOMPARE(globalLockPath(), agents);
        const QString state = qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/skills/.skill-lock.json");
        writeFile(state, "{}");
        QCOMPARE(globalLockPath(), state);
        QVERIFY(QFile::remove(state));
        QCOMPARE(globalLockPath(), agents);
    }

    void skillPathsStayInsideTheirSource_data()
    {
        QTest::addColumn<QString>("skillPath");
        QTest::addColumn<QString>("folder"); // "<none>": refused
        QTest::newRow("the file's folder is the skill's") << QStringLiteral("skills/a/SKILL.md") << QStringLiteral("skills/a");
        QTest::newRow("a folder is taken as it is") << QStringLiteral("skills/a/") << QStringLiteral("skills/a");
        QTest::newRow("SKILL.md alone is the root") << QStringLiteral("SKILL.md") << QString();
        QTest::newRow("dot parts are dropped") << QStringLiteral("./skills/./a/SKILL.md") << QStringLiteral("skills/a");
        QTest::newRow("climbing out with .. is refused") << QStringLiteral("skills/../../etc/SKILL.md") << QStringLiteral("<none>");
        QTest::newRow("an absolute path is refused") << QStringLiteral("/etc/SKILL.md") << QStringLiteral("<none>");
        QTest::newRow("backslashes do not hide a climb") << QStringLiteral("a\\..\\..\\x") << QStringLiteral("<none>");
    }

    void skillPathsStayInsideTheirSource()
    {
        QFETCH(QString, skillPath);
        QFETCH(QString, folder);
        const std::optional<QString> read = skillFolderOf(skillPath);
        QCOMPARE(read.value_or(QStringLiteral("<none>")), folder);
    }

    void linksCannotLeadOutOfTheSource()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("clone"));
        writeFile(root + QStringLiteral("/skills/a/SKILL.md"), "a");
        writeFile(dir.filePath(QStringLiteral("secret/SKILL.md")), "secret");
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("secret")), root + QStringLiteral("/skills/out")));
        QVERIFY(insideFolder(root, QStringLiteral("skills/a")));
        QVERIFY(!insideFolder(root, QStringLiteral("skills/out")));
        QVERIFY(!insideFolder(root, QStringLiteral("skills/missing")));
    }

    void sourcesAreReadAsTheUserWritesThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("type"); // empty: refused
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("url");
        QTest::newRow("owner/repo is on GitHub") << QStringLiteral("acme/skills") << QStringLiteral("github")
                                                 << QStringLiteral("acme/skills") << QStringLiteral("https://github.com/acme/skills.git");
        QTest::newRow("a GitHub address is the same source") << QStringLiteral("https://github.com/acme/skills.git")
                                                             << QStringLiteral("github") << QStringLiteral("acme/skills")
                                                             << QStringLiteral("https://github.com/acme/skills.git");
        QTest::newRow("another https address is a git source") << QStringLiteral("https://git.example.org/team/s.git")
                                                               << QStringLiteral("git") << QStringLiteral("https://git.example.org/team/s.git")
                                                               << QStringLiteral("https://git.example.org/team/s.git");
        QTest::newRow("an scp-like ssh address is a git source") << QStringLiteral("git@example.org:team/s.git")
                                                                 << QStringLiteral("git") << QStringLiteral("git@example.org:team/s.git")
                                                                 << QStringLiteral("git@example.org:team/s.git");
        QTest::newRow("a file address is a git source") << QStringLiteral("file:///srv/repo.git") << QStringLiteral("git")
                                                        << QStringLiteral("file:///srv/repo.git") << QStringLiteral("file:///srv/repo.git");
        QTest::newRow("an option in disguise is refused") << QStringLiteral("--upload-pack=touch /tmp/x") << QString() << QString() << QString();
        QTest::newRow("the ext transport, which runs commands, is refused") << QStringLiteral("ext::sh -c touch% /tmp/x")
                                                                           << QString() << QString() << QString();
        QTest::newRow("a folder that is not there is refused") << QStringLiteral("./no/such/folder") << QString() << QString() << QString();
        QTest::newRow("three parts are not owner/repo") << QStringLiteral("a/b/c") << QString() << QString() << QString();
        QTest::newRow("a line break is refused") << QStringLiteral("acme/skills\nrm") << QString() << QString() << QString();
    }

    void sourcesAreReadAsTheUserWritesThem()
    {
        QFETCH(QString, text);
        QFETCH(QString, type);
        QFETCH(QString, source);
        QFETCH(QString, url);
        QString error;
        const std::optional<SkillSource> parsed = parseSkillSource(text, QDir::homePath(), &error);
        QCOMPARE(parsed.has_value(), !type.isEmpty());
        if (!parsed) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QCOMPARE(parsed->sourceType, type);
        QCOMPARE(parsed->source, source);
        QCOMPARE(parsed->url, url);
    }

    void aFolderIsALocalSource()
    {
        QTemporaryDir dir;
        const std::optional<SkillSource> parsed = parseSkillSource(QStringLiteral("."), dir.path());
        QVERIFY(parsed);
        QCOMPARE(parsed->sourceType, QStringLiteral("local"));
        QCOMPARE(parsed->source, QDir::cleanPath(dir.path()));
        QVERIFY(parsed->url.isEmpty());
    }
};

VESK_TEST_GUILESS_MAIN(TestLockFiles)
#include "tst_lockfiles.moc"
