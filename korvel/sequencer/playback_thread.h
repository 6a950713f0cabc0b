// The playback thread: waits with the system's timers and sends each event
// of the song at its time through the sequencer.
#ifndef TIVORN_KORVEL_PLAYBACK_THREAD_H
#define TIVORN_KORVEL_PLAYBACK_THREAD_H

#include <windows.h>

#include <atomic>
#include <memory>

#include "korvel/output/output.h"
#include "korvel/sequencer/sequencer.h"
#include "korvel/song/song.h"
#include "utils/handles.h"

namespace korvel {

// How the fine part of a wait is slept on this system, found by measuring.
enum class FineSleepMethod { None, Delay, Timer };

struct WaitCalibration {
    FineSleepMethod method = FineSleepMethod::None;
    Waiter::Tuning tuning;
};

// Measures the short sleeps the system offers (a few milliseconds).
WaitCalibration CalibrateWaits();

// What ActivityState reads while the thread plays.
struct Activity {
    std::atomic<int> soundingNotes{0};
    std::atomic<LONGLONG> lastNoteOnQpc{0};  // 0: none since the song started
};

// One song's run.  The thread owns nothing of it: StopSong waits for the
// thread before the run is released.
struct PlaybackRun {
    std::shared_ptr<const Song> song;
    Output *output = nullptr;
    Activity *activity = nullptr;
    KernelHandle stopEvent;         // manual reset; set with stopRequested
    KernelHandle setUpEvent;        // set once the thread is ready to write "start"
    std::atomic<bool> started{false};  // "start" is written; the song's clock runs
    std::atomic<bool> stopRequested{false};
    WaitCalibration calibration;
    LoopPlay loop = LoopPlay::TwoPassesAndFade;
    bool joinMmcss = false;         // the thread's priority is the system's to manage
    HWND notifyWindow = nullptr;    // gets endMessage when the song ended by itself or failed
    UINT endMessage = 0;
    WPARAM generation = 0;          // passed back with endMessage
};

// The playback thread's exit codes.
enum class SongExit : DWORD {
    Stopped = 0,
    Ended = 1,   // by itself
    Failed = 2,  // the output was lost (see Output::LostBecause)
};

// Thread procedure; the parameter is the PlaybackRun.
DWORD WINAPI PlaybackThread(LPVOID run);

}  // namespace korvel

#endif
