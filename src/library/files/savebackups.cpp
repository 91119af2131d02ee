#include "library/files/savebackups.h"

#include "library/disk/regularfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QLatin1String backupMark(".vesk-backup-");
const QLatin1String temporaryMark(".vesk-save-");

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The file a leftover named ".<name><mark><random>" belongs to, or empty when
// the name is not one of ours.
QString ownerName(const QString &leftover, QLatin1String mark)
{
    if (!leftover.startsWith(u'.'))
        return {};
    const qsizetype at = leftover.lastIndexOf(mark);
    if (at <= 1 || at + mark.size() >= leftover.size())
        return {};
    return leftover.mid(1, at - 1);
}

// Only names that may be ours are looked at closer: a skill folder's other
// entries cost nothing beyond the listing.
QFileInfoList leftoversIn(const QString &folder)
{
    static const QStringList patterns{QStringLiteral(".*") + backupMark + u'*', QStringLiteral(".*") + temporaryMark + u'*'};
    return QDir(folder).entryInfoList(patterns, QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::System,
                                      QDir::Name);
}

QStringList distinct(const QStringList &folders)
{
    QStringList result;
    QSet<QString> seen;
    for (const QString &folder : folders) {
        const QString cleaned = QDir::cleanPath(folder);
        if (!cleaned.isEmpty() && !seen.contains(cleaned)) {
            seen.insert(cleaned);
            result.append(cleaned);
        }
    }
    return result;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace

SaveLeftovers sweepSaveLeftovers(const QStringList &folders, std::chrono::seconds age)
{
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-age.count());
    SaveLeftovers result;
    for (const QString &folder : distinct(folders)) {
        for (const QFileInfo &entry : leftoversIn(folder)) {
            const QString name = entry.fileName();
            if (const QString owner = ownerName(name, backupMark); !owner.isEmpty()) {
                const QString filePath = folder + u'/' + owner;
                if (QFileInfo(filePath).isFile())
                    result.backups.append({entry.filePath(), filePath});
            } else if (!ownerName(name, temporaryMark).isEmpty() && entry.lastModified().toUTC() <= before) {
                if (QFile::remove(entry.filePath()))
                    ++result.temporariesRemoved;
            }
        }
    }
    return result;
}

bool restoreSaveBackup(const SaveBackup &backup, QString *error)
{
    const RegularFileRead copy = readRegularFile(backup.copyPath);
    if (copy.status != RegularFileRead::Status::Ok) {
        if (error)
            *error = unreadReason(copy).isEmpty() ? systemMessage(ENOENT) : unreadReason(copy);
        return false;
    }
    // In place, as the interrupted save wrote: the file keeps its identity and links.
    const int fd = ::open(QFile::encodeName(backup.filePath).constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (error)
            *error = systemMessage(errno);
        return false;
    }
    const bool written = writeAll(fd, copy.bytes) && ::ftruncate(fd, off_t(copy.bytes.size())) == 0
        && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        if (error)
            *error = systemMessage(written ? errno : writeError);
        return false; // the copy stays: it is still the whole previous text
    }
    return discardSaveBackup(backup, error);
}

bool discardSaveBackup(const SaveBackup &backup, QString *error)
{
    if (::unlink(QFile::encodeName(backup.copyPath).constData()) == 0 || errno == ENOENT)
        return true;
    if (error)
        *error = systemMessage(errno);
    return false;
}
