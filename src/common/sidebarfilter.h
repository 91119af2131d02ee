#pragma once

#include "library/catalogue/toolsource.h"

#include <QHashFunctions>
#include <QMetaType>
#include <QString>

#include <optional>

// What a sidebar row stands for, and what the skill list filters by.
class SidebarFilter final
{
public:
    enum class Kind { All, Favorites, Tool, Collection, Project, TurnedOff, NeedsAttention };

    SidebarFilter() = default; // all
    static SidebarFilter all() { return {}; }
    static SidebarFilter favorites() { return SidebarFilter(Kind::Favorites, ToolSource::Claude, {}); }
    // The skills the user turned off: no tool reads them, Vesk keeps them.
    static SidebarFilter turnedOff() { return SidebarFilter(Kind::TurnedOff, ToolSource::Claude, {}); }
    // The skills whose checks found errors or warnings.
    static SidebarFilter needsAttention() { return SidebarFilter(Kind::NeedsAttention, ToolSource::Claude, {}); }
    static SidebarFilter tool(ToolSource tool) { return SidebarFilter(Kind::Tool, tool, {}); }
    // A collection is named, not referenced: a filter whose collection was deleted
    // simply matches nothing.
    static SidebarFilter collection(const QString &name) { return SidebarFilter(Kind::Collection, ToolSource::Claude, name); }
    // The skills of one project, by the project's name as the list shows it.
    static SidebarFilter project(const QString &name) { return SidebarFilter(Kind::Project, ToolSource::Claude, name); }

    Kind kind() const { return m_kind; }
    ToolSource toolSource() const { return m_tool; }        // meaningful for Kind::Tool
    QString collectionName() const { return m_name; }      // meaningful for Kind::Collection
    QString projectName() const { return m_name; }         // meaningful for Kind::Project

    friend bool operator==(const SidebarFilter &a, const SidebarFilter &b)
    {
        if (a.m_kind != b.m_kind)
            return false;
        if (a.m_kind == Kind::Tool)
            return a.m_tool == b.m_tool;
        if (a.m_kind == Kind::Collection || a.m_kind == Kind::Project)
            return a.m_name == b.m_name;
        return true;
    }
    friend bool operator!=(const SidebarFilter &a, const SidebarFilter &b) { return !(a == b); }

    // Text form used on the command line: all, favorites, off, attention, claude,
    // collection:NAME, project:NAME.
    QString toString() const;
    static std::optional<SidebarFilter> fromString(const QString &text);

private:
    SidebarFilter(Kind kind, ToolSource tool, const QString &name)
        : m_kind(kind), m_tool(tool), m_name(name) {}

    Kind m_kind = Kind::All;
    ToolSource m_tool = ToolSource::Claude;
    QString m_name;
};

size_t qHash(const SidebarFilter &filter, size_t seed = 0);

Q_DECLARE_METATYPE(SidebarFilter)
