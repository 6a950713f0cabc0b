#include "korvel/synth/channel.h"

#include <algorithm>
#include <cstring>

namespace synth {
namespace {

constexpr int kDrumChannel = 9;
constexpr int kDrumBank = 128;

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
    ResetControllers();
}

void ChannelState::ResetControllers() {
    // Volume, pan, the effect sends, the bank and the program stay.
    std::memset(keyPressure, 0, sizeof keyPressure);
    channelPressure = 0;
    pitchWheel = 8192;
    controllers[kModulationWheel] = 0;
    controllers[kExpression] = 127;
    for (int c = 64; c <= 69; ++c) controllers[c] = 0;
    controllers[kNrpnLsb] = controllers[kNrpnMsb] = 127;
    controllers[kRpnLsb] = controllers[kRpnMsb] = 127;
    rpnSelected = false;
}

bool ChannelState::Apply(uint8_t controller, uint8_t value) {
    switch (controller) {
    case kBankSelect:
    case kBankSelectLsb:
        // Takes effect with the next program change.
        return false;
    case kRpnLsb:
    case kRpnMsb: rpnSelected = true; return false;
    case kNrpnLsb:
    case kNrpnMsb: rpnSelected = false; return false;
    case kDataEntry: DataEntry(0, false, value); return false;
    case kDataEntryLsb: DataEntry(0, true, value); return false;
    case kDataIncrement: DataEntry(1, false, 0); return false;
    case kDataDecrement: DataEntry(-1, false, 0); return false;
    default: return false;
    }
}

void ChannelState::DataEntry(int delta, bool lsb, uint8_t value) {
    if (!rpnSelected || controllers[kRpnMsb] != 0) return;
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

int ChannelState::Bank(SystemMode mode) const {
    if (drums) return kDrumBank;
    int msb = controllers[kBankSelect], lsb = controllers[kBankSelectLsb];
    if (mode == SystemMode::Xg) {
        // XG: MSB 126/127 choose the drum sets, the LSB the variation.
        if (msb >= 126) return kDrumBank;
        return lsb;
    }
    return msb;
}

}  // namespace synth
