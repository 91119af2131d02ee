#pragma once

#include <Qt>

// Custom item-data roles of every model in the window, in one place so that
// delegates, views and tests agree on them.
namespace ItemRoles {
enum : int {
    SkillRole = Qt::UserRole + 1,    // Skill * of a skill row
    ProjectNameRole,                 // QString, empty for global skills
    IsFavoriteRole,                  // bool
    SidebarFilterRole,               // SidebarFilter a sidebar row stands for
    BadgeCountRole,                  // int, 0 shows no badge
    SymbolNameRole,                  // QString, bundled symbol drawn before the title
    ToolSourceRole,                  // int (ToolSource) for harness rows
    SidebarRowKindRole,              // SidebarRowKind
    CollectionRole,                  // SkillCollection * of a collection row
    DescriptionRole,                 // QString, a skill row's description on one line
    LocationRole,                    // QString, where a skill row lives: "Global" or the project
    IsTurnedOffRole,                 // bool: the skill is turned off (no tool reads it)
    HealthLevelRole,                 // int (HealthLevel): the worst finding that needs attention
    HealthSummaryRole,               // QString: "2 errors, 1 warning", empty when none
    FindingLineRole,                 // int, a finding's line from 1; 0 for the whole file
    FindingLevelRole,                // int (FindingLevel)
};
} // namespace ItemRoles

enum class SidebarRowKind { Section, Filter, NewCollection };

// What a skill row's mark says: nothing, a warning, an error.
enum class HealthLevel { None, Warning, Error };
