#pragma once

// A store that reads well table by table but whose whole-file check fails.

#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest/QtTest>

#include <sqlite3.h>

namespace TestFiles {

// A store of 200 skills in one collection whose membership index has its first
// page overwritten: every table still reads, only a whole-file check sees it.
// `keepWal` leaves it in WAL mode, as every store this app writes is.
inline void writeStoreWithDamagedIndex(const QString &path, bool keepWal, bool damage = true)
{
    {
        QString error;
        auto container = ModelContainer::open(path, &error);
        QVERIFY2(container, qPrintable(error));
        ModelContext *context = container->mainContext();
        SkillCollection *work = context->insert(std::make_unique<SkillCollection>("Work", "hammer", 0));
        for (int i = 0; i < 200; ++i)
            work->addSkill(context->insert(std::make_unique<Skill>(
                "/s/" + QString::number(i), "/s/" + QString::number(i), "s" + QString::number(i), "d", "c",
                Skill::Frontmatter{}, ToolSource::Cursor, false, true, QDateTime::fromSecsSinceEpoch(1700000000), 7)));
        QVERIFY(context->save());
    }
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    if (!keepWal)
        sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    sqlite3_stmt *root = nullptr;
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name = 'collection_membership_by_skill'",
                       -1, &root, nullptr);
    QCOMPARE(sqlite3_step(root), SQLITE_ROW);
    const qint64 page = sqlite3_column_int64(root, 0);
    sqlite3_finalize(root);
    sqlite3_close(db);
    QVERIFY(!QFileInfo::exists(path + "-wal"));
    if (!damage)
        return;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek((page - 1) * 4096));
    file.write(QByteArray(4096, '\xff'));
}

} // namespace TestFiles
