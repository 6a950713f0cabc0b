#include "store/best_file.h"

#include <cstring>

#include "engine/korvel.h"
#include "store/data_folder.h"
#include "store/registry_layout.h"
#include "utils/ansi_text.h"
#include "utils/scope_guard.h"

StoreState g_store;

namespace {

// Beside KORVEL.dat, and no longer than its name: whenever the best file's
// path fits a path buffer, so do these.
const char kTemporaryName[] = "KORVEL.tmp";
const char kBackupName[] = "KORVEL.bak";
static_assert(sizeof kTemporaryName <= sizeof store::kBestFileName &&
                  sizeof kBackupName <= sizeof store::kBestFileName,
              "the writer's files must fit wherever the best file does");

// Far beyond any best file the program could write (a thousand bests of a
// thousand paths is about 60 MB); a larger one is refused rather than given
// all the memory it asks for.
constexpr LONGLONG kLargestBestFile = 1LL << 30;
constexpr DWORD kIoChunk = 1u << 24;

enum class FileRead { Read, Missing, Failed };

// The whole best file.  Missing means that it does not exist; a file that
// exists but cannot be opened (locked, no access) is a failure, so that the
// writer never takes it for an empty one and overwrites what it holds.
FileRead ReadBestFile(std::vector<unsigned char> *bytes) {
    bytes->clear();
    if (!g_store.bestFile[0]) return FileRead::Failed;
    HANDLE file = CreateFileA(g_store.bestFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Missing
                                                                              : FileRead::Failed;
    }
    ScopeGuard closeFile([file] { CloseHandle(file); });
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || size.QuadPart > kLargestBestFile)
        return FileRead::Failed;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes->size()) {
        size_t left = bytes->size() - done;
        DWORD chunk = left > kIoChunk ? kIoChunk : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file, bytes->data() + done, chunk, &got, nullptr) || got == 0) {
            bytes->clear();
            return FileRead::Failed;
        }
        done += got;
    }
    return FileRead::Read;
}

// Reading for the reader: nothing to work on unless there are bytes.
bool ReadBestBytes(std::vector<unsigned char> *bytes) {
    return ReadBestFile(bytes) == FileRead::Read && !bytes->empty();
}

bool WriteWholeFile(const char *path, const std::vector<unsigned char> &content) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ScopeGuard closeFile([file] { return CloseHandle(file) != FALSE; });
    size_t done = 0;
    while (done < content.size()) {
        size_t left = content.size() - done;
        DWORD chunk = left > kIoChunk ? kIoChunk : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    // The content must be on disk before it replaces the old file.
    return FlushFileBuffers(file) && closeFile.Run();
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

// The file called name in the folder of the best file.
bool BesideBestFile(const char *name, char (&path)[MAX_PATH]) {
    const char *separator = ansi::LastSeparator(g_store.bestFile);
    if (!separator) return false;
    size_t folder = static_cast<size_t>(separator - g_store.bestFile) + 1;
    size_t length = std::strlen(name);
    if (folder + length >= sizeof path) return false;
    std::memcpy(path, g_store.bestFile, folder);
    std::memcpy(path + folder, name, length + 1);
    return true;
}

// Writes content to a temporary file beside the best file and moves it over
// the best file.  With keepOld the old file is copied to KORVEL.bak first.
// On failure the old file is untouched and the temporary file gone.
bool ReplaceBestFile(const std::vector<unsigned char> &content, bool keepOld) {
    char temporary[MAX_PATH];
    if (!g_store.dataFolder[0] || !BesideBestFile(kTemporaryName, temporary)) return false;
    bool done = WriteWholeFile(temporary, content);
    if (done && keepOld) {
        char backup[MAX_PATH];
        done = BesideBestFile(kBackupName, backup) && CopyFileA(g_store.bestFile, backup, FALSE) != FALSE;
    }
    if (done)
        done = MoveFileExA(temporary, g_store.bestFile, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!done) DeleteFileA(temporary);
    return done;
}

}  // namespace

best::BestRecord FindBestInFile(const char *name) {
    std::vector<unsigned char> bytes;
    if (!ReadBestBytes(&bytes)) return best::BestRecord();
    return best::FindBest(bytes.data(), bytes.size(), name);
}

bool ReadBestNames(std::vector<std::string> *names) {
    std::vector<unsigned char> bytes;
    if (!ReadBestBytes(&bytes)) return false;
    *names = best::ListBestNames(bytes.data(), bytes.size());
    return true;
}

bool ReadBestChoice(const char *name, bool firstByDefault, best::BestChoice *choice) {
    std::vector<unsigned char> bytes;
    if (!ReadBestBytes(&bytes)) return false;
    *choice = best::ChooseBest(bytes.data(), bytes.size(), name, firstByDefault);
    return true;
}

bool WriteBest(const best::BestRecord &edited, bool remove) {
    if (edited.IsNone()) return false;

    // The entry numbers change with the list, so the best's played history
    // starts afresh; an empty value also tells a later best switch not to
    // write the old bitmap back.
    char name[MAX_PATH];
    ansi::CopyFit(name, sizeof name, edited.Name());
    WriteValue(kHistoryKey, name, "", 0, REG_BINARY, HKEY_CURRENT_USER);

    // A missing file and an empty one are both a file without bests.
    std::vector<unsigned char> old;
    switch (ReadBestFile(&old)) {
    case FileRead::Failed: return false;
    case FileRead::Missing: break;
    case FileRead::Read:
        if (!MakeWritable()) return false;
        break;
    }

    std::vector<unsigned char> content;
    best::MergeReport report;
    if (!best::MergeBestFile(old.data(), old.size(), edited, remove ? 0 : 1, &content, &report)) return false;
    // Damaged records cannot be written back; the old file keeps them.
    bool keepOld = report.damagedRecords > 0 || report.lostBytes > 0;
    return ReplaceBestFile(content, keepOld);
}

bool ReadPlayBest(std::string *name) {
    DWORD size = ReadValue(kProgramKey, kValuePlayBest, nullptr, 0, REG_SZ, HKEY_CURRENT_USER);
    if (size == 0 || size > MAX_PATH) return false;
    char value[MAX_PATH];
    if (!ReadValue(kProgramKey, kValuePlayBest, value, sizeof value, REG_SZ, HKEY_CURRENT_USER)) return false;
    *name = value;
    return true;
}

void WritePlayBest(const char *name) {
    WriteValue(kProgramKey, kValuePlayBest, name, static_cast<DWORD>(std::strlen(name) + 1), REG_SZ,
               HKEY_CURRENT_USER);
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

void DeleteHistory(const char *name) { DeleteValue(kHistoryKey, name, HKEY_CURRENT_USER); }

void DeleteAllBests() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kHistoryKey);
    if (g_store.bestFile[0]) DeleteFileA(g_store.bestFile);
}

namespace {
const char kAlbumSection[] = "AlbumName";
}  // namespace

std::string ReadAlbumName(const char *folder) {
    char name[MAX_PATH] = "";
    if (g_store.settingsFile[0])
        GetPrivateProfileStringA(kAlbumSection, folder, "", name, sizeof name, g_store.settingsFile);
    return name;
}

void WriteAlbumName(const char *folder, const char *name) {
    if (g_store.settingsFile[0]) WritePrivateProfileStringA(kAlbumSection, folder, name, g_store.settingsFile);
}

void DeleteAlbumName(const char *folder) {
    if (g_store.settingsFile[0]) WritePrivateProfileStringA(kAlbumSection, folder, nullptr, g_store.settingsFile);
}
