// A piece of work measured against its floor on a shared machine: the two run in alternation, pair
// after pair (which of the two goes first alternates too), and the figure reported is the median of
// the pairs' ratios with the middle half of them as its spread. A burst of other work on the machine
// then spoils a pair or two, not the figure.
//
// Counters: work_ms and floor_ms (medians), ratio (median of the pairs' ratios), ratio_p25 and
// ratio_p75 (its quartiles).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <time.h>
#include <vector>

namespace vorlane::bench {

// Which clock a pair is timed with: processor time of this thread (work done on one core, not the time
// spent waiting for one), of the whole process (work spread over threads), or elapsed time.
enum class Clock { Thread, Process, Wall };

inline double Now(Clock clock)
{
    timespec now{};
    ::clock_gettime(clock == Clock::Thread    ? CLOCK_THREAD_CPUTIME_ID
                    : clock == Clock::Process ? CLOCK_PROCESS_CPUTIME_ID
                                              : CLOCK_MONOTONIC,
                    &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

template <typename F>
double Seconds(F&& f, Clock clock = Clock::Thread)
{
    const double start = Now(clock);
    f();
    return Now(clock) - start;
}

inline double Quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double at = q * double(values.size() - 1);
    const size_t below = size_t(at);
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (at - double(below));
}

// One pair per benchmark iteration; the iteration's time is the work's.
template <typename Work, typename Floor>
void RunPairs(benchmark::State& state, Work&& work, Floor&& floor, Clock clock = Clock::Thread)
{
    std::vector<double> works, floors, ratios;
    bool floorFirst = false;
    for (auto _ : state) {
        double w, f;
        if (floorFirst) {
            f = Seconds(floor, clock);
            w = Seconds(work, clock);
        } else {
            w = Seconds(work, clock);
            f = Seconds(floor, clock);
        }
        floorFirst = !floorFirst;
        state.SetIterationTime(w);
        works.push_back(w);
        floors.push_back(f);
        ratios.push_back(f > 0 ? w / f : 0);
    }
    state.counters["work_ms"] = Quantile(works, 0.5) * 1e3;
    state.counters["floor_ms"] = Quantile(floors, 0.5) * 1e3;
    state.counters["ratio"] = Quantile(ratios, 0.5);
    state.counters["ratio_p25"] = Quantile(ratios, 0.25);
    state.counters["ratio_p75"] = Quantile(ratios, 0.75);
}

} // namespace vorlane::bench
