// The system's audio output, as the synthesizer plays through it: WASAPI in
// shared mode, driven by the device's event, at the device's own mix format;
// waveOut where WASAPI is not to be had.  One render thread per stream asks
// its source for sound block by block, joins the scheduler service for
// audio, and follows the default device when the user changes it (or plugs
// headphones in), so that a song plays on.
#ifndef TIVORN_KORVEL_AUDIO_DEVICE_H
#define TIVORN_KORVEL_AUDIO_DEVICE_H

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "korvel/audio/audio_format.h"
#include "utils/handles.h"

namespace korvel {

class DeviceSystem;

enum class AudioApi { Wasapi = 1, WaveOut = 2 };

// The system interfaces a stream may open.  The program always takes
// WASAPI when it works; WaveOutOnly shows (in tests and benches) what the
// fallback does on a system where WASAPI works too.
enum class AudioApis { WasapiThenWaveOut, WaveOutOnly };

// What the render thread plays.  Called on the render thread only.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Once, when the first device is open: the rate the source renders at
    // from now on (the device's, so that nothing is converted).
    virtual int Begin(int deviceRate) = 0;
    // With every device opened: how long a sample written at a wake waits
    // in the device at most before the device takes it, in QPC ticks.
    virtual void SetQueueTicks(LONGLONG ticks) = 0;
    // frames of interleaved stereo at the source's rate.  The first enters
    // the device's mixer at queuedQpc, and is heard laterQpc ticks after.
    virtual void Render(float *stereo, size_t frames, LONGLONG queuedQpc, LONGLONG laterQpc) = 0;
    // Once a close is asked for: whether everything sent before has been
    // rendered, so that the stream may fade out.
    virtual bool Settled() = 0;
};

enum class AudioError { None, NoDevice, Busy, Failed };

// What the synthesizer's streams measured since the library was loaded
// (SynthOutputStats).  Kept with the playback state; the render thread
// writes it, any thread reads it.
struct AudioFigures {
    std::atomic<bool> used{false};
    std::atomic<int> open{0};
    std::atomic<uint32_t> underruns{0};
    std::atomic<int32_t> latencyUs{-1};
    std::atomic<int32_t> engineLatencyUs{0};
    std::atomic<int32_t> scheduleDelayUs{0};
    std::atomic<int32_t> longestWakeUs{0};
    std::atomic<uint64_t> cpuUs{0};
    std::atomic<uint64_t> frames{0};
    std::atomic<uint32_t> rate{0};
    std::atomic<uint16_t> channels{0}, bits{0}, isFloat{0}, api{0};
    // When StartSong asked for the next song, until its output takes it.
    std::atomic<LONGLONG> songRequestedQpc{0};

    // The last song's first sample: from StartSong to the device taking it,
    // and what the device says it adds until it is heard.
    void NoteSongLatency(LONGLONG microseconds, LONGLONG engineMicroseconds);
    // From a message's sending to its sample entering the device.
    void NoteScheduleDelay(LONGLONG microseconds);
};

class AudioStream {
public:
    struct Opened {
        std::unique_ptr<AudioStream> stream;
        AudioError error = AudioError::None;
        long code = 0;  // the HRESULT or MMRESULT behind error
    };
    // Starts the render thread, which opens the default device; returns
    // once it plays or could not be opened.  figures outlives the stream.
    static Opened Open(AudioSource &source, AudioFigures &figures,
                       AudioApis apis = AudioApis::WasapiThenWaveOut);
    // The same on the devices of system, which outlives the stream.
    static Opened Open(AudioSource &source, AudioFigures &figures, DeviceSystem &system);

    ~AudioStream();
    AudioStream(const AudioStream &) = delete;
    AudioStream &operator=(const AudioStream &) = delete;

    // Lets what the source still has to render play, fades out over a few
    // milliseconds, waits for the device to play it and ends the thread.
    void Close();

    // Any thread: a song starts.  A stream that fell back to waveOut tries
    // WASAPI again before the song's first sample, and plays on waveOut
    // as before when that fails again.
    void SongStarts();

private:
    AudioStream() = default;
    static Opened Start(std::unique_ptr<AudioStream> stream);
    static DWORD WINAPI ThreadProc(LPVOID stream);

    AudioSource *source_ = nullptr;
    AudioFigures *figures_ = nullptr;
    AudioApis apis_ = AudioApis::WasapiThenWaveOut;
    DeviceSystem *system_ = nullptr;  // null: the system's own, made on the render thread
    // Declared before the thread, so that they outlive it.
    KernelHandle opened_;     // set when the first open has a result
    KernelHandle close_;      // set by Close
    KernelHandle songStart_;  // set by SongStarts
    KernelHandle thread_;
    AudioError error_ = AudioError::None;
    long code_ = 0;
};


}  // namespace korvel

#endif
