// The store: every registry value and data file of the program goes
// through one Store, which knows its registry keys, the data folder with
// the two files in it, and the settings.  The application owns the one the
// program uses and lends it by reference; a test makes its own, on a key of
// its own.  Data and input/output only: no windows.
//
// The best file's bytes are checked and merged by store/best_record.h; this
// side reads and writes the files.
#ifndef TIVORN_STORE_STORE_H
#define TIVORN_STORE_STORE_H

#include <windows.h>

#include <string>
#include <vector>

#include "store/best_record.h"
#include "store/data_folder.h"
#include "store/registry_layout.h"
#include "store/settings.h"

namespace store {

// How a save of the best file ended.
enum class BestSave {
    Saved,
    // Nothing written (the file held for long, another copy saving for long,
    // a full disk, a drive out of reach, read-only media): the best file and
    // the played history are as they were.
    Failed,
    // The file would be larger than the reader takes back (best::kLargestFile):
    // nothing written.
    TooLarge,
};

}  // namespace store

class Store {
public:
    // The store on root's keys, and the engine library told the same key.
    // No data folder and a block of zeros until they are loaded or given.
    explicit Store(const RegistryRoot &root = RegistryRoot());
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    // The keys, for the registry calls.
    const RegistryRoot &root() const { return root_; }
    const char *ProgramKey() const { return root_.program.c_str(); }
    const char *HistoryKey() const { return root_.history.c_str(); }
    const char *EngineKey() const { return root_.engine.c_str(); }

    // The data folder, without a trailing backslash, and the two files in
    // it; "" while there is none.
    const char *dataFolder() const { return dataFolder_; }
    const char *albumFile() const { return albumFile_; }  // dataFolder\KORVEL.ini
    const char *bestFile() const { return bestFile_; }          // dataFolder\KORVEL.dat

    // For the programs that run parts of Tivorn without its start-up load
    // (tests, benchmarks, tools).  The data folder `folder`, with KORVEL.ini
    // and KORVEL.dat in it, taken as a chosen folder is (a trailing
    // backslash dropped); false, with nothing changed, when it is empty or a
    // file path in it would not fit.
    bool UseDataFolder(const char *folder);
    // The three paths exactly as given; an empty one is none.
    void UseDataFolder(const store::DataFolder &files);

    // --- Settings ---

    const Settings &settings() const { return settings_; }
    bool option(Option which) const { return settings_.option(which); }

    // Reads "Settings", "MediaKeys" and the engine variant, with repeat-one
    // off whatever the value holds: repeat-one is for the session it was
    // chosen in, though the stored bit is kept until the next save.  A
    // "Settings" that is missing, of another type or longer than the block
    // means the program is not installed.
    LoadResult LoadSettings();
    void SaveSettings();
    // The block as if read from "Settings" (see Settings::FromBlock); the
    // registry is neither read nor written and no listener is told.
    void UseSettings(const unsigned char *block, size_t size);
    // "MediaKeys" alone (LoadSettings reads it too): on unless it says 0.
    void ReadMediaKeys();
    // "Loop" alone: twice with a fade unless it holds another usable choice.
    void ReadLoopPlay();
    // "SongNotice" alone: off unless it holds a nonzero DWORD.
    void ReadSongNotice();

    // The changes below are made in memory (saved by SaveSettings, but for
    // "MediaKeys" and "Loop"), and each that changes something tells the listeners.
    // Returns on.
    bool SetOption(Option which, bool on);
    // The advanced settings dialog's hotkeys, as given (none and two equal
    // ones included); true when either differs from before.
    bool SetHotkeys(unsigned next, unsigned menu);
    void SetAltMarkIcons(bool on) { SetOption(Option::AltMarkIcons, on); }
    // Writes "MediaKeys" at once; true when it differed.
    bool SetMediaKeys(bool on);
    // Writes "Loop" at once; true when it differed.
    bool SetLoopPlay(LoopPlayUse use);
    // Writes "SongNotice" at once; true when it differed.
    bool SetSongNotice(bool on);

    void AddListener(SettingsListener *listener);
    void RemoveListener(SettingsListener *listener);

    // "Hook": the handle of the installed hotkey hook, written and never read.
    void WriteHookValue(HHOOK hook);

    // --- Data folder, best file, history, album names ---

    // The data folder step of the start-up load: fills the paths of the store and
    // rewrites "DataPath" when the program's folder was chosen.  Unreachable
    // changes nothing, and gives the folder "DataPath" names in *unreachable.
    store::Resolution LoadDataFolder(std::string *unreachable = nullptr);

    // KORVEL.log in the data folder; empty when there is no data folder yet.
    std::string FailureLogFile() const;

    // Whether folder is the data folder, however either is written: a drive
    // root with or without its backslash, a short 8.3 name, other letter case,
    // or another path to the same folder on disk.
    bool IsDataFolder(const char *folder) const;

    // Makes `to` (as store::FormDataFolder gives it) the data folder: KORVEL.ini
    // and KORVEL.dat move there, replacing files of the same names, "DataPath"
    // names it and the paths of the store switch.  All or nothing: Moved, or when
    // either file could not be moved or "DataPath" not written, Undone with
    // everything as it was; PartlyUndone when not every step could be taken
    // back (see store::DataMove): the data folder is then still the old one,
    // and some files are left in `to`.  Unseen when a look at the files went
    // unanswered: the data folder is then the one "DataPath" names, the new
    // one if it was written.  A file that does not exist yet moves nothing
    // and its path switches all the same.
    store::DataMove MoveDataFolder(const store::DataFolder &to);
    // What the move asks before it begins: File when `to` holds a data file
    // already, None when it holds neither.  Unknown, with that folder in
    // *unreachable, when the data folder or `to` cannot be asked: the move
    // would take the files it cannot see for missing, and switch to a folder
    // without them.
    store::FileFound FindDataFilesForMove(const store::DataFolder &to, std::string *unreachable) const;
    // Makes `to`, which holds data files of its own, the data folder as it
    // is: "DataPath" names it and the paths of the store switch; nothing is
    // moved or deleted, and the current files stay where they are.  False,
    // with nothing changed, when "DataPath" could not be written.
    bool UseFoundDataFolder(const store::DataFolder &to);
    // The bests in a best file, for the question before it is replaced: 0
    // when there is no such file or it holds none; false when it cannot be
    // read.
    static bool CountBests(const char *bestFile, size_t *count);

    // "PlayBest", the name of the current best.  Reading fails when the value is
    // missing, unreadable, or longer than any name the best file can hold.
    bool ReadPlayBest(std::string *name) const;
    void WritePlayBest(const char *name);

    // "Root", the MIDI folder, kept without a final separator (a drive root as
    // "D:").  Reading fills folder (size bytes) and leaves it "" when the value
    // is missing or does not fit.
    void ReadMidiFolder(char *folder, size_t size) const;
    void WriteMidiFolder(const char *folder);

    // The reader.  Each call reads the whole file anew; when it is missing,
    // unreadable or empty there is no best, and the results below say so
    // without changing anything.  Where "no best" would lead to the default
    // best, ReadBestFileState tells a failed read apart.

    // A copy of the first record named name (byte for byte), or none.
    best::BestRecord FindBestInFile(const char *name) const;
    // The names of all bests in file order; false (and *names untouched) when
    // the file holds no best.
    bool ReadBestNames(std::vector<std::string> *names) const;
    // Every name, and the record named name selected (with firstByDefault, the
    // first record when none is named so); false when the file holds no best.
    bool ReadBestChoice(const char *name, bool firstByDefault, best::BestChoice *choice) const;

    // The writer: saves edited into the best file in place of the record of its
    // name, or appends it; with remove, deletes that name's record instead.
    // Once the new file is in place the best's played history starts afresh.
    // The data folder's writer lock (KORVEL.lck) is held throughout, so that
    // another copy sharing the folder does not save at the same time, and the
    // merge starts from the file as it is under the lock.  The new content goes
    // to a temporary file of this save in the data folder first and replaces
    // KORVEL.dat only once it is complete on disk, so a failure leaves the old
    // file and the history whole.
    store::BestSave WriteBest(const best::BestRecord &edited, bool remove);

    // The played history: one REG_BINARY value per best, named as the best.  The
    // player keeps the bitmap and the best file's writer empties it; both go
    // through these alone, so the value's place and form are written once.
    void WriteHistory(const char *name, const unsigned char *bitmap, size_t size);
    // An empty value: the best's entry list changed, and a bitmap still in
    // memory no longer matches it, so a save that wants a present value skips.
    void EmptyHistory(const char *name);
    // The stored value when it holds something and at most largest bytes; empty
    // otherwise (a larger value cannot belong to the list).
    std::vector<unsigned char> ReadHistory(const char *name, size_t largest) const;
    // Whether the value holds something.
    bool HistoryPresent(const char *name) const;
    void DeleteHistory(const char *name);

    // The best file read anew and judged (best::JudgeBestFile): bests, none at
    // all, or a read that failed even after waiting out a hold.
    best::BestFileState ReadBestFileState() const;

    // A fresh start when there is no best at all: every best's played history
    // goes, and the best file is set aside as KORVEL.bak beside it (replacing
    // one there), whole, so that bests behind damage are not lost.  An empty
    // file, or one of zero bytes only, holds nothing and is deleted; one that
    // cannot be set aside stays where it is.  The file is judged first, and
    // only NoBest clears anything: a file that holds bests again, or cannot be
    // read, is left as it is with every history, and the state is returned.
    best::BestFileState DeleteAllBests();

    // Album names: the name a folder of the MIDI tab is shown under, kept in
    // the album file KORVEL.ini by the folder's full path (store/album_key.h).
    // Empty when the folder has none.  A write or delete answers false when
    // the album file was not changed (no data folder yet, the file held
    // for long, no access, a full disk): what it held before still stands.
    std::string ReadAlbumName(const char *folder) const;
    bool WriteAlbumName(const char *folder, const char *name);
    bool DeleteAlbumName(const char *folder);

private:
    void Tell(SettingsChange change);
    // A best file left as a temporary file alone is put back before anything
    // reads the bests (see best_file.cpp).
    void TakeBackBestFileAtStart();

    RegistryRoot root_;
    char dataFolder_[MAX_PATH] = "";
    char albumFile_[MAX_PATH] = "";
    char bestFile_[MAX_PATH] = "";
    Settings settings_;
    std::vector<SettingsListener *> listeners_;
};

// The album names of many folders, as a fill of the tree shows them: the
// album file is asked once which folders have a name, and then only for
// those, instead of once for every folder listed.
class AlbumNames {
public:
    static AlbumNames Read(const Store &store);
    std::string For(const char *folder) const;

private:
    std::string albumFile_;
    std::vector<std::string> folders_;  // the keys of the album file's section
};

#endif
