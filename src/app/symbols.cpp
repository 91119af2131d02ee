#include "symbols.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

// Q_INIT_RESOURCE declares the generated registration function, which lives in the
// global namespace, so this cannot sit inside a namespace.
void initVeskResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// How strongly a disabled symbol shows compared to its normal colour.
constexpr qreal DisabledOpacity = 0.4;

void ensureResources()
{
    static const bool registered = [] {
        initVeskResources();
        return true;
    }();
    Q_UNUSED(registered);
}

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
    ensureResources();
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
    faded.setAlphaF(float(color.alphaF() * DisabledOpacity));
    return faded;
}

// Draws one symbol on demand at whatever size and scale the caller asks for,
// so it stays sharp on every screen.
class SymbolIconEngine final : public QIconEngine
{
public:
    SymbolIconEngine(const QString &symbolName, const QColor &color)
        : m_name(symbolName)
        , m_color(color)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap drawn =
            Symbols::pixmap(m_name, colorForMode(m_color, mode), rect.size(), dpr);
        if (!drawn.isNull())
            painter->drawPixmap(rect.topLeft(), drawn);
    }

    // QIcon asks for device pixels and applies the device pixel ratio itself.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return Symbols::pixmap(m_name, colorForMode(m_color, mode), size, 1.0);
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

    QString key() const override { return QStringLiteral("VeskSymbol"); }
    QString iconName() override { return m_name; }
    bool isNull() override { return false; }
    QIconEngine *clone() const override { return new SymbolIconEngine(m_name, m_color); }

private:
    QString m_name;
    QColor m_color;
};

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
    return QIcon(new SymbolIconEngine(symbolName, color));
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
