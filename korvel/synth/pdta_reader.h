// The reader's second half: the preset, instrument and sample records of a
// SoundFont's pdta list, checked and turned into the model.  Plain C++; only
// soundfont.cpp and the tests use it.
#ifndef TIVORN_KORVEL_SYNTH_PDTA_READER_H
#define TIVORN_KORVEL_SYNTH_PDTA_READER_H

#include <cstdint>
#include <string>
#include <vector>

#include "korvel/synth/soundfont.h"

namespace synth {

// The file's numbers are little-endian.
inline uint16_t Le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t *p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The nine sub-chunks' bytes as the file holds them.
struct PdtaChunks {
    std::vector<uint8_t> phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
};

// Record sizes and the most records a sub-chunk may hold: bags, generators,
// modulators and samples are reached through 16-bit indices, so more than
// that (plus the terminal record) can only be damage.
constexpr size_t kPhdrSize = 38, kBagSize = 4, kModSize = 10, kGenSize = 4, kInstSize = 22, kShdrSize = 46;
constexpr size_t kMaxRecords = 65536 + 1;

struct PdtaOutcome {
    ReadError error = ReadError::None;
    std::string detail;
};

// Fills font.presets, .instruments and .samples from the records.  Sample
// positions are checked against smplFrames, the number of 16-bit frames the
// smpl chunk holds.  Damage that the format says to skip is skipped;
// anything else refuses the file.
PdtaOutcome ReadPdta(const PdtaChunks &chunks, uint64_t smplFrames, SoundFont &font);

}  // namespace synth

#endif
