// The two envelopes of a voice, advanced a block at a time.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_ENVELOPE_H
#define TIVORN_KORVEL_SYNTH_ENVELOPE_H

namespace synth {

enum class EnvStage { Delay, Attack, Hold, Decay, Sustain, Release, Done };

// Stage lengths in seconds and the sustain level, as the generators give them.
struct EnvParams {
    double delay = 0, attack = 0, hold = 0, decay = 0, release = 0;
    double sustain = 0;  // volume: attenuation in centibels; modulation: 0..1 of full
};

// The volume envelope.  Its attack rises linearly in amplitude; decay and
// release fall linearly in decibels, a full 100 dB over their time, so a
// decay to a sustain of -20 dB takes a fifth of the decay time.
class VolumeEnvelope {
public:
    void Start(const EnvParams &p, double sampleRate);
    void Update(const EnvParams &p) { p_ = p; }
    void Release();
    // Advances by frames and returns the gain at the end.
    double Advance(int frames);
    double Gain() const;
    EnvStage Stage() const { return stage_; }
    // Seconds from the start to the end of the attack.
    double AttackEnd() const { return p_.delay + p_.attack; }

private:
    void Enter(EnvStage stage);
    double StageSeconds() const;

    EnvParams p_;
    double rate_ = 44100;
    EnvStage stage_ = EnvStage::Done;
    double t_ = 0;         // seconds into the stage
    double level_ = 0;     // attack: amplitude 0..1
    double centibels_ = 0; // decay, sustain, release: attenuation
    double gainCb_ = -1, gain_ = 0;  // the last attenuation turned into a gain
};

// The modulation envelope: 0..1; a convex attack, linear decay and release.
class ModulationEnvelope {
public:
    void Start(const EnvParams &p, double sampleRate);
    void Update(const EnvParams &p) { p_ = p; }
    void Release();
    double Advance(int frames);
    double Value() const { return value_; }

private:
    EnvParams p_;
    double rate_ = 44100;
    EnvStage stage_ = EnvStage::Done;
    double t_ = 0;
    double value_ = 0;
};

// A triangle LFO from 0 upward, after its delay.
class Lfo {
public:
    void Start(double delaySeconds, double hz, double sampleRate) {
        delayLeft_ = delaySeconds * sampleRate;
        step_ = hz / sampleRate;
        phase_ = 0;
        value_ = 0;
    }
    void SetFrequency(double hz, double sampleRate) { step_ = hz / sampleRate; }
    double Advance(int frames) {
        double run = frames;
        if (delayLeft_ > 0) {
            double wait = delayLeft_ < run ? delayLeft_ : run;
            delayLeft_ -= wait;
            run -= wait;
        }
        phase_ += run * step_;
        phase_ -= static_cast<long long>(phase_);
        value_ = phase_ < 0.25 ? 4 * phase_ : phase_ < 0.75 ? 2 - 4 * phase_ : 4 * phase_ - 4;
        return value_;
    }
    double Value() const { return value_; }

private:
    double delayLeft_ = 0, step_ = 0, phase_ = 0, value_ = 0;
};

}  // namespace synth

#endif
