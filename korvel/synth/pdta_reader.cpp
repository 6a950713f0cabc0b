#include "korvel/synth/pdta_reader.h"

#include <algorithm>

namespace synth {

bool AmountAllowed(int oper, ZoneLevel level) {
    switch (oper) {
    case 14: case 18: case 19: case 20: case 42: case 49: case 55: case 59:
    case kInstrument: case kKeyRange: case kVelRange: case kSampleId:
        return false;
    case kStartAddrsOffset: case kEndAddrsOffset: case kStartloopAddrsOffset: case kEndloopAddrsOffset:
    case kStartAddrsCoarseOffset: case kEndAddrsCoarseOffset: case kStartloopAddrsCoarseOffset:
    case kEndloopAddrsCoarseOffset: case kKeynum: case kVelocity: case kSampleModes: case kExclusiveClass:
    case kOverridingRootKey:
        return level == ZoneLevel::Instrument;
    default:
        return oper >= 0 && oper < kEndOper;
    }
}

namespace {

// Sample type bits.  Bit 4 marks compressed (Ogg) samples in .sf3 files.
constexpr uint16_t kMono = 1, kRight = 2, kLeft = 4, kLinked = 8, kCompressed = 0x10, kRom = 0x8000;
constexpr uint8_t kDefaultRootKey = 60;
constexpr uint16_t kModLink = 0x8000;  // a modulator's destination is another modulator's amount

// A fixed 20-byte name field, up to its first NUL (the format does not
// promise one).
std::string Name20(const uint8_t *p) {
    size_t n = 0;
    while (n < 20 && p[n]) ++n;
    return std::string(reinterpret_cast<const char *>(p), n);
}

PdtaOutcome Damaged(std::string detail) { return {ReadError::Damaged, std::move(detail)}; }

// A sub-chunk seen as an array of fixed-size records.
struct Records {
    const uint8_t *data = nullptr;
    size_t count = 0;
    size_t size = 0;
    const uint8_t *operator[](size_t i) const { return data + i * size; }
};

bool Split(const std::vector<uint8_t> &bytes, size_t size, size_t minimum, const char *id, Records &out,
           PdtaOutcome &why) {
    if (bytes.size() % size != 0) {
        why = Damaged(std::string(id) + ": size " + std::to_string(bytes.size()) + " is not a multiple of " +
                      std::to_string(size));
        return false;
    }
    out = {bytes.data(), bytes.size() / size, size};
    if (out.count < minimum) {
        why = Damaged(std::string(id) + ": " + std::to_string(out.count) + " records, at least " +
                      std::to_string(minimum) + " needed");
        return false;
    }
    if (out.count > kMaxRecords) {
        why = Damaged(std::string(id) + ": more records than 16-bit indices reach");
        return false;
    }
    return true;
}

// Headers (phdr, inst) give each preset or instrument its bags as the run
// from its own bag index to the next header's; the terminal header closes
// the last run.  Runs must not go backwards or past the last bag, which
// itself only closes the run before it.
bool CheckHeaderBags(const Records &headers, size_t bagOffset, const Records &bags, const char *id,
                     PdtaOutcome &why) {
    for (size_t i = 0; i + 1 < headers.count; ++i) {
        if (Le16(headers[i] + bagOffset) > Le16(headers[i + 1] + bagOffset)) {
            why = Damaged(std::string(id) + ": bag indices go backwards at record " + std::to_string(i));
            return false;
        }
    }
    if (Le16(headers[headers.count - 1] + bagOffset) >= bags.count) {
        why = Damaged(std::string(id) + ": bag index past the bags");
        return false;
    }
    return true;
}

// The same for bags and their generators and modulators.  The terminal
// generator and modulator records are optional here: some writers leave an
// empty list without one.
bool CheckBagLists(const Records &bags, const Records &gens, const Records &mods, const char *id,
                   PdtaOutcome &why) {
    for (size_t j = 0; j + 1 < bags.count; ++j) {
        if (Le16(bags[j]) > Le16(bags[j + 1]) || Le16(bags[j] + 2) > Le16(bags[j + 1] + 2)) {
            why = Damaged(std::string(id) + ": generator or modulator indices go backwards at bag " +
                          std::to_string(j));
            return false;
        }
    }
    const uint8_t *last = bags[bags.count - 1];
    if (Le16(last) > gens.count || Le16(last + 2) > mods.count) {
        why = Damaged(std::string(id) + ": generator or modulator index past its list");
        return false;
    }
    return true;
}

// The fields stay as stored, but a destination must be something the
// synthesizer can index: a generator, or a link (bit 15) to another
// modulator of the zone, by its place in the file's list.  Others are
// dropped, links to them too, and the links left are renumbered.
void KeepIndexableModulators(std::vector<Modulator> &mods) {
    const size_t count = mods.size();
    std::vector<char> keep(count);
    for (size_t i = 0; i < count; ++i) {
        const uint16_t dest = mods[i].destination;
        keep[i] = (dest & kModLink) ? (dest & ~kModLink) < count : dest < kEndOper;
    }
    for (bool changed = true; changed;) {  // a link to a dropped link is dropped too
        changed = false;
        for (size_t i = 0; i < count; ++i) {
            if (keep[i] && (mods[i].destination & kModLink) && !keep[mods[i].destination & ~kModLink])
                keep[i] = 0, changed = true;
        }
    }
    std::vector<uint16_t> place(count);
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i)
        if (keep[i]) place[i] = static_cast<uint16_t>(kept++);
    kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!keep[i]) continue;
        Modulator m = mods[i];
        if (m.destination & kModLink) m.destination = kModLink | place[m.destination & ~kModLink];
        mods[kept++] = m;
    }
    mods.resize(kept);
}

struct ZoneLists {
    const Records &gens;
    const Records &mods;
};

// One zone from its bag: keyRange counts only as the first generator,
// velRange only after at most a keyRange, and the link (instrument or
// sampleID) ends the zone; whatever follows it is ignored.  Returns whether
// the zone has a link.
bool ReadZone(const ZoneLists &lists, const uint8_t *bag, const uint8_t *nextBag, ZoneLevel level, Zone &zone) {
    const uint16_t linkOper = level == ZoneLevel::Preset ? kInstrument : kSampleId;
    const size_t g0 = Le16(bag), g1 = Le16(nextBag);
    bool linked = false;
    for (size_t g = g0; g < g1 && !linked; ++g) {
        const uint8_t *r = lists.gens[g];
        const uint16_t oper = Le16(r);
        const size_t position = g - g0;
        if (oper == kKeyRange) {
            if (position == 0) zone.keyLo = r[2], zone.keyHi = r[3];
        } else if (oper == kVelRange) {
            if (position == 0 || (position == 1 && Le16(lists.gens[g0]) == kKeyRange))
                zone.velLo = r[2], zone.velHi = r[3];
        } else if (oper == linkOper) {
            zone.link = Le16(r + 2);
            linked = true;
        } else if (AmountAllowed(oper, level)) {
            zone.Set(oper, static_cast<int16_t>(Le16(r + 2)));
        }
    }
    for (size_t m = Le16(bag + 2), end = Le16(nextBag + 2); m < end; ++m) {
        const uint8_t *r = lists.mods[m];
        Modulator mod;
        mod.source = Le16(r);
        mod.destination = Le16(r + 2);
        mod.amount = static_cast<int16_t>(Le16(r + 4));
        mod.amountSource = Le16(r + 6);
        mod.transform = Le16(r + 8);
        zone.modulators.push_back(mod);
    }
    KeepIndexableModulators(zone.modulators);
    zone.keyHi = std::min<uint8_t>(zone.keyHi, 127);
    zone.velHi = std::min<uint8_t>(zone.velHi, 127);
    return linked;
}

// Reads the zones of one preset or instrument.  A first zone without a
// link is the global zone; a later one is dropped, as is a zone whose link
// the callback refuses (it maps the file's index to the model's, or -1) or
// whose ranges cover nothing.
template <typename Owner, typename MapLink>
void ReadZones(const ZoneLists &lists, const Records &bags, size_t b0, size_t b1, ZoneLevel level, Owner &owner,
               MapLink mapLink) {
    for (size_t b = b0; b < b1; ++b) {
        Zone zone;
        const bool linked = ReadZone(lists, bags[b], bags[b + 1], level, zone);
        if (!linked) {
            if (b == b0) {
                owner.hasGlobal = true;
                owner.global = std::move(zone);
            }
            continue;
        }
        zone.link = mapLink(zone.link);
        if (zone.link < 0 || zone.keyLo > zone.keyHi || zone.velLo > zone.velHi) continue;
        owner.zones.push_back(std::move(zone));
    }
}

// The sample headers, checked against the sample data.  Samples that cannot
// be played (ROM, empty, outside the data, no rate) are left out; remap
// gives each file index its model index or -1.
PdtaOutcome ReadSamples(const Records &shdr, uint64_t smplFrames, SoundFont &font, std::vector<int> &remap) {
    const size_t count = shdr.count - 1;  // the last is the terminal record
    remap.assign(count, -1);
    for (size_t i = 0; i < count; ++i) {
        if (Le16(shdr[i] + 44) & kCompressed)
            return {ReadError::Compressed, "shdr: sample " + std::to_string(i) + " is compressed"};
    }
    std::vector<uint16_t> fileLinks;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *r = shdr[i];
        Sample s;
        s.name = Name20(r);
        s.start = Le32(r + 20);
        uint64_t end = std::min<uint64_t>(Le32(r + 24), smplFrames);
        uint32_t loopStart = Le32(r + 28), loopEnd = Le32(r + 32);
        s.rate = Le32(r + 36);
        s.originalKey = r[40] <= 127 ? r[40] : kDefaultRootKey;  // 255 marks an unpitched sample
        s.correction = static_cast<int8_t>(r[41]);
        const uint16_t type = Le16(r + 44);
        if ((type & kRom) || s.rate == 0 || s.start >= end) continue;
        s.end = static_cast<uint32_t>(end);
        s.loopUsable = loopStart >= s.start && loopEnd <= s.end && loopStart < loopEnd;
        s.loopStart = std::clamp(loopStart, s.start, s.end);
        s.loopEnd = std::clamp(loopEnd, s.loopStart, s.end);
        const uint16_t kind = type & 0x0F;
        s.type = (kind == kRight || kind == kLeft || kind == kLinked) ? kind : kMono;
        remap[i] = static_cast<int>(font.samples.size());
        font.samples.push_back(std::move(s));
        fileLinks.push_back(Le16(r + 42));
    }
    // A stereo partner that is missing or was left out makes the sample mono.
    for (size_t k = 0; k < font.samples.size(); ++k) {
        Sample &s = font.samples[k];
        if (s.type == kMono) continue;
        const uint16_t link = fileLinks[k];
        if (link < count && remap[link] >= 0) {
            s.link = static_cast<uint16_t>(remap[link]);
        } else {
            s.type = kMono;
            s.link = 0;
        }
    }
    return {};
}

}  // namespace

PdtaOutcome ReadPdta(const PdtaChunks &chunks, uint64_t smplFrames, SoundFont &font) {
    PdtaOutcome why;
    Records phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr;
    if (!Split(chunks.shdr, kShdrSize, 1, "shdr", shdr, why) || !Split(chunks.phdr, kPhdrSize, 2, "phdr", phdr, why) ||
        !Split(chunks.pbag, kBagSize, 1, "pbag", pbag, why) || !Split(chunks.pmod, kModSize, 0, "pmod", pmod, why) ||
        !Split(chunks.pgen, kGenSize, 0, "pgen", pgen, why) || !Split(chunks.inst, kInstSize, 2, "inst", inst, why) ||
        !Split(chunks.ibag, kBagSize, 1, "ibag", ibag, why) || !Split(chunks.imod, kModSize, 0, "imod", imod, why) ||
        !Split(chunks.igen, kGenSize, 0, "igen", igen, why))
        return why;
    // Samples first: a compressed sample makes this an .sf3, whatever else is wrong.
    std::vector<int> sampleRemap;
    why = ReadSamples(shdr, smplFrames, font, sampleRemap);
    if (why.error != ReadError::None) return why;
    if (!CheckHeaderBags(phdr, 24, pbag, "phdr", why) || !CheckHeaderBags(inst, 20, ibag, "inst", why) ||
        !CheckBagLists(pbag, pgen, pmod, "pbag", why) || !CheckBagLists(ibag, igen, imod, "ibag", why))
        return why;

    const ZoneLists instLists{igen, imod};
    font.instruments.resize(inst.count - 1);
    for (size_t i = 0; i + 1 < inst.count; ++i) {
        Instrument &instrument = font.instruments[i];
        instrument.name = Name20(inst[i]);
        ReadZones(instLists, ibag, Le16(inst[i] + 20), Le16(inst[i + 1] + 20), ZoneLevel::Instrument, instrument,
                  [&](int link) { return link < static_cast<int>(sampleRemap.size()) ? sampleRemap[link] : -1; });
    }

    const ZoneLists presetLists{pgen, pmod};
    const int instruments = static_cast<int>(font.instruments.size());
    font.presets.resize(phdr.count - 1);
    bool playable = false;
    for (size_t i = 0; i + 1 < phdr.count; ++i) {
        Preset &preset = font.presets[i];
        const uint8_t *r = phdr[i];
        preset.name = Name20(r);
        preset.program = Le16(r + 20);
        preset.bank = Le16(r + 22);
        ReadZones(presetLists, pbag, Le16(r + 24), Le16(phdr[i + 1] + 24), ZoneLevel::Preset, preset,
                  [&](int link) { return link < instruments ? link : -1; });
        for (const Zone &zone : preset.zones) playable |= !font.instruments[zone.link].zones.empty();
    }
    if (!playable) return Damaged("no preset reaches a playable sample");
    return {};
}

}  // namespace synth
