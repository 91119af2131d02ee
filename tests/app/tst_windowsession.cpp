#include "app/contentview.h"
#include "app/veskapp.h"
#include "app/windowsession.h"
#include "common/appstate.h"
#include "common/libraryactions.h"
#include "library/store/modelcontext.h"
#include "library/catalogue/settingskeys.h"
#include "testhome.h"

#include <QScreen>
#include <QSplitter>
#include <QtTest/QtTest>

namespace {

// Two monitors side by side, as the offscreen platform is told in main() below.
const QRect leftScreen(0, 0, 1920, 1080);
const QRect rightScreen(1920, 0, 1280, 1024);

} // namespace

// Runs Vesk twice in one process, each run with its own application object over
// the same settings and store, as two launches would.
class TestWindowSession final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_store;
    std::unique_ptr<VeskApp> m_app;
    std::unique_ptr<WindowSession> m_session;

    // One run: the application object, its remembered session, and its first window shown.
    ContentView *start()
    {
        m_session.reset();
        m_app.reset();
        QString fatal;
        m_app = VeskApp::create(m_store.filePath(QStringLiteral("vesk.sqlite")), &fatal);
        if (!m_app)
            return nullptr;
        m_session = std::make_unique<WindowSession>(m_app->state(), m_app->context());
        m_session->restoreState();
        connect(m_app.get(), &VeskApp::windowOpened, m_session.get(), &WindowSession::attach);
        ContentView *window = m_app->newWindow();
        window->show();
        return QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::screens().size(), 2);
        QCOMPARE(QGuiApplication::screens().at(1)->geometry(), rightScreen);
    }

    void init() { QSettings().clear(); }

    void cleanup()
    {
        m_session.reset();
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void fitsOnScreens_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<bool>("fits");
        QTest::newRow("inside the first screen") << QRect(100, 80, 1200, 800) << true;
        QTest::newRow("inside the second screen") << QRect(2000, 50, 1000, 700) << true;
        QTest::newRow("filling a screen exactly") << leftScreen << true;
        QTest::newRow("across both screens") << QRect(1500, 100, 1000, 700) << false;
        QTest::newRow("where a screen used to be") << QRect(3400, 100, 1000, 700) << false;
        QTest::newRow("above every screen") << QRect(100, -900, 1000, 700) << false;
        QTest::newRow("larger than every screen") << QRect(0, 0, 2400, 1200) << false;
        QTest::newRow("an empty geometry") << QRect() << false;
    }

    void fitsOnScreens()
    {
        QFETCH(QRect, geometry);
        QFETCH(bool, fits);
        QCOMPARE(WindowSession::fitsOnScreens(geometry, {leftScreen, rightScreen}), fits);
    }

    void theNextRunComesBackAsTheLastOneClosed()
    {
        ContentView *window = start();
        QVERIFY(window);
        const QRect placed(2010, 60, 1100, 760);
        window->setGeometry(placed);
        QTRY_COMPARE(window->geometry(), placed);
        window->columns()->setSizes({250, 330, 520});
        const QList<int> columns = window->columns()->sizes();
        QVERIFY(createCollection(m_app->context(), QStringLiteral("Work"), QStringLiteral("folder"), nullptr));
        m_app->state().setSidebarFilter(SidebarFilter::collection(QStringLiteral("Work")));
        m_app->state().setDetailViewMode(DetailViewMode::Editor);
        QVERIFY(window->close());

        window = start();
        QVERIFY(window);
        QCOMPARE(window->geometry(), placed);
        QCOMPARE(window->columns()->sizes(), columns);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::collection(QStringLiteral("Work")));
        QCOMPARE(m_app->state().detailViewMode(), DetailViewMode::Editor);

        // A later window of the same run keeps the size and is placed anew.
        ContentView *second = m_app->newWindow();
        QCOMPARE(second->size(), placed.size());
    }

    // Which geometries fit is fitsOnScreens' table; here one that does not is ignored.
    void aGeometryThatFitsNoScreenIsIgnored()
    {
        const QRect saved(3400, 100, 1000, 700); // on a monitor that was unplugged
        QSettings().setValue(QLatin1String(SettingsKeys::windowGeometry), saved);
        QSettings().setValue(QLatin1String(SettingsKeys::windowMaximized), true);
        ContentView *window = start();
        QVERIFY(window);
        QVERIFY(window->geometry() != saved);
        QVERIFY(!window->isMaximized());
        QCOMPARE(window->size(), QSize(1180, 720));
        QVERIFY(WindowSession::fitsOnScreens(window->geometry(), {leftScreen, rightScreen}));
    }

    void aMaximizedWindowComesBackMaximized()
    {
        ContentView *window = start();
        QVERIFY(window);
        const QRect normal(300, 200, 1000, 650);
        window->setGeometry(normal);
        window->showMaximized();
        QTRY_VERIFY(window->isMaximized());
        QVERIFY(window->close());
        QCOMPARE(QSettings().value(QLatin1String(SettingsKeys::windowGeometry)).toRect(), normal);

        window = start();
        QVERIFY(window);
        QTRY_VERIFY(window->isMaximized());
        QCOMPARE(window->normalGeometry(), normal);
    }

    void unreadableValuesFallBackToTheDefaults_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QVariant>("columns");
        QTest::newRow("a collection that was deleted") << "collection:Gone" << "card" << QVariant();
        QTest::newRow("words that mean nothing") << "nonsense" << "sideways" << QVariant(QStringLiteral("wide"));
        QTest::newRow("a column too few") << "all" << "card" << QVariant(QVariantList{200, 300});
    }

    void unreadableValuesFallBackToTheDefaults()
    {
        QFETCH(QString, filter);
        QFETCH(QString, mode);
        QFETCH(QVariant, columns);
        QSettings settings;
        settings.setValue(QLatin1String(SettingsKeys::sidebarFilter), filter);
        settings.setValue(QLatin1String(SettingsKeys::detailViewMode), mode);
        settings.setValue(QLatin1String(SettingsKeys::splitterSizes), columns);
        settings.sync();
        ContentView *window = start();
        QVERIFY(window);
        QCOMPARE(m_app->state().sidebarFilter(), SidebarFilter::all());
        QCOMPARE(m_app->state().detailViewMode(), DetailViewMode::Card);
        QCOMPARE(window->columns()->count(), 3);
        for (int width : window->columns()->sizes())
            QVERIFY(width > 0);
    }

    void withoutASessionNothingIsWritten()
    {
        // Screenshots and tests make their windows without one.
        QString fatal;
        m_app = VeskApp::create(m_store.filePath(QStringLiteral("vesk.sqlite")), &fatal);
        QVERIFY(m_app);
        ContentView *window = m_app->newWindow();
        window->show();
        m_app->state().setSidebarFilter(SidebarFilter::favorites());
        QVERIFY(window->close());
        QVERIFY(QSettings().allKeys().isEmpty());
    }
};

int main(int argc, char **argv)
{
    TemporaryHome temporaryHome;
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [
        {"name": "left", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "dpr": 1},
        {"name": "right", "x": 1920, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Vesk"));
    app.setApplicationName(QStringLiteral("Vesk"));
    TestWindowSession test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowsession.moc"
