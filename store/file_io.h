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
#include "utils/handles.h"

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
// failure nothing this call created stays behind, and the last error is the
// failure's (ERROR_FILE_EXISTS for a New file whose name is taken).
bool WriteWholeFile(const char *path, const std::vector<unsigned char> &content, Creation creation);

// Moves a file over another of the same volume (or to a free name), on disk
// when it returns; on failure both files are as they were.
bool ReplaceFile(const char *from, const char *to);

// Deletes a file, a read-only one too.
bool RemoveFile(const char *path);

// Takes the read-only attribute off a file so that it can be replaced;
// false when the file does not exist or stays read-only.
bool MakeWritable(const char *path);

// The size and times of a file, which tell one version of it from the next
// (a replace puts another file with times of its own in its place).
struct FileStamp {
    bool present = false;  // false: there is no such file
    unsigned long long size = 0, created = 0, written = 0;
    bool operator==(const FileStamp &other) const {
        return present == other.present && size == other.size && created == other.created &&
               written == other.written;
    }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};
// False when the file's folder cannot be asked; a missing file is a stamp
// that is not present.
bool StampFile(const char *path, FileStamp *stamp);

// The data folder's writer lock: a file that no other program may open while
// it is held, so that one copy at a time, on this PC or on another sharing
// the folder, reads, merges and replaces the best file.  The system deletes
// it when its holder lets go or ends, a crash included.
class WriterLock {
public:
    WriterLock() = default;
    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;
    // Takes the lock at path, waiting about five seconds for another writer
    // to finish; false when it could not be had by then.
    bool Take(const char *path);

private:
    KernelHandle file_;
};

// The data folder move on disk.
store::DataFileSystem &DiskFiles();

}  // namespace fileio

#endif
