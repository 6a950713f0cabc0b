// The player: the current best's songs played one after another through the
// engine, and its played history in the registry.
//
// Everything here runs on the user-interface thread.  The engine's end
// handlers only post a message to the host's window, whose handler then
// moves on (HandleSongEnded, HandlePreviewEnded): the engine is never called
// back from inside its own callback, and the player's state is never touched
// from one; the handlers read only the generations, which may happen on the
// engine's thread.  What the player shows goes through the PlayerHost that
// the application implements; what it asks of the engine and the store goes
// through PlayerEngine and PlayerStore.
#ifndef TIVORN_PLAYER_PLAYER_H
#define TIVORN_PLAYER_PLAYER_H

#include <windows.h>

#include <atomic>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "player/korvel_player_engine.h"
#include "player/store_player_files.h"
#include "player/player_host.h"
#include "player/song_selection.h"
#include "utils/private_messages.h"

// The player posts kMsgSongEnded and kMsgPreviewEnded to the host's window.

// Who asked for the song being started.  The user's own action leaves
// Tivorn in the foreground for its boxes; an automatic change (the end of a
// song, a wake, the end of a preview) does not, and its boxes have to ask to
// come to the front, or they wait unseen behind the user's window.
enum class PlayCause { User, Automatic };

enum class SongOrder { InOrder, Random };
enum class NextChoice { Next, Same };
enum class AfterPreview { Resume, Stay };

// How files handed over meet those still queued.
enum class HandedQueue {
    Replace,  // a new opening: they take the place of any still waiting
    Join,     // more files of the same opening (Explorer's one process per
              // selected file): they go after the queued ones, unless
              // already queued
};
// At most this many files wait, however many hand-overs join.
constexpr size_t kMaxHandedFiles = 256;

enum class AfterSwitch { Play, Wait };
// What a best switch does with files handed over and not yet done with.
enum class HandedFiles {
    Drop,  // a best chosen by the user is what plays now
    Keep,  // they came while the best settings were open: they play first
};

enum class RandomChange {
    ShowOnly,  // the start-up: the stored switch is taken as it is
    Switch,    // the user's: the history is adjusted around the current
               // position and the settings block saved
};
enum class HistorySave {
    Always,
    IfPresent,  // only when the stored value holds something: an emptied one
                // belongs to a list that changed since the bitmap was made
};

class Player final : private PlayerEnvironment {
public:
    // Over the engine library and the application's store, which outlives
    // the player.
    explicit Player(Store &store);
    // Over others (tests); they outlive the player.
    Player(PlayerEngine &engine, PlayerStore &store);
    ~Player();
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    // The application connects itself before the player is used; null (and until
    // then) tells nobody.
    void SetHost(PlayerHost *host) { host_ = host ? host : &noHost_; }
    PlayerHost &Host() { return *host_; }

    // --- the state ------------------------------------------------------------
    PlayState State() const { return mode_.state; }
    // The window whose preview holds playback; null when the player holds it.
    HWND PreviewWindow() const { return mode_.state == PlayState::Previewing ? mode_.previewWindow : nullptr; }
    // A song is meant to be playing: playing, asleep, or under a preview
    // that will give it back.
    bool SongPlaying() const;

    // The current best name (mirrored in "PlayBest"), or null when there is none.
    const char *CurrentBestName() const { return hasBestName_ ? bestName_.c_str() : nullptr; }
    void SetCurrentBestName(const char *name);

    // The flags a box of the player adds for the change under way.
    UINT BoxFlags() const { return cause_ == PlayCause::Automatic ? MB_SETFOREGROUND : 0; }

    // --- songs ------------------------------------------------------------------
    // Starts the current song.  1 when it started, or when the engine's error
    // report said to give up; otherwise the result of the search in list order
    // that it falls back to (0 when nothing could be played).
    int PlayCurrentSong();
    // Stops the song and the icon animation.
    void StopPlayback();
    // The order the random switch (OPT_RANDOM) sets.
    SongOrder ChosenOrder();
    // Stops, chooses the next song in order (or the same one again), and plays
    // it.  0 when no song could be chosen.
    int NextSong(SongOrder order, NextChoice choice);
    // The next song in the chosen order: what 次の曲, the hotkey and a best
    // switch ask for.
    int PlayNextSong();
    // The current song again from its start.
    void RestartCurrentSong();

    // The computer goes to sleep: the song stops, and is still meant to play.
    void SuspendPlayback();
    // It woke up: the current song starts again from its beginning if the best
    // was playing.
    void ResumePlayback();

    // The handling of kMsgSongEnded: the next song, or the same with repeat-one.
    void HandleSongEnded(WPARAM generation);
    unsigned Generation() const { return generation_; }

    // --- previews ---------------------------------------------------------------
    // A preview takes playback over: window (the best settings dialog)
    // becomes the playback owner and the player's song stops; it is still meant to
    // play, so that ResumeAfterPreview can start it again.
    void StopForPreview(HWND window);
    // Plays the file at path (a shortcut: its target) once as window's preview,
    // stopping the player's song first.  False when it did not start: the
    // caller then asks the engine why (ReportPlayError) and gives playback back.
    bool PlayPreview(const char *path, HWND window);
    // The handling of kMsgPreviewEnded: ResumeAfterPreview (value) when the end
    // belongs to the preview that plays now.
    void HandlePreviewEnded(WPARAM generation, LPARAM value);
    // Ends a preview and gives playback back to the player; with Resume the
    // current song starts again if the best was playing.
    void ResumeAfterPreview(AfterPreview after);

    // --- files handed over ------------------------------------------------------
    // Files given on the command line (none given changes nothing).  They play
    // first, one after another, and then the best goes on where it was.  At the
    // start-up, queued before the best's first song is chosen, they play in its
    // place: that song is chosen only once they are done, so a handed file sets
    // nothing in the best's history.
    void QueueHandedFiles(std::vector<std::string> files, HandedQueue how = HandedQueue::Replace);
    // Files are queued and have not begun.
    bool HandedFilesWaiting() const { return !handedFiles_.empty() && !handedFileCurrent_; }
    // Plays the queued files at once, unless they have begun already.  As
    // PlayCurrentSong: 0 when nothing could be played.
    int PlayHandedFiles();
    // The file being played: a handed-over file, or the best's current song.
    const char *CurrentSongPath() const;

    // --- bests ------------------------------------------------------------------
    // Makes the best named by the current best name current; with Play it
    // starts its next song (files kept waiting first) unless a preview holds
    // playback.
    void SwitchBest(AfterSwitch after, HandedFiles handed);
    // The user chose best name in the menu: the history of the best left is
    // kept, and name plays.  False when name is the current best already.
    bool ChooseBest(const char *name);
    // The start of a run: no best loaded, no current song, position 0.
    void UnloadBest();
    // Loads the best named by the current best name at start-up: record, song
    // count and history.  False when there is no such best.
    bool LoadCurrentBest();
    // The best that plays was saved (edited in the best settings): the player
    // goes on over the saved list without interrupting the song, each song
    // keeping its played bit by its path, and stores that history for it.
    // Nothing for a best the player does not hold.
    void TakeSavedBest(const best::BestRecord &saved);
    // The best that plays was saved while the best settings were open: its
    // list is read again from the best file and taken as TakeSavedBest takes it.
    void ReloadCurrentBest();
    // The last search found no song because those it could not reach (their
    // drive or share not there, offline or held) were all that was left; the
    // user was told, and the history is as it was.
    bool SongsOutOfReach() const { return ReachFailed(songs_); }

    // --- the played history -----------------------------------------------------
    // The random switch: OPT_RANDOM and the menu check.
    void SetRandomMode(bool on, RandomChange change);
    // Every song unplayed, saved, position 0.
    void ClearHistory();
    // Writes the history bitmap as the current best's history value.
    void SaveHistory(HistorySave when);
    // Fills the zeroed history bitmap from the current best's history value.
    void LoadHistory();

    // The current best record, song count, position and history.
    BestSongs &Songs() { return songs_; }

private:
    friend class PlayerChange;
    friend void OnSongEnd(int value);
    friend void OnPreviewEnd(int value);

    // The state: one value, changed only by the transitions below.
    struct Mode {
        PlayState state = PlayState::Stopped;
        HWND previewWindow = nullptr;  // Previewing: whose preview it is
        // Previewing: what the preview interrupted, and what its end gives back.
        PlayState underPreview = PlayState::Stopped;
    };

    enum class SongStart { Started, Unresolved, Failed };
    enum class StartResult { Started, GaveUp, Skip };

    // PlayerEnvironment, for the song selection.
    store::PathFound FindPath(const char *path) override;
    int LocalMilliseconds() override;
    bool SkipShortcuts() override;
    void SaveHistory(const unsigned char *bitmap, size_t size) override;

    const PlayerOptions &Options();
    const char *HistoryBestName() const;
    void TellPlaybackOwner(HWND owner, int unusedFlag);
    void EnterStopped();
    // opened, when given, receives the file opened: a shortcut's target.
    SongStart StartFile(const char *path, KorvelEndHandler onEnd, std::string *opened = nullptr);
    StartResult StartCurrentSong(bool checked);
    int PlayCurrent(bool checked);
    bool Select(bool random);
    void NothingToPlay();
    void DropHandedFile();
    void Report();

    KorvelPlayerEngine korvel_;
    std::optional<StorePlayerFiles> files_;  // over the application's store
    PlayerEngine *engine_;
    PlayerStore *store_;
    NoPlayerHost noHost_;
    PlayerHost *host_ = &noHost_;

    Mode mode_;
    BestSongs songs_;
    std::string bestName_;
    bool hasBestName_ = false;
    // The last search found nothing: the tray tip names no song.
    bool noSong_ = false;
    PlayCause cause_ = PlayCause::User;
    // Changes whenever a song starts or is stopped, so that an end message
    // still queued for an earlier song is recognised and dropped.
    std::atomic<unsigned> generation_{0};
    // Changes whenever a preview starts or ends, so that the end of an
    // earlier preview, still queued, neither stops the preview that now
    // plays nor the best that took playback back.
    std::atomic<unsigned> previewGeneration_{0};
    // Something sounds: a song of the player's, or a preview.
    bool sounding_ = false;
    // The file of the song that began last, until the user stops playback;
    // a song that begins again after it is not news.
    std::string lastBegun_;
    // The song that began in the change under way, and its own title.
    bool songBegan_ = false;
    std::string begunTitle_;
    // The playback owner the engine library was last told.
    HWND toldPlaybackOwner_ = nullptr;

    // Files given on the command line, played before the best goes on; the
    // best's position and history stay as they are meanwhile.
    std::deque<std::string> handedFiles_;
    // The front of handedFiles is the song being played (or tried), not the
    // best's current song: next and the end of a song drop it.
    bool handedFileCurrent_ = false;

    // Of the change under way: how deep it is nested, and the options it read.
    int changeDepth_ = 0;
    std::optional<PlayerOptions> options_;
};

// End handler for StartSong: posts kMsgSongEnded.
void OnSongEnd(int value);
// End handler for a preview's StartSong: posts kMsgPreviewEnded.
void OnPreviewEnd(int value);

#endif
