#include "library/sources/sourcefetch.h"

#include "library/files/skilllinks.h"
#include "library/records/frontmatter.h"
#include "library/sources/gitprocess.h"
#include "library/sources/lockfile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

constexpr int maxFoundSkills = 500;
constexpr int maxSearchDepth = 8;

bool isRegularFile(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isRealFolder(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A link inside `folder` that leads outside it, if any.
QString linkLeadingOut(const QString &folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    QStringList pending{folder};
    int seen = 0;
    while (!pending.isEmpty() && ++seen < 2000) {
        const QString current = pending.takeLast();
        const QFileInfoList entries = QDir(current).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
        for (const QFileInfo &entry : entries) {
            if (entry.isSymLink()) {
                const QString target = entry.canonicalFilePath();
                // A dangling link is judged by where it would lead.
                const QString written = QDir::cleanPath(
                    QDir(QFileInfo(entry.absolutePath()).canonicalFilePath()).absoluteFilePath(readLinkText(entry.absoluteFilePath())));
                const QString lands = target.isEmpty() ? written : target;
                const bool outside = lands != canonicalFolder && !lands.startsWith(canonicalFolder + u'/');
                if (outside)
                    return QDir(folder).relativeFilePath(entry.absoluteFilePath());
            } else if (entry.isDir() && entry.fileName() != QLatin1String(".git")) {
                pending.append(entry.absoluteFilePath());
            }
        }
    }
    return QString();
}

FoundSkill describe(const QString &root, const QString &relative, const QString &fallbackName)
{
    FoundSkill found;
    found.folder = relative.isEmpty() ? root : root + u'/' + relative;
    found.relative = relative;
    const std::optional<ParsedSkill> parsed =
        readSkillFile(found.folder + QStringLiteral("/SKILL.md"), SkillReading::Frontmatter);
    const QString declared = parsed ? parsed->name.trimmed() : QString();
    // The declared name when it is one the format allows; the folder's otherwise.
    static const QRegularExpression formatName(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
    found.name = declared.size() <= 64 && formatName.match(declared).hasMatch() ? declared : fallbackName;
    found.description = parsed ? parsed->description.left(1024) : QString();
    if (!parsed)
        found.problem = QObject::tr("Its SKILL.md could not be read");
    else if (!isSafeSkillName(found.name))
        found.problem = QObject::tr("It has no name a folder can take");
    else if (const QString link = linkLeadingOut(found.folder); !link.isEmpty())
        found.problem = QObject::tr("It holds a link leading outside its folder: %1").arg(link);
    return found;
}

void removeStalePartials(const QString &folder)
{
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QFileInfoList partials =
        QDir(folder).entryInfoList({QStringLiteral(".partial-*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &partial : partials) {
        if (!partial.isSymLink() && partial.lastModified().toUTC() < cutoff)
            QDir(partial.absoluteFilePath()).removeRecursively();
    }
}

} // namespace

QString sourcesCacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/sources");
}

FetchedSource fetchSource(const SkillSource &source, const QString &ref, const SourceOptions &options)
{
    FetchedSource fetched;
    if (!ref.isEmpty() && !isSafeRef(ref)) {
        fetched.error = QObject::tr("“%1” is not a branch or tag name git accepts").arg(ref.left(200));
        return fetched;
    }
    if (source.kind == SkillSource::Kind::Local) {
        if (!ref.isEmpty()) {
            fetched.error = QObject::tr("A local folder is added as it is; --ref goes with a repository");
            return fetched;
        }
        if (!QFileInfo(source.source).isDir()) {
            fetched.error = QObject::tr("The folder “%1” is not there").arg(source.source);
            return fetched;
        }
        fetched.root = source.source;
        return fetched;
    }
    if (gitProgram().isEmpty()) {
        fetched.error = gitMissingMessage();
        return fetched;
    }
    const QString clones = sourcesCacheFolder() + QStringLiteral("/clones");
    if (!QDir().mkpath(clones)) {
        fetched.error = QObject::tr("Vesk's cache folder “%1” could not be made").arg(clones);
        return fetched;
    }
    removeStalePartials(clones);
    QTemporaryDir partial(clones + QStringLiteral("/.partial-XXXXXX"));
    if (!partial.isValid()) {
        fetched.error = QObject::tr("Vesk's cache folder “%1” could not be written").arg(clones);
        return fetched;
    }
    QStringList arguments{QStringLiteral("clone"), QStringLiteral("--depth"), QStringLiteral("1"),
                          QStringLiteral("--single-branch"), QStringLiteral("--no-tags"),
                          QStringLiteral("--quiet")};
    if (!ref.isEmpty())
        arguments << QStringLiteral("--branch") << ref;
    arguments << QStringLiteral("--") << source.url << partial.path();
    const GitRun clone = runGit(arguments, clones, options.cloneTimeoutMs);
    if (!clone.ok) {
        fetched.error = QObject::tr("“%1” could not be cloned: %2").arg(source.source.left(200), clone.error);
        return fetched;
    }
    const GitRun head = runGit({QStringLiteral("rev-parse"), QStringLiteral("--verify"), QStringLiteral("-q"),
                                QStringLiteral("HEAD^{commit}")},
                               partial.path(), 30000);
    if (!head.ok) {
        fetched.error = QObject::tr("“%1” has no default branch to take skills from; name a branch or tag")
                            .arg(source.source.left(200));
        return fetched;
    }
    if (options.gate && !options.gate(QStringLiteral("cloned"))) {
        fetched.error = QObject::tr("Stopped");
        partial.setAutoRemove(false); // as a killed process would leave it
        return fetched;
    }
    const QByteArray key = QCryptographicHash::hash((source.url + u'\n' + ref).toUtf8(), QCryptographicHash::Sha256)
                               .toHex()
                               .left(16);
    const QString finished = clones + u'/' + QString::fromLatin1(key);
    QString error;
    if (entryExists(finished) && !removeEntry(finished, &error)) {
        fetched.error = error;
        return fetched;
    }
    if (!renameNoReplace(partial.path(), finished, &error)) {
        fetched.error = error;
        return fetched;
    }
    partial.setAutoRemove(false);
    fetched.root = finished;
    fetched.commit = QString::fromLatin1(head.output.trimmed().left(64));
    return fetched;
}

QString remoteCommit(const QString &url, const QString &ref, int timeoutMs, QString *error)
{
    if (!ref.isEmpty() && !isSafeRef(ref)) {
        *error = QObject::tr("“%1” is not a branch or tag name git accepts").arg(ref.left(200));
        return QString();
    }
    static const QRegularExpression commitId(QStringLiteral("^[0-9a-f]{40}([0-9a-f]{24})?$"));
    if (commitId.match(ref).hasMatch())
        return ref; // pinned to a commit: it never moves
    const QString pattern = ref.isEmpty() ? QStringLiteral("HEAD") : ref;
    const GitRun run = runGit({QStringLiteral("ls-remote"), QStringLiteral("--"), url, pattern}, QString(), timeoutMs);
    if (!run.ok) {
        *error = run.error;
        return QString();
    }
    // A branch first, then a tag's commit (peeled), then the tag itself.
    const QStringList wanted = ref.isEmpty()
        ? QStringList{QStringLiteral("HEAD")}
        : QStringList{QStringLiteral("refs/heads/") + ref, QStringLiteral("refs/tags/") + ref + QStringLiteral("^{}"),
                      QStringLiteral("refs/tags/") + ref, ref};
    const QList<QByteArray> lines = run.output.split('\n');
    for (const QString &name : wanted) {
        for (const QByteArray &line : lines) {
            const QList<QByteArray> parts = line.split('\t');
            if (parts.size() == 2 && QString::fromUtf8(parts.at(1)) == name && commitId.match(QString::fromLatin1(parts.at(0))).hasMatch())
                return QString::fromLatin1(parts.at(0));
        }
    }
    *error = QObject::tr("The repository has no branch or tag “%1”").arg(pattern);
    return QString();
}

QList<FoundSkill> findSkills(const QString &root, const QString &rootName)
{
    QList<FoundSkill> found;
    struct Pending {
        QString relative;
        int depth = 0;
    };
    QList<Pending> pending{{QString(), 0}};
    while (!pending.isEmpty() && found.size() < maxFoundSkills) {
        const Pending current = pending.takeFirst();
        const QString folder = current.relative.isEmpty() ? root : root + u'/' + current.relative;
        if (isRegularFile(folder + QStringLiteral("/SKILL.md"))) {
            found.append(describe(root, current.relative,
                                  current.relative.isEmpty() ? rootName : current.relative.section(u'/', -1)));
            continue;
        }
        if (current.depth >= maxSearchDepth)
            continue;
        QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &name : std::as_const(names)) {
            if (name == QLatin1String(".git") || name == QLatin1String("node_modules"))
                continue;
            const QString relative = current.relative.isEmpty() ? name : current.relative + u'/' + name;
            if (isRealFolder(root + u'/' + relative))
                pending.append({relative, current.depth + 1});
        }
    }
    std::sort(found.begin(), found.end(), [](const FoundSkill &a, const FoundSkill &b) {
        return a.name == b.name ? a.relative < b.relative : a.name < b.name;
    });
    return found;
}

std::optional<FoundSkill> skillAt(const QString &root, const QString &relative, const QString &name)
{
    const std::optional<QString> folder = insideFolder(root, relative);
    if (!folder || !isRegularFile(*folder + QStringLiteral("/SKILL.md")))
        return std::nullopt;
    // Found under the clone's own path, so later steps compare paths inside it.
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    FoundSkill found = describe(canonicalRoot, folder->mid(canonicalRoot.size() + 1), name);
    found.name = name;
    return found;
}

QString rootSkillName(const SkillSource &source)
{
    QString last = QDir::cleanPath(source.source).section(u'/', -1);
    last = last.section(u':', -1);
    if (last.endsWith(QLatin1String(".git")))
        last.chop(4);
    return last;
}
