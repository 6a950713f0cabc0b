#include "korvel/midi_output.h"

#include <mmsystem.h>

#include <string>
#include <vector>

#include "engine/registry_names.h"
#include "korvel/log_line.h"
#include "korvel/synth_output.h"

namespace korvel {
namespace {

// How long a sysex may take on the wire before the device is reset: even a
// 64 KiB message needs only about 21 s at 31250 baud, and no sane song sends that.
constexpr DWORD kLongMessageLimitMs = 30000;

// The longest a log line waits in memory before it is written, and the most
// that is gathered at all.
constexpr int64_t kLogHoldUs = 20000;
constexpr size_t kLogGatherBytes = 16384;

// The log is read on other systems too (shells, editors, scripts), which
// take text for UTF-8, while the program hands paths over in the ANSI code
// page.  A path that is not valid text of that code page is written as its
// bytes: a marker line must never go missing for the sake of its argument.
std::string AnsiToUtf8(const char *text) {
    int wideLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (wideLength <= 0) return text;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, &wide[0], wideLength)) return text;
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return text;
    std::string utf8(static_cast<size_t>(length), '\0');
    if (!WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], length, nullptr, nullptr)) return text;
    utf8.resize(static_cast<size_t>(length) - 1);  // the NUL counted above
    return utf8;
}

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
    DeviceOutput(HMIDIOUT device, HANDLE done)
        : device_(device), done_(done), giveUp_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~DeviceOutput() override {
        Close();
        if (done_) CloseHandle(done_);
        if (giveUp_) CloseHandle(giveUp_);
    }

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
        if (giveUp_) SetEvent(giveUp_);
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
            done_ = nullptr;
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
            if (giveUp_) handles[count++] = giveUp_;
            DWORD ends = count;  // the handles before it end the wait
            if (done_) handles[count++] = done_;
            // Without an event of its own the device is looked at every
            // millisecond; with no event at all there is nothing to wait on.
            DWORD timeout = done_ ? kLongMessageLimitMs - waited : 1;
            DWORD woke = count ? WaitForMultipleObjects(count, handles, FALSE, timeout) : (Sleep(1), WAIT_TIMEOUT);
            if (woke == WAIT_FAILED || woke < WAIT_OBJECT_0 + ends) break;
        }
        if (!(header.dwFlags & MHDR_DONE)) midiOutReset(device_);  // returns the buffer
    }

    HMIDIOUT device_;
    HANDLE done_;
    HANDLE giveUp_;  // set by StopWaiting; null when it could not be made
    std::atomic<bool> givenUp_{false};
    HANDLE stop_ = nullptr;
    std::atomic<unsigned> lostBecause_{0};
    std::unique_ptr<LongMessage> message_;
};

// Lines are appended and handed to the system while the song plays, so that
// a reader (a test, a curious user) sees them as they come.  Each write costs
// the playback thread about as much as a wake (a file system update), so the
// lines of a dense passage are gathered, but no line waits in memory longer
// than kLogHoldUs; markers, a pause in the song and the end write at once.
class LogOutput : public Output {
public:
    explicit LogOutput(HANDLE file) : file_(file) {
        QueryPerformanceFrequency(&frequency_);
        InitializeSRWLock(&lock_);
        AppendWordLine(pending_, kOutputWord, "opened");
        WritePending();
    }
    ~LogOutput() override { Close(); }

    bool Send(const uint8_t *message, size_t size, bool added) override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        AcquireSRWLockExclusive(&lock_);
        if (pending_.empty()) oldestPendingQpc_ = now.QuadPart;
        AppendMessageLine(pending_, ToMicroseconds(now.QuadPart - origin_), message, size, added);
        ReleaseSRWLockExclusive(&lock_);
        return true;
    }

    void Flush(int64_t idleUs) override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        AcquireSRWLockExclusive(&lock_);
        // Written now unless the next moment comes soon enough for the
        // oldest line to be written with it and still within the hold.
        int64_t held = ToMicroseconds(now.QuadPart - oldestPendingQpc_);
        if (idleUs >= kLogHoldUs - held || pending_.size() >= kLogGatherBytes) WritePending();
        ReleaseSRWLockExclusive(&lock_);
    }

    void Mark(const char *word, const char *argument) override {
        std::string utf8;
        if (argument) utf8 = AnsiToUtf8(argument);
        AcquireSRWLockExclusive(&lock_);
        AppendWordLine(pending_, word, argument ? utf8.c_str() : nullptr);
        WritePending();
        ReleaseSRWLockExclusive(&lock_);
    }

    LONGLONG Start(LONGLONG originQpc) override {
        AcquireSRWLockExclusive(&lock_);
        AppendWordLine(pending_, "start");
        WritePending();
        origin_ = originQpc == kStartNow ? QpcNow() : originQpc;
        ReleaseSRWLockExclusive(&lock_);
        return origin_;
    }

    bool Close() override {
        if (file_ == INVALID_HANDLE_VALUE) return true;
        AcquireSRWLockExclusive(&lock_);
        AppendWordLine(pending_, kOutputWord, "closed");
        WritePending();
        ReleaseSRWLockExclusive(&lock_);
        BOOL closed = CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

private:
    int64_t ToMicroseconds(LONGLONG ticks) const {
        if (ticks < 0) return 0;
        LONGLONG f = frequency_.QuadPart;
        return (ticks / f) * 1000000 + (ticks % f) * 1000000 / f;
    }

    // Caller holds the lock.
    void WritePending() {
        const char *p = pending_.data();
        size_t left = pending_.size();
        while (left && file_ != INVALID_HANDLE_VALUE) {
            DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(file_, p, chunk, &written, nullptr) || written == 0) break;
            p += written;
            left -= written;
        }
        pending_.clear();
    }

    HANDLE file_;
    SRWLOCK lock_;
    LARGE_INTEGER frequency_;
    LONGLONG origin_ = 0;
    LONGLONG oldestPendingQpc_ = 0;
    std::string pending_;
};

OpenResult OpenDevice(UINT id, OpenTarget target, MapperFallback fallback) {
    OpenResult result;
    HMIDIOUT device = nullptr;
    // The device tells of each returned header through this event.
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    MMRESULT code = done ? midiOutOpen(&device, id, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT)
                         : midiOutOpen(&device, id, 0, 0, CALLBACK_NULL);
    if (code == MMSYSERR_NOERROR) {
        result.output = std::make_unique<DeviceOutput>(device, done);
        return result;
    }
    if (done) CloseHandle(done);
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

OpenResult OpenLog(const std::string &path) {
    OpenResult result;
    // Others may read, and even delete or rename, the file while it grows.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = OutputError::LogUnwritable;
        result.systemError = GetLastError();
        return result;
    }
    result.output = std::make_unique<LogOutput>(file);
    return result;
}

}  // namespace

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

OpenResult OpenOutput(const OutputSetting &setting, MapperFallback fallback, SoundFontHolder &fonts) {
    switch (setting.kind) {
    case OutputSetting::DeviceName: {
        // A device that is not plugged in plays on the mapper, without a
        // word; the value stays, so the device is used again once it is back.
        int device = outputs::ChooseDevice(setting, OutputDeviceNames());
        if (device != outputs::kMapper) return OpenDevice(static_cast<UINT>(device), OpenTarget::Device, fallback);
        OpenResult result;
        if (fallback == MapperFallback::None) {
            result.error = OutputError::NoDevice;
            return result;
        }
        result = OpenDevice(MIDI_MAPPER, OpenTarget::Mapper, fallback);
        result.mapperInstead = result.output != nullptr;
        return result;
    }
    case OutputSetting::Mapper:
        return OpenDevice(MIDI_MAPPER, OpenTarget::Mapper, fallback);
    case OutputSetting::Device:
        return OpenDevice(setting.device, OpenTarget::Device, fallback);
    case OutputSetting::Log:
        return OpenLog(setting.logPath);
    case OutputSetting::Synth: {
        SoundFontHolder::Loaded loaded = fonts.Load(setting.soundFontPath);
        if (loaded.font) return OpenSynthOutput(std::move(loaded.font), fonts.figures);
        OpenResult result;
        if (fallback == MapperFallback::None) {
            result.error = OutputError::DeviceFailed;
        } else {
            result = OpenDevice(MIDI_MAPPER, OpenTarget::Mapper, fallback);
            result.mapperInstead = result.output != nullptr;
        }
        result.fontProblem = loaded.problem;
        result.fontProblemIsNew = loaded.news;
        return result;
    }
    default: {
        OpenResult result;
        result.error = OutputError::BadSetting;
        return result;
    }
    }
}

OutputSetting ReadOutputSetting(const char *engineKey) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, engineKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return ParseOutputSetting(nullptr, 0);
    // Room for "log:" and the longest path, and one byte more to notice a
    // value that is too long.
    char text[kMaxLogPathBytes + 8];
    DWORD type = 0;
    DWORD size = sizeof text;
    LONG status = RegQueryValueExA(key, kValueOutput, nullptr, &type, reinterpret_cast<BYTE *>(text), &size);
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND) return ParseOutputSetting(nullptr, 0);
    OutputSetting invalid;
    invalid.kind = OutputSetting::Invalid;
    if (status != ERROR_SUCCESS || type != REG_SZ || size > sizeof text) return invalid;
    // The stored NUL is not part of the value (nor is a missing one).
    size_t length = size;
    while (length && text[length - 1] == 0) --length;
    return ParseOutputSetting(text, length);
}

}  // namespace korvel
