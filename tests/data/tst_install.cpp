#include "library/catalogue/toolsource.h"
#include "testhome.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest/QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(), int timeout = 90000)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(timeout) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The value of `key` in the [Desktop Entry] group of a desktop file.
QString desktopValue(const QString &text, const QString &key)
{
    bool inEntry = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

} // namespace

// Installs the build into a temporary prefix, as `cmake --install` does for a user,
// and checks what a desktop needs to find there.
class TestInstall final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    QString m_appId = QStringLiteral("app.vesk.Vesk");

    QString installed(const QString &relative) const { return m_prefix.path() + QLatin1Char('/') + relative; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        const Run install = run(QStringLiteral(VESK_CMAKE_COMMAND),
                                {QStringLiteral("--install"), QStringLiteral(VESK_BINARY_DIR),
                                 QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY2(install.exitCode == 0, qPrintable(install.out + install.err));
    }

    void theInstallTreeHoldsEveryPiece_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("the executable") << QStringLiteral("bin/vesk");
        QTest::newRow("the launcher entry") << QStringLiteral("share/applications/app.vesk.Vesk.desktop");
        QTest::newRow("the software-centre description") << QStringLiteral("share/metainfo/app.vesk.Vesk.metainfo.xml");
        QTest::newRow("the scalable icon") << QStringLiteral("share/icons/hicolor/scalable/apps/app.vesk.Vesk.svg");
        QTest::newRow("the manual page, compressed") << QStringLiteral("share/man/man1/vesk.1.gz");
        QTest::newRow("the licence") << QStringLiteral("share/doc/vesk/copyright");
        QTest::newRow("the Debian changelog, compressed") << QStringLiteral("share/doc/vesk/changelog.Debian.gz");
    }

    void theInstallTreeHoldsEveryPiece()
    {
        QFETCH(QString, path);
        const QFileInfo file(installed(path));
        QVERIFY2(file.isFile(), qPrintable(path));
        QVERIFY(file.size() > 0);
    }

    void theExecutableRunsFromThePrefix()
    {
        const QFileInfo executable(installed(QStringLiteral("bin/vesk")));
        QVERIFY(executable.isExecutable());
        const Run version = run(executable.filePath(), {QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(version.out.startsWith(QLatin1String("Vesk ")), qPrintable(version.out));
    }

    void everyIconSizeIsRenderedAtItsSize_data()
    {
        QTest::addColumn<int>("side");
        for (int side : {16, 22, 24, 32, 48, 64, 128, 256, 512})
            QTest::addRow("%dx%d", side, side) << side;
    }

    void everyIconSizeIsRenderedAtItsSize()
    {
        QFETCH(int, side);
        const QString path = installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(side).arg(m_appId));
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), QSize(side, side));
        // Drawn, not blank: the centre of the artwork is opaque.
        QCOMPARE(qAlpha(image.pixel(side / 2, side / 2)), 255);
    }

    void theLauncherEntryNamesTheInstalledPieces()
    {
        const QString entry = readText(installed(QStringLiteral("share/applications/app.vesk.Vesk.desktop")));
        QCOMPARE(desktopValue(entry, QStringLiteral("Exec")), QStringLiteral("vesk %F"));
        QCOMPARE(desktopValue(entry, QStringLiteral("Icon")), m_appId);
        QCOMPARE(desktopValue(entry, QStringLiteral("Categories")), QStringLiteral("Development;Utility;"));
        QVERIFY(!desktopValue(entry, QStringLiteral("Keywords")).isEmpty());
        // X11 window managers match the window to the launcher by its class.
        QCOMPARE(desktopValue(entry, QStringLiteral("StartupWMClass")), QStringLiteral("Vesk"));
    }

    void theDesktopFileValidates()
    {
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
        const Run result = run(validator, {installed(QStringLiteral("share/applications/app.vesk.Vesk.desktop"))});
        QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
        QVERIFY2(!(result.out + result.err).contains(QLatin1String("error:")), qPrintable(result.out + result.err));
    }

    void theMetainfoValidates()
    {
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
        if (validator.isEmpty())
            QSKIP("appstreamcli is not installed (Debian package appstream)");
        const Run result = run(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                           installed(QStringLiteral("share/metainfo/app.vesk.Vesk.metainfo.xml"))});
        QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    }

    void theMetainfoShowsTheScreenshotsOfTheDocs()
    {
        const QString metainfo = readText(installed(QStringLiteral("share/metainfo/app.vesk.Vesk.metainfo.xml")));
        QVERIFY(metainfo.contains(QLatin1String("<launchable type=\"desktop-id\">app.vesk.Vesk.desktop</launchable>")));
        QVERIFY(metainfo.contains(QLatin1String("<release version=\"" VESK_VERSION "\"")));
        static const QRegularExpression image(QStringLiteral("<image[^>]*>([^<]+)</image>"));
        int screenshots = 0;
        for (const QRegularExpressionMatch &match : image.globalMatch(metainfo)) {
            const QUrl url(match.captured(1));
            // An address that stays the same from one release to the next, and a picture that exists.
            QCOMPARE(url.scheme(), QStringLiteral("https"));
            QCOMPARE(url.host(), QStringLiteral("vesk.app"));
            QVERIFY2(!url.path().contains(QLatin1String(VESK_VERSION)), qPrintable(url.toString()));
            const QString picture = QStringLiteral(VESK_SOURCE_DIR "/docs/") + url.fileName();
            QVERIFY2(QFileInfo(picture).isFile(), qPrintable(picture));
            const QImage shot(picture);
            QVERIFY(metainfo.contains(QStringLiteral("width=\"%1\" height=\"%2\">%3")
                                          .arg(shot.width()).arg(shot.height()).arg(url.toString())));
            ++screenshots;
        }
        QVERIFY(screenshots >= 2);
    }

    // The sidebar values --filter takes are the catalogue's harnesses and the four
    // fixed rows: the page lists exactly those, in the catalogue's order.
    void theManualsFilterListIsTheCatalogue()
    {
        const QString page = readText(QStringLiteral(VESK_BINARY_DIR "/data/vesk.1"));
        const qsizetype start = page.indexOf(QLatin1String(".BI \\-\\-filter"));
        QVERIFY(start >= 0);
        const QString paragraph = page.mid(start, page.indexOf(QLatin1String("\n.TP"), start) - start);
        static const QRegularExpression value(QStringLiteral("^\\.[BR]+ (?:\\( )?([a-z]+) *[,)]"),
                                              QRegularExpression::MultilineOption);
        QStringList listed;
        for (const QRegularExpressionMatch &match : value.globalMatch(paragraph))
            listed.append(match.captured(1));
        QStringList expected{QStringLiteral("all"), QStringLiteral("favorites"), QStringLiteral("off"),
                             QStringLiteral("attention")};
        for (ToolSource tool : Tools::allCases())
            expected.append(Tools::rawValue(tool));
        QCOMPARE(listed, expected);
    }

    // The Debian package as `./build.sh package` makes it: compressed documents, a
    // changelog, a long description in short lines, and lintian content with it
    // where lintian is installed.
    void theDebianPackageFollowsDebiansRules()
    {
        const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
        if (dpkgDeb.isEmpty())
            QSKIP("dpkg-deb is not installed (Debian package dpkg)");
        QTemporaryDir packages;
        const Run cpack = run(QStringLiteral(VESK_CPACK_COMMAND),
                              {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                               QStringLiteral(VESK_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), packages.path()},
                              QProcessEnvironment::systemEnvironment(), 240000);
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.out + cpack.err));
        const QStringList found = QDir(packages.path()).entryList({QStringLiteral("vesk_*.deb")}, QDir::Files);
        QCOMPARE(found.size(), 1);
        const QString deb = packages.filePath(found.first());

        const Run contents = run(dpkgDeb, {QStringLiteral("--contents"), deb});
        QCOMPARE(contents.exitCode, 0);
        for (const char *path : {"./usr/share/man/man1/vesk.1.gz", "./usr/share/doc/vesk/changelog.Debian.gz",
                                 "./usr/share/doc/vesk/copyright"})
            QVERIFY2(contents.out.contains(QLatin1String(path) + QLatin1Char('\n')), path);
        QVERIFY(!contents.out.contains(QLatin1String("/vesk.1\n")));

        const Run description = run(dpkgDeb, {QStringLiteral("--field"), deb, QStringLiteral("Description")});
        QCOMPARE(description.exitCode, 0);
        const QStringList lines = description.out.trimmed().split(QLatin1Char('\n'));
        QVERIFY(lines.size() > 2);
        for (const QString &line : lines)
            QVERIFY2(line.size() <= 80, qPrintable(line));

        const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
        if (lintian.isEmpty())
            QSKIP("lintian is not installed (Debian package lintian); the rest was checked");
        // Vesk is not uploaded to Debian's archive: its changelog closes no
        // "intent to package" bug, which only an upload there would.
        const Run review = run(lintian, {QStringLiteral("--fail-on"), QStringLiteral("error,warning"),
                                         QStringLiteral("--suppress-tags"), QStringLiteral("initial-upload-closes-no-bugs"),
                                         deb});
        QVERIFY2(review.exitCode == 0, qPrintable(review.out + review.err));
    }

    void manFindsThePageAndItDocumentsEveryOption()
    {
        const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
        if (man.isEmpty())
            QSKIP("man is not installed (Debian package man-db)");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("100"));
        environment.insert(QStringLiteral("MAN_KEEP_FORMATTING"), QString());
        // Looked up by name in the prefix's manual tree, as `man vesk` does after an install.
        const Run page = run(man, {QStringLiteral("--warnings"), QStringLiteral("-P"), QStringLiteral("cat"),
                                   QStringLiteral("-M"), installed(QStringLiteral("share/man")), QStringLiteral("vesk")},
                             environment);
        QVERIFY2(page.exitCode == 0, qPrintable(page.err));
        QVERIFY2(page.err.trimmed().isEmpty(), qPrintable(page.err));
        const QString text = QString(page.out).remove(QRegularExpression(QStringLiteral(".\b")));
        for (const char *section : {"NAME", "SYNOPSIS", "COMMANDS", "OPTIONS", "FILES", "ENVIRONMENT",
                                    "EXIT STATUS", "EXAMPLES"})
            QVERIFY2(text.contains(QLatin1String("\n") + QLatin1String(section) + QLatin1Char('\n')), section);

        const Run help = run(installed(QStringLiteral("bin/vesk")), {QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]+"));
        int options = 0;
        for (const QRegularExpressionMatch &match : option.globalMatch(help.out)) {
            QVERIFY2(text.contains(match.captured()), qPrintable(match.captured() + " is not in the manual"));
            ++options;
        }
        QVERIFY(options > 5);
    }
};

VESK_TEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
