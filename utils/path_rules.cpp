#include "utils/path_rules.h"

#include <cstring>

#include <utility>

#include "utils/ansi_text.h"

namespace paths {

bool UsablePath(const char *path) { return path && path[0] && std::strlen(path) <= kLongestPath; }

bool EndsWithSeparator(const std::string &path) {
    return !path.empty() && ansi::IsSeparatorAt(path.c_str(), path.c_str() + path.size() - 1);
}

// A colon is never a trail byte, so the second byte decides alone.
bool IsDriveRoot(const std::string &folder) { return folder.size() == 2 && folder[1] == ':'; }

std::string ShownFolder(const std::string &kept) { return IsDriveRoot(kept) ? kept + "\\" : kept; }

std::string KeptFolder(const char *folder) {
    std::string kept = folder;
    if (kept.size() > 1 && EndsWithSeparator(kept)) kept.pop_back();
    return kept;
}

std::string JoinPath(const std::string &folder, const std::string &name) {
    if (folder.empty()) return name;
    return EndsWithSeparator(folder) ? folder + name : folder + '\\' + name;
}

bool JoinFitting(const std::string &folder, const std::string &name, std::string *out) {
    std::string joined = JoinPath(folder, name);
    if (joined.size() > kLongestPath) return false;
    *out = std::move(joined);
    return true;
}

std::string VolumeOf(const char *path) {
    if (!path) return std::string();
    // A colon is never a trail byte, nor is a letter a lead byte.
    unsigned char first = static_cast<unsigned char>(path[0]);
    if (((first | 0x20) >= 'a' && (first | 0x20) <= 'z') && path[1] == ':') return std::string(path, 2);
    if (!ansi::IsSeparatorAt(path, path) || !ansi::IsSeparatorAt(path, path + 1)) return std::string();
    // \\server\share: the share ends at the fourth separator or the end.
    const char *p = path + 2;
    int separators = 2;
    const char *shareStart = nullptr;
    while (*p) {
        if (*p == '\\' || *p == '/') {  // p is at a character's start
            if (++separators == 4) break;
            shareStart = p + 1;
        }
        p += ansi::CharLength(p);
    }
    // "\\server" alone, "\\?\", an empty server or share name: no volume.
    if (!shareStart || shareStart == path + 3 || p == shareStart || *(path + 2) == '?' || *(path + 2) == '.')
        return std::string();
    return std::string(path, static_cast<size_t>(p - path));
}

}  // namespace paths
