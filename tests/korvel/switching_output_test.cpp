// Choosing another output while the device is still taking a long message
// (a set-up block) must not wait for the device.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "korvel/switching_output.h"

namespace {

// What a fake device was sent (each message's status byte) and whether it was closed.
struct DeviceRecord {
    std::vector<uint8_t> statuses;
    bool closed = false;
    HANDLE inLongMessage = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~DeviceRecord() {
        CloseHandle(inLongMessage);
        CloseHandle(letGo);
    }
};

// A device that never finishes a long message until it is let go.
class StuckDevice : public korvel::Output {
public:
    explicit StuckDevice(DeviceRecord &record) : record_(record) {}
    bool Send(const uint8_t *message, size_t, bool) override {
        record_.statuses.push_back(message[0]);
        if (message[0] == 0xF0) {
            SetEvent(record_.inLongMessage);
            WaitForSingleObject(record_.letGo, INFINITE);
        }
        return true;
    }
    void StopWaiting() override { SetEvent(record_.letGo); }
    bool Close() override { return record_.closed = true; }

private:
    DeviceRecord &record_;
};

TEST(SwitchingOutput, TheSwitchEndsTheWaitForALongMessage) {
    DeviceRecord old, next;
    korvel::SwitchingOutput output(std::make_unique<StuckDevice>(old));
    const uint8_t program[] = {0xC0, 5}, note[] = {0x90, 60, 100}, sysex[] = {0xF0, 0x41, 0xF7};
    output.Send(program, sizeof program, false);
    output.Send(note, sizeof note, false);
    std::thread player([&] {
        output.Send(sysex, sizeof sysex, false);
        output.Send(note, sizeof note, false);
    });
    ASSERT_EQ(WaitForSingleObject(old.inLongMessage, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(output.LostBecause(), 0u);  // asked while the device works

    auto switched = std::async(std::launch::async, [&] { output.Replace(std::make_unique<StuckDevice>(next)); });
    bool answered = switched.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!answered) SetEvent(old.letGo);  // for the test to end
    player.join();
    switched.wait();
    EXPECT_TRUE(answered);
    // The old device had its note released and was closed; the new one got
    // the channel's program, then the note that came after the long message.
    EXPECT_EQ(old.statuses, (std::vector<uint8_t>{0xC0, 0x90, 0xF0, 0x80, 0xB0, 0xB0, 0xB0}));
    EXPECT_TRUE(old.closed);
    EXPECT_EQ(next.statuses, (std::vector<uint8_t>{0xC0, 0x90}));
}

}  // namespace
