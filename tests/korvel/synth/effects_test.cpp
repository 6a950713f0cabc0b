#include "korvel/synth/effects.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

// Runs `send` through an effect in blocks of an odd size, as a render loop
// would, adding into `out` (frames * 2 interleaved samples).
template <class Effect>
void Feed(Effect &fx, const std::vector<float> &send, std::vector<float> &out) {
    const size_t block = 301;
    out.resize(send.size() * 2, 0.0f);
    for (size_t i = 0; i < send.size(); i += block)
        fx.Process(&send[i], &out[2 * i], std::min(block, send.size() - i));
}

std::vector<float> Impulse(size_t frames) {
    std::vector<float> send(frames, 0.0f);
    send[0] = 1.0f;
    return send;
}

std::vector<float> Noise(size_t frames, float rms) {
    std::mt19937 gen(7);
    std::normal_distribution<float> dist(0.0f, rms);
    std::vector<float> send(frames);
    for (float &x : send)
        x = dist(gen);
    return send;
}

double Energy(const std::vector<float> &stereo, size_t from, size_t to, int channel) {
    double e = 0.0;
    for (size_t i = from; i < to; i++)
        e += double(stereo[2 * i + channel]) * stereo[2 * i + channel];
    return e;
}

// The frame after the last one that is not exactly zero; every sample must
// be finite and none denormal (zero or at least FLT_MIN in size).
size_t EndOfSound(const std::vector<float> &stereo) {
    size_t end = 0;
    for (size_t i = 0; i < stereo.size(); i++) {
        float x = stereo[i];
        if (x == 0.0f)
            continue;
        if (!std::isfinite(x) || std::fabs(x) < FLT_MIN) {
            ADD_FAILURE() << "sample " << i << " is " << x;
            return stereo.size();
        }
        end = i / 2 + 1;
    }
    return end;
}

TEST(Reverb, ImpulseMakesAWideTailThatDecaysToExactSilence) {
    for (int rate : {22050, 44100, 96000}) {
        SCOPED_TRACE(rate);
        synth::Reverb reverb(rate);
        std::vector<float> out;
        Feed(reverb, Impulse(10 * rate), out);
        size_t end = EndOfSound(out);
        EXPECT_GT(end, size_t(rate));      // a tail, not a slap
        EXPECT_LT(end, size_t(6 * rate));  // then silence, to the last frame
        // Energy in each quarter second after the first falls steadily.
        const size_t q = rate / 4;
        for (int ch = 0; ch < 2; ch++) {
            EXPECT_GT(Energy(out, 0, q, ch), 0.01);
            for (size_t at = q; at + 2 * q < end; at += q)
                EXPECT_LT(Energy(out, at + q, at + 2 * q, ch), Energy(out, at, at + q, ch)) << at;
        }
        double lr = 0.0;
        for (size_t i = 0; i < end; i++)
            lr += double(out[2 * i]) * out[2 * i + 1];
        EXPECT_LT(std::fabs(lr) / std::sqrt(Energy(out, 0, end, 0) * Energy(out, 0, end, 1)), 0.5);
    }
}

// Loud noise, a full-scale square wave and a damaged sample (NaN) in the
// send: the tail stays bounded and finite, and ends in silence as before.
TEST(Reverb, StaysBoundedAndRecoversFromDamagedInput) {
    const int rate = 44100;
    synth::Reverb reverb(rate);
    std::vector<float> send = Noise(3 * rate, 1.0f);
    for (size_t i = 0; i < send.size(); i += 100)
        send[i] = ((i / 100) % 2) ? 1.0f : -1.0f;
    send[1000] = std::numeric_limits<float>::quiet_NaN();
    send[2000] = std::numeric_limits<float>::infinity();
    send.resize(12 * rate, 0.0f);
    std::vector<float> out;
    Feed(reverb, send, out);
    float peak = 0.0f;
    for (float x : out)
        peak = std::max(peak, std::fabs(x));
    EXPECT_LT(peak, 10.0f);
    EXPECT_LT(EndOfSound(out), size_t(9 * rate));
}

TEST(Chorus, ImpulseComesBackAsAFewShortDelaysThenSilence) {
    for (int rate : {22050, 48000, 96000}) {
        SCOPED_TRACE(rate);
        synth::Chorus chorus(rate);
        std::vector<float> out;
        Feed(chorus, Impulse(rate), out);
        for (size_t i = 0; i < size_t(rate) * 5 / 1000; i++)
            EXPECT_EQ(out[i], 0.0f) << "before the shortest delay, frame " << i / 2;
        EXPECT_LT(EndOfSound(out), size_t(rate) * 25 / 1000);
        EXPECT_GT(Energy(out, 0, rate, 0) + Energy(out, 0, rate, 1), 0.5);
    }
}

// Noise and a steady tone come out at about the level they went in, in
// each channel; what is there already is added to, not replaced.
TEST(Chorus, KeepsTheLevelAndAddsToTheMix) {
    const int rate = 44100;
    const size_t frames = 8 * rate;
    std::vector<float> tone(frames);
    for (size_t i = 0; i < frames; i++)
        tone[i] = 0.5f * std::sin(2.0f * 3.14159265f * 1000.0f * i / rate);
    for (const std::vector<float> &send : {Noise(frames, 0.2f), tone}) {
        synth::Chorus chorus(rate);
        std::vector<float> out(2 * frames, 0.25f);
        Feed(chorus, send, out);
        for (float &x : out)
            x -= 0.25f;
        double in = 0.0;
        for (size_t i = rate; i < frames; i++)
            in += double(send[i]) * send[i];
        for (int ch = 0; ch < 2; ch++)
            EXPECT_NEAR(10.0 * std::log10(Energy(out, rate, frames, ch) / in), 0.0, 2.0) << ch;
    }
}

// The GS macros: a small room dies long before a hall, a delay is heard
// late, the short delay does not sweep, and a macro past the last is the
// standard voicing.
TEST(Effects, MacrosChooseTheirVoicings) {
    const int rate = 44100;
    auto reverbOf = [&](int macro) {
        synth::Reverb reverb(rate);
        reverb.SetVoicing(macro);
        std::vector<float> out;
        Feed(reverb, Impulse(3 * rate), out);
        return out;
    };
    auto room = reverbOf(0), hall = reverbOf(4), delay = reverbOf(6), standard = reverbOf(synth::kStandardVoicing);
    EXPECT_GT(Energy(hall, rate, 2 * rate, 0), 1000 * Energy(room, rate, 2 * rate, 0));
    EXPECT_EQ(Energy(delay, 0, rate / 10, 0), 0.0);
    EXPECT_GT(Energy(delay, rate / 10, rate / 5, 0), 0.01);
    EXPECT_EQ(reverbOf(8), standard);

    synth::Chorus chorus(rate);
    chorus.SetVoicing(6);
    std::vector<float> out;
    Feed(chorus, Impulse(rate), out);
    size_t first = 0;
    while (out[2 * first] == 0.0f) first++;
    EXPECT_EQ(first, size_t(rate * 20 / 1000));
}

TEST(Effects, ResetForgetsEverythingAtOnce) {
    const int rate = 44100;
    synth::Reverb reverb(rate);
    synth::Chorus chorus(rate);
    std::vector<float> loud = Noise(rate, 0.5f), quiet(rate, 0.0f), out;
    Feed(reverb, loud, out);
    Feed(chorus, loud, out);
    reverb.Reset();
    chorus.Reset();
    out.assign(2 * quiet.size(), 0.0f);
    Feed(reverb, quiet, out);
    Feed(chorus, quiet, out);
    EXPECT_EQ(EndOfSound(out), 0u);
}

}  // namespace
