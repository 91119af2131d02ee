#pragma once

#include <ctime>
#include <functional>

// CPU time of this thread: the machine is shared, and waiting for a core is not
// the cost of the code being timed.
inline double threadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

inline double secondsOf(const std::function<void()> &work)
{
    const double start = threadSeconds();
    work();
    return threadSeconds() - start;
}
