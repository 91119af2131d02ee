// The skill editor's colouring. The input is a text, an edit and a piece of
// text to type (see splitInput). What must hold for every input:
//   - each line's runs lie inside the line, in order, without overlapping,
//     none empty and none in the base look; the same line always gets the
//     same runs;
//   - a document coloured block by block, as the editor does it, looks exactly
//     as the whole-text pass says, both after loading the text and after the edit.

#include "harness.h"

#include "detail/markdownhighlighter.h"
#include "detail/markdownstyle.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>

namespace {

struct Input {
    QString text;
    int position = 0; // where the edit starts, before wrapping into the text
    int removed = 0;  // how many characters it removes
    QString typed;    // what it types in their place
};

// Two bytes of position and one of length, then the text, then after a 0x01
// byte what is typed. Both pieces are UTF-8, so any character can appear.
Input splitInput(const uint8_t *data, size_t size)
{
    Input input;
    if (size < 3)
        return input;
    input.position = data[0] | data[1] << 8;
    input.removed = data[2] % 8;
    const QByteArray rest(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));
    const qsizetype separator = rest.indexOf('\x01');
    input.text = QString::fromUtf8(separator < 0 ? rest : rest.first(separator));
    if (separator >= 0)
        input.typed = QString::fromUtf8(rest.sliced(separator + 1));
    return input;
}

// Fonts and a document need a GUI application; one for the whole run.
void ensureApplication()
{
    static std::unique_ptr<QGuiApplication> application;
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_highlighter";
    static char *argv[] = {name, nullptr};
    application = std::make_unique<QGuiApplication>(argc, argv);
}

// One style key per code unit of every line.
using Looks = QList<QList<int>>;

Looks expectedLooks(const QString &text)
{
    Looks looks;
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    const QList<QList<StyleRun>> runs = highlightWholeText(text);
    FUZZ_CHECK(runs.size() == lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QList<int> keys(lines.at(i).size(), TextStyle().key());
        int end = 0;
        for (const StyleRun &run : runs.at(i)) {
            FUZZ_CHECK(run.start >= end && run.length > 0 && run.start + run.length <= keys.size());
            FUZZ_CHECK(!run.style.isBase());
            std::fill(keys.begin() + run.start, keys.begin() + run.start + run.length, run.style.key());
            end = run.start + run.length;
        }
        looks.append(keys);
    }
    return looks;
}

// The document's text as the editor hands it out (block breaks as line feeds).
QString plainText(const QTextDocument &document)
{
    return document.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

Looks appliedLooks(const QTextDocument &document)
{
    Looks looks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QList<int> keys(block.length() - 1, TextStyle().key());
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            FUZZ_CHECK(range.start >= 0 && range.length >= 0 && range.start + range.length <= keys.size());
            const int key = range.format.property(MarkdownHighlighter::styleKeyProperty).toInt();
            std::fill(keys.begin() + range.start, keys.begin() + range.start + range.length, key);
        }
        looks.append(keys);
    }
    return looks;
}

} // namespace

int fuzzOne(const uint8_t *data, size_t size)
{
    ensureApplication();
    static const MarkdownTheme theme = MarkdownTheme::forPalette(QGuiApplication::palette());
    const Input input = splitInput(data, size);

    FUZZ_CHECK(highlightWholeText(input.text) == highlightWholeText(input.text));

    // As the editor does it: the highlighter is there before the text arrives, and
    // the document has the editor's layout (without a layout a document reports no
    // changes, and nothing would be coloured).
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    MarkdownHighlighter highlighter(theme, &document);
    document.setPlainText(input.text);
    FUZZ_CHECK(appliedLooks(document) == expectedLooks(plainText(document)));

    QTextCursor cursor(&document);
    const int length = document.characterCount() - 1;
    cursor.setPosition(input.position % (length + 1));
    cursor.setPosition(qMin(length, cursor.position() + input.removed), QTextCursor::KeepAnchor);
    cursor.insertText(input.typed);
    FUZZ_CHECK(appliedLooks(document) == expectedLooks(plainText(document)));
    return 0;
}
