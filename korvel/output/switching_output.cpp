#include "korvel/output/switching_output.h"

#include <cstdint>
#include <cstring>

namespace korvel {
namespace {

// Told that nothing follows soon, an output hands on what it holds at once.
constexpr int64_t kNothingSoonUs = INT64_MAX / 4;

// Controllers that act on a parameter chosen before them rather than hold a
// state: sent again out of their order they would change the wrong one.
bool IsParameterAction(int number) { return number == 6 || number == 38 || number == 96 || number == 97; }

// Controllers that choose the parameter those act on; restored last.
bool IsParameterChoice(int number) { return number >= 98 && number <= 101; }

void ClearChannel(int8_t (&controllers)[120], uint8_t (&notes)[128], int8_t (&registered)[3][2]) {
    std::memset(controllers, 0xFF, sizeof controllers);
    std::memset(notes, 0, sizeof notes);
    std::memset(registered, 0xFF, sizeof registered);
}

}  // namespace

SwitchingOutput::SwitchingOutput(std::unique_ptr<Output> current) : current_(std::move(current)) {
    InitializeSRWLock(&lock_);
    InitializeConditionVariable(&changed_);
    for (Channel &channel : channels_) ClearChannel(channel.controllers, channel.notes, channel.registered);
}

bool SwitchingOutput::Send(const uint8_t *message, size_t size, bool added) {
    AcquireSRWLockExclusive(&lock_);
    while (replacing_ || sending_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    Remember(message, size);
    Output &output = *current_;
    sending_ = true;
    ReleaseSRWLockExclusive(&lock_);
    // Replace keeps the output alive until this send is done with it.
    bool sent = output.Send(message, size, added);
    AcquireSRWLockExclusive(&lock_);
    sending_ = false;
    ReleaseSRWLockExclusive(&lock_);
    WakeAllConditionVariable(&changed_);
    return sent;
}

// A fade follows the output that plays; one switched to midway starts at
// full gain, and a device then plays the rest of the fade unfaded.
bool SwitchingOutput::FadesByGain() const {
    AcquireSRWLockShared(&lock_);
    bool result = current_->FadesByGain();
    ReleaseSRWLockShared(&lock_);
    return result;
}

bool SwitchingOutput::Fade(double gain) {
    AcquireSRWLockShared(&lock_);
    bool result = current_->Fade(gain);
    ReleaseSRWLockShared(&lock_);
    return result;
}

unsigned SwitchingOutput::LostBecause() const {
    AcquireSRWLockShared(&lock_);
    unsigned result = current_->LostBecause();
    ReleaseSRWLockShared(&lock_);
    return result;
}

void SwitchingOutput::WatchStop(HANDLE stopEvent) {
    AcquireSRWLockExclusive(&lock_);
    stopEvent_ = stopEvent;
    current_->WatchStop(stopEvent);
    ReleaseSRWLockExclusive(&lock_);
}

void SwitchingOutput::Flush(int64_t idleUs) {
    AcquireSRWLockExclusive(&lock_);
    current_->Flush(idleUs);
    ReleaseSRWLockExclusive(&lock_);
}

void SwitchingOutput::SongEvent(const char *word, const char *argument) {
    AcquireSRWLockExclusive(&lock_);
    current_->SongEvent(word, argument);
    ReleaseSRWLockExclusive(&lock_);
}

LONGLONG SwitchingOutput::Start(LONGLONG originQpc) {
    AcquireSRWLockExclusive(&lock_);
    // A new song starts from the device's reset state: nothing carries over.
    for (Channel &channel : channels_) {
        channel.used = false;
        channel.program = channel.bend = -1;
        channel.nonRegisteredChosen = false;
        ClearChannel(channel.controllers, channel.notes, channel.registered);
    }
    started_ = true;
    originQpc_ = current_->Start(originQpc);
    ReleaseSRWLockExclusive(&lock_);
    return originQpc_;
}

bool SwitchingOutput::Close() {
    AcquireSRWLockExclusive(&lock_);
    bool closed = current_->Close();
    ReleaseSRWLockExclusive(&lock_);
    return closed;
}

void SwitchingOutput::Remember(const uint8_t *message, size_t size) {
    if (size < 2 || message[0] < 0x80 || message[0] >= 0xF0) return;
    Channel &channel = channels_[message[0] & 0x0F];
    uint8_t data1 = message[1] & 0x7F;
    channel.used = true;
    switch (message[0] & 0xF0) {
    case 0x90:
        if (size >= 3 && message[2]) {
            if (channel.notes[data1] < 0xFF) ++channel.notes[data1];
            break;
        }
        // A note-on of velocity 0 is a note-off.
        // fall through
    case 0x80:
        if (channel.notes[data1]) --channel.notes[data1];
        break;
    case 0xB0:
        if (size < 3) break;
        if (data1 == 6 || data1 == 38) {
            int number = channel.controllers[100];
            if (!channel.nonRegisteredChosen && channel.controllers[101] == 0 && number >= 0 && number < 3)
                channel.registered[number][data1 == 6 ? 0 : 1] = static_cast<int8_t>(message[2] & 0x7F);
        }
        if (data1 == 98 || data1 == 99) channel.nonRegisteredChosen = true;
        if (data1 == 100 || data1 == 101) channel.nonRegisteredChosen = false;
        if (data1 < 120)
            channel.controllers[data1] = static_cast<int8_t>(message[2] & 0x7F);
        else if (data1 == 120 || data1 == 123)
            std::memset(channel.notes, 0, sizeof channel.notes);
        break;
    case 0xC0:
        channel.program = data1;
        break;
    case 0xE0:
        if (size >= 3) channel.bend = data1 | ((message[2] & 0x7F) << 7);
        break;
    default:
        break;
    }
}

void SwitchingOutput::SendAdded(Output &output, uint8_t status, uint8_t first, int second) {
    const uint8_t message[3] = {status, first, static_cast<uint8_t>(second)};
    output.Send(message, second < 0 ? 2 : 3, true);
}

void SwitchingOutput::Replace(std::unique_ptr<Output> next) {
    if (!next) return;
    AcquireSRWLockExclusive(&lock_);
    // The device of a set-up block may take up to its limit to finish it:
    // the user waits for none of that.  The send in flight ends at once.
    replacing_ = true;
    if (sending_) current_->StopWaiting();
    while (sending_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    // The old device is silenced as a stopped song would be: no note hangs
    // on it, whatever it does with a reset.
    for (int c = 0; c < 16; ++c) {
        Channel &channel = channels_[c];
        if (!channel.used) continue;
        for (int note = 0; note < 128; ++note)
            for (; channel.notes[note]; --channel.notes[note])
                SendAdded(*current_, static_cast<uint8_t>(0x80 | c), static_cast<uint8_t>(note), 0x40);
        SendAdded(*current_, static_cast<uint8_t>(0xB0 | c), 64, 0);
        SendAdded(*current_, static_cast<uint8_t>(0xB0 | c), 120, 0);
        SendAdded(*current_, static_cast<uint8_t>(0xB0 | c), 123, 0);
    }
    current_->Flush(kNothingSoonUs);
    current_->SongEvent("stop");
    current_->WatchStop(nullptr);
    current_->Close();
    current_ = std::move(next);
    current_->WatchStop(stopEvent_);
    if (started_) current_->Start(originQpc_);
    // The song goes on with its sounds; notes start again with their next note-on.
    for (int c = 0; c < 16; ++c)
        if (channels_[c].used) Restore(*current_, c);
    current_->Flush(kNothingSoonUs);
    replacing_ = false;
    ReleaseSRWLockExclusive(&lock_);
    WakeAllConditionVariable(&changed_);
}

void SwitchingOutput::Restore(Output &output, int c) {
    const Channel &channel = channels_[c];
    uint8_t status = static_cast<uint8_t>(0xB0 | c);
    for (int number = 0; number < 120; ++number)
        if (channel.controllers[number] >= 0 && !IsParameterAction(number) && !IsParameterChoice(number))
            SendAdded(output, status, static_cast<uint8_t>(number), channel.controllers[number]);
    for (int number = 0; number < 3; ++number) {
        const int8_t *value = channel.registered[number];
        if (value[0] < 0 && value[1] < 0) continue;
        SendAdded(output, status, 101, 0);
        SendAdded(output, status, 100, number);
        if (value[0] >= 0) SendAdded(output, status, 6, value[0]);
        if (value[1] >= 0) SendAdded(output, status, 38, value[1]);
    }
    // The song's own choice last, so that its next data entry acts where it meant.
    const int order[2][2] = {{101, 100}, {99, 98}};
    for (int number : order[channel.nonRegisteredChosen ? 1 : 0])
        if (channel.controllers[number] >= 0)
            SendAdded(output, status, static_cast<uint8_t>(number), channel.controllers[number]);
    if (channel.program >= 0) SendAdded(output, static_cast<uint8_t>(0xC0 | c), static_cast<uint8_t>(channel.program), -1);
    if (channel.bend >= 0)
        SendAdded(output, static_cast<uint8_t>(0xE0 | c), static_cast<uint8_t>(channel.bend & 0x7F), channel.bend >> 7);
}

}  // namespace korvel
