#pragma once

// A small tmpfs mounted on a temporary folder, for the tests of a full disk and a
// read-only library. Mounting needs root (and a system that allows it); tests call
// QSKIP when isMounted() is false.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class SmallFileSystem final
{
public:
    explicit SmallFileSystem(qint64 bytes)
    {
        if (geteuid() != 0 || !m_dir.isValid())
            return;
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                            options.constData()) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

    // Makes the whole file system read-only (or writable again). Fails while a file
    // on it is open for writing.
    bool setReadOnly(bool readOnly)
    {
        const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        return ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", flags, nullptr) == 0;
    }

    // Fills what is left with one file (removed by unfill()) but `room` bytes, so
    // that small writes still succeed and larger ones fail.
    void fill(qint64 room = 0)
    {
        const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral(".filler")));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd < 0)
            return;
        const QByteArray block(4096, '\0');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0) {
            const int truncated = ::ftruncate(fd, qMax<off_t>(0, info.st_size - room));
            Q_UNUSED(truncated)
        }
        ::close(fd);
    }
    void unfill() { QFile::remove(m_dir.filePath(QStringLiteral(".filler"))); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
