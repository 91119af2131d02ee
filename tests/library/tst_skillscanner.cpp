#include "library/artifactcache.h"
#include "library/modelcontainer.h"
#include "library/modelcontext.h"
#include "library/settingskeys.h"
#include "library/skill.h"
#include "library/skillartifact.h"
#include "library/skillcollection.h"
#include "library/skillscanner.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

QByteArray skillText(const QByteArray &name, const QByteArray &body = "Body.")
{
    return "---\nname: " + name + "\ndescription: about " + name + "\n---\n" + body + "\n";
}

} // namespace

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
};

VESK_TEST_GUILESS_MAIN(TestSkillScanner)
#include "tst_skillscanner.moc"
