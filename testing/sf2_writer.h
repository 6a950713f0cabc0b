// Builds SoundFont 2 files in memory, for tests, fuzz seeds and benchmarks.
// Plain C++.  Records are written exactly as given (generators in the order
// listed, links and positions unchecked), and an edit hook sees every chunk
// before it is wrapped, so damaged files are made on purpose too.
#ifndef TIVORN_TESTING_SF2_WRITER_H
#define TIVORN_TESTING_SF2_WRITER_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace sf2w {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kInstrumentGen = 41, kSampleIdGen = 53;
constexpr uint32_t kGapFrames = 46;  // the zeros the format puts after every sample

inline void Put16(Bytes &out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void Put32(Bytes &out, uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }
inline void PutName(Bytes &out, const std::string &name) {
    for (size_t i = 0; i < 20; ++i) out.push_back(i < name.size() ? uint8_t(name[i]) : 0);
}
// id and the size it claims, for a payload that is elsewhere or missing.
inline Bytes ChunkHeader(const std::string &id, uint32_t size) {
    Bytes out(id.begin(), id.begin() + 4);
    Put32(out, size);
    return out;
}
// id, size, payload, and the pad byte of an odd size.
inline Bytes Chunk(const std::string &id, const Bytes &payload) {
    Bytes out = ChunkHeader(id, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() & 1) out.push_back(0);
    return out;
}
inline Bytes List(const std::string &type, const Bytes &chunks) {
    Bytes payload(type.begin(), type.end());
    payload.insert(payload.end(), chunks.begin(), chunks.end());
    return Chunk("LIST", payload);
}

struct Gen {
    uint16_t oper = 0, amount = 0;
};
inline Gen Range(uint16_t oper, int lo, int hi) { return {oper, uint16_t(lo | (hi << 8))}; }
struct Mod {
    uint16_t source = 0, destination = 0;
    int16_t amount = 0;
    uint16_t amountSource = 0, transform = 0;
};
struct Zone {
    Zone(std::vector<Gen> g = {}, std::vector<Mod> m = {}) : gens(std::move(g)), mods(std::move(m)) {}
    std::vector<Gen> gens;  // the link (instrument or sampleID) included, usually last
    std::vector<Mod> mods;
};
struct Instrument {
    std::string name;
    std::vector<Zone> zones;
};
struct Preset {
    std::string name;
    uint16_t program = 0, bank = 0;
    std::vector<Zone> zones;
};
struct Sample {
    std::string name;
    uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, rate = 44100;
    uint8_t key = 60;
    int8_t correction = 0;
    uint16_t link = 0, type = 1;
};

struct Font {
    uint16_t major = 2, minor = 4;
    std::string name = "Test font";
    std::vector<int16_t> smpl;
    std::vector<Sample> samples;
    std::vector<Instrument> instruments;
    std::vector<Preset> presets;

    // A sine of `period` frames, `frames` long, then the zero gap; the
    // header loops over whole periods inside it.  Returns its index.
    int AddSine(const std::string &sampleName, uint32_t frames, uint32_t period, int16_t amplitude = 16000) {
        Sample s{sampleName, static_cast<uint32_t>(smpl.size())};
        for (uint32_t i = 0; i < frames; ++i)
            smpl.push_back(static_cast<int16_t>(amplitude * std::sin(6.283185307179586 * i / period)));
        s.end = s.start + frames;
        s.loopStart = s.start + period;
        s.loopEnd = s.loopStart + period * ((frames - period) / period);
        smpl.insert(smpl.end(), kGapFrames, 0);
        samples.push_back(s);
        return static_cast<int>(samples.size() - 1);
    }

    // Sees each chunk's id and payload before it is wrapped, the lists too
    // ("INFO", "sdta", "pdta": their sub-chunks, wrapped); false leaves
    // the chunk out.
    using Edit = std::function<bool(const std::string &id, Bytes &payload)>;

    Bytes Build(const Edit &edit = nullptr) const {
        auto add = [&](Bytes &into, const std::string &id, Bytes payload, bool list = false) {
            if (edit && !edit(id, payload)) return;
            const Bytes c = list ? List(id, payload) : Chunk(id, payload);
            into.insert(into.end(), c.begin(), c.end());
        };
        Bytes info, sdta, pdta, body{'s', 'f', 'b', 'k'};
        Bytes ifil, inam(name.begin(), name.end()), data;
        Put16(ifil, major), Put16(ifil, minor);
        inam.push_back(0);
        add(info, "ifil", ifil);
        add(info, "INAM", inam);
        for (int16_t v : smpl) Put16(data, static_cast<uint16_t>(v));
        add(sdta, "smpl", data);

        // Each zone's bag, generators and modulators, and the terminal
        // bag, generator and modulator records after them.
        auto zones = [](const std::vector<std::vector<Zone>> &owners, Bytes &bag, Bytes &mod, Bytes &gen,
                        std::vector<uint32_t> &firstBags) {
            uint32_t bags = 0, gens = 0, mods = 0;
            for (const std::vector<Zone> &list : owners) {
                firstBags.push_back(bags);
                for (const Zone &z : list) {
                    Put16(bag, gens), Put16(bag, mods);
                    for (const Gen &g : z.gens) Put16(gen, g.oper), Put16(gen, g.amount);
                    for (const Mod &m : z.mods)
                        for (uint16_t v : {m.source, m.destination, uint16_t(m.amount), m.amountSource, m.transform})
                            Put16(mod, v);
                    ++bags, gens += static_cast<uint32_t>(z.gens.size()), mods += static_cast<uint32_t>(z.mods.size());
                }
            }
            firstBags.push_back(bags);
            Put16(bag, gens), Put16(bag, mods);
            mod.insert(mod.end(), 10, 0);
            gen.insert(gen.end(), 4, 0);
        };
        Bytes phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
        std::vector<std::vector<Zone>> owners;
        std::vector<uint32_t> firstBags;
        for (const Preset &p : presets) owners.push_back(p.zones);
        zones(owners, pbag, pmod, pgen, firstBags);
        for (size_t i = 0; i <= presets.size(); ++i) {
            const bool last = i == presets.size();
            PutName(phdr, last ? "EOP" : presets[i].name);
            Put16(phdr, last ? 0 : presets[i].program), Put16(phdr, last ? 0 : presets[i].bank);
            Put16(phdr, firstBags[i]);
            phdr.insert(phdr.end(), 12, 0);  // library, genre, morphology
        }
        owners.clear(), firstBags.clear();
        for (const Instrument &i : instruments) owners.push_back(i.zones);
        zones(owners, ibag, imod, igen, firstBags);
        for (size_t i = 0; i <= instruments.size(); ++i) {
            PutName(inst, i == instruments.size() ? "EOI" : instruments[i].name);
            Put16(inst, firstBags[i]);
        }
        for (const Sample &s : samples) {
            PutName(shdr, s.name);
            for (uint32_t v : {s.start, s.end, s.loopStart, s.loopEnd, s.rate}) Put32(shdr, v);
            shdr.insert(shdr.end(), {s.key, uint8_t(s.correction)});
            Put16(shdr, s.link), Put16(shdr, s.type);
        }
        PutName(shdr, "EOS");
        shdr.insert(shdr.end(), 26, 0);
        const std::pair<const char *, Bytes *> records[] = {{"phdr", &phdr}, {"pbag", &pbag}, {"pmod", &pmod},
                                                            {"pgen", &pgen}, {"inst", &inst}, {"ibag", &ibag},
                                                            {"imod", &imod}, {"igen", &igen}, {"shdr", &shdr}};
        for (const auto &r : records) add(pdta, r.first, *r.second);
        add(body, "INFO", info, true);
        add(body, "sdta", sdta, true);
        add(body, "pdta", pdta, true);
        return Chunk("RIFF", body);
    }
};

// The smallest playable font: a looped sine (sample 0) in instrument 0,
// played by preset 0:0 over the whole keyboard.
inline Font Simple() {
    Font font;
    font.AddSine("sine", 400, 40);
    font.instruments.push_back({"sine", {{{{kSampleIdGen, 0}}, {}}}});
    font.presets.push_back({"Sine", 0, 0, {{{{kInstrumentGen, 0}}, {}}}});
    return font;
}

inline bool Save(const std::string &path, const Bytes &bytes) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace sf2w

#endif
