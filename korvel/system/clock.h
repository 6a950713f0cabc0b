// The engine library's one clock, the performance counter: song times, the
// devices' pacing and the figures all count its ticks.
#ifndef TIVORN_KORVEL_SYSTEM_CLOCK_H
#define TIVORN_KORVEL_SYSTEM_CLOCK_H

#include <windows.h>

#include <cstdint>

namespace korvel::clock {

inline LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Ticks a second.  The system fixes it at boot, so it is asked once.
inline LONGLONG Frequency() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return frequency;
}

// A span of ticks in microseconds, whole seconds apart so that a long span
// does not overflow.
inline int64_t Microseconds(LONGLONG ticks) {
    LONGLONG f = Frequency();
    return (ticks / f) * 1000000 + (ticks % f) * 1000000 / f;
}

}  // namespace korvel::clock

#endif
