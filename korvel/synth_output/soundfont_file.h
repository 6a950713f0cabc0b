// A SoundFont file as the synthesizer output reads it: the records through
// the file's handle, and the sample data as a read-only view of the file
// rather than a copy, so that its pages are the file's own, shared with the
// system's cache and dropped when memory is short.
#ifndef TIVORN_KORVEL_SOUNDFONT_FILE_H
#define TIVORN_KORVEL_SOUNDFONT_FILE_H

#include <windows.h>

#include <cstdint>

#include "korvel/synth/file_source.h"
#include "utils/handles.h"
#include "korvel/synth/soundfont.h"

namespace korvel {

class SoundFontFile : public synth::ByteSource {
public:
    SoundFontFile() = default;
    ~SoundFontFile() override = default;
    SoundFontFile(const SoundFontFile &) = delete;
    SoundFontFile &operator=(const SoundFontFile &) = delete;

    // path is bytes in the ANSI code page, as the settings hold it.
    synth::FileOpen Open(const char *path);
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, void *into, size_t size) override;
    // A view of exactly span, which the file held when it was checked: a
    // file that has shrunk since is Unreadable.  The view outlives this
    // object; it holds the file until the last SampleData on it goes.
    synth::ReadError Samples(const synth::SampleSpan &span, synth::SampleData &into) override;

private:
    KernelHandle file_;
    uint64_t size_ = 0;
};

// The system error a song stops with when its samples' view went bad.
constexpr unsigned kSamplesLostError = ERROR_FILE_INVALID;

}  // namespace korvel

#endif
