#pragma once

#include "library/catalogue/toolsource.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>

// The badge shown for a harness: its own artwork where Vesk bundles one, otherwise
// its symbol drawn in `symbolColor`.
QIcon toolIcon(ToolSource tool, const QColor &symbolColor);
QPixmap toolPixmap(ToolSource tool, int logicalSize, qreal dpr, const QColor &symbolColor);

// Vesk's own icon, with pixmaps from 16 to 256 pixels for window managers and docks.
QIcon applicationIcon();
