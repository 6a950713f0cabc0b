#include "store/best_record.h"

#include <cstring>
#include <utility>

namespace best {

namespace {

uint32_t ReadLE32(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void WriteLE32(unsigned char *p, uint32_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

// "すべてのMIDIファイル" in code page 932.
constexpr char kDefaultBestName[] =
    "\x82\xb7\x82\xd7\x82\xc4\x82\xcc" "MIDI" "\x83\x74\x83\x40\x83\x43\x83\x8b";
constexpr uint32_t kDefaultRecordLength = 35;

// A name the file could hold: present and short enough.
bool IsStorableName(const char *name, size_t *length) {
    if (!name) return false;
    const void *nul = std::memchr(name, 0, kMaxNameLength + 1);
    if (!nul) return false;
    *length = static_cast<const char *>(nul) - name;
    return true;
}

bool ViewNamed(const RecordView &record, const char *name, size_t nameLength) {
    return record.nameLength == nameLength && std::memcmp(record.name, name, nameLength) == 0;
}

// Offset of the terminator of a record already known to be valid.
size_t FindTerminator(const unsigned char *record, size_t nameLength) {
    size_t at = kHeaderSize + nameLength + 1;
    while (record[at] != 0) at += std::strlen(reinterpret_cast<const char *>(record + at)) + 1;
    return at;
}

}  // namespace

RecordState CheckRecord(const unsigned char *file, size_t size, size_t offset, RecordView *record) {
    if (!file || offset > size || size - offset < kEndMarkerSize) return RecordState::End;
    const unsigned char *start = file + offset;
    uint32_t length = ReadLE32(start);
    if (length == 0) return RecordState::End;
    if (length < kMinRecordLength || length > size - offset) return RecordState::BadLength;

    const unsigned char *end = start + length;
    const unsigned char *at = start + kHeaderSize;
    const void *nul = std::memchr(at, 0, end - at);
    if (!nul) return RecordState::BadContent;
    size_t nameLength = static_cast<const unsigned char *>(nul) - at;
    if (nameLength > kMaxNameLength) return RecordState::BadContent;

    // Count the strings up to the empty one; each must end inside the record.
    uint64_t strings = 0;
    at = static_cast<const unsigned char *>(nul) + 1;
    for (;;) {
        if (at >= end) return RecordState::BadContent;  // no terminator
        if (*at == 0) break;
        nul = std::memchr(at, 0, end - at);
        if (!nul) return RecordState::BadContent;
        ++strings;
        at = static_cast<const unsigned char *>(nul) + 1;
    }
    uint32_t count = ReadLE32(start + 4);
    if (strings != count) return RecordState::BadContent;

    record->bytes = start;
    record->offset = offset;
    record->length = length;
    record->count = count;
    record->name = reinterpret_cast<const char *>(start + kHeaderSize);
    record->nameLength = nameLength;
    return RecordState::Valid;
}

bool RecordWalk::Next(RecordView *record) {
    while (!stopped_) {
        switch (CheckRecord(file_, size_, offset_, record)) {
        case RecordState::Valid:
            offset_ += record->length;
            return true;
        case RecordState::BadContent: {
            uint32_t length = ReadLE32(file_ + offset_);  // plausible: >= 12, inside the bytes
            ++damagedRecords_;
            lostBytes_ += length;
            offset_ += length;
            break;
        }
        case RecordState::BadLength:
            lostBytes_ += size_ - offset_;
            stopped_ = true;
            break;
        case RecordState::End:
            stopped_ = true;
            break;
        }
    }
    return false;
}

// --- BestRecord --------------------------------------------------------------

BestRecord BestRecord::ForName(const char *name) {
    size_t nameLength;
    if (!IsStorableName(name, &nameLength)) return BestRecord();
    // Header, name and NUL, terminator and two bytes of padding.
    std::vector<unsigned char> bytes(nameLength + 12, 0);
    WriteLE32(bytes.data(), static_cast<uint32_t>(bytes.size()));
    std::memcpy(bytes.data() + kHeaderSize, name, nameLength);
    return BestRecord(std::move(bytes), kHeaderSize + nameLength + 1);
}

BestRecord BestRecord::Default() {
    constexpr size_t nameLength = sizeof kDefaultBestName - 1;
    std::vector<unsigned char> bytes(kDefaultRecordLength, 0);  // six zero bytes follow the NUL
    WriteLE32(bytes.data(), kDefaultRecordLength);
    std::memcpy(bytes.data() + kHeaderSize, kDefaultBestName, nameLength);
    return BestRecord(std::move(bytes), kHeaderSize + nameLength + 1);
}

BestRecord BestRecord::CopyOf(const RecordView &record) {
    if (!record.bytes || record.length < kMinRecordLength) return BestRecord();
    std::vector<unsigned char> bytes(record.bytes, record.bytes + record.length);
    size_t terminator = FindTerminator(bytes.data(), record.nameLength);
    return BestRecord(std::move(bytes), terminator);
}

const unsigned char *BestRecord::Bytes() const {
    MoveGap(Size());
    return bytes_.data();
}

// The header and the name lie before the gap: they are read where they are stored.
uint32_t BestRecord::Length() const { return IsNone() ? 0 : ReadLE32(bytes_.data()); }

uint32_t BestRecord::Count() const { return IsNone() ? 0 : ReadLE32(bytes_.data() + 4); }

const char *BestRecord::Name() const {
    return IsNone() ? "" : reinterpret_cast<const char *>(bytes_.data() + kHeaderSize);
}

size_t BestRecord::NameLength() const { return std::strlen(Name()); }

bool BestRecord::NameEquals(const char *name) const {
    return !IsNone() && name && std::strcmp(Name(), name) == 0;
}

size_t BestRecord::FirstEntry() const { return IsNone() ? 0 : kHeaderSize + NameLength() + 1; }

const char *BestRecord::At(size_t cursor) const {
    if (IsNone() || cursor < FirstEntry() || cursor > terminator_) return "";
    // No string straddles the gap, so the one at cursor is stored whole.
    return reinterpret_cast<const char *>(bytes_.data() + Stored(cursor));
}

size_t BestRecord::Next(size_t cursor) const {
    if (IsNone() || cursor >= terminator_) return terminator_;
    return cursor + std::strlen(At(cursor)) + 1;
}

const char *BestRecord::Entry(uint32_t k) const {
    if (k >= Count()) return nullptr;
    size_t cursor = FirstEntry();
    for (uint32_t i = 0; i < k; ++i) cursor = Next(cursor);
    return At(cursor);
}

std::vector<uint32_t> BestRecord::EntryOffsets() const {
    std::vector<uint32_t> offsets;
    offsets.reserve(Count());
    for (size_t cursor = FirstEntry(); cursor < terminator_; cursor = Next(cursor))
        offsets.push_back(static_cast<uint32_t>(cursor));
    return offsets;
}

bool BestRecord::IsEntryCursor(size_t cursor) const {
    // A string starts where the name ends or right after another string's NUL.
    return !IsNone() && cursor >= FirstEntry() && cursor < terminator_ &&
           (cursor == FirstEntry() || bytes_[Stored(cursor - 1)] == 0);
}

void BestRecord::SetField(size_t offset, uint32_t value) { WriteLE32(bytes_.data() + offset, value); }

void BestRecord::MoveGap(size_t cursor) const {
    if (IsNone() || cursor == gapStart_) return;
    unsigned char *data = bytes_.data();
    if (gapLength_ != 0) {
        if (cursor < gapStart_)
            std::memmove(data + cursor + gapLength_, data + cursor, gapStart_ - cursor);
        else
            std::memmove(data + gapStart_, data + gapStart_ + gapLength_, cursor - gapStart_);
    }
    gapStart_ = cursor;
}

bool BestRecord::InsertEntry(size_t *cursor, const char *path) {
    if (IsNone() || !cursor || !path) return false;
    if (*cursor != terminator_ && !IsEntryCursor(*cursor)) return false;
    const void *nul = std::memchr(path, 0, kMaxEntryLength + 1);
    if (!nul) return false;
    size_t pathLength = static_cast<const char *>(nul) - path;
    if (pathLength == 0) return false;  // an empty string would end the list
    uint64_t length = static_cast<uint64_t>(Length()) + pathLength + 1;
    if (length > UINT32_MAX || Count() == UINT32_MAX) return false;

    size_t size = pathLength + 1;
    MoveGap(*cursor);
    if (gapLength_ < size) {
        // Half the record again each time the gap runs out: the bytes moved by
        // widening it are paid for by the insertions it then holds.
        size_t widen = size - gapLength_ + Size() / 2 + 64;
        bytes_.insert(bytes_.begin() + gapStart_ + gapLength_, widen, 0);
        gapLength_ += widen;
    }
    std::memcpy(bytes_.data() + gapStart_, path, size);
    gapStart_ += size;
    gapLength_ -= size;
    SetField(0, static_cast<uint32_t>(length));
    SetField(4, Count() + 1);
    terminator_ += size;
    *cursor += size;
    return true;
}

bool BestRecord::RemoveEntry(size_t *cursor) {
    if (!cursor || !IsEntryCursor(*cursor)) return false;
    size_t size = std::strlen(At(*cursor)) + 1;
    // The entry lies just after the gap once the gap is at it: the gap takes it in.
    MoveGap(*cursor);
    gapLength_ += size;
    SetField(0, Length() - static_cast<uint32_t>(size));
    SetField(4, Count() - 1);
    terminator_ -= size;
    return true;
}

// --- the reader ----------------------------------------------------------------

BestRecord FindBest(const unsigned char *file, size_t size, const char *name) {
    size_t nameLength;
    if (!IsStorableName(name, &nameLength)) return BestRecord();
    RecordWalk walk(file, size);
    RecordView record;
    while (walk.Next(&record)) {
        if (ViewNamed(record, name, nameLength)) return BestRecord::CopyOf(record);
    }
    return BestRecord();
}

std::vector<std::string> ListBestNames(const unsigned char *file, size_t size) {
    std::vector<std::string> names;
    RecordWalk walk(file, size);
    RecordView record;
    while (walk.Next(&record)) names.emplace_back(record.name, record.nameLength);
    return names;
}

BestFileState JudgeBestFile(FileReading reading, const unsigned char *file, size_t size) {
    switch (reading) {
    case FileReading::Failed: return BestFileState::Unreadable;
    case FileReading::Missing: return BestFileState::NoBest;
    case FileReading::Read: break;
    }
    RecordWalk walk(file, size);
    RecordView record;
    return walk.Next(&record) ? BestFileState::Bests : BestFileState::NoBest;
}

bool IsCompleteBestFile(const unsigned char *file, size_t size) {
    RecordWalk walk(file, size);
    RecordView record;
    while (walk.Next(&record)) {
    }
    size_t end = walk.Offset();
    return !walk.MetDamage() && size >= kEndMarkerSize && end == size - kEndMarkerSize &&
           file[end] == 0 && file[end + 1] == 0 && file[end + 2] == 0 && file[end + 3] == 0;
}

BestChoice ChooseBest(const unsigned char *file, size_t size, const char *name, bool firstByDefault) {
    BestChoice choice;
    size_t nameLength = 0;
    bool wanted = IsStorableName(name, &nameLength);
    bool matched = false;
    RecordWalk walk(file, size);
    RecordView record;
    while (walk.Next(&record)) {
        int index = static_cast<int>(choice.names.size());
        choice.names.emplace_back(record.name, record.nameLength);
        bool take = false;
        if (!matched && wanted && ViewNamed(record, name, nameLength)) {
            take = true;
            matched = true;
        } else if (index == 0 && firstByDefault) {
            take = true;
        }
        if (take) {
            choice.selected = index;
            choice.record = BestRecord::CopyOf(record);
        }
    }
    return choice;
}

// --- the writer ----------------------------------------------------------------

MergeResult MergeBestFile(const unsigned char *old, size_t oldSize, const BestRecord &edited, int mode,
                          std::vector<unsigned char> *out, MergeReport *report, size_t largest) {
    out->clear();
    if (edited.IsNone()) return MergeResult::NoRecord;
    if (!old) oldSize = 0;

    const char *name = edited.Name();
    size_t nameLength = edited.NameLength();
    bool saving = mode != 0;

    bool written = false;
    out->reserve(oldSize + edited.Size() + kEndMarkerSize);
    RecordWalk walk(old, oldSize);
    RecordView record;
    while (walk.Next(&record)) {
        if (!ViewNamed(record, name, nameLength)) {
            out->insert(out->end(), record.bytes, record.bytes + record.length);
        } else if (saving && !written) {
            out->insert(out->end(), edited.Bytes(), edited.Bytes() + edited.Size());
            written = true;
        }
    }
    if (saving && !written) out->insert(out->end(), edited.Bytes(), edited.Bytes() + edited.Size());
    out->insert(out->end(), kEndMarkerSize, 0);
    if (out->size() > largest) {
        out->clear();
        return MergeResult::TooLarge;
    }
    if (report) {
        report->damagedRecords = walk.DamagedRecords();
        report->lostBytes = walk.LostBytes();
    }
    return MergeResult::Merged;
}

}  // namespace best
