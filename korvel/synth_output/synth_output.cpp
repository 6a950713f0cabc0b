#include "korvel/synth_output/synth_output.h"
#include "korvel/system/clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "korvel/audio/audio_device.h"
#include "korvel/sequencer/sequencer.h"
#include "korvel/synth_output/soundfont_file.h"
#include "korvel/synth/synthesizer.h"
#include "korvel/synth_output/synth_schedule.h"

namespace korvel {
namespace {

// What a message waits beyond the device's queue: a wake of the render
// thread may come this much late without moving the message's sample.
constexpr LONGLONG kScheduleMarginUs = 3000;


FontProblem ProblemOf(synth::ReadError error) {
    switch (error) {
    case synth::ReadError::None: return FontProblem::None;
    case synth::ReadError::Unreadable: return FontProblem::Unreadable;
    case synth::ReadError::NotSoundFont: return FontProblem::NotSoundFont;
    case synth::ReadError::Compressed: return FontProblem::Compressed;
    case synth::ReadError::TooLarge: return FontProblem::TooLarge;
    default: return FontProblem::Damaged;
    }
}

SoundFontHolder::Loaded ReadFont(const std::string &path) {
    SoundFontHolder::Loaded loaded;
    try {
        SoundFontFile source;
        synth::FileOpen opened = source.Open(path.c_str());
        if (opened != synth::FileOpen::Opened) {
            loaded.problem = opened == synth::FileOpen::NotFound ? FontProblem::Missing : FontProblem::Unreadable;
            return loaded;
        }
        synth::ReadResult result = synth::ReadSoundFont(source);
        loaded.font = std::move(result.font);
        loaded.problem = loaded.font ? FontProblem::None : ProblemOf(result.error);
        if (!loaded.font && loaded.problem == FontProblem::None) loaded.problem = FontProblem::Damaged;
    } catch (const std::bad_alloc &) {
        loaded.font.reset();
        loaded.problem = FontProblem::TooLarge;
    }
    return loaded;
}

// SynthOutput::Fade's message.
constexpr uint8_t kFadeStatus = 0xF4;
constexpr int kFadeSteps = 16383;

// The synthesizer, fed by the playback thread and rendered by the audio
// stream's thread.  Send only stamps and queues a message; the render thread
// applies it at its sample (see SynthScheduler) and owns the synthesizer.
class SynthOutput : public Output, private AudioSource {
public:
    SynthOutput(std::shared_ptr<const synth::SoundFont> font, AudioFigures &figures)
        : font_(std::move(font)), figures_(figures), frequency_(clock::Frequency()) {}
    ~SynthOutput() override { Close(); }

    AudioStream::Opened Open() {
        AudioStream::Opened opened = AudioStream::Open(*this, figures_);
        stream_ = std::move(opened.stream);
        return opened;
    }

    bool Send(const uint8_t *message, size_t size, bool added) override {
        if (font_->data.Lost()) return false;  // it plays silence: the song stops
        if (size == 0) return true;
        TimedMessage timed;
        timed.ticks = clock::Now();
        timed.songStart = songStart_.exchange(false);
        timed.Assign(message, size);
        if (added && IsAllSoundOff(message, size))
            queue_.Hold(std::move(timed));  // until SongEvent tells a stop from an end
        else
            queue_.Push(std::move(timed));
        return true;
    }

    // A song that ended by itself lets its last notes ring out, as the
    // offline render does: the engine's note-offs and pedal releases play,
    // its All Sound Off does not.  A stop, a switch and a close cut the
    // sound as on any device.
    void SongEvent(const char *word, const char *) override {
        if (std::strcmp(word, "end") == 0)
            queue_.ReleaseHeldAsPedalUp();
        else
            queue_.ReleaseHeld();
    }

    unsigned LostBecause() const override { return font_->data.Lost() ? kSamplesLostError : 0; }

    // The loop's fade goes among the messages, at its moment, as a status
    // byte no song sends (F4 is undefined) with the gain in 14 bits.
    bool FadesByGain() const override { return true; }
    bool Fade(double gain) override {
        if (font_->data.Lost()) return false;
        QueueFade(gain);
        return true;
    }

    LONGLONG Start(LONGLONG originQpc) override {
        queue_.ReleaseHeld();  // a song that was neither stopped nor ended (lost midway) is cut
        QueueFade(1.0);        // nor faded back, if it was fading
        // A song's start, not a switch to this output midway, is measured.
        if (LONGLONG requested = figures_.songRequestedQpc.exchange(0)) {
            requestedQpc_ = requested;
            songStart_ = true;
            // The stream's first song was played on what it opened just now.
            if (startedBefore_ && stream_) stream_->SongStarts();
        }
        startedBefore_ = true;
        return Output::Start(originQpc);
    }

    // What was sent plays to its end (the notes released, the sound
    // stopped), then the stream fades out: nothing clicks.
    bool Close() override {
        queue_.ReleaseHeld();
        if (stream_) stream_->Close();
        stream_.reset();
        return true;
    }

private:
    void QueueFade(double gain) {
        int value = static_cast<int>(std::lround(std::min(std::max(gain, 0.0), 1.0) * kFadeSteps));
        TimedMessage timed;
        timed.ticks = clock::Now();
        const uint8_t message[3] = {kFadeStatus, static_cast<uint8_t>(value >> 7), static_cast<uint8_t>(value & 127)};
        timed.Assign(message, sizeof message);
        queue_.Push(std::move(timed));
    }

    // The synthesizer as the scheduler drives it.
    class Sink : public MessageSink {
    public:
        explicit Sink(synth::Synthesizer &synthesizer) : synthesizer_(synthesizer) {}
        void Apply(const uint8_t *message, size_t size) override {
            if (size == 3 && message[0] == kFadeStatus)
                synthesizer_.SetFadeGain(((message[1] << 7) | message[2]) / static_cast<double>(kFadeSteps));
            else
                synthesizer_.Send(message, size);
        }
        void Render(float *stereo, size_t frames) override { synthesizer_.Render(stereo, frames); }

    private:
        synth::Synthesizer &synthesizer_;
    };

    int Begin(int deviceRate) override {
        synthesizer_ = std::make_unique<synth::Synthesizer>(font_, deviceRate);
        sink_ = std::make_unique<Sink>(*synthesizer_);
        scheduler_ = std::make_unique<SynthScheduler>(queue_, frequency_, deviceRate, 0);
        return deviceRate;
    }

    void SetQueueTicks(LONGLONG ticks) override {
        scheduler_->SetDelayTicks(ticks + kScheduleMarginUs * frequency_ / 1000000);
        figures_.NoteScheduleDelay(scheduler_->DelayTicks() * 1000000 / frequency_);
    }

    void Render(float *stereo, size_t frames, LONGLONG queuedQpc, LONGLONG laterQpc) override {
        scheduler_->RenderBlock(*sink_, stereo, frames, queuedQpc);
        int64_t taken = scheduler_->TakeSongStartTicks();
        if (taken >= 0)
            figures_.NoteSongLatency((taken - requestedQpc_.load()) * 1000000 / frequency_, laterQpc * 1000000 / frequency_);
    }

    bool Settled() override { return queue_.Empty() && scheduler_->Idle(); }

    std::shared_ptr<const synth::SoundFont> font_;
    AudioFigures &figures_;
    LONGLONG frequency_;
    MessageQueue queue_;
    std::atomic<bool> songStart_{false};
    bool startedBefore_ = false;  // the playback thread's
    std::atomic<LONGLONG> requestedQpc_{0};
    // The render thread's.
    std::unique_ptr<synth::Synthesizer> synthesizer_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<SynthScheduler> scheduler_;
    std::unique_ptr<AudioStream> stream_;
};

}  // namespace

bool SoundFontHolder::Stamp::operator==(const Stamp &other) const {
    return exists == other.exists && size == other.size && written.dwLowDateTime == other.written.dwLowDateTime &&
           written.dwHighDateTime == other.written.dwHighDateTime;
}

SoundFontHolder::Stamp SoundFontHolder::StampOf(const std::string &path) {
    Stamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return stamp;
    stamp.exists = true;
    stamp.size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.written = data.ftLastWriteTime;
    return stamp;
}

// The records stay as read while the file keeps its size and time: only
// its sample data is mapped again.  The font is changed in place only while
// this holder is its one owner, so no output sees it change.
bool SoundFontHolder::MapAgain(const std::string &path) {
    if (font_.use_count() != 1 || font_->data.Lost() || !(StampOf(path) == fontStamp_)) return false;
    SoundFontFile file;
    synth::SampleData data;
    if (file.Open(path.c_str()) != synth::FileOpen::Opened ||
        file.Samples(font_->span, data) != synth::ReadError::None)
        return false;
    std::const_pointer_cast<synth::SoundFont>(font_)->data = std::move(data);
    return true;
}

SoundFontHolder::Loaded SoundFontHolder::Load(const std::string &path) {
    Loaded loaded;
    if (font_ && path == path_) {
        if ((font_->data.Held() && !font_->data.Lost()) || MapAgain(path)) {
            loaded.font = font_;
            return loaded;
        }
        font_.reset();  // changed, gone or lost: read afresh
    }
    Stamp stamp = StampOf(path);
    if (failed_ != FontProblem::None && path == failedPath_ && stamp == failedStamp_) {
        loaded.problem = failed_;
        return loaded;
    }
    loaded = ReadFont(path);
    if (loaded.font) {
        path_ = path;
        font_ = loaded.font;
        fontStamp_ = stamp;
        failed_ = FontProblem::None;
        failedPath_.clear();
        return loaded;
    }
    loaded.news = true;
    failedPath_ = path;
    failed_ = loaded.problem;
    failedStamp_ = stamp;
    return loaded;
}

void SoundFontHolder::Release() {
    font_.reset();
    path_.clear();
    failed_ = FontProblem::None;
    failedPath_.clear();
}

void SoundFontHolder::LetFileGo() {
    if (font_ && font_.use_count() == 1) std::const_pointer_cast<synth::SoundFont>(font_)->data = synth::SampleData();
}

OpenResult OpenSynthOutput(std::shared_ptr<const synth::SoundFont> font, AudioFigures &figures) {
    OpenResult result;
    std::unique_ptr<SynthOutput> output;
    try {
        output = std::make_unique<SynthOutput>(std::move(font), figures);
    } catch (const std::bad_alloc &) {
        result.error = OutputError::AudioDeviceFailed;
        result.systemError = ERROR_NOT_ENOUGH_MEMORY;
        return result;
    }
    AudioStream::Opened opened = output->Open();
    switch (opened.error) {
    case AudioError::None:
        result.output = std::move(output);
        return result;
    case AudioError::NoDevice: result.error = OutputError::NoAudioDevice; break;
    case AudioError::Busy: result.error = OutputError::AudioDeviceBusy; break;
    default: result.error = OutputError::AudioDeviceFailed; break;
    }
    result.systemError = static_cast<UINT>(opened.code);
    return result;
}


}  // namespace korvel
