#include "korvel/synth/file_source.h"

#include <cerrno>

namespace synth {
namespace {

// 64-bit seeks: a SoundFont may be larger than a long reaches on Windows.
int Seek(std::FILE *file, uint64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), origin);
#else
    return fseeko(file, static_cast<off_t>(offset), origin);
#endif
}

int64_t Tell(std::FILE *file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

}  // namespace

FileSource::~FileSource() {
    if (file_) std::fclose(file_);
}

FileOpen FileSource::Open(const char *path) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    errno = 0;
    std::FILE *file = std::fopen(path, "rb");
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) return FileOpen::NotFound;
        if (errno == EACCES || errno == EISDIR) return FileOpen::Denied;
        return FileOpen::Failed;
    }
    // A folder opens on some systems and then has no size.
    const int64_t size = Seek(file, 0, SEEK_END) == 0 ? Tell(file) : -1;
    if (size < 0) {
        std::fclose(file);
        return FileOpen::Denied;
    }
    file_ = file;
    size_ = static_cast<uint64_t>(size);
    return FileOpen::Opened;
}

bool FileSource::Read(uint64_t offset, void *into, size_t size) {
    if (!file_ || offset > size_ || size > size_ - offset) return false;
    if (size == 0) return true;
    if (Seek(file_, offset, SEEK_SET) != 0) return false;
    return std::fread(into, 1, size, file_) == size;
}

}  // namespace synth
