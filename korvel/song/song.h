// A decoded song: every message the output is handed, in sending order, with
// its time in microseconds from the start of the song.  Plain C++.
#ifndef TIVORN_KORVEL_SONG_H
#define TIVORN_KORVEL_SONG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

struct SongEvent {
    int64_t timeUs;
    uint32_t offset;  // into Song::bytes
    uint32_t size;    // never 0
};

// The stretch that a looped song plays again: its events are
// events[startIndex, endIndex), their times [startUs, endUs).  The start is
// controller 111 or a marker "loopStart", the end a marker "loopEnd" or,
// without one, the song's end.  Absent (endUs == startUs == 0) when the song
// has no usable loop: loop points out of order or a stretch too short to repeat.
struct SongLoop {
    size_t startIndex = 0;
    size_t endIndex = 0;
    int64_t startUs = 0;
    int64_t endUs = 0;
    bool present() const { return endUs > startUs; }
};

struct Song {
    std::vector<SongEvent> events;  // ordered by time; ties keep file order
    std::vector<uint8_t> bytes;     // the messages back to back, as sent
    int64_t endUs = 0;              // End of Track of the last track to end
    uint16_t channelsUsed = 0;      // bit n: a channel message for channel n
    SongLoop loop;
    // The song's own title (korvel/song/song_title.h), in code page 932;
    // empty when it has none that can be shown.
    std::string title;

    const uint8_t *Message(const SongEvent &e) const { return bytes.data() + e.offset; }
};

}  // namespace korvel

#endif
