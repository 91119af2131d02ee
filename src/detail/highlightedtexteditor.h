#pragma once

#include <QPlainTextEdit>

class MarkdownHighlighter;

// The plain-text editor of a skill file: monospaced, Markdown coloured as you
// type, its own undo, plain text in and out (pasted rich text arrives as text).
// Ctrl+F while it has the focus asks for the find bar instead of reaching the
// window's skill search; Ctrl+E and Ctrl+D reach the window's menus.
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
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyPalette();

    MarkdownHighlighter *m_highlighter = nullptr;
};
