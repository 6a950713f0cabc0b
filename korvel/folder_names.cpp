#include "korvel/folder_names.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "utils/ansi_text.h"
#include "utils/path_rules.h"

namespace korvel {

bool IsDotEntry(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

namespace {

// The last '.' that is a character of its own; '.' (0x2E) is below the trail
// byte range, but walking keeps this honest for any byte values.
const char *LastDot(const char *name) {
    const char *dot = nullptr;
    for (const char *p = name; *p; p += ansi::CharLength(p)) {
        if (*p == '.') dot = p;
    }
    return dot;
}

}  // namespace

bool PassesFilter(const char *name, const char *filter) {
    if (!filter || !filter[0] || std::strcmp(filter, "*") == 0 || std::strcmp(filter, "*.*") == 0)
        return true;
    if (filter[0] == '*' && filter[1] == '.') {
        const char *dot = LastDot(name);
        return dot && ansi::EqualNoCase(dot + 1, filter + 2);
    }
    return ansi::EqualNoCase(name, filter);
}

void SortNames(char **names, size_t count) {
    std::sort(names, names + count, [](const char *a, const char *b) {
        int order = ansi::CompareNoCase(a, b);
        return order != 0 ? order < 0 : std::strcmp(a, b) < 0;
    });
}

void DropTrailingSeparator(char *path) {
    std::string kept = paths::KeptFolder(path);
    // The picker's drive root stays "D:\", the form that opens the root;
    // the program keeps it as "D:" itself.
    if (paths::IsDriveRoot(kept)) return;
    std::memcpy(path, kept.c_str(), kept.size() + 1);
}

}  // namespace korvel
