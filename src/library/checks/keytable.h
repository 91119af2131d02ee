#pragma once

#include "library/catalogue/toolsource.h"

#include <QList>
#include <QString>

// The frontmatter keys of SKILL.md that someone documents: the open format's own,
// and those single tools add. A key in no row is unknown to every tool.
struct KnownKey {
    QString key;
    bool standard = false; // part of the open skill format, read by every tool
    ToolSet tools;         // for a tool's own key: the tools that honour it
    QString source;        // the documentation the row comes from
};

namespace KnownKeys {
const QList<KnownKey> &table();
// The row for `key`, or null.
const KnownKey *find(const QString &key);
} // namespace KnownKeys
