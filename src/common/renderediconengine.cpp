#include "common/renderediconengine.h"

#include <QPainter>

#include <mutex>

// Q_INIT_RESOURCE declares the generated registration function, which lives in the
// global namespace, so this cannot sit inside a namespace.
static void registerResources()
{
    Q_INIT_RESOURCE(resources);
}

void initVeskResources()
{
    static std::once_flag once;
    std::call_once(once, registerResources);
}

RenderedIconEngine::RenderedIconEngine(const QString &name, Render render)
    : m_name(name)
    , m_render(std::move(render))
{
}

void RenderedIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State)
{
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const int side = qMin(rect.width(), rect.height());
    const QPixmap drawn = m_render(side, dpr, mode);
    if (drawn.isNull())
        return;
    painter->drawPixmap(QRect(rect.center() - QPoint(side / 2, side / 2), QSize(side, side)), drawn);
}

// QIcon asks for device pixels and applies the device pixel ratio itself.
QPixmap RenderedIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State)
{
    return m_render(qMin(size.width(), size.height()), 1.0, mode);
}

QSize RenderedIconEngine::actualSize(const QSize &size, QIcon::Mode, QIcon::State)
{
    const int side = qMin(size.width(), size.height());
    return QSize(side, side);
}

QList<QSize> RenderedIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
}

QString RenderedIconEngine::key() const
{
    return QStringLiteral("VeskRendered");
}

QString RenderedIconEngine::iconName()
{
    return m_name;
}

bool RenderedIconEngine::isNull()
{
    return false;
}

QIconEngine *RenderedIconEngine::clone() const
{
    return new RenderedIconEngine(m_name, m_render);
}
