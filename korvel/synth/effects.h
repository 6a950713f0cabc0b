// Reverb and chorus: the synthesizer's two send effects, fed by controllers
// 91 and 93.  Each takes a mono send bus (the sum of every voice's output
// scaled by its channel's send level) and adds its wet signal to the stereo
// mix.  The dry signal is the caller's; these add only what they make.
//
// Buffers are sized by the constructor: Process and Reset never allocate, so
// they are safe on the render thread.  Not thread-safe.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_EFFECTS_H
#define TIVORN_KORVEL_SYNTH_EFFECTS_H

#include <cstddef>
#include <memory>

namespace synth {

// The voicings are those the GS macros choose: reverb 0 to 7 (three rooms,
// two halls, a plate, a delay and a panning delay), chorus 0 to 7 (four
// choruses, a feedback chorus, a flanger and two short delays).  Both are
// approximated by the one design each.  A song that chooses none hears
// kStandardVoicing, the medium room and the gentle chorus below.
constexpr int kStandardVoicing = -1;

// A medium room, as a General MIDI synthesizer's default reverb: early sound
// from 5 ms, then a tail that falls by 60 dB in about 1.2 s, sooner in the
// treble.  A steady send comes out about 5 dB quieter in each channel.
class Reverb {
public:
    explicit Reverb(int sampleRate);
    ~Reverb();
    Reverb(const Reverb &) = delete;
    Reverb &operator=(const Reverb &) = delete;

    // Adds the reverb of `send` (frames mono samples) into `stereo` (frames
    // interleaved left/right pairs).  `send` and `stereo` must not overlap.
    void Process(const float *send, float *stereo, size_t frames);

    // Forgets the tail at once.
    void Reset();

    // A macro past the last plays the standard voicing.  The tail sounding
    // goes on in the new voicing.
    void SetVoicing(int macro);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A slow, gentle chorus: a few delayed copies of the send, their delays swept
// by a few milliseconds at about 0.3 Hz, spread across the stereo field.  A
// steady tone sent in comes out at about the level it went in.
class Chorus {
public:
    explicit Chorus(int sampleRate);
    ~Chorus();
    Chorus(const Chorus &) = delete;
    Chorus &operator=(const Chorus &) = delete;

    // As Reverb::Process.
    void Process(const float *send, float *stereo, size_t frames);

    // Empties the delay line and restarts the sweep.
    void Reset();

    // As Reverb::SetVoicing.
    void SetVoicing(int macro);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace synth

#endif
