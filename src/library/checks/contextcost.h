#pragma once

#include "library/catalogue/toolsource.h"

#include <QList>
#include <QString>

// What a tool loads of every skill it reads before any is used: the names and
// descriptions it lists for the model to choose from.
struct CostItem {
    QString name;
    QString description;
    ToolSet tools;
};

struct HarnessCost {
    ToolSource tool = ToolSource::Claude;
    int skills = 0;
    qsizetype characters = 0;
    qsizetype tokens = 0; // estimated
};

// One row for each tool that reads at least one of the items, in catalogue order.
QList<HarnessCost> contextCost(const QList<CostItem> &items);
// What one item adds to each tool's listing, in characters.
qsizetype listedCharacters(const CostItem &item);
