// Dense General MIDI songs of the project's own, for measuring the built-in
// synthesizer: many channels and instruments, drums, chords that overlap in
// their release, pedals, swells, pitch bends and pressure, as arranged songs
// have them.  Plain C++; each song is the same on every run.
#ifndef TIVORN_BENCH_GM_SONGS_H
#define TIVORN_BENCH_GM_SONGS_H

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "testing/midi_writer.h"

namespace gmsongs {

constexpr uint16_t kDivision = 480;
constexpr uint32_t kBeat = kDivision;
constexpr uint32_t kBar = 4 * kBeat;

// A track's messages by absolute tick, put in order when it is written.
class Part {
public:
    void Add(uint32_t tick, std::vector<uint8_t> message) { events_.push_back({tick, order_++, std::move(message)}); }
    void Note(uint32_t tick, uint32_t length, int channel, int key, int velocity) {
        Add(tick, {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)});
        Add(tick + length, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 64});
    }
    void Control(uint32_t tick, int channel, int controller, int value) {
        Add(tick, {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller), static_cast<uint8_t>(value)});
    }
    void Program(uint32_t tick, int channel, int program) {
        Add(tick, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)});
    }
    void Bend(uint32_t tick, int channel, int value) {  // 0..16383, 8192 is none
        Add(tick, {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(value & 0x7F),
                   static_cast<uint8_t>(value >> 7)});
    }
    // Volume, pan and program at the start of the song.
    void Setup(int channel, int program, int volume, int pan) {
        Program(0, channel, program);
        Control(0, channel, 7, volume);
        Control(0, channel, 10, pan);
    }

    midiw::Track Write() {
        // Note-offs before note-ons at the same tick, so a repeated key is
        // struck again rather than cut.
        std::stable_sort(events_.begin(), events_.end(), [](const Event &a, const Event &b) {
            if (a.tick != b.tick) return a.tick < b.tick;
            return ((a.message[0] & 0xF0) == 0x80) > ((b.message[0] & 0xF0) == 0x80);
        });
        midiw::Track track;
        uint32_t at = 0;
        for (const Event &e : events_) {
            midiw::PutVarLen(track.data, e.tick - at);
            track.data.insert(track.data.end(), e.message.begin(), e.message.end());
            at = e.tick;
        }
        track.End(0);
        return track;
    }

private:
    struct Event {
        uint32_t tick;
        uint32_t order;
        std::vector<uint8_t> message;
    };
    std::vector<Event> events_;
    uint32_t order_ = 0;
};

// A small deterministic generator, so that every run measures the same song.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    uint32_t Below(uint32_t n) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_ % n;
    }

private:
    uint32_t state_;
};

// I-vi-IV-V-iii-vi-ii-V in C: each chord as root and the triad's keys
// above middle C.
struct Chord {
    int root;
    int keys[3];
};
inline const Chord &ChordOfBar(int bar) {
    static const Chord kChords[] = {{48, {60, 64, 67}}, {45, {57, 60, 64}}, {41, {57, 60, 65}}, {43, {59, 62, 67}},
                                    {40, {59, 64, 67}}, {45, {60, 64, 69}}, {38, {57, 62, 65}}, {43, {55, 59, 62}}};
    return kChords[bar % 8];
}

// The file: a conductor track with the song's name and tempo, then the parts.
inline midiw::Bytes SongFile(int bpm, const std::string &title, std::vector<Part> &parts) {
    midiw::Track conductor;
    conductor.Name(0, title);
    conductor.Tempo(0, 60000000 / bpm);
    conductor.End();
    std::vector<midiw::Track> tracks = {conductor};
    for (Part &p : parts) tracks.push_back(p.Write());
    return midiw::File(1, kDivision, tracks);
}

// A band of ten channels over 12 bars at 132 BPM: piano with pedal, bass,
// strings swelling, brass stabs, a saxophone with bends and modulation,
// strummed guitar, organ and a full drum kit.
inline midiw::Bytes BandSong() {
    const int kBars = 12;
    Random random(11);
    std::vector<Part> parts(9);
    Part &piano = parts[0], &bass = parts[1], &strings = parts[2], &brass = parts[3], &sax = parts[4],
         &guitar = parts[5], &organ = parts[6], &drums = parts[7], &bells = parts[8];
    piano.Setup(0, 0, 100, 40);
    bass.Setup(1, 33, 110, 64);
    strings.Setup(2, 48, 90, 90);
    brass.Setup(3, 61, 95, 30);
    sax.Setup(4, 65, 100, 70);
    guitar.Setup(5, 25, 85, 100);
    organ.Setup(6, 16, 70, 20);
    drums.Control(0, 9, 7, 115);
    bells.Setup(7, 11, 80, 110);
    for (int bar = 0; bar < kBars; ++bar) {
        const Chord &c = ChordOfBar(bar);
        uint32_t t = bar * kBar;
        piano.Control(t, 0, 64, 127);
        piano.Control(t + kBar - 20, 0, 64, 0);
        for (int beat = 0; beat < 4; ++beat)
            for (int key : c.keys) piano.Note(t + beat * kBeat, kBeat - 40, 0, key + (beat % 2) * 12, 70 + random.Below(30));
        for (int eighth = 0; eighth < 8; ++eighth)
            bass.Note(t + eighth * kBeat / 2, kBeat / 2 - 30, 1, c.root - 12 + (eighth % 4 == 3 ? 7 : 0), 100);
        for (int key : c.keys) strings.Note(t, kBar, 2, key - 12, 80);
        for (int step = 0; step < 8; ++step) strings.Control(t + step * kBeat / 2, 2, 11, 70 + step * 7);
        if (bar % 2 == 1)
            for (int key : c.keys) brass.Note(t + 3 * kBeat / 2, kBeat / 3, 3, key, 110);
        for (int n = 0; n < 6; ++n) {
            uint32_t at = t + n * kBar / 6;
            int key = c.keys[random.Below(3)] + 12;
            sax.Note(at, kBar / 6 - 20, 4, key, 90 + random.Below(25));
        }
        sax.Control(t, 4, 1, bar % 4 == 3 ? 80 : 0);
        for (int b = 0; b < 16; ++b) sax.Bend(t + b * kBeat / 4, 4, 8192 + (b % 4 == 3 ? 900 : 0));
        for (int strum = 0; strum < 4; ++strum)
            for (int s = 0; s < 3; ++s) guitar.Note(t + strum * kBeat + s * 15, kBeat - 60, 5, c.keys[s] - 12, 75);
        for (int key : c.keys) organ.Note(t, kBar - 10, 6, key, 60);
        if (bar % 4 == 0) bells.Note(t, kBeat, 7, c.keys[0] + 24, 90);
        for (int sixteenth = 0; sixteenth < 16; ++sixteenth) {
            uint32_t at = t + sixteenth * kBeat / 4;
            drums.Note(at, 60, 9, sixteenth % 4 == 2 ? 46 : 42, 60 + random.Below(40));
            if (sixteenth % 8 == 0 || sixteenth == 10) drums.Note(at, 60, 9, 36, 120);
            if (sixteenth % 8 == 4) drums.Note(at, 60, 9, 38, 115);
        }
        if (bar % 4 == 0) drums.Note(t, 200, 9, 49, 110);
        if (bar % 4 == 3)
            for (int f = 0; f < 4; ++f) drums.Note(t + 3 * kBeat + f * kBeat / 4, 60, 9, 50 - 2 * f, 100);
    }
    return SongFile(132, "Band", parts);
}

// An orchestra on all sixteen channels over 8 slow bars: wide sustained
// chords in five string sections, winds, horns, harp, choir and timpani,
// with crescendos, vibrato by modulation, a bend over an octave's range
// (RPN 0 at 12 semitones) and channel pressure.  Many voices ring at once.
inline midiw::Bytes OrchestraSong() {
    const int kBars = 8;
    Random random(23);
    std::vector<Part> parts(16);
    const int programs[16] = {48, 49, 40, 41, 42, 43, 73, 71, 68, 60, 57, 46, 52, 47, 89, 9};
    for (int ch = 0; ch < 16; ++ch)
        if (ch != 9) parts[ch].Setup(ch, programs[ch], 85 + (ch % 3) * 10, 10 + ch * 7);
    Part &bend = parts[10];
    bend.Control(0, 10, 101, 0);
    bend.Control(0, 10, 100, 0);
    bend.Control(0, 10, 6, 12);
    bend.Control(0, 10, 38, 0);
    for (int bar = 0; bar < kBars; ++bar) {
        const Chord &c = ChordOfBar(bar);
        uint32_t t = bar * kBar;
        for (int ch : {0, 1, 12, 14})
            for (int octave = -1; octave <= 1; ++octave)
                for (int key : c.keys) parts[ch].Note(t, kBar + 120, ch, key + 12 * octave, 70);
        for (int ch : {0, 1, 12})
            for (int step = 0; step < 16; ++step) parts[ch].Control(t + step * kBar / 16, ch, 11, 50 + step * 5);
        for (int n = 0; n < 8; ++n) {
            parts[2].Note(t + n * kBeat / 2, kBeat / 2, 2, c.keys[n % 3] + 12, 90);
            parts[3].Note(t + n * kBeat / 2, kBeat / 2, 3, c.keys[(n + 1) % 3], 85);
        }
        parts[2].Control(t, 2, 1, 40 + (bar % 3) * 30);
        for (int n = 0; n < 4; ++n) parts[4].Note(t + n * kBeat, kBeat, 4, c.root, 95);
        parts[5].Note(t, kBar, 5, c.root - 12, 100);
        for (int ch : {6, 7, 8}) parts[ch].Note(t + kBeat, 2 * kBeat, ch, c.keys[ch - 6] + 12, 80 + random.Below(30));
        parts[8].Add(t + kBeat, {0xD8, static_cast<uint8_t>(60 + bar * 5)});
        for (int key : c.keys) parts[9].Note(t, 3 * kBeat, 9, key - 12, 90);
        bend.Note(t + 2 * kBeat, 2 * kBeat, 10, c.keys[2], 100);
        for (int b = 0; b <= 8; ++b) bend.Bend(t + 2 * kBeat + b * kBeat / 4, 10, 8192 - b * 512);
        bend.Bend(t + kBar - 1, 10, 8192);
        for (int n = 0; n < 16; ++n) parts[11].Note(t + n * kBeat / 4, kBeat, 11, c.keys[n % 3] + 12 * (n / 6), 75);
        parts[13].Note(t, kBeat, 13, c.root, 110);
        for (int roll = 0; roll < 8; ++roll) parts[13].Note(t + 3 * kBeat + roll * kBeat / 8, 60, 13, 43, 70 + roll * 6);
        parts[15].Note(t, kBar, 15, c.keys[0] + 24, 60);
        if (bar % 2 == 0) parts[9].Add(t, {0x99, 57, 100}), parts[9].Add(t + kBeat, {0x89, 57, 64});
    }
    return SongFile(76, "Orchestra", parts);
}

// Synthesizers and piano at 150 BPM over 12 bars: fast piano arpeggios with
// the pedal held (their notes pile up), leads, pads, a synth bass, the GS
// electronic drum kit on channel 10 and polyphonic key pressure.
inline midiw::Bytes SynthSong() {
    const int kBars = 12;
    Random random(37);
    std::vector<Part> parts(7);
    Part &piano = parts[0], &lead = parts[1], &pad = parts[2], &bass = parts[3], &drums = parts[4],
         &saw = parts[5], &fx = parts[6];
    piano.Setup(0, 1, 100, 64);
    lead.Setup(1, 80, 90, 40);
    pad.Setup(2, 89, 85, 64);
    bass.Setup(3, 38, 110, 64);
    drums.Program(0, 9, 24);
    drums.Control(0, 9, 7, 110);
    saw.Setup(4, 81, 75, 90);
    fx.Setup(5, 95, 70, 20);
    for (int bar = 0; bar < kBars; ++bar) {
        const Chord &c = ChordOfBar(bar);
        uint32_t t = bar * kBar;
        piano.Control(t, 0, 64, 127);
        piano.Control(t + kBar - 10, 0, 64, 0);
        for (int n = 0; n < 16; ++n)
            piano.Note(t + n * kBeat / 4, kBeat / 4, 0, c.keys[n % 3] + 12 * ((n / 3) % 3) - 12, 60 + random.Below(50));
        for (int n = 0; n < 8; ++n) {
            int key = c.keys[random.Below(3)] + 12;
            lead.Note(t + n * kBeat / 2, kBeat / 2 - 20, 1, key, 100);
            lead.Add(t + n * kBeat / 2 + kBeat / 4, {0xA1, static_cast<uint8_t>(key), 90});
        }
        for (int key : c.keys) pad.Note(t, kBar, 2, key, 70);
        for (int n = 0; n < 8; ++n) bass.Note(t + n * kBeat / 2, kBeat / 2 - 40, 3, c.root - 12 + (n % 2) * 12, 110);
        for (int n = 0; n < 4; ++n)
            for (int key : c.keys) saw.Note(t + n * kBeat + kBeat / 2, kBeat / 4, 4, key + 12, 80);
        if (bar % 4 == 0) fx.Note(t, 2 * kBar, 5, c.root + 24, 90);
        for (int sixteenth = 0; sixteenth < 16; ++sixteenth) {
            uint32_t at = t + sixteenth * kBeat / 4;
            drums.Note(at, 60, 9, 42, 50 + random.Below(50));
            if (sixteenth % 4 == 0) drums.Note(at, 60, 9, 36, 125);
            if (sixteenth % 8 == 4) drums.Note(at, 60, 9, 39, 110);
        }
    }
    return SongFile(150, "Synth", parts);
}

struct NamedSong {
    const char *file;  // ASCII
    midiw::Bytes (*make)();
};
inline const std::vector<NamedSong> &AllSongs() {
    static const std::vector<NamedSong> kSongs = {
        {"dense-band.mid", BandSong}, {"dense-orchestra.mid", OrchestraSong}, {"dense-synth.mid", SynthSong}};
    return kSongs;
}

}  // namespace gmsongs

#endif
