#pragma once

#include <QWidget>

// A hairline in the palette's separator colour: horizontal across its width, or
// vertical with a fixed length (the metadata bar's 16-point dividers).
class Divider final : public QWidget
{
    Q_OBJECT

public:
    explicit Divider(Qt::Orientation orientation, int length = 0, QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation m_orientation;
    int m_length;
};
