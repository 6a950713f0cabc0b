// Writes the seed corpus of the MIDI reader's fuzz target: small files that
// reach every path of the reader, intact and damaged.
//   make_smf_seeds <folder>
#include <cstdio>
#include <string>
#include <vector>

#include "testing/midi_writer.h"

using midiw::Bytes;
using midiw::Track;

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_smf_seeds <folder>\n");
        return 2;
    }
    std::vector<std::pair<std::string, Bytes>> seeds;

    Track melody;
    melody.Name(0, "seed").Program(0, 0, 1).NoteOn(0, 0, 60, 100).Raw({10, 62, 90}).NoteOn(10, 0, 60, 0);
    melody.Controller(5, 0, 64, 127).Event(5, {0xE0, 0, 64}).Event(0, {0xD0, 30}).End(20);
    Track conductor;
    conductor.Tempo(0, 400000).Meta(0, 0x58, {4, 2, 24, 8}).Tempo(30, 1).Tempo(30, 0xFFFFFF).End(60);
    Track sysex;
    sysex.Sysex(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).Sysex(3, {0x43, 0x10}).Escape(2, {0x4C, 0xF7});
    sysex.Escape(1, {0xF8}).Escape(0, {}).NoteOn(1, 9, 36, 1).End();

    seeds.push_back({"format0.mid", midiw::File(0, 96, {melody})});
    seeds.push_back({"format1.mid", midiw::File(1, 480, {conductor, melody, sysex})});
    seeds.push_back({"format2.mid", midiw::File(2, 24, {melody, conductor, sysex})});
    seeds.push_back({"smpte25.mid", midiw::File(1, 0xE728, {conductor, melody})});
    seeds.push_back({"smpte2997.mid", midiw::File(0, 0xE364, {sysex})});
    seeds.push_back({"rmid.rmi", midiw::Rmid(midiw::File(1, 96, {conductor, melody}))});

    Bytes foreign = midiw::Header(1, 2, 96);
    midiw::Append(foreign, midiw::Chunk("XFIH", {1, 2, 3, 4}));
    midiw::Append(foreign, midiw::Chunk("MTrk", melody.data));
    midiw::Append(foreign, {0, 0, 7, 'M', 'T', 'r'});
    midiw::Append(foreign, midiw::Chunk("MTrk", sysex.data));
    seeds.push_back({"chunks.mid", foreign});

    Bytes runsPast = midiw::Header(0, 1, 96);
    Track cut = melody;
    cut.data.resize(cut.data.size() - 2);
    midiw::Append(runsPast, midiw::Chunk("MTrk", cut.data, 5000));
    seeds.push_back({"runs-past.mid", runsPast});

    Track longNumber;
    longNumber.NoteOn(0, 0, 60, 1).Raw({0x8F, 0xFF, 0xFF, 0x7F, 0x90, 60, 0}).Raw({0x81, 0x80, 0x80, 0x80, 0});
    seeds.push_back({"long-number.mid", midiw::File(0, 96, {longNumber})});
    seeds.push_back({"no-division.mid", midiw::File(0, 0, {melody})});

    Track looped = melody;
    looped.data.resize(looped.data.size() - 4);  // without its End of Track
    looped.Meta(0, 0x06, {'l', 'o', 'o', 'p', 'S', 't', 'a', 'r', 't'}).Controller(0, 0, 111, 0);
    looped.Controller(0, 0, 101, 0).Controller(0, 0, 100, 0).Controller(0, 0, 6, 12).Controller(0, 0, 99, 1);
    looped.Controller(0, 0, 98, 8).Controller(0, 0, 6, 70).Controller(0, 0, 7, 30).NoteOn(0, 0, 64, 90);
    looped.Meta(100, 0x06, {'L', 'O', 'O', 'P', 'E', 'N', 'D'}).End(10);
    seeds.push_back({"loop.mid", midiw::File(1, 96, {conductor, looped})});

    for (const auto &seed : seeds) {
        std::string path = std::string(argv[1]) + "/" + seed.first;
        if (!midiw::Save(path, seed.second)) {
            std::fprintf(stderr, "make_smf_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
