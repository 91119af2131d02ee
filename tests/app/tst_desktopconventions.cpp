#include "app/contentview.h"
#include "app/veskapp.h"
#include "browse/skilllistview.h"
#include "common/appstate.h"
#include "library/catalogue/settingskeys.h"
#include "appwindow.h"
#include "privatebus.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest/QtTest>

using TestFiles::writeSkill;

namespace {

QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

// Stands in for a desktop file manager on the test's own bus.
class FakeFileManager final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public Q_SLOTS:
    Q_SCRIPTABLE void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId);
        shown += uris;
    }
};

// Stands in for the desktop's handler of files.
class FakeFileHandler final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

// The window behaves as Qt and GTK applications on Linux do: the menus, the search
// field's keys, and the desktop taking a skill's file.
class TestDesktopConventions final : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateBus> m_bus;
    QTemporaryDir m_store;
    std::unique_ptr<VeskApp> m_app;
    ContentView *m_window = nullptr;

    QString home(const QString &relative) const { return QDir::homePath() + QLatin1Char('/') + relative; }

    // An item of the list's context menu for `skill`, found by its text.
    QAction *contextItem(Skill *skill, const QString &text)
    {
        for (QAction *action : m_window->skillList()->contextActions(skill, this)) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    // A menu's items in order, "-" for a separator, each with its shortcut if it has one.
    QStringList itemsOf(const QString &menu) const
    {
        QStringList items;
        for (QAction *menuAction : m_window->menuBar()->actions()) {
            if (plain(menuAction->text()) != menu)
                continue;
            for (QAction *action : menuAction->menu()->actions()) {
                QString item = action->isSeparator() ? QStringLiteral("-") : plain(action->text());
                if (!action->shortcut().isEmpty())
                    item += QLatin1Char(' ') + action->shortcut().toString();
                items.append(item);
            }
        }
        return items;
    }

    QStringList listed() const { return TestWindow::listedNames(m_window); }
    Skill *skillNamed(const QString &name) const { return TestWindow::skillNamed(m_app->context(), name); }
    QMessageBox *message() const { return m_window->findChild<QMessageBox *>(QStringLiteral("desktopAnswer")); }

private Q_SLOTS:
    void initTestCase()
    {
        // The window's own session bus is this private one, where only the fake
        // file manager below can answer.
        m_bus = std::make_unique<PrivateBus>();
        if (!m_bus->address().isEmpty())
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
    }

    void init()
    {
        QDir(home(".claude")).removeRecursively();
        writeSkill(home(".claude/skills/review/SKILL.md"), "review");
        QString fatal;
        m_app = VeskApp::create(m_store.filePath(QStringLiteral("vesk.sqlite")), &fatal);
        QVERIFY2(m_app, qPrintable(fatal));
        m_window = TestWindow::shown(m_app->newWindow());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void cleanup()
    {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QSettings().clear();
    }

    void cleanupTestCase() { m_bus.reset(); }

    void theMenusAreLaidOutAsOnLinuxDesktopsWithTheUsualShortcuts()
    {
        QStringList menus;
        for (QAction *menu : m_window->menuBar()->actions())
            menus.append(plain(menu->text()));
        QCOMPARE(menus, (QStringList{"File", "Edit", "View", "Skill", "Help"}));
        QCOMPARE(itemsOf(QStringLiteral("File")),
                 (QStringList{"New Skill… Ctrl+N", "New Collection…", "New Window Ctrl+Shift+N", "-",
                              "Add Skills from Repository…", "Check for Skill Updates", "-", "Save Ctrl+S", "-",
                              "Close Window Ctrl+W", "Quit Ctrl+Q"}));
        // Redo and Find Next keep the platform's own keys (Ctrl+Y or Ctrl+Shift+Z, F3).
        const auto standard = [](QKeySequence::StandardKey key) {
            return QKeySequence(key).toString(QKeySequence::NativeText);
        };
        QCOMPARE(itemsOf(QStringLiteral("Edit")),
                 (QStringList{"Undo Ctrl+Z", "Redo " + standard(QKeySequence::Redo), "-", "Cut Ctrl+X", "Copy Ctrl+C", "Paste Ctrl+V",
                              "Select All Ctrl+A", "-", "Find… Ctrl+F", "Find Next " + standard(QKeySequence::FindNext), "Replace… Ctrl+H", "-",
                              "Preferences… Ctrl+,"}));
        QCOMPARE(itemsOf(QStringLiteral("View")), (QStringList{"Show Editor Ctrl+E", "Show Line Numbers", "-", "Reload F5"}));
        QCOMPARE(itemsOf(QStringLiteral("Skill")), (QStringList{"Add to Favorites Ctrl+D"}));
        QCOMPARE(itemsOf(QStringLiteral("Help")),
                 (QStringList{"Keyboard Shortcuts Ctrl+?", "-", "About Vesk", "Check for Updates…"}));
    }

    void f5FindsSkillsNobodyWatchesAndDropsGoneOnes()
    {
        // Inside a project of a custom scan directory: scanned, but not watched.
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), QStringList{home("work")});
        writeSkill(home("work/app/.claude/skills/late/SKILL.md"), "late");
        QVERIFY(!listed().contains(QStringLiteral("late")));
        QTest::keyClick(m_window, Qt::Key_F5);
        QTRY_VERIFY(listed().contains(QStringLiteral("late")));

        QVERIFY(QDir(home("work/app/.claude/skills/late")).removeRecursively());
        QTest::keyClick(m_window, Qt::Key_F5);
        QTRY_VERIFY(!listed().contains(QStringLiteral("late")));
        QVERIFY(listed().contains(QStringLiteral("review")));
    }

    void escapeClearsTheSearchAndCtrlFSelectsIt()
    {
        QLineEdit *search = m_window->searchField();
        search->setFocus();
        QTRY_VERIFY(search->hasFocus());
        QTest::keyClicks(search, QStringLiteral("rev"));
        QCOMPARE(m_app->state().searchText(), QStringLiteral("rev"));
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(search->text(), QString());
        QCOMPARE(m_app->state().searchText(), QString());

        QTest::keyClicks(search, QStringLiteral("rev"));
        m_window->skillList()->listView()->setFocus();
        QTRY_VERIFY(!search->hasFocus());
        QTest::keySequence(m_window, QKeySequence::Find);
        QTRY_VERIFY(search->hasFocus());
        QCOMPARE(search->selectedText(), QStringLiteral("rev"));
    }

    void theDesktopTakesTheSkillsFileOrAMessageSaysWhyNot_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("taker"); // a file manager on the bus, or the desktop's handler of files
        QTest::addColumn<bool>("deleteFirst");
        QTest::addColumn<QString>("text"); // of the message; empty: none
        QTest::addColumn<QString>("folder"); // the skill's, in ~/.claude/skills
        const QString show = QStringLiteral("Show in File Manager");
        const QString open = QStringLiteral("Open in Default Editor");
        const QString gone = QStringLiteral("The skill's file is no longer there.");
        const QString review = QStringLiteral("review");
        // Entities decode to "/": as HTML this would read /dev/zero until memory runs out.
        const QString markup = QStringLiteral("<img src=&#47;dev&#47;zero>");
        QTest::newRow("the file manager on the bus shows the file") << show << true << false << QString() << review;
        QTest::newRow("the desktop opens the file") << open << true << false << QString() << review;
        QTest::newRow("no file manager answers") << show << false << false << "No file manager answered." << review;
        QTest::newRow("no application opens the file")
            << open << false << false << "No application is set to open this kind of file." << review;
        QTest::newRow("the file to show is gone") << show << false << true << gone << review;
        QTest::newRow("the file to open is gone") << open << false << true << gone << review;
        QTest::newRow("no file manager answers for a folder named like markup")
            << show << false << false << "No file manager answered." << markup;
        QTest::newRow("the file gone from a folder named like markup") << open << false << true << gone << markup;
    }

    void theDesktopTakesTheSkillsFileOrAMessageSaysWhyNot()
    {
        QFETCH(QString, item);
        QFETCH(bool, taker);
        QFETCH(bool, deleteFirst);
        QFETCH(QString, text);
        QFETCH(QString, folder);
        const bool show = item == QLatin1String("Show in File Manager");
        const QString service = QStringLiteral("org.freedesktop.FileManager1");
        const QString object = QStringLiteral("/org/freedesktop/FileManager1");
        if (folder != QLatin1String("review")) {
            writeSkill(home(".claude/skills/" + folder + "/SKILL.md"), "markup");
            QTest::keyClick(m_window, Qt::Key_F5);
            QTRY_VERIFY(skillNamed(QStringLiteral("markup")));
        }
        Skill *review = skillNamed(folder == QLatin1String("review") ? folder : QStringLiteral("markup"));
        const QString path = review->filePath();
        // Without a taker there is no file manager on the bus, and the offscreen
        // platform opens nothing.
        FakeFileManager fileManager;
        FakeFileHandler handler;
        QDBusConnection bus = m_bus->connect(QStringLiteral("file-manager"));
        if (taker && show) {
            if (m_bus->address().isEmpty())
                QSKIP("dbus-daemon is not installed (Debian package dbus-daemon)");
            QVERIFY(bus.registerObject(object, &fileManager, QDBusConnection::ExportScriptableSlots));
            QVERIFY(bus.registerService(service));
        } else if (taker) {
            QDesktopServices::setUrlHandler(QStringLiteral("file"), &handler, "open");
        }
        if (deleteFirst)
            QVERIFY(QFile::remove(path));
        QAction *action = contextItem(review, item);
        QVERIFY(action);
        action->trigger();

        if (taker) {
            QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
            QTRY_COMPARE(fileManager.shown.size() + handler.opened.size(), 1);
            const QString taken = show ? fileManager.shown.first() : handler.opened.first().toString();
            QCOMPARE(taken, QUrl::fromLocalFile(path).toString());
            QTest::qWait(50);
            QVERIFY(!message());
            bus.unregisterService(service);
            bus.unregisterObject(object);
            return;
        }
        QTRY_VERIFY(message());
        QCOMPARE(message()->text(), text);
        QCOMPARE(message()->informativeText(), path);
        QVERIFY(message()->isVisible());
        // Every text of the box is drawn as written, the path included.
        int labels = 0;
        for (QLabel *label : message()->findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            ++labels;
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->text()));
        }
        QCOMPARE(labels, 2);
    }
};

VESK_TEST_MAIN(TestDesktopConventions)
#include "tst_desktopconventions.moc"
