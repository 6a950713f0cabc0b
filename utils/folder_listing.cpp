#include "utils/folder_listing.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "utils/scope_guard.h"

namespace listing {

namespace {

bool HasUnmappableCharacter(const char *name) { return std::strchr(name, '?') != nullptr; }

// Protected operating-system entries (hidden and system together, such as a
// drive's recycle bin or a profile's junctions) are no place for songs;
// Explorer hides them too.
bool Protected(DWORD attributes) {
    const DWORD protectedEntry = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & protectedEntry) == protectedEntry;
}

enum class Names { LongOnly, WithShort };

// One pass over the matches.  The long names alone are the cheaper listing
// (the system need not make up short names); the short ones are asked for
// only when a name needs one.  False when the pass could not begin, or met
// a name that needs its short name while listing without.
HANDLE FindFirst(const char *pattern, Names names, WIN32_FIND_DATAA *entry) {
    FINDEX_INFO_LEVELS level = names == Names::LongOnly ? FindExInfoBasic : FindExInfoStandard;
    HANDLE search =
        FindFirstFileExA(pattern, level, entry, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    // Windows before 7 knows neither the level nor the flag.
    if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        search = FindFirstFileA(pattern, entry);
    return search;
}

enum class Pass { Done, NeedsShortNames, Failed };

Pass ListOnce(const char *pattern, Names names, FolderEntries *out) {
    WIN32_FIND_DATAA entry = {};
    HANDLE search = FindFirst(pattern, names, &entry);
    if (search == INVALID_HANDLE_VALUE) return Pass::Failed;
    ScopeGuard closeSearch([search] { FindClose(search); });
    do {
        if (Protected(entry.dwFileAttributes)) continue;
        bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folder && IsDotEntry(entry.cFileName)) continue;
        // A name with characters outside code page 932 comes back with '?'
        // in their place and could never be opened; its short name can,
        // where the volume has one.
        const char *name = entry.cFileName;
        if (HasUnmappableCharacter(name)) {
            if (names == Names::LongOnly) return Pass::NeedsShortNames;
            if (!entry.cAlternateFileName[0] || HasUnmappableCharacter(entry.cAlternateFileName)) continue;
            name = entry.cAlternateFileName;
        }
        (folder ? out->folders : out->files).emplace_back(name);
    } while (FindNextFileA(search, &entry));
    return Pass::Done;
}

}  // namespace

bool ListEntries(const char *pattern, FolderEntries *out) {
    try {
        *out = FolderEntries();
        Pass pass = ListOnce(pattern, Names::LongOnly, out);
        if (pass == Pass::NeedsShortNames) {
            *out = FolderEntries();
            pass = ListOnce(pattern, Names::WithShort, out);
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
