// The best's songs as the player holds them, and the song selection with
// its played history (no windows.h).
//
// The selection walks the history bitmap of the current best, in list order
// or at random, so that every entry comes up once per cycle.  What it needs
// from the system comes through PlayerEnvironment, which the Win32 player
// implements over the engine, the tray and the registry, and tests fake.
#ifndef TIVORN_PLAYER_SONG_SELECTION_H
#define TIVORN_PLAYER_SONG_SELECTION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/best_record.h"
#include "store/path_found.h"

// Songs the searches of one change of the player passed over because they
// could not be reached (their share or drive not there, the file offline or
// held): they stay unplayed, and these searches do not ask for them again.
struct PassedOver {
    std::vector<unsigned char> entries;    // bit i: entry i passed over
    size_t count = 0;                      // bits set in entries
    std::vector<std::string> downVolumes;  // volumes that did not answer
    std::vector<std::string> upVolumes;    // volumes that answered
    std::string place;                     // the first folder or share out of reach
};

// The songs of the current best, with the selection's cursor and the played
// history.  Replaced as a whole by LoadPlayerBest.
struct BestSongs {
    BestSongs() = default;
    BestSongs(const BestSongs &) = delete;  // currentSong points into this copy's record
    BestSongs &operator=(const BestSongs &) = delete;

    best::BestRecord best;               // the current best record; none when no best is loaded
    std::vector<uint32_t> entryOffsets;  // cursor of entry i in best: no walk over the list per pick
    int32_t songCount = 0;               // entry count of best; 0 when none
    int32_t position = 0;                // index of the current song; the selection's cursor
    std::vector<unsigned char> history;  // (songCount + 7) / 8 bytes; bit i set = entry i played
    const char *currentSong = nullptr;   // entry `position` inside best; null when no song is chosen
    PassedOver passed;
};

class PlayerEnvironment {
public:
    // The file system's answer for a song's path, or for a volume's root.
    virtual store::PathFound FindPath(const char *path) = 0;
    // The millisecond field of the local time, 0 to 999.
    virtual int LocalMilliseconds() = 0;
    virtual bool SkipShortcuts() = 0;  // OPT_SKIP_SHORTCUTS
    // Writes the bitmap as the current best's history value, unconditionally.
    virtual void SaveHistory(const unsigned char *bitmap, size_t size) = 0;

protected:
    ~PlayerEnvironment() = default;
};

// Makes record the current best: song count from its entry count, position 0,
// no current song, a zeroed history of (count + 7) / 8 bytes.  Fill the history
// next with LoadHistoryValue.  A none record unloads the best (song count 0,
// no history).
void LoadPlayerBest(BestSongs *songs, best::BestRecord record);

// Fills the zeroed history from a stored history value: one larger than the
// bitmap cannot belong to this list and is ignored (every song unplayed); a
// shorter one fills the bytes it holds.
void LoadHistoryValue(BestSongs *songs, const unsigned char *value, size_t size);

bool IsPlayed(const BestSongs &songs, int32_t entry);

// The song count minus the played entries among 0 .. song count - 1.
int CountUnplayed(const BestSongs &songs);

// Chooses the next song (at random when random is set).  On success the position
// and the current song name it, it is set played in memory (the caller
// saves the history when it starts) and the result is 1.  When nothing is
// playable the result is 0, and the caller tells the user.
//
// An entry is gone when its folder, or the volume under a missing folder,
// answers without it: it is passed over and set played, like a folder entry.
// An entry whose volume does not answer, or that cannot be asked, is passed
// over and left unplayed.  A search that finds nothing and passed over such an entry
// leaves the history, position and current song as they were (ReachFailed
// then tells), in memory and as saved.
int SelectNextSong(BestSongs *songs, PlayerEnvironment *env, bool random);

// The current song was chosen and could not be opened.  found: the file
// system's answer for the file opened (a shortcut's target).  Unless the
// file is gone or its bytes could be read (they are what failed), it is out
// of reach: left unplayed and passed over.  True in that case.
bool PassOverUnopened(BestSongs *songs, PlayerEnvironment *env, const char *opened, store::PathFound found);

// The searches since ForgetPassedOver passed over songs they could not
// reach; place names the first folder or share out of reach.
bool ReachFailed(const BestSongs &songs);
// A new change begins: every song is asked for again.
void ForgetPassedOver(BestSongs *songs);

// Makes record, a saved edit of the loaded best, the current best: each entry
// is played when an entry of the same path (compared as the program compares
// paths, without regard to case) was played in the list it replaces, and the
// current song stays current where the new list still holds it.  Otherwise
// the walk goes on at the first entry that followed it and is still there,
// with no current song.
void MovePlayerBest(BestSongs *songs, best::BestRecord record);

// Every entry unplayed, the history saved, position 0.  The song that plays
// is not touched.
void ClearHistory(BestSongs *songs, PlayerEnvironment *env);

// The history part of the random switch with reset: turning random on clears
// the bytes before the one holding the current position; turning it off
// sets entries 0 .. position played, so that in list order play continues
// after the current song.  Nothing when no best is loaded.  Memory only.
void AdjustHistoryForRandomSwitch(BestSongs *songs, bool on);

// The tray tip for a song: the file-name part of path, cut to fit capacity
// bytes (NUL included) at a character boundary with "..." when it is longer.
void TrayTipText(const char *path, char *tip, size_t capacity);

#endif
