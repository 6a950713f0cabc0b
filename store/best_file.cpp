#include "store/store.h"

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
#include "utils/path_rules.h"
#include "utils/scope_guard.h"

namespace {

// Beside KORVEL.dat, and no longer than its name: whenever the best file's
// path fits a path buffer, so do these.
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

// How often a save starts over from the file another writer put in place
// meanwhile before it counts as failed.
constexpr int kMergeRounds = 3;

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
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    ScopeGuard close([search] { FindClose(search); });
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsWriterTemporary(found.cFileName))
            names->emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

enum class TakeBack {
    Done,     // KORVEL.dat is there, was taken back, or there is none to take back
    Unknown,  // a temporary file that may hold the bests could not be looked at or moved
};

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

enum class Replacement {
    Replaced,
    Changed,  // the best file is not the one read: nothing was written
    Failed,   // the old file is untouched
};

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

}  // namespace

std::string Store::FailureLogFile() const {
    std::string path;
    if (!dataFolder_[0] || !paths::JoinFitting(dataFolder_, store::kFailureLogName, &path)) return {};
    return path;
}

best::BestRecord Store::FindBestInFile(const char *name) const {
    std::vector<unsigned char> bytes;
    if (!ReadBestBytes(bestFile_, &bytes)) return best::BestRecord();
    return best::FindBest(bytes.data(), bytes.size(), name);
}

bool Store::ReadBestNames(std::vector<std::string> *names) const {
    std::vector<unsigned char> bytes;
    if (!ReadBestBytes(bestFile_, &bytes)) return false;
    *names = best::ListBestNames(bytes.data(), bytes.size());
    return true;
}

bool Store::ReadBestChoice(const char *name, bool firstByDefault, best::BestChoice *choice) const {
    std::vector<unsigned char> bytes;
    if (!ReadBestBytes(bestFile_, &bytes)) return false;
    *choice = best::ChooseBest(bytes.data(), bytes.size(), name, firstByDefault);
    return true;
}

store::BestSave Store::WriteBest(const best::BestRecord &edited, bool remove) {
    if (edited.IsNone() || !bestFile_[0] || !dataFolder_[0]) return store::BestSave::Failed;
    fileio::WriterLock lock;
    if (!TakeWriterLock(bestFile_, &lock) || TakeBackLeftBestFile(bestFile_) != TakeBack::Done)
        return store::BestSave::Failed;

    for (int round = 0; round < kMergeRounds; ++round) {
        // Stamped before it is read: a file replaced in between is read again.
        fileio::FileStamp read;
        if (!fileio::StampFile(bestFile_, &read)) return store::BestSave::Failed;
        // A missing file and an empty one are both a file without bests.
        std::vector<unsigned char> old;
        switch (fileio::ReadWholeFile(bestFile_, &old)) {
        case fileio::FileRead::Failed: return store::BestSave::Failed;
        case fileio::FileRead::Missing: break;
        case fileio::FileRead::Read:
            if (!fileio::MakeWritable(bestFile_)) return store::BestSave::Failed;
            break;
        }

        std::vector<unsigned char> content;
        best::MergeReport report;
        switch (best::MergeBestFile(old.data(), old.size(), edited, remove ? 0 : 1, &content, &report)) {
        case best::MergeResult::Merged: break;
        case best::MergeResult::NoRecord: return store::BestSave::Failed;
        case best::MergeResult::TooLarge: return store::BestSave::TooLarge;
        }
        // Damaged records cannot be written back; the old file keeps them.
        bool keepOld = report.damagedRecords > 0 || report.lostBytes > 0;
        switch (ReplaceBestFile(bestFile_, content, keepOld ? &old : nullptr, read)) {
        case Replacement::Changed: continue;
        case Replacement::Failed: return store::BestSave::Failed;
        case Replacement::Replaced: break;
        }
        // The entry numbers change with the list, so the best's played
        // history starts afresh, now that the new list is the stored one; an
        // empty value also tells a later best switch not to write the old
        // bitmap back.
        char name[MAX_PATH];
        ansi::CopyFit(name, sizeof name, edited.Name());
        Store::EmptyHistory(name);
        RemoveLeftTemporaries(bestFile_);
        return store::BestSave::Saved;
    }
    return store::BestSave::Failed;
}

bool Store::ReadPlayBest(std::string *name) const {
    DWORD size = ReadValue(ProgramKey(), kValuePlayBest, nullptr, 0, REG_SZ, HKEY_CURRENT_USER);
    if (size == 0 || size > paths::kPathBuffer) return false;
    char value[paths::kPathBuffer];
    if (!ReadValue(ProgramKey(), kValuePlayBest, value, sizeof value, REG_SZ, HKEY_CURRENT_USER)) return false;
    *name = value;
    return true;
}

void Store::WritePlayBest(const char *name) {
    WriteValue(ProgramKey(), kValuePlayBest, name, static_cast<DWORD>(std::strlen(name) + 1), REG_SZ,
               HKEY_CURRENT_USER);
}

void Store::ReadMidiFolder(char *folder, size_t size) const {
    folder[0] = '\0';
    ReadValue(ProgramKey(), kValueRoot, folder, static_cast<DWORD>(size), REG_SZ, HKEY_CURRENT_USER);
}

void Store::WriteMidiFolder(const char *folder) {
    WriteValue(ProgramKey(), kValueRoot, folder, static_cast<DWORD>(std::strlen(folder) + 1), REG_SZ,
               HKEY_CURRENT_USER);
}

namespace {

// Whether the program can create files in folder, found the way Windows
// documents it: by creating one.  Attributes and rights cannot tell (the
// read-only attribute of a folder means nothing to the file system, and
// Program Files refuses a standard user through its access list), and this
// program's manifest turns file virtualization off, so a write that would
// fail there really fails.
bool CanCreateFileIn(const char *folder) {
    char probe[paths::kPathBuffer];
    std::string shown = paths::ShownFolder(folder);
    // GetTempFileName needs room for its own name after the folder.
    if (shown.size() > paths::kPathBuffer - 14) return false;
    if (!GetTempFileNameA(shown.c_str(), "tvn", 0, probe)) return false;
    DeleteFileA(probe);
    return true;
}

bool MakeFolder(const char *folder) {
    std::string shown = paths::ShownFolder(folder);
    if (CreateDirectoryA(shown.c_str(), nullptr)) return true;
    DWORD attributes = GetFileAttributesA(shown.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// %LOCALAPPDATA%\Tivorn in the ANSI code page, by the folder's short form
// where its name has characters the code page lacks; empty when the user's
// folder cannot be had or named at all (a path with "?" in it would name
// another folder, or none).
std::string LocalDataFolder() {
    PWSTR wide = nullptr;
    HRESULT found = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &wide);
    ScopeGuard freeWide([&wide] { CoTaskMemFree(wide); });  // also on failure, as documented
    if (FAILED(found) || !wide) return std::string();
    std::string ansi;
    if (!codepage::SpellPath(wide, &ansi)) return std::string();
    return paths::KeptFolder(ansi.c_str()) + "\\Tivorn";
}

// What a string value of the program's key held.
enum class StoredText {
    Read,
    Missing,   // not there: the one answer that may be taken for "none"
    Unusable,  // there, but of another type, too long or unreadable
};

// A REG_SZ (or REG_EXPAND_SZ, expanded) value of at most largest bytes with
// its NUL.  The engine's last error tells a missing value from one that is
// there and cannot be used.
StoredText ReadStoredText(const char *key, const char *name, size_t largest, std::string *text) {
    auto missing = [] { return GetLastError() == ERROR_FILE_NOT_FOUND; };
    DWORD size = ReadValue(key, name, nullptr, 0, REG_SZ, HKEY_CURRENT_USER);
    if (size == 0) return missing() ? StoredText::Missing : StoredText::Unusable;
    if (size > largest) return StoredText::Unusable;
    std::vector<char> value(largest, '\0');
    if (!ReadValue(key, name, value.data(), static_cast<DWORD>(value.size()), REG_SZ, HKEY_CURRENT_USER))
        return missing() ? StoredText::Missing : StoredText::Unusable;
    *text = value.data();
    return StoredText::Read;
}

}  // namespace

store::Resolution Store::LoadDataFolder(std::string *unreachable) {
    // A "DataPath" that is there but cannot be used (another type, too long
    // for any path buffer, an expansion that does not fit) is the user's
    // folder all the same: taken for none, the program's folder would take
    // its place and the default best every history.  It is reported as a
    // folder out of reach, named by where it is kept, and never replaced.
    std::string dataPath;
    StoredText stored = ReadStoredText(ProgramKey(), kValueDataPath, paths::kPathBuffer, &dataPath);
    if (stored == StoredText::Unusable) {
        if (unreachable) *unreachable = std::string("HKEY_CURRENT_USER\\") + ProgramKey() + " の " + kValueDataPath;
        return store::Resolution::Unreachable;
    }
    // The program's own path as the code page spells it; the start has
    // ended already where it cannot be spelt.
    std::string module;
    codepage::ProgramFile(&module);

    store::DataFolder folder;
    store::WritableFallback fallback;
    fallback.writable = CanCreateFileIn;
    fallback.makeFolder = MakeFolder;
    fallback.localFolder = LocalDataFolder();
    store::Resolution resolution =
        store::ResolveDataFolder(stored == StoredText::Read ? dataPath.c_str() : nullptr,
                                 module.empty() ? nullptr : module.c_str(), fileio::FindFile, &folder, fallback);
    if (resolution == store::Resolution::Unreachable && unreachable) *unreachable = folder.folder;
    if (resolution != store::Resolution::Resolved) return resolution;
    // Resolution keeps every path within the buffers.
    ansi::CopyFit(dataFolder_, sizeof dataFolder_, folder.folder.c_str());
    ansi::CopyFit(settingsFile_, sizeof settingsFile_, folder.settingsFile.c_str());
    ansi::CopyFit(bestFile_, sizeof bestFile_, folder.bestFile.c_str());
    if (folder.rewriteDataPath)
        WriteValue(ProgramKey(), kValueDataPath, dataFolder_, static_cast<DWORD>(folder.folder.size() + 1),
                   REG_SZ, HKEY_CURRENT_USER);
    TakeBackBestFileAtStart();
    return resolution;
}

namespace {

// The full, long form of a folder path without a trailing separator; as
// far as it can be had, the text itself otherwise.
std::string CanonicalFolder(const char *folder) {
    std::string given = paths::ShownFolder(folder);
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(given.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return paths::KeptFolder(given.c_str());
    // Only a path that exists has a long form to be found.
    char longer[MAX_PATH];
    length = GetLongPathNameA(full, longer, sizeof longer);
    return paths::KeptFolder(length != 0 && length < sizeof longer ? longer : full);
}

// The folder's identity on disk: its volume and file index.
bool FolderIdentity(const std::string &folder, BY_HANDLE_FILE_INFORMATION *info) {
    HANDLE handle = CreateFileA(paths::ShownFolder(folder).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    ScopeGuard closeHandle([handle] { CloseHandle(handle); });
    // A file system without file indexes cannot tell folders apart this way.
    return GetFileInformationByHandle(handle, info) && (info->nFileIndexHigh | info->nFileIndexLow) != 0;
}

bool SameFolderOnDisk(const std::string &a, const std::string &b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return FolderIdentity(a, &first) && FolderIdentity(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// "DataPath" names the new folder, read back to be sure: it is the one place
// the next start looks for the files.  When it does not hold, the value
// that was there is put back.
bool WriteDataPath(const char *programKey, const std::string &folder) {
    char old[MAX_PATH] = "";
    DWORD had = ReadValue(programKey, kValueDataPath, old, sizeof old, REG_SZ, HKEY_CURRENT_USER);
    // Only a value that was not there may be taken away again.
    bool oldMissing = !had && GetLastError() == ERROR_FILE_NOT_FOUND;
    WriteValue(programKey, kValueDataPath, folder.c_str(), static_cast<DWORD>(folder.size() + 1), REG_SZ,
               HKEY_CURRENT_USER);
    char stored[MAX_PATH] = "";
    if (ReadValue(programKey, kValueDataPath, stored, sizeof stored, REG_SZ, HKEY_CURRENT_USER) &&
        folder == stored)
        return true;
    if (had)
        WriteValue(programKey, kValueDataPath, old, static_cast<DWORD>(std::strlen(old) + 1), REG_SZ,
                   HKEY_CURRENT_USER);
    else if (oldMissing)
        DeleteValue(programKey, kValueDataPath, HKEY_CURRENT_USER);
    return false;
}

}  // namespace

bool Store::IsDataFolder(const char *folder) const {
    if (!folder[0] || !dataFolder_[0]) return false;
    std::string chosen = CanonicalFolder(folder);
    std::string current = CanonicalFolder(dataFolder_);
    return ansi::EqualNoCase(chosen.c_str(), current.c_str()) || SameFolderOnDisk(chosen, current);
}

store::DataMove Store::MoveDataFolder(const store::DataFolder &to) {
    if (to.folder.empty() || to.settingsFile.size() >= paths::kPathBuffer || to.bestFile.size() >= paths::kPathBuffer)
        return store::DataMove::Undone;
    // Moving the files onto themselves would only set them aside.
    if (IsDataFolder(to.folder.c_str())) return store::DataMove::Moved;
    store::DataFolder from;
    from.folder = dataFolder_;
    from.settingsFile = settingsFile_;
    from.bestFile = bestFile_;
    // The paths follow "DataPath": where it names the new folder, the files
    // went there, seen or not.
    bool committed = false;
    store::DataMove result = store::MoveDataFiles(from, to, &fileio::DiskFiles(), [this, &to, &committed] {
        return committed = WriteDataPath(ProgramKey(), to.folder);
    });
    if (!committed) return result;
    ansi::CopyFit(dataFolder_, sizeof dataFolder_, to.folder.c_str());
    ansi::CopyFit(settingsFile_, sizeof settingsFile_, to.settingsFile.c_str());
    ansi::CopyFit(bestFile_, sizeof bestFile_, to.bestFile.c_str());
    return result;
}

namespace {

// Both data files of a folder, for the move: it looks at each, so each must
// answer.
store::FileFound FindBothDataFiles(const char *settingsFile, const char *bestFile) {
    store::FileFound settings = fileio::FindFile(settingsFile), best = fileio::FindFile(bestFile);
    if (settings == store::FileFound::Unknown || best == store::FileFound::Unknown) return store::FileFound::Unknown;
    return settings == store::FileFound::File || best == store::FileFound::File ? store::FileFound::File
                                                                                : store::FileFound::None;
}

}  // namespace

store::FileFound Store::FindDataFilesForMove(const store::DataFolder &to, std::string *unreachable) const {
    if (FindBothDataFiles(settingsFile_, bestFile_) == store::FileFound::Unknown) {
        *unreachable = dataFolder_;
        return store::FileFound::Unknown;
    }
    store::FileFound target = FindBothDataFiles(to.settingsFile.c_str(), to.bestFile.c_str());
    if (target == store::FileFound::Unknown) *unreachable = to.folder;
    return target;
}

bool Store::UseFoundDataFolder(const store::DataFolder &to) {
    if (to.folder.empty() || to.settingsFile.size() >= paths::kPathBuffer || to.bestFile.size() >= paths::kPathBuffer ||
        !WriteDataPath(ProgramKey(), to.folder))
        return false;
    UseDataFolder(to);
    return true;
}

bool Store::CountBests(const char *bestFile, size_t *count) {
    *count = 0;
    std::vector<unsigned char> bytes;
    switch (fileio::ReadWholeFile(bestFile, &bytes)) {
    case fileio::FileRead::Missing: return true;
    case fileio::FileRead::Failed: return false;
    case fileio::FileRead::Read: break;
    }
    *count = best::ListBestNames(bytes.data(), bytes.size()).size();
    return true;
}

void Store::WriteHistory(const char *name, const unsigned char *bitmap, size_t size) {
    WriteValue(HistoryKey(), name, bitmap, static_cast<DWORD>(size), REG_BINARY, HKEY_CURRENT_USER);
}

void Store::EmptyHistory(const char *name) { WriteValue(HistoryKey(), name, "", 0, REG_BINARY, HKEY_CURRENT_USER); }

std::vector<unsigned char> Store::ReadHistory(const char *name, size_t largest) const {
    DWORD stored = ReadValue(HistoryKey(), name, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER);
    if (stored == 0 || stored > largest) return {};
    std::vector<unsigned char> value(stored);
    value.resize(ReadValue(HistoryKey(), name, value.data(), stored, REG_BINARY, HKEY_CURRENT_USER));
    return value;
}

bool Store::HistoryPresent(const char *name) const {
    return ReadValue(HistoryKey(), name, nullptr, 0, REG_BINARY, HKEY_CURRENT_USER) != 0;
}

void Store::DeleteHistory(const char *name) { DeleteValue(HistoryKey(), name, HKEY_CURRENT_USER); }

best::BestFileState Store::ReadBestFileState() const {
    std::vector<unsigned char> bytes;
    return JudgeBestBytes(bestFile_, &bytes);
}

void Store::TakeBackBestFileAtStart() {
    // Most starts find KORVEL.dat, and need no lock (which a folder that
    // cannot be written would keep them waiting for).  Another copy saving
    // now puts its file in place itself.
    std::vector<std::string> names;
    if (fileio::FindFile(bestFile_) != store::FileFound::None ||
        (ListWriterTemporaries(bestFile_, &names) && names.empty()))
        return;
    fileio::WriterLock lock;
    if (TakeWriterLock(bestFile_, &lock)) TakeBackLeftBestFile(bestFile_);
}

best::BestFileState Store::DeleteAllBests() {
    // A writer of another copy may be between deleting KORVEL.dat and putting
    // its new one in place, or may have been cut off there.
    fileio::WriterLock lock;
    if (bestFile_[0]) {
        if (!TakeWriterLock(bestFile_, &lock) || TakeBackLeftBestFile(bestFile_) != TakeBack::Done)
            return best::BestFileState::Unreadable;
    }
    // Judged on the very bytes that are set aside: the reader's "no best" a
    // moment ago may have been a hold that has passed since, or a failure.
    std::vector<unsigned char> old;
    best::BestFileState state = JudgeBestBytes(bestFile_, &old);
    if (state != best::BestFileState::NoBest) return state;
    RegDeleteKeyA(HKEY_CURRENT_USER, HistoryKey());
    // A file without a valid best may still hold the user's bests behind
    // damage: it is set aside whole rather than deleted.  Nothing but zero
    // bytes (an empty file, the end marker alone) holds nothing to keep, and
    // must not take the place of a KORVEL.bak that does.
    if (std::all_of(old.begin(), old.end(), [](unsigned char byte) { return byte == 0; })) {
        fileio::RemoveFile(bestFile_);
        return state;
    }
    char backup[MAX_PATH];
    if (!BesideBestFile(bestFile_, kBackupName, backup)) return state;
    fileio::MakeWritable(backup);
    fileio::ReplaceFile(bestFile_, backup);
    return state;
}

namespace {

const char kAlbumSection[] = "AlbumName";

std::string ReadAlbumNameIn(const char *settingsFile, const char *folder) {
    char name[MAX_PATH] = "";
    if (settingsFile[0])
        GetPrivateProfileStringA(kAlbumSection, store::AlbumKey(folder).c_str(), "", name, sizeof name, settingsFile);
    return name;
}

// A null name deletes the folder's key.
bool WriteAlbumNameIn(const char *settingsFile, const char *folder, const char *name) {
    if (!settingsFile[0]) return false;
    std::string key = store::AlbumKey(folder);
    if (fileio::RetryWhileHeld(fileio::Denial::MayPass, [&] {
            return WritePrivateProfileStringA(kAlbumSection, key.c_str(), name, settingsFile) != FALSE;
        }))
        return true;
    // The system may keep the file in memory with the change it could not
    // write; let go of that copy, so that reads give what the file holds.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, settingsFile);
    return false;
}

}  // namespace

std::string Store::ReadAlbumName(const char *folder) const { return ReadAlbumNameIn(settingsFile_, folder); }

AlbumNames AlbumNames::Read(const Store &store) {
    AlbumNames names;
    names.settingsFile_ = store.settingsFile();
    const char *file = store.settingsFile();
    if (!file[0]) return names;
    // The section's keys, each ended by a NUL and the list by one more.  A
    // list that does not fit comes back cut at size - 2.
    std::vector<char> keys(4096);
    for (;;) {
        DWORD got = GetPrivateProfileStringA(kAlbumSection, nullptr, "", keys.data(), static_cast<DWORD>(keys.size()),
                                             file);
        if (got + 2 < keys.size()) {
            keys.resize(got + 1);
            break;
        }
        if (keys.size() >= (1u << 26)) return names;  // no settings file is that large
        keys.resize(keys.size() * 2);
    }
    for (size_t at = 0; at < keys.size() && keys[at];) {
        names.folders_.push_back(store::AlbumFolder(&keys[at]));
        at += std::strlen(&keys[at]) + 1;
    }
    return names;
}

std::string AlbumNames::For(const char *folder) const {
    // The settings file matches its keys in any letter case; so does this.
    for (const std::string &named : folders_)
        if (lstrcmpiA(named.c_str(), folder) == 0) return ReadAlbumNameIn(settingsFile_.c_str(), folder);
    return std::string();
}

bool Store::WriteAlbumName(const char *folder, const char *name) {
    return WriteAlbumNameIn(settingsFile_, folder, name);
}

bool Store::DeleteAlbumName(const char *folder) {
    if (WriteAlbumNameIn(settingsFile_, folder, nullptr)) return true;
    // A folder without a name had nothing to take away, even where the file
    // cannot be written (a read-only data folder, say).  A file that cannot
    // be read now may hold one all the same.
    std::vector<unsigned char> bytes;
    fileio::FileRead read = settingsFile_[0] ? fileio::ReadWholeFile(settingsFile_, &bytes) : fileio::FileRead::Failed;
    return read == fileio::FileRead::Missing || (read == fileio::FileRead::Read && ReadAlbumName(folder).empty());
}
