#pragma once

#include <QFont>

// The font for text that must line up in columns (the editor, paths, previews).
// The system's fixed font when its glyphs really are of one width, else the first
// installed of the well-known monospaced families. Whether a font is monospaced
// is measured, not asked: some monospaced fonts do not carry fontconfig's
// spacing flag, and a desktop may name a proportional font as its fixed one.
namespace MonospaceFont {

// True when "i", "W" and "0" take the same width in `font`.
bool isMonospaced(const QFont &font);

// `preferred` when it is monospaced, else the first monospaced of the known
// families (in `preferred`'s size and weight); `preferred` when none is.
QFont monospacedOr(const QFont &preferred);

// The system's fixed font, checked as above.
QFont system();

} // namespace MonospaceFont
