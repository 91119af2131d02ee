#include "benchhome.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <array>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// splitmix64: tiny, fast and the same on every platform and library version,
// unlike the distributions of <random>.
class Random final
{
public:
    explicit Random(quint64 seed)
        : m_state(seed)
    {
    }
    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    int between(int low, int high) { return low + int(next() % quint64(high - low + 1)); }

private:
    quint64 m_state;
};

// Plain words, with a few that need more than ASCII so that searching and
// decoding meet them. No word holds a "q" or a "j": the search benchmark's
// queries that must match nothing use them.
constexpr std::array words{
    "the", "skill", "file", "when", "use", "this", "code", "test", "build", "review", "change",
    "small", "helper", "script", "reference", "step", "output", "check", "before", "after",
    "module", "function", "class", "error", "report", "user", "window", "list", "folder", "path",
    "read", "write", "store", "record", "scan", "watch", "event", "timer", "thread", "worker",
    "batch", "commit", "branch", "merge", "rebase", "patch", "diff", "lint", "format", "style",
    "deploy", "release", "version", "tag", "note", "issue", "table", "row", "column", "field",
    "value", "key", "map", "set", "array", "string", "number", "date", "time", "zone", "local",
    "remote", "server", "client", "call", "response", "header", "body", "token", "secret",
    "config", "option", "flag", "default", "override", "rule", "pattern", "glob", "match", "find",
    "replace", "rename", "move", "copy", "delete", "create", "update", "insert", "select", "sort",
    "filter", "group", "count", "sum", "average", "median", "ratio", "limit", "offset", "page",
    "cache", "memory", "disk", "network", "socket", "port", "host", "domain", "address", "route",
    "café", "naïve", "Größe", "façade", "élan", "Ärger", "smörgåsbord", "Ωmega", "東京", "데이터",
    "always", "never", "often", "rarely", "carefully", "swiftly", "slowly", "first", "last", "next",
    "and", "or", "but", "with", "without", "into", "onto", "from", "over", "under", "about",
};

QByteArray sentence(Random &random, int wordCount)
{
    QByteArray text;
    for (int i = 0; i < wordCount; ++i) {
        if (i > 0)
            text += ' ';
        text += words[random.next() % words.size()];
    }
    return text;
}

// Markdown of about `size` bytes: a heading, paragraphs, a list, a code block.
QByteArray body(Random &random, int size)
{
    QByteArray text = "# " + sentence(random, 3) + "\n\n";
    while (text.size() < size) {
        switch (random.next() % 4) {
        case 0:
            text += "## " + sentence(random, random.between(2, 4)) + "\n\n";
            break;
        case 1:
            for (int item = random.between(2, 5); item > 0; --item)
                text += "- " + sentence(random, random.between(4, 10)) + "\n";
            text += '\n';
            break;
        case 2:
            text += "```sh\nscripts/run.py --" + sentence(random, 1) + " " + sentence(random, 2)
                + "\n```\n\n";
            break;
        default:
            text += sentence(random, random.between(12, 40)) + ".\n\n";
            break;
        }
    }
    return text;
}

class Writer final
{
public:
    explicit Writer(BenchHome &home)
        : m_home(home)
    {
    }

    bool directory(const QString &path)
    {
        if (QDir().mkpath(path))
            return true;
        return fail(QStringLiteral("cannot create %1").arg(path));
    }

    bool file(const QString &path, const QByteArray &contents)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
            return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        ++m_home.files;
        m_home.bytes += contents.size();
        return true;
    }

    bool link(const QString &target, const QString &path)
    {
        if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) != 0)
            return fail(QStringLiteral("cannot link %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        ++m_home.links;
        return true;
    }

    bool fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
        return false;
    }
    QString error() const { return m_error; }

private:
    BenchHome &m_home;
    QString m_error;
};

bool writeSkillFolder(Writer &writer, const QString &folder, const QString &name, Random &random)
{
    const QByteArray skill = "---\nname: " + name.toUtf8() + "\ndescription: " + sentence(random, random.between(6, 18))
        + "\nlicense: MIT\n---\n\n" + body(random, random.between(1024, 8192));
    const QByteArray script = "#!/usr/bin/env python3\n\"\"\"" + sentence(random, 8) + "\"\"\"\nimport sys\n\n\ndef main():\n    print("
        + QByteArray::number(random.between(1, 999)) + ", sys.argv[1:])\n\n\nif __name__ == \"__main__\":\n    main()\n";
    const QByteArray reference = "# API\n\n" + sentence(random, random.between(20, 60)) + ".\n";
    const QByteArray config = "{\"name\": \"" + name.toUtf8() + "\", \"retries\": " + QByteArray::number(random.between(1, 9)) + "}\n";
    return writer.directory(folder + QStringLiteral("/scripts"))
        && writer.directory(folder + QStringLiteral("/references"))
        && writer.file(folder + QStringLiteral("/SKILL.md"), skill)
        && writer.file(folder + QStringLiteral("/scripts/run.py"), script)
        && writer.file(folder + QStringLiteral("/references/api.md"), reference)
        && writer.file(folder + QStringLiteral("/config.json"), config);
}

bool writeRule(Writer &writer, const QString &path, bool cursorStyle, Random &random)
{
    // Cursor rules carry a description and globs; Windsurf rules only a trigger,
    // so their name comes from the file name.
    const QByteArray header = cursorStyle
        ? "---\ndescription: " + sentence(random, random.between(5, 14)) + "\nglobs: src/**/*.cpp\nalwaysApply: false\n---\n\n"
        : QByteArray("---\ntrigger: always_on\n---\n\n");
    return writer.file(path, header + body(random, random.between(1024, 8192)));
}

QString numbered(const char *prefix, int index)
{
    return QStringLiteral("%1-%2").arg(QLatin1String(prefix)).arg(index, 5, 10, QLatin1Char('0'));
}

} // namespace

bool writeBenchSkillFolder(const QString &folder, const QString &name, quint64 seed, QString *error)
{
    BenchHome scratch;
    Writer writer(scratch);
    Random random(seed);
    if (writeSkillFolder(writer, folder, name, random))
        return true;
    if (error)
        *error = writer.error();
    return false;
}

bool generateBenchHome(const QString &root, const BenchHomeLayout &layout, BenchHome *out, QString *error)
{
    BenchHome home;
    home.home = root;
    home.projectsRoot = root + QStringLiteral("/code");
    home.configHome = root + QStringLiteral("/.config");
    Writer writer(home);
    Random random(layout.seed);
    const auto failed = [&] {
        if (error)
            *error = writer.error();
        return false;
    };

    // Global folders: skill folders in three places, rules in two.
    const QStringList folderLocations = {root + QStringLiteral("/.claude/skills"),
                                         root + QStringLiteral("/.agents/skills"),
                                         root + QStringLiteral("/.cursor/skills")};
    const QString cursorRules = root + QStringLiteral("/.cursor/rules");
    const QString windsurfRules = root + QStringLiteral("/.windsurf/rules");
    for (const QString &location : folderLocations + QStringList{cursorRules, windsurfRules}) {
        if (!writer.directory(location))
            return failed();
        home.scanRoots.append(location);
    }

    const int folderSkills = layout.skills * 7 / 10;
    const int ruleSkills = layout.skills - folderSkills;
    const int projectFolderSkills = folderSkills / 5;
    const int projectRules = ruleSkills / 5;
    const int globalFolderSkills = folderSkills - projectFolderSkills;
    const int globalRules = ruleSkills - projectRules;

    // Half of the global skill folders in Claude's, a quarter in each of the others.
    for (int i = 0; i < globalFolderSkills; ++i) {
        const QString &location = folderLocations.at(i % 4 < 2 ? 0 : i % 4 - 1);
        const QString name = numbered("skill", i);
        if (!writeSkillFolder(writer, location + u'/' + name, name, random))
            return failed();
    }
    for (int i = 0; i < globalRules; ++i) {
        const bool cursor = i % 3 != 2;
        const QString path = cursor ? cursorRules + u'/' + numbered("rule", i) + QStringLiteral(".mdc")
                                    : windsurfRules + u'/' + numbered("rule", i) + QStringLiteral(".md");
        if (!writeRule(writer, path, cursor, random))
            return failed();
    }

    // One Claude skill folder in fifty is also linked into Cursor's folder.
    for (int i = 0; i < globalFolderSkills; i += 50) {
        if (i % 4 >= 2)
            continue;
        const QString name = numbered("skill", i);
        if (!writer.link(folderLocations.at(0) + u'/' + name, folderLocations.at(2) + QStringLiteral("/linked-") + name))
            return failed();
    }

    // Projects: skill folders in .claude/skills, rules in .cursor/rules, and one
    // link per project to a global skill in .cursor/skills.
    int projectFolder = 0;
    int projectRule = 0;
    for (int p = 0; p < layout.projects; ++p) {
        const QString project = home.projectsRoot + u'/' + numbered("project", p);
        const QString skills = project + QStringLiteral("/.claude/skills");
        const QString rules = project + QStringLiteral("/.cursor/rules");
        const QString linked = project + QStringLiteral("/.cursor/skills");
        if (!writer.directory(skills) || !writer.directory(rules) || !writer.directory(linked))
            return failed();
        home.scanRoots.append({skills, rules, linked});
        if (!writer.file(project + QStringLiteral("/README.md"), "# " + sentence(random, 3) + "\n\n" + sentence(random, 30) + ".\n"))
            return failed();
        const int folderEnd = projectFolderSkills * (p + 1) / layout.projects;
        for (; projectFolder < folderEnd; ++projectFolder) {
            const QString name = numbered("project-skill", projectFolder);
            if (!writeSkillFolder(writer, skills + u'/' + name, name, random))
                return failed();
        }
        const int ruleEnd = projectRules * (p + 1) / layout.projects;
        for (; projectRule < ruleEnd; ++projectRule) {
            if (!writeRule(writer, rules + u'/' + numbered("project-rule", projectRule) + QStringLiteral(".mdc"), true, random))
                return failed();
        }
        const QString target = numbered("skill", (p * 4) % globalFolderSkills);
        if (!writer.link(folderLocations.at(0) + u'/' + target, linked + u'/' + target))
            return failed();
    }
    home.distinctSkills = layout.skills;

    QSettings settings(home.configHome + QStringLiteral("/Vesk/Vesk.conf"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("customScanPaths"), QStringList{home.projectsRoot});
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("cannot write the custom scan setting");
        return false;
    }
    if (out)
        *out = home;
    return true;
}
