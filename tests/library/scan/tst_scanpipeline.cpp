#include "library/disk/fileproblems.h"
#include "library/scan/scanmemory.h"
#include "library/scan/scanpipeline.h"
#include "library/scan/scanwork.h"
#include "library/records/skillartifact.h"
#include "library/records/skillcollection.h"
#include "library/scan/skillscanner.h"
#include "library/store/sqlite.h"
#include "libraryfixture.h"
#include "sidesql.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestFiles::skillText;
using TestFiles::sqlOnSide;
using TestFiles::writeFile;

void link(const QString &target, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY2(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0,
             qPrintable(path));
}

// Everything a record holds, and the artifacts of its folder, as one comparable text.
QStringList describe(ModelContext &context, const ArtifactCache &artifacts)
{
    QList<Skill *> skills = context.skills();
    std::sort(skills.begin(), skills.end(), [](const Skill *a, const Skill *b) {
        return a->resolvedPath() < b->resolvedPath();
    });
    QStringList lines;
    for (const Skill *skill : skills) {
        lines << QStringLiteral("%1 | %2 | dir %3 | global %4 | %5 | %6 | tools %7 | size %8 | %9")
                     .arg(skill->resolvedPath(), skill->filePath())
                     .arg(skill->isDirectory())
                     .arg(skill->isGlobal())
                     .arg(skill->name(), skill->skillDescription(), skill->toolSourcesRaw())
                     .arg(skill->fileSize())
                     .arg(skill->fileModifiedDate().toMSecsSinceEpoch());
        lines << QStringLiteral("  paths %1").arg(skill->installedPaths().join(u';'));
        lines << QStringLiteral("  frontmatter %1").arg(QString::fromUtf8(skill->frontmatterData().value_or("none")));
        lines << QStringLiteral("  content %1").arg(skill->content());
        for (const SkillArtifact &artifact : artifacts.artifacts(skill->filePath())) {
            lines << QStringLiteral("  artifact %1 %2 %3 %4 %5")
                         .arg(artifact.relativePath, artifact.name, artifact.path,
                              ArtifactCategories::title(artifact.category), artifact.fileExtension);
        }
    }
    return lines;
}

} // namespace

// The pipeline against the plain sequential scanner, each on its own store, over
// one home full of awkward cases, and what the pipeline skips on a second look.
class TestScanPipeline final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library; // the home, and the pipeline's store
    std::unique_ptr<ModelContainer> m_plainStore;
    ArtifactCache m_plainArtifacts;
    FileProblems m_plainProblems;
    FileProblems m_pipelineProblems;
    std::unique_ptr<ScanPipeline> m_pipeline;

    QString home(const QString &relative) const { return m_library->home(relative); }
    static QList<QByteArray> oddNames()
    {
        return {".claude/skills/caf\xe9.md", ".claude/skills/alpha/r\xe8gle.txt", "code/proj\xe9/"};
    }

    void scanPlainly()
    {
        SkillScanner scanner(*m_plainStore->mainContext(), m_plainArtifacts);
        scanner.setProblems(&m_plainProblems);
        scanner.scanAll();
        scanner.removeMissing();
    }

    void scanWithPipeline()
    {
        QSignalSpy finished(m_pipeline.get(), &ScanPipeline::finished);
        m_pipeline->request(ScanRequest::full(true));
        QVERIFY(finished.wait(60000));
    }

    void compare()
    {
        scanPlainly();
        scanWithPipeline();
        const QStringList plain = describe(*m_plainStore->mainContext(), m_plainArtifacts);
        const QStringList piped = describe(m_library->context(), m_library->artifacts());
        if (plain != piped) {
            for (qsizetype i = 0; i < qMax(plain.size(), piped.size()); ++i) {
                if (plain.value(i) != piped.value(i)) {
                    qWarning().noquote() << "plain:   " << plain.value(i) << "\npipeline:" << piped.value(i);
                    break;
                }
            }
        }
        QCOMPARE(piped, plain);
        QCOMPARE(m_pipelineProblems.all(), m_plainProblems.all());
    }

    // Saves written beside the scan, as a command scans (no slices) or as the
    // window does (in slices, a save put off while the last one writes).
    static void savingInTheBackground(ScanPipeline &pipeline, bool inSlices)
    {
        if (!inSlices)
            pipeline.setSliceBudget(std::chrono::milliseconds(0));
        pipeline.setSavesInBackground(true);
    }

    static void addSavingColumn()
    {
        QTest::addColumn<bool>("inBackground");
        QTest::addColumn<bool>("inSlices");
        QTest::newRow("saving on the scan's thread") << false << true;
        QTest::newRow("saving beside a command's scan") << true << false;
        QTest::newRow("saving beside the window's scan") << true << true;
    }

    // Files written a moment ago are not trusted to be unchanged (their times may
    // still be shared with a write to come); let that moment pass.
    static void waitOutRacyWindow() { QTest::qWait(150); }

    void buildHome()
    {
        // Skill folders: main files, the AGENTS.md fallback, both, neither; artifacts
        // in nested, hidden and linked places.
        writeFile(home(".claude/skills/alpha/SKILL.md"), skillText("alpha"));
        writeFile(home(".claude/skills/alpha/scripts/run.py"), "print(1)\n");
        writeFile(home(".claude/skills/alpha/references/api.md"), "# API\n");
        writeFile(home(".claude/skills/alpha/.hidden/notes.txt"), "x");
        writeFile(home(".claude/skills/alpha/.dotfile"), "x");
        writeFile(home(".claude/skills/alpha/config.json"), "{}");
        link(home(".claude/skills/alpha/config.json"), home(".claude/skills/alpha/linked.json"));
        link(home("nowhere"), home(".claude/skills/alpha/dangling.md"));
        QVERIFY(::mkfifo(QFile::encodeName(home(".claude/skills/alpha/pipe")).constData(), 0600) == 0);
        writeFile(home(".claude/skills/beta/AGENTS.md"), "# Beta heading\n\nBody.\n");
        writeFile(home(".claude/skills/both/SKILL.md"), skillText("both"));
        writeFile(home(".claude/skills/both/AGENTS.md"), "# Other\n");
        QDir().mkpath(home(".claude/skills/empty-folder/sub"));
        writeFile(home(".claude/skills/nameless/SKILL.md"), "---\ndescription: no name\n---\nBody\n");
        writeFile(home(".claude/skills/single.md"), skillText("single"));
        writeFile(home(".claude/skills/cursorish.mdc"), "---\ndescription: rule\n---\n# Heading\n");
        writeFile(home(".claude/skills/ignored.MD"), skillText("capital"));
        writeFile(home(".claude/skills/ignored.txt"), "text");
        writeFile(home(".claude/skills/.hidden-skill/SKILL.md"), skillText("hidden"));
        writeFile(home(".claude/skills/.hidden.md"), skillText("hidden file"));
        writeFile(home(".claude/skills/bad-utf8.md"), QByteArray("---\nname: bad\n---\n\xff\xfe\n"));
        writeFile(home(".claude/skills/ünïcode/SKILL.md"), skillText("ünïcode", "Grüße, 東京"));
        writeFile(home(".claude/skills/Zeta/SKILL.md"), skillText("Zeta"));
        writeFile(home(".claude/skills/zeta-lower/SKILL.md"), skillText("zeta"));
        writeFile(home(".claude/CLAUDE.md"), "# Claude memory\n");
        QVERIFY(::mkfifo(QFile::encodeName(home(".claude/skills/fifo.md")).constData(), 0600) == 0);

        // The same folder under a second location, and a link to a link.
        link(home(".claude/skills/alpha"), home(".cursor/skills/alpha-link"));
        link(home(".cursor/skills/alpha-link"), home(".agents/skills/alpha-link-link"));
        link(home("missing-folder"), home(".agents/skills/dangling-folder"));
        writeFile(home(".agents/skills/shared/SKILL.md"), skillText("shared"));
        writeFile(home(".cursor/rules/rule.mdc"), "---\ndescription: cursor rule\nglobs: '*'\n---\nRule body\n");
        writeFile(home(".windsurf/rules/wind.md"), "---\ntrigger: always_on\n---\n# Wind\n");
        writeFile(home(".codex/AGENTS.md"), "# Codex instructions\n");
        writeFile(home(".codex/task/AGENTS.md"), "# Task\n");
        writeFile(home(".codex/skills/cx/SKILL.md"), skillText("cx"));
        writeFile(home(".config/amp/AGENTS.md"), "# Amp\n");
        writeFile(home(".config/amp/helper/AGENTS.md"), "# Helper\n");

        // Projects in two custom scan directories, one given with a trailing slash.
        writeFile(home("code/app/.claude/skills/proj/SKILL.md"), skillText("proj"));
        writeFile(home("code/app/.claude/skills/proj/scripts/a.sh"), "echo\n");
        writeFile(home("code/app/AGENTS.md"), "# App agents\n");
        writeFile(home("code/app/CLAUDE.md"), "# App memory\n");
        writeFile(home("code/app/.cursor/rules/style.mdc"), "---\ndescription: style\n---\nUse tabs.\n");
        writeFile(home("code/app/.github/copilot-instructions.md"), "# Copilot\n");
        writeFile(home("code/app/.github/instructions/test.instructions.md"), "---\napplyTo: '**'\n---\n# Tests\n");
        writeFile(home("code/app/.agents/skills/agentic/SKILL.md"), skillText("agentic"));
        // Links out of the project to the global Cursor rule and to a home skill:
        // reported, not read, by either scan.
        link(home(".cursor/rules/rule.mdc"), home("code/app/.claude/rules/shared-rule.md"));
        link(home(".claude/skills/alpha"), home("code/app/.claude/skills/alpha"));
        writeFile(home("code/.hidden-project/.claude/skills/h/SKILL.md"), skillText("h"));
        writeFile(home("code/not-a-project.md"), "x");
        link(home("code/app"), home("code/app-link"));
        writeFile(home("more/lib/.cursor/skills/lib-skill/SKILL.md"), skillText("lib-skill"));
        writeFile(home("more/lib/.codex/AGENTS.md"), "# Legacy project codex\n");
        LibraryFixture::setCustomScanPaths({home("code"), home("more") + '/', home("absent")});
        // Names that are not UTF-8 ("\xe9" is Latin-1): a skill file, a supporting
        // file, a project. Qt cannot spell them, so they are made and removed by bytes.
        for (const QByteArray &name : oddNames()) {
            const QByteArray path = QFile::encodeName(m_library->home()) + '/' + name;
            QVERIFY2(name.endsWith('/') ? ::mkdir(path.constData(), 0700) == 0
                                        : ::close(::creat(path.constData(), 0600)) == 0, path.constData());
        }
    }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        QString error;
        m_plainStore = ModelContainer::open(home("store/plain.sqlite"), &error);
        QVERIFY2(m_plainStore, qPrintable(error));
        m_pipeline = std::make_unique<ScanPipeline>(m_library->context(), m_library->artifacts());
        m_pipeline->setSliceBudget(std::chrono::milliseconds(1)); // many small slices
        m_pipeline->setProblems(&m_pipelineProblems);
        buildHome();
        waitOutRacyWindow();
    }

    void cleanup()
    {
        for (const QByteArray &name : oddNames()) {
            const QByteArray path = QFile::encodeName(m_library->home()) + '/' + name;
            name.endsWith('/') ? ::rmdir(path.constData()) : ::unlink(path.constData());
        }
        m_pipeline.reset();
        m_plainStore.reset();
        m_library.reset();
    }

    void firstScanEqualsThePlainScan()
    {
        compare();
        QStringList reported;
        for (const FileProblem &problem : m_pipelineProblems.all())
            reported.append(problem.path);
        const QString odd = QString(u'\ufffd');
        for (const QString &expected : {home(".claude/skills/fifo.md"), home(".claude/skills/alpha/pipe"),
                                        home(".claude/skills/bad-utf8.md"), home(".claude/skills/caf" + odd + ".md"),
                                        home(".claude/skills/alpha/r" + odd + "gle.txt"), home("code/proj" + odd)})
            QVERIFY2(reported.contains(expected), qPrintable(expected));
        QVERIFY(m_library->context().skills().size() > 25);
        QCOMPARE(m_pipeline->statistics().filesSkipped, 0);
    }

    void laterScansFollowEveryChangeReadingOnlyWhatChanged_data() { addSavingColumn(); }
    void laterScansFollowEveryChangeReadingOnlyWhatChanged()
    {
        QFETCH(bool, inBackground);
        QFETCH(bool, inSlices);
        if (inBackground)
            savingInTheBackground(*m_pipeline, inSlices);
        compare();
        compare();
        const ScanPipeline::Statistics unchanged = m_pipeline->statistics();
        QCOMPARE(unchanged.filesRead, 0);
        QVERIFY(unchanged.filesSkipped > 25);
        // Only alpha's folder is walked again: it holds links, whose targets can
        // change unseen. It is reached through three paths (its own and two links);
        // the project's link to it, seen directly and through the linked project,
        // leaves the project and is not read.
        QCOMPARE(unchanged.foldersWalked, 3);

        // Same size, same inode: only the times tell.
        QFile zeta(home(".claude/skills/Zeta/SKILL.md"));
        QVERIFY(zeta.open(QIODevice::ReadWrite));
        const QByteArray before = zeta.readAll();
        QByteArray after = before;
        after.replace("Body.", "Bodz.");
        QCOMPARE(after.size(), before.size());
        QVERIFY(zeta.seek(0));
        QCOMPARE(zeta.write(after), after.size());
        zeta.close();
        waitOutRacyWindow();
        compare();
        QCOMPARE(m_pipeline->statistics().filesRead, 1);

        // A script added to a skill folder is found without reading the skill again.
        writeFile(home(".claude/skills/alpha/scripts/added.py"), "print(2)\n");
        compare();
        QCOMPARE(m_pipeline->statistics().filesRead, 0);
        QVERIFY(m_pipeline->statistics().foldersWalked >= 1);

        // Edits, additions, removals and renames of files, folders and links.
        writeFile(home(".claude/skills/alpha/SKILL.md"), skillText("alpha", "A longer body than before."));
        writeFile(home(".claude/skills/alpha/scripts/new.sh"), "echo\n");
        QVERIFY(QFile::remove(home(".claude/skills/alpha/references/api.md")));
        QVERIFY(QDir(home(".claude/skills/beta")).removeRecursively());
        QVERIFY(QFile::rename(home(".claude/skills/single.md"), home(".claude/skills/renamed.md")));
        writeFile(home(".claude/skills/empty-folder/SKILL.md"), skillText("now a skill"));
        QVERIFY(QFile::remove(home(".cursor/skills/alpha-link")));
        writeFile(home("code/app/.claude/skills/proj/references/r.md"), "ref\n");
        writeFile(home("code/fresh/.claude/skills/new/SKILL.md"), skillText("new"));
        QVERIFY(QFile::remove(home(".cursor/rules/rule.mdc"))); // the link in the project dangles now
        writeFile(home(".cursor/rules/rule.mdc"), "---\ndescription: recreated\n---\nNew rule body\n");
        waitOutRacyWindow();
        compare();
        QVERIFY(m_pipeline->statistics().filesRead >= 4);
        compare();
        QCOMPARE(m_pipeline->statistics().filesRead, 0);
    }

    void whatAScanLearntSurvivesTheProcess_data() { addSavingColumn(); }
    void whatAScanLearntSurvivesTheProcess()
    {
        QFETCH(bool, inBackground);
        QFETCH(bool, inSlices);
        if (inBackground)
            savingInTheBackground(*m_pipeline, inSlices);
        scanWithPipeline();
        m_pipeline.reset();
        m_library->openStore();
        ArtifactCache artifacts; // a new process starts with an empty cache
        m_pipeline = std::make_unique<ScanPipeline>(m_library->context(), artifacts);
        if (inBackground)
            savingInTheBackground(*m_pipeline, inSlices);
        scanWithPipeline();
        QCOMPARE(m_pipeline->statistics().filesRead, 0);
        scanPlainly();
        QCOMPARE(describe(m_library->context(), artifacts), describe(*m_plainStore->mainContext(), m_plainArtifacts));
        m_pipeline.reset(); // before the cache it fills
    }

    // A record removed while a scan ends (by the user, or by another window) is
    // left alone by what remains of that end, and stays removed.
    void aRecordRemovedWhileAScanEndsIsLeftAlone()
    {
        scanWithPipeline();
        ModelContext &context = m_library->context();
        const qsizetype before = context.skillsInAnyOrder().size();
        QString removedPath;
        QObject guard;
        connect(m_pipeline.get(), &ScanPipeline::allApplied, &guard, [&] {
            // Once the end of the scan has queued every record.
            QTimer::singleShot(0, &guard, [&] {
                Skill *skill = context.skillsInAnyOrder().constFirst();
                removedPath = skill->resolvedPath();
                context.remove(skill);
            });
        }, Qt::SingleShotConnection);
        scanWithPipeline();
        QVERIFY(!removedPath.isEmpty());
        QCOMPARE(context.skillsInAnyOrder().size(), before - 1);
        QVERIFY(!context.skillWithResolvedPath(removedPath));
    }

    // A walk read back from its stored bytes is the walk remembered, and bytes cut
    // short anywhere are no walk at all (the folder is then walked again).
    void aRememberedWalkReadsBackWholeAndACutOneNotAtAll()
    {
        Sqlite::Database database;
        QVERIFY(database.open(home("store/walks.sqlite"), nullptr));
        ScanMemory memory(database);
        ScanListing::ArtifactWalk walk;
        walk.reusable = true;
        walk.folders = {{QString(), 1, 2, 3, 4},
                        {QStringLiteral("scripts"), 5, 6, -7, 8},
                        {QStringLiteral("références/ü"), ~quint64(0), 9, 10, 11}};
        walk.files = {QStringLiteral("scripts/run.sh"), QStringLiteral("références/ü/a.md")};
        memory.rememberWalk(QStringLiteral("/x/SKILL.md"), walk);
        const QByteArray bytes = memory.walks().value(QStringLiteral("/x/SKILL.md"));

        const auto whole = ScanMemory::decodeWalk(bytes);
        QVERIFY(whole);
        QVERIFY(whole->reusable);
        QVERIFY(whole->folders == walk.folders);
        QCOMPARE(whole->files, walk.files);
        const auto head = ScanMemory::decodeWalk(bytes, false);
        QVERIFY(head);
        QVERIFY(head->folders == walk.folders);
        QVERIFY(head->files.isEmpty());
        for (qsizetype size = 0; size < bytes.size(); ++size)
            QVERIFY2(!ScanMemory::decodeWalk(bytes.left(size)), qPrintable(QString::number(size)));
    }

    // A listing hands on the memory's copy of every path it knows, and a resolved
    // path equal to its path as that same copy: a library's paths are held once,
    // however many tables keep them.
    void listedPathsShareTheCopiesAlreadyHeld()
    {
        const QString known = home(".claude/skills/alpha/SKILL.md");
        const QString unknown = home(".claude/skills/beta/SKILL.md");
        writeFile(unknown, skillText("beta"));
        ScanSnapshot snapshot;
        snapshot.home = QDir::homePath();
        const QString heldPath(known.constData(), known.size()); // a copy of its own
        snapshot.files.insert(heldPath, {heldPath, FileSignature(), skillReaderVersion});

        const ScanListingResult listed = listRequest(ScanRequest::full(false), snapshot);
        int seen = 0;
        for (const ScanItem &item : listed.items) {
            if (item.file.path == known) {
                QVERIFY(item.file.path.isSharedWith(snapshot.files.constFind(known).key()));
                QVERIFY(item.file.resolvedPath.isSharedWith(item.file.path));
                ++seen;
            } else if (item.file.path == unknown) {
                QVERIFY(item.file.resolvedPath.isSharedWith(item.file.path));
                ++seen;
            }
        }
        QCOMPARE(seen, 2);
    }

    // Handed over in parts (a command's reading starts before the listing ends),
    // a listing is the same listing: the same files in the same order, and the
    // same folders, however it was cut.
    void aListingInPartsIsTheWholeListing()
    {
        for (int i = 0; i < 300; ++i)
            writeFile(home(QStringLiteral(".claude/skills/s%1/SKILL.md").arg(i, 3, 10, QLatin1Char('0'))), skillText("s"));
        for (int i = 0; i < 200; ++i)
            writeFile(home(QStringLiteral(".cursor/rules/r%1.mdc").arg(i, 3, 10, QLatin1Char('0'))), skillText("r"));
        for (int project = 0; project < 4; ++project) {
            for (int i = 0; i < 150; ++i)
                writeFile(home(QStringLiteral("code/p%1/.claude/skills/s%2/SKILL.md").arg(project).arg(i)), skillText("p"));
        }
        ScanSnapshot snapshot;
        snapshot.home = QDir::homePath();
        snapshot.customRoots = {home("code")};

        const ScanListingResult whole = listRequest(ScanRequest::full(false), snapshot);
        ScanListingResult joined;
        int parts = 0;
        const auto join = [&joined](ScanListingResult &&part) {
            joined.items += part.items;
            joined.locationFolders += part.locationFolders;
            joined.wholeLocationFolders += part.wholeLocationFolders;
            joined.entryFolders += part.entryFolders;
            joined.projects += part.projects;
            joined.rowFolders += part.rowFolders;
            joined.undecodable += part.undecodable;
        };
        join(listRequest(ScanRequest::full(false), snapshot, [&](ScanListingResult &&part) {
            ++parts;
            join(std::move(part));
        }));
        QVERIFY2(parts >= 3, qPrintable(QString::number(parts)));
        QVERIFY(whole.items.size() >= 1100);
        QStringList wholePaths, joinedPaths;
        for (const ScanItem &item : whole.items)
            wholePaths.append(item.file.path);
        for (const ScanItem &item : joined.items)
            joinedPaths.append(item.file.path);
        QCOMPARE(joinedPaths, wholePaths);
        QCOMPARE(joined.locationFolders, whole.locationFolders);
        QCOMPARE(joined.wholeLocationFolders, whole.wholeLocationFolders);
        QCOMPARE(joined.entryFolders, whole.entryFolders);
        QCOMPARE(joined.projects, whole.projects);
        QCOMPARE(joined.rowFolders, whole.rowFolders);
    }

    // A scan's workers look at copies of the memory's tables. Forgetting a file
    // or a walk the memory never held leaves those copies shared; a first scan's
    // unreadable files used to copy the whole table, once per joining request.
    void forgettingWhatWasNeverHeldLeavesTheTablesShared()
    {
        Sqlite::Database database;
        QVERIFY(database.open(home("store/forget.sqlite"), nullptr));
        ScanMemory memory(database);
        const QString held = QStringLiteral("/x/SKILL.md");
        const QString never = QStringLiteral("/y/SKILL.md");
        memory.rememberFile(held, {held, FileSignature(), skillReaderVersion});
        ScanListing::ArtifactWalk walk;
        walk.reusable = true;
        memory.rememberWalk(held, walk);
        QVERIFY(memory.writePending(database, nullptr));
        memory.committed();
        const QHash<QString, ScanMemory::File> files = memory.files();
        const QHash<QString, QByteArray> walks = memory.walks();

        memory.forgetFile(never);
        memory.forgetWalk(never);
        QVERIFY(files.isSharedWith(memory.files()));
        QVERIFY(walks.isSharedWith(memory.walks()));
        QVERIFY(!memory.hasPendingWrites());

        memory.forgetFile(held);
        memory.forgetWalk(held);
        QVERIFY(!memory.files().contains(held) && !memory.walks().contains(held));
        QVERIFY(files.contains(held) && walks.contains(held));
        QVERIFY(memory.hasPendingWrites());
    }

    // A library whose records an earlier reader made (one that read CR LF files as
    // having no frontmatter and kept quotes): every file is read once more though
    // none changed, the records take the values read now, and marks stay.
    void recordsOfAnEarlierReaderAreReadAgainKeepingMarks()
    {
        const QString windows = home(".claude/skills/windows/SKILL.md");
        writeFile(windows, "---\r\nname: 'win'\r\ndescription: \"Saved on Windows\"\r\n---\r\nBody\r\n");
        writeFile(home(".claude/skills/colon/SKILL.md"), "---\nname: colon\ndescription: Use when: asked\n---\n");
        waitOutRacyWindow();
        scanWithPipeline();
        const int files = m_pipeline->statistics().filesRead;
        Skill *skill = m_library->context().skillWithResolvedPath(QFileInfo(windows).canonicalFilePath());
        QVERIFY(skill);
        skill->setIsFavorite(true);
        m_library->context().insert(std::make_unique<SkillCollection>("Work", "hammer", 0))->addSkill(skill);
        QVERIFY(m_library->context().save());
        m_pipeline.reset();

        // As the earlier reader left the store: its values, and files noted without a reader.
        const QString store = m_library->storePath();
        QCOMPARE(sqlOnSide(store, "UPDATE skill SET name = 'windows', skillDescription = '', "
                                  "hasFrontmatterYamlError = 0"), QString());
        QCOMPARE(sqlOnSide(store, "ALTER TABLE scan_file DROP COLUMN reader"), QString());
        m_library->openStore();
        m_pipeline = std::make_unique<ScanPipeline>(m_library->context(), m_library->artifacts());
        scanWithPipeline();
        QCOMPARE(m_pipeline->statistics().filesRead, files);

        skill = m_library->context().skillWithResolvedPath(QFileInfo(windows).canonicalFilePath());
        QVERIFY(skill);
        QCOMPARE(skill->name(), QStringLiteral("win"));
        QCOMPARE(skill->skillDescription(), QStringLiteral("Saved on Windows"));
        QVERIFY(!skill->hasFrontmatterYamlError());
        QVERIFY(skill->isFavorite());
        QCOMPARE(skill->collections().size(), 1);
        const Skill *colon = m_library->context().skillWithResolvedPath(
            QFileInfo(home(".claude/skills/colon/SKILL.md")).canonicalFilePath());
        QVERIFY(colon);
        QCOMPARE(colon->skillDescription(), QStringLiteral("Use when: asked"));
        QVERIFY(colon->hasFrontmatterYamlError());

        scanWithPipeline();
        QCOMPARE(m_pipeline->statistics().filesRead, 0);
    }

    // A window's scan does not wait for its writer: with the store locked by
    // another process, it ends all the same, and what it found is stored once
    // the lock is gone, or when the window closes first.
    void aWindowsScanEndsWithoutWaitingForItsWriter_data()
    {
        QTest::addColumn<bool>("closesAtOnce");
        QTest::newRow("the rest is saved once the writer is done") << false;
        QTest::newRow("a window closing meanwhile saves the rest as it goes") << true;
    }

    void aWindowsScanEndsWithoutWaitingForItsWriter()
    {
        QFETCH(bool, closesAtOnce);
        m_pipeline->setSavesInBackground(true); // in slices, as init() set
        scanWithPipeline();
        writeFile(home(".claude/skills/late/SKILL.md"), skillText("late"));
        writeFile(home(".claude/skills/alpha/SKILL.md"), skillText("alpha", "Changed since."));
        waitOutRacyWindow();
        m_library->container().setBusyTimeout(30000);
        sqlite3 *holder = nullptr;
        sqlite3_open(QFile::encodeName(m_library->storePath()).constData(), &holder);
        QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

        QSignalSpy finished(m_pipeline.get(), &ScanPipeline::finished);
        m_pipeline->request(ScanRequest::full(true));
        const bool ended = finished.wait(10000);
        ModelContext &context = m_library->context();
        const bool pending = context.hasChanges();
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
        QVERIFY(ended);
        QVERIFY(pending);
        QVERIFY(context.skillWithResolvedPath(home(".claude/skills/late/SKILL.md")));
        if (closesAtOnce) {
            // Before the writer's notice is handled; the next process reads nothing again.
            m_pipeline.reset();
            m_library->openStore();
            m_pipeline = std::make_unique<ScanPipeline>(m_library->context(), m_library->artifacts());
            scanWithPipeline();
            QCOMPARE(m_pipeline->statistics().filesRead, 0);
        }
        ModelContext &now = m_library->context();
        QTRY_VERIFY_WITH_TIMEOUT(!now.hasChanges(), 30000);
        const QString store = m_library->storePath();
        QCOMPARE(sqlOnSide(store, "SELECT count(*) FROM skill"), QString::number(now.skillCount()));
        QCOMPARE(sqlOnSide(store, "SELECT count(*) FROM skill WHERE name = 'late'"), QStringLiteral("1"));
        QVERIFY(sqlOnSide(store, "SELECT content FROM skill WHERE name = 'alpha'").contains("Changed since."));
    }

    void aRequestWhileScanningJoinsTheScan()
    {
        QSignalSpy started(m_pipeline.get(), &ScanPipeline::started);
        QSignalSpy finished(m_pipeline.get(), &ScanPipeline::finished);
        m_pipeline->request(ScanRequest::full(false));
        ScanRequest more;
        more.entries = {home(".claude/skills/alpha")};
        m_pipeline->request(more);
        m_pipeline->request(more);
        QVERIFY(finished.wait(60000));
        QTest::qWait(50);
        QCOMPARE(started.count(), 1);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!m_pipeline->isRunning());
    }
};

VESK_TEST_GUILESS_MAIN(TestScanPipeline)
#include "tst_scanpipeline.moc"
