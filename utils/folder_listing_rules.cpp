#include <algorithm>
#include <cstring>

#include "utils/ansi_text.h"
#include "utils/folder_listing.h"

namespace listing {

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

bool NameBefore(const char *a, const char *b) {
    int order = ansi::CompareNoCase(a, b);
    return order != 0 ? order < 0 : std::strcmp(a, b) < 0;
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

void SortNames(std::vector<std::string> *names) {
    std::sort(names->begin(), names->end(),
              [](const std::string &a, const std::string &b) { return NameBefore(a.c_str(), b.c_str()); });
}

}  // namespace listing
