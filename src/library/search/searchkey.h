#pragma once

#include "library/search/foldedtext.h"
#include "library/search/letterpairs.h"
#include "library/search/searchkeyfile.h"

#include <QByteArray>
#include <QStringView>

#include <memory>
#include <optional>

// What the search field looks at in one skill (its name, its description and
// its body), case-folded once so that every keystroke's search is a byte scan.
// Built from the same three texts the record holds; a record whose texts cannot
// be folded exactly is marked so, and is searched the plain way instead.
//
// Given a key file, a body of some size is kept there rather than in memory
// (`spilledBody`): a library's bodies are most of its bytes, and a search reads
// them back from the page cache nearly as fast as from the heap.
struct SearchKey {
    QByteArray folded;          // name, description, then the body unless it is spilled
    qsizetype nameEnd = 0;
    qsizetype descriptionEnd = 0;
    bool exact = false;
    std::shared_ptr<const SearchKeyFile::Span> spilledBody;
    // The letter pairs of a spilled body: a search reads back only the bodies
    // that hold every pair of its needle.
    LetterPairs spilledPairs;

    // Bodies shorter than this stay in memory: a read costs more than they do.
    static constexpr qsizetype smallestSpilledBody = 512;

    static SearchKey make(QStringView name, QStringView description, QStringView body,
                          const std::shared_ptr<SearchKeyFile> &file = nullptr);

    // The body's folded bytes, wherever they are kept; no value when the key
    // file cannot be read.
    std::optional<QByteArray> body() const;
    // The bytes a search looks at.
    qsizetype size() const { return folded.size() + (spilledBody ? spilledBody->size() : 0); }

    // Whether the needle is in what the key holds in memory: name, description,
    // and the body unless it is spilled. Only meaningful when both the key and
    // the needle are exact.
    bool residentContains(const FoldedNeedle &needle) const
    {
        const QByteArrayView all(folded);
        return needle.foundIn(all.first(nameEnd))
            || needle.foundIn(all.sliced(nameEnd, descriptionEnd - nameEnd))
            || needle.foundIn(all.sliced(descriptionEnd));
    }
    // Whether the needle is anywhere in the key, reading a spilled body back;
    // no value when it cannot be read.
    std::optional<bool> contains(const FoldedNeedle &needle) const;
};
