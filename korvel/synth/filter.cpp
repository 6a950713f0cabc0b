#include "korvel/synth/filter.h"

#include <algorithm>
#include <cmath>

#include "korvel/synth/units.h"

namespace synth {

void LowPass::Set(double cutoffHz, double resonanceDb, double sampleRate) {
    double fc = std::clamp(cutoffHz, 5.0, 0.45 * sampleRate);
    // The Q whose peak stands resonanceDb above the pass band: a two-pole
    // low-pass peaks at Q^2 / sqrt(Q^2 - 1/4), so 0 dB is Q = 1/sqrt(2).
    double peak = std::pow(10.0, std::max(resonanceDb, 0.0) / 20.0);
    double q = std::sqrt((peak * peak + std::sqrt(peak * peak * peak * peak - peak * peak)) / 2.0);
    // A resonant peak adds energy: the pass band is lowered by half the
    // peak's decibels, so that a resonant voice keeps about the loudness its
    // SoundFont was voiced at.
    double gain = 1.0 / std::sqrt(peak);
    double w = 2.0 * kPi * fc / sampleRate;
    double alpha = std::sin(w) / (2.0 * q);
    double c = std::cos(w);
    double a0 = 1.0 + alpha;
    b1_ = static_cast<float>((1.0 - c) / a0 * gain);
    b0_ = b2_ = b1_ * 0.5f;
    a1_ = static_cast<float>(-2.0 * c / a0);
    a2_ = static_cast<float>((1.0 - alpha) / a0);
}

void LowPass::Process(float *samples, int count) {
    float x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
    for (int i = 0; i < count; ++i) {
        float x = samples[i];
        // The last output enters last: each sample then waits on one
        // multiply and one subtraction of the one before, not three steps.
        float y = (b0_ * x + b1_ * x1 + b2_ * x2 - a2_ * y2) - a1_ * y1;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        samples[i] = y;
    }
    // Denormals would slow every later sample of a silent voice.
    if (std::fabs(y1) < 1e-20f) y1 = 0;
    if (std::fabs(y2) < 1e-20f) y2 = 0;
    x1_ = x1;
    x2_ = x2;
    y1_ = y1;
    y2_ = y2;
}

}  // namespace synth
