#include "korvel/synth/soundfont.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "korvel/synth/pdta_reader.h"

namespace synth {

bool MemorySource::Read(uint64_t offset, void *into, size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    if (size) std::memcpy(into, bytes_ + offset, size);
    return true;
}

namespace {

// Frames copied into memory, for sources that cannot offer a view.
struct OwnedFrames : SampleStore {
    explicit OwnedFrames(std::vector<int16_t> from) : frames(std::move(from)) {}
    std::vector<int16_t> frames;
};

}  // namespace

SampleData::SampleData(std::vector<int16_t> frames) {
    auto owned = std::make_shared<OwnedFrames>(std::move(frames));
    frames_ = owned->frames.data();
    count_ = owned->frames.size();
    store_ = std::move(owned);
}

ReadError ByteSource::Samples(const SampleSpan &span, SampleData &into) {
    std::vector<int16_t> frames;
    try {
        frames.resize(static_cast<size_t>(span.frames));
    } catch (const std::bad_alloc &) {
        return ReadError::TooLarge;
    }
    // Read straight into place: the file is little-endian, as is every
    // machine this is built for.
    if (!Read(span.offset, frames.data(), frames.size() * 2)) return ReadError::Unreadable;
    into = SampleData(std::move(frames));
    return ReadError::None;
}

const Preset *SoundFont::FindPreset(int bank, int program) const {
    for (const Preset &preset : presets)
        if (preset.bank == bank && preset.program == program) return &preset;
    return nullptr;
}

namespace {

// The most sample data taken.  A General MIDI SoundFont is a few to a few
// hundred megabytes; a view of more than this would take much of the address
// space, and a copy (where no view can be had) more of the user's memory
// than a tray program should.
constexpr uint64_t kMaxSampleBytes = uint64_t{1} << 30;
// A list holding more chunks than this is not a SoundFont's (INFO has a
// dozen at most); the walk stops there rather than crawling a huge file
// eight bytes at a time.
constexpr int kMaxChunksPerList = 1024;
constexpr size_t kMaxNameBytes = 256;

// A chunk's payload: where it starts and how long it is.
struct Chunk {
    char id[4] = {};
    uint64_t offset = 0;
    uint32_t size = 0;
    bool Is(const char *name) const { return std::memcmp(id, name, 4) == 0; }
};

ReadResult Refuse(ReadError error, std::string detail) {
    ReadResult result;
    result.error = error;
    result.detail = std::move(detail);
    return result;
}

ReadResult CannotRead(uint64_t offset) { return Refuse(ReadError::Unreadable, "read failed at " + std::to_string(offset)); }

// Chunk ids are shown in details; the file decides them, so only printable
// ASCII is shown as it is.
std::string Printable(const char id[4]) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(id[i]);
        out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return out;
}

// Lists the chunks in [begin, end).  A LIST chunk's id is replaced by its
// list type, with the payload after the type.
ReadResult WalkChunks(ByteSource &source, uint64_t begin, uint64_t end, const char *where,
                      std::vector<Chunk> &chunks) {
    uint64_t pos = std::min(begin, end);  // a RIFF size too small for its own form type
    for (int n = 0; n < kMaxChunksPerList && end - pos >= 8; ++n) {
        uint8_t head[12];
        if (!source.Read(pos, head, 8)) return CannotRead(pos);
        Chunk chunk;
        std::memcpy(chunk.id, head, 4);
        chunk.size = Le32(head + 4);
        chunk.offset = pos + 8;
        if (chunk.size > end - chunk.offset)
            return Refuse(ReadError::Damaged,
                          std::string(where) + ": chunk " + Printable(chunk.id) + " runs past its end");
        if (chunk.Is("LIST") && chunk.size >= 4) {
            if (!source.Read(chunk.offset, head + 8, 4)) return CannotRead(chunk.offset);
            std::memcpy(chunk.id, head + 8, 4);
            chunk.offset += 4;
            chunk.size -= 4;
        }
        chunks.push_back(chunk);
        pos = std::min(end, chunk.offset + chunk.size + (chunk.size & 1));  // padded to even sizes
    }
    return {};
}

const Chunk *Find(const std::vector<Chunk> &chunks, const char *id) {
    for (const Chunk &chunk : chunks)
        if (chunk.Is(id)) return &chunk;
    return nullptr;
}

// The INFO list: the version, which must be 2 (3 means compressed samples),
// and the name.  Everything else in it is for editors.
ReadResult ReadInfo(ByteSource &source, const Chunk &list, SoundFont &font) {
    std::vector<Chunk> chunks;
    ReadResult walked = WalkChunks(source, list.offset, list.offset + list.size, "INFO", chunks);
    if (walked.error != ReadError::None) return walked;
    const Chunk *ifil = Find(chunks, "ifil");
    if (!ifil || ifil->size < 4) return Refuse(ReadError::Damaged, "INFO: no version (ifil)");
    uint8_t version[4];
    if (!source.Read(ifil->offset, version, 4)) return CannotRead(ifil->offset);
    const uint16_t major = Le16(version);
    if (major == 3) return Refuse(ReadError::Compressed, "version 3 (compressed samples)");
    if (major != 2) return Refuse(ReadError::NotSoundFont, "version " + std::to_string(major));
    if (const Chunk *inam = Find(chunks, "INAM")) {
        char name[kMaxNameBytes];
        const size_t size = std::min<size_t>(inam->size, sizeof name);
        if (!source.Read(inam->offset, name, size)) return CannotRead(inam->offset);
        font.name.assign(name, std::find(name, name + size, '\0'));
    }
    return {};
}

ReadResult ReadSubChunk(ByteSource &source, const std::vector<Chunk> &chunks, const char *id, size_t recordSize,
                        std::vector<uint8_t> &bytes) {
    const Chunk *chunk = Find(chunks, id);
    if (!chunk) return Refuse(ReadError::Damaged, std::string("pdta: no ") + id);
    // Checked before allocating: the size is the file's word.
    if (chunk->size > kMaxRecords * recordSize)
        return Refuse(ReadError::Damaged, std::string(id) + ": more records than 16-bit indices reach");
    bytes.resize(chunk->size);
    if (!source.Read(chunk->offset, bytes.data(), bytes.size())) return CannotRead(chunk->offset);
    return {};
}

ReadResult ReadSampleData(ByteSource &source, const Chunk *smpl, SoundFont &font) {
    font.span.offset = smpl ? smpl->offset : 0;
    font.span.frames = smpl ? smpl->size / 2 : 0;
    const ReadError error = source.Samples(font.span, font.data);
    if (error == ReadError::TooLarge)
        return Refuse(error, "smpl: no memory for " + std::to_string(font.span.frames) + " frames");
    if (error != ReadError::None) return CannotRead(font.span.offset);
    return {};
}

// The pdta list's sub-chunks, each checked for its record size.
ReadResult ReadPdtaChunks(ByteSource &source, const Chunk &pdta, PdtaChunks &pdtaBytes) {
    std::vector<Chunk> records;
    ReadResult step = WalkChunks(source, pdta.offset, pdta.offset + pdta.size, "pdta", records);
    if (step.error != ReadError::None) return step;
    const struct {
        const char *id;
        size_t recordSize;
        std::vector<uint8_t> *bytes;
    } parts[] = {{"phdr", kPhdrSize, &pdtaBytes.phdr}, {"pbag", kBagSize, &pdtaBytes.pbag},
                 {"pmod", kModSize, &pdtaBytes.pmod},  {"pgen", kGenSize, &pdtaBytes.pgen},
                 {"inst", kInstSize, &pdtaBytes.inst}, {"ibag", kBagSize, &pdtaBytes.ibag},
                 {"imod", kModSize, &pdtaBytes.imod},  {"igen", kGenSize, &pdtaBytes.igen},
                 {"shdr", kShdrSize, &pdtaBytes.shdr}};
    for (const auto &part : parts) {
        step = ReadSubChunk(source, records, part.id, part.recordSize, *part.bytes);
        if (step.error != ReadError::None) return step;
    }
    return {};
}

}  // namespace

ReadResult ReadSoundFont(ByteSource &source) {
    const uint64_t size = source.Size();
    uint8_t head[12];
    if (size < sizeof head) return Refuse(ReadError::NotSoundFont, "shorter than a RIFF header");
    if (!source.Read(0, head, sizeof head)) return CannotRead(0);
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "sfbk", 4) != 0)
        return Refuse(ReadError::NotSoundFont, "not RIFF sfbk");
    // A file cut short shows what it still has; what is missing is then
    // found missing, or runs past the end.
    const uint64_t end = std::min<uint64_t>(size, 8 + uint64_t{Le32(head + 4)});

    std::vector<Chunk> lists;
    ReadResult step = WalkChunks(source, sizeof head, end, "RIFF", lists);
    if (step.error != ReadError::None) return step;
    const Chunk *info = Find(lists, "INFO");
    const Chunk *sdta = Find(lists, "sdta");
    const Chunk *pdta = Find(lists, "pdta");
    if (!info) return Refuse(ReadError::Damaged, "no INFO list");
    if (!sdta) return Refuse(ReadError::Damaged, "no sdta list");
    if (!pdta) return Refuse(ReadError::Damaged, "no pdta list");

    auto font = std::make_shared<SoundFont>();
    step = ReadInfo(source, *info, *font);
    if (step.error != ReadError::None) return step;

    // sm24 (the low bytes of 24-bit samples) is left unread: 16 bits are
    // what the synthesizer plays.
    std::vector<Chunk> sampleChunks;
    step = WalkChunks(source, sdta->offset, sdta->offset + sdta->size, "sdta", sampleChunks);
    if (step.error != ReadError::None) return step;
    const Chunk *smpl = Find(sampleChunks, "smpl");
    const uint64_t frames = smpl ? smpl->size / 2 : 0;

    PdtaChunks pdtaBytes;
    step = ReadPdtaChunks(source, *pdta, pdtaBytes);
    if (step.error != ReadError::None) return step;
    PdtaOutcome outcome = ReadPdta(pdtaBytes, frames, *font);
    if (outcome.error != ReadError::None) return Refuse(outcome.error, std::move(outcome.detail));

    if (frames * 2 > kMaxSampleBytes)
        return Refuse(ReadError::TooLarge, "smpl: " + std::to_string(frames * 2) + " bytes of samples");
    step = ReadSampleData(source, smpl, *font);
    if (step.error != ReadError::None) return step;

    ReadResult result;
    result.font = std::move(font);
    return result;
}

}  // namespace synth
