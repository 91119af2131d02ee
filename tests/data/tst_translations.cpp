#include "testhome.h"

#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest/QtTest>

// Builds the translation template as a translator would get it and reads what
// the sources offer for translation.
class TestTranslations final : public QObject
{
    Q_OBJECT

    QStringList m_sources;

private Q_SLOTS:
    void initTestCase()
    {
        const QString binary = QStringLiteral(VESK_BINARY_DIR);
        const QString templatePath = binary + QStringLiteral("/translations/vesk.ts");
        QFile::remove(templatePath);
        QProcess build;
        build.setProcessChannelMode(QProcess::MergedChannels);
        build.start(QStringLiteral(VESK_CMAKE_COMMAND),
                    {QStringLiteral("--build"), binary, QStringLiteral("--target"), QStringLiteral("vesk_translation_template")});
        QVERIFY(build.waitForFinished(300000));
        const QString output = QString::fromLocal8Bit(build.readAll());
        QVERIFY2(build.exitStatus() == QProcess::NormalExit && build.exitCode() == 0, qPrintable(output));
        if (output.contains(QLatin1String("lupdate was not found")))
            QSKIP("Qt's linguist tools are not installed (Debian: qt6-l10n-tools)");

        QFile file(templatePath);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(templatePath));
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("source"))
                m_sources.append(xml.readElementText());
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    }

    void stringsFromEveryPartOfTheWindowAreOffered_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("the search field's placeholder") << QStringLiteral("Search skills…");
        QTest::newRow("a sidebar row") << QStringLiteral("All skills");
        QTest::newRow("a sidebar section") << QStringLiteral("Harnesses");
        QTest::newRow("the list when nothing matches") << QStringLiteral("No skills match the current filter.");
        QTest::newRow("a menu item") << QStringLiteral("Check for Updates…");
        QTest::newRow("a context menu item") << QStringLiteral("Open in Default Editor");
        QTest::newRow("the licence line of the About box") << QStringLiteral("Released under the MIT License");
        QTest::newRow("a command line error") << QStringLiteral("Vesk opens one skill at a time.");
        QTest::newRow("an update check that fails")
            << QStringLiteral("The network is not available. Check your internet connection.");
        QTest::newRow("a file the editor cannot open") << QStringLiteral("it is not valid UTF-8 text");
        QTest::newRow("a library that cannot be read")
            << QStringLiteral("The file is not a Vesk library (no schema version found).");
    }

    void stringsFromEveryPartOfTheWindowAreOffered()
    {
        QFETCH(QString, text);
        QVERIFY2(m_sources.contains(text), qPrintable(text));
    }

    void everyTrailingEllipsisIsTheOneCharacter()
    {
        QVERIFY(!m_sources.isEmpty());
        QStringList threeDots;
        for (const QString &source : std::as_const(m_sources)) {
            if (source.contains(QLatin1String("...")))
                threeDots.append(source);
        }
        QVERIFY2(threeDots.isEmpty(), qPrintable(threeDots.join(QLatin1String("\n"))));
    }
};

VESK_TEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
