#include "browse/skillsearch.h"

#include "browse/skillfilter.h"
#include "library/search/foldedtext.h"
#include "library/records/skill.h"
#include "library/search/searchkey.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <vector>

namespace {

enum Found : char { No, Yes, Unreadable };

// Which of `keys` hold the needle in memory; the spilled bodies of the others
// go to `unread`, to be read back from their file.
void scanResident(const std::vector<SearchKey> &keys, size_t from, size_t to, const FoldedNeedle &needle,
                  std::vector<char> &found, std::vector<SearchKeyFile::Wanted> &unread)
{
    for (size_t i = from; i < to; ++i) {
        const SearchKey &key = keys[i];
        if (!key.exact)
            continue;
        if (key.residentContains(needle))
            found[i] = Yes;
        else if (key.spilledBody && key.spilledPairs.mayContain(needle.letterPairs()))
            unread.push_back({key.spilledBody.get(), i});
    }
}

void scanRange(const std::vector<SearchKey> &keys, size_t from, size_t to, const FoldedNeedle &needle,
               std::vector<char> &found)
{
    std::vector<SearchKeyFile::Wanted> unread;
    scanResident(keys, from, to, needle, found, unread);
    SearchKeyFile::readEach(unread, [&found, &needle](size_t index, std::optional<QByteArrayView> body) {
        found[index] = !body ? Unreadable : needle.foundIn(*body) ? Yes : No;
    });
}

// Which of `keys` contain `needle` (a Found for each). A search of
// `twoThreadsFrom` bytes or more is split at its middle byte and the second half
// scanned on another thread; the keys are copies (their bytes shared, not
// duplicated), so the records stay on their own thread.
std::vector<char> scanKeys(const std::vector<SearchKey> &keys, qsizetype bytes, qsizetype twoThreadsFrom,
                           const FoldedNeedle &needle)
{
    std::vector<char> found(keys.size(), No);
    if (bytes < twoThreadsFrom || QThread::idealThreadCount() < 2) {
        scanRange(keys, 0, keys.size(), needle, found);
        return found;
    }
    size_t middle = 0;
    for (qsizetype seen = 0; middle < keys.size() && seen < bytes / 2; ++middle)
        seen += keys[middle].size();
    // Waiting on a task no thread has taken yet runs it here instead.
    QFuture<void> secondHalf = QtConcurrent::run([&] { scanRange(keys, middle, keys.size(), needle, found); });
    scanRange(keys, 0, middle, needle, found);
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
            bytes += keys.back().size();
        }
    }
    const std::vector<char> found = needle.isExact() ? scanKeys(keys, bytes, m_bytesForTwoThreads, needle) : std::vector<char>();
    QList<Skill *> result;
    for (qsizetype i = 0; i < pool.size(); ++i) {
        Skill *skill = pool.at(i);
        // A key that could not be read back is searched the plain way.
        const bool exact = needle.isExact() && keys[size_t(i)].exact && found[size_t(i)] != Unreadable;
        const bool matches = exact ? found[size_t(i)] == Yes : matchesSearch(*skill, text);
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
