#pragma once

#include <QString>

// Release notes come from the network, so they are never drawn as HTML: an
// HTML renderer loads the images and style sheets a page names (a local file,
// a device, a pipe) and lays out whatever nesting it is given. This turns the
// notes into plain text instead: tags dropped, paragraphs, breaks and list
// items kept as lines, entities decoded, each link written out with its real
// target, and the whole capped in length and line length.
inline constexpr qsizetype maxReleaseNotesLength = 20'000;
inline constexpr qsizetype maxReleaseNotesLineLength = 400;

QString releaseNotesText(const QString &notes);
