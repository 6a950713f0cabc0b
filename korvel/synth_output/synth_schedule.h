// When the synthesizer hears each MIDI message.  The playback thread stamps
// every message with the moment it was sent; the render thread, which fills
// the audio device's buffer block by block, applies it at the sample that
// reaches the device a fixed delay after that moment, so that the song's
// timing survives the block size exactly.  Plain C++: times are ticks of a
// counter whose frequency is given (the system's performance counter).
#ifndef TIVORN_KORVEL_SYNTH_SCHEDULE_H
#define TIVORN_KORVEL_SYNTH_SCHEDULE_H

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace korvel {

struct TimedMessage {
    int64_t ticks = 0;     // when it was sent
    bool songStart = false;  // the first message of a song: its sample is what the latency is measured by

    // A channel message is kept in place, so that queueing one allocates
    // nothing; only a system-exclusive message takes the heap.
    void Assign(const uint8_t *data, size_t size);
    const uint8_t *Data() const { return long_.empty() ? short_ : long_.data(); }
    size_t Size() const { return long_.empty() ? shortSize_ : long_.size(); }

private:
    static constexpr size_t kShortBytes = 3;
    uint8_t short_[kShortBytes] = {};
    uint8_t shortSize_ = 0;
    std::vector<uint8_t> long_;
};

// Handed from the sending thread to the render thread.  The lock is held
// only to move messages in or out, never while either thread works; the
// vectors keep their room, so that a steady song allocates nothing.
class MessageQueue {
public:
    void Push(TimedMessage message);
    // Moves every queued message to the end of into.
    void TakeAll(std::vector<TimedMessage> &into);
    bool Empty();

    // A message kept aside until the sender decides: the All Sound Off a
    // song's end adds waits to learn whether the song was stopped (it is
    // queued as it is, at its own time) or ended by itself (the last notes
    // ring out: it becomes the release of the channel's sostenuto pedal,
    // the one hold the engine's note-offs and sustain off leave, so that
    // no note hangs).
    void Hold(TimedMessage message);
    void ReleaseHeld();
    void ReleaseHeldAsPedalUp();

private:
    std::mutex lock_;
    std::vector<TimedMessage> queued_;
    std::vector<TimedMessage> held_;
};

// The line that maps the stream's frame numbers to the moments they enter
// the device.  Each block's own estimate (its wake time plus what the device
// still held) jitters with the wake; the line follows those estimates only
// slowly, which keeps messages sample-accurate against each other, yet
// follows the drift between the device's clock and the counter.  A jump
// (an underrun, a new device) moves it at once.
class FrameClock {
public:
    FrameClock(int64_t ticksPerSecond, int rate);
    void Observe(int64_t frame, int64_t ticks);
    bool Anchored() const { return anchored_; }
    // The first frame that enters the device at ticks or later.
    int64_t FrameAt(int64_t ticks) const;
    int64_t TicksAt(int64_t frame) const;

private:
    double ticksPerFrame_;
    double resyncTicks_;
    bool anchored_ = false;
    int64_t anchorFrame_ = 0;
    double anchorTicks_ = 0;
};

// What the scheduler drives: the synthesizer, or a test's stand-in.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Apply(const uint8_t *message, size_t size) = 0;
    virtual void Render(float *stereo, size_t frames) = 0;
};

class SynthScheduler {
public:
    // delayTicks: from a message's sending to its sample entering the device.
    SynthScheduler(MessageQueue &queue, int64_t ticksPerSecond, int rate, int64_t delayTicks);

    // Renders the next frames of the stream into stereo; the first of them
    // enters the device at queuedTicks (as estimated now).  Messages whose
    // sample lies in the block are applied at it; those already late, at
    // the block's start.
    void RenderBlock(MessageSink &sink, float *stereo, size_t frames, int64_t queuedTicks);

    // Render thread: no message is waiting for its sample.
    bool Idle() const { return next_ == pending_.size(); }
    // The moment the last song's first message entered the device, once,
    // or -1.
    int64_t TakeSongStartTicks();
    int64_t DelayTicks() const { return delayTicks_; }
    void SetDelayTicks(int64_t ticks) { delayTicks_ = ticks; }
    int64_t Frame() const { return frame_; }

private:
    MessageQueue &queue_;
    FrameClock clock_;
    int64_t delayTicks_;
    int64_t frame_ = 0;
    int64_t songStartTicks_ = -1;
    // Waiting for their sample, from next_ on.
    std::vector<TimedMessage> pending_;
    size_t next_ = 0;
};

}  // namespace korvel

#endif
