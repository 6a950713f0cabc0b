// Fuzz target for editing a best record at a cursor: arbitrary runs of
// insertions, removals, steps and rewinds, checked against a plain list.
//
// Input: byte 0 picks the starting record (even: a new best, odd: a loaded
// one with entries and more padding), then operations.  Each operation is one
// byte, op % 6: 0-1 insert a path of length (next byte) made of the bytes
// after it, 2 remove, 3 step, 4 rewind, 5 read the bytes (closing the gap
// mid-run).  Path lengths of 250 and more become 255 to 260, past the limit.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "store/best_record.h"
#include "testing/best_bytes.h"

using namespace best;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

void RequireSame(const BestRecord &record, const std::vector<std::string> &model, size_t pad) {
    bestbytes::Bytes expected = bestbytes::Record("F", model, pad);
    Require(record.Size() == expected.size() && record.Length() == expected.size());
    Require(std::memcmp(record.Bytes(), expected.data(), expected.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    std::vector<std::string> model;
    size_t pad = 2;
    BestRecord record = BestRecord::ForName("F");
    if (data[0] & 1) {
        model = {"C:\\a.mid", "C:\\\x83\x5c\\b.mid", "D:/"};
        pad = 9;
        bestbytes::Bytes loaded = bestbytes::Record("F", model, pad);
        RecordView view;
        Require(CheckRecord(loaded.data(), loaded.size(), 0, &view) == RecordState::Valid);
        record = BestRecord::CopyOf(view);
    }

    size_t cursor = record.FirstEntry(), at = 0;
    for (size_t i = 1; i < size;) {
        switch (data[i++] % 6) {
        case 0:
        case 1: {
            size_t length = i < size ? data[i++] : 0;
            if (length >= 250) length += 5;
            std::string path;
            for (size_t k = 0; k < length; ++k) {
                unsigned char c = i < size ? data[i++] : 'p';
                path += static_cast<char>(c ? c : '\\');
            }
            bool fits = length > 0 && length <= kMaxEntryLength;
            Require(record.InsertEntry(&cursor, path.c_str()) == fits);
            if (fits) model.insert(model.begin() + at++, path);
            break;
        }
        case 2:
            Require(record.RemoveEntry(&cursor) == (at < model.size()));
            if (at < model.size()) model.erase(model.begin() + at);
            break;
        case 3:
            cursor = record.Next(cursor);
            if (at < model.size()) ++at;
            break;
        case 4:
            cursor = record.FirstEntry();
            at = 0;
            break;
        case 5:
            RequireSame(record, model, pad);
            break;
        }
        Require(record.Count() == model.size());
        Require(std::strcmp(record.At(cursor), at < model.size() ? model[at].c_str() : "") == 0);
    }
    RequireSame(record, model, pad);
    std::vector<uint32_t> offsets = record.EntryOffsets();
    Require(offsets.size() == model.size());
    for (size_t k = 0; k < offsets.size(); ++k) Require(model[k] == record.At(offsets[k]));
    return 0;
}
