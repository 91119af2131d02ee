#include "library/search/foldedtext.h"
#include "library/search/searchkey.h"
#include "library/search/searchkeyfile.h"
#include "randomtext.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <vector>


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

    // A key keeps a long exact body in the file and a short or inexact one in
    // memory; wherever the body is, the key answers the same.
    void keysAnswerAlikeWhereverTheirBodiesAre_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("spilled");
        const QString words = QStringLiteral("Deploy the Größe service; REVIEW the façade. ").repeated(20);
        QTest::newRow("a short body stays in memory") << QStringLiteral("Ship it, Kelvin.") << false;
        QTest::newRow("a long body goes to the file") << words << true;
        QTest::newRow("a long body that cannot be folded keeps nothing")
            << words + QChar(char16_t(0xd800)) << false;
    }
    void keysAnswerAlikeWhereverTheirBodiesAre()
    {
        QFETCH(QString, body);
        QFETCH(bool, spilled);
        QTemporaryDir dir;
        const std::shared_ptr<SearchKeyFile> file = SearchKeyFile::create(dir.path());
        QVERIFY(file);
        const SearchKey inMemory = SearchKey::make(QStringLiteral("Deploy"), QStringLiteral("Ships"), body);
        const SearchKey key = SearchKey::make(QStringLiteral("Deploy"), QStringLiteral("Ships"), body, file);
        QCOMPARE(key.spilledBody != nullptr, spilled);
        QCOMPARE(inMemory.spilledBody, nullptr);
        QCOMPARE(key.exact, inMemory.exact);
        QCOMPARE(key.size(), inMemory.size());
        QCOMPARE(key.body(), inMemory.body());
        QCOMPARE(file->heldBytes(), spilled ? inMemory.size() - inMemory.descriptionEnd : 0);
        if (!key.exact)
            return;
        for (const QString &needle : {QStringLiteral("deploy"), QStringLiteral("SHIPS"), QStringLiteral("größe SERVICE"),
                                      QStringLiteral("FAÇADE. deploy"), QStringLiteral("kelvin"), QStringLiteral("review it"),
                                      QStringLiteral("ez"), QStringLiteral("ſervice")}) {
            const FoldedNeedle folded(needle);
            const bool expected = QStringLiteral("Deploy Ships ").append(body).contains(needle, Qt::CaseInsensitive);
            QCOMPARE(key.contains(folded), std::optional<bool>(expected));
            QCOMPARE(inMemory.contains(folded), std::optional<bool>(expected));
        }
    }

    // Spans of any size come back whole, in any order asked; what one span gives
    // back (a hole in its whole pages) leaves its neighbours' bytes as they were.
    void keyFileSpansReadBackTheirOwnBytes()
    {
        QVERIFY(!SearchKeyFile::create(QStringLiteral("/nonexistent/vesk")));
        QTemporaryDir dir;
        const std::shared_ptr<SearchKeyFile> file = SearchKeyFile::create(dir.path());
        QVERIFY(file);
        QVERIFY2(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), "the file has no name");

        QRandomGenerator random(31);
        std::vector<std::shared_ptr<const SearchKeyFile::Span>> spans;
        std::vector<QByteArray> bytes;
        for (const qsizetype size : {1, 600, 4096, 5000, 9000, 3 * 1024 * 1024, 700, 20000, 8192}) {
            QByteArray piece(size, Qt::Uninitialized);
            for (char &byte : piece)
                byte = char(random.bounded(256));
            spans.push_back(file->append(piece));
            QVERIFY(spans.back());
            bytes.push_back(piece);
        }
        qint64 held = 0;
        for (size_t i = 0; i < spans.size(); ++i) {
            if (i % 2 == 1)
                spans[i].reset();
            else
                held += bytes[i].size();
        }
        QCOMPARE(file->heldBytes(), held);

        std::vector<SearchKeyFile::Wanted> wanted;
        for (size_t i = spans.size(); i-- > 0;) {
            if (spans[i])
                wanted.push_back({spans[i].get(), i});
        }
        std::vector<int> seen(spans.size(), 0);
        SearchKeyFile::readEach(wanted, [&](size_t index, std::optional<QByteArrayView> got) {
            ++seen[index];
            QVERIFY(got.has_value());
            QCOMPARE(got->toByteArray(), bytes[index]);
        });
        for (size_t i = 0; i < spans.size(); i += 2) {
            QCOMPARE(seen[i], 1);
            QCOMPARE(spans[i]->read(), std::optional<QByteArray>(bytes[i]));
        }
    }
};

VESK_TEST_GUILESS_MAIN(TestFoldedText)
#include "tst_foldedtext.moc"
