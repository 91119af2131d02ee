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

std::optional<SkillOrigin> originOf(const QStringList &folders, LockFileCache &cache)
{
    for (const QString &candidate : folders) {
        const QString folder = QDir::cleanPath(candidate);
        const QString name = QFileInfo(folder).fileName();
        const QString parent = QFileInfo(folder).absolutePath();
        if (!isSafeSkillName(name))
            continue;
        const QString project = scopeOf(folder + QStringLiteral("/SKILL.md"));
        bool inToolFolder = false;
        for (const PlacementTool &tool : placementTools())
            inToolFolder = inToolFolder || placementFolder(tool, project) == parent;
        if (!inToolFolder)
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
