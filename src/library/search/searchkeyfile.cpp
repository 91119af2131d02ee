#include "library/search/searchkeyfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// Spans within this many bytes are read with one call, into a buffer that lives
// for one search: a search adds no more than this to the process's memory,
// however large the library. Read rather than mapped, a failing disk is an
// error to handle, not a signal.
constexpr qsizetype windowBytes = 1024 * 1024;

int openUnnamedFile(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    const int descriptor = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor >= 0)
        return descriptor;
    // A file system without unnamed files: make a private one and take its name away.
    QByteArray pattern = path + "/.vesk-search-XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named < 0)
        return -1;
    ::unlink(pattern.constData());
    return named;
}

} // namespace

SearchKeyFile::Span::Span(std::shared_ptr<SearchKeyFile> file, qint64 offset, qsizetype size)
    : m_file(std::move(file))
    , m_offset(offset)
    , m_size(size)
{
}

SearchKeyFile::Span::~Span()
{
    m_file->m_held -= m_size;
    m_file->punchOut(m_offset, m_size);
}

std::optional<QByteArray> SearchKeyFile::Span::read() const
{
    QByteArray bytes(m_size, Qt::Uninitialized);
    if (!m_file->readAt(m_offset, m_size, bytes.data()))
        return std::nullopt;
    return bytes;
}

std::shared_ptr<SearchKeyFile> SearchKeyFile::create(const QString &folder)
{
    const int descriptor = openUnnamedFile(folder);
    if (descriptor < 0)
        return nullptr;
    return std::shared_ptr<SearchKeyFile>(new SearchKeyFile(descriptor));
}

SearchKeyFile::SearchKeyFile(int descriptor)
    : m_descriptor(descriptor)
{
}

SearchKeyFile::~SearchKeyFile()
{
    ::close(m_descriptor);
}

std::shared_ptr<const SearchKeyFile::Span> SearchKeyFile::append(QByteArrayView bytes)
{
    const qint64 offset = m_end.fetch_add(bytes.size());
    const char *from = bytes.data();
    qsizetype left = bytes.size();
    qint64 at = offset;
    while (left > 0) {
        const ssize_t written = ::pwrite(m_descriptor, from, size_t(left), at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            punchOut(offset, bytes.size() - left); // what did get written is of no use; none of it is held
            return nullptr;
        }
        from += written;
        at += written;
        left -= written;
    }
    m_held += bytes.size();
    return std::make_shared<const Span>(shared_from_this(), offset, bytes.size());
}

bool SearchKeyFile::readAt(qint64 offset, qsizetype size, char *into) const
{
    while (size > 0) {
        const ssize_t got = ::pread(m_descriptor, into, size_t(size), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        offset += got;
        size -= got;
    }
    return true;
}

void SearchKeyFile::punchOut(qint64 offset, qsizetype size)
{
    // Only whole pages: a page shared with a neighbouring span is left as it is.
    static const qint64 page = std::max<long>(::sysconf(_SC_PAGESIZE), 4096);
    const qint64 first = (offset + page - 1) / page * page;
    const qint64 last = (offset + size) / page * page;
    if (last > first)
        ::fallocate(m_descriptor, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, first, last - first);
}

void SearchKeyFile::readEach(std::vector<Wanted> &wanted, const Visitor &visit)
{
    std::sort(wanted.begin(), wanted.end(), [](const Wanted &a, const Wanted &b) {
        if (&a.span->file() != &b.span->file())
            return std::less<const SearchKeyFile *>()(&a.span->file(), &b.span->file());
        return a.span->offset() < b.span->offset();
    });
    QByteArray buffer;
    for (size_t i = 0; i < wanted.size();) {
        const SearchKeyFile &file = wanted[i].span->file();
        const qint64 start = wanted[i].span->offset();
        qint64 end = start + wanted[i].span->size();
        size_t next = i + 1;
        while (next < wanted.size() && &wanted[next].span->file() == &file
               && wanted[next].span->offset() + wanted[next].span->size() - start <= windowBytes) {
            end = std::max(end, wanted[next].span->offset() + wanted[next].span->size());
            ++next;
        }
        if (buffer.size() < end - start)
            buffer.resize(end - start);
        const bool read = file.readAt(start, end - start, buffer.data());
        for (; i < next; ++i) {
            const Span &span = *wanted[i].span;
            if (read)
                visit(wanted[i].index, QByteArrayView(buffer.constData() + (span.offset() - start), span.size()));
            else
                visit(wanted[i].index, std::nullopt);
        }
    }
}
