// libFuzzer target: the SoundFont reader must neither crash, read outside
// the file nor allocate beyond it, and every font it returns must keep the
// promises the synthesizer relies on.
#include <cstdint>
#include <cstdlib>

#include "korvel/synth/soundfont.h"
#include "testing/soundfont_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    synth::MemorySource source(data, size);
    const synth::ReadResult result = synth::ReadSoundFont(source);
    if ((result.font != nullptr) != (result.error == synth::ReadError::None)) std::abort();
    if (result.font && !sf2w::ModelFault(*result.font).empty()) std::abort();
    for (char c : result.detail)
        if (c < 0x20 || c > 0x7E) std::abort();
    return 0;
}
