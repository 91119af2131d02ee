#include "browse/skillsearch.h"

#include "browse/skillfilter.h"
#include "library/search/foldedtext.h"
#include "library/records/skill.h"

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
    QList<Skill *> result;
    for (Skill *skill : pool) {
        const bool matches = needle.isExact() && skill->searchKey().exact ? skill->searchKey().contains(needle)
                                                                          : matchesSearch(*skill, text);
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
