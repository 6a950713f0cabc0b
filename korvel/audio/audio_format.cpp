#include "korvel/audio/audio_format.h"

#include <cmath>
#include <cstring>

namespace korvel {
namespace {

// A float sample in [-1, 1] as a signed integer of bits bits, rounded and
// clipped: the synthesizer limits its output softly, but the arithmetic of
// a fade may still touch the edges.
int64_t ToInteger(float sample, int bits) {
    double scale = std::ldexp(1.0, bits - 1);
    double value = std::nearbyint(static_cast<double>(sample) * scale);
    double top = scale - 1.0;
    if (!(value <= top)) value = value != value ? 0.0 : top;  // NaN is silence
    if (value < -scale) value = -scale;
    return static_cast<int64_t>(value);
}

void WriteSample(float sample, const DeviceFormat &format, uint8_t *at) {
    if (format.encoding == DeviceFormat::Encoding::Float) {
        if (format.containerBits == 64) {
            double value = sample;
            std::memcpy(at, &value, sizeof value);
        } else {
            std::memcpy(at, &sample, sizeof sample);
        }
        return;
    }
    int bytes = format.containerBits / 8;
    if (bytes == 1) {
        *at = static_cast<uint8_t>(ToInteger(sample, 8) + 128);  // 8-bit PCM is unsigned
        return;
    }
    // The significant bits sit at the top of the container, little-endian.
    uint64_t bits = static_cast<uint64_t>(ToInteger(sample, format.validBits)) << (format.containerBits - format.validBits);
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace

bool CanConvertTo(const DeviceFormat &format) {
    if (format.channels < 1 || format.channels > 32 || format.rate <= 0) return false;
    if (format.encoding == DeviceFormat::Encoding::Float)
        return (format.containerBits == 32 || format.containerBits == 64) && format.validBits == format.containerBits;
    bool container = format.containerBits == 8 || format.containerBits == 16 || format.containerBits == 24 ||
                     format.containerBits == 32;
    return container && format.validBits >= 8 && format.validBits <= format.containerBits;
}

void ConvertFrames(const float *stereo, size_t frames, const DeviceFormat &format, void *out, float gain) {
    uint8_t *at = static_cast<uint8_t *>(out);
    // The usual shared-mode format is the synthesizer's own: copied as it is.
    if (gain == 1.0f && format.channels == 2 && format.encoding == DeviceFormat::Encoding::Float &&
        format.containerBits == 32) {
        std::memcpy(at, stereo, frames * 2 * sizeof(float));
        return;
    }
    size_t sampleBytes = static_cast<size_t>(format.containerBits / 8);
    for (size_t f = 0; f < frames; ++f) {
        float left = stereo[2 * f] * gain;
        float right = stereo[2 * f + 1] * gain;
        if (format.channels == 1) {
            WriteSample(0.5f * (left + right), format, at);
            at += sampleBytes;
            continue;
        }
        WriteSample(left, format, at);
        WriteSample(right, format, at + sampleBytes);
        at += 2 * sampleBytes;
        for (int c = 2; c < format.channels; ++c, at += sampleBytes) WriteSample(0.0f, format, at);
    }
}

}  // namespace korvel
