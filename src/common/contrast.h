#pragma once

#include <QColor>
#include <QList>

// Contrast as accessibility guidelines measure it (WCAG 2): the relative luminance
// of two colours, compared as (lighter + 0.05) / (darker + 0.05). A symbol or badge
// that must be recognised without its label wants at least 3:1 against what it is
// drawn on.
namespace Contrast {

inline constexpr double minimumForGraphics = 3.0;

// 0 for black to 1 for white, from the sRGB channels; alpha is ignored.
double relativeLuminance(const QColor &color);

// `top` painted over `bottom` with `top`'s alpha, as a painter composes them.
QColor over(const QColor &top, const QColor &bottom);

// From 1 (no contrast) to 21 (black on white). A translucent foreground is taken
// as it looks over the background; the background is taken as opaque.
double ratio(const QColor &foreground, const QColor &background);

// `color` with its lightness moved away from the backgrounds, a step at a time,
// until it keeps `minimum` against every one of them (or reaches white or black).
// A colour that already keeps it comes back unchanged.
QColor keptApartFrom(const QColor &color, const QList<QColor> &backgrounds,
                     double minimum = minimumForGraphics);

} // namespace Contrast
