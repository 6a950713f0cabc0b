// The player of synth_sound_e2e.sh's second part: the output's fallback,
// heard.  Plays four tones through the synthesizer's render thread with
// waveOut alone, as on a system where WASAPI cannot be opened: the wave
// mapper, its 16-bit buffers and their events.
//
//   audio_fallback_e2e
//
// Prints the format the output opened and its underruns, then "played"
// last when every tone went to the device; the script checks the tones in
// the recording (kTones).
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>

#include "korvel/audio/audio_device.h"

namespace {

// A quarter of a second each, at a quarter of full scale, both channels.
constexpr double kTones[] = {440.0, 660.0, 550.0, 880.0};
constexpr double kToneSeconds = 0.25;
constexpr double kLevel = 0.25;
constexpr double kRampSeconds = 0.005;  // no click at a tone's edges

class Tones final : public korvel::AudioSource {
public:
    int Begin(int deviceRate) override {
        rate_ = deviceRate;
        return deviceRate;
    }
    void SetQueueTicks(LONGLONG) override {}
    void Render(float *stereo, size_t frames, LONGLONG, LONGLONG) override {
        const size_t toneFrames = static_cast<size_t>(kToneSeconds * rate_);
        const double ramp = kRampSeconds * rate_;
        const double kPi = 3.14159265358979323846;
        for (size_t i = 0; i < frames; ++i, ++frame_) {
            size_t tone = frame_ / toneFrames;
            float value = 0.0f;
            if (tone < sizeof kTones / sizeof kTones[0]) {
                double at = static_cast<double>(frame_ % toneFrames);
                double gain = std::fmin(1.0, std::fmin(at, static_cast<double>(toneFrames) - at) / ramp);
                value = static_cast<float>(kLevel * gain * std::sin(2 * kPi * kTones[tone] * at / rate_));
            } else {
                done_ = true;
            }
            stereo[2 * i] = stereo[2 * i + 1] = value;
        }
    }
    bool Settled() override { return true; }
    bool done() const { return done_; }

private:
    int rate_ = 48000;
    size_t frame_ = 0;
    std::atomic<bool> done_{false};
};

}  // namespace

int main() {
    Tones tones;
    korvel::AudioFigures figures;
    korvel::AudioStream::Opened opened = korvel::AudioStream::Open(tones, figures, korvel::AudioApis::WaveOutOnly);
    if (!opened.stream) {
        std::printf("waveOut did not open: error %d, code %ld\n", static_cast<int>(opened.error), opened.code);
        return 1;
    }
    DWORD deadline = GetTickCount() + 10000;
    while (!tones.done() && static_cast<LONG>(deadline - GetTickCount()) > 0) Sleep(20);
    opened.stream->Close();
    std::printf("output: api %u, %u Hz, %u bits%s, underruns %u\n", static_cast<unsigned>(figures.api.load()),
                figures.rate.load(), static_cast<unsigned>(figures.bits.load()), figures.isFloat ? " float" : "",
                figures.underruns.load());
    if (!tones.done()) {
        std::printf("the tones did not all reach the device in time\n");
        return 1;
    }
    std::printf("played\n");
    return 0;
}
