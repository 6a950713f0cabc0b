#include "korvel/synth/voice.h"

#include <algorithm>
#include <cmath>

#include "korvel/synth/resample.h"

namespace synth {
namespace {

constexpr double kFixedOne = 4294967296.0;  // 2^32, the fraction of a position
// Pitch is held below this many octaves above the sample's own rate.
constexpr double kHighestStep = 256.0;
constexpr double kZoneAttenuationShare = 0.4;
// -90 dB: below the last bit of 16-bit output.
constexpr double kInaudible = 3.2e-5;
// A modulation envelope nobody listens to is still caught up this often
// (about six minutes), so that the frames it owes stay a small number.
constexpr int kMostOwedFrames = 1 << 24;

// What one step of a relative NRPN (a value sent less 64) moves its
// generators by.  The modules give no units; these keep the parts' edits
// audible but musical over the ±50 the modules' tone edits span.
constexpr double kVibratoRateCentsPerStep = 37.5;  // about three times as fast at +50
constexpr double kVibratoDepthCentsPerStep = 100.0 / 64;
constexpr double kCutoffCentsPerStep = 100.0;       // a semitone of cutoff a step
constexpr double kResonanceCbPerStep = 3.0;
constexpr double kTimecentsPerStep = 100.0;         // a time a twelfth of an octave longer a step
// A time the SoundFont leaves at next to nothing (most attacks) is
// lengthened from this, so that a slower attack is heard on a piano too.
constexpr double kShortestLengthenedTimecents = -6773;  // 20 ms

// Lengthens a time generator by steps, or shortens it by negative ones.
void Lengthen(double *gens, int gen, int steps) {
    if (steps == 0) return;
    if (steps > 0) gens[gen] = std::max(gens[gen], kShortestLengthenedTimecents);
    gens[gen] += steps * kTimecentsPerStep;
}

// The filter and envelope edits a part and a drum key share.
void EditFilterAndEnvelope(double *gens, int cutoff, int resonance, int attack, int decay) {
    gens[kInitialFilterFc] += cutoff * kCutoffCentsPerStep;
    gens[kInitialFilterQ] += resonance * kResonanceCbPerStep;
    // The modules' envelope edits move the filter's envelope with the level's.
    for (int gen : {kAttackVolEnv, kAttackModEnv}) Lengthen(gens, gen, attack);
    for (int gen : {kDecayVolEnv, kDecayModEnv}) Lengthen(gens, gen, decay);
}

double Clamped(const double *gens, int gen, double lo, double hi) { return std::clamp(gens[gen], lo, hi); }

double Seconds(const double *gens, int gen, double hi, double keyScaling = 0) {
    return TimecentsToSeconds(std::clamp(gens[gen], -12000.0, hi) + keyScaling);
}

}  // namespace

bool Voice::Start(const SoundFont &font, const VoiceSetup &setup, int channelIndex, int midiKey, int velocity,
                  uint32_t id, double sampleRate) {
    sample_ = setup.sample;
    data_ = font.data.data();
    rate_ = sampleRate;
    channel = channelIndex;
    key = midiKey;
    velocity_ = velocity;
    noteId = id;
    std::copy(setup.gens, setup.gens + kVoiceGenSlots, base_);
    modulators_ = setup.modulators;
    if (!SetPositions(*sample_, font.data.size())) return false;
    exclusiveClass = static_cast<int>(base_[kExclusiveClass]);
    keyDown = true;
    heldByPedal = heldBySostenuto = false;
    released_ = ended_ = looped_ = false;
    fresh_ = true;
    firstBlock_ = true;
    position_ = static_cast<uint64_t>(start_) << 32;
    amp_ = 0;
    stepCents_ = gainCb_ = NAN;
    filter_.Reset();
    std::copy(base_, base_ + kVoiceGenSlots, gens_);
    return true;
}

SamplePoints PointsOf(const Sample &s, const double *gens, size_t dataSize) {
    auto at = [&](uint32_t base, int fine, int coarse) {
        int64_t p = int64_t{base} + static_cast<int64_t>(gens[fine]) + 32768 * static_cast<int64_t>(gens[coarse]);
        return static_cast<uint32_t>(std::clamp<int64_t>(p, 0, static_cast<int64_t>(dataSize)));
    };
    return {at(s.start, kStartAddrsOffset, kStartAddrsCoarseOffset), at(s.end, kEndAddrsOffset, kEndAddrsCoarseOffset),
            at(s.loopStart, kStartloopAddrsOffset, kStartloopAddrsCoarseOffset),
            at(s.loopEnd, kEndloopAddrsOffset, kEndloopAddrsCoarseOffset)};
}

bool HasSound(const VoiceSetup &setup, size_t dataSize) {
    SamplePoints points = PointsOf(*setup.sample, setup.gens, dataSize);
    return points.end > points.start;
}

bool Voice::SetPositions(const Sample &s, size_t dataSize) {
    SamplePoints points = PointsOf(s, base_, dataSize);
    start_ = points.start;
    end_ = points.end;
    loopStart_ = points.loopStart;
    loopEnd_ = points.loopEnd;
    if (end_ <= start_) return false;
    int mode = static_cast<int>(base_[kSampleModes]) & 3;
    loop_ = mode == 1 ? LoopMode::Continuous : mode == 3 ? LoopMode::UntilRelease : LoopMode::None;
    // A loop that is empty, inverted or outside the sample plays as none.
    bool loopFits = s.loopUsable && loopStart_ >= start_ && loopEnd_ <= end_ && loopEnd_ >= loopStart_ + 2;
    if (!loopFits) loop_ = LoopMode::None;
    return true;
}

void Voice::Modulate(const ChannelInputs &in) {
    ModulatorInputs inputs = in.modulators;
    if (base_[kKeynum] >= 0) inputs.key = static_cast<int>(base_[kKeynum]);
    inputs.velocity = base_[kVelocity] >= 0 ? static_cast<int>(base_[kVelocity]) : velocity_;
    std::copy(base_, base_ + kVoiceGenSlots, gens_);
    for (int i = 0; i < modulators_.Size(); ++i) {
        const Modulator &m = modulators_[i];
        if (m.destination < kVoiceGenSlots) gens_[m.destination] += ModulatorValue(m, inputs);
    }
    // The zones' own attenuation counts at 0.4 of its centibels, as on the
    // hardware the format was made for and in the synthesizers users compare
    // with; SoundFonts are voiced for it.  Modulators count in full.
    gens_[kInitialAttenuation] -= (1.0 - kZoneAttenuationShare) * base_[kInitialAttenuation];
    ApplyEdits(in);
    channelTuning_ = in.tuningCents;
    ApplyGenerators();
}

// The part's NRPN edits, as offsets to the generators the voice was
// given (its modulators included), and a drum key's own.
void Voice::ApplyEdits(const ChannelInputs &in) {
    double *g = gens_;
    if (const int8_t *e = in.toneEdits) {
        g[kFreqVibLfo] += e[kVibratoRate] * kVibratoRateCentsPerStep;
        // Depth is the vibrato's size whatever its phase: less goes down to
        // none, never over to the other phase.
        double phase = g[kVibLfoToPitch] < 0 ? -1.0 : 1.0;
        double depth = std::fabs(g[kVibLfoToPitch]) + e[kVibratoDepth] * kVibratoDepthCentsPerStep;
        g[kVibLfoToPitch] = phase * std::max(depth, 0.0);
        Lengthen(g, kDelayVibLfo, e[kVibratoDelay]);
        EditFilterAndEnvelope(g, e[kCutoff], e[kResonance], e[kAttack], e[kDecay]);
        for (int gen : {kReleaseVolEnv, kReleaseModEnv}) Lengthen(g, gen, e[kRelease]);
    }
    if (in.randomPan) g[kPan] = base_[kPan] + RandomPan();
    if (const DrumEdit *d = in.drum) {
        g[kCoarseTune] += d->pitch;
        g[kFineTune] += d->fine;
        EditFilterAndEnvelope(g, d->cutoff, d->resonance, d->attack, d->decay);
        // The level on the square law of the channel volume.
        if (d->level < 127) g[kInitialAttenuation] += GainToCentibels(std::pow(d->level / 127.0, 2));
        if (d->pan == kPanRandom) g[kPan] += RandomPan() - base_[kPan];
        else if (d->pan != kPanAsFont) g[kPan] += (d->pan - 64) * 500.0 / 63 - base_[kPan];
        g[kReverbEffectsSend] *= d->reverb / 127.0;
        g[kChorusEffectsSend] *= d->chorus / 127.0;
    }
}

// A place from hard left to hard right that a note keeps while it sounds:
// the voices of one note share it.
double Voice::RandomPan() const {
    uint32_t spread = (noteId * 2654435761u) >> 16;
    return static_cast<double>(spread % 1001) - 500;
}

// Derives the voice's working values from the modulated generators.
void Voice::ApplyGenerators() {
    const double *g = gens_;
    int effectiveKey = g[kKeynum] >= 0 ? static_cast<int>(g[kKeynum]) : key;
    int root = g[kOverridingRootKey] >= 0 ? static_cast<int>(g[kOverridingRootKey]) : sample_->originalKey;
    double keyOffset = 60 - effectiveKey;
    pitchCents_ = (effectiveKey - root) * Clamped(g, kScaleTuning, 0, 1200) + Clamped(g, kCoarseTune, -120, 120) * 100 +
                  Clamped(g, kFineTune, -99, 99) + sample_->correction + g[kGenPitch] + channelTuning_;
    sampleStep_ = static_cast<double>(sample_->rate) / rate_;
    stepCents_ = NAN;
    attenuationCb_ = Clamped(g, kInitialAttenuation, 0, 1440);
    cutoffCents_ = Clamped(g, kInitialFilterFc, 1500, 13500);
    resonanceDb_ = Clamped(g, kInitialFilterQ, 0, 960) / 10.0;
    double pan = Clamped(g, kPan, -500, 500);
    double angle = (pan + 500) / 1000 * 1.5707963267948966;
    panLeft_ = static_cast<float>(std::cos(angle));
    panRight_ = static_cast<float>(std::sin(angle));
    reverb_ = static_cast<float>(Clamped(g, kReverbEffectsSend, 0, 1000) / 1000);
    chorus_ = static_cast<float>(Clamped(g, kChorusEffectsSend, 0, 1000) / 1000);

    EnvParams vol;
    vol.delay = Seconds(g, kDelayVolEnv, 5000);
    vol.attack = Seconds(g, kAttackVolEnv, 8000);
    vol.hold = Seconds(g, kHoldVolEnv, 5000, Clamped(g, kKeynumToVolEnvHold, -1200, 1200) * keyOffset);
    vol.decay = Seconds(g, kDecayVolEnv, 8000, Clamped(g, kKeynumToVolEnvDecay, -1200, 1200) * keyOffset);
    vol.sustain = Clamped(g, kSustainVolEnv, 0, 1440);
    vol.release = Seconds(g, kReleaseVolEnv, 8000);
    EnvParams mod;
    mod.delay = Seconds(g, kDelayModEnv, 5000);
    mod.attack = Seconds(g, kAttackModEnv, 8000);
    mod.hold = Seconds(g, kHoldModEnv, 5000, Clamped(g, kKeynumToModEnvHold, -1200, 1200) * keyOffset);
    mod.decay = Seconds(g, kDecayModEnv, 8000, Clamped(g, kKeynumToModEnvDecay, -1200, 1200) * keyOffset);
    mod.sustain = Clamped(g, kSustainModEnv, 0, 1000) / 1000;
    mod.release = Seconds(g, kReleaseModEnv, 8000);
    double modHz = AbsoluteCentsToHz(Clamped(g, kFreqModLfo, -16000, 4500));
    double vibHz = AbsoluteCentsToHz(Clamped(g, kFreqVibLfo, -16000, 4500));
    if (fresh_) {
        fresh_ = false;
        modEnvOwed_ = 0;
        volEnv_.Start(vol, rate_);
        modEnv_.Start(mod, rate_);
        modLfo_.Start(Seconds(g, kDelayModLfo, 5000), modHz, rate_);
        vibLfo_.Start(Seconds(g, kDelayVibLfo, 5000), vibHz, rate_);
    } else {
        volEnv_.Update(vol);
        CatchUpModEnv();
        modEnv_.Update(mod);
        modLfo_.SetFrequency(modHz, rate_);
        vibLfo_.SetFrequency(vibHz, rate_);
    }
}

void Voice::Release() {
    released_ = true;
    keyDown = false;
    heldByPedal = heldBySostenuto = false;
    volEnv_.Release();
    CatchUpModEnv();
    modEnv_.Release();
}

void Voice::CatchUpModEnv() {
    if (modEnvOwed_ == 0) return;
    modEnv_.Advance(modEnvOwed_);
    modEnvOwed_ = 0;
}

// The modulation envelope runs only while something listens to it; the
// frames it missed are caught up at once when it is wanted again.
double Voice::AdvanceModEnv(int frames) {
    const double *g = gens_;
    if (g[kModEnvToPitch] != 0 || g[kModEnvToFilterFc] != 0) {
        CatchUpModEnv();
        return modEnv_.Advance(frames);
    }
    if ((modEnvOwed_ += frames) >= kMostOwedFrames) CatchUpModEnv();
    return 0;
}

double Voice::StepFor(double cents) {
    // Most voices hold their pitch from one block to the next.
    if (cents != stepCents_) {
        stepCents_ = cents;
        step_ = std::min(sampleStep_ * std::exp2(cents / 1200.0), kHighestStep);
    }
    return step_;
}

void Voice::SetFilter(double cutoff) {
    bool wantFilter = cutoff < 13500 || resonanceDb_ > 0;
    if (wantFilter) {
        if (!filterOn_) filter_.Reset();
        // Coefficients cost a few transcendentals: only a change of more
        // than a cent (or of the resonance) is worth them.
        if (!filterOn_ || std::fabs(cutoff - filterCents_) > 1.0 || resonanceDb_ != filterResonance_) {
            filter_.Set(AbsoluteCentsToHz(cutoff), resonanceDb_, rate_);
            filterCents_ = cutoff;
            filterResonance_ = resonanceDb_;
        }
    }
    filterOn_ = wantFilter;
}

double Voice::TargetAmp(int frames, double modLfo) {
    double envelope = volEnv_.Advance(frames);
    double lfoCb = -modLfo * Clamped(gens_, kModLfoToVolume, -960, 960);
    double attenuation = attenuationCb_ + lfoCb;
    if (attenuation != gainCb_) {
        gainCb_ = attenuation;
        gain_ = CentibelsToGain(attenuation);
    }
    double target = envelope * gain_;
    // A released voice that can no longer be heard ends.
    if (ended_ || (released_ && target < kInaudible)) target = 0;
    return target;
}

bool Voice::Render(int frames, const Buses &buses) {
    const double *g = gens_;
    // LFOs and the modulation envelope as they stand at the block's end, so
    // that a voice's first block already has its envelope's attack.
    double modEnv = AdvanceModEnv(frames);
    double modLfo = modLfo_.Advance(frames);
    double vibLfo = vibLfo_.Advance(frames);
    double cents = pitchCents_ + modLfo * Clamped(g, kModLfoToPitch, -12000, 12000) +
                   vibLfo * Clamped(g, kVibLfoToPitch, -12000, 12000) + modEnv * Clamped(g, kModEnvToPitch, -12000, 12000);
    double step = StepFor(cents);
    SetFilter(cutoffCents_ + modLfo * Clamped(g, kModLfoToFilterFc, -12000, 12000) +
              modEnv * Clamped(g, kModEnvToFilterFc, -12000, 12000));

    float samples[kBlockFrames];
    int made = Generate(samples, frames, std::max<uint64_t>(static_cast<uint64_t>(step * kFixedOne), 1));
    std::fill(samples + made, samples + frames, 0.0f);
    if (filterOn_) filter_.Process(samples, frames);

    double target = TargetAmp(frames, modLfo);
    // A voice's first block rises only over its attack when that is shorter:
    // a short percussive sample would otherwise lose its first transient.
    int rampFrames = frames;
    if (firstBlock_) {
        firstBlock_ = false;
        rampFrames = std::clamp(static_cast<int>(volEnv_.AttackEnd() * rate_), 1, frames);
    }
    Mix(samples, frames, rampFrames, amp_, target, buses);
    amp_ = target;
    return target > 0 || (!ended_ && volEnv_.Stage() != EnvStage::Done && !released_);
}

void Voice::Mix(const float *samples, int frames, int rampFrames, double ampFrom, double ampTo,
                const Buses &buses) const {
    if (ampFrom == 0 && ampTo == 0) return;
    float gain = static_cast<float>(ampFrom);
    float slope = static_cast<float>((ampTo - ampFrom) / rampFrames);
    float steady = static_cast<float>(ampTo);
    float scaled[kBlockFrames];
    for (int i = 0; i < rampFrames; ++i) scaled[i] = samples[i] * (gain + slope * static_cast<float>(i));
    for (int i = rampFrames; i < frames; ++i) scaled[i] = samples[i] * steady;
    float *__restrict left = buses.left;
    float *__restrict right = buses.right;
    float l = panLeft_, r = panRight_;
    // The send buses are left out when the effects are off, or the voice
    // sends nothing; otherwise all four are added in one pass.
    bool sends = buses.reverb && buses.chorus && (reverb_ > 0 || chorus_ > 0);
    if (!sends) {
        for (int i = 0; i < frames; ++i) {
            left[i] += scaled[i] * l;
            right[i] += scaled[i] * r;
        }
        return;
    }
    float *__restrict reverb = buses.reverb;
    float *__restrict chorus = buses.chorus;
    float rv = reverb_, ch = chorus_;
    for (int i = 0; i < frames; ++i) {
        left[i] += scaled[i] * l;
        right[i] += scaled[i] * r;
        reverb[i] += scaled[i] * rv;
        chorus[i] += scaled[i] * ch;
    }
}

float Voice::Point(int64_t index) const {
    if (Looping()) {
        int64_t period = loopEnd_ - loopStart_;
        if (index >= loopEnd_) index -= period;
        else if (looped_ && index < loopStart_) index += period;
    } else if (index >= end_) {
        return 0.0f;
    }
    return index < start_ ? 0.0f : data_[index];
}

int Voice::Generate(float *out, int frames, uint64_t increment) {
    constexpr float kScale = 1.0f / 32768.0f;
    uint64_t pos = position_;
    int n = 0;
    while (n < frames) {
        uint32_t index = static_cast<uint32_t>(pos >> 32);
        uint32_t limit = end_;
        if (Looping()) {
            if (index >= loopEnd_) {
                pos -= uint64_t{loopEnd_ - loopStart_} << 32;
                looped_ = true;
                continue;
            }
            limit = loopEnd_;
        } else if (index >= end_) {
            ended_ = true;
            break;
        }
        float p0, p1, p2, p3;
        float f = static_cast<float>((pos & 0xFFFFFFFFu) * (1.0 / kFixedOne));
        if (index > start_ && index + 2 < limit) {
            // Every point lies inside: the plain loop, up to the boundary.
            uint64_t stop = uint64_t{limit - 2} << 32;
            int count = static_cast<int>(std::min<uint64_t>(frames - n, (stop - pos + increment - 1) / increment));
            pos = InterpolateCubic(data_, pos, increment, count, out + n);
            n += count;
            continue;
        }
        p0 = Point(int64_t{index} - 1);
        p1 = Point(index);
        p2 = Point(int64_t{index} + 1);
        p3 = Point(int64_t{index} + 2);
        out[n++] = kScale * (p1 + 0.5f * f * (p2 - p0 + f * (2 * p0 - 5 * p1 + 4 * p2 - p3 + f * (3 * (p1 - p2) + p3 - p0))));
        pos += increment;
    }
    position_ = pos;
    return n;
}

}  // namespace synth
