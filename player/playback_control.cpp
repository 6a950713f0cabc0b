// Playing the current best: start, stop, next, the end of a song, the switch
// to another best and the close of the best settings dialog.
#include <cstdint>

#include "engine/korvel.h"
#include "utils/ansi_text.h"
#include "player/player.h"
#include "shell/errors.h"
#include "shell/shell_state.h"
#include "shell/tray.h"
#include "store/best_file.h"
#include "store/registry_layout.h"
#include "store/settings.h"

PlayerRecord g_player;

namespace {

enum class StartResult {
    Started,
    GaveUp,  // the engine's report said not to try further
    Skip,    // this entry cannot be played; try the next in list order
};

void StartAnimation() {
    if (g_shell.resident) SetTimer(g_shell.resident, kTrayAnimationTimer, kTrayAnimationPeriodMs, nullptr);
}

void StopAnimation() {
    if (g_shell.resident) KillTimer(g_shell.resident, kTrayAnimationTimer);
}

StartResult StartCurrentSong() {
    const char *path = g_player.songs.currentSong;
    if (!path || !FileExists(path, 0)) return StartResult::Skip;
    char target[KORVEL_PATH_BUFFER];
    const char *file = path;
    if (ansi::EndsWithNoCase(path, ".lnk")) {
        if (!ResolveShortcut(path, target)) return StartResult::Skip;
        target[sizeof target - 1] = '\0';
        file = target;
    }
    ++g_player.generation;
    if (OpenSong(file, TestOption(OPT_READ_AT_ONCE)) && StartSong(OnSongEnd)) {
        StartAnimation();
        SetPlayingFlag(1);
        SetPlayMenuState(1);
        SaveHistory(0);
        return StartResult::Started;
    }
    return ReportPlayError(0, g_shell.resident) ? StartResult::Skip : StartResult::GaveUp;
}

}  // namespace

const char *CurrentBestName() { return g_player.hasBestName ? g_player.bestName.c_str() : nullptr; }

void SetCurrentBestName(const char *name) {
    g_player.hasBestName = name != nullptr;
    g_player.bestName = name ? name : "";
}

void SetPlayingFlag(int value) {
    SetPlaybackOwner(nullptr, 1);
    g_player.playing = value != 0;
}

int PlayCurrentSong() {
    // Entries that cannot be played are passed over in list order.  Each
    // attempt marks its entry played, so within two passes every entry has
    // been tried since the history was last cleared; a best whose files
    // all exist but none of which plays (not MIDI files) ends there instead
    // of clearing its history and trying again for ever.
    const int64_t attemptsLeft = 2 * static_cast<int64_t>(g_player.songs.songCount) + 1;
    for (int64_t attempt = 0;; ++attempt) {
        StartResult result = StartCurrentSong();
        if (result != StartResult::Skip) return 1;
        if (g_player.songs.songCount > 0 && attempt >= attemptsLeft) {
            StopPlayback();
            PlayerSystem()->ShowNoMidiFiles();
            UpdateTrayIcon(kTrayTip, nullptr);
            return 0;
        }
        StopPlayback();
        if (!SelectNextSong(&g_player.songs, PlayerSystem(), 0)) return 0;
    }
}

void StopPlayback() {
    StopAnimation();
    SetPlayingFlag(0);
    ++g_player.generation;
    StopSong();
    SetPlayMenuState(0);
}

int NextSong(int random, int same) {
    StopPlayback();
    if (!same && !SelectNextSong(&g_player.songs, PlayerSystem(), random)) return 0;
    return PlayCurrentSong();
}

void OnSongEnd(int) {
    if (g_shell.resident) PostMessageA(g_shell.resident, kMsgSongEnded, g_player.generation, 0);
}

void HandleSongEnded(WPARAM generation) {
    // A song started or stopped since this end was posted.
    if (generation != g_player.generation || !g_player.playing) return;
    NextSong(TestOption(OPT_RANDOM), TestOption(OPT_REPEAT_ONE));
}

void OnPreviewEnd(int value) {
    if (g_shell.resident) PostMessageA(g_shell.resident, kMsgPreviewEnded, static_cast<WPARAM>(value), 0);
}

void ResumeAfterPreview(int resume) {
    StopSong();
    ++g_player.generation;
    SetPlaybackOwner(nullptr, 0);
    if (resume && g_player.playing) {
        PlayCurrentSong();
        StartAnimation();
    } else {
        StopAnimation();
    }
}

bool LoadCurrentBest() {
    const char *name = CurrentBestName();
    best::BestRecord record = name ? FindBestInFile(name) : best::BestRecord();
    if (record.IsNone()) return false;
    LoadPlayerBest(&g_player.songs, std::move(record));
    LoadHistory();
    return true;
}

void SwitchBest(int play) {
    LoadPlayerBest(&g_player.songs, best::BestRecord());
    const char *name = CurrentBestName();
    best::BestRecord record = name ? FindBestInFile(name) : best::BestRecord();
    if (record.IsNone()) {
        ReportUnexpectedError(true);
        return;
    }
    BuildBestMenu(1);
    WriteValue(kProgramKey, kValuePlayBest, name, static_cast<DWORD>(g_player.bestName.size() + 1), REG_SZ,
               HKEY_CURRENT_USER);
    LoadPlayerBest(&g_player.songs, std::move(record));
    LoadHistory();
    if (play && PlaybackOwner() == nullptr) NextSong(TestOption(OPT_RANDOM), 0);
}

void CloseBestSettings(int flags) {
    HWND dialog = g_shell.bestDialog;
    if (dialog && PlaybackOwner() == dialog) ResumeAfterPreview(1);
    if (flags & kCloseRandomChanged) SetRandomMode(!TestOption(OPT_RANDOM), 1);
    bool required = g_shell.appMode == kModeBestRequired;
    if ((flags & kCloseBestListChanged) || required) BuildBestMenu(0);
    // Without a current best (no best at all) there is nothing to switch to;
    // the player stays without a best until one is made.
    if (CurrentBestName()) {
        if ((flags & kCloseBestToPlayChanged) || required)
            SwitchBest(1);
        else if (flags & kClosePlayingBestSaved)
            SwitchBest(0);
    }
    g_shell.bestDialog = nullptr;
    if (dialog) DestroyWindow(dialog);
    g_shell.appMode = kModeIdle;
}
