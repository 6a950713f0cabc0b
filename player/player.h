// The player: the current best's songs played one after another through the
// engine, and its played history in the registry.
//
// Everything here runs on the user-interface thread.  The engine's end
// handlers (OnSongEnd, OnPreviewEnd) only post a message to the host's
// window, whose handler then moves on (HandleSongEnded, HandlePreviewEnded):
// the engine is never called back from inside its own callback, and the
// player's state is never touched from one; the handlers read only the
// generations, which may happen on the engine's thread.  What the player shows goes
// through the PlayerHost that the shell implements.
#ifndef TIVORN_PLAYER_PLAYER_H
#define TIVORN_PLAYER_PLAYER_H

#include <windows.h>

#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "player/player_host.h"
#include "player/song_selection.h"
#include "store/store.h"

// Messages the player posts to the host's window.
constexpr UINT kMsgSongEnded = WM_APP + 1;     // wParam: the song generation that ended
// wParam: the preview generation that ended; lParam: the engine's end value.
constexpr UINT kMsgPreviewEnded = WM_APP + 2;

// What the song selection needs from the system: files, the clock, the
// tray tip and the history's registry value (played_history.cpp).
class SystemEnvironment final : public PlayerEnvironment {
public:
    bool FileExists(const char *path) override;
    int LocalMilliseconds() override;
    void SetTrayTip(const char *path) override;
    void ShowNoMidiFiles() override;
    bool SkipShortcuts() override;
    bool IsPlaying() override;
    void SetPlaying(bool playing) override;
    void SaveHistory(const unsigned char *bitmap, size_t size) override;
};

// Who asked for the song being started.  The user's own action leaves
// Tivorn in the foreground for its boxes; an automatic change (the end of a
// song, a wake, the end of a preview) does not, and its boxes have to ask to
// come to the front, or they wait unseen behind the user's window.
enum class PlayCause { User, Automatic };

// The player's whole state, in the process's one player object: the songs,
// and the host and system it talks to.
struct PlayerRecord {
    PlayerState songs;  // the current best record, song count, position, history
    std::string bestName;  // the current best name, mirrored in "PlayBest"
    bool hasBestName = false;
    bool playing = false;  // a song of the best is meant to be playing
    // Changes whenever a song starts or is stopped, so that an end message
    // still queued for an earlier song is recognised and dropped.
    std::atomic<unsigned> generation{0};
    // Changes whenever a preview starts or ends, so that the end of an
    // earlier preview, still queued, neither stops the preview that now
    // plays nor the best that took playback back.
    std::atomic<unsigned> previewGeneration{0};

    PlayCause cause = PlayCause::User;  // of the change under way

    // Files given on the command line, played before the best goes on; the
    // best's position and history stay as they are meanwhile.
    std::deque<std::string> handedFiles;
    // The front of handedFiles is the song being played (or tried), not the
    // best's current song: next and the end of a song drop it.
    bool handedFileCurrent = false;

    NoPlayerHost noHost;
    PlayerHost *host = &noHost;  // the shell, once it has connected itself
    Store *store = nullptr;      // the application's, given by UsePlayerStore
    SystemEnvironment system;
};

extern PlayerRecord g_player;

// The current best name, or null when there is none.
const char *CurrentBestName();
void SetCurrentBestName(const char *name);

// The flags a box of the player adds for the change under way.
UINT PlayerBoxFlags();

// Starts the current song.  1 when it started, or when the engine's error
// report said to give up; otherwise the result of the search in list order
// that it falls back to (0 when nothing could be played).
int PlayCurrentSong();
// Stops the song and the icon animation.
void StopPlayback();

enum class SongOrder { InOrder, Random };
enum class NextChoice { Next, Same };
// The order the random switch (OPT_RANDOM) sets.
SongOrder ChosenOrder();
// Stops, chooses the next song in order (or the same one again), and plays
// it.  0 when no song could be chosen.
int NextSong(SongOrder order, NextChoice choice);
// The next song in the chosen order: what 次の曲, the hotkey and a best
// switch ask for.
int PlayNextSong();
void SetPlayingFlag(bool value);

// The computer goes to sleep: the song stops, the playing flag stays set.
void SuspendPlayback();
// It woke up: the current song starts again from its beginning if the best
// was playing.
void ResumePlayback();

// End handler for StartSong: posts kMsgSongEnded.
void OnSongEnd(int value);
// The handling of kMsgSongEnded: the next song, or the same with repeat-one.
void HandleSongEnded(WPARAM generation);

// A preview takes playback over: owner (the best settings dialog) becomes
// the playback owner and the player's song stops; its playing flag stays, so
// that ResumeAfterPreview can start it again.
void StopForPreview(HWND owner);
// Plays the file at path (a shortcut: its target) once as owner's preview,
// stopping the player's song first.  False when it did not start: the
// caller then asks the engine why (ReportPlayError) and gives playback back.
bool PlayPreview(const char *path, HWND owner);
// End handler for a preview's StartSong: posts kMsgPreviewEnded.
void OnPreviewEnd(int value);
// The handling of kMsgPreviewEnded: ResumeAfterPreview (value) when the end
// belongs to the preview that plays now.
void HandlePreviewEnded(WPARAM generation, LPARAM value);
enum class AfterPreview { Resume, Stay };
// Ends a preview and gives playback back to the player; with Resume the
// current song starts again if the best was playing.
void ResumeAfterPreview(AfterPreview after);

// How files handed over meet those still queued.
enum class HandedQueue {
    Replace,  // a new opening: they take the place of any still waiting
    Join,     // more files of the same opening (Explorer's one process per
              // selected file): they go after the queued ones, unless
              // already queued
};
// At most this many files wait, however many hand-overs join.
constexpr size_t kMaxHandedFiles = 256;
// Files given on the command line (none given changes nothing).  They play
// first, one after another, and then the best goes on where it was.  At the
// start-up, queued before the best's first song is chosen, they play in its
// place: that song is chosen only once they are done, so a handed file marks
// nothing in the best's history.
void QueueHandedFiles(std::vector<std::string> files, HandedQueue how = HandedQueue::Replace);
// Files are queued and have not begun.
bool HandedFilesWaiting();
// Plays the queued files at once, unless they have begun already.  As
// PlayCurrentSong: 0 when nothing could be played.
int PlayHandedFiles();
// The file being played: a handed-over file, or the best's current song.
const char *CurrentSongPath();

enum class AfterSwitch { Play, Wait };
// What a best switch does with files handed over and not yet done with.
enum class HandedFiles {
    Drop,  // a best chosen by the user is what plays now
    Keep,  // they came while the best settings were open: they play first
};
// Makes the best named by the current best name current; with Play it
// starts its next song (files kept waiting first) unless a preview holds
// playback.
void SwitchBest(AfterSwitch after, HandedFiles handed);

// The start of a run: no best loaded, no current song, position 0.
void UnloadBest();
// Loads the best named by the current best name at start-up: record, song
// count and history.  False when there is no such best.
bool LoadCurrentBest();

// --- the played history -------------------------------------------------------

enum class RandomChange {
    ShowOnly,  // the start-up: the menu shows the stored switch
    Switch,    // the user's: the history is adjusted around the current
               // position and the settings block saved
};
// The random switch: OPT_RANDOM and the menu check.
void SetRandomMode(bool on, RandomChange change);
// Every song unplayed, saved, position 0.
void ClearHistory();
enum class HistorySave {
    Always,
    IfPresent,  // only when the stored value holds something: an emptied one
                // belongs to a list that changed since the bitmap was made
};
// Writes the history bitmap as the current best's history value.
void SaveHistory(HistorySave when);
// Fills the zeroed history bitmap from the current best's history value.
void LoadHistory();

// What the song selection needs from the system, for the player record.
PlayerEnvironment *PlayerSystem();
// The host the player tells what changed.
PlayerHost *Host();
// The store the player reads and writes, given before anything plays.
void UsePlayerStore(Store *store);
Store &PlayerStore();

#endif
