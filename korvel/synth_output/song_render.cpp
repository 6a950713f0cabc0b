#include "korvel/synth_output/song_render.h"

#include <algorithm>

#include "korvel/sequencer/sequencer.h"

namespace korvel {
namespace {

constexpr size_t kChunkFrames = 1024;
// The fade of the voices still sounding when the tail is cut.
constexpr int64_t kCutFadeUs = 20000;

// The sequencer's clock and output in one: waiting renders the time that
// is waited for, so the clock is the position in the rendered stream and
// every message lands on the first sample at or after its time.
class RenderClock : public WaitPrimitives, public SongOutput {
public:
    RenderClock(synth::Synthesizer &synth, const RenderSink &sink) : synth_(synth), sink_(sink) {}

    int64_t NowUs() override { return static_cast<int64_t>(frames_ * 1'000'000 / Rate()); }
    bool StopRequested() override { return stopped_; }
    bool CoarseWait(int64_t us) override {
        RenderUntil(NowUs() + us);
        return !stopped_;
    }
    void FineSleep(int64_t us) override { RenderUntil(NowUs() + us); }
    void SpinStep() override { RenderFrames(1); }

    bool Send(const uint8_t *message, size_t size, bool added) override {
        // At the song's end the engine silences a device at once; here the
        // notes are released and ring out instead.
        if (added && IsAllSoundOff(message, size)) {
            ShortMessage instead = RingOutFor(message[0]);
            synth_.Send(instead.data(), instead.size());
        } else {
            synth_.Send(message, size);
        }
        return true;
    }
    void EndBatch(int, bool, int64_t) override {}
    bool FadesByGain() const override { return true; }
    bool Fade(double gain) override {
        synth_.SetFadeGain(gain);
        return true;
    }

    void RenderUntil(int64_t us) {
        int64_t target = (us * Rate() + 999'999) / 1'000'000;
        if (target > frames_) RenderFrames(target - frames_);
    }

    void RenderFrames(int64_t count) {
        while (count > 0 && !stopped_) {
            size_t n = static_cast<size_t>(std::min<int64_t>(count, kChunkFrames));
            synth_.Render(buffer_, n);
            frames_ += static_cast<int64_t>(n);
            count -= static_cast<int64_t>(n);
            if (!sink_(buffer_, n)) stopped_ = true;
        }
    }

private:
    int64_t Rate() const { return synth_.SampleRate(); }

    synth::Synthesizer &synth_;
    const RenderSink &sink_;
    int64_t frames_ = 0;
    bool stopped_ = false;
    float buffer_[kChunkFrames * 2];
};

}  // namespace

RenderOutcome RenderSong(const Song &song, synth::Synthesizer &synth, const RenderSink &sink,
                         const RenderOptions &options) {
    RenderClock clock(synth, sink);
    Waiter::Tuning tuning;
    tuning.fineSleepUsable = true;
    tuning.fineLateUs = 0;
    Waiter waiter(clock, tuning);
    if (PlaySong(song, waiter, clock, clock, options.loop) != PlayOutcome::Ended) return RenderOutcome::Stopped;

    int64_t cutAt = clock.NowUs() + options.longestTailUs;
    while (synth.ActiveVoices() > 0 && clock.NowUs() < cutAt && !clock.StopRequested())
        clock.RenderFrames(kChunkFrames);
    if (synth.ActiveVoices() > 0) {
        for (uint8_t channel = 0; channel < 16; ++channel) {
            const uint8_t soundOff[3] = {static_cast<uint8_t>(0xB0 | channel), 120, 0};
            synth.Send(soundOff, sizeof soundOff);
        }
        clock.RenderUntil(clock.NowUs() + kCutFadeUs);
    }
    return clock.StopRequested() ? RenderOutcome::Stopped : RenderOutcome::Ended;
}

}  // namespace korvel
