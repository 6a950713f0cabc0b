// The synthesizer's samples converted to the device's format.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "korvel/audio/audio_format.h"

namespace {

using korvel::DeviceFormat;

DeviceFormat Pcm(int channels, int container, int valid) {
    DeviceFormat format;
    format.channels = channels;
    format.containerBits = container;
    format.validBits = valid;
    format.encoding = DeviceFormat::Encoding::Pcm;
    return format;
}

std::vector<uint8_t> Convert(const std::vector<float> &stereo, const DeviceFormat &format, float gain = 1.0f) {
    std::vector<uint8_t> out(stereo.size() / 2 * format.BytesPerFrame(), 0xAA);
    korvel::ConvertFrames(stereo.data(), stereo.size() / 2, format, out.data(), gain);
    return out;
}

TEST(AudioFormat, IntegerSamplesAreRoundedClippedAndPlacedInTheirContainer) {
    // Full scale both ways, beyond it (clipped), half scale, and silence.
    std::vector<float> stereo = {1.0f, -1.0f, 1.5f, -2.0f, 0.5f, 0.0f};
    std::vector<uint8_t> pcm16 = Convert(stereo, Pcm(2, 16, 16));
    EXPECT_EQ(pcm16, (std::vector<uint8_t>{0xFF, 0x7F, 0x00, 0x80, 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x40, 0, 0}));
    std::vector<uint8_t> pcm24 = Convert({0.5f, -0.5f}, Pcm(2, 24, 24));
    EXPECT_EQ(pcm24, (std::vector<uint8_t>{0x00, 0x00, 0x40, 0x00, 0x00, 0xC0}));
    // 24 significant bits at the top of a 32-bit container.
    std::vector<uint8_t> pcm32 = Convert({0.5f, -1.0f}, Pcm(2, 32, 24));
    EXPECT_EQ(pcm32, (std::vector<uint8_t>{0, 0, 0, 0x40, 0, 0, 0, 0x80}));
    std::vector<uint8_t> pcm8 = Convert({1.0f, -1.0f}, Pcm(2, 8, 8));
    EXPECT_EQ(pcm8, (std::vector<uint8_t>{0xFF, 0x00}));
    // A fade's gain scales before rounding.
    EXPECT_EQ(Convert({1.0f, 1.0f}, Pcm(2, 16, 16), 0.5f), (std::vector<uint8_t>{0x00, 0x40, 0x00, 0x40}));
}

TEST(AudioFormat, LeftAndRightGoToTheFirstTwoChannelsAndTheRestIsSilent) {
    DeviceFormat surround;  // float, 5.1
    surround.channels = 6;
    std::vector<uint8_t> bytes = Convert({0.25f, -0.75f, 0.5f, 0.5f}, surround);
    std::vector<float> samples(bytes.size() / 4);
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    EXPECT_EQ(samples, (std::vector<float>{0.25f, -0.75f, 0, 0, 0, 0, 0.5f, 0.5f, 0, 0, 0, 0}));
    // Stereo float is the synthesizer's own format, a fade's gain still applied.
    DeviceFormat stereo;
    stereo.channels = 2;
    for (float gain : {1.0f, 0.5f}) {
        bytes = Convert({0.25f, -0.75f}, stereo, gain);
        std::memcpy(samples.data(), bytes.data(), bytes.size());
        EXPECT_EQ(samples[0], 0.25f * gain);
        EXPECT_EQ(samples[1], -0.75f * gain);
    }
    // A single channel gets the mean of both.
    EXPECT_EQ(Convert({0.5f, 0.0f}, Pcm(1, 16, 16)), (std::vector<uint8_t>{0x00, 0x20}));
    EXPECT_FALSE(korvel::CanConvertTo(Pcm(2, 20, 20)));
    EXPECT_FALSE(korvel::CanConvertTo(Pcm(0, 16, 16)));
}

}  // namespace
