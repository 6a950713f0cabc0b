// The songs the engine timing benchmark plays, with the schedule each is
// meant to keep worked out here, independently of the engine's reader.
#ifndef TIVORN_BENCH_ENGINE_TIMING_SONGS_H
#define TIVORN_BENCH_ENGINE_TIMING_SONGS_H

#include <cstdint>
#include <vector>

#include "testing/midi_writer.h"

namespace timing {

using midiw::Bytes;

// One event of a track as planned: a message to be sent, or a tempo change.
struct Planned {
    uint64_t tick;
    Bytes message;       // as the output must receive it
    uint32_t tempo = 0;  // nonzero: a tempo change
    bool sysex = false;  // message is F0 ... and is written as a sysex event
    bool escape = false; // written as an F7 packet
};

struct Plan {
    const char *name;
    uint16_t division;
    std::vector<std::vector<Planned>> tracks;
    bool targeted;  // held to the targets
};

struct Expected {
    int64_t timeUs;
    Bytes message;
};

Bytes Write(const Plan &plan);
std::vector<Expected> Schedule(const Plan &plan);

// The songs, each with its tracks as planned.
Plan DenseSong();
Plan StressSong();
Plan TempoSong();
Plan SysexSong();

}  // namespace timing

#endif
