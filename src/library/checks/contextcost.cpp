#include "library/checks/contextcost.h"

#include "library/checks/skillchecker.h"

qsizetype listedCharacters(const CostItem &item)
{
    // "- name: description" and a line break, as the tools list them.
    return item.name.size() + item.description.size() + 5;
}

QList<HarnessCost> contextCost(const QList<CostItem> &items)
{
    QList<HarnessCost> rows;
    for (ToolSource tool : Tools::allCases()) {
        HarnessCost row;
        row.tool = tool;
        for (const CostItem &item : items) {
            if (!item.tools.contains(tool))
                continue;
            ++row.skills;
            row.characters += listedCharacters(item);
        }
        row.tokens = estimatedTokens(row.characters);
        if (row.skills > 0)
            rows.append(row);
    }
    return rows;
}
