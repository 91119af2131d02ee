#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>


// The bundled monochrome icon set, addressed by symbol names such as "star.fill"
// or "doc.text". Every icon is drawn in a single colour chosen by the caller.
namespace Symbols {

// True when a bundled icon exists for this symbol name.
bool has(const QString &symbolName);

// The symbol tinted with `color` (every currentColor in the SVG replaced), rendered crisply at the
// device pixel ratio for the requested logical size; returns a QIcon with pixmaps for Normal and
// Disabled modes (disabled = color at ~40% alpha). Unknown names give a null QIcon (and never crash).
QIcon icon(const QString &symbolName, const QColor &color);

// Convenience: tinted with the given palette role of QApplication::palette() (default WindowText).
QIcon icon(const QString &symbolName, QPalette::ColorRole role = QPalette::WindowText);

// The symbol drawn in `color`, fitted and centred in `logicalSize`, with a backing store of
// logicalSize * devicePixelRatio pixels. Unknown names or empty sizes give a null pixmap.
QPixmap pixmap(const QString &symbolName, const QColor &color, const QSize &logicalSize,
               qreal devicePixelRatio);

} // namespace Symbols
