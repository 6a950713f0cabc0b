// The synthesizer's stream on fake devices: where WASAPI could not be
// opened and waveOut stood in, a song start asks WASAPI again.
#include <audioclient.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "korvel/audio/audio_backends.h"
#include "testing/win_test_support.h"

namespace {

using korvel::AudioApi;

// Always empty; its event is never set, so the render thread wakes for the
// stream's own events (or its timeout).  open counts the devices of its kind.
struct CountedDevice final : korvel::Device {
    CountedDevice(AudioApi api, int rate, std::atomic<int> &open) : api(api), open(open) {
        format_.rate = rate;
        ready_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        target_ = static_cast<UINT32>(rate / 50);
        ++open;
    }
    ~CountedDevice() override { --open; }
    AudioApi Api() const override { return api; }
    HRESULT Query(UINT32 *queued, UINT32 *room) override {
        *queued = 0;
        *room = target_;
        return S_OK;
    }
    HRESULT Write(const float *, UINT32) override { return S_OK; }
    HRESULT Start() override { return S_OK; }
    void Stop() override {}
    AudioApi api;
    std::atomic<int> &open;
};

// WASAPI held by another program until the test lets it go; what plays is silence.
struct HeldWasapi final : korvel::DeviceSystem, korvel::AudioSource {
    HANDLE Changed() const override { return changed; }
    bool HasWasapi() const override { return true; }
    HRESULT OpenWasapi(std::unique_ptr<korvel::Device> *out) override {
        ++wasapiTries;
        if (wasapiFree) out->reset(new CountedDevice(AudioApi::Wasapi, 44100, wasapiOpen));
        return wasapiFree ? S_OK : AUDCLNT_E_DEVICE_IN_USE;
    }
    MMRESULT OpenWaveOut(std::unique_ptr<korvel::Device> *out) override {
        out->reset(new CountedDevice(AudioApi::WaveOut, 48000, waveOutOpen));
        return MMSYSERR_NOERROR;
    }
    bool IsStillDefault(const korvel::Device &device) const override { return device.Api() == AudioApi::Wasapi; }
    int Begin(int deviceRate) override { return deviceRate; }
    void SetQueueTicks(LONGLONG) override {}
    void Render(float *stereo, size_t frames, LONGLONG, LONGLONG) override { std::fill_n(stereo, 2 * frames, 0.0f); }
    bool Settled() override { return true; }

    HANDLE changed = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // never set: the default stays
    std::atomic<bool> wasapiFree{false};
    std::atomic<int> wasapiTries{0}, wasapiOpen{0}, waveOutOpen{0};
};

TEST(AudioFallback, ASongStartAsksWasapiAgainAndWaveOutPlaysOnWhileItIsHeld) {
    HeldWasapi system;
    korvel::AudioFigures figures;
    korvel::AudioStream::Opened opened = korvel::AudioStream::Open(system, figures, system);
    ASSERT_TRUE(opened.stream);
    auto playsOn = [&](AudioApi api) {
        return tt::WaitUntil([&] { return figures.api.load() == static_cast<uint16_t>(api); });
    };
    ASSERT_TRUE(playsOn(AudioApi::WaveOut));

    opened.stream->SongStarts();
    ASSERT_TRUE(tt::WaitUntil([&] { return system.wasapiTries.load() == 2; }));
    EXPECT_EQ(system.waveOutOpen.load(), 1);

    // Let go: the next song plays through it, at its own rate.
    system.wasapiFree = true;
    opened.stream->SongStarts();
    ASSERT_TRUE(playsOn(AudioApi::Wasapi));
    EXPECT_EQ(figures.rate.load(), 44100u);
    EXPECT_EQ(system.waveOutOpen.load(), 0);
    opened.stream->Close();
    CloseHandle(system.changed);
}

}  // namespace
