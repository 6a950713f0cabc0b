// Writes the dense General MIDI songs of gm_songs.h into a folder, for the
// synthesizer's figures in make bench (scripts/synth_bench.sh), and in its
// sub-folder level/ the probe that sets fluidsynth's gain there: a SoundFont
// of one zone, a looped sine of half full scale at attenuation 0, and a song that
// holds one note of it at velocity 127, volume and expression 127, panned
// hard left (so no pan law plays a part).
//
//   synth-bench-songs FOLDER
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "bench/gm_songs.h"
#include "testing/sf2_writer.h"

namespace {

bool WriteLevelProbe(const std::string &folder) {
    mkdir(folder.c_str(), 0755);
    sf2w::Font font;
    font.name = "Level probe";
    int sample = font.AddSine("sine", 44100, 100, 16384);  // 441 Hz, half of full scale
    font.samples[sample].key = 69;
    const uint16_t kSampleModes = 54;  // 1: loops on
    font.instruments.push_back({"sine", {sf2w::Zone({{kSampleModes, 1}, {sf2w::kSampleIdGen, uint16_t(sample)}})}});
    font.presets.push_back({"sine", 0, 0, {sf2w::Zone({{sf2w::kInstrumentGen, 0}})}});
    sf2w::Bytes bytes = font.Build();
    midiw::Track t;
    t.Program(0, 0, 0).Event(0, {0xB0, 7, 127}).Event(0, {0xB0, 11, 127}).Event(0, {0xB0, 10, 0});
    t.NoteOn(0, 0, 69, 127).NoteOff(960, 0, 69).End(0);
    return midiw::Save(folder + "/probe.sf2", midiw::Bytes(bytes.begin(), bytes.end())) &&
           midiw::Save(folder + "/probe.mid", midiw::File(0, 480, {t}));
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: synth-bench-songs FOLDER\n");
        return 2;
    }
    mkdir(argv[1], 0755);
    for (const gmsongs::NamedSong &song : gmsongs::AllSongs()) {
        std::string path = std::string(argv[1]) + "/" + song.file;
        if (!midiw::Save(path, song.make())) {
            std::fprintf(stderr, "synth-bench-songs: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (!WriteLevelProbe(std::string(argv[1]) + "/level")) {
        std::fprintf(stderr, "synth-bench-songs: cannot write the level probe in %s/level\n", argv[1]);
        return 1;
    }
    return 0;
}
