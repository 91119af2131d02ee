// The floor any scanner is measured against: list the given folders with plain
// POSIX calls, descend into every folder below them, and read every file whole.
// One thread, no parsing, nothing kept. Prints what it saw, so a run that found
// less than expected is noticed.
//
//   vesk_rawread FOLDER...

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Totals {
    long long files = 0;
    long long bytes = 0;
    long long folders = 0;
};

void readWhole(int directoryFd, const char *name, std::vector<char> &buffer, Totals &totals)
{
    const int fd = ::openat(directoryFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        if (buffer.size() < size_t(info.st_size) + 1)
            buffer.resize(size_t(info.st_size) + 1);
        ssize_t got = 0;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0)
            totals.bytes += got;
        ++totals.files;
    }
    ::close(fd);
}

void walk(const std::string &path, std::vector<char> &buffer, Totals &totals)
{
    DIR *directory = ::opendir(path.c_str());
    if (!directory)
        return;
    ++totals.folders;
    const int directoryFd = ::dirfd(directory);
    std::vector<std::string> folders;
    while (const dirent *entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat info {};
        if (::fstatat(directoryFd, entry->d_name, &info, 0) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            folders.push_back(path + '/' + entry->d_name);
        else if (S_ISREG(info.st_mode))
            readWhole(directoryFd, entry->d_name, buffer, totals);
    }
    ::closedir(directory);
    for (const std::string &folder : folders)
        walk(folder, buffer, totals);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vesk_rawread FOLDER...\n");
        return 2;
    }
    Totals totals;
    std::vector<char> buffer(64 * 1024);
    for (int i = 1; i < argc; ++i)
        walk(argv[i], buffer, totals);
    std::printf("files %lld\nbytes %lld\nfolders %lld\n", totals.files, totals.bytes, totals.folders);
    return 0;
}
