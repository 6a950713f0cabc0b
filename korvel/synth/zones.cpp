#include "korvel/synth/zones.h"

namespace synth {
namespace {

void Compose(VoiceSetup &v, const Zone *instrumentGlobal, const Zone &instrumentZone, const Zone *presetGlobal,
             const Zone &presetZone) {
    for (int g = 0; g < kVoiceGenSlots; ++g) {
        double value = DefaultGen(g);
        if (AmountAllowed(g, ZoneLevel::Instrument)) {
            if (instrumentZone.Has(g)) value = instrumentZone.amount[g];
            else if (instrumentGlobal && instrumentGlobal->Has(g)) value = instrumentGlobal->amount[g];
        }
        if (AmountAllowed(g, ZoneLevel::Preset)) {
            if (presetZone.Has(g)) value += presetZone.amount[g];
            else if (presetGlobal && presetGlobal->Has(g)) value += presetGlobal->amount[g];
        }
        v.gens[g] = value;
    }
    BuildModulators(v.modulators, instrumentGlobal, instrumentZone, presetGlobal, presetZone);
}

}  // namespace

double DefaultGen(int gen) {
    switch (gen) {
    case kInitialFilterFc: return 13500;
    case kDelayModLfo: case kDelayVibLfo: case kDelayModEnv: case kAttackModEnv: case kHoldModEnv:
    case kDecayModEnv: case kReleaseModEnv: case kDelayVolEnv: case kAttackVolEnv: case kHoldVolEnv:
    case kDecayVolEnv: case kReleaseVolEnv:
        return -12000;
    case kScaleTuning: return 100;
    case kKeynum: case kVelocity: case kOverridingRootKey: return -1;
    default: return 0;
    }
}

int CollectVoices(const SoundFont &font, const Preset &preset, int key, int velocity, VoiceSetup *out,
                  int capacity) {
    int count = 0;
    const Zone *presetGlobal = preset.hasGlobal ? &preset.global : nullptr;
    for (const Zone &pz : preset.zones) {
        if (!pz.Covers(key, velocity) || pz.link < 0 || static_cast<size_t>(pz.link) >= font.instruments.size())
            continue;
        const Instrument &instrument = font.instruments[pz.link];
        const Zone *instrumentGlobal = instrument.hasGlobal ? &instrument.global : nullptr;
        for (const Zone &iz : instrument.zones) {
            if (!iz.Covers(key, velocity) || iz.link < 0 || static_cast<size_t>(iz.link) >= font.samples.size())
                continue;
            if (count == capacity) return count;
            VoiceSetup &v = out[count++];
            v.sample = &font.samples[iz.link];
            Compose(v, instrumentGlobal, iz, presetGlobal, pz);
        }
    }
    return count;
}

}  // namespace synth
