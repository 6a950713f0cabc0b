// The data folder and the best file KORVEL.dat: where they are, and reading
// and writing whole records.  Data and input/output only: the best settings
// dialog fills its combo box and asks its questions over these.
//
// The bytes are checked and merged by store/best_record.h; this side reads
// and writes the files.
#ifndef TIVORN_STORE_BEST_FILE_H
#define TIVORN_STORE_BEST_FILE_H

#include <windows.h>

#include <string>
#include <vector>

#include "store/best_record.h"
#include "store/data_folder.h"
#include "store/registry_layout.h"

// Where the store keeps things: the registry keys, and the data folder and
// the two files in it, fixed by LoadDataFolder.
struct StoreState {
    RegistryRoot root;
    char dataFolder[MAX_PATH];    // without a trailing backslash
    char settingsFile[MAX_PATH];  // dataFolder\KORVEL.ini
    char bestFile[MAX_PATH];      // dataFolder\KORVEL.dat
};

extern StoreState g_store;

// The keys of g_store.root, for the registry calls.
inline const char *ProgramKey() { return g_store.root.program.c_str(); }
inline const char *HistoryKey() { return g_store.root.history.c_str(); }
inline const char *EngineKey() { return g_store.root.engine.c_str(); }

// The data folder step of the start-up load: fills the paths of g_store and
// rewrites "DataPath" when the program's folder was chosen.  Unreachable
// changes nothing, and gives the folder "DataPath" names in *unreachable.
store::Resolution LoadDataFolder(std::string *unreachable = nullptr);

// KORVEL.log in the data folder; empty when there is no data folder yet.
std::string FailureLogFile();

// Whether folder is the data folder, however either is written: a drive
// root with or without its backslash, a short 8.3 name, other letter case,
// or another path to the same folder on disk.
bool IsDataFolder(const char *folder);

// Makes `to` (as store::FormDataFolder gives it) the data folder: KORVEL.ini
// and KORVEL.dat move there, replacing files of the same names, "DataPath"
// names it and the paths of g_store switch.  All or nothing: Moved, or when
// either file could not be moved or "DataPath" not written, Undone with
// everything as it was; PartlyUndone when not every step could be taken
// back (see store::DataMove): the data folder is then still the old one,
// and some files are left in `to`.  A file that does not exist yet moves
// nothing and its path switches all the same.
store::DataMove MoveDataFolder(const store::DataFolder &to);
// What the move asks before it begins: File when `to` holds a data file
// already, None when it holds neither.  Unknown, with that folder in
// *unreachable, when the data folder or `to` cannot be asked: the move
// would take the files it cannot see for missing, and switch to a folder
// without them.
store::FileFound FindDataFilesForMove(const store::DataFolder &to, std::string *unreachable);

// "PlayBest", the name of the current best.  Reading fails when the value is
// missing, unreadable, or longer than any name the best file can hold.
bool ReadPlayBest(std::string *name);
void WritePlayBest(const char *name);

// "Root", the MIDI folder, kept without a final separator (a drive root as
// "D:").  Reading fills folder (size bytes) and leaves it "" when the value
// is missing or does not fit.
void ReadMidiFolder(char *folder, size_t size);
void WriteMidiFolder(const char *folder);

// The reader.  Each call reads the whole file anew; when it is missing,
// unreadable or empty there is no best, and the results below say so
// without changing anything.  Where "no best" would lead to the default
// best, ReadBestFileState tells a failed read apart.

// A copy of the first record named name (byte for byte), or none.
best::BestRecord FindBestInFile(const char *name);
// The names of all bests in file order; false (and *names untouched) when
// the file holds no best.
bool ReadBestNames(std::vector<std::string> *names);
// Every name, and the record named name selected (with firstByDefault, the
// first record when none is named so); false when the file holds no best.
bool ReadBestChoice(const char *name, bool firstByDefault, best::BestChoice *choice);

// The writer: saves edited into the best file in place of the record of its
// name, or appends it; with remove, deletes that name's record instead.
// Either way the best's played history starts afresh.  The new content goes
// to a temporary file in the data folder first and replaces KORVEL.dat only
// once it is complete on disk, so a failure leaves the old file whole.
bool WriteBest(const best::BestRecord &edited, bool remove);

// The played history: one REG_BINARY value per best, named as the best.  The
// player keeps the bitmap and the best file's writer empties it; both go
// through these alone, so the value's place and form are written once.
void WriteHistory(const char *name, const unsigned char *bitmap, size_t size);
// An empty value: the best's entry list changed, and a bitmap still in
// memory no longer matches it, so a save that wants a present value skips.
void EmptyHistory(const char *name);
// The stored value when it holds something and at most largest bytes; empty
// otherwise (a larger value cannot belong to the list).
std::vector<unsigned char> ReadHistory(const char *name, size_t largest);
// Whether the value holds something.
bool HistoryPresent(const char *name);
void DeleteHistory(const char *name);

// The best file read anew and judged (best::JudgeBestFile): bests, none at
// all, or a read that failed even after waiting out a hold.
best::BestFileState ReadBestFileState();

// A fresh start when there is no best at all: every best's played history
// goes, and the best file is set aside as KORVEL.bak beside it (replacing
// one there), whole, so that bests behind damage are not lost.  An empty
// file, or one of zero bytes only, holds nothing and is deleted; one that
// cannot be set aside stays where it is.  The file is judged first, and
// only NoBest clears anything: a file that holds bests again, or cannot be
// read, is left as it is with every history, and the state is returned.
best::BestFileState DeleteAllBests();

// Album names: the name a folder of the MIDI tab is shown under, kept in
// the settings file KORVEL.ini by the folder's full path.  Empty when the
// folder has none.
std::string ReadAlbumName(const char *folder);
void WriteAlbumName(const char *folder, const char *name);
void DeleteAlbumName(const char *folder);

// The album names of many folders, as a fill of the tree shows them: the
// settings file is asked once which folders have a name, and then only for
// those, instead of once for every folder listed.
class AlbumNames {
public:
    static AlbumNames Read();
    std::string For(const char *folder) const;

private:
    std::vector<std::string> folders_;  // the keys of the settings file's section
};

#endif
