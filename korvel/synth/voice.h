// One sounding sample: its generators and modulators, the sample's
// playback with loops and cubic interpolation, envelopes, LFOs, filter,
// gain and pan.  Rendered a block at a time into the synthesizer's buses.
// Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_VOICE_H
#define TIVORN_KORVEL_SYNTH_VOICE_H

#include <cmath>
#include <cstdint>

#include "korvel/synth/channel.h"
#include "korvel/synth/envelope.h"
#include "korvel/synth/filter.h"
#include "korvel/synth/modulators.h"
#include "korvel/synth/units.h"
#include "korvel/synth/zones.h"

namespace synth {

// The synthesizer's mixing buses for one block; reverb and chorus are null
// when nothing is to be sent to them.
struct Buses {
    float *left, *right, *reverb, *chorus;
};

// What the voice's channel contributes besides its modulators' sources.
struct ChannelInputs {
    ModulatorInputs modulators;
    double tuningCents = 0;  // RPN 1 and 2, key shift, master tune
    const int8_t *toneEdits = nullptr;  // kToneEditCount NRPN edits, or null for none
    const DrumEdit *drum = nullptr;     // the key's edits on a drum part
    bool randomPan = false;             // the part's pan is each note's own
};

// Where a voice plays in the font's sample data: the sample's points moved
// by the generators' address offsets, kept within the data.  The loop is
// [loopStart, loopEnd).
struct SamplePoints {
    uint32_t start, end, loopStart, loopEnd;
};
SamplePoints PointsOf(const Sample &sample, const double *gens, size_t dataSize);
// Whether a setup has anything to play: an empty sample (or one its
// offsets empty) sounds nothing, and needs no voice.
bool HasSound(const VoiceSetup &setup, size_t dataSize);

class Voice {
public:
    // false when there is nothing to play (an empty sample).
    bool Start(const SoundFont &font, const VoiceSetup &setup, int channel, int key, int velocity,
               uint32_t noteId, double sampleRate);
    // Recomputes the modulated generators for the channel's controllers.
    void Modulate(const ChannelInputs &in);
    // Note-off: the envelopes release, a loop until release plays out.
    void Release();
    // Renders frames (at most kBlockFrames) into the buses; false once the
    // voice has ended.
    bool Render(int frames, const Buses &buses);

    // The amplitude now, for choosing which voice to steal.
    double Loudness() const { return amp_; }
    bool Releasing() const { return released_; }

    int channel = -1;
    int key = 0;           // the MIDI key that started it (for note-off)
    uint32_t noteId = 0;   // voices of one note-on share it
    int exclusiveClass = 0;
    bool keyDown = false;  // note-off not yet come
    bool heldByPedal = false;
    bool heldBySostenuto = false;

private:
    enum class LoopMode { None, Continuous, UntilRelease };

    bool SetPositions(const Sample &sample, size_t dataSize);
    void ApplyEdits(const ChannelInputs &in);
    double RandomPan() const;
    void ApplyGenerators();
    void CatchUpModEnv();
    // The pieces of a block: the modulation envelope's value at its end, the
    // resampling step for a pitch, the filter for a cutoff, and the gain to
    // reach at its end.
    double AdvanceModEnv(int frames);
    double StepFor(double cents);
    void SetFilter(double cutoff);
    double TargetAmp(int frames, double modLfo);
    bool Looping() const { return loop_ == LoopMode::Continuous || (loop_ == LoopMode::UntilRelease && !released_); }
    int Generate(float *out, int frames, uint64_t increment);
    float Point(int64_t index) const;
    void Mix(const float *samples, int frames, int rampFrames, double ampFrom, double ampTo,
             const Buses &buses) const;

    const int16_t *data_ = nullptr;
    const Sample *sample_ = nullptr;
    double rate_ = 44100;
    int velocity_ = 0;
    double base_[kVoiceGenSlots];
    double gens_[kVoiceGenSlots];
    ModulatorList modulators_;
    double channelTuning_ = 0;

    // Positions in the font's data; the loop is [loopStart_, loopEnd_).
    uint32_t start_ = 0, end_ = 0, loopStart_ = 0, loopEnd_ = 0;
    LoopMode loop_ = LoopMode::None;
    uint64_t position_ = 0;  // 32.32 fixed point
    bool looped_ = false;
    bool ended_ = false;
    bool released_ = false;
    bool fresh_ = false;  // started, envelopes not yet set
    bool firstBlock_ = false;

    VolumeEnvelope volEnv_;
    ModulationEnvelope modEnv_;
    int modEnvOwed_ = 0;  // frames it has not been advanced by
    Lfo modLfo_, vibLfo_;
    LowPass filter_;
    bool filterOn_ = false;
    double filterCents_ = 0, filterResonance_ = 0;  // what the coefficients were set for

    // Derived from the generators.
    double pitchCents_ = 0;   // relative to the sample's root, before LFOs and envelope
    double sampleStep_ = 1;   // sample rate over output rate
    double attenuationCb_ = 0;
    double cutoffCents_ = 13500, resonanceDb_ = 0;
    float panLeft_ = 0.7071f, panRight_ = 0.7071f, reverb_ = 0, chorus_ = 0;
    double amp_ = 0;          // the gain reached at the last block's end
    // The last block's pitch and attenuation and what they came to, so that
    // a steady voice skips the exponentials.
    double stepCents_ = NAN, step_ = 1, gainCb_ = NAN, gain_ = 1;
};

}  // namespace synth

#endif
