#include "library/store/searchkeyloader.h"

#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/store/sqlite.h"

#include <QThread>

namespace {
constexpr int batchSize = 500;
}

SearchKeyLoader::SearchKeyLoader(ModelContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
{
}

SearchKeyLoader::~SearchKeyLoader()
{
    if (m_thread) {
        m_stop = true;
        m_thread->wait();
        delete m_thread;
    }
}

void SearchKeyLoader::start()
{
    if (m_thread || m_finished)
        return;
    // Plain pointers, not guards: a guard per record costs tens of milliseconds of
    // the window's thread in a large library. Removed records are noted instead.
    connect(&m_context, &ModelContext::skillAboutToBeRemoved, this, [this](const Skill *skill) {
        if (!m_finished)
            m_gone.insert(skill);
    });
    const QList<Skill *> skills = m_context.skillsInAnyOrder();
    m_records.reserve(skills.size());
    for (Skill *skill : skills) {
        if (skill->persistentId() != 0 && !skill->hasSearchKey())
            m_records.insert(skill->persistentId(), {skill, skill->textRevision()});
    }
    const QString path = m_context.databasePath();
    if (m_records.isEmpty() || path.isEmpty()) {
        finish();
        return;
    }
    m_thread = QThread::create([this, path, file = m_context.searchKeyFile()] { run(path, file); });
    m_thread->start(QThread::LowPriority);
}

void SearchKeyLoader::finish()
{
    m_finished = true;
    m_records = {};
    m_gone = {};
    Q_EMIT finished();
}

void SearchKeyLoader::run(const QString &databasePath, const std::shared_ptr<SearchKeyFile> &keyFile)
{
    // Runs on the worker: touches no record, only its own connection.
    const auto deliver = [this](QList<Built> batch, bool last) {
        QMetaObject::invokeMethod(this, [this, batch = std::move(batch), last] {
            apply(batch);
            if (last)
                finish();
        }, Qt::QueuedConnection);
    };

    Sqlite::Database database;
    QList<Built> batch;
    if (database.open(databasePath, nullptr, Sqlite::Database::Access::ReadOnly)) {
        // One pass over the table: a page read is never read again, so a small
        // page cache does as well as the default 2 MiB.
        database.exec("PRAGMA cache_size = -256");
        Sqlite::Statement select(database, "SELECT id, name, skillDescription, content FROM skill");
        while (!m_stop && select.next()) {
            batch.append({select.integer(0), SearchKey::make(select.text(1), select.text(2), select.text(3), keyFile)});
            if (batch.size() == batchSize) {
                deliver(std::exchange(batch, {}), false);
                batch.reserve(batchSize);
            }
        }
    }
    if (!m_stop)
        deliver(std::move(batch), true);
}

void SearchKeyLoader::apply(const QList<Built> &batch)
{
    for (const Built &built : batch) {
        const auto found = m_records.constFind(built.id);
        if (found == m_records.cend())
            continue;
        Skill *skill = found->first;
        if (m_gone.contains(skill))
            continue;
        // Unchanged since the load: the stored texts are the record's texts.
        if (!skill->hasSearchKey() && skill->textRevision() == found->second)
            skill->setSearchKey(built.key);
    }
}
