// Builds Standard MIDI Files in memory, for tests, benchmarks and the demo
// songs.  Plain C++; every byte is written exactly as asked, so damaged files
// can be made on purpose too.
#ifndef TIVORN_TESTING_MIDI_WRITER_H
#define TIVORN_TESTING_MIDI_WRITER_H

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
    // F7 packet: a sysex continuation or an escape, sent as the payload alone.
    Track &Escape(uint32_t delta, const Bytes &payload) {
        PutVarLen(data, delta);
        data.push_back(0xF7);
        PutVarLen(data, static_cast<uint32_t>(payload.size()));
        data.insert(data.end(), payload.begin(), payload.end());
        return *this;
    }
    Track &Controller(uint32_t delta, int channel, int controller, int value) {
        return Event(delta, {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller),
                             static_cast<uint8_t>(value)});
    }
    // Bytes with no delta time in front: damage, or a hand-made encoding.
    Track &Raw(std::initializer_list<uint8_t> bytes) {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Track &End(uint32_t delta = 0) { return Meta(delta, 0x2F, {}); }
};

// A chunk: id, big-endian length (declared, or the true one), data.
inline Bytes Chunk(const char *id, const Bytes &body, int64_t declaredLength = -1) {
    Bytes out(id, id + 4);
    PutBE(out, declaredLength < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(declaredLength), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes Header(int format, uint16_t trackCount, uint16_t division) {
    Bytes body;
    PutBE(body, static_cast<uint32_t>(format), 2);
    PutBE(body, trackCount, 2);
    PutBE(body, division, 2);
    return Chunk("MThd", body);
}

inline void Append(Bytes &out, const Bytes &more) { out.insert(out.end(), more.begin(), more.end()); }

// Header chunk and tracks.  division: ticks per quarter note, or SMPTE when
// its top bit is set.
inline Bytes File(int format, uint16_t division, const std::vector<Track> &tracks) {
    Bytes out = Header(format, static_cast<uint16_t>(tracks.size()), division);
    for (const Track &t : tracks) Append(out, Chunk("MTrk", t.data));
    return out;
}

// The RIFF RMID wrapper around an SMF, with an extra chunk in front of the
// data as real files have.
inline Bytes Rmid(const Bytes &smf) {
    Bytes info = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0};
    Bytes body = {'R', 'M', 'I', 'D'};
    auto putLE = [&body](uint32_t v) {
        for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    body.insert(body.end(), {'L', 'I', 'S', 'T'});
    putLE(static_cast<uint32_t>(info.size()));
    Append(body, info);
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    putLE(static_cast<uint32_t>(smf.size()));
    Append(body, smf);
    if (smf.size() & 1) body.push_back(0);
    Bytes out = {'R', 'I', 'F', 'F'};
    uint32_t size = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
    Append(out, body);
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
