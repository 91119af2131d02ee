#include "cli/buildinfo.h"
#include "cli/commandline.h"
#include "library/catalogue/homepath.h"
#include "cli/listcommand.h"
#include "cli/terminaltext.h"
#include "library/scan/unchangedlibrary.h"
#include "library/records/skill.h"
#include "skillfiles.h"
#include "testhome.h"
#include "veskprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest/QtTest>

#include <cstdio>
#include <sys/stat.h>

using TestFiles::writeFile;

// What a test changes between a run that read everything and the next one.
enum class Change { None, Rewritten, Added, Removed, Unlinked, Relinked, ProjectsAdded, StoreFolderOpened };

// Drives the real `vesk` executable, each run with its own home folder and
// a platform plugin that does not exist, so anything that needs a display fails.
class TestListCommand final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }
    QString storePath() const { return home(".local/share/Vesk/Vesk/vesk.sqlite"); }

    VeskRun vesk(const QStringList &arguments, const QByteArray &platform = "no-such-platform") const
    {
        return runVesk(m_home->path(), arguments, platform);
    }

    QJsonObject byName(const QJsonArray &array, const QString &name) const
    {
        for (const QJsonValue &value : array) {
            if (value.toObject().value("name").toString() == name)
                return value.toObject();
        }
        return {};
    }

private Q_SLOTS:
    void init() { m_home = std::make_unique<QTemporaryDir>(); }

    void parsesCommandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("json");
        QTest::newRow("no arguments open the window") << QStringList{} << int(CommandLine::Mode::Window) << false;
        QTest::newRow("list prints lines") << QStringList{"list"} << int(CommandLine::Mode::List) << false;
        QTest::newRow("list --json prints JSON") << QStringList{"list", "--json"} << int(CommandLine::Mode::List) << true;
        QTest::newRow("--json before list counts too") << QStringList{"--json", "list"} << int(CommandLine::Mode::List) << true;
        QTest::newRow("--json without list is a mistake") << QStringList{"--json"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("help wins over everything") << QStringList{"list", "-h"} << int(CommandLine::Mode::Help) << false;
        QTest::newRow("version") << QStringList{"--version"} << int(CommandLine::Mode::Version) << false;
        QTest::newRow("a name selects that skill in the window") << QStringList{"lsit"} << int(CommandLine::Mode::Window) << false;
        QTest::newRow("--edit with a name") << QStringList{"--edit", "deploy"} << int(CommandLine::Mode::Window) << false;
        QTest::newRow("--edit without a name is a mistake") << QStringList{"--edit"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("two names are a mistake") << QStringList{"a", "b"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("list takes no names") << QStringList{"list", "a"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("--edit does not go with list") << QStringList{"list", "--edit"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("an unknown option") << QStringList{"--frob"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("screenshot options need --screenshot") << QStringList{"--select", "x"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("a malformed size") << QStringList{"--screenshot", "a.png", "--size", "big"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("a screenshot of the editor") << QStringList{"--screenshot", "a.png", "--mode", "editor"} << int(CommandLine::Mode::Window) << false;
        QTest::newRow("a mode that does not exist") << QStringList{"--screenshot", "a.png", "--mode", "preview"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("--mode needs --screenshot") << QStringList{"--mode", "card"} << int(CommandLine::Mode::Invalid) << false;
        QTest::newRow("Qt's own -platform option is left to Qt")
            << QStringList{"-platform", "offscreen"} << int(CommandLine::Mode::Window) << false;
    }
    void parsesCommandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(bool, json);
        const CommandLine parsed = parseCommandLine(QStringList{"vesk"} + arguments);
        QCOMPARE(int(parsed.mode), mode);
        QCOMPARE(parsed.json, json);
        QCOMPARE(parsed.errorText.isEmpty(), mode != int(CommandLine::Mode::Invalid));
    }

    void jsonListsEverySkillWithItsFacts()
    {
        writeFile(home("shared/review/SKILL.md"),
                  "---\nname: review\ndescription: Reviews code\nallowed-tools: Read\n---\nCheck diffs.\n");
        writeFile(home("shared/review/scripts/lint.sh"), "echo");
        writeFile(home("shared/review/config.json"), "{}");
        QDir().mkpath(home(".claude/skills"));
        QDir().mkpath(home(".cursor/skills"));
        QVERIFY(QFile::link(home("shared/review"), home(".claude/skills/review")));
        QVERIFY(QFile::link(home("shared/review"), home(".cursor/skills/review")));
        writeFile(home(".codex/AGENTS.md"), "# Codex house rules\nBe brief.\n");
        writeFile(home(".windsurf/rules/style.md"), "---\nname: style\n---\nTabs.\n");
        writeFile(home(".agents/skills/lint/SKILL.md"), "---\nname: lint\n---\nRun the linter.\n");
        writeFile(home("code/app/.claude/skills/deploy/SKILL.md"), "---\nname: deploy\n---\nShip it.\n");
        writeFile(home(".config/Vesk/Vesk.conf"), QByteArray("[General]\ncustomScanPaths=") + QFile::encodeName(home("code")) + "\n");

        const VeskRun run = vesk({"list", "--json"});
        QCOMPARE(run.exitCode, 0);
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray skills = document.array();
        QStringList names;
        for (const QJsonValue &value : skills)
            names.append(value.toObject().value("name").toString());
        QCOMPARE(names, (QStringList{"Codex house rules", "deploy", "lint", "review", "style"}));

        const QJsonObject review = byName(skills, "review");
        QCOMPARE(review.value("description").toString(), QStringLiteral("Reviews code"));
        QCOMPARE(review.value("filePath").toString(), home(".claude/skills/review/SKILL.md"));
        QCOMPARE(review.value("resolvedPath").toString(), QFileInfo(home("shared/review/SKILL.md")).canonicalFilePath());
        QCOMPARE(review.value("isDirectory").toBool(), true);
        QCOMPARE(review.value("isGlobal").toBool(), true);
        QVERIFY(review.value("projectName").isNull());
        // Every tool that reads Claude's folder or Cursor's, not only the two it was found in.
        QCOMPARE(review.value("toolSources").toArray(), (QJsonArray{"claude", "copilot", "cursor", "opencode"}));
        QCOMPARE(review.value("installedPaths").toArray().size(), 2);
        QCOMPARE(review.value("frontmatter").toObject().value("allowed-tools").toString(), QStringLiteral("Read"));
        QCOMPARE(review.value("fileSize").toInteger(), QFileInfo(home("shared/review/SKILL.md")).size());
        QCOMPARE(QDateTime::fromString(review.value("fileModifiedDate").toString(), Qt::ISODate),
                 QFileInfo(home("shared/review/SKILL.md")).lastModified().toUTC().addMSecs(
                     -QFileInfo(home("shared/review/SKILL.md")).lastModified().time().msec()));
        QVERIFY(review.value("fileModifiedDate").toString().endsWith('Z'));
        QCOMPARE(review.value("isFavorite").toBool(), false);
        QCOMPARE(review.value("collections").toArray(), QJsonArray());
        const QJsonArray artifacts = review.value("artifacts").toArray();
        QCOMPARE(artifacts.size(), 2);
        QCOMPARE(artifacts.at(0).toObject().value("relativePath").toString(), QStringLiteral("config.json"));
        QCOMPARE(artifacts.at(0).toObject().value("category").toString(), QStringLiteral("Config"));
        QCOMPARE(artifacts.at(1).toObject().value("category").toString(), QStringLiteral("Scripts"));
        QCOMPARE(artifacts.at(1).toObject().value("fileExtension").toString(), QStringLiteral("sh"));

        const QJsonObject deploy = byName(skills, "deploy");
        QCOMPARE(deploy.value("projectName").toString(), QStringLiteral("app"));
        QCOMPARE(deploy.value("isGlobal").toBool(), false);
        const QJsonObject codex = byName(skills, "Codex house rules");
        QCOMPARE(codex.value("toolSources").toArray(), QJsonArray{"codex"});
        QCOMPARE(codex.value("isDirectory").toBool(), false);
        QCOMPARE(codex.value("artifacts").toArray(), QJsonArray());
        QCOMPARE(byName(skills, "lint").value("toolSources").toArray(),
                 (QJsonArray{"codex", "copilot", "cursor", "gemini", "opencode", "windsurf"}));

        // The plain list: one line per skill, in the same order, the home as ~.
        const VeskRun plain = vesk({"list"});
        QCOMPARE(plain.exitCode, 0);
        const QStringList lines = QString::fromUtf8(plain.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines.at(2).startsWith("lint") && lines.at(2).contains("Codex")
                     && lines.at(2).endsWith("~/.agents/skills/lint/SKILL.md"), qPrintable(lines.at(2)));
        QVERIFY2(lines.at(3).startsWith("review") && lines.at(3).contains("Claude Code")
                     && lines.at(3).endsWith("~/.claude/skills/review/SKILL.md"), qPrintable(lines.at(3)));

        // A file deleted since is pruned by the next list.
        QVERIFY(QFile::remove(home(".windsurf/rules/style.md")));
        const QJsonArray after = QJsonDocument::fromJson(vesk({"list", "--json"}).out).array();
        QCOMPARE(after.size(), 4);
        QVERIFY(byName(after, "style").isEmpty());
    }

    void plainListEscapesWhatATerminalWouldObey_data()
    {
        QTest::addColumn<QByteArray>("fileName"); // in ~/.claude/skills
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("name");        // as JSON gives it
        QTest::addColumn<QString>("shown");       // the start of the plain line
        QTest::newRow("an escape sequence in a name is spelled out")
            << QByteArray("red.md") << QByteArray("---\nname: \x1b[31mred\x1b[0m\n---\n")
            << QStringLiteral("\x1b[31mred\x1b[0m") << QStringLiteral("\\e[31mred\\e[0m  ");
        QTest::newRow("a bell and a backspace are spelled out")
            << QByteArray("bell.md") << QByteArray("---\nname: ding\x07\x08!\n---\n")
            << QStringLiteral("ding\x07\x08!") << QStringLiteral("ding\\x07\\x08!  ");
        QTest::newRow("a newline in a file name stays on one line")
            << QByteArray("two\nlines.md") << QByteArray("Body without a name.\n")
            << QStringLiteral("two\nlines") << QStringLiteral("two\\nlines  ");
        QTest::newRow("a right-to-left override is spelled out")
            << QByteArray("rtl.md") << QByteArray("---\nname: abc\xe2\x80\xae" "def\n---\n")
            << QStringLiteral("abc\u202edef") << QStringLiteral("abc\\u{202e}def  ");
        QTest::newRow("a percent sign in a name is printed as it is")
            << QByteArray("pct.md") << QByteArray("---\nname: 100%2 sure\n---\n")
            << QStringLiteral("100%2 sure") << QStringLiteral("100%2 sure  ");
    }
    void plainListEscapesWhatATerminalWouldObey()
    {
        QFETCH(QByteArray, fileName);
        QFETCH(QByteArray, text);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        writeFile(home(".claude/skills/") + QFile::decodeName(fileName), text);

        const VeskRun plain = vesk({"list"});
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(plain.out.count('\n'), 1);
        QVERIFY(!plain.out.contains('\x1b') && !plain.out.contains('\x07'));
        QVERIFY2(QString::fromUtf8(plain.out).startsWith(shown), plain.out.constData());

        // JSON is for programs: it keeps the text exactly.
        const VeskRun json = vesk({"list", "--json"});
        QCOMPARE(json.exitCode, 0);
        const QJsonArray skills = QJsonDocument::fromJson(json.out).array();
        QCOMPARE(skills.size(), 1);
        QCOMPARE(skills.first().toObject().value("name").toString(), name);
        QCOMPARE(skills.first().toObject().value("filePath").toString(),
                 home(".claude/skills/") + QFile::decodeName(fileName));
    }

    void displayWidthCountsTerminalColumns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::newRow("ASCII takes one column a character") << "pr-digest" << 9;
        QTest::newRow("nothing takes nothing") << "" << 0;
        QTest::newRow("accented Latin letters take one") << "résumé" << 6;
        QTest::newRow("a combining accent takes none") << "Cafe\u0301" << 4;
        QTest::newRow("Chinese characters take two each") << "代码审查" << 8;
        QTest::newRow("Japanese kana take two each") << "レビュー" << 8;
        QTest::newRow("Hangul syllables take two each") << "코드" << 4;
        QTest::newRow("fullwidth Latin takes two") << "ＡＢ" << 4;
        QTest::newRow("an emoji takes two") << "ship \U0001F680" << 7;
        QTest::newRow("a family joined with ZWJ is one emoji of two")
            << "\U0001F468\u200D\U0001F469\u200D\U0001F467" << 2;
        QTest::newRow("a text symbol asked for as emoji takes two") << "\u2764\uFE0F" << 2;
        QTest::newRow("a flag takes two") << "\U0001F1F3\U0001F1F4" << 2;
        QTest::newRow("a zero-width space takes none") << "a\u200Bb" << 2;
    }

    void displayWidthCountsTerminalColumns()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QCOMPARE(displayWidth(text), width);
        QCOMPARE(displayWidth(padToWidth(text, width + 3)), width + 3);
    }

    void plainListAlignsColumnsByDisplayWidth_data()
    {
        QTest::addColumn<bool>("header");
        QTest::newRow("in a terminal, with a header line") << true;
        QTest::newRow("in a pipe, the lines alone") << false;
    }

    void plainListAlignsColumnsByDisplayWidth()
    {
        QFETCH(bool, header);
        const auto skill = [this](const QString &name, ToolSource tool) {
            const QString path = home(".claude/skills/" + name + "/SKILL.md");
            return std::make_unique<Skill>(path, path, name, QString(), QString(), Skill::Frontmatter(), tool, true,
                                           true, QDateTime(), 0);
        };
        const auto wide = skill("代码审查", ToolSource::Claude);
        const auto emoji = skill("ship \U0001F680", ToolSource::Gemini);
        const auto plain = skill("lint", ToolSource::Cursor);
        const QStringList lines = plainListing({wide.get(), emoji.get(), plain.get()}, header);
        QCOMPARE(lines.size(), header ? 4 : 3);
        if (header)
            QVERIFY2(lines.first().startsWith("NAME      TOOLS        PATH"), qPrintable(lines.first()));
        // Every line's tools and path start at the same terminal column.
        const QString first = lines.at(header ? 1 : 0);
        const int toolsColumn = displayWidth(first.left(first.indexOf("Claude Code")));
        QCOMPARE(toolsColumn, 10); // eight columns of name, two of space
        for (const QString &line : lines) {
            const int at = line.indexOf(QRegularExpression("(TOOLS|Claude Code|Gemini CLI|Cursor)"));
            QCOMPARE(displayWidth(line.left(at)), toolsColumn);
            const int path = line.indexOf(QRegularExpression("(PATH|/)"));
            QCOMPARE(displayWidth(line.left(path)), toolsColumn + int(QString("Claude Code").size()) + 2);
            QVERIFY(!line.endsWith(' '));
        }
    }

    // Once every file was read, a later run reads none of them: the plain listing
    // then comes straight from the stored rows. What it prints must be what the
    // run that read them all printed, byte for byte; and the moment anything
    // differs, the full path answers, as a run on a fresh store would.
    void anUnchangedLibraryListsAsItDidWhenRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("withProjects");
        QTest::addColumn<int>("change");
        const QStringList plain{"list"};
        const QStringList json{"list", "--json"};
        QTest::newRow("plain lines, home locations only") << plain << false << int(Change::None);
        QTest::newRow("JSON, home locations only") << json << false << int(Change::None);
        QTest::newRow("plain lines, with a custom directory of projects") << plain << true << int(Change::None);
        QTest::newRow("JSON, with a custom directory of projects") << json << true << int(Change::None);
        QTest::newRow("a skill rewritten is listed as read again") << plain << true << int(Change::Rewritten);
        QTest::newRow("a skill added is listed") << plain << true << int(Change::Added);
        QTest::newRow("a skill removed is no longer listed") << plain << false << int(Change::Removed);
        QTest::newRow("a skill left in one folder of two lists that one") << json << false << int(Change::Unlinked);
        QTest::newRow("a link pointed at another skill lists that one") << plain << false << int(Change::Relinked);
        QTest::newRow("a custom directory added lists its projects") << plain << false << int(Change::ProjectsAdded);
        QTest::newRow("a library folder others can read is closed again") << plain << false << int(Change::StoreFolderOpened);
    }
    void anUnchangedLibraryListsAsItDidWhenRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, withProjects);
        QFETCH(int, change);
        writeFile(home("shared/review/SKILL.md"), "---\nname: review\ndescription: Reviews code\n---\nCheck diffs.\n");
        writeFile(home("shared/review/scripts/lint.sh"), "echo");
        writeFile(home("shared/audit/SKILL.md"), "---\nname: audit\n---\nAudit.\n");
        QDir().mkpath(home(".claude/skills"));
        QDir().mkpath(home(".cursor/skills"));
        QVERIFY(QFile::link(home("shared/review"), home(".claude/skills/review")));
        QVERIFY(QFile::link(home("shared/review"), home(".cursor/skills/review")));
        writeFile(home(".claude/skills/größe/SKILL.md"), "---\nname: größe 日本\ndescription: Wide\tand odd\n---\nBody.\n");
        writeFile(home(".claude/skills/plain/SKILL.md"), "---\nname: plain\n---\nBody.\n");
        writeFile(home(".codex/AGENTS.md"), "# Codex house rules\nBe brief.\n");
        writeFile(home(".windsurf/rules/style.md"), "---\nname: style\n---\nTabs.\n");
        writeFile(home(".cursor/rules/tabs.mdc"), "---\ndescription: Tabs\nalwaysApply: true\n---\nTabs.\n");
        writeFile(home("code/app/.claude/skills/deploy/SKILL.md"), "---\nname: deploy\n---\nShip it.\n");
        writeFile(home("code/app/.cursor/rules/lint.mdc"), "---\ndescription: Lint\n---\nLint.\n");
        writeFile(home("code/web/.claude/skills/review/SKILL.md"), "---\nname: review\n---\nAnother.\n");
        bool projects = withProjects;
        // A file a scan never reads: said on standard error by every run.
        QDir().mkpath(home("code/app/.claude/skills/outside"));
        QVERIFY(QFile::link(home("shared/audit/SKILL.md"), home("code/app/.claude/skills/outside/SKILL.md")));
        const auto useProjects = [this, &projects] {
            projects = true;
            writeFile(home(".config/Vesk/Vesk.conf"),
                      QByteArray("[General]\ncustomScanPaths=") + QFile::encodeName(home("code")) + "\n");
        };
        if (withProjects)
            useProjects();
        const auto unchanged = [&] {
            return UnchangedLibrary::read(storePath(), m_home->path(), projects ? QStringList{home("code")} : QStringList{});
        };

        const VeskRun read = vesk(arguments);
        QCOMPARE(read.exitCode, 0);
        QVERIFY(read.out.count('\n') >= 5);
        // Closed as the run ends, however it ends: the log copied into the store and removed.
        QVERIFY(QFileInfo::exists(storePath()));
        QVERIFY(!QFileInfo::exists(storePath() + "-wal"));
        // Files written a moment before a scan are read again by the next one
        // (their signatures cannot be trusted yet); after that, nothing is.
        QTest::qWait(150);
        const VeskRun settled = vesk(arguments);
        QCOMPARE(settled.out, read.out);
        QCOMPARE(settled.err, read.err);
        QCOMPARE(read.err.contains("/outside/SKILL.md: Links outside the project"), withProjects);
        const auto stored = unchanged();
        QVERIFY(stored.has_value());
        QCOMPARE(stored->skills.size(), withProjects ? 9 : 6);
        QCOMPARE(stored->problems.size(), withProjects ? 1 : 0);

        switch (Change(change)) {
        case Change::None: {
            const VeskRun again = vesk(arguments);
            QCOMPARE(again.exitCode, 0);
            QCOMPARE(again.out, read.out);
            QCOMPARE(again.err, read.err);
            return;
        }
        case Change::Rewritten:
            writeFile(home("code/app/.claude/skills/deploy/SKILL.md"), "---\nname: ship\n---\nShip it.\n");
            break;
        case Change::Added:
            writeFile(home(".claude/skills/new/SKILL.md"), "---\nname: new\n---\nNew.\n");
            break;
        case Change::Removed:
            QVERIFY(QFile::remove(home(".claude/skills/plain/SKILL.md")));
            break;
        case Change::Unlinked:
            QVERIFY(QFile::remove(home(".cursor/skills/review")));
            break;
        case Change::Relinked:
            QVERIFY(QFile::remove(home(".cursor/skills/review")));
            QVERIFY(QFile::link(home("shared/audit"), home(".cursor/skills/review")));
            break;
        case Change::ProjectsAdded:
            useProjects();
            break;
        case Change::StoreFolderOpened:
            QVERIFY(QFile::setPermissions(QFileInfo(storePath()).path(), QFile::ReadOwner | QFile::WriteOwner
                                              | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup));
            break;
        }
        QVERIFY(!unchanged().has_value());
        const VeskRun changed = vesk(arguments);
        QCOMPARE(changed.exitCode, 0);
        if (Change(change) == Change::StoreFolderOpened) {
            QCOMPARE(changed.out, read.out);
            struct stat folder {};
            QCOMPARE(::stat(QFile::encodeName(QFileInfo(storePath()).path()).constData(), &folder), 0);
            QCOMPARE(folder.st_mode & 0777, mode_t(0700));
            QVERIFY(unchanged().has_value());
            return;
        }
        QVERIFY(changed.out != read.out);
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(storePath() + suffix);
        const VeskRun fresh = vesk(arguments);
        QCOMPARE(changed.out, fresh.out);
        QCOMPARE(changed.err, fresh.err);
    }

    void filesLeftOutAreSaidOnStandardError()
    {
        writeFile(home(".claude/skills/fine/SKILL.md"), "---\nname: fine\n---\n");
        QDir().mkpath(home(".claude/skills/pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(home(".claude/skills/pipe/SKILL.md")).constData(), 0600), 0);
        writeFile(home(".claude/skills/huge.md"), "---\nname: huge\n---\n" + QByteArray(9 * 1024 * 1024, 'x'));
        const QByteArray latin1 = QFile::encodeName(home(".claude/skills")) + "/caf\xe9.md";
        {
            FILE *out = std::fopen(latin1.constData(), "w");
            QVERIFY(out);
            std::fputs("---\nname: cafe\n---\n", out);
            std::fclose(out);
        }

        // A pipe never opened for writing would block a plain open() for ever.
        const VeskRun run = vesk({"list"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.count('\n'), 1);
        QVERIFY2(run.out.startsWith("fine  ") && run.out.endsWith("~/.claude/skills/fine/SKILL.md\n"), run.out.constData());
        const QString err = QString::fromUtf8(run.err);
        QVERIFY2(err.contains("vesk: ~/.claude/skills/pipe/SKILL.md: Not a regular file"), run.err.constData());
        QVERIFY2(err.contains("vesk: ~/.claude/skills/huge.md: Larger than"), run.err.constData());
        QVERIFY2(err.contains(QStringLiteral("vesk: ~/.claude/skills/caf\ufffd.md: Its name is not valid UTF-8")),
                 run.err.constData());
        // Nothing of the large file reached the store.
        QVERIFY(QFileInfo(storePath()).size() < 1024 * 1024);
        ::unlink(latin1.constData()); // Qt cannot spell the name to remove it
    }

    void helpAndVersionNeedNoStore()
    {
        const VeskRun help = vesk({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("vesk list [--json]"));
        const VeskRun version = vesk({"--version"});
        QCOMPARE(version.exitCode, 0);
        // The version and the build number, as the About box gives them.
        QCOMPARE(QString::fromUtf8(version.out),
                 "Vesk " + aboutVersionText(BuildInfo::version(), BuildInfo::buildNumber()) + "\n");
        QVERIFY(!QFileInfo::exists(storePath()));
        const VeskRun wrong = vesk({"--frobnicate"});
        QCOMPARE(wrong.exitCode, 2);
        QVERIFY(wrong.err.contains("frobnicate"));
    }

    // Which stores are unusable, and that they are left untouched, is the store's
    // own business; here both ways in stop with its message before anything else.
    void anUnusableStoreStopsVeskBeforeAnyWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("platform");
        QTest::newRow("the window") << QStringList{} << QByteArray("offscreen");
        QTest::newRow("the list command") << QStringList{"list"} << QByteArray("no-such-platform");
    }
    void anUnusableStoreStopsVeskBeforeAnyWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, platform);
        const QByteArray garbage(4096, '\x42');
        writeFile(storePath(), garbage);
        const QByteArray prefix = "Vesk/VeskApp: Fatal error: Could not create ModelContainer: ";

        const VeskRun run = vesk(arguments, platform);
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.err.startsWith(prefix), run.err.constData());
        QVERIFY(run.err.trimmed().size() > prefix.size());
        QVERIFY(run.out.isEmpty());
        QCOMPARE(TestFiles::readFile(storePath()), garbage);
    }

    void aHomeThatSaysNothingUsefulIsReplacedOrRefused_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("home"); // empty: refused
        QTest::newRow("a full path is used as it is") << QByteArray("/home/al") << "/home/other" << "/home/al";
        QTest::newRow("an unset HOME falls back to the account's") << QByteArray() << "/home/al" << "/home/al";
        QTest::newRow("an empty HOME falls back to the account's") << QByteArray("") << "/home/al/" << "/home/al";
        QTest::newRow("a relative HOME is refused") << QByteArray("al") << "/home/al" << "";
        QTest::newRow("a HOME of a dot is refused") << QByteArray(".") << "/home/al" << "";
        QTest::newRow("no HOME and no account home is refused") << QByteArray() << "" << "";
    }

    void aHomeThatSaysNothingUsefulIsReplacedOrRefused()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, account);
        QFETCH(QString, home);
        const HomeChoice choice = chooseHome(variable, account);
        QCOMPARE(choice.home, home);
        QCOMPARE(choice.error.isEmpty(), !home.isEmpty());
    }

    void aRelativeHomeStopsVeskWithAMessageAndWritesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("platform");
        QTest::newRow("the window") << QStringList{} << QByteArray("offscreen");
        QTest::newRow("the list command") << QStringList{"list"} << QByteArray("no-such-platform");
    }

    void aRelativeHomeStopsVeskWithAMessageAndWritesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, platform);
        QProcess process;
        QProcessEnvironment environment = veskEnvironment(m_home->path(), platform);
        environment.insert("HOME", "relative-home");
        environment.remove("XDG_DATA_HOME"); // the library would follow HOME
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(m_home->path());
        process.start(QStringLiteral(VESK_EXECUTABLE), arguments);
        const VeskRun run = finishVesk(process);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("HOME is \"relative-home\", which is not a full path"), run.err.constData());
        QVERIFY(!QFileInfo::exists(home("relative-home")));
    }
};

VESK_TEST_GUILESS_MAIN(TestListCommand)
#include "tst_listcommand.moc"
