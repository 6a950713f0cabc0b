#include "utils/folder_listing.h"
#include "utils/folder_listing_calls.h"

#include <windows.h>

#include <string>
#include <new>

#include "utils/code_page.h"
#include "utils/name_spelling.h"
#include "utils/handles.h"

namespace listing {

namespace {

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
Pass ListOnce(const std::wstring &pattern, Names names, ShortNames shortNames, FindNextCall findNext,
              FolderEntries *out) {
    WIN32_FIND_DATAW entry = {};
    FindHandle search(FindFirst(pattern, names, &entry));
    if (!search) return Pass::Failed;
    std::string name;
    do {
        if (Protected(entry.dwFileAttributes)) continue;
        bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.cFileName[MAX_PATH - 1] = L'\0';
        entry.cAlternateFileName[13] = L'\0';
        std::wstring longName = entry.cFileName;
        auto shortName = [&] {
            return shortNames == ShortNames::Volume ? std::wstring(entry.cAlternateFileName) : std::wstring();
        };
        // The short name is asked for only once a long one needs it.
        if (names == Names::LongOnly && !codepage::Spell(longName, &name)) return Pass::NeedsShortNames;
        if (names == Names::WithShort &&
            spelling::SpellName(longName, shortName, codepage::Spell, &name) == spelling::Spelt::Not) {
            out->leftOut.push_back(longName);
            continue;
        }
        if (folder && IsDotEntry(name.c_str())) continue;
        (folder ? out->folders : out->files).push_back(name);
    } while (findNext(search.Get(), &entry));
    // Only "no more files" ends a search whole.  Anything else (a network
    // error, a USB drive gone, a cloud folder failing part way) cut it
    // short, and what was read so far is not what the folder holds.
    if (GetLastError() != ERROR_NO_MORE_FILES) return Pass::Failed;
    return Pass::Done;
}

}  // namespace

bool ListEntries(const char *pattern, FolderEntries *out, ShortNames shortNames) {
    return ListEntries(pattern, out, shortNames, FindNextFileW);
}

bool ListEntries(const char *pattern, FolderEntries *out, ShortNames shortNames, FindNextCall findNext) {
    try {
        *out = FolderEntries();
        std::wstring wide = codepage::Widen(pattern);
        if (wide.empty()) return false;
        Pass pass = ListOnce(wide, Names::LongOnly, shortNames, findNext, out);
        if (pass == Pass::NeedsShortNames) {
            *out = FolderEntries();
            pass = ListOnce(wide, Names::WithShort, shortNames, findNext, out);
        }
        if (pass != Pass::Done) {
            *out = FolderEntries();
            return false;
        }
        SortNames(&out->folders);
        SortNames(&out->files);
        return true;
    } catch (const std::bad_alloc &) {
        *out = FolderEntries();
        return false;
    }
}

}  // namespace listing
