// Writes the demo songs of `make run` into a folder: short pieces composed
// here, so the demo carries no third-party music.
//
//   make-demo-songs FOLDER
//
// File names are Japanese on purpose (one holds the 0x5C trail byte of "ソ"
// in Shift-JIS), so the demo exercises double-byte paths.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/midi_writer.h"

namespace {

constexpr uint16_t kDivision = 480;  // ticks per quarter note

struct Note {
    int pitch;     // MIDI note number; -1 is a rest
    double beats;  // length in quarter notes
};

// One voice: the notes in order on a channel, each sounding for most of its
// length so repeated notes are heard as separate.
midiw::Track Voice(int channel, int program, int velocity, const std::vector<Note> &notes,
                   const std::vector<std::vector<int>> &chords = {}) {
    midiw::Track t;
    t.Program(0, channel, program);
    uint32_t pending = 0;
    size_t chordIndex = 0;
    for (const Note &n : notes) {
        uint32_t length = static_cast<uint32_t>(n.beats * kDivision);
        if (n.pitch < 0) {
            pending += length;
            continue;
        }
        uint32_t sounding = length * 9 / 10;
        std::vector<int> pitches = {n.pitch};
        if (!chords.empty()) pitches = chords[chordIndex++ % chords.size()];
        for (size_t i = 0; i < pitches.size(); ++i) t.NoteOn(i ? 0 : pending, channel, pitches[i], velocity);
        for (size_t i = 0; i < pitches.size(); ++i) t.NoteOff(i ? 0 : sounding, channel, pitches[i]);
        pending = length - sounding;
    }
    t.End(pending);
    return t;
}

midiw::Track Conductor(int bpm, int numerator, const std::string &title) {
    midiw::Track t;
    t.Name(0, title);
    t.Meta(0, 0x58, {static_cast<uint8_t>(numerator), 2, 24, 8});
    t.Tempo(0, 60000000 / bpm);
    t.End();
    return t;
}

std::vector<Note> Repeat(const std::vector<Note> &part, int times) {
    std::vector<Note> all;
    for (int i = 0; i < times; ++i) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// 朝の散歩: an easy walk in C major.
midiw::Bytes MorningWalk() {
    std::vector<Note> melody = {
        {64, 1}, {65, 1}, {67, 2},   {67, 1}, {69, 1}, {67, 2},   {65, 1}, {64, 1}, {62, 1}, {60, 1},
        {62, 4}, {64, 1}, {65, 1},   {67, 2}, {72, 1}, {71, 1},   {69, 2}, {67, 1}, {65, 1}, {64, 1},
        {62, 1}, {60, 4}};
    std::vector<Note> bass = Repeat({{36, 2}, {43, 2}, {41, 2}, {43, 2}}, 4);
    return midiw::File(1, kDivision,
                       {Conductor(100, 4, "Morning walk"), Voice(0, 0, 92, Repeat(melody, 2)),
                        Voice(1, 32, 80, Repeat(bass, 2))});
}

// 雨だれ: rain on the window, A minor arpeggios over a soft pad.
midiw::Bytes Raindrops() {
    std::vector<Note> arpeggio;
    const int roots[] = {57, 53, 48, 52};
    for (int bar = 0; bar < 8; ++bar) {
        int r = roots[bar % 4];
        for (int step : {0, 7, 12, 15, 12, 7, 3, 7}) arpeggio.push_back({r + step + (bar % 4 == 2 ? 1 : 0), 0.5});
    }
    std::vector<Note> pad = Repeat({{0, 4}}, 8);
    std::vector<std::vector<int>> chords = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {52, 56, 59}};
    return midiw::File(1, kDivision,
                       {Conductor(72, 4, "Raindrops"), Voice(0, 0, 70, arpeggio),
                        Voice(1, 48, 50, pad, chords)});
}

// 小さなワルツ: a small waltz for flute and piano.
midiw::Bytes LittleWaltz() {
    std::vector<Note> flute = {
        {76, 2}, {74, 1}, {72, 3}, {74, 1}, {76, 1}, {77, 1}, {79, 3},
        {77, 2}, {76, 1}, {74, 3}, {72, 1}, {74, 1}, {71, 1}, {72, 3}};
    std::vector<Note> oomPah;
    const int basses[] = {48, 43, 50, 43, 41, 43, 43, 48};
    for (int b : basses) oomPah.insert(oomPah.end(), {{b, 1}, {b + 16, 1}, {b + 19, 1}});
    return midiw::File(1, kDivision,
                       {Conductor(132, 3, "Little waltz"), Voice(0, 73, 88, Repeat(flute, 2)),
                        Voice(1, 0, 64, Repeat(oomPah, 2))});
}

// ソーダ・ビート: a fizzy groove with drums, synth bass and a lead.
midiw::Bytes SodaBeat() {
    std::vector<Note> drums;
    for (int bar = 0; bar < 8; ++bar)
        for (int step : {36, 42, 38, 42, 36, 36, 38, 42}) drums.push_back({step, 0.5});
    std::vector<Note> bass = Repeat({{40, 1}, {40, 0.5}, {52, 0.5}, {43, 1}, {45, 1}}, 8);
    std::vector<Note> lead = {{-1, 8}, {76, 1.5}, {79, 0.5}, {81, 1}, {79, 1}, {76, 2}, {74, 2},
                              {76, 1.5}, {74, 0.5}, {72, 1}, {71, 1}, {69, 4}, {-1, 4}};
    return midiw::File(1, kDivision,
                       {Conductor(120, 4, "Soda beat"), Voice(9, 0, 100, drums), Voice(1, 38, 96, bass),
                        Voice(2, 80, 72, lead)});
}

// 春の風: a music-box tune.
midiw::Bytes SpringBreeze() {
    return midiw::Tune({72, 76, 79, 84, 83, 79, 76, 74, 72, 74, 76, 72}, 360, 0, 10, kDivision);
}

// 夜のオルゴール: a slower celesta lullaby.
midiw::Bytes NightMusicBox() {
    return midiw::Tune({67, 64, 60, 64, 67, 72, 71, 67, 65, 62, 59, 60}, 480, 0, 8, kDivision);
}

bool Write(const std::string &path, const midiw::Bytes &bytes) {
    if (midiw::Save(path, bytes)) return true;
    std::fprintf(stderr, "make-demo-songs: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-demo-songs FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    std::string pieces = folder + "/小品集";
    mkdir(folder.c_str(), 0755);
    mkdir(pieces.c_str(), 0755);
    bool ok = Write(folder + "/01 朝の散歩.mid", MorningWalk()) &&
              Write(folder + "/02 雨だれ.mid", Raindrops()) &&
              Write(folder + "/03 小さなワルツ.mid", LittleWaltz()) &&
              Write(folder + "/04 ソーダ・ビート.mid", SodaBeat()) &&
              Write(pieces + "/春の風.mid", SpringBreeze()) &&
              Write(pieces + "/夜のオルゴール.mid", NightMusicBox());
    return ok ? 0 : 1;
}
