// Adding skills from a repository, checking for updates, updating without losing
// local edits, and restoring from a lock file, all against git repositories made
// in a temporary folder (a bare repository reached by a file:// address): no test
// goes online.

#include "library/files/safemove.h"
#include "library/files/skilllinks.h"
#include "library/sources/folderhash.h"
#include "library/sources/gitprocess.h"
#include "library/sources/installrecord.h"
#include "library/sources/lockfile.h"
#include "library/sources/skilladd.h"
#include "library/sources/skillorigin.h"
#include "library/sources/skillupdate.h"

#include "skillfiles.h"
#include "testhome.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>

using TestFiles::readFile;
using TestFiles::writeFile;

namespace {

const QByteArray alphaText = "---\nname: alpha\ndescription: the first\n---\none\ntwo\nthree\nfour\nfive\n";

QByteArray git(const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("git"),
                  QStringList{QStringLiteral("-c"), QStringLiteral("user.name=Test"), QStringLiteral("-c"),
                              QStringLiteral("user.email=test@example.org"), QStringLiteral("-c"),
                              QStringLiteral("init.defaultBranch=main")}
                      + arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning() << arguments << process.readAllStandardError();
    return process.readAllStandardOutput().trimmed();
}

// A repository of skills in a temporary folder: a working copy and the bare
// repository it pushes to, which the code under test clones.
class Upstream final
{
public:
    Upstream()
    {
        QDir().mkpath(work());
        git({QStringLiteral("init"), QStringLiteral("-q"), QStringLiteral("--bare"), bare()}, m_dir.path());
        git({QStringLiteral("init"), QStringLiteral("-q")}, work());
        git({QStringLiteral("remote"), QStringLiteral("add"), QStringLiteral("origin"), url()}, work());
        writeFile(work() + QStringLiteral("/skills/alpha/SKILL.md"), alphaText);
        writeFile(work() + QStringLiteral("/skills/beta/SKILL.md"), TestFiles::skillText("beta"));
        writeFile(work() + QStringLiteral("/skills/beta/scripts/run.sh"), "#!/bin/sh\necho beta\n");
        writeFile(work() + QStringLiteral("/README.md"), "Not a skill.\n");
        commit();
    }

    QString work() const { return m_dir.filePath(QStringLiteral("work")); }
    QString bare() const { return m_dir.filePath(QStringLiteral("remote.git")); }
    QString url() const { return QStringLiteral("file://") + bare(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString commit()
    {
        git({QStringLiteral("add"), QStringLiteral("-A")}, work());
        git({QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("--allow-empty"), QStringLiteral("-m"), QStringLiteral("change")}, work());
        git({QStringLiteral("push"), QStringLiteral("-q"), QStringLiteral("origin"), QStringLiteral("HEAD:main")}, work());
        return head();
    }
    QString head() const { return QString::fromLatin1(git({QStringLiteral("rev-parse"), QStringLiteral("HEAD")}, work())); }
    // git's own id of a folder in the last commit.
    QString treeOf(const QString &folder) const
    {
        return QString::fromLatin1(git({QStringLiteral("rev-parse"), QStringLiteral("HEAD:") + folder}, work()));
    }

private:
    QTemporaryDir m_dir;
};

QString home(const QString &relative)
{
    return QDir::homePath() + u'/' + relative;
}

// Everything the tests leave in the home folder goes before the next one.
void clearHome()
{
    for (const QString &name : QDir(QDir::homePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        removeEntry(home(name), nullptr);
}

std::optional<LockEntry> lockEntry(const QString &project, const QString &name)
{
    const std::optional<LockFile> lock = readLockFile(lockPathFor(project), lockKindFor(project));
    if (!lock)
        return std::nullopt;
    const LockEntry *entry = findEntry(*lock, name);
    return entry ? std::optional<LockEntry>(*entry) : std::nullopt;
}

AddResult add(const Upstream &upstream, const QStringList &skills, const QString &project = QString(),
              const QList<PlacementTool> &tools = {}, bool copy = false)
{
    AddRequest request;
    request.source = upstream.url();
    request.workingDirectory = QDir::homePath();
    request.skills = skills;
    request.project = project;
    request.tools = tools;
    request.copy = copy;
    return addSkills(request);
}

} // namespace

class TestSkillSources final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (gitProgram().isEmpty())
            QSKIP("git is not installed here: adding from a repository needs it");
    }

    void init() { clearHome(); }

    void addingInstallsAndRecordsInTheInstallersFormat_data()
    {
        QTest::addColumn<QStringList>("skills");
        QTest::addColumn<bool>("inProject");
        QTest::addColumn<QList<PlacementTool>>("tools");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QStringList>("folders"); // real folders made, relative to the scope
        QTest::addColumn<QStringList>("links");   // links made, relative to the scope
        QTest::addColumn<QStringList>("recorded");

        QTest::newRow("every skill of a repository goes to the shared folder and the global lock")
            << QStringList() << false << QList<PlacementTool>{} << false
            << QStringList{QStringLiteral(".agents/skills/alpha"), QStringLiteral(".agents/skills/beta")} << QStringList()
            << QStringList{QStringLiteral("alpha"), QStringLiteral("beta")};
        QTest::newRow("a chosen skill for Claude is one shared copy with a link in Claude's folder")
            << QStringList{QStringLiteral("alpha")} << false << QList<PlacementTool>{ToolSource::Claude} << false
            << QStringList{QStringLiteral(".agents/skills/alpha")} << QStringList{QStringLiteral(".claude/skills/alpha")}
            << QStringList{QStringLiteral("alpha")};
        QTest::newRow("with copies, each chosen tool gets its own copy and the shared folder none")
            << QStringList{QStringLiteral("beta")} << false
            << QList<PlacementTool>{ToolSource::Claude, ToolSource::Cursor} << true
            << QStringList{QStringLiteral(".claude/skills/beta"), QStringLiteral(".cursor/skills/beta")} << QStringList()
            << QStringList{QStringLiteral("beta")};
        QTest::newRow("in a project the skill goes to its shared folder and its skills-lock.json")
            << QStringList{QStringLiteral("alpha")} << true << QList<PlacementTool>{ToolSource::Claude} << false
            << QStringList{QStringLiteral(".agents/skills/alpha")} << QStringList{QStringLiteral(".claude/skills/alpha")}
            << QStringList{QStringLiteral("alpha")};
    }

    void addingInstallsAndRecordsInTheInstallersFormat()
    {
        QFETCH(QStringList, skills);
        QFETCH(bool, inProject);
        QFETCH(QList<PlacementTool>, tools);
        QFETCH(bool, copy);
        QFETCH(QStringList, folders);
        QFETCH(QStringList, links);
        QFETCH(QStringList, recorded);
        Upstream upstream;
        const QString project = inProject ? home(QStringLiteral("code/app")) : QString();
        if (inProject)
            QVERIFY(QDir().mkpath(project));
        const QString scope = inProject ? project : QDir::homePath();

        const AddResult result = add(upstream, skills, project, tools, copy);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.found.size(), 2);
        QCOMPARE(result.installed, recorded);
        for (const QString &folder : folders) {
            const QString path = scope + u'/' + folder;
            QVERIFY2(QFileInfo(path).isDir() && !QFileInfo(path).isSymLink(), qPrintable(path));
            QVERIFY2(!entryExists(path + QStringLiteral("/.git")), "git's own folder is not installed");
            QCOMPARE(readFile(path + QStringLiteral("/SKILL.md")),
                     readFile(upstream.work() + QStringLiteral("/skills/") + QFileInfo(path).fileName() + QStringLiteral("/SKILL.md")));
        }
        for (const QString &link : links) {
            const QString path = scope + u'/' + link;
            QVERIFY2(QFileInfo(path).isSymLink(), qPrintable(path));
            QVERIFY2(QDir::isRelativePath(readLinkText(path)), "a relative link, as Use In makes");
            QCOMPARE(QFileInfo(path).canonicalFilePath(),
                     QFileInfo(scope + QStringLiteral("/.agents/skills/") + QFileInfo(path).fileName()).canonicalFilePath());
        }
        if (copy)
            QVERIFY(!entryExists(scope + QStringLiteral("/.agents/skills/") + recorded.constFirst()));

        for (const QString &name : recorded) {
            const std::optional<LockEntry> entry = lockEntry(project, name);
            QVERIFY2(entry, qPrintable(name));
            QCOMPARE(entry->source, upstream.url());
            QCOMPARE(entry->sourceType, QStringLiteral("git"));
            QCOMPARE(entry->sourceUrl, upstream.url());
            QCOMPARE(entry->skillPath, QStringLiteral("skills/%1/SKILL.md").arg(name));
            if (inProject) {
                // Computed here from the format's own words: path, then bytes, file by file.
                QCOMPARE(name, QStringLiteral("alpha"));
                const QByteArray stream = "SKILL.md" + alphaText;
                QCOMPARE(entry->hash, QString::fromLatin1(QCryptographicHash::hash(stream, QCryptographicHash::Sha256).toHex()));
                QVERIFY(entry->fields.value(QLatin1String("installedAt")).isUndefined());
            } else {
                QCOMPARE(entry->hash, upstream.treeOf(QStringLiteral("skills/") + name));
                QVERIFY(QDateTime::fromString(entry->installedAt, Qt::ISODateWithMs).isValid());
                QCOMPARE(entry->updatedAt, entry->installedAt);
            }
            // The pristine copy is what was installed.
            const QString installed = installedFolderFor(name, project);
            QVERIFY(!installed.isEmpty());
            QVERIFY(sameEntry(pristineFolderFor(installed), installed));
            QCOMPARE(installRecordFor(installed).value_or(InstallRecord()).commit, upstream.head());
        }
    }

    void addingRefusesWithAClearReason_data()
    {
        QTest::addColumn<QString>("source"); // "<upstream>" for the test repository
        QTest::addColumn<QStringList>("skills");
        QTest::addColumn<QString>("inTheWay"); // made before the add, relative to home
        QTest::addColumn<bool>("withoutGit");
        QTest::addColumn<QString>("says");

        QTest::newRow("a repository that does not exist")
            << QStringLiteral("file:///nonexistent/repository.git") << QStringList() << QString() << false
            << QStringLiteral("could not be cloned");
        QTest::newRow("a folder that is not a git repository, given as a git address")
            << QStringLiteral("file://<plain>") << QStringList() << QString() << false << QStringLiteral("could not be cloned");
        QTest::newRow("a folder that is not there")
            << QStringLiteral("./missing-folder") << QStringList() << QString() << false << QStringLiteral("is not there");
        QTest::newRow("a skill the repository does not have")
            << QStringLiteral("<upstream>") << QStringList{QStringLiteral("gamma")} << QString() << false
            << QStringLiteral("has no skill “gamma”; it has: alpha, beta");
        QTest::newRow("a skill of that name installed already is not overwritten")
            << QStringLiteral("<upstream>") << QStringList{QStringLiteral("alpha")}
            << QStringLiteral(".agents/skills/alpha") << false << QStringLiteral("is there already");
        QTest::newRow("a git that is not installed")
            << QStringLiteral("<upstream>") << QStringList() << QString() << true << QStringLiteral("no “git” was found on PATH");
        QTest::newRow("a branch name that is an option in disguise")
            << QStringLiteral("<upstream>") << QStringList() << QString() << false << QStringLiteral("not a branch or tag name");
    }

    void addingRefusesWithAClearReason()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, skills);
        QFETCH(QString, inTheWay);
        QFETCH(bool, withoutGit);
        QFETCH(QString, says);
        Upstream upstream;
        QDir().mkpath(upstream.path(QStringLiteral("plain")));
        writeFile(upstream.path(QStringLiteral("plain/x/SKILL.md")), TestFiles::skillText("x"));
        if (!inTheWay.isEmpty())
            writeFile(home(inTheWay) + QStringLiteral("/SKILL.md"), "mine\n");
        AddRequest request;
        request.source = QString(source).replace(QStringLiteral("<upstream>"), upstream.url())
                             .replace(QStringLiteral("<plain>"), upstream.path(QStringLiteral("plain")));
        request.workingDirectory = QDir::homePath();
        request.skills = skills;
        if (QTest::currentDataTag() == QByteArray("a branch name that is an option in disguise"))
            request.ref = QStringLiteral("--upload-pack=touch");
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir emptyPath;
        if (withoutGit)
            qputenv("PATH", QFile::encodeName(emptyPath.path()));
        const AddResult result = addSkills(request);
        qputenv("PATH", path);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(says), qPrintable(result.error));
        QVERIFY(result.installed.isEmpty());
        QVERIFY2(!QFileInfo::exists(globalLockPath()), "nothing is recorded");
        if (!inTheWay.isEmpty())
            QCOMPARE(readFile(home(inTheWay) + QStringLiteral("/SKILL.md")), QByteArray("mine\n"));
    }

    void anInterruptedCloneLeavesNothingHalfInstalled_data()
    {
        QTest::addColumn<bool>("killedByTimeout");
        QTest::newRow("stopped right after git finished, before anything was placed") << false;
        QTest::newRow("a git that hangs midway is stopped when its time is up") << true;
    }

    void anInterruptedCloneLeavesNothingHalfInstalled()
    {
        QFETCH(bool, killedByTimeout);
        Upstream upstream;
        SourceOptions options;
        QTemporaryDir fakeBin;
        const QByteArray path = qgetenv("PATH");
        if (killedByTimeout) {
            // Writes part of a clone where it was asked to, then hangs.
            const QString script = fakeBin.filePath(QStringLiteral("git"));
            writeFile(script, "#!/bin/sh\nfor last; do :; done\nmkdir -p \"$last/skills/alpha\"\n"
                              "echo partial > \"$last/skills/alpha/SKILL.md\"\nexec sleep 30\n");
            QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("PATH", QFile::encodeName(fakeBin.path()) + ':' + path);
            options.cloneTimeoutMs = 1000;
        } else {
            options.gate = [](const QString &step) { return step != QLatin1String("cloned"); };
        }
        AddRequest request;
        request.source = upstream.url();
        request.workingDirectory = QDir::homePath();
        const AddResult result = addSkills(request, options);
        qputenv("PATH", path);
        QVERIFY(!result.ok);
        QVERIFY(!entryExists(home(QStringLiteral(".agents/skills/alpha"))));
        QVERIFY(!QFileInfo::exists(globalLockPath()));
        // No finished clone: only the hidden name a killed clone leaves behind.
        const QStringList clones = QDir(sourcesCacheFolder() + QStringLiteral("/clones"))
                                       .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY2(clones.isEmpty(), qPrintable(clones.join(u' ')));
        // And the next try starts afresh.
        const AddResult again = addSkills(request);
        QVERIFY2(again.ok, qPrintable(again.error));
        QCOMPARE(readFile(home(QStringLiteral(".agents/skills/alpha/SKILL.md"))), alphaText);
    }

    void checkingForUpdatesAsksEachRepositoryForItsCommit()
    {
        Upstream upstream;
        QVERIFY(add(upstream, {}).ok);
        // One installed by another tool: Vesk does not know its commit.
        LockEntry foreign;
        foreign.name = QStringLiteral("foreign");
        foreign.source = upstream.url();
        foreign.sourceType = QStringLiteral("git");
        foreign.sourceUrl = upstream.url();
        foreign.skillPath = QStringLiteral("skills/alpha/SKILL.md");
        QVERIFY(writeLockEntry(globalLockPath(), LockKind::Global, foreign));
        writeFile(home(QStringLiteral(".agents/skills/foreign/SKILL.md")), alphaText);

        const auto states = [] {
            QMap<QString, QString> map;
            for (const SkillSourceStatus &status : checkForUpdates({QString()}))
                map.insert(status.name, stateKey(status.state) + u' ' + status.latestCommit);
            return map;
        };
        const QString first = upstream.head();
        QCOMPARE(states(), (QMap<QString, QString>{{QStringLiteral("alpha"), QStringLiteral("up-to-date ") + first},
                                                  {QStringLiteral("beta"), QStringLiteral("up-to-date ") + first},
                                                  {QStringLiteral("foreign"), QStringLiteral("unknown ") + first}}));
        writeFile(upstream.work() + QStringLiteral("/skills/alpha/SKILL.md"), alphaText + "six\n");
        const QString second = upstream.commit();
        QCOMPARE(states(), (QMap<QString, QString>{{QStringLiteral("alpha"), QStringLiteral("outdated ") + second},
                                                  {QStringLiteral("beta"), QStringLiteral("outdated ") + second},
                                                  {QStringLiteral("foreign"), QStringLiteral("unknown ") + second}}));
    }

    // A check looks at the home folder's lock and at the lock of each project
    // the library knows that has one: each scope once, home first.
    void aCheckLooksAtHomeAndEachKnownProjectsLock_data()
    {
        QTest::addColumn<QStringList>("projects"); // below the home folder
        QTest::addColumn<QStringList>("outdated"); // name@scope, "~" for the home folder
        QTest::newRow("with no projects known only the home lock is looked at")
            << QStringList() << QStringList{"alpha@~"};
        QTest::newRow("a known project's skills-lock.json is looked at too")
            << QStringList{"code/app"} << QStringList{"alpha@~", "beta@code/app"};
        QTest::newRow("a project named twice is looked at once, one with no lock not at all")
            << QStringList{"code/app", "code/plain", "code/app"} << QStringList{"alpha@~", "beta@code/app"};
        QTest::newRow("a relative path is not taken for a project")
            << QStringList{"relative:code/app"} << QStringList{"alpha@~"};
    }

    void aCheckLooksAtHomeAndEachKnownProjectsLock()
    {
        QFETCH(QStringList, projects);
        QFETCH(QStringList, outdated);
        Upstream upstream;
        const QString app = home(QStringLiteral("code/app"));
        QVERIFY(QDir().mkpath(app + QStringLiteral("/.git")));
        QVERIFY(QDir().mkpath(home(QStringLiteral("code/plain/.git"))));
        QVERIFY(add(upstream, {QStringLiteral("alpha")}).ok);
        QVERIFY(add(upstream, {QStringLiteral("beta")}, app).ok);
        writeFile(upstream.work() + QStringLiteral("/skills/alpha/SKILL.md"), alphaText + "six\n");
        upstream.commit();

        QStringList known;
        for (const QString &project : std::as_const(projects))
            known.append(project.startsWith(QLatin1String("relative:")) ? project.mid(9) : home(project));
        QStringList found;
        for (const SkillSourceStatus &status : checkForUpdates(scopesWithLocks(known))) {
            if (status.state == SkillSourceStatus::State::Outdated)
                found.append(status.name + u'@'
                             + (status.project.isEmpty() ? QStringLiteral("~") : QDir::home().relativeFilePath(status.project)));
            else
                QVERIFY2(status.state == SkillSourceStatus::State::UpToDate, qPrintable(status.name + u' ' + status.error));
        }
        QCOMPARE(found, outdated);
    }

    void updatesNeverLoseALocalEdit_data()
    {
        QTest::addColumn<QByteArray>("upstreamText"); // empty: upstream unchanged
        QTest::addColumn<QByteArray>("localText");    // empty: not edited
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("result");       // SKILL.md afterwards; empty: contains conflict marks
        QTest::addColumn<bool>("lockMovesOn");

        const QByteArray upstreamChange = QByteArray(alphaText).replace("five", "FIVE upstream");
        const QByteArray localChange = QByteArray(alphaText).replace("one", "ONE mine");
        const QByteArray clashing = QByteArray(alphaText).replace("five", "FIVE mine");
        QByteArray both = upstreamChange;
        both.replace("one", "ONE mine");

        QTest::newRow("an unedited skill is replaced by upstream's")
            << upstreamChange << QByteArray() << int(EditPolicy::Refuse) << int(SkillUpdate::State::Updated)
            << upstreamChange << true;
        QTest::newRow("a skill whose source has not changed is left as it is, edits and all")
            << QByteArray() << localChange << int(EditPolicy::Refuse) << int(SkillUpdate::State::UpToDate)
            << localChange << false;
        QTest::newRow("an edited skill is refused and keeps the edit")
            << upstreamChange << localChange << int(EditPolicy::Refuse) << int(SkillUpdate::State::Edited)
            << localChange << false;
        QTest::newRow("taking theirs replaces the edited skill")
            << upstreamChange << localChange << int(EditPolicy::Theirs) << int(SkillUpdate::State::Updated)
            << upstreamChange << true;
        QTest::newRow("merging keeps an edit on other lines and takes upstream's change")
            << upstreamChange << localChange << int(EditPolicy::Merge) << int(SkillUpdate::State::Merged) << both << true;
        QTest::newRow("merging an edit of the same line leaves the conflict marked in the file")
            << upstreamChange << clashing << int(EditPolicy::Merge) << int(SkillUpdate::State::Conflicts) << QByteArray()
            << true;
    }

    void updatesNeverLoseALocalEdit()
    {
        QFETCH(QByteArray, upstreamText);
        QFETCH(QByteArray, localText);
        QFETCH(int, policy);
        QFETCH(int, state);
        QFETCH(QByteArray, result);
        QFETCH(bool, lockMovesOn);
        Upstream upstream;
        QVERIFY(add(upstream, {QStringLiteral("alpha")}).ok);
        const QString installed = home(QStringLiteral(".agents/skills/alpha"));
        const QString before = lockEntry(QString(), QStringLiteral("alpha"))->hash;
        if (!localText.isEmpty())
            writeFile(installed + QStringLiteral("/SKILL.md"), localText);
        if (!upstreamText.isEmpty())
            writeFile(upstream.work() + QStringLiteral("/skills/alpha/SKILL.md"), upstreamText);
        writeFile(upstream.work() + QStringLiteral("/skills/beta/SKILL.md"), "beta changes too, alpha may not\n");
        upstream.commit();

        const QList<SkillUpdate> updates = updateSkills(QString(), {QStringLiteral("alpha")}, EditPolicy(policy));
        QCOMPARE(updates.size(), 1);
        QVERIFY2(int(updates.constFirst().state) == state, qPrintable(updates.constFirst().error));
        const QByteArray now = readFile(installed + QStringLiteral("/SKILL.md"));
        if (result.isEmpty()) {
            QVERIFY2(now.contains("<<<<<<< yours") && now.contains("FIVE mine") && now.contains("FIVE upstream"), now.constData());
            QCOMPARE(updates.constFirst().conflictFiles, QStringList{QStringLiteral("SKILL.md")});
        } else {
            QCOMPARE(now, result);
        }
        if (SkillUpdate::State(state) == SkillUpdate::State::Edited)
            QCOMPARE(updates.constFirst().editedFiles, QStringList{QStringLiteral("SKILL.md")});
        const QString after = lockEntry(QString(), QStringLiteral("alpha"))->hash;
        QCOMPARE(after != before, lockMovesOn);
        if (lockMovesOn) {
            QCOMPARE(after, upstream.treeOf(QStringLiteral("skills/alpha")));
            // The new pristine copy is upstream's, so a later update merges against it.
            QCOMPARE(readFile(pristineFolderFor(installed) + QStringLiteral("/SKILL.md")),
                     readFile(upstream.work() + QStringLiteral("/skills/alpha/SKILL.md")));
        }
        QVERIFY(!entryExists(partialPathFor(installed)));
    }

    void restoreInstallsWhatTheLockListsAndIsMissing()
    {
        Upstream upstream;
        const QString project = home(QStringLiteral("code/app"));
        QVERIFY(QDir().mkpath(project));
        QVERIFY(add(upstream, {}, project).ok);
        const QString alpha = project + QStringLiteral("/.agents/skills/alpha");
        const QString beta = project + QStringLiteral("/.agents/skills/beta");
        QVERIFY(removeEntry(alpha, nullptr));
        writeFile(beta + QStringLiteral("/SKILL.md"), "my own edit stays\n");
        const QByteArray lockBefore = readFile(projectLockPath(project));

        const RestoreResult result = restoreSkills(project);
        QVERIFY2(result.ok, qPrintable(result.failures.join(u'\n')));
        QCOMPARE(result.restored, QStringList{QStringLiteral("alpha")});
        QCOMPARE(readFile(alpha + QStringLiteral("/SKILL.md")), alphaText);
        QCOMPARE(readFile(beta + QStringLiteral("/SKILL.md")), QByteArray("my own edit stays\n"));
        QCOMPARE(readFile(projectLockPath(project)), lockBefore);
    }

    void aLockFileCannotLeadOutside_data()
    {
        QTest::addColumn<QString>("skillPath");
        QTest::addColumn<bool>("localSource");
        QTest::newRow("a skillPath that climbs out of the clone") << QStringLiteral("../../../../etc/SKILL.md") << false;
        QTest::newRow("an absolute skillPath") << QStringLiteral("/etc/SKILL.md") << false;
        QTest::newRow("a skillPath through a link in the repository that leads outside")
            << QStringLiteral("skills/escape/SKILL.md") << false;
        QTest::newRow("a project's lock naming a local folder outside the project")
            << QStringLiteral("skills/alpha/SKILL.md") << true;
    }

    void aLockFileCannotLeadOutside()
    {
        QFETCH(QString, skillPath);
        QFETCH(bool, localSource);
        Upstream upstream;
        writeFile(upstream.path(QStringLiteral("secret/SKILL.md")), TestFiles::skillText("secret"));
        QVERIFY(QFile::link(upstream.path(QStringLiteral("secret")), upstream.work() + QStringLiteral("/skills/escape")));
        upstream.commit();
        // Added normally, the link is not followed: only the real skills are found.
        const AddResult added = add(upstream, {});
        QCOMPARE(added.installed, (QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}));

        const QString project = home(QStringLiteral("code/app"));
        QVERIFY(QDir().mkpath(project));
        LockEntry entry;
        entry.name = QStringLiteral("secret");
        entry.source = localSource ? upstream.work() : upstream.url();
        entry.sourceType = localSource ? QStringLiteral("local") : QStringLiteral("git");
        entry.sourceUrl = localSource ? QString() : upstream.url();
        entry.skillPath = skillPath;
        QVERIFY(writeLockEntry(projectLockPath(project), LockKind::Project, entry));
        const RestoreResult result = restoreSkills(project);
        QVERIFY(!result.ok);
        QCOMPARE(result.failures.size(), 1);
        QVERIFY(result.restored.isEmpty());
        QVERIFY(!entryExists(project + QStringLiteral("/.agents/skills/secret")));
    }

    void aSkillKnowsWhereItCameFromAndWhetherItWasEdited_data()
    {
        QTest::addColumn<bool>("inProject");
        QTest::addColumn<QByteArray>("edit"); // empty: none
        QTest::addColumn<bool>("edited");
        QTest::newRow("an untouched skill at home is not edited") << false << QByteArray() << false;
        QTest::newRow("an edited skill at home is, by its git tree id") << false << QByteArray("changed\n") << true;
        QTest::newRow("an untouched project skill is not edited") << true << QByteArray() << false;
        QTest::newRow("an edited project skill is, by its content hash") << true << QByteArray("changed\n") << true;
    }

    void aSkillKnowsWhereItCameFromAndWhetherItWasEdited()
    {
        QFETCH(bool, inProject);
        QFETCH(QByteArray, edit);
        QFETCH(bool, edited);
        Upstream upstream;
        const QString project = inProject ? home(QStringLiteral("code/app")) : QString();
        if (inProject)
            QVERIFY(QDir().mkpath(project + QStringLiteral("/.git")));
        QVERIFY(add(upstream, {QStringLiteral("alpha")}, project, {ToolSource::Claude}).ok);
        const QString scope = inProject ? project : QDir::homePath();
        if (!edit.isEmpty())
            writeFile(scope + QStringLiteral("/.agents/skills/alpha/notes.md"), edit);
        LockFileCache locks;
        // Found through the link in Claude's folder as well as at the shared copy.
        for (const QString &folder : {scope + QStringLiteral("/.claude/skills/alpha"), scope + QStringLiteral("/.agents/skills/alpha")}) {
            const std::optional<SkillOrigin> origin = originOf({folder}, locks);
            QVERIFY2(origin, qPrintable(folder));
            QCOMPARE(origin->entry.source, upstream.url());
            QCOMPARE(origin->project, project);
            QCOMPARE(editedSinceInstalled(*origin), std::optional<bool>(edited));
        }
        QVERIFY(!originOf({scope + QStringLiteral("/.agents/skills/beta")}, locks));
    }

    void aForeignHashIsNotTakenForAnEdit()
    {
        // Another installer's record of a non-GitHub source: its hash may not be a tree id.
        writeFile(home(QStringLiteral(".agents/skills/theirs/SKILL.md")), alphaText);
        writeFile(home(QStringLiteral(".agents/.skill-lock.json")),
                  "{\"version\":3,\"skills\":{\"theirs\":{\"source\":\"https://example.org/x.git\",\"sourceType\":\"git\",\"skillFolderHash\":\"0000\"}}}");
        LockFileCache locks;
        const std::optional<SkillOrigin> origin = originOf({home(QStringLiteral(".agents/skills/theirs"))}, locks);
        QVERIFY(origin);
        QVERIFY(!editedSinceInstalled(*origin));
    }

    void aSkillHoldingALinkOutIsNotInstalled_data()
    {
        QTest::addColumn<QString>("linkText");
        QTest::addColumn<bool>("installed");
        QTest::newRow("a link to a file inside the skill is kept, as a link") << QStringLiteral("SKILL.md") << true;
        QTest::newRow("a dangling link that stays inside is kept") << QStringLiteral("later/notes.md") << true;
        QTest::newRow("a link to a file outside the skill is refused") << QStringLiteral("../../secret.txt") << false;
        QTest::newRow("an absolute link is refused") << QStringLiteral("/etc/hostname") << false;
        QTest::newRow("a dangling link that would lead outside is refused") << QStringLiteral("../../gone/x") << false;
    }

    void aSkillHoldingALinkOutIsNotInstalled()
    {
        QFETCH(QString, linkText);
        QFETCH(bool, installed);
        // A local folder as the source: no git needed for this one.
        QTemporaryDir source;
        writeFile(source.filePath(QStringLiteral("secret.txt")), "secret\n");
        writeFile(source.filePath(QStringLiteral("skills/linky/SKILL.md")), TestFiles::skillText("linky"));
        QVERIFY(QFile::link(linkText, source.filePath(QStringLiteral("skills/linky/link"))));
        AddRequest request;
        request.source = source.path();
        request.workingDirectory = QDir::homePath();
        const AddResult result = addSkills(request);
        QCOMPARE(result.found.size(), 1);
        QCOMPARE(result.ok, installed);
        const QString link = home(QStringLiteral(".agents/skills/linky/link"));
        QCOMPARE(QFileInfo(link).isSymLink(), installed);
        if (installed) {
            QCOMPARE(readLinkText(link), linkText);
            QCOMPARE(lockEntry(QString(), QStringLiteral("linky"))->sourceType, QStringLiteral("local"));
        } else {
            QVERIFY2(result.error.contains(QLatin1String("link leading outside")), qPrintable(result.error));
            QVERIFY(!entryExists(home(QStringLiteral(".agents/skills/linky"))));
        }
    }

    void theSkillsInstallerReadsWhatVeskWrote()
    {
        const QString installer = QStandardPaths::findExecutable(QStringLiteral("skills"));
        if (installer.isEmpty())
            QSKIP("The skills installer is not on PATH here; this test never downloads it");
        Upstream upstream;
        const QString project = home(QStringLiteral("code/app"));
        QVERIFY(QDir().mkpath(project));
        QVERIFY(add(upstream, {QStringLiteral("alpha")}, project).ok);
        QProcess process;
        process.setWorkingDirectory(project);
        process.start(installer, {QStringLiteral("list"), QStringLiteral("--json")});
        QVERIFY(process.waitForFinished(120000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(process.readAllStandardOutput().contains("alpha"), "the installer lists the skill Vesk recorded");
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillSources)
#include "tst_skillsources.moc"
