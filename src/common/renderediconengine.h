#pragma once

#include <QIconEngine>

#include <functional>

// Registers the bundled icons and artwork compiled into the static library. Safe to
// call any number of times; the icon helpers call it themselves.
void initVeskResources();

// An icon drawn on demand by a render function, at whatever size and scale it is
// asked for, so it stays sharp on every screen.
class RenderedIconEngine final : public QIconEngine
{
public:
    // Returns a square pixmap of `logicalSide` points at `dpr` for the mode.
    using Render = std::function<QPixmap(int logicalSide, qreal dpr, QIcon::Mode mode)>;

    RenderedIconEngine(const QString &name, Render render);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString key() const override;
    QString iconName() override;
    bool isNull() override;
    QIconEngine *clone() const override;

private:
    QString m_name;
    Render m_render;
};

// How strongly a disabled icon shows compared to its normal look.
inline constexpr qreal disabledIconOpacity = 0.4;
