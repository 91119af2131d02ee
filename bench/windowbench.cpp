// Drives the real main window over whatever HOME and store the caller set up,
// and prints what a user would feel, one "key value" line each:
//
//   vesk_window_bench startup          first paint, first paint with records, scan end, peak memory
//   vesk_window_bench newskill TAG     CPU spent on one skill folder moved into place
//   vesk_window_bench burst N TAG      scans and stalls for N folders moved in at once
//   vesk_window_bench search           the time of each search keystroke
//
// Times are CLOCK_MONOTONIC nanoseconds ("t-..."), so the caller can subtract
// the moment it started the process. A timer probe runs from the window's
// first show to the end of the first scan and during every measured action;
// the longest gap between its ticks is the longest time the window could not
// answer input ("stall-...").
//
// Never run this against a real home: the caller points HOME and the XDG folders
// at a generated one, and the folders it adds are removed before it exits.

#include "app/contentview.h"
#include "app/veskapp.h"
#include "benchhome.h"
#include "browse/skilllistview.h"
#include "common/appstate.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// A "Vm…:" figure of /proc/self/status, in KiB.
qint64 statusKib(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 peakRssKib() { return statusKib("VmHWM:"); }
// What the window holds once everything the start set off is over.
qint64 restingRssKib() { return statusKib("VmRSS:"); }

void report(const char *key, double value)
{
    std::printf("%s %.3f\n", key, value);
    std::fflush(stdout);
}

void reportTime(const char *key)
{
    std::printf("%s %lld\n", key, static_cast<long long>(monotonicNs()));
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "vesk_window_bench: %s\n", qPrintable(message));
    std::exit(1);
}

// Ticks every few milliseconds; the longest gap between two ticks is the longest
// time the event loop was busy with something else.
class StallProbe final : public QObject
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(4);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = monotonicNs();
            m_longest = std::max(m_longest, now - m_last);
            // With VESK_BENCH_STALLS set, each gap longer than its value in ms (30
            // when it is not a number) goes to stderr, so that a profile taken on
            // the same clock can be read at that moment.
            if (m_tellsStalls && now - m_last > m_tellsStallsOverNs)
                std::fprintf(stderr, "stall %.1f ms, from t %lld to %lld\n", (now - m_last) / 1e6,
                             static_cast<long long>(m_last), static_cast<long long>(now));
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_last = monotonicNs();
        m_timer.start();
    }
    double stopMs()
    {
        m_timer.stop();
        m_longest = std::max(m_longest, monotonicNs() - m_last);
        return m_longest / 1e6;
    }

private:
    QTimer m_timer;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    bool m_tellsStalls = qEnvironmentVariableIsSet("VESK_BENCH_STALLS");
    qint64 m_tellsStallsOverNs = qint64(qEnvironmentVariableIntValue("VESK_BENCH_STALLS") > 0
                                            ? qEnvironmentVariableIntValue("VESK_BENCH_STALLS") : 30) * 1'000'000;
};

// Notes the first paint of any widget, and the first paint of the list that
// shows records.
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(QListView *list)
        : m_list(list)
    {
        qApp->installEventFilter(this);
    }
    bool sawLibrary() const { return m_sawLibrary; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            if (!m_sawAny) {
                m_sawAny = true;
                reportTime("t-first-paint");
            }
            if (!m_sawLibrary && watched == m_list->viewport() && m_list->model()->rowCount() > 0) {
                m_sawLibrary = true;
                reportTime("t-library-paint");
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QListView *m_list;
    bool m_sawAny = false;
    bool m_sawLibrary = false;
};

// Lets the event loop run for `ms`, sleeping in it rather than spinning, so
// that the waiting itself costs no CPU.
void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds, giving up after `timeoutMs`.
template <typename Predicate>
bool waitFor(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        runEventLoopFor(2);
    }
    return true;
}

// Waits until the process has used almost no CPU for `quietMs`: whatever work an
// action set off (on any thread) is over. Returns the CPU used up to that point.
double waitForQuiet(int quietMs, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    double windowStartCpu = cpuMs();
    while (clock.elapsed() < timeoutMs) {
        runEventLoopFor(quietMs);
        const double now = cpuMs();
        if (now - windowStartCpu < quietMs * 0.02)
            return windowStartCpu;
        windowStartCpu = now;
    }
    return cpuMs();
}

class Session final
{
public:
    Session()
    {
        QString fatal;
        m_app = VeskApp::create(ModelContainer::defaultStorePath(), &fatal);
        if (!m_app)
            fail(fatal);
        reportTime("t-store-open");
        m_window = m_app->newWindow();
        m_window->resize(1180, 720);
        QObject::connect(m_window, &ContentView::scanStarted, m_window, [this] { ++m_scans; });
        m_paints = std::make_unique<PaintWatch>(m_window->skillList()->listView());
    }

    ~Session()
    {
        m_paints.reset();
        m_app.reset();
        for (const QString &folder : std::as_const(m_added))
            QDir(folder).removeRecursively();
    }

    // Shows the window and waits for its first scan, probing stalls meanwhile.
    void openAndScan()
    {
        QElapsedTimer clock;
        clock.start();
        m_probe.start();
        m_window->show();
        if (!waitFor([this] { return m_window->hasFinishedInitialScan(); }, 600'000))
            fail(QStringLiteral("the first scan did not finish"));
        reportTime("t-scan-finished");
        report("stall-first-scan-ms", m_probe.stopMs());
        report("first-scan-ms", double(clock.elapsed()));
        waitFor([this] { return m_paints->sawLibrary() || m_app->context().skills().isEmpty(); }, 10'000);
        waitForQuiet(300, 60'000);
        report("records", double(m_app->context().skills().size()));
    }

    // Builds a skill folder outside the watched folders and moves it into place,
    // as a copy or an unzip that finishes with a rename would. The folder is
    // written before the clock starts: only Vesk's share counts.
    QString addSkillFolderTimed(const QString &tag)
    {
        const QString staging = QDir::homePath() + QStringLiteral("/.bench-staging");
        const QString name = QStringLiteral("bench-new-") + tag;
        const QString built = staging + u'/' + name;
        const QString target = QDir::homePath() + QStringLiteral("/.claude/skills/") + name;
        QString error;
        if (!QDir().mkpath(staging) || !writeBenchSkillFolder(built, name, 0xbe7c4, &error))
            fail(QStringLiteral("cannot build %1: %2").arg(built, error));
        m_added.append(target);
        m_added.append(staging);
        const QString file = target + QStringLiteral("/SKILL.md");
        // Building it changed the home folder, which is watched: what Vesk does
        // about that is over before the clock starts.
        waitForQuiet(250, 120'000);

        m_probe.start();
        const qint64 started = monotonicNs();
        reportTime("t-newskill-start");
        const double cpuBefore = cpuMs();
        if (::rename(QFile::encodeName(built).constData(), QFile::encodeName(target).constData()) != 0)
            fail(QStringLiteral("cannot move %1 into place").arg(built));
        if (!waitFor([&] { return m_app->context().skillWithResolvedPath(file) != nullptr; }, 120'000))
            fail(QStringLiteral("the new skill never appeared"));
        report("newskill-latency-ms", (monotonicNs() - started) / 1e6);
        // Longer than the pause before the library's health is checked again, so
        // that the check the new folder sets off is counted too.
        const double cpuAfter = waitForQuiet(750, 120'000);
        report("newskill-cpu-ms", cpuAfter - cpuBefore);
        report("newskill-stall-ms", m_probe.stopMs());
        return file;
    }

    void burst(int count, const QString &tag)
    {
        // Build all folders first, then move them in as fast as the disk allows.
        const QString staging = QDir::homePath() + QStringLiteral("/.bench-staging");
        QStringList built;
        QStringList targets;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("bench-burst-%1-%2").arg(tag).arg(i, 4, 10, QLatin1Char('0'));
            QString error;
            if (!QDir().mkpath(staging) || !writeBenchSkillFolder(staging + u'/' + name, name, 0xb0257 + quint64(i), &error))
                fail(error);
            built.append(staging + u'/' + name);
            targets.append(QDir::homePath() + QStringLiteral("/.claude/skills/") + name);
        }
        m_added.append(targets);
        m_added.append(staging);

        const int scansBefore = m_scans;
        m_probe.start();
        const qint64 started = monotonicNs();
        for (int i = 0; i < count; ++i) {
            if (::rename(QFile::encodeName(built.at(i)).constData(), QFile::encodeName(targets.at(i)).constData()) != 0)
                fail(QStringLiteral("cannot move %1 into place").arg(built.at(i)));
        }
        const auto allThere = [&] {
            for (const QString &target : targets) {
                if (!m_app->context().skillWithResolvedPath(target + QStringLiteral("/SKILL.md")))
                    return false;
            }
            return true;
        };
        if (!waitFor(allThere, 1'200'000))
            fail(QStringLiteral("the burst's skills never all appeared"));
        report("burst-latency-ms", (monotonicNs() - started) / 1e6);
        waitForQuiet(1000, 1'200'000);
        report("burst-stall-ms", m_probe.stopMs());
        report("burst-scans", double(m_scans - scansBefore));
    }

    void search()
    {
        // Keystrokes as typed: growing prefixes, with queries that match nothing
        // after a first letter that matches nearly everything, then deleting.
        const std::vector<std::vector<QString>> sequences = {
            {QStringLiteral("e"), QStringLiteral("ej"), QStringLiteral("ejq"), QStringLiteral("ejqx"), QStringLiteral("ejqxz"),
             QStringLiteral("ejqx"), QStringLiteral("ejq"), QStringLiteral("ej"), QStringLiteral("e"), QString()},
            {QStringLiteral("t"), QStringLiteral("th"), QStringLiteral("thj"), QStringLiteral("thjq"), QString()},
            {QStringLiteral("s"), QStringLiteral("sc"), QStringLiteral("sca"), QStringLiteral("scan"), QStringLiteral("scanj"), QString()},
            {QStringLiteral("r"), QStringLiteral("re"), QStringLiteral("ref"), QStringLiteral("refe"), QStringLiteral("refer"), QString()},
            {QStringLiteral("G"), QStringLiteral("GR"), QStringLiteral("GRÖ"), QStringLiteral("GRÖS"), QStringLiteral("GRÖSJ"), QString()},
            {QStringLiteral("a"), QStringLiteral("aj"), QStringLiteral("ajz"), QString()},
        };
        QLineEdit *field = m_window->searchField();
        QAbstractItemModel *model = m_window->skillList()->listView()->model();
        struct Keystroke {
            QString text;
            double ms;
            int rows;
        };
        std::vector<Keystroke> keystrokes;
        m_probe.start();
        for (const std::vector<QString> &sequence : sequences) {
            for (const QString &text : sequence) {
                const qint64 started = monotonicNs();
                field->setText(text);
                settleSearch();
                keystrokes.push_back({text, (monotonicNs() - started) / 1e6, model->rowCount()});
                if (qEnvironmentVariableIsSet("VESK_BENCH_STALLS"))
                    std::fprintf(stderr, "keystroke \"%s\": %.1f ms, %d rows, from t %lld\n", qPrintable(text),
                                 keystrokes.back().ms, keystrokes.back().rows, static_cast<long long>(started));
            }
        }
        report("search-stall-ms", m_probe.stopMs());
        report("rss-peak-kib", double(peakRssKib()));

        std::vector<double> all;
        double worstNoMatch = 0;
        QString worstText;
        for (const Keystroke &keystroke : keystrokes) {
            all.push_back(keystroke.ms);
            if (keystroke.rows == 0 && keystroke.text.size() >= 2 && keystroke.text.size() <= 5
                && keystroke.ms > worstNoMatch) {
                worstNoMatch = keystroke.ms;
                worstText = keystroke.text;
            }
        }
        std::sort(all.begin(), all.end());
        report("search-worst-ms", all.back());
        report("search-median-ms", all.at(all.size() / 2));
        report("search-worst-nomatch-ms", worstNoMatch);

        // The plain rule, afterwards, so that its cost and memory stay out of
        // the figures above: every keystroke must have shown exactly its matches.
        int mismatches = 0;
        const QList<Skill *> skills = m_app->context().skills();
        for (const Keystroke &keystroke : keystrokes) {
            int expected = 0;
            for (const Skill *skill : skills) {
                if (keystroke.text.isEmpty() || skill->name().contains(keystroke.text, Qt::CaseInsensitive)
                    || skill->skillDescription().contains(keystroke.text, Qt::CaseInsensitive)
                    || skill->content().contains(keystroke.text, Qt::CaseInsensitive))
                    ++expected;
            }
            if (expected != keystroke.rows) {
                ++mismatches;
                std::fprintf(stderr, "search \"%s\": %d rows, the plain rule gives %d\n",
                             qPrintable(keystroke.text), keystroke.rows, expected);
            }
        }
        report("search-mismatches", mismatches);

        // The reference: a lower-cased UTF-8 copy of every record searched with find.
        std::vector<std::string> lowered;
        for (const Skill *skill : skills) {
            for (const QString &text : {skill->name(), skill->skillDescription(), skill->content()})
                lowered.push_back(text.toLower().toStdString());
        }
        const std::string needle = worstText.toLower().toStdString();
        std::vector<double> referenceRuns;
        for (int run = 0; run < 5; ++run) {
            const qint64 started = monotonicNs();
            int found = 0;
            for (const std::string &text : lowered)
                found += text.find(needle) != std::string::npos;
            referenceRuns.push_back((monotonicNs() - started) / 1e6);
            m_sink = m_sink + found;
        }
        std::sort(referenceRuns.begin(), referenceRuns.end());
        report("search-reference-ms", referenceRuns.at(referenceRuns.size() / 2));
    }

    void finishStartup()
    {
        report("rss-peak-kib", double(peakRssKib()));
        report("rss-rest-kib", double(restingRssKib()));
    }

private:
    // Everything one keystroke sets off on the window's thread, repaint included.
    void settleSearch()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<VeskApp> m_app;
    ContentView *m_window = nullptr;
    std::unique_ptr<PaintWatch> m_paints;
    StallProbe m_probe;
    int m_scans = 0;
    QStringList m_added;
    volatile int m_sink = 0; // keeps the reference search from being optimised away
};

} // namespace

int main(int argc, char **argv)
{
    reportTime("t-main");
    if (qEnvironmentVariableIsEmpty("VESK_BENCH_HOME") || qgetenv("VESK_BENCH_HOME") != qgetenv("HOME"))
        fail(QStringLiteral("run this only through the benchmark driver (VESK_BENCH_HOME must equal HOME)"));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Vesk"));
    const QStringList arguments = QCoreApplication::arguments();
    const QString mode = arguments.value(1);

    Session session;
    session.openAndScan();
    if (mode == QLatin1String("startup")) {
        session.finishStartup();
    } else if (mode == QLatin1String("newskill")) {
        session.addSkillFolderTimed(arguments.value(2, QStringLiteral("0")));
    } else if (mode == QLatin1String("burst")) {
        session.burst(arguments.value(2, QStringLiteral("100")).toInt(), arguments.value(3, QStringLiteral("0")));
    } else if (mode == QLatin1String("search")) {
        session.search();
    } else {
        fail(QStringLiteral("unknown mode \"%1\"").arg(mode));
    }
    return 0;
}
