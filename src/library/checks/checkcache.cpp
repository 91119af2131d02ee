#include "library/checks/checkcache.h"

#include "library/checks/skillchecker.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// The change and modification times of `path`, mixed into one number; 0 when absent.
qint64 times(const QByteArray &path, qint64 *size = nullptr)
{
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return 0;
    if (size)
        *size = status.st_size;
    // Mixed in unsigned arithmetic, which wraps where signed arithmetic would overflow.
    const quint64 mixed = quint64(nanoseconds(status.st_mtim)) * 31u + quint64(nanoseconds(status.st_ctim))
        + quint64(status.st_ino);
    return qint64(mixed);
}

} // namespace

CheckCache::Stamp CheckCache::stampOf(const QString &path)
{
    Stamp stamp;
    stamp.fileTimes = times(QFile::encodeName(path), &stamp.size);
    if (checkedKindFor(path) == CheckedKind::SkillFile) {
        const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
        stamp.folderTimes = times(folder);
        for (const char *supporting : {"/scripts", "/references", "/assets"})
            stamp.folderTimes = qint64(quint64(stamp.folderTimes) * 17u + quint64(times(folder + supporting)));
    }
    return stamp;
}

const CheckCache::Entry &CheckCache::entryFor(const QString &path)
{
    const Stamp stamp = stampOf(path);
    auto it = m_entries.find(path);
    if (it != m_entries.end() && it->first == stamp && stamp.size >= 0) {
        ++m_reused;
        markAsked(it->second);
        return it->second;
    }
    if (it == m_entries.end() || it->second.round != m_round)
        ++m_askedThisRound;
    ++m_checked;
    Entry entry;
    entry.findings = checkSkillFile(path, &entry.digest);
    entry.round = m_round;
    it = m_entries.insert(path, {stamp, std::move(entry)});
    m_fresh.insert(path);
    return it->second;
}

const CheckCache::Entry &CheckCache::keptEntryFor(const QString &path)
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end())
        return entryFor(path);
    ++m_reused;
    markAsked(it->second);
    return it->second;
}

void CheckCache::markAsked(Entry &entry)
{
    if (entry.round != m_round)
        ++m_askedThisRound;
    entry.round = m_round;
}

void CheckCache::restore(const QString &path, const Stamp &stamp, Entry entry)
{
    m_entries.insert(path, {stamp, std::move(entry)});
}

const std::pair<CheckCache::Stamp, CheckCache::Entry> *CheckCache::find(const QString &path) const
{
    const auto it = m_entries.constFind(path);
    return it == m_entries.cend() ? nullptr : &*it;
}

QStringList CheckCache::forgetUnasked()
{
    QStringList forgotten;
    // Nearly every round asks for every file: then nothing is walked.
    if (m_askedThisRound == m_entries.size())
        return forgotten;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.round == m_round) {
            ++it;
            continue;
        }
        forgotten.append(it.key());
        m_fresh.remove(it.key());
        it = m_entries.erase(it);
    }
    return forgotten;
}
