#include "browse/skillsearch.h"

#include "browse/skillfilter.h"
#include "library/search/foldedtext.h"
#include "library/records/skill.h"
#include "library/search/searchkey.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <vector>

namespace {

// Which of `keys` contain `needle`. A search of `twoThreadsFrom` bytes or more
// is split at its middle byte and the second half scanned on another thread; the
// keys are copies (their bytes shared, not duplicated), so the records stay on
// their own thread.
std::vector<char> scanKeys(const std::vector<SearchKey> &keys, qsizetype bytes, qsizetype twoThreadsFrom,
                           const FoldedNeedle &needle)
{
    std::vector<char> found(keys.size(), 0);
    const auto scan = [&keys, &needle, &found](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            found[i] = keys[i].exact && keys[i].contains(needle);
    };
    if (bytes < twoThreadsFrom || QThread::idealThreadCount() < 2) {
        scan(0, keys.size());
        return found;
    }
    size_t middle = 0;
    for (qsizetype seen = 0; middle < keys.size() && seen < bytes / 2; ++middle)
        seen += keys[middle].folded.size();
    // Waiting on a task no thread has taken yet runs it here instead.
    QFuture<void> secondHalf = QtConcurrent::run(scan, middle, keys.size());
    scan(0, middle);
    secondHalf.waitForFinished();
    return found;
}

} // namespace

QList<Skill *> SkillSearch::filter(const QList<Skill *> &candidates, const QString &text)
{
    if (text.isEmpty()) {
        forget();
        return candidates;
    }

    // Whatever contains the new text contains any part of it: when the text grew
    // around the last one, the last matches are all that can still match.
    const bool narrowing = m_hasLast && !m_lastText.isEmpty() && text.contains(m_lastText)
        && candidates == m_lastCandidates;
    const QList<Skill *> &pool = narrowing ? m_lastResult : candidates;

    const FoldedNeedle needle(text);
    std::vector<SearchKey> keys;
    qsizetype bytes = 0;
    if (needle.isExact()) {
        keys.reserve(size_t(pool.size()));
        for (Skill *skill : pool) {
            keys.push_back(skill->searchKey()); // made here, on the records' thread, when missing
            bytes += keys.back().folded.size();
        }
    }
    const std::vector<char> found = needle.isExact() ? scanKeys(keys, bytes, m_bytesForTwoThreads, needle) : std::vector<char>();
    QList<Skill *> result;
    for (qsizetype i = 0; i < pool.size(); ++i) {
        Skill *skill = pool.at(i);
        const bool matches = needle.isExact() && keys[size_t(i)].exact ? found[size_t(i)] != 0 : matchesSearch(*skill, text);
        if (matches)
            result.append(skill);
    }

    m_lastCandidates = candidates;
    m_lastResult = result;
    m_lastText = text;
    m_hasLast = true;
    return result;
}

void SkillSearch::forget()
{
    m_hasLast = false;
    m_lastCandidates.clear();
    m_lastResult.clear();
    m_lastText.clear();
}
