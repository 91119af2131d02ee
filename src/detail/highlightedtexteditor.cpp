#include "detail/highlightedtexteditor.h"

#include "detail/markdownhighlighter.h"

#include <QKeyEvent>
#include <QTextBlock>

namespace {

bool isFindKey(QKeyEvent *event)
{
    return event->matches(QKeySequence::Find) || event->matches(QKeySequence::FindNext)
        || event->matches(QKeySequence::FindPrevious);
}

// Keys the window's menus give to the selected skill (switch to the card, toggle
// the favorite). On X11 a text edit also reads them as Emacs moves (Ctrl+E to the
// end of the line, Ctrl+D to delete a character), which would leave the user
// stuck in the editor; the menus win.
bool isWindowKey(const QKeyEvent *event)
{
    const QKeyCombination pressed = event->keyCombination();
    return pressed == QKeyCombination(Qt::CTRL, Qt::Key_E) || pressed == QKeyCombination(Qt::CTRL, Qt::Key_D);
}

} // namespace

HighlightedTextEditor::HighlightedTextEditor(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_highlighter(new MarkdownHighlighter(MarkdownTheme::forPalette(palette()), document()))
{
    setObjectName(QStringLiteral("skillEditor"));
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(false);
    setUndoRedoEnabled(true);
    // 12 points around the text, as in the rest of the detail column.
    document()->setDocumentMargin(12);
    applyPalette();
}

QString HighlightedTextEditor::text() const
{
    QString raw = document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    return raw;
}

void HighlightedTextEditor::setText(const QString &text)
{
    const int anchor = textCursor().anchor();
    const int position = textCursor().position();
    setPlainText(text);
    // Keep the place (a reload after another program's edit) as far as the text reaches.
    const int end = document()->characterCount() - 1;
    QTextCursor cursor(document());
    cursor.setPosition(qMin(anchor, end));
    cursor.setPosition(qMin(position, end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void HighlightedTextEditor::setColouring(bool on)
{
    if (on != isColouring())
        m_highlighter->setDocument(on ? document() : nullptr);
}

bool HighlightedTextEditor::isColouring() const
{
    return m_highlighter->document() != nullptr;
}

bool HighlightedTextEditor::event(QEvent *event)
{
    // Claim the find keys before the window's shortcuts see them.
    if (event->type() == QEvent::ShortcutOverride && isFindKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride && isWindowKey(static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true;
    }
    return QPlainTextEdit::event(event);
}

void HighlightedTextEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Find)) {
        Q_EMIT findRequested();
        return;
    }
    if (event->matches(QKeySequence::FindNext) || event->matches(QKeySequence::FindPrevious)) {
        Q_EMIT findNextRequested(event->matches(QKeySequence::FindPrevious));
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void HighlightedTextEditor::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
}

void HighlightedTextEditor::applyPalette()
{
    const MarkdownTheme theme = MarkdownTheme::forPalette(palette());
    // Only the text's own colour changes with the palette; the font is fixed.
    if (font() != theme.base)
        setFont(theme.base);
    // The column's background shows through, as around the card.
    QPalette colors = palette();
    const QColor window = colors.color(QPalette::Window);
    if (colors.color(QPalette::Base) != window) {
        colors.setColor(QPalette::Base, window);
        setPalette(colors); // sends another PaletteChange, which finds nothing left to do
        return;
    }
    m_highlighter->setTheme(theme);
}
