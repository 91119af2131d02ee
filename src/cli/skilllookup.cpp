#include "cli/skilllookup.h"

#include "library/records/skill.h"

#include <QDir>
#include <QFileInfo>

#include <functional>

namespace {

QString expandHome(const QString &path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

// Every spelling of the file the argument points at: as written, and resolved.
QStringList pathsNamedBy(const QString &argument, const QString &workingDirectory)
{
    const QString absolute = QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(expandHome(argument)));
    const QFileInfo info(absolute);
    QStringList files;
    if (info.isDir()) {
        for (const char *mainFile : {"SKILL.md", "AGENTS.md"})
            files.append(absolute + QLatin1Char('/') + QLatin1String(mainFile));
    } else {
        files.append(absolute);
    }
    QStringList paths;
    for (const QString &file : std::as_const(files)) {
        const QString canonical = QFileInfo(file).canonicalFilePath();
        if (canonical.isEmpty())
            continue;
        paths.append(file);
        paths.append(canonical);
    }
    return paths;
}

bool hasAnyPath(const Skill &skill, const QStringList &paths)
{
    if (paths.contains(skill.resolvedPath()) || paths.contains(skill.filePath()))
        return true;
    for (const QString &installed : skill.installedPaths()) {
        if (paths.contains(installed))
            return true;
    }
    return false;
}

// The name a skill has on disk: its folder's for a SKILL.md, its file's otherwise.
QString diskName(const Skill &skill)
{
    const QFileInfo file(skill.filePath());
    return skill.isDirectory() ? file.dir().dirName() : file.completeBaseName();
}

Skill *bestOf(const QList<Skill *> &skills, const std::function<bool(const Skill &)> &matches)
{
    Skill *first = nullptr;
    for (Skill *skill : skills) {
        if (!matches(*skill))
            continue;
        if (skill->isGlobal())
            return skill;
        if (!first)
            first = skill;
    }
    return first;
}

} // namespace

Skill *findSkill(const QList<Skill *> &skills, const QString &nameOrPath, const QString &workingDirectory)
{
    if (nameOrPath.isEmpty())
        return nullptr;
    const QStringList paths = pathsNamedBy(nameOrPath, workingDirectory);
    if (!paths.isEmpty()) {
        if (Skill *skill = bestOf(skills, [&paths](const Skill &s) { return hasAnyPath(s, paths); }))
            return skill;
    }
    const std::function<bool(const Skill &)> byName[] = {
        [&nameOrPath](const Skill &s) { return s.name() == nameOrPath; },
        [&nameOrPath](const Skill &s) { return s.name().compare(nameOrPath, Qt::CaseInsensitive) == 0; },
        [&nameOrPath](const Skill &s) { return diskName(s) == nameOrPath; },
    };
    for (const auto &matches : byName) {
        if (Skill *skill = bestOf(skills, matches))
            return skill;
    }
    return nullptr;
}
