#include "app/aboutbox.h"
#include "cli/buildinfo.h"
#include "app/checksettingspage.h"
#include "app/scanpathsettings.h"
#include "app/settingswindow.h"
#include "app/updater.h"
#include "app/veskapp.h"
#include "common/appnotifications.h"
#include "library/catalogue/settingskeys.h"
#include "library/catalogue/toolsource.h"
#include "library/checks/libraryhealth.h"
#include "testhome.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QSettings>
#include <QTreeWidget>
#include <QtTest/QtTest>

namespace {

const QString key = QLatin1String(SettingsKeys::customScanPaths);

void storePaths(const QStringList &paths)
{
    QSettings().setValue(key, paths);
}

QStringList listedPaths(const SettingsWindow &window)
{
    QStringList paths;
    const QTreeWidget *list = window.findChild<QTreeWidget *>(QStringLiteral("scanDirectories"));
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        paths << list->topLevelItem(i)->data(0, Qt::UserRole).toString();
    return paths;
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

    AppNotifications m_notifications;
    Updater m_updater;

private Q_SLOTS:
    void init() { QSettings().clear(); }

    void aMalformedStoredValueLoadsAsEmpty()
    {
        QSettings().setValue(key, QVariantList{1, 2});
        AppNotifications notifications;
        QVERIFY(ScanPathSettings(notifications).load().isEmpty());
    }

    void editingStoresAndPostsAtOnce_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("after");

        QTest::newRow("adding appends a new directory") << QStringList{"/a"} << false << "/b" << QStringList{"/a", "/b"};
        QTest::newRow("adding cleans the choice and drops its trailing slash")
            << QStringList{} << false << "/home/u/./x/../Dev/" << QStringList{"/home/u/Dev"};
        QTest::newRow("adding makes a relative choice absolute")
            << QStringList{} << false << "some/dir" << QStringList{QDir::currentPath() + "/some/dir"};
        QTest::newRow("adding a directory already listed neither stores nor posts")
            << QStringList{"/a", "/b"} << false << "/b" << QStringList{"/a", "/b"};
        QTest::newRow("adding the same directory under another spelling does nothing")
            << QStringList{"/b"} << false << "/b/" << QStringList{"/b"};
        QTest::newRow("adding an empty choice does nothing") << QStringList{"/a"} << false << "" << QStringList{"/a"};
        QTest::newRow("removing keeps the others in order")
            << QStringList{"/a", "/b", "/c"} << true << "/b" << QStringList{"/a", "/c"};
        QTest::newRow("removing drops every copy") << QStringList{"/b", "/a", "/b"} << true << "/b" << QStringList{"/a"};
        QTest::newRow("removing the last one leaves an empty list") << QStringList{"/b"} << true << "/b" << QStringList{};
    }

    void editingStoresAndPostsAtOnce()
    {
        QFETCH(QStringList, before);
        QFETCH(bool, remove);
        QFETCH(QString, path);
        QFETCH(QStringList, after);
        const bool changed = remove || after != before;

        storePaths(before);
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        ScanPathSettings settings(notifications);
        QStringList paths = settings.load();
        if (remove)
            settings.remove(paths, path);
        else
            QCOMPARE(settings.add(paths, path), changed);
        QCOMPARE(paths, after);
        QCOMPARE(readCustomScanPaths(), after);
        QCOMPARE(posted.count(), changed ? 1 : 0);
    }

    void versionTextMarksWhatIsUnknown_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("text");
        QTest::newRow("a version with a build number") << "1.4.2" << "87" << "1.4.2 (87)";
        QTest::newRow("a version without a build number") << "1.4.2" << "" << "1.4.2 (?)";
        QTest::newRow("a build number without a version") << "" << "87" << "? (87)";
        QTest::newRow("neither") << "" << "" << "? (?)";
    }

    void versionTextMarksWhatIsUnknown()
    {
        QFETCH(QString, version);
        QFETCH(QString, build);
        QFETCH(QString, text);
        QCOMPARE(aboutVersionText(version, build), text);
    }

    void theAboutTabAndTheAboutBoxAgree()
    {
        // The build's own numbers, as CMake configured them.
        QCOMPARE(BuildInfo::version(), QStringLiteral(VESK_VERSION));
        const QString line = currentVersionLine();
        QCOMPARE(line, "v" + aboutVersionText(BuildInfo::version(), BuildInfo::buildNumber()));

        SettingsWindow window(m_notifications, m_updater);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("version"))->text(), line);
        const QString licence = window.findChild<QLabel *>(QStringLiteral("licence"))->text();
        QVERIFY(licence.contains(QLatin1String("MIT License")));

        std::unique_ptr<QMessageBox> box(createAboutBox(nullptr));
        const QString about = box->text() + box->informativeText();
        QVERIFY2(about.contains(line), qPrintable(about));
        QVERIFY2(about.contains(licence), qPrintable(about));
        QVERIFY(about.contains(QLatin1String("Made by Dravlen")));
    }

    void theWindowClosesLikeASettingsWindow_data()
    {
        QTest::addColumn<QKeySequence>("keys"); // empty: the Close button
        QTest::newRow("Escape closes it") << QKeySequence(Qt::Key_Escape);
        QTest::newRow("Ctrl+W closes it") << QKeySequence(Qt::CTRL | Qt::Key_W);
        QTest::newRow("the Close button closes it") << QKeySequence();
    }

    void theWindowClosesLikeASettingsWindow()
    {
        QFETCH(QKeySequence, keys);
        SettingsWindow window(m_notifications, m_updater);
        window.present(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (keys.isEmpty()) {
            QPushButton *close = nullptr;
            for (QPushButton *button : window.findChildren<QPushButton *>())
                close = button->text() == QLatin1String("Close") ? button : close;
            QVERIFY(close);
            close->click();
        } else {
            window.tabs()->currentWidget()->setFocus();
            QTest::keySequence(&window, keys);
        }
        QVERIFY(!window.isVisible());
    }

    void oneWindowOpensCentredOnTheWindowThatAsked()
    {
        QTemporaryDir data;
        QString fatal;
        const std::unique_ptr<VeskApp> app = VeskApp::create(data.filePath("vesk.sqlite"), &fatal);
        QVERIFY2(app, qPrintable(fatal));
        QWidget requester;
        requester.setGeometry(90, 60, 640, 480); // inside the 800 × 600 offscreen screen
        requester.show();
        QVERIFY(QTest::qWaitForWindowExposed(&requester));

        app->showSettings(&requester);
        SettingsWindow *window = app->settingsWindow();
        QVERIFY(window && window->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // The frame is unknown until the window is first shown: allow for it.
        QVERIFY((window->frameGeometry().center() - requester.frameGeometry().center()).manhattanLength() <= 8);
        QCOMPARE(window->width(), 480);
        QVERIFY(window->height() >= 320);

        // Asked again, the same window comes forward where the user left it.
        window->move(window->pos() + QPoint(40, 30));
        const QPoint moved = window->pos();
        window->tabs()->setCurrentIndex(2);
        app->showSettings(&requester);
        QCOMPARE(app->settingsWindow(), window);
        QCOMPARE(window->pos(), moved);
        QCOMPARE(window->tabs()->currentIndex(), 2);
    }

    void checksAreTurnedOffFromTheKeyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QStringList>("disabled"); // stored afterwards
        QTest::newRow("space turns off the rule the keyboard is on")
            << QList<int>{Qt::Key_Space} << QStringList{"format/no-frontmatter"};
        QTest::newRow("space again turns it back on") << QList<int>{Qt::Key_Space, Qt::Key_Space} << QStringList();
        QTest::newRow("the arrows move to the next rule")
            << QList<int>{Qt::Key_Down, Qt::Key_Space} << QStringList{"format/unclosed-frontmatter"};
        QTest::newRow("two rules turned off are both stored")
            << QList<int>{Qt::Key_Space, Qt::Key_Down, Qt::Key_Space}
            << QStringList{"format/no-frontmatter", "format/unclosed-frontmatter"};
    }

    void checksAreTurnedOffFromTheKeyboard()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QStringList, disabled);
        // A rule a later version wrote stays turned off, whatever this one changes.
        QSettings().setValue(QLatin1String(SettingsKeys::disabledCheckRules), QStringList{"future/rule"});
        QTemporaryDir data;
        QString fatal;
        const std::unique_ptr<VeskApp> app = VeskApp::create(data.filePath("vesk.sqlite"), &fatal);
        QVERIFY2(app, qPrintable(fatal));
        QCOMPARE(app->health().disabledRules(), QSet<QString>{"future/rule"});
        app->showSettings(nullptr);
        SettingsWindow *window = app->settingsWindow();
        auto *page = window->findChild<CheckSettingsPage *>();
        QVERIFY(page);
        window->tabs()->setCurrentWidget(page);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTreeWidget *rules = page->rules();
        // Every rule is listed with its level, all of them on.
        QCOMPARE(rules->topLevelItemCount(), 36);
        QCOMPARE(rules->topLevelItem(0)->text(1), QStringLiteral("Error"));
        QVERIFY(page->turnAllOnButton()->isEnabled());
        rules->setFocus();
        QSignalSpy posted(&app->notifications(), &AppNotifications::checkRulesChanged);
        for (int key : keys)
            QTest::keyClick(rules, Qt::Key(key));
        QCOMPARE(posted.size(), keys.count(Qt::Key_Space));
        QCOMPARE(QSettings().value(QLatin1String(SettingsKeys::disabledCheckRules)).toStringList(),
                 QStringList{"future/rule"} + disabled);
        // The window's health follows at once.
        QCOMPARE(app->health().disabledRules(), QSet<QString>(disabled.cbegin(), disabled.cend()) + QSet<QString>{"future/rule"});

        page->turnAllOnButton()->click();
        QCOMPARE(QSettings().value(QLatin1String(SettingsKeys::disabledCheckRules)).toStringList(), QStringList{"future/rule"});
        QCOMPARE(rules->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(rules->topLevelItem(1)->checkState(0), Qt::Checked);
    }

    void aWindowNeverOpensOffTheScreen_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QPoint>("position");
        const QRect screen(0, 0, 1400, 900);
        QTest::newRow("centred on a window in the middle") << QRect(200, 100, 1000, 700) << QPoint(460, 290);
        QTest::newRow("pulled back from the right and bottom edges") << QRect(1300, 850, 400, 300) << QPoint(920, 580);
        QTest::newRow("pulled back from the left and top edges") << QRect(-300, -200, 300, 200) << QPoint(0, 0);
    }

    void aWindowNeverOpensOffTheScreen()
    {
        QFETCH(QRect, anchor);
        QFETCH(QPoint, position);
        QCOMPARE(centredPosition(QSize(480, 320), anchor, QRect(0, 0, 1400, 900)), position);
    }

    void theDirectoryListShowsAndEditsTheStoredPaths()
    {
        const QString inside = QDir::homePath() + QStringLiteral("/Development");
        storePaths({inside});
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        SettingsWindow window(notifications, m_updater);
        QString chosen;
        int asked = 0;
        window.setDirectoryChooser([&](QWidget *) {
            ++asked;
            return chosen;
        });
        window.show();
        auto *list = window.findChild<QTreeWidget *>(QStringLiteral("scanDirectories"));
        QVERIFY(list);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("~/Development"));
        QCOMPARE(list->topLevelItem(0)->toolTip(0), inside);
        QCOMPARE(list->textElideMode(), Qt::ElideMiddle);

        // Shown again, it reloads what is stored now.
        window.hide();
        storePaths({inside, QStringLiteral("/srv/code"), QStringLiteral("/srv/more")});
        window.show();
        QCOMPARE(listedPaths(window), (QStringList{inside, "/srv/code", "/srv/more"}));
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("/srv/code"));

        // A row's minus button removes that row.
        auto *minus = qobject_cast<QAbstractButton *>(list->itemWidget(list->topLevelItem(1), 1));
        QVERIFY(minus);
        minus->click();
        QCOMPARE(posted.count(), 1);
        QCOMPARE(readCustomScanPaths(), (QStringList{inside, "/srv/more"}));
        QCOMPARE(listedPaths(window), (QStringList{inside, "/srv/more"}));

        // The add button asks for a directory: a cancelled choice changes nothing,
        // a chosen one is stored and listed.
        auto *add = window.findChild<QPushButton *>(QStringLiteral("addDirectory"));
        QVERIFY(add);
        QCOMPARE(add->text(), QStringLiteral("Add directory…"));
        add->click();
        QCOMPARE(asked, 1);
        QCOMPARE(posted.count(), 1);
        chosen = QStringLiteral("/srv/work/");
        add->click();
        QCOMPARE(asked, 2);
        QCOMPARE(posted.count(), 2);
        QCOMPARE(readCustomScanPaths(), (QStringList{inside, "/srv/more", "/srv/work"}));
        QCOMPARE(listedPaths(window), readCustomScanPaths());
    }

    void theDefaultHarnessIsRemembered()
    {
        const QString toolKey = QLatin1String(SettingsKeys::defaultTool);
        AppNotifications notifications;
        {
            SettingsWindow window(notifications, m_updater);
            auto *combo = window.findChild<QComboBox *>();
            QVERIFY(combo);
            QCOMPARE(combo->currentText(), QStringLiteral("Claude Code"));
            combo->setCurrentIndex(3);
            QCOMPARE(QSettings().value(toolKey).toString(), Tools::rawValue(Tools::allCases().at(3)));
        }
        SettingsWindow reopened(notifications, m_updater);
        QCOMPARE(reopened.findChild<QComboBox *>()->currentIndex(), 3);

        QSettings().setValue(toolKey, QStringLiteral("no-such-tool"));
        SettingsWindow unknown(notifications, m_updater);
        QCOMPARE(unknown.findChild<QComboBox *>()->currentText(), QStringLiteral("Claude Code"));

        // Only the harnesses a new skill can be written for: not Aider, which reads no
        // skill folder, nor Custom.
        QStringList offered;
        for (int i = 0; i < unknown.findChild<QComboBox *>()->count(); ++i)
            offered.append(unknown.findChild<QComboBox *>()->itemText(i));
        QCOMPARE(offered, (QStringList{"Claude Code", "Cursor", "Windsurf", "Codex", "Copilot", "Amp", "Gemini CLI",
                                       "OpenCode"}));
    }
};

VESK_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
