#pragma once

#include "library/records/skill.h"

#include <QPointer>

#include <initializer_list>

// Points `current` at `next` and moves `receiver`'s connections over from the skill
// it followed: each of `changes` on the new skill calls `slot`. False, with nothing
// touched, when `next` is already the skill followed. For the views that show one
// skill and redraw when it changes.
template <typename Receiver, typename Slot>
bool followSkill(QPointer<Skill> &current, Skill *next, Receiver *receiver,
                 std::initializer_list<void (Skill::*)()> changes, Slot slot)
{
    if (current == next)
        return false;
    if (current)
        QObject::disconnect(current, nullptr, receiver, nullptr);
    current = next;
    if (next) {
        for (auto change : changes)
            QObject::connect(next, change, receiver, slot);
    }
    return true;
}
