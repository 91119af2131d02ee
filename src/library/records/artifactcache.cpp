#include "library/records/artifactcache.h"

#include <QMutexLocker>

QList<SkillArtifact> ArtifactCache::artifacts(const QString &skillFilePath) const
{
    const QMutexLocker locker(&m_mutex);
    return m_cache.value(skillFilePath);
}

void ArtifactCache::setArtifacts(const QList<SkillArtifact> &list, const QString &skillFilePath)
{
    const QMutexLocker locker(&m_mutex);
    m_cache.insert(skillFilePath, list);
}
