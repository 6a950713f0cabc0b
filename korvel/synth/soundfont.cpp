#include "korvel/synth/soundfont.h"

#include <cstring>

namespace synth {

bool MemorySource::Read(uint64_t offset, void *into, size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    std::memcpy(into, bytes_ + offset, size);
    return true;
}

const Preset *SoundFont::FindPreset(int bank, int program) const {
    for (const Preset &preset : presets)
        if (preset.bank == bank && preset.program == program) return &preset;
    return nullptr;
}

// Stand-in until the reader lands: refuses everything.
ReadResult ReadSoundFont(ByteSource &) {
    ReadResult result;
    result.error = ReadError::NotSoundFont;
    result.detail = "reader not built yet";
    return result;
}

}  // namespace synth
