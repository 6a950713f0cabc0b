#include "store/data_folder.h"

#include <cstring>
#include <vector>

#include "utils/ansi_text.h"

namespace store {

namespace {

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

// Where a target file waits while the move may still be undone.  As long as
// the data files' own names, so they fit wherever those do.
constexpr char kSettingsAside[] = "KORVEL.in~";
constexpr char kBestAside[] = "KORVEL.da~";
static_assert(sizeof kSettingsAside == sizeof kSettingsFileName && sizeof kBestAside == sizeof kBestFileName,
              "the set-aside files must fit wherever the data files do");

// One data file on its way: where it is, where it goes, and where the file
// it replaces waits.
struct FileMove {
    std::string from, to, aside;
    bool setAside = false;  // a target file was moved to `aside`
    bool moved = false;     // the file is at `to`
};

// Puts back what the moves did, the last first.
void Undo(std::vector<FileMove> *moves, DataFileSystem *files) {
    for (auto step = moves->rbegin(); step != moves->rend(); ++step) {
        if (step->moved) files->Move(step->to, step->from);
        if (step->setAside) files->Move(step->aside, step->to);
    }
}

bool Carry(FileMove *step, DataFileSystem *files) {
    bool source = files->IsFile(step->from);
    if (files->IsFile(step->to)) {
        // Left over from a move that was cut short: ours to drop.
        if (files->IsFile(step->aside) && !files->Remove(step->aside)) return false;
        if (!files->Move(step->to, step->aside)) return false;
        step->setAside = true;
    }
    if (source) {
        if (!files->Move(step->from, step->to)) return false;
        step->moved = true;
    }
    return true;
}

}  // namespace

// "D:\" and "D:\MIDI\" as a user might type them: the separator is not part
// of a stored folder, and keeping it would double it in every joined path.
std::string WithoutTrailingSeparator(const char *text) {
    std::string folder = text;
    const char *last = ansi::LastSeparator(text);
    if (last && last[1] == '\0' && folder.size() > 1) folder.pop_back();
    return folder;
}

bool FormDataFolder(const char *text, DataFolder *out) {
    *out = DataFolder();
    if (!text || !text[0] || std::strlen(text) >= kPathBuffer) return false;
    if (FormPaths(WithoutTrailingSeparator(text), out)) return true;
    *out = DataFolder();
    return false;
}

bool MoveDataFiles(const DataFolder &from, const DataFolder &to, DataFileSystem *files,
                   const std::function<bool()> &commit) {
    std::string settingsAside, bestAside;
    if (!JoinDataPath(to.folder, kSettingsAside, &settingsAside) || !JoinDataPath(to.folder, kBestAside, &bestAside))
        return false;
    // The settings file first: when the best file cannot follow, only the
    // album names have to go back.
    std::vector<FileMove> moves = {{from.settingsFile, to.settingsFile, settingsAside},
                                   {from.bestFile, to.bestFile, bestAside}};
    for (FileMove &step : moves) {
        if (!Carry(&step, files)) {
            Undo(&moves, files);
            return false;
        }
    }
    if (!commit()) {
        Undo(&moves, files);
        return false;
    }
    // The replaced files are not needed any more; one that stays behind does
    // no harm and goes with the next move into this folder.
    for (const FileMove &step : moves)
        if (step.setAside) files->Remove(step.aside);
    return true;
}

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
