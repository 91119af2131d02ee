#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A file without a name, open only in this process, that holds the folded
// bodies of the search keys. Bodies are most of a library's bytes; kept here,
// the kernel's page cache holds them instead of the process's heap, and can
// give them back under memory pressure. A search looks at them a window at a
// time, front to back.
//
// Every call may come from any thread: bytes are appended at offsets taken
// atomically and read with positional reads. What a key no longer needs is
// given back to the file system page by page (a hole), so a long session that
// rewrites bodies does not grow the file without bound.
class SearchKeyFile final : public std::enable_shared_from_this<SearchKeyFile>
{
public:
    // One body in the file. Giving the last copy up gives its bytes back.
    class Span final
    {
    public:
        Span(std::shared_ptr<SearchKeyFile> file, qint64 offset, qsizetype size);
        ~Span();
        Span(const Span &) = delete;
        Span &operator=(const Span &) = delete;

        SearchKeyFile &file() const { return *m_file; }
        qint64 offset() const { return m_offset; }
        qsizetype size() const { return m_size; }
        // The bytes, read back; no value when the file cannot be read.
        std::optional<QByteArray> read() const;

    private:
        std::shared_ptr<SearchKeyFile> m_file;
        qint64 m_offset = 0;
        qsizetype m_size = 0;
    };

    // An unnamed file in `folder` (which must exist), or null when the file
    // system cannot make one there.
    static std::shared_ptr<SearchKeyFile> create(const QString &folder);
    ~SearchKeyFile();
    SearchKeyFile(const SearchKeyFile &) = delete;
    SearchKeyFile &operator=(const SearchKeyFile &) = delete;

    // Writes `bytes` at the end; null when they could not all be written.
    std::shared_ptr<const Span> append(QByteArrayView bytes);

    // One span to read, with the caller's index for it.
    struct Wanted {
        const Span *span = nullptr;
        size_t index = 0;
    };
    // Hands the bytes of every wanted span to `visit`, or no value where they
    // could not be read. The spans are taken in offset order, those that lie
    // close together with one read; `wanted` is sorted for that.
    using Visitor = std::function<void(size_t index, std::optional<QByteArrayView> bytes)>;
    static void readEach(std::vector<Wanted> &wanted, const Visitor &visit);

    // Bytes written and still held by a span.
    qint64 heldBytes() const { return m_held.load(); }

private:
    explicit SearchKeyFile(int descriptor);
    bool readAt(qint64 offset, qsizetype size, char *into) const;
    // Gives the whole pages of a span no key uses back to the file system.
    void punchOut(qint64 offset, qsizetype size);

    int m_descriptor = -1;
    std::atomic<qint64> m_end{0};
    std::atomic<qint64> m_held{0};
};
