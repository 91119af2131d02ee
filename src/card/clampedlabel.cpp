#include "card/clampedlabel.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLine>

#include <cmath>

namespace {

// No line of a label is wider than this many characters on any screen, so
// text past it for every allowed line can never show.
constexpr qsizetype charactersPerLine = 1000;
constexpr QChar ellipsis(0x2026);

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c.isMark();
}

} // namespace

QString elidePath(const QString &path, const QFontMetricsF &metrics, qreal width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash > 0) {
        const QString fileName = path.mid(slash); // with its leading "/"
        const qreal room = width - metrics.horizontalAdvance(fileName);
        // Some of the start must show too, or the path reads as a bare file name.
        if (room >= metrics.horizontalAdvance(path.left(2) + ellipsis)) {
            const QString start = metrics.elidedText(path.left(slash), Qt::ElideRight, room);
            if (!start.isEmpty())
                return start + fileName;
        }
    }
    return metrics.elidedText(path, Qt::ElideMiddle, width);
}

// The text laid out for one width: the lines shown whole, then, when text was
// left out, one more line cut with "…" and laid out on its own.
struct ClampedLabel::Lines {
    int width = -1;
    QTextLayout body;
    int bodyLines = 0;
    bool hasTail = false;
    QTextLayout tail;
    qsizetype tailStart = 0; // where the cut line begins in the source
    qsizetype tailShown = 0; // source characters the cut line shows before its "…"
    bool tailMapsToSource = true;
    qreal tailY = 0;
    qreal height = 0;
};

ClampedLabel::ClampedLabel(QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

ClampedLabel::~ClampedLabel() = default;

void ClampedLabel::setText(const QString &text)
{
    if (text == m_text && !m_source.isNull())
        return;
    m_text = text;
    QString source = text;
    source.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_sourceCut = false;
    if (m_maxLines > 0) {
        qsizetype cut = std::min(source.size(), m_maxLines * charactersPerLine);
        qsizetype breaks = 0;
        for (qsizetype i = 0; i < cut; ++i) {
            if (source.at(i) == u'\n' && ++breaks == m_maxLines) {
                cut = i;
                break;
            }
        }
        const QStringView rest = QStringView(source).sliced(cut);
        m_sourceCut = !rest.trimmed().isEmpty();
        source.truncate(cut);
    }
    source.replace(QLatin1Char('\n'), QChar::LineSeparator);
    m_source = source.isNull() ? QStringLiteral("") : source;
    m_anchor = m_cursor = 0;
    invalidateLines();
}

void ClampedLabel::setMaximumLineCount(int lines, Qt::TextElideMode mode)
{
    m_maxLines = std::max(0, lines);
    m_elideMode = mode;
    const QString text = m_text;
    m_text.clear();
    m_source = QString();
    setText(text);
}

void ClampedLabel::setSelectable(bool selectable)
{
    m_selectable = selectable;
    setFocusPolicy(selectable ? Qt::ClickFocus : Qt::NoFocus);
    setCursor(selectable ? Qt::IBeamCursor : Qt::ArrowCursor);
    setContextMenuPolicy(selectable ? Qt::DefaultContextMenu : Qt::NoContextMenu);
    m_anchor = m_cursor = 0;
    update();
}

void ClampedLabel::setTextColor(const QColor &color)
{
    m_color = color;
    update();
}

void ClampedLabel::invalidateLines()
{
    m_lines.reset();
    updateGeometry();
    update();
}

const ClampedLabel::Lines &ClampedLabel::linesFor(int width) const
{
    if (m_lines && m_lines->width == width)
        return *m_lines;
    auto lines = std::make_unique<Lines>();
    lines->width = width;
    const qreal lineWidth = std::max(1, width);
    const QFont font = this->font();
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    lines->body.setText(m_source);
    lines->body.setFont(font);
    lines->body.setTextOption(option);
    lines->body.setCacheEnabled(true);
    lines->body.beginLayout();
    qreal y = 0;
    while (true) {
        QTextLine line = lines->body.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, y));
        const qsizetype end = line.textStart() + line.textLength();
        const bool isLastAllowed = m_maxLines > 0 && lines->bodyLines + 1 == m_maxLines;
        if (isLastAllowed && (end < m_source.size() || m_sourceCut)) {
            lines->hasTail = true;
            lines->tailStart = line.textStart();
            lines->tailY = y;
            lines->height = y + line.height();
            break;
        }
        ++lines->bodyLines;
        y += line.height();
        lines->height = y;
    }
    lines->body.endLayout();

    if (lines->hasTail) {
        const QFontMetricsF metrics(font);
        QString shown;
        if (m_maxLines == 1 && m_elideMode != Qt::ElideRight) {
            // One line cut elsewhere than at its end (a path keeps its file name):
            // the cut line no longer maps onto the source.
            QString whole = m_source;
            whole.replace(QChar::LineSeparator, QLatin1Char(' '));
            shown = m_elideMode == Qt::ElideMiddle ? elidePath(whole, metrics, lineWidth)
                                                   : metrics.elidedText(whole, m_elideMode, lineWidth);
            lines->tailMapsToSource = false;
        } else {
            qsizetype paragraphEnd = m_source.indexOf(QChar::LineSeparator, lines->tailStart);
            if (paragraphEnd < 0)
                paragraphEnd = m_source.size();
            const QString rest = m_source.mid(lines->tailStart,
                                              std::min(paragraphEnd - lines->tailStart, charactersPerLine));
            shown = metrics.elidedText(rest, Qt::ElideRight, lineWidth);
            if (shown == rest) // the paragraph fits, but more text follows it
                shown = metrics.elidedText(rest + ellipsis, Qt::ElideRight, lineWidth);
            lines->tailShown = shown.endsWith(ellipsis) ? shown.size() - 1 : shown.size();
        }
        lines->tail.setText(shown);
        lines->tail.setFont(font);
        lines->tail.beginLayout();
        QTextLine line = lines->tail.createLine();
        line.setLineWidth(1e6);
        line.setPosition(QPointF(0, 0));
        lines->tail.endLayout();
    }
    m_lines = std::move(lines);
    return *m_lines;
}

QString ClampedLabel::displayedText() const
{
    const Lines &lines = linesFor(width());
    QStringList shown;
    for (int i = 0; i < lines.bodyLines; ++i) {
        const QTextLine line = lines.body.lineAt(i);
        QString text = m_source.mid(line.textStart(), line.textLength());
        if (text.endsWith(QChar::LineSeparator))
            text.chop(1);
        shown.append(text);
    }
    if (lines.hasTail)
        shown.append(lines.tail.text());
    return shown.join(QLatin1Char('\n'));
}

bool ClampedLabel::isTruncated() const
{
    return linesFor(width()).hasTail;
}

QSize ClampedLabel::sizeHint() const
{
    // As wide as the longest line that can show, as tall as that width needs.
    const QFontMetricsF metrics(font());
    qreal widest = 0;
    for (const QStringView paragraph : QStringView(m_source).split(QChar::LineSeparator))
        widest = std::max(widest, metrics.horizontalAdvance(paragraph.toString()));
    const int width = int(std::ceil(std::min<qreal>(widest, 100000)));
    return QSize(width, heightForWidth(std::max(width, 1)));
}

QSize ClampedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    const int oneLine = m_source.isEmpty() ? 0 : metrics.height();
    // A path cut to one line keeps its start and its whole file name: that much it needs.
    const qsizetype slash = m_source.lastIndexOf(u'/');
    if (m_elideMode == Qt::ElideMiddle && m_maxLines == 1 && slash > 0) {
        const QString least = m_source.left(2) + ellipsis + m_source.mid(slash);
        return QSize(std::min(int(std::ceil(QFontMetricsF(font()).horizontalAdvance(least))) + 1,
                              sizeHint().width()),
                     oneLine);
    }
    return QSize(metrics.horizontalAdvance(QStringLiteral("MMM…")), oneLine);
}

bool ClampedLabel::hasHeightForWidth() const
{
    return true;
}

int ClampedLabel::heightForWidth(int width) const
{
    return int(std::ceil(linesFor(width).height));
}

void ClampedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const Lines &lines = linesFor(width());
    painter.setPen(m_color.isValid() ? m_color : palette().color(foregroundRole()));

    const qsizetype from = std::min(m_anchor, m_cursor);
    const qsizetype to = std::max(m_anchor, m_cursor);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));

    QList<QTextLayout::FormatRange> bodySelection;
    if (to > from)
        bodySelection.append({int(from), int(to - from), selected});
    painter.save();
    if (lines.hasTail)
        painter.setClipRect(QRectF(0, 0, width(), lines.tailY));
    lines.body.draw(&painter, QPointF(0, 0), bodySelection);
    painter.restore();

    if (lines.hasTail) {
        QList<QTextLayout::FormatRange> tailSelection;
        if (lines.tailMapsToSource && to > lines.tailStart) {
            const qsizetype start = std::max<qsizetype>(from - lines.tailStart, 0);
            const qsizetype end = std::min<qsizetype>(to - lines.tailStart, lines.tailShown);
            if (end > start)
                tailSelection.append({int(start), int(end - start), selected});
        }
        lines.tail.draw(&painter, QPointF(0, lines.tailY), tailSelection);
    }
}

void ClampedLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        invalidateLines();
    QWidget::changeEvent(event);
}

qsizetype ClampedLabel::positionAt(const QPointF &point) const
{
    const Lines &lines = linesFor(width());
    if (lines.hasTail && point.y() >= lines.tailY) {
        if (!lines.tailMapsToSource)
            return 0;
        const int index = lines.tail.lineAt(0).xToCursor(point.x());
        return lines.tailStart + std::min<qsizetype>(index, lines.tailShown);
    }
    for (int i = 0; i < lines.bodyLines; ++i) {
        const QTextLine line = lines.body.lineAt(i);
        if (point.y() < line.y() + line.height() || i + 1 == lines.bodyLines)
            return line.xToCursor(point.x());
    }
    return 0;
}

void ClampedLabel::mousePressEvent(QMouseEvent *event)
{
    if (!m_selectable || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_cursor = positionAt(event->position());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_anchor = m_cursor;
    update();
}

void ClampedLabel::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selectable || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    m_cursor = positionAt(event->position());
    update();
}

void ClampedLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_selectable || event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    const qsizetype at = positionAt(event->position());
    qsizetype start = at;
    qsizetype end = at;
    while (start > 0 && isWordCharacter(m_source.at(start - 1)))
        --start;
    while (end < m_source.size() && isWordCharacter(m_source.at(end)))
        ++end;
    m_anchor = start;
    m_cursor = end;
    update();
}

void ClampedLabel::keyPressEvent(QKeyEvent *event)
{
    if (m_selectable && event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (m_selectable && event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ClampedLabel::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_selectable)
        return;
    QMenu menu(this);
    QAction *copy = menu.addAction(tr("Copy"), this, &ClampedLabel::copySelection);
    copy->setEnabled(m_anchor != m_cursor);
    menu.addAction(tr("Select All"), this, &ClampedLabel::selectAll);
    menu.exec(event->globalPos());
}

QString ClampedLabel::selectedText() const
{
    const qsizetype from = std::min(m_anchor, m_cursor);
    const qsizetype to = std::max(m_anchor, m_cursor);
    QString text = m_source.mid(from, to - from);
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void ClampedLabel::selectAll()
{
    const Lines &lines = linesFor(width());
    m_anchor = 0;
    m_cursor = lines.hasTail ? lines.tailStart + lines.tailShown : m_source.size();
    update();
}

void ClampedLabel::copySelection() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}
