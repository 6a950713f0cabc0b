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

namespace {

// A path that names a folder when opened: "D:" alone is the current
// directory of drive D, its root is "D:\".
std::string OpenableFolder(const std::string &folder) {
    return folder.size() == 2 && folder[1] == ':' ? folder + "\\" : folder;
}

// The full, long form of a folder path without a trailing separator; as
// far as it can be had, the text itself otherwise.
std::string CanonicalFolder(const char *folder) {
    std::string given = OpenableFolder(folder);
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(given.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return store::WithoutTrailingSeparator(given.c_str());
    // Only a path that exists has a long form to be found.
    char longer[MAX_PATH];
    length = GetLongPathNameA(full, longer, sizeof longer);
    return store::WithoutTrailingSeparator(length != 0 && length < sizeof longer ? longer : full);
}

// The folder's identity on disk: its volume and file index.
bool FolderIdentity(const std::string &folder, BY_HANDLE_FILE_INFORMATION *info) {
    HANDLE handle = CreateFileA(OpenableFolder(folder).c_str(), 0,
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

class DiskFiles : public store::DataFileSystem {
public:
    bool IsFile(const std::string &path) override { return FileExists(path.c_str(), 0) != 0; }

    bool Move(const std::string &from, const std::string &to) override {
        // To another drive the file is copied, and on disk before the
        // original goes.
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) return true;
        if (!IsFile(from)) return IsFile(to);
        // A copy cut short is no file of ours; the original is still there.
        if (IsFile(to)) Remove(to);
        return false;
    }

    bool Remove(const std::string &path) override {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        return DeleteFileA(path.c_str()) != FALSE;
    }
};

// "DataPath" names the new folder, read back to be sure: it is the one place
// the next start looks for the files.  When it does not hold, the value
// that was there is put back.
bool WriteDataPath(const std::string &folder) {
    char old[MAX_PATH] = "";
    DWORD had = ReadValue(kProgramKey, kValueDataPath, old, sizeof old, REG_SZ, HKEY_CURRENT_USER);
    WriteValue(kProgramKey, kValueDataPath, folder.c_str(), static_cast<DWORD>(folder.size() + 1), REG_SZ,
               HKEY_CURRENT_USER);
    char stored[MAX_PATH] = "";
    if (ReadValue(kProgramKey, kValueDataPath, stored, sizeof stored, REG_SZ, HKEY_CURRENT_USER) &&
        folder == stored)
        return true;
    if (had)
        WriteValue(kProgramKey, kValueDataPath, old, static_cast<DWORD>(std::strlen(old) + 1), REG_SZ,
                   HKEY_CURRENT_USER);
    else
        DeleteValue(kProgramKey, kValueDataPath, HKEY_CURRENT_USER);
    return false;
}

}  // namespace

bool IsDataFolder(const char *folder) {
    if (!folder[0] || !g_store.dataFolder[0]) return false;
    std::string chosen = CanonicalFolder(folder);
    std::string current = CanonicalFolder(g_store.dataFolder);
    return ansi::EqualNoCase(chosen.c_str(), current.c_str()) || SameFolderOnDisk(chosen, current);
}

bool MoveDataFolder(const store::DataFolder &to) {
    if (to.folder.empty() || to.settingsFile.size() >= MAX_PATH || to.bestFile.size() >= MAX_PATH) return false;
    // Moving the files onto themselves would only set them aside.
    if (IsDataFolder(to.folder.c_str())) return true;
    store::DataFolder from;
    from.folder = g_store.dataFolder;
    from.settingsFile = g_store.settingsFile;
    from.bestFile = g_store.bestFile;
    DiskFiles files;
    if (!store::MoveDataFiles(from, to, &files, [&to] { return WriteDataPath(to.folder); })) return false;
    ansi::CopyFit(g_store.dataFolder, sizeof g_store.dataFolder, to.folder.c_str());
    ansi::CopyFit(g_store.settingsFile, sizeof g_store.settingsFile, to.settingsFile.c_str());
    ansi::CopyFit(g_store.bestFile, sizeof g_store.bestFile, to.bestFile.c_str());
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
