#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class SearchKeyFile;
class Skill;
class SkillCollection;

// What a record asks of whoever keeps it. The store's context is the keeper; a
// record reaches it only through these calls, so the records know nothing of the
// store they are saved in.
class RecordOwner
{
public:
    // A stored field of the record changed.
    virtual void noteChanged(Skill *skill) = 0;
    virtual void noteChanged(SkillCollection *collection) = 0;
    // The record's name or resolved path (the keys of the sorted order) is about to change.
    virtual void noteSortKeyChanging() = 0;
    // The body of a saved record as the store holds it; empty when it cannot be read.
    virtual QString storedContent(qint64 id) const = 0;
    // Where the records' search keys keep their bodies; null keeps them in memory.
    virtual std::shared_ptr<SearchKeyFile> searchKeyFile() const { return nullptr; }
    // A skill joined or left a collection.
    virtual void noteMembershipChanged(SkillCollection *collection, Skill *skill, bool added) = 0;

protected:
    ~RecordOwner() = default;
};
