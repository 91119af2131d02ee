#include "detail/highlightedtexteditor.h"

#include "detail/markdownhighlighter.h"

#include "common/palettecolors.h"
#include "common/plaintext.h"

#include <QKeyEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QTextLayout>
#include <QTextBlock>

namespace {

bool isFindKey(QKeyEvent *event)
{
    return event->matches(QKeySequence::Find) || event->matches(QKeySequence::FindNext)
        || event->matches(QKeySequence::FindPrevious);
}

// Keys the window's menus give to the selected skill (switch to the card, toggle
// the favorite) and to Replace…. On X11 a text edit also reads some of them as
// Emacs moves (Ctrl+E to the end of the line, Ctrl+D to delete a character), which
// would leave the user stuck in the editor; the menus win.
bool isWindowKey(const QKeyEvent *event)
{
    const QKeyCombination pressed = event->keyCombination();
    return pressed == QKeyCombination(Qt::CTRL, Qt::Key_E) || pressed == QKeyCombination(Qt::CTRL, Qt::Key_D)
        || pressed == QKeyCombination(Qt::CTRL, Qt::Key_H);
}

} // namespace

// The strip left of the text where the line numbers are drawn; the editor paints it.
class LineNumberGutter final : public QWidget
{
public:
    explicit LineNumberGutter(HighlightedTextEditor *editor)
        : QWidget(editor)
        , m_editor(editor)
    {
        setObjectName(QStringLiteral("lineNumbers"));
    }

protected:
    void paintEvent(QPaintEvent *event) override { m_editor->paintGutter(event); }

private:
    HighlightedTextEditor *m_editor = nullptr;
};

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
    m_gutter = new LineNumberGutter(this);
    m_gutter->hide();
    connect(this, &QPlainTextEdit::blockCountChanged, this, &HighlightedTextEditor::updateGutter);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (!m_lineNumbersShown)
            return;
        if (dy != 0)
            m_gutter->scroll(0, dy);
        else
            m_gutter->update(0, rect.y(), m_gutter->width(), rect.height());
    });
    applyPalette();
}

void HighlightedTextEditor::setLineNumbersShown(bool shown)
{
    if (shown == m_lineNumbersShown)
        return;
    m_lineNumbersShown = shown;
    m_gutter->setVisible(shown);
    updateGutter();
}

int HighlightedTextEditor::gutterWidth() const
{
    if (!m_lineNumbersShown)
        return 0;
    const int digits = QString::number(qMax(1, blockCount())).size();
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * qMax(2, digits);
}

void HighlightedTextEditor::updateGutter()
{
    setViewportMargins(gutterWidth(), 0, 0, 0);
    const QRect area = contentsRect();
    m_gutter->setGeometry(area.left(), area.top(), gutterWidth(), area.height());
    m_gutter->update();
}

void HighlightedTextEditor::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    if (m_lineNumbersShown)
        updateGutter();
}

void HighlightedTextEditor::paintGutter(QPaintEvent *event)
{
    QPainter painter(m_gutter);
    painter.setFont(font());
    painter.setPen(PaletteColors::tertiaryLabel(palette()));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int right = m_gutter->width() - 4;
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        if (block.isVisible() && top + height >= event->rect().top()) {
            // The first line of a block: a wrapped line keeps its one number.
            const int lineHeight = block.layout() && block.layout()->lineCount() > 0
                ? qRound(block.layout()->lineAt(0).height()) : fontMetrics().height();
            painter.drawText(0, top, right, lineHeight, Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(block.blockNumber() + 1));
        }
        top += height;
        block = block.next();
    }
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
    // Tab is typed into the text; Ctrl+Tab leaves it for the next control (and
    // Ctrl+Shift+Tab for the previous), which a text edit would otherwise refuse.
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) && (event->modifiers() & Qt::ControlModifier)) {
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
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

void HighlightedTextEditor::setLineMarks(const QList<LineMark> &marks)
{
    m_lineMarks = marks;
    std::stable_sort(m_lineMarks.begin(), m_lineMarks.end(),
                     [](const LineMark &a, const LineMark &b) { return a.line < b.line; });
    viewport()->update();
}

const LineMark *HighlightedTextEditor::markAt(int line) const
{
    const auto it = std::lower_bound(m_lineMarks.cbegin(), m_lineMarks.cend(), line,
                                     [](const LineMark &mark, int wanted) { return mark.line < wanted; });
    if (it == m_lineMarks.cend() || it->line != line)
        return nullptr;
    // An error outweighs a warning on the same line.
    for (auto next = it; next != m_lineMarks.cend() && next->line == line; ++next) {
        if (next->error)
            return &*next;
    }
    return &*it;
}

void HighlightedTextEditor::goToLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(qBound(1, line, blockCount()) - 1);
    QTextCursor cursor(block);
    setTextCursor(cursor);
    centerCursor();
}

void HighlightedTextEditor::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (!m_lineMarks.isEmpty())
        paintLineMarks(event);
}

namespace {

// One period of the wavy underline, tiled along the line: drawing a tile costs
// the same however long the line, where stroking a wave point by point does not.
QPixmap waveTile(const QColor &color, qreal devicePixelRatio)
{
    QPixmap tile(QSize(4, 3) * devicePixelRatio);
    tile.setDevicePixelRatio(devicePixelRatio);
    tile.fill(Qt::transparent);
    QPainter painter(&tile);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.0));
    painter.drawPolyline(QPolygonF{{0, 2.5}, {2, 0.5}, {4, 2.5}});
    return tile;
}

} // namespace

void HighlightedTextEditor::paintLineMarks(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QColor error = PaletteColors::errorRed(palette());
    const QColor warning = PaletteColors::tint(PaletteColors::Tint::Orange, palette());
    QPixmap errorWave;
    QPixmap warningWave;
    const qreal minimumWidth = 2 * fontMetrics().horizontalAdvance(QLatin1Char('x'));
    const QPointF offset = contentOffset();
    // Only the blocks in view are looked at: a keystroke's repaint stays as cheap
    // in a file of 10,000 lines as in one of ten.
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF bounds = blockBoundingGeometry(block).translated(offset);
        if (bounds.top() > event->rect().bottom())
            break;
        const LineMark *mark = block.isVisible() ? markAt(block.blockNumber() + 1) : nullptr;
        if (!mark || bounds.bottom() < event->rect().top())
            continue;
        // A bar in the margin, seen even on an empty line.
        painter.fillRect(QRectF(2, bounds.top() + 1, 3, bounds.height() - 2), mark->error ? error : warning);
        QPixmap &wave = mark->error ? errorWave : warningWave;
        if (wave.isNull())
            wave = waveTile(mark->error ? error : warning, devicePixelRatioF());
        // A wavy underline under the text of each of the line's rows.
        const QTextLayout *layout = block.layout();
        const QString text = block.text();
        qsizetype firstCharacter = 0;
        while (firstCharacter < text.size() && text.at(firstCharacter).isSpace())
            ++firstCharacter;
        const QPointF origin = bounds.topLeft() + (layout ? layout->position() : QPointF());
        for (int i = 0; layout && i < layout->lineCount(); ++i) {
            const QTextLine row = layout->lineAt(i);
            if (firstCharacter >= row.textStart() + row.textLength() && i + 1 < layout->lineCount())
                continue; // a row of nothing but spaces before the text
            const qreal start = firstCharacter > row.textStart() && firstCharacter < row.textStart() + row.textLength()
                ? row.cursorToX(int(firstCharacter))
                : row.x();
            const qreal end = qMax(row.x() + row.naturalTextWidth(), start + minimumWidth);
            const qreal bottom = origin.y() + row.y() + row.ascent() + row.descent();
            painter.drawTiledPixmap(QRectF(origin.x() + start, bottom - 3, end - start, 3), wave);
        }
    }
}

bool HighlightedTextEditor::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !m_lineMarks.isEmpty()) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QTextBlock block = cursorForPosition(help->pos()).block();
        QStringList messages;
        const auto first = std::lower_bound(m_lineMarks.cbegin(), m_lineMarks.cend(), block.blockNumber() + 1,
                                            [](const LineMark &mark, int wanted) { return mark.line < wanted; });
        for (auto it = first; it != m_lineMarks.cend() && it->line == block.blockNumber() + 1; ++it)
            messages.append(it->message);
        if (!messages.isEmpty()) {
            QToolTip::showText(help->globalPos(), plainToolTip(messages.join(u'\n')), viewport());
            return true;
        }
        QToolTip::hideText();
    }
    return QPlainTextEdit::viewportEvent(event);
}
