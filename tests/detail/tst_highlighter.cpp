#include "common/palettecolors.h"
#include "detail/highlightedtexteditor.h"
#include "common/monospacefont.h"
#include "detail/markdownhighlighter.h"
#include "detail/markdownstyle.h"
#include "testhome.h"

#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest/QtTest>

namespace {

QString describe(const TextStyle &style)
{
    // In the order TextFont lists them.
    static const char *const fonts[] = {nullptr, "bold", "h1", "h2", "h3"};
    QStringList parts;
    if (const char *font = fonts[int(style.font)])
        parts.append(QLatin1String(font));
    if (style.color == TextColor::Secondary)
        parts.append(QStringLiteral("secondary"));
    if (style.codeBackground)
        parts.append(QStringLiteral("code"));
    return parts.join(u' ');
}

// "0+3 secondary; 4+5 bold": where each run starts, how long it is, and its look.
QString describe(const QList<StyleRun> &runs)
{
    QStringList parts;
    for (const StyleRun &run : runs)
        parts.append(QStringLiteral("%1+%2 %3").arg(run.start).arg(run.length).arg(describe(run.style)));
    return parts.join(QStringLiteral("; "));
}

// One style key per code unit of a line, from a list of runs.
QList<int> perUnit(const QList<StyleRun> &runs, int length)
{
    QList<int> keys(length, TextStyle().key());
    for (const StyleRun &run : runs)
        std::fill(keys.begin() + run.start, keys.begin() + run.start + run.length, run.style.key());
    return keys;
}

// What the editor's document shows, block by block, read back from the formats
// the highlighter left on each block.
QList<QList<int>> appliedStyles(const QTextDocument &document)
{
    QList<QList<int>> lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QList<int> keys(block.length() - 1, TextStyle().key());
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            const int key = range.format.property(MarkdownHighlighter::styleKeyProperty).toInt();
            std::fill(keys.begin() + range.start, keys.begin() + range.start + range.length, key);
        }
        lines.append(keys);
    }
    return lines;
}

QList<QList<int>> expectedStyles(const QString &text)
{
    QList<QList<int>> lines;
    const QStringList split = text.split(u'\n');
    const QList<QList<StyleRun>> runs = highlightWholeText(text);
    for (qsizetype i = 0; i < split.size(); ++i)
        lines.append(perUnit(runs.at(i), int(split.at(i).size())));
    return lines;
}

// Text and pieces of text chosen to cross the rules' boundaries.
const QStringList &pieces()
{
    static const QStringList list{
        QStringLiteral("---"),  QStringLiteral("\n"),     QStringLiteral("```"),   QStringLiteral("# "),
        QStringLiteral("#"),    QStringLiteral("**"),     QStringLiteral("__"),    QStringLiteral("`"),
        QStringLiteral("word"), QStringLiteral(" "),      QStringLiteral("\t"),    QStringLiteral("😀"),
        QStringLiteral("e\u0301"), QStringLiteral("\r\n"), QStringLiteral("\n---\n"), QStringLiteral("\u2028"),
    };
    return list;
}

} // namespace

class TestHighlighter final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rulesGiveEachLineItsLook_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("an empty text is one line with nothing on it") << "" << QStringList{""};
        QTest::newRow("a closed frontmatter block is secondary, the line after it ordinary")
            << "---\nname: a\ndescription: b\n---\nBody"
            << QStringList{"0+3 secondary", "0+7 secondary", "0+14 secondary", "0+3 secondary", ""};
        QTest::newRow("frontmatter that never closes colours everything after it")
            << "---\nname: a\n# Heading\n```\n**b**"
            << QStringList{"0+3 secondary", "0+7 secondary", "0+9 secondary", "0+3 secondary", "0+5 secondary"};
        QTest::newRow("a first line of dashes between spaces and tabs opens frontmatter")
            << " \t--- \u00a0\nkey: v\n---" << QStringList{"0+7 secondary", "0+6 secondary", "0+3 secondary"};
        QTest::newRow("dashes later, without open frontmatter, are ordinary text")
            << "Intro\n---\nmore" << QStringList{"", "", ""};
        QTest::newRow("a fence with a language opens a block where headings are not headings")
            << "```swift\n# not a heading\n```\nafter"
            << QStringList{"0+8 secondary", "0+15 code", "0+3 secondary", ""};
        QTest::newRow("code-block lines get no inline looks")
            << "```\n**not bold** `x`\n```" << QStringList{"0+3 secondary", "0+16 code", "0+3 secondary"};
        QTest::newRow("a fence indented by one space is not a fence") << " ```\ncode" << QStringList{"", ""};
        QTest::newRow("fences inside frontmatter change nothing")
            << "---\n```\n---\n# H" << QStringList{"0+3 secondary", "0+3 secondary", "0+3 secondary", "0+3 h1"};
        QTest::newRow("headings of levels one to three have their own sizes")
            << "# One\n## Two\n### Three" << QStringList{"0+5 h1", "0+6 h2", "0+9 h3"};
        QTest::newRow("levels four to six are bold at the base size, seven is no heading")
            << "#### Four\n###### Six\n####### Seven" << QStringList{"0+9 bold", "0+10 bold", ""};
        QTest::newRow("a lone hash and a hash with a space are headings")
            << "#\n# " << QStringList{"0+1 h1", "0+2 h1"};
        QTest::newRow("a hash before a letter or a tab, or an indented heading, is not")
            << "#tag\n#\tTab\n  # Indented" << QStringList{"", "", ""};
        QTest::newRow("double asterisks, double underscores and backticks")
            << "**a** __b__ `c`" << QStringList{"0+5 bold; 6+5 bold; 12+3 code"};
        QTest::newRow("looks accumulate: inline code inside a bold run is both")
            << "**bold `code` bold**" << QStringList{"0+7 bold; 7+6 bold code; 13+7 bold"};
        QTest::newRow("an unclosed pair gets nothing, a single space between backticks matches")
            << "**open only\n` `" << QStringList{"", "0+3 code"};
        QTest::newRow("single asterisks and underscores are not emphasis") << "*em* _em_" << QStringList{""};
        QTest::newRow("the shortest run between pairs wins") << "**a** b **c**" << QStringList{"0+5 bold; 8+5 bold"};
        QTest::newRow("a bold run does not cross a line separator") << "**a\u2028b**" << QStringList{""};
        QTest::newRow("positions count UTF-16 units: an emoji is two")
            << "😀 **b**\n**x**" << QStringList{"3+5 bold", "0+5 bold"};
        QTest::newRow("a combining mark is a unit of its own") << "e\u0301 `x`" << QStringList{"3+3 code"};
    }

    void rulesGiveEachLineItsLook()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QStringList described;
        for (const QList<StyleRun> &runs : highlightWholeText(text))
            described.append(describe(runs));
        QCOMPARE(described, lines);
    }

    void themeStandsForTheLooks_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << PaletteColors::lightPalette();
        QTest::newRow("dark") << PaletteColors::darkPalette();
    }

    // The fixed font the editor takes is monospaced even where the desktop's is
    // not: a proportional font named as the fixed one gives way to a known family.
    void theEditorsFontIsMonospacedWhateverTheSystemNames_data()
    {
        QTest::addColumn<QString>("named");
        QTest::newRow("a monospaced font is kept") << QStringLiteral("DejaVu Sans Mono");
        QTest::newRow("a proportional font gives way to a monospaced one") << QStringLiteral("DejaVu Sans");
        QTest::newRow("a family that is not installed gives way too") << QStringLiteral("No Such Family Here");
    }

    void theEditorsFontIsMonospacedWhateverTheSystemNames()
    {
        QFETCH(QString, named);
        QFont preferred(named);
        preferred.setPointSizeF(13);
        const QFont chosen = MonospaceFont::monospacedOr(preferred);
        QVERIFY2(MonospaceFont::isMonospaced(chosen), qPrintable(QFontInfo(chosen).family()));
        QCOMPARE(chosen.pointSizeF(), 13.0);
        if (MonospaceFont::isMonospaced(preferred))
            QCOMPARE(QFontInfo(chosen).family(), QFontInfo(preferred).family());
        QVERIFY(!MonospaceFont::isMonospaced(QFont(QStringLiteral("DejaVu Sans"))));
    }

    void themeStandsForTheLooks()
    {
        QFETCH(QPalette, palette);
        const MarkdownTheme theme = MarkdownTheme::forPalette(palette);
        QCOMPARE(theme.base.pointSizeF(), 13.0);
        // Monospaced as measured: a font may be so without fontconfig's spacing flag.
        QVERIFY2(MonospaceFont::isMonospaced(theme.base), qPrintable(QFontInfo(theme.base).family()));
        QCOMPARE(theme.base.weight(), QFont::Normal);

        const auto fontOf = [&](TextFont font) {
            return theme.format(TextStyle{font, TextColor::Primary, false}).font();
        };
        const QList<std::pair<TextFont, qreal>> sizes{
            {TextFont::Bold, 13}, {TextFont::Heading1, 18}, {TextFont::Heading2, 16}, {TextFont::Heading3, 14}};
        for (const auto &[font, size] : sizes) {
            QCOMPARE(fontOf(font).pointSizeF(), size);
            QCOMPARE(fontOf(font).weight(), QFont::Bold);
            QCOMPARE(fontOf(font).family(), theme.base.family());
        }
        const QTextCharFormat secondary = theme.format(TextStyle{TextFont::Base, TextColor::Secondary, false});
        QCOMPARE(secondary.foreground().color(), PaletteColors::secondaryLabel(palette));
        QVERIFY(!secondary.hasProperty(QTextFormat::FontPointSize)); // the base font is the editor's own
        const QTextCharFormat code = theme.format(TextStyle{TextFont::Base, TextColor::Primary, true});
        QCOMPARE(code.background().color(), PaletteColors::quaternaryLabel(palette));
        QVERIFY(!code.hasProperty(QTextFormat::ForegroundBrush));
    }

    // The editor colours block by block as the text changes; after every edit
    // each line must look exactly as the whole-text pass says.
    void incrementalColouringMatchesTheWholeTextPass_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("frontmatter, headings, a fence and inline looks")
            << "---\nname: a\ndescription: b\n---\n# Title\n\nSome **bold** and `code`.\n```sh\nrun\n```\n## End";
        QTest::newRow("frontmatter that never closes") << "---\nname: a\n# H\n```\nx";
        QTest::newRow("fences that never close") << "a\n```\nb\n# c\n```\n```\nd";
        QTest::newRow("emoji and combining marks") << "😀 **é** `ñ`\ne\u0301e\u0301 __😀__\n# 😀";
        QTest::newRow("CRLF line ends") << "---\r\nname: a\r\n---\r\n# H\r\n**b**\r\n";
        QTest::newRow("lone carriage returns and line separators") << "a\rb\u2028**c\u2028d**\r\n---";
        QTest::newRow("an empty text") << "";
    }

    void incrementalColouringMatchesTheWholeTextPass()
    {
        QFETCH(QString, text);
        HighlightedTextEditor editor;
        QTextDocument &document = *editor.document();
        editor.setPlainText(text);
        QCOMPARE(appliedStyles(document), expectedStyles(editor.text()));

        QRandomGenerator random(quint32(qHash(text)));
        for (int edit = 0; edit < 300; ++edit) {
            QTextCursor cursor(&document);
            const int length = document.characterCount() - 1;
            cursor.setPosition(int(random.bounded(length + 1)));
            switch (random.bounded(3)) {
            case 0:
                cursor.insertText(pieces().at(random.bounded(int(pieces().size()))));
                break;
            case 1:
                cursor.setPosition(qMin(length, cursor.position() + int(random.bounded(6))), QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
                break;
            default:
                cursor.setPosition(qMin(length, cursor.position() + int(random.bounded(4))), QTextCursor::KeepAnchor);
                cursor.insertText(pieces().at(random.bounded(int(pieces().size()))));
                break;
            }
            const QString now = editor.text();
            QVERIFY2(appliedStyles(document) == expectedStyles(now),
                     qPrintable(QStringLiteral("after edit %1 the text is: %2").arg(edit).arg(now)));
        }
    }
};

VESK_TEST_MAIN(TestHighlighter)
#include "tst_highlighter.moc"
