#include "common/palettecolors.h"

#include "common/contrast.h"

namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(alpha);
    return color;
}

} // namespace

namespace PaletteColors {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor faded(QColor color, qreal opacity)
{
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

QColor vividOrange()
{
    return QColor::fromRgbF(1.0f, 0.4f, 0.008f);
}

QColor violet()
{
    return QColor::fromRgbF(0.659f, 0.235f, 0.965f);
}

QColor lime()
{
    return QColor::fromRgbF(0.757f, 0.847f, 0.267f);
}

QColor lime(const QPalette &palette)
{
    if (isDark(palette))
        return lime();
    return QColor::fromHsvF(lime().hsvHueF(), 1.0f, 0.4f);
}

QColor tint(Tint tint, const QPalette &palette)
{
    struct Pair {
        QRgb light;
        QRgb dark;
    };
    const auto pair = [tint]() -> Pair {
        switch (tint) {
        case Tint::Orange: return {qRgb(255, 149, 0), qRgb(255, 159, 10)};
        case Tint::Blue: return {qRgb(0, 122, 255), qRgb(10, 132, 255)};
        case Tint::Teal: return {qRgb(48, 176, 199), qRgb(64, 200, 224)};
        case Tint::Green: return {qRgb(52, 199, 89), qRgb(48, 209, 88)};
        case Tint::Purple: return {qRgb(175, 82, 222), qRgb(191, 90, 242)};
        case Tint::Yellow: return {qRgb(255, 204, 0), qRgb(255, 214, 10)};
        case Tint::Pink: return {qRgb(255, 45, 85), qRgb(255, 55, 95)};
        case Tint::Gray: return {qRgb(142, 142, 147), qRgb(152, 152, 157)};
        case Tint::Cyan: return {qRgb(50, 173, 230), qRgb(100, 210, 255)};
        case Tint::Indigo: return {qRgb(88, 86, 214), qRgb(94, 92, 230)};
        case Tint::Brown: return {qRgb(162, 132, 94), qRgb(172, 142, 104)};
        }
        return {qRgb(142, 142, 147), qRgb(152, 152, 157)};
    }();
    return QColor(isDark(palette) ? pair.dark : pair.light);
}

QColor errorRed(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 105, 97) : QColor(0xd7, 0x3a, 0x32);
}

QColor label(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

QColor secondaryLabel(const QPalette &palette)
{
    return withAlpha(label(palette), 0.62);
}

QColor tertiaryLabel(const QPalette &palette)
{
    return withAlpha(label(palette), 0.45);
}

QColor quaternaryLabel(const QPalette &palette)
{
    return withAlpha(label(palette), 0.28);
}

QColor badgeBackground(const QPalette &palette)
{
    return withAlpha(label(palette), isDark(palette) ? 0.16 : 0.09);
}

QColor favoriteYellow(const QPalette &palette)
{
    return isDark(palette) ? QColor(255, 214, 10) : QColor(230, 170, 0);
}

QColor systemOrange(const QPalette &palette)
{
    return tint(Tint::Orange, palette);
}

QColor favoriteStar(const QPalette &palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor window = palette.color(QPalette::Window);
    return Contrast::keptApartFrom(favoriteYellow(palette),
                                   {base, window, Contrast::over(hoverFill(palette), base),
                                    Contrast::over(inactiveSelectionFill(palette), base)});
}

QColor noticeBadgeFill(const QPalette &palette)
{
    return withAlpha(systemOrange(palette), 0.2);
}

QColor noticeBadgeText(const QPalette &palette)
{
    return Contrast::keptApartFrom(systemOrange(palette),
                                   {Contrast::over(noticeBadgeFill(palette), palette.color(QPalette::Base))});
}

QColor accent(const QPalette &palette)
{
    return palette.color(QPalette::Highlight);
}

QColor hoverFill(const QPalette &palette)
{
    return badgeBackground(palette);
}

QColor inactiveSelectionFill(const QPalette &palette)
{
    return badgeBackground(palette).darker(110);
}

QColor badgeBackgroundOnAccent(const QPalette &palette)
{
    return withAlpha(palette.color(QPalette::HighlightedText), 0.22);
}

QColor sidebarSymbol(const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    return Contrast::keptApartFrom(accent(palette), {window, Contrast::over(hoverFill(palette), window),
                                                     Contrast::over(inactiveSelectionFill(palette), window)});
}

QPalette lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf6));
    p.setColor(QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f));
    p.setColor(QPalette::Base, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::AlternateBase, QColor(0xf5, 0xf5, 0xf7));
    p.setColor(QPalette::Text, QColor(0x1d, 0x1d, 0x1f));
    p.setColor(QPalette::PlaceholderText, QColor(0x1d, 0x1d, 0x1f, 110));
    p.setColor(QPalette::Button, QColor(0xfb, 0xfb, 0xfc));
    p.setColor(QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f));
    p.setColor(QPalette::Highlight, QColor(0x3b, 0x6e, 0xe8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x3b, 0x6e, 0xe8));
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xf0));
    p.setColor(QPalette::ToolTipText, QColor(0x1d, 0x1d, 0x1f));
    p.setColor(QPalette::Mid, QColor(0xd2, 0xd2, 0xd7));
    p.setColor(QPalette::Midlight, QColor(0xe5, 0xe5, 0xea));
    p.setColor(QPalette::Dark, QColor(0xa0, 0xa0, 0xa8));
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f, 100));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x1d, 0x1d, 0x1f, 100));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f, 100));
    return p;
}

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x26, 0x26, 0x2a));
    p.setColor(QPalette::WindowText, QColor(0xec, 0xec, 0xef));
    p.setColor(QPalette::Base, QColor(0x1c, 0x1c, 0x1f));
    p.setColor(QPalette::AlternateBase, QColor(0x22, 0x22, 0x26));
    p.setColor(QPalette::Text, QColor(0xec, 0xec, 0xef));
    p.setColor(QPalette::PlaceholderText, QColor(0xec, 0xec, 0xef, 110));
    p.setColor(QPalette::Button, QColor(0x32, 0x32, 0x37));
    p.setColor(QPalette::ButtonText, QColor(0xec, 0xec, 0xef));
    p.setColor(QPalette::Highlight, QColor(0x3f, 0x73, 0xe6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6f, 0x9b, 0xff));
    p.setColor(QPalette::ToolTipBase, QColor(0x32, 0x32, 0x37));
    p.setColor(QPalette::ToolTipText, QColor(0xec, 0xec, 0xef));
    p.setColor(QPalette::Mid, QColor(0x44, 0x44, 0x4a));
    p.setColor(QPalette::Midlight, QColor(0x3a, 0x3a, 0x40));
    p.setColor(QPalette::Dark, QColor(0x12, 0x12, 0x14));
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x50));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xec, 0xec, 0xef, 100));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0xec, 0xec, 0xef, 100));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xec, 0xec, 0xef, 100));
    return p;
}

} // namespace PaletteColors
