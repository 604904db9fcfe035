// Processor time of this thread: on a machine shared with others, waiting for a processor is not work.
#pragma once

#include <time.h>

namespace vorlane::bench {

inline double ThreadSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The processor time `f` takes.
template <typename F>
double Seconds(F&& f)
{
    const double start = ThreadSeconds();
    f();
    return ThreadSeconds() - start;
}

} // namespace vorlane::bench
