#include "common/displayformat.h"
#include "testhome.h"

#include <QtTest/QtTest>

// Relative dates are checked in UTC so the rows do not depend on the machine's
// time zone or its daylight-saving changes.
class TestDisplayFormat final : public QObject
{
    Q_OBJECT

    static QDateTime at(const char *iso)
    {
        QDateTime date = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
        date.setTimeZone(QTimeZone::utc());
        return date;
    }

private Q_SLOTS:
    void relativeDate_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("expected");

        const QDateTime now = at("2025-03-15T12:00:00");
        QTest::newRow("the same instant is now") << now << now << "now";
        QTest::newRow("one second before is 1 second ago") << now.addSecs(-1) << now << "1 second ago";
        QTest::newRow("59 seconds before counts seconds") << now.addSecs(-59) << now << "59 seconds ago";
        QTest::newRow("a minute before is 1 minute ago") << now.addSecs(-60) << now << "1 minute ago";
        QTest::newRow("59 minutes 59 seconds before counts minutes")
            << now.addSecs(-3599) << now << "59 minutes ago";
        QTest::newRow("an hour before is 1 hour ago") << now.addSecs(-3600) << now << "1 hour ago";
        QTest::newRow("23 hours before the day has not turned") << now.addSecs(-23 * 3600) << now
                                                                << "23 hours ago";
        QTest::newRow("24 hours before is yesterday") << now.addDays(-1) << now << "yesterday";
        QTest::newRow("47 hours before is still yesterday") << now.addSecs(-47 * 3600) << now << "yesterday";
        QTest::newRow("two days before") << now.addDays(-2) << now << "2 days ago";
        QTest::newRow("six days before") << now.addDays(-6) << now << "6 days ago";
        QTest::newRow("seven days before is last week") << now.addDays(-7) << now << "last week";
        QTest::newRow("thirteen days before is still last week") << now.addDays(-13) << now << "last week";
        QTest::newRow("a calendar month before is last month") << at("2025-02-15T12:00:00") << now
                                                               << "last month";
        QTest::newRow("a month less a minute is still weeks")
            << at("2025-02-15T12:01:00") << now << "3 weeks ago";
        QTest::newRow("a year before is last year") << at("2024-03-15T12:00:00") << now << "last year";
        QTest::newRow("a year less a second is 11 months")
            << at("2024-03-15T12:00:01") << now << "11 months ago";
        QTest::newRow("three years before") << at("2022-01-01T00:00:00") << now << "3 years ago";

        QTest::newRow("one second ahead") << now.addSecs(1) << now << "in 1 second";
        QTest::newRow("three hours ahead") << now.addSecs(3 * 3600) << now << "in 3 hours";
        QTest::newRow("a day ahead is tomorrow") << now.addDays(1) << now << "tomorrow";
        QTest::newRow("three days ahead") << now.addDays(3) << now << "in 3 days";
        QTest::newRow("a week ahead is next week") << now.addDays(7) << now << "next week";
        QTest::newRow("a month ahead is next month") << at("2025-04-15T12:00:00") << now << "next month";
        QTest::newRow("two years ahead") << at("2027-03-15T12:00:00") << now << "in 2 years";

        QTest::newRow("the end of January to the end of February is one month")
            << at("2025-01-31T08:00:00") << at("2025-02-28T09:00:00") << "last month";
        QTest::newRow("a leap day to the next 28 February is 11 months")
            << at("2024-02-29T12:00:00") << at("2025-02-28T11:00:00") << "11 months ago";
        QTest::newRow("an invalid date gives nothing") << QDateTime() << now << "";
    }

    void relativeDate()
    {
        QFETCH(QDateTime, date);
        QFETCH(QDateTime, now);
        QFETCH(QString, expected);
        QCOMPARE(DisplayFormat::relativeDate(date, now), expected);
    }

    void byteCount_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing reads as zero kilobytes") << qint64(0) << "Zero KB";
        QTest::newRow("an unknown negative size reads as zero") << qint64(-5) << "Zero KB";
        QTest::newRow("one byte is singular") << qint64(1) << "1 byte";
        QTest::newRow("999 bytes stay bytes") << qint64(999) << "999 bytes";
        QTest::newRow("1000 bytes are 1 KB, decimal not binary") << qint64(1000) << "1 KB";
        QTest::newRow("kilobytes are whole") << qint64(1600) << "2 KB";
        QTest::newRow("just under a megabyte rounds up to the next unit") << qint64(999'999) << "1 MB";
        QTest::newRow("a megabyte has no trailing zero") << qint64(1'000'000) << "1 MB";
        QTest::newRow("megabytes keep one decimal") << qint64(1'234'567) << "1.2 MB";
        QTest::newRow("gigabytes keep two decimals") << qint64(1'234'567'890) << "1.23 GB";
        QTest::newRow("trailing zeros of gigabytes go") << qint64(1'500'000'000) << "1.5 GB";
        QTest::newRow("terabytes") << qint64(2'000'000'000'000) << "2 TB";
    }

    void byteCount()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, expected);
        QCOMPARE(DisplayFormat::byteCount(bytes, QLocale::c()), expected);
    }
};

VESK_TEST_GUILESS_MAIN(TestDisplayFormat)
#include "tst_displayformat.moc"
