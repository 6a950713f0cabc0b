#include "korvel/dll/playback_state.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/registry_names.h"
#include "engine/settings_block.h"
#include "korvel/dll/output_factory.h"
#include "korvel/output/device_output.h"
#include "korvel/output/output_fallback.h"
#include "korvel/output/play_error_text.h"
#include "korvel/song/smf_reader.h"
#include "korvel/system/clock.h"
#include "korvel/system/module.h"
#include "korvel/system/private_messages.h"
#include "utils/handles.h"
#include "utils/message_box.h"

namespace korvel {
namespace {

const char kWindowClass[] = "KorvelPlaybackWindow";

// Reads the whole file, or says why not.
PlayError ReadSongFile(const char *path, std::vector<uint8_t> &bytes) {
    KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return PlayError::FileUnreadable;
    PlayError result = PlayError::None;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size)) {
        result = PlayError::FileUnreadable;
    } else if (size.QuadPart > static_cast<LONGLONG>(kMaxSongFileBytes) || size.QuadPart == 0) {
        result = PlayError::FileNotPlayable;
    } else {
        try {
            bytes.resize(static_cast<size_t>(size.QuadPart));
            DWORD read = 0;
            if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
                result = PlayError::FileUnreadable;
            else
                bytes.resize(read);  // a file that shrank meanwhile plays what was there
        } catch (const std::bad_alloc &) {
            result = PlayError::FileNotPlayable;
        }
    }
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

}  // namespace

// What plays now; a SoundFont is let go once another output is chosen.
void PlaybackState::NoteOpened(const OpenedOutput &opened) {
    opened_ = opened;
    if (opened.setting.kind != OutputSetting::Synth) fonts_.Release();
}

// The log output takes the song events from OpenSong on, before any
// StartSong has opened an output; a device waits for StartSong.
void PlaybackState::OpenLogForSongEvents() {
    if (output_) return;
    const OutputSetting &setting = settings_.output;
    if (setting.kind != OutputSetting::Log) return;
    OpenResult opened = OpenOutput(setting, MapperFallback::Allowed, fonts_);
    if (!opened.output) return;
    output_ = std::make_unique<SwitchingOutput>(std::move(opened.output));
    NoteOpened({setting, false});
}

// The SoundFont of the setting could not be used, and the user has not been
// told yet: while the mapper plays, a box of its own says so once the caller
// is back in its message loop (StartSong must not stop in a modal box); when
// nothing plays, ReportPlayError says it with the reason.
void PlaybackState::TellFontProblem(const OutputSetting &setting, const OpenResult &result) {
    if (!result.fontProblemIsNew) return;
    fontNotice_ = FontNoticeText(setting.soundFontPath, result.fontProblem);
    if (result.output && !PostMessageA(window_, kMsgFontNotice, 0, 0)) fontNotice_.clear();
}

void PlaybackState::OnFontNotice() {
    if (fontNotice_.empty()) return;  // told with a failure meanwhile
    std::string text;
    text.swap(fontNotice_);
    ShowMessage(nullptr, text.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

// The output the "Output" value names now, or null with the error noted;
// *opened tells what it plays for.
std::unique_ptr<Output> PlaybackState::OpenChosenOutput(const OutputSetting &setting, OpenedOutput *opened) {
    OpenResult result = OpenOutput(setting, MapperFallback::Allowed, fonts_);
    TellFontProblem(setting, result);
    if (!result.output) {
        error_ = PlayError::Output;
        outputError_ = result.error;
        systemError_ = result.systemError;
        errorDetail_ = setting.kind == OutputSetting::Log ? setting.logPath : std::string();
    }
    *opened = {setting, result.mapperInstead};
    return std::move(result.output);
}

bool PlaybackState::EnsureOutput(const OutputSetting &setting) {
    if (output_) return true;
    OpenedOutput opened;
    std::unique_ptr<Output> output = OpenChosenOutput(setting, &opened);
    if (!output) return false;
    output_ = std::make_unique<SwitchingOutput>(std::move(output));
    NoteOpened(opened);
    return true;
}

bool PlaybackState::CloseOutput() {
    closeWhenIdle_ = false;
    if (!output_) return true;
    bool closed = output_->Close();
    output_.reset();
    fonts_.LetFileGo();  // while nothing plays, the SoundFont may be replaced
    return closed;
}

// The mapper plays because the chosen device was not there when the output
// was opened (slow to come back after a wake, or at logon): at each song
// start it is looked for again, and played on once it opens.
void PlaybackState::ReturnToChosenDevice(const OutputSetting &wanted) {
    if (!output_ || !opened_.mapperInstead) return;
    if (NextOutputStep(opened_, wanted, OutputDeviceNames()) == OutputStep::Keep) return;
    OpenResult result = OpenOutput(wanted, MapperFallback::None, fonts_);
    if (!result.output) return;  // still the mapper; the next song tries again
    CloseOutput();
    output_ = std::make_unique<SwitchingOutput>(std::move(result.output));
    NoteOpened({wanted, false});
}

// The device was unplugged, or its driver went away, while a song played.
// Its handle is given back now, once; the next StartSong opens the output
// again from the setting, on the MIDI mapper when the device is gone.
void PlaybackState::OnOutputLost() {
    lostBecause_ = output_ ? output_->LostBecause() : 0;
    ++lostInARow_;
    CloseOutput();
}

// Waits for the playback thread and releases its run.  Returns the thread's
// exit code.
SongExit PlaybackState::JoinThread() {
    DWORD exitCode = static_cast<DWORD>(SongExit::Stopped);
    WaitForSingleObject(thread_.Get(), INFINITE);
    GetExitCodeThread(thread_.Get(), &exitCode);
    thread_.Close();
    run_.reset();  // and its events
    SongExit exit = static_cast<SongExit>(exitCode);
    if (exit == SongExit::Failed)
        OnOutputLost();
    else
        lostInARow_ = 0;
    return exit;
}

// Many devices (USB interfaces, hardware ports) take one program at a time,
// so the output is let go whenever playback stops, for others to use.  Not
// at once: a stop that the next song follows (the player moving on, a
// preview) keeps it open, without the device's reset and the gap of
// reopening it.  The close comes once the caller's message is handled, when
// the thread next looks at its queue.
void PlaybackState::CloseOutputWhenIdle() {
    closeWhenIdle_ = true;
    if (idlePosted_) return;
    idlePosted_ = PostMessageA(window_, kMsgIdle, 0, 0) != FALSE;
    if (!idlePosted_) CloseOutput();  // a full queue: at once rather than never
}

void PlaybackState::OnIdle() {
    idlePosted_ = false;
    if (closeWhenIdle_ && !thread_) CloseOutput();
}

// Stops the song without calling its handler; the thread silences every
// channel the song used before it ends.
void PlaybackState::StopPlaying() {
    ++generation_;  // an end already on its way is dropped
    onEnd_ = nullptr;
    if (thread_) {
        run_->stopRequested.store(true);
        SetEvent(run_->stopEvent.Get());
        if (JoinThread() == SongExit::Stopped && output_) output_->SongEvent("stop");
    }
    // Only now: the thread no longer uses the output, should it close at once.
    if (output_) CloseOutputWhenIdle();
}

void PlaybackState::OnSongEnded(WPARAM generation) {
    if (generation != generation_ || !thread_) return;  // stopped meanwhile
    bool ended = JoinThread() == SongExit::Ended;
    KorvelEndHandler onEnd = onEnd_;
    onEnd_ = nullptr;
    ++generation_;
    if (onEnd) onEnd(ended ? 1 : 0);
}

// The device may be gone or reset after the machine sleeps; it is closed
// now and opened again by the next StartSong.
void PlaybackState::OnSuspend() {
    StopPlaying();
    CloseOutput();
}

// A resume whose suspend went unseen (the notice is not guaranteed) still
// gets a freshly opened device at the next start.
void PlaybackState::OnResume() { reopenOutput_ = true; }

// The window's state is the playback state that made it, handed over at
// its creation.
LRESULT CALLBACK PlaybackState::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *create = reinterpret_cast<CREATESTRUCTA *>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *self = reinterpret_cast<PlaybackState *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case kMsgSongEnded:
        self->OnSongEnded(wParam);
        return 0;
    case kMsgIdle:
        self->OnIdle();
        return 0;
    case kMsgFontNotice:
        self->OnFontNotice();
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND)
            self->OnSuspend();
        else if (wParam == PBT_APMRESUMESUSPEND || wParam == PBT_APMRESUMEAUTOMATIC)
            self->OnResume();
        return TRUE;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// A hidden top-level window (not message-only, which would miss the power
// broadcasts); it has no title, so it is never taken for the program's.
HWND PlaybackState::CreatePlaybackWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = korvel::ThisModule();
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           korvel::ThisModule(), this);
}

// The lowest priority whose thread joins the scheduler service: "通常",
// which setup writes.  Below it the user asked for playback to give way to
// other work, which the service's lift would undo.
constexpr int kLowestMmcssPriority = 2;

bool PlaybackState::StartThread(KorvelEndHandler onEnd, int priority) {
    std::unique_ptr<PlaybackRun> run(new (std::nothrow) PlaybackRun);
    if (!run) return false;
    run->song = song_;
    run->output = output_.get();
    run->activity = &activity_;
    run->calibration = calibration_;
    run->loop = settings_.loop;
    run->notifyWindow = window_;
    run->endMessage = kMsgSongEnded;
    run->generation = ++generation_;
    run->stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    run->setUpEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!run->stopEvent || !run->setUpEvent) return false;
    KernelHandle thread(CreateThread(nullptr, 0, PlaybackThread, run.get(), CREATE_SUSPENDED, nullptr));
    if (!thread) return false;
    static const int kPriorities[kPriorityCount] = {THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_ABOVE_NORMAL,
                                                    THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_BELOW_NORMAL,
                                                    THREAD_PRIORITY_LOWEST};
    SetThreadPriority(thread.Get(), kPriorities[priority]);
    run->joinMmcss = priority <= kLowestMmcssPriority;
    activity_.soundingNotes.store(0);
    activity_.lastNoteOnQpc.store(0);
    onEnd_ = onEnd;
    thread_ = std::move(thread);
    run_ = std::move(run);
    closeWhenIdle_ = false;
    ResumeThread(thread_.Get());
    // The thread takes the song's time origin when it is set up and writes
    // "start" then; StartSong returns after it, as it always has, so that
    // whatever follows (a stop, a switch of output, a reader of the log)
    // comes after the start.  Only the write is left once the thread says
    // it is set up.
    PlaybackRun &current = *run_;
    HANDLE setUp[2] = {current.setUpEvent.Get(), thread_.Get()};
    if (WaitForMultipleObjects(2, setUp, FALSE, INFINITE) == WAIT_OBJECT_0)
        while (!current.started.load() && WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT) SwitchToThread();
    return true;
}

int PlaybackState::Init() {
    if (initialised_) return 1;
    window_ = CreatePlaybackWindow();
    if (!window_) return 0;
    powerNotice_.Register(window_);
    calibration_ = CalibrateWaits();
    initialised_ = true;
    return 1;
}

int PlaybackState::Close() {
    if (!initialised_) return 1;
    StopPlaying();
    bool closed = CloseOutput();
    powerNotice_.Unregister();
    DestroyWindow(window_);  // and with it a kMsgIdle on its way
    window_ = nullptr;
    idlePosted_ = false;
    song_.reset();
    fileBytes_.clear();
    fonts_.Release();
    fontNotice_.clear();
    initialised_ = false;
    return closed ? 1 : 0;
}

int PlaybackState::OpenSong(const char *path, int readAtOnce) {
    error_ = PlayError::None;
    song_.reset();
    fileBytes_.clear();
    if (!path || !*path || std::strlen(path) >= KORVEL_PATH_BUFFER) {
        Fail(PlayError::FileUnreadable);
        return 0;
    }
    std::vector<uint8_t> bytes;
    PlayError error = ReadSongFile(path, bytes);
    if (error == PlayError::None) {
        if (readAtOnce)
            error = Decode(bytes, song_);
        else if (CheckSmfHeader(bytes.data(), bytes.size()) != SmfError::None)
            error = PlayError::FileNotPlayable;
        else
            fileBytes_ = std::move(bytes);
    }
    if (error != PlayError::None) {
        Fail(error);
        return 0;
    }
    settings_ = korvel::ReadSongSettings();
    settingsRead_ = true;
    OpenLogForSongEvents();
    if (output_) {
        output_->SongEvent("open", path);
        if (!thread_) CloseOutputWhenIdle();  // kept if StartSong follows
    }
    return 1;
}

int PlaybackState::StartSong(KorvelEndHandler onEnd) {
    // The latency of the song's first sample counts from here.
    fonts_.figures.songRequestedQpc = korvel::clock::Now();
    error_ = PlayError::None;
    // Once per start: as OpenSong read them, or afresh for a song started again.
    if (!settingsRead_) settings_ = korvel::ReadSongSettings();
    settingsRead_ = false;
    const korvel::SongSettings &settings = settings_;
    if (!initialised_) {
        Fail(PlayError::NotInitialised);
        return 0;
    }
    StopPlaying();
    if (reopenOutput_) {
        CloseOutput();
        reopenOutput_ = false;
    }
    if (lostInARow_ >= 2) {
        // The output opened again after a loss was lost at once as well:
        // the user is told, rather than the player skipping through every
        // song without a sound.  The next start tries afresh.
        lostInARow_ = 0;
        error_ = PlayError::Output;
        outputError_ = LostOutputError(lostBecause_);
        systemError_ = lostBecause_;
        errorDetail_.clear();
        return 0;
    }
    if (!song_ && !fileBytes_.empty()) {
        // Opened without reading at once: the tracks are decoded now.
        std::vector<uint8_t> bytes = std::move(fileBytes_);
        fileBytes_.clear();
        PlayError error = Decode(bytes, song_);
        if (error != PlayError::None) {
            Fail(error);
            return 0;
        }
    }
    if (!song_) {
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

int PlaybackState::SwitchOutput() {
    error_ = PlayError::None;
    if (!thread_) {
        CloseOutput();  // the next StartSong opens the new one
        return 1;
    }
    // The item already chosen retries it: a device the mapper stands in for
    // is taken if it is there; otherwise nothing changes.
    OutputSetting wanted = ReadOutputSetting(korvel::EngineKeyPath().c_str());
    if (NextOutputStep(opened_, wanted, OutputDeviceNames()) == OutputStep::Keep) return 1;
    // Opened before the old one is let go, so that a failure changes nothing.
    OpenedOutput opened;
    std::unique_ptr<Output> next = OpenChosenOutput(wanted, &opened);
    if (!next) return 0;
    output_->Replace(std::move(next));
    NoteOpened(opened);
    return 1;
}

int PlaybackState::ActivityState() {
    if (!thread_) return 0;
    if (activity_.soundingNotes.load(std::memory_order_relaxed) > 0) return 1;
    LONGLONG lastNoteOn = activity_.lastNoteOnQpc.load(std::memory_order_relaxed);
    if (!lastNoteOn) return 0;
    return korvel::clock::Now() - lastNoteOn < korvel::clock::Frequency() / 2 ? 1 : 0;
}

void PlaybackState::SetPlaybackOwner(HWND owner) { playbackOwner_.store(owner); }

int PlaybackState::ReportError(int flags, HWND owner) {
    // The lowest bit (a preview) is not read: a preview's own message follows a
    // nonzero answer, and the device's message is the same.
    char text[1280];
    switch (error_) {
    case PlayError::Output: {
        std::string font;
        font.swap(fontNotice_);  // told here rather than in a box of its own
        FormatOutputError(text, sizeof text, font, outputError_, systemError_,
                          errorDetail_);
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
    ShowMessage(owner, text, MB_OK | MB_ICONERROR | ((flags & KORVEL_REPORT_FOREGROUND) ? MB_SETFOREGROUND : 0));
    return 0;
}

// The figures as the program reads them.
bool PlaybackState::ReadFigures(KorvelSynthStats &stats) const {
    const AudioFigures &figures = fonts_.figures;
    if (!figures.used) return false;
    stats.open = figures.open.load() > 0 ? 1 : 0;
    stats.underruns = figures.underruns.load();
    stats.latencyUs = figures.latencyUs.load();
    stats.renderCpuUs = figures.cpuUs.load();
    stats.renderedFrames = figures.frames.load();
    stats.sampleRate = figures.rate.load();
    stats.channels = figures.channels.load();
    stats.bitsPerSample = figures.bits.load();
    stats.isFloat = figures.isFloat.load();
    stats.api = figures.api.load();
    stats.engineLatencyUs = figures.engineLatencyUs.load();
    stats.scheduleDelayUs = figures.scheduleDelayUs.load();
    stats.longestWakeUs = figures.longestWakeUs.load();
    return true;
}

}  // namespace korvel
