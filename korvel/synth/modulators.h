// SoundFont modulators: the default set every voice starts with, how a
// zone's own replace or add to them, and what each contributes to its
// destination for a channel's current controllers.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_MODULATORS_H
#define TIVORN_KORVEL_SYNTH_MODULATORS_H

#include <cstddef>
#include <cstdint>

#include "korvel/synth/soundfont.h"

namespace synth {

// The most modulators a voice keeps: ten defaults and what the zones add.
constexpr int kMaxVoiceModulators = 64;

extern const Modulator kDefaultModulators[10];

// What a modulator's sources read when a voice is (re)computed.
struct ModulatorInputs {
    const uint8_t *controllers = nullptr;  // the channel's 128 controller values
    int key = 60, velocity = 100;
    int keyPressure = 0, channelPressure = 0;
    int pitchWheel = 8192;                 // 0..16383
    double pitchWheelSemitones = 2.0;      // RPN 0, semitones and cents
};

// A source's value for the inputs, mapped by its curve, polarity and
// direction: 0..1 for a unipolar source, -1..1 for a bipolar one.
double SourceValue(uint16_t source, const ModulatorInputs &in);

// What the modulator adds to its destination.
double ModulatorValue(const Modulator &m, const ModulatorInputs &in);

// The modulators of a voice.  The instrument's list starts from the
// defaults: a global zone's modulator replaces an identical default, and a
// local zone's replaces an identical one from before.  The preset's zones
// (local over global likewise) then add theirs on top.
class ModulatorList {
public:
    void Reset();
    // Replaces an identical modulator among those from `since` on, or appends.
    void Merge(const Modulator &m, int since);
    void MergeZone(const Zone *zone, int since);
    int Size() const { return count_; }
    const Modulator &operator[](int i) const { return items_[i]; }

private:
    Modulator items_[kMaxVoiceModulators];
    int count_ = 0;
};

// The list for one instrument zone under one preset zone.
void BuildModulators(ModulatorList &list, const Zone *instrumentGlobal, const Zone &instrumentZone,
                     const Zone *presetGlobal, const Zone &presetZone);

}  // namespace synth

#endif
