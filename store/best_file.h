// The best file on disk: its reading, the writer's lock and temporary files
// beside it, and the replacement of the file in one step.  Store's reader
// and writer are made of these.
#ifndef TIVORN_STORE_BEST_FILE_H
#define TIVORN_STORE_BEST_FILE_H

#include <windows.h>

#include <string>
#include <vector>

#include "store/best_record.h"
#include "store/file_io.h"

namespace bestfile {

// Beside KORVEL.dat: where a file without a valid best, or the old file a
// save could not write back whole, is set aside.
extern const char kBackupName[];

// How often a save starts over from the file another writer put in place
// meanwhile before it counts as failed.
constexpr int kMergeRounds = 3;

enum class TakeBack {
    Done,     // KORVEL.dat is there, was taken back, or there is none to take back
    Unknown,  // a temporary file that may hold the bests could not be looked at or moved
};

enum class Replacement {
    Replaced,
    Changed,  // the best file is not the one read: nothing was written
    Failed,   // the old file is untouched
};

// Reading for the reader: nothing to work on unless there are bytes.
bool ReadBestBytes(const char *bestFile, std::vector<unsigned char> *bytes);
// The whole best file and what it offers.
best::BestFileState JudgeBestBytes(const char *bestFile, std::vector<unsigned char> *bytes);
// The file called name in the folder of the best file.
bool BesideBestFile(const char *bestFile, const char *name, char (&path)[MAX_PATH]);
// The writer's temporary files beside the best file, by name; false when
// the folder could not be listed to the end.
bool ListWriterTemporaries(const char *bestFile, std::vector<std::string> *names);
// With the writer lock held: a best file left as a temporary file alone is
// put back.
TakeBack TakeBackLeftBestFile(const char *bestFile);
// With the writer lock held, after a save: the temporary files left by saves
// that were cut off.
void RemoveLeftTemporaries(const char *bestFile);
// Writes content over the best file, provided that is still the file stamped
// read; with keep, that goes to KORVEL.bak first.
Replacement ReplaceBestFile(const char *bestFile, const std::vector<unsigned char> &content,
                            const std::vector<unsigned char> *keep, const fileio::FileStamp &read);
// The writer lock of the data folder the best file is in.
bool TakeWriterLock(const char *bestFile, fileio::WriterLock *lock);

}  // namespace bestfile

#endif
