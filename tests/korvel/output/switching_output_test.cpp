// Choosing another output while the device still takes a long message (a
// set-up block) must not wait for the device.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "korvel/output/switching_output.h"

namespace {

// Never finishes a long message until told to stop waiting; what it was
// sent (each message's status byte) outlives it.
struct StuckDevice : korvel::Output {
    struct Record {
        std::vector<uint8_t> statuses;
        bool closed = false;
        HANDLE busy = CreateEventA(nullptr, TRUE, FALSE, nullptr), letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    } &r;
    explicit StuckDevice(Record &record) : r(record) {}
    bool Send(const uint8_t *message, size_t, bool) override {
        r.statuses.push_back(message[0]);
        return message[0] != 0xF0 || SignalObjectAndWait(r.busy, r.letGo, INFINITE, FALSE) == WAIT_OBJECT_0;
    }
    void StopWaiting() override { SetEvent(r.letGo); }
    bool Close() override { return r.closed = true; }
};

TEST(SwitchingOutput, TheSwitchEndsTheWaitForALongMessage) {
    StuckDevice::Record old, next;
    korvel::SwitchingOutput output(std::make_unique<StuckDevice>(old));
    const uint8_t program[] = {0xC0, 5}, note[] = {0x90, 60, 100}, sysex[] = {0xF0, 0x41, 0xF7};
    output.Send(program, sizeof program, false);
    output.Send(note, sizeof note, false);
    auto player = std::async(std::launch::async, [&] {
        output.Send(sysex, sizeof sysex, false);
        output.Send(note, sizeof note, false);
    });
    ASSERT_EQ(WaitForSingleObject(old.busy, 20000), WAIT_OBJECT_0);
    auto switched = std::async(std::launch::async, [&] { output.Replace(std::make_unique<StuckDevice>(next)); });
    EXPECT_EQ(switched.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    SetEvent(old.letGo);  // ends the test, should the switch hang
    player.wait();
    // The old device had its note released and was closed; the new one got
    // the channel's program, then the note that followed the long message.
    EXPECT_EQ(old.statuses, (std::vector<uint8_t>{0xC0, 0x90, 0xF0, 0x80, 0xB0, 0xB0, 0xB0}));
    EXPECT_TRUE(old.closed);
    EXPECT_EQ(next.statuses, (std::vector<uint8_t>{0xC0, 0x90}));
}

// Keeps every message whole.
struct Recorder : korvel::Output {
    std::vector<std::vector<uint8_t>> &sent;
    explicit Recorder(std::vector<std::vector<uint8_t>> &into) : sent(into) {}
    bool Send(const uint8_t *message, size_t size, bool) override {
        sent.emplace_back(message, message + size);
        return true;
    }
    bool Close() override { return true; }
};

TEST(SwitchingOutput, TheNewOutputGetsTheRegisteredParametersAndTheChoiceLast) {
    std::vector<std::vector<uint8_t>> old, next;
    korvel::SwitchingOutput output(std::make_unique<Recorder>(old));
    // Bend range 12 semitones, then fine tuning chosen and set, then data
    // entry for a non-registered parameter, which must not land on either.
    const std::vector<std::vector<uint8_t>> song = {
        {0xB1, 101, 0}, {0xB1, 100, 0}, {0xB1, 6, 12}, {0xB1, 38, 0}, {0xB1, 100, 1},
        {0xB1, 6, 70},  {0xB1, 99, 1},  {0xB1, 98, 8}, {0xB1, 6, 99}};
    for (const auto &message : song) output.Send(message.data(), message.size(), false);
    output.Replace(std::make_unique<Recorder>(next));
    EXPECT_EQ(next, (std::vector<std::vector<uint8_t>>{{0xB1, 101, 0}, {0xB1, 100, 0}, {0xB1, 6, 12},
                                                       {0xB1, 38, 0}, {0xB1, 101, 0}, {0xB1, 100, 1},
                                                       {0xB1, 6, 70}, {0xB1, 99, 1}, {0xB1, 98, 8}}));
}

}  // namespace
