#include "cli/commandline.h"

#include "cli/buildinfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

QSize parseSize(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return {};
    bool okWidth = false;
    bool okHeight = false;
    const QSize size(parts.at(0).toInt(&okWidth), parts.at(1).toInt(&okHeight));
    return okWidth && okHeight && size.width() > 0 && size.height() > 0 ? size : QSize();
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption edit(QStringLiteral("edit"), QString());
    const QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("file"));
    const QCommandLineOption select(QStringLiteral("select"), QString(), QStringLiteral("name"));
    const QCommandLineOption filter(QStringLiteral("filter"), QString(), QStringLiteral("filter"));
    const QCommandLineOption search(QStringLiteral("search"), QString(), QStringLiteral("text"));
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption palette(QStringLiteral("palette"), QString(), QStringLiteral("light|dark"));
    const QCommandLineOption mode(QStringLiteral("mode"), QString(), QStringLiteral("card|editor"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("plain|json|sarif"));
    const QCommandLineOption level(QStringLiteral("level"), QString(), QStringLiteral("error|warning|note"));
    const QCommandLineOption allRules(QStringLiteral("all-rules"), QString());
    const QCommandLineOption in(QStringLiteral("in"), QString(), QStringLiteral("tool"));
    const QCommandLineOption to(QStringLiteral("to"), QString(), QStringLiteral("scope"));
    const QCommandLineOption copy(QStringLiteral("copy"), QString());
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption skill(QStringLiteral("skill"), QString(), QStringLiteral("name"));
    const QCommandLineOption project(QStringLiteral("project"), QString(), QStringLiteral("folder"));
    const QCommandLineOption ref(QStringLiteral("ref"), QString(), QStringLiteral("ref"));
    const QCommandLineOption theirs(QStringLiteral("theirs"), QString());
    const QCommandLineOption merge(QStringLiteral("merge"), QString());
    parser.addOptions({help, version, json, edit, screenshot, select, filter, search, size, palette, mode, format, level,
                       allRules, in, to, copy, dryRun, skill, project, ref, theirs, merge});

    CommandLine result;
    const auto invalid = [&result](const QString &text) {
        result.mode = CommandLine::Mode::Invalid;
        result.errorText = text;
        return result;
    };

    // Qt's own options (-platform, -style, ...) are left for QApplication.
    QStringList ours{arguments.value(0)};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-platform") || argument == QLatin1String("-style")) {
            ++i;
            continue;
        }
        ours.append(argument);
    }
    if (!parser.parse(ours))
        return invalid(parser.errorText());

    if (parser.isSet(help)) {
        result.mode = CommandLine::Mode::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.mode = CommandLine::Mode::Version;
        return result;
    }

    const QStringList positional = parser.positionalArguments();
    if (isSourceVerb(positional.value(0))) {
        for (const QCommandLineOption *other : {&edit, &screenshot, &select, &filter, &search, &size, &mode, &format, &level, &to, &dryRun, &allRules}) {
            if (parser.isSet(*other))
                return invalid(QCoreApplication::translate("CommandLine", "--%1 does not go with %2.")
                                   .arg(other->names().constLast(), positional.constFirst()));
        }
        SourceArguments arguments;
        arguments.positional = positional;
        arguments.skills = parser.values(skill);
        arguments.tools = parser.values(in);
        arguments.project = parser.value(project);
        arguments.hasProject = parser.isSet(project);
        arguments.ref = parser.value(ref);
        arguments.hasRef = parser.isSet(ref);
        arguments.copy = parser.isSet(copy);
        arguments.json = parser.isSet(json);
        arguments.theirs = parser.isSet(theirs);
        arguments.merge = parser.isSet(merge);
        const QString problem = parseSourceCommand(arguments, &result.sources);
        if (!problem.isEmpty())
            return invalid(problem);
        result.mode = CommandLine::Mode::Sources;
        return result;
    }
    for (const QCommandLineOption *sourceOnly : {&skill, &project, &ref, &theirs, &merge}) {
        if (parser.isSet(*sourceOnly))
            return invalid(QCoreApplication::translate("CommandLine", "--%1 goes with add, outdated, update and restore.")
                               .arg(sourceOnly->names().constFirst()));
    }
    if (isManageVerb(positional.value(0))) {
        for (const QCommandLineOption *other : {&json, &edit, &screenshot, &select, &filter, &search, &size, &mode, &format, &level, &allRules}) {
            if (parser.isSet(*other))
                return invalid(QCoreApplication::translate("CommandLine", "--%1 does not go with %2.")
                                   .arg(other->names().constLast(), positional.constFirst()));
        }
        const QString problem = parseManageCommand(positional, parser.value(in), parser.value(to), parser.isSet(copy),
                                                   parser.isSet(dryRun), &result.manage);
        if (!problem.isEmpty())
            return invalid(problem);
        result.mode = CommandLine::Mode::Manage;
        return result;
    }
    for (const QCommandLineOption *manageOnly : {&in, &to, &copy, &dryRun}) {
        if (parser.isSet(*manageOnly))
            return invalid(QCoreApplication::translate("CommandLine", "--%1 goes with use, unuse, off, on, mv, rename "
                                                                      "and trash.").arg(manageOnly->names().constFirst()));
    }
    if (positional.value(0) == QLatin1String("check")) {
        result.mode = CommandLine::Mode::Check;
        result.checkPaths = positional.mid(1);
        if (parser.isSet(json) && parser.isSet(format))
            return invalid(QCoreApplication::translate("CommandLine", "Give --json or --format, not both."));
        if (parser.isSet(json))
            result.checkFormat = QStringLiteral("json");
        if (parser.isSet(format))
            result.checkFormat = parser.value(format);
        static const QStringList formats{QStringLiteral("plain"), QStringLiteral("json"), QStringLiteral("sarif")};
        if (!formats.contains(result.checkFormat))
            return invalid(QCoreApplication::translate("CommandLine", "--format is plain, json or sarif."));
        if (parser.isSet(level))
            result.checkLevel = parser.value(level);
        static const QStringList levels{QStringLiteral("error"), QStringLiteral("warning"), QStringLiteral("note")};
        if (!levels.contains(result.checkLevel))
            return invalid(QCoreApplication::translate("CommandLine", "--level is error, warning or note."));
        result.checkAllRules = parser.isSet(allRules);
        if (parser.isSet(screenshot) || parser.isSet(edit))
            return invalid(QCoreApplication::translate("CommandLine", "%1 does not go with the check command.")
                               .arg(parser.isSet(edit) ? QStringLiteral("--edit") : QStringLiteral("--screenshot")));
        return result;
    }
    if (parser.isSet(format) || parser.isSet(level) || parser.isSet(allRules))
        return invalid(QCoreApplication::translate("CommandLine", "--format, --level and --all-rules go with the check command."));
    if (positional.value(0) == QLatin1String("list")) {
        if (positional.size() > 1)
            return invalid(QCoreApplication::translate("CommandLine", "The list command takes no names."));
        result.mode = CommandLine::Mode::List;
        result.json = parser.isSet(json);
        if (parser.isSet(screenshot) || parser.isSet(edit))
            return invalid(QCoreApplication::translate("CommandLine", "%1 does not go with the list command.")
                               .arg(parser.isSet(edit) ? QStringLiteral("--edit") : QStringLiteral("--screenshot")));
        return result;
    }
    if (parser.isSet(json))
        return invalid(QCoreApplication::translate("CommandLine", "--json goes with the list command."));
    if (positional.size() > 1)
        return invalid(QCoreApplication::translate("CommandLine", "Vesk opens one skill at a time."));
    result.skill = positional.value(0);
    result.edit = parser.isSet(edit);
    if (result.edit && result.skill.isEmpty())
        return invalid(QCoreApplication::translate("CommandLine", "--edit goes with the name or path of a skill."));

    result.screenshotFile = parser.value(screenshot);
    result.selectSkill = parser.value(select);
    result.filter = parser.value(filter);
    result.hasSearch = parser.isSet(search);
    result.search = parser.value(search);
    if (parser.isSet(size)) {
        result.size = parseSize(parser.value(size));
        if (!result.size.isValid())
            return invalid(QCoreApplication::translate("CommandLine", "--size wants WIDTHxHEIGHT, for example 1280x800."));
    }
    result.palette = parser.value(palette);
    if (!result.palette.isEmpty() && result.palette != QLatin1String("light") && result.palette != QLatin1String("dark"))
        return invalid(QCoreApplication::translate("CommandLine", "--palette is light or dark."));
    result.detailMode = parser.value(mode);
    if (parser.isSet(mode) && result.detailMode != QLatin1String("card") && result.detailMode != QLatin1String("editor")
        && result.detailMode != QLatin1String("compare"))
        return invalid(QCoreApplication::translate("CommandLine", "--mode is card, editor or compare."));
    const bool screenshotOnly = parser.isSet(select) || parser.isSet(filter) || parser.isSet(search)
        || parser.isSet(size) || parser.isSet(mode);
    if (screenshotOnly && result.screenshotFile.isEmpty())
        return invalid(QCoreApplication::translate("CommandLine", "--select, --filter, --search, --size and --mode go with --screenshot."));
    if (!result.screenshotFile.isEmpty() && !result.skill.isEmpty())
        return invalid(QCoreApplication::translate("CommandLine", "--screenshot selects a skill with --select."));
    return result;
}

QString commandLineHelp()
{
    return QCoreApplication::translate("CommandLine",
        "Usage: vesk [options] [NAME-OR-PATH]\n"
        "       vesk list [--json]\n"
        "       vesk check [PATH...] [--json | --format sarif] [--level error|warning|note] [--all-rules]\n"
        "       vesk use|unuse|off|on|mv|rename|trash NAME ... [--dry-run]\n"
        "       vesk add SOURCE [--skill NAME]... [--in TOOL|shared]... [--copy]\n"
        "                [--project DIR] [--ref REF]\n"
        "       vesk outdated [--json] [--project DIR]\n"
        "       vesk update [NAME...] [--theirs | --merge] [--project DIR]\n"
        "       vesk restore [--project DIR]\n"
        "\n"
        "Vesk gathers the skills of your AI coding tools in one window. A running Vesk\n"
        "is reused: a second launch brings its window to the front and exits.\n"
        "\n"
        "Commands:\n"
        "  NAME-OR-PATH       Show this skill's card: its name, its folder's name, or the\n"
        "                     path of its file or folder. An unknown one exits with status 1.\n"
        "  --edit NAME-OR-PATH  The same, in the editor.\n"
        "  list               Scan the skill folders and print every skill, one per line,\n"
        "                     in columns (under a header line in a terminal).\n"
        "  list --json        The same as one JSON array, for scripts.\n"
        "  check [PATH...]    Check skills as the tools will load them: the given skill\n"
        "                     files and folders, or with none the whole library. Prints\n"
        "                     file:line:column: level: message [rule]; exits 1 when\n"
        "                     anything at or above the level (warning) is found, 2 when\n"
        "                     a path is not there. The library leaves out the checks\n"
        "                     turned off in Settings; given paths are checked by every\n"
        "                     rule, the same on every machine.\n"
        "    --json           … as one JSON object\n"
        "    --format F       … as plain, json or sarif (SARIF 2.1.0, for code scanning)\n"
        "    --level L        … from this level up: error, warning or note\n"
        "    --all-rules      … the library by every rule, the ones turned off too\n"
        "  use NAME --in TOOL [--copy]  Place the skill in TOOL's folder too, as a link\n"
        "                     (or a copy); --in shared is the folder every tool reads.\n"
        "  unuse NAME --in TOOL  Remove that link, or a copy identical to the skill.\n"
        "  off NAME, on NAME  Turn the skill off (no tool reads it; Vesk keeps it) and on.\n"
        "  mv NAME --to home|PROJECT  Move the skill to the home folder or a project.\n"
        "  rename NAME NEW    Rename the skill's folder and its name field together.\n"
        "  trash NAME         Move the skill to the trash.\n"
        "  --dry-run          With the above: print what would change, change nothing.\n"
        "                     Exit status 0 done, 1 not done, 2 a wrong command line.\n"
        "  add SOURCE         Fetch skills with your own git (a shallow clone into Vesk's\n"
        "                     cache) from owner/repo on GitHub, a git URL or a folder, and\n"
        "                     install them: one shared copy, linked into each --in TOOL\n"
        "                     (or --copy: a copy in each). Recorded in the lock file the\n"
        "                     skills installer reads (~/.agents/.skill-lock.json, or the\n"
        "                     project's skills-lock.json with --project DIR).\n"
        "    --skill NAME     … only these skills      --ref REF  … this branch or tag\n"
        "  outdated           Ask each source (git ls-remote, one call per repository)\n"
        "                     whether it moved on since its skills were installed.\n"
        "  update [NAME...]   Replace unedited skills by their source's. An edited skill\n"
        "                     is refused, naming the edited files, unless --theirs (yours\n"
        "                     goes to the trash) or --merge (three-way, conflicts marked).\n"
        "  restore            Install what the lock file lists and is missing.\n"
        "                     Nothing reaches the network unless one of these is run.\n"
        "\n"
        "Options:\n"
        "  -h, --help         Show this help and exit.\n"
        "  -v, --version      Show the version and exit.\n"
        "  --screenshot FILE  Open the window, wait for the first scan, save a PNG and exit.\n"
        "    --select NAME    … with the skill of this name selected\n"
        "    --filter F       … with the sidebar on all, favorites, off, attention, a harness\n"
        "                     (claude, …) or collection:NAME\n"
        "    --search TEXT    … with this search text\n"
        "    --size WxH       … at this window size\n"
        "    --mode M         … with the selected skill shown as its card or in the editor,\n"
        "                     or (compare) its first clash's two copies side by side\n"
        "  --palette P        Use Vesk's own light or dark colours instead of the desktop's.\n");
}

QString versionText()
{
    // The same words as the About box, so a bug report can quote either.
    return QStringLiteral("Vesk %1\n").arg(aboutVersionText(BuildInfo::version(), BuildInfo::buildNumber()));
}
