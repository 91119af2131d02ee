#include "testhome.h"

#include "common/symbols.h"
#include "common/toolicon.h"
#include "library/catalogue/toolsource.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QtTest/QtTest>

#include <cstdlib>

namespace {

// Every symbol the interface asks for by name.
const QStringList &usedSymbols()
{
    static const QStringList names = QStringLiteral(
        "doc.text doc.text.fill doc.fill plus plus.circle tray tray.full.fill star star.fill "
        "folder folder.fill bookmark tag archivebox gearshape gearshape.fill wrench hammer "
        "paintbrush wand.and.stars terminal network globe bolt bolt.fill flame leaf checklist "
        "airplane wrench.and.screwdriver brain.head.profile cursorarrow.rays wind book.closed "
        "minus.circle.fill info.circle.fill magnifyingglass pencil eye square.and.pencil trash "
        "arrow.clockwise xmark xmark.circle.fill chevron.up chevron.down sidebar.left doc.on.doc "
        "square.and.arrow.up calendar clock internaldrive link exclamationmark.triangle.fill "
        "checkmark folder.badge.plus tray.and.arrow.down").split(u' ');
    return names;
}

struct PixelCount {
    int visible = 0;     // alpha above zero
    int tinted = 0;      // nearly opaque and within a few steps of the tint
    int offColour = 0;   // nearly opaque but some other colour
    int maxAlpha = 0;
};

bool close(int a, int b, int tolerance)
{
    return std::abs(a - b) <= tolerance;
}

PixelCount countPixels(const QPixmap &pixmap, const QColor &tint)
{
    PixelCount count;
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            count.maxAlpha = qMax(count.maxAlpha, qAlpha(pixel));
            if (qAlpha(pixel) == 0)
                continue;
            ++count.visible;
            if (qAlpha(pixel) < 200)
                continue;
            const bool matches = close(qRed(pixel), tint.red(), 6)
                && close(qGreen(pixel), tint.green(), 6) && close(qBlue(pixel), tint.blue(), 6);
            if (matches)
                ++count.tinted;
            else
                ++count.offColour;
        }
    }
    return count;
}

} // namespace

class TestSymbols final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySymbolRendersInTheTint_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("tint");
        const QColor dark(0x1c, 0x24, 0x5a);
        const QColor light(0xf4, 0xe2, 0x9a);
        for (const QString &name : usedSymbols()) {
            QTest::addRow("%s dark", qPrintable(name)) << name << dark;
            QTest::addRow("%s light", qPrintable(name)) << name << light;
        }
    }

    void everySymbolRendersInTheTint()
    {
        QFETCH(QString, name);
        QFETCH(QColor, tint);

        QVERIFY(Symbols::has(name));
        const QPixmap pixmap = Symbols::pixmap(name, tint, QSize(32, 32), 2.0);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), QSize(64, 64));
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);

        const PixelCount count = countPixels(pixmap, tint);
        QVERIFY2(count.tinted > 0, "no pixel in the tint colour");
        // Every solid part follows the tint: nothing stays in the SVG's own colours.
        QCOMPARE(count.offColour, 0);
    }

    void unknownNamesGiveNothing()
    {
        const QString unknown = QStringLiteral("no.such.symbol");
        QVERIFY(!Symbols::has(unknown));
        QVERIFY(Symbols::icon(unknown, QColor(Qt::black)).isNull());
        QVERIFY(Symbols::icon(unknown).isNull());
        QVERIFY(Symbols::pixmap(unknown, QColor(Qt::black), QSize(16, 16), 1.0).isNull());

        QVERIFY(!Symbols::has(QString()));
        // Only names inside the icon set count, not paths to other bundled files.
        QVERIFY(!Symbols::has(QStringLiteral("../images/vesk")));
    }

    void iconFadesWhenDisabled()
    {
        const QColor tint(0x20, 0x60, 0xc0);
        const QIcon icon = Symbols::icon(QStringLiteral("star.fill"), tint);
        QVERIFY(!icon.isNull());

        const QPixmap normal = icon.pixmap(QSize(24, 24), 2.0, QIcon::Normal);
        QCOMPARE(normal.size(), QSize(48, 48));
        QVERIFY(countPixels(normal, tint).tinted > 0);
        QCOMPARE(countPixels(normal, tint).maxAlpha, 255);

        const QPixmap disabled = icon.pixmap(QSize(24, 24), 2.0, QIcon::Disabled);
        const int disabledAlpha = countPixels(disabled, tint).maxAlpha;
        QVERIFY2(disabledAlpha >= 90 && disabledAlpha <= 115, qPrintable(QString::number(disabledAlpha)));
    }

    void everyToolHasABadge_data()
    {
        QTest::addColumn<ToolSource>("tool");
        for (ToolSource tool : Tools::allCases())
            QTest::addRow("%s", qPrintable(Tools::rawValue(tool))) << tool;
    }

    void everyToolHasABadge()
    {
        QFETCH(ToolSource, tool);

        const QColor symbolColor(0x30, 0x30, 0x30);
        const QPixmap pixmap = toolPixmap(tool, 20, 2.0, symbolColor);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.size(), QSize(40, 40));
        QVERIFY(countPixels(pixmap, symbolColor).visible > 0);

        const QIcon icon = toolIcon(tool, symbolColor);
        QVERIFY(!icon.isNull());
        QVERIFY(countPixels(icon.pixmap(QSize(16, 16), 1.0), symbolColor).visible > 0);
    }

    void applicationIconCoversCommonSizes()
    {
        const QIcon icon = applicationIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(256, 256)));
        QVERIFY(countPixels(icon.pixmap(QSize(256, 256), 1.0), QColor()).visible > 0);
    }
};

VESK_TEST_MAIN(TestSymbols)
#include "tst_symbols.moc"
