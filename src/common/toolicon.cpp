#include "common/toolicon.h"

#include "common/renderediconengine.h"
#include "common/symbols.h"

#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace {

// Renders ":/images/<imageName>.svg" fitted and centred in a square of `logicalSize`.
QPixmap artworkPixmap(const QString &imageName, int logicalSize, qreal dpr, qreal opacity = 1.0)
{
    initVeskResources();
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

} // namespace

QIcon toolIcon(ToolSource tool, const QColor &symbolColor)
{
    const QString imageName = Tools::imageName(tool);
    if (imageName.isEmpty())
        return Symbols::icon(Tools::symbolName(tool), symbolColor);
    return QIcon(new RenderedIconEngine(imageName, [imageName](int side, qreal dpr, QIcon::Mode mode) {
        return artworkPixmap(imageName, side, dpr, mode == QIcon::Disabled ? disabledIconOpacity : 1.0);
    }));
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
