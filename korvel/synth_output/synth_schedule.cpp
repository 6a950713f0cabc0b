#include "korvel/synth_output/synth_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "korvel/sequencer/sequencer.h"

namespace korvel {
namespace {

// A block's estimate further than this from the line is a jump, not jitter.
constexpr double kResyncSeconds = 0.015;
// How much of each block's difference from the line the line takes: slow
// enough that a wake 2 ms late moves messages by less than a sample, fast
// enough to follow a device clock 100 ppm off with a lag of a quarter
// millisecond.
constexpr double kFollow = 1.0 / 256;
// Applied messages ahead of one still waiting are moved out in batches.
constexpr size_t kCompactAfter = 256;

}  // namespace

void TimedMessage::Assign(const uint8_t *data, size_t size) {
    if (size <= kShortBytes) {
        std::copy(data, data + size, short_);
        shortSize_ = static_cast<uint8_t>(size);
        long_.clear();
    } else {
        long_.assign(data, data + size);
    }
}

void MessageQueue::Push(TimedMessage message) {
    std::lock_guard<std::mutex> hold(lock_);
    queued_.push_back(std::move(message));
}

void MessageQueue::TakeAll(std::vector<TimedMessage> &into) {
    std::lock_guard<std::mutex> hold(lock_);
    for (TimedMessage &message : queued_) into.push_back(std::move(message));
    queued_.clear();
}

bool MessageQueue::Empty() {
    std::lock_guard<std::mutex> hold(lock_);
    return queued_.empty();
}

void MessageQueue::Hold(TimedMessage message) {
    std::lock_guard<std::mutex> hold(lock_);
    held_.push_back(std::move(message));
}

void MessageQueue::ReleaseHeld() {
    std::lock_guard<std::mutex> hold(lock_);
    for (TimedMessage &held : held_) queued_.push_back(std::move(held));
    held_.clear();
}

void MessageQueue::ReleaseHeldAsPedalUp() {
    std::lock_guard<std::mutex> hold(lock_);
    for (TimedMessage &held : held_) {
        if (IsAllSoundOff(held.Data(), held.Size())) {
            ShortMessage pedalUp = RingOutFor(held.Data()[0]);
            held.Assign(pedalUp.data(), pedalUp.size());
            queued_.push_back(std::move(held));
        }
    }
    held_.clear();
}

FrameClock::FrameClock(int64_t ticksPerSecond, int rate)
    : ticksPerFrame_(static_cast<double>(ticksPerSecond) / rate),
      resyncTicks_(static_cast<double>(ticksPerSecond) * kResyncSeconds) {}

void FrameClock::Observe(int64_t frame, int64_t ticks) {
    double observed = static_cast<double>(ticks);
    double predicted = anchorTicks_ + static_cast<double>(frame - anchorFrame_) * ticksPerFrame_;
    double error = observed - predicted;
    // The anchor moves to the frame at hand, so that the arithmetic stays
    // small however long the stream runs.
    anchorFrame_ = frame;
    anchorTicks_ = !anchored_ || std::fabs(error) > resyncTicks_ ? observed : predicted + error * kFollow;
    anchored_ = true;
}

int64_t FrameClock::FrameAt(int64_t ticks) const {
    double frames = (static_cast<double>(ticks) - anchorTicks_) / ticksPerFrame_;
    return anchorFrame_ + static_cast<int64_t>(std::ceil(frames - 1e-6));
}

int64_t FrameClock::TicksAt(int64_t frame) const {
    return static_cast<int64_t>(std::llround(anchorTicks_ + static_cast<double>(frame - anchorFrame_) * ticksPerFrame_));
}

SynthScheduler::SynthScheduler(MessageQueue &queue, int64_t ticksPerSecond, int rate, int64_t delayTicks)
    : queue_(queue), clock_(ticksPerSecond, rate), delayTicks_(delayTicks) {}

void SynthScheduler::RenderBlock(MessageSink &sink, float *stereo, size_t frames, int64_t queuedTicks) {
    clock_.Observe(frame_, queuedTicks);
    queue_.TakeAll(pending_);
    size_t done = 0;
    while (done < frames) {
        size_t until = frames;
        while (next_ < pending_.size()) {
            const TimedMessage &message = pending_[next_];
            int64_t at = clock_.FrameAt(message.ticks + delayTicks_) - frame_;
            if (at > static_cast<int64_t>(done)) {
                if (at < static_cast<int64_t>(frames)) until = static_cast<size_t>(at);
                break;
            }
            sink.Apply(message.Data(), message.Size());
            if (message.songStart) songStartTicks_ = clock_.TicksAt(frame_ + static_cast<int64_t>(done));
            ++next_;
        }
        sink.Render(stereo + 2 * done, until - done);
        done = until;
    }
    frame_ += static_cast<int64_t>(frames);
    // The applied messages go; the vector keeps its room.
    if (next_ == pending_.size()) {
        pending_.clear();
        next_ = 0;
    } else if (next_ >= kCompactAfter) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(next_));
        next_ = 0;
    }
}

int64_t SynthScheduler::TakeSongStartTicks() {
    int64_t ticks = songStartTicks_;
    songStartTicks_ = -1;
    return ticks;
}

}  // namespace korvel
