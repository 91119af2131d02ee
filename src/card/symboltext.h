#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QPainter;

// A symbol (or a harness's artwork) followed by one line of plain text, the way
// the card draws its headings, facts, badges and chips.
struct SymbolText {
    QString symbolName;   // a bundled symbol, drawn in `symbolColor` (or `color`)
    QPixmap artwork;      // drawn as it is instead of a symbol; logical size from its ratio
    QString text;
    QFont font;
    QColor color;
    QColor symbolColor;   // invalid: the text colour
    qreal symbolScale = 1.0; // symbol height relative to the font's cap height
    int spacing = 4;

    int symbolSide() const;
    QSize sizeHint() const;
    // Draws symbol and text left-aligned and centred vertically in `rect`.
    void paint(QPainter &painter, const QRect &rect, qreal devicePixelRatio) const;
};

// The usual symbol scales: "small" beside captions and headings, "medium" elsewhere.
namespace SymbolScale {
constexpr qreal small = 1.3;
constexpr qreal medium = 1.6;
} // namespace SymbolScale

// A point size as the design gives it, as a Qt font of the desktop's family.
QFont designFont(qreal points, QFont::Weight weight = QFont::Normal);
QFont designMonospaceFont(qreal points, QFont::Weight weight = QFont::Normal);

// A SymbolText as a widget, optionally on a filled capsule (badges).
class SymbolLabel final : public QWidget
{
    Q_OBJECT

public:
    explicit SymbolLabel(const SymbolText &content, QWidget *parent = nullptr);

    const SymbolText &content() const { return m_content; }
    void setContent(const SymbolText &content);
    QString text() const { return m_content.text; }

    // Draws the content on a capsule of `fill`, padded by `padding` on each side.
    void setCapsule(const QColor &fill, const QMargins &padding);
    QColor capsuleFill() const { return m_fill; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SymbolText m_content;
    QColor m_fill;
    QMargins m_padding;
};

// A SymbolText that acts as a plain button: no frame, a pointing hand, dimmed while pressed.
class SymbolButton final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit SymbolButton(const SymbolText &content, QWidget *parent = nullptr);

    void setContent(const SymbolText &content);
    const SymbolText &content() const { return m_content; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SymbolText m_content;
};
