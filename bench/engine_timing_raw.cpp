// The raw reference: how precisely this machine wakes a thread by its own
// means, measured just before and just after the songs.
#include "bench/engine_timing_raw.h"

#include <cstdio>

namespace timing {
namespace {

// How long before the due time a hybrid stops sleeping and spins: Sleep
// counts whole milliseconds and may come a tick late, the others are asked
// for microseconds.
constexpr int64_t kSleepSpinUs = 1500;
constexpr int64_t kFineSpinUs = 300;

typedef LONG(NTAPI *DelayProc)(BOOLEAN alertable, PLARGE_INTEGER interval);

struct RawJob {
    RawMethod method;
    const std::vector<int64_t> *moments;
    RawResult result;
};

LONGLONG ThreadCpu100ns() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Cpu100ns(kernel, user);
}

class UsClock {
public:
    UsClock() {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&origin_);
    }
    int64_t Now() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        LONGLONG ticks = now.QuadPart - origin_.QuadPart, f = frequency_.QuadPart;
        return (ticks / f) * 1000000 + (ticks % f) * 1000000 / f;
    }

private:
    LARGE_INTEGER frequency_, origin_;
};

// Waits on the thread's own schedule, as the playback thread does, at its
// priority; the error of each wake is taken.
DWORD WINAPI RawThread(LPVOID parameter) {
    RawJob &job = *static_cast<RawJob *>(parameter);
    HANDLE timer = nullptr;
    DelayProc delay = nullptr;
    bool timerMethod = job.method == RawMethod::Timer || job.method == RawMethod::TimerSpin;
    bool delayMethod = job.method == RawMethod::Delay || job.method == RawMethod::DelaySpin;
    if (timerMethod) {
        timer = CreateWaitableTimerExW(nullptr, nullptr, 0x2 /* CREATE_WAITABLE_TIMER_HIGH_RESOLUTION */,
                                       TIMER_ALL_ACCESS);
        if (!timer) return 0;
    }
    if (delayMethod) {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        delay = ntdll ? reinterpret_cast<DelayProc>(reinterpret_cast<void *>(GetProcAddress(ntdll, "NtDelayExecution")))
                      : nullptr;
        if (!delay) return 0;
    }
    bool spin = job.method == RawMethod::TimerSpin || job.method == RawMethod::SleepSpin ||
                job.method == RawMethod::DelaySpin;
    int64_t margin = !spin ? 0 : job.method == RawMethod::SleepSpin ? kSleepSpinUs : kFineSpinUs;
    std::vector<int64_t> errors;
    UsClock clock;
    LONGLONG cpuBegin = ThreadCpu100ns();
    const int64_t lead = 20000;  // the first moment is this far off, as after a song's set-up
    for (int64_t moment : *job.moments) {
        int64_t due = moment + lead;
        for (;;) {
            int64_t left = due - margin - clock.Now();
            if (job.method == RawMethod::Sleep || job.method == RawMethod::SleepSpin) {
                // Plain Sleep goes to the nearest millisecond; the hybrid stops short.
                int64_t ms = spin ? left / 1000 : (left + 500) / 1000;
                if (ms < 1) break;
                Sleep(static_cast<DWORD>(ms));
            } else {
                if (left < 20) break;
                LARGE_INTEGER relative;
                relative.QuadPart = -left * 10;
                if (timer) {
                    if (!SetWaitableTimer(timer, &relative, 0, nullptr, nullptr, FALSE)) break;
                    WaitForSingleObject(timer, INFINITE);
                } else {
                    delay(FALSE, &relative);
                }
                break;
            }
        }
        if (spin)
            while (clock.Now() < due) YieldProcessor();
        errors.push_back(clock.Now() - due);
    }
    int64_t span = clock.Now();
    LONGLONG cpu = ThreadCpu100ns() - cpuBegin;
    if (timer) CloseHandle(timer);
    job.result.available = true;
    job.result.p99 = P99(errors);
    job.result.cpuPercent = double(cpu) / 10.0 / double(span) * 100.0;
    return 0;
}

}  // namespace

const char *MethodName(RawMethod method) {
    switch (method) {
    case RawMethod::Timer:
        return "hi-res timer";
    case RawMethod::TimerSpin:
        return "hi-res timer + spin";
    case RawMethod::Sleep:
        return "Sleep, 1 ms period";
    case RawMethod::SleepSpin:
        return "Sleep + spin";
    case RawMethod::Delay:
        return "ntdll short sleep";
    default:
        return "ntdll sleep + spin";
    }
}

RawResult MeasureRaw(RawMethod method, const std::vector<int64_t> &moments) {
    RawJob job{method, &moments, {}};
    HANDLE thread = CreateThread(nullptr, 0, RawThread, &job, CREATE_SUSPENDED, nullptr);
    if (!thread) return job.result;
    // The playback thread runs at this priority when the settings say nothing.
    SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
    ResumeThread(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return job.result;
}

std::vector<int64_t> RawMoments(const std::vector<Expected> &schedule, int64_t span) {
    std::vector<int64_t> moments;
    for (const Expected &e : schedule)
        if (e.timeUs < span && (moments.empty() || moments.back() != e.timeUs)) moments.push_back(e.timeUs);
    return moments;
}

RawPass MeasureRawPass(const char *when, const std::vector<int64_t> &moments) {
    RawPass pass;
    std::printf("raw waiting %s the songs (%zu moments of the dense song, thread at highest priority;\n"
                "CPU as the system counts it, in steps of 10 ms under Wine):\n",
                when, moments.size());
    for (int m = 0; m < static_cast<int>(RawMethod::Count); ++m) {
        RawMethod method = static_cast<RawMethod>(m);
        pass.methods[m] = MeasureRaw(method, moments);
        if (pass.methods[m].available)
            std::printf("  %-22s p99 %6lld us  CPU %6.2f %%\n", MethodName(method),
                        static_cast<long long>(pass.methods[m].p99), pass.methods[m].cpuPercent);
        else
            std::printf("  %-22s not available on this system\n", MethodName(method));
    }
    return pass;
}

Reference BestRaw(const RawPass &before, const RawPass &after) {
    Reference best;
    for (int m = 0; m < static_cast<int>(RawMethod::Count); ++m) {
        for (const RawPass *pass : {&before, &after}) {
            const RawResult &r = pass->methods[m];
            if (!r.available || (best.found && r.p99 >= best.p99)) continue;
            best.found = true;
            best.p99 = r.p99;
            best.method = static_cast<RawMethod>(m);
            best.before = before.methods[m].p99;
            best.after = after.methods[m].p99;
        }
    }
    return best;
}

}  // namespace timing
