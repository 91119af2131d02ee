#include "app/appcast.h"
#include "app/releasenotes.h"
#include "app/updatecheckresult.h"
#include "app/updater.h"
#include "app/versioncomparison.h"
#include "testhome.h"

#include <QtTest/QtTest>

using namespace std::chrono_literals;

namespace {

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
           "<channel><title>Vesk</title><link>https://vesk.app</link>\n"
        + items + "</channel></rss>\n";
}

QByteArray item(const QByteArray &shortVersion, const QByteArray &build, const QByteArray &extra = {})
{
    return "<item><title>Vesk " + shortVersion + "</title>"
           "<sparkle:version>" + build + "</sparkle:version>"
           "<sparkle:shortVersionString>" + shortVersion + "</sparkle:shortVersionString>"
        + extra + "</item>\n";
}

} // namespace

// The updater's pure parts: reading a feed, ordering versions, deciding what a
// check found and when the next automatic one is due.
class TestUpdater final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionsCompareComponentByComponent_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order"); // of a against b
        QTest::newRow("1.10 is newer than 1.9, numbers are not text") << "1.10" << "1.9" << 1;
        QTest::newRow("a higher major version wins over longer minors") << "2" << "1.9.9" << 1;
        QTest::newRow("an extra non-zero component is newer") << "1.2.1" << "1.2" << 1;
        QTest::newRow("a release is newer than its beta") << "1.0" << "1.0b1" << 1;
        QTest::newRow("a later beta is newer than an earlier one") << "1.0b2" << "1.0b1" << 1;
        QTest::newRow("beta 10 is newer than beta 9") << "1.0b10" << "1.0b9" << 1;
        QTest::newRow("a release candidate is newer than a beta") << "1.0rc1" << "1.0beta3" << 1;
        QTest::newRow("a patch release is newer than the next one's beta") << "1.0.1" << "1.0b1" << 1;
        QTest::newRow("a number longer than any integer still orders")
            << "1.123456789012345678901234567890" << "1.99999999999999999999999999999" << 1;
        QTest::newRow("any version is newer than none") << "0.0.1" << "" << 1;
        QTest::newRow("trailing zeros do not count") << "1.2" << "1.2.0.0" << 0;
        QTest::newRow("leading zeros do not count") << "1.02" << "1.2" << 0;
        QTest::newRow("a leading v is ignored") << "v1.2" << "1.2" << 0;
        QTest::newRow("separators other than dots only separate") << "1-2_3" << "1.2.3" << 0;
        QTest::newRow("pre-release tags ignore case") << "1.0RC1" << "1.0rc1" << 0;
    }

    void versionsCompareComponentByComponent()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        const auto sign = [](int value) { return (value > 0) - (value < 0); };
        QCOMPARE(sign(compareVersions(a, b)), order);
        QCOMPARE(sign(compareVersions(b, a)), -order);
    }

    void aFeedIsReadIntoItems()
    {
        const Appcast appcast = parseAppcast(feed(
            item("1.2", "12",
                 "<link>https://vesk.app/download</link>"
                 "<description><![CDATA[<ul><li>Faster scans</li></ul>]]></description>"
                 "<enclosure url=\"https://vesk.app/vesk-1.2.tar.gz\" length=\"10\" type=\"application/gzip\"/>")
            + "<item><title>Old style</title>"
              "<enclosure url=\"https://vesk.app/vesk-1.1.tar.gz\" sparkle:version=\"11\""
              " sparkle:shortVersionString=\"1.1\"/>"
              "<sparkle:releaseNotesLink>https://vesk.app/notes/1.1</sparkle:releaseNotesLink></item>"
            + "<item><title>No version at all</title></item>"));
        QVERIFY2(appcast.error.isEmpty(), qPrintable(appcast.error));
        QCOMPARE(appcast.items.size(), 2);

        const AppcastItem &current = appcast.items.at(0);
        QCOMPARE(current.title, QStringLiteral("Vesk 1.2"));
        QCOMPARE(current.shortVersion, QStringLiteral("1.2"));
        QCOMPARE(current.version, QStringLiteral("12"));
        QCOMPARE(current.downloadUrl, QUrl("https://vesk.app/download")); // the page, not the archive
        QCOMPARE(current.releaseNotes, QStringLiteral("<ul><li>Faster scans</li></ul>"));

        const AppcastItem &old = appcast.items.at(1);
        QCOMPARE(old.shortVersion, QStringLiteral("1.1"));
        QCOMPARE(old.version, QStringLiteral("11"));
        QCOMPARE(old.downloadUrl, QUrl("https://vesk.app/vesk-1.1.tar.gz"));
        QCOMPARE(old.releaseNotesUrl, QUrl("https://vesk.app/notes/1.1"));
    }

    void linksThatAreNotSecureWebAddressesAreDropped_data()
    {
        QTest::addColumn<QByteArray>("links");
        QTest::newRow("local files, scripts and shares are not web addresses")
            << QByteArray("<link>file:///etc/passwd</link>"
                          "<sparkle:releaseNotesLink>javascript:alert(1)</sparkle:releaseNotesLink>"
                          "<enclosure url=\"smb://host/share/vesk\"/>");
        QTest::newRow("plain http download and notes links are refused")
            << QByteArray("<link>http://vesk.app/download</link>"
                          "<sparkle:releaseNotesLink>http://vesk.app/notes</sparkle:releaseNotesLink>"
                          "<enclosure url=\"http://vesk.app/vesk.tar.gz\"/>");
    }

    void linksThatAreNotSecureWebAddressesAreDropped()
    {
        QFETCH(QByteArray, links);
        const Appcast appcast = parseAppcast(feed(item("2.0", "20", links)));
        QCOMPARE(appcast.items.size(), 1);
        QVERIFY(appcast.items.first().downloadUrl.isEmpty());
        QVERIFY(appcast.items.first().releaseNotesUrl.isEmpty());
    }

    void unreadableFeedsSayWhy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("malformed XML is called damaged, with its line")
            << QByteArray("<rss version=\"2.0\"><channel>\n<item><title>x</titel></item></channel></rss>")
            << "The update feed is damaged (line 2";
        QTest::newRow("an empty answer is damaged") << QByteArray() << "The update feed is damaged";
        QTest::newRow("an HTML page is not a feed")
            << QByteArray("<html><body>Hello</body></html>") << "The update feed is not an RSS feed.";
        QTest::newRow("a feed without items lists no versions")
            << feed("") << "The update feed lists no versions.";
        QTest::newRow("an undeclared sparkle prefix is damaged")
            << QByteArray("<rss><channel><item><sparkle:version>2</sparkle:version></item></channel></rss>")
            << "The update feed is damaged";
    }

    void unreadableFeedsSayWhy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const Appcast appcast = parseAppcast(bytes);
        QVERIFY2(appcast.error.startsWith(error), qPrintable(appcast.error));
        QVERIFY(appcast.items.isEmpty());
    }

    void aCheckFindsTheNewestItemWhereverItIsListed_data()
    {
        QTest::addColumn<QByteArray>("items");
        QTest::addColumn<QString>("build"); // the installed build of version 1.9
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("found");
        const int available = int(UpdateCheckResult::Outcome::UpdateAvailable);
        const int upToDate = int(UpdateCheckResult::Outcome::UpToDate);
        QTest::newRow("a newer version is offered") << item("1.10", "20") << "19" << available << "1.10";
        QTest::newRow("the same version and build is up to date") << item("1.9", "19") << "19" << upToDate << "1.9";
        QTest::newRow("an older version is up to date") << item("1.8.5", "18") << "19" << upToDate << "1.8.5";
        QTest::newRow("a rebuild of the same version is offered") << item("1.9", "21") << "19" << available << "1.9";
        QTest::newRow("the newest item wins even when listed last")
            << item("1.8", "18") + item("1.11", "22") + item("1.10", "20") << "19" << available << "1.11";
        QTest::newRow("an item with only a build number is compared by it")
            << QByteArray("<item><sparkle:version>2.0</sparkle:version></item>") << "19" << available << "2.0";
        QTest::newRow("without an installed build number only versions count")
            << item("1.9", "500") << "" << upToDate << "1.9";
    }

    void aCheckFindsTheNewestItemWhereverItIsListed()
    {
        QFETCH(QByteArray, items);
        QFETCH(QString, build);
        QFETCH(int, outcome);
        QFETCH(QString, found);
        const UpdateCheckResult result = evaluateFeed(feed(items), QStringLiteral("1.9"), build);
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.item.displayVersion(), found);
        QCOMPARE(result.installedVersion, QStringLiteral("1.9"));
    }

    void automaticChecksComeOnlyWhenTurnedOn_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("hoursSinceLastCheck"); // -1: never checked
        QTest::addColumn<qint64>("expectedMs");       // -1: no check at all
        const qint64 hour = 3600 * 1000;
        QTest::newRow("off, nothing is ever scheduled") << false << -1 << qint64(-1);
        QTest::newRow("off, even long after the last check") << false << 100 << qint64(-1);
        QTest::newRow("on and never checked, soon after the settle time") << true << -1 << qint64(10000);
        QTest::newRow("on and checked a day ago, soon") << true << 30 << qint64(10000);
        QTest::newRow("on and checked an hour ago, the rest of the day") << true << 1 << 23 * hour;
        QTest::newRow("on with a last check in the future, soon") << true << -5 << qint64(10000);
    }

    void automaticChecksComeOnlyWhenTurnedOn()
    {
        QFETCH(bool, enabled);
        QFETCH(int, hoursSinceLastCheck);
        QFETCH(qint64, expectedMs);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QDateTime last = hoursSinceLastCheck == -1 ? QDateTime() : now.addSecs(-3600 * hoursSinceLastCheck);
        const auto delay = automaticCheckDelay(enabled, last, now, 24h, 10s);
        QCOMPARE(delay.has_value(), expectedMs >= 0);
        if (delay)
            QCOMPARE(delay->count(), expectedMs);
    }

    void releaseNotesAreShownAsPlainText_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("paragraphs and list items become lines")
            << "<h2>Vesk 2.0</h2>\n<ul>\n  <li>Faster   scans</li>\n  <li>Dark mode</li>\n</ul><p>Thanks!</p>"
            << "Vesk 2.0\n\n• Faster scans\n• Dark mode\n\nThanks!";
        QTest::newRow("images naming a device or a pipe are dropped, their description kept")
            << "<p>New<img src=\"/dev/zero\"><img src='/tmp/pipe' alt=\"a chart\"></p>"
            << "New[a chart]";
        QTest::newRow("style sheets and scripts are neither loaded nor shown")
            << "<link rel=stylesheet href=/dev/zero><style>p{}</style><script>x()</script>Text"
            << "Text";
        QTest::newRow("a link is written out with its real target")
            << "<a href=\"https://evil.example/\">https://vesk.app</a>" << "https://vesk.app <https://evil.example/>";
        QTest::newRow("entities spelling tags stay text") << "<b>&lt;img src=/dev/zero&gt; &amp; &#47;</b>"
                                                          << "<img src=/dev/zero> & /";
        QTest::newRow("twenty nested unclosed tables are just their text")
            << QString("<table><tr><td>").repeated(20) + "deep" << "deep";
        QTest::newRow("plain text keeps its lines") << "Fixed a crash.\n\nFaster." << "Fixed a crash.\n\nFaster.";
        QTest::newRow("control characters are not shown") << QStringLiteral("a\x1b[31mb") << "a\uFFFD[31mb";
        QTest::newRow("a megabyte of one word is cut as the editor cuts it")
            << QString(1024 * 1024, u'w') << QString(maxReleaseNotesLineLength, u'w') + u'…';
    }

    void releaseNotesAreShownAsPlainText()
    {
        QFETCH(QString, notes);
        QFETCH(QString, shown);
        QCOMPARE(releaseNotesText(notes), shown);
    }

    void longReleaseNotesAreCut()
    {
        const QString line = QString(80, u'x') + u'\n';
        const QString shown = releaseNotesText(line.repeated(2000));
        QVERIFY(shown.size() < maxReleaseNotesLength + 100);
        QVERIFY(shown.endsWith(QStringLiteral("(The release notes go on.)")));
    }

    void onlySecureFeedAddressesAreRead_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("read");
        QTest::newRow("https anywhere") << QUrl("https://vesk.app/appcast.xml") << true;
        QTest::newRow("plain http to another machine is refused") << QUrl("http://vesk.app/appcast.xml") << false;
        QTest::newRow("plain http to this machine, as tests serve it") << QUrl("http://127.0.0.1:8080/a.xml") << true;
        QTest::newRow("plain http to the IPv6 loopback") << QUrl("http://[::1]/a.xml") << true;
        QTest::newRow("a local file is refused") << QUrl("file:///etc/passwd") << false;
        QTest::newRow("an address without a host is refused") << QUrl("https:appcast.xml") << false;
    }

    void onlySecureFeedAddressesAreRead()
    {
        QFETCH(QUrl, url);
        QFETCH(bool, read);
        QCOMPARE(isSecureFeedAddress(url), read);
    }
};

VESK_TEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
