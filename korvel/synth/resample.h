// The voices' inner loop: 16-bit sample data read at a fixed-point position
// that steps by a fixed increment, with four-point cubic interpolation.
// Plain C++; on x86-64 four frames at a time in SSE2.
#ifndef TIVORN_KORVEL_SYNTH_RESAMPLE_H
#define TIVORN_KORVEL_SYNTH_RESAMPLE_H

#include <cstdint>

namespace synth {

// Writes count frames to out, read from data at position, position +
// increment, ... (32.32 fixed point), scaled to [-1, 1).  Every point read,
// from one before each frame's index to two after it, must lie in data.
// Returns the position after the last frame.
uint64_t InterpolateCubic(const int16_t *data, uint64_t position, uint64_t increment, int count, float *out);

// The same, one frame at a time: what the wide path must match exactly.
uint64_t InterpolateCubicPlain(const int16_t *data, uint64_t position, uint64_t increment, int count, float *out);

}  // namespace synth

#endif
