#include "app/appnotifications.h"
#include "app/scanpathsettings.h"
#include "app/settingswindow.h"
#include "library/settingskeys.h"
#include "library/toolsource.h"
#include "testhome.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest/QtTest>

namespace {

const QString key = QLatin1String(SettingsKeys::customScanPaths);

void storePaths(const QStringList &paths)
{
    QSettings().setValue(key, paths);
}

QPushButton *addButton(const SettingsWindow &window)
{
    for (QPushButton *button : window.findChildren<QPushButton *>()) {
        if (button->text() == QLatin1String("Add directory..."))
            return button;
    }
    return nullptr;
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QSettings().clear(); }

    void loadWithNothingStoredIsEmpty()
    {
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        QVERIFY(ScanPathSettings(notifications).load().isEmpty());
        QVERIFY(!QSettings().contains(key));
        QCOMPARE(posted.count(), 0);
    }

    void loadIgnoresMalformedValue()
    {
        QSettings().setValue(key, QVariantList{1, 2});
        AppNotifications notifications;
        QVERIFY(ScanPathSettings(notifications).load().isEmpty());
    }

    void add_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QStringList>("after");

        QTest::newRow("first") << QStringList{} << "/home/u/Dev" << true << QStringList{"/home/u/Dev"};
        QTest::newRow("appends") << QStringList{"/a"} << "/b" << true << QStringList{"/a", "/b"};
        QTest::newRow("trailing slash") << QStringList{} << "/home/u/Dev/" << true
                                        << QStringList{"/home/u/Dev"};
        QTest::newRow("unclean") << QStringList{} << "/home/u/./x/../Dev" << true
                                 << QStringList{"/home/u/Dev"};
        QTest::newRow("duplicate") << QStringList{"/a", "/b"} << "/b" << false << QStringList{"/a", "/b"};
        QTest::newRow("duplicate after normalising") << QStringList{"/b"} << "/b/" << false
                                                     << QStringList{"/b"};
        QTest::newRow("empty") << QStringList{"/a"} << "" << false << QStringList{"/a"};
    }

    void add()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, chosen);
        QFETCH(bool, added);
        QFETCH(QStringList, after);

        storePaths(before);
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        ScanPathSettings settings(notifications);
        QStringList paths = settings.load();
        QCOMPARE(settings.add(paths, chosen), added);
        QCOMPARE(paths, after);
        QCOMPARE(readCustomScanPaths(), after);
        QCOMPARE(posted.count(), added ? 1 : 0);
    }

    void addingTwiceKeepsOneEntry()
    {
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        ScanPathSettings settings(notifications);
        QStringList paths = settings.load();
        QVERIFY(settings.add(paths, QStringLiteral("/srv/projects")));
        QCOMPARE(posted.count(), 1);
        QVERIFY(!settings.add(paths, QStringLiteral("/srv/projects")));
        QCOMPARE(posted.count(), 1);
        QCOMPARE(readCustomScanPaths(), QStringList{QStringLiteral("/srv/projects")});
    }

    void relativePathBecomesAbsolute()
    {
        const QString path = ScanPathSettings::normalised(QStringLiteral("some/dir/"));
        QVERIFY(QDir::isAbsolutePath(path));
        QVERIFY(path.endsWith(QLatin1String("/some/dir")));
    }

    void remove_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("after");

        QTest::newRow("middle") << QStringList{"/a", "/b", "/c"} << "/b" << QStringList{"/a", "/c"};
        QTest::newRow("first") << QStringList{"/a", "/b", "/c"} << "/a" << QStringList{"/b", "/c"};
        QTest::newRow("every copy") << QStringList{"/a", "/b", "/a", "/c"} << "/a"
                                    << QStringList{"/b", "/c"};
        QTest::newRow("last one") << QStringList{"/a"} << "/a" << QStringList{};
    }

    void remove()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, removed);
        QFETCH(QStringList, after);

        storePaths(before);
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        ScanPathSettings settings(notifications);
        QStringList paths = settings.load();
        settings.remove(paths, removed);
        QCOMPARE(paths, after);
        QCOMPARE(readCustomScanPaths(), after);
        QCOMPARE(posted.count(), 1);
    }

    void version_data()
    {
        QTest::addColumn<QString>("shortVersion");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("expected");

        QTest::newRow("both") << "1.4.2" << "87" << "1.4.2 (87)";
        QTest::newRow("no build") << "1.4.2" << "" << "1.4.2 (?)";
        QTest::newRow("no version") << "" << "87" << "? (87)";
        QTest::newRow("neither") << "" << "" << "? (?)";
    }

    void version()
    {
        QFETCH(QString, shortVersion);
        QFETCH(QString, build);
        QFETCH(QString, expected);
        QCOMPARE(aboutVersionText(shortVersion, build), expected);
    }

    void windowLayout()
    {
        AppNotifications notifications;
        SettingsWindow window(notifications);
        QCOMPARE(window.windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(window.size(), QSize(480, 320));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        auto *tabs = window.findChild<QTabWidget *>();
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("General"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Directories"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("About"));
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY(!tabs->tabIcon(i).isNull());
    }

    void showingReloadsPaths()
    {
        AppNotifications notifications;
        SettingsWindow window(notifications);
        auto *list = window.findChild<QTreeWidget *>();
        QVERIFY(list);
        storePaths({QStringLiteral("/one")});
        window.show();
        QCOMPARE(list->topLevelItemCount(), 1);
        window.hide();
        storePaths({QStringLiteral("/one"), QStringLiteral("/two")});
        window.show();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("/two"));
        QCOMPARE(list->topLevelItem(1)->toolTip(0), QStringLiteral("/two"));
    }

    void minusButtonRemovesRow()
    {
        storePaths({QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")});
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        SettingsWindow window(notifications);
        window.show();
        auto *list = window.findChild<QTreeWidget *>();
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 3);
        auto *minus = qobject_cast<QAbstractButton *>(list->itemWidget(list->topLevelItem(1), 1));
        QVERIFY(minus);
        minus->click();
        QCOMPARE(posted.count(), 1);
        QCOMPARE(readCustomScanPaths(), (QStringList{QStringLiteral("/a"), QStringLiteral("/c")}));
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("/c"));
    }

    void addDirectory_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("stored");

        QTest::newRow("chosen") << "/srv/work/" << QStringList{"/srv/work"};
        QTest::newRow("cancelled") << "" << QStringList{};
    }

    void addDirectory()
    {
        QFETCH(QString, chosen);
        QFETCH(QStringList, stored);

        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        SettingsWindow window(notifications);
        int asked = 0;
        window.setDirectoryChooser([&](QWidget *) {
            ++asked;
            return chosen;
        });
        window.show();
        QPushButton *add = addButton(window);
        QVERIFY(add);
        add->click();
        QCOMPARE(asked, 1);
        QCOMPARE(readCustomScanPaths(), stored);
        QCOMPARE(posted.count(), stored.size());
        QCOMPARE(window.findChild<QTreeWidget *>()->topLevelItemCount(), stored.size());
    }

    void defaultHarnessPersists()
    {
        const QString toolKey = QLatin1String(SettingsKeys::defaultTool);
        AppNotifications notifications;
        {
            SettingsWindow window(notifications);
            auto *combo = window.findChild<QComboBox *>();
            QVERIFY(combo);
            QCOMPARE(combo->count(), 8);
            QCOMPARE(combo->currentText(), QStringLiteral("Claude Code"));
            for (int i = 0; i < combo->count(); ++i)
                QCOMPARE(combo->itemText(i), Tools::displayName(Tools::allCases().at(i)));
            combo->setCurrentIndex(3);
            QCOMPARE(QSettings().value(toolKey).toString(), Tools::rawValue(Tools::allCases().at(3)));
        }
        SettingsWindow reopened(notifications);
        QCOMPARE(reopened.findChild<QComboBox *>()->currentIndex(), 3);

        QSettings().setValue(toolKey, QStringLiteral("no-such-tool"));
        SettingsWindow unknown(notifications);
        QCOMPARE(unknown.findChild<QComboBox *>()->currentText(), QStringLiteral("Claude Code"));
    }
};

VESK_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
