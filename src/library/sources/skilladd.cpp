#include "library/sources/skilladd.h"

#include "library/catalogue/homepath.h"
#include "library/files/skilllinks.h"
#include "library/sources/folderhash.h"
#include "library/sources/installrecord.h"
#include "library/sources/lockfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QObject>

#include <sys/stat.h>

namespace {

QString shown(const QString &path)
{
    return abbreviateHome(path);
}

bool isRealFolder(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

struct Target {
    QString path;
    bool link = false;
};

} // namespace

bool localSourceAllowed(const SkillSource &source, const QString &project)
{
    if (source.kind != SkillSource::Kind::Local || project.isEmpty())
        return true;
    const std::optional<QString> inside = insideFolder(project, QDir(project).relativeFilePath(source.source));
    return inside.has_value() && !QDir(project).relativeFilePath(source.source).startsWith(QLatin1String(".."));
}

QString localSourceRefusal()
{
    return QObject::tr("the project's lock file names a folder outside the project as its source");
}

QString installedFolderFor(const QString &name, const QString &project)
{
    if (!isSafeSkillName(name))
        return QString();
    for (const PlacementTool &tool : placementTools()) {
        const QString folder = placementFolder(tool, project);
        if (!folder.isEmpty() && isRealFolder(folder + u'/' + name))
            return folder + u'/' + name;
    }
    return QString();
}

bool installFoundSkill(const FoundSkill &skill, const SkillSource &source, const FetchedSource &fetched,
                       const QString &ref, const QString &project, const QList<PlacementTool> &tools, bool copy,
                       const QString &installedAt, QStringList *changes, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!skill.problem.isEmpty())
        return fail(skill.problem);
    if (!isSafeSkillName(skill.name))
        return fail(QObject::tr("“%1” cannot name a skill folder").arg(skill.name.left(80)));
    const QList<PlacementTool> chosen = tools.isEmpty() ? QList<PlacementTool>{std::nullopt} : tools;
    const QString shared = placementFolder(std::nullopt, project);

    // Every place it goes, checked before anything is made.
    QList<Target> targets;
    if (!copy)
        targets.append({shared + u'/' + skill.name, false});
    for (const PlacementTool &tool : chosen) {
        const QString folder = placementFolder(tool, project);
        if (folder.isEmpty())
            return fail(QObject::tr("%1 reads no skill folder here").arg(placementTitle(tool)));
        const QString path = folder + u'/' + skill.name;
        if (std::any_of(targets.cbegin(), targets.cend(), [&path](const Target &t) { return t.path == path; }))
            continue;
        targets.append({path, !copy});
    }
    for (const Target &target : std::as_const(targets)) {
        if (entryExists(target.path))
            return fail(QObject::tr("“%1” is there already").arg(shown(target.path)));
    }

    const QString primary = targets.constFirst().path;
    QString problem;
    for (const Target &target : std::as_const(targets)) {
        if (target.link) {
            const QString folder = QFileInfo(target.path).absolutePath();
            if (!makeFolders(folder, &problem))
                return fail(problem);
            const QString text = QDir(QFileInfo(folder).canonicalFilePath()).relativeFilePath(primary);
            if (!makeLink(text, target.path, &problem))
                return fail(problem);
            changes->append(QObject::tr("Link “%1” → %2").arg(shown(target.path), text));
        } else {
            if (!placeSkillCopy(skill.folder, target.path, &problem))
                return fail(problem);
            changes->append(QObject::tr("Install “%1” in “%2”").arg(skill.name, shown(target.path)));
        }
    }

    const std::optional<QString> sha = contentHash(primary, &problem);
    const std::optional<QString> tree = sha ? gitTreeId(primary, &problem) : std::nullopt;
    if (!sha || !tree)
        return fail(problem);
    if (!keepPristine(primary, skill.folder, &problem))
        return fail(problem);

    LockEntry entry;
    entry.name = skill.name;
    entry.source = source.source;
    entry.sourceType = source.sourceType;
    entry.sourceUrl = source.url;
    entry.ref = ref;
    entry.skillPath = skill.relative.isEmpty() ? QStringLiteral("SKILL.md") : skill.relative + QStringLiteral("/SKILL.md");
    const LockKind kind = lockKindFor(project);
    entry.hash = kind == LockKind::Global ? *tree : *sha;
    const QString now = lockTimestamp();
    entry.installedAt = installedAt.isEmpty() ? now : installedAt;
    entry.updatedAt = now;
    const QString lockPath = lockPathFor(project);
    if (!writeLockEntry(lockPath, kind, entry, &problem))
        return fail(problem);
    changes->append(QObject::tr("Record “%1” in “%2”").arg(skill.name, shown(lockPath)));

    InstallRecord record;
    record.folder = primary;
    record.sourceUrl = source.url.isEmpty() ? source.source : source.url;
    record.ref = ref;
    record.commit = fetched.commit;
    record.contentHash = *sha;
    if (!saveInstallRecord(record, &problem))
        return fail(problem);
    return true;
}

AddResult addSkills(const AddRequest &request, const SourceOptions &options)
{
    AddResult result;
    const std::optional<SkillSource> source = parseSkillSource(request.source, request.workingDirectory, &result.error);
    if (!source)
        return result;
    const FetchedSource fetched = fetchSource(*source, request.ref, options);
    if (!fetched.error.isEmpty()) {
        result.error = fetched.error;
        return result;
    }
    result.found = findSkills(fetched.root, rootSkillName(*source));
    if (result.found.isEmpty()) {
        result.error = QObject::tr("“%1” holds no skills (no folder with a SKILL.md)").arg(source->source.left(200));
        return result;
    }
    QList<FoundSkill> chosen;
    for (const QString &name : request.skills) {
        const auto it = std::find_if(result.found.cbegin(), result.found.cend(),
                                     [&name](const FoundSkill &skill) { return skill.name == name; });
        if (it == result.found.cend()) {
            QStringList names;
            for (const FoundSkill &skill : std::as_const(result.found))
                names.append(skill.name);
            result.error = QObject::tr("“%1” has no skill “%2”; it has: %3")
                               .arg(source->source.left(200), name.left(80), names.join(QStringLiteral(", ")));
            return result;
        }
        chosen.append(*it);
    }
    if (request.skills.isEmpty())
        chosen = result.found;
    for (const FoundSkill &skill : std::as_const(chosen)) {
        QString error;
        if (installFoundSkill(skill, *source, fetched, request.ref, request.project, request.tools, request.copy,
                              QString(), &result.changes, &error))
            result.installed.append(skill.name);
        else
            result.failures.append(QStringLiteral("%1: %2").arg(skill.name, error));
    }
    result.ok = result.failures.isEmpty();
    if (!result.ok)
        result.error = result.failures.join(u'\n');
    return result;
}

RestoreResult restoreSkills(const QString &project, const SourceOptions &options)
{
    RestoreResult result;
    const LockKind kind = lockKindFor(project);
    const std::optional<LockFile> lock = readLockFile(lockPathFor(project), kind, &result.error);
    if (!lock)
        return result;
    if (!lock->exists) {
        result.error = QObject::tr("There is no lock file at “%1”").arg(shown(lock->path));
        return result;
    }
    // One fetch per source and ref, however many skills come from it.
    QHash<QString, FetchedSource> fetches;
    for (const LockEntry &entry : lock->entries) {
        // A link left in a tool's folder is not the skill: it works again once the skill is back.
        if (!installedFolderFor(entry.name, project).isEmpty())
            continue;
        const auto failed = [&result, &entry](const QString &why) {
            result.failures.append(QStringLiteral("%1: %2").arg(entry.name, why));
        };
        const std::optional<SkillSource> source = sourceOfEntry(entry.source, entry.sourceType, entry.sourceUrl);
        if (!source) {
            failed(QObject::tr("its source “%1” is not one Vesk can fetch").arg(entry.source.left(200)));
            continue;
        }
        if (!localSourceAllowed(*source, project)) {
            failed(localSourceRefusal());
            continue;
        }
        const std::optional<QString> relative = skillFolderOf(entry.skillPath);
        if (!relative) {
            failed(QObject::tr("its skillPath leads outside its source"));
            continue;
        }
        const QString key = source->url + u'\n' + source->source + u'\n' + entry.ref;
        if (!fetches.contains(key))
            fetches.insert(key, fetchSource(*source, entry.ref, options));
        const FetchedSource &fetched = fetches[key];
        if (!fetched.error.isEmpty()) {
            failed(fetched.error);
            continue;
        }
        const std::optional<FoundSkill> skill = skillAt(fetched.root, *relative, entry.name);
        if (!skill) {
            failed(QObject::tr("its source has no skill at “%1” inside it").arg(relative->left(200)));
            continue;
        }
        QString error;
        if (installFoundSkill(*skill, *source, fetched, entry.ref, project, {}, false, entry.installedAt,
                              &result.changes, &error))
            result.restored.append(entry.name);
        else
            failed(error);
    }
    result.ok = result.failures.isEmpty();
    return result;
}
