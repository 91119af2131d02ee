#pragma once

#include "library/search/searchkey.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <atomic>
#include <memory>

class ModelContext;
class QThread;
class Skill;

// Builds the search keys of the records loaded from the store, off the window's
// thread, so that the first keystroke of a search does not have to read and
// fold every body. A worker reads name, description and body through its own
// read-only connection to the store and hands the keys back in batches; a record
// whose texts changed since the load keeps the key it builds for itself.
class SearchKeyLoader final : public QObject
{
    Q_OBJECT

public:
    explicit SearchKeyLoader(ModelContext &context, QObject *parent = nullptr);
    ~SearchKeyLoader() override; // stops the worker and waits for it

    void start();
    bool isFinished() const { return m_finished; }
    bool isStarted() const { return m_thread || m_finished; }

Q_SIGNALS:
    void finished();

private:
    struct Built {
        qint64 id = 0;
        SearchKey key;
    };
    void apply(const QList<Built> &batch);
    void finish();
    void run(const QString &databasePath, const std::shared_ptr<SearchKeyFile> &keyFile);

    ModelContext &m_context;
    // The records as loaded, with the text revision they had then, until finished.
    QHash<qint64, std::pair<Skill *, quint32>> m_records;
    QSet<const Skill *> m_gone; // removed since: never touched
    QThread *m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    bool m_finished = false;
};
