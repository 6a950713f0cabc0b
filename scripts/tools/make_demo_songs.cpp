// Writes the demo songs of `make run` into a folder: short pieces composed
// here, so the demo carries no third-party music.
//
//   make-demo-songs FOLDER [WINDOWS_FOLDER BEST_FILE]
//
// With the last two arguments it also writes, when BEST_FILE does not exist
// yet, a best file holding one best with every song, "すべてのMIDIファイル",
// as the best settings dialog makes it for a MIDI folder (WINDOWS_FOLDER is
// FOLDER as Windows sees it).  Then make run plays at once.
//
// File names are Japanese on purpose (one holds the 0x5C trail byte of "ソ"
// in Shift-JIS), so the demo exercises double-byte paths.
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "utils/ansi_text.h"
#include "store/best_record.h"
#include "testing/midi_writer.h"

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

// UTF-8 (the Linux file names) to code page 932 (what the program stores).
std::string ToCp932(const std::string &utf8) {
    iconv_t convert = iconv_open("CP932", "UTF-8");
    std::string out(utf8.size() * 2 + 1, '\0');
    char *in = const_cast<char *>(utf8.data());
    char *to = &out[0];
    size_t inLeft = utf8.size(), outLeft = out.size();
    iconv(convert, &in, &inLeft, &to, &outLeft);
    iconv_close(convert);
    out.resize(out.size() - outLeft);
    return out;
}

// Songs of one folder as the program lists them: by name, case-insensitively.
std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end(),
              [](const std::string &a, const std::string &b) { return ansi::CompareNoCase(a.c_str(), b.c_str()) < 0; });
    return names;
}

// The best of every song in folder-first order: the folder's marker, the
// sub-folder's songs, then the folder's own songs.
bool WriteDemoBest(const std::string &windowsFolder, const std::string &bestFile,
                   const std::vector<std::string> &pieceNames, const std::vector<std::string> &songNames) {
    struct stat existing;
    if (stat(bestFile.c_str(), &existing) == 0) return true;  // never replace the user's bests
    std::string root = ToCp932(windowsFolder);
    best::BestRecord record = best::BestRecord::Default();
    size_t cursor = record.FirstEntry();
    bool ok = record.InsertEntry(&cursor, (root + "/").c_str());
    for (const std::string &name : Sorted(pieceNames))
        ok = ok && record.InsertEntry(&cursor, (root + ToCp932("\\小品集\\") + name).c_str());
    for (const std::string &name : Sorted(songNames))
        ok = ok && record.InsertEntry(&cursor, (root + "\\" + name).c_str());
    std::vector<unsigned char> file;
    ok = ok && best::MergeBestFile(nullptr, 0, record, 2, &file) == best::MergeResult::Merged;
    return ok && midiw::Save(bestFile, midiw::Bytes(file.begin(), file.end()));
}

bool Write(const std::string &path, const midiw::Bytes &bytes) {
    if (midiw::Save(path, bytes)) return true;
    std::fprintf(stderr, "make-demo-songs: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: make-demo-songs FOLDER [WINDOWS_FOLDER BEST_FILE]\n");
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
    if (ok && argc == 4) {
        ok = WriteDemoBest(argv[2], argv[3], {ToCp932("春の風.mid"), ToCp932("夜のオルゴール.mid")},
                           {ToCp932("01 朝の散歩.mid"), ToCp932("02 雨だれ.mid"), ToCp932("03 小さなワルツ.mid"),
                            ToCp932("04 ソーダ・ビート.mid")});
        if (!ok) std::fprintf(stderr, "make-demo-songs: cannot write %s\n", argv[3]);
    }
    return ok ? 0 : 1;
}
