// Where the settings file and the best file live (no windows.h).
//
// The data folder is "DataPath" when that folder holds KORVEL.ini or
// KORVEL.dat, otherwise the folder of the program file, which then becomes
// "DataPath".  The file queries come in as a parameter so that the decision
// can be tested without a file system.
#ifndef TIVORN_STORE_DATA_FOLDER_H
#define TIVORN_STORE_DATA_FOLDER_H

#include <cstddef>
#include <functional>
#include <string>

namespace store {

// Every path of the program fits a 260-byte buffer, NUL included.
constexpr size_t kPathBuffer = 260;

constexpr char kSettingsFileName[] = "KORVEL.ini";
constexpr char kBestFileName[] = "KORVEL.dat";

struct DataFolder {
    std::string folder;        // without a trailing separator; a drive root is "D:"
    std::string settingsFile;  // folder\KORVEL.ini
    std::string bestFile;      // folder\KORVEL.dat
    bool rewriteDataPath = false;  // the program's folder was chosen: store it as "DataPath"
};

// folder + "\" + name, or false when that does not fit kPathBuffer.
bool JoinDataPath(const std::string &folder, const char *name, std::string *out);

// dataPath: the stored "DataPath" (null when it could not be read).
// modulePath: the program file's full path.
// fileExists: whether a path names an existing file (not a folder).
// False only when not even the program's folder gives usable paths.
bool ResolveDataFolder(const char *dataPath, const char *modulePath,
                       const std::function<bool(const char *)> &fileExists, DataFolder *out);

}  // namespace store

#endif
