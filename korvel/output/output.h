// Where the engine's MIDI messages go: a MIDI out device (or the mapper),
// the log file that stands in for one, or the synthesizer; and what opening
// one gives.
#ifndef TIVORN_KORVEL_OUTPUT_OUTPUT_H
#define TIVORN_KORVEL_OUTPUT_OUTPUT_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "korvel/output/midi_errors.h"
#include "korvel/output/output_setting.h"
#include "korvel/system/clock.h"

namespace korvel {

class Output {
public:
    virtual ~Output() = default;
    // Playback thread, or any thread while none plays.  false once the
    // output is lost (see LostBecause); nothing is sent from then on.
    virtual bool Send(const uint8_t *message, size_t size, bool added) = 0;
    // The system's result that lost the output; 0 while it works.
    virtual unsigned LostBecause() const { return 0; }
    // The playback thread's stop event, which ends a wait for a long message
    // at once (nullptr when the thread ends).  Set by the playback thread.
    virtual void WatchStop(HANDLE /*stopEvent*/) {}
    // Any thread, while another may be inside Send: the output is about to
    // be let go, so a wait for a long message ends at once, and no later
    // one waits.  The message may then be cut short on the wire.
    virtual void StopWaiting() {}
    // After each group of messages sent at one moment; nothing more is sent
    // for idleUs microseconds.
    virtual void Flush(int64_t /*idleUs*/) {}
    // Song events (open, start, end, stop); only the log writes them.  The
    // argument (a song's path) comes in the ANSI code page; the log writes
    // it in UTF-8.
    virtual void SongEvent(const char * /*word*/, const char * /*argument*/ = nullptr) {}
    // Whether the output has a gain of its own for a fade (the synthesizer
    // has; a device is faded by each channel's volume instead), and that
    // gain, 0 to 1, from the next message on.  false once the output is lost.
    virtual bool FadesByGain() const { return false; }
    virtual bool Fade(double /*gain*/) { return true; }
    // Writes "start" and counts message times from originQpc, or, given
    // kStartNow, from just after the line is written: a song's clock must
    // not count the write.  Returns the origin used.
    virtual LONGLONG Start(LONGLONG originQpc) { return originQpc == kStartNow ? clock::Now() : originQpc; }
    static constexpr LONGLONG kStartNow = 0;
    // false when the system reported a failure.
    virtual bool Close() = 0;
};

struct OpenResult {
    std::unique_ptr<Output> output;
    bool mapperInstead = false;  // the mapper plays: the device the setting names is not there
    OutputError error = OutputError::None;
    UINT systemError = 0;  // MMRESULT, HRESULT or GetLastError value behind the error
    // synth: the SoundFont could not be used, so the mapper plays (or,
    // when it cannot either, error says why nothing does).
    FontProblem fontProblem = FontProblem::None;
    bool fontProblemIsNew = false;  // not told before
};

// Whether a device that is not there gives way to the MIDI mapper.
enum class MapperFallback { Allowed, None };

}  // namespace korvel

#endif
