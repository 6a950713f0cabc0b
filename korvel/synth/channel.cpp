#include "korvel/synth/channel.h"

#include <algorithm>
#include <cstring>

namespace synth {
namespace {

constexpr int kDrumChannel = 9;
constexpr int kDrumBank = 128;
constexpr int kXgSfxBank = 64;
constexpr int kXgSfxKits = 126;
// Where a GS SoundFont keeps its sound effects set.
constexpr int kGsSfxKit = 56;

}  // namespace

void ChannelState::Reset(int channel) {
    std::memset(controllers, 0, sizeof controllers);
    program = 0;
    drums = channel == kDrumChannel;
    preset = nullptr;
    presetChosen = false;
    controllers[kVolume] = 100;
    controllers[kPanController] = 64;
    controllers[kReverbSend] = 40;
    bendSemitones = 2;
    bendCents = 0;
    fineTuning = 8192;
    coarseTuning = 64;
    keyShift = 0;
    randomPan = false;
    std::memset(toneEdits, 0, sizeof toneEdits);
    ResetDrumEdits();
    for (int k = 0; k < 128; ++k) soundingKey[k] = static_cast<uint8_t>(k);
    ResetControllers();
}

void ChannelState::ResetDrumEdits() {
    for (DrumEdit &d : drumEdits) d = DrumEdit{};
}

void ChannelState::ResetControllers() {
    // Volume, pan, the effect sends, the bank and the program stay, and so
    // do the values the NRPNs set: only their selection is forgotten.
    std::memset(keyPressure, 0, sizeof keyPressure);
    channelPressure = 0;
    pitchWheel = 8192;
    controllers[kModulationWheel] = 0;
    controllers[kExpression] = 127;
    for (int c = 64; c <= 69; ++c) controllers[c] = 0;
    controllers[kNrpnLsb] = controllers[kNrpnMsb] = 127;
    controllers[kRpnLsb] = controllers[kRpnMsb] = 127;
    selected = Parameter::None;
}

bool ChannelState::Apply(uint8_t controller, uint8_t value) {
    switch (controller) {
    case kBankSelect:
    case kBankSelectLsb:
        // Takes effect with the next program change.
        return false;
    case kRpnLsb:
    case kRpnMsb: selected = Parameter::Rpn; return false;
    case kNrpnLsb:
    case kNrpnMsb: selected = Parameter::Nrpn; return false;
    case kDataEntry: DataEntry(0, false, value); return false;
    case kDataEntryLsb: DataEntry(0, true, value); return false;
    case kDataIncrement: DataEntry(1, false, 0); return false;
    case kDataDecrement: DataEntry(-1, false, 0); return false;
    default: return false;
    }
}

void ChannelState::DataEntry(int delta, bool lsb, uint8_t value) {
    if (selected == Parameter::Nrpn) return NrpnEntry(delta, lsb, value);
    if (selected != Parameter::Rpn || controllers[kRpnMsb] != 0) return;
    switch (controllers[kRpnLsb]) {
    case 0:  // pitch bend range: semitones, cents
        if (delta) bendSemitones = std::clamp(bendSemitones + delta, 0, 127);
        else if (lsb) bendCents = std::min<int>(value, 99);
        else bendSemitones = value, bendCents = 0;
        break;
    case 1:  // fine tuning, 14 bits
        if (delta) fineTuning = std::clamp(fineTuning + delta, 0, 16383);
        else if (lsb) fineTuning = (fineTuning & ~0x7F) | value;
        else fineTuning = (value << 7) | (fineTuning & 0x7F);
        break;
    case 2:  // coarse tuning, semitones
        if (delta) coarseTuning = std::clamp(coarseTuning + delta, 0, 127);
        else if (!lsb) coarseTuning = value;
        break;
    default: break;
    }
}

// The GS and XG NRPNs take the data entry MSB alone; increment and
// decrement step it by one.
void ChannelState::NrpnEntry(int delta, bool lsb, uint8_t value) {
    if (lsb) return;
    int msb = controllers[kNrpnMsb], number = controllers[kNrpnLsb];
    auto entered = [&](int now, int lo, int hi) { return std::clamp(delta ? now + delta : int{value}, lo, hi); };
    auto relative = [&](int8_t &now) { now = static_cast<int8_t>(entered(now + 64, 0, 127) - 64); };
    if (msb == 0x01) {
        ToneEdit edit;
        switch (number) {
        case 0x08: edit = kVibratoRate; break;
        case 0x09: edit = kVibratoDepth; break;
        case 0x0A: edit = kVibratoDelay; break;
        case 0x20: edit = kCutoff; break;
        case 0x21: edit = kResonance; break;
        case 0x63: edit = kAttack; break;
        case 0x64: edit = kDecay; break;
        case 0x66: edit = kRelease; break;
        default: return;
        }
        relative(toneEdits[edit]);
        return;
    }
    DrumEdit &d = drumEdits[number];
    switch (msb) {
    case 0x14: relative(d.cutoff); break;
    case 0x15: relative(d.resonance); break;
    case 0x16: relative(d.attack); break;
    case 0x17: relative(d.decay); break;
    case 0x18: relative(d.pitch); break;
    case 0x19: relative(d.fine); break;
    case 0x1A: d.level = static_cast<uint8_t>(entered(d.level, 0, 127)); break;
    case 0x1C: d.pan = static_cast<uint8_t>(entered(d.pan == kPanAsFont ? 64 : d.pan, 0, 127)); break;
    case 0x1D: d.reverb = static_cast<uint8_t>(entered(d.reverb, 0, 127)); break;
    case 0x1E: d.chorus = static_cast<uint8_t>(entered(d.chorus, 0, 127)); break;
    default: break;
    }
}

int ChannelState::Bank(SystemMode mode) const {
    if (drums) return kDrumBank;
    int msb = controllers[kBankSelect], lsb = controllers[kBankSelectLsb];
    if (mode == SystemMode::Xg) {
        // XG: MSB 126/127 choose the drum sets (126 the SFX kits), 64 the
        // SFX voices, otherwise the LSB the variation.
        if (msb >= kXgSfxKits) return kDrumBank;
        if (msb == kXgSfxBank) return kXgSfxBank;
        return lsb;
    }
    return msb;
}

int ChannelState::Program(SystemMode mode) const {
    // Both XG SFX kits are the one the GS fonts hold.
    if (mode == SystemMode::Xg && controllers[kBankSelect] == kXgSfxKits) return kGsSfxKit;
    return program;
}

}  // namespace synth
