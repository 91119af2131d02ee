#include "library/search/foldedtext.h"
#include "randomtext.h"
#include "testhome.h"

#include <QtTest/QtTest>


class TestFoldedText final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Wherever both texts are exact, the folded search answers as QString does.
    void matchesQStringOnRandomTexts()
    {
        QRandomGenerator random(20240611);
        int exactPairs = 0;
        int matches = 0;
        for (int round = 0; round < 60000; ++round) {
            // Now and then a long text, so QString's search for long haystacks runs too.
            const QString haystack = RandomText::make(random, round % 50 == 0 ? 1500 : 40, 60);
            const QString needle = random.bounded(2) ? RandomText::sliceOf(random, haystack) : RandomText::make(random, 6, 60);
            const std::optional<QByteArray> folded = FoldedText::fold(haystack);
            const FoldedNeedle prepared(needle);
            if (!folded || !prepared.isExact())
                continue;
            ++exactPairs;
            const bool expected = haystack.contains(needle, Qt::CaseInsensitive);
            matches += expected;
            if (prepared.foundIn(*folded) != expected) {
                QFAIL(qPrintable(QStringLiteral("\"%1\" in \"%2\": QString says %3")
                                     .arg(needle.toHtmlEscaped(), haystack.left(200).toHtmlEscaped())
                                     .arg(expected)));
            }
        }
        // The generator must really have produced both outcomes, many times.
        QVERIFY2(exactPairs > 10000, qPrintable(QString::number(exactPairs)));
        QVERIFY2(matches > 5000 && matches < exactPairs - 5000, qPrintable(QString::number(matches)));
    }

    void inexactTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exact");
        QTest::newRow("plain ASCII is exact") << QStringLiteral("Hello World") << true;
        QTest::newRow("letters with diacritics are exact") << QStringLiteral("Résumé ÄÖÜ ß") << true;
        QTest::newRow("an emoji outside the BMP is exact") << QString::fromUcs4(U"ok \U0001F600") << true;
        QTest::newRow("a cased letter outside the BMP is not") << QString::fromUcs4(U"x\U00010400") << false;
        QTest::newRow("a lone high surrogate is not") << QString(QChar(char16_t(0xd800))) << false;
        QTest::newRow("a lone low surrogate is not") << QStringLiteral("a") + QChar(char16_t(0xdc00)) << false;
    }
    void inexactTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, exact);
        QCOMPARE(FoldedText::fold(text).has_value(), exact);
        QCOMPARE(FoldedNeedle(text).isExact(), exact);
    }

    void searchesEveryPositionOfLongTexts()
    {
        // A match at each offset around the sixteen- and thirty-two-byte blocks
        // (either may be the one in use), and at the very end.
        const QByteArray filler(100, 'x');
        for (int offset = 0; offset < 80; ++offset) {
            for (const QString &needle : {QStringLiteral("Ab"), QStringLiteral("AbC"), QStringLiteral("abcdefghijklmnopqrsTUV")}) {
                const QString text = QString::fromLatin1(filler.left(offset)) + needle.toLower()
                    + QString::fromLatin1(filler.left(offset % 37));
                QVERIFY(FoldedNeedle(needle).foundIn(*FoldedText::fold(text)));
                QVERIFY(!FoldedNeedle(needle + u'!').foundIn(*FoldedText::fold(text)));
            }
        }
        QVERIFY(FoldedNeedle(QString()).foundIn(QByteArrayView()));
        QVERIFY(!FoldedNeedle(QStringLiteral("a")).foundIn(QByteArrayView()));
    }
};

VESK_TEST_GUILESS_MAIN(TestFoldedText)
#include "tst_foldedtext.moc"
