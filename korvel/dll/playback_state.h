// The playback state of KORVEL.dll: the song opened, the output, the
// playback thread and the errors the user is told about, with what the
// playback exports ask of it.
//
// Everything here runs on the thread that called EngineInit, except the
// playback thread (playback_thread.cpp), which only reads its PlaybackRun
// and reports the end of a song with a message to the hidden window, and the
// hook's thread, which reads the owner and the settings key.
#ifndef TIVORN_KORVEL_DLL_PLAYBACK_STATE_H
#define TIVORN_KORVEL_DLL_PLAYBACK_STATE_H

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/korvel.h"
#include "korvel/audio/audio_device.h"
#include "korvel/dll/settings_key.h"
#include "korvel/output/output_fallback.h"
#include "korvel/output/switching_output.h"
#include "korvel/sequencer/playback_thread.h"
#include "korvel/song/song.h"
#include "korvel/synth_output/synth_output.h"
#include "utils/handles.h"
#include "utils/suspend_resume_notice.h"

namespace korvel {

// Why the last OpenSong or StartSong failed; ReportPlayError explains it.
enum class PlayError {
    None,
    FileUnreadable,   // missing, locked, not a file
    FileNotPlayable,  // not MIDI, damaged beyond use, too large
    NothingOpened,    // StartSong without a song
    NotInitialised,
    Output,           // see outputError_
    ThreadFailed,
};

// The answers are the exports' (engine/korvel.h).
class PlaybackState {
public:
    PlaybackState() = default;
    PlaybackState(const PlaybackState &) = delete;
    PlaybackState &operator=(const PlaybackState &) = delete;

    int Init();
    int Close();
    int OpenSong(const char *path, int readAtOnce);
    int StartSong(KorvelEndHandler onEnd);
    // Stops the song without calling its handler.
    void StopSong() { StopPlaying(); }
    int SwitchOutput();
    int ActivityState();
    HWND PlaybackOwner() const { return playbackOwner_.load(); }
    void SetPlaybackOwner(HWND owner);
    int ReportError(int flags, HWND owner);
    bool ReadFigures(KorvelSynthStats &stats) const;
    // The title of the song last opened, once its tracks are read (by
    // OpenSong reading at once, else by StartSong); empty without one.
    std::string OpenedSongTitle() const { return song_ ? song_->title : std::string(); }
    std::string SettingsKey() { return settingsKey_.Get(); }
    void SetSettingsKey(const char *programKey) { settingsKey_.Set(programKey); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreatePlaybackWindow();
    void Fail(PlayError error) { error_ = error; }
    void NoteOpened(const OpenedOutput &opened);
    void OpenLogForSongEvents();
    void TellFontProblem(const OutputSetting &setting, const OpenResult &result);
    void OnFontNotice();
    std::unique_ptr<Output> OpenChosenOutput(const OutputSetting &setting, OpenedOutput *opened);
    bool EnsureOutput(const OutputSetting &setting);
    bool CloseOutput();
    void ReturnToChosenDevice(const OutputSetting &wanted);
    void OnOutputLost();
    SongExit JoinThread();
    void CloseOutputWhenIdle();
    void OnIdle();
    void StopPlaying();
    void OnSongEnded(WPARAM generation);
    void OnSuspend();
    void OnResume();
    bool StartThread(KorvelEndHandler onEnd, int priority);

    bool initialised_ = false;
    HWND window_ = nullptr;
    SuspendResumeNotice powerNotice_;  // for window
    WaitCalibration calibration_;

    // The song of the last successful OpenSong.  Opened without reading at
    // once, the file's bytes wait in fileBytes until StartSong decodes them.
    std::shared_ptr<const Song> song_;
    std::vector<uint8_t> fileBytes_;

    PlayError error_ = PlayError::None;
    OutputError outputError_ = OutputError::None;
    UINT systemError_ = 0;
    std::string errorDetail_;

    std::unique_ptr<SwitchingOutput> output_;
    OpenedOutput opened_;        // what output plays for, while there is one
    SoundFontHolder fonts_;      // the synthesizer's, while it is the output chosen
    // Why the SoundFont chosen is not used, told once: in a box of its own
    // (posted) while the mapper plays instead, else with ReportPlayError.
    std::string fontNotice_;
    // Read by OpenSong for the StartSong that follows it.
    korvel::SongSettings settings_;
    bool settingsRead_ = false;
    bool reopenOutput_ = false;  // the machine slept: the device may have changed
    bool closeWhenIdle_ = false;  // nothing plays: let the device go unless a song starts first
    bool idlePosted_ = false;     // kMsgIdle is on its way
    int lostInARow_ = 0;         // songs given up in a row because the output was lost
    unsigned lostBecause_ = 0;   // the system's result that lost it the last time

    // The song that plays, while its thread runs.
    KernelHandle thread_;
    std::unique_ptr<PlaybackRun> run_;
    KorvelEndHandler onEnd_ = nullptr;
    WPARAM generation_ = 0;  // changes with every start and stop
    Activity activity_;

    std::atomic<HWND> playbackOwner_{nullptr};  // read on the hook's thread too

    // Where the settings are read (SetSettingsKey); the hook's thread reads it too.
    korvel::SettingsKeyChoice settingsKey_;
};

// The library's one playback state (playback_exports.cpp): the exports have
// no other context to find it by.
PlaybackState &ThePlayback();

}  // namespace korvel

#endif
