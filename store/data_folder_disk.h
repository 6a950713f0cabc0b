// The data folder on this machine: whether a folder can take files, the
// user's local folder, the "DataPath" value, and a folder's identity on disk.
#ifndef TIVORN_STORE_DATA_FOLDER_DISK_H
#define TIVORN_STORE_DATA_FOLDER_DISK_H

#include <windows.h>

#include <string>

#include "store/data_folder.h"

namespace datadisk {

// What a string value of the program's key held.
enum class StoredText {
    Read,
    Missing,   // not there: the one answer that may be taken for "none"
    Unusable,  // there, but of another type, too long or unreadable
};

bool CanCreateFileIn(const char *folder);
bool MakeFolder(const char *folder);
std::string LocalDataFolder();
StoredText ReadStoredText(const char *key, const char *name, size_t largest, std::string *text);
std::string CanonicalFolder(const char *folder);
bool SameFolderOnDisk(const std::string &a, const std::string &b);
bool WriteDataPath(const char *programKey, const std::string &folder);
store::FileFound FindBothDataFiles(const char *albumFile, const char *bestFile);

}  // namespace datadisk

#endif
