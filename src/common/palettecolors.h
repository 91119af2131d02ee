#pragma once

#include <QColor>
#include <QPalette>

// Text colours of decreasing emphasis, derived from the palette so they work in
// light and dark themes alike, and the few fixed accent colours the window uses.
namespace PaletteColors {
QColor label(const QPalette &palette);
QColor secondaryLabel(const QPalette &palette);
QColor tertiaryLabel(const QPalette &palette);
QColor quaternaryLabel(const QPalette &palette);
QColor badgeBackground(const QPalette &palette);
QColor favoriteYellow(const QPalette &palette);
// The warm orange of notices such as the editor's "Modified" badge.
QColor systemOrange(const QPalette &palette);
QColor accent(const QPalette &palette);
bool isDark(const QPalette &palette);

QPalette lightPalette();
QPalette darkPalette();
} // namespace PaletteColors
