// What the SoundFont reader promises the synthesizer about every font it
// returns, checked as a whole: for the reader's tests and its fuzz target.
#ifndef TIVORN_TESTING_SOUNDFONT_CHECK_H
#define TIVORN_TESTING_SOUNDFONT_CHECK_H

#include <algorithm>
#include <string>

#include "korvel/synth/soundfont.h"

namespace sf2w {

// Empty when every index, range and position holds; otherwise the first
// that does not.
inline std::string ModelFault(const synth::SoundFont &font) {
    using namespace synth;  // the generator numbers
    const size_t frames = font.data.size();
    if (!font.data.Held() || frames != font.span.frames) return "sample data";
    for (const synth::Sample &s : font.samples) {
        if (s.start >= s.end || s.end > frames) return "sample " + s.name + " outside the data";
        if (s.loopStart < s.start || s.loopEnd > s.end || s.loopStart > s.loopEnd ||
            (s.loopUsable && s.loopStart == s.loopEnd))
            return "sample " + s.name + " loop";
        if (s.rate == 0 || s.originalKey > 127 || (s.type != 1 && s.link >= font.samples.size()) ||
            (s.type != 1 && s.type != 2 && s.type != 4 && s.type != 8))
            return "sample " + s.name + " header";
    }
    const uint64_t apart = (1ull << kKeyRange) | (1ull << kVelRange) | (1ull << kInstrument) | (1ull << kSampleId) |
                           (~0ull << kEndOper);
    const uint64_t instrumentOnly = 0x101Full | (1ull << 45) | (1ull << 50) | (1ull << kKeynum) |
                                    (1ull << kVelocity) | (1ull << kSampleModes) | (1ull << kExclusiveClass) |
                                    (1ull << kOverridingRootKey);
    auto zoneFault = [&](const synth::Zone &z, bool global, size_t links, uint64_t forbidden) {
        return z.keyHi > 127 || z.velHi > 127 || (!global && (z.keyLo > z.keyHi || z.velLo > z.velHi)) ||
               (z.set & (forbidden | apart)) ||
               std::any_of(z.modulators.begin(), z.modulators.end(),
                           [&](const synth::Modulator &m) {
                               return m.destination >= (m.destination & 0x8000 ? 0x8000 + z.modulators.size()
                                                                               : size_t{kEndOper});
                           }) ||
               (global ? z.link != -1 : (z.link < 0 || static_cast<size_t>(z.link) >= links));
    };
    for (const synth::Instrument &inst : font.instruments) {
        bool bad = inst.hasGlobal && zoneFault(inst.global, true, 0, 0);
        for (const synth::Zone &z : inst.zones) bad = bad || zoneFault(z, false, font.samples.size(), 0);
        if (bad) return "instrument " + inst.name;
    }
    for (const synth::Preset &preset : font.presets) {
        bool bad = preset.hasGlobal && zoneFault(preset.global, true, 0, instrumentOnly);
        for (const synth::Zone &z : preset.zones) bad = bad || zoneFault(z, false, font.instruments.size(), instrumentOnly);
        if (bad) return "preset " + preset.name;
    }
    return "";
}

}  // namespace sf2w

#endif
