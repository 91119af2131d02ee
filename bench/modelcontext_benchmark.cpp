// What keeping records in memory costs as a scan adds and removes them by the
// thousand, at 10,000 and 100,000 records, next to a baseline timed in the same
// run: making the same records and indexing them by path in a hash. Work that
// grows linearly keeps the same ratio at both sizes; anything that moves a
// growing block per record shows as a ratio that grows with the size.
//
// The store lives under a temporary folder that HOME and the XDG folders point
// into before anything runs.

#include "library/records/skill.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "threadtime.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

QTemporaryDir *scratchRoot = nullptr;

// How often the order is asked for while records come: a list showing a scan
// asks after every slice of files.
constexpr int orderEvery = 256;

std::unique_ptr<Skill> makeSkill(int number)
{
    const QString path = QStringLiteral("/home/bench/.claude/skills/skill-%1/SKILL.md").arg(number);
    return std::make_unique<Skill>(path, path, QStringLiteral("skill %1").arg(number), QStringLiteral("d"),
                                   QStringLiteral("c"), Skill::Frontmatter{}, ToolSource::Claude, false, true,
                                   QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC), 7);
}

// Names in a scrambled order, as a walk of folders meets them.
std::vector<int> scrambled(int count)
{
    std::vector<int> numbers(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        numbers[size_t(i)] = i;
    QRandomGenerator random(11);
    for (int i = count - 1; i > 0; --i)
        std::swap(numbers[size_t(i)], numbers[size_t(random.bounded(i + 1))]);
    return numbers;
}

void recordsComeAndGo(benchmark::State &state)
{
    const int count = int(state.range(0));
    const std::vector<int> order = scrambled(count);
    double contextSeconds = 0;
    double baselineSeconds = 0;
    int round = 0;
    for (auto _ : state) {
        baselineSeconds += secondsOf([&] {
            QHash<QString, Skill *> byPath;
            std::vector<std::unique_ptr<Skill>> skills;
            skills.reserve(size_t(count));
            for (int number : order) {
                skills.push_back(makeSkill(number));
                byPath.insert(skills.back()->resolvedPath(), skills.back().get());
            }
            benchmark::DoNotOptimize(byPath.size());
        });

        const QString path = scratchRoot->filePath(QStringLiteral("store-%1.sqlite").arg(++round));
        QString error;
        std::unique_ptr<ModelContainer> container = ModelContainer::open(path, &error);
        if (!container) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        ModelContext &context = *container->mainContext();
        context.skills();
        const double seconds = secondsOf([&] {
            int done = 0;
            for (int number : order) {
                context.insert(makeSkill(number));
                if (++done % orderEvery == 0)
                    benchmark::DoNotOptimize(context.skills().size());
            }
            // Every other record goes again, the order asked for as they go.
            const QList<Skill *> all = context.skillsInAnyOrder();
            for (qsizetype i = 0; i < all.size(); i += 2) {
                context.remove(all.at(i));
                if (++done % orderEvery == 0)
                    benchmark::DoNotOptimize(context.skills().size());
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
        contextSeconds += seconds;
        state.SetIterationTime(seconds);
        container.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["baseline_ms"] = benchmark::Counter(baselineSeconds * 1000 / double(state.iterations()));
    state.counters["ratio"] = benchmark::Counter(contextSeconds / baselineSeconds);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    scratchRoot = &scratch;
    const QByteArray root = QFile::encodeName(scratch.path());
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    qputenv("XDG_CACHE_HOME", root + "/.cache");
    QCoreApplication app(argc, argv);

    benchmark::RegisterBenchmark("records come and go", recordsComeAndGo)
        ->Arg(10000)
        ->Arg(100000)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
