#include "korvel/synth_output/soundfont_file.h"

#include <atomic>
#include <memory>
#include <new>

namespace korvel {
namespace {

// A view of a file can fail on any read, long after it was made: the page
// is fetched only then, from a network drive that has gone away, a stick
// that was pulled, or a file that another program cut short.  Windows then
// raises EXCEPTION_IN_PAGE_ERROR in whatever thread read it, here the
// render thread.  mingw-w64's g++ has no __try/__except, so a vectored
// handler guards the views instead: a fault inside one of them replaces the
// whole view by zero pages at the same address and lets the read go on.  The
// synthesizer plays silence from then on, and the output sees Lost and
// stops the song.
constexpr int kMostViews = 8;

class SampleView;

struct GuardedRange {
    const char *base = nullptr;
    size_t size = 0;
    SampleView *view = nullptr;
};

SRWLOCK g_rangesLock = SRWLOCK_INIT;
GuardedRange g_ranges[kMostViews];
PVOID g_faultHandler = nullptr;  // under g_rangesLock

class SampleView : public synth::SampleStore {
public:
    SampleView(char *base, size_t size) : base_(base), size_(size) {}
    ~SampleView() override {
        Unguard();
        if (lost_.load())
            VirtualFree(base_, 0, MEM_RELEASE);
        else
            UnmapViewOfFile(base_);
    }
    SampleView(const SampleView &) = delete;
    SampleView &operator=(const SampleView &) = delete;

    bool Lost() const override { return lost_.load(); }

    // false when every guarded range is taken: the caller copies instead.
    bool Guard() {
        AcquireSRWLockExclusive(&g_rangesLock);
        bool guarded = false;
        if (!g_faultHandler) g_faultHandler = AddVectoredExceptionHandler(1, OnFault);
        for (GuardedRange &range : g_ranges) {
            if (!g_faultHandler || range.view) continue;
            range = {base_, size_, this};
            guarded = true;
            break;
        }
        ReleaseSRWLockExclusive(&g_rangesLock);
        return guarded;
    }

private:
    void Unguard() {
        AcquireSRWLockExclusive(&g_rangesLock);
        for (GuardedRange &range : g_ranges)
            if (range.view == this) range = {};
        ReleaseSRWLockExclusive(&g_rangesLock);
    }

    // Under g_rangesLock.  A second thread that faulted while the view was
    // being swapped finds it done.
    bool Silence() {
        if (lost_.load()) return true;
        if (!UnmapViewOfFile(base_)) return false;
        lost_.store(true);
        return VirtualAlloc(base_, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY) == base_;
    }

    static LONG CALLBACK OnFault(EXCEPTION_POINTERS *info) {
        const EXCEPTION_RECORD *record = info->ExceptionRecord;
        // An access violation inside a view counts too: another thread that
        // reads it while it is being swapped meets one.
        if ((record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR && record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) ||
            record->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        const char *at = reinterpret_cast<const char *>(record->ExceptionInformation[1]);
        LONG verdict = EXCEPTION_CONTINUE_SEARCH;
        AcquireSRWLockExclusive(&g_rangesLock);
        for (GuardedRange &range : g_ranges) {
            if (!range.view || at < range.base || at >= range.base + range.size) continue;
            if (range.view->Silence()) verdict = EXCEPTION_CONTINUE_EXECUTION;
            break;
        }
        ReleaseSRWLockExclusive(&g_rangesLock);
        return verdict;
    }

    char *base_;
    size_t size_;
    std::atomic<bool> lost_{false};
};

}  // namespace

synth::FileOpen SoundFontFile::Open(const char *path) {
    file_.Close();
    size_ = 0;
    // Others may go on reading, writing and renaming it: what plays is
    // what was checked, and a view that goes bad is guarded.
    file_.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return synth::FileOpen::NotFound;
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? synth::FileOpen::Denied
                                                                               : synth::FileOpen::Failed;
    }
    LARGE_INTEGER size;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file_.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !GetFileSizeEx(file_.Get(), &size) || size.QuadPart < 0) {
        file_.Close();
        return synth::FileOpen::Denied;
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
    return synth::FileOpen::Opened;
}

bool SoundFontFile::Read(uint64_t offset, void *into, size_t size) {
    if (!file_ || offset > size_ || size > size_ - offset) return false;
    char *to = static_cast<char *>(into);
    while (size > 0) {
        const DWORD part = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (!ReadFile(file_.Get(), to, part, &read, &at) || read != part) return false;
        to += part;
        offset += part;
        size -= part;
    }
    return true;
}

synth::ReadError SoundFontFile::Samples(const synth::SampleSpan &span, synth::SampleData &into) {
    const uint64_t bytes = span.frames * 2;
    // Frames must be aligned for the synthesizer to read them in place; a
    // file that puts them at an odd offset is read into memory instead.
    if (!file_ || bytes == 0 || (span.offset & 1))
        return ByteSource::Samples(span, into);
    if (span.offset > size_ || bytes > size_ - span.offset) return synth::ReadError::Unreadable;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const uint64_t granularity = system.dwAllocationGranularity ? system.dwAllocationGranularity : 65536;
    const uint64_t first = span.offset - span.offset % granularity;
    const uint64_t end = span.offset + bytes;
    // The mapping is no larger than what was checked.  A read-only mapping
    // cannot grow a file, so one that has shrunk since is refused here.
    KernelHandle mapping(CreateFileMappingA(file_.Get(), nullptr, PAGE_READONLY, static_cast<DWORD>(end >> 32),
                                            static_cast<DWORD>(end), nullptr));
    if (!mapping) return synth::ReadError::Unreadable;
    const size_t viewBytes = static_cast<size_t>(end - first);
    char *base = static_cast<char *>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, static_cast<DWORD>(first >> 32),
                                                   static_cast<DWORD>(first), viewBytes));
    if (!base) {
        // No address space for it: the frames would not fit in memory either.
        return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? synth::ReadError::TooLarge : synth::ReadError::Unreadable;
    }
    std::shared_ptr<SampleView> view;
    try {
        view = std::make_shared<SampleView>(base, viewBytes);
    } catch (const std::bad_alloc &) {
        UnmapViewOfFile(base);
        return synth::ReadError::TooLarge;
    }
    if (!view->Guard()) {
        view.reset();
        return ByteSource::Samples(span, into);
    }
    const int16_t *frames = reinterpret_cast<const int16_t *>(base + (span.offset - first));
    into = synth::SampleData(std::move(view), frames, static_cast<size_t>(span.frames));
    return synth::ReadError::None;
}

}  // namespace korvel
