// How long a full scan of the harness folders takes, on synthetic homes of
// 100, 1,000 and 10,000 skills, next to the bare cost of listing and reading
// the same files without any store.
//
// Every file lives under one temporary folder: HOME, XDG_CONFIG_HOME and the
// other XDG folders are pointed into it before anything else runs, so neither
// the real home nor the real settings are ever read or written.

#include "library/records/artifactcache.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/catalogue/settingskeys.h"
#include "library/catalogue/skilllocations.h"
#include "library/scan/skillscanner.h"

#include "benchhome.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// The throwaway root; set once in main() before anything touches the file system.
QTemporaryDir *scratchRoot = nullptr;

// Folders that hold directory skills, and folders that hold single-file rules
// (with the extension each tool writes), relative to the home.
const char *const directorySkillLocations[] = {
    ".claude/skills",
    ".cursor/skills",
    ".codeium/windsurf/memories",
};

struct RuleLocation {
    const char *folder;
    const char *extension;
};

const RuleLocation ruleLocations[] = {
    {".cursor/rules", "mdc"},
    {".windsurf/rules", "md"},
};

void fail(const QString &message)
{
    std::fprintf(stderr, "scan_benchmark: %s\n", qPrintable(message));
    // exit() skips the destructors, so clean the scratch folder up by hand.
    if (scratchRoot)
        scratchRoot->remove();
    std::exit(EXIT_FAILURE);
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        fail(QStringLiteral("cannot write %1").arg(path));
}

void makeDirectory(const QString &path)
{
    if (!QDir().mkpath(path))
        fail(QStringLiteral("cannot create %1").arg(path));
}

// A body of a size typical for hand-written skills (about 1 KB).
QByteArray skillBody(int index)
{
    QByteArray body = "# Skill " + QByteArray::number(index) + "\n\n";
    body += "Use this skill when the task touches area " + QByteArray::number(index % 37)
        + " of the code base.\n\n## Steps\n\n";
    for (int step = 1; step <= 8; ++step) {
        body += QByteArray::number(step) + ". Run `scripts/run.py --step " + QByteArray::number(step)
            + "` and check the output against references/api.md before going on.\n";
    }
    body += "\n## Notes\n\nKeep changes small; prefer the existing helpers over new ones. "
            "When unsure, read the reference first and ask before deleting anything.\n";
    return body;
}

void writeDirectorySkill(const QString &folder, int index)
{
    const QByteArray name = "skill-" + QByteArray::number(index);
    makeDirectory(folder + QStringLiteral("/scripts"));
    makeDirectory(folder + QStringLiteral("/references"));
    writeFile(folder + QStringLiteral("/SKILL.md"),
              "---\nname: " + name + "\ndescription: Synthetic skill number "
                  + QByteArray::number(index) + " used to measure scanning.\n---\n" + skillBody(index));
    writeFile(folder + QStringLiteral("/scripts/run.py"),
              "#!/usr/bin/env python3\nimport sys\n\nprint('step', sys.argv[1:])\n");
    writeFile(folder + QStringLiteral("/references/api.md"),
              "# API\n\nEndpoints and their arguments for skill " + name + ".\n");
    writeFile(folder + QStringLiteral("/config.json"),
              "{\"name\": \"" + name + "\", \"retries\": 3}\n");
}

void writeRule(const QString &path, int index, bool cursorStyle)
{
    // Cursor rules carry description/globs; Windsurf rules a trigger and no name,
    // so their name comes from the file name.
    const QByteArray header = cursorStyle
        ? "---\ndescription: Synthetic rule " + QByteArray::number(index)
            + "\nglobs: src/**/*.cpp\nalwaysApply: false\n---\n"
        : QByteArray("---\ntrigger: always_on\n---\n");
    writeFile(path, header + skillBody(index));
}

// Builds a home holding `skills` skills: about 70% skill folders (SKILL.md plus
// three supporting files) spread over the skill locations, the rest single-file
// rules spread over the rule folders.
void generateHome(const QString &home, int skills)
{
    const int directorySkills = skills * 7 / 10;
    for (const char *location : directorySkillLocations)
        makeDirectory(home + u'/' + QLatin1String(location));
    for (const RuleLocation &location : ruleLocations)
        makeDirectory(home + u'/' + QLatin1String(location.folder));

    for (int i = 0; i < skills; ++i) {
        if (i < directorySkills) {
            const char *location = directorySkillLocations[i % std::size(directorySkillLocations)];
            writeDirectorySkill(home + u'/' + QLatin1String(location)
                                    + QStringLiteral("/skill-%1").arg(i, 5, 10, QLatin1Char('0')),
                                i);
        } else {
            const int rule = i - directorySkills;
            const RuleLocation &location = ruleLocations[rule % std::size(ruleLocations)];
            writeRule(home + u'/' + QLatin1String(location.folder)
                          + QStringLiteral("/rule-%1.%2")
                                .arg(rule, 5, 10, QLatin1Char('0'))
                                .arg(QLatin1String(location.extension)),
                      i, location.extension == std::string_view("mdc"));
        }
    }
}

// Generates the home for `skills` on first use and makes it $HOME.
void useHome(int skills)
{
    static std::map<int, QString> homes;
    auto it = homes.find(skills);
    if (it == homes.end()) {
        const QString home = scratchRoot->filePath(QStringLiteral("homes/%1").arg(skills));
        makeDirectory(home);
        generateHome(home, skills);
        it = homes.emplace(skills, home).first;
    }
    qputenv("HOME", QFile::encodeName(it->second));
    if (QDir::homePath() != it->second)
        fail(QStringLiteral("HOME did not take: %1").arg(QDir::homePath()));
}

QString storePath(const char *tag, int skills)
{
    return scratchRoot->filePath(QStringLiteral("stores/%1-%2.sqlite").arg(QLatin1String(tag)).arg(skills));
}

void removeStore(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// A fresh store file with a scanner on it. Torn down in reverse order, and the
// file is deleted afterwards so the next iteration starts empty again.
class Session
{
public:
    explicit Session(const QString &path)
        : m_path(path)
    {
        removeStore(m_path);
        QString error;
        m_container = ModelContainer::open(m_path, &error);
        if (!m_container)
            fail(QStringLiteral("cannot open store %1: %2").arg(m_path, error));
        m_scanner.emplace(*m_container->mainContext(), m_artifacts);
    }

    ~Session()
    {
        m_scanner.reset();
        m_container.reset();
        removeStore(m_path);
    }

    SkillScanner &scanner() { return *m_scanner; }
    ModelContext &context() const { return *m_container->mainContext(); }
    qsizetype skillCount() const { return context().skills().size(); }

    // Counts the record changes (inserts, edits, removals) made from now on.
    void countChanges(qint64 *counter)
    {
        QObject::connect(&context(), &ModelContext::changed, &context(), [counter] { ++*counter; });
    }

private:
    QString m_path;
    std::unique_ptr<ModelContainer> m_container;
    ArtifactCache m_artifacts;
    std::optional<SkillScanner> m_scanner;
};

bool checkCount(benchmark::State &state, const Session &session, int expected)
{
    if (session.skillCount() == expected)
        return true;
    state.SkipWithError(qPrintable(QStringLiteral("expected %1 skills, the store holds %2")
                                       .arg(expected)
                                       .arg(session.skillCount())));
    return false;
}

void BM_FirstScan(benchmark::State &state)
{
    const int skills = static_cast<int>(state.range(0));
    useHome(skills);
    const QString path = storePath("first", skills);
    for (auto _ : state) {
        state.PauseTiming();
        {
            Session session(path);
            state.ResumeTiming();
            session.scanner().scanAll();
            state.PauseTiming();
            if (!checkCount(state, session, skills))
                break;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * skills);
}

void BM_RescanUnchanged(benchmark::State &state)
{
    const int skills = static_cast<int>(state.range(0));
    useHome(skills);
    const QString path = storePath("rescan", skills);
    qint64 changes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            Session session(path);
            session.scanner().scanAll();
            session.countChanges(&changes);
            state.ResumeTiming();
            session.scanner().scanAll();
            state.PauseTiming();
            if (!checkCount(state, session, skills))
                break;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * skills);
    // Nothing on disk changed, so this should stay at zero: every change is a write.
    state.counters["changes"] = benchmark::Counter(double(changes), benchmark::Counter::kAvgIterations);
}

void BM_RemoveMissing(benchmark::State &state)
{
    const int skills = static_cast<int>(state.range(0));
    useHome(skills);
    const QString path = storePath("prune", skills);
    qint64 changes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            Session session(path);
            session.scanner().scanAll();
            session.countChanges(&changes);
            state.ResumeTiming();
            session.scanner().removeMissing();
            state.PauseTiming();
            if (!checkCount(state, session, skills))
                break;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * skills);
    state.counters["changes"] = benchmark::Counter(double(changes), benchmark::Counter::kAvgIterations);
}

// --- The floor: list the same folders and read the same files, keep nothing. ---

qsizetype readUtf8(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? 0 : text.size();
}

// The same walk the artifact listing makes: every entry, hidden ones included,
// sorted by name at each level, links not followed.
qsizetype walkTree(const QString &directory)
{
    qsizetype entries = 0;
    const QFileInfoList list = QDir(directory).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : list) {
        ++entries;
        if (entry.isDir() && !entry.isSymLink())
            entries += walkTree(entry.filePath());
    }
    return entries;
}

void BM_BaselineListAndRead(benchmark::State &state)
{
    const int skills = static_cast<int>(state.range(0));
    useHome(skills);
    const QString mainFile = QStringLiteral("SKILL.md");
    for (auto _ : state) {
        int found = 0;
        qsizetype characters = 0;
        qsizetype walked = 0;
        for (const PlacedLocation &location : SkillLocations::existingLocations(LocationBase::Home, QDir::homePath())) {
            if (location.location->holds != LocationHolds::SkillFolders)
                continue;
            const QFileInfoList entries = QDir(location.path).entryInfoList(
                QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo &entry : entries) {
                if (entry.isDir()) {
                    walked += walkTree(entry.filePath());
                    characters += readUtf8(entry.filePath() + u'/' + mainFile);
                    ++found;
                } else if (entry.isFile()) {
                    const QString suffix = entry.suffix();
                    if (suffix == u"md" || suffix == u"mdc") {
                        characters += readUtf8(entry.filePath());
                        ++found;
                    }
                }
            }
        }
        benchmark::DoNotOptimize(characters);
        benchmark::DoNotOptimize(walked);
        if (found != skills) {
            state.SkipWithError("the baseline did not find every skill");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * skills);
}

// Few iterations: the 10,000-skill first scan alone takes seconds.
void registerSized(const char *name, void (*function)(benchmark::State &))
{
    for (const auto &[skills, iterations] : {std::pair{100, 5}, std::pair{1000, 3}, std::pair{10000, 1}}) {
        benchmark::RegisterBenchmark(name, function)
            ->Arg(skills)
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Before anything else: a private home and private XDG folders, so the scanner
    // and QSettings only ever see files this program made.
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/vesk-scan-bench-XXXXXX"));
    if (!root.isValid())
        fail(QStringLiteral("cannot create a temporary folder: %1").arg(root.errorString()));
    scratchRoot = &root;
    useBenchmarkHome(root);

    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Vesk"));
    if (!readCustomScanPaths().isEmpty())
        fail(QStringLiteral("custom scan paths are set in the private settings"));

    registerSized("BM_FirstScan", BM_FirstScan);
    registerSized("BM_RescanUnchanged", BM_RescanUnchanged);
    registerSized("BM_RemoveMissing", BM_RemoveMissing);
    registerSized("BM_BaselineListAndRead", BM_BaselineListAndRead);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return EXIT_FAILURE;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    scratchRoot = nullptr;
    return EXIT_SUCCESS;
}
