#pragma once

#include <QList>
#include <QString>

#include <initializer_list>
#include <optional>

// The catalogue of harnesses: the AI coding tools whose skill files Vesk manages.
// The declaration order is the order every list of harnesses uses. Only raw values
// are ever stored, so a new harness may go anywhere in this list without changing
// how older libraries read.
enum class ToolSource {
    Claude,
    Cursor,
    Windsurf,
    Codex,
    Copilot,
    Aider,
    Amp,
    Gemini,
    OpenCode,
    Custom,
};

// A set of harnesses, small enough to spell in a table row: {ToolSource::Codex, ToolSource::Cursor}.
class ToolSet final
{
public:
    constexpr ToolSet() = default;
    constexpr ToolSet(std::initializer_list<ToolSource> tools)
    {
        for (ToolSource tool : tools)
            m_bits |= bit(tool);
    }

    constexpr bool contains(ToolSource tool) const { return (m_bits & bit(tool)) != 0; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr ToolSet &operator|=(ToolSet other)
    {
        m_bits |= other.m_bits;
        return *this;
    }
    friend constexpr ToolSet operator|(ToolSet a, ToolSet b) { return a |= b; }
    constexpr bool operator==(const ToolSet &) const = default;

    // The members in catalogue order.
    QList<ToolSource> toList() const;

private:
    static constexpr unsigned bit(ToolSource tool) { return 1u << static_cast<unsigned>(tool); }
    unsigned m_bits = 0;
};

namespace Tools {

// All harnesses in catalogue order.
const QList<ToolSource> &allCases();

// The stored identifier ("claude", "cursor", ...).
QString rawValue(ToolSource tool);
// Exact, case-sensitive inverse of rawValue(); anything else yields no value.
std::optional<ToolSource> fromRawValue(const QString &raw);

QString displayName(ToolSource tool);
QString symbolName(ToolSource tool);
// Name of the bundled artwork for harnesses that have their own image, empty otherwise.
QString imageName(ToolSource tool);

// Where each harness reads skills is not a property of the harness but of the
// locations: see library/skilllocations.h.

} // namespace Tools
