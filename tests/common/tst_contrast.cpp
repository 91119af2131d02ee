#include "testhome.h"

#include "common/contrast.h"
#include "common/palettecolors.h"

#include <QApplication>
#include <QtTest/QtTest>

namespace {

using namespace PaletteColors;

// What a painter makes of a translucent fill over the opaque colour under it.
QColor on(const QColor &fill, const QColor &under)
{
    return Contrast::over(fill, under);
}

} // namespace

class TestContrast final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void measuresAsTheGuidelinesDo_data()
    {
        QTest::addColumn<QColor>("foreground");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<double>("expected");
        // Reference values from the guidelines' own formula.
        QTest::newRow("black on white is the most there is") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
        QTest::newRow("white on black is the same the other way round") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
        QTest::newRow("a colour on itself has none") << QColor(0x3f, 0x73, 0xe6) << QColor(0x3f, 0x73, 0xe6) << 1.0;
        QTest::newRow("mid grey #777 on white just misses 4.5") << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << 4.478;
        QTest::newRow("pure red on white") << QColor(Qt::red) << QColor(Qt::white) << 3.998;
        QTest::newRow("half-transparent black on white looks like #7f7f7f")
            << QColor(0, 0, 0, 128) << QColor(Qt::white) << 4.00;
        QTest::newRow("a fully transparent symbol is not there at all") << QColor(0, 0, 0, 0) << QColor(Qt::white) << 1.0;
    }

    void measuresAsTheGuidelinesDo()
    {
        QFETCH(QColor, foreground);
        QFETCH(QColor, background);
        QFETCH(double, expected);
        QVERIFY2(qAbs(Contrast::ratio(foreground, background) - expected) < 0.02,
                 qPrintable(QString::number(Contrast::ratio(foreground, background))));
    }

    void aColourKeptApartReachesTheMinimumAndKeepsItsHue_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QColor>("background");
        QTest::newRow("a deep blue on a dark grey is lightened") << QColor(0x1f, 0x3f, 0x9f) << QColor(0x26, 0x26, 0x2a);
        QTest::newRow("a pale yellow on white is darkened") << QColor(0xff, 0xe0, 0x60) << QColor(Qt::white);
        QTest::newRow("a grey on a grey moves too") << QColor(0x50, 0x50, 0x50) << QColor(0x44, 0x44, 0x44);
    }

    void aColourKeptApartReachesTheMinimumAndKeepsItsHue()
    {
        QFETCH(QColor, color);
        QFETCH(QColor, background);
        QVERIFY(Contrast::ratio(color, background) < Contrast::minimumForGraphics);
        const QColor kept = Contrast::keptApartFrom(color, {background});
        QVERIFY2(Contrast::ratio(kept, background) >= Contrast::minimumForGraphics,
                 qPrintable(kept.name() + QLatin1Char(' ') + QString::number(Contrast::ratio(kept, background))));
        if (color.hslSaturation() > 0)
            QVERIFY(qAbs(kept.toHsl().hslHueF() - color.toHsl().hslHueF()) < 0.02);
        // Kept apart, and no further than needed: a colour that already holds is left alone.
        QCOMPARE(Contrast::keptApartFrom(kept, {background}), kept);
    }

    // Every symbol and badge the window draws, on every fill it can be drawn on.
    void everySymbolAndBadgeStandsOutFromWhatItIsDrawnOn_data()
    {
        QTest::addColumn<QColor>("foreground");
        QTest::addColumn<QColor>("background");
        const auto rows = [](const char *paletteName, const QPalette &p) {
            const QColor window = p.color(QPalette::Window);
            const QColor base = p.color(QPalette::Base);
            const QColor accentFill = accent(p);
            const QColor highlighted = p.color(QPalette::HighlightedText);
            struct Row {
                const char *what;
                QColor foreground;
                QColor background;
            };
            const QList<Row> table{
                // The sidebar sits on the window colour.
                {"the All skills and Favorites symbols in the sidebar", sidebarSymbol(p), window},
                {"the All skills and Favorites symbols on a row under the pointer", sidebarSymbol(p),
                 on(hoverFill(p), window)},
                {"the All skills and Favorites symbols selected in a window in the background",
                 sidebarSymbol(p), on(inactiveSelectionFill(p), window)},
                {"a harness symbol in the sidebar", label(p), window},
                {"a harness symbol on a row under the pointer", label(p), on(hoverFill(p), window)},
                {"a harness symbol selected in a window in the background", label(p),
                 on(inactiveSelectionFill(p), window)},
                {"the New collection symbol", secondaryLabel(p), window},
                {"the New collection symbol under the pointer", secondaryLabel(p), on(hoverFill(p), window)},
                {"any symbol on the selected row", highlighted, accentFill},
                {"a count badge", secondaryLabel(p), on(badgeBackground(p), window)},
                {"a count badge on a row under the pointer", secondaryLabel(p),
                 on(badgeBackground(p), on(hoverFill(p), window))},
                {"a count badge selected in a window in the background", secondaryLabel(p),
                 on(badgeBackground(p), on(inactiveSelectionFill(p), window))},
                {"a count badge on the selected row", highlighted, on(badgeBackgroundOnAccent(p), accentFill)},
                // The list sits on the base colour.
                {"a favourite's star in the list", favoriteStar(p), base},
                {"a favourite's star under the pointer", favoriteStar(p), on(hoverFill(p), base)},
                {"a favourite's star selected in a window in the background", favoriteStar(p),
                 on(inactiveSelectionFill(p), base)},
                // The detail column's buttons, the editor's segments and its find bar.
                {"the favourite button when set", favoriteStar(p), window},
                {"the favourite and folder buttons when not set", secondaryLabel(p), window},
                {"an unselected segment of the card and editor switch", secondaryLabel(p),
                 on(badgeBackground(p), window)},
                {"the Modified badge", noticeBadgeText(p), on(noticeBadgeFill(p), base)},
            };
            for (const Row &row : table)
                QTest::addRow("%s: %s", paletteName, row.what) << row.foreground << row.background;
        };
        rows("dark", darkPalette());
        rows("light", lightPalette());
    }

    void everySymbolAndBadgeStandsOutFromWhatItIsDrawnOn()
    {
        QFETCH(QColor, foreground);
        QFETCH(QColor, background);
        const double ratio = Contrast::ratio(foreground, background);
        QVERIFY2(ratio >= Contrast::minimumForGraphics,
                 qPrintable(QStringLiteral("%1 on %2: %3:1")
                                .arg(Contrast::over(foreground, background).name(), background.name())
                                .arg(ratio, 0, 'f', 2)));
    }
};

VESK_TEST_MAIN(TestContrast)
#include "tst_contrast.moc"
