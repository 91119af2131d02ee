#include "library/filewatcher.h"

#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>
#include <unistd.h>

namespace {

// Long enough for the kernel and the event loop to deliver anything that is coming.
constexpr int kSettleMs = 300;
constexpr int kTimeoutMs = 2000;

bool touch(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("---\nname: example\n---\n");
    return true;
}

// The inotify instances this process holds, and the watches registered on them,
// as the kernel reports them.
struct InotifyUsage
{
    int instances = 0;
    int watches = 0;
};

InotifyUsage inotifyUsage()
{
    InotifyUsage usage;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    const QStringList entries = fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        char target[256] = {};
        const QByteArray link = QFile::encodeName(fds.filePath(entry));
        if (::readlink(link.constData(), target, sizeof target - 1) < 0)
            continue;
        if (QByteArray(target) != "anon_inode:inotify")
            continue;
        ++usage.instances;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + entry);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : info.readAll().split('\n')) {
            if (line.startsWith("inotify wd:"))
                ++usage.watches;
        }
    }
    return usage;
}

} // namespace

enum class EntryChange {
    AddFile,
    RemoveFile,
    RenameEntry,
    MoveIn,
    MoveOut,
    MakeSubdirectory,
    RemoveSubdirectory,
};
Q_DECLARE_METATYPE(EntryChange)

enum class DirectoryLoss { Delete, Rename };
Q_DECLARE_METATYPE(DirectoryLoss)

enum class Reaction { StopAll, WatchElsewhere, DeleteWatcher };
Q_DECLARE_METATYPE(Reaction)

class TestFileWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void leavesNothingWatched_data();
    void leavesNothingWatched();
    void keepsTheGivenOrderAndSkipsMissingPaths();
    void watchingTheSameListTwiceKeepsOneWatchPerPath();
    void reportsChangesToTheEntryList_data();
    void reportsChangesToTheEntryList();
    void ignoresChangesInsideSubdirectories();
    void reportsWhenTheWatchedDirectoryGoesAway_data();
    void reportsWhenTheWatchedDirectoryGoesAway();
    void destroyingTheWatcherDropsQueuedEvents();
    void stopAllDropsQueuedAndLaterEvents();
    void reportsThePathExactlyAsGiven_data();
    void reportsThePathExactlyAsGiven();
    void reportsOnceForEachSpellingOfTheSameDirectory();
    void givesOneCallbackPerCreatedFile();
    void callbackThatEndsTheWatchSetStopsDelivery_data();
    void callbackThatEndsTheWatchSetStopsDelivery();
    void callbackMayScheduleTheWatchersDeletion();
    void reportsEveryWatchedPathWhenEventsWereLost();
};

void TestFileWatcher::leavesNothingWatched_data()
{
    QTest::addColumn<QStringList>("relativePaths");

    QTest::newRow("when given an empty list") << QStringList();
    QTest::newRow("when every path is missing")
        << QStringList{QStringLiteral("missing"), QStringLiteral("also/missing")};
}

void TestFileWatcher::leavesNothingWatched()
{
    QFETCH(QStringList, relativePaths);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QStringList paths;
    for (const QString &relative : std::as_const(relativePaths))
        paths << temp.filePath(relative);

    const InotifyUsage before = inotifyUsage();
    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch(paths);

    QVERIFY(watcher.watchedPaths().isEmpty());
    const InotifyUsage after = inotifyUsage();
    QCOMPARE(after.instances, before.instances);
    QCOMPARE(after.watches, before.watches);
}

void TestFileWatcher::keepsTheGivenOrderAndSkipsMissingPaths()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString first = temp.filePath(QStringLiteral("zeta"));
    const QString second = temp.filePath(QStringLiteral("alpha"));
    QVERIFY(QDir().mkpath(first));
    QVERIFY(QDir().mkpath(second));

    FileWatcher watcher([](const QString &) {});
    watcher.watch({first, temp.filePath(QStringLiteral("missing")), second});

    QCOMPARE(watcher.watchedPaths(), (QStringList{first, second}));
}

void TestFileWatcher::watchingTheSameListTwiceKeepsOneWatchPerPath()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString first = temp.filePath(QStringLiteral("first"));
    const QString second = temp.filePath(QStringLiteral("second"));
    QVERIFY(QDir().mkpath(first));
    QVERIFY(QDir().mkpath(second));
    const QStringList paths{first, second};

    const InotifyUsage before = inotifyUsage();
    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch(paths);
    watcher.watch(paths);

    QCOMPARE(watcher.watchedPaths(), paths);
    const InotifyUsage after = inotifyUsage();
    QCOMPARE(after.instances - before.instances, 1);
    QCOMPARE(after.watches - before.watches, int(paths.size()));

    QVERIFY(touch(first + QStringLiteral("/SKILL.md")));
    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), 1, kTimeoutMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls, QStringList{first});
}

void TestFileWatcher::reportsChangesToTheEntryList_data()
{
    QTest::addColumn<EntryChange>("change");
    QTest::addColumn<int>("expectedCallbacks");

    QTest::newRow("adding a file") << EntryChange::AddFile << 1;
    QTest::newRow("removing a file") << EntryChange::RemoveFile << 1;
    // The kernel reports a rename as the old name leaving and the new one arriving.
    QTest::newRow("renaming an entry") << EntryChange::RenameEntry << 2;
    QTest::newRow("moving an entry in from elsewhere") << EntryChange::MoveIn << 1;
    QTest::newRow("moving an entry out") << EntryChange::MoveOut << 1;
    QTest::newRow("creating a subdirectory") << EntryChange::MakeSubdirectory << 1;
    QTest::newRow("removing a subdirectory") << EntryChange::RemoveSubdirectory << 1;
}

void TestFileWatcher::reportsChangesToTheEntryList()
{
    QFETCH(EntryChange, change);
    QFETCH(int, expectedCallbacks);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString watched = temp.filePath(QStringLiteral("skills"));
    const QString outside = temp.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(watched + QStringLiteral("/old-skill")));
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(touch(watched + QStringLiteral("/notes.md")));
    QVERIFY(touch(outside + QStringLiteral("/incoming.md")));

    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch({watched});
    QCOMPARE(watcher.watchedPaths(), QStringList{watched});

    QDir dir(watched);
    switch (change) {
    case EntryChange::AddFile:
        QVERIFY(touch(dir.filePath(QStringLiteral("new.md"))));
        break;
    case EntryChange::RemoveFile:
        QVERIFY(dir.remove(QStringLiteral("notes.md")));
        break;
    case EntryChange::RenameEntry:
        QVERIFY(dir.rename(QStringLiteral("notes.md"), QStringLiteral("renamed.md")));
        break;
    case EntryChange::MoveIn:
        QVERIFY(QFile::rename(outside + QStringLiteral("/incoming.md"),
                              dir.filePath(QStringLiteral("incoming.md"))));
        break;
    case EntryChange::MoveOut:
        QVERIFY(QFile::rename(dir.filePath(QStringLiteral("notes.md")),
                              outside + QStringLiteral("/notes.md")));
        break;
    case EntryChange::MakeSubdirectory:
        QVERIFY(dir.mkdir(QStringLiteral("new-skill")));
        break;
    case EntryChange::RemoveSubdirectory:
        QVERIFY(dir.rmdir(QStringLiteral("old-skill")));
        break;
    }

    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), expectedCallbacks, kTimeoutMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls.size(), expectedCallbacks);
    QCOMPARE(calls.count(watched), expectedCallbacks);
}

void TestFileWatcher::ignoresChangesInsideSubdirectories()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString watched = temp.filePath(QStringLiteral("skills"));
    const QString skill = watched + QStringLiteral("/review");
    QVERIFY(QDir().mkpath(skill));

    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch({watched});

    QVERIFY(touch(skill + QStringLiteral("/SKILL.md")));
    QVERIFY(QDir(skill).mkdir(QStringLiteral("scripts")));
    QTest::qWait(kSettleMs);
    QCOMPARE(calls.size(), 0);

    // The watcher is alive all along: a change at the top level does arrive.
    QVERIFY(touch(watched + QStringLiteral("/README.md")));
    QTRY_COMPARE_WITH_TIMEOUT(calls, QStringList{watched}, kTimeoutMs);
}

void TestFileWatcher::reportsWhenTheWatchedDirectoryGoesAway_data()
{
    QTest::addColumn<DirectoryLoss>("loss");

    QTest::newRow("deleting the watched directory") << DirectoryLoss::Delete;
    QTest::newRow("renaming the watched directory") << DirectoryLoss::Rename;
}

void TestFileWatcher::reportsWhenTheWatchedDirectoryGoesAway()
{
    QFETCH(DirectoryLoss, loss);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString watched = temp.filePath(QStringLiteral("skills"));
    QVERIFY(QDir().mkpath(watched));

    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch({watched});

    QDir parent(temp.path());
    if (loss == DirectoryLoss::Delete)
        QVERIFY(parent.rmdir(QStringLiteral("skills")));
    else
        QVERIFY(parent.rename(QStringLiteral("skills"), QStringLiteral("skills-old")));

    // Deletion is followed by the kernel dropping the watch, which is not a change
    // of its own.
    QTRY_COMPARE_WITH_TIMEOUT(calls, QStringList{watched}, kTimeoutMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls, QStringList{watched});
}

void TestFileWatcher::destroyingTheWatcherDropsQueuedEvents()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString watched = temp.filePath(QStringLiteral("skills"));
    QVERIFY(QDir().mkpath(watched));

    QStringList calls;
    auto watcher = std::make_unique<FileWatcher>([&calls](const QString &path) { calls << path; });
    watcher->watch({watched});
    QStringList witnessCalls;
    FileWatcher witness([&witnessCalls](const QString &path) { witnessCalls << path; });
    witness.watch({watched});

    QVERIFY(touch(watched + QStringLiteral("/SKILL.md")));
    watcher.reset();

    QTRY_COMPARE_WITH_TIMEOUT(witnessCalls, QStringList{watched}, kTimeoutMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls.size(), 0);
}

void TestFileWatcher::stopAllDropsQueuedAndLaterEvents()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString watched = temp.filePath(QStringLiteral("skills"));
    QVERIFY(QDir().mkpath(watched));

    const InotifyUsage before = inotifyUsage();
    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch({watched});
    QStringList witnessCalls;
    FileWatcher witness([&witnessCalls](const QString &path) { witnessCalls << path; });
    witness.watch({watched});

    QVERIFY(touch(watched + QStringLiteral("/queued.md")));
    watcher.stopAll();
    QVERIFY(touch(watched + QStringLiteral("/later.md")));

    QTRY_COMPARE_WITH_TIMEOUT(witnessCalls.size(), 2, kTimeoutMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls.size(), 0);
    QVERIFY(watcher.watchedPaths().isEmpty());

    witness.stopAll();
    const InotifyUsage after = inotifyUsage();
    QCOMPARE(after.instances, before.instances);
    QCOMPARE(after.watches, before.watches);
}

void TestFileWatcher::reportsThePathExactlyAsGiven_data()
{
    QTest::addColumn<QString>("spelling");

    QTest::newRow("a path with a trailing slash") << QStringLiteral("%1/skills/");
    QTest::newRow("a path through a symbolic link") << QStringLiteral("%1/linked-skills");
    QTest::newRow("a path with a dot segment") << QStringLiteral("%1/./skills");
}

void TestFileWatcher::reportsThePathExactlyAsGiven()
{
    QFETCH(QString, spelling);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString real = temp.filePath(QStringLiteral("skills"));
    QVERIFY(QDir().mkpath(real));
    QVERIFY(QFile::link(real, temp.filePath(QStringLiteral("linked-skills"))));
    const QString given = spelling.arg(temp.path());

    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch({given});
    QCOMPARE(watcher.watchedPaths(), QStringList{given});

    QVERIFY(touch(real + QStringLiteral("/SKILL.md")));
    QTRY_COMPARE_WITH_TIMEOUT(calls, QStringList{given}, kTimeoutMs);
}

void TestFileWatcher::reportsOnceForEachSpellingOfTheSameDirectory()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString real = temp.filePath(QStringLiteral("skills"));
    const QString link = temp.filePath(QStringLiteral("linked-skills"));
    QVERIFY(QDir().mkpath(real));
    QVERIFY(QFile::link(real, link));
    const QStringList spellings{real, real + QLatin1Char('/'), link};

    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch(spellings);
    QCOMPARE(watcher.watchedPaths(), spellings);

    QVERIFY(touch(real + QStringLiteral("/SKILL.md")));
    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), int(spellings.size()), kTimeoutMs);
    QTest::qWait(kSettleMs);
    QStringList sortedCalls = calls;
    QStringList sortedSpellings = spellings;
    sortedCalls.sort();
    sortedSpellings.sort();
    QCOMPARE(sortedCalls, sortedSpellings);
}

void TestFileWatcher::givesOneCallbackPerCreatedFile()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString watched = temp.filePath(QStringLiteral("skills"));
    QVERIFY(QDir().mkpath(watched));

    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch({watched});

    const int fileCount = 40;
    for (int i = 0; i < fileCount; ++i)
        QVERIFY(touch(watched + QStringLiteral("/skill-%1.md").arg(i)));

    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), fileCount, kTimeoutMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls.size(), fileCount);
    QCOMPARE(calls.count(watched), fileCount);
}

void TestFileWatcher::callbackThatEndsTheWatchSetStopsDelivery_data()
{
    QTest::addColumn<Reaction>("reaction");

    QTest::newRow("when the callback stops the watcher") << Reaction::StopAll;
    QTest::newRow("when the callback watches something else") << Reaction::WatchElsewhere;
    QTest::newRow("when the callback destroys the watcher") << Reaction::DeleteWatcher;
}

void TestFileWatcher::callbackThatEndsTheWatchSetStopsDelivery()
{
    QFETCH(Reaction, reaction);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString first = temp.filePath(QStringLiteral("first"));
    const QString second = temp.filePath(QStringLiteral("second"));
    QVERIFY(QDir().mkpath(first));
    QVERIFY(QDir().mkpath(second));

    QStringList calls;
    FileWatcher *watcher = nullptr;
    watcher = new FileWatcher([&](const QString &path) {
        calls << path;
        if (calls.size() != 1)
            return;
        switch (reaction) {
        case Reaction::StopAll:
            watcher->stopAll();
            break;
        case Reaction::WatchElsewhere:
            watcher->watch({second});
            break;
        case Reaction::DeleteWatcher:
            delete watcher;
            watcher = nullptr;
            break;
        }
    });
    watcher->watch({first});

    // All of these are queued before the event loop gets to read any of them.
    for (int i = 0; i < 5; ++i)
        QVERIFY(touch(first + QStringLiteral("/skill-%1.md").arg(i)));

    QTRY_COMPARE_WITH_TIMEOUT(calls.size(), 1, kTimeoutMs);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls, QStringList{first});

    if (reaction == Reaction::WatchElsewhere) {
        QVERIFY(watcher);
        QCOMPARE(watcher->watchedPaths(), QStringList{second});
        QVERIFY(touch(second + QStringLiteral("/SKILL.md")));
        QTRY_COMPARE_WITH_TIMEOUT(calls, (QStringList{first, second}), kTimeoutMs);
    }
    delete watcher;
}

void TestFileWatcher::callbackMayScheduleTheWatchersDeletion()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString watched = temp.filePath(QStringLiteral("skills"));
    QVERIFY(QDir().mkpath(watched));

    QStringList calls;
    QPointer<FileWatcher> watcher;
    watcher = new FileWatcher([&](const QString &path) {
        calls << path;
        if (watcher)
            watcher->deleteLater();
    });
    watcher->watch({watched});

    for (int i = 0; i < 3; ++i)
        QVERIFY(touch(watched + QStringLiteral("/skill-%1.md").arg(i)));

    QTRY_VERIFY_WITH_TIMEOUT(watcher.isNull(), kTimeoutMs);
    QVERIFY(!calls.isEmpty());
    QCOMPARE(calls.count(watched), calls.size());
    const qsizetype callsBeforeDeletion = calls.size();

    QVERIFY(touch(watched + QStringLiteral("/after.md")));
    QTest::qWait(kSettleMs);
    QCOMPARE(calls.size(), callsBeforeDeletion);
}

void TestFileWatcher::reportsEveryWatchedPathWhenEventsWereLost()
{
    QFile limitFile(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    if (!limitFile.open(QIODevice::ReadOnly))
        QSKIP("The inotify queue limit is not readable here");
    bool ok = false;
    const int queueLimit = limitFile.readAll().trimmed().toInt(&ok);
    if (!ok || queueLimit <= 0 || queueLimit > 100000)
        QSKIP("The inotify queue is too large to overflow in a test");

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString busy = temp.filePath(QStringLiteral("busy"));
    const QString quiet = temp.filePath(QStringLiteral("quiet"));
    QVERIFY(QDir().mkpath(busy));
    QVERIFY(QDir().mkpath(quiet));

    QStringList calls;
    FileWatcher watcher([&calls](const QString &path) { calls << path; });
    watcher.watch({busy, quiet});

    // More changes than the kernel will queue, with no chance to read in between.
    for (int i = 0; i < queueLimit + 10; ++i)
        QVERIFY(touch(busy + QStringLiteral("/f%1").arg(i)));

    QTRY_VERIFY_WITH_TIMEOUT(calls.contains(quiet), 10000);
    QTest::qWait(kSettleMs);
    QCOMPARE(calls.count(quiet), 1);
    QVERIFY(calls.count(busy) >= queueLimit);
    QCOMPARE(calls.count(busy) + calls.count(quiet), calls.size());
}

VESK_TEST_GUILESS_MAIN(TestFileWatcher)
#include "tst_filewatcher.moc"
