#include "utils/folder_listing.h"

#include <windows.h>

#include <string>
#include <new>

#include "utils/scope_guard.h"

namespace listing {

namespace {

// The name in the program's code page, exactly.  Where a character has no
// spelling there, the A functions give '?' or a look-alike ("e" for "é"),
// and a name so changed could never be opened: false.
bool Spelt(const wchar_t *wide, std::string *out) {
    char buffer[MAX_PATH * 2];
    BOOL replaced = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, buffer, static_cast<int>(sizeof buffer),
                                     nullptr, &replaced);
    if (length <= 0 || replaced) return false;
    out->assign(buffer, static_cast<size_t>(length - 1));
    return true;
}

// Protected operating-system entries (hidden and system together, such as a
// drive's recycle bin or a profile's junctions) are no place for songs;
// Explorer hides them too.
bool Protected(DWORD attributes) {
    const DWORD protectedEntry = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & protectedEntry) == protectedEntry;
}

enum class Names { LongOnly, WithShort };

// The long names alone are the cheaper listing (the system need not make up
// short names); the short ones are asked for only when a name needs one.
HANDLE FindFirst(const std::wstring &pattern, Names names, WIN32_FIND_DATAW *entry) {
    FINDEX_INFO_LEVELS level = names == Names::LongOnly ? FindExInfoBasic : FindExInfoStandard;
    HANDLE search = FindFirstFileExW(pattern.c_str(), level, entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    // Windows before 7 knows neither the level nor the flag.
    if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        search = FindFirstFileW(pattern.c_str(), entry);
    return search;
}

enum class Pass { Done, NeedsShortNames, Failed };

// One pass over the matches.  The listing is read in UTF-16, since only
// there can a name the code page cannot spell be told from one it can.
Pass ListOnce(const std::wstring &pattern, Names names, FolderEntries *out) {
    WIN32_FIND_DATAW entry = {};
    HANDLE search = FindFirst(pattern, names, &entry);
    if (search == INVALID_HANDLE_VALUE) return Pass::Failed;
    ScopeGuard closeSearch([search] { FindClose(search); });
    std::string name;
    do {
        if (Protected(entry.dwFileAttributes)) continue;
        bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!Spelt(entry.cFileName, &name)) {
            // Its short name opens it, where the volume has one.
            if (names == Names::LongOnly) return Pass::NeedsShortNames;
            if (!entry.cAlternateFileName[0] || !Spelt(entry.cAlternateFileName, &name)) continue;
        }
        if (folder && IsDotEntry(name.c_str())) continue;
        (folder ? out->folders : out->files).push_back(name);
    } while (FindNextFileW(search, &entry));
    return Pass::Done;
}

}  // namespace

bool ListEntries(const char *pattern, FolderEntries *out) {
    try {
        *out = FolderEntries();
        int length = MultiByteToWideChar(CP_ACP, 0, pattern, -1, nullptr, 0);
        if (length <= 0) return false;
        std::wstring wide(static_cast<size_t>(length), L'\0');
        MultiByteToWideChar(CP_ACP, 0, pattern, -1, &wide[0], length);
        wide.resize(static_cast<size_t>(length - 1));
        Pass pass = ListOnce(wide, Names::LongOnly, out);
        if (pass == Pass::NeedsShortNames) {
            *out = FolderEntries();
            pass = ListOnce(wide, Names::WithShort, out);
        }
        if (pass != Pass::Done) return false;
        SortNames(&out->folders);
        SortNames(&out->files);
        return true;
    } catch (const std::bad_alloc &) {
        *out = FolderEntries();
        return false;
    }
}

}  // namespace listing
