#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"
#include "library/scan/skillscanner.h"
#include "libraryfixture.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QtTest/QtTest>

namespace {

// One skill placed in each location of the table, with the tools that must be
// found reading it. Written out by hand rather than read back from the table, so
// that a change to the table has to be made here too, on purpose.
struct Placement {
    const char *sentence;
    LocationBase base;
    const char *file; // relative to the home folder, or to a project
    const char *readers;
    bool isLegacy;
};

constexpr LocationBase Home = LocationBase::Home;
constexpr LocationBase Project = LocationBase::Project;

const Placement placements[] = {
    {"a skill folder in ~/.claude/skills is read by Claude Code, Copilot, Cursor and OpenCode",
     Home, ".claude/skills/s/SKILL.md", "claude,copilot,cursor,opencode", false},
    {"~/.claude/CLAUDE.md is read by Claude Code", Home, ".claude/CLAUDE.md", "claude", false},
    {"a skill folder in ~/.agents/skills is read by every tool but Claude Code, Aider and Amp",
     Home, ".agents/skills/s/SKILL.md", "codex,copilot,cursor,gemini,opencode,windsurf", false},
    {"a skill folder in ~/.cursor/skills is read by Cursor", Home, ".cursor/skills/s/SKILL.md", "cursor", false},
    {"a rule in ~/.cursor/rules stays Cursor's, as legacy", Home, ".cursor/rules/r.mdc", "cursor", true},
    {"a skill folder in ~/.codeium/windsurf/skills is read by Windsurf",
     Home, ".codeium/windsurf/skills/s/SKILL.md", "windsurf", false},
    {"the global rules in ~/.codeium/windsurf/memories are read by Windsurf",
     Home, ".codeium/windsurf/memories/global_rules.md", "windsurf", false},
    {"a rule in ~/.windsurf/rules stays Windsurf's, as legacy", Home, ".windsurf/rules/r.md", "windsurf", true},
    {"~/.codex/AGENTS.md is read by Codex", Home, ".codex/AGENTS.md", "codex", false},
    {"a folder of ~/.codex holding AGENTS.md stays Codex's, as legacy", Home, ".codex/reviewer/AGENTS.md", "codex", true},
    {"a skill folder in ~/.codex/skills is read by Codex and Cursor", Home, ".codex/skills/s/SKILL.md", "codex,cursor", false},
    {"a skill folder in ~/.copilot/skills is read by Copilot", Home, ".copilot/skills/s/SKILL.md", "copilot", false},
    {"~/.config/amp/AGENTS.md is read by Amp", Home, ".config/amp/AGENTS.md", "amp", false},
    {"a folder of ~/.config/amp holding AGENTS.md is read by Amp", Home, ".config/amp/notes/AGENTS.md", "amp", false},
    {"a skill folder in ~/.config/amp/skills is read by Amp", Home, ".config/amp/skills/s/SKILL.md", "amp", false},
    {"a skill folder in ~/.gemini/skills is read by Gemini CLI", Home, ".gemini/skills/s/SKILL.md", "gemini", false},
    {"~/.gemini/GEMINI.md is read by Gemini CLI", Home, ".gemini/GEMINI.md", "gemini", false},
    {"a skill folder in ~/.config/opencode/skills is read by OpenCode",
     Home, ".config/opencode/skills/s/SKILL.md", "opencode", false},

    {"a project's .claude/skills is read by Claude Code, Copilot, Cursor and OpenCode",
     Project, ".claude/skills/s/SKILL.md", "claude,copilot,cursor,opencode", false},
    {"a project's CLAUDE.md is read by Claude Code", Project, "CLAUDE.md", "claude", false},
    {"a project's .claude/CLAUDE.md is read by Claude Code", Project, ".claude/CLAUDE.md", "claude", false},
    {"a rule in a project's .claude/rules is read by Claude Code", Project, ".claude/rules/r.md", "claude", false},
    {"a project's .agents/skills is read by every tool but Claude Code, Aider and Amp",
     Project, ".agents/skills/s/SKILL.md", "codex,copilot,cursor,gemini,opencode,windsurf", false},
    {"a project's AGENTS.md is read by Codex, Copilot, Cursor, OpenCode and Windsurf",
     Project, "AGENTS.md", "codex,copilot,cursor,opencode,windsurf", false},
    {"a project's .cursor/skills is read by Cursor", Project, ".cursor/skills/s/SKILL.md", "cursor", false},
    {"a rule in a project's .cursor/rules is read by Cursor", Project, ".cursor/rules/r.mdc", "cursor", false},
    {"a project's .codex/AGENTS.md stays Codex's, as legacy", Project, ".codex/AGENTS.md", "codex", true},
    {"a folder of a project's .codex stays Codex's, as legacy", Project, ".codex/reviewer/AGENTS.md", "codex", true},
    {"a project's .codex/skills is read by Cursor", Project, ".codex/skills/s/SKILL.md", "cursor", false},
    {"a project's .windsurf/skills is read by Windsurf", Project, ".windsurf/skills/s/SKILL.md", "windsurf", false},
    {"a rule in a project's .windsurf/rules is read by Windsurf", Project, ".windsurf/rules/r.md", "windsurf", false},
    {"a project's copilot-instructions.md is read by Copilot",
     Project, ".github/copilot-instructions.md", "copilot", false},
    {"a project's .github/instructions file is read by Copilot",
     Project, ".github/instructions/tests.instructions.md", "copilot", false},
    {"a project's .github/skills is read by Copilot", Project, ".github/skills/s/SKILL.md", "copilot", false},
    {"a project's .config/amp/AGENTS.md is read by Amp", Project, ".config/amp/AGENTS.md", "amp", false},
    {"a folder of a project's .config/amp is read by Amp", Project, ".config/amp/notes/AGENTS.md", "amp", false},
    {"a project's GEMINI.md is read by Gemini CLI", Project, "GEMINI.md", "gemini", false},
    {"a project's .gemini/skills is read by Gemini CLI", Project, ".gemini/skills/s/SKILL.md", "gemini", false},
    {"a project's .opencode/skills is read by OpenCode", Project, ".opencode/skills/s/SKILL.md", "opencode", false},
};

using TestFiles::writeFile;

QString readersText(ToolSet readers)
{
    QStringList raw;
    for (ToolSource tool : readers.toList())
        raw.append(Tools::rawValue(tool));
    raw.sort();
    return raw.join(u',');
}

// The README's "Where Vesk looks" tables, as the location table says they must read.
QStringList readmeTables()
{
    QStringList lines;
    for (const LocationBase base : {LocationBase::Home, LocationBase::Project}) {
        lines << QStringLiteral("| Location | What Vesk reads there | Read by |")
              << QStringLiteral("|---|---|---|");
        for (const SkillLocation &location : SkillLocations::table()) {
            if (location.base != base)
                continue;
            const QString where = base == LocationBase::Home ? QStringLiteral("`~/%1`").arg(location.path)
                                                             : QStringLiteral("`%1`").arg(location.path);
            QString what;
            switch (location.holds) {
            case LocationHolds::SkillFolders:
                what = QStringLiteral("skill folders, single `.md`/`.mdc` files");
                break;
            case LocationHolds::AgentsFolders:
                what = QStringLiteral("folders holding `AGENTS.md`");
                break;
            case LocationHolds::RuleFiles:
                what = QStringLiteral("`*%1` files").arg(location.ruleSuffix);
                break;
            case LocationHolds::NamedFile:
                what = QStringLiteral("this file");
                break;
            }
            QStringList tools;
            for (ToolSource tool : location.readers.toList())
                tools.append(Tools::displayName(tool));
            QString readBy = tools.join(QStringLiteral(", "));
            if (location.isLegacy)
                readBy = QStringLiteral("none any more (listed under %1)").arg(readBy);
            lines << QStringLiteral("| %1 | %2 | %3 |").arg(where, what, readBy);
        }
    }
    return lines;
}

} // namespace

class TestSkillLocations final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;

    QString home(const QString &relative = QString()) const { return m_library->home(relative); }
    ModelContext &context() const { return m_library->context(); }
    void scan() { SkillScanner(context(), m_library->artifacts()).scanAll(); }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        LibraryFixture::setCustomScanPaths({home("code")});
    }

    void cleanup() { m_library.reset(); }

    void everyLocationIsPlacedOnceBelow()
    {
        QList<const SkillLocation *> placed;
        for (const Placement &placement : placements) {
            const QString path = placement.base == Home ? home(placement.file) : home("code/app/") + placement.file;
            const QList<const SkillLocation *> rows = SkillLocations::locationsOf(path, home());
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first()->base, placement.base);
            QVERIFY2(!placed.contains(rows.first()), placement.sentence);
            placed.append(rows.first());
        }
        QCOMPARE(placed.size(), SkillLocations::table().size());
    }

    void aSkillInEachLocationIsFoundForTheToolsThatReadIt_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(placements)); ++i)
            QTest::newRow(placements[i].sentence) << i;
    }
    void aSkillInEachLocationIsFoundForTheToolsThatReadIt()
    {
        QFETCH(int, index);
        const Placement &placement = placements[index];
        const QString path = placement.base == Home ? home(placement.file) : home("code/app/") + placement.file;
        writeFile(path, "---\nname: placed\ndescription: one skill\n---\n# Placed\n");
        scan();

        const QList<Skill *> skills = context().skills();
        QCOMPARE(skills.size(), 1);
        const Skill *skill = skills.first();
        QCOMPARE(skill->installedPaths(), QStringList{path});
        QCOMPARE(skill->toolSourcesRaw(), QString::fromLatin1(placement.readers));
        QCOMPARE(skill->isGlobal(), placement.base == Home);
        if (placement.base == Project)
            QCOMPARE(skill->projectName(), std::optional<QString>(QStringLiteral("app")));

        const QList<LegacyNote> notes = SkillLocations::legacyNotes(skill->installedPaths(), home());
        QCOMPARE(notes.isEmpty(), !placement.isLegacy);
        if (placement.isLegacy) {
            QCOMPARE(notes.size(), 1);
            QCOMPARE(notes.first().path, path);
            QCOMPARE(notes.first().text,
                     QStringLiteral("%1 no longer reads this folder").arg(Tools::displayName(notes.first().tool)));
        }
    }

    void installedPathsAreMatchedToTheirLocations_data()
    {
        QTest::addColumn<QString>("path"); // "~" is the home folder
        QTest::addColumn<QString>("readers");
        QTest::addColumn<QString>("project");
        QTest::newRow("a project's .codex/AGENTS.md is that legacy row, not the project's AGENTS.md")
            << "/code/app/.codex/AGENTS.md" << "codex" << "/code/app";
        QTest::newRow("an AGENTS.md inside a skill folder belongs to the skill folder's location")
            << "/code/app/.claude/skills/s/AGENTS.md" << "claude,copilot,cursor,opencode" << "/code/app";
        QTest::newRow("a single rule file beside skill folders belongs to its folder's location")
            << "/code/app/.agents/skills/notes.md" << "codex,copilot,cursor,gemini,opencode,windsurf" << "/code/app";
        QTest::newRow("a home location wins over the same folder read as a project")
            << "~/.cursor/rules/r.mdc" << "cursor" << "";
        QTest::newRow("a project kept under the home folder is still a project")
            << "~/Projects/app/.gemini/skills/s/SKILL.md" << "gemini" << "~/Projects/app";
        QTest::newRow("hidden entries belong to no location")
            << "~/.codex/skills/.system/s/SKILL.md" << "" << "";
        QTest::newRow("a Cursor rule file in Copilot's instructions folder is not an instruction")
            << "/code/app/.github/instructions/r.mdc" << "" << "";
        QTest::newRow("a file two levels down in a skills folder belongs to no location")
            << "~/.claude/skills/s/deeper/SKILL.md" << "" << "";
        QTest::newRow("a path outside every location is read by nobody")
            << "/tmp/notes/SKILL.md" << "" << "";
        QTest::newRow("an AGENTS.md at the root of the file system has no project")
            << "/AGENTS.md" << "" << "";
    }
    void installedPathsAreMatchedToTheirLocations()
    {
        QFETCH(QString, path);
        QFETCH(QString, readers);
        QFETCH(QString, project);
        path.replace(u'~', home());
        project.replace(u'~', home());
        QCOMPARE(readersText(SkillLocations::readersOf({path}, home())), readers);
        QCOMPARE(SkillLocations::projectFolderOf(path, home()).value_or(QString()), project);
        // The one-look answer a listing uses agrees with the two questions asked apart.
        const SkillLocations::PathReaders both = SkillLocations::readersAndHomeOf({path}, home());
        QCOMPARE(readersText(both.tools), readers);
        QCOMPARE(both.anyInHome, SkillLocations::isHomePath(path, home()));
    }

    void severalPathsGiveTheUnionOfReadersAndANoteForEachLegacyOne()
    {
        const QStringList paths{home(".claude/skills/s/SKILL.md"), home(".gemini/skills/s/SKILL.md")};
        QCOMPARE(readersText(SkillLocations::readersOf(paths, home())), QStringLiteral("claude,copilot,cursor,gemini,opencode"));
        QVERIFY(SkillLocations::readersOf({}, home()).isEmpty());
        const QStringList homeAndProject{QStringLiteral("/code/app/.claude/skills/s/SKILL.md"), home(".gemini/skills/s/SKILL.md")};
        QVERIFY(SkillLocations::readersAndHomeOf(homeAndProject, home()).anyInHome);
        QVERIFY(!SkillLocations::readersAndHomeOf(homeAndProject.first(1), home()).anyInHome);

        const QStringList someLegacy{home(".cursor/skills/s/SKILL.md"), home(".cursor/rules/r.mdc"),
                                     home(".windsurf/rules/w.md")};
        const QList<LegacyNote> notes = SkillLocations::legacyNotes(someLegacy, home());
        QCOMPARE(notes.size(), 2);
        QCOMPARE(notes.at(0).path, home(".cursor/rules/r.mdc"));
        QCOMPARE(notes.at(0).tool, ToolSource::Cursor);
        QCOMPARE(notes.at(0).text, QStringLiteral("Cursor no longer reads this folder"));
        QCOMPARE(notes.at(1).text, QStringLiteral("Windsurf no longer reads this folder"));
    }

    // Records stored before the table changed carry the harnesses of the old one;
    // the next scan puts them right, whether or not it reaches their files.
    void theNextScanRecomputesStoredHarnesses_data()
    {
        // Relative to the home folder: the first is the file, the others link to its folder.
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("afterScan");
        QTest::newRow("a skill in the shared folder stored as Claude Code's moves to the tools that read it")
            << QStringList{".agents/skills/shared/SKILL.md"} << "claude"
            << "codex,copilot,cursor,gemini,opencode,windsurf";
        QTest::newRow("a skill linked into Claude's and Cursor's folders gains the other readers of Claude's")
            << QStringList{".claude/skills/both/SKILL.md", ".cursor/skills/both/SKILL.md"} << "claude,cursor"
            << "claude,copilot,cursor,opencode";
        QTest::newRow("a project skill of a directory no longer scanned still follows the table")
            << QStringList{"old/app/.agents/skills/x/SKILL.md"} << "claude" << "codex,copilot,cursor,gemini,opencode,windsurf";
        QTest::newRow("a file no location accounts for keeps what it has")
            << QStringList{"elsewhere/notes.md"} << "custom" << "custom";
    }
    void theNextScanRecomputesStoredHarnesses()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, stored);
        QFETCH(QString, afterScan);
        LibraryFixture::setCustomScanPaths({});
        QStringList absolute;
        for (const QString &path : paths)
            absolute.append(home(path));
        writeFile(absolute.first(), "---\nname: stored\n---\n");
        for (const QString &link : absolute.sliced(1)) {
            const QString folder = QFileInfo(link).path();
            QDir().mkpath(QFileInfo(folder).path());
            QVERIFY(QFile::link(QFileInfo(absolute.first()).path(), folder));
        }
        auto skill = std::make_unique<Skill>(absolute.first(), absolute.first(), "stored", "", "",
                                             Skill::Frontmatter(), ToolSource::Custom, true, true,
                                             QDateTime::currentDateTimeUtc(), 0);
        skill->setToolSourcesRaw(stored);
        skill->setInstalledPaths(absolute);
        QVERIFY(context().insert(std::move(skill)));
        QVERIFY(context().save());
        m_library->openStore();
        QCOMPARE(context().skills().first()->toolSourcesRaw(), stored);
        scan();
        QCOMPARE(context().skills().size(), 1);
        QCOMPARE(context().skills().first()->toolSourcesRaw(), afterScan);
        QVERIFY(!context().hasChanges()); // and it is saved
    }

    void theWatchCoversEveryHomeLocationOnce()
    {
        const QStringList folders = SkillLocations::watchedFolders(home());
        QCOMPARE(folders.size(), QSet<QString>(folders.cbegin(), folders.cend()).size());
        QVERIFY(folders.contains(home(".agents/skills")));
        QVERIFY(folders.contains(home(".claude"))); // for ~/.claude/CLAUDE.md
        QVERIFY(folders.contains(home(".cursor/rules"))); // legacy folders are still scanned
        QVERIFY(!folders.contains(home(".claude/CLAUDE.md")));
    }

    void theReadmeTableMatchesTheLocationTable()
    {
        QFile readme(QStringLiteral(VESK_SOURCE_DIR "/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(readme.readAll()).split(u'\n');
        const qsizetype section = lines.indexOf(QStringLiteral("## Where Vesk looks"));
        QVERIFY(section >= 0);
        QStringList tables;
        for (qsizetype i = section + 1; i < lines.size() && !lines.at(i).startsWith(QLatin1String("## ")); ++i) {
            if (lines.at(i).startsWith(u'|'))
                tables.append(lines.at(i));
        }
        const QStringList expected = readmeTables();
        if (tables != expected) {
            qInfo("README.md's tables under \"Where Vesk looks\" should read:");
            for (const QString &line : expected)
                qInfo("%s", qPrintable(line));
        }
        QCOMPARE(tables, expected);
    }

    void turnedOffPathsAreThoseInsideTheFolder_data()
    {
        QTest::addColumn<QString>("relative"); // to the turned-off folder
        QTest::addColumn<bool>("inside");
        QTest::newRow("a skill folder's file inside it is turned off") << "/abc/skill/SKILL.md" << true;
        QTest::newRow("the folder itself is not") << "" << false;
        QTest::newRow("the folder with a trailing slash is not") << "/" << false;
        QTest::newRow("a sibling sharing its name's start is not") << "-kept/skill/SKILL.md" << false;
        QTest::newRow("a path that climbs back out is not") << "/abc/../../elsewhere/SKILL.md" << false;
        QTest::newRow("a path that climbs out and back in is") << "/../turned-off/abc/SKILL.md" << true;
    }

    void turnedOffPathsAreThoseInsideTheFolder()
    {
        QFETCH(QString, relative);
        QFETCH(bool, inside);
        const QString folder = turnedOffFolder();
        QVERIFY(folder.startsWith(home()));
        QCOMPARE(isTurnedOffPath(folder + relative), inside);
        QCOMPARE(isTurnedOffPath(folder + relative, folder), inside);
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillLocations)
#include "tst_skilllocations.moc"
