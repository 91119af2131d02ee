// The artifact classifier, given any relative path. What must hold for every
// input, besides not crashing:
//   - the same path always gets the same category, one of allCases(), whose
//     title reads back to it and which has a symbol;
//   - only the enclosing folders and the extension decide: another stem for the
//     file, or one more neutral folder on top, changes nothing;
//   - neither the folders' nor the extension's letter case matters.

#include "harness.h"

#include "library/records/skillartifact.h"

namespace {

using Category = SkillArtifact::Category;

// ASCII letters only: other scripts' case mappings may change the length or
// fold two letters into one, which is not what "letter case" means for a path.
QString swapAsciiCase(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
        else if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

} // namespace

int fuzzOne(const uint8_t *data, size_t size)
{
    // Paths reach the classifier as Qt decodes file names: from UTF-8, with
    // anything invalid replaced.
    const QString path = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const Category category = categorize(path);

    FUZZ_CHECK(categorize(path) == category);
    FUZZ_CHECK(ArtifactCategories::allCases().contains(category));
    FUZZ_CHECK(ArtifactCategories::fromTitle(ArtifactCategories::title(category)) == category);
    FUZZ_CHECK(!ArtifactCategories::symbolName(category).isEmpty());

    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folders = path.first(slash + 1); // with its trailing slash, or empty
    const QString name = path.sliced(slash + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot < 0 ? QString() : name.sliced(dot); // with its dot

    FUZZ_CHECK(categorize(folders + QStringLiteral("other") + extension) == category);
    FUZZ_CHECK(categorize(QStringLiteral("notes/") + path) == category);
    FUZZ_CHECK(categorize(swapAsciiCase(folders) + name) == category);
    FUZZ_CHECK(categorize(folders + name.first(name.size() - extension.size()) + swapAsciiCase(extension))
               == category);
    return 0;
}
