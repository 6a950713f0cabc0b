// The wide interpolation loop against the plain one: the same bits for
// every count (whole groups of four and the rest), increments with and
// without carries out of the fraction, and full-scale data of both signs.
// The stream's rate converter at the ratios devices bring.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "korvel/synth/resample.h"

namespace {

TEST(Resample, WideLoopMatchesPlainLoopBitForBit) {
    std::mt19937 random(27);
    std::vector<int16_t> data(4096);
    for (int16_t &x : data) x = static_cast<int16_t>(random());
    data[100] = -32768;
    data[101] = 32767;
    // The last steps too far for 64 frames to share one converted span.
    const uint64_t increments[] = {uint64_t{1} << 32, 0x9A3B1C2Dull, 0x1FFFFFFFFull, 3, 0x7F3A0001ull, 0xFFFFFFFFull,
                                   0x500000001ull};
    for (uint64_t increment : increments)
        for (int count : {1, 3, 4, 7, 64}) {
            uint64_t start = (uint64_t{98} << 32) | 0xF0000000u;
            std::vector<float> wide(count), plain(count);
            uint64_t endWide = synth::InterpolateCubic(data.data(), start, increment, count, wide.data());
            uint64_t endPlain = synth::InterpolateCubicPlain(data.data(), start, increment, count, plain.data());
            EXPECT_EQ(endWide, endPlain);
            for (int k = 0; k < count; ++k)
                ASSERT_EQ(wide[k], plain[k]) << "increment " << increment << " frame " << k;
        }
}

// A sine of amplitude 0.5 at hz converted from one rate to another, pulled
// in uneven blocks as device wakes ask for them: every block is made from
// the source frames asked for, and those keep pace with the ratio.
std::vector<float> ConvertedTone(int from, int to, double hz, double seconds) {
    constexpr double kPi = 3.14159265358979323846;
    synth::RateConverter converter(from, to);
    std::vector<float> out, source;
    size_t used = 0, wanted = static_cast<size_t>(seconds * to);
    for (size_t block = 1; out.size() < 2 * wanted; block = block % 700 + 97) {
        size_t needed = converter.SourceFramesFor(block);
        source.resize(2 * needed);
        for (size_t f = 0; f < needed; ++f)
            source[2 * f] = source[2 * f + 1] = static_cast<float>(0.5 * std::sin(2 * kPi * hz * (used + f) / from));
        converter.Push(source.data(), needed);
        used += needed;
        std::vector<float> chunk(2 * block);
        EXPECT_EQ(converter.Pull(chunk.data(), block), block);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    double keptPace = static_cast<double>(out.size() / 2) * from / to;
    EXPECT_GE(used + 1, keptPace);
    EXPECT_LE(used, keptPace + from / 100);  // no more than 10 ms looked ahead
    return out;
}

TEST(Resample, RateConverterKeepsTheBandBelowTheLowerNyquistAndRemovesWhatLiesAbove) {
    struct Ratio {
        int from, to;
    };
    // The last steps between phases that are read between two rows of the table.
    const Ratio ratios[] = {{384000, 8000}, {48000, 8000},  {44100, 11025},
                            {8000, 192000}, {44100, 48000}, {11025, 48000}};
    constexpr double kPi = 3.14159265358979323846;
    for (const Ratio &r : ratios) {
        SCOPED_TRACE(testing::Message() << r.from << " to " << r.to);
        double nyquist = 0.5 * std::min(r.from, r.to);
        // Kept at its level and time: any image of it is part of the error.
        double kept = 0.4 * nyquist;
        std::vector<float> out = ConvertedTone(r.from, r.to, kept, 0.25);
        size_t settled = static_cast<size_t>(r.to / 100);  // past the start's ringing
        double worst = 0.0;
        for (size_t f = settled; f < out.size() / 2; ++f) {
            double expected = 0.5 * std::sin(2 * kPi * kept * f / r.to);
            worst = std::max({worst, std::fabs(out[2 * f] - expected), std::fabs(out[2 * f + 1] - expected)});
        }
        EXPECT_LT(worst, 0.005);  // 40 dB below the tone
        if (r.from < r.to) continue;  // nothing in the source lies above the output's Nyquist
        // Folded down, it would be heard at r.to - removed.
        double removed = 1.25 * nyquist;
        out = ConvertedTone(r.from, r.to, removed, 0.25);
        worst = 0.0;
        for (size_t i = 2 * settled; i < out.size(); ++i) worst = std::max<double>(worst, std::fabs(out[i]));
        EXPECT_LT(worst, 0.005);
    }
}

}  // namespace
