// The key a folder's album name is kept under in the album file's
// "AlbumName" section (no windows.h).
//
// The key is the folder's full path wherever the profile API keeps that
// whole.  It cannot where the path holds '=' (a line is split at its first
// one), begins with ';' or '[' (a comment, a section) or begins or ends with
// a space or a tab (trimmed away).  Such a path is kept as '<', the path with
// each '=' as '|', and '>'.  No Windows path holds '<', '>' or '|', so such a
// key is never a real path, and every key written before, none of which
// began with '<', still reads as the folder it names.
#ifndef TIVORN_STORE_ALBUM_KEY_H
#define TIVORN_STORE_ALBUM_KEY_H

#include <string>

namespace store {

std::string AlbumKey(const char *folder);

// The folder a key of the section names.
std::string AlbumFolder(const char *key);

}  // namespace store

#endif
