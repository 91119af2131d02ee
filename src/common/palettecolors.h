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
// The star a favourite wears in the list and the detail column: the yellow, kept
// at 3:1 against the fills it sits on (a light yellow on white is barely there).
QColor favoriteStar(const QPalette &palette);
// A notice badge over text (the editor's "Modified"): a tint of orange, and the
// orange its word is written in, deep enough to read on that tint.
QColor noticeBadgeFill(const QPalette &palette);
QColor noticeBadgeText(const QPalette &palette);
QColor accent(const QPalette &palette);
// The fills behind a row of the sidebar or the list: under the pointer, and
// selected while the window is not active (the active selection is the accent).
QColor hoverFill(const QPalette &palette);
QColor inactiveSelectionFill(const QPalette &palette);
// A count badge on a row selected in the active window, over the accent.
QColor badgeBackgroundOnAccent(const QPalette &palette);
// The accent as the sidebar's own symbols wear it: moved away from the sidebar's
// fills until it keeps 3:1 against each, since a deep blue that reads on a light
// sidebar all but vanishes on a dark grey one.
QColor sidebarSymbol(const QPalette &palette);
bool isDark(const QPalette &palette);

// `color` with its opacity multiplied by `opacity`.
QColor faded(QColor color, qreal opacity);

// The fixed accents of supporting files and their chips, the same in both themes.
QColor vividOrange();
QColor violet();
QColor lime();
// Lime for text and symbols drawn on the palette's background. The fixed lime is
// a light colour that all but disappears on white, so a light background gets a
// deep olive of the same hue; a dark one keeps the fixed lime.
QColor lime(const QPalette &palette);

// The desktop's named tints, each a little brighter on a dark background so it
// keeps its contrast there.
enum class Tint { Orange, Blue, Teal, Green, Purple, Yellow, Pink, Gray, Cyan, Indigo, Brown };
QColor tint(Tint tint, const QPalette &palette);

// The red that marks an error: deep on a light background, lighter on a dark one.
QColor errorRed(const QPalette &palette);

QPalette lightPalette();
QPalette darkPalette();
} // namespace PaletteColors
