// The benchmark's songs: dense, tempo-change-heavy, sysex-heavy and a
// stress case, each drawn from a seeded generator so that every run plays
// the same notes; the file written from the plan and the schedule taken
// from it.
#include "bench/engine_timing_songs.h"

#include <algorithm>
#include <cstddef>

namespace timing {
namespace {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint32_t Below(uint32_t n) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>((state_ >> 33) % n);
    }

private:
    uint64_t state_;
};

void SortTrack(std::vector<Planned> &track) {
    std::stable_sort(track.begin(), track.end(), [](const Planned &a, const Planned &b) { return a.tick < b.tick; });
}

Bytes Note(bool on, int channel, int key, int velocity) {
    return {static_cast<uint8_t>((on ? 0x90 : 0x80) | channel), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)};
}

}  // namespace

// The file: every track written with delta times, running status where the
// status repeats.
Bytes Write(const Plan &plan) {
    std::vector<midiw::Track> tracks;
    for (const std::vector<Planned> &events : plan.tracks) {
        midiw::Track t;
        uint64_t tick = 0;
        uint8_t running = 0;
        for (const Planned &e : events) {
            uint32_t delta = static_cast<uint32_t>(e.tick - tick);
            tick = e.tick;
            if (e.tempo) {
                t.Tempo(delta, e.tempo);
            } else if (e.sysex) {
                t.Sysex(delta, Bytes(e.message.begin() + 1, e.message.end()));
            } else if (e.escape) {
                t.Escape(delta, e.message);
            } else if (e.message[0] == running) {
                midiw::PutVarLen(t.data, delta);
                t.data.insert(t.data.end(), e.message.begin() + 1, e.message.end());
            } else {
                midiw::PutVarLen(t.data, delta);
                t.data.insert(t.data.end(), e.message.begin(), e.message.end());
                running = e.message[0];
            }
        }
        t.End(0);
        tracks.push_back(t);
    }
    return midiw::File(1, plan.division, tracks);
}

// The intended schedule: tracks merged by tick, ties in track order; each
// time the exact sum of tempo * ticks over the segments before it, divided
// once at the end.
std::vector<Expected> Schedule(const Plan &plan) {
    struct Merged {
        uint64_t tick;
        const Planned *event;
    };
    std::vector<Merged> merged;
    for (const std::vector<Planned> &track : plan.tracks)
        for (const Planned &e : track) merged.push_back({e.tick, &e});
    std::stable_sort(merged.begin(), merged.end(), [](const Merged &a, const Merged &b) { return a.tick < b.tick; });
    std::vector<Expected> out;
    unsigned __int128 sum = 0;
    uint64_t tempo = 500000, tick = 0;
    for (const Merged &m : merged) {
        sum += static_cast<unsigned __int128>(tempo) * (m.tick - tick);
        tick = m.tick;
        if (m.event->tempo)
            tempo = m.event->tempo;
        else
            out.push_back({static_cast<int64_t>(sum / plan.division), m.event->message});
    }
    return out;
}

// Sixteen channels as a dense arrangement has them: chords and drums on a
// 32nd-note grid, four humanised voices, and controller and pitch-bend
// streams.  About 700 messages a second at some 150 moments.
Plan DenseSong() {
    Plan plan{"dense multi-track", 480, {}, true};
    Random random(1);
    const uint64_t kLength = 22400;  // 20 s at 140 BPM
    plan.tracks.push_back({{0, {}, 428571}});
    for (int channel = 0; channel < 16; ++channel) {
        std::vector<Planned> track;
        track.push_back({0, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(channel * 5)}});
        bool humanised = channel >= 8 && channel < 12;
        int voices = channel < 4 ? 3 : 1;  // chords on the first four
        const uint64_t grid[] = {60, 120, 120, 240};
        uint64_t tick = 0;
        while (tick < kLength) {
            uint64_t at = humanised ? tick + random.Below(15) : tick;
            uint64_t length = humanised ? 20 + random.Below(200) : grid[random.Below(4)] - 10;
            for (int v = 0; v < voices; ++v) {
                int key = channel == 9 ? 35 + static_cast<int>(random.Below(12)) : 36 + static_cast<int>(random.Below(60));
                track.push_back({at, Note(true, channel, key, 40 + random.Below(80))});
                track.push_back({at + length, Note(false, channel, key, 64)});
            }
            tick += channel == 9 ? 60 : grid[random.Below(4)];
        }
        if (channel < 4)
            for (uint64_t at = 0; at < kLength; at += 30)
                track.push_back({at, {static_cast<uint8_t>(0xB0 | channel), 11, static_cast<uint8_t>(random.Below(128))}});
        if (channel == 4)
            for (uint64_t at = 0; at < kLength; at += 15)
                track.push_back({at, {0xE4, static_cast<uint8_t>(random.Below(128)), static_cast<uint8_t>(random.Below(128))}});
        SortTrack(track);
        plan.tracks.push_back(track);
    }
    return plan;
}

// Sixteen humanised channels where nearly every message has a moment of
// its own, some 340 a second: a stress case beyond what songs do, shown to
// mark the limit (each moment costs one wake and one log write).
Plan StressSong() {
    Plan plan{"stress, no target", 480, {}, false};
    Random random(4);
    const uint64_t kLength = 22400;
    const uint64_t gaps[] = {30, 60, 90, 120, 240};
    plan.tracks.push_back({{0, {}, 428571}});
    for (int channel = 0; channel < 16; ++channel) {
        std::vector<Planned> track;
        for (uint64_t tick = random.Below(40); tick < kLength; tick += gaps[random.Below(5)] + random.Below(8)) {
            int key = 36 + static_cast<int>(random.Below(60));
            track.push_back({tick, Note(true, channel, key, 40 + random.Below(80))});
            track.push_back({tick + 20 + random.Below(380), Note(false, channel, key, 64)});
        }
        if (channel < 4)
            for (uint64_t tick = 5; tick < kLength; tick += 37)
                track.push_back({tick, {static_cast<uint8_t>(0xB0 | channel), 11, static_cast<uint8_t>(random.Below(128))}});
        if (channel == 4)
            for (uint64_t tick = 3; tick < kLength; tick += 23)
                track.push_back({tick, {0xE4, static_cast<uint8_t>(random.Below(128)), static_cast<uint8_t>(random.Below(128))}});
        SortTrack(track);
        plan.tracks.push_back(track);
    }
    return plan;
}

// A new tempo every 5 ticks, between 40 and 300 BPM, under four voices.
Plan TempoSong() {
    Plan plan{"tempo-change-heavy", 96, {}, true};
    Random random(2);
    const uint64_t kLength = 2300;
    std::vector<Planned> conductor;
    for (uint64_t tick = 0; tick < kLength; tick += 5) conductor.push_back({tick, {}, 200000 + random.Below(1300000)});
    plan.tracks.push_back(conductor);
    const uint64_t gaps[] = {3, 7, 11, 17};
    for (int channel = 0; channel < 4; ++channel) {
        std::vector<Planned> track;
        for (uint64_t tick = channel; tick < kLength; tick += gaps[random.Below(4)]) {
            int key = 48 + static_cast<int>(random.Below(36));
            track.push_back({tick, Note(true, channel, key, 90)});
            track.push_back({tick + 1 + random.Below(20), Note(false, channel, key, 64)});
        }
        SortTrack(track);
        plan.tracks.push_back(track);
    }
    return plan;
}

// Sysex of 8 to 260 bytes about every 20 ms, some split into an F0 packet
// and an F7 continuation, under two voices.
Plan SysexSong() {
    Plan plan{"sysex-heavy", 480, {}, true};
    Random random(3);
    const uint64_t kLength = 19200;  // 20 s at 120 BPM
    std::vector<Planned> sysex;
    for (uint64_t tick = 0; tick < kLength; tick += 12 + random.Below(15)) {
        Bytes message = {0xF0, 0x41, 0x10, 0x42, 0x12};
        size_t size = 8 + random.Below(252);
        while (message.size() < size - 1) message.push_back(static_cast<uint8_t>(random.Below(128)));
        message.push_back(0xF7);
        if (random.Below(4) == 0) {
            size_t cut = message.size() / 2;
            Planned head{tick, Bytes(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(cut))};
            head.sysex = true;
            Planned rest{tick + 2, Bytes(message.begin() + static_cast<std::ptrdiff_t>(cut), message.end())};
            rest.escape = true;
            sysex.push_back(head);
            sysex.push_back(rest);
        } else {
            Planned whole{tick, message};
            whole.sysex = true;
            sysex.push_back(whole);
        }
    }
    plan.tracks.push_back(sysex);
    for (int channel = 0; channel < 2; ++channel) {
        std::vector<Planned> track;
        for (uint64_t tick = 7 * channel; tick < kLength; tick += 40 + random.Below(200)) {
            int key = 40 + static_cast<int>(random.Below(40));
            track.push_back({tick, Note(true, channel, key, 100)});
            track.push_back({tick + 30 + random.Below(300), Note(false, channel, key, 64)});
        }
        SortTrack(track);
        plan.tracks.push_back(track);
    }
    return plan;
}

}  // namespace timing
