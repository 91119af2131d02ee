#pragma once

#include "common/sidebarfilter.h"

#include <QList>
#include <QString>

class LibraryHealth;
class Skill;

// Whether one skill belongs to what the sidebar has chosen. Without the library's
// health no skill needs attention.
bool matchesSidebarFilter(const Skill &skill, const SidebarFilter &filter, const LibraryHealth *health = nullptr);

// Case-insensitive substring search over name, then description, then body.
// The text is used as typed: a search for a space is not an empty search.
// This is the rule itself; SkillSearch gives the same answers faster.
bool matchesSearch(const Skill &skill, const QString &searchText);

// The skills the sidebar choice keeps, in the order given.
QList<Skill *> filterBySidebar(const QList<Skill *> &skills, const SidebarFilter &filter,
                               const LibraryHealth *health = nullptr);

// The skills the list shows, in the order given (the store's name order).
QList<Skill *> filterSkills(const QList<Skill *> &skills, const SidebarFilter &filter,
                            const QString &searchText);

// The list column's title for a sidebar choice.
QString listTitle(const SidebarFilter &filter);
