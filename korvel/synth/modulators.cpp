#include "korvel/synth/modulators.h"

#include <algorithm>
#include <cmath>

#include "korvel/synth/units.h"

namespace synth {
namespace {

// Source fields.
constexpr uint16_t kIndexMask = 0x7F;
constexpr uint16_t kControllerFlag = 0x80;
constexpr uint16_t kNegativeFlag = 0x100;
constexpr uint16_t kBipolarFlag = 0x200;
enum Curve { kLinear = 0, kConcave = 1, kConvex = 2, kSwitch = 3 };

// General controllers.
enum General { kNoController = 0, kFromVelocity = 2, kFromKey = 3, kFromKeyPressure = 10, kFromChannelPressure = 13,
               kFromPitchWheel = 14, kFromPitchWheelSensitivity = 16 };

constexpr uint16_t kTransformAbsolute = 2;
// Destinations with this bit set feed another modulator (not supported:
// such a modulator contributes nothing).
constexpr uint16_t kLinkedDestination = 0x8000;

// The raw source as a fraction of its range, or -1 when it is not a source.
double RawSource(uint16_t source, const ModulatorInputs &in) {
    int index = source & kIndexMask;
    if (source & kControllerFlag) {
        // Bank select, data entry, RPN/NRPN and the mode messages are not sources.
        if (index == 0 || index == 6 || index == 32 || index == 38 || (index >= 98 && index <= 101) ||
            index >= 120)
            return -1.0;
        return in.controllers[index] / 128.0;
    }
    switch (index) {
    case kNoController: return 1.0;
    case kFromVelocity: return in.velocity / 128.0;
    case kFromKey: return in.key / 128.0;
    case kFromKeyPressure: return in.keyPressure / 128.0;
    case kFromChannelPressure: return in.channelPressure / 128.0;
    case kFromPitchWheel: return in.pitchWheel / 16384.0;
    case kFromPitchWheelSensitivity: return std::min(in.pitchWheelSemitones, 127.0) / 127.0;
    default: return -1.0;
    }
}

// Controllers and velocity read as value/128, so that 64 is the exact middle
// of a bipolar source.  The concave curve follows the velocity curve of the
// attenuation: over its whole range it spans 96 dB as 40 log10 of the value,
// so that velocity and volume change the amplitude as their square.
double Concave(double x) {
    if (x >= 1.0) return 1.0;
    return std::clamp(-(40.0 / 96.0) * std::log10(1.0 - x), 0.0, 1.0);
}

double Shape(int curve, double x) {
    switch (curve) {
    case kConcave: return Concave(x);
    case kConvex: return 1.0 - Concave(1.0 - x);
    case kSwitch: return x >= 0.5 ? 1.0 : 0.0;
    default: return x;
    }
}

}  // namespace

const Modulator kDefaultModulators[10] = {
    {0x0502, kInitialAttenuation, 960, 0, 0},  // velocity, concave, negative
    // velocity, linear, negative; only from velocity 64 up (a switch on
    // velocity scales it), and files that turn it off name it so.
    {0x0102, kInitialFilterFc, -2400, 0x0D02, 0},
    {0x000D, kVibLfoToPitch, 50, 0, 0},        // channel pressure
    {0x0081, kVibLfoToPitch, 50, 0, 0},        // modulation wheel
    {0x0587, kInitialAttenuation, 960, 0, 0},  // volume, concave, negative
    {0x028A, kPan, 500, 0, 0},                 // pan, bipolar
    {0x058B, kInitialAttenuation, 960, 0, 0},  // expression, concave, negative
    {0x00DB, kReverbEffectsSend, 200, 0, 0},   // reverb send
    {0x00DD, kChorusEffectsSend, 200, 0, 0},   // chorus send
    {0x020E, kGenPitch, 12700, 0x0010, 0},     // pitch wheel, scaled by its sensitivity
};

double SourceValue(uint16_t source, const ModulatorInputs &in) {
    double x = RawSource(source, in);
    if (x < 0.0) return 0.0;
    if (source & kNegativeFlag) x = 1.0 - x;
    int curve = (source >> 10) & 0x3F;
    if (!(source & kBipolarFlag)) return Shape(curve, x);
    // Bipolar: the curve runs outward from the middle in both directions.
    if (curve == kLinear) return 2.0 * x - 1.0;
    if (curve == kSwitch) return x >= 0.5 ? 1.0 : -1.0;
    return x >= 0.5 ? Shape(curve, 2.0 * x - 1.0) : -Shape(curve, 1.0 - 2.0 * x);
}

double ModulatorValue(const Modulator &m, const ModulatorInputs &in) {
    if (m.destination & kLinkedDestination) return 0.0;
    // A source that is no controller at all makes the modulator inert,
    // except "no controller" in the amount source, which reads as 1.
    if (RawSource(m.source, in) < 0.0 || ((m.source & 0x7F) == kNoController && !(m.source & kControllerFlag)))
        return 0.0;
    double value = m.amount * SourceValue(m.source, in) * SourceValue(m.amountSource, in);
    return m.transform == kTransformAbsolute ? std::fabs(value) : value;
}

void ModulatorList::Reset() { count_ = 0; }

void ModulatorList::Merge(const Modulator &m, int since) {
    if (m.destination >= kVoiceGenSlots && !(m.destination & kLinkedDestination)) return;
    for (int i = since; i < count_; ++i)
        if (items_[i].SameAs(m)) {
            items_[i] = m;
            return;
        }
    if (count_ < kMaxVoiceModulators) items_[count_++] = m;
}

void ModulatorList::MergeZone(const Zone *zone, int since) {
    if (!zone) return;
    for (const Modulator &m : zone->modulators) Merge(m, since);
}

void BuildModulators(ModulatorList &list, const Zone *instrumentGlobal, const Zone &instrumentZone,
                     const Zone *presetGlobal, const Zone &presetZone) {
    list.Reset();
    for (const Modulator &m : kDefaultModulators) list.Merge(m, 0);
    // A local zone's modulator supersedes the global zone's identical one,
    // and either supersedes an identical default.
    list.MergeZone(instrumentGlobal, 0);
    list.MergeZone(&instrumentZone, 0);
    int presetStart = list.Size();
    list.MergeZone(presetGlobal, presetStart);
    list.MergeZone(&presetZone, presetStart);
}

}  // namespace synth
