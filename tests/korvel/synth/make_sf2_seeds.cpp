// Writes the seed corpus of the SoundFont reader's fuzz target: small fonts
// that reach the reader's paths, intact and damaged.
//   make_sf2_seeds <folder>
#include <cstdio>
#include <string>

#include "testing/sf2_writer.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sf2_seeds <folder>\n");
        return 2;
    }
    using sf2w::Gen;
    sf2w::Font rich = sf2w::Simple();
    rich.smpl.clear(), rich.samples.clear();
    rich.AddSine("l", 48, 8), rich.AddSine("r", 48, 8), rich.AddSine("short", 8, 4);
    rich.samples[0].type = 4, rich.samples[0].link = 1, rich.samples[1].type = 2;
    rich.samples[2].loopStart = 20, rich.samples[2].loopEnd = 2;
    rich.instruments[0].zones = {{{Gen{48, 60}}, {{0x0502, 48, 960, 0, 0}}},
                                 {{sf2w::Range(43, 0, 60), sf2w::Range(44, 1, 127), Gen{54, 1}, Gen{53, 0}}},
                                 {{Gen{17, 500}, Gen{53, 1}, Gen{8, 9000}}},
                                 {{Gen{58, 200}, Gen{53, 2}}}};
    rich.presets.push_back({"Drums", 0, 128, {{{Gen{16, 100}}}, {{sf2w::Range(43, 35, 81), Gen{41, 0}}}}});
    sf2w::Font sf3 = sf2w::Simple();
    sf3.major = 3;

    const std::pair<const char *, sf2w::Bytes> seeds[] = {
        {"simple.sf2", sf2w::Simple().Build()},
        {"rich.sf2", rich.Build()},
        {"sf3.sf2", sf3.Build()},
        {"no-pmod.sf2", rich.Build([](const std::string &id, sf2w::Bytes &b) { return id != "pmod" || (b.clear(), true); })},
    };
    for (const auto &seed : seeds) {
        const std::string path = std::string(argv[1]) + "/" + seed.first;
        if (!sf2w::Save(path, seed.second)) {
            std::fprintf(stderr, "make_sf2_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
