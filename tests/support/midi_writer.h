// Builds Standard MIDI Files in memory, for tests, benchmarks and the demo
// songs.  Plain C++; every byte is written exactly as asked, so damaged files
// can be made on purpose too.
#ifndef TIVORN_TESTS_SUPPORT_MIDI_WRITER_H
#define TIVORN_TESTS_SUPPORT_MIDI_WRITER_H

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace midiw {

using Bytes = std::vector<uint8_t>;

inline void PutVarLen(Bytes &out, uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value && n < 5);
    while (n-- > 0) out.push_back(static_cast<uint8_t>(groups[n] | (n ? 0x80 : 0)));
}

inline void PutBE(Bytes &out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One track's event data (without the MTrk header).
struct Track {
    Bytes data;

    // A channel message or any raw bytes after a delta time.
    Track &Event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
        PutVarLen(data, delta);
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Track &NoteOn(uint32_t delta, int channel, int note, int velocity) {
        return Event(delta, {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note),
                             static_cast<uint8_t>(velocity)});
    }
    Track &NoteOff(uint32_t delta, int channel, int note) {
        return Event(delta, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(note), 0x40});
    }
    Track &Program(uint32_t delta, int channel, int program) {
        return Event(delta, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)});
    }
    Track &Meta(uint32_t delta, uint8_t type, const Bytes &payload) {
        PutVarLen(data, delta);
        data.push_back(0xFF);
        data.push_back(type);
        PutVarLen(data, static_cast<uint32_t>(payload.size()));
        data.insert(data.end(), payload.begin(), payload.end());
        return *this;
    }
    Track &Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
        Bytes t;
        PutBE(t, microsecondsPerQuarter, 3);
        return Meta(delta, 0x51, t);
    }
    Track &Name(uint32_t delta, const std::string &name) {
        return Meta(delta, 0x03, Bytes(name.begin(), name.end()));
    }
    // F0 sysex; payload is what follows F0, normally ending with F7.
    Track &Sysex(uint32_t delta, const Bytes &payload) {
        PutVarLen(data, delta);
        data.push_back(0xF0);
        PutVarLen(data, static_cast<uint32_t>(payload.size()));
        data.insert(data.end(), payload.begin(), payload.end());
        return *this;
    }
    Track &End(uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }
};

// Header chunk and tracks.  division: ticks per quarter note, or SMPTE when
// its top bit is set.
inline Bytes File(int format, uint16_t division, const std::vector<Track> &tracks) {
    Bytes out = {'M', 'T', 'h', 'd'};
    PutBE(out, 6, 4);
    PutBE(out, static_cast<uint32_t>(format), 2);
    PutBE(out, static_cast<uint32_t>(tracks.size()), 2);
    PutBE(out, division, 2);
    for (const Track &t : tracks) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        PutBE(out, static_cast<uint32_t>(t.data.size()), 4);
        out.insert(out.end(), t.data.begin(), t.data.end());
    }
    return out;
}

// A short single-track tune: the notes in order, each lasting ticks.
inline Bytes Tune(std::initializer_list<int> notes, uint32_t ticks = 240, int channel = 0,
                  int program = 0, uint16_t division = 480) {
    Track t;
    t.Program(0, channel, program);
    for (int note : notes) {
        t.NoteOn(0, channel, note, 96);
        t.NoteOff(ticks, channel, note);
    }
    t.End();
    return File(0, division, {t});
}

inline bool Save(const std::string &path, const Bytes &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace midiw

#endif
