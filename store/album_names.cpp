#include "store/album_names.h"

#include <cstring>
#include <vector>

#include "store/album_key.h"
#include "store/file_io.h"
#include "store/store.h"

namespace albumfile {

const char kAlbumSection[] = "AlbumName";

std::string ReadAlbumNameIn(const char *albumFile, const char *folder) {
    char name[MAX_PATH] = "";
    if (albumFile[0])
        GetPrivateProfileStringA(kAlbumSection, store::AlbumKey(folder).c_str(), "", name, sizeof name, albumFile);
    return name;
}

// A null name deletes the folder's key.
bool WriteAlbumNameIn(const char *albumFile, const char *folder, const char *name) {
    if (!albumFile[0]) return false;
    std::string key = store::AlbumKey(folder);
    if (fileio::RetryWhileHeld(fileio::Denial::MayPass, [&] {
            return WritePrivateProfileStringA(kAlbumSection, key.c_str(), name, albumFile) != FALSE;
        }))
        return true;
    // The system may keep the file in memory with the change it could not
    // write; let go of that copy, so that reads give what the file holds.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, albumFile);
    return false;
}

}  // namespace albumfile

AlbumNames AlbumNames::Read(const Store &store) {
    AlbumNames names;
    names.albumFile_ = store.albumFile();
    const char *file = store.albumFile();
    if (!file[0]) return names;
    // The section's keys, each ended by a NUL and the list by one more.  A
    // list that does not fit comes back cut at size - 2.
    std::vector<char> keys(4096);
    for (;;) {
        DWORD got = GetPrivateProfileStringA(albumfile::kAlbumSection, nullptr, "", keys.data(), static_cast<DWORD>(keys.size()),
                                             file);
        if (got + 2 < keys.size()) {
            keys.resize(got + 1);
            break;
        }
        if (keys.size() >= (1u << 26)) return names;  // no album file is that large
        keys.resize(keys.size() * 2);
    }
    for (size_t at = 0; at < keys.size() && keys[at];) {
        names.folders_.push_back(store::AlbumFolder(&keys[at]));
        at += std::strlen(&keys[at]) + 1;
    }
    return names;
}

std::string AlbumNames::For(const char *folder) const {
    // The album file matches its keys in any letter case; so does this.
    for (const std::string &named : folders_)
        if (lstrcmpiA(named.c_str(), folder) == 0) return albumfile::ReadAlbumNameIn(albumFile_.c_str(), folder);
    return std::string();
}
