#include "common/appnotifications.h"
#include "app/scanpathsettings.h"
#include "app/settingswindow.h"
#include "library/settingskeys.h"
#include "library/toolsource.h"
#include "testhome.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPushButton>
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
    const QTreeWidget *list = window.findChild<QTreeWidget *>();
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        paths << list->topLevelItem(i)->text(0);
    return paths;
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

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

    void versionTextMarksWhatIsUnknown()
    {
        QCOMPARE(aboutVersionText(QStringLiteral("1.4.2"), QStringLiteral("87")), QStringLiteral("1.4.2 (87)"));
        QCOMPARE(aboutVersionText(QStringLiteral("1.4.2"), QString()), QStringLiteral("1.4.2 (?)"));
        QCOMPARE(aboutVersionText(QString(), QStringLiteral("87")), QStringLiteral("? (87)"));
    }

    void showingTheWindowReloadsThePaths()
    {
        AppNotifications notifications;
        SettingsWindow window(notifications);
        storePaths({QStringLiteral("/one")});
        window.show();
        QCOMPARE(listedPaths(window), QStringList{"/one"});
        window.hide();
        storePaths({QStringLiteral("/one"), QStringLiteral("/two")});
        window.show();
        QCOMPARE(listedPaths(window), (QStringList{"/one", "/two"}));
    }

    void theMinusButtonRemovesItsRow()
    {
        storePaths({QStringLiteral("/a"), QStringLiteral("/b"), QStringLiteral("/c")});
        AppNotifications notifications;
        QSignalSpy posted(&notifications, &AppNotifications::customScanPathsChanged);
        SettingsWindow window(notifications);
        window.show();
        auto *list = window.findChild<QTreeWidget *>();
        QVERIFY(list && list->topLevelItemCount() == 3);
        auto *minus = qobject_cast<QAbstractButton *>(list->itemWidget(list->topLevelItem(1), 1));
        QVERIFY(minus);
        minus->click();
        QCOMPARE(posted.count(), 1);
        QCOMPARE(readCustomScanPaths(), (QStringList{"/a", "/c"}));
        QCOMPARE(listedPaths(window), (QStringList{"/a", "/c"}));
    }

    void theAddButtonAsksForADirectory_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("stored");

        QTest::newRow("a chosen directory is stored and listed") << "/srv/work/" << QStringList{"/srv/work"};
        QTest::newRow("a cancelled choice changes nothing") << "" << QStringList{};
    }

    void theAddButtonAsksForADirectory()
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
        QPushButton *add = nullptr;
        for (QPushButton *button : window.findChildren<QPushButton *>())
            add = button->text() == QLatin1String("Add directory...") ? button : add;
        QVERIFY(add);
        add->click();
        QCOMPARE(asked, 1);
        QCOMPARE(readCustomScanPaths(), stored);
        QCOMPARE(posted.count(), stored.size());
        QCOMPARE(listedPaths(window), stored);
    }

    void theDefaultHarnessIsRemembered()
    {
        const QString toolKey = QLatin1String(SettingsKeys::defaultTool);
        AppNotifications notifications;
        {
            SettingsWindow window(notifications);
            auto *combo = window.findChild<QComboBox *>();
            QVERIFY(combo);
            QCOMPARE(combo->currentText(), QStringLiteral("Claude Code"));
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
