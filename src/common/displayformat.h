#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The short texts the window uses for file facts: how long ago something
// happened and how big a file is.
namespace DisplayFormat {

// `date` relative to `now`, named where a name exists: "now", "5 seconds ago",
// "in 2 hours", "yesterday", "tomorrow", "3 days ago", "last week", "next month",
// "2 years ago". The difference is split into calendar years, months, weeks,
// days, hours, minutes and seconds, and the largest part that is not zero is
// shown, counted down (26 hours ago is "yesterday", not "2 days ago").
// An invalid date gives the empty text.
QString relativeDate(const QDateTime &date, const QDateTime &now);
QString relativeDate(const QDateTime &date); // relative to the current time

// A file size in decimal units as file managers show it: "Zero KB", "1 byte",
// "999 bytes", "4 KB", "1.2 MB", "1.23 GB". Kilobytes are whole, megabytes carry
// one decimal and larger units two, without trailing zeros. A negative size
// (unknown) reads as zero.
QString byteCount(qint64 bytes, const QLocale &locale = QLocale());

} // namespace DisplayFormat
