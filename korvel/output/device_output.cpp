#include "korvel/output/device_output.h"

#include <mmsystem.h>

#include <atomic>
#include <string>
#include <vector>

#include "utils/handles.h"

namespace korvel {
namespace {

// How long a sysex may take on the wire before the device is reset: even a
// 64 KiB message needs only about 21 s at 31250 baud, and no sane song sends that.
constexpr DWORD kLongMessageLimitMs = 30000;

static_assert(mmresult::kBadDeviceId == MMSYSERR_BADDEVICEID && mmresult::kAllocated == MMSYSERR_ALLOCATED &&
                  mmresult::kInvalidHandle == MMSYSERR_INVALHANDLE && mmresult::kNoDriver == MMSYSERR_NODRIVER &&
                  mmresult::kNoDevice == MIDIERR_NODEVICE && mmresult::kNoError == MMSYSERR_NOERROR,
              "midi_errors.h has mmsystem.h's numbers");

// A long message and the header through which the driver reads it.
struct LongMessage {
    MIDIHDR header = {};
    std::vector<char> bytes;
};

class DeviceOutput : public Output {
public:
    // done: the auto-reset event the device signals as it returns a
    // header (CALLBACK_EVENT), or nullptr when none could be made.
    DeviceOutput(HMIDIOUT device, KernelHandle done)
        : device_(device), done_(std::move(done)), giveUp_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~DeviceOutput() override { Close(); }

    bool Send(const uint8_t *message, size_t size, bool) override {
        if (lostBecause_ || !device_) return false;
        if (size == 0) return true;
        MMRESULT result;
        if (message[0] < 0xF0 && size <= 3) {
            DWORD packed = 0;
            for (size_t i = 0; i < size; ++i) packed |= DWORD(message[i]) << (8 * i);
            result = midiOutShortMsg(device_, packed);
        } else {
            result = SendLong(message, size);
        }
        if (ActionAfterSend(result) == SendAction::GiveUpOutput && !lostBecause_) lostBecause_ = result;
        return lostBecause_ == 0;
    }

    unsigned LostBecause() const override { return lostBecause_; }
    void WatchStop(HANDLE stopEvent) override { stop_ = stopEvent; }
    void StopWaiting() override {
        givenUp_ = true;
        if (giveUp_) SetEvent(giveUp_.Get());
    }

    // Closes the handle once, lost or not: an unplugged device's handle
    // still has to be given back, and its result is of no more interest.
    bool Close() override {
        if (!device_) return true;
        midiOutReset(device_);
        MMRESULT result = midiOutClose(device_);
        device_ = nullptr;
        if (result != MMSYSERR_NOERROR && done_) {
            // A driver that kept the handle may still signal the event: it is
            // left open rather than closed under the driver's hands.
            done_.Release();
        }
        return result == MMSYSERR_NOERROR;
    }

private:
    // The driver reads the buffer until it marks the header done, so the
    // message is copied into a buffer of our own and waited for.
    MMRESULT SendLong(const uint8_t *message, size_t size) {
        if (!message_) message_ = std::make_unique<LongMessage>();
        LongMessage &m = *message_;
        m.bytes.assign(message, message + size);
        m.header = MIDIHDR();
        m.header.lpData = m.bytes.data();
        m.header.dwBufferLength = static_cast<DWORD>(size);
        m.header.dwBytesRecorded = static_cast<DWORD>(size);
        MMRESULT result = midiOutPrepareHeader(device_, &m.header, sizeof m.header);
        if (result != MMSYSERR_NOERROR) return result;
        result = midiOutLongMsg(device_, &m.header, sizeof m.header);
        if (result == MMSYSERR_NOERROR) WaitDone(m.header);
        MMRESULT unprepared = midiOutUnprepareHeader(device_, &m.header, sizeof m.header);
        if (unprepared == MIDIERR_STILLPLAYING) {
            // Even a reset did not bring the buffer back: the driver may
            // still read it, so it is never freed, and the device is given up.
            (void)message_.release();
            lostBecause_ = result == MMSYSERR_NOERROR ? unprepared : result;
        }
        return result;
    }

    // Waits for the device to return the header, on its done event, the
    // stop event and the switch's give-up event together, so that a Stop or
    // a switch of output is answered at once: the reset hands the buffer
    // back.  A sleep would cost a whole timer tick per message (15.6 ms
    // unless the process raised the timer resolution).
    void WaitDone(volatile MIDIHDR &header) {
        DWORD started = GetTickCount();
        while (!(header.dwFlags & MHDR_DONE) && !givenUp_) {
            DWORD waited = GetTickCount() - started;
            if (waited >= kLongMessageLimitMs) break;
            HANDLE handles[3];
            DWORD count = 0;
            if (stop_) handles[count++] = stop_;
            if (giveUp_) handles[count++] = giveUp_.Get();
            DWORD ends = count;  // the handles before it end the wait
            if (done_) handles[count++] = done_.Get();
            // Without an event of its own the device is looked at every
            // millisecond; with no event at all there is nothing to wait on.
            DWORD timeout = done_ ? kLongMessageLimitMs - waited : 1;
            DWORD woke = count ? WaitForMultipleObjects(count, handles, FALSE, timeout) : (Sleep(1), WAIT_TIMEOUT);
            if (woke == WAIT_FAILED || woke < WAIT_OBJECT_0 + ends) break;
        }
        if (!(header.dwFlags & MHDR_DONE)) midiOutReset(device_);  // returns the buffer
    }

    HMIDIOUT device_;
    KernelHandle done_;
    KernelHandle giveUp_;  // set by StopWaiting; null when it could not be made
    std::atomic<bool> givenUp_{false};
    HANDLE stop_ = nullptr;
    std::atomic<unsigned> lostBecause_{0};
    std::unique_ptr<LongMessage> message_;
};

}  // namespace

OpenResult OpenDevice(UINT id, OpenTarget target, MapperFallback fallback) {
    OpenResult result;
    HMIDIOUT device = nullptr;
    // The device tells of each returned header through this event.
    KernelHandle done(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    MMRESULT code = done ? midiOutOpen(&device, id, reinterpret_cast<DWORD_PTR>(done.Get()), 0, CALLBACK_EVENT)
                         : midiOutOpen(&device, id, 0, 0, CALLBACK_NULL);
    if (code == MMSYSERR_NOERROR) {
        result.output = std::make_unique<DeviceOutput>(device, std::move(done));
        return result;
    }
    done.Close();
    OpenFailure failure = JudgeOpenFailure(code, target, midiOutGetNumDevs());
    if (failure.tryMapper && fallback == MapperFallback::Allowed) {
        result = OpenDevice(MIDI_MAPPER, OpenTarget::Mapper, fallback);
        result.mapperInstead = result.output != nullptr;
        return result;
    }
    result.systemError = code;
    result.error = failure.error;
    return result;
}

std::vector<std::string> OutputDeviceNames() {
    std::vector<std::string> names;
    UINT count = midiOutGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        MIDIOUTCAPSA caps = {};
        if (midiOutGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR) caps.szPname[0] = 0;
        caps.szPname[sizeof caps.szPname - 1] = 0;
        names.push_back(caps.szPname);
    }
    return names;
}

}  // namespace korvel
