// The folder listing with the system's call for a search's next entry given
// by the caller, so that a test can end a search part way as a network, a
// device or a cloud folder can.
#ifndef TIVORN_UTILS_FOLDER_LISTING_CALLS_H
#define TIVORN_UTILS_FOLDER_LISTING_CALLS_H

#include <windows.h>

#include "utils/folder_listing.h"

namespace listing {

// FindNextFileW's contract: FALSE at the end, with the reason as the last error.
using FindNextCall = BOOL(WINAPI *)(HANDLE search, WIN32_FIND_DATAW *entry);

bool ListEntries(const char *pattern, FolderEntries *out, ShortNames shortNames, FindNextCall findNext);

}  // namespace listing

#endif
