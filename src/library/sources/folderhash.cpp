#include "library/sources/folderhash.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QObject>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Budget {
    qint64 bytes = 0;
    int files = 0;
    QString error;

    bool take(qint64 size)
    {
        bytes += size;
        ++files;
        if (bytes > maxHashedBytes || files > maxHashedFiles) {
            error = QObject::tr("The folder is too large to be a skill");
            return false;
        }
        return true;
    }
};

// The names in `folder`, dot entries included, without "." and "..".
QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::NoSort);
}

std::optional<QByteArray> readWhole(const QString &path, Budget &budget)
{
    QFile file(path);
    if (!budget.take(QFileInfo(path).size()))
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        budget.error = QObject::tr("“%1” could not be read: %2").arg(QFileInfo(path).fileName(), file.errorString());
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxHashedBytes + 1);
    if (bytes.size() > maxHashedBytes) {
        budget.error = QObject::tr("The folder is too large to be a skill");
        return std::nullopt;
    }
    return bytes;
}

bool collectFiles(const QString &root, const QString &relative, QStringList &files, Budget &budget, int depth)
{
    if (depth > 32) {
        budget.error = QObject::tr("The folder is nested too deeply");
        return false;
    }
    const QString folder = relative.isEmpty() ? root : root + u'/' + relative;
    for (const QString &name : entriesOf(folder)) {
        const QString path = folder + u'/' + name;
        const QString inner = relative.isEmpty() ? name : relative + u'/' + name;
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode)) {
            if (name == QLatin1String(".git") || name == QLatin1String("node_modules"))
                continue;
            if (!collectFiles(root, inner, files, budget, depth + 1))
                return false;
        } else if (S_ISREG(status.st_mode)) {
            files.append(inner);
        }
    }
    return true;
}

QByteArray gitObjectId(const char *type, const QByteArray &body)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray(type) + ' ' + QByteArray::number(body.size()) + '\0');
    hash.addData(body);
    return hash.result();
}

// A tree's raw id, or an empty id for a folder git would not record (nothing in it).
std::optional<QByteArray> treeOf(const QString &folder, Budget &budget, int depth)
{
    if (depth > 32) {
        budget.error = QObject::tr("The folder is nested too deeply");
        return std::nullopt;
    }
    struct Entry {
        QByteArray name;
        QByteArray mode;
        QByteArray id;
        bool folder = false;
    };
    QList<Entry> entries;
    for (const QString &name : entriesOf(folder)) {
        if (name == QLatin1String(".git"))
            continue;
        const QString path = folder + u'/' + name;
        const QByteArray encoded = QFile::encodeName(path);
        struct stat status {};
        if (::lstat(encoded.constData(), &status) != 0)
            continue;
        Entry entry;
        entry.name = QFile::encodeName(name);
        if (S_ISLNK(status.st_mode)) {
            QByteArray target(4096, '\0');
            const ssize_t length = ::readlink(encoded.constData(), target.data(), target.size());
            if (length < 0)
                continue;
            if (!budget.take(length))
                return std::nullopt;
            entry.mode = "120000";
            entry.id = gitObjectId("blob", target.left(length));
        } else if (S_ISDIR(status.st_mode)) {
            const std::optional<QByteArray> inner = treeOf(path, budget, depth + 1);
            if (!inner)
                return std::nullopt;
            if (inner->isEmpty())
                continue;
            entry.mode = "40000";
            entry.id = *inner;
            entry.folder = true;
        } else if (S_ISREG(status.st_mode)) {
            const std::optional<QByteArray> bytes = readWhole(path, budget);
            if (!bytes)
                return std::nullopt;
            entry.mode = (status.st_mode & S_IXUSR) ? "100755" : "100644";
            entry.id = gitObjectId("blob", *bytes);
        } else {
            continue; // pipes, sockets, devices: git records none of them
        }
        entries.append(entry);
    }
    if (entries.isEmpty())
        return QByteArray();
    // Git orders a folder as if its name ended in "/".
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return (a.folder ? a.name + '/' : a.name) < (b.folder ? b.name + '/' : b.name);
    });
    QByteArray body;
    for (const Entry &entry : std::as_const(entries))
        body += entry.mode + ' ' + entry.name + '\0' + entry.id;
    return gitObjectId("tree", body);
}

} // namespace

std::optional<QString> contentHash(const QString &folder, QString *error)
{
    Budget budget;
    QStringList files;
    if (!QFileInfo(folder).isDir()) {
        if (error)
            *error = QObject::tr("The skill folder is not there");
        return std::nullopt;
    }
    if (!collectFiles(folder, QString(), files, budget, 0)) {
        if (error)
            *error = budget.error;
        return std::nullopt;
    }
    files.sort(Qt::CaseSensitive);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    Budget reading;
    for (const QString &relative : std::as_const(files)) {
        const std::optional<QByteArray> bytes = readWhole(folder + u'/' + relative, reading);
        if (!bytes) {
            if (error)
                *error = reading.error;
            return std::nullopt;
        }
        hash.addData(relative.toUtf8());
        hash.addData(*bytes);
    }
    return QString::fromLatin1(hash.result().toHex());
}

std::optional<QString> gitTreeId(const QString &folder, QString *error)
{
    if (!QFileInfo(folder).isDir()) {
        if (error)
            *error = QObject::tr("The skill folder is not there");
        return std::nullopt;
    }
    Budget budget;
    const std::optional<QByteArray> tree = treeOf(folder, budget, 0);
    if (!tree) {
        if (error)
            *error = budget.error;
        return std::nullopt;
    }
    // An empty folder is git's empty tree.
    return QString::fromLatin1((tree->isEmpty() ? gitObjectId("tree", QByteArray()) : *tree).toHex());
}
