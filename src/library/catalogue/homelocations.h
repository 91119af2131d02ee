#pragma once

#include "library/catalogue/toolsource.h"

#include <QList>
#include <QStringList>

// Where Vesk looks in the home folder, told per tool, for someone whose library is
// still empty. Read from the location table, so it follows every change there.

struct ToolHomeLocations {
    ToolSource tool = ToolSource::Custom;
    QStringList paths; // "~/.claude/skills", in table order
};

// For each harness that reads anything in the home folder, in catalogue order: the
// current (not legacy) home locations it reads, leaving out those most tools share,
// which sharedHomeLocations() names once instead.
QList<ToolHomeLocations> homeLocationsByTool();

// The home locations read by most tools ("~/.agents/skills"), in table order.
QStringList sharedHomeLocations();
