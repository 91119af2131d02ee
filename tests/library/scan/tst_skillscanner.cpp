#include "library/disk/fileproblems.h"
#include "library/records/skillartifact.h"
#include "library/records/skillcollection.h"
#include "library/scan/skillscanner.h"
#include "libraryfixture.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using TestFiles::skillText;
using TestFiles::writeFile;

// Each test gets a fresh home folder, store and settings value.
class TestSkillScanner final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;
    std::unique_ptr<SkillScanner> m_scanner;

    QString home(const QString &relative) const { return m_library->home(relative); }
    ModelContext &context() const { return m_library->context(); }
    QStringList names() const { return m_library->names(); }
    Skill *named(const QString &name) const { return m_library->named(name); }

    // A full scan, then the prune that follows it, then the records it dropped deleted.
    void scanAndPrune()
    {
        m_scanner->scanAll();
        m_scanner->removeMissing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        m_scanner = std::make_unique<SkillScanner>(context(), m_library->artifacts());
    }

    void cleanup()
    {
        m_scanner.reset();
        m_library.reset();
    }

    void aLocationRecordsOnlyItsSkillEntries_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("md and mdc files count, MD and txt files do not")
            << QStringList{"a.md", "b.mdc", "c.MD", "d.txt"} << QStringList{"a", "b"};
        QTest::newRow("a folder with both main files is recorded once, through SKILL.md")
            << QStringList{"both/SKILL.md", "both/AGENTS.md"} << QStringList{"from-SKILL.md"};
        QTest::newRow("a folder with only AGENTS.md is a skill")
            << QStringList{"agents/AGENTS.md"} << QStringList{"from-AGENTS.md"};
        QTest::newRow("a folder without a main file is ignored, and so is everything below it")
            << QStringList{"plain/notes.md", "plain/deeper/SKILL.md"} << QStringList{};
        QTest::newRow("hidden entries are never recorded")
            << QStringList{".hidden.md", ".secret/SKILL.md", "shown.md"} << QStringList{"shown"};
    }
    void aLocationRecordsOnlyItsSkillEntries()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        for (const QString &file : files) {
            // Files without a name key are named after the file (or its folder), so
            // give main files a name that tells which one was read.
            const QString base = QFileInfo(file).fileName();
            const bool isMain = base == "SKILL.md" || base == "AGENTS.md";
            writeFile(home(".claude/skills/" + file), isMain ? skillText("from-" + base.toUtf8()) : QByteArray("text"));
        }
        m_scanner->scanAll();
        QStringList actual = names();
        actual.sort();
        QCOMPARE(actual, expected);
    }

    void namesFallBackToTheFileOrFolderAndFoldersListTheirFiles()
    {
        writeFile(home(".claude/skills/folder-skill/SKILL.md"), "no frontmatter");
        writeFile(home(".claude/skills/folder-skill/scripts/run.py"), "print()");
        writeFile(home(".claude/skills/folder-skill/config.json"), "{}");
        writeFile(home(".claude/skills/single.file.md"), "no frontmatter");
        writeFile(home(".codex/AGENTS.md"), "no heading here");
        writeFile(home(".codex/reviewer/AGENTS.md"), "intro\n# Code reviewer\n");
        m_scanner->scanAll();
        QCOMPARE(names(), (QStringList{"AGENTS", "Code reviewer", "folder-skill", "single.file"}));
        QVERIFY(!named("AGENTS")->isDirectory());
        QVERIFY(named("Code reviewer")->isDirectory());
        QVERIFY(named("folder-skill")->isDirectory());
        QVERIFY(named("AGENTS")->isGlobal());

        // A skill folder's other files are cached under its main file as found.
        const ArtifactCache &artifacts = m_library->artifacts();
        const QList<SkillArtifact> listed = artifacts.artifacts(home(".claude/skills/folder-skill/SKILL.md"));
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed.at(0).relativePath, QStringLiteral("config.json"));
        QCOMPARE(listed.at(1).relativePath, QStringLiteral("scripts/run.py"));
        QVERIFY(artifacts.artifacts(home(".claude/skills/single.file.md")).isEmpty());
    }

    void aFolderLinkedIntoTwoHarnessesIsOneRecordUntilALinkGoes()
    {
        writeFile(home("shared/linked/SKILL.md"), skillText("linked"));
        QDir().mkpath(home(".claude/skills"));
        QDir().mkpath(home(".cursor/skills"));
        QVERIFY(QFile::link(home("shared/linked"), home(".claude/skills/linked")));
        QVERIFY(QFile::link(home("shared/linked"), home(".cursor/skills/linked")));
        writeFile(home(".claude/skills/gone.md"), skillText("gone"));
        m_scanner->scanAll();
        m_scanner->scanAll(); // a second pass must not duplicate anything

        QCOMPARE(names(), (QStringList{"gone", "linked"}));
        const Skill *linked = named("linked");
        // Claude's folder is read by Copilot, Cursor and OpenCode as well.
        QCOMPARE(linked->toolSources(), (QList<ToolSource>{ToolSource::Claude, ToolSource::Copilot,
                                                           ToolSource::Cursor, ToolSource::OpenCode}));
        QCOMPARE(linked->resolvedPath(), QFileInfo(home("shared/linked/SKILL.md")).canonicalFilePath());
        QCOMPARE(linked->filePath(), home(".claude/skills/linked/SKILL.md"));
        QCOMPARE(linked->installedPaths(),
                 (QStringList{home(".claude/skills/linked/SKILL.md"), home(".cursor/skills/linked/SKILL.md")}));

        // Pruning drops the vanished path and the record left with none.
        QVERIFY(QFile::remove(home(".claude/skills/gone.md")));
        QVERIFY(QFile::remove(home(".claude/skills/linked")));
        scanAndPrune();
        QCOMPARE(names(), QStringList{"linked"});
        QCOMPARE(linked->installedPaths(), QStringList{home(".cursor/skills/linked/SKILL.md")});
        QCOMPARE(linked->filePath(), home(".cursor/skills/linked/SKILL.md"));
        // Its harnesses follow the paths it keeps.
        QCOMPARE(linked->toolSources(), QList<ToolSource>{ToolSource::Cursor});
    }

    void aFileSharedWithCodexEndsWithTheCodexReading()
    {
        writeFile(home("shared/SKILL.md"), "---\nname: fm-name\n---\n# Heading name\n");
        QDir().mkpath(home(".claude/skills"));
        QVERIFY(QFile::link(home("shared/SKILL.md"), home(".claude/skills/shared.md")));
        QDir().mkpath(home(".codex"));
        QVERIFY(QFile::link(home("shared/SKILL.md"), home(".codex/AGENTS.md")));
        m_scanner->scanAll();
        QCOMPARE(names(), QStringList{"Heading name"});
        QVERIFY(context().skills().first()->frontmatter().isEmpty());
    }

    void projectsAreFoundOnlyInsideCustomScanDirectories()
    {
        const QString root = home("code");
        writeFile(root + "/.claude/skills/root-skill/SKILL.md", skillText("root-skill"));
        writeFile(root + "/app/.claude/skills/app-skill/SKILL.md", skillText("app-skill"));
        writeFile(root + "/app/.github/copilot-instructions.md", "# Copilot rules\n");
        writeFile(root + "/app/.github/other.md", "# Not read\n");
        writeFile(root + "/app/.cursor/rules/style.mdc", skillText("style"));
        writeFile(root + "/web/.config/amp/AGENTS.md", "# Amp notes\n");
        writeFile(root + "/README.md", skillText("not-a-project"));
        LibraryFixture::setCustomScanPaths({root, home("missing-folder")});
        m_scanner->scanAll();

        QCOMPARE(names(), (QStringList{"Amp notes", "Copilot rules", "app-skill", "style"}));
        const Skill *copilot = named("Copilot rules");
        QCOMPARE(copilot->toolSources(), QList<ToolSource>{ToolSource::Copilot});
        QVERIFY(!copilot->isGlobal());
        QCOMPARE(copilot->projectName(), std::optional<QString>("app"));
        QCOMPARE(named("Amp notes")->projectName(), std::optional<QString>("web"));
    }

    void customScanDirectoriesAreReadAfreshAndPrunedWhenDropped()
    {
        writeFile(home("one/p/.claude/skills/first/SKILL.md"), skillText("first"));
        writeFile(home("two/p/.cursor/rules/second.mdc"), skillText("second"));
        writeFile(home(".claude/skills/global.md"), skillText("global"));
        m_scanner->scanAll();
        QCOMPARE(names(), QStringList{"global"});

        // Spelled as a hand-edited setting might: the prune must still recognise it.
        LibraryFixture::setCustomScanPaths({home("one"), home("two/./")});
        scanAndPrune();
        QCOMPARE(names(), (QStringList{"first", "global", "second"}));

        LibraryFixture::setCustomScanPaths({home("two")});
        scanAndPrune();
        QCOMPARE(names(), (QStringList{"global", "second"}));
        QVERIFY(QFileInfo::exists(home("one/p/.claude/skills/first/SKILL.md"))); // files stay on disk
    }

    // Whatever cannot be read is skipped and the rest of the library is read as
    // ever; a file found but not read is reported, a broken location is not.
    void unreadableEntriesAreSkipped_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("reported"); // relative to home, as the bytes on disk; empty for none
        QTest::addColumn<QString>("reasonStart");
        QTest::newRow("a location that is a dangling link") << QByteArray("dangling") << QByteArray() << QString();
        QTest::newRow("a location that is a plain file") << QByteArray("file") << QByteArray() << QString();
        QTest::newRow("a skill folder that links to itself") << QByteArray("loop") << QByteArray() << QString();
        QTest::newRow("a folder that cannot be read") << QByteArray("unreadable") << QByteArray() << QString();
        QTest::newRow("a named pipe called SKILL.md") << QByteArray("fifo")
            << QByteArray(".claude/skills/pipe/SKILL.md") << "Not a regular file";
        QTest::newRow("a SKILL.md that links to /dev/zero") << QByteArray("zero")
            << QByteArray(".claude/skills/zero/SKILL.md") << "Not a regular file";
        QTest::newRow("a skill file larger than the limit") << QByteArray("large")
            << QByteArray(".claude/skills/large.md") << "Larger than";
        QTest::newRow("a skill file that is not UTF-8 text") << QByteArray("binary")
            << QByteArray(".claude/skills/binary.md") << "Not UTF-8";
        // "caf\xe9" and "r\xe8gle" are Latin-1, not UTF-8.
        QTest::newRow("a skill folder whose name is not UTF-8") << QByteArray("folder name")
            << QByteArray(".claude/skills/caf\xe9") << "Its name is not valid UTF-8";
        QTest::newRow("a skill file whose name is not UTF-8") << QByteArray("file name")
            << QByteArray(".cursor/rules/r\xe8gle.mdc") << "Its name is not valid UTF-8";
        QTest::newRow("a supporting file whose name is not UTF-8") << QByteArray("artifact name")
            << QByteArray(".agents/skills/fine/scripts/\xff.sh") << "Its name is not valid UTF-8";
        QTest::newRow("a project folder whose name is not UTF-8") << QByteArray("project name")
            << QByteArray("code/proj\xff") << "Its name is not valid UTF-8";
        QTest::newRow("a named pipe among the supporting files") << QByteArray("fifo")
            << QByteArray(".agents/skills/fine/scripts/pipe") << "Not a regular file";
    }
    void unreadableEntriesAreSkipped()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, reported);
        QFETCH(QString, reasonStart);
        if (kind == "unreadable" && geteuid() == 0)
            QSKIP("Permissions do not stop root from reading a folder.");
        writeFile(home(".agents/skills/fine/SKILL.md"), skillText("fine"));
        const QByteArray target = QFile::encodeName(m_library->home()) + '/' + reported;
        QDir().mkpath(QFile::decodeName(target.left(target.lastIndexOf('/'))));
        if (kind == "dangling") {
            QDir().mkpath(home(".claude"));
            QVERIFY(QFile::link(home("nowhere"), home(".claude/skills")));
        } else if (kind == "file") {
            writeFile(home(".claude/skills"), "not a folder");
        } else if (kind == "loop") {
            writeFile(home(".claude/skills/looped/SKILL.md"), skillText("looped"));
            writeFile(home(".claude/skills/looped/scripts/run.sh"), "echo");
            QVERIFY(QFile::link(home(".claude/skills/looped"), home(".claude/skills/looped/scripts/again")));
        } else if (kind == "unreadable") {
            writeFile(home(".claude/skills/locked/SKILL.md"), skillText("locked"));
            QFile::setPermissions(home(".claude/skills"), QFileDevice::Permissions());
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(target.constData(), 0600), 0);
        } else if (kind == "zero") {
            QCOMPARE(::symlink("/dev/zero", target.constData()), 0);
        } else if (kind == "large") {
            writeFile(QFile::decodeName(target), skillText("large") + QByteArray(9 * 1024 * 1024, 'x'));
        } else if (kind == "binary") {
            writeFile(QFile::decodeName(target), QByteArray("---\nname: bad\n---\n\xff\xfe broken"));
        } else if (kind == "project name") {
            QCOMPARE(::mkdir(target.constData(), 0700), 0);
            LibraryFixture::setCustomScanPaths({home("code")});
        } else if (kind == "folder name") { // Qt cannot spell these names: made by bytes
            QCOMPARE(::mkdir(target.constData(), 0700), 0);
            QCOMPARE(::close(::creat((target + "/SKILL.md").constData(), 0600)), 0);
        } else {
            QCOMPARE(::close(::creat(target.constData(), 0600)), 0);
        }

        FileProblems problems;
        m_scanner->setProblems(&problems);
        m_scanner->scanAll();
        if (kind == "unreadable")
            QFile::setPermissions(home(".claude/skills"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (kind.endsWith("name")) { // and removed by bytes
            ::unlink((target + "/SKILL.md").constData());
            ::unlink(target.constData());
            ::rmdir(target.constData());
        }

        QVERIFY(named("fine"));
        const QList<FileProblem> found = problems.all();
        QCOMPARE(found.size(), reported.isEmpty() ? 0 : 1);
        if (!reported.isEmpty()) {
            QCOMPARE(found.first().path, QFile::decodeName(target));
            QVERIFY2(found.first().reason.startsWith(reasonStart), qPrintable(found.first().reason));
        } else if (kind == "loop") {
            const Skill *looped = named("looped");
            QVERIFY(looped);
            const QList<SkillArtifact> artifacts = m_library->artifacts().artifacts(looped->filePath());
            QCOMPARE(artifacts.size(), 1);
            QCOMPARE(artifacts.first().relativePath, QStringLiteral("scripts/run.sh"));
        } else {
            QCOMPARE(names(), QStringList{"fine"});
        }

        // Put right on disk, the file is read and the next full scan reports nothing.
        if (kind == "large" || kind == "binary") {
            writeFile(QFile::decodeName(target), skillText(kind));
            m_scanner->scanAll();
            QVERIFY(problems.isEmpty());
            QVERIFY(named(QString::fromLatin1(kind)));
        }
    }

    // The user's marks (a favorite, a collection) on a skill, and what becomes of
    // them, in memory and in the store, when its file changes on disk.
    void marksFollowTheSkillThroughChangesOnDisk_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QByteArray>("change");
        QTest::addColumn<QString>("to"); // empty when no record should be left
        QTest::addColumn<bool>("keeps");
        QTest::addColumn<QString>("body");
        const QString kept = ".claude/skills/kept/SKILL.md";
        QTest::newRow("a skill file edited in place keeps its marks and takes the new body")
            << ".claude/skills/kept.md" << QByteArray("edit") << ".claude/skills/kept.md" << true << "New body.";
        QTest::newRow("a skill file turned unreadable keeps its record and its last reading")
            << ".claude/skills/kept.md" << QByteArray("garble") << ".claude/skills/kept.md" << true
            << "Steps to follow.";
        QTest::newRow("a skill folder renamed keeps favorite and collections")
            << ".claude/skills/old/SKILL.md" << QByteArray("move") << ".claude/skills/new/SKILL.md" << true
            << "Steps to follow.";
        QTest::newRow("a skill file moved to another tool's folder keeps them")
            << ".claude/skills/moved.md" << QByteArray("move") << ".cursor/rules/moved.mdc" << true
            << "Steps to follow.";
        QTest::newRow("a skill replaced by one with other contents does not take them")
            << ".claude/skills/old/SKILL.md" << QByteArray("replace") << ".claude/skills/other/SKILL.md" << false
            << "Other steps.";
        QTest::newRow("a skill folder replaced by a link loop keeps its record")
            << kept << QByteArray("loop") << kept << true << "Steps to follow.";
        QTest::newRow("a skill folder whose parent cannot be searched keeps its record")
            << kept << QByteArray("lock") << kept << true << "Steps to follow.";
        QTest::newRow("a skill folder deleted takes its record and memberships along")
            << kept << QByteArray("delete") << QString() << false << QString();
    }
    void marksFollowTheSkillThroughChangesOnDisk()
    {
        QFETCH(QString, from);
        QFETCH(QByteArray, change);
        QFETCH(QString, to);
        QFETCH(bool, keeps);
        QFETCH(QString, body);
        if (change == "lock" && geteuid() == 0)
            QSKIP("Permissions do not stop root from reaching a folder.");
        const QByteArray text = skillText("travels", "Steps to follow.");
        writeFile(home(from), text);
        m_scanner->scanAll();
        Skill *original = named("travels");
        QVERIFY(original);
        original->setIsFavorite(true);
        SkillCollection *work = context().insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(original);
        QVERIFY(context().save());

        const QString folder = QFileInfo(home(from)).path();
        const QString parent = QFileInfo(folder).path();
        if (change == "edit") {
            writeFile(home(from), skillText("travels", "New body."));
        } else if (change == "garble") {
            writeFile(home(from), QByteArray("---\nname: changed\n---\n\xc3\x28"));
        } else if (change == "move" || change == "replace") {
            writeFile(home(to), change == "move" ? text : skillText("travels", "Other steps."));
            QVERIFY(QFile::remove(home(from)));
        } else if (change == "loop") {
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(QFile::link(folder, folder)); // stat() answers "too many levels of links"
        } else if (change == "lock") {
            QVERIFY(QFile::setPermissions(parent, QFileDevice::Permissions()));
        } else {
            QVERIFY(QDir(folder).removeRecursively());
        }
        scanAndPrune();
        if (change == "lock")
            QFile::setPermissions(parent, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QVERIFY(!context().hasChanges()); // the scan saved what it did
        if (to.isEmpty()) {
            QVERIFY(context().skills().isEmpty());
            QVERIFY(work->skills().isEmpty());
        } else {
            QCOMPARE(context().skills().size(), 1);
            Skill *successor = context().skills().first();
            QCOMPARE(successor->name(), QStringLiteral("travels"));
            QCOMPARE(successor->filePath(), home(to));
            QCOMPARE(successor->content(), body);
            QCOMPARE(successor->isFavorite(), keeps);
            QCOMPARE(work->skills(), keeps ? QList<Skill *>{successor} : QList<Skill *>{});
        }

        // What was handed over is in the store, not just in memory.
        m_scanner.reset();
        m_library->openStore();
        QCOMPARE(context().skills().size(), to.isEmpty() ? 0 : 1);
        QCOMPARE(context().collections().first()->skills().size(), keeps ? 1 : 0);
        if (keeps)
            QVERIFY(context().skills().first()->isFavorite());
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillScanner)
#include "tst_skillscanner.moc"
