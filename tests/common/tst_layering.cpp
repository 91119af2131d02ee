#include "testhome.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QtTest/QtTest>

// The build links each layer only against the layers beneath it; this test reads
// the includes too, so a header-only slip (an inline function, a forward
// declaration that grows) cannot point the wrong way unnoticed.
class TestLayering final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void includesPointDownward_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("allowed");
        QTest::addColumn<bool>("guiless"); // Qt Core only: no GUI module, no widget or image class
        QTest::newRow("the library core includes only itself and no GUI module")
            << "library" << QStringList{"library"} << true;
        QTest::newRow("the command line sits on the core, without a GUI module, so that vesk list loads none")
            << "cli" << QStringList{"library", "cli"} << true;
        QTest::newRow("the shared toolkit sits on the core")
            << "common" << QStringList{"library", "common"} << false;
        QTest::newRow("browsing sits on the toolkit, beside the detail and card columns")
            << "browse" << QStringList{"library", "common", "browse"} << false;
        QTest::newRow("the detail pane may host the card but not the browsing columns")
            << "detail" << QStringList{"library", "common", "card", "detail"} << false;
        QTest::newRow("the card sits on the toolkit only")
            << "card" << QStringList{"library", "common", "card"} << false;
    }

    void includesPointDownward()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, allowed);
        QFETCH(bool, guiless);
        static const QRegularExpression projectInclude(
            QStringLiteral("^\\s*#\\s*include\\s+\"([a-z]+)/[^\"]+\""),
            QRegularExpression::MultilineOption);
        static const QRegularExpression guiInclude(
            QStringLiteral("^\\s*#\\s*include\\s+<(Qt(Gui|Widgets|Svg|DBus|Network)/"
                           "|Q(Widget|Application|GuiApplication|Color|Font|Icon|Pixmap|Image|Palette)\\b)"),
            QRegularExpression::MultilineOption);

        const QString root = QStringLiteral(VESK_SOURCE_DIR "/src/") + folder;
        QDirIterator files(root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                           QDirIterator::Subdirectories);
        QStringList violations;
        int checked = 0;
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QString text = QString::fromUtf8(file.readAll());
            auto matches = projectInclude.globalMatch(text);
            while (matches.hasNext()) {
                const QString layer = matches.next().captured(1);
                if (!allowed.contains(layer))
                    violations.append(file.fileName() + QStringLiteral(" includes ") + layer);
            }
            if (guiless && guiInclude.match(text).hasMatch())
                violations.append(file.fileName() + QStringLiteral(" uses a GUI module"));
            ++checked;
        }
        QVERIFY(checked > 0);
        QVERIFY2(violations.isEmpty(), qPrintable(violations.join(QLatin1Char('\n'))));
    }

    // The core's rooms, bottom first. A room includes itself and the rooms beneath it.
    void coreRoomsStackUpward_data()
    {
        QTest::addColumn<QString>("room");
        const QStringList rooms = coreRooms();
        for (const QString &room : rooms)
            QTest::newRow(qPrintable(QStringLiteral("the %1 room includes only itself and the rooms beneath it").arg(room)))
                << room;
    }

    void coreRoomsStackUpward()
    {
        QFETCH(QString, room);
        static const QRegularExpression coreInclude(
            QStringLiteral("^\\s*#\\s*include\\s+\"library/([^\"]+)\""),
            QRegularExpression::MultilineOption);
        const QStringList rooms = coreRooms();
        const QStringList allowed = rooms.mid(0, rooms.indexOf(room) + 1);
        QStringList violations;
        int checked = 0;
        QDirIterator files(QStringLiteral(VESK_SOURCE_DIR "/src/library/") + room,
                           {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            auto matches = coreInclude.globalMatch(QString::fromUtf8(file.readAll()));
            while (matches.hasNext()) {
                const QString path = matches.next().captured(1);
                const QString target = path.section(QLatin1Char('/'), 0, 0);
                if (!path.contains(QLatin1Char('/')) || !allowed.contains(target))
                    violations.append(file.fileName() + QStringLiteral(" includes library/") + path);
            }
            ++checked;
        }
        QVERIFY(checked > 0);
        QVERIFY2(violations.isEmpty(), qPrintable(violations.join(QLatin1Char('\n'))));
    }

    // Every file of the core lives in a room, so none escapes the check above.
    void everyCoreFileHasARoom()
    {
        const QDir core(QStringLiteral(VESK_SOURCE_DIR "/src/library"));
        const QStringList loose = core.entryList({QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files);
        QVERIFY2(loose.isEmpty(), qPrintable(loose.join(QLatin1Char(' '))));
        QStringList unknown = core.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &room : coreRooms())
            unknown.removeAll(room);
        QVERIFY2(unknown.isEmpty(), qPrintable(QStringLiteral("rooms missing from the stack: ") + unknown.join(QLatin1Char(' '))));
    }

private:
    static QStringList coreRooms()
    {
        return {QStringLiteral("disk"),  QStringLiteral("catalogue"), QStringLiteral("search"),
                QStringLiteral("records"), QStringLiteral("store"),   QStringLiteral("checks"),
                QStringLiteral("scan"),
                QStringLiteral("watch"), QStringLiteral("files"), QStringLiteral("sources")};
    }
};

VESK_TEST_GUILESS_MAIN(TestLayering)
#include "tst_layering.moc"
