#include "library/sources/skillorigin.h"

#include "library/files/skillplaces.h"
#include "library/sources/folderhash.h"
#include "library/sources/installrecord.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

const LockFile *LockFileCache::lock(const QString &path, LockKind kind)
{
    const QFileInfo info(path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : -1;
    const auto it = m_locks.constFind(path);
    if (it != m_locks.cend() && it->modified == modified && it->size == size)
        return &it->lock;
    Cached cached;
    cached.modified = modified;
    cached.size = size;
    cached.lock = readLockFile(path, kind).value_or(LockFile());
    return &m_locks.insert(path, cached)->lock;
}

const QStringList &LockFileCache::toolFolders(const QString &project)
{
    auto it = m_toolFolders.find(project);
    if (it == m_toolFolders.end()) {
        QStringList folders;
        for (const PlacementTool &tool : placementTools())
            folders.append(placementFolder(tool, project));
        it = m_toolFolders.insert(project, folders);
    }
    return *it;
}

std::optional<SkillOrigin> originOf(const QStringList &folders, LockFileCache &cache)
{
    QStringList seen;
    for (const QString &candidate : folders) {
        const QString folder = QDir::cleanPath(candidate);
        if (seen.contains(folder))
            continue;
        seen.append(folder);
        const qsizetype slash = folder.lastIndexOf(u'/');
        const QString name = folder.mid(slash + 1);
        const QString parent = folder.left(slash);
        // Every tool's folder is called "skills": the cheap test first.
        if (slash <= 0 || !parent.endsWith(QLatin1String("/skills")) || !isSafeSkillName(name))
            continue;
        const QString project = scopeOf(folder + QStringLiteral("/SKILL.md"));
        if (!cache.toolFolders(project).contains(parent))
            continue;
        const QString path = lockPathFor(project);
        const LockFile *lock = cache.lock(path, lockKindFor(project));
        if (const LockEntry *entry = lock ? findEntry(*lock, name) : nullptr) {
            SkillOrigin origin;
            origin.entry = *entry;
            origin.kind = lockKindFor(project);
            origin.lockPath = path;
            const QString real = QFileInfo(folder).canonicalFilePath();
            origin.folder = real.isEmpty() ? folder : real;
            origin.project = project;
            return origin;
        }
    }
    return std::nullopt;
}

std::optional<bool> editedSinceInstalled(const SkillOrigin &origin, qint64 maxBytes)
{
    if (origin.entry.hash.isEmpty())
        return std::nullopt;
    // The global lock's hash is a git tree id for GitHub sources and for what Vesk
    // installed; for others an installer may have recorded something else.
    if (origin.kind == LockKind::Global && origin.entry.sourceType != QLatin1String("github")
        && !installRecordFor(origin.folder))
        return std::nullopt;
    // Sizes first, which cost no reads: a large folder is not hashed for a glance.
    qint64 total = 0;
    QDirIterator files(origin.folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        total += files.fileInfo().size();
        if (total > maxBytes)
            return std::nullopt;
    }
    const std::optional<QString> now =
        origin.kind == LockKind::Global ? gitTreeId(origin.folder) : contentHash(origin.folder);
    if (!now)
        return std::nullopt;
    return *now != origin.entry.hash;
}

QDateTime installedAt(const SkillOrigin &origin)
{
    return QDateTime::fromString(origin.entry.installedAt, Qt::ISODateWithMs);
}
