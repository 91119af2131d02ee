#include "library/catalogue/skillreading.h"

SkillReading readingFor(ToolSource tool)
{
    switch (tool) {
    case ToolSource::Claude:
    case ToolSource::Cursor:
    case ToolSource::Windsurf:
    case ToolSource::Gemini:
    case ToolSource::OpenCode:
        return SkillReading::Frontmatter;
    case ToolSource::Codex:
    case ToolSource::Copilot:
    case ToolSource::Aider:
    case ToolSource::Amp:
        return SkillReading::Heading;
    case ToolSource::Custom:
        break;
    }
    return SkillReading::FrontmatterOrHeading;
}
