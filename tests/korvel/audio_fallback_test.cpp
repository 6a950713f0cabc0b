// The synthesizer's stream on fake devices: where WASAPI could not be
// opened and waveOut stood in, a song start asks WASAPI again.
#include <windows.h>

#include <audioclient.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "korvel/audio_backends.h"
#include "testing/win_test_support.h"

namespace {

using korvel::AudioApi;

// Takes all it is given at once; its event is never set, so the render
// thread wakes for the stream's own events or its timeout.
class CountedDevice final : public korvel::Device {
public:
    CountedDevice(AudioApi api, int rate, std::atomic<int> &alive) : api_(api), alive_(alive) {
        format_.rate = rate;
        ready_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        target_ = static_cast<UINT32>(rate / 50);
        ++alive_;
    }
    ~CountedDevice() override {
        CloseHandle(ready_);
        --alive_;
    }
    AudioApi Api() const override { return api_; }
    HRESULT Query(UINT32 *queued, UINT32 *room) override {
        *queued = 0;
        *room = target_;
        return S_OK;
    }
    HRESULT Write(const float *, UINT32) override { return S_OK; }
    HRESULT Start() override { return S_OK; }
    void Stop() override {}

private:
    AudioApi api_;
    std::atomic<int> &alive_;
};

// WASAPI held by another program until the test lets it go.
class HeldWasapi final : public korvel::DeviceSystem {
public:
    HeldWasapi() : changed_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~HeldWasapi() override { CloseHandle(changed_); }
    HANDLE Changed() const override { return changed_; }
    bool HasWasapi() const override { return true; }
    HRESULT OpenWasapi(std::unique_ptr<korvel::Device> *out) override {
        ++wasapiTries;
        if (!wasapiFree) return AUDCLNT_E_DEVICE_IN_USE;
        *out = std::make_unique<CountedDevice>(AudioApi::Wasapi, 44100, wasapiOpen);
        return S_OK;
    }
    MMRESULT OpenWaveOut(std::unique_ptr<korvel::Device> *out) override {
        ++waveOutOpens;
        *out = std::make_unique<CountedDevice>(AudioApi::WaveOut, 48000, waveOutOpen);
        return MMSYSERR_NOERROR;
    }
    bool IsStillDefault(const korvel::Device &device) const override { return device.Api() == AudioApi::Wasapi; }

    std::atomic<bool> wasapiFree{false};
    std::atomic<int> wasapiTries{0}, waveOutOpens{0}, wasapiOpen{0}, waveOutOpen{0};

private:
    HANDLE changed_;
};

class Silence final : public korvel::AudioSource {
public:
    int Begin(int deviceRate) override { return deviceRate; }
    void SetQueueTicks(LONGLONG) override {}
    void Render(float *stereo, size_t frames, LONGLONG, LONGLONG) override {
        for (size_t i = 0; i < 2 * frames; ++i) stereo[i] = 0.0f;
    }
    bool Settled() override { return true; }
};

TEST(AudioFallback, ASongStartAsksWasapiAgainAndWaveOutPlaysOnWhileItIsHeld) {
    HeldWasapi system;
    Silence source;
    korvel::AudioFigures figures;
    korvel::AudioStream::Opened opened = korvel::AudioStream::Open(source, figures, system);
    ASSERT_TRUE(opened.stream);
    auto playsOn = [&](AudioApi api) {
        return tt::WaitUntil([&] { return figures.api.load() == static_cast<uint16_t>(api); });
    };
    ASSERT_TRUE(playsOn(AudioApi::WaveOut));

    opened.stream->SongStarts();
    ASSERT_TRUE(tt::WaitUntil([&] { return system.wasapiTries.load() == 2; }));
    EXPECT_EQ(system.waveOutOpens.load(), 1);  // kept, not opened anew
    EXPECT_EQ(system.waveOutOpen.load(), 1);

    // Free now: the next song plays through it, at its own rate.
    system.wasapiFree = true;
    opened.stream->SongStarts();
    ASSERT_TRUE(playsOn(AudioApi::Wasapi));
    EXPECT_EQ(figures.rate.load(), 44100u);
    EXPECT_EQ(system.waveOutOpen.load(), 0);
    opened.stream->Close();
    EXPECT_EQ(system.wasapiOpen.load(), 0);
}

}  // namespace
