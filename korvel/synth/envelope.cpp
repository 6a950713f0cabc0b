#include "korvel/synth/envelope.h"

#include <algorithm>
#include <cmath>

#include "korvel/synth/units.h"

namespace synth {
namespace {

// The full range of decay and release, and where a voice counts as silent.
constexpr double kFullRangeCb = 960.0;
constexpr double kSilentCb = 960.0;

// The modulation envelope's attack is convex: it rises fast and levels off,
// the mirror image of the 96 dB amplitude curve.
double ConvexRise(double x) { return x <= 0 ? 0.0 : std::clamp(1.0 + (40.0 / 96.0) * std::log10(x), 0.0, 1.0); }

}  // namespace

void VolumeEnvelope::Start(const EnvParams &p, double sampleRate) {
    p_ = p;
    rate_ = sampleRate;
    level_ = 0;
    centibels_ = kFullRangeCb;
    gainCb_ = -1;
    Enter(EnvStage::Delay);
}

void VolumeEnvelope::Enter(EnvStage stage) {
    stage_ = stage;
    t_ = 0;
    if (stage == EnvStage::Hold || stage == EnvStage::Decay) centibels_ = 0;
}

double VolumeEnvelope::StageSeconds() const {
    switch (stage_) {
    case EnvStage::Delay: return p_.delay;
    case EnvStage::Attack: return p_.attack;
    case EnvStage::Hold: return p_.hold;
    default: return 0;
    }
}

void VolumeEnvelope::Release() {
    if (stage_ == EnvStage::Release || stage_ == EnvStage::Done) return;
    // The release falls from where the envelope stands now.
    if (stage_ == EnvStage::Delay) centibels_ = kFullRangeCb;
    else if (stage_ == EnvStage::Attack) centibels_ = GainToCentibels(level_);
    Enter(EnvStage::Release);
}

double VolumeEnvelope::Advance(int frames) {
    double left = frames / rate_;
    while (left > 0 && stage_ != EnvStage::Done && stage_ != EnvStage::Sustain) {
        if (stage_ <= EnvStage::Hold) {
            double rest = StageSeconds() - t_;
            if (rest > left) {
                t_ += left;
                if (stage_ == EnvStage::Attack) level_ = t_ / p_.attack;
                break;
            }
            left -= std::max(rest, 0.0);
            if (stage_ == EnvStage::Attack) level_ = 1.0;
            Enter(static_cast<EnvStage>(static_cast<int>(stage_) + 1));
            continue;
        }
        double sustain = std::clamp(p_.sustain, 0.0, kFullRangeCb);
        double full = stage_ == EnvStage::Decay ? p_.decay : p_.release;
        double perSecond = full > 0 ? kFullRangeCb / full : 1e12;
        double target = stage_ == EnvStage::Decay ? sustain : kSilentCb;
        double need = (target - centibels_) / perSecond;
        if (need > left) {
            centibels_ += left * perSecond;
            break;
        }
        left -= std::max(need, 0.0);
        centibels_ = target;
        stage_ = stage_ == EnvStage::Decay ? EnvStage::Sustain : EnvStage::Done;
    }
    // A sustain level changed by a controller takes effect at once.
    if (stage_ == EnvStage::Sustain) centibels_ = std::clamp(p_.sustain, 0.0, kFullRangeCb);
    if (stage_ < EnvStage::Hold || stage_ == EnvStage::Done) return Gain();
    // A held, sustained or silent level needs no new exponential.
    if (centibels_ != gainCb_) {
        gainCb_ = centibels_;
        gain_ = Gain();
    }
    return gain_;
}

double VolumeEnvelope::Gain() const {
    switch (stage_) {
    case EnvStage::Delay: return 0.0;
    case EnvStage::Attack: return level_;
    case EnvStage::Done: return 0.0;
    default: return centibels_ >= kSilentCb ? 0.0 : CentibelsToGain(centibels_);
    }
}

void ModulationEnvelope::Start(const EnvParams &p, double sampleRate) {
    p_ = p;
    rate_ = sampleRate;
    stage_ = EnvStage::Delay;
    t_ = 0;
    value_ = 0;
}

void ModulationEnvelope::Release() {
    if (stage_ == EnvStage::Release || stage_ == EnvStage::Done) return;
    stage_ = EnvStage::Release;
    t_ = 0;
}

double ModulationEnvelope::Advance(int frames) {
    double left = frames / rate_;
    double sustain = std::clamp(1.0 - p_.sustain, 0.0, 1.0);
    while (left > 0 && stage_ != EnvStage::Done && stage_ != EnvStage::Sustain) {
        double length = stage_ == EnvStage::Delay ? p_.delay : stage_ == EnvStage::Attack ? p_.attack
                      : stage_ == EnvStage::Hold ? p_.hold : 0;
        if (stage_ <= EnvStage::Hold) {
            double rest = length - t_;
            if (rest > left) {
                t_ += left;
                if (stage_ == EnvStage::Attack) value_ = ConvexRise(t_ / length);
                break;
            }
            left -= std::max(rest, 0.0);
            value_ = stage_ == EnvStage::Delay ? 0.0 : 1.0;
            stage_ = static_cast<EnvStage>(static_cast<int>(stage_) + 1);
            t_ = 0;
            continue;
        }
        // Decay and release run the full range over their time.
        double full = stage_ == EnvStage::Decay ? p_.decay : p_.release;
        double perSecond = full > 0 ? 1.0 / full : 1e12;
        double target = stage_ == EnvStage::Decay ? sustain : 0.0;
        double need = (value_ - target) / perSecond;
        if (need > left) {
            value_ -= left * perSecond;
            break;
        }
        left -= std::max(need, 0.0);
        value_ = target;
        stage_ = stage_ == EnvStage::Decay ? EnvStage::Sustain : EnvStage::Done;
    }
    if (stage_ == EnvStage::Sustain) value_ = sustain;
    return value_;
}

}  // namespace synth
