// Path, file and folder-listing helpers of the engine.
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/korvel.h"
#include "utils/ansi_text.h"
#include "utils/folder_listing.h"
#include "utils/path_rules.h"
#include "utils/scope_guard.h"

namespace {

static_assert(KORVEL_PATH_BUFFER == paths::kPathBuffer, "the engine's path buffers hold every path of the program");

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

}  // namespace

extern "C" {

void FreeEngineMemory(void *block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

char *LastSeparator(const char *path) { return const_cast<char *>(ansi::LastSeparator(path)); }

// The caller points at the start of a character, so a 0x5C here is a
// backslash and never the second byte of a double-byte character (and 0x2F
// is no trail byte at all).
int IsSeparatorAt(const char *at) { return at && (*at == '\\' || *at == '/') ? 1 : 0; }

int FileExists(const char *path, int /*unusedMode*/) {
    if (!paths::UsablePath(path)) return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

char **ListFolder(const char *pattern, int kind, int *lastIndex, const char *filter) {
    if (lastIndex) *lastIndex = -1;
    if (!paths::UsablePath(pattern) || (kind != 0 && kind != 1)) return nullptr;
    listing::FolderEntries entries;
    if (!listing::ListEntries(pattern, &entries)) return nullptr;
    NameList list;
    // Still in order: the filter only leaves names out.
    for (const std::string &name : kind == 0 ? entries.folders : entries.files) {
        if (!listing::PassesFilter(name.c_str(), filter)) continue;
        // Out of memory: an empty listing, which every caller handles.
        if (!list.Add(name.c_str())) return nullptr;
    }
    if (list.count() == 0) return nullptr;
    if (lastIndex) *lastIndex = static_cast<int>(list.count()) - 1;
    return list.Release();
}

}  // extern "C"
