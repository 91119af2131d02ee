#pragma once

#include <QString>

// The `name` field of a skill file, which the folder's name must match.

// `text` with its frontmatter's `name` set to `name`: the line is replaced where
// there is one, added first in the block where there is none, and a block is
// added where the text has none. Everything else is kept as it was.
QString withNameField(const QString &text, const QString &name);

// Rewrites the file's name field in place (line ends, byte-order mark and links
// kept). False with the reason in `error`.
bool setSkillNameField(const QString &filePath, const QString &name, QString *error);

// Whether `name` is a name a skill folder can have: 1 to 64 lowercase letters (any
// script's), digits and single hyphens, neither first nor last.
bool isValidSkillName(const QString &name);
