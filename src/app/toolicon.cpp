#include "toolicon.h"

#include "symbols.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace {

// Matches the faded look of disabled symbols.
constexpr qreal DisabledOpacity = 0.4;

void ensureResources()
{
    static const bool registered = [] {
        initVeskResources();
        return true;
    }();
    Q_UNUSED(registered);
}

// Renders ":/images/<imageName>.svg" fitted and centred in a square of `logicalSize`.
QPixmap artworkPixmap(const QString &imageName, int logicalSize, qreal dpr, qreal opacity = 1.0)
{
    ensureResources();
    if (imageName.isEmpty() || logicalSize <= 0 || !(dpr > 0))
        return QPixmap();
    const int side = qRound(logicalSize * dpr);
    if (side <= 0)
        return QPixmap();

    const QString cacheKey = QStringLiteral("vesk-artwork:%1:%2@%3:%4")
                                 .arg(imageName)
                                 .arg(side)
                                 .arg(dpr)
                                 .arg(opacity);
    QPixmap cached;
    if (QPixmapCache::find(cacheKey, &cached))
        return cached;

    QSvgRenderer renderer(QStringLiteral(":/images/") + imageName + QStringLiteral(".svg"));
    if (!renderer.isValid())
        return QPixmap();

    QSizeF content = renderer.viewBoxF().size();
    if (content.isEmpty())
        content = QSizeF(side, side);
    const QSizeF scaled = content.scaled(QSizeF(side, side), Qt::KeepAspectRatio);
    const QRectF target(QPointF((side - scaled.width()) / 2.0, (side - scaled.height()) / 2.0),
                        scaled);

    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setOpacity(opacity);
        renderer.render(&painter, target);
    }
    image.setDevicePixelRatio(dpr);
    QPixmap result = QPixmap::fromImage(std::move(image));
    QPixmapCache::insert(cacheKey, result);
    return result;
}

// Draws bundled artwork on demand so it stays sharp at any size and scale.
class ArtworkIconEngine final : public QIconEngine
{
public:
    explicit ArtworkIconEngine(const QString &imageName)
        : m_imageName(imageName)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = qMin(rect.width(), rect.height());
        const QPixmap drawn = artworkPixmap(m_imageName, side, dpr, opacityFor(mode));
        if (drawn.isNull())
            return;
        const QRect square = QRect(0, 0, side, side);
        painter->drawPixmap(rect.center() - square.center(), drawn);
    }

    // QIcon asks for device pixels and applies the device pixel ratio itself.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return artworkPixmap(m_imageName, qMin(size.width(), size.height()), 1.0,
                             opacityFor(mode));
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
    }

    QString key() const override { return QStringLiteral("VeskArtwork"); }
    QString iconName() override { return m_imageName; }
    bool isNull() override { return false; }
    QIconEngine *clone() const override { return new ArtworkIconEngine(m_imageName); }

private:
    static qreal opacityFor(QIcon::Mode mode)
    {
        return mode == QIcon::Disabled ? DisabledOpacity : 1.0;
    }

    QString m_imageName;
};

} // namespace

QIcon toolIcon(ToolSource tool, const QColor &symbolColor)
{
    const QString imageName = Tools::imageName(tool);
    if (imageName.isEmpty())
        return Symbols::icon(Tools::symbolName(tool), symbolColor);
    return QIcon(new ArtworkIconEngine(imageName));
}

QPixmap toolPixmap(ToolSource tool, int logicalSize, qreal dpr, const QColor &symbolColor)
{
    const QString imageName = Tools::imageName(tool);
    if (imageName.isEmpty())
        return Symbols::pixmap(Tools::symbolName(tool), symbolColor,
                               QSize(logicalSize, logicalSize), dpr);
    return artworkPixmap(imageName, logicalSize, dpr);
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QPixmap drawn = artworkPixmap(QStringLiteral("vesk"), side, 1.0);
        if (!drawn.isNull())
            icon.addPixmap(drawn);
    }
    return icon;
}
