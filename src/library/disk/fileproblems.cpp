#include "library/disk/fileproblems.h"

#include <QMutexLocker>

void FileProblems::report(const QString &path, const QString &reason)
{
    {
        const QMutexLocker locker(&m_mutex);
        const auto found = m_reasons.constFind(path);
        if (found != m_reasons.cend() && *found == reason)
            return;
        m_reasons.insert(path, reason);
    }
    Q_EMIT changed();
}

void FileProblems::clear(const QString &path)
{
    {
        const QMutexLocker locker(&m_mutex);
        if (m_reasons.remove(path) == 0)
            return;
    }
    Q_EMIT changed();
}

void FileProblems::clearAll()
{
    {
        const QMutexLocker locker(&m_mutex);
        if (m_reasons.isEmpty())
            return;
        m_reasons.clear();
    }
    Q_EMIT changed();
}

QList<FileProblem> FileProblems::all() const
{
    const QMutexLocker locker(&m_mutex);
    QList<FileProblem> problems;
    problems.reserve(m_reasons.size());
    for (auto it = m_reasons.cbegin(); it != m_reasons.cend(); ++it)
        problems.append({it.key(), it.value()});
    return problems;
}

bool FileProblems::isEmpty() const
{
    const QMutexLocker locker(&m_mutex);
    return m_reasons.isEmpty();
}
