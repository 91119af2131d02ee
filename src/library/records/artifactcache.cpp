#include "library/records/artifactcache.h"

#include <QMutexLocker>

namespace {

QString folderOf(const QString &skillFilePath)
{
    const qsizetype slash = skillFilePath.lastIndexOf(u'/');
    return slash < 0 ? QString() : skillFilePath.left(slash);
}

} // namespace

QList<SkillArtifact> ArtifactCache::artifacts(const QString &skillFilePath) const
{
    Listing listing;
    {
        const QMutexLocker locker(&m_mutex);
        listing = m_cache.value(skillFilePath);
    }
    if (listing.compact.isEmpty())
        return listing.whole;
    const QString folder = folderOf(skillFilePath);
    QList<SkillArtifact> artifacts;
    artifacts.reserve(listing.compact.size());
    for (const Compact &compact : std::as_const(listing.compact)) {
        SkillArtifact artifact = artifactAt(folder, compact.relativePath);
        artifact.id = compact.id;
        artifacts.append(std::move(artifact));
    }
    return artifacts;
}

void ArtifactCache::expect(qsizetype skillFiles)
{
    const QMutexLocker locker(&m_mutex);
    if (m_cache.size() < skillFiles / 4)
        m_cache.reserve(skillFiles);
}

void ArtifactCache::setArtifacts(const QList<SkillArtifact> &list, const QString &skillFilePath)
{
    Listing listing;
    const QString folder = folderOf(skillFilePath);
    listing.compact.reserve(list.size());
    for (const SkillArtifact &artifact : list) {
        SkillArtifact spelt = artifactAt(folder, artifact.relativePath);
        spelt.id = artifact.id;
        if (folder.isEmpty() || spelt != artifact) {
            listing.compact.clear();
            listing.whole = list;
            break;
        }
        listing.compact.append({artifact.id, artifact.relativePath});
    }
    listing.compact.squeeze();
    const QMutexLocker locker(&m_mutex);
    m_cache.insert(skillFilePath, std::move(listing));
}
