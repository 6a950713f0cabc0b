#include "korvel/midi_output.h"

#include <mmsystem.h>

#include <string>
#include <vector>

#include "engine/registry_names.h"
#include "korvel/log_line.h"

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

class DeviceOutput : public Output {
public:
    explicit DeviceOutput(HMIDIOUT device) : device_(device) {}
    ~DeviceOutput() override { Close(); }

    void Send(const uint8_t *message, size_t size, bool) override {
        if (!device_ || size == 0) return;
        if (message[0] < 0xF0 && size <= 3) {
            DWORD packed = 0;
            for (size_t i = 0; i < size; ++i) packed |= DWORD(message[i]) << (8 * i);
            midiOutShortMsg(device_, packed);
            return;
        }
        SendLong(message, size);
    }

    bool Close() override {
        if (!device_) return true;
        midiOutReset(device_);
        MMRESULT result = midiOutClose(device_);
        device_ = nullptr;
        return result == MMSYSERR_NOERROR;
    }

private:
    // The driver reads the buffer until it marks the header done, so the
    // message is copied into a buffer of our own and waited for.
    void SendLong(const uint8_t *message, size_t size) {
        buffer_.assign(message, message + size);
        MIDIHDR header = {};
        header.lpData = buffer_.data();
        header.dwBufferLength = static_cast<DWORD>(size);
        header.dwBytesRecorded = static_cast<DWORD>(size);
        if (midiOutPrepareHeader(device_, &header, sizeof header) != MMSYSERR_NOERROR) return;
        if (midiOutLongMsg(device_, &header, sizeof header) == MMSYSERR_NOERROR) {
            DWORD started = GetTickCount();
            while (!(header.dwFlags & MHDR_DONE)) {
                if (GetTickCount() - started > kLongMessageLimitMs) {
                    midiOutReset(device_);  // returns the buffer
                    break;
                }
                Sleep(1);
            }
        }
        midiOutUnprepareHeader(device_, &header, sizeof header);
    }

    HMIDIOUT device_;
    std::vector<char> buffer_;
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
    }
    ~LogOutput() override { Close(); }

    void Send(const uint8_t *message, size_t size, bool added) override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        AcquireSRWLockExclusive(&lock_);
        if (pending_.empty()) oldestPendingQpc_ = now.QuadPart;
        AppendMessageLine(pending_, ToMicroseconds(now.QuadPart - origin_), message, size, added);
        ReleaseSRWLockExclusive(&lock_);
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

    void Start(LONGLONG originQpc) override {
        AcquireSRWLockExclusive(&lock_);
        origin_ = originQpc;
        AppendWordLine(pending_, "start");
        WritePending();
        ReleaseSRWLockExclusive(&lock_);
    }

    bool Close() override {
        if (file_ == INVALID_HANDLE_VALUE) return true;
        AcquireSRWLockExclusive(&lock_);
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

OpenResult OpenDevice(UINT id) {
    OpenResult result;
    HMIDIOUT device = nullptr;
    MMRESULT code = midiOutOpen(&device, id, 0, 0, CALLBACK_NULL);
    if (code == MMSYSERR_NOERROR) {
        result.output = std::make_unique<DeviceOutput>(device);
        return result;
    }
    result.systemError = code;
    if (code == MMSYSERR_ALLOCATED)
        result.error = OutputError::DeviceBusy;
    else if (midiOutGetNumDevs() == 0 || code == MMSYSERR_BADDEVICEID || code == MMSYSERR_NODRIVER ||
             code == MIDIERR_NODEVICE)
        result.error = OutputError::NoDevice;
    else
        result.error = OutputError::DeviceFailed;
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

// The names of the MIDI out devices, device k at k.
std::vector<std::string> DeviceNames() {
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

}  // namespace

OpenResult OpenOutput(const OutputSetting &setting) {
    switch (setting.kind) {
    case OutputSetting::DeviceName: {
        // A device that is not plugged in plays on the mapper, without a
        // word; the value stays, so the device is used again once it is back.
        int device = outputs::ChooseDevice(setting, DeviceNames());
        return OpenDevice(device == outputs::kMapper ? MIDI_MAPPER : static_cast<UINT>(device));
    }
    case OutputSetting::Mapper:
        return OpenDevice(MIDI_MAPPER);
    case OutputSetting::Device:
        return OpenDevice(setting.device);
    case OutputSetting::Log:
        return OpenLog(setting.logPath);
    default: {
        OpenResult result;
        result.error = OutputError::BadSetting;
        return result;
    }
    }
}

OutputSetting ReadOutputSetting() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kEngineKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
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
