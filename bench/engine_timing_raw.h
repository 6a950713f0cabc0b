// The raw reference of the engine timing benchmark: this machine's own ways
// of waiting, each on a thread of its own at the playback thread's priority,
// through the dense song's moments.
#ifndef TIVORN_BENCH_ENGINE_TIMING_RAW_H
#define TIVORN_BENCH_ENGINE_TIMING_RAW_H

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "bench/engine_timing_songs.h"

namespace timing {

// Taken the same way for the raw reference and for the engine.

// Kernel and user time together, in 100 ns units.
inline LONGLONG Cpu100ns(const FILETIME &kernel, const FILETIME &user) {
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return static_cast<LONGLONG>(k.QuadPart + u.QuadPart);
}

// |error| at the 99th percentile.
inline int64_t P99(std::vector<int64_t> errors) {
    if (errors.empty()) return 0;
    for (int64_t &e : errors) e = e < 0 ? -e : e;
    std::sort(errors.begin(), errors.end());
    return errors[errors.size() * 99 / 100];
}

enum class RawMethod { Timer, TimerSpin, Sleep, SleepSpin, Delay, DelaySpin, Count };

const char *MethodName(RawMethod method);

// How much of the dense song's schedule each method waits through.
constexpr int64_t kRawSpanUs = 2500000;

struct RawResult {
    bool available = false;
    int64_t p99 = 0;
    double cpuPercent = 0;
};

RawResult MeasureRaw(RawMethod method, const std::vector<int64_t> &moments);

// The dense song's distinct times, as far as span.
std::vector<int64_t> RawMoments(const std::vector<Expected> &schedule, int64_t span = kRawSpanUs);

struct RawPass {
    RawResult methods[static_cast<int>(RawMethod::Count)];
};

RawPass MeasureRawPass(const char *when, const std::vector<int64_t> &moments);

// The best raw p99 of the run, and how far the two passes of its method
// disagree (how noisy the machine was meanwhile).
struct Reference {
    int64_t p99 = 0;
    RawMethod method = RawMethod::Timer;
    int64_t before = 0, after = 0;
    bool found = false;
};

Reference BestRaw(const RawPass &before, const RawPass &after);

}  // namespace timing

#endif
