// The synthesizer rendering a SoundFont made here: a looped sine whose
// pitch, level and envelope can be measured in what comes out.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "korvel/synth_output/song_render.h"
#include "korvel/synth/synthesizer.h"

namespace {

using namespace synth;

constexpr int kRate = 44100;
constexpr int kPeriod = 100;  // samples per cycle: 441 Hz at the root key
constexpr int kRoot = 69;
constexpr double kToneHz = 441.0;
constexpr double kPi = 3.141592653589793;

// Timecents of a time in seconds.
int16_t Tc(double seconds) { return static_cast<int16_t>(std::lround(1200.0 * std::log2(seconds))); }

// Preset 0:0 plays the sine through one zone the test may change; bank 128
// holds a drum kit whose keys 42 and 46 share exclusive class 1, key 50
// an empty sample and key 51 one whose loop ends before it starts.
std::shared_ptr<SoundFont> MakeFont(const std::function<void(Zone &)> &tune = {},
                                    const std::function<void(Zone &)> &tuneKit = {}) {
    auto font = std::make_shared<SoundFont>();
    const int cycles = 20;
    std::vector<int16_t> frames;
    for (int i = 0; i < cycles * kPeriod; ++i)
        frames.push_back(static_cast<int16_t>(std::lround(30000 * std::sin(2 * kPi * i / kPeriod))));
    font->data = SampleData(std::move(frames));
    Sample sine;
    sine.end = cycles * kPeriod;
    sine.loopStart = 10 * kPeriod;
    sine.loopEnd = cycles * kPeriod;
    sine.originalKey = kRoot;
    Sample empty = sine;
    empty.end = empty.start = empty.loopStart = empty.loopEnd = 5;
    Sample badLoop = sine;
    badLoop.loopStart = 1500;
    badLoop.loopEnd = 1500;
    badLoop.loopUsable = false;
    font->samples = {sine, empty, badLoop};

    Zone tone;
    tone.link = 0;
    tone.Set(kSampleModes, 1);
    if (tune) tune(tone);
    Instrument melodic{"sine", false, {}, {tone}};
    Instrument kit{"kit", false, {}, {}};
    for (int key : {42, 46, 50, 51}) {
        Zone z;
        z.keyLo = z.keyHi = static_cast<uint8_t>(key);
        z.link = key == 50 ? 1 : key == 51 ? 2 : 0;
        z.Set(kSampleModes, 1);
        if (key == 42 || key == 46) z.Set(kExclusiveClass, 1);
        if (tuneKit) tuneKit(z);
        kit.zones.push_back(z);
    }
    font->instruments = {melodic, kit};
    Zone toInstrument0, toInstrument1;
    toInstrument0.link = 0;
    toInstrument1.link = 1;
    font->presets.push_back(Preset{"sine", 0, 0, false, {}, {toInstrument0}});
    font->presets.push_back(Preset{"kit", 0, 128, false, {}, {toInstrument1}});
    return font;
}

struct Rig {
    explicit Rig(std::shared_ptr<SoundFont> font = MakeFont()) : synth(std::move(font), kRate, Effects::Off) {}

    void Send(std::initializer_list<uint8_t> bytes) {
        std::vector<uint8_t> m(bytes);
        synth.Send(m.data(), m.size());
    }
    // Renders seconds and keeps the left channel.
    void Run(double seconds) {
        std::vector<float> block(2 * 256);
        for (int left = static_cast<int>(seconds * kRate); left > 0; left -= 256) {
            int n = std::min(left, 256);
            synth.Render(block.data(), static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                out.push_back(block[2 * i]);
                right.push_back(block[2 * i + 1]);
                peak = std::max(peak, std::fabs(block[2 * i]));
            }
            maxVoices = std::max(maxVoices, synth.ActiveVoices());
        }
    }
    // RMS of the left channel over four cycles of the tone around a time.
    double Level(double at, const std::vector<float> &of) const {
        size_t from = static_cast<size_t>(at * kRate) - 2 * kPeriod, to = from + 4 * kPeriod;
        double sum = 0;
        for (size_t i = from; i < to; ++i) sum += double{of[i]} * of[i];
        return std::sqrt(sum / static_cast<double>(to - from));
    }
    double Level(double at) const { return Level(at, out); }
    // Frequency from the rising zero crossings between two times.
    double Frequency(double from, double to) const {
        double first = -1, last = -1;
        int crossings = 0;
        for (size_t i = static_cast<size_t>(from * kRate); i + 1 < static_cast<size_t>(to * kRate); ++i) {
            if (out[i] < 0 && out[i + 1] >= 0) {
                double t = i + out[i] / (out[i] - out[i + 1]);
                if (first < 0) first = t;
                else ++crossings;
                last = t;
            }
        }
        return crossings * kRate / (last - first);
    }

    Synthesizer synth;
    std::vector<float> out, right;
    float peak = 0;
    int maxVoices = 0;
};

double Db(double ratio) { return 20 * std::log10(ratio); }

TEST(Synthesizer, PitchFollowsKeyRootKeyTuningAndBendRange) {
    Rig plain;
    plain.Send({0x90, kRoot, 127});
    plain.Send({0x90, kRoot + 12, 127});  // an octave up, on the same channel
    plain.Run(0.3);
    Rig alone;
    alone.Send({0x90, kRoot + 12, 127});
    alone.Run(0.3);
    EXPECT_NEAR(alone.Frequency(0.05, 0.3), 2 * kToneHz, 0.5);

    // Root key 57 and 50 cents up: the key 69 sounds an octave and a quarter tone higher.
    Rig tuned(MakeFont([](Zone &z) {
        z.Set(kOverridingRootKey, 57);
        z.Set(kFineTune, 50);
    }));
    tuned.Send({0x90, kRoot, 127});
    tuned.Run(0.3);
    EXPECT_NEAR(tuned.Frequency(0.05, 0.3), 2 * kToneHz * std::exp2(50 / 1200.0), 1.0);

    // RPN 0 set to 24 semitones, then the wheel at both extremes.
    for (int wheel : {0, 16383}) {
        Rig bent;
        bent.Send({0xB0, 101, 0});
        bent.Send({0xB0, 100, 0});
        bent.Send({0xB0, 6, 24});
        bent.Send({0xE0, static_cast<uint8_t>(wheel & 127), static_cast<uint8_t>(wheel >> 7)});
        bent.Send({0x90, kRoot, 127});
        bent.Run(0.3);
        double semitones = 24.0 * (wheel - 8192) / 8192.0;
        EXPECT_NEAR(bent.Frequency(0.05, 0.3) / (kToneHz * std::exp2(semitones / 12)), 1.0, 0.002) << wheel;
        EXPECT_LE(bent.peak, 1.0f);
    }
}

TEST(Synthesizer, VolumeEnvelopeKeepsItsTimesLevelsAndKeyScaling) {
    // Delay 20 ms, attack 50 ms, hold 40 ms, decay 1 s (for the full 100 dB)
    // to a sustain 20 dB down, release 0.5 s (for 100 dB).
    auto envelope = [](Zone &z) {
        z.Set(kDelayVolEnv, Tc(0.02));
        z.Set(kAttackVolEnv, Tc(0.05));
        z.Set(kHoldVolEnv, Tc(0.04));
        z.Set(kDecayVolEnv, Tc(1.0));
        z.Set(kSustainVolEnv, 200);
        z.Set(kReleaseVolEnv, Tc(0.5));
        z.Set(kKeynumToVolEnvDecay, 100);  // per key below 60: an octave up halves it
    };
    Rig rig(MakeFont(envelope));
    rig.Send({0x90, 60, 127});
    rig.Run(0.6);
    rig.Send({0x80, 60, 0});
    rig.Run(0.5);
    double peak = rig.Level(0.09);
    EXPECT_LT(rig.Level(0.012), peak * 0.01);                    // still in the delay
    EXPECT_NEAR(rig.Level(0.045) / peak, 0.5, 0.06);             // halfway up a linear attack
    EXPECT_NEAR(Db(rig.Level(0.105) / peak), 0.0, 0.3);          // held at the top
    EXPECT_NEAR(Db(rig.Level(0.21) / peak), -10.0, 0.6);         // a tenth of the way down
    EXPECT_NEAR(Db(rig.Level(0.5) / peak), -20.0, 0.5);          // sustain
    EXPECT_NEAR(Db(rig.Level(0.7) / peak), -40.0, 1.0);          // 100 ms into the release
    EXPECT_EQ(rig.synth.ActiveVoices(), 0);

    // Key 72: the decay takes half as long (keynum-to-decay 100 tc per key).
    Rig high(MakeFont(envelope));
    high.Send({0x90, 72, 127});
    high.Run(0.4);
    double highPeak = high.Level(0.09);
    EXPECT_NEAR(Db(high.Level(0.16) / highPeak), -10.0, 0.6);
    EXPECT_NEAR(Db(high.Level(0.3) / highPeak), -20.0, 0.5);
}

TEST(Synthesizer, ModulationEnvelopeKeepsTimeWhileNothingListens) {
    // It falls from full to nothing over a second; the mod wheel sends it
    // to pitch (up to an octave) only halfway through.
    Rig rig(MakeFont([](Zone &z) {
        z.Set(kDecayModEnv, Tc(1.0));
        z.Set(kSustainModEnv, 1000);
        z.modulators.push_back(Modulator{0x81, kModEnvToPitch, 1200, 0, 0});
    }));
    rig.Send({0x90, kRoot, 127});
    rig.Run(0.5);
    rig.Send({0xB0, 1, 127});
    rig.Run(0.2);
    double expected = kToneHz * std::exp2(127.0 / 128 * 0.4);  // 0.6 s in: 40 % of the octave left
    EXPECT_NEAR(rig.Frequency(0.55, 0.65), expected, expected * 0.03);
}

TEST(Synthesizer, DefaultModulatorsApplyVelocityVolumeExpressionAndPan) {
    auto levelOf = [](std::initializer_list<std::initializer_list<uint8_t>> setup, uint8_t velocity) {
        Rig rig;
        for (auto m : setup) rig.Send(m);
        rig.Send({0x90, kRoot, velocity});
        rig.Run(0.2);
        return std::make_pair(rig.Level(0.15), rig.Level(0.15, rig.right));
    };
    double full = levelOf({}, 127).first;
    // Velocity, volume and expression each scale the amplitude as their square.
    EXPECT_NEAR(Db(levelOf({}, 64).first / full), 40 * std::log10(64.0 / 127), 0.3);
    EXPECT_NEAR(Db(levelOf({{0xB0, 7, 50}}, 127).first / full), 40 * std::log10(50.0 / 100), 0.3);
    EXPECT_NEAR(Db(levelOf({{0xB0, 11, 64}}, 127).first / full), 40 * std::log10(64.0 / 127), 0.3);
    // Pan: the middle is equal on both sides, 0 is hard left.
    auto middle = levelOf({}, 127);
    EXPECT_NEAR(middle.first, middle.second, middle.first * 0.01);
    auto left = levelOf({{0xB0, 10, 0}}, 127);
    EXPECT_NEAR(Db(left.first / middle.first), 3.0, 0.2);
    EXPECT_LT(left.second, left.first * 0.001);
}

TEST(Synthesizer, TenThousandNotesStayWithinTheVoicesAndNeverClipHard) {
    Rig rig;
    for (int ch = 0; ch < 16; ++ch) rig.Send({static_cast<uint8_t>(0xB0 | ch), 64, 127});  // sustain pedal down
    for (int n = 0; n < 10000; ++n) {
        int ch = n % 16 == 9 ? 0 : n % 16;
        rig.Send({static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(n % 128), 127});
        if (n % 500 == 0) rig.Run(0.005);
    }
    rig.Run(0.1);
    EXPECT_LE(rig.maxVoices, kMaxVoices);
    EXPECT_LE(rig.peak, 1.0f);
    for (int ch = 0; ch < 16; ++ch) {
        rig.Send({static_cast<uint8_t>(0xB0 | ch), 123, 0});
        rig.Send({static_cast<uint8_t>(0xB0 | ch), 64, 0});
    }
    rig.Run(0.2);
    EXPECT_EQ(rig.synth.ActiveVoices(), 0);
}

// The largest step between neighbouring samples in [from, to) seconds.
float LargestStep(const std::vector<float> &out, double from, double to) {
    float step = 0;
    for (size_t i = static_cast<size_t>(from * kRate) + 1; i < static_cast<size_t>(to * kRate); ++i)
        step = std::max(step, std::fabs(out[i] - out[i - 1]));
    return step;
}

TEST(Synthesizer, CutVoicesFadeWithoutAClick) {
    // All Sound Off, a stolen voice and an exclusive class all end a voice
    // at once; each fades over a few milliseconds instead of stepping to 0.
    Rig rig;
    rig.Send({0x90, kRoot, 127});
    rig.Run(0.1013);  // not on a cycle or block boundary
    rig.Send({0xB0, 120, 0});
    rig.Run(0.05);
    EXPECT_EQ(rig.synth.ActiveVoices(), 0);
    EXPECT_LT(LargestStep(rig.out, 0.1, 0.12), LargestStep(rig.out, 0.05, 0.1) * 1.2f);

    // Every voice busy with quiet notes (channel 10 left out): a loud one
    // takes the place of one of them.
    Rig full;
    for (int n = 0; n < kMaxVoices; ++n) {
        int ch = n % 15 < 9 ? n % 15 : n % 15 + 1;
        full.Send({static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(30 + n / 15), 1});
    }
    full.Run(0.0507);
    EXPECT_EQ(full.synth.ActiveVoices(), kMaxVoices);
    full.Send({0x99, 50, 100});  // an empty sample steals no sounding voice
    full.Run(0.01);
    EXPECT_EQ(full.synth.ActiveVoices(), kMaxVoices);
    full.Send({0x90, kRoot, 127});
    full.Run(0.05);
    EXPECT_EQ(full.synth.ActiveVoices(), kMaxVoices);
    EXPECT_GT(full.Level(0.09), 0.1);
}

TEST(Synthesizer, DrumKitHonoursExclusiveClassesAndSurvivesBadSamples) {
    Rig rig;
    rig.Send({0x99, 46, 100});  // open hi-hat
    rig.Run(0.05);
    EXPECT_EQ(rig.synth.ActiveVoices(), 1);
    rig.Send({0x99, 42, 100});  // the closed one cuts it
    rig.Run(0.05);
    EXPECT_EQ(rig.synth.ActiveVoices(), 1);
    rig.Send({0x99, 50, 100});  // an empty sample starts nothing
    rig.Run(0.01);
    EXPECT_EQ(rig.synth.ActiveVoices(), 1);
    // A loop that ends where it starts plays as none: the sample runs out.
    rig.Send({0x99, 51, 100});
    rig.Run(0.02);
    EXPECT_EQ(rig.synth.ActiveVoices(), 2);
    rig.Run(0.2);
    EXPECT_EQ(rig.synth.ActiveVoices(), 1);
    // Loop offsets far outside the data are held inside it.
    Rig wild(MakeFont([](Zone &z) {
        z.Set(kEndloopAddrsCoarseOffset, 200);
        z.Set(kStartloopAddrsOffset, -30000);
        z.Set(kStartAddrsOffset, 1999);
    }));
    wild.Send({0x90, kRoot, 100});
    wild.Run(0.1);
    EXPECT_LE(wild.peak, 1.0f);
}

TEST(Synthesizer, ResetsAndMasterVolume) {
    Rig rig;
    rig.Send({0xB0, 7, 30});
    rig.Send({0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x20, 0xF7});  // master volume 1/4: -24 dB
    rig.Send({0x90, kRoot, 127});
    rig.Run(0.2);
    double quiet = rig.Level(0.15);
    rig.Send({0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});  // GS reset
    rig.Run(0.05);
    EXPECT_EQ(rig.synth.ActiveVoices(), 0);
    rig.Send({0x90, kRoot, 127});
    rig.Run(0.2);
    // Volume back to 100 and master volume to full.
    EXPECT_NEAR(Db(rig.Level(0.4) / quiet), 24.0 + 40 * std::log10(100.0 / 30), 0.5);

    // A loop's fade is the output's own gain: a reset on the way does not undo it.
    double full = rig.Level(0.4);
    rig.synth.SetFadeGain(0.25);
    rig.Send({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});  // GM System On
    rig.Send({0x90, kRoot, 127});
    rig.Run(0.2);
    EXPECT_NEAR(Db(rig.Level(0.6) / full), -12.0, 0.5);
}

using Messages = std::vector<std::vector<uint8_t>>;

// The left channel of messages sent, then a key struck on a channel for
// 0.3 s and let go for 0.2 s.
std::vector<float> Played(std::shared_ptr<SoundFont> font, const Messages &setup, int channel = 0, int key = kRoot) {
    Rig rig(std::move(font));
    for (const auto &m : setup) rig.synth.Send(m.data(), m.size());
    rig.Send({static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(key), 100});
    rig.Run(0.3);
    rig.Send({static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 0});
    rig.Run(0.2);
    return rig.out;
}

void ExpectSame(const std::vector<float> &a, const std::vector<float> &b, const char *what) {
    float worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
    EXPECT_LT(worst, 1e-4f) << what;
}

// NRPNs of a channel: number (MSB, LSB) and value each.
Messages Nrpn(int channel, std::initializer_list<std::array<uint8_t, 3>> edits) {
    auto cc = static_cast<uint8_t>(0xB0 | channel);
    Messages out;
    for (auto e : edits) out.insert(out.end(), {{cc, 99, e[0]}, {cc, 98, e[1]}, {cc, 6, e[2]}});
    return out;
}

TEST(Synthesizer, NrpnEditsSoundAsTheGeneratorsTheyStandFor) {
    // A tone with an attack, sustain and release of its own, and vibrato left to the NRPNs.
    auto own = [](Zone &z) {
        z.Set(kAttackVolEnv, Tc(0.05));
        z.Set(kReleaseVolEnv, Tc(0.3));
        z.Set(kSustainVolEnv, 200);  // so that the decay is heard
    };
    auto with = [&](std::function<void(Zone &)> gens) {
        return MakeFont([=](Zone &z) { own(z), gens(z); });
    };
    auto longer = [](int steps) { return static_cast<int16_t>(Tc(0.02) + 100 * steps); };
    struct Case {
        Messages nrpn;
        std::function<void(Zone &)> gens;
    } cases[] = {
        {Nrpn(0, {{1, 0x20, 44}}), [](Zone &z) { z.Set(kInitialFilterFc, 11500); }},
        {Nrpn(0, {{1, 0x21, 74}}), [](Zone &z) { z.Set(kInitialFilterQ, 30); }},
        {Nrpn(0, {{1, 0x63, 74}}), [&](Zone &z) { z.Set(kAttackVolEnv, Tc(0.05) + 1000), z.Set(kAttackModEnv, longer(10)); }},
        {Nrpn(0, {{1, 0x66, 54}}), [](Zone &z) { z.Set(kReleaseVolEnv, Tc(0.3) - 1000), z.Set(kReleaseModEnv, -13000); }},
        {Nrpn(0, {{1, 0x64, 70}}), [&](Zone &z) { z.Set(kDecayVolEnv, longer(6)), z.Set(kDecayModEnv, longer(6)); }},
    };
    for (const Case &c : cases) ExpectSame(Played(MakeFont(own), c.nrpn), Played(with(c.gens), {}), "tone edit");
    // Vibrato rate, depth and delay together (depth 50 cents, rate and delay 8 steps).
    Messages vibrato = Nrpn(0, {{1, 0x08, 72}, {1, 0x09, 96}, {1, 0x0A, 72}});
    ExpectSame(Played(MakeFont(own), vibrato), Played(with([&](Zone &z) {
        z.Set(kFreqVibLfo, 300), z.Set(kVibLfoToPitch, 50), z.Set(kDelayVibLfo, longer(8));
    }), {}), "vibrato");

    // A drum key's pitch (+2), pan (hard left) and cutoff (XG, -10), and its
    // level, which follows the law of the expression controller.
    Messages drum = Nrpn(9, {{0x18, 42, 66}, {0x1C, 42, 1}, {0x14, 42, 54}, {0x1A, 42, 64}});
    auto kitFont = MakeFont({}, [](Zone &z) {
        if (z.keyLo == 42) z.Set(kCoarseTune, 2), z.Set(kPan, -500), z.Set(kInitialFilterFc, 12500);
    });
    ExpectSame(Played(MakeFont(), drum, 9, 42), Played(kitFont, {{0xB9, 11, 64}}, 9, 42), "drum key");
    // A new drum set puts the keys' edits back.
    drum.push_back({0xC9, 0});
    ExpectSame(Played(MakeFont(), drum, 9, 42), Played(MakeFont(), {}, 9, 42), "drum set change");
}

TEST(Synthesizer, BanksOfGsAndXgFallBackAsTheModulesDo) {
    const std::vector<uint8_t> xgOn = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
    auto drums = Played(MakeFont(), {}, 9, 42);
    // XG SFX kits play as a drum part on any channel, from where GS fonts
    // keep the SFX set (here the sine); a missing GS drum set is the standard one.
    auto withSfx = MakeFont();
    withSfx->presets.push_back(Preset{"sfx", 56, 128, false, {}, withSfx->presets[0].zones});
    ExpectSame(Played(withSfx, {xgOn, {0xB2, 0, 126}, {0xC2, 1}}, 2), Played(MakeFont(), {}), "XG SFX kit");
    ExpectSame(Played(MakeFont(), {{0xC9, 5}}, 9, 42), drums, "missing drum set");
    // XG SFX voices the font lacks are the capital tone; XG's channel 10
    // plays drums until its bank makes it melodic.
    ExpectSame(Played(MakeFont(), {xgOn, {0xB0, 0, 64}, {0xC0, 0}}), Played(MakeFont(), {}), "XG SFX voice");
    ExpectSame(Played(MakeFont(), {xgOn}, 9, 42), drums, "XG drum part");
    ExpectSame(Played(MakeFont(), {xgOn, {0xB9, 0, 0}, {0xC9, 0}}, 9), Played(MakeFont(), {}), "XG melody on 10");
}

// A GS data set to one address with its checksum.
std::vector<uint8_t> Gs(uint8_t a1, uint8_t a2, uint8_t a3, std::vector<uint8_t> data) {
    std::vector<uint8_t> m = {0xF0, 0x41, 0x10, 0x42, 0x12, a1, a2, a3};
    m.insert(m.end(), data.begin(), data.end());
    int sum = 0;
    for (size_t i = 5; i < m.size(); ++i) sum += m[i];
    m.push_back(static_cast<uint8_t>((128 - sum % 128) % 128));
    m.push_back(0xF7);
    return m;
}

TEST(Synthesizer, GsSysExSoundsAsItsControllersAndBadInputIsIgnored) {
    // Part 1's level, pan and key shift; master volume, key shift and tune.
    ExpectSame(Played(MakeFont(), {Gs(0x40, 0x11, 0x19, {50}), Gs(0x40, 0x11, 0x1C, {20})}),
               Played(MakeFont(), {{0xB0, 7, 50}, {0xB0, 10, 20}}), "part level and pan");
    ExpectSame(Played(MakeFont(), {Gs(0x40, 0x11, 0x16, {0x4C})}), Played(MakeFont(), {}, 0, kRoot + 12), "key shift");
    ExpectSame(Played(MakeFont(), {Gs(0x40, 0x00, 0x04, {64}), Gs(0x40, 0x00, 0x05, {0x34})}),
               Played(MakeFont(), {{0xF0, 0x7F, 0x7F, 0x04, 0x01, 64, 64, 0xF7}}, 0, kRoot - 12),
               "master volume and key shift");
    // Part 11 made a rhythm part plays the drums as channel 10 does.
    ExpectSame(Played(MakeFont(), {Gs(0x40, 0x1A, 0x15, {2})}, 10, 42), Played(MakeFont(), {}, 9, 42), "rhythm part");
    // 50 cents up, as the fine tuning RPN would.
    ExpectSame(Played(MakeFont(), {Gs(0x40, 0x00, 0x00, {0x00, 0x05, 0x0F, 0x04})}),
               Played(MakeFont(), {{0xB0, 101, 0}, {0xB0, 100, 1}, {0xB0, 6, 96}}), "master tune");

    auto wrong = [](size_t at, uint8_t value) {
        auto m = Gs(0x40, 0x11, 0x19, {10});
        m[at] = value;
        return m;
    };
    auto reset = Gs(0x40, 0x00, 0x7F, {0x00});
    reset[9] ^= 1;
    // Cut short: an address with no data, summing right.
    std::vector<uint8_t> cut = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x19, 0x16, 0xF7};
    Messages bad = {{0xB0, 7, 50}, wrong(9, 0x00), wrong(3, 0x45), wrong(2, 0x11), cut, reset,
                    // an NRPN with no data entry, and data entry with no NRPN
                    {0xB0, 99, 1}, {0xB0, 98, 0x20}, {0xB0, 121, 0}, {0xB0, 6, 0}};
    ExpectSame(Played(MakeFont(), bad), Played(MakeFont(), {{0xB0, 7, 50}}), "bad input");
}

TEST(SongRender, PlacesEachMessageOnItsSampleAndEndsWhenTheVoicesHaveDied) {
    korvel::Song song;
    const uint8_t on[3] = {0x90, kRoot, 100}, off[3] = {0x80, kRoot, 0};
    song.bytes.assign(on, on + 3);
    song.bytes.insert(song.bytes.end(), off, off + 3);
    song.events = {{250000, 0, 3}, {300000, 3, 3}};
    song.endUs = 300000;
    song.channelsUsed = 1;
    Synthesizer synth(MakeFont([](Zone &z) { z.Set(kReleaseVolEnv, Tc(0.1)); }), kRate, Effects::Off);
    std::vector<float> left;
    auto keep = [&](const float *stereo, size_t frames) {
        for (size_t i = 0; i < frames; ++i) left.push_back(stereo[2 * i]);
        return true;
    };
    EXPECT_EQ(korvel::RenderSong(song, synth, keep), korvel::RenderOutcome::Ended);
    size_t first = 0;
    while (first < left.size() && left[first] == 0.0f) ++first;
    EXPECT_GE(first, 11025u);  // 0.25 s
    EXPECT_LE(first, 11027u);
    // The release (0.1 s for 100 dB) rings out, then the render ends.
    EXPECT_GT(left.size(), static_cast<size_t>(0.33 * kRate));
    EXPECT_LT(left.size(), static_cast<size_t>(0.45 * kRate));
    EXPECT_EQ(synth.ActiveVoices(), 0);

    // A note the sostenuto pedal holds at the song's end rings out as well,
    // rather than until the longest tail is cut.
    const uint8_t hold[3] = {0xB0, 66, 127};
    song.bytes.insert(song.bytes.end(), hold, hold + 3);
    song.events = {{250000, 0, 3}, {260000, 6, 3}, {300000, 3, 3}};
    left.clear();
    EXPECT_EQ(korvel::RenderSong(song, synth, keep), korvel::RenderOutcome::Ended);
    EXPECT_LT(left.size(), static_cast<size_t>(0.45 * kRate));

    size_t calls = 0;
    EXPECT_EQ(korvel::RenderSong(song, synth, [&](const float *, size_t) { return ++calls < 3; }),
              korvel::RenderOutcome::Stopped);
    EXPECT_EQ(calls, 3u);
}

}  // namespace
