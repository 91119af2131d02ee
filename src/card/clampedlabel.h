#pragma once

#include <QColor>
#include <QString>
#include <QTextLayout>
#include <QWidget>

#include <memory>

class QFontMetricsF;

// Cuts a one-line path to `width` in its middle, keeping its start and, whenever
// there is room for it, its whole file name ("~/.claude/sk…/SKILL.md"). A file
// name too long for the width is cut in the middle with the rest.
QString elidePath(const QString &path, const QFontMetricsF &metrics, qreal width);

// Plain text wrapped to the widget's width and cut to at most a number of lines,
// the last shown line ending in "…" when text was left out. Text is always text:
// nothing in it is read as markup. Optionally selectable with the mouse and
// copied with the keyboard or the context menu.
//
// Only the first lines are ever laid out, so a label handed a huge text stays
// as quick as one handed its first few lines.
class ClampedLabel final : public QWidget
{
    Q_OBJECT

public:
    explicit ClampedLabel(QWidget *parent = nullptr);
    ~ClampedLabel() override;

    void setText(const QString &text);
    QString text() const { return m_text; }

    // 0 means no limit. With one line, Qt::ElideMiddle cuts it as a path: see elidePath().
    void setMaximumLineCount(int lines, Qt::TextElideMode mode = Qt::ElideRight);
    int maximumLineCount() const { return m_maxLines; }

    void setSelectable(bool selectable);
    bool isSelectable() const { return m_selectable; }
    QString selectedText() const;
    void selectAll();

    // Overrides the palette's text colour; an invalid colour goes back to it.
    void setTextColor(const QColor &color);

    // The text as drawn at the current width, lines joined by "\n".
    QString displayedText() const;
    bool isTruncated() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct Lines;
    const Lines &linesFor(int width) const;
    void invalidateLines();
    qsizetype positionAt(const QPointF &point) const;
    void copySelection() const;

    QString m_text;
    QString m_source; // the part of m_text that can be shown, line breaks as QChar::LineSeparator
    bool m_sourceCut = false;
    int m_maxLines = 0;
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
    bool m_selectable = false;
    QColor m_color;
    qsizetype m_anchor = 0;
    qsizetype m_cursor = 0;
    mutable std::unique_ptr<Lines> m_lines;
};
