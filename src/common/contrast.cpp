#include "common/contrast.h"

#include <algorithm>
#include <cmath>

namespace {

double linearChannel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double leastRatio(const QColor &color, const QList<QColor> &backgrounds)
{
    double least = 21.0;
    for (const QColor &background : backgrounds)
        least = std::min(least, Contrast::ratio(color, background));
    return least;
}

} // namespace

namespace Contrast {

double relativeLuminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linearChannel(rgb.redF()) + 0.7152 * linearChannel(rgb.greenF())
        + 0.0722 * linearChannel(rgb.blueF());
}

QColor over(const QColor &top, const QColor &bottom)
{
    const QColor a = top.toRgb();
    const QColor b = bottom.toRgb();
    const double alpha = a.alphaF();
    const auto mix = [alpha](double front, double back) { return front * alpha + back * (1.0 - alpha); };
    return QColor::fromRgbF(float(mix(a.redF(), b.redF())), float(mix(a.greenF(), b.greenF())),
                            float(mix(a.blueF(), b.blueF())), float(b.alphaF()));
}

double ratio(const QColor &foreground, const QColor &background)
{
    const double front = relativeLuminance(over(foreground, background));
    const double back = relativeLuminance(background);
    return (std::max(front, back) + 0.05) / (std::min(front, back) + 0.05);
}

QColor keptApartFrom(const QColor &color, const QList<QColor> &backgrounds, double minimum)
{
    if (backgrounds.isEmpty() || leastRatio(color, backgrounds) >= minimum)
        return color;
    // Lighter on dark backgrounds, darker on light ones: the direction with room.
    double darkest = 1.0;
    for (const QColor &background : backgrounds)
        darkest = std::min(darkest, relativeLuminance(background));
    const bool lighten = darkest < 0.18;
    QColor adjusted = color.toHsl();
    const float hue = std::max(adjusted.hslHueF(), 0.0f); // -1 for greys
    const float saturation = adjusted.hslSaturationF();
    float lightness = adjusted.lightnessF();
    const float alpha = adjusted.alphaF();
    while (leastRatio(adjusted, backgrounds) < minimum) {
        lightness = std::clamp(lightness + (lighten ? 0.01f : -0.01f), 0.0f, 1.0f);
        adjusted = QColor::fromHslF(hue, saturation, lightness, alpha);
        if (lightness <= 0.0f || lightness >= 1.0f)
            break;
    }
    return adjusted.toRgb();
}

} // namespace Contrast
