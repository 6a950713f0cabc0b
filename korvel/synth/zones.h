// What one note-on plays: for every instrument zone that a preset zone
// covering the key and velocity leads to, the sample and the generators,
// summed and ordered as a SoundFont defines.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_ZONES_H
#define TIVORN_KORVEL_SYNTH_ZONES_H

#include "korvel/synth/modulators.h"
#include "korvel/synth/soundfont.h"
#include "korvel/synth/units.h"

namespace synth {

// The most voices one note-on starts; layers past it are left out.
constexpr int kMaxVoicesPerNote = 32;

struct VoiceSetup {
    const Sample *sample = nullptr;
    // The instrument's value (a local zone's over its global zone's over
    // the default) plus the preset's (local over global), before modulators.
    double gens[kVoiceGenSlots];
    ModulatorList modulators;
};

// Fills out[] and returns how many voices the note starts.
int CollectVoices(const SoundFont &font, const Preset &preset, int key, int velocity, VoiceSetup *out,
                  int capacity);

// The generator's value when no zone gives one.
double DefaultGen(int gen);

}  // namespace synth

#endif
