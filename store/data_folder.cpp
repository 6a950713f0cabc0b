#include "store/data_folder.h"

#include <cstring>

#include "utils/ansi_text.h"

namespace store {

namespace {

// "D:\" and "D:\MIDI\" as a user might type them: the separator is not part
// of a stored folder, and keeping it would double it in every joined path.
std::string WithoutTrailingSeparator(const char *text) {
    std::string folder = text;
    const char *last = ansi::LastSeparator(text);
    if (last && last[1] == '\0' && folder.size() > 1) folder.pop_back();
    return folder;
}

bool FormPaths(const std::string &folder, DataFolder *out) {
    if (folder.empty()) return false;
    out->folder = folder;
    return JoinDataPath(folder, kSettingsFileName, &out->settingsFile) &&
           JoinDataPath(folder, kBestFileName, &out->bestFile);
}

bool Holds(const std::string &folder, const char *name, const std::function<bool(const char *)> &fileExists) {
    std::string path;
    return JoinDataPath(folder, name, &path) && fileExists(path.c_str());
}

}  // namespace

bool JoinDataPath(const std::string &folder, const char *name, std::string *out) {
    if (folder.size() + 1 + std::strlen(name) >= kPathBuffer) return false;
    *out = folder + "\\" + name;
    return true;
}

bool ResolveDataFolder(const char *dataPath, const char *modulePath,
                       const std::function<bool(const char *)> &fileExists, DataFolder *out) {
    *out = DataFolder();
    if (dataPath && dataPath[0] && std::strlen(dataPath) < kPathBuffer) {
        std::string folder = WithoutTrailingSeparator(dataPath);
        if ((Holds(folder, kSettingsFileName, fileExists) || Holds(folder, kBestFileName, fileExists)) &&
            FormPaths(folder, out))
            return true;
    }
    if (!modulePath) return false;
    const char *separator = ansi::LastSeparator(modulePath);
    if (!separator) return false;
    out->rewriteDataPath = true;
    return FormPaths(std::string(modulePath, separator), out);
}

}  // namespace store
