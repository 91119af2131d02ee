#include "library/files/safemove.h"

#include "library/catalogue/homepath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path native(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString systemMessage(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}

QString systemMessage(const std::error_code &code)
{
    return QString::fromLocal8Bit(code.message().c_str());
}

constexpr qsizetype maxDifferences = 20;

bool compareTrees(const fs::path &a, const fs::path &b, const fs::path &relative, QStringList *differences)
{
    const auto note = [&](const fs::path &path) {
        if (differences && differences->size() < maxDifferences)
            differences->append(QFile::decodeName(QByteArray::fromStdString(path.generic_string())));
        return false;
    };
    std::error_code error;
    const fs::file_status statusA = fs::symlink_status(a, error);
    const fs::file_status statusB = fs::symlink_status(b, error);
    if (statusA.type() != statusB.type())
        return note(relative.empty() ? a.filename() : relative);
    switch (statusA.type()) {
    case fs::file_type::symlink:
        return fs::read_symlink(a, error) == fs::read_symlink(b, error) || note(relative);
    case fs::file_type::regular: {
        QFile fileA(QFile::decodeName(QByteArray::fromStdString(a.string())));
        QFile fileB(QFile::decodeName(QByteArray::fromStdString(b.string())));
        if (fileA.size() != fileB.size() || !fileA.open(QIODevice::ReadOnly) || !fileB.open(QIODevice::ReadOnly))
            return note(relative);
        while (!fileA.atEnd()) {
            if (fileA.read(1 << 16) != fileB.read(1 << 16))
                return note(relative);
        }
        return true;
    }
    case fs::file_type::directory: {
        std::set<fs::path> namesA;
        std::set<fs::path> namesB;
        for (const fs::directory_entry &entry : fs::directory_iterator(a, error))
            namesA.insert(entry.path().filename());
        for (const fs::directory_entry &entry : fs::directory_iterator(b, error))
            namesB.insert(entry.path().filename());
        bool same = true;
        for (const fs::path &name : namesA) {
            if (!namesB.contains(name))
                same = note(relative / name);
            else if (!compareTrees(a / name, b / name, relative / name, differences))
                same = false;
        }
        for (const fs::path &name : namesB) {
            if (!namesA.contains(name))
                same = note(relative / name);
        }
        return same;
    }
    default:
        return note(relative);
    }
}

} // namespace

bool entryExists(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

bool isSymlink(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool renameNoReplace(const QString &from, const QString &to, QString *error, bool *crossDevice)
{
    if (crossDevice)
        *crossDevice = false;
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    int result = ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system that cannot refuse by itself: ask first, then rename.
        if (entryExists(to)) {
            errno = EEXIST;
        } else {
            result = ::rename(source.constData(), target.constData());
        }
    }
    if (result == 0)
        return true;
    const int number = errno;
    if (number == EXDEV && crossDevice)
        *crossDevice = true;
    if (error) {
        *error = number == EEXIST
            ? QObject::tr("“%1” is there already").arg(abbreviateHome(to))
            : QObject::tr("“%1” could not be moved: %2").arg(abbreviateHome(from), systemMessage(number));
    }
    return false;
}

bool copyEntry(const QString &from, const QString &to, QString *error)
{
    if (entryExists(to)) {
        if (error)
            *error = QObject::tr("“%1” is there already").arg(abbreviateHome(to));
        return false;
    }
    std::error_code code;
    fs::copy(native(from), native(to), fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    if (!code)
        return true;
    std::error_code ignored;
    fs::remove_all(native(to), ignored);
    if (error)
        *error = QObject::tr("“%1” could not be copied: %2").arg(abbreviateHome(from), systemMessage(code));
    return false;
}

bool sameEntry(const QString &a, const QString &b, QStringList *differences)
{
    return compareTrees(native(a), native(b), fs::path(), differences);
}

bool removeEntry(const QString &path, QString *error)
{
    std::error_code code;
    fs::remove_all(native(path), code);
    if (!code)
        return true;
    if (error)
        *error = QObject::tr("“%1” could not be removed: %2").arg(abbreviateHome(path), systemMessage(code));
    return false;
}

QString partialPathFor(const QString &destination)
{
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".vesk-partial");
}

bool makeFolders(const QString &folder, QString *error)
{
    std::error_code code;
    fs::create_directories(native(folder), code);
    if (!code)
        return true;
    if (error)
        *error = QObject::tr("The folder “%1” could not be created: %2").arg(abbreviateHome(folder), systemMessage(code));
    return false;
}

MoveOutcome moveEntry(const QString &from, const QString &to, QString *error, const StepGate &gate)
{
    const auto proceed = [&gate](const char *step) { return !gate || gate(QString::fromLatin1(step)); };
    if (entryExists(to)) {
        if (error)
            *error = QObject::tr("“%1” is there already").arg(abbreviateHome(to));
        return MoveOutcome::Refused;
    }
    if (!makeFolders(QFileInfo(to).absolutePath(), error))
        return MoveOutcome::Refused;
    bool crossDevice = false;
    if (renameNoReplace(from, to, error, &crossDevice))
        return MoveOutcome::Moved;
    if (!crossDevice)
        return MoveOutcome::Refused;

    // Another file system: the original stays until its copy is in place and checked.
    const QString partial = partialPathFor(to);
    if (entryExists(partial) && !removeEntry(partial, error))
        return MoveOutcome::Refused;
    if (!copyEntry(from, partial, error))
        return MoveOutcome::Refused;
    QStringList differences;
    if (!sameEntry(from, partial, &differences)) {
        removeEntry(partial, nullptr);
        if (error)
            *error = QObject::tr("The copy of “%1” did not match the original (%2)")
                         .arg(abbreviateHome(from), differences.join(QStringLiteral(", ")));
        return MoveOutcome::Refused;
    }
    if (!proceed("copied"))
        return MoveOutcome::Stopped;
    if (!renameNoReplace(partial, to, error)) {
        removeEntry(partial, nullptr);
        return MoveOutcome::Refused;
    }
    if (!proceed("placed"))
        return MoveOutcome::Stopped;
    if (!removeEntry(from, error))
        return MoveOutcome::Refused; // both are there; nothing is lost
    return MoveOutcome::Moved;
}
