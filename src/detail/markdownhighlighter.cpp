#include "detail/markdownhighlighter.h"

#include "common/palettecolors.h"
#include "common/monospacefont.h"

#include <QTextBlock>

MarkdownTheme MarkdownTheme::forPalette(const QPalette &palette)
{
    MarkdownTheme theme;
    theme.base = MonospaceFont::system();
    theme.base.setPointSizeF(13);
    theme.base.setWeight(QFont::Normal);
    theme.bold = theme.base;
    theme.bold.setWeight(QFont::Bold);
    const qreal headingSizes[3] = {18, 16, 14};
    for (int level = 0; level < 3; ++level) {
        theme.heading[level] = theme.bold;
        theme.heading[level].setPointSizeF(headingSizes[level]);
    }
    theme.secondary = PaletteColors::secondaryLabel(palette);
    theme.codeBackground = PaletteColors::quaternaryLabel(palette);
    return theme;
}

QTextCharFormat MarkdownTheme::format(const TextStyle &style) const
{
    QTextCharFormat format;
    switch (style.font) {
    case TextFont::Base:
        break; // the editor's own font
    case TextFont::Bold:
        format.setFont(bold, QTextCharFormat::FontPropertiesAll);
        break;
    case TextFont::Heading1:
    case TextFont::Heading2:
    case TextFont::Heading3:
        format.setFont(heading[int(style.font) - int(TextFont::Heading1)], QTextCharFormat::FontPropertiesAll);
        break;
    }
    if (style.color == TextColor::Secondary)
        format.setForeground(secondary);
    if (style.codeBackground)
        format.setBackground(codeBackground);
    format.setProperty(MarkdownHighlighter::styleKeyProperty, style.key());
    return format;
}

MarkdownHighlighter::MarkdownHighlighter(const MarkdownTheme &theme, QTextDocument *document)
    : QSyntaxHighlighter(document)
{
    setTheme(theme);
}

void MarkdownHighlighter::setTheme(const MarkdownTheme &theme)
{
    m_theme = theme;
    for (int key = 0; key < int(m_formats.size()); ++key)
        m_formats[size_t(key)] = m_theme.format(TextStyle::fromKey(key));
    if (document())
        rehighlight();
}

void MarkdownHighlighter::highlightBlock(const QString &text)
{
    LineState state = LineState::fromInt(previousBlockState());
    const bool firstLine = !currentBlock().previous().isValid();
    for (const StyleRun &run : highlightLine(text, firstLine, state))
        setFormat(run.start, run.length, m_formats[size_t(run.style.key())]);
    setCurrentBlockState(state.toInt());
}
