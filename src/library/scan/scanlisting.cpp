#include "library/scan/scanlisting.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString skillFileName = QStringLiteral("SKILL.md");
const QString agentsFileName = QStringLiteral("AGENTS.md");

class Directory final
{
public:
    explicit Directory(const QString &path)
        : m_dir(::opendir(QFile::encodeName(path).constData()))
    {
    }
    ~Directory()
    {
        if (m_dir)
            ::closedir(m_dir);
    }
    Directory(const Directory &) = delete;
    Directory &operator=(const Directory &) = delete;

    bool isOpen() const { return m_dir != nullptr; }
    int fd() const { return ::dirfd(m_dir); }

    struct Entry {
        QString name;
        unsigned char type = DT_UNKNOWN;
    };
    // Every entry but "." and "..", by QString order of the names as QDir sorts them.
    // A name that is not valid UTF-8 could not be opened again by any name we have
    // for it: it is left out, as QDir does, and, when not hidden, its name (the bad
    // bytes shown as U+FFFD) given in `undecodable`, sorted.
    // With `onlyNames`, the other entries are left out as they are read: a change
    // in a folder of thousands of skills asks for one of them.
    QList<Entry> entries(bool includeHidden, QStringList *undecodable = nullptr, const QSet<QString> *onlyNames = nullptr)
    {
        QList<Entry> list;
        while (const dirent *entry = ::readdir(m_dir)) {
            const char *name = entry->d_name;
            const bool hidden = name[0] == '.';
            if (hidden && (!includeHidden || name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            QString decoded = utf8.decode(QByteArrayView(name));
            if (utf8.hasError()) {
                if (undecodable && !hidden)
                    undecodable->append(decoded);
                continue;
            }
            if (onlyNames && !onlyNames->contains(decoded))
                continue;
            list.append({std::move(decoded), entry->d_type});
        }
        std::sort(list.begin(), list.end(), [](const Entry &a, const Entry &b) {
            return QString::compare(a.name, b.name, Qt::CaseSensitive) < 0;
        });
        if (undecodable)
            undecodable->sort();
        return list;
    }

private:
    DIR *m_dir = nullptr;
};

bool statFollowing(const QString &path, struct stat &info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool statAt(int dirFd, const QString &name, struct stat &info, bool follow)
{
    return ::fstatat(dirFd, QFile::encodeName(name).constData(), &info, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
}

QString realPath(const QString &path)
{
    char *resolved = ::realpath(QFile::encodeName(path).constData(), nullptr);
    if (!resolved)
        return QString();
    const QString result = QFile::decodeName(resolved);
    std::free(resolved);
    return result;
}

QString joined(const QString &folder, const QString &name)
{
    return folder == QLatin1String("/") ? folder + name : folder + u'/' + name;
}

bool isSingleFileSkill(const QString &name)
{
    return name.endsWith(QLatin1String(".md")) || name.endsWith(QLatin1String(".mdc"));
}

// Looks at a file inside a folder: type, signature and, when no link lies on the
// way from the already resolved folder, its resolved path for free.
struct Probe {
    bool exists = false;
    bool isRegular = false;
    FileSignature signature;
    QString resolvedPath;
};

// `relative` is a name, or "folder/name" where `folderIsPlain` tells that the
// folder is known to be a real folder rather than a link to one.
Probe probe(int folderFd, const QString &folderPath, const QString &resolvedFolder, const QString &relative,
            qint64 nowNs, bool folderIsPlain = false)
{
    Probe result;
    struct stat info {};
    if (!statAt(folderFd, relative, info, false))
        return result;
    bool throughLink = S_ISLNK(info.st_mode);
    if (throughLink && !statAt(folderFd, relative, info, true))
        return result; // a dangling link does not exist
    result.exists = true;
    result.isRegular = S_ISREG(info.st_mode);
    result.signature = FileSignature::fromStat(info, nowNs);
    // `relative` may hold one folder ("name/SKILL.md"): check that it is no link either.
    const qsizetype slash = relative.indexOf(u'/');
    if (!throughLink && slash > 0 && !folderIsPlain) {
        struct stat folder {};
        throughLink = !statAt(folderFd, relative.left(slash), folder, false) || S_ISLNK(folder.st_mode);
    }
    const QString path = joined(folderPath, relative);
    result.resolvedPath = throughLink || resolvedFolder.isEmpty() ? realPath(path) : joined(resolvedFolder, relative);
    return result;
}

} // namespace

namespace ScanListing {

QList<PlacedLocation> existingLocations(LocationBase base, const QString &baseFolder)
{
    // One listing of the base answers most rows: a row whose first folder is not
    // among the base's entries cannot exist.
    QSet<QString> topLevel;
    bool listed = false;
    {
        Directory directory(baseFolder);
        if (directory.isOpen()) {
            listed = true;
            for (const Directory::Entry &entry : directory.entries(true))
                topLevel.insert(entry.name);
        }
    }
    QList<PlacedLocation> placed;
    for (const SkillLocation &location : SkillLocations::table()) {
        if (location.base != base)
            continue;
        const qsizetype slash = location.path.indexOf(u'/');
        if (listed && !topLevel.contains(slash < 0 ? location.path : location.path.left(slash)))
            continue;
        const QString path = baseFolder + u'/' + location.path;
        struct stat info {};
        if (statFollowing(path, info))
            placed.append({path, &location});
    }
    return placed;
}

QStringList rowFolders(LocationBase base, const QString &baseFolder)
{
    QStringList folders;
    QSet<QString> seen;
    QHash<QString, bool> isFolder; // asked once per folder
    const auto existingFolder = [&isFolder](const QString &path) {
        auto found = isFolder.constFind(path);
        if (found == isFolder.cend()) {
            struct stat info {};
            found = isFolder.insert(path, statFollowing(path, info) && S_ISDIR(info.st_mode));
        }
        return *found;
    };
    for (const SkillLocation &location : SkillLocations::table()) {
        if (location.base != base)
            continue;
        QString relative = location.path;
        if (location.holds == LocationHolds::NamedFile)
            relative = relative.contains(u'/') ? relative.left(relative.lastIndexOf(u'/')) : QString();
        QString folder = relative.isEmpty() ? baseFolder : baseFolder + u'/' + relative;
        while (folder.size() > baseFolder.size() && !existingFolder(folder))
            folder = folder.left(folder.lastIndexOf(u'/'));
        if (!seen.contains(folder)) {
            seen.insert(folder);
            folders.append(folder);
        }
    }
    return folders;
}

LocationListing filesIn(const PlacedLocation &placed, qint64 nowNs, const QSet<QString> *onlyNames)
{
    const SkillLocation &location = *placed.location;
    LocationListing listing;
    if (location.holds == LocationHolds::NamedFile) {
        struct stat info {};
        if (statFollowing(placed.path, info) && S_ISREG(info.st_mode))
            listing.files.append({placed.path, realPath(placed.path), false, FileSignature::fromStat(info, nowNs)});
        return listing;
    }

    Directory directory(placed.path);
    if (!directory.isOpen())
        return listing;
    const QString resolvedFolder = realPath(placed.path);
    const int fd = directory.fd();
    QStringList undecodable;
    const QList<Directory::Entry> entries = directory.entries(false, &undecodable, onlyNames);
    for (const QString &name : std::as_const(undecodable)) {
        if (!onlyNames || onlyNames->contains(name))
            listing.undecodable.append(joined(placed.path, name));
    }
    for (const Directory::Entry &entry : entries) {
        // Links followed, dangling links left out. A pipe, socket or device named
        // like a skill file is listed as one, for reading to report it.
        bool isDir = entry.type == DT_DIR;
        if (!isDir && entry.type != DT_REG) {
            struct stat info {};
            if (!statAt(fd, entry.name, info, true))
                continue;
            isDir = S_ISDIR(info.st_mode);
        }
        const QString entryPath = joined(placed.path, entry.name);
        if (isDir) {
            if (location.holds == LocationHolds::RuleFiles)
                continue;
            listing.folders.append(entryPath);
            if (location.holds == LocationHolds::SkillFolders) {
                const Probe skill = probe(fd, placed.path, resolvedFolder, entry.name + u'/' + skillFileName, nowNs,
                                          entry.type == DT_DIR);
                if (skill.exists) {
                    listing.files.append({entryPath + u'/' + skillFileName, skill.resolvedPath, true, skill.signature});
                    continue;
                }
            }
            const Probe agents = probe(fd, placed.path, resolvedFolder, entry.name + u'/' + agentsFileName, nowNs,
                                       entry.type == DT_DIR);
            if (agents.exists)
                listing.files.append({entryPath + u'/' + agentsFileName, agents.resolvedPath, true, agents.signature});
        } else {
            const bool holds = (location.holds == LocationHolds::SkillFolders && isSingleFileSkill(entry.name))
                || (location.holds == LocationHolds::RuleFiles && entry.name.endsWith(location.ruleSuffix));
            if (!holds)
                continue;
            const Probe file = probe(fd, placed.path, resolvedFolder, entry.name, nowNs);
            if (file.exists)
                listing.files.append({entryPath, file.resolvedPath, false, file.signature});
        }
    }
    return listing;
}

QStringList projects(const QString &root, QStringList *undecodable)
{
    QStringList list;
    Directory directory(root);
    if (!directory.isOpen())
        return list;
    const QDir rootDir(root); // builds the paths the way QDir's own listing does
    QStringList badNames;
    const QList<Directory::Entry> entries = directory.entries(false, &badNames);
    if (undecodable) {
        for (const QString &name : std::as_const(badNames))
            undecodable->append(rootDir.filePath(name));
    }
    for (const Directory::Entry &entry : entries) {
        bool isDir = entry.type == DT_DIR;
        if (entry.type != DT_DIR && entry.type != DT_REG) {
            struct stat info {};
            isDir = statAt(directory.fd(), entry.name, info, true) && S_ISDIR(info.st_mode);
        }
        if (isDir)
            list.append(rootDir.filePath(entry.name));
    }
    return list;
}

namespace {

bool stampFolder(int fd, const QString &relative, FolderStamp &stamp)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    stamp = {relative, quint64(info.st_dev), quint64(info.st_ino),
             qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
             qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
    return true;
}

// Depth first, every entry (hidden ones too), by name at every level; links are
// reported but never followed into, as listArtifacts walks.
void walk(const QString &root, const QString &prefix, ArtifactWalk &out)
{
    const QString folder = prefix.isEmpty() ? root : root + u'/' + prefix;
    Directory directory(folder);
    if (!directory.isOpen())
        return;
    FolderStamp stamp;
    if (stampFolder(directory.fd(), prefix, stamp))
        out.folders.append(stamp);
    else
        out.reusable = false;
    QStringList badNames;
    const QList<Directory::Entry> entries = directory.entries(true, &badNames);
    for (const QString &name : std::as_const(badNames))
        out.undecodable.append(prefix.isEmpty() ? name : prefix + u'/' + name);
    // Kept out of the stored walk: a walk that met one, or a special file, is made
    // again each time, so that the problem is reported again.
    if (!badNames.isEmpty())
        out.reusable = false;
    for (const Directory::Entry &entry : entries) {
        const QString relative = prefix.isEmpty() ? entry.name : prefix + u'/' + entry.name;
        bool isLink = entry.type == DT_LNK;
        bool isDir = entry.type == DT_DIR;
        bool isFile = entry.type == DT_REG;
        bool exists = entry.type != DT_UNKNOWN && entry.type != DT_LNK;
        if (entry.type == DT_UNKNOWN || isLink) {
            struct stat info {};
            if (entry.type == DT_UNKNOWN && statAt(directory.fd(), entry.name, info, false))
                isLink = S_ISLNK(info.st_mode);
            exists = statAt(directory.fd(), entry.name, info, true);
            isDir = exists && S_ISDIR(info.st_mode);
            isFile = exists && S_ISREG(info.st_mode);
        }
        if (isLink)
            out.reusable = false;
        if (isFile) {
            out.files.append(relative);
        } else if (exists && !isDir && !entry.name.startsWith(u'.')) {
            out.special.append(relative);
            out.reusable = false;
        }
        if (isDir && !isLink)
            walk(root, relative, out);
    }
}

} // namespace

ArtifactWalk walkArtifacts(const QString &skillFilePath)
{
    ArtifactWalk result;
    const qsizetype slash = skillFilePath.lastIndexOf(u'/');
    if (slash <= 0)
        return result;
    walk(skillFilePath.left(slash), QString(), result);
    return result;
}

bool isWalkCurrent(const QString &skillFilePath, const ArtifactWalk &walk)
{
    if (!walk.reusable || walk.folders.isEmpty())
        return false;
    const QString root = skillFilePath.left(skillFilePath.lastIndexOf(u'/'));
    for (const FolderStamp &stamp : walk.folders) {
        struct stat info {};
        const QString path = stamp.relativePath.isEmpty() ? root : root + u'/' + stamp.relativePath;
        if (!statFollowing(path, info))
            return false;
        const FolderStamp now{stamp.relativePath, quint64(info.st_dev), quint64(info.st_ino),
                              qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                              qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
        if (!(now == stamp))
            return false;
    }
    return true;
}

} // namespace ScanListing
