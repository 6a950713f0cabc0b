// Path, file and folder-listing helpers of the engine.
#include <windows.h>

#include <cstring>

#include "engine/korvel.h"
#include "korvel/folder_names.h"
#include "utils/ansi_text.h"
#include "utils/path_rules.h"
#include "utils/scope_guard.h"

namespace {

using paths::kLongestPath;
static_assert(KORVEL_PATH_BUFFER == paths::kPathBuffer, "the engine's path buffers hold every path of the program");

bool UsablePath(const char *path) {
    return path && path[0] && std::strlen(path) <= kLongestPath;
}

void *Allocate(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }

// The names gathered by one listing; what is not handed out is released.
class NameList {
public:
    NameList() = default;
    ~NameList() {
        for (size_t i = 0; i < count_; ++i) FreeEngineMemory(names_[i]);
        FreeEngineMemory(names_);
    }
    NameList(const NameList &) = delete;
    NameList &operator=(const NameList &) = delete;

    bool Add(const char *name) {
        if (count_ == capacity_ && !Grow()) return false;
        size_t length = std::strlen(name);
        char *copy = static_cast<char *>(Allocate(length + 1));
        if (!copy) return false;
        std::memcpy(copy, name, length + 1);
        names_[count_++] = copy;
        return true;
    }
    size_t count() const { return count_; }
    char **names() { return names_; }
    char **Release() {
        char **names = names_;
        names_ = nullptr;
        count_ = capacity_ = 0;
        return names;
    }

private:
    bool Grow() {
        size_t capacity = capacity_ ? capacity_ * 2 : 64;
        void *grown = names_ ? HeapReAlloc(GetProcessHeap(), 0, names_, capacity * sizeof *names_)
                             : Allocate(capacity * sizeof *names_);
        if (!grown) return false;
        names_ = static_cast<char **>(grown);
        capacity_ = capacity;
        return true;
    }

    char **names_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

bool HasUnmappableCharacter(const char *name) { return std::strchr(name, '?') != nullptr; }

// The name by which the caller can reach the entry.  A name with characters
// outside code page 932 comes back with '?' in their place and could never
// be opened; its short name can, where the volume has one.
const char *ReachableName(const WIN32_FIND_DATAA &entry) {
    if (!HasUnmappableCharacter(entry.cFileName)) return entry.cFileName;
    if (entry.cAlternateFileName[0] && !HasUnmappableCharacter(entry.cAlternateFileName))
        return entry.cAlternateFileName;
    return nullptr;
}

bool Listed(const WIN32_FIND_DATAA &entry, int kind) {
    // Protected operating-system entries (hidden and system together, such as
    // a drive's recycle bin or a profile's junctions) are no place for songs;
    // Explorer hides them too.
    const DWORD protectedEntry = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((entry.dwFileAttributes & protectedEntry) == protectedEntry) return false;
    bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return kind == 0 ? folder && !korvel::IsDotEntry(entry.cFileName) : !folder;
}

}  // namespace

extern "C" {

void FreeEngineMemory(void *block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

char *LastSeparator(const char *path) { return const_cast<char *>(ansi::LastSeparator(path)); }

int IsSeparatorAt(const char *text, const char *at) { return ansi::IsSeparatorAt(text, at) ? 1 : 0; }

int FileExists(const char *path, int) {
    if (!UsablePath(path)) return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

char **ListFolder(const char *pattern, int kind, int *lastIndex, const char *filter) {
    if (lastIndex) *lastIndex = -1;
    if (!UsablePath(pattern) || (kind != 0 && kind != 1)) return nullptr;
    WIN32_FIND_DATAA entry = {};
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE) return nullptr;
    ScopeGuard closeSearch([search] { FindClose(search); });
    NameList list;
    do {
        if (!Listed(entry, kind)) continue;
        const char *name = ReachableName(entry);
        if (!name || !korvel::PassesFilter(name, filter)) continue;
        // Out of memory: an empty listing, which every caller handles.
        if (!list.Add(name)) return nullptr;
    } while (FindNextFileA(search, &entry));
    if (list.count() == 0) return nullptr;
    korvel::SortNames(list.names(), list.count());
    if (lastIndex) *lastIndex = static_cast<int>(list.count()) - 1;
    return list.Release();
}

}  // extern "C"
