// Writes the dense General MIDI songs of gm_songs.h into a folder, for the
// synthesizer's figures in make bench (scripts/synth_bench.sh).
//
//   synth-bench-songs FOLDER
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "bench/gm_songs.h"

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
    return 0;
}
