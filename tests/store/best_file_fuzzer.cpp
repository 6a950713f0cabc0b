// Fuzz target for the best file codec: walks, finds, lists, chooses, edits
// and merges arbitrary bytes, and checks what must hold for any input.
//
// Input: byte 0 the writer's mode (even: delete, odd: save), byte 1 the
// number of entries to give the edited record (mod 4), byte 2 the name's
// length n, then n bytes of name, then the old best file.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "store/best_record.h"

using namespace best;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

std::vector<std::string> Without(std::vector<std::string> names, const std::string &name) {
    std::vector<std::string> kept;
    for (std::string &n : names)
        if (n != name) kept.push_back(std::move(n));
    return kept;
}

// A merge result holds only valid records and ends with the end marker.
void RequireClean(const std::vector<unsigned char> &file) {
    RecordWalk walk(file.data(), file.size());
    RecordView record;
    while (walk.Next(&record)) {}
    Require(!walk.MetDamage() && walk.Offset() + 4 == file.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3 || size < 3u + data[2]) return 0;
    int mode = data[0] & 1;
    int entries = data[1] % 4;
    std::string name(reinterpret_cast<const char *>(data + 3), data[2]);
    name = name.c_str();  // a C string ends at its first NUL
    const unsigned char *file = data + 3 + data[2];
    size_t fileSize = size - 3 - data[2];

    // The reader: every listed name is found, and found first where it first appears.
    std::vector<std::string> names = ListBestNames(file, fileSize);
    for (size_t i = 0; i < names.size(); ++i) {
        BestRecord found = FindBest(file, fileSize, names[i].c_str());
        Require(!found.IsNone() && found.NameEquals(names[i].c_str()));
        BestChoice choice = ChooseBest(file, fileSize, names[i].c_str(), false);
        Require(choice.names == names && choice.selected >= 0 && static_cast<size_t>(choice.selected) <= i);
        if (i == 0 && found.Count() > 0) {
            // Editing a found record keeps it valid.
            size_t cursor = found.FirstEntry();
            Require(found.RemoveEntry(&cursor));
            Require(found.InsertEntry(&cursor, "C:\\x.mid"));
            std::vector<unsigned char> alone(found.Bytes(), found.Bytes() + found.Size());
            RecordView view;
            Require(CheckRecord(alone.data(), alone.size(), 0, &view) == RecordState::Valid);
        }
    }
    ChooseBest(file, fileSize, name.c_str(), true);

    // The writer.
    BestRecord edited = BestRecord::ForName(name.c_str());
    size_t cursor = edited.Terminator();
    for (int i = 0; i < entries; ++i) Require(edited.InsertEntry(&cursor, "C:\\m\\song.mid"));
    std::vector<unsigned char> saved;
    MergeReport report;
    Require(MergeBestFile(file, fileSize, edited, mode, &saved, &report) == MergeResult::Merged);
    RequireClean(saved);
    std::vector<std::string> after = ListBestNames(saved.data(), saved.size());
    size_t same = 0;
    for (const std::string &n : after) same += n == name;
    Require(same == static_cast<size_t>(mode));
    if (mode) {
        BestRecord found = FindBest(saved.data(), saved.size(), name.c_str());
        Require(found.Size() == edited.Size() && std::memcmp(found.Bytes(), edited.Bytes(), found.Size()) == 0);
    }
    // The writer keeps exactly the bests the reader lists, in order: none the
    // user sees is lost, and none hidden from the user comes back.
    Require(Without(after, name) == Without(names, name));

    // Saving the result again changes nothing and loses nothing.
    std::vector<unsigned char> again;
    Require(MergeBestFile(saved.data(), saved.size(), edited, mode, &again, &report) == MergeResult::Merged);
    Require(again == saved && report.damagedRecords == 0 && report.lostBytes == 0);
    return 0;
}
