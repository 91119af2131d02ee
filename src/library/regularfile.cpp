#include "library/regularfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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
