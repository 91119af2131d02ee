// How long selecting a very large skill takes in the detail pane: the card
// (with its content preview) and the editor, each shown in a window and painted,
// for 5 MB bodies of three shapes: one paragraph on a single line, lines of
// prose, and one long line per 100 KB. Each run also times a baseline in the
// same iteration: putting the same text into a bare QPlainTextEdit without
// showing it, which is the least any view of the whole text costs.
//
// Runs offscreen unless another platform is asked for, with HOME and the XDG
// folders in a temporary folder.
//
//   cmake --build . --target detail_benchmark && bench/detail_benchmark

#include "common/appstate.h"
#include "detail/skilldetailview.h"
#include "library/records/artifactcache.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"

#include "benchhome.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

constexpr qsizetype bodyBytes = 5 * 1000 * 1000;

enum class Shape { OneParagraph, Prose, LongLines };

QString body(Shape shape)
{
    const QString sentence = QStringLiteral("Read the whole diff before commenting and run the tests first. ");
    QString text;
    text.reserve(bodyBytes + 200);
    qsizetype sinceBreak = 0;
    while (text.size() < bodyBytes) {
        text += sentence;
        sinceBreak += sentence.size();
        const qsizetype lineLength = shape == Shape::Prose ? 80 : 100 * 1000;
        if (shape != Shape::OneParagraph && sinceBreak >= lineLength) {
            text += u'\n';
            sinceBreak = 0;
        }
    }
    return text;
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container;
    ArtifactCache artifacts;
    AppState state;
    Skill *skill = nullptr;

    explicit Fixture(Shape shape)
    {
        QString error;
        container = ModelContainer::open(dir.filePath(QStringLiteral("vesk.sqlite")), &error);
        const QString content = body(shape);
        const QString path = dir.filePath(QStringLiteral("SKILL.md"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("---\nname: large\ndescription: a large skill\n---\n" + content.toUtf8());
        file.close();
        skill = container->mainContext()->insert(std::make_unique<Skill>(
            path, path, QStringLiteral("large"), QStringLiteral("a large skill"), content,
            Skill::Frontmatter{{QStringLiteral("name"), QStringLiteral("large")}}, ToolSource::Claude, true,
            true, QDateTime::currentDateTimeUtc(), qint64(content.size())));
    }
};

void showIn(benchmark::State &state, DetailViewMode mode)
{
    const auto shape = Shape(state.range(0));
    Fixture fixture(shape);
    fixture.state.setDetailViewMode(mode);
    double baselineSeconds = 0;
    double viewSeconds = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        {
            QPlainTextEdit bare;
            bare.setPlainText(fixture.skill->content());
        }
        baselineSeconds += timer.nsecsElapsed() / 1e9;

        timer.restart();
        SkillDetailView view(fixture.state, *fixture.container->mainContext(), fixture.artifacts);
        view.resize(700, 800);
        view.show();
        view.setSkill(fixture.skill);
        view.repaint();
        QCoreApplication::processEvents();
        const double seconds = timer.nsecsElapsed() / 1e9;
        viewSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["seconds"] = viewSeconds / double(state.iterations());
    state.counters["baseline"] = baselineSeconds / double(state.iterations());
    state.counters["ratio"] = viewSeconds / baselineSeconds;
}

void BM_Card(benchmark::State &state) { showIn(state, DetailViewMode::Card); }
void BM_Editor(benchmark::State &state) { showIn(state, DetailViewMode::Editor); }

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vesk-detail-bench-XXXXXX"));
    if (!root.isValid())
        return EXIT_FAILURE;
    useBenchmarkHome(root);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    for (const auto &[name, function] : {std::pair{"BM_Card", &BM_Card}, std::pair{"BM_Editor", &BM_Editor}}) {
        benchmark::RegisterBenchmark(name, function)
            ->ArgName("shape") // 0: one paragraph, 1: prose lines, 2: a 100 KB line per 100 KB
            ->DenseRange(0, 2)
            ->Iterations(3)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return EXIT_FAILURE;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
