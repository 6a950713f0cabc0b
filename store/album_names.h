// The album names in the album file, by the folder's key.
#ifndef TIVORN_STORE_ALBUM_NAMES_H
#define TIVORN_STORE_ALBUM_NAMES_H

#include <string>

namespace albumfile {

// The folder's name in albumFile; "" when it has none or there is no file.
std::string ReadAlbumNameIn(const char *albumFile, const char *folder);
// A null name deletes the folder's key; false when the file was not changed.
bool WriteAlbumNameIn(const char *albumFile, const char *folder, const char *name);

}  // namespace albumfile

#endif
