// Saving records on a thread of their own while this one goes on. A first scan
// writes every record it finds, and the records' thread spent as long writing
// rows as making them; with the writing on another thread, the two overlap.
// Only new and changed records go there, written as this process holds them:
// merging another process's rows takes this thread, so the writer gives way
// whenever another process wrote since this one last looked (see BackgroundSave).

#include "library/store/modelcontext.h"

#include "library/store/backgroundsave.h"
#include "library/store/sqlite.h"
#include "library/store/storesql.h"

ModelContext::~ModelContext()
{
    // The writer holds the connection and copies of rows, never the records.
    if (m_background)
        m_background->outcome.wait();
}

bool ModelContext::saveInBackground(std::function<bool(Sqlite::Database &, QString *)> alsoWrite,
                                    std::function<void(bool written)> settled)
{
    settle();
    if (m_writesHeld || m_backgroundGaveWay || !m_lastSaveError.isEmpty() || !m_removedSkillIds.isEmpty()
        || !m_insertedCollections.isEmpty() || !m_changedCollections.isEmpty() || !m_removedCollectionIds.isEmpty()
        || !m_addedMemberships.isEmpty() || !m_removedMemberships.isEmpty())
        return false;

    auto batch = std::make_unique<BackgroundSave::Batch>();
    batch->skills.reserve(m_insertedSkills.size());
    batch->numbers.reserve(m_insertedSkills.size());
    batch->rows.reserve(m_insertedSkills.size() + size_t(m_changedSkills.size()));
    for (const auto &[number, skill] : m_insertedSkills) {
        batch->skills.push_back(skill);
        batch->numbers.push_back(number);
        batch->rows.push_back(skill->row());
    }
    batch->changed.reserve(size_t(m_changedSkills.size()));
    for (Skill *skill : std::as_const(m_changedSkills)) {
        batch->changed.push_back(skill);
        batch->rows.push_back(skill->row());
    }
    // No longer pending meanwhile: a change to one of them is an update, made
    // by a save that comes after this one (and so after it has its row id).
    m_insertedSkills.clear();
    m_insertedSkillSet.clear();
    m_changedSkills.clear();
    batch->settled = std::move(settled);
    if (m_storePath.isEmpty())
        m_storePath = m_database.path(); // asked here: the writer is about to hold the connection
    batch->number = ++m_backgroundSaves;
    // Once written, this thread is told, so that the outcome is taken in (and the
    // bodies released) without waiting for the next use of the store. A context
    // gone by then drops the call with its pending events: its destructor waits
    // for the writer, which posts before it returns.
    batch->outcome = std::async(std::launch::async, [this, &database = m_database, rows = &batch->rows,
                                                     inserted = batch->skills.size(), seen = m_seenStamp,
                                                     alsoWrite = std::move(alsoWrite), number = batch->number] {
        BackgroundSave::Outcome outcome = BackgroundSave::write(database, *rows, inserted, seen, alsoWrite);
        QMetaObject::invokeMethod(this, [this, number] { backgroundSaveWritten(number); }, Qt::QueuedConnection);
        return outcome;
    });
    m_background = std::move(batch);
    return true;
}

void ModelContext::backgroundSaveWritten(quint64 number)
{
    // Another use of the store may have taken this save's outcome in already, and
    // started the next save: that one is not waited for.
    if (m_background && m_background->number == number)
        settle();
    if (!m_background)
        Q_EMIT backgroundSaveDone();
}

bool ModelContext::isWritingInBackground() const
{
    return m_background && m_background->outcome.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

std::optional<QString> ModelContext::bodyBesideWriter(qint64 id) const
{
    // Bodies are released only once written, so the one asked for is committed
    // and another connection reads it without waiting for the save under way.
    // The statement is reset after each read: a read left open would keep the
    // log's checkpoints from finishing.
    if (!m_bodyReader) {
        auto reader = std::make_unique<BodyReader>();
        if (m_storePath.isEmpty() || !reader->database.open(m_storePath, nullptr, Sqlite::Database::Access::ReadOnly))
            return std::nullopt;
        reader->select = std::make_unique<Sqlite::Statement>(reader->database, StoreSql::selectContent);
        m_bodyReader = std::move(reader);
    }
    Sqlite::Statement &select = *m_bodyReader->select;
    select.bind(1, id);
    std::optional<QString> body;
    if (select.next())
        body = select.text(0);
    select.reset();
    return body;
}

void ModelContext::letGoOfStore()
{
    settle();
    m_statements.clear();
    m_bodyReader.reset();
}

void ModelContext::settle()
{
    if (!m_background)
        return;
    const std::unique_ptr<BackgroundSave::Batch> batch = std::move(m_background);
    const BackgroundSave::Outcome outcome = batch->outcome.get();
    const size_t inserted = batch->skills.size();
    for (size_t i = 0; i < batch->rows.size(); ++i) {
        Skill *skill = i < inserted ? batch->skills[i] : batch->changed[i - inserted];
        if (!outcome.written) {
            if (i < inserted) {
                m_changedSkills.remove(skill);
                m_insertedSkills.emplace(batch->numbers[i], skill);
                m_insertedSkillSet.insert(skill, batch->numbers[i]);
            } else {
                m_changedSkills.insert(skill);
            }
            continue;
        }
        SkillRow written = std::move(batch->rows[i]);
        if (i < inserted) {
            setSkillId(skill, outcome.ids[i]);
            written.id = outcome.ids[i];
        }
        if (skill->row() == written) {
            m_changedSkills.remove(skill);
            skill->releaseContent(); // the store has it now
            skill->m_stored = skill->row();
        } else {
            // Changed while it was written: the store holds the row as it was.
            skill->m_stored = std::move(written);
            m_changedSkills.insert(skill);
        }
    }
    if (outcome.written) {
        m_seenStamp = outcome.stamp;
        m_dataVersion = outcome.dataVersion;
    }
    m_backgroundGaveWay = !outcome.written;
    if (batch->settled)
        batch->settled(outcome.written);
}
