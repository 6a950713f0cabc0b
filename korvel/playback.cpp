// The playback operations of KORVEL.dll: opening and playing songs, the end
// handler, the output device and the errors the user is told about.
//
// Everything here runs on the thread that called EngineInit, except the
// playback thread (playback_thread.cpp), which only reads its PlaybackRun
// and reports the end of a song with a message to the hidden window.
#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/korvel.h"
#include "engine/registry_names.h"
#include "engine/settings_block.h"
#include "korvel/audio_device.h"
#include "korvel/midi_output.h"
#include "korvel/module.h"
#include "korvel/output_fallback.h"
#include "korvel/play_error_text.h"
#include "korvel/playback_thread.h"
#include "korvel/settings_key.h"
#include "korvel/smf_reader.h"
#include "korvel/switching_output.h"
#include "korvel/synth_output.h"
#include "korvel/title_export.h"
#include "utils/message_box.h"
#include "utils/suspend_resume_notice.h"

using namespace korvel;

namespace {

const char kWindowClass[] = "KorvelPlaybackWindow";
const UINT kSongEndedMessage = WM_APP + 1;
const UINT kIdleMessage = WM_APP + 2;
const UINT kFontNoticeMessage = WM_APP + 3;

// Why the last OpenSong or StartSong failed; ReportPlayError explains it.
enum class PlayError {
    None,
    FileUnreadable,   // missing, locked, not a file
    FileNotPlayable,  // not MIDI, damaged beyond use, too large
    NothingOpened,    // StartSong without a song
    NotInitialised,
    Output,           // see outputError
    ThreadFailed,
};

struct PlaybackState {
    bool initialised = false;
    HWND window = nullptr;
    SuspendResumeNotice powerNotice;  // for window
    WaitCalibration calibration;

    // The song of the last successful OpenSong.  Opened without reading at
    // once, the file's bytes wait in fileBytes until StartSong decodes them.
    std::shared_ptr<const Song> song;
    std::vector<uint8_t> fileBytes;

    PlayError error = PlayError::None;
    OutputError outputError = OutputError::None;
    UINT systemError = 0;
    std::string errorDetail;

    std::unique_ptr<SwitchingOutput> output;
    OpenedOutput opened;        // what output plays for, while there is one
    SoundFontHolder fonts;      // the synthesizer's, while it is the output chosen
    // Why the SoundFont chosen is not used, told once: in a box of its own
    // (posted) while the mapper plays instead, else with ReportPlayError.
    std::string fontNotice;
    // Read by OpenSong for the StartSong that follows it.
    korvel::SongSettings settings;
    bool settingsRead = false;
    bool reopenOutput = false;  // the machine slept: the device may have changed
    bool closeWhenIdle = false;  // nothing plays: let the device go unless a song starts first
    bool idlePosted = false;     // kIdleMessage is on its way
    int lostInARow = 0;         // songs given up in a row because the output was lost
    unsigned lostBecause = 0;   // the system's result that lost it the last time

    // The song that plays, while its thread runs.
    HANDLE thread = nullptr;
    std::unique_ptr<PlaybackRun> run;
    KorvelEndHandler onEnd = nullptr;
    WPARAM generation = 0;  // changes with every start and stop
    Activity activity;

    HWND owner = nullptr;
    int ownerFlag = 0;

    // Where the settings are read (SetSettingsKey); the hook's thread reads it too.
    korvel::SettingsKeyChoice settingsKey;
};

PlaybackState g_playback;

void Fail(PlayError error) { g_playback.error = error; }

}  // namespace

std::string korvel::SettingsKey() { return g_playback.settingsKey.Get(); }

std::string korvel::OpenedSongTitle() { return g_playback.song ? g_playback.song->title : std::string(); }

extern "C" void SetSettingsKey(const char *programKey) { g_playback.settingsKey.Set(programKey); }

namespace {

// Reads the whole file, or says why not.
PlayError ReadSongFile(const char *path, std::vector<uint8_t> &bytes) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return PlayError::FileUnreadable;
    PlayError result = PlayError::None;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        result = PlayError::FileUnreadable;
    } else if (size.QuadPart > static_cast<LONGLONG>(kMaxSongFileBytes) || size.QuadPart == 0) {
        result = PlayError::FileNotPlayable;
    } else {
        try {
            bytes.resize(static_cast<size_t>(size.QuadPart));
            DWORD read = 0;
            if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
                result = PlayError::FileUnreadable;
            else
                bytes.resize(read);  // a file that shrank meanwhile plays what was there
        } catch (const std::bad_alloc &) {
            result = PlayError::FileNotPlayable;
        }
    }
    CloseHandle(file);
    return result;
}

// A file whose decoded events do not fit in memory is as unplayable as a
// damaged one.
PlayError Decode(const std::vector<uint8_t> &bytes, std::shared_ptr<const Song> &out) {
    try {
        auto song = std::make_shared<Song>();
        if (ReadSmf(bytes.data(), bytes.size(), *song) != SmfError::None) return PlayError::FileNotPlayable;
        out = std::move(song);
        return PlayError::None;
    } catch (const std::bad_alloc &) {
        return PlayError::FileNotPlayable;
    }
}

// What plays now; a SoundFont is let go once another output is chosen.
void NoteOpened(const OpenedOutput &opened) {
    g_playback.opened = opened;
    if (opened.setting.kind != OutputSetting::Synth) g_playback.fonts.Release();
}

// The log output takes the song markers from OpenSong on, before any
// StartSong has opened an output; a device waits for StartSong.
void OpenLogForMarkers() {
    if (g_playback.output) return;
    const OutputSetting &setting = g_playback.settings.output;
    if (setting.kind != OutputSetting::Log) return;
    OpenResult opened = OpenOutput(setting, MapperFallback::Allowed, g_playback.fonts);
    if (!opened.output) return;
    g_playback.output = std::make_unique<SwitchingOutput>(std::move(opened.output));
    NoteOpened({setting, false});
}

// The SoundFont of the setting could not be used, and the user has not been
// told yet: while the mapper plays, a box of its own says so once the caller
// is back in its message loop (StartSong must not stop in a modal box); when
// nothing plays, ReportPlayError says it with the reason.
void TellFontProblem(const OutputSetting &setting, const OpenResult &result) {
    if (!result.fontProblemIsNew) return;
    g_playback.fontNotice = FontNoticeText(setting.soundFontPath, result.fontProblem);
    if (result.output && !PostMessageA(g_playback.window, kFontNoticeMessage, 0, 0)) g_playback.fontNotice.clear();
}

void OnFontNotice() {
    if (g_playback.fontNotice.empty()) return;  // told with a failure meanwhile
    std::string text;
    text.swap(g_playback.fontNotice);
    ShowMessage(nullptr, text.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

// The output the "Output" value names now, or null with the error noted;
// *opened tells what it plays for.
std::unique_ptr<Output> OpenChosenOutput(const OutputSetting &setting, OpenedOutput *opened) {
    OpenResult result = OpenOutput(setting, MapperFallback::Allowed, g_playback.fonts);
    TellFontProblem(setting, result);
    if (!result.output) {
        g_playback.error = PlayError::Output;
        g_playback.outputError = result.error;
        g_playback.systemError = result.systemError;
        g_playback.errorDetail = setting.kind == OutputSetting::Log ? setting.logPath : std::string();
    }
    *opened = {setting, result.mapperInstead};
    return std::move(result.output);
}

bool EnsureOutput(const OutputSetting &setting) {
    if (g_playback.output) return true;
    OpenedOutput opened;
    std::unique_ptr<Output> output = OpenChosenOutput(setting, &opened);
    if (!output) return false;
    g_playback.output = std::make_unique<SwitchingOutput>(std::move(output));
    NoteOpened(opened);
    return true;
}

bool CloseOutput() {
    g_playback.closeWhenIdle = false;
    if (!g_playback.output) return true;
    bool closed = g_playback.output->Close();
    g_playback.output.reset();
    g_playback.fonts.LetFileGo();  // while nothing plays, the SoundFont may be replaced
    return closed;
}

// The mapper plays because the chosen device was not there when the output
// was opened (slow to come back after a wake, or at logon): at each song
// start it is looked for again, and played on once it opens.
void ReturnToChosenDevice(const OutputSetting &wanted) {
    if (!g_playback.output || !g_playback.opened.mapperInstead) return;
    if (NextOutputStep(g_playback.opened, wanted, OutputDeviceNames()) == OutputStep::Keep) return;
    OpenResult result = OpenOutput(wanted, MapperFallback::None, g_playback.fonts);
    if (!result.output) return;  // still the mapper; the next song tries again
    CloseOutput();
    g_playback.output = std::make_unique<SwitchingOutput>(std::move(result.output));
    NoteOpened({wanted, false});
}

// The device was unplugged, or its driver went away, while a song played.
// Its handle is given back now, once; the next StartSong opens the output
// again from the setting, on the MIDI mapper when the device is gone.
void OnOutputLost() {
    g_playback.lostBecause = g_playback.output ? g_playback.output->LostBecause() : 0;
    ++g_playback.lostInARow;
    CloseOutput();
}

// Waits for the playback thread and releases its run.  Returns the thread's
// exit code (kSongStopped, kSongEnded or kSongFailed).
DWORD JoinThread() {
    DWORD exitCode = kSongStopped;
    WaitForSingleObject(g_playback.thread, INFINITE);
    GetExitCodeThread(g_playback.thread, &exitCode);
    CloseHandle(g_playback.thread);
    g_playback.thread = nullptr;
    if (g_playback.run) {
        CloseHandle(g_playback.run->stopEvent);
        CloseHandle(g_playback.run->setUpEvent);
    }
    g_playback.run.reset();
    if (exitCode == kSongFailed)
        OnOutputLost();
    else
        g_playback.lostInARow = 0;
    return exitCode;
}

// Many devices (USB interfaces, hardware ports) take one program at a time,
// so the output is let go whenever playback stops, for others to use.  Not
// at once: a stop that the next song follows (the player moving on, a
// preview) keeps it open, without the device's reset and the gap of
// reopening it.  The close comes once the caller's message is handled, when
// the thread next looks at its queue.
void CloseOutputWhenIdle() {
    g_playback.closeWhenIdle = true;
    if (g_playback.idlePosted) return;
    g_playback.idlePosted = PostMessageA(g_playback.window, kIdleMessage, 0, 0) != FALSE;
    if (!g_playback.idlePosted) CloseOutput();  // a full queue: at once rather than never
}

void OnIdle() {
    g_playback.idlePosted = false;
    if (g_playback.closeWhenIdle && !g_playback.thread) CloseOutput();
}

// Stops the song without calling its handler; the thread silences every
// channel the song used before it ends.
void StopPlaying() {
    ++g_playback.generation;  // an end already on its way is dropped
    g_playback.onEnd = nullptr;
    if (g_playback.thread) {
        g_playback.run->stopRequested.store(true);
        SetEvent(g_playback.run->stopEvent);
        if (JoinThread() == kSongStopped && g_playback.output) g_playback.output->Mark("stop");
    }
    // Only now: the thread no longer uses the output, should it close at once.
    if (g_playback.output) CloseOutputWhenIdle();
}

void OnSongEnded(WPARAM generation) {
    if (generation != g_playback.generation || !g_playback.thread) return;  // stopped meanwhile
    bool ended = JoinThread() == kSongEnded;
    KorvelEndHandler onEnd = g_playback.onEnd;
    g_playback.onEnd = nullptr;
    ++g_playback.generation;
    if (onEnd) onEnd(ended ? 1 : 0);
}

// The device may be gone or reset after the machine sleeps; it is closed
// now and opened again by the next StartSong.
void OnSuspend() {
    StopPlaying();
    CloseOutput();
}

// A resume whose suspend went unseen (the notice is not guaranteed) still
// gets a freshly opened device at the next start.
void OnResume() { g_playback.reopenOutput = true; }

LRESULT CALLBACK PlaybackWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kSongEndedMessage:
        OnSongEnded(wParam);
        return 0;
    case kIdleMessage:
        OnIdle();
        return 0;
    case kFontNoticeMessage:
        OnFontNotice();
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND)
            OnSuspend();
        else if (wParam == PBT_APMRESUMESUSPEND || wParam == PBT_APMRESUMEAUTOMATIC)
            OnResume();
        return TRUE;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// A hidden top-level window (not message-only, which would miss the power
// broadcasts); it has no title, so it is never taken for the program's.
HWND CreatePlaybackWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlaybackWindowProc;
    windowClass.hInstance = g_korvelModule;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           g_korvelModule, nullptr);
}

// The lowest priority whose thread joins the scheduler service: "通常",
// which setup writes.  Below it the user asked for playback to give way to
// other work, which the service's lift would undo.
constexpr int kLowestMmcssPriority = 2;

bool StartThread(KorvelEndHandler onEnd, int priority) {
    std::unique_ptr<PlaybackRun> run(new (std::nothrow) PlaybackRun);
    if (!run) return false;
    run->song = g_playback.song;
    run->output = g_playback.output.get();
    run->activity = &g_playback.activity;
    run->calibration = g_playback.calibration;
    run->loop = g_playback.settings.loop;
    run->notifyWindow = g_playback.window;
    run->endMessage = kSongEndedMessage;
    run->generation = ++g_playback.generation;
    run->stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    run->setUpEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto closeEvents = [&run] {
        if (run->stopEvent) CloseHandle(run->stopEvent);
        if (run->setUpEvent) CloseHandle(run->setUpEvent);
    };
    if (!run->stopEvent || !run->setUpEvent) {
        closeEvents();
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, PlaybackThread, run.get(), CREATE_SUSPENDED, nullptr);
    if (!thread) {
        closeEvents();
        return false;
    }
    static const int kPriorities[kPriorityCount] = {THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_ABOVE_NORMAL,
                                                    THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_BELOW_NORMAL,
                                                    THREAD_PRIORITY_LOWEST};
    SetThreadPriority(thread, kPriorities[priority]);
    run->joinMmcss = priority <= kLowestMmcssPriority;
    g_playback.activity.soundingNotes.store(0);
    g_playback.activity.lastNoteOnQpc.store(0);
    g_playback.onEnd = onEnd;
    g_playback.thread = thread;
    g_playback.run = std::move(run);
    g_playback.closeWhenIdle = false;
    ResumeThread(thread);
    // The thread takes the song's time origin when it is set up and writes
    // "start" then; StartSong returns after it, as it always has, so that
    // whatever follows (a stop, a switch of output, a reader of the log)
    // comes after the start.  Only the write is left once the thread says
    // it is set up.
    PlaybackRun &current = *g_playback.run;
    HANDLE setUp[2] = {current.setUpEvent, thread};
    if (WaitForMultipleObjects(2, setUp, FALSE, INFINITE) == WAIT_OBJECT_0)
        while (!current.started.load() && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) SwitchToThread();
    return true;
}

}  // namespace

extern "C" {

int EngineInit(void) {
    if (g_playback.initialised) return 1;
    g_playback.window = CreatePlaybackWindow();
    if (!g_playback.window) return 0;
    g_playback.powerNotice.Register(g_playback.window);
    g_playback.calibration = CalibrateWaits();
    g_playback.initialised = true;
    return 1;
}

int EngineClose(void) {
    if (!g_playback.initialised) return 1;
    StopPlaying();
    bool closed = CloseOutput();
    g_playback.powerNotice.Unregister();
    DestroyWindow(g_playback.window);  // and with it a kIdleMessage on its way
    g_playback.window = nullptr;
    g_playback.idlePosted = false;
    g_playback.song.reset();
    g_playback.fileBytes.clear();
    g_playback.fonts.Release();
    g_playback.fontNotice.clear();
    g_playback.initialised = false;
    return closed ? 1 : 0;
}

int OpenSong(const char *path, int readAtOnce) {
    g_playback.error = PlayError::None;
    g_playback.song.reset();
    g_playback.fileBytes.clear();
    if (!path || !*path || std::strlen(path) >= KORVEL_PATH_BUFFER) {
        Fail(PlayError::FileUnreadable);
        return 0;
    }
    std::vector<uint8_t> bytes;
    PlayError error = ReadSongFile(path, bytes);
    if (error == PlayError::None) {
        if (readAtOnce)
            error = Decode(bytes, g_playback.song);
        else if (CheckSmfHeader(bytes.data(), bytes.size()) != SmfError::None)
            error = PlayError::FileNotPlayable;
        else
            g_playback.fileBytes = std::move(bytes);
    }
    if (error != PlayError::None) {
        Fail(error);
        return 0;
    }
    g_playback.settings = korvel::ReadSongSettings();
    g_playback.settingsRead = true;
    OpenLogForMarkers();
    if (g_playback.output) {
        g_playback.output->Mark("open", path);
        if (!g_playback.thread) CloseOutputWhenIdle();  // kept if StartSong follows
    }
    return 1;
}

int StartSong(KorvelEndHandler onEnd) {
    // The latency of the song's first sample counts from here.
    g_playback.fonts.figures.songRequestedQpc = korvel::QpcNow();
    g_playback.error = PlayError::None;
    // Once per start: as OpenSong read them, or afresh for a song started again.
    if (!g_playback.settingsRead) g_playback.settings = korvel::ReadSongSettings();
    g_playback.settingsRead = false;
    const korvel::SongSettings &settings = g_playback.settings;
    if (!g_playback.initialised) {
        Fail(PlayError::NotInitialised);
        return 0;
    }
    StopPlaying();
    if (g_playback.reopenOutput) {
        CloseOutput();
        g_playback.reopenOutput = false;
    }
    if (g_playback.lostInARow >= 2) {
        // The output opened again after a loss was lost at once as well:
        // the user is told, rather than the player skipping through every
        // song without a sound.  The next start tries afresh.
        g_playback.lostInARow = 0;
        g_playback.error = PlayError::Output;
        g_playback.outputError = LostOutputError(g_playback.lostBecause);
        g_playback.systemError = g_playback.lostBecause;
        g_playback.errorDetail.clear();
        return 0;
    }
    if (!g_playback.song && !g_playback.fileBytes.empty()) {
        // Opened without reading at once: the tracks are decoded now.
        std::vector<uint8_t> bytes = std::move(g_playback.fileBytes);
        g_playback.fileBytes.clear();
        PlayError error = Decode(bytes, g_playback.song);
        if (error != PlayError::None) {
            Fail(error);
            return 0;
        }
    }
    if (!g_playback.song) {
        Fail(PlayError::NothingOpened);
        return 0;
    }
    ReturnToChosenDevice(settings.output);
    if (!EnsureOutput(settings.output)) return 0;
    if (!StartThread(onEnd, settings.priority)) {
        Fail(PlayError::ThreadFailed);
        CloseOutputWhenIdle();
        return 0;
    }
    return 1;
}

void StopSong(void) { StopPlaying(); }

int SwitchOutput(void) {
    g_playback.error = PlayError::None;
    if (!g_playback.thread) {
        CloseOutput();  // the next StartSong opens the new one
        return 1;
    }
    // The item already chosen retries it: a device the mapper stands in for
    // is taken if it is there; otherwise nothing changes.
    OutputSetting wanted = ReadOutputSetting(korvel::EngineKeyPath().c_str());
    if (NextOutputStep(g_playback.opened, wanted, OutputDeviceNames()) == OutputStep::Keep) return 1;
    // Opened before the old one is let go, so that a failure changes nothing.
    OpenedOutput opened;
    std::unique_ptr<Output> next = OpenChosenOutput(wanted, &opened);
    if (!next) return 0;
    g_playback.output->Replace(std::move(next));
    NoteOpened(opened);
    return 1;
}

int ActivityState(void) {
    if (!g_playback.thread) return 0;
    if (g_playback.activity.soundingNotes.load(std::memory_order_relaxed) > 0) return 1;
    LONGLONG lastNoteOn = g_playback.activity.lastNoteOnQpc.load(std::memory_order_relaxed);
    if (!lastNoteOn) return 0;
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart - lastNoteOn < frequency.QuadPart / 2 ? 1 : 0;
}

HWND PlaybackOwner(void) { return g_playback.owner; }

void SetPlaybackOwner(HWND owner, int flag) {
    g_playback.owner = owner;
    g_playback.ownerFlag = flag;
}

int ReportPlayError(int preview, HWND owner) {
    (void)preview;  // a preview's own message follows a nonzero answer; the device's message is the same
    char text[1280];
    switch (g_playback.error) {
    case PlayError::Output: {
        std::string font;
        font.swap(g_playback.fontNotice);  // told here rather than in a box of its own
        FormatOutputError(text, sizeof text, font, g_playback.outputError, g_playback.systemError,
                          g_playback.errorDetail);
        break;
    }
    case PlayError::ThreadFailed:
        std::snprintf(text, sizeof text, "%s", "再生を開始できませんでした。\nシステムのリソースが不足しています。");
        break;
    case PlayError::NotInitialised:
        std::snprintf(text, sizeof text, "%s", "再生の準備ができていないため、再生を開始できませんでした。");
        break;
    default:
        return 1;  // only this file is at fault
    }
    ShowMessage(owner, text, MB_OK | MB_ICONERROR | ((preview & KORVEL_REPORT_FOREGROUND) ? MB_SETFOREGROUND : 0));
    return 0;
}

}  // extern "C"

extern "C" int SynthOutputStats(struct KorvelSynthStats *stats) {
    // A caller built before the last fields were added gets those it knows.
    constexpr DWORD kFirstSize = offsetof(KorvelSynthStats, scheduleDelayUs);
    if (!stats || stats->size < kFirstSize) return 0;
    KorvelSynthStats figures = {};
    if (!g_playback.fonts.figures.Read(figures)) return 0;
    DWORD size = stats->size < sizeof figures ? stats->size : static_cast<DWORD>(sizeof figures);
    figures.size = stats->size;
    std::memcpy(stats, &figures, size);
    return 1;
}
