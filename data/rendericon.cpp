// Renders an SVG icon to a square PNG of a given size, so the build can ship the
// raster sizes the icon theme expects without committing binaries.
//   vesk-rendericon <in.svg> <out.png> <pixels>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char **argv)
{
    QTextStream err(stderr);
    if (argc != 4) {
        err << "usage: vesk-rendericon IN.svg OUT.png PIXELS\n";
        return 2;
    }
    bool ok = false;
    const int side = QString::fromLocal8Bit(argv[3]).toInt(&ok);
    if (!ok || side <= 0) {
        err << "vesk-rendericon: the size must be a positive number of pixels\n";
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        err << "vesk-rendericon: cannot read " << argv[1] << '\n';
        return 1;
    }
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QSizeF content = renderer.viewBoxF().size().scaled(QSizeF(side, side), Qt::KeepAspectRatio);
        renderer.render(&painter, QRectF(QPointF((side - content.width()) / 2, (side - content.height()) / 2),
                                         content));
    }
    if (!image.convertToFormat(QImage::Format_ARGB32).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        err << "vesk-rendericon: cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
