// The sequencer's timing and sending logic, free of the system: the clock,
// the waits and the output come in through small interfaces, so that the
// same code runs on the playback thread and on a fake clock in tests.
#ifndef TIVORN_KORVEL_SEQUENCER_H
#define TIVORN_KORVEL_SEQUENCER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "korvel/song/song.h"

namespace korvel {

// Counts the notes that sound, per channel and key.
class NoteTracker {
public:
    // Returns true when the message starts a note.
    bool Observe(const uint8_t *message, size_t size);
    int Sounding() const { return total_; }
    bool IsSounding(int channel, int key) const { return count_[channel & 15][key & 127] != 0; }
    int Strikes(int channel, int key) const { return count_[channel & 15][key & 127]; }

private:
    uint16_t count_[16][128] = {};
    int total_ = 0;
};

using ShortMessage = std::array<uint8_t, 3>;

// GM System On: sent before every song so that one song's programs,
// controllers and pitch-bend ranges never carry over into the next.
extern const uint8_t kGmSystemOn[6];

// What silences the channels of the mask: for each channel a note-off for
// every note still sounding there, then Sustain off (so that the notes are
// not held by the pedal), All Sound Off and All Notes Off.
std::vector<ShortMessage> SilenceMessages(uint16_t channels, const NoteTracker &notes);

// The silence messages end with All Sound Off.  An output that lets a song
// that ended by itself ring out (the synthesizer) sends RingOutFor in its
// place: the note-offs and Sustain off before it free every note but those
// the sostenuto pedal holds, so that pedal is let go too.
bool IsAllSoundOff(const uint8_t *message, size_t size);
ShortMessage RingOutFor(uint8_t status);

// The system side of waiting.  Times are microseconds on the song's clock.
class WaitPrimitives {
public:
    virtual ~WaitPrimitives() = default;
    virtual int64_t NowUs() = 0;
    virtual bool StopRequested() = 0;
    // Waits about us microseconds unless a stop is requested (false).
    virtual bool CoarseWait(int64_t us) = 0;
    // A short, uninterruptible sleep that is precise where the system allows.
    virtual void FineSleep(int64_t us) = 0;
    // One short busy step.
    virtual void SpinStep() = 0;
};

// The typical lateness of one kind of wait: the median of the last few, so
// that a wake delayed by a busy machine does not sway it.
class LatenessWindow {
public:
    explicit LatenessWindow(int64_t initialUs);
    void Add(int64_t lateUs);
    int64_t Typical() const { return typical_; }

private:
    static constexpr int kSize = 15;
    int64_t samples_[kSize];
    int next_ = 0;
    int64_t typical_;
};

// Waits until a due time with as little lateness and as little busy waiting
// as the primitives allow.  Long stretches are covered by coarse waits of
// whole milliseconds (which some timers honour more precisely than
// fractions), the rest by one fine sleep aimed early by its typical
// lateness, and the last few microseconds by spinning.  The lateness of both
// kinds of wait is learned as playback goes; a fine sleep that proves
// imprecise even typically is given up for a spin.  Spinning does not help
// against a busy machine, which delays a spinning thread as much as a
// sleeping one, and it is held to a small share of the processor.
class Waiter {
public:
    struct Tuning {
        bool fineSleepUsable = false;
        int64_t fineLateUs = 100;  // typical lateness of a fine sleep
    };

    Waiter(WaitPrimitives &primitives, const Tuning &tuning);

    // false when a stop was requested before the time came.
    bool WaitUntil(int64_t dueUs);

    bool fineSleepUsable() const { return fineUsable_; }
    int64_t spunUs() const { return spunUs_; }

private:
    bool Coarse(int64_t us, int64_t now);
    void Fine(int64_t us, int64_t now);
    bool SpinAffordable(int64_t leftUs, int64_t now);

    WaitPrimitives &p_;
    bool fineUsable_;
    LatenessWindow fineLate_;
    LatenessWindow coarseLate_;
    int64_t spunUs_ = 0;
    int64_t startUs_ = -1;  // the first wait's start: the spin budget grows from it
};

// Where the sequencer's messages go.
class SongOutput {
public:
    virtual ~SongOutput() = default;
    // added: a message of the engine's own (reset, silence), not of the song.
    // false when the output is lost (a device unplugged): nothing more can
    // be sent, and the song is given up.
    virtual bool Send(const uint8_t *message, size_t size, bool added) = 0;
    // After each group of messages sent at one moment.  idleUs: how long
    // until the next group is due (kIdleForGood when none follows).
    virtual void EndBatch(int soundingNotes, bool noteStarted, int64_t idleUs) = 0;
    // A gain of the output's own for the loop's fade (see Output::Fade):
    // where there is none, each channel's volume is scaled instead.
    virtual bool FadesByGain() const { return false; }
    virtual bool Fade(double /*gain*/) { return true; }
    static constexpr int64_t kIdleForGood = INT64_MAX;
};

enum class PlayOutcome { Ended, Stopped, Failed };

// What a song with a loop does at the loop's end: plays on to its end as
// if there were none, goes back once and fades out on the way back again,
// or goes back until it is stopped.
enum class LoopPlay { Off, TwoPassesAndFade, Endless };

// How long the fade after the second pass lasts, and how often the
// channels' volume steps down meanwhile.
constexpr int64_t kLoopFadeUs = 8'000'000;
constexpr int64_t kLoopFadeStepUs = 100'000;

// How late the next event may come before the sequencer takes it for a
// freeze of the process (a debugger, Modern Standby, a suspended machine
// whose notice never came) rather than a busy machine.
constexpr int64_t kFreezeLateUs = 250000;

// Plays the song from its start: the reset, every event at its time
// counted from when the reset has gone out, and
// when the song's end has come or a stop was requested, the silence for
// every channel the song uses.  After a freeze the song goes on from where
// it stood: the notes that sound are released and the song's time origin
// moves forward, so that what fell due meanwhile is not sent in one burst.
// Failed: the output was lost; nothing more is sent, not even the silence.
//
// A song with a loop goes back from the loop's end to its start as loop
// says.  At each jump the notes that sound are released and the channels
// are put back as they stood at the loop's start (controllers, program,
// pitch bend, channel pressure, the RPNs and the GS and XG NRPNs), so that
// every pass sounds the same; SysEx in the loop is sent again as it stands.
// The fade steps the output's own gain down where it has one (the
// synthesizer), else each channel's volume (controller 7) from the
// channel's own; either is put back once the song is silent.
PlayOutcome PlaySong(const Song &song, Waiter &waiter, WaitPrimitives &clock, SongOutput &output,
                     LoopPlay loop = LoopPlay::Off);

}  // namespace korvel

#endif
