// How the skill-file reader's cost grows with the size of its input: 10,000, 100,000
// and 1,000,000 lines of several shapes, hostile ones included (a value continued
// over every line, ignored lines between the items of a list).
//
// Each run also times a baseline on the same text in the same iteration: splitting
// it into lines and copying every line once, which any reader has to do. The
// "ratio" counter is reader time over baseline time; a linear reader keeps it
// roughly the same at every size, a quadratic one multiplies it by ten per row.
//
//   cmake -DVESK_BUILD_BENCHMARKS=ON ... && cmake --build . --target reader_benchmark
//   bench/reader_benchmark --benchmark_counters_tabular=true

#include "library/records/frontmatter.h"
#include "threadtime.h"

#include <benchmark/benchmark.h>

#include <QString>
#include <QStringView>

#include <ctime>
#include <functional>

namespace {

enum class Shape {
    ListValue,       // "tools:" followed by one "  - item" line per line
    ContinuedValue,  // "description: start" continued on indented lines
    ManyKeys,        // one "key: value" line per line
    IgnoredBetween,  // indented items with an ignored line between each two
    LongBody,        // a small block, then one body line per line
    Unterminated,    // key lines and no closing fence
    HeadingAtEnd,    // plain text whose only heading is the last line
};

QString makeText(Shape shape, int lines)
{
    QString text;
    text.reserve(qsizetype(lines) * 24);
    const auto number = [](int i) { return QString::number(i); };
    switch (shape) {
    case Shape::ListValue:
        text += u"---\ntools:\n";
        for (int i = 0; i < lines; ++i)
            text += QStringLiteral("  - item ") + number(i) + u'\n';
        text += u"---\nbody\n";
        break;
    case Shape::ContinuedValue:
        text += u"---\ndescription: starts here\n";
        for (int i = 0; i < lines; ++i)
            text += QStringLiteral("  and goes on ") + number(i) + u'\n';
        text += u"---\nbody\n";
        break;
    case Shape::ManyKeys:
        text += u"---\n";
        for (int i = 0; i < lines; ++i)
            text += QStringLiteral("key") + number(i) + QStringLiteral(": value ") + number(i) + u'\n';
        text += u"---\nbody\n";
        break;
    case Shape::IgnoredBetween:
        text += u"---\ntools:\n";
        for (int i = 0; i < lines; i += 2)
            text += QStringLiteral("  - item ") + number(i) + QStringLiteral("\nno colon here\n");
        text += u"---\nbody\n";
        break;
    case Shape::LongBody:
        text += u"---\nname: long\ndescription: a long body\n---\n";
        for (int i = 0; i < lines; ++i)
            text += QStringLiteral("Body line ") + number(i) + QStringLiteral(" of the skill.\n");
        break;
    case Shape::Unterminated:
        text += u"---\n";
        for (int i = 0; i < lines; ++i)
            text += QStringLiteral("key") + number(i) + QStringLiteral(": value\n");
        break;
    case Shape::HeadingAtEnd:
        for (int i = 0; i < lines; ++i)
            text += QStringLiteral("Plain line ") + number(i) + u'\n';
        text += u"# Title\n";
        break;
    }
    return text;
}

// The least any reader does: find every line and copy it once.
qsizetype baseline(const QString &text)
{
    qsizetype total = 0;
    for (const QStringView line : QStringView(text).tokenize(u'\n'))
        total += line.toString().size();
    return total;
}

void readerBenchmark(benchmark::State &state, Shape shape, bool heading)
{
    const QString text = makeText(shape, int(state.range(0)));
    double readerSeconds = 0;
    double baselineSeconds = 0;
    for (auto _ : state) {
        baselineSeconds += secondsOf([&] { benchmark::DoNotOptimize(baseline(text)); });
        const double seconds = secondsOf([&] {
            ParsedSkill parsed = heading ? parseHeading(text) : parseFrontmatter(text);
            benchmark::DoNotOptimize(parsed);
        });
        readerSeconds += seconds;
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
    state.counters["baseline_ms"] = benchmark::Counter(baselineSeconds * 1000 / double(state.iterations()));
    state.counters["ratio"] = benchmark::Counter(readerSeconds / baselineSeconds);
}

void registerAll()
{
    struct Case {
        const char *name;
        Shape shape;
        bool heading;
    };
    const Case cases[] = {
        {"frontmatter/list value", Shape::ListValue, false},
        {"frontmatter/continued value", Shape::ContinuedValue, false},
        {"frontmatter/many keys", Shape::ManyKeys, false},
        {"frontmatter/ignored lines between items", Shape::IgnoredBetween, false},
        {"frontmatter/long body", Shape::LongBody, false},
        {"frontmatter/unterminated block", Shape::Unterminated, false},
        {"heading/heading at the end", Shape::HeadingAtEnd, true},
    };
    for (const Case &c : cases) {
        benchmark::RegisterBenchmark(c.name, [c](benchmark::State &state) {
            readerBenchmark(state, c.shape, c.heading);
        })
            ->Arg(10'000)
            ->Arg(100'000)
            ->Arg(1'000'000)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char **argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
