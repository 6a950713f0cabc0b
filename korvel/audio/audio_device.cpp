#include "korvel/audio/audio_device.h"
#include "korvel/system/clock.h"

#include <algorithm>
#include <string>
#include <vector>

#include "korvel/audio/audio_backends.h"
#include "korvel/synth/resample.h"
#include "utils/system_function.h"

namespace korvel {
namespace {

// A close waits this long at most for the messages sent before it.
constexpr DWORD kSettleLimitMs = 500;
// The fade that ends a stream, so that it never stops on a loud sample.
constexpr double kFadeSeconds = 0.005;
// Without a device, the default one is looked for this often.
constexpr DWORD kRetryMs = 1000;
// How often the render thread's processor time goes into the figures.
constexpr DWORD kCpuReportMs = 250;


// The render thread's place in the Multimedia Class Scheduler Service: "Pro
// Audio", else "Audio", so that busy programs do not starve the device.
// Where the service is missing, time-critical, the highest priority of a
// normal process, which is what an audio thread needs: it runs for well
// under a millisecond a wake, and a wake a period late is an underrun.
// (Wine 8 applies neither to the host's scheduler: there the thread runs
// at the host's normal priority, and only the queue's depth protects it.)
class MmcssTask {
public:
    MmcssTask() {
        char path[MAX_PATH + 16];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length && length < MAX_PATH) {
            lstrcatA(path, "\\avrt.dll");  // from the system folder only
            avrt_ = LoadLibraryA(path);
        }
        auto join = SystemFunction<JoinProc>(avrt_, "AvSetMmThreadCharacteristicsA");
        leave_ = SystemFunction<LeaveProc>(avrt_, "AvRevertMmThreadCharacteristics");
        DWORD index = 0;
        if (join && leave_) {
            task_ = join("Pro Audio", &index);
            if (!task_) task_ = join("Audio", &index);
        }
        if (!task_) SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    }
    ~MmcssTask() {
        if (task_) leave_(task_);
        if (avrt_) FreeLibrary(avrt_);
    }
    MmcssTask(const MmcssTask &) = delete;
    MmcssTask &operator=(const MmcssTask &) = delete;

private:
    typedef HANDLE(WINAPI *JoinProc)(LPCSTR task, LPDWORD taskIndex);
    typedef BOOL(WINAPI *LeaveProc)(HANDLE task);
    HMODULE avrt_ = nullptr;
    LeaveProc leave_ = nullptr;
    HANDLE task_ = nullptr;
};

void PublishFormat(const Device &device, AudioFigures &figures) {
    const DeviceFormat &format = device.Format();
    figures.rate = static_cast<uint32_t>(format.rate);
    figures.channels = static_cast<uint16_t>(format.channels);
    figures.bits = static_cast<uint16_t>(format.containerBits);
    figures.isFloat = format.encoding == DeviceFormat::Encoding::Float ? 1 : 0;
    figures.api = static_cast<uint16_t>(device.Api());
}

// The render thread's work, from the first device to the end of the stream.
class Renderer {
public:
    Renderer(AudioSource &source, AudioFigures &figures, DeviceSystem &system, HANDLE close, HANDLE songStart)
        : source_(source), figures_(figures), system_(system), close_(close), songStart_(songStart),
          frequency_(clock::Frequency()) {}

    // Returns after the stream is closed (or lost for good).
    void Run(std::unique_ptr<Device> device) {
        sourceRate_ = source_.Begin(device->Format().rate);
        Adopt(std::move(device));
        if (FAILED(Fill())) Reopen();  // the first blocks go in before the device starts
        while (phase_ != Phase::Done) {
            HANDLE handles[4];
            DWORD count = 0;
            if (phase_ == Phase::Playing) handles[count++] = close_;
            handles[count++] = songStart_;
            handles[count++] = system_.Changed();
            if (device_) handles[count++] = device_->Ready();
            // Without a device, time paces the source.
            DWORD woke = WaitForMultipleObjects(count, handles, FALSE, device_ ? 200 : 10);
            if (phase_ == Phase::Playing && woke == WAIT_OBJECT_0) {
                phase_ = Phase::Settling;
                settleStart_ = GetTickCount();
            }
            HANDLE signalled = woke < WAIT_OBJECT_0 + count ? handles[woke - WAIT_OBJECT_0] : nullptr;
            if (signalled == system_.Changed() && !SameDefault()) Reopen();
            if (signalled == songStart_) ReturnToWasapi();
            if (!device_ && phase_ == Phase::Playing && GetTickCount() - lastTry_ >= kRetryMs) Reopen();
            if (device_) {
                if (FAILED(Fill())) Reopen();  // unplugged, or the engine reset: the default device now
            } else {
                Pace();
            }
            Advance();
        }
        if (device_) device_->Stop();
        device_.reset();
        ReportProcessorTime();
    }

private:
    enum class Phase { Playing, Settling, Fading, Draining, Done };

    void Adopt(std::unique_ptr<Device> device) {
        device_ = std::move(device);
        started_ = false;
        wrote_ = false;
        lastWakeQpc_ = 0;
        const DeviceFormat &format = device_->Format();
        converter_.reset(format.rate == sourceRate_ ? nullptr : new synth::RateConverter(sourceRate_, format.rate));
        source_.SetQueueTicks(static_cast<LONGLONG>(device_->Target()) * frequency_ / format.rate);
        PublishFormat(*device_, figures_);
        fadeTotal_ = std::max(1, static_cast<int>(format.rate * kFadeSeconds));
    }

    bool SameDefault() const { return device_ && system_.IsStillDefault(*device_); }

    // WASAPI could not be opened when the stream last opened a device (held
    // by another program in exclusive mode, a format it would not share, an
    // audio service restarting), and waveOut stood in: at a song start it
    // is asked again, before the song's first sample is rendered, and on a
    // second failure waveOut plays on as it did, without a word.
    void ReturnToWasapi() {
        if (!device_ || device_->Api() != AudioApi::WaveOut || !system_.HasWasapi() || phase_ != Phase::Playing)
            return;
        std::unique_ptr<Device> wasapi;
        if (FAILED(system_.OpenWasapi(&wasapi)) || !wasapi) return;
        device_->Stop();
        device_.reset();
        Adopt(std::move(wasapi));
        if (FAILED(Fill())) Reopen();
    }

    void Reopen() {
        if (device_) device_->Stop();
        device_.reset();
        lastTry_ = GetTickCount();
        paceQpc_ = clock::Now();
        if (phase_ != Phase::Playing && phase_ != Phase::Settling) return;  // nothing more to hear
        OpenAttempt attempt = OpenDefaultDevice(system_);
        if (!attempt.device) return;
        Adopt(std::move(attempt.device));
        if (FAILED(Fill())) {
            device_.reset();  // tried again after kRetryMs, or when the default changes
            paceQpc_ = clock::Now();
        }
    }

    // Renders frames device frames into device_buffer_, at the device's rate.
    void Produce(UINT32 frames, LONGLONG queuedQpc) {
        deviceBuffer_.resize(2 * static_cast<size_t>(frames));
        LONGLONG later = device_ ? device_->LaterQpc() : 0;
        if (!converter_) {
            source_.Render(deviceBuffer_.data(), frames, queuedQpc, later);
            return;
        }
        size_t needed = converter_->SourceFramesFor(frames);
        sourceBuffer_.resize(2 * needed);
        if (needed) source_.Render(sourceBuffer_.data(), needed, queuedQpc, later);
        converter_->Push(sourceBuffer_.data(), needed);
        converter_->Pull(deviceBuffer_.data(), frames);
    }

    HRESULT Fill() {
        UINT32 queued = 0, room = 0;
        HRESULT result = device_->Query(&queued, &room);
        if (FAILED(result)) return result;
        if (phase_ == Phase::Draining) {
            if (queued == 0 || GetTickCount() - drainStart_ > drainLimitMs_) phase_ = Phase::Done;
            return S_OK;
        }
        bool drained = started_ && wrote_ && queued == 0;
        if (drained) figures_.underruns.fetch_add(1);
        if (started_ && wrote_) NoteWake();
        UINT32 target = device_->Target();
        UINT32 frames = std::min(room, target > queued ? target - queued : 0);
        frames -= frames % device_->Granule();
        if (frames) {
            const DeviceFormat &format = device_->Format();
            LONGLONG queuedQpc = clock::Now() + static_cast<LONGLONG>(queued) * frequency_ / format.rate;
            Produce(frames, queuedQpc);
            if (drained) FadeIn(frames);
            if (phase_ == Phase::Fading) FadeOut(frames);
            if (FAILED(result = device_->Write(deviceBuffer_.data(), frames))) return result;
            wrote_ = true;
            figures_.frames.fetch_add(frames);
            if (phase_ == Phase::Fading && fadeLeft_ == 0) {
                phase_ = Phase::Draining;
                drainStart_ = GetTickCount();
                drainLimitMs_ = 100 + static_cast<DWORD>(1000ULL * (queued + frames) / format.rate);
            }
        }
        if (!started_) {
            if (FAILED(result = device_->Start())) return result;
            started_ = true;
        }
        return S_OK;
    }

    // The time since the last wake that wrote to the device, kept if the longest.
    void NoteWake() {
        LONGLONG now = clock::Now();
        if (lastWakeQpc_) {
            int32_t us = static_cast<int32_t>(std::min<LONGLONG>((now - lastWakeQpc_) * 1000000 / frequency_, INT32_MAX));
            if (us > figures_.longestWakeUs.load(std::memory_order_relaxed)) figures_.longestWakeUs = us;
        }
        lastWakeQpc_ = now;
    }

    // The sound goes on without a device, unheard, so that every message
    // takes effect at its time and a device that comes back plays on.
    void Pace() {
        LONGLONG now = clock::Now();
        LONGLONG frames = (now - paceQpc_) * sourceRate_ / frequency_;
        if (frames <= 0) return;
        frames = std::min<LONGLONG>(frames, sourceRate_);  // after a long stall, not all at once
        paceQpc_ += frames * frequency_ / sourceRate_;
        sourceBuffer_.resize(2 * static_cast<size_t>(frames));
        source_.Render(sourceBuffer_.data(), static_cast<size_t>(frames), now, 0);
        if (phase_ == Phase::Fading) phase_ = Phase::Done;
    }

    // The device played silence while it waited: the sound comes back
    // over a moment rather than with a step.
    void FadeIn(UINT32 frames) {
        UINT32 ramp = std::min<UINT32>(frames, static_cast<UINT32>(fadeTotal_));
        for (UINT32 f = 0; f < ramp; ++f) {
            float gain = static_cast<float>(f + 1) / static_cast<float>(ramp + 1);
            deviceBuffer_[2 * f] *= gain;
            deviceBuffer_[2 * f + 1] *= gain;
        }
    }

    void FadeOut(UINT32 frames) {
        for (UINT32 f = 0; f < frames; ++f) {
            float gain = fadeLeft_ > 0 ? static_cast<float>(fadeLeft_--) / static_cast<float>(fadeTotal_ + 1) : 0.0f;
            deviceBuffer_[2 * f] *= gain;
            deviceBuffer_[2 * f + 1] *= gain;
        }
    }

    void Advance() {
        if (phase_ == Phase::Settling &&
            (source_.Settled() || GetTickCount() - settleStart_ > kSettleLimitMs)) {
            phase_ = device_ ? Phase::Fading : Phase::Done;
            fadeLeft_ = fadeTotal_;
        }
        if (!device_ && phase_ != Phase::Playing && phase_ != Phase::Settling) phase_ = Phase::Done;
        // Asking for the thread's times is dear where the system reads them
        // from a file (Wine reads /proc): a few times a second is plenty.
        if (GetTickCount() - reportedTick_ >= kCpuReportMs) ReportProcessorTime();
    }

    void ReportProcessorTime() {
        reportedTick_ = GetTickCount();
        FILETIME created, exited, kernel, user;
        if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return;
        auto ticks = [](const FILETIME &time) { return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
        uint64_t us = (ticks(kernel) + ticks(user)) / 10;
        if (us > cpuReportedUs_) figures_.cpuUs.fetch_add(us - cpuReportedUs_);
        cpuReportedUs_ = std::max(us, cpuReportedUs_);
    }

    AudioSource &source_;
    AudioFigures &figures_;
    DeviceSystem &system_;
    HANDLE close_, songStart_;
    LONGLONG frequency_;
    int sourceRate_ = 0;
    std::unique_ptr<Device> device_;
    std::unique_ptr<synth::RateConverter> converter_;
    std::vector<float> sourceBuffer_, deviceBuffer_;
    Phase phase_ = Phase::Playing;
    bool started_ = false;
    bool wrote_ = false;
    DWORD settleStart_ = 0, drainStart_ = 0, drainLimitMs_ = 0, lastTry_ = 0;
    int fadeTotal_ = 1, fadeLeft_ = 0;
    LONGLONG paceQpc_ = 0;
    LONGLONG lastWakeQpc_ = 0;
    uint64_t cpuReportedUs_ = 0;
    DWORD reportedTick_ = 0;
};

}  // namespace

DWORD WINAPI AudioStream::ThreadProc(LPVOID parameter) {
    AudioStream &stream = *static_cast<AudioStream *>(parameter);
    std::unique_ptr<Session> session;
    DeviceSystem *system = stream.system_;
    if (!system) {
        session.reset(new Session(stream.apis_));  // COM is the thread's own
        system = session.get();
    }
    MmcssTask task;
    OpenAttempt attempt = OpenDefaultDevice(*system);
    stream.error_ = attempt.error;
    stream.code_ = attempt.code;
    if (attempt.device) {
        stream.figures_->used = true;
        stream.figures_->open.fetch_add(1);
    }
    SetEvent(stream.opened_.Get());  // the opener reads error_ from here on
    if (!attempt.device) return 0;
    Renderer renderer(*stream.source_, *stream.figures_, *system, stream.close_.Get(), stream.songStart_.Get());
    renderer.Run(std::move(attempt.device));
    stream.figures_->open.fetch_sub(1);
    return 0;
}

AudioStream::Opened AudioStream::Open(AudioSource &source, AudioFigures &figures, AudioApis apis) {
    std::unique_ptr<AudioStream> stream(new AudioStream);
    stream->source_ = &source;
    stream->figures_ = &figures;
    stream->apis_ = apis;
    return Start(std::move(stream));
}

AudioStream::Opened AudioStream::Open(AudioSource &source, AudioFigures &figures, DeviceSystem &system) {
    std::unique_ptr<AudioStream> stream(new AudioStream);
    stream->source_ = &source;
    stream->figures_ = &figures;
    stream->system_ = &system;
    return Start(std::move(stream));
}

AudioStream::Opened AudioStream::Start(std::unique_ptr<AudioStream> stream) {
    Opened result;
    stream->error_ = AudioError::Failed;  // until the thread says otherwise
    stream->opened_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    stream->close_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    stream->songStart_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (stream->opened_ && stream->close_ && stream->songStart_)
        stream->thread_.Reset(CreateThread(nullptr, 0, ThreadProc, stream.get(), 0, nullptr));
    if (!stream->thread_) {
        result.error = AudioError::Failed;
        result.code = static_cast<long>(GetLastError());
        return result;
    }
    HANDLE handles[2] = {stream->opened_.Get(), stream->thread_.Get()};
    WaitForMultipleObjects(2, handles, FALSE, INFINITE);
    if (stream->error_ != AudioError::None) {
        result.error = stream->error_;
        result.code = stream->code_;
        return result;  // the thread ends by itself; the destructor waits for it
    }
    result.stream = std::move(stream);
    return result;
}

void AudioStream::Close() {
    if (!thread_) return;
    SetEvent(close_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Close();
}

void AudioStream::SongStarts() {
    if (songStart_) SetEvent(songStart_.Get());
}

AudioStream::~AudioStream() { Close(); }

void AudioFigures::NoteSongLatency(LONGLONG microseconds, LONGLONG engineMicroseconds) {
    latencyUs = static_cast<int32_t>(std::min<LONGLONG>(microseconds, INT32_MAX));
    engineLatencyUs = static_cast<int32_t>(std::min<LONGLONG>(engineMicroseconds, INT32_MAX));
    longestWakeUs = 0;  // the song's wakes count from its first sample
}

void AudioFigures::NoteScheduleDelay(LONGLONG microseconds) {
    scheduleDelayUs = static_cast<int32_t>(std::min<LONGLONG>(microseconds, INT32_MAX));
}

}  // namespace korvel
