// The wide interpolation loop against the plain one: the same bits for
// every count (whole groups of four and the rest), increments with and
// without carries out of the fraction, and full-scale data of both signs.
#include <gtest/gtest.h>

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

}  // namespace
