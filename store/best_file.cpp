#include "store/best_file.h"

#include <cstring>

#include "editor/best_editing.h"
#include "engine/korvel.h"
#include "utils/ansi_text.h"
#include "shell/errors.h"
#include "store/data_folder.h"
#include "store/registry_layout.h"
#include "store/settings.h"

StoreState g_store;

namespace {

const char kSaveQuestion[] = "このベストの変更点を保存しますか？";
const char kBackupSuffix[] = ".bak";

// Far beyond any best file the program could write (a thousand bests of a
// thousand paths is about 60 MB); a larger one is refused rather than given
// all the memory it asks for.
constexpr LONGLONG kLargestBestFile = 1LL << 30;
constexpr DWORD kIoChunk = 1u << 24;

// A file handle, closed with its scope.
class ScopedFile {
public:
    explicit ScopedFile(HANDLE handle) : handle_(handle) {}
    ~ScopedFile() { Close(); }
    ScopedFile(const ScopedFile &) = delete;
    ScopedFile &operator=(const ScopedFile &) = delete;

    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool Close() {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

private:
    HANDLE handle_;
};

enum class FileRead { Read, Missing, Failed };

// The whole best file.  Missing means that it does not exist; a file that
// exists but cannot be opened (locked, no access) is a failure, so that the
// writer never takes it for an empty one and overwrites what it holds.
FileRead ReadBestFile(std::vector<unsigned char> *bytes) {
    bytes->clear();
    if (!g_store.bestFile[0]) return FileRead::Failed;
    ScopedFile file(CreateFileA(g_store.bestFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Missing
                                                                              : FileRead::Failed;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > kLargestBestFile)
        return FileRead::Failed;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes->size()) {
        size_t left = bytes->size() - done;
        DWORD chunk = left > kIoChunk ? kIoChunk : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes->data() + done, chunk, &got, nullptr) || got == 0) {
            bytes->clear();
            return FileRead::Failed;
        }
        done += got;
    }
    return FileRead::Read;
}

// Reading for the reader's modes: nothing to work on unless there are bytes.
bool ReadBestBytes(std::vector<unsigned char> *bytes) {
    return ReadBestFile(bytes) == FileRead::Read && !bytes->empty();
}

int FillCombo(const std::vector<unsigned char> &bytes, const char *name, bool firstByDefault, HWND combo,
              best::BestRecord *record) {
    best::BestChoice choice = best::ChooseBest(bytes.data(), bytes.size(), name, firstByDefault);
    for (size_t i = 0; i < choice.names.size(); ++i)
        SendMessageA(combo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(choice.names[i].c_str()));
    if (choice.selected < 0) return 0;
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(choice.selected), 0);
    LoadSelectedBest(combo);
    *record = std::move(choice.record);
    return 1;
}

bool WriteWholeFile(const char *path, const std::vector<unsigned char> &content) {
    ScopedFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < content.size()) {
        size_t left = content.size() - done;
        DWORD chunk = left > kIoChunk ? kIoChunk : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file.get(), content.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    // The content must be on disk before it replaces the old file.
    return FlushFileBuffers(file.get()) && file.Close();
}

// Makes an existing best file writable; true when there is no file.
bool MakeWritable() {
    DWORD attributes = GetFileAttributesA(g_store.bestFile);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    SetFileAttributesA(g_store.bestFile, attributes & ~FILE_ATTRIBUTE_READONLY);
    attributes = GetFileAttributesA(g_store.bestFile);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

// Writes content to a temporary file beside the best file and moves it over
// the best file.  With keepOld the old file is copied to KORVEL.dat.bak
// first.  On failure the old file is untouched and the temporary file gone.
bool ReplaceBestFile(const std::vector<unsigned char> &content, bool keepOld) {
    // A drive root is stored as "D:", which alone would mean D:'s current folder.
    char folder[MAX_PATH];
    size_t length = std::strlen(g_store.dataFolder);
    if (length == 0 || length + 2 > sizeof folder) return false;
    std::memcpy(folder, g_store.dataFolder, length);
    folder[length] = '\\';
    folder[length + 1] = '\0';
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder, "kdt", 0, temporary)) return false;

    bool done = WriteWholeFile(temporary, content);
    if (done && keepOld) {
        char backup[MAX_PATH];
        size_t pathLength = std::strlen(g_store.bestFile);
        done = pathLength + sizeof kBackupSuffix <= sizeof backup;
        if (done) {
            std::memcpy(backup, g_store.bestFile, pathLength);
            std::memcpy(backup + pathLength, kBackupSuffix, sizeof kBackupSuffix);
            done = CopyFileA(g_store.bestFile, backup, FALSE) != FALSE;
        }
    }
    if (done)
        done = MoveFileExA(temporary, g_store.bestFile, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!done) DeleteFileA(temporary);
    return done;
}

}  // namespace

int ReadBests(const char *name, int mode, HWND combo, best::BestRecord *record) {
    best::BestRecord ignored;
    if (!record) record = &ignored;
    *record = best::BestRecord();
    std::vector<unsigned char> bytes;
    if (!ReadBestBytes(&bytes)) return 0;
    switch (mode) {
    case kReadFind:
        *record = best::FindBest(bytes.data(), bytes.size(), name);
        return record->IsNone() ? 0 : 1;
    case kReadFillSelect:
    case kReadFillSelectFirst:
        if (!combo) return 0;
        return FillCombo(bytes, name, mode == kReadFillSelectFirst, combo, record);
    case kReadNames:
        g_store.bestNames = best::ListBestNames(bytes.data(), bytes.size());
        return 1;
    default:
        return 0;
    }
}

best::BestRecord FindBestInFile(const char *name) {
    best::BestRecord record;
    ReadBests(name, kReadFind, nullptr, &record);
    return record;
}

int SaveBest(HWND owner, int ask, int mode) {
    if (mode < kSaveDelete || mode > kSaveRebuildOnly) return kSaveFailed;
    if (mode == kSaveRebuild || mode == kSaveRebuildOnly) {
        bool changed = CollectTreeMarks();
        if (!changed && !g_store.dirty) return kSaved;
        g_store.dirty = true;
    }
    if (mode == kSaveRebuildOnly) return kSaveCancelled;
    if (ask && !TestOption(OPT_AUTO_SAVE)) {
        switch (ShowMessage(owner, kSaveQuestion, MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDCANCEL: return kSaveCancelled;
        case IDNO: return kSaveDeclined;
        default: break;
        }
    }
    if (g_store.edited.IsNone()) return kSaveFailed;

    // The entry numbers change with the list, so the best's played history
    // starts afresh; an empty value also tells a later best switch not to
    // write the old bitmap back.
    char name[MAX_PATH];
    ansi::CopyFit(name, sizeof name, g_store.edited.Name());
    WriteValue(kHistoryKey, name, "", 0, REG_BINARY, HKEY_CURRENT_USER);

    // A missing file and an empty one are both a file without bests.
    std::vector<unsigned char> old;
    switch (ReadBestFile(&old)) {
    case FileRead::Failed: return kSaveFailed;
    case FileRead::Missing: break;
    case FileRead::Read:
        if (!MakeWritable()) return kSaveFailed;
        break;
    }

    std::vector<unsigned char> content;
    best::MergeReport report;
    if (!best::MergeBestFile(old.data(), old.size(), g_store.edited, mode == kSaveDelete ? 0 : 1, &content, &report))
        return kSaveFailed;
    // Damaged records cannot be written back; the old file keeps them.
    bool keepOld = report.damagedRecords > 0 || report.lostBytes > 0;
    if (!ReplaceBestFile(content, keepOld)) return kSaveFailed;
    g_store.dirty = false;
    return kSaved;
}

bool LoadDataFolder() {
    char dataPath[MAX_PATH] = "";
    DWORD got = ReadValue(kProgramKey, kValueDataPath, dataPath, sizeof dataPath, REG_SZ, HKEY_CURRENT_USER);
    char module[MAX_PATH] = "";
    DWORD moduleLength = GetModuleFileNameA(nullptr, module, sizeof module);
    if (moduleLength == 0 || moduleLength >= sizeof module) module[0] = '\0';

    store::DataFolder folder;
    auto fileExists = [](const char *path) { return FileExists(path, 0) != 0; };
    if (!store::ResolveDataFolder(got ? dataPath : nullptr, module[0] ? module : nullptr, fileExists, &folder))
        return false;
    // Resolution keeps every path within the buffers.
    ansi::CopyFit(g_store.dataFolder, sizeof g_store.dataFolder, folder.folder.c_str());
    ansi::CopyFit(g_store.settingsFile, sizeof g_store.settingsFile, folder.settingsFile.c_str());
    ansi::CopyFit(g_store.bestFile, sizeof g_store.bestFile, folder.bestFile.c_str());
    if (folder.rewriteDataPath)
        WriteValue(kProgramKey, kValueDataPath, g_store.dataFolder, static_cast<DWORD>(folder.folder.size() + 1),
                   REG_SZ, HKEY_CURRENT_USER);
    return true;
}

void FreeBestNames() {
    g_store.bestNames.clear();
    g_store.bestNames.shrink_to_fit();
}
