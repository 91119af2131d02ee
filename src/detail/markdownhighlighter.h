#pragma once

#include "detail/markdownstyle.h"

#include <QColor>
#include <QFont>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>

class QPalette;

// The fonts and colours the looks of markdownstyle.h stand for.
struct MarkdownTheme {
    QFont base;       // monospaced, 13 points, regular
    QFont bold;       // the same, bold
    QFont heading[3]; // bold at 18, 16 and 14 points (levels 1 to 3)
    QColor secondary; // frontmatter and fence lines
    QColor codeBackground;

    // The theme for `palette` (its label colours fade into the background, so
    // light and dark both work).
    static MarkdownTheme forPalette(const QPalette &palette);
    QTextCharFormat format(const TextStyle &style) const;
};

// Colours the skill editor's document line by line. Each block keeps the line
// state the rules hand on, so after an edit Qt recolours the edited blocks and
// then only the following ones whose incoming state changed: a keystroke costs
// a line or two, and the outcome is the whole-text pass's.
class MarkdownHighlighter final : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    // Every format it sets carries the style's key under this property, so the
    // applied looks can be read back.
    static constexpr int styleKeyProperty = QTextFormat::UserProperty + 1;

    MarkdownHighlighter(const MarkdownTheme &theme, QTextDocument *document);

    void setTheme(const MarkdownTheme &theme);

protected:
    void highlightBlock(const QString &text) override;

private:
    MarkdownTheme m_theme;
    std::array<QTextCharFormat, 20> m_formats; // by style key (five fonts, two colours, a background)
};
