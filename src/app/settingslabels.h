#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;

// The settings pages' sizes are drawn for a 13-point system font; they are
// scaled to the desktop's own font size so the pages keep their proportions.
QFont designFont(const QFont &base, qreal designPoints, bool bold = false);

// A label in one of the palette's text colours, optionally at a design size.
QLabel *colouredLabel(const QString &text, const QColor &colour, qreal designPoints = 0);
