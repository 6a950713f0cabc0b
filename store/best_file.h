// The data folder and the best file KORVEL.dat: the reader, the writer and
// the state the store keeps between their calls.
//
// The bytes are checked and merged by store/best_record.h; this side reads
// and writes files, fills combo boxes and asks the user.
#ifndef TIVORN_STORE_BEST_FILE_H
#define TIVORN_STORE_BEST_FILE_H

#include <windows.h>

#include <string>
#include <vector>

#include "store/best_record.h"

struct StoreState {
    char dataFolder[MAX_PATH];    // without a trailing backslash
    char settingsFile[MAX_PATH];  // dataFolder\KORVEL.ini
    char bestFile[MAX_PATH];      // dataFolder\KORVEL.dat
    // The best name list: name k is item k of the best menu and command
    // 10000 + k.  Rebuilt with the best menu.
    std::vector<std::string> bestNames;
    // The best shown in the best settings dialog, and whether its entry list
    // has changes that are not saved.
    best::BestRecord edited;
    bool dirty;
};

extern StoreState g_store;

enum ReadBestsMode {
    kReadFind = 0,             // the record of that name
    kReadFillSelect = 1,       // fill the combo box, select and load that name
    kReadNames = 2,            // rebuild the best name list
    kReadFillSelectFirst = 3,  // as 1, the first best when no name matches
};

// Reads the whole best file and works on it by mode.  Modes 0, 1 and 3 put
// the record found or selected into *record (none when nothing) and answer
// nonzero when there is one; mode 2 answers nonzero when the list was
// rebuilt.  When the file is missing, unreadable or empty the answer is 0
// and nothing changes (mode 2 keeps the previous list).
int ReadBests(const char *name, int mode, HWND combo, best::BestRecord *record);

// Shorthand for mode 0.
best::BestRecord FindBestInFile(const char *name);

enum SaveBestMode {
    kSaveDelete = 0,       // remove the edited best's name from the file
    kSaveRebuild = 1,      // take the tree's marks, then save
    kSaveAsIs = 2,         // save the edited record as it is
    kSaveRebuildOnly = 3,  // take the tree's marks, leave the file alone
};

enum SaveBestResult {
    kSaveDeclined = -1,  // the user chose not to save
    kSaveFailed = 0,
    kSaved = 1,          // saved, or nothing to save
    kSaveCancelled = 2,  // the user cancelled; always for kSaveRebuildOnly
};

// Saves the edited best record into the best file.  The new content goes to
// a temporary file in the data folder first and replaces KORVEL.dat only
// once it is complete on disk, so a failure leaves the old file whole.
int SaveBest(HWND owner, int ask, int mode);

// The data folder step of the start-up load: fills the paths of g_store and
// rewrites "DataPath" when the program's folder was chosen.
bool LoadDataFolder();

void FreeBestNames();

#endif
