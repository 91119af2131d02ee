#pragma once

#include <QPlainTextEdit>

class MarkdownHighlighter;

// The plain-text editor of a skill file: monospaced, Markdown coloured as you
// type, its own undo, plain text in and out (pasted rich text arrives as text).
// Ctrl+F while it has the focus asks for the find bar instead of reaching the
// window's skill search; Ctrl+E, Ctrl+D and Ctrl+H reach the window's menus.
class HighlightedTextEditor final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit HighlightedTextEditor(QWidget *parent = nullptr);

    // The text exactly as held, lines ending with "\n" (unlike toPlainText(),
    // which turns no-break spaces into spaces and line separators into line ends).
    QString text() const;
    // Replaces the text and the undo history; the cursor stays where it was as
    // far as the new text reaches.
    void setText(const QString &text);

    MarkdownHighlighter *highlighter() const { return m_highlighter; }

    // Line numbers in a gutter at the leading edge, one per line of the file
    // (a wrapped line is numbered once).
    void setLineNumbersShown(bool shown);
    bool lineNumbersShown() const { return m_lineNumbersShown; }
    // The gutter's width for the current number of lines; 0 while hidden.
    int gutterWidth() const;
    // Colouring on or off (off for a cut, read-only view of a text whose lines
    // are too long to lay out quickly, where thousands of looks on one line
    // would cost seconds).
    void setColouring(bool on);
    bool isColouring() const;

Q_SIGNALS:
    void findRequested();
    void findNextRequested(bool backwards);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    friend class LineNumberGutter;
    void applyPalette();
    void updateGutter();
    void paintGutter(QPaintEvent *event);

    MarkdownHighlighter *m_highlighter = nullptr;
    QWidget *m_gutter = nullptr;
    bool m_lineNumbersShown = false;
};
