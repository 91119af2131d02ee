#include "library/search/searchkey.h"

SearchKey SearchKey::make(QStringView name, QStringView description, QStringView body,
                          const std::shared_ptr<SearchKeyFile> &file)
{
    SearchKey key;
    key.folded.reserve(name.size() + description.size() + body.size() + 16);
    key.exact = FoldedText::appendFolded(name, key.folded);
    key.nameEnd = key.folded.size();
    key.exact = key.exact && FoldedText::appendFolded(description, key.folded);
    key.descriptionEnd = key.folded.size();
    key.exact = key.exact && FoldedText::appendFolded(body, key.folded);
    if (!key.exact) {
        // Nothing of an inexact key is ever searched; keep no bytes for it.
        key.folded = QByteArray();
        key.nameEnd = key.descriptionEnd = 0;
    } else if (file && key.folded.size() - key.descriptionEnd >= smallestSpilledBody) {
        // A body the file cannot take stays in memory.
        const QByteArrayView body = QByteArrayView(key.folded).sliced(key.descriptionEnd);
        if ((key.spilledBody = file->append(body))) {
            key.spilledPairs = LetterPairs::of(body);
            key.folded.truncate(key.descriptionEnd);
        }
    }
    key.folded.squeeze();
    return key;
}

std::optional<QByteArray> SearchKey::body() const
{
    if (spilledBody)
        return spilledBody->read();
    return folded.sliced(descriptionEnd);
}

std::optional<bool> SearchKey::contains(const FoldedNeedle &needle) const
{
    if (residentContains(needle))
        return true;
    if (!spilledBody || !spilledPairs.mayContain(needle.letterPairs()))
        return false;
    const std::optional<QByteArray> bytes = spilledBody->read();
    if (!bytes)
        return std::nullopt;
    return needle.foundIn(*bytes);
}
