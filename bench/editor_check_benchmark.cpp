// Typing in a 10,000-line skill while the editor checks it: each keystroke (the
// key event, the edit, the colouring and the repaint with the problem marks)
// only restarts the pause, so it costs what typing cost before the checks; the
// check itself runs once the typing stops. Also timed: that one check, as the
// rules alone and as the editor runs it (on its worker, the result taken in and
// shown in the strip and the marks).
//
// Runs offscreen unless another platform is asked for, with HOME and the XDG
// folders in a temporary folder.
//
//   cmake --build . --target editor_check_benchmark && bench/editor_check_benchmark

#include "detail/highlightedtexteditor.h"
#include "detail/skilleditorview.h"
#include "library/checks/skillchecker.h"
#include "library/records/skill.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"

#include "benchhome.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>

#include <cstdlib>

namespace {

constexpr int skillLines = 10000;

// A long skill with a few things for the checks to find: an unknown key, two
// paths to files the folder lacks (one in the middle, where the typing is), and,
// by its length alone, a note.
QString skillText()
{
    const QStringList section{
        QStringLiteral("## Step %1"),
        QString(),
        QStringLiteral("Read the **whole** diff before commenting, and run `make test` first."),
        QStringLiteral("- Check names, __error paths__ and `nullptr` handling"),
        QStringLiteral("- Ask for tests where behaviour changed"),
        QStringLiteral("```sh"),
        QStringLiteral("git diff --stat origin/main...HEAD"),
        QStringLiteral("```"),
        QStringLiteral("Plain prose that goes on for a while without any markup at all, as most lines do."),
        QString(),
    };
    QStringList text{QStringLiteral("---"), QStringLiteral("name: long-skill"),
                     QStringLiteral("description: A long skill for timing"), QStringLiteral("favourite: yes"),
                     QStringLiteral("---"), QStringLiteral("# Long skill"),
                     QStringLiteral("See [the guide](references/guide.md).")};
    for (int i = 0; text.size() < skillLines; ++i) {
        for (const QString &line : section)
            text.append(line.contains(QLatin1String("%1")) ? line.arg(i) : line);
    }
    text.resize(skillLines);
    // And one where the typing happens, so its mark is repainted with each keystroke.
    text[skillLines / 2 + 3] = QStringLiteral("Run scripts/missing.sh before the next step.");
    return text.join(u'\n') + u'\n';
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
    Skill *skill = nullptr;
    QString path;
    QString text = skillText();

    Fixture()
    {
        QString error;
        container = ModelContainer::open(dir.filePath(QStringLiteral("vesk.sqlite")), &error);
        path = dir.filePath(QStringLiteral("long-skill/SKILL.md"));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
        file.close();
        skill = container->mainContext()->insert(std::make_unique<Skill>(
            path, path, QStringLiteral("long-skill"), QStringLiteral("A long skill for timing"), text,
            Skill::Frontmatter{{QStringLiteral("name"), QStringLiteral("long-skill")}}, ToolSource::Claude, true,
            true, QDateTime::currentDateTimeUtc(), qint64(text.size())));
    }
};

// Waits for the editor's next findings, at most `ms`.
bool waitForFindings(SkillEditorView &view, int ms)
{
    QEventLoop loop;
    bool arrived = false;
    QObject::connect(&view, &SkillEditorView::findingsChanged, &loop, [&] {
        arrived = true;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return arrived;
}

void sendKey(QWidget *target, int key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// One keystroke in the middle of the shown text, the repaint included: every
// other iteration types a letter, the next deletes it, so the text keeps its size.
void BM_KeystrokeWhileChecking(benchmark::State &state)
{
    Fixture fixture;
    SkillEditorView view;
    view.resize(800, 900);
    view.show();
    view.setSkill(fixture.skill);
    waitForFindings(view, 2000); // the check of the file as opened
    HighlightedTextEditor *editor = view.textEditor();
    editor->setFocus();
    editor->goToLine(skillLines / 2);
    editor->moveCursor(QTextCursor::EndOfBlock);
    QCoreApplication::processEvents();
    int checksWhileTyping = 0;
    QObject::connect(&view, &SkillEditorView::findingsChanged, &view, [&checksWhileTyping] { ++checksWhileTyping; });
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            sendKey(editor, Qt::Key_Backspace, QString());
        else
            sendKey(editor, Qt::Key_X, QStringLiteral("x"));
        typed = !typed;
        editor->viewport()->repaint();
    }
    state.counters["checks_while_typing"] = checksWhileTyping;
    state.counters["findings"] = double(view.findings().size());
    state.counters["marked_lines"] = double(editor->lineMarks().size());
}

// The same keystroke and repaint in the bare text editor, with no checks wired
// to it and no marks: what typing costs without them, timed in the same run.
void BM_KeystrokeBaseline(benchmark::State &state)
{
    Fixture fixture;
    HighlightedTextEditor editor;
    editor.resize(800, 900);
    editor.show();
    editor.setPlainText(fixture.text);
    editor.setFocus();
    editor.goToLine(skillLines / 2);
    editor.moveCursor(QTextCursor::EndOfBlock);
    QCoreApplication::processEvents();
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            sendKey(&editor, Qt::Key_Backspace, QString());
        else
            sendKey(&editor, Qt::Key_X, QStringLiteral("x"));
        typed = !typed;
        editor.viewport()->repaint();
    }
}

// The rules over the 10,000 lines, without the editor.
void BM_CheckTheText(benchmark::State &state)
{
    Fixture fixture;
    for (auto _ : state)
        benchmark::DoNotOptimize(checkSkillTextAs(fixture.text, fixture.path));
}

// The check after the pause as the editor runs it: handed to the worker, its
// result taken in and shown in the strip and the marks.
void BM_CheckAfterThePause(benchmark::State &state)
{
    Fixture fixture;
    SkillEditorView view;
    view.resize(800, 900);
    view.show();
    view.setSkill(fixture.skill);
    waitForFindings(view, 2000);
    view.setBackgroundCheckSize(0); // as for any large text: on the worker
    for (auto _ : state) {
        view.checkNow();
        if (!waitForFindings(view, 5000)) {
            state.SkipWithError("no findings arrived");
            break;
        }
    }
    state.counters["findings"] = double(view.findings().size());
    state.counters["on_worker"] = view.backgroundCheckSize() <= fixture.text.size() ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vesk-editor-check-bench-XXXXXX"));
    if (!root.isValid())
        return EXIT_FAILURE;
    useBenchmarkHome(root);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    benchmark::RegisterBenchmark("BM_KeystrokeWhileChecking", BM_KeystrokeWhileChecking)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_KeystrokeBaseline", BM_KeystrokeBaseline)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_CheckTheText", BM_CheckTheText)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_CheckAfterThePause", BM_CheckAfterThePause)->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return EXIT_FAILURE;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
