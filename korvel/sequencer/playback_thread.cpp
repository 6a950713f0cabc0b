#include "korvel/sequencer/playback_thread.h"
#include "korvel/system/clock.h"

#include <mmsystem.h>

#include <algorithm>
#include <new>

#include "utils/system_function.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace korvel {
namespace {

// ntdll's relative sleep in 100 ns units.  Where the system honours
// fractions of a millisecond with it, it is the cheapest precise sleep; the
// calibration finds out.
typedef LONG(NTAPI *DelayExecutionProc)(BOOLEAN alertable, PLARGE_INTEGER interval);

DelayExecutionProc FindDelayExecution() {
    return SystemFunction<DelayExecutionProc>(GetModuleHandleA("ntdll.dll"), "NtDelayExecution");
}

HANDLE CreateHighResolutionTimer() {
    return CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
}

LARGE_INTEGER RelativeDue(int64_t us) {
    LARGE_INTEGER due;
    due.QuadPart = -std::max<int64_t>(us, 1) * 10;
    return due;
}

// Microseconds since an origin on the clock.
class SongClock {
public:
    explicit SongClock(LONGLONG origin = 0) : origin_(origin) {}
    void SetOrigin(LONGLONG origin) { origin_ = origin; }
    int64_t NowUs() const { return clock::Microseconds(clock::Now() - origin_); }

private:
    LONGLONG origin_;
};

void TimerSleep(HANDLE timer, int64_t us) {
    LARGE_INTEGER due = RelativeDue(us);
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE))
        WaitForSingleObject(timer, static_cast<DWORD>(us / 1000 + 100));
}

// The playback thread's waits.  The timer exists only while a song plays:
// a high-resolution waitable timer where the system has one, otherwise a
// plain one with the system timer at 1 ms for as long as the song plays.
class SystemWaits : public WaitPrimitives {
public:
    explicit SystemWaits(PlaybackRun &run) : run_(run) {
        timer_.Reset(CreateHighResolutionTimer());
        if (!timer_) {
            timer_.Reset(CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS));
            periodHeld_ = timeBeginPeriod(1) == TIMERR_NOERROR;
        }
        fine_ = run.calibration.method;
        if (fine_ == FineSleepMethod::Delay) delay_ = FindDelayExecution();
        if ((fine_ == FineSleepMethod::Delay && !delay_) || (fine_ == FineSleepMethod::Timer && !timer_))
            fine_ = FineSleepMethod::None;
    }
    ~SystemWaits() override {
        if (periodHeld_) timeEndPeriod(1);
    }
    SystemWaits(const SystemWaits &) = delete;
    SystemWaits &operator=(const SystemWaits &) = delete;

    bool fineSleepAvailable() const { return fine_ != FineSleepMethod::None; }
    void StartClock(LONGLONG originQpc) { clock_.SetOrigin(originQpc); }

    int64_t NowUs() override { return clock_.NowUs(); }
    bool StopRequested() override { return run_.stopRequested.load(std::memory_order_relaxed); }

    bool CoarseWait(int64_t us) override {
        DWORD result;
        LARGE_INTEGER due = RelativeDue(us);
        if (timer_ && SetWaitableTimer(timer_.Get(), &due, 0, nullptr, nullptr, FALSE)) {
            HANDLE handles[2] = {run_.stopEvent.Get(), timer_.Get()};
            result = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        } else {
            result = WaitForSingleObject(run_.stopEvent.Get(), static_cast<DWORD>((us + 999) / 1000));
        }
        return result != WAIT_OBJECT_0;
    }

    void FineSleep(int64_t us) override {
        if (fine_ == FineSleepMethod::Delay) {
            LARGE_INTEGER interval = RelativeDue(us);
            delay_(FALSE, &interval);
        } else if (fine_ == FineSleepMethod::Timer) {
            TimerSleep(timer_.Get(), us);
        }
    }

    void SpinStep() override {
        for (int i = 0; i < 32; ++i) YieldProcessor();
    }

private:
    PlaybackRun &run_;
    SongClock clock_;
    KernelHandle timer_;
    bool periodHeld_ = false;
    FineSleepMethod fine_ = FineSleepMethod::None;
    DelayExecutionProc delay_ = nullptr;
};

// Hands the sequencer's messages to the output and keeps ActivityState's
// figures current.
class ThreadOutput : public SongOutput {
public:
    ThreadOutput(Output &output, Activity &activity) : output_(output), activity_(activity) {}

    bool Send(const uint8_t *message, size_t size, bool added) override { return output_.Send(message, size, added); }
    bool FadesByGain() const override { return output_.FadesByGain(); }
    bool Fade(double gain) override { return output_.Fade(gain); }

    void EndBatch(int soundingNotes, bool noteStarted, int64_t idleUs) override {
        output_.Flush(idleUs);
        activity_.soundingNotes.store(soundingNotes, std::memory_order_relaxed);
        if (noteStarted) {
            activity_.lastNoteOnQpc.store(clock::Now(), std::memory_order_relaxed);
        }
    }

private:
    Output &output_;
    Activity &activity_;
};

// What the system does for a thread that keeps time, held while a song plays.
//
// The Multimedia Class Scheduler Service runs an "Audio" thread at a
// priority that other busy programs do not hold back, and lowers it again
// when the thread leaves.  Windows 11 may run a process without a window in
// front with EcoQoS (slower processors) and ignore its timer resolution; the
// process opts out of both while it plays and gives the choice back to the
// system when it stops.  Both are looked up at run time: neither exists on
// every system the program runs on.
class TimingPrivileges {
public:
    explicit TimingPrivileges(bool joinMmcss) {
        SetThrottling(kThrottlingControlled);
        if (!joinMmcss) return;
        char path[MAX_PATH + 16];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return;
        lstrcatA(path, "\\avrt.dll");  // from the system folder only, never from beside the program
        avrt_ = LoadLibraryA(path);
        if (!avrt_) return;
        auto join = SystemFunction<JoinProc>(avrt_, "AvSetMmThreadCharacteristicsA");
        leave_ = SystemFunction<LeaveProc>(avrt_, "AvRevertMmThreadCharacteristics");
        DWORD taskIndex = 0;
        if (join && leave_) task_ = join("Audio", &taskIndex);
    }
    ~TimingPrivileges() {
        if (task_) leave_(task_);
        if (avrt_) FreeLibrary(avrt_);
        SetThrottling(0);
    }
    TimingPrivileges(const TimingPrivileges &) = delete;
    TimingPrivileges &operator=(const TimingPrivileges &) = delete;

private:
    typedef HANDLE(WINAPI *JoinProc)(LPCSTR task, LPDWORD taskIndex);
    typedef BOOL(WINAPI *LeaveProc)(HANDLE task);
    // SetProcessInformation with ProcessPowerThrottling (4) and
    // PROCESS_POWER_THROTTLING_STATE, which older headers lack.
    typedef BOOL(WINAPI *SetProcessInformationProc)(HANDLE process, int infoClass, LPVOID info, DWORD size);
    struct ThrottlingState {
        ULONG version;
        ULONG controlMask;
        ULONG stateMask;
    };
    static constexpr int kProcessPowerThrottling = 4;
    static constexpr ULONG kThrottlingVersion = 1;
    static constexpr ULONG kExecutionSpeed = 0x1;
    static constexpr ULONG kIgnoreTimerResolution = 0x4;
    static constexpr ULONG kThrottlingControlled = kExecutionSpeed | kIgnoreTimerResolution;

    // controlMask: the kinds of throttling this process decides itself, each
    // switched off (state 0); 0 leaves them all to the system again.
    static void SetThrottling(ULONG controlMask) {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        auto set = kernel ? SystemFunction<SetProcessInformationProc>(kernel, "SetProcessInformation") : nullptr;
        if (!set) return;
        ThrottlingState state = {kThrottlingVersion, controlMask, 0};
        // Windows 10 knows only the execution speed and refuses the timer flag.
        if (!set(GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof state) && controlMask) {
            state.controlMask = kExecutionSpeed;
            set(GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof state);
        }
    }

    HMODULE avrt_ = nullptr;
    LeaveProc leave_ = nullptr;
    HANDLE task_ = nullptr;
};

// Median lateness of a few sleeps of askUs, in microseconds.
template <typename SleepFn>
int64_t MedianLateness(SleepFn sleep, int64_t askUs) {
    SongClock clock(clock::Now());
    int64_t samples[7];
    for (int64_t &late : samples) {
        int64_t start = clock.NowUs();
        sleep(askUs);
        late = clock.NowUs() - start - askUs;
    }
    std::sort(samples, samples + 7);
    return samples[3];
}

}  // namespace

WaitCalibration CalibrateWaits() {
    // Sleeps shorter than a millisecond: the part of a wait that the coarse
    // timer cannot place exactly on every system.
    constexpr int64_t kProbeUs = 400;
    // A fine sleep later than this typically is not worth using.
    constexpr int64_t kUsableLatenessUs = 300;

    WaitCalibration result;
    int64_t best = kUsableLatenessUs;
    if (DelayExecutionProc delay = FindDelayExecution()) {
        int64_t late = MedianLateness(
            [delay](int64_t us) {
                LARGE_INTEGER interval = RelativeDue(us);
                delay(FALSE, &interval);
            },
            kProbeUs);
        if (late < best) {
            best = late;
            result.method = FineSleepMethod::Delay;
        }
    }
    if (KernelHandle timer{CreateHighResolutionTimer()}) {
        int64_t late = MedianLateness([&timer](int64_t us) { TimerSleep(timer.Get(), us); }, kProbeUs);
        timer.Close();
        if (late < best) {
            best = late;
            result.method = FineSleepMethod::Timer;
        }
    }
    result.tuning.fineSleepUsable = result.method != FineSleepMethod::None;
    result.tuning.fineLateUs = std::max<int64_t>(best, 0);
    return result;
}

DWORD WINAPI PlaybackThread(LPVOID parameter) {
    PlaybackRun &run = *static_cast<PlaybackRun *>(parameter);
    TimingPrivileges privileges(run.joinMmcss);
    SystemWaits waits(run);
    Waiter::Tuning tuning = run.calibration.tuning;
    tuning.fineSleepUsable = tuning.fineSleepUsable && waits.fineSleepAvailable();
    Waiter waiter(waits, tuning);
    ThreadOutput output(*run.output, *run.activity);

    // The song's clock starts once the thread is set up (the scheduler
    // service joined, a library loaded, the timer made: a millisecond or
    // more on a first start) and "start" is written, so that the song's
    // first events do not come late against the rest.  StartSong is woken
    // before the clock starts: waking it is a system call, which would
    // otherwise make every event of the song late by its cost.
    SetEvent(run.setUpEvent.Get());
    waits.StartClock(run.output->Start(Output::kStartNow));
    run.started.store(true);

    run.output->WatchStop(run.stopEvent.Get());
    PlayOutcome outcome;
    try {
        outcome = PlaySong(*run.song, waiter, waits, output, run.loop);
    } catch (const std::bad_alloc &) {
        // The log could not hold a huge message.  The song is given up as
        // if it had ended, so that the player moves on.
        outcome = PlayOutcome::Ended;
    }
    run.output->WatchStop(nullptr);  // the event goes with the run

    run.activity->soundingNotes.store(0);
    run.activity->lastNoteOnQpc.store(0);
    if (outcome == PlayOutcome::Stopped) return static_cast<DWORD>(SongExit::Stopped);
    // The event goes out before the handler can run.
    if (outcome == PlayOutcome::Ended) run.output->SongEvent("end");
    PostMessageA(run.notifyWindow, run.endMessage, run.generation, 0);
    return static_cast<DWORD>(outcome == PlayOutcome::Ended ? SongExit::Ended : SongExit::Failed);
}

}  // namespace korvel
