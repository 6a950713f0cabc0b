// The synthesizer's two conversions of rate: the voices' inner loop, 16-bit
// sample data read at a fixed-point position that steps by a fixed
// increment with four-point cubic interpolation (on x86-64 four frames at a
// time in SSE2); and the stream's converter for a device that runs at
// another rate than the synthesizer.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_RESAMPLE_H
#define TIVORN_KORVEL_SYNTH_RESAMPLE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace synth {

// Writes count frames to out, read from data at position, position +
// increment, ... (32.32 fixed point), scaled to [-1, 1).  Every point read,
// from one before each frame's index to two after it, must lie in data.
// Returns the position after the last frame.
uint64_t InterpolateCubic(const int16_t *data, uint64_t position, uint64_t increment, int count, float *out);

// The same, one frame at a time: what the wide path must match exactly.
uint64_t InterpolateCubicPlain(const int16_t *data, uint64_t position, uint64_t increment, int count, float *out);

// Stereo from one rate to another, any two rates a device may have (8 kHz
// to 384 kHz and beyond), without aliasing: what lies above the lower
// Nyquist frequency is filtered out by a windowed sinc, after halving
// stages that bring a steep decimation down to less than two to one.  The
// state carries over from call to call, so a stream is converted without
// seams, and the sound keeps its time (no delay is added).
class RateConverter {
public:
    RateConverter(int fromRate, int toRate);
    // Source frames that must be added before `frames` output frames can be made.
    size_t SourceFramesFor(size_t frames) const;
    // Appends source frames (interleaved stereo).
    void Push(const float *stereo, size_t frames);
    // Writes up to frames output frames from what was pushed; returns how many.
    size_t Pull(float *stereo, size_t frames);

private:
    // A decimation by two whose filter keeps the final band and removes
    // what would fold into it.
    struct Halving {
        std::vector<float> taps;     // each coefficient twice, for left and right; a multiple of four
        std::vector<float> pending;  // interleaved stereo, from the next output's first frame
        std::vector<float> made;     // what one push gave the next stage
        size_t InputFor(size_t outputs) const;
    };
    void Feed(size_t stage, const float *stereo, size_t frames);

    std::vector<Halving> halvings_;
    // The last stage: a polyphase sinc from phases_ phases of width_ taps
    // (each coefficient twice), read between two phases unless the ratio
    // is exact in phases_.
    int width_ = 0;
    uint32_t phases_ = 0;
    bool exactPhases_ = false;
    std::vector<float> table_;  // (phases_ + 1) rows of 2 * width_
    std::vector<float> mixed_;  // one row, between two phases
    // The next output's place in input_: index_ + remainder_ / denominator_
    // frames, stepping by increment_ / denominator_: exact, so a stream
    // of any length does not drift.
    uint64_t index_ = 0, remainder_ = 0, increment_ = 1, denominator_ = 1;
    std::vector<float> input_;  // interleaved stereo, the last stage's
};

}  // namespace synth

#endif
