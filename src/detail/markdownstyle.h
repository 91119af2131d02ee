#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The line-oriented Markdown colouring of the skill editor, as pure functions:
// which stretches of a line get which look, given where the previous line left
// off. The editor applies them block by block (so a keystroke recolours only
// what it can affect); `highlightWholeText` is the same rules run over a whole
// text from the top, the reference the editor must always agree with.

// The looks a stretch of text can take. Headings of levels 4 to 6 share the
// bold base size, so they use `Bold`.
enum class TextFont : quint8 { Base, Bold, Heading1, Heading2, Heading3 };
enum class TextColor : quint8 { Primary, Secondary };

struct TextStyle {
    TextFont font = TextFont::Base;
    TextColor color = TextColor::Primary;
    bool codeBackground = false;

    bool operator==(const TextStyle &) const = default;
    bool isBase() const { return *this == TextStyle(); }
    // A small number that tells styles apart (for caches and tests).
    int key() const { return int(font) * 4 + int(color) * 2 + int(codeBackground); }
    static TextStyle fromKey(int key);
};

// A stretch of one line, in UTF-16 code units from the line's start.
struct StyleRun {
    int start = 0;
    int length = 0;
    TextStyle style;

    bool operator==(const StyleRun &) const = default;
};

// What a line hands on to the next one.
struct LineState {
    bool inFrontmatter = false;
    bool inCodeBlock = false;

    bool operator==(const LineState &) const = default;
    int toInt() const { return int(inFrontmatter) | int(inCodeBlock) << 1; }
    static LineState fromInt(int value); // negative (no state yet) reads as the start state
};

// The heading level of `line` (1 to 6), or 0 when it is not a heading: a run of
// at most six "#" that ends the line or is followed by a single space.
int headingLevel(QStringView line);

// The styled stretches of one line (without its line end), in order and not
// overlapping; base-styled text is left out. `state` comes in as the previous
// line left it and goes out as this line leaves it.
QList<StyleRun> highlightLine(QStringView line, bool isFirstLine, LineState &state);

// The rules over a whole text split at "\n": one list of runs per line.
QList<QList<StyleRun>> highlightWholeText(const QString &text);
