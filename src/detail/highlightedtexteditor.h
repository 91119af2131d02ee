#pragma once

#include <QList>
#include <QPlainTextEdit>

class MarkdownHighlighter;

// A line the checks found something wrong with, marked in the text.
struct LineMark {
    int line = 0;       // from 1
    bool error = false; // an error (red); otherwise a warning (orange)
    QString message;    // shown as a tooltip over the line, as plain text
};

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

    // Marks lines with a wavy underline and a bar in the margin. Drawn apart from
    // the extra selections, which belong to the find bar.
    void setLineMarks(const QList<LineMark> &marks);
    const QList<LineMark> &lineMarks() const { return m_lineMarks; }
    // Puts the cursor at the start of line `line` (from 1, clamped to the text)
    // and scrolls it into the middle of the view.
    void goToLine(int line);

Q_SIGNALS:
    void findRequested();
    void findNextRequested(bool backwards);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    friend class LineNumberGutter;
    void applyPalette();
    void updateGutter();
    void paintGutter(QPaintEvent *event);
    void paintLineMarks(QPaintEvent *event);
    const LineMark *markAt(int line) const;

    MarkdownHighlighter *m_highlighter = nullptr;
    QWidget *m_gutter = nullptr;
    bool m_lineNumbersShown = false;
    QList<LineMark> m_lineMarks; // in line order
};
