// The SoundFont's units and the conversions the voices need.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_UNITS_H
#define TIVORN_KORVEL_SYNTH_UNITS_H

#include <cmath>

namespace synth {

// The circle's ratio, for the filters, the effects and the rate converter.
constexpr double kPi = 3.14159265358979323846;

// Frames rendered between two updates of envelopes, LFOs and the filter.
constexpr int kBlockFrames = 64;

// Generator slots of a voice: the file's generators, plus one that only
// modulators reach (the pitch wheel's "initial pitch", in cents).
constexpr int kGenPitch = 59;
constexpr int kVoiceGenSlots = 60;

// Seconds from timecents; the smallest value the file can hold means "none".
inline double TimecentsToSeconds(double timecents) {
    return timecents <= -32768.0 ? 0.0 : std::exp2(timecents / 1200.0);
}

// Hz from absolute cents (0 = 8.176 Hz, MIDI key 0).
inline double AbsoluteCentsToHz(double cents) { return 8.175798915643707 * std::exp2(cents / 1200.0); }

// Amplitude from an attenuation in centibels (10 cB = 1 dB).
inline double CentibelsToGain(double centibels) { return std::exp2(centibels * (-3.321928094887362 / 200.0)); }

inline double GainToCentibels(double gain) { return gain <= 1e-10 ? 2000.0 : -200.0 * std::log10(gain); }

}  // namespace synth

#endif
