#include "library/watch/filewatcher.h"

#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <cstdio>
#include <memory>

namespace {

constexpr int kTimeoutMs = 2000;
// Where the point is that nothing arrives: long enough for the event loop to run.
constexpr int kQuietMs = 100;

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// A limit from /proc/sys/fs/inotify, or 0 when it cannot be read.
int inotifyLimit(const char *name)
{
    QFile file(QStringLiteral("/proc/sys/fs/inotify/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
}

} // namespace

enum class Change { AddFile, AddTenFiles, RemoveFile, RenameFile, ChangeInsideSubfolder, RenameFolder, DeleteFolder };
Q_DECLARE_METATYPE(Change)

enum class Ending { Stop, WatchElsewhere, Destroy };
Q_DECLARE_METATYPE(Ending)

// Every test starts with temp/skills (holding notes.md and the folder review) and
// temp/other, and records every callback of its watcher in m_calls.
class TestFileWatcher : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_watched;
    QString m_other;
    QStringList m_calls;

    FileWatcher::Callback record()
    {
        return [this](const QString &path) { m_calls << path; };
    }

private Q_SLOTS:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
        m_watched = m_temp->filePath(QStringLiteral("skills"));
        m_other = m_temp->filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(m_watched + QStringLiteral("/review")));
        QVERIFY(QDir().mkpath(m_other));
        QVERIFY(touch(m_watched + QStringLiteral("/notes.md")));
        m_calls.clear();
    }

    void reportsEachChangeToTheEntryList_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("expectedCallbacks");

        QTest::newRow("adding a file gives one callback") << Change::AddFile << 1;
        QTest::newRow("adding ten files gives ten callbacks") << Change::AddTenFiles << 10;
        QTest::newRow("removing a file gives one callback") << Change::RemoveFile << 1;
        QTest::newRow("renaming a file gives one callback for each name") << Change::RenameFile << 2;
        QTest::newRow("changes inside a subfolder give none") << Change::ChangeInsideSubfolder << 0;
        QTest::newRow("renaming the watched folder gives one callback") << Change::RenameFolder << 1;
        QTest::newRow("deleting the watched folder gives one per entry and one for itself")
            << Change::DeleteFolder << 3;
    }

    void reportsEachChangeToTheEntryList()
    {
        QFETCH(Change, change);
        QFETCH(int, expectedCallbacks);

        FileWatcher watcher(record());
        watcher.watch({m_watched, m_other});
        QDir dir(m_watched);
        switch (change) {
        case Change::AddFile:
            QVERIFY(touch(dir.filePath(QStringLiteral("new.md"))));
            break;
        case Change::AddTenFiles:
            for (int i = 0; i < 10; ++i)
                QVERIFY(touch(dir.filePath(QStringLiteral("new-%1.md").arg(i))));
            break;
        case Change::RemoveFile:
            QVERIFY(dir.remove(QStringLiteral("notes.md")));
            break;
        case Change::RenameFile:
            QVERIFY(dir.rename(QStringLiteral("notes.md"), QStringLiteral("renamed.md")));
            break;
        case Change::ChangeInsideSubfolder:
            QVERIFY(touch(dir.filePath(QStringLiteral("review/SKILL.md"))));
            QVERIFY(dir.mkdir(QStringLiteral("review/scripts")));
            break;
        case Change::RenameFolder:
            QVERIFY(QDir(m_temp->path()).rename(QStringLiteral("skills"), QStringLiteral("skills-old")));
            break;
        case Change::DeleteFolder:
            QVERIFY(dir.removeRecursively());
            break;
        }

        // Events of one watcher arrive in order, so once this one is in, every
        // callback the change caused has been made.
        QVERIFY(touch(m_other + QStringLiteral("/sentinel")));
        QTRY_VERIFY_WITH_TIMEOUT(m_calls.contains(m_other), kTimeoutMs);
        QCOMPARE(m_calls, QStringList(expectedCallbacks, m_watched) << m_other);
    }

    void rewatchingReplacesTheSetWithoutLeakingOrDoublingCallbacks()
    {
        // More rounds than the kernel allows inotify instances per user, so sets
        // that are not closed when replaced would run out of them.
        const int rounds = qBound(2, inotifyLimit("max_user_instances") + 1, 10000);
        const QString missing = m_temp->filePath(QStringLiteral("missing"));
        FileWatcher watcher(record());
        for (int i = 0; i < rounds; ++i) {
            watcher.watch({missing});
            QVERIFY(watcher.watchedPaths().isEmpty());
            watcher.watch({m_other, missing, m_watched});
        }
        QCOMPARE(watcher.watchedPaths(), (QStringList{m_other, m_watched}));

        QVERIFY(touch(m_watched + QStringLiteral("/new.md")));
        QVERIFY(touch(m_other + QStringLiteral("/sentinel")));
        QTRY_VERIFY_WITH_TIMEOUT(m_calls.contains(m_other), kTimeoutMs);
        QCOMPARE(m_calls, (QStringList{m_watched, m_other}));
    }

    void reportsOnceForEachSpellingExactlyAsGiven()
    {
        const QString link = m_temp->filePath(QStringLiteral("linked-skills"));
        QVERIFY(QFile::link(m_watched, link));
        QStringList spellings{m_watched, m_watched + QLatin1Char('/'), link,
                              m_temp->path() + QStringLiteral("/./skills")};

        FileWatcher watcher(record());
        watcher.watch(spellings);
        QCOMPARE(watcher.watchedPaths(), spellings);

        QVERIFY(touch(m_watched + QStringLiteral("/new.md")));
        QTRY_COMPARE_WITH_TIMEOUT(m_calls.size(), spellings.size(), kTimeoutMs);
        m_calls.sort();
        spellings.sort();
        QCOMPARE(m_calls, spellings);
    }

    void endingTheWatchSetDropsQueuedAndLaterEvents_data()
    {
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<bool>("fromCallback");

        QTest::newRow("stopping the watcher") << Ending::Stop << false;
        QTest::newRow("watching something else") << Ending::WatchElsewhere << false;
        QTest::newRow("destroying the watcher") << Ending::Destroy << false;
        QTest::newRow("stopping the watcher from its first callback") << Ending::Stop << true;
        QTest::newRow("watching something else from the first callback") << Ending::WatchElsewhere << true;
        QTest::newRow("destroying the watcher from its first callback") << Ending::Destroy << true;
    }

    void endingTheWatchSetDropsQueuedAndLaterEvents()
    {
        QFETCH(Ending, ending);
        QFETCH(bool, fromCallback);

        FileWatcher *watcher = nullptr;
        const auto end = [&] {
            if (ending == Ending::Stop) {
                watcher->stopAll();
            } else if (ending == Ending::WatchElsewhere) {
                watcher->watch({m_other});
            } else {
                delete watcher;
                watcher = nullptr;
            }
        };
        watcher = new FileWatcher([&](const QString &path) {
            m_calls << path;
            if (fromCallback && m_calls.size() == 1)
                end();
        });
        watcher->watch({m_watched});
        QStringList witnessed;
        FileWatcher witness([&witnessed](const QString &path) { witnessed << path; });
        witness.watch({m_watched});

        // All of these are queued before the event loop gets to read any of them.
        for (int i = 0; i < 5; ++i)
            QVERIFY(touch(m_watched + QStringLiteral("/new-%1.md").arg(i)));
        if (!fromCallback)
            end();
        QVERIFY(touch(m_watched + QStringLiteral("/later.md")));

        QTRY_COMPARE_WITH_TIMEOUT(witnessed.size(), 6, kTimeoutMs);
        QTest::qWait(kQuietMs);
        const QStringList expected = fromCallback ? QStringList{m_watched} : QStringList();
        QCOMPARE(m_calls, expected);

        if (ending == Ending::WatchElsewhere) {
            QCOMPARE(watcher->watchedPaths(), QStringList{m_other});
            QVERIFY(touch(m_other + QStringLiteral("/SKILL.md")));
            QTRY_COMPARE_WITH_TIMEOUT(m_calls, expected + QStringList{m_other}, kTimeoutMs);
        } else if (watcher) {
            QVERIFY(watcher->watchedPaths().isEmpty());
        }
        delete watcher;
    }

    void reportsEveryWatchedPathWhenEventsWereLost()
    {
        const int queueLimit = inotifyLimit("max_queued_events");
        if (queueLimit <= 0 || queueLimit > 100000)
            QSKIP("The inotify queue limit is unknown or too large to overflow in a test");

        FileWatcher watcher(record());
        watcher.watch({m_watched, m_other});

        // Every rename queues two events; with no chance to read in between, this
        // is more than the kernel keeps.
        const QByteArray a = QFile::encodeName(m_watched + QStringLiteral("/notes.md"));
        const QByteArray b = QFile::encodeName(m_watched + QStringLiteral("/moved.md"));
        for (int i = 0; i < queueLimit / 2 + 10; ++i)
            QCOMPARE(std::rename(i % 2 ? b.constData() : a.constData(),
                                 i % 2 ? a.constData() : b.constData()),
                     0);

        QTRY_VERIFY_WITH_TIMEOUT(m_calls.contains(m_other), kTimeoutMs);
        QCOMPARE(m_calls.count(m_other), 1);
        QVERIFY(m_calls.count(m_watched) > queueLimit);
        QCOMPARE(m_calls.count(m_watched), m_calls.size() - 1);
    }
};

VESK_TEST_GUILESS_MAIN(TestFileWatcher)
#include "tst_filewatcher.moc"
