#include "library/checks/textdiff.h"

#include <QHash>

#include <dtl/dtl.hpp>

#include <vector>

namespace {

QList<QString> linesOf(QStringView text, int maxLines, int maxLineLength, bool *cut)
{
    QList<QString> lines;
    if (text.endsWith(u'\n'))
        text.chop(1);
    if (text.isEmpty())
        return lines;
    for (QStringView line : text.tokenize(u'\n')) {
        if (lines.size() >= maxLines) {
            *cut = true;
            break;
        }
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.size() > maxLineLength) {
            *cut = true;
            lines.append(line.first(maxLineLength).toString() + QChar(0x2026));
        } else {
            lines.append(line.toString());
        }
    }
    return lines;
}

} // namespace

TextDiff sideBySideDiff(QStringView left, QStringView right, int maxLines, int maxLineLength)
{
    TextDiff diff;
    const QList<QString> a = linesOf(left, maxLines, maxLineLength, &diff.cut);
    const QList<QString> b = linesOf(right, maxLines, maxLineLength, &diff.cut);

    // Lines compared as numbers: one number for each distinct line.
    QHash<QString, int> ids;
    const auto idsOf = [&ids](const QList<QString> &lines) {
        std::vector<int> out;
        out.reserve(lines.size());
        for (const QString &line : lines) {
            auto known = ids.constFind(line);
            if (known == ids.cend())
                known = ids.insert(line, int(ids.size()));
            out.push_back(known.value());
        }
        return out;
    };
    const std::vector<int> sequenceA = idsOf(a);
    const std::vector<int> sequenceB = idsOf(b);
    dtl::Diff<int, std::vector<int>> edits(sequenceA, sequenceB, true); // deletions before additions
    edits.compose();

    QList<int> removed; // indexes into a, of the run since the last shared line
    QList<int> added;   // into b
    const auto flush = [&] {
        const qsizetype paired = qMin(removed.size(), added.size());
        for (qsizetype i = 0; i < qMax(removed.size(), added.size()); ++i) {
            DiffRow row;
            if (i < paired)
                row.kind = DiffRow::Kind::Changed;
            else
                row.kind = i < removed.size() ? DiffRow::Kind::Removed : DiffRow::Kind::Added;
            if (i < removed.size()) {
                row.leftLine = removed.at(i) + 1;
                row.left = a.at(removed.at(i));
            }
            if (i < added.size()) {
                row.rightLine = added.at(i) + 1;
                row.right = b.at(added.at(i));
            }
            diff.rows.append(row);
        }
        removed.clear();
        added.clear();
    };
    for (const auto &[element, info] : edits.getSes().getSequence()) {
        Q_UNUSED(element);
        switch (info.type) {
        case dtl::SES_DELETE:
            removed.append(int(info.beforeIdx - 1));
            break;
        case dtl::SES_ADD:
            added.append(int(info.afterIdx - 1));
            break;
        default:
            flush();
            diff.rows.append({DiffRow::Kind::Same, int(info.beforeIdx), int(info.afterIdx), a.at(info.beforeIdx - 1),
                              b.at(info.afterIdx - 1)});
            break;
        }
    }
    flush();
    return diff;
}
