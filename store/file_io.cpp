#include "store/file_io.h"

#include <windows.h>

#include <string>

#include "engine/korvel.h"
#include "store/best_record.h"
#include "utils/handles.h"

namespace fileio {

namespace {

// Long enough for a scanner or an indexer to let go, short enough that the
// user waits no longer than a moment before a failure is told.
constexpr ULONGLONG kHoldLimitMs = 2000;
constexpr DWORD kPauseMs = 50;
// Another copy's save holds the writer lock through its own waits for holds
// of the files, each up to kHoldLimitMs; most saves take a fraction of that.
constexpr ULONGLONG kLockLimitMs = 5000;

// The best file is the largest data file; the writer makes none larger.
constexpr LONGLONG kLargestFile = static_cast<LONGLONG>(best::kLargestFile);
constexpr DWORD kIoChunk = 1u << 24;

// Sharing and lock violations are another program's hold, whatever the call.
// Windows answers some calls with "access denied" for a hold as well: a
// rename onto, or the delete of, a file another program has open without
// delete sharing, and the opening or creating of a file that was deleted
// while another program still has it open.  A lasting denial (no rights, a
// read-only folder) is told apart from those only by waiting, so calls that
// replace, create or delete wait it out too, at the cost of a moment before
// the same failure; a read takes a denial as final.
bool IsHold(DWORD error, Denial denial) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           (denial == Denial::MayPass && error == ERROR_ACCESS_DENIED);
}

// One try at reading the whole file: ERROR_SUCCESS, or why it failed.  The
// reason is returned rather than left as the last error, which closing the
// file might change.
//
// The file is shared for everything: a backup or sync client that has it
// open for writing, or with delete access, then no longer turns the read
// into a sharing violation (Windows refuses an open whose sharing does not
// admit the access others already hold).  The content is taken as one
// snapshot all the same, and a file cut short meanwhile is told apart.
DWORD ReadOnce(const char *path, std::vector<unsigned char> *bytes) {
    bytes->clear();
    KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
    if (size.QuadPart < 0 || size.QuadPart > kLargestFile) return ERROR_FILE_TOO_LARGE;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes->size()) {
        size_t left = bytes->size() - done;
        DWORD chunk = left > kIoChunk ? kIoChunk : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes->data() + done, chunk, &got, nullptr)) {
            bytes->clear();
            return GetLastError();
        }
        if (got == 0) {  // cut short while it was read
            bytes->clear();
            return ERROR_HANDLE_EOF;
        }
        done += got;
    }
    return ERROR_SUCCESS;
}

// Moves a file to a free name.  To another drive it is copied, the copy
// flushed and read back, and only then the original deleted: a move that
// lets the system copy can report success with the original still there,
// and leave a copy cut short behind when it fails.
class Disk : public store::DataFileSystem {
public:
    store::FileFound Find(const std::string &path) override { return FindFile(path.c_str()); }

    bool Move(const std::string &from, const std::string &to) override {
        if (RetryWhileHeld(Denial::MayPass,
                           [&] { return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE; }))
            return true;
        return GetLastError() == ERROR_NOT_SAME_DEVICE && CopyAcross(from.c_str(), to.c_str());
    }

    bool Remove(const std::string &path) override { return RemoveFile(path.c_str()); }

private:
    static bool CopyAcross(const char *from, const char *to) {
        std::vector<unsigned char> bytes, copy;
        DWORD attributes = GetFileAttributesA(from);
        if (attributes == INVALID_FILE_ATTRIBUTES || ReadWholeFile(from, &bytes) != FileRead::Read) return false;
        // A new file only: whatever stands at `to` is not this call's to replace.
        if (!WriteWholeFile(to, bytes, Creation::New)) return false;
        if (ReadWholeFile(to, &copy) != FileRead::Read || copy != bytes) {
            RemoveFile(to);
            return false;
        }
        DWORD kept = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        if (kept) SetFileAttributesA(to, kept);
        // The copy is whole; an original that will not go is the caller's to
        // see (both are then there).
        RemoveFile(from);
        return true;
    }
};

}  // namespace

namespace {

// Only "no such file" says that the folder is there without it.  "No such
// path" is what a drive letter with nothing behind it, or a share not yet
// reconnected, answers as well; a device not ready, a network error or a
// denial says nothing either.
store::PathFound FoundByError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return store::PathFound::NoName;
    case ERROR_PATH_NOT_FOUND: return store::PathFound::NoPath;
    default: return store::PathFound::NoAnswer;
    }
}

}  // namespace

store::PathFound FindPath(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? store::PathFound::Folder : store::PathFound::File;
    return FoundByError(GetLastError());
}

store::PathFound FindReadableFile(const char *path) {
    store::PathFound found = FindPath(path);
    if (found != store::PathFound::File) return found;
    // Others may write or delete it meanwhile; reading its start is all
    // that is asked.
    KernelHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FoundByError(GetLastError());
    char start[16];
    DWORD read = 0;
    if (!ReadFile(file.Get(), start, sizeof start, &read, nullptr)) return FoundByError(GetLastError());
    return store::PathFound::File;
}

store::FileFound FindFile(const char *path) {
    switch (FindPath(path)) {
    case store::PathFound::File: return store::FileFound::File;
    case store::PathFound::Folder:
    case store::PathFound::NoName: return store::FileFound::None;
    case store::PathFound::NoPath:
    case store::PathFound::NoAnswer: break;
    }
    return store::FileFound::Unknown;
}

namespace {

bool RetryFor(ULONGLONG limitMs, Denial denial, const std::function<bool()> &attempt) {
    ULONGLONG start = GetTickCount64();
    for (;;) {
        if (attempt()) return true;
        DWORD error = GetLastError();
        if (!IsHold(error, denial) || GetTickCount64() - start >= limitMs) {
            SetLastError(error);
            return false;
        }
        Sleep(kPauseMs);
    }
}

ULONGLONG Ticks(const FILETIME &time) {
    return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

bool RetryWhileHeld(Denial denial, const std::function<bool()> &attempt) {
    return RetryFor(kHoldLimitMs, denial, attempt);
}

FileRead ReadWholeFile(const char *path, std::vector<unsigned char> *bytes) {
    auto attempt = [&] {
        DWORD error = ReadOnce(path, bytes);
        SetLastError(error);
        return error == ERROR_SUCCESS;
    };
    if (RetryWhileHeld(Denial::Final, attempt)) return FileRead::Read;
    // Only "no such file" means missing.  A folder that cannot be found says
    // nothing about the file: a mapped share not yet reconnected at logon is
    // reported that way, as is a drive that is not there.
    return GetLastError() == ERROR_FILE_NOT_FOUND ? FileRead::Missing : FileRead::Failed;
}

bool WriteWholeFile(const char *path, const std::vector<unsigned char> &content, Creation creation) {
    DWORD disposition = creation == Creation::New ? CREATE_NEW : CREATE_ALWAYS;
    KernelHandle file;
    if (!RetryWhileHeld(Denial::MayPass, [&] {
            file.Reset(CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
            return static_cast<bool>(file);
        }))
        return false;
    bool written = true;
    size_t done = 0;
    while (written && done < content.size()) {
        size_t left = content.size() - done;
        DWORD chunk = left > kIoChunk ? kIoChunk : static_cast<DWORD>(left);
        DWORD wrote = 0;
        written = WriteFile(file.Get(), content.data() + done, chunk, &wrote, nullptr) && wrote != 0;
        done += wrote;
    }
    // The content must be on disk before it replaces another file.
    written = written && FlushFileBuffers(file.Get());
    written = file.Close() && written;
    if (!written) {
        DWORD error = GetLastError();
        RemoveFile(path);
        SetLastError(error);
    }
    return written;
}

bool ReplaceFile(const char *from, const char *to) {
    return RetryWhileHeld(Denial::MayPass, [&] {
        return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    });
}

bool RemoveFile(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    return RetryWhileHeld(Denial::MayPass, [&] { return DeleteFileA(path) != FALSE; });
}

bool MakeWritable(const char *path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

bool StampFile(const char *path, FileStamp *stamp) {
    *stamp = FileStamp();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return GetLastError() == ERROR_FILE_NOT_FOUND;
    stamp->present = true;
    stamp->size = static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    stamp->created = Ticks(data.ftCreationTime);
    stamp->written = Ticks(data.ftLastWriteTime);
    return true;
}

bool WriterLock::Take(const char *path) {
    if (file_) return true;
    // Shared with no one: another writer's open fails with a sharing
    // violation, and for a moment after it lets go, while the file is being
    // deleted, with "access denied".  A lock file left over (by a file system
    // that could not delete it) is simply taken over.
    return RetryFor(kLockLimitMs, Denial::MayPass, [&] {
        file_.Reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        return static_cast<bool>(file_);
    });
}

store::DataFileSystem &DiskFiles() {
    static Disk disk;
    return disk;
}

}  // namespace fileio
