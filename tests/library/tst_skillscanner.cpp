#include "library/artifactcache.h"
#include "library/fileproblems.h"
#include "library/modelcontainer.h"
#include "library/modelcontext.h"
#include "library/settingskeys.h"
#include "library/skill.h"
#include "library/skillartifact.h"
#include "library/skillcollection.h"
#include "library/skillscanner.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using TestFiles::skillText;
using TestFiles::writeFile;

// Each test gets a fresh home folder, store and settings value.
class TestSkillScanner final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<ArtifactCache> m_artifacts;
    std::unique_ptr<SkillScanner> m_scanner;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }
    ModelContext &context() const { return *m_container->mainContext(); }

    QStringList names() const
    {
        QStringList list;
        for (const Skill *skill : context().skills())
            list.append(skill->name());
        return list;
    }

    Skill *named(const QString &name) const
    {
        for (Skill *skill : context().skills()) {
            if (skill->name() == name)
                return skill;
        }
        return nullptr;
    }

    void setCustomScanPaths(const QStringList &paths)
    {
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKeys::customScanPaths), paths);
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
        QString error;
        m_container = ModelContainer::open(m_home->filePath("store/vesk.sqlite"), &error);
        QVERIFY2(m_container, qPrintable(error));
        m_artifacts = std::make_unique<ArtifactCache>();
        m_scanner = std::make_unique<SkillScanner>(context(), *m_artifacts);
        setCustomScanPaths({});
    }

    void cleanup()
    {
        m_scanner.reset();
        m_container.reset();
        m_home.reset();
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

    void namesFallBackToTheFileOrFolder()
    {
        writeFile(home(".claude/skills/folder-skill/SKILL.md"), "no frontmatter");
        writeFile(home(".claude/skills/single.file.md"), "no frontmatter");
        writeFile(home(".codex/AGENTS.md"), "no heading here");
        writeFile(home(".codex/reviewer/AGENTS.md"), "intro\n# Code reviewer\n");
        m_scanner->scanAll();
        QCOMPARE(names(), (QStringList{"AGENTS", "Code reviewer", "folder-skill", "single.file"}));
        QVERIFY(!named("AGENTS")->isDirectory());
        QVERIFY(named("Code reviewer")->isDirectory());
        QVERIFY(named("folder-skill")->isDirectory());
        QVERIFY(named("AGENTS")->isGlobal());
    }

    void oneFolderLinkedIntoTwoHarnessesIsOneRecord()
    {
        writeFile(home("shared/linked/SKILL.md"), skillText("linked"));
        QDir().mkpath(home(".claude/skills"));
        QDir().mkpath(home(".cursor/skills"));
        QVERIFY(QFile::link(home("shared/linked"), home(".claude/skills/linked")));
        QVERIFY(QFile::link(home("shared/linked"), home(".cursor/skills/linked")));
        m_scanner->scanAll();
        m_scanner->scanAll(); // a second pass must not duplicate anything

        QCOMPARE(context().skills().size(), 1);
        const Skill *skill = context().skills().first();
        // Claude's folder is read by Copilot, Cursor and OpenCode as well.
        QCOMPARE(skill->toolSources(), (QList<ToolSource>{ToolSource::Claude, ToolSource::Copilot,
                                                          ToolSource::Cursor, ToolSource::OpenCode}));
        QCOMPARE(skill->resolvedPath(), QFileInfo(home("shared/linked/SKILL.md")).canonicalFilePath());
        QCOMPARE(skill->filePath(), home(".claude/skills/linked/SKILL.md"));
        QCOMPARE(skill->installedPaths(),
                 (QStringList{home(".claude/skills/linked/SKILL.md"), home(".cursor/skills/linked/SKILL.md")}));
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
        setCustomScanPaths({root, home("missing-folder")});
        m_scanner->scanAll();

        QCOMPARE(names(), (QStringList{"Amp notes", "Copilot rules", "app-skill", "style"}));
        const Skill *copilot = named("Copilot rules");
        QCOMPARE(copilot->toolSources(), QList<ToolSource>{ToolSource::Copilot});
        QVERIFY(!copilot->isGlobal());
        QCOMPARE(copilot->projectName(), std::optional<QString>("app"));
        QCOMPARE(named("Amp notes")->projectName(), std::optional<QString>("web"));
    }

    void theSettingIsReadAfreshOnEveryScan()
    {
        writeFile(home("one/p/.claude/skills/first/SKILL.md"), skillText("first"));
        writeFile(home("two/p/.claude/skills/second/SKILL.md"), skillText("second"));
        m_scanner->scanAll();
        QVERIFY(names().isEmpty());
        setCustomScanPaths({home("one")});
        m_scanner->scanAll();
        QCOMPARE(names(), QStringList{"first"});
        setCustomScanPaths({home("two")});
        m_scanner->scanAll();
        QCOMPARE(names(), (QStringList{"first", "second"}));
    }

    void pruningDropsVanishedPathsAndEmptyRecords()
    {
        writeFile(home("shared/both/SKILL.md"), skillText("both"));
        QDir().mkpath(home(".claude/skills"));
        QDir().mkpath(home(".cursor/skills"));
        QVERIFY(QFile::link(home("shared/both"), home(".claude/skills/both")));
        QVERIFY(QFile::link(home("shared/both"), home(".cursor/skills/both")));
        writeFile(home(".claude/skills/gone.md"), skillText("gone"));
        m_scanner->scanAll();
        QCOMPARE(names(), (QStringList{"both", "gone"}));

        QVERIFY(QFile::remove(home(".claude/skills/gone.md")));
        QVERIFY(QFile::remove(home(".claude/skills/both")));
        m_scanner->removeMissing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(names(), QStringList{"both"});
        const Skill *both = named("both");
        QCOMPARE(both->installedPaths(), QStringList{home(".cursor/skills/both/SKILL.md")});
        QCOMPARE(both->filePath(), home(".cursor/skills/both/SKILL.md"));
        // Its harnesses follow the paths it keeps.
        QCOMPARE(both->toolSources(), QList<ToolSource>{ToolSource::Cursor});
    }

    void pruningDropsSkillsOfARemovedCustomDirectory()
    {
        writeFile(home("one/p/.claude/skills/first/SKILL.md"), skillText("first"));
        writeFile(home("two/p/.cursor/rules/second.mdc"), skillText("second"));
        writeFile(home(".claude/skills/global.md"), skillText("global"));
        // Spelled as a hand-edited setting might: the prune must still recognise it.
        setCustomScanPaths({home("one"), home("two/./")});
        m_scanner->scanAll();
        m_scanner->removeMissing();
        QCOMPARE(names(), (QStringList{"first", "global", "second"}));

        setCustomScanPaths({home("two")});
        m_scanner->scanAll();
        m_scanner->removeMissing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(names(), (QStringList{"global", "second"}));
        QVERIFY(QFileInfo::exists(home("one/p/.claude/skills/first/SKILL.md"))); // files stay on disk
    }

    void userMarksSurviveRescans()
    {
        writeFile(home(".claude/skills/kept.md"), skillText("kept"));
        m_scanner->scanAll();
        Skill *kept = named("kept");
        kept->setIsFavorite(true);
        SkillCollection *work = context().insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(kept);
        QVERIFY(context().save());

        writeFile(home(".claude/skills/kept.md"), skillText("kept", "New body."));
        m_scanner->scanAll();
        m_scanner->removeMissing();
        QCOMPARE(context().skills().size(), 1);
        QVERIFY(kept->isFavorite());
        QCOMPARE(kept->collections(), QList<SkillCollection *>{work});
        QCOMPARE(kept->content(), QStringLiteral("New body."));
        QVERIFY(!context().hasChanges());
    }

    void unreadableFilesAreSkippedAndLeaveTheirRecord()
    {
        writeFile(home(".claude/skills/text.md"), skillText("text"));
        writeFile(home(".claude/skills/binary.md"), QByteArray("---\nname: bad\n---\n\xff\xfe broken"));
        m_scanner->scanAll();
        QCOMPARE(names(), QStringList{"text"});

        writeFile(home(".claude/skills/text.md"), QByteArray("---\nname: changed\n---\n\xc3\x28"));
        m_scanner->scanAll();
        QCOMPARE(names(), QStringList{"text"});
        QCOMPARE(named("text")->content(), QStringLiteral("Body."));
    }

    void brokenLocationsAreSkippedSilently_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("a location that is a dangling link") << QByteArray("dangling");
        QTest::newRow("a location that is a plain file") << QByteArray("file");
        QTest::newRow("a skill folder that links to itself") << QByteArray("loop");
        QTest::newRow("a folder that cannot be read") << QByteArray("unreadable");
    }
    void brokenLocationsAreSkippedSilently()
    {
        QFETCH(QByteArray, kind);
        writeFile(home(".agents/skills/fine/SKILL.md"), skillText("fine"));
        if (kind == "dangling") {
            QDir().mkpath(home(".claude"));
            QVERIFY(QFile::link(home("nowhere"), home(".claude/skills")));
        } else if (kind == "file") {
            writeFile(home(".claude/skills"), "not a folder");
        } else if (kind == "loop") {
            writeFile(home(".claude/skills/looped/SKILL.md"), skillText("looped"));
            writeFile(home(".claude/skills/looped/scripts/run.sh"), "echo");
            QVERIFY(QFile::link(home(".claude/skills/looped"), home(".claude/skills/looped/scripts/again")));
        } else {
            if (geteuid() == 0)
                QSKIP("Permissions do not stop root from reading a folder.");
            writeFile(home(".claude/skills/locked/SKILL.md"), skillText("locked"));
            QFile::setPermissions(home(".claude/skills"), QFileDevice::Permissions());
        }
        m_scanner->scanAll();
        if (kind == "unreadable")
            QFile::setPermissions(home(".claude/skills"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QVERIFY(named("fine"));
        if (kind == "loop") {
            const Skill *looped = named("looped");
            QVERIFY(looped);
            const QList<SkillArtifact> artifacts = m_artifacts->artifacts(looped->filePath());
            QCOMPARE(artifacts.size(), 1);
            QCOMPARE(artifacts.first().relativePath, QStringLiteral("scripts/run.sh"));
        } else {
            QCOMPARE(context().skills().size(), 1);
        }
    }

    void directorySkillsFillTheArtifactCacheUnderTheirPathAsFound()
    {
        writeFile(home(".claude/skills/tools/SKILL.md"), skillText("tools"));
        writeFile(home(".claude/skills/tools/scripts/run.py"), "print()");
        writeFile(home(".claude/skills/tools/config.json"), "{}");
        writeFile(home(".claude/skills/single.md"), skillText("single"));
        m_scanner->scanAll();
        const QList<SkillArtifact> artifacts = m_artifacts->artifacts(home(".claude/skills/tools/SKILL.md"));
        QCOMPARE(artifacts.size(), 2);
        QCOMPARE(artifacts.at(0).relativePath, QStringLiteral("config.json"));
        QCOMPARE(artifacts.at(1).relativePath, QStringLiteral("scripts/run.py"));
        QVERIFY(m_artifacts->artifacts(home(".claude/skills/single.md")).isEmpty());
    }

    void filesFoundButNotReadAreReported_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("reported"); // relative to home, as the bytes on disk
        QTest::addColumn<QString>("reasonStart");
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
            << QByteArray(".claude/skills/fine/scripts/\xff.sh") << "Its name is not valid UTF-8";
        QTest::newRow("a project folder whose name is not UTF-8") << QByteArray("project name")
            << QByteArray("code/proj\xff") << "Its name is not valid UTF-8";
        QTest::newRow("a named pipe among the supporting files") << QByteArray("fifo")
            << QByteArray(".claude/skills/fine/scripts/pipe") << "Not a regular file";
    }
    void filesFoundButNotReadAreReported()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, reported);
        QFETCH(QString, reasonStart);
        writeFile(home(".claude/skills/fine/SKILL.md"), skillText("fine"));
        const QByteArray target = QFile::encodeName(m_home->path()) + '/' + reported;
        QDir().mkpath(QFile::decodeName(target.left(target.lastIndexOf('/'))));
        const auto writeBytes = [](const QByteArray &path, const char *text) {
            FILE *out = std::fopen(path.constData(), "w");
            QVERIFY(out);
            std::fputs(text, out);
            std::fclose(out);
        };
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(target.constData(), 0600), 0);
        } else if (kind == "zero") {
            QCOMPARE(::symlink("/dev/zero", target.constData()), 0);
        } else if (kind == "large") {
            writeFile(QFile::decodeName(target), skillText("large") + QByteArray(9 * 1024 * 1024, 'x'));
        } else if (kind == "binary") {
            writeFile(QFile::decodeName(target), QByteArray("---\nname: bad\n---\n\xff\xfe broken"));
        } else if (kind == "project name") {
            QCOMPARE(::mkdir(target.constData(), 0700), 0);
            setCustomScanPaths({home("code")});
        } else if (kind == "folder name") {
            QCOMPARE(::mkdir(target.constData(), 0700), 0);
            writeBytes(target + "/SKILL.md", "---\nname: cafe\n---\nBody.\n");
        } else {
            writeBytes(target, "# regle\n");
        }

        FileProblems problems;
        m_scanner->setProblems(&problems);
        m_scanner->scanAll();

        QVERIFY(named("fine")); // the rest of the library is read as ever
        const QList<FileProblem> found = problems.all();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().path, QFile::decodeName(target));
        QVERIFY2(found.first().reason.startsWith(reasonStart), qPrintable(found.first().reason));
        if (kind.endsWith("name")) { // Qt cannot spell the name to remove it
            ::unlink((target + "/SKILL.md").constData());
            ::unlink(target.constData());
            ::rmdir(target.constData());
        }

        // Put right on disk, the file is read and the next full scan reports nothing.
        if (kind == "large" || kind == "binary") {
            writeFile(QFile::decodeName(target), skillText(kind));
            m_scanner->scanAll();
            QVERIFY(problems.isEmpty());
            QVERIFY(named(QString::fromLatin1(kind)));
        }
    }

    void pruningKeepsPathsTheSystemCannotReach_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("a skill folder replaced by a link loop") << QByteArray("loop");
        QTest::newRow("a skill folder whose parent cannot be searched") << QByteArray("permissions");
        QTest::newRow("a skill folder deleted") << QByteArray("deleted");
    }
    void pruningKeepsPathsTheSystemCannotReach()
    {
        QFETCH(QByteArray, kind);
        if (kind == "permissions" && geteuid() == 0)
            QSKIP("Permissions do not stop root from reaching a folder.");
        writeFile(home(".claude/skills/kept/SKILL.md"), skillText("kept"));
        m_scanner->scanAll();
        Skill *kept = named("kept");
        QVERIFY(kept);
        kept->setIsFavorite(true);
        SkillCollection *work = context().insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(kept);
        QVERIFY(context().save());

        const QString folder = home(".claude/skills/kept");
        if (kind == "loop") {
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(QFile::link(folder, folder)); // stat() answers "too many levels of links"
        } else if (kind == "permissions") {
            QVERIFY(QFile::setPermissions(home(".claude/skills"), QFileDevice::Permissions()));
        } else {
            QVERIFY(QDir(folder).removeRecursively());
        }
        m_scanner->scanAll();
        m_scanner->removeMissing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (kind == "permissions")
            QFile::setPermissions(home(".claude/skills"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        if (kind == "deleted") {
            QVERIFY(context().skills().isEmpty());
            QVERIFY(work->skills().isEmpty());
            return;
        }
        QCOMPARE(names(), QStringList{"kept"});
        QVERIFY(kept->isFavorite());
        QCOMPARE(work->skills(), QList<Skill *>{kept});
    }

    void aRenamedOrMovedSkillKeepsItsMarks_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("keeps");
        QTest::newRow("a skill folder renamed keeps favorite and collections")
            << ".claude/skills/old/SKILL.md" << ".claude/skills/new/SKILL.md" << true;
        QTest::newRow("a skill file moved to another tool's folder keeps them")
            << ".claude/skills/moved.md" << ".cursor/rules/moved.mdc" << true;
        QTest::newRow("a skill replaced by one with other contents does not take them")
            << ".claude/skills/old/SKILL.md" << ".claude/skills/other/SKILL.md" << false;
    }
    void aRenamedOrMovedSkillKeepsItsMarks()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, keeps);
        const QByteArray text = skillText("travels", "Steps to follow.");
        writeFile(home(from), text);
        m_scanner->scanAll();
        Skill *original = named("travels");
        QVERIFY(original);
        original->setIsFavorite(true);
        SkillCollection *work = context().insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(original);
        QVERIFY(context().save());

        writeFile(home(to), keeps ? text : skillText("travels", "Other steps."));
        QVERIFY(QFile::remove(home(from)));
        m_scanner->scanAll();
        m_scanner->removeMissing();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(context().skills().size(), 1);
        Skill *successor = context().skills().first();
        QCOMPARE(successor->filePath(), home(to));
        QCOMPARE(successor->isFavorite(), keeps);
        QCOMPARE(work->skills(), keeps ? QList<Skill *>{successor} : QList<Skill *>{});
        QVERIFY(context().save());

        // What was handed over is in the store, not just in memory.
        QString error;
        m_scanner.reset();
        m_container.reset();
        m_container = ModelContainer::open(m_home->filePath("store/vesk.sqlite"), &error);
        QVERIFY2(m_container, qPrintable(error));
        QCOMPARE(context().skills().size(), 1);
        QCOMPARE(context().skills().first()->isFavorite(), keeps);
        QCOMPARE(context().collections().first()->skills().size(), keeps ? 1 : 0);
        m_scanner = std::make_unique<SkillScanner>(context(), *m_artifacts);
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillScanner)
#include "tst_skillscanner.moc"
