#pragma once

#include "library/catalogue/toolsource.h"

// The ways a skill file is read: tools that write frontmatter, tools whose files are
// plain Markdown named by their first heading, and folders that may hold either.
enum class SkillReading {
    Frontmatter,
    Heading,
    FrontmatterOrHeading, // the block, or the heading when the block names nothing
};

// The reading that suits the files `tool` writes.
SkillReading readingFor(ToolSource tool);
