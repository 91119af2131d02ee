#include "library/files/skilllinks.h"

#include "library/catalogue/homepath.h"
#include "library/files/safemove.h"
#include "library/files/skillplaces.h"
#include "library/records/skill.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <cerrno>
#include <cstring>
#include <unistd.h>

QList<SkillLink> linksTo(const QString &entry, const Skill &skill)
{
    QStringList folders;
    for (const QString &scope : {QString(), scopeOf(skill.filePath()), scopeOf(entry + QStringLiteral("/SKILL.md"))}) {
        for (const PlacementTool &tool : placementTools()) {
            const QString folder = placementFolder(tool, scope);
            if (!folders.contains(folder))
                folders.append(folder);
        }
    }
    for (const QString &path : skill.installedPaths()) {
        const QString folder = QFileInfo(skill.isDirectory() ? QFileInfo(path).absolutePath() : path).absolutePath();
        if (!folders.contains(folder))
            folders.append(folder);
    }
    QList<SkillLink> links;
    QStringList seen;
    for (const QString &folder : std::as_const(folders)) {
        const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden
                                                         | QDir::NoDotAndDotDot);
        for (const QString &name : names) {
            const QString path = folder + u'/' + name;
            if (isSymlink(path) && QFileInfo(path).canonicalFilePath() == entry && !seen.contains(path)) {
                seen.append(path);
                links.append({path});
            }
        }
    }
    return links;
}

bool makeLink(const QString &text, const QString &path, QString *error)
{
    if (::symlink(QFile::encodeName(text).constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    const int number = errno;
    if (error) {
        *error = number == EEXIST ? QObject::tr("“%1” is there already").arg(abbreviateHome(path))
                                  : QObject::tr("The link “%1” could not be made: %2")
                                        .arg(abbreviateHome(path), QString::fromLocal8Bit(std::strerror(number)));
    }
    return false;
}

QString readLinkText(const QString &path)
{
    QByteArray buffer(4096, '\0');
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer.data(), buffer.size());
    return length > 0 ? QFile::decodeName(buffer.left(length)) : QString();
}

QStringList retargetLinks(const QList<SkillLink> &links, const QString &newEntry, const QString &newName,
                          const QString &oldName)
{
    QStringList failed;
    for (const SkillLink &link : links) {
        const QFileInfo info(link.path);
        const bool relative = !QDir::isAbsolutePath(readLinkText(link.path));
        const QString folder = info.absolutePath();
        const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
        const QString text = relative ? QDir(canonicalFolder.isEmpty() ? folder : canonicalFolder).relativeFilePath(newEntry)
                                      : newEntry;
        const QString newPath = info.fileName() == oldName ? folder + u'/' + newName : link.path;
        if (newPath == link.path) {
            // Same name: a fresh link beside it, renamed over the old one in one step.
            const QString fresh = partialPathFor(link.path);
            QFile::remove(fresh);
            if (!makeLink(text, fresh, nullptr)
                || ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(link.path).constData()) != 0) {
                QFile::remove(fresh);
                failed.append(link.path);
            }
            continue;
        }
        if (!makeLink(text, newPath, nullptr)) {
            failed.append(link.path);
            continue;
        }
        QFile::remove(link.path);
    }
    return failed;
}
