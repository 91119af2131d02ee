#pragma once

#include <QList>
#include <QString>
#include <QWidget>

// A row of icon segments of which exactly one is chosen, drawn as one rounded
// control (the card/editor switch). Clicking a segment, or the arrow keys while
// it has focus, emits `segmentActivated`; the owner decides whether to follow
// and calls setCurrentIndex. So a refused switch never shows as chosen.
class SegmentedControl final : public QWidget
{
    Q_OBJECT

public:
    SegmentedControl(const QStringList &symbolNames, int segmentWidth, QWidget *parent = nullptr);

    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    int count() const { return int(m_symbols.size()); }
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void segmentActivated(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int segmentAt(const QPoint &position) const;

    QStringList m_symbols;
    int m_segmentWidth = 40;
    int m_current = 0;
    int m_hovered = -1;
};
