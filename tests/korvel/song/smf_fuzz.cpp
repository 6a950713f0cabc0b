// libFuzzer target: the MIDI file reader, and the sequencer over whatever it
// decodes, must neither crash, hang nor read outside the file, and what they
// produce must hold together.
#include <cstdint>
#include <cstdlib>

#include "korvel/sequencer/sequencer.h"
#include "korvel/song/smf_reader.h"

namespace {

// Time jumps to wherever the sequencer waits for; no real waiting.
class InstantClock : public korvel::WaitPrimitives {
public:
    int64_t now = 0;
    int64_t NowUs() override { return now; }
    bool StopRequested() override { return false; }
    bool CoarseWait(int64_t us) override {
        now += us;
        return true;
    }
    void FineSleep(int64_t us) override { now += us; }
    void SpinStep() override { now += 1; }
};

class CheckingOutput : public korvel::SongOutput {
public:
    bool Send(const uint8_t *message, size_t size, bool) override {
        if (!message || size == 0) std::abort();
        return true;
    }
    void EndBatch(int soundingNotes, bool, int64_t) override {
        if (soundingNotes < 0) std::abort();
        last = soundingNotes;
    }
    int last = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    korvel::CheckSmfHeader(data, size);
    korvel::Song song;
    if (korvel::ReadSmf(data, size, song) != korvel::SmfError::None) {
        if (!song.events.empty()) std::abort();
        return 0;
    }
    int64_t previous = 0;
    for (const korvel::SongEvent &e : song.events) {
        if (e.size == 0 || e.offset > song.bytes.size() || e.size > song.bytes.size() - e.offset) std::abort();
        if (e.timeUs < previous) std::abort();
        previous = e.timeUs;
    }
    if (song.endUs < previous) std::abort();
    const korvel::SongLoop &loop = song.loop;
    if (loop.present() && (loop.startIndex > loop.endIndex || loop.endIndex > song.events.size() ||
                           loop.endUs > song.endUs))
        std::abort();

    InstantClock clock;
    korvel::Waiter waiter(clock, {true, 50});
    CheckingOutput output;
    for (korvel::LoopPlay mode : {korvel::LoopPlay::Off, korvel::LoopPlay::TwoPassesAndFade})
        if (korvel::PlaySong(song, waiter, clock, output, mode) != korvel::PlayOutcome::Ended || output.last != 0)
            std::abort();
    return 0;
}
