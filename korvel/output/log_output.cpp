#include "korvel/output/log_output.h"

#include <string>

#include "korvel/output/log_line.h"
#include "korvel/system/clock.h"
#include "utils/handles.h"

namespace korvel {
namespace {

// The longest a log line waits in memory before it is written, and the most
// that is gathered at all.
constexpr int64_t kLogHoldUs = 20000;
constexpr size_t kLogGatherBytes = 16384;

// The log is read on other systems too (shells, editors, scripts), which
// take text for UTF-8, while the program hands paths over in the ANSI code
// page.  A path that is not valid text of that code page is written as its
// bytes: a song event's line must never go missing for the sake of its argument.
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

// Lines are appended and handed to the system while the song plays, so that
// a reader (a test, a curious user) sees them as they come.  Each write costs
// the playback thread about as much as a wake (a file system update), so the
// lines of a dense passage are gathered, but no line waits in memory longer
// than kLogHoldUs; song events, a pause in the song and the end write at once.
class LogOutput : public Output {
public:
    explicit LogOutput(KernelHandle file) : file_(std::move(file)) {
        InitializeSRWLock(&lock_);
        AppendWordLine(pending_, kOutputWord, "opened");
        WritePending();
    }
    ~LogOutput() override { Close(); }

    bool Send(const uint8_t *message, size_t size, bool added) override {
        LONGLONG now = clock::Now();
        AcquireSRWLockExclusive(&lock_);
        if (pending_.empty()) oldestPendingQpc_ = now;
        AppendMessageLine(pending_, ToMicroseconds(now - origin_), message, size, added);
        ReleaseSRWLockExclusive(&lock_);
        return true;
    }

    void Flush(int64_t idleUs) override {
        LONGLONG now = clock::Now();
        AcquireSRWLockExclusive(&lock_);
        // Written now unless the next moment comes soon enough for the
        // oldest line to be written with it and still within the hold.
        int64_t held = ToMicroseconds(now - oldestPendingQpc_);
        if (idleUs >= kLogHoldUs - held || pending_.size() >= kLogGatherBytes) WritePending();
        ReleaseSRWLockExclusive(&lock_);
    }

    void SongEvent(const char *word, const char *argument) override {
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
        origin_ = originQpc == kStartNow ? clock::Now() : originQpc;
        ReleaseSRWLockExclusive(&lock_);
        return origin_;
    }

    bool Close() override {
        if (!file_) return true;
        AcquireSRWLockExclusive(&lock_);
        AppendWordLine(pending_, kOutputWord, "closed");
        WritePending();
        ReleaseSRWLockExclusive(&lock_);
        return file_.Close();
    }

private:
    static int64_t ToMicroseconds(LONGLONG ticks) { return ticks < 0 ? 0 : clock::Microseconds(ticks); }

    // Caller holds the lock.
    void WritePending() {
        const char *p = pending_.data();
        size_t left = pending_.size();
        while (left && file_) {
            DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(file_.Get(), p, chunk, &written, nullptr) || written == 0) break;
            p += written;
            left -= written;
        }
        pending_.clear();
    }

    KernelHandle file_;
    SRWLOCK lock_;
    LONGLONG origin_ = 0;
    LONGLONG oldestPendingQpc_ = 0;
    std::string pending_;
};

}  // namespace

OpenResult OpenLog(const std::string &path) {
    OpenResult result;
    // Others may read, and even delete or rename, the file while it grows.
    KernelHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        result.error = OutputError::LogUnwritable;
        result.systemError = GetLastError();
        return result;
    }
    result.output = std::make_unique<LogOutput>(std::move(file));
    return result;
}

}  // namespace korvel
