#include "common/displayformat.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <array>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DisplayFormat", text);
}

// The sizes of the difference between two points in time, the earlier counted
// up to the later one in calendar steps, so months and years have their real lengths.
struct Difference {
    qint64 years = 0;
    qint64 months = 0;
    qint64 weeks = 0;
    qint64 days = 0;
    qint64 hours = 0;
    qint64 minutes = 0;
    qint64 seconds = 0;
};

Difference difference(const QDateTime &earlier, const QDateTime &later)
{
    Difference d;
    QDateTime cursor = earlier;
    // A first guess from the plain year and month numbers, corrected by one step
    // where the day of the month or the time of day had not yet come round.
    const QDate from = earlier.date();
    const QDate to = later.date();
    qint64 months = qint64(to.year() - from.year()) * 12 + (to.month() - from.month());
    while (months > 0 && cursor.addMonths(int(months)) > later)
        --months;
    d.years = months / 12;
    d.months = months % 12;
    cursor = cursor.addMonths(int(months));

    qint64 days = cursor.daysTo(later);
    while (days > 0 && cursor.addDays(days) > later)
        --days;
    d.weeks = days / 7;
    d.days = days % 7;
    cursor = cursor.addDays(days);

    const qint64 seconds = cursor.secsTo(later);
    d.hours = seconds / 3600;
    d.minutes = seconds % 3600 / 60;
    d.seconds = seconds % 60;
    return d;
}

struct UnitTexts {
    const char *lastOne;  // "yesterday", or nullptr where the unit has no name for one
    const char *nextOne;  // "tomorrow"
    const char *pastOne;  // "1 hour ago"
    const char *futureOne;
    const char *pastMany; // "%1 hours ago"
    const char *futureMany;
};

QString describe(qint64 count, bool isPast, const UnitTexts &texts)
{
    if (count == 1) {
        if (isPast)
            return tr(texts.lastOne ? texts.lastOne : texts.pastOne);
        return tr(texts.nextOne ? texts.nextOne : texts.futureOne);
    }
    return tr(isPast ? texts.pastMany : texts.futureMany).arg(count);
}

} // namespace

namespace DisplayFormat {

QString relativeDate(const QDateTime &date, const QDateTime &now)
{
    if (!date.isValid() || !now.isValid())
        return {};
    // Count in the date's own time zone, so "yesterday" means the calendar day the date was written in.
    const QDateTime reference = now.toTimeZone(date.timeZone());
    const bool isPast = date <= reference;
    const Difference d = isPast ? difference(date, reference) : difference(reference, date);

    static const std::array<UnitTexts, 7> units{{
        {QT_TRANSLATE_NOOP("DisplayFormat", "last year"), QT_TRANSLATE_NOOP("DisplayFormat", "next year"), nullptr,
         nullptr, QT_TRANSLATE_NOOP("DisplayFormat", "%1 years ago"), QT_TRANSLATE_NOOP("DisplayFormat", "in %1 years")},
        {QT_TRANSLATE_NOOP("DisplayFormat", "last month"), QT_TRANSLATE_NOOP("DisplayFormat", "next month"), nullptr,
         nullptr, QT_TRANSLATE_NOOP("DisplayFormat", "%1 months ago"),
         QT_TRANSLATE_NOOP("DisplayFormat", "in %1 months")},
        {QT_TRANSLATE_NOOP("DisplayFormat", "last week"), QT_TRANSLATE_NOOP("DisplayFormat", "next week"), nullptr,
         nullptr, QT_TRANSLATE_NOOP("DisplayFormat", "%1 weeks ago"), QT_TRANSLATE_NOOP("DisplayFormat", "in %1 weeks")},
        {QT_TRANSLATE_NOOP("DisplayFormat", "yesterday"), QT_TRANSLATE_NOOP("DisplayFormat", "tomorrow"), nullptr,
         nullptr, QT_TRANSLATE_NOOP("DisplayFormat", "%1 days ago"), QT_TRANSLATE_NOOP("DisplayFormat", "in %1 days")},
        {nullptr, nullptr, QT_TRANSLATE_NOOP("DisplayFormat", "1 hour ago"),
         QT_TRANSLATE_NOOP("DisplayFormat", "in 1 hour"), QT_TRANSLATE_NOOP("DisplayFormat", "%1 hours ago"),
         QT_TRANSLATE_NOOP("DisplayFormat", "in %1 hours")},
        {nullptr, nullptr, QT_TRANSLATE_NOOP("DisplayFormat", "1 minute ago"),
         QT_TRANSLATE_NOOP("DisplayFormat", "in 1 minute"), QT_TRANSLATE_NOOP("DisplayFormat", "%1 minutes ago"),
         QT_TRANSLATE_NOOP("DisplayFormat", "in %1 minutes")},
        {nullptr, nullptr, QT_TRANSLATE_NOOP("DisplayFormat", "1 second ago"),
         QT_TRANSLATE_NOOP("DisplayFormat", "in 1 second"), QT_TRANSLATE_NOOP("DisplayFormat", "%1 seconds ago"),
         QT_TRANSLATE_NOOP("DisplayFormat", "in %1 seconds")},
    }};
    const std::array<qint64, 7> counts{d.years, d.months, d.weeks, d.days, d.hours, d.minutes, d.seconds};
    for (size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] != 0)
            return describe(counts[i], isPast, units[i]);
    }
    return tr(QT_TRANSLATE_NOOP("DisplayFormat", "now"));
}

QString relativeDate(const QDateTime &date)
{
    return relativeDate(date, QDateTime::currentDateTime());
}

QString byteCount(qint64 bytes, const QLocale &locale)
{
    if (bytes <= 0)
        return tr(QT_TRANSLATE_NOOP("DisplayFormat", "Zero KB"));
    if (bytes == 1)
        return tr(QT_TRANSLATE_NOOP("DisplayFormat", "1 byte"));
    if (bytes < 1000)
        return tr(QT_TRANSLATE_NOOP("DisplayFormat", "%1 bytes")).arg(locale.toString(bytes));

    static const std::array<const char *, 6> units{"KB", "MB", "GB", "TB", "PB", "EB"};
    size_t unit = 0;
    double scale = 1000.0;
    while (unit + 1 < units.size() && double(bytes) >= scale * 1000.0) {
        ++unit;
        scale *= 1000.0;
    }
    int decimals = unit == 0 ? 0 : unit == 1 ? 1 : 2;
    double value = double(bytes) / scale;
    // 999,999 bytes round to "1000 KB": show the next unit instead.
    const double rounding = 0.5 / std::pow(10.0, decimals);
    if (value + rounding >= 1000.0 && unit + 1 < units.size()) {
        ++unit;
        value /= 1000.0;
        decimals = unit == 1 ? 1 : 2;
    }
    QString number = locale.toString(value, 'f', decimals);
    if (decimals > 0) {
        const QString point = locale.decimalPoint();
        while (number.endsWith(locale.zeroDigit()))
            number.chop(1);
        if (number.endsWith(point))
            number.chop(point.size());
    }
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

} // namespace DisplayFormat
