#include "library/checks/skilltext.h"

namespace {

bool isFence(QStringView line)
{
    if (line.endsWith(u'\r'))
        line.chop(1);
    return line.trimmed() == u"---";
}

} // namespace

SkillTextParts splitSkillText(QStringView text)
{
    SkillTextParts parts;
    parts.body = text;
    if (text.startsWith(u'\uFEFF'))
        text = text.sliced(1);
    qsizetype feed = text.indexOf(u'\n');
    if (!isFence(text.first(feed < 0 ? text.size() : feed)))
        return parts;
    parts.opens = true;
    if (feed < 0)
        return parts;
    const qsizetype blockBegin = feed + 1;
    qsizetype begin = blockBegin;
    int line = 2;
    while (begin <= text.size()) {
        feed = text.indexOf(u'\n', begin);
        const qsizetype end = feed < 0 ? text.size() : feed;
        if (isFence(text.sliced(begin, end - begin))) {
            parts.closes = true;
            parts.closingLine = line;
            parts.block = text.sliced(blockBegin, begin - blockBegin);
            parts.body = feed < 0 ? QStringView() : text.sliced(feed + 1);
            parts.bodyFirstLine = line + 1;
            return parts;
        }
        if (feed < 0)
            break;
        begin = feed + 1;
        ++line;
    }
    return parts;
}
