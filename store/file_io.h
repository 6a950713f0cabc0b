// Reading, writing, replacing and deleting the data files (KORVEL.dat,
// KORVEL.ini and the files set aside beside them).  Virus scanners, indexers
// and sync clients open such a file for a moment, often without sharing it;
// every call here that meets such a hold tries again for a short while
// before it counts as failed.
#ifndef TIVORN_STORE_FILE_IO_H
#define TIVORN_STORE_FILE_IO_H

#include <functional>
#include <vector>

#include "store/data_folder.h"
#include "store/path_found.h"

namespace fileio {

// Whether "access denied" may be a passing hold (see RetryWhileHeld).
enum class Denial {
    Final,    // reading: a denial is the file's rights, and lasts
    MayPass,  // replacing, creating or deleting a file
};

// Runs attempt, a file call that leaves its error as the last error when it
// fails, until it succeeds, fails for another reason than a hold, or about
// two seconds have passed.  The last error is then the last attempt's.
bool RetryWhileHeld(Denial denial, const std::function<bool()> &attempt);

// Whether path names an existing file, as a data folder's resolution needs
// it: only "no such file" is None; a folder out of reach is Unknown.
store::FileFound FindFile(const char *path);

// The path as the file system answers for it, with why when it is no file.
store::PathFound FindPath(const char *path);
// As FindPath, but a file counts only when its first bytes can be read: an
// online-only file offline, a file held without read sharing or one without
// read access answers NoAnswer.
store::PathFound FindReadableFile(const char *path);

enum class FileRead { Read, Missing, Failed };

// The whole file.  Missing means that its folder holds no such file; a file
// that exists or may exist but cannot be read (held for long, no access, too
// large, offline, its folder out of reach) is a failure, so that it is never
// taken for an empty one.
FileRead ReadWholeFile(const char *path, std::vector<unsigned char> *bytes);

enum class Creation {
    Replace,  // a file of that name is overwritten
    New,      // a file of that name is left alone and the call fails
};

// Writes content as the file's whole content and flushes it to disk.  On
// failure nothing this call created stays behind.
bool WriteWholeFile(const char *path, const std::vector<unsigned char> &content, Creation creation);

// Moves a file over another of the same volume (or to a free name), on disk
// when it returns; on failure both files are as they were.
bool ReplaceFile(const char *from, const char *to);

// Deletes a file, a read-only one too.
bool RemoveFile(const char *path);

// Takes the read-only attribute off a file so that it can be replaced;
// false when the file does not exist or stays read-only.
bool MakeWritable(const char *path);

// The data folder move on disk.
store::DataFileSystem &DiskFiles();

}  // namespace fileio

#endif
