// What the file system answered for a path (no windows.h).  The data files
// and the songs of a best read it alike; each caller decides what an answer
// means for it.
#ifndef TIVORN_STORE_PATH_FOUND_H
#define TIVORN_STORE_PATH_FOUND_H

namespace store {

enum class PathFound {
    File,    // an existing file
    Folder,  // an existing folder
    NoName,  // its folder answered and holds no such name
    // A folder on its way is not there.  A drive letter with nothing behind
    // it and a share not yet reconnected answer this too, so only the
    // volume's own answer tells a deleted folder from one out of reach.
    NoPath,
    // It could not be asked, or the file is there and cannot be read: a
    // network error, a device not ready, no access, a file held or offline.
    NoAnswer,
};

}  // namespace store

#endif
