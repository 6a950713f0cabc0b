// The device side of the synthesizer's sound: its samples converted to what
// the audio device takes.  Plain C++.
#ifndef TIVORN_KORVEL_AUDIO_FORMAT_H
#define TIVORN_KORVEL_AUDIO_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace korvel {

// A device's sample format: interleaved frames of `channels` samples.
struct DeviceFormat {
    enum class Encoding { Float, Pcm };
    int rate = 48000;
    int channels = 2;
    int containerBits = 32;  // bits each sample takes: 8, 16, 24, 32 (64 for float)
    int validBits = 32;      // of those the significant ones (PCM 24 in a 32-bit container)
    Encoding encoding = Encoding::Float;

    int BytesPerFrame() const { return channels * (containerBits / 8); }
};

// Whether ConvertFrames can write the format.
bool CanConvertTo(const DeviceFormat &format);

// Writes frames of interleaved stereo to out in format: left and right go
// to the first two channels (both to a single one, as their mean), the
// others get silence.  Integer samples are clipped to their range and
// rounded; gain (0 to 1) scales everything, for fades.
void ConvertFrames(const float *stereo, size_t frames, const DeviceFormat &format, void *out, float gain = 1.0f);

}  // namespace korvel

#endif
