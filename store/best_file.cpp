#include "store/best_file.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "engine/korvel.h"
#include "store/album_key.h"
#include "store/data_folder.h"
#include "store/file_io.h"
#include "store/registry_layout.h"
#include "utils/ansi_text.h"
#include "utils/code_page.h"
#include "utils/handles.h"
#include "utils/path_rules.h"
#include "utils/scope_guard.h"

namespace bestfile {

// Beside KORVEL.dat, and no longer than its name: whenever the best file's
// path fits a path buffer, so do these.
extern const char kBackupName[];
const char kBackupName[] = "KORVEL.bak";
// Held by the copy that writes the best file (see fileio::WriterLock).
const char kLockName[] = "KORVEL.lck";
// Each save writes a temporary file of its own, "KORVEL.~" and two hex
// digits, made as a new file so that two writers never share one; the
// copies of the program before it wrote KORVEL.tmp.
const char kTemporaryPattern[] = "KORVEL.*";
const char kTemporaryStem[] = "KORVEL.~";
const char kOldTemporaryName[] = "KORVEL.tmp";
constexpr size_t kStemLength = sizeof kTemporaryStem - 1;
static_assert(sizeof kBackupName <= sizeof store::kBestFileName && sizeof kLockName <= sizeof store::kBestFileName &&
                  sizeof kTemporaryStem + 2 <= sizeof store::kBestFileName,
              "the writer's files must fit wherever the best file does");

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A temporary file of a writer, this copy's or another's.
bool IsWriterTemporary(const char *name) {
    if (lstrcmpiA(name, kOldTemporaryName) == 0) return true;
    return std::strlen(name) == kStemLength + 2 &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, kStemLength, kTemporaryStem, kStemLength) ==
               CSTR_EQUAL &&
           IsHexDigit(name[kStemLength]) && IsHexDigit(name[kStemLength + 1]);
}

// Reading for the reader: nothing to work on unless there are bytes.
bool ReadBestBytes(const char *bestFile, std::vector<unsigned char> *bytes) {
    return bestFile[0] && fileio::ReadWholeFile(bestFile, bytes) == fileio::FileRead::Read &&
           !bytes->empty();
}

// The whole best file and what it offers.  Without a data folder there is
// no file to read, and so no best.
best::BestFileState JudgeBestBytes(const char *bestFile, std::vector<unsigned char> *bytes) {
    bytes->clear();
    if (!bestFile[0]) return best::BestFileState::NoBest;
    best::FileReading reading = best::FileReading::Read;
    switch (fileio::ReadWholeFile(bestFile, bytes)) {
    case fileio::FileRead::Read: break;
    case fileio::FileRead::Missing: reading = best::FileReading::Missing; break;
    case fileio::FileRead::Failed: reading = best::FileReading::Failed; break;
    }
    return best::JudgeBestFile(reading, bytes->data(), bytes->size());
}

// The file called name in the folder of the best file.
bool BesideBestFile(const char *bestFile, const char *name, char (&path)[MAX_PATH]) {
    const char *separator = ansi::LastSeparator(bestFile);
    if (!separator) return false;
    size_t folder = static_cast<size_t>(separator - bestFile) + 1;
    size_t length = std::strlen(name);
    if (folder + length >= sizeof path) return false;
    std::memcpy(path, bestFile, folder);
    std::memcpy(path + folder, name, length + 1);
    return true;
}

// The writer's temporary files beside the best file, by name; false when
// the folder could not be listed to the end.
bool ListWriterTemporaries(const char *bestFile, std::vector<std::string> *names) {
    names->clear();
    char pattern[MAX_PATH];
    if (!BesideBestFile(bestFile, kTemporaryPattern, pattern)) return false;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA(pattern, &found));
    if (!search) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsWriterTemporary(found.cFileName))
            names->emplace_back(found.cFileName);
    } while (FindNextFileA(search.Get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

// With the writer lock held.  A save cut off where the volume cannot replace
// a file in one step (FAT, exFAT: the old file is deleted, then the new one
// renamed) leaves the new content in a temporary file and no KORVEL.dat.  The
// newest temporary file that is a complete best file becomes KORVEL.dat
// again, so that neither the next read nor the next save takes the folder
// for one without bests.  Nothing is done while KORVEL.dat exists or cannot
// be asked for.
TakeBack TakeBackLeftBestFile(const char *bestFile) {
    if (fileio::FindFile(bestFile) != store::FileFound::None) return TakeBack::Done;
    std::vector<std::string> names;
    if (!ListWriterTemporaries(bestFile, &names)) return TakeBack::Unknown;
    std::string newest;
    ULONGLONG newestTime = 0;
    for (const std::string &name : names) {
        char path[MAX_PATH];
        std::vector<unsigned char> bytes;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!BesideBestFile(bestFile, name.c_str(), path) ||
            !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
            fileio::ReadWholeFile(path, &bytes) != fileio::FileRead::Read)
            return TakeBack::Unknown;
        if (!best::IsCompleteBestFile(bytes.data(), bytes.size())) continue;
        ULONGLONG time = static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                         data.ftLastWriteTime.dwLowDateTime;
        if (newest.empty() || time > newestTime) {
            newest = path;
            newestTime = time;
        }
    }
    // Never over a KORVEL.dat that appeared meanwhile.
    if (!newest.empty() && !MoveFileExA(newest.c_str(), bestFile, MOVEFILE_WRITE_THROUGH)) return TakeBack::Unknown;
    return TakeBack::Done;
}

// With the writer lock held, after a save: the temporary files left by saves
// that were cut off.  One try each; one that is held stays.
void RemoveLeftTemporaries(const char *bestFile) {
    std::vector<std::string> names;
    ListWriterTemporaries(bestFile, &names);
    for (const std::string &name : names) {
        char path[MAX_PATH];
        if (BesideBestFile(bestFile, name.c_str(), path)) DeleteFileA(path);
    }
}

// Writes content to a new temporary file of this save beside the best file;
// false when none could be made.
bool WriteOwnTemporary(const char *bestFile, const std::vector<unsigned char> &content, char (&path)[MAX_PATH]) {
    // A start that differs between processes, so that copies saving at once
    // seldom try the same names; the name is only ever taken as a new file.
    unsigned first = (GetCurrentProcessId() * 31u + GetTickCount()) & 0xFFu;
    for (unsigned k = 0; k < 256; ++k) {
        char name[sizeof kTemporaryStem + 2];
        wsprintfA(name, "%s%02x", kTemporaryStem, (first + k) & 0xFFu);
        if (!BesideBestFile(bestFile, name, path)) return false;
        if (fileio::WriteWholeFile(path, content, fileio::Creation::New)) return true;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// Writes content to a temporary file beside the best file and moves it over
// the best file, provided that is still the file stamped `read`.  With keep,
// that is written to KORVEL.bak first: the old file as read, on disk before
// the new one takes its place.  The temporary file is gone afterwards.
Replacement ReplaceBestFile(const char *bestFile, const std::vector<unsigned char> &content,
                            const std::vector<unsigned char> *keep, const fileio::FileStamp &read) {
    char temporary[MAX_PATH], backup[MAX_PATH];
    if (!BesideBestFile(bestFile, kBackupName, backup) || !WriteOwnTemporary(bestFile, content, temporary))
        return Replacement::Failed;
    ScopeGuard removeTemporary([&temporary] { fileio::RemoveFile(temporary); });
    // A writer that does not take the lock (a copy from before it, a sync
    // client) may have put another file in place since it was read.
    fileio::FileStamp now;
    if (!fileio::StampFile(bestFile, &now)) return Replacement::Failed;
    if (now != read) return Replacement::Changed;
    if (keep) fileio::MakeWritable(backup);
    if ((keep && !fileio::WriteWholeFile(backup, *keep, fileio::Creation::Replace)) ||
        !fileio::ReplaceFile(temporary, bestFile))
        return Replacement::Failed;
    removeTemporary.Dismiss();
    return Replacement::Replaced;
}

// The writer lock of the data folder the best file is in.
bool TakeWriterLock(const char *bestFile, fileio::WriterLock *lock) {
    char path[MAX_PATH];
    return BesideBestFile(bestFile, kLockName, path) && lock->Take(path);
}

}  // namespace bestfile
