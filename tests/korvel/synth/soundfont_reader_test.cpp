// The SoundFont reader: what a good file gives, which damage it skips and
// which it refuses, and files far larger than their samples should be.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "korvel/synth/file_source.h"
#include "korvel/synth/soundfont.h"
#include "testing/sf2_writer.h"
#include "testing/soundfont_check.h"

using namespace synth;
using sf2w::Bytes;

namespace {

ReadResult Load(const Bytes &bytes) {
    MemorySource source(bytes.data(), bytes.size());
    ReadResult result = ReadSoundFont(source);
    if (result.font) {
        EXPECT_EQ(sf2w::ModelFault(*result.font), "");
    }
    EXPECT_EQ(result.font != nullptr, result.error == ReadError::None);
    return result;
}
sf2w::Gen G(uint16_t oper, int amount) { return {oper, static_cast<uint16_t>(amount)}; }
sf2w::Gen Keys(int lo, int hi) { return sf2w::Range(kKeyRange, lo, hi); }
sf2w::Gen Vels(int lo, int hi) { return sf2w::Range(kVelRange, lo, hi); }
uint64_t Bit(int gen) { return uint64_t{1} << gen; }

// Where a chunk's payload starts in a built file.
size_t PayloadOf(const Bytes &file, const char *id) {
    return static_cast<size_t>(std::search(file.begin(), file.end(), id, id + 4) - file.begin()) + 8;
}
void Patch16(Bytes &b, size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
void Patch32(Bytes &b, size_t at, uint32_t v) { Patch16(b, at, v & 0xFFFF), Patch16(b, at + 2, v >> 16); }

TEST(SoundFontReader, GoodFontRoundTrips) {
    sf2w::Font f;
    f.name = "GM odd";  // with its NUL an odd size: INFO is padded
    const int left = f.AddSine("left", 400, 40), right = f.AddSine("right", 400, 40);
    const int mono = f.AddSine("mono", 200, 20, -9000);
    f.samples[left].type = 4, f.samples[left].link = right;
    f.samples[right].type = 2, f.samples[right].link = left;
    f.samples[mono].rate = 22050, f.samples[mono].key = 72, f.samples[mono].correction = -5;
    const sf2w::Mod mod{0x0502, kInitialAttenuation, 960, 0x0102, 2};
    f.instruments = {{"pair",
                      {{{G(kInitialAttenuation, 60)}, {mod}},
                       {{Keys(0, 63), Vels(10, 100), G(kPan, -500), G(kOverridingRootKey, 64), G(kSampleId, left)}},
                       {{Keys(0, 63), G(kSampleId, right)}}}},
                     {"mono", {{{G(kSampleId, mono)}}}}};
    f.presets = {{"Pair", 0, 0,
                  {{{G(kReverbEffectsSend, 200)}},
                   {{Keys(0, 63), G(kInstrument, 0)}},
                   {{Keys(64, 127), G(kCoarseTune, -12), G(kInstrument, 1)}}}},
                 {"Drums", 0, 128, {{{G(kInstrument, 1)}}}}};

    ReadResult r = Load(f.Build());
    ASSERT_EQ(r.error, ReadError::None) << r.detail;
    const SoundFont &font = *r.font;
    EXPECT_EQ(font.name, "GM odd");
    ASSERT_TRUE(font.FindPreset(0, 0) && font.FindPreset(128, 0) && font.FindPreset(128, 0)->name == "Drums");
    const Preset &pair = *font.FindPreset(0, 0);
    ASSERT_TRUE(pair.hasGlobal && pair.zones.size() == 2);
    EXPECT_TRUE(pair.global.set == Bit(kReverbEffectsSend) && pair.global.amount[kReverbEffectsSend] == 200);
    EXPECT_TRUE(pair.zones[0].keyHi == 63 && pair.zones[1].keyLo == 64 && pair.zones[1].link == 1);
    EXPECT_EQ(pair.zones[1].amount[kCoarseTune], -12);

    const Instrument &inst = font.instruments[0];
    ASSERT_TRUE(inst.hasGlobal && inst.global.modulators.size() == 1 && inst.zones.size() == 2);
    EXPECT_EQ(inst.global.amount[kInitialAttenuation], 60);
    const Modulator &m = inst.global.modulators[0];
    EXPECT_TRUE(m.source == mod.source && m.destination == mod.destination && m.amount == mod.amount &&
                m.amountSource == mod.amountSource && m.transform == mod.transform);
    const Zone &z = inst.zones[0];
    EXPECT_TRUE(z.keyLo == 0 && z.keyHi == 63 && z.velLo == 10 && z.velHi == 100 && z.link == left);
    EXPECT_TRUE(z.amount[kPan] == -500 && z.amount[kOverridingRootKey] == 64);
    EXPECT_EQ(inst.zones[1].link, right);

    ASSERT_EQ(font.samples.size(), 3u);
    EXPECT_TRUE(font.samples[left].type == 4 && font.samples[left].link == right);
    EXPECT_TRUE(font.samples[right].type == 2 && font.samples[right].link == left);
    const Sample &s = font.samples[mono];
    EXPECT_TRUE(s.rate == 22050 && s.originalKey == 72 && s.correction == -5 && s.loopUsable);
    EXPECT_TRUE(s.start == f.samples[mono].start && s.loopEnd == f.samples[mono].loopEnd);
    ASSERT_EQ(font.data.size(), f.smpl.size());
    EXPECT_TRUE(std::equal(f.smpl.begin(), f.smpl.end(), font.data.begin()));
}

TEST(SoundFontReader, ZonesFollowTheGeneratorListRules) {
    sf2w::Font f = sf2w::Simple();
    f.instruments[0].zones = {
        {{G(kPan, 100)}},  // first and without a link: the global zone
        // keyRange only counts first, velRange only after it; nothing counts after the link
        {{G(kPan, 7), Vels(5, 6), Keys(10, 20), G(kSampleId, 0), G(kCoarseTune, 3)}},
        {{Keys(30, 40), Vels(50, 60), G(kInstrument, 0), G(14, 5), G(kSampleId, 0)}},
        {{G(kPan, 9)}},                       // a later zone without a link: dropped
        // modulators whose destination is no generator, or no modulator of the zone: dropped
        {{G(kSampleId, 0)}, {{2, kEndOper, 1}, {2, 0x8004, 2}, {2, 0x8009, 3}, {2, 0x8002, 4}, {2, kPan, 5}}},
        {{Vels(70, 80), G(kSampleId, 0)}},    // velRange may come first
        {{Keys(90, 80), G(kSampleId, 0)}},    // covers no key: dropped
        {{G(kSampleId, 5)}},                  // no such sample: dropped
        {{Keys(100, 200), G(kSampleId, 0)}},  // clipped to the keyboard
    };
    f.presets[0].zones = {
        {{G(kSampleModes, 1), G(kOverridingRootKey, 60), G(kStartAddrsOffset, 5), G(kExclusiveClass, 1),
          G(kSampleId, 0), G(kFineTune, 4), G(kPan, 1), G(kPan, -2), G(kInstrument, 0)}},
        {{G(kInstrument, 9)}},
    };
    ReadResult r = Load(f.Build());
    ASSERT_EQ(r.error, ReadError::None) << r.detail;
    const Instrument &inst = r.font->instruments[0];
    ASSERT_TRUE(inst.hasGlobal && inst.global.amount[kPan] == 100 && inst.zones.size() == 5);
    const std::vector<Modulator> &mods = inst.zones[2].modulators;
    ASSERT_EQ(mods.size(), 2u);  // the link to the link to nowhere goes too; the links left are renumbered
    EXPECT_TRUE(mods[0].amount == 2 && mods[0].destination == 0x8001 && mods[1].amount == 5);
    const Zone &late = inst.zones[0], &ranged = inst.zones[1];
    EXPECT_TRUE(late.keyLo == 0 && late.keyHi == 127 && late.velLo == 0 && late.velHi == 127);
    EXPECT_EQ(late.set, Bit(kPan));
    EXPECT_TRUE(ranged.keyLo == 30 && ranged.keyHi == 40 && ranged.velLo == 50 && ranged.velHi == 60);
    EXPECT_EQ(ranged.set, 0u);
    EXPECT_TRUE(inst.zones[3].velLo == 70 && inst.zones[3].velHi == 80);
    EXPECT_TRUE(inst.zones[4].keyLo == 100 && inst.zones[4].keyHi == 127);

    const Preset &preset = r.font->presets[0];
    ASSERT_TRUE(!preset.hasGlobal && preset.zones.size() == 1);
    EXPECT_EQ(preset.zones[0].set, Bit(kFineTune) | Bit(kPan));  // no instrument-only generators
    EXPECT_EQ(preset.zones[0].amount[kPan], -2);                 // the later of two
}

TEST(SoundFontReader, SamplesThatCannotPlayAreLeftOutAndBadLoopsFlagged) {
    sf2w::Font f = sf2w::Simple();
    const uint32_t frames = static_cast<uint32_t>(f.smpl.size());
    sf2w::Sample empty = f.samples[0], rom = empty, outside = empty, noRate = empty, cut = empty,
                 backwards = empty, orphan = empty, whole = empty;
    empty.end = empty.start;
    rom.type = 0x8001;
    outside.start = frames + 10, outside.end = frames + 500;
    noRate.rate = 0;
    cut.end = 0x7FFFFFFF, cut.loopEnd = 0x7FFFFFF0;
    backwards.loopStart = 300, backwards.loopEnd = 100;
    orphan.type = 4, orphan.link = 1, orphan.key = 255;  // its partner is the empty one
    whole.loopStart = whole.start, whole.loopEnd = whole.end;
    f.samples.insert(f.samples.end(), {empty, rom, outside, noRate, cut, backwards, orphan, whole});
    f.instruments[0].zones.clear();
    for (int i = 0; i < 9; ++i) f.instruments[0].zones.push_back({{G(kSampleId, i)}});

    ReadResult r = Load(f.Build());
    ASSERT_EQ(r.error, ReadError::None) << r.detail;
    const std::vector<Sample> &s = r.font->samples;
    const std::vector<Zone> &zones = r.font->instruments[0].zones;
    ASSERT_TRUE(s.size() == 5 && zones.size() == 5);  // the first, cut, backwards, orphan, whole
    for (int i = 0; i < 5; ++i) EXPECT_EQ(zones[i].link, i);
    EXPECT_TRUE(s[1].end == frames && !s[1].loopUsable);
    EXPECT_FALSE(s[2].loopUsable);
    EXPECT_TRUE(s[3].type == 1 && s[3].originalKey == 60);
    EXPECT_TRUE(s[0].loopUsable && s[4].loopUsable);
}

TEST(SoundFontReader, DamageIsRefusedWithItsReason) {
    using Make = std::function<Bytes()>;
    auto font = [](std::function<void(sf2w::Font &)> change) {
        sf2w::Font f = sf2w::Simple();
        change(f);
        return f.Build();
    };
    auto edited = [](sf2w::Font::Edit edit) { return sf2w::Simple().Build(edit); };
    auto drop = [&](std::string id) { return edited([id](const std::string &c, Bytes &) { return c != id; }); };
    auto resize = [&](std::string id, size_t size) {
        return edited([=](const std::string &c, Bytes &b) { return c != id || (b.resize(size), true); });
    };
    auto patched = [](Bytes b, const char *id, int at, uint32_t v) {  // at: from the chunk's payload
        return Patch16(b, static_cast<size_t>(static_cast<int>(PayloadOf(b, id)) + at), v), b;
    };
    const struct {
        ReadError error;
        const char *detail;
        Make make;
    } cases[] = {
        {ReadError::Compressed, "version 3", [&] { return font([](sf2w::Font &f) { f.major = 3; }); }},
        {ReadError::Compressed, "compressed", [&] { return font([](sf2w::Font &f) { f.samples[0].type = 0x11; }); }},
        {ReadError::NotSoundFont, "version 1", [&] { return font([](sf2w::Font &f) { f.major = 1; }); }},
        {ReadError::Damaged, "playable", [&] { return font([](sf2w::Font &f) { f.samples[0].type = 0x8001; }); }},
        {ReadError::Damaged, "ifil", [&] { return drop("ifil"); }},
        {ReadError::Damaged, "no INFO", [&] { return drop("INFO"); }},
        {ReadError::Damaged, "no sdta", [&] { return drop("sdta"); }},
        {ReadError::Damaged, "no pdta", [&] { return drop("pdta"); }},
        {ReadError::Damaged, "no shdr", [&] { return drop("shdr"); }},
        {ReadError::Damaged, "multiple of 38", [&] { return resize("phdr", 77); }},
        {ReadError::Damaged, "phdr: 1 records", [&] { return resize("phdr", 38); }},
        {ReadError::Damaged, "16-bit", [&] { return resize("igen", 65538 * 4); }},
        {ReadError::Damaged, "backwards at record 0",
         [&] { return patched(font([](sf2w::Font &f) { f.presets.push_back(f.presets[0]); }), "phdr", 24, 2); }},
        {ReadError::Damaged, "past the bags", [&] { return patched(sf2w::Simple().Build(), "phdr", 38 + 24, 7); }},
        {ReadError::Damaged, "past its list", [&] { return patched(sf2w::Simple().Build(), "ibag", 4, 9); }},
        {ReadError::Damaged, "backwards at bag", [&] { return patched(sf2w::Simple().Build(), "pbag", 2, 1); }},
        {ReadError::Damaged, "runs past", [&] { return patched(sf2w::Simple().Build(), "phdr", -2, 0x7FFF); }},
        {ReadError::NotSoundFont, "sfbk", [&] { return patched(sf2w::Simple().Build(), "sfbk", -8, 'W'); }},
        {ReadError::NotSoundFont, "shorter", [] { return Bytes(11, 0); }},
    };
    for (const auto &c : cases) {
        ReadResult r = Load(c.make());
        EXPECT_EQ(r.error, c.error) << c.detail << ": " << r.detail;
        EXPECT_NE(r.detail.find(c.detail), std::string::npos) << c.detail << ": " << r.detail;
        EXPECT_TRUE(std::all_of(r.detail.begin(), r.detail.end(), [](char ch) { return ch >= 0x20 && ch < 0x7F; }));
    }
}

TEST(SoundFontReader, EveryCutShortCopyIsRefused) {
    const Bytes whole = sf2w::Simple().Build();
    for (size_t n = 0; n < whole.size(); ++n) {
        Bytes cut(whole.begin(), whole.begin() + n);
        EXPECT_NE(Load(cut).error, ReadError::None) << n;
        if (n < 8) continue;
        Patch32(cut, 4, static_cast<uint32_t>(n - 8));  // and with a RIFF size that agrees
        EXPECT_NE(Load(cut).error, ReadError::None) << n;
    }
}

// Gigabytes with no memory behind them: `head` at the start, `tail` at
// tailAt, zeros between.  Counts the reads and keeps the largest.
struct SparseSource : ByteSource {
    Bytes head, tail;
    uint64_t tailAt = 0, size = 0;
    size_t largest = 0, reads = 0;
    bool broken = false;
    uint64_t Size() const override { return size; }
    bool Read(uint64_t offset, void *into, size_t n) override {
        if (broken || offset > size || n > size - offset) return false;
        largest = std::max(largest, n), ++reads;
        for (size_t i = 0; i < n; ++i) {
            const uint64_t at = offset + i;
            static_cast<uint8_t *>(into)[i] = at < head.size()                            ? head[at]
                                              : at >= tailAt && at - tailAt < tail.size() ? tail[at - tailAt]
                                                                                          : 0;
        }
        return true;
    }
};

TEST(SoundFontReader, HugeFilesAreBoundedByTheirSize) {
    // 2 GB of samples, the records after them: refused before a sample is read.
    Bytes info, pdta;
    sf2w::Simple().Build([&](const std::string &id, Bytes &payload) {
        if (id == "INFO") info = payload;
        if (id == "pdta") pdta = payload;
        return true;
    });
    SparseSource huge;
    huge.head = sf2w::Chunk("RIFF", {'s', 'f', 'b', 'k'});  // its size is set below
    Bytes infoList = sf2w::List("INFO", info), samples = sf2w::ChunkHeader("smpl", 0x80000000u);
    Bytes sdta = sf2w::ChunkHeader("LIST", 12 + 0x80000000u);
    sdta.insert(sdta.end(), {'s', 'd', 't', 'a'});
    for (const Bytes *part : {&infoList, &sdta, &samples})
        huge.head.insert(huge.head.end(), part->begin(), part->end());
    huge.tail = sf2w::List("pdta", pdta);
    huge.tailAt = huge.head.size() + 0x80000000u;
    huge.size = huge.tailAt + huge.tail.size();
    Patch32(huge.head, 4, static_cast<uint32_t>(huge.size - 8));
    ReadResult r = ReadSoundFont(huge);
    EXPECT_EQ(r.error, ReadError::TooLarge) << r.detail;
    EXPECT_LT(huge.largest, 1u << 20);

    // A RIFF size far past the font, in 3 GB of zeros: the font loads
    // without a walk through every zero.
    SparseSource padded;
    padded.head = sf2w::Simple().Build();
    Patch32(padded.head, 4, 0xFFFFFFF0u);
    padded.size = uint64_t{3} << 30;
    r = ReadSoundFont(padded);
    EXPECT_EQ(r.error, ReadError::None) << r.detail;
    EXPECT_LT(padded.reads, 5000u);
    padded.broken = true;
    EXPECT_EQ(ReadSoundFont(padded).error, ReadError::Unreadable);
}

TEST(SoundFontReader, FileSourceTellsAMissingFileFromABadOne) {
    const std::string dir = ::testing::TempDir(), good = dir + "tivorn-good.sf2", text = dir + "tivorn-text.sf2";
    const Bytes bytes = sf2w::Simple().Build();
    ASSERT_TRUE(sf2w::Save(good, bytes) && sf2w::Save(text, Bytes(100, 'x')));
    FileSource source;
    ASSERT_EQ(source.Open(good.c_str()), FileOpen::Opened);
    uint8_t byte;
    EXPECT_TRUE(source.Size() == bytes.size() && !source.Read(source.Size(), &byte, 1));
    EXPECT_EQ(ReadSoundFont(source).error, ReadError::None);
    ASSERT_EQ(source.Open(text.c_str()), FileOpen::Opened);
    EXPECT_EQ(ReadSoundFont(source).error, ReadError::NotSoundFont);
    EXPECT_EQ(source.Open((dir + "tivorn-absent.sf2").c_str()), FileOpen::NotFound);
    std::remove(good.c_str());
    std::remove(text.c_str());

    // The General MIDI SoundFont the program ships, where this machine has it.
#ifdef _WIN32
    const char *gm = "Z:\\usr\\share\\sounds\\sf2\\TimGM6mb.sf2";
#else
    const char *gm = "/usr/share/sounds/sf2/TimGM6mb.sf2";
#endif
    if (source.Open(gm) != FileOpen::Opened) GTEST_SKIP() << "no " << gm;
    ReadResult r = ReadSoundFont(source);
    ASSERT_EQ(r.error, ReadError::None) << r.detail;
    EXPECT_EQ(sf2w::ModelFault(*r.font), "");
    int melodic = 0;
    for (int program = 0; program < 128; ++program) melodic += r.font->FindPreset(0, program) != nullptr;
    EXPECT_TRUE(melodic == 128 && r.font->FindPreset(128, 0) && r.font->presets.size() < 1000);
}

}  // namespace
