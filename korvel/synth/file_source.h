// A SoundFont file read from disk in the parts the reader asks for, with
// 64-bit offsets.  Plain C++ over <cstdio>.
#ifndef TIVORN_KORVEL_SYNTH_FILE_SOURCE_H
#define TIVORN_KORVEL_SYNTH_FILE_SOURCE_H

#include <cstdio>
#include <cstdint>

#include "korvel/synth/soundfont.h"

namespace synth {

// Why a file could not be opened, apart from what its bytes turn out to be.
enum class FileOpen {
    Opened,
    NotFound,  // no such file or folder
    Denied,    // there, but not ours to read (or a folder)
    Failed,    // anything else
};

class FileSource : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    // path is bytes in the ANSI code page, as the settings hold it.
    FileOpen Open(const char *path);
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, void *into, size_t size) override;

private:
    std::FILE *file_ = nullptr;
    uint64_t size_ = 0;
};

}  // namespace synth

#endif
