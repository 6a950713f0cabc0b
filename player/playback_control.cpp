// Playing the current best: start, stop, next, the end of a song, sleep and
// wake, and the switch to another best.
#include <algorithm>
#include <cstdint>

#include "engine/korvel.h"
#include "player/player.h"
#include "store/store.h"
#include "utils/ansi_text.h"
#include "utils/message_box.h"

// The process's one player: every other piece of the player's state is a
// member of it.
PlayerRecord g_player;

namespace {

enum class SongStart {
    Started,
    Unresolved,  // a shortcut without a target: the engine was not asked
    Failed,      // the engine could not open or start it; it knows why
};

// The song and the preview alike: a shortcut is resolved to its target, the
// file opened and started, with onEnd as the engine's end handler.
SongStart StartFile(const char *path, KorvelEndHandler onEnd) {
    char target[KORVEL_PATH_BUFFER];
    const char *file = path;
    if (ansi::EndsWithNoCase(path, ".lnk")) {
        if (!ResolveShortcut(path, target)) return SongStart::Unresolved;
        target[sizeof target - 1] = '\0';
        file = target;
    }
    return OpenSong(file, PlayerStore().option(Option::ReadAtOnce)) && StartSong(onEnd) ? SongStart::Started
                                                                            : SongStart::Failed;
}

enum class StartResult {
    Started,
    GaveUp,  // the engine's report said not to try further
    Skip,    // this entry cannot be played; try the next in list order
};

StartResult StartCurrentSong() {
    bool handed = !g_player.handedFiles.empty();
    g_player.handedFileCurrent = handed;
    const char *path = handed ? g_player.handedFiles.front().c_str() : g_player.songs.currentSong;
    if (handed) g_player.host->ShowSongTip(path);
    if (!path || !FileExists(path, 0)) return StartResult::Skip;
    ++g_player.generation;
    switch (StartFile(path, OnSongEnd)) {
    case SongStart::Started:
        g_player.host->AnimateIcon(true);
        SetPlayingFlag(true);
        g_player.host->ShowPlaying(true);
        // A handed-over file is no entry of the best: its history stays.
        if (!handed) SaveHistory(HistorySave::Always);
        return StartResult::Started;
    case SongStart::Unresolved: return StartResult::Skip;
    case SongStart::Failed: break;
    }
    int report = g_player.cause == PlayCause::Automatic ? KORVEL_REPORT_FOREGROUND : 0;
    return ReportPlayError(report, g_player.host->Window()) ? StartResult::Skip : StartResult::GaveUp;
}

// Marks what runs in its scope as an automatic change, for the boxes it shows.
class AutomaticChange {
public:
    AutomaticChange() : previous_(g_player.cause) { g_player.cause = PlayCause::Automatic; }
    ~AutomaticChange() { g_player.cause = previous_; }
    AutomaticChange(const AutomaticChange &) = delete;
    AutomaticChange &operator=(const AutomaticChange &) = delete;

private:
    PlayCause previous_;
};

// The handed-over file in front is done with (played, skipped or passed
// over with next).  After the last one the tray tip shows the best's song again.
void DropHandedFile() {
    g_player.handedFiles.pop_front();
    if (!g_player.handedFiles.empty()) return;
    g_player.handedFileCurrent = false;
    g_player.host->ShowSongTip(g_player.songs.currentSong);
}

void PostToHost(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    // Called on the engine's thread: only the window handle is read here.
    if (HWND window = g_player.host->Window()) PostMessageA(window, message, wParam, lParam);
}

}  // namespace

UINT PlayerBoxFlags() { return g_player.cause == PlayCause::Automatic ? MB_SETFOREGROUND : 0; }

void SetPlayerHost(PlayerHost *host) { g_player.host = host ? host : &g_player.noHost; }

PlayerHost *Host() { return g_player.host; }

void UsePlayerStore(Store *store) { g_player.store = store; }

Store &PlayerStore() { return *g_player.store; }

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
    for (int64_t attempt = 0;;) {
        bool handed = !g_player.handedFiles.empty();
        StartResult result = StartCurrentSong();
        if (result != StartResult::Skip) return 1;
        if (handed) {
            // Skipped as a best's song would be, without counting against the best.
            StopPlayback();
            DropHandedFile();
            // The best goes on where it was; one with no song chosen yet
            // starts at its next song, and without a best playback ends.
            if (g_player.handedFiles.empty() && !g_player.songs.currentSong &&
                (g_player.songs.songCount == 0 ||
                 !SelectNextSong(&g_player.songs, PlayerSystem(), ChosenOrder() == SongOrder::Random)))
                return 0;
            continue;
        }
        if (g_player.songs.songCount > 0 && attempt++ >= attemptsLeft) {
            StopPlayback();
            PlayerSystem()->ShowNoMidiFiles();
            g_player.host->ShowSongTip(nullptr);
            return 0;
        }
        StopPlayback();
        if (!SelectNextSong(&g_player.songs, PlayerSystem(), /*random=*/false)) return 0;
    }
}

void StopPlayback() {
    g_player.host->AnimateIcon(false);
    SetPlayingFlag(false);
    ++g_player.generation;
    StopSong();
    g_player.host->ShowPlaying(false);
}

SongOrder ChosenOrder() { return PlayerStore().option(Option::Random) ? SongOrder::Random : SongOrder::InOrder; }

int NextSong(SongOrder order, NextChoice choice) {
    StopPlayback();
    if (choice == NextChoice::Next && g_player.handedFileCurrent) {
        DropHandedFile();
        // After the handed-over files the best's own song plays again from
        // its start: they interrupted it.  Without one the next is chosen.
        if (!g_player.handedFiles.empty() || g_player.songs.currentSong) return PlayCurrentSong();
        if (g_player.songs.songCount == 0) return 0;  // no best to go on with
    }
    if (choice == NextChoice::Next && !SelectNextSong(&g_player.songs, PlayerSystem(), order == SongOrder::Random))
        return 0;
    return PlayCurrentSong();
}

int PlayNextSong() { return NextSong(ChosenOrder(), NextChoice::Next); }

void SuspendPlayback() {
    if (!g_player.playing) return;
    // The playing flag stays set, so that the resume knows to play again.
    SetPlaybackOwner(nullptr, 1);
    g_player.host->AnimateIcon(false);
    ++g_player.generation;
    StopSong();
}

void ResumePlayback() {
    if (!g_player.playing) return;
    AutomaticChange automatic;
    // A song that starts sets the icon moving (and the media keys held)
    // itself; one that cannot leaves them still.
    PlayCurrentSong();
}

void OnSongEnd(int) { PostToHost(kMsgSongEnded, g_player.generation); }

void HandleSongEnded(WPARAM generation) {
    // A song started or stopped since this end was posted.
    if (generation != g_player.generation || !g_player.playing) return;
    AutomaticChange automatic;
    NextSong(ChosenOrder(), PlayerStore().option(Option::RepeatOne) ? NextChoice::Same : NextChoice::Next);
}

void StopForPreview(HWND owner) {
    ++g_player.previewGeneration;
    SetPlaybackOwner(owner, 1);
    g_player.host->AnimateIcon(false);
    ++g_player.generation;
    StopSong();
}

bool PlayPreview(const char *path, HWND owner) {
    StopForPreview(owner);
    if (StartFile(path, OnPreviewEnd) != SongStart::Started) return false;
    g_player.host->AnimateIcon(true);
    return true;
}

void OnPreviewEnd(int value) { PostToHost(kMsgPreviewEnded, g_player.previewGeneration, value); }

void HandlePreviewEnded(WPARAM generation, LPARAM value) {
    // Another preview started, or this one was ended otherwise, since this
    // end was posted.
    if (generation != g_player.previewGeneration) return;
    AutomaticChange automatic;
    ResumeAfterPreview(value != 0 ? AfterPreview::Resume : AfterPreview::Stay);
}

void ResumeAfterPreview(AfterPreview after) {
    ++g_player.previewGeneration;
    StopSong();
    ++g_player.generation;
    SetPlaybackOwner(nullptr, 0);
    // The icon stops with the preview; a song that starts again moves it.
    g_player.host->AnimateIcon(false);
    if (after == AfterPreview::Resume && g_player.playing) PlayCurrentSong();
}

void QueueHandedFiles(std::vector<std::string> files, HandedQueue how) {
    if (files.empty()) return;
    std::deque<std::string> &queue = g_player.handedFiles;
    // Joining an empty queue is a fresh start all the same: what came before
    // has played, and these play now.
    if (how == HandedQueue::Replace || queue.empty()) {
        queue.clear();
        g_player.handedFileCurrent = false;
    }
    // The same file from two starts (a double click taken twice) plays once.
    for (std::string &file : files) {
        if (queue.size() >= kMaxHandedFiles) break;
        bool queued = std::any_of(queue.begin(), queue.end(),
                                  [&](const std::string &other) { return ansi::EqualNoCase(other.c_str(), file.c_str()); });
        if (!queued) queue.push_back(std::move(file));
    }
}

bool HandedFilesWaiting() { return !g_player.handedFiles.empty() && !g_player.handedFileCurrent; }

int PlayHandedFiles() {
    if (!HandedFilesWaiting()) return 1;
    StopPlayback();
    return PlayCurrentSong();
}

const char *CurrentSongPath() {
    return g_player.handedFileCurrent ? g_player.handedFiles.front().c_str() : g_player.songs.currentSong;
}

void UnloadBest() { LoadPlayerBest(&g_player.songs, best::BestRecord()); }

bool LoadCurrentBest() {
    const char *name = CurrentBestName();
    best::BestRecord record = name ? PlayerStore().FindBestInFile(name) : best::BestRecord();
    if (record.IsNone()) return false;
    LoadPlayerBest(&g_player.songs, std::move(record));
    LoadHistory();
    return true;
}

void SwitchBest(AfterSwitch after, HandedFiles handed) {
    if (handed == HandedFiles::Drop) {
        g_player.handedFiles.clear();
        g_player.handedFileCurrent = false;
    }
    UnloadBest();
    const char *name = CurrentBestName();
    best::BestRecord record = name ? PlayerStore().FindBestInFile(name) : best::BestRecord();
    if (record.IsNone()) {
        ReportUnexpectedError(g_player.host->Window(), true);
        return;
    }
    g_player.host->ShowCurrentBest();
    PlayerStore().WritePlayBest(name);
    LoadPlayerBest(&g_player.songs, std::move(record));
    LoadHistory();
    if (after != AfterSwitch::Play || PlaybackOwner() != nullptr) return;
    // Kept files play first, and one that plays goes on: the new best's
    // first song is chosen once they are done.
    if (g_player.handedFileCurrent && g_player.playing) return;
    if (HandedFilesWaiting())
        PlayHandedFiles();
    else
        PlayNextSong();
}
