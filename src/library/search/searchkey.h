#pragma once

#include "library/search/foldedtext.h"

#include <QByteArray>
#include <QStringView>

// What the search field looks at in one skill (its name, its description and
// its body), case-folded once so that every keystroke's search is a byte scan.
// Built from the same three texts the record holds; a record whose texts cannot
// be folded exactly is marked so, and is searched the plain way instead.
struct SearchKey {
    QByteArray folded;          // name, description, body, one after the other
    qsizetype nameEnd = 0;
    qsizetype descriptionEnd = 0;
    bool exact = false;

    static SearchKey make(QStringView name, QStringView description, QStringView body);

    // Name, then description, then body: the first that contains the needle
    // decides. Only meaningful when both the key and the needle are exact.
    bool contains(const FoldedNeedle &needle) const
    {
        const QByteArrayView all(folded);
        return needle.foundIn(all.first(nameEnd))
            || needle.foundIn(all.sliced(nameEnd, descriptionEnd - nameEnd))
            || needle.foundIn(all.sliced(descriptionEnd));
    }
};
