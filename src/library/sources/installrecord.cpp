#include "library/sources/installrecord.h"

#include "library/disk/regularfile.h"
#include "library/files/safemove.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace {

QString recordsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/installed-sources.json");
}

QJsonObject readRecords()
{
    const RegularFileRead read = readRegularFile(recordsPath(), 16 * 1024 * 1024);
    if (read.status != RegularFileRead::Status::Ok)
        return {};
    return QJsonDocument::fromJson(read.bytes).object();
}

// The same skill reached through a link or through a home that is itself a
// link is one record.
QString keyOf(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(folder) : canonical;
}

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

// Copies `from` to `to`, then takes out what git keeps of its own.
bool copyWithoutGit(const QString &from, const QString &to, QString *error)
{
    if (!copyEntry(from, to, error))
        return false;
    const QString git = to + QStringLiteral("/.git");
    if (entryExists(git) && !removeEntry(git, error)) {
        removeEntry(to, nullptr);
        return false;
    }
    return true;
}

} // namespace

std::optional<InstallRecord> installRecordFor(const QString &folder)
{
    const QJsonObject object = readRecords().value(keyOf(folder)).toObject();
    if (object.isEmpty())
        return std::nullopt;
    InstallRecord record;
    record.folder = keyOf(folder);
    record.sourceUrl = object.value(QLatin1String("sourceUrl")).toString();
    record.ref = object.value(QLatin1String("ref")).toString();
    record.commit = object.value(QLatin1String("commit")).toString();
    record.contentHash = object.value(QLatin1String("contentHash")).toString();
    return record;
}

bool saveInstallRecord(const InstallRecord &record, QString *error)
{
    QJsonObject records = readRecords();
    records.insert(keyOf(record.folder), QJsonObject{
                                             {QStringLiteral("sourceUrl"), record.sourceUrl},
                                             {QStringLiteral("ref"), record.ref},
                                             {QStringLiteral("commit"), record.commit},
                                             {QStringLiteral("contentHash"), record.contentHash},
                                         });
    QDir().mkpath(QFileInfo(recordsPath()).absolutePath());
    QSaveFile file(recordsPath());
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    file.write(QJsonDocument(records).toJson());
    return file.commit() || fail(error, file.errorString());
}

QString pristineFolderFor(const QString &folder)
{
    const QByteArray key =
        QCryptographicHash::hash(keyOf(folder).toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/sources/pristine/")
        + QString::fromLatin1(key);
}

namespace {

// The path of `relative` under `root` when it is a regular file there: never a
// link, so nothing outside the folder is reached through one.
QString regularFileUnder(const QString &root, const QString &relative)
{
    if (relative.isEmpty() || QDir::isAbsolutePath(relative) || relative.split(u'/').contains(QStringLiteral("..")))
        return QString();
    const QString path = root + u'/' + relative;
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink() ? path : QString();
}

} // namespace

QList<EditedFile> filesEditedSinceInstalled(const QString &folder)
{
    const QString pristine = pristineFolderFor(folder);
    const QFileInfo pristineInfo(pristine);
    if (!pristineInfo.isDir() || pristineInfo.isSymLink())
        return {};
    // A skill reached through a link is compared where its files really are.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || !QFileInfo(canonical).isDir())
        return {};
    QStringList differences;
    if (sameEntry(pristine, canonical, &differences))
        return {};
    QList<EditedFile> files;
    for (const QString &relative : std::as_const(differences)) {
        EditedFile file;
        file.relativePath = relative;
        file.installed = regularFileUnder(pristine, relative);
        file.current = regularFileUnder(canonical, relative);
        if (!entryExists(pristine + u'/' + relative))
            file.change = EditedFile::Change::Added;
        else if (!entryExists(canonical + u'/' + relative))
            file.change = EditedFile::Change::Removed;
        files.append(file);
    }
    return files;
}

bool keepPristine(const QString &folder, const QString &contents, QString *error)
{
    const QString pristine = pristineFolderFor(folder);
    if (!makeFolders(QFileInfo(pristine).absolutePath(), error))
        return false;
    if (entryExists(pristine))
        return replaceSkillFolder(pristine, contents, false, error);
    return placeSkillCopy(contents, pristine, error);
}

bool placeSkillCopy(const QString &contents, const QString &target, QString *error)
{
    if (entryExists(target))
        return fail(error, QObject::tr("“%1” is there already").arg(target));
    const QString partial = partialPathFor(target);
    if (!makeFolders(QFileInfo(target).absolutePath(), error))
        return false;
    if (entryExists(partial) && !removeEntry(partial, error))
        return false;
    if (!copyWithoutGit(contents, partial, error))
        return false;
    if (!renameNoReplace(partial, target, error)) {
        removeEntry(partial, nullptr);
        return false;
    }
    return true;
}

bool replaceSkillFolder(const QString &target, const QString &contents, bool trashOld, QString *error)
{
    const QString partial = partialPathFor(target);
    if (entryExists(partial) && !removeEntry(partial, error))
        return false;
    if (!copyWithoutGit(contents, partial, error))
        return false;
    // One exchange: whoever looks sees the old folder or the new one, never neither.
    if (::renameat2(AT_FDCWD, QFile::encodeName(partial).constData(), AT_FDCWD,
                    QFile::encodeName(target).constData(), RENAME_EXCHANGE)
        != 0) {
        const int number = errno;
        removeEntry(partial, nullptr);
        return fail(error, QObject::tr("“%1” could not be replaced: %2")
                               .arg(target, QString::fromLocal8Bit(std::strerror(number))));
    }
    // `partial` now holds the old contents.
    if (trashOld && QFile::moveToTrash(partial))
        return true;
    removeEntry(partial, nullptr);
    return true;
}
