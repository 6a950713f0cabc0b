#include "store/data_folder_disk.h"

#include <shlobj.h>

#include <cstring>

#include "engine/korvel.h"
#include "store/file_io.h"
#include "store/registry_layout.h"
#include "utils/ansi_text.h"
#include "utils/code_page.h"
#include "utils/handles.h"
#include "utils/path_rules.h"
#include "utils/scope_guard.h"

namespace datadisk {


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
    KernelHandle handle(CreateFileA(paths::ShownFolder(folder).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return false;
    // A file system without file indexes cannot tell folders apart this way.
    return GetFileInformationByHandle(handle.Get(), info) && (info->nFileIndexHigh | info->nFileIndexLow) != 0;
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



// Both data files of a folder, for the move: it looks at each, so each must
// answer.
store::FileFound FindBothDataFiles(const char *albumFile, const char *bestFile) {
    store::FileFound album = fileio::FindFile(albumFile), best = fileio::FindFile(bestFile);
    if (album == store::FileFound::Unknown || best == store::FileFound::Unknown) return store::FileFound::Unknown;
    return album == store::FileFound::File || best == store::FileFound::File ? store::FileFound::File
                                                                             : store::FileFound::None;
}


}  // namespace datadisk
