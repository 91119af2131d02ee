#include "library/checks/textdiff.h"

#include "testhome.h"

#include <QtTest/QtTest>

namespace {

// "= 1 1 a|a" for each row: its kind, its lines and the two texts.
QStringList summary(const TextDiff &diff)
{
    QStringList rows;
    for (const DiffRow &row : diff.rows) {
        const char *mark = row.kind == DiffRow::Kind::Same ? "="
            : row.kind == DiffRow::Kind::Changed           ? "~"
            : row.kind == DiffRow::Kind::Removed           ? "-"
                                                           : "+";
        rows.append(QStringLiteral("%1 %2 %3 %4|%5")
                        .arg(QLatin1String(mark)).arg(row.leftLine).arg(row.rightLine).arg(row.left, row.right));
    }
    return rows;
}

} // namespace

class TestTextDiff final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rows_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("identical texts are all shared lines")
            << QStringLiteral("a\nb\n") << QStringLiteral("a\nb\n") << QStringList{"= 1 1 a|a", "= 2 2 b|b"};
        QTest::newRow("a line only the right has is added")
            << QStringLiteral("a\nc\n") << QStringLiteral("a\nb\nc\n") << QStringList{"= 1 1 a|a", "+ 0 2 |b", "= 2 3 c|c"};
        QTest::newRow("a line only the left has is removed")
            << QStringLiteral("a\nb\nc\n") << QStringLiteral("a\nc\n") << QStringList{"= 1 1 a|a", "- 2 0 b|", "= 3 2 c|c"};
        QTest::newRow("a line replaced by another is one changed row")
            << QStringLiteral("a\nb\nc\n") << QStringLiteral("a\nB\nc\n") << QStringList{"= 1 1 a|a", "~ 2 2 b|B", "= 3 3 c|c"};
        QTest::newRow("two lines replaced by three pair up, the third added")
            << QStringLiteral("a\nb\nc\nz\n") << QStringLiteral("a\nB\nC\nD\nz\n")
            << QStringList{"= 1 1 a|a", "~ 2 2 b|B", "~ 3 3 c|C", "+ 0 4 |D", "= 4 5 z|z"};
        QTest::newRow("an empty left side makes every line added")
            << QString() << QStringLiteral("a\nb") << QStringList{"+ 0 1 |a", "+ 0 2 |b"};
        QTest::newRow("an empty right side makes every line removed")
            << QStringLiteral("a\nb\n") << QString() << QStringList{"- 1 0 a|", "- 2 0 b|"};
        QTest::newRow("two empty texts have no rows") << QString() << QString() << QStringList();
        QTest::newRow("a missing final line end is no difference")
            << QStringLiteral("a\nb") << QStringLiteral("a\nb\n") << QStringList{"= 1 1 a|a", "= 2 2 b|b"};
        QTest::newRow("Windows line ends compare as Unix ones")
            << QStringLiteral("a\r\nb\r\n") << QStringLiteral("a\nb\n") << QStringList{"= 1 1 a|a", "= 2 2 b|b"};
        QTest::newRow("an empty line is a line")
            << QStringLiteral("a\n\nb\n") << QStringLiteral("a\nb\n") << QStringList{"= 1 1 a|a", "- 2 0 |", "= 3 2 b|b"};
    }

    void rows()
    {
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QStringList, expected);
        const TextDiff diff = sideBySideDiff(left, right);
        QCOMPARE(summary(diff), expected);
        QVERIFY(!diff.cut);
    }

    void limits_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("lineLength");
        QTest::addColumn<int>("expectedRows");
        QTest::addColumn<bool>("expectedCut");
        QTest::addColumn<bool>("nothingShared");
        QTest::newRow("a text within the limits is compared whole") << 100 << 10 << 100 << false << false;
        QTest::newRow("a very long file is compared only up to the line limit")
            << 50000 << 10 << DiffLimits::lines << true << false;
        QTest::newRow("a very long line is cut at the length limit") << 3 << 100000 << 3 << true << false;
        QTest::newRow("two files of the most lines with no line in common pair every line")
            << DiffLimits::lines << 10 << DiffLimits::lines << false << true;
    }

    void limits()
    {
        QFETCH(int, lines);
        QFETCH(int, lineLength);
        QFETCH(int, expectedRows);
        QFETCH(bool, expectedCut);
        QFETCH(bool, nothingShared);
        QString left;
        QString right;
        for (int i = 0; i < lines; ++i) {
            const QString line = QString::number(i).leftJustified(lineLength, u'x') + u'\n';
            left += line;
            right += nothingShared ? QStringLiteral("other %1\n").arg(i) : i % 7 == 3 ? QStringLiteral("changed\n") : line;
        }
        const TextDiff diff = sideBySideDiff(left, right);
        QCOMPARE(diff.rows.size(), expectedRows);
        QCOMPARE(diff.cut, expectedCut);
        for (const DiffRow &row : diff.rows) {
            QVERIFY(row.left.size() <= DiffLimits::lineLength + 1);
            QVERIFY(row.right.size() <= DiffLimits::lineLength + 1);
        }
        // Every seventh line from the fourth differs and the rest are shared, or none is.
        for (qsizetype i = 0; i < diff.rows.size(); ++i)
            QCOMPARE(diff.rows.at(i).kind, nothingShared || i % 7 == 3 ? DiffRow::Kind::Changed : DiffRow::Kind::Same);
    }
};

VESK_TEST_GUILESS_MAIN(TestTextDiff)
#include "tst_textdiff.moc"
