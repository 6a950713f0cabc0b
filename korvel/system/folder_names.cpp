#include "korvel/system/folder_names.h"

#include <cstring>
#include <string>

#include "utils/path_rules.h"

namespace korvel {

void DropTrailingSeparator(char *path) {
    std::string kept = paths::KeptFolder(path);
    // The picker's drive root stays "D:\", the form that opens the root;
    // the program keeps it as "D:" itself.
    if (paths::IsDriveRoot(kept)) return;
    std::memcpy(path, kept.c_str(), kept.size() + 1);
}

}  // namespace korvel
