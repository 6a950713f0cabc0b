// Choosing another output while the device still takes a long message (a
// set-up block) must not wait for the device.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "korvel/switching_output.h"

namespace {

struct Device {
    std::vector<uint8_t> statuses;  // of each message sent
    bool closed = false;
    HANDLE busy = CreateEventA(nullptr, TRUE, FALSE, nullptr), letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

// Never finishes a long message until told to stop waiting.
class StuckDevice : public korvel::Output {
public:
    explicit StuckDevice(Device &device) : d_(device) {}
    bool Send(const uint8_t *message, size_t, bool) override {
        d_.statuses.push_back(message[0]);
        if (message[0] == 0xF0) SignalObjectAndWait(d_.busy, d_.letGo, INFINITE, FALSE);
        return true;
    }
    void StopWaiting() override { SetEvent(d_.letGo); }
    bool Close() override { return d_.closed = true; }

private:
    Device &d_;
};

TEST(SwitchingOutput, TheSwitchEndsTheWaitForALongMessage) {
    Device old, next;
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
    bool answered = switched.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    SetEvent(old.letGo);  // ends the test, should the switch hang
    switched.wait();
    player.wait();
    EXPECT_TRUE(answered);
    // The old device had its note released and was closed; the new one got
    // the channel's program, then the note that followed the long message.
    EXPECT_EQ(old.statuses, (std::vector<uint8_t>{0xC0, 0x90, 0xF0, 0x80, 0xB0, 0xB0, 0xB0}));
    EXPECT_TRUE(old.closed);
    EXPECT_EQ(next.statuses, (std::vector<uint8_t>{0xC0, 0x90}));
}

}  // namespace
