// The output a song plays on, which the user may change while it plays: it
// passes everything to the device (or log) of the moment and remembers what
// each channel holds, so that a new device goes on where the old one was.
#ifndef TIVORN_KORVEL_SWITCHING_OUTPUT_H
#define TIVORN_KORVEL_SWITCHING_OUTPUT_H

#include <windows.h>

#include <cstdint>
#include <memory>

#include "korvel/output/output.h"

namespace korvel {

class SwitchingOutput : public Output {
public:
    explicit SwitchingOutput(std::unique_ptr<Output> current);
    SwitchingOutput(const SwitchingOutput &) = delete;
    SwitchingOutput &operator=(const SwitchingOutput &) = delete;

    bool Send(const uint8_t *message, size_t size, bool added) override;
    unsigned LostBecause() const override;
    bool FadesByGain() const override;
    bool Fade(double gain) override;
    void WatchStop(HANDLE stopEvent) override;
    void Flush(int64_t idleUs) override;
    void SongEvent(const char *word, const char *argument = nullptr) override;
    LONGLONG Start(LONGLONG originQpc) override;
    bool Close() override;

    // Any thread, also while the playback thread sends: the notes sounding
    // on the current output are released and it is closed; next then gets
    // each channel's program, controllers and pitch bend, and everything
    // that follows.  A long message the current output is still waiting
    // for is given up rather than waited for.
    void Replace(std::unique_ptr<Output> next);

private:
    struct Channel {
        bool used = false;
        int program = -1;     // -1: none sent
        int bend = -1;        // 14-bit value, -1: none sent
        int8_t controllers[120];  // -1: none sent; 120 on are modes, not state
        // Data entry acts on the parameter chosen before it, so the
        // registered parameters a song set (pitch-bend range, fine and
        // coarse tuning) are kept by parameter: [number][MSB, LSB], -1 unset.
        int8_t registered[3][2];
        bool nonRegisteredChosen = false;  // 99/98 came after 101/100
        uint8_t notes[128];       // note-ons not yet released
    };

    void Remember(const uint8_t *message, size_t size);
    void SendAdded(Output &output, uint8_t status, uint8_t first, int second);
    // What a new output needs to go on as channel c was.
    void Restore(Output &output, int c);

    // A message is sent outside the lock, since a long one may wait for the
    // device for seconds; sending_ says one is on its way, and replacing_
    // holds back the next while the output changes.  Both change under the
    // lock and are told of through changed_.
    mutable SRWLOCK lock_;
    CONDITION_VARIABLE changed_;
    bool sending_ = false;
    bool replacing_ = false;
    std::unique_ptr<Output> current_;
    bool started_ = false;
    LONGLONG originQpc_ = 0;
    HANDLE stopEvent_ = nullptr;
    Channel channels_[16];
};

}  // namespace korvel

#endif
