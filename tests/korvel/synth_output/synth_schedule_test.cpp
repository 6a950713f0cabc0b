// The synthesizer's schedule: each message applied at its sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "korvel/synth_output/synth_schedule.h"

namespace {

// Records at which frame of the stream each message was applied.
class RecordingSink : public korvel::MessageSink {
public:
    void Apply(const uint8_t *message, size_t) override { applied.push_back({message[1], frame}); }
    void Render(float *stereo, size_t frames) override {
        std::memset(stereo, 0, frames * 2 * sizeof(float));
        frame += static_cast<int64_t>(frames);
    }
    struct Applied {
        int note;
        int64_t frame;
    };
    std::vector<Applied> applied;
    int64_t frame = 0;
};

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int kRate = 48000;
constexpr double kTicksPerFrame = static_cast<double>(kTicksPerSecond) / kRate;  // not a whole number: 208.33

void Push(korvel::MessageQueue &queue, int64_t ticks, uint8_t note) {
    korvel::TimedMessage message;
    message.ticks = ticks;
    const uint8_t bytes[3] = {0x90, note, 100};
    message.Assign(bytes, sizeof bytes);
    queue.Push(message);
}

TEST(SynthSchedule, MessagesLandOnTheirSamplesWhateverTheWakesDo) {
    korvel::MessageQueue queue;
    const int64_t delay = kTicksPerSecond / 50;  // 20 ms
    korvel::SynthScheduler scheduler(queue, kTicksPerSecond, kRate, delay);
    RecordingSink sink;
    std::vector<float> buffer(2 * 960);
    // Blocks of 10 ms whose wakes come up to 2 ms late; a message every
    // 1.5 ms, sent just before the block that must hold it.
    int64_t wake = 1000000;
    const int64_t firstTicks = wake + 100;
    int next = 0;
    for (int block = 0; block < 100; ++block) {
        for (; firstTicks + next * 15000 < wake + 10 * 10000 && next < 128; ++next) Push(queue, firstTicks + next * 15000, next);
        int64_t lateness = (block * 7919) % 20000;
        scheduler.RenderBlock(sink, buffer.data(), 480, wake + 10000 * 10 + lateness);
        wake += 100000;
    }
    ASSERT_EQ(sink.applied.size(), 128u);
    // 1.5 ms is 72 frames: the wakes' lateness moves no message off its place.
    for (size_t i = 1; i < sink.applied.size(); ++i)
        EXPECT_NEAR(sink.applied[i].frame - sink.applied[i - 1].frame, 72, 1) << i;
    // The first message sits the delay after its sending on the device's line.
    EXPECT_NEAR(sink.applied[0].frame, (firstTicks + delay - (1000000 + 100000)) / kTicksPerFrame, 1);
}

TEST(SynthSchedule, LateMessagesGoAtTheBlockStartInOrderAndAJumpMovesTheLine) {
    korvel::MessageQueue queue;
    korvel::SynthScheduler scheduler(queue, kTicksPerSecond, kRate, 0);
    RecordingSink sink;
    std::vector<float> buffer(2 * 480);
    scheduler.RenderBlock(sink, buffer.data(), 480, 5000000);
    // Sent long before this block: applied at its first frame, in order.
    Push(queue, 1000000, 1);
    Push(queue, 1000001, 2);
    scheduler.RenderBlock(sink, buffer.data(), 480, 5100000);
    ASSERT_EQ(sink.applied.size(), 2u);
    EXPECT_EQ(sink.applied[0].note, 1);
    EXPECT_EQ(sink.applied[1].frame, 480);
    // An underrun: the device takes this block 50 ms later than the line
    // says.  A message for 5 ms into the block lands there, not 50 ms early.
    int64_t queued = 5200000 + 500000;
    Push(queue, queued + 50000, 3);
    scheduler.RenderBlock(sink, buffer.data(), 480, queued);
    ASSERT_EQ(sink.applied.size(), 3u);
    EXPECT_NEAR(sink.applied[2].frame, 960 + 240, 1);
    EXPECT_TRUE(scheduler.Idle());
    // Many applied ahead of one still waiting: it keeps its place and time.
    for (int i = 0; i < 300; ++i) Push(queue, queued, static_cast<uint8_t>(i & 0x7F));
    Push(queue, queued + 250000, 99);  // 25 ms on: 240 frames into the block after
    scheduler.RenderBlock(sink, buffer.data(), 480, queued + 100000);
    ASSERT_EQ(sink.applied.size(), 303u);
    EXPECT_FALSE(scheduler.Idle());
    scheduler.RenderBlock(sink, buffer.data(), 480, queued + 200000);
    ASSERT_EQ(sink.applied.size(), 304u);
    EXPECT_EQ(sink.applied[303].note, 99);
    EXPECT_NEAR(sink.applied[303].frame, 1920 + 240, 1);
}

TEST(SynthSchedule, HeldMessagesWaitForTheSendersChoiceAndLongOnesArriveWhole) {
    korvel::MessageQueue queue;
    korvel::SynthScheduler scheduler(queue, kTicksPerSecond, kRate, 0);
    RecordingSink sink;
    std::vector<float> buffer(2 * 480);
    auto held = [&](int64_t ticks, uint8_t note) {
        korvel::TimedMessage message;
        message.ticks = ticks;
        const uint8_t bytes[3] = {0xB0, note, 0};
        message.Assign(bytes, sizeof bytes);
        queue.Hold(message);
    };
    // A stop: the held message goes after what was pushed behind it.
    held(1000, 120);
    Push(queue, 2000, 1);
    scheduler.RenderBlock(sink, buffer.data(), 480, 5000000);
    ASSERT_EQ(sink.applied.size(), 1u);
    queue.ReleaseHeld();
    scheduler.RenderBlock(sink, buffer.data(), 480, 5100000);
    ASSERT_EQ(sink.applied.size(), 2u);
    EXPECT_EQ(sink.applied[1].note, 120);
    // An end: it comes as the sostenuto pedal's release, once.
    held(3000, 120);
    queue.ReleaseHeldAsPedalUp();
    queue.ReleaseHeld();
    scheduler.RenderBlock(sink, buffer.data(), 480, 5200000);
    ASSERT_EQ(sink.applied.size(), 3u);
    EXPECT_EQ(sink.applied[2].note, 66);
    EXPECT_TRUE(queue.Empty());
    // A system-exclusive message keeps every byte, after short ones reused the slot.
    korvel::TimedMessage message;
    const uint8_t on[6] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    message.Assign(on, 2);
    message.Assign(on, sizeof on);
    ASSERT_EQ(message.Size(), sizeof on);
    EXPECT_EQ(std::memcmp(message.Data(), on, sizeof on), 0);
    message.Assign(on + 1, 3);
    ASSERT_EQ(message.Size(), 3u);
    EXPECT_EQ(message.Data()[2], 0x09);
}

TEST(SynthSchedule, TheLineFollowsADeviceClockThatDrifts) {
    // The device's clock runs 200 ppm fast against the counter, which puts
    // it 12 ms ahead after the minute this runs; the wakes jitter by 2 ms.
    korvel::MessageQueue queue;
    const int64_t delay = 200000;
    korvel::SynthScheduler scheduler(queue, kTicksPerSecond, kRate, delay);
    RecordingSink sink;
    std::vector<float> buffer(2 * 480);
    auto deviceTicks = [](int64_t frame) {
        return 1000000 + static_cast<int64_t>(static_cast<double>(frame) * kTicksPerFrame * (1 - 200e-6));
    };
    int64_t lowest = INT64_MAX, highest = INT64_MIN;
    for (int block = 0; block < 6000; ++block) {
        int64_t frame = block * 480;
        // Meant for 120 frames into the next block.
        Push(queue, deviceTicks(frame + 480 + 120) - delay, static_cast<uint8_t>(block & 0x7F));
        size_t before = sink.applied.size();
        scheduler.RenderBlock(sink, buffer.data(), 480, deviceTicks(frame) + (block * 7919) % 20000);
        if (block < 500 || sink.applied.size() == before) continue;  // the line settles in its first seconds
        int64_t off = sink.applied.back().frame - (frame + 120);
        lowest = std::min(lowest, off);
        highest = std::max(highest, off);
    }
    // Messages stay where they were against each other: within 1 ms over the minute.
    EXPECT_LE(highest - lowest, kRate / 1000);
}

}  // namespace
