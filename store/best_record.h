// Best records and the best file, over byte buffers (no windows.h).
//
// A best record (integers 32-bit little-endian):
//   0   record length, from offset 0 to the end of the padding
//   4   entry count, the number of non-empty strings in the entry list
//   8   best name, NUL-terminated, at most kMaxNameLength bytes before the NUL
//   ..  entries, NUL-terminated paths
//   ..  an empty string (one zero byte) ends the list
//   ..  zero padding up to the record length
// The best file is the records one after another followed by a 32-bit zero.
//
// The Win32 reader and writer read the whole file into memory and hand the
// bytes to the functions here; the writer writes what MergeBestFile returns
// to a new file and replaces the old one with it.
//
// Validation.  The file is untrusted: every record is checked before any of
// its fields is used, and nothing outside [file, file + size) is ever read.
// A record is invalid when
//   - its length is below 12 or reaches past the end of the bytes,
//   - its name or an entry (the empty terminator included) has no NUL
//     inside the record,
//   - its name is longer than kMaxNameLength bytes (the program never writes
//     one, and every name buffer of the program holds 260 bytes),
//   - its entry count differs from the number of strings before the empty one.
// The reader (FindBest, ListBestNames, ChooseBest) and the writer
// (MergeBestFile) walk the file alike, with RecordWalk: from each record to
// the next by its length.  An invalid record whose length is plausible (>= 12,
// inside the file) is passed over and the records after it are still found; a
// length that cannot be trusted leaves nothing after it to locate, so the walk
// ends there.  Only valid records are ever listed, found or written back.  Were
// the reader to stop where the writer goes on, bests behind a damaged record
// would be hidden from the user and yet kept by every save, and a new best
// could take a hidden one's name.
#ifndef TIVORN_STORE_BEST_RECORD_H
#define TIVORN_STORE_BEST_RECORD_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "utils/path_rules.h"

namespace best {

constexpr size_t kHeaderSize = 8;          // record length and entry count
constexpr uint32_t kMinRecordLength = 12;
constexpr size_t kMaxNameLength = paths::kLongestPath;  // bytes before the NUL: a name fits a path buffer
constexpr size_t kMaxEntryLength = paths::kLongestPath;  // every entry is a path
constexpr size_t kEndMarkerSize = 4;
// The largest best file the reader takes, and so the largest the writer
// makes: far beyond any selection of songs (a thousand bests of a thousand
// paths is about 60 MB), and a file larger than this is refused rather than
// given all the memory it asks for.
constexpr size_t kLargestFile = size_t{1} << 30;

// One valid record as found in a file's bytes; points into those bytes.
struct RecordView {
    const unsigned char *bytes = nullptr;  // the record's first byte
    size_t offset = 0;                     // of the record in the file
    uint32_t length = 0;
    uint32_t count = 0;
    const char *name = nullptr;            // NUL-terminated inside the record
    size_t nameLength = 0;
};

enum class RecordState {
    Valid,
    End,         // the zero end marker, or fewer than 4 bytes left
    BadContent,  // length plausible (>= 12, inside the file), content invalid
    BadLength,   // length below 12 or past the end: nothing after it can be located
};

// Checks the record at offset.  Fills *record only when the result is Valid.
// Linear in the record's length.
RecordState CheckRecord(const unsigned char *file, size_t size, size_t offset, RecordView *record);

// The walk shared by the reader and the writer: the valid records in file
// order, up to the end marker or a length that cannot be trusted.  Records
// with a plausible length but invalid content are passed over and counted.
class RecordWalk {
public:
    RecordWalk(const unsigned char *file, size_t size) : file_(file), size_(size) {}
    // The next valid record, or false once the walk has stopped (for good).
    bool Next(RecordView *record);
    // The damage met so far: the invalid records passed over, and the bytes
    // the walk could not use, theirs and, after a length that cannot be
    // trusted, the whole rest of the bytes.
    size_t DamagedRecords() const { return damagedRecords_; }
    size_t LostBytes() const { return lostBytes_; }
    // Whether any record was passed over or the walk stopped at a length that
    // cannot be trusted.  Every damage loses bytes: a passed-over record has
    // 12 or more, and a bad length is met only with 4 or more bytes left.
    bool MetDamage() const { return lostBytes_ > 0; }
    // After Next returned false: where the walk stopped, at the end marker,
    // the end of the bytes or the record whose length cannot be trusted.
    size_t Offset() const { return offset_; }

private:
    const unsigned char *file_;
    size_t size_;
    size_t offset_ = 0;
    bool stopped_ = false;
    size_t damagedRecords_ = 0;
    size_t lostBytes_ = 0;
};

// An owned copy of one record: what the reader hands out (the caller owns it)
// and what the editor changes.  A BestRecord is either none (IsNone) or a
// valid record: every operation keeps length, count and terminator
// consistent.  Entries are reached through cursors, byte offsets into the
// record that stay meaningful when the record grows or shrinks.
//
// The editor makes long runs of insertions, removals and steps at a cursor
// that moves forward, so the bytes are kept as a gap buffer: unused bytes (the
// gap) sit where the last edit was made, an edit there fills or widens the gap,
// and moving the gap costs the bytes it passes.  Filling a long list at a
// forward-moving cursor is thus linear in the list's length, not quadratic.
// Cursors are offsets in the record as written, as if there were no gap.  The
// gap always lies at an entry boundary (an entry's cursor or the terminator)
// or after the padding, so no string straddles it: At returns whole strings
// and the header and name lie before it.  Records made by ForName, Default and
// CopyOf have no gap, and reading costs them nothing extra.  Bytes moves the
// gap after the padding so that the record is contiguous; it is logically
// const but moves the entries behind the last edit, so a record with an open
// gap must not be read from two threads at once.  A pointer from At or Entry
// stays valid until the next edit, or the next Bytes after an edit.
class BestRecord {
public:
    BestRecord() = default;  // none

    // The record of a new best: length = name length + 12, no entries.
    // None when name is null or longer than kMaxNameLength bytes.
    static BestRecord ForName(const char *name);
    // The best made when there is no best at all: "すべてのMIDIファイル",
    // length 35, no entries.
    static BestRecord Default();
    // A copy of a record found by CheckRecord or RecordWalk.
    static BestRecord CopyOf(const RecordView &record);

    bool IsNone() const { return bytes_.empty(); }
    // The whole record, contiguous: Size() bytes.  Linear in the bytes behind
    // the last edit the first time after it, then constant.
    const unsigned char *Bytes() const;
    size_t Size() const { return IsNone() ? 0 : bytes_.size() - gapLength_; }  // == Length()
    uint32_t Length() const;
    uint32_t Count() const;
    const char *Name() const;  // "" for none
    size_t NameLength() const;
    bool NameEquals(const char *name) const;  // byte for byte, case-sensitive

    // Cursors.  FirstEntry is the cursor of entry 0 (or of the terminator
    // when there is none); At gives the string at a cursor, "" at the
    // terminator; Next steps over it.  Cursors run from FirstEntry to
    // Terminator.
    size_t FirstEntry() const;
    size_t Terminator() const { return terminator_; }
    const char *At(size_t cursor) const;
    size_t Next(size_t cursor) const;
    // Entry k, or null when k is not below Count().  Linear in k.
    const char *Entry(uint32_t k) const;
    // The cursor of every entry, in order: random access for the player.
    std::vector<uint32_t> EntryOffsets() const;

    // Inserts path before the entry at *cursor; length grows by the path's
    // length + 1 and the count by 1; *cursor then points just after the new
    // entry.  Refused (false, nothing changed) for none, a cursor that is not
    // at an entry or at the terminator, an empty path, a path longer than
    // kMaxEntryLength bytes, or a length that would overflow.  Amortized
    // linear in the path's length plus the distance from the last edit.
    bool InsertEntry(size_t *cursor, const char *path);
    // Removes the entry at *cursor; length shrinks by its length + 1 and the
    // count by 1; *cursor then points at the entry that followed.  Refused at
    // the terminator or at a cursor that is not at an entry.  Linear in the
    // entry's length plus the distance from the last edit.
    bool RemoveEntry(size_t *cursor);

private:
    explicit BestRecord(std::vector<unsigned char> bytes, size_t terminator)
        : bytes_(std::move(bytes)), terminator_(terminator), gapStart_(bytes_.size()) {}
    bool IsEntryCursor(size_t cursor) const;
    void SetField(size_t offset, uint32_t value);
    // Where the byte at a cursor is stored.
    size_t Stored(size_t cursor) const { return cursor < gapStart_ ? cursor : cursor + gapLength_; }
    // Moves the gap to cursor (an entry boundary or the end of the record).
    void MoveGap(size_t cursor) const;

    // The record with the gap's bytes at gapStart_: bytes_.size() is
    // Length() + gapLength_.
    mutable std::vector<unsigned char> bytes_;
    size_t terminator_ = 0;  // cursor of the empty string ending the list
    mutable size_t gapStart_ = 0;  // a cursor: the gap lies just before the byte at it
    size_t gapLength_ = 0;
};

// --- the reader ------------------------------------------------------------

// Mode 0, find: a copy of the first record named name (byte for byte), or
// none.  A name that cannot be in the file (null, longer than
// kMaxNameLength) finds none.
BestRecord FindBest(const unsigned char *file, size_t size, const char *name);

// Mode 2, names: the names of all records, in file order.
std::vector<std::string> ListBestNames(const unsigned char *file, size_t size);

// Modes 1 and 3, fill and select: every name for the combo box (record i at
// index i), the index to select and a copy of that record.  The selection is
// the first record named name (none when name is null); with firstByDefault
// (mode 3) the first record when no record is named name.  selected is -1
// and record none when nothing is selected.
struct BestChoice {
    std::vector<std::string> names;
    int selected = -1;
    BestRecord record;
};
BestChoice ChooseBest(const unsigned char *file, size_t size, const char *name, bool firstByDefault);

// What the best file offers, judged from how reading it went: whether the
// program has bests to go on with, has none at all (and may make the
// default best, which deletes every played history), or has to tell of a
// failure.  Only a file that does not exist, or whose bytes hold no valid
// record, has no best; a file that could not be read may hold every best
// the user has, and is never taken for one without.
enum class FileReading { Read, Missing, Failed };
enum class BestFileState {
    Bests,       // at least one valid record
    NoBest,      // missing, empty, or nothing valid in it
    Unreadable,  // it exists, or may, and could not be read
};
BestFileState JudgeBestFile(FileReading reading, const unsigned char *file, size_t size);

// Whether the bytes are a best file as the writer leaves it: valid records
// only, then the end marker as the last four bytes.  A temporary file that
// was cut short or damaged is not.
bool IsCompleteBestFile(const unsigned char *file, size_t size);

// --- the writer ------------------------------------------------------------

// What the merge left out of the old content beyond what it was asked to.
struct MergeReport {
    size_t damagedRecords = 0;  // invalid records with a plausible length, left out
    size_t lostBytes = 0;       // their bytes, and the whole rest of the old content
                                // from a record length that could not be trusted
};

// The new content of the best file: the old content (null or empty means
// there is no file yet) with edited saved into it (mode nonzero) or its name
// deleted from it (mode 0).
//   - Valid records of other names are kept byte for byte and in order.
//   - Saving writes edited in place of the first record of its name and
//     drops the others of that name; without one it is appended.  Deleting
//     drops every record of that name.
//   - The result ends with the 4-byte end marker; bytes after the old end
//     marker are not carried over.
// Damaged old content is walked as the reader walks it (RecordWalk): an
// invalid record whose length is plausible (>= 12 and inside the file) is left
// out and the records after it are kept; at a length that cannot be trusted
// the rest of the old content cannot be located and is left out.  So the
// result holds exactly the valid records the reader lists (less or plus
// edited), and *report says what was lost, so that the caller can keep a copy
// of the old file.
// A result larger than largest is refused: the reader would not take it back,
// and the user would be locked out of every best at the next start.
// Linear in the size of the old content.
enum class MergeResult {
    Merged,
    NoRecord,  // edited is none
    TooLarge,  // the new content would pass largest
};
// *out is empty unless the result is Merged.
MergeResult MergeBestFile(const unsigned char *old, size_t oldSize, const BestRecord &edited, int mode,
                          std::vector<unsigned char> *out, MergeReport *report = nullptr,
                          size_t largest = kLargestFile);

}  // namespace best

#endif
