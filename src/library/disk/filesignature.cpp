#include "library/disk/filesignature.h"

#include <sys/stat.h>
#include <time.h>

namespace {

// Timestamps closer than this to the moment of looking may still be shared with a
// write that has not happened yet. File systems with sub-second timestamps stamp
// from a clock that ticks every few milliseconds; those that keep whole seconds
// only (both times on a second exactly) may tick in steps of up to 2 s.
constexpr qint64 racyWindowNs = 50'000'000;
constexpr qint64 coarseRacyWindowNs = 2'000'000'000;

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

FileSignature FileSignature::fromStat(const struct stat &info, qint64 nowNs)
{
    FileSignature signature;
    signature.device = quint64(info.st_dev);
    signature.inode = quint64(info.st_ino);
    signature.size = qint64(info.st_size);
    signature.modifiedNs = nanoseconds(info.st_mtim);
    signature.changedNs = nanoseconds(info.st_ctim);
    const qint64 latest = qMax(signature.modifiedNs, signature.changedNs);
    const bool coarse = info.st_mtim.tv_nsec == 0 && info.st_ctim.tv_nsec == 0;
    signature.racy = nowNs - latest < (coarse ? coarseRacyWindowNs : racyWindowNs);
    return signature;
}

qint64 fileSystemNowNs()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}
