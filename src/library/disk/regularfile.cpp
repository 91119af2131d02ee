#include "library/disk/regularfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

RegularFileRead failure(RegularFileRead::Status status, int error = 0)
{
    RegularFileRead result;
    result.status = status;
    if (error != 0)
        result.errorText = QString::fromLocal8Bit(std::strerror(error));
    return result;
}

class Descriptor final
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

// The file systems whose files the kernel writes as they are read.
bool isSynthetic(int fd)
{
    struct statfs system {};
    if (::fstatfs(fd, &system) != 0)
        return false;
    switch (static_cast<unsigned long>(system.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case SECURITYFS_MAGIC:
    case TRACEFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case EFIVARFS_MAGIC:
        return true;
    default:
        return false;
    }
}

} // namespace

RegularFileRead readRegularFile(const QString &path, qint64 limit)
{
    // O_NONBLOCK makes opening a named pipe return at once instead of waiting for
    // a writer; the type check below then refuses it before any read.
    const Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        return failure(error == ENOENT || error == ENOTDIR ? RegularFileRead::Status::Missing
                                                           : RegularFileRead::Status::Unreadable,
                       error);
    }

    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return failure(RegularFileRead::Status::Unreadable, errno);
    if (!S_ISREG(info.st_mode))
        return failure(RegularFileRead::Status::NotRegular);
    // Those file systems have no disk behind them (their device numbers are
    // anonymous, major 0): a file on a disk needs no second look.
    if (major(info.st_dev) == 0 && isSynthetic(fd.get()))
        return failure(RegularFileRead::Status::Synthetic);
    if (info.st_size > limit)
        return failure(RegularFileRead::Status::TooLarge);

    // The size may change while we read; never take more than the limit plus one
    // byte, which is enough to tell that the file outgrew it.
    RegularFileRead result;
    result.bytes.resize(qsizetype(info.st_size));
    qsizetype filled = 0;
    for (;;) {
        if (filled == result.bytes.size()) {
            if (filled > limit)
                return failure(RegularFileRead::Status::TooLarge);
            result.bytes.resize(qMin<qint64>(limit + 1, filled + 64 * 1024));
        }
        const ssize_t got = ::read(fd.get(), result.bytes.data() + filled,
                                   size_t(result.bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failure(RegularFileRead::Status::Unreadable, errno);
        }
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > limit)
        return failure(RegularFileRead::Status::TooLarge);
    result.bytes.truncate(filled);
    result.status = RegularFileRead::Status::Ok;
    return result;
}

QString unreadReason(const RegularFileRead &read, qint64 limit)
{
    switch (read.status) {
    case RegularFileRead::Status::Ok:
    case RegularFileRead::Status::Missing:
        return {};
    case RegularFileRead::Status::NotRegular:
        return notRegularFileReason();
    case RegularFileRead::Status::Synthetic:
        return syntheticFileReason();
    case RegularFileRead::Status::TooLarge:
        return QCoreApplication::translate("FileProblems", "Larger than %1; not read.").arg(QLocale::system().formattedDataSize(limit, 0));
    case RegularFileRead::Status::Unreadable:
        return QCoreApplication::translate("FileProblems", "Could not be read: %1.").arg(read.errorText);
    }
    return {};
}

bool isGone(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return false;
    return errno == ENOENT || errno == ENOTDIR;
}

QStringList undecodableEntries(const QString &directory)
{
    QStringList found;
    DIR *listing = ::opendir(QFile::encodeName(directory).constData());
    if (!listing)
        return found;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArrayView name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(name);
        if (utf8.hasError())
            found.append(directory + u'/' + decoded);
    }
    ::closedir(listing);
    found.sort();
    return found;
}

QString notRegularFileReason()
{
    return QCoreApplication::translate("FileProblems", "Not a regular file (a folder, pipe, socket or device); not read.");
}

QString syntheticFileReason()
{
    return QCoreApplication::translate("FileProblems",
                                       "A file the system makes up (in /proc or /sys), not a skill; not read.");
}

QString undecodableNameReason()
{
    return QCoreApplication::translate("FileProblems", "Its name is not valid UTF-8; left out.");
}

std::optional<QString> linkTarget(const QString &path)
{
    const QFileInfo file(path);
    const QString resolved = file.canonicalFilePath();
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    if (file.isSymLink())
        return resolved.isEmpty() ? file.symLinkTarget() : resolved;
    // A skill folder that is a link: its main file lives where the folder points.
    if (QFileInfo(file.absolutePath()).isSymLink() && !folder.isEmpty())
        return folder + u'/' + file.fileName();
    return std::nullopt;
}
