// Playing the current best: start, stop, next, the end of a song, sleep and
// wake, and the switch to another best.
#include <cstdint>

#include "engine/korvel.h"
#include "player/player.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "utils/ansi_text.h"
#include "utils/message_box.h"

PlayerRecord g_player;

namespace {

// Until the shell connects itself (and in tests of the player alone) nobody
// is told anything.
class NoHost : public PlayerHost {
public:
    HWND Window() override { return nullptr; }
    void ShowPlaying(bool) override {}
    void AnimateIcon(bool) override {}
    void ShowSongTip(const char *) override {}
    void ShowCurrentBest() override {}
    void ShowRandomMode(bool) override {}
};

NoHost g_noHost;
PlayerHost *g_host = &g_noHost;

enum class StartResult {
    Started,
    GaveUp,  // the engine's report said not to try further
    Skip,    // this entry cannot be played; try the next in list order
};

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
        g_host->AnimateIcon(true);
        SetPlayingFlag(true);
        g_host->ShowPlaying(true);
        SaveHistory(false);
        return StartResult::Started;
    }
    return ReportPlayError(0, g_host->Window()) ? StartResult::Skip : StartResult::GaveUp;
}

void PostToHost(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    // Called on the engine's thread: only the window handle is read here.
    if (HWND window = g_host->Window()) PostMessageA(window, message, wParam, lParam);
}

}  // namespace

void SetPlayerHost(PlayerHost *host) { g_host = host ? host : &g_noHost; }

PlayerHost *Host() { return g_host; }

const char *CurrentBestName() { return g_player.hasBestName ? g_player.bestName.c_str() : nullptr; }

void SetCurrentBestName(const char *name) {
    g_player.hasBestName = name != nullptr;
    g_player.bestName = name ? name : "";
}

void SetPlayingFlag(bool value) {
    SetPlaybackOwner(nullptr, 1);
    g_player.playing = value;
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
            g_host->ShowSongTip(nullptr);
            return 0;
        }
        StopPlayback();
        if (!SelectNextSong(&g_player.songs, PlayerSystem(), false)) return 0;
    }
}

void StopPlayback() {
    g_host->AnimateIcon(false);
    SetPlayingFlag(false);
    ++g_player.generation;
    StopSong();
    g_host->ShowPlaying(false);
}

int NextSong(bool random, bool same) {
    StopPlayback();
    if (!same && !SelectNextSong(&g_player.songs, PlayerSystem(), random)) return 0;
    return PlayCurrentSong();
}

void SuspendPlayback() {
    if (!g_player.playing) return;
    // The playing flag stays set, so that the resume knows to play again.
    SetPlaybackOwner(nullptr, 1);
    g_host->AnimateIcon(false);
    ++g_player.generation;
    StopSong();
}

void ResumePlayback() {
    if (!g_player.playing) return;
    PlayCurrentSong();
    if (g_player.playing) g_host->AnimateIcon(true);
}

void OnSongEnd(int) { PostToHost(kMsgSongEnded, g_player.generation); }

void HandleSongEnded(WPARAM generation) {
    // A song started or stopped since this end was posted.
    if (generation != g_player.generation || !g_player.playing) return;
    NextSong(TestOption(OPT_RANDOM), TestOption(OPT_REPEAT_ONE));
}

void StopForPreview(HWND owner) {
    ++g_player.previewGeneration;
    SetPlaybackOwner(owner, 1);
    g_host->AnimateIcon(false);
    ++g_player.generation;
    StopSong();
}

void OnPreviewEnd(int value) { PostToHost(kMsgPreviewEnded, g_player.previewGeneration, value); }

void HandlePreviewEnded(WPARAM generation, LPARAM value) {
    // Another preview started, or this one was ended otherwise, since this
    // end was posted.
    if (generation != g_player.previewGeneration) return;
    ResumeAfterPreview(value != 0);
}

void ResumeAfterPreview(bool resume) {
    ++g_player.previewGeneration;
    StopSong();
    ++g_player.generation;
    SetPlaybackOwner(nullptr, 0);
    if (resume && g_player.playing) {
        PlayCurrentSong();
        g_host->AnimateIcon(true);
    } else {
        g_host->AnimateIcon(false);
    }
}

void UnloadBest() { LoadPlayerBest(&g_player.songs, best::BestRecord()); }

bool LoadCurrentBest() {
    const char *name = CurrentBestName();
    best::BestRecord record = name ? FindBestInFile(name) : best::BestRecord();
    if (record.IsNone()) return false;
    LoadPlayerBest(&g_player.songs, std::move(record));
    LoadHistory();
    return true;
}

void SwitchBest(bool play) {
    UnloadBest();
    const char *name = CurrentBestName();
    best::BestRecord record = name ? FindBestInFile(name) : best::BestRecord();
    if (record.IsNone()) {
        ReportUnexpectedError(g_host->Window(), true);
        return;
    }
    g_host->ShowCurrentBest();
    WritePlayBest(name);
    LoadPlayerBest(&g_player.songs, std::move(record));
    LoadHistory();
    if (play && PlaybackOwner() == nullptr) NextSong(TestOption(OPT_RANDOM), false);
}
