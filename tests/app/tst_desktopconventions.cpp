#include "app/contentview.h"
#include "app/veskapp.h"
#include "browse/skilllistmodel.h"
#include "browse/skilllistview.h"
#include "common/appstate.h"
#include "library/modelcontext.h"
#include "library/settingskeys.h"
#include "privatebus.h"
#include "testhome.h"

#include <QDBusConnection>
#include <QDesktopServices>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QtTest/QtTest>

namespace {

void writeSkill(const QString &path, const QByteArray &name)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("---\nname: " + name + "\n---\nBody.\n");
}

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

    QAction *menuItem(const QString &menu, const QString &item) const
    {
        for (QAction *menuAction : m_window->menuBar()->actions()) {
            if (plain(menuAction->text()) != menu || !menuAction->menu())
                continue;
            for (QAction *action : menuAction->menu()->actions()) {
                if (plain(action->text()) == item)
                    return action;
            }
        }
        return nullptr;
    }

    // An item of the list's context menu for `skill`, found by its text.
    QAction *contextItem(Skill *skill, const QString &text)
    {
        for (QAction *action : m_window->skillList()->contextActions(skill, this)) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    QStringList itemsOf(const QString &menu) const
    {
        QStringList items;
        for (QAction *menuAction : m_window->menuBar()->actions()) {
            if (plain(menuAction->text()) == menu) {
                for (QAction *action : menuAction->menu()->actions())
                    items.append(action->isSeparator() ? QStringLiteral("-") : plain(action->text()));
            }
        }
        return items;
    }

    QStringList listed() const
    {
        SkillListModel *model = m_window->skillList()->model();
        model->refresh();
        QStringList names;
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->skillAt(row)->name());
        return names;
    }

    Skill *skillNamed(const QString &name) const
    {
        for (Skill *skill : m_app->context().skills()) {
            if (skill->name() == name)
                return skill;
        }
        return nullptr;
    }

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
        m_window = m_app->newWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        if (!m_window->hasFinishedInitialScan())
            QVERIFY(QSignalSpy(m_window, &ContentView::initialScanFinished).wait(10000));
    }

    void cleanup()
    {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QSettings().clear();
    }

    void cleanupTestCase() { m_bus.reset(); }

    void theMenusAreLaidOutAsOnLinuxDesktops()
    {
        QStringList menus;
        for (QAction *menu : m_window->menuBar()->actions())
            menus.append(plain(menu->text()));
        QCOMPARE(menus, (QStringList{"File", "Edit", "View", "Help"}));
        QCOMPARE(itemsOf(QStringLiteral("File")),
                 (QStringList{"New Skill", "New Collection…", "New Window", "-", "Save", "-", "Close Window", "Quit"}));
        QCOMPARE(itemsOf(QStringLiteral("Edit")), (QStringList{"Find", "-", "Preferences…"}));
        QCOMPARE(itemsOf(QStringLiteral("View")), (QStringList{"Reload"}));
        QCOMPARE(itemsOf(QStringLiteral("Help")), (QStringList{"About Vesk", "Check for Updates…"}));
    }

    void everyItemHasTheUsualShortcut_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("Close Window is Ctrl+W") << "File" << "Close Window" << QKeySequence(QStringLiteral("Ctrl+W"));
        QTest::newRow("Quit is Ctrl+Q") << "File" << "Quit" << QKeySequence(QStringLiteral("Ctrl+Q"));
        QTest::newRow("New Skill is Ctrl+N") << "File" << "New Skill" << QKeySequence(QStringLiteral("Ctrl+N"));
        QTest::newRow("Save is Ctrl+S") << "File" << "Save" << QKeySequence(QStringLiteral("Ctrl+S"));
        QTest::newRow("Find is Ctrl+F") << "Edit" << "Find" << QKeySequence(QStringLiteral("Ctrl+F"));
        QTest::newRow("Preferences is Ctrl+,") << "Edit" << "Preferences…" << QKeySequence(QStringLiteral("Ctrl+,"));
        QTest::newRow("Reload is F5") << "View" << "Reload" << QKeySequence(QStringLiteral("F5"));
    }

    void everyItemHasTheUsualShortcut()
    {
        QFETCH(QString, menu);
        QFETCH(QString, item);
        QFETCH(QKeySequence, shortcut);
        QAction *action = menuItem(menu, item);
        QVERIFY(action);
        QCOMPARE(action->shortcut(), shortcut);
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

    void showInFileManagerAsksTheFileManagerOnTheBus()
    {
        if (m_bus->address().isEmpty())
            QSKIP("dbus-daemon is not installed (Debian package dbus-daemon)");
        FakeFileManager fileManager;
        QDBusConnection connection = m_bus->connect(QStringLiteral("file-manager"));
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                          QDBusConnection::ExportScriptableSlots));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.FileManager1")));

        Skill *review = skillNamed(QStringLiteral("review"));
        QVERIFY(review);
        QAction *reveal = contextItem(review, QStringLiteral("Show in File Manager"));
        QVERIFY(reveal);
        reveal->trigger();
        QTRY_COMPARE(fileManager.shown, QStringList{QUrl::fromLocalFile(review->filePath()).toString()});
        QTest::qWait(50);
        QVERIFY(!message());

        connection.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        connection.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }

    void openInDefaultEditorHandsTheFileToTheDesktop()
    {
        FakeFileHandler handler;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &handler, "open");
        Skill *review = skillNamed(QStringLiteral("review"));
        QAction *open = contextItem(review, QStringLiteral("Open in Default Editor"));
        QVERIFY(open);
        open->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(handler.opened, QList<QUrl>{QUrl::fromLocalFile(review->filePath())});
        QVERIFY(!message());
    }

    void whenNothingTakesTheFileAMessageSaysSo_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("deleteFirst");
        QTest::addColumn<QString>("text");
        QTest::newRow("no file manager answers") << "Show in File Manager" << false << "No file manager answered.";
        QTest::newRow("no application opens the file") << "Open in Default Editor" << false << "No application is set to open this kind of file.";
        QTest::newRow("the file to show is gone") << "Show in File Manager" << true << "The skill's file is no longer there.";
        QTest::newRow("the file to open is gone") << "Open in Default Editor" << true << "The skill's file is no longer there.";
    }

    void whenNothingTakesTheFileAMessageSaysSo()
    {
        QFETCH(QString, item);
        QFETCH(bool, deleteFirst);
        QFETCH(QString, text);
        // No file manager on the bus, and the offscreen platform opens nothing.
        Skill *review = skillNamed(QStringLiteral("review"));
        const QString path = review->filePath();
        if (deleteFirst)
            QVERIFY(QFile::remove(path));
        QAction *action = contextItem(review, item);
        QVERIFY(action);
        action->trigger();
        QTRY_VERIFY(message());
        QCOMPARE(message()->text(), text);
        QCOMPARE(message()->informativeText(), path);
        QVERIFY(message()->isVisible());
    }
};

VESK_TEST_MAIN(TestDesktopConventions)
#include "tst_desktopconventions.moc"
