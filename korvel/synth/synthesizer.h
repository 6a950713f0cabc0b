// The SoundFont synthesizer: MIDI messages in, stereo float samples out.
// One object per output; not thread-safe (the caller serialises Send and
// Render).  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_SYNTHESIZER_H
#define TIVORN_KORVEL_SYNTH_SYNTHESIZER_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "korvel/synth/soundfont.h"

namespace synth {

constexpr int kMaxVoices = 256;

// Whether reverb and chorus (controllers 91 and 93) are rendered.
enum class Effects { On, Off };

class Synthesizer {
public:
    Synthesizer(std::shared_ptr<const SoundFont> font, int sampleRate, Effects effects = Effects::On);
    ~Synthesizer();
    Synthesizer(const Synthesizer &) = delete;
    Synthesizer &operator=(const Synthesizer &) = delete;

    // One whole MIDI message: a channel message with its status byte (no
    // running status), or a system exclusive message from F0 to F7.
    // Anything else is ignored.
    void Send(const uint8_t *message, size_t size);

    // Writes frames of interleaved stereo (left, right), softly limited to
    // [-1, 1].  Messages sent before take effect at the first frame.
    void Render(float *stereo, size_t frames);

    // A gain of the output's own (0 to 1), for a fade that is no part of the
    // song: no reset touches it, so it holds until it is set again.  It
    // takes effect at the next frame rendered.
    void SetFadeGain(double gain);

    // Voices still sounding, releasing ones included.
    int ActiveVoices() const;

    // Silences everything at once and returns every channel to its reset state.
    void Reset();

    int SampleRate() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace synth

#endif
