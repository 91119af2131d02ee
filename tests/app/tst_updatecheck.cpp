#include "app/settingswindow.h"
#include "app/updatedialog.h"
#include "app/updater.h"
#include "app/updatercontroller.h"
#include "app/veskapp.h"
#include "library/catalogue/settingskeys.h"
#include "testhome.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest/QtTest>

using namespace std::chrono_literals;

namespace {

// A tiny HTTP/1.1 server on 127.0.0.1 that answers each path the way a test
// asks: a feed, an error status, a redirect, or nothing at all.
class FeedServer final : public QObject
{
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray location; // for redirects
        bool silent = false; // accept the connection, never answer
    };

    FeedServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closedByClient; });
            }
        });
    }

    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    void route(const QByteArray &path, const Answer &answer) { m_routes.insert(path, answer); }
    QList<QByteArray> requests;
    int closedByClient = 0; // or by the server after answering

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray path = buffer.split(' ').value(1);
        buffer.clear();
        requests.append(path);
        const auto found = m_routes.constFind(path);
        const Answer answer = found == m_routes.cend() ? Answer{404, "no such page", {}, false} : *found;
        if (answer.silent)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n"
                          "Content-Type: application/rss+xml\r\n"
                          "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n"
                          "Connection: close\r\n";
        if (!answer.location.isEmpty())
            head += "Location: " + answer.location + "\r\n";
        socket->write(head + "\r\n" + answer.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_routes;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

QByteArray feedOffering(const QByteArray &shortVersion, const QByteArray &build)
{
    return "<?xml version=\"1.0\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Vesk</title><item><title>Vesk " + shortVersion + "</title>"
           "<sparkle:version>" + build + "</sparkle:version>"
           "<sparkle:shortVersionString>" + shortVersion + "</sparkle:shortVersionString>"
           "<link>https://vesk.app/download/" + shortVersion + "</link>"
           "<description><![CDATA[<p>What is new in " + shortVersion + ".</p>]]></description>"
           "</item></channel></rss>";
}

} // namespace

// The updater against a feed this test serves itself, driven the way the user
// drives it: through the "Check for Updates…" menu item and the About tab.
class TestUpdateCheck final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<FeedServer> m_server;
    std::unique_ptr<VeskApp> m_app;
    QList<QUrl> m_opened;

    void useFeed(const QString &path)
    {
        QSettings().setValue(QLatin1String(SettingsKeys::updateFeedUrl), m_server->url(path));
    }

    QPushButton *aboutTabButton()
    {
        m_app->showSettings(nullptr);
        return m_app->settingsWindow()->findChild<QPushButton *>(QStringLiteral("checkForUpdates"));
    }

private Q_SLOTS:
    void init()
    {
        QSettings().clear();
        m_server = std::make_unique<FeedServer>();
        QVERIFY(m_server->listen());
        m_server->route("/newer.xml", {200, feedOffering("1.10", "110"), {}, false});
        m_server->route("/same.xml", {200, feedOffering("1.9", "19"), {}, false});
        m_server->route("/moved.xml", {301, {}, "/newer.xml", false});
        m_server->route("/silent.xml", {0, {}, {}, true});
        m_server->route("/huge.xml", {200, QByteArray(2 * 1024 * 1024, 'x'), {}, false});

        m_data = std::make_unique<QTemporaryDir>();
        QString fatal;
        m_app = VeskApp::create(m_data->filePath("vesk.sqlite"), &fatal);
        QVERIFY2(m_app, qPrintable(fatal));
        m_app->updater().setInstalledVersion(QStringLiteral("1.9"), QStringLiteral("19"));
        m_opened.clear();
        m_app->updaterController().setUrlOpener([this](const QUrl &url) { m_opened.append(url); });
    }

    void cleanup()
    {
        m_app.reset();
        m_server.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void aCheckShowsWhatTheFeedSays_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QUrl>("download");

        // What each feed means is tested on the feed itself; these rows are about
        // what reaches the window, and what the network can do.
        const QUrl none;
        QTest::newRow("a newer version is offered with its notes and download page")
            << "/newer.xml" << 30000 << "A new version of Vesk is available"
            << "Vesk 1.10 is available. You have version 1.9." << QUrl("https://vesk.app/download/1.10");
        QTest::newRow("the same version is up to date")
            << "/same.xml" << 30000 << "You're up to date" << "Vesk 1.9 is the newest version available." << none;
        QTest::newRow("a missing feed is reported as not found")
            << "/missing.xml" << 30000 << "Vesk could not check for updates"
            << "The update feed was not found on 127.0.0.1 (HTTP 404)." << none;
        QTest::newRow("a redirect is followed to the feed")
            << "/moved.xml" << 30000 << "A new version of Vesk is available"
            << "Vesk 1.10 is available. You have version 1.9." << QUrl("https://vesk.app/download/1.10");
        QTest::newRow("an answer far too large to be a feed is refused")
            << "/huge.xml" << 30000 << "Vesk could not check for updates"
            << "The update feed at http://127.0.0.1:" << none;
        QTest::newRow("a server that never answers times out")
            << "/silent.xml" << 2000 << "Vesk could not check for updates"
            << "The update server 127.0.0.1 did not answer within 2 seconds." << none;
    }

    void aCheckShowsWhatTheFeedSays()
    {
        QFETCH(QString, path);
        QFETCH(int, timeoutMs);
        QFETCH(QString, headline);
        QFETCH(QString, message);
        QFETCH(QUrl, download);

        useFeed(path);
        Updater &updater = m_app->updater();
        updater.setTimeout(std::chrono::milliseconds(timeoutMs));
        QAction *menuItem = m_app->checkForUpdatesAction();
        QPushButton *button = aboutTabButton();
        QVERIFY(button);
        QVERIFY(menuItem->isEnabled());
        QVERIFY(button->isEnabled());

        QSignalSpy finished(&updater, &Updater::checkFinished);
        menuItem->trigger();
        // While it runs, neither the menu item nor the About button can start another.
        QVERIFY(!updater.canCheckForUpdates());
        QVERIFY(!menuItem->isEnabled());
        QVERIFY(!button->isEnabled());
        UpdateDialog *dialog = m_app->updaterController().dialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->isChecking());
        QCOMPARE(dialog->headline(), QStringLiteral("Checking for updates…"));
        updater.checkForUpdates(); // ignored while a check runs

        QVERIFY(finished.wait(60000));
        QVERIFY(menuItem->isEnabled());
        QVERIFY(button->isEnabled());
        QCOMPARE(m_server->requests.size(), path == "/moved.xml" ? 2 : 1);

        QCOMPARE(m_app->updaterController().dialog(), dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isChecking());
        QCOMPARE(dialog->headline(), headline);
        QVERIFY2(dialog->message().startsWith(message), qPrintable(dialog->message()));
        QCOMPARE(dialog->downloadUrl(), download);
        auto *open = dialog->findChild<QPushButton *>(QStringLiteral("download"));
        QCOMPARE(open->isVisibleTo(dialog), download.isValid());
        QCOMPARE(dialog->findChild<QWidget *>(QStringLiteral("releaseNotes"))->isVisibleTo(dialog),
                 download.isValid());
        if (download.isValid()) {
            open->click();
            QCOMPARE(m_opened, QList<QUrl>{download});
            QTRY_VERIFY(!m_app->updaterController().dialog());
        }
    }

    void cancellingStopsTheCheckAndClosesTheWindow()
    {
        useFeed(QStringLiteral("/silent.xml"));
        Updater &updater = m_app->updater();
        QSignalSpy finished(&updater, &Updater::checkFinished);
        aboutTabButton()->click();
        QVERIFY(!m_app->checkForUpdatesAction()->isEnabled());
        QTRY_COMPARE(m_server->requests.size(), 1);

        UpdateDialog *dialog = m_app->updaterController().dialog();
        QVERIFY(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<UpdateCheckResult>().outcome, UpdateCheckResult::Outcome::Cancelled);
        QVERIFY(m_app->checkForUpdatesAction()->isEnabled());
        QTRY_VERIFY(!m_app->updaterController().dialog());
        QVERIFY(m_app->settingsWindow()->isVisible()); // Escape closed only the update window
    }

    void anUpdaterChecksOnlyOnceStartedAndGoneMidCheckLeavesNoRequestBehind()
    {
        useFeed(QStringLiteral("/silent.xml"));
        auto updater = std::make_unique<Updater>();
        QSignalSpy changed(updater.get(), &Updater::canCheckForUpdatesChanged);
        QSignalSpy finished(updater.get(), &Updater::checkFinished);
        QVERIFY(!updater->canCheckForUpdates());
        updater->checkForUpdates(); // nothing happens before start()
        QVERIFY(!updater->canCheckForUpdates());
        updater->start();
        QVERIFY(updater->canCheckForUpdates());
        QCOMPARE(changed.size(), 1);
        QVERIFY(m_server->requests.isEmpty());

        updater->checkForUpdates();
        QTRY_COMPARE(m_server->requests.size(), 1);
        updater.reset();
        QTRY_COMPARE(m_server->closedByClient, 1); // the request was dropped, not left open
        QCOMPARE(finished.size(), 0);
    }

    void noRequestIsMadeUnlessAutomaticChecksAreTurnedOn()
    {
        Updater &updater = m_app->updater();
        QVERIFY(!updater.automaticallyChecksForUpdates());
        QVERIFY(!updater.isAutomaticCheckScheduled());

        m_app->showSettings(nullptr);
        auto *automatic = m_app->settingsWindow()->findChild<QCheckBox *>(QStringLiteral("automaticUpdates"));
        QVERIFY(automatic && !automatic->isChecked());
        automatic->click();
        QVERIFY(updater.automaticallyChecksForUpdates());
        QVERIFY(updater.isAutomaticCheckScheduled());
        QVERIFY(QSettings().value(QLatin1String(SettingsKeys::automaticallyChecksForUpdates)).toBool());
        automatic->click();
        QVERIFY(!updater.isAutomaticCheckScheduled());
        QVERIFY(m_server->requests.isEmpty());
    }
};

VESK_TEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
