// Decisions about folder paths that the folder picker makes (what a listing
// shows is utils/folder_listing.h).  Plain C++, code page 932 byte strings.
#ifndef TIVORN_KORVEL_FOLDER_NAMES_H
#define TIVORN_KORVEL_FOLDER_NAMES_H

#include <cstddef>

namespace korvel {

// Takes a trailing separator off a folder path in place, except where it is
// the path's only content or belongs to a drive root ("D:\" stays).  A 0x5C
// trail byte at the end is part of a character and stays.
void DropTrailingSeparator(char *path);

}  // namespace korvel

#endif
