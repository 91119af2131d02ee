#include "common/symbols.h"

#include "common/renderediconengine.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace {

bool isPlainName(const QString &symbolName)
{
    return !symbolName.isEmpty() && !symbolName.contains(QLatin1Char('/'))
        && !symbolName.contains(QLatin1Char('\\'));
}

QString resourcePath(const QString &symbolName)
{
    return QStringLiteral(":/icons/") + symbolName + QStringLiteral(".svg");
}

// The untinted SVG source of a symbol, read from the resources once per name.
// Empty when no such symbol is bundled.
QByteArray symbolSource(const QString &symbolName)
{
    initVeskResources();
    if (!isPlainName(symbolName))
        return {};

    static QMutex mutex;
    static QHash<QString, QByteArray> sources;
    QMutexLocker locker(&mutex);
    const auto found = sources.constFind(symbolName);
    if (found != sources.cend())
        return found.value();

    QFile file(resourcePath(symbolName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    sources.insert(symbolName, bytes);
    return bytes;
}

QRectF fittedRect(const QSizeF &content, const QSizeF &target)
{
    if (content.isEmpty())
        return QRectF(QPointF(0, 0), target);
    const QSizeF scaled = content.scaled(target, Qt::KeepAspectRatio);
    return QRectF(QPointF((target.width() - scaled.width()) / 2.0,
                          (target.height() - scaled.height()) / 2.0),
                  scaled);
}

QColor colorForMode(const QColor &color, QIcon::Mode mode)
{
    if (mode != QIcon::Disabled)
        return color;
    QColor faded = color;
    faded.setAlphaF(float(color.alphaF() * disabledIconOpacity));
    return faded;
}

} // namespace

namespace Symbols {

bool has(const QString &symbolName)
{
    return !symbolSource(symbolName).isEmpty();
}

QIcon icon(const QString &symbolName, const QColor &color)
{
    if (!has(symbolName))
        return QIcon();
    return QIcon(new RenderedIconEngine(symbolName, [symbolName, color](int side, qreal dpr, QIcon::Mode mode) {
        return pixmap(symbolName, colorForMode(color, mode), QSize(side, side), dpr);
    }));
}

QIcon icon(const QString &symbolName, QPalette::ColorRole role)
{
    return icon(symbolName, QApplication::palette().color(role));
}

QPixmap pixmap(const QString &symbolName, const QColor &color, const QSize &logicalSize,
               qreal devicePixelRatio)
{
    if (logicalSize.isEmpty() || !(devicePixelRatio > 0))
        return QPixmap();
    const QByteArray source = symbolSource(symbolName);
    if (source.isEmpty())
        return QPixmap();

    const QSize pixelSize(qRound(logicalSize.width() * devicePixelRatio),
                          qRound(logicalSize.height() * devicePixelRatio));
    if (pixelSize.isEmpty())
        return QPixmap();

    const QString cacheKey = QStringLiteral("vesk-symbol:%1:%2:%3x%4@%5")
                                 .arg(symbolName)
                                 .arg(color.rgba(), 8, 16, QLatin1Char('0'))
                                 .arg(pixelSize.width())
                                 .arg(pixelSize.height())
                                 .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(cacheKey, &cached))
        return cached;

    QByteArray tinted = source;
    tinted.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(tinted);
    if (!renderer.isValid())
        return QPixmap();

    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter, fittedRect(renderer.viewBoxF().size(), pixelSize));
    }

    image.setDevicePixelRatio(devicePixelRatio);
    QPixmap result = QPixmap::fromImage(std::move(image));
    QPixmapCache::insert(cacheKey, result);
    return result;
}

} // namespace Symbols
