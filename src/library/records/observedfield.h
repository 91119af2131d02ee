#pragma once

#include "library/records/recordowner.h"

// Stores `value` in a record's field and tells whoever listens, unless the value
// is unchanged: an equal write notifies nobody and leaves nothing pending.
// Returns whether the value changed.
template <typename Record, typename T>
bool writeObservedField(Record *record, T &field, const T &value, void (Record::*notify)())
{
    if (field == value)
        return false;
    field = value;
    Q_EMIT(record->*notify)();
    if (RecordOwner *owner = record->owner())
        owner->noteChanged(record);
    return true;
}
