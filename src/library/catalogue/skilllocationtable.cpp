// Where each tool reads skills and instruction files, one row per location.
//
// This is the one place to edit when a tool moves its folders: add, change or
// retire a row here, name the documentation it comes from, and the scanner, the
// harness of every stored skill (recomputed at the next scan), the folder watch,
// the legacy notes in the window and the README table (checked by
// tests/library/tst_skilllocations.cpp) all follow.
//
// A folder no tool reads any more is not deleted: mark it legacy and leave the
// harness that used to read it, so a user's skills there stay in the library and
// the window can say why they no longer count.
//
// Rows are visited in this order; home rows come before project rows.

#include "library/catalogue/skilllocations.h"

namespace {

using enum ToolSource;
using enum LocationBase;
using enum LocationHolds;

SkillLocation row(LocationBase base, const char *path, LocationHolds holds, ToolSet readers,
                  const char *source)
{
    return SkillLocation{base, QString::fromUtf8(path), holds, QString(), readers, false,
                         QString::fromUtf8(source)};
}

SkillLocation rules(LocationBase base, const char *path, const char *suffix, ToolSet readers,
                    const char *source)
{
    SkillLocation location = row(base, path, RuleFiles, readers, source);
    location.ruleSuffix = QString::fromUtf8(suffix);
    return location;
}

SkillLocation legacy(SkillLocation location)
{
    location.isLegacy = true;
    return location;
}

} // namespace

const QList<SkillLocation> &SkillLocations::table()
{
    static const QList<SkillLocation> rows{
        // ---- under the home folder ----
        row(Home, ".claude/skills", SkillFolders, {Claude, Copilot, Cursor, OpenCode},
            "code.claude.com/docs/en/skills; GitHub docs add-skills.md; cursor.com/docs/skills; opencode.ai/docs/skills"),
        row(Home, ".claude/CLAUDE.md", NamedFile, {Claude},
            "code.claude.com/docs/en/memory"),
        row(Home, ".agents/skills", SkillFolders, {Codex, Cursor, Copilot, Windsurf, Gemini, OpenCode},
            "learn.chatgpt.com/docs/build-skills; cursor.com/docs/skills; GitHub docs add-skills.md; "
            "docs.windsurf.com/windsurf/cascade/skills; geminicli.com/docs/cli/using-agent-skills; opencode.ai/docs/skills"),
        row(Home, ".cursor/skills", SkillFolders, {Cursor},
            "cursor.com/docs/skills"),
        legacy(row(Home, ".cursor/rules", SkillFolders, {Cursor},
                   "cursor.com/docs/rules: user rules live in Cursor's settings, this folder is not loaded")),
        row(Home, ".codeium/windsurf/skills", SkillFolders, {Windsurf},
            "docs.windsurf.com/windsurf/cascade/skills"),
        row(Home, ".codeium/windsurf/memories", SkillFolders, {Windsurf},
            "docs.windsurf.com/windsurf/cascade/memories: global_rules.md lives here"),
        legacy(row(Home, ".windsurf/rules", SkillFolders, {Windsurf},
                   "docs.windsurf.com/windsurf/cascade/skills: Windsurf reads nothing under ~/.windsurf")),
        row(Home, ".codex/AGENTS.md", NamedFile, {Codex},
            "developers.openai.com/codex/guides/agents-md"),
        legacy(row(Home, ".codex", AgentsFolders, {Codex},
                   "learn.chatgpt.com/docs/build-skills: Codex reads skills from skills folders, not from folders of ~/.codex")),
        row(Home, ".codex/skills", SkillFolders, {Codex, Cursor},
            "learn.chatgpt.com/docs/build-skills (deprecated, still read; .system holds Codex's own); cursor.com/docs/skills"),
        row(Home, ".copilot/skills", SkillFolders, {Copilot},
            "GitHub docs add-skills.md; code.visualstudio.com/docs/agent-customization/agent-skills"),
        row(Home, ".config/amp/AGENTS.md", NamedFile, {Amp},
            "unchanged: no first-party source confirmed a change"),
        row(Home, ".config/amp", AgentsFolders, {Amp},
            "unchanged: no first-party source confirmed a change"),
        row(Home, ".gemini/skills", SkillFolders, {Gemini},
            "geminicli.com/docs/cli/using-agent-skills"),
        row(Home, ".gemini/GEMINI.md", NamedFile, {Gemini},
            "geminicli.com/docs/cli/gemini-md"),
        row(Home, ".config/opencode/skills", SkillFolders, {OpenCode},
            "opencode.ai/docs/skills"),

        // ---- inside each project ----
        row(Project, ".claude/skills", SkillFolders, {Claude, Copilot, Cursor, OpenCode},
            "code.claude.com/docs/en/skills; GitHub docs add-skills.md; cursor.com/docs/skills; opencode.ai/docs/skills"),
        row(Project, "CLAUDE.md", NamedFile, {Claude},
            "code.claude.com/docs/en/memory"),
        row(Project, ".claude/CLAUDE.md", NamedFile, {Claude},
            "code.claude.com/docs/en/memory"),
        rules(Project, ".claude/rules", ".md", {Claude},
              "code.claude.com/docs/en/memory"),
        row(Project, ".agents/skills", SkillFolders, {Codex, Cursor, Copilot, Windsurf, Gemini, OpenCode},
            "learn.chatgpt.com/docs/build-skills; cursor.com/docs/skills; GitHub docs add-skills.md; "
            "docs.windsurf.com/windsurf/cascade/skills; geminicli.com/docs/cli/using-agent-skills; opencode.ai/docs/skills"),
        row(Project, "AGENTS.md", NamedFile, {Codex, Cursor, Copilot, Windsurf, OpenCode},
            "developers.openai.com/codex/guides/agents-md; cursor.com/docs/rules; "
            "code.visualstudio.com/docs/copilot/customization/custom-instructions; docs.windsurf.com; opencode.ai/docs/rules"),
        row(Project, ".cursor/skills", SkillFolders, {Cursor},
            "cursor.com/docs/skills"),
        row(Project, ".cursor/rules", SkillFolders, {Cursor},
            "cursor.com/docs/rules"),
        legacy(row(Project, ".codex/AGENTS.md", NamedFile, {Codex},
                   "learn.chatgpt.com/docs/build-skills: Codex reads a project's .agents/skills and AGENTS.md, not .codex")),
        legacy(row(Project, ".codex", AgentsFolders, {Codex},
                   "learn.chatgpt.com/docs/build-skills: Codex reads a project's .agents/skills and AGENTS.md, not .codex")),
        row(Project, ".codex/skills", SkillFolders, {Cursor},
            "cursor.com/docs/skills (compatibility; Codex documents only .agents/skills)"),
        row(Project, ".windsurf/skills", SkillFolders, {Windsurf},
            "docs.windsurf.com/windsurf/cascade/skills"),
        row(Project, ".windsurf/rules", SkillFolders, {Windsurf},
            "docs.windsurf.com/windsurf/cascade/memories"),
        row(Project, ".github/copilot-instructions.md", NamedFile, {Copilot},
            "code.visualstudio.com/docs/copilot/customization/custom-instructions"),
        rules(Project, ".github/instructions", ".instructions.md", {Copilot},
              "code.visualstudio.com/docs/copilot/customization/custom-instructions"),
        row(Project, ".github/skills", SkillFolders, {Copilot},
            "GitHub docs add-skills.md; code.visualstudio.com/docs/agent-customization/agent-skills"),
        row(Project, ".config/amp/AGENTS.md", NamedFile, {Amp},
            "unchanged: no first-party source confirmed a change"),
        row(Project, ".config/amp", AgentsFolders, {Amp},
            "unchanged: no first-party source confirmed a change"),
        row(Project, "GEMINI.md", NamedFile, {Gemini},
            "geminicli.com/docs/cli/gemini-md"),
        row(Project, ".gemini/skills", SkillFolders, {Gemini},
            "geminicli.com/docs/cli/using-agent-skills"),
        row(Project, ".opencode/skills", SkillFolders, {OpenCode},
            "opencode.ai/docs/skills"),
    };
    return rows;
}
