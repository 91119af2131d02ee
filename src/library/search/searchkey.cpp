#include "library/search/searchkey.h"

SearchKey SearchKey::make(QStringView name, QStringView description, QStringView body)
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
    }
    key.folded.squeeze();
    return key;
}
