// Builds the seeded 10,000-skill home and measures what a user of it feels,
// for one build of Vesk or for two (an earlier design next to this one), with
// the raw read timed in the same run, and prints one table. Each figure is the
// median of several runs: the machine is small and shared.
//
//   vesk_bench_all --vesk BIN --window-bench BIN --raw-read BIN
//                  [--before-vesk BIN --before-window-bench BIN]
//                  [--runs N] [--burst-runs N] [--skills N] [--skip-window]
//   vesk_bench_all --generate-only DIR [--skills N]   (the home alone, kept, for profiling)
//
// Every program runs with HOME and the XDG folders inside a temporary folder;
// nothing outside it is read or written.

#include "benchhome.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "vesk_bench_all: %s\n", qPrintable(message));
    std::exit(1);
}

void progress(const QString &message)
{
    std::fprintf(stderr, "  %s\n", qPrintable(message));
}

struct ProcessRun {
    qint64 startedNs = 0;
    double wallMs = 0;
    double cpuMs = 0;
    double writtenMb = 0;
    double peakRssMib = 0;
    int status = -1;
    QByteArray output;
    QHash<QString, double> values; // "key value" lines of the output
};

// Runs `program` to its end with `environment`, timing it from the outside.
ProcessRun runProcess(const QString &program, const QStringList &arguments,
                      const QStringList &environment, bool keepOutput = true)
{
    std::vector<QByteArray> storage;
    std::vector<char *> argv;
    storage.push_back(QFile::encodeName(program));
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envStorage;
    std::vector<char *> envp;
    for (const QString &item : environment)
        envStorage.push_back(item.toLocal8Bit());
    for (QByteArray &item : envStorage)
        envp.push_back(item.data());
    envp.push_back(nullptr);

    char outputTemplate[] = "/tmp/vesk-bench-out-XXXXXX";
    const int outputFd = mkstemp(outputTemplate);
    if (outputFd < 0)
        fail(QStringLiteral("cannot create a temporary file"));
    ::unlink(outputTemplate);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (keepOutput)
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    ProcessRun run;
    pid_t pid = 0;
    run.startedNs = monotonicNs();
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        fail(QStringLiteral("cannot start %1").arg(program));
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            fail(QStringLiteral("lost %1").arg(program));
    }
    run.wallMs = (monotonicNs() - run.startedNs) / 1e6;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    run.writtenMb = usage.ru_oublock * 512.0 / (1024.0 * 1024.0);
    run.peakRssMib = usage.ru_maxrss / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    QFile output;
    if (output.open(outputFd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        output.seek(0);
        run.output = output.readAll();
    }
    for (const QByteArray &line : run.output.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 2)
            continue;
        bool ok = false;
        const double value = parts.at(1).toDouble(&ok);
        if (ok)
            run.values.insert(QString::fromUtf8(parts.at(0)), value);
    }
    if (run.status != 0)
        fail(QStringLiteral("%1 %2 failed (status %3)").arg(program, arguments.join(u' ')).arg(run.status));
    return run;
}

qint64 folderSize(const QString &path)
{
    qint64 total = 0;
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Design {
    QString label;
    QString vesk;
    QString windowBench;
    QString dataHome;
    // Samples per figure.
    QHash<QString, std::vector<double>> samples;
    double figure(const QString &key) const { return median(samples.value(key)); }
    void add(const QString &key, double value) { samples[key].push_back(value); }
};

class Driver final
{
public:
    Driver(const QString &scratch, const BenchHome &home)
        : m_scratch(scratch)
        , m_home(home)
    {
    }

    QStringList environment(const Design &design, const QString &home, const QString &configHome) const
    {
        QStringList environment;
        for (const char *name : {"PATH", "DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM", "LANG", "LC_ALL"}) {
            if (qEnvironmentVariableIsSet(name))
                environment.append(QString::fromLatin1(name) + u'=' + qEnvironmentVariable(name));
        }
        environment << QStringLiteral("HOME=") + home
                    << QStringLiteral("VESK_BENCH_HOME=") + home
                    << QStringLiteral("XDG_CONFIG_HOME=") + configHome
                    << QStringLiteral("XDG_DATA_HOME=") + design.dataHome
                    << QStringLiteral("XDG_CACHE_HOME=") + m_scratch + QStringLiteral("/cache")
                    << QStringLiteral("XDG_STATE_HOME=") + m_scratch + QStringLiteral("/state")
                    << QStringLiteral("XDG_RUNTIME_DIR=") + m_scratch + QStringLiteral("/runtime");
        return environment;
    }
    QStringList environment(const Design &design) const
    {
        return environment(design, m_home.home, m_home.configHome);
    }

    void removeStore(const Design &design) const
    {
        QDir(design.dataHome).removeRecursively();
    }

    double rawRead()
    {
        const ProcessRun run = runProcess(m_rawRead, m_home.scanRoots, {});
        m_rawFiles = run.values.value(QStringLiteral("files"));
        m_rawBytes = run.values.value(QStringLiteral("bytes"));
        return run.wallMs;
    }

    ProcessRun list(const Design &design, bool keepOutput = false)
    {
        return runProcess(design.vesk, {QStringLiteral("list")}, environment(design), keepOutput);
    }

    ProcessRun window(const Design &design, const QStringList &arguments)
    {
        return runProcess(design.windowBench, arguments, environment(design));
    }

    ProcessRun emptyWindow(const Design &design)
    {
        const QString empty = m_scratch + QStringLiteral("/empty-home");
        QDir().mkpath(empty);
        Design blank = design;
        blank.dataHome = m_scratch + QStringLiteral("/empty-data");
        QDir(blank.dataHome).removeRecursively();
        return runProcess(design.windowBench, {QStringLiteral("startup")},
                          environment(blank, empty, empty + QStringLiteral("/.config")));
    }

    void measureLists(std::vector<Design> &designs, int runs)
    {
        for (int run = 0; run < runs; ++run) {
            progress(QStringLiteral("command line, run %1 of %2").arg(run + 1).arg(runs));
            for (Design &design : designs) {
                m_raw.push_back(rawRead());
                removeStore(design);
                const ProcessRun first = list(design, run == 0);
                design.add(QStringLiteral("list-first-s"), first.wallMs / 1000);
                design.add(QStringLiteral("list-first-cpu-s"), first.cpuMs / 1000);
                design.add(QStringLiteral("list-first-written-mb"), first.writtenMb);
                if (run == 0)
                    design.add(QStringLiteral("records"), first.output.count('\n'));
                m_raw.push_back(rawRead());
                const ProcessRun again = list(design);
                design.add(QStringLiteral("list-unchanged-s"), again.wallMs / 1000);
                design.add(QStringLiteral("list-unchanged-cpu-s"), again.cpuMs / 1000);
                design.add(QStringLiteral("store-mb"), folderSize(design.dataHome) / 1e6);
            }
        }
    }

    void measureWindow(Design &design, int runs, int burstRuns)
    {
        for (int run = 0; run < runs; ++run) {
            progress(QStringLiteral("%1: window, run %2 of %3").arg(design.label).arg(run + 1).arg(runs));
            const ProcessRun empty = emptyWindow(design);
            design.add(QStringLiteral("paint-empty-s"), sinceStart(empty, "t-first-paint") / 1000);

            // The store holds the library from the command-line runs.
            const ProcessRun stored = window(design, {QStringLiteral("startup")});
            design.add(QStringLiteral("paint-library-s"), sinceStart(stored, "t-library-paint") / 1000);
            design.add(QStringLiteral("paint-first-s"), sinceStart(stored, "t-first-paint") / 1000);
            design.add(QStringLiteral("store-open-s"), sinceStart(stored, "t-store-open") / 1000);
            design.add(QStringLiteral("rescan-stall-ms"), stored.values.value(QStringLiteral("stall-first-scan-ms")));
            design.add(QStringLiteral("rss-startup-mib"), stored.values.value(QStringLiteral("rss-peak-kib")) / 1024);
            if (stored.values.contains(QStringLiteral("rss-rest-kib")))
                design.add(QStringLiteral("rss-rest-mib"), stored.values.value(QStringLiteral("rss-rest-kib")) / 1024);

            removeStore(design);
            const ProcessRun first = window(design, {QStringLiteral("startup")});
            design.add(QStringLiteral("first-scan-stall-ms"), first.values.value(QStringLiteral("stall-first-scan-ms")));
            design.add(QStringLiteral("first-scan-s"), first.values.value(QStringLiteral("first-scan-ms")) / 1000);
            design.add(QStringLiteral("rss-first-scan-mib"), first.values.value(QStringLiteral("rss-peak-kib")) / 1024);

            const ProcessRun added = window(design, {QStringLiteral("newskill"), QString::number(run)});
            design.add(QStringLiteral("newskill-cpu-ms"), added.values.value(QStringLiteral("newskill-cpu-ms")));
            design.add(QStringLiteral("newskill-latency-ms"), added.values.value(QStringLiteral("newskill-latency-ms")));
            list(design); // prunes the folder the run added and removed again

            const ProcessRun searched = window(design, {QStringLiteral("search")});
            for (const char *key : {"search-worst-nomatch-ms", "search-worst-ms", "search-median-ms",
                                    "search-reference-ms", "search-mismatches"})
                design.add(QString::fromLatin1(key), searched.values.value(QString::fromLatin1(key)));
            design.add(QStringLiteral("rss-search-mib"), searched.values.value(QStringLiteral("rss-peak-kib")) / 1024);
        }
        for (int run = 0; run < burstRuns; ++run) {
            progress(QStringLiteral("%1: burst of 100, run %2 of %3").arg(design.label).arg(run + 1).arg(burstRuns));
            const ProcessRun burst = window(design, {QStringLiteral("burst"), QStringLiteral("100"), QString::number(run)});
            design.add(QStringLiteral("burst-scans"), burst.values.value(QStringLiteral("burst-scans")));
            design.add(QStringLiteral("burst-stall-ms"), burst.values.value(QStringLiteral("burst-stall-ms")));
            design.add(QStringLiteral("burst-latency-s"), burst.values.value(QStringLiteral("burst-latency-ms")) / 1000);
            list(design);
        }
    }

    double rawReadMedian() const { return median(m_raw); }
    double rawFiles() const { return m_rawFiles; }
    double rawBytes() const { return m_rawBytes; }
    void setRawRead(const QString &program) { m_rawRead = program; }

private:
    static double sinceStart(const ProcessRun &run, const char *key)
    {
        const double at = run.values.value(QString::fromLatin1(key), -1);
        return at < 0 ? -1 : (at - run.startedNs) / 1e6;
    }

    QString m_scratch;
    BenchHome m_home;
    QString m_rawRead;
    std::vector<double> m_raw;
    double m_rawFiles = 0;
    double m_rawBytes = 0;
};

QString cell(double value, int decimals = 2)
{
    return value < 0 ? QStringLiteral("–") : QString::number(value, 'f', decimals);
}

void printRow(const QString &what, const std::vector<QString> &cells)
{
    std::printf("| %s |", qPrintable(what));
    for (const QString &text : cells)
        std::printf(" %s |", qPrintable(text));
    std::printf("\n");
}

void printTable(const std::vector<Design> &designs, const Driver &driver)
{
    const Design &now = designs.back();
    const Design *before = designs.size() > 1 ? &designs.front() : nullptr;
    const auto both = [&](const QString &key, int decimals, const QString &unit) {
        return std::pair{before ? cell(before->figure(key), decimals) + unit : QStringLiteral("not run"),
                         cell(now.figure(key), decimals) + unit};
    };
    const double raw = driver.rawReadMedian() / 1000;

    std::printf("\n| what a user does | before | now | raw read / reference | ratio now (before) | target | met |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    // A figure a run did not measure (negative) has no ratio either.
    const auto ratioCell = [](double value, double reference) {
        return value < 0 || reference <= 0 ? QStringLiteral("–") : cell(value / reference) + QStringLiteral("×");
    };
    const auto ratio = [&](const QString &key, double reference) {
        const QString nowRatio = ratioCell(now.figure(key), reference);
        return before ? nowRatio + QStringLiteral(" (") + ratioCell(before->figure(key), reference) + u')' : nowRatio;
    };
    // "yes", or "no" with the figure that missed; "not measured" when a run skipped it.
    const auto met = [](double value, double limit, const QString &shown) {
        if (value < 0)
            return QStringLiteral("not measured");
        return value <= limit ? QStringLiteral("yes") : QStringLiteral("no: ") + shown;
    };
    const auto ratioMet = [&](const QString &key, double reference, double limit) {
        const double value = now.figure(key) < 0 || reference <= 0 ? -1 : now.figure(key) / reference;
        return met(value, limit, cell(value) + QStringLiteral("×"));
    };
    {
        auto [b, n] = both(QStringLiteral("list-first-s"), 2, QStringLiteral(" s"));
        const auto [bw, nw] = both(QStringLiteral("list-first-written-mb"), 0, QStringLiteral(" MB written"));
        printRow(QStringLiteral("first start, empty store: `vesk list`"),
                 {b + QStringLiteral(", ") + bw, n + QStringLiteral(", ") + nw, cell(raw) + QStringLiteral(" s"),
                  ratio(QStringLiteral("list-first-s"), raw), QStringLiteral("≤ 2×"),
                  ratioMet(QStringLiteral("list-first-s"), raw, 2.0)});
    }
    {
        auto [b, n] = both(QStringLiteral("list-unchanged-s"), 2, QStringLiteral(" s"));
        printRow(QStringLiteral("later start, nothing changed: `vesk list`"),
                 {b, n, cell(raw) + QStringLiteral(" s"), ratio(QStringLiteral("list-unchanged-s"), raw), QStringLiteral("≤ 0.5×"),
                  ratioMet(QStringLiteral("list-unchanged-s"), raw, 0.5)});
    }
    const auto msMet = [&](const QString &key, double limit) {
        return met(now.figure(key), limit, cell(now.figure(key), 0) + QStringLiteral(" ms"));
    };
    {
        auto [b, n] = both(QStringLiteral("paint-library-s"), 3, QStringLiteral(" s"));
        const double empty = now.figure(QStringLiteral("paint-empty-s"));
        const QString over = QStringLiteral("; %1 s after the empty-home paint")
                                 .arg(cell(now.figure(QStringLiteral("paint-library-s")) - empty, 3));
        printRow(QStringLiteral("open the window with the library stored: first paint with records"),
                 {b, n + over, QStringLiteral("empty home: ") + cell(empty, 3) + QStringLiteral(" s"),
                  ratio(QStringLiteral("paint-library-s"), empty), QStringLiteral("≤ 0.3 s"),
                  met(now.figure(QStringLiteral("paint-library-s")), 0.3,
                      cell(now.figure(QStringLiteral("paint-library-s")), 3) + QStringLiteral(" s"))});
    }
    {
        auto [b, n] = both(QStringLiteral("first-scan-stall-ms"), 0, QStringLiteral(" ms"));
        const auto [bs, ns] = both(QStringLiteral("first-scan-s"), 2, QStringLiteral(" s"));
        printRow(QStringLiteral("longest stall of the window during a first scan (scan time)"),
                 {b + QStringLiteral(" (") + bs + u')', n + QStringLiteral(" (") + ns + u')', QString(), QString(),
                  QStringLiteral("≤ 50 ms"), msMet(QStringLiteral("first-scan-stall-ms"), 50)});
    }
    {
        auto [b, n] = both(QStringLiteral("rescan-stall-ms"), 0, QStringLiteral(" ms"));
        printRow(QStringLiteral("longest stall during the start-up rescan of a stored library"),
                 {b, n, QString(), QString(), QStringLiteral("≤ 50 ms"), msMet(QStringLiteral("rescan-stall-ms"), 50)});
    }
    {
        auto [b, n] = both(QStringLiteral("newskill-cpu-ms"), 0, QStringLiteral(" ms CPU"));
        const auto [bl, nl] = both(QStringLiteral("newskill-latency-ms"), 0, QStringLiteral(" ms"));
        printRow(QStringLiteral("one new skill folder appears (until listed)"),
                 {b + QStringLiteral(" (") + bl + u')', n + QStringLiteral(" (") + nl + u')', QString(), QString(),
                  QStringLiteral("< 50 ms CPU"), msMet(QStringLiteral("newskill-cpu-ms"), 50)});
    }
    {
        auto [b, n] = both(QStringLiteral("burst-scans"), 0, QStringLiteral(" scans"));
        const auto [bs, ns] = both(QStringLiteral("burst-stall-ms"), 0, QStringLiteral(" ms stall"));
        const auto [bl, nl] = both(QStringLiteral("burst-latency-s"), 2, QStringLiteral(" s to list all"));
        printRow(QStringLiteral("100 entries moved in at once"),
                 {b + QStringLiteral(", ") + bs + QStringLiteral(", ") + bl, n + QStringLiteral(", ") + ns + QStringLiteral(", ") + nl,
                  QString(), QString(), QStringLiteral("≤ 2 scans, no stall > 50 ms"),
                  now.figure(QStringLiteral("burst-scans")) > 2 ? met(now.figure(QStringLiteral("burst-scans")), 2,
                      cell(now.figure(QStringLiteral("burst-scans")), 0) + QStringLiteral(" scans"))
                                                                 : msMet(QStringLiteral("burst-stall-ms"), 50)});
    }
    {
        auto [b, n] = both(QStringLiteral("search-worst-nomatch-ms"), 1, QStringLiteral(" ms"));
        const double reference = now.figure(QStringLiteral("search-reference-ms"));
        printRow(QStringLiteral("worst search keystroke, no match, 2–5 characters"),
                 {b, n, QStringLiteral("lower-cased UTF-8 copy + find: ") + cell(reference, 1) + QStringLiteral(" ms"),
                  ratio(QStringLiteral("search-worst-nomatch-ms"), reference), QStringLiteral("≤ 16 ms"),
                  msMet(QStringLiteral("search-worst-nomatch-ms"), 16)});
        const auto [bw, nw] = both(QStringLiteral("search-worst-ms"), 1, QStringLiteral(" ms"));
        const auto [bm, nm] = both(QStringLiteral("search-median-ms"), 1, QStringLiteral(" ms"));
        const auto [bx, nx] = both(QStringLiteral("search-mismatches"), 0, QString());
        printRow(QStringLiteral("any search keystroke: worst / median (keystrokes not matching the plain rule)"),
                 {bw + QStringLiteral(" / ") + bm + QStringLiteral(" (") + bx + u')',
                  nw + QStringLiteral(" / ") + nm + QStringLiteral(" (") + nx + u')', QString(), QString(),
                  QStringLiteral("≤ 16 ms, 0 mismatches"),
                  now.figure(QStringLiteral("search-mismatches")) > 0
                      ? met(now.figure(QStringLiteral("search-mismatches")), 0,
                            cell(now.figure(QStringLiteral("search-mismatches")), 0) + QStringLiteral(" mismatches"))
                      : msMet(QStringLiteral("search-worst-ms"), 16)});
    }
    {
        const auto peak = [](const Design &design) {
            return std::max({design.figure(QStringLiteral("rss-startup-mib")), design.figure(QStringLiteral("rss-first-scan-mib")),
                             design.figure(QStringLiteral("rss-search-mib"))});
        };
        printRow(QStringLiteral("peak memory of the window (VmHWM: start-up / first scan / search)"),
                 {before ? cell(peak(*before), 0) + QStringLiteral(" MiB") : QStringLiteral("not run"),
                  cell(peak(now), 0) + QStringLiteral(" MiB (") + cell(now.figure(QStringLiteral("rss-startup-mib")), 0) + QStringLiteral(" / ")
                      + cell(now.figure(QStringLiteral("rss-first-scan-mib")), 0) + QStringLiteral(" / ")
                      + cell(now.figure(QStringLiteral("rss-search-mib")), 0) + u')',
                  QString(), QString(), QStringLiteral("≤ 120 MiB"),
                  met(peak(now), 120, cell(peak(now), 0) + QStringLiteral(" MiB"))});
        const auto resting = [](const Design &design) {
            return design.samples.contains(QStringLiteral("rss-rest-mib"))
                ? cell(design.figure(QStringLiteral("rss-rest-mib")), 0) + QStringLiteral(" MiB")
                : QStringLiteral("not measured");
        };
        printRow(QStringLiteral("memory of the window at rest after start-up (VmRSS)"),
                 {before ? resting(*before) : QStringLiteral("not run"), resting(now), QString(), QString(), QString(),
                  QString()});
    }
    std::printf("\nRaw read: %.0f files, %.1f MB, median %.3f s. Records listed: before %s, now %s. Store: before %s MB, now %s MB.\n",
                driver.rawFiles(), driver.rawBytes() / 1e6, raw,
                before ? qPrintable(cell(before->figure(QStringLiteral("records")), 0)) : "–",
                qPrintable(cell(now.figure(QStringLiteral("records")), 0)),
                before ? qPrintable(cell(before->figure(QStringLiteral("store-mb")), 1)) : "–",
                qPrintable(cell(now.figure(QStringLiteral("store-mb")), 1)));
    std::printf("Samples per figure: command line %zu, window %zu, burst %zu.\n",
                now.samples.value(QStringLiteral("list-first-s")).size(),
                now.samples.value(QStringLiteral("paint-library-s")).size(),
                now.samples.value(QStringLiteral("burst-scans")).size());
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/vesk-bench-XXXXXX"));
    if (!scratch.isValid())
        fail(QStringLiteral("cannot create a temporary folder"));
    // This process itself never sees the real home either.
    const QByteArray root = QFile::encodeName(scratch.path());
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    QCoreApplication app(argc, argv);

    QHash<QString, QString> options;
    bool skipWindow = false;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--skip-window")) {
            skipWindow = true;
        } else if (arguments.at(i).startsWith(QLatin1String("--")) && i + 1 < arguments.size()) {
            options.insert(arguments.at(i).mid(2), arguments.at(i + 1));
            ++i;
        } else {
            fail(QStringLiteral("unknown argument %1").arg(arguments.at(i)));
        }
    }
    if (options.contains(QStringLiteral("generate-only"))) {
        // For profiling by hand: the same home, kept, and nothing measured.
        BenchHome home;
        QString error;
        BenchHomeLayout layout;
        layout.skills = options.value(QStringLiteral("skills"), QStringLiteral("10000")).toInt();
        if (!generateBenchHome(options.value(QStringLiteral("generate-only")), layout, &home, &error))
            fail(error);
        std::printf("HOME=%s XDG_CONFIG_HOME=%s\n", qPrintable(home.home), qPrintable(home.configHome));
        return 0;
    }
    for (const char *required : {"vesk", "window-bench", "raw-read"}) {
        if (!options.contains(QString::fromLatin1(required)))
            fail(QStringLiteral("--%1 is required").arg(QLatin1String(required)));
    }
    const int runs = options.value(QStringLiteral("runs"), QStringLiteral("3")).toInt();
    const int burstRuns = options.value(QStringLiteral("burst-runs"), QStringLiteral("1")).toInt();
    BenchHomeLayout layout;
    layout.skills = options.value(QStringLiteral("skills"), QStringLiteral("10000")).toInt();

    std::fprintf(stderr, "Building the seeded home of %d skills…\n", layout.skills);
    BenchHome home;
    QString error;
    if (!generateBenchHome(scratch.filePath(QStringLiteral("home")), layout, &home, &error))
        fail(error);
    std::printf("Home: %d skills, %lld files, %.1f MB, %d symbolic links, %d projects.\n", home.distinctSkills,
                static_cast<long long>(home.files), home.bytes / 1e6, home.links, layout.projects);

    std::vector<Design> designs;
    if (options.contains(QStringLiteral("before-vesk"))) {
        designs.push_back({QStringLiteral("before"), options.value(QStringLiteral("before-vesk")),
                           options.value(QStringLiteral("before-window-bench")), scratch.filePath(QStringLiteral("data-before")), {}});
    }
    designs.push_back({QStringLiteral("now"), options.value(QStringLiteral("vesk")), options.value(QStringLiteral("window-bench")),
                       scratch.filePath(QStringLiteral("data-now")), {}});

    Driver driver(scratch.path(), home);
    driver.setRawRead(options.value(QStringLiteral("raw-read")));
    std::fprintf(stderr, "Measuring…\n");
    driver.measureLists(designs, runs);
    if (!skipWindow) {
        for (Design &design : designs) {
            if (!design.windowBench.isEmpty())
                driver.measureWindow(design, runs, design.label == QLatin1String("before") ? 1 : burstRuns);
        }
    }
    printTable(designs, driver);
    return 0;
}
