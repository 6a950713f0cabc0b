// A SoundFont 2 file as the synthesizer uses it: presets, instruments, their
// zones with generators and modulators, sample headers and the 16-bit sample
// data.  Everything here has been checked by the reader, so the synthesizer
// may trust every index and range it finds.  Plain C++.
#ifndef TIVORN_KORVEL_SYNTH_SOUNDFONT_H
#define TIVORN_KORVEL_SYNTH_SOUNDFONT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace synth {

// Generator operators, numbered as the file stores them.
enum Gen : uint16_t {
    kStartAddrsOffset = 0, kEndAddrsOffset = 1, kStartloopAddrsOffset = 2, kEndloopAddrsOffset = 3,
    kStartAddrsCoarseOffset = 4, kModLfoToPitch = 5, kVibLfoToPitch = 6, kModEnvToPitch = 7,
    kInitialFilterFc = 8, kInitialFilterQ = 9, kModLfoToFilterFc = 10, kModEnvToFilterFc = 11,
    kEndAddrsCoarseOffset = 12, kModLfoToVolume = 13, kChorusEffectsSend = 15, kReverbEffectsSend = 16,
    kPan = 17, kDelayModLfo = 21, kFreqModLfo = 22, kDelayVibLfo = 23, kFreqVibLfo = 24,
    kDelayModEnv = 25, kAttackModEnv = 26, kHoldModEnv = 27, kDecayModEnv = 28, kSustainModEnv = 29,
    kReleaseModEnv = 30, kKeynumToModEnvHold = 31, kKeynumToModEnvDecay = 32,
    kDelayVolEnv = 33, kAttackVolEnv = 34, kHoldVolEnv = 35, kDecayVolEnv = 36, kSustainVolEnv = 37,
    kReleaseVolEnv = 38, kKeynumToVolEnvHold = 39, kKeynumToVolEnvDecay = 40,
    kInstrument = 41, kKeyRange = 43, kVelRange = 44, kStartloopAddrsCoarseOffset = 45,
    kKeynum = 46, kVelocity = 47, kInitialAttenuation = 48, kEndloopAddrsCoarseOffset = 50,
    kCoarseTune = 51, kFineTune = 52, kSampleId = 53, kSampleModes = 54, kScaleTuning = 56,
    kExclusiveClass = 57, kOverridingRootKey = 58, kEndOper = 60,
};
constexpr int kGenCount = 61;

// The two levels a zone lives at.
enum class ZoneLevel { Preset, Instrument };

// Whether a zone of that level may give generator oper an amount: the
// numbers the format leaves unused never, nor the ranges and links, which
// are read apart; the ones it keeps for instruments (sample offsets and
// modes, root key, exclusive class, fixed key and velocity) only there.
bool AmountAllowed(int oper, ZoneLevel level);

// A modulator record as stored (SFModulator fields kept raw).  Its
// destination is a generator below kEndOper, or a link (bit 15) to the
// modulator at that place in the same zone's list; the reader drops any
// other.
struct Modulator {
    uint16_t source = 0;
    uint16_t destination = 0;
    int16_t amount = 0;
    uint16_t amountSource = 0;
    uint16_t transform = 0;
    // Two modulators are "identical" when all but the amount agree: the
    // later one replaces the earlier.
    bool SameAs(const Modulator &other) const {
        return source == other.source && destination == other.destination &&
               amountSource == other.amountSource && transform == other.transform;
    }
};

// One zone of a preset or an instrument.  Generators not set in the zone
// keep their bit clear in set; ranges and the link are kept apart from the
// amounts and set no bit.  A preset zone holds only the generators allowed
// at preset level (no sample offsets, modes, root key, exclusive class,
// fixed key or velocity).
struct Zone {
    uint8_t keyLo = 0, keyHi = 127, velLo = 0, velHi = 127;
    uint64_t set = 0;            // bit g: generator g was given
    int16_t amount[kGenCount] = {};  // the raw amount, valid where set
    std::vector<Modulator> modulators;
    // A preset zone's instrument, or an instrument zone's sample (an index
    // into SoundFont::instruments or ::samples); -1 in a global zone.
    int link = -1;

    bool Has(int gen) const { return (set >> gen) & 1u; }
    void Set(int gen, int16_t value) {
        set |= uint64_t{1} << gen;
        amount[gen] = value;
    }
    bool Covers(int key, int velocity) const {
        return key >= keyLo && key <= keyHi && velocity >= velLo && velocity <= velHi;
    }
};

struct Instrument {
    std::string name;
    bool hasGlobal = false;
    Zone global;
    std::vector<Zone> zones;  // each with a valid sample link
};

struct Preset {
    std::string name;
    uint16_t program = 0;
    uint16_t bank = 0;
    bool hasGlobal = false;
    Zone global;
    std::vector<Zone> zones;  // each with a valid instrument link
};

// Sample header; positions index SoundFont::data and have been checked:
// start <= end <= data.size(), and loopStart/loopEnd lie within
// [start, end] (a loop that does not fit is flagged rather than trusted).
struct Sample {
    std::string name;
    uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0;
    uint32_t rate = 44100;
    uint8_t originalKey = 60;
    int8_t correction = 0;  // cents
    uint16_t link = 0;
    uint16_t type = 1;      // 1 mono, 2 right, 4 left, 8 linked; ROM samples are refused
    bool loopUsable = true; // false when the file's loop ends before it starts or is empty
};

// What keeps a SampleData's frames where they are: a buffer of its own, or a
// read-only view of the file, which the system pages in and drops as it
// likes.  A view can go bad under the synthesizer (a network drive gone, a
// stick pulled, a file cut short); its frames then read as silence and Lost
// says so, for the output to stop the song.
class SampleStore {
public:
    virtual ~SampleStore() = default;
    virtual bool Lost() const { return false; }
};

// The smpl chunk's 16-bit frames, and what keeps them.  Copies share the
// frames.  The synthesizer never reads at or past size(): every sample lies
// inside, and its interpolator stops short of a sample's end.
class SampleData {
public:
    SampleData() = default;
    explicit SampleData(std::vector<int16_t> frames);
    SampleData(std::shared_ptr<const SampleStore> store, const int16_t *frames, size_t count)
        : store_(std::move(store)), frames_(frames), count_(count) {}

    const int16_t *data() const { return frames_; }
    size_t size() const { return count_; }
    const int16_t *begin() const { return frames_; }
    const int16_t *end() const { return frames_ + count_; }
    bool Held() const { return store_ != nullptr; }
    bool Lost() const { return store_ && store_->Lost(); }

private:
    std::shared_ptr<const SampleStore> store_;
    const int16_t *frames_ = nullptr;
    size_t count_ = 0;
};

// Where the smpl chunk lies in the file, to hand its frames out again.
struct SampleSpan {
    uint64_t offset = 0;
    uint64_t frames = 0;
};

struct SoundFont {
    std::string name;  // INAM, for messages
    std::vector<Preset> presets;
    std::vector<Instrument> instruments;
    std::vector<Sample> samples;
    SampleData data;
    SampleSpan span;

    // The preset of bank and program, or nullptr.
    const Preset *FindPreset(int bank, int program) const;
};

// Why a file was refused.  Each has its own message for the user.
enum class ReadError {
    None,
    Unreadable,    // the bytes could not be read
    NotSoundFont,  // not RIFF sfbk
    Compressed,    // an .sf3 (compressed samples): not supported
    TooLarge,      // more sample data than the synthesizer will hold
    Damaged,       // a chunk or record that is missing, cut short or out of range
};

// Where the file's bytes come from: a file may be larger than is wise to
// read whole, so the reader asks for the parts it needs.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // false when the bytes could not be read (offset + size past the end included).
    virtual bool Read(uint64_t offset, void *into, size_t size) = 0;
    // The frames of span, which the reader has checked against Size(): a
    // copy in memory, unless the source can do better (a view of the file).
    // None, TooLarge or Unreadable.
    virtual ReadError Samples(const SampleSpan &span, SampleData &into);
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void *bytes, size_t size) : bytes_(static_cast<const uint8_t *>(bytes)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool Read(uint64_t offset, void *into, size_t size) override;

private:
    const uint8_t *bytes_;
    size_t size_;
};

struct ReadResult {
    std::shared_ptr<const SoundFont> font;  // null unless error is None
    ReadError error = ReadError::None;
    std::string detail;  // ASCII, for logs and tests: which chunk or record
};

ReadResult ReadSoundFont(ByteSource &source);

}  // namespace synth

#endif
