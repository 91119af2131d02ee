// What colouring costs in the skill editor: one keystroke in the middle of a
// 10,000-line skill (the document edit and the recolouring it causes) next to
// the whole-text pass over the same document, both timed in the same run; and
// loading a 5 MB file into the editor, colouring included.
//
// Runs with the offscreen platform unless another is asked for, and with HOME
// and the XDG folders pointed into a temporary folder, so nothing of the real
// home is read or written.

#include "detail/highlightedtexteditor.h"
#include "detail/markdownhighlighter.h"
#include "detail/markdownstyle.h"

#include "benchhome.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdlib>

namespace {

// A long skill as people write them: frontmatter, then sections of prose with
// bold and inline code, lists and fenced examples, repeated to `lines` lines.
QString skillText(int lines)
{
    const QStringList section{
        QStringLiteral("## Step %1"),
        QString(),
        QStringLiteral("Read the **whole** diff before commenting, and run `make test` first. 😀"),
        QStringLiteral("- Check names, __error paths__ and `nullptr` handling"),
        QStringLiteral("- Ask for tests where behaviour changed"),
        QStringLiteral("```sh"),
        QStringLiteral("git diff --stat origin/main...HEAD"),
        QStringLiteral("```"),
        QStringLiteral("Plain prose that goes on for a while without any markup at all, as most lines do."),
        QString(),
    };
    QStringList text{QStringLiteral("---"), QStringLiteral("name: long-skill"),
                     QStringLiteral("description: A long skill for timing"), QStringLiteral("---"),
                     QStringLiteral("# Long skill")};
    for (int i = 0; text.size() < lines; ++i) {
        for (const QString &line : section)
            text.append(line.contains(QLatin1String("%1")) ? line.arg(i) : line);
    }
    text.resize(lines);
    return text.join(u'\n');
}

// One keystroke in the middle of the text: every other iteration types a
// letter into an ordinary line, the next deletes it again, so the text stays
// the same size throughout.
void BM_KeystrokeInTheMiddle(benchmark::State &state)
{
    HighlightedTextEditor editor;
    editor.setPlainText(skillText(int(state.range(0))));
    QTextBlock middle = editor.document()->findBlockByNumber(int(state.range(0)) / 2);
    while (middle.isValid() && !middle.text().startsWith(QLatin1String("Plain prose")))
        middle = middle.next();
    QTextCursor cursor(middle);
    cursor.movePosition(QTextCursor::EndOfBlock);
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            cursor.deletePreviousChar();
        else
            cursor.insertText(QStringLiteral("x"));
        typed = !typed;
    }
    state.SetLabel("one keystroke, colouring included");
}

// The whole-text pass over the same document: every line coloured from the top.
void BM_WholeTextPass(benchmark::State &state)
{
    HighlightedTextEditor editor;
    editor.setPlainText(skillText(int(state.range(0))));
    for (auto _ : state)
        editor.highlighter()->rehighlight();
    state.SetLabel("every line recoloured");
}

// The same text without colouring, to tell the highlighter's share of a load.
void BM_Load5MegabyteFileUncoloured(benchmark::State &state)
{
    QString text = skillText(200000);
    text.truncate(text.lastIndexOf(u'\n', 5 * 1000 * 1000));
    QPlainTextEdit editor;
    for (auto _ : state) {
        editor.setPlainText(text);
        state.PauseTiming();
        editor.setPlainText(QString());
        state.ResumeTiming();
    }
}

// The rules alone over the same text, without a document to colour.
void BM_WholeTextRules(benchmark::State &state)
{
    const QString text = skillText(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(highlightWholeText(text));
}

// Opening a 5 MB skill in the editor: the text goes in and every line is coloured.
void BM_Load5MegabyteFile(benchmark::State &state)
{
    QString text = skillText(200000);
    text.truncate(text.lastIndexOf(u'\n', 5 * 1000 * 1000));
    HighlightedTextEditor editor;
    for (auto _ : state) {
        editor.setPlainText(text);
        state.PauseTiming();
        editor.setPlainText(QString());
        state.ResumeTiming();
    }
    state.counters["MB"] = double(text.toUtf8().size()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vesk-highlighter-bench-XXXXXX"));
    if (!root.isValid())
        return EXIT_FAILURE;
    useBenchmarkHome(root);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    benchmark::RegisterBenchmark("BM_KeystrokeInTheMiddle", BM_KeystrokeInTheMiddle)
        ->Arg(10000)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_WholeTextPass", BM_WholeTextPass)->Arg(10000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_WholeTextRules", BM_WholeTextRules)->Arg(10000)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Load5MegabyteFile", BM_Load5MegabyteFile)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Load5MegabyteFileUncoloured", BM_Load5MegabyteFileUncoloured)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return EXIT_FAILURE;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
