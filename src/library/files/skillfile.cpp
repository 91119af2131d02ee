#include "library/files/skillfile.h"

#include "library/disk/regularfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray utf8ByteOrderMark("\xEF\xBB\xBF");

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

class Descriptor final
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Closes now, so a failing close can be reported (it may be the first sign of a full disk).
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

bool writeAllAt(int fd, const QByteArray &bytes, off_t offset)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), offset + done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += written;
    }
    return true;
}

QString directoryOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString fileNameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// A new file beside `path` (or in `fallbackDirectory` when that folder refuses),
// created exclusively with `mode` (the umask applies). Its path goes to `created`.
int createSibling(const QString &path, const char *purpose, mode_t mode, QString *created, int *error)
{
    const QString name = u'.' + fileNameOf(path) + QLatin1String(purpose);
    for (int attempt = 0; attempt < 64; ++attempt) {
        const QString candidate = directoryOf(path) + u'/' + name
            + QString::number(QRandomGenerator::global()->generate64(), 36);
        const int fd = ::open(encoded(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            *created = candidate;
            return fd;
        }
        if (errno != EEXIST) {
            *error = errno;
            return -1;
        }
    }
    *error = EEXIST;
    return -1;
}

void syncDirectoryOf(const QString &path)
{
    // Makes the rename itself durable; a file system that cannot do this still renamed.
    const Descriptor directory(::open(encoded(directoryOf(path)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
}

// The file a write to `path` must change: the end of its chain of symbolic
// links, so that every harness that links to one shared skill sees the edit and
// the links stay links. A chain that ends nowhere names the file to create.
std::optional<QString> followLinks(const QString &path, int *error)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(encoded(current).constData(), &info) != 0) {
            if (errno == ENOENT)
                return current;
            *error = errno;
            return std::nullopt;
        }
        if (!S_ISLNK(info.st_mode))
            return current;
        QByteArray target(qsizetype(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlink(encoded(current).constData(), target.data(), size_t(target.size()));
        if (length < 0) {
            *error = errno;
            return std::nullopt;
        }
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        // Not cleaned lexically: "a/../b" means something else when "a" is a link.
        current = next.startsWith(u'/') ? next : directoryOf(current) + u'/' + next;
    }
    *error = ELOOP;
    return std::nullopt;
}

// The usual atomic save: the whole text goes to a new file in the same folder,
// which then takes the old one's place, so a crash leaves either the old or the
// new text, never half of one. The old file's permissions (and group, where we
// may set it) are given to the new one. False with `needsInPlace` set when the
// new file cannot take the old one's identity.
bool replaceAtomically(const QString &target, const QByteArray &bytes, const struct stat *existing,
                       bool *needsInPlace, QString *errorText)
{
    QString temporary;
    int error = 0;
    Descriptor fd(createSibling(target, ".vesk-save-", 0666, &temporary, &error));
    if (fd.get() < 0) {
        *errorText = systemMessage(error);
        return false;
    }
    const auto fail = [&](int failure) {
        fd.reset();
        ::unlink(encoded(temporary).constData());
        *errorText = systemMessage(failure);
        return false;
    };
    if (existing) {
        struct stat fresh {};
        if (::fstat(fd.get(), &fresh) != 0)
            return fail(errno);
        if (fresh.st_gid != existing->st_gid && ::fchown(fd.get(), uid_t(-1), existing->st_gid) != 0) {
            fail(errno);
            *needsInPlace = true;
            return false;
        }
        if (::fchmod(fd.get(), existing->st_mode & 07777) != 0)
            return fail(errno);
    }
    if (!writeAllAt(fd.get(), bytes, 0) || ::fsync(fd.get()) != 0)
        return fail(errno);
    if (!fd.close())
        return fail(errno);
    if (::rename(encoded(temporary).constData(), encoded(target).constData()) != 0)
        return fail(errno);
    syncDirectoryOf(target);
    return true;
}

// For a file that must keep its identity: one with several hard links (every
// name of it must see the edit, and the other names are not known to us, so a
// replaced file cannot be linked back to them) or one owned by somebody else
// (a new file would be ours). The file is rewritten where it is, after a copy of
// its previous text is safe on disk; if the rewrite fails the previous text is
// put back, and if even that fails the copy stays and the message says where.
bool writeInPlace(const QString &target, const QByteArray &bytes, QString *errorText)
{
    const RegularFileRead previous = readRegularFile(target);
    if (previous.status != RegularFileRead::Status::Ok) {
        *errorText = previous.errorText.isEmpty() ? QCoreApplication::translate("SkillFile", "The file can no longer be read.") : previous.errorText;
        return false;
    }
    Descriptor file(::open(encoded(target).constData(), O_WRONLY | O_CLOEXEC));
    if (file.get() < 0) {
        *errorText = systemMessage(errno);
        return false;
    }

    QString backup;
    int error = 0;
    Descriptor copy(createSibling(target, ".vesk-backup-", 0600, &backup, &error));
    if (copy.get() < 0) {
        *errorText = systemMessage(error);
        return false;
    }
    if (!writeAllAt(copy.get(), previous.bytes, 0) || ::fsync(copy.get()) != 0 || !copy.close()) {
        *errorText = systemMessage(errno);
        copy.reset();
        ::unlink(encoded(backup).constData());
        return false;
    }

    const auto rewrite = [&file](const QByteArray &text) {
        return writeAllAt(file.get(), text, 0) && ::ftruncate(file.get(), off_t(text.size())) == 0
            && ::fsync(file.get()) == 0;
    };
    if (!rewrite(bytes)) {
        *errorText = systemMessage(errno);
        if (!rewrite(previous.bytes)) {
            *errorText += u' ' + QCoreApplication::translate("SkillFile", "The previous text is kept in “%1”.").arg(backup);
            return false;
        }
        ::unlink(encoded(backup).constData());
        return false;
    }
    if (!file.close()) {
        *errorText = systemMessage(errno);
        return false; // the copy stays: what reached the disk is unknown
    }
    ::unlink(encoded(backup).constData());
    return true;
}

} // namespace

std::optional<QString> decodeSkillText(const QByteArray &bytes, TextLayout *layout)
{
    TextLayout found;
    QByteArrayView body(bytes);
    if (body.startsWith(utf8ByteOrderMark)) {
        found.byteOrderMark = true;
        body = body.sliced(utf8ByteOrderMark.size());
    }
    // Only the mark removed above is dropped; any later U+FEFF is text.
    // Stateless: a sequence cut off at the end of the file is an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;

    qsizetype crlf = 0;
    qsizetype lf = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n')
            ++(i > 0 && text.at(i - 1) == u'\r' ? crlf : lf);
    }
    found.crlf = crlf > lf;
    if (crlf > 0)
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (layout)
        *layout = found;
    return text;
}

QByteArray encodeSkillText(const QString &text, const TextLayout &layout)
{
    QByteArray bytes = layout.byteOrderMark ? utf8ByteOrderMark : QByteArray();
    if (layout.crlf) {
        QString withCrlf = text;
        withCrlf.replace(u'\n', QLatin1String("\r\n"));
        bytes += withCrlf.toUtf8();
    } else {
        bytes += text.toUtf8();
    }
    return bytes;
}

namespace {

bool endsEditorLine(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

} // namespace

qsizetype longestLineLength(QStringView text)
{
    qsizetype longest = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || endsEditorLine(text[i])) {
            longest = qMax(longest, i - start);
            start = i + 1;
        }
    }
    return longest;
}

QString cutLongLines(QStringView text, qsizetype limit)
{
    QString cut;
    cut.reserve(qMin(text.size(), limit * 64));
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !endsEditorLine(text[i]))
            continue;
        const QStringView line = text.sliced(start, i - start);
        if (line.size() > limit) {
            // Never between the halves of a surrogate pair.
            const qsizetype keep = line[limit - 1].isHighSurrogate() ? limit - 1 : limit;
            cut += line.first(keep);
            cut += u'…';
        } else {
            cut += line;
        }
        if (i < text.size())
            cut += text[i];
        start = i + 1;
    }
    return cut;
}

SkillFileContents loadSkillFile(const QString &path)
{
    SkillFileContents contents;
    RegularFileRead read = readRegularFile(path);
    switch (read.status) {
    case RegularFileRead::Status::Missing:
        contents.status = SkillFileContents::Status::Missing;
        return contents;
    case RegularFileRead::Status::NotRegular:
        contents.status = SkillFileContents::Status::Unavailable;
        contents.reason = QCoreApplication::translate("SkillFile", "it is not a regular file");
        return contents;
    case RegularFileRead::Status::TooLarge:
        contents.status = SkillFileContents::Status::Unavailable;
        contents.reason = QCoreApplication::translate("SkillFile", "it is larger than %1")
                              .arg(QLocale().formattedDataSize(maxSkillFileBytes, 0, QLocale::DataSizeIecFormat));
        return contents;
    case RegularFileRead::Status::Unreadable:
        contents.status = SkillFileContents::Status::Unavailable;
        contents.reason = read.errorText.isEmpty() ? QCoreApplication::translate("SkillFile", "it cannot be read") : read.errorText;
        return contents;
    case RegularFileRead::Status::Ok:
        break;
    }
    std::optional<QString> text = decodeSkillText(read.bytes, &contents.layout);
    if (!text) {
        contents.status = SkillFileContents::Status::Unavailable;
        contents.reason = QCoreApplication::translate("SkillFile", "it is not valid UTF-8 text");
        return contents;
    }
    contents.status = SkillFileContents::Status::Ok;
    contents.text = std::move(*text);
    contents.bytes = std::move(read.bytes);
    return contents;
}

DiskComparison compareWithDisk(const QString &path, const std::optional<QByteArray> &expected)
{
    const RegularFileRead now = readRegularFile(path);
    switch (now.status) {
    case RegularFileRead::Status::Ok:
        return expected && *expected == now.bytes ? DiskComparison::Same : DiskComparison::Changed;
    case RegularFileRead::Status::Missing:
        return expected ? DiskComparison::Gone : DiskComparison::Same;
    case RegularFileRead::Status::Unreadable:
        // Cannot tell; the write will say whether it may go ahead.
        return expected ? DiskComparison::Same : DiskComparison::Changed;
    case RegularFileRead::Status::NotRegular:
    case RegularFileRead::Status::TooLarge:
        return DiskComparison::Changed;
    }
    return DiskComparison::Changed;
}

bool writeSkillFile(const QString &path, const QByteArray &bytes, QString *errorText)
{
    QString ignored;
    QString &message = errorText ? *errorText : ignored;
    int error = 0;
    const std::optional<QString> target = followLinks(path, &error);
    if (!target) {
        message = systemMessage(error);
        return false;
    }

    struct stat existing {};
    if (::stat(encoded(*target).constData(), &existing) != 0) {
        if (errno != ENOENT) {
            message = systemMessage(errno);
            return false;
        }
        bool unused = false;
        return replaceAtomically(*target, bytes, nullptr, &unused, &message);
    }
    if (!S_ISREG(existing.st_mode)) {
        message = QCoreApplication::translate("SkillFile", "Not a regular file");
        return false;
    }
    if (existing.st_nlink == 1 && existing.st_uid == ::geteuid()) {
        bool needsInPlace = false;
        if (replaceAtomically(*target, bytes, &existing, &needsInPlace, &message))
            return true;
        if (!needsInPlace)
            return false;
        message.clear();
    }
    return writeInPlace(*target, bytes, &message);
}
