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

}  // namespace paths
