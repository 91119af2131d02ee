#include "library/records/skillartifact.h"

#include "library/disk/regularfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>

using Category = SkillArtifact::Category;

namespace ArtifactCategories {

const QList<Category> &allCases()
{
    static const QList<Category> cases = {
        Category::Script, Category::Reference, Category::Rule, Category::Config, Category::Other,
    };
    return cases;
}

QString title(Category category)
{
    switch (category) {
    case Category::Script: return QStringLiteral("Scripts");
    case Category::Reference: return QStringLiteral("References");
    case Category::Rule: return QStringLiteral("Rules");
    case Category::Config: return QStringLiteral("Config");
    case Category::Other: return QStringLiteral("Files");
    }
    return QStringLiteral("Files");
}

std::optional<Category> fromTitle(const QString &text)
{
    for (Category category : allCases()) {
        if (title(category) == text)
            return category;
    }
    return std::nullopt;
}

QString symbolName(Category category)
{
    switch (category) {
    case Category::Script: return QStringLiteral("terminal");
    case Category::Reference: return QStringLiteral("doc.text.fill");
    case Category::Rule: return QStringLiteral("checklist");
    case Category::Config: return QStringLiteral("gearshape.fill");
    case Category::Other: return QStringLiteral("doc.fill");
    }
    return QStringLiteral("doc.fill");
}

} // namespace ArtifactCategories

namespace {

// A random (version 4) id for an artifact: unique, not secret. QUuid::createUuid
// asks the system generator, which on many virtual machines takes microseconds a
// call through the processor's own; a scan makes tens of thousands of these.
QUuid newArtifactId()
{
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    QUuid id;
    id.data1 = words[0];
    id.data2 = quint16(words[1]);
    id.data3 = quint16((words[1] >> 16 & 0x0fff) | 0x4000); // version 4
    id.data4[0] = uchar((words[2] & 0x3f) | 0x80);          // the variant of RFC 4122
    for (int i = 1; i < 8; ++i)
        id.data4[i] = uchar(i < 4 ? words[2] >> (8 * i) : words[3] >> (8 * (i - 4)));
    return id;
}

QString lastComponent(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// Same rule as QFileInfo::suffix(): whatever follows the last dot.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

struct WalkEntry {
    QString relativePath;
    bool isFile = false;         // a regular file (links followed)
    bool isSpecial = false;      // a pipe, socket or device (links followed)
    bool undecodableName = false;
};

// Depth-first, sorted by name at every level. Symbolic links are reported but never
// followed into, so a link pointing back up the tree cannot make the walk loop.
// The listing's own file information is used, so each entry is examined once.
void walk(const QString &root, const QString &prefix, QList<WalkEntry> &out)
{
    const QDir dir(prefix.isEmpty() ? root : root + u'/' + prefix);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &path : undecodableEntries(dir.path()))
        out.append({path.mid(root.size() + 1), false, false, true});
    for (const QFileInfo &entry : entries) {
        const QString relative = prefix.isEmpty() ? entry.fileName() : prefix + u'/' + entry.fileName();
        // These follow links: dangling ones do not exist.
        const bool isDirectory = entry.isDir();
        const bool isFile = entry.isFile();
        out.append({relative, isFile, !isDirectory && !isFile && entry.exists()});
        if (isDirectory && !entry.isSymLink())
            walk(root, relative, out);
    }
}

} // namespace

Category categorize(const QString &relativePath)
{
    static const QSet<QString> scriptExtensions = {
        QStringLiteral("py"), QStringLiteral("sh"), QStringLiteral("js"), QStringLiteral("cjs"),
        QStringLiteral("mjs"), QStringLiteral("ts"), QStringLiteral("rb"), QStringLiteral("bash"),
        QStringLiteral("zsh"), QStringLiteral("swift"), QStringLiteral("go"), QStringLiteral("rs"),
    };
    static const QSet<QString> configExtensions = {
        QStringLiteral("json"), QStringLiteral("yaml"), QStringLiteral("yml"), QStringLiteral("toml"),
        QStringLiteral("ini"), QStringLiteral("cfg"), QStringLiteral("plist"), QStringLiteral("xml"),
    };

    const qsizetype slash = relativePath.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : relativePath.left(slash).toLower();
    const QString extension = extensionOf(lastComponent(relativePath));

    if (folder.contains(u"script") || scriptExtensions.contains(extension))
        return Category::Script;
    // Matches "reference", "refs", "ref" and the like.
    if (folder.contains(u"ref"))
        return Category::Reference;
    if (folder.contains(u"rule"))
        return Category::Rule;
    if (configExtensions.contains(extension))
        return Category::Config;
    return Category::Other;
}

QList<SkillArtifact> listArtifacts(const QString &skillFilePath, QList<FileProblem> *leftOut)
{
    const qsizetype slash = skillFilePath.lastIndexOf(u'/');
    if (slash <= 0)
        return {};
    QList<WalkEntry> entries;
    const QString directory = skillFilePath.left(slash);
    walk(directory, QString(), entries);
    QStringList files;
    for (const WalkEntry &entry : std::as_const(entries)) {
        if (leftOut && entry.undecodableName)
            leftOut->append({directory + u'/' + entry.relativePath, undecodableNameReason()});
        else if (leftOut && entry.isSpecial && !lastComponent(entry.relativePath).startsWith(u'.'))
            leftOut->append({directory + u'/' + entry.relativePath, notRegularFileReason()});
        if (entry.isFile)
            files.append(entry.relativePath);
    }
    return artifactsFromFiles(skillFilePath, files);
}

SkillArtifact artifactAt(const QString &directory, const QString &relativePath)
{
    SkillArtifact artifact;
    // A file right in the folder is its own name: one string serves both.
    artifact.name = relativePath.contains(u'/') ? lastComponent(relativePath) : relativePath;
    artifact.path = directory + u'/' + relativePath;
    artifact.relativePath = relativePath;
    artifact.category = categorize(relativePath);
    artifact.fileExtension = extensionOf(artifact.name);
    return artifact;
}

QList<SkillArtifact> artifactsFromFiles(const QString &skillFilePath, const QStringList &relativeFiles)
{
    const qsizetype slash = skillFilePath.lastIndexOf(u'/');
    const QString directory = slash < 0 ? QString() : skillFilePath.left(slash);
    const QString skillFileName = skillFilePath.mid(slash + 1);
    if (directory.isEmpty())
        return {};

    QList<SkillArtifact> artifacts;
    for (const QString &relative : relativeFiles) {
        if (relative == skillFileName)
            continue;
        const QString name = lastComponent(relative);
        if (name.startsWith(u'.'))
            continue;
        SkillArtifact artifact = artifactAt(directory, relative);
        artifact.id = newArtifactId();
        artifacts.append(std::move(artifact));
    }

    std::stable_sort(artifacts.begin(), artifacts.end(),
                     [](const SkillArtifact &a, const SkillArtifact &b) {
                         return ArtifactCategories::title(a.category)
                             < ArtifactCategories::title(b.category);
                     });
    return artifacts;
}
