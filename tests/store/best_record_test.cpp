#include "store/best_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "testing/best_bytes.h"

namespace {

using namespace best;
using bestbytes::Bytes;
using bestbytes::File;
using bestbytes::Record;
using Names = std::vector<std::string>;

Bytes Merge(const Bytes &old, const BestRecord &edited, int mode, MergeReport *report = nullptr) {
    Bytes out;
    EXPECT_EQ(MergeBestFile(old.data(), old.size(), edited, mode, &out, report), MergeResult::Merged);
    return out;
}

BestRecord Make(const char *name, std::vector<const char *> entries) {
    BestRecord record = BestRecord::ForName(name);
    size_t cursor = record.Terminator();
    for (const char *entry : entries) EXPECT_TRUE(record.InsertEntry(&cursor, entry));
    return record;
}

Bytes BytesOf(const BestRecord &record) { return Bytes(record.Bytes(), record.Bytes() + record.Size()); }
Names NamesIn(const Bytes &file) { return ListBestNames(file.data(), file.size()); }

// What the writer produces must read to the end marker without damage.
void ExpectClean(const Bytes &file) {
    RecordWalk walk(file.data(), file.size());
    RecordView record;
    while (walk.Next(&record)) {}
    EXPECT_FALSE(walk.MetDamage());
    EXPECT_EQ(walk.Offset() + 4, file.size());
}

TEST(BestRecord, NewDefaultAndEditedRecordsKeepTheirLayout) {
    EXPECT_EQ(BytesOf(BestRecord::ForName("Jazz")), Record("Jazz", {}));  // length 16
    const char kAllMidi[] = "\x82\xb7\x82\xd7\x82\xc4\x82\xccMIDI\x83\x74\x83\x40\x83\x43\x83\x8b";
    EXPECT_EQ(BytesOf(BestRecord::Default()), Record(kAllMidi, {}, 5));
    EXPECT_EQ(BestRecord::Default().Length(), 35u);
    EXPECT_FALSE(BestRecord::ForName(std::string(259, 'n').c_str()).IsNone());
    EXPECT_TRUE(BestRecord::ForName(std::string(260, 'n').c_str()).IsNone());

    // Insertion and removal move the padding along and keep the cursor on the following entry.
    BestRecord record = Make("b", {"C:\\z.mid"});
    size_t cursor = record.FirstEntry();
    ASSERT_TRUE(record.InsertEntry(&cursor, "C:\\a.mid"));
    EXPECT_STREQ(record.At(cursor), "C:\\z.mid");
    EXPECT_EQ(BytesOf(record), Record("b", {"C:\\a.mid", "C:\\z.mid"}));
    EXPECT_STREQ(record.Entry(1), "C:\\z.mid");
    cursor = record.FirstEntry();
    ASSERT_TRUE(record.RemoveEntry(&cursor));
    EXPECT_STREQ(record.At(cursor), "C:\\z.mid");
    EXPECT_EQ(BytesOf(record), Record("b", {"C:\\z.mid"}));

    // Edits that would corrupt the record are refused and change nothing.
    size_t end = record.Terminator(), inside = record.FirstEntry() + 1;
    EXPECT_FALSE(record.RemoveEntry(&end));
    EXPECT_FALSE(record.InsertEntry(&inside, "x"));
    EXPECT_FALSE(record.InsertEntry(&end, ""));
    EXPECT_FALSE(record.InsertEntry(&end, std::string(260, 'p').c_str()));
    EXPECT_EQ(BytesOf(record), Record("b", {"C:\\z.mid"}));
}

// Long runs of edits at a cursor that mostly moves forward, as the editor
// makes them, against a list edited the plain way.  Reading the bytes in
// between closes the gap, so edits after it start from a contiguous record.
TEST(BestRecord, EditRunsAtAMovingCursorMatchAListEditedInPlace) {
    std::vector<std::string> model = {"C:\\a.mid", "C:\\\x83\x5c\\b.mid"};
    Bytes loaded = Record("Ops", model, 7);
    RecordView view;
    ASSERT_EQ(CheckRecord(loaded.data(), loaded.size(), 0, &view), RecordState::Valid);
    BestRecord record = BestRecord::CopyOf(view);
    std::mt19937 random(7);
    size_t cursor = record.FirstEntry(), at = 0;
    for (int step = 0; step < 4000; ++step) {
        unsigned op = random() % 16;
        if (op < 7) {
            std::string path = "C:\\" + std::string(1 + random() % (op == 0 ? 256 : 20), 'a' + step % 26);
            ASSERT_TRUE(record.InsertEntry(&cursor, path.c_str()));
            model.insert(model.begin() + at++, path);
        } else if (op < 11) {
            EXPECT_EQ(record.RemoveEntry(&cursor), at < model.size());
            if (at < model.size()) model.erase(model.begin() + at);
        } else if (op < 15) {
            cursor = record.Next(cursor);
            at = std::min(at + 1, model.size());
        } else {
            cursor = record.FirstEntry();
            at = 0;
        }
        ASSERT_STREQ(record.At(cursor), at < model.size() ? model[at].c_str() : "") << step;
        ASSERT_EQ(record.Count(), model.size());
        if (step % 61 == 0 || step % 61 == 1) {
            ASSERT_EQ(BytesOf(record), Record("Ops", model, 7)) << step;
            ASSERT_EQ(record.Length(), record.Size());
            std::vector<uint32_t> offsets = record.EntryOffsets();
            ASSERT_EQ(offsets.size(), model.size());
            for (size_t i = 0; i < offsets.size(); ++i) ASSERT_STREQ(record.At(offsets[i]), model[i].c_str());
        }
    }
    EXPECT_EQ(BytesOf(record), Record("Ops", model, 7));
}

TEST(BestFileReader, FindsChoosesAndListsByExactName) {
    Bytes file = File({Record("Rock", {"C:\\r.mid"}), Record("rock", {}), Record("Rock", {"C:\\2.mid"})});
    EXPECT_EQ(BytesOf(FindBest(file.data(), file.size(), "Rock")), Record("Rock", {"C:\\r.mid"}));
    EXPECT_EQ(BytesOf(FindBest(file.data(), file.size(), "rock")), Record("rock", {}));
    for (const std::string &other : Names{"ROCK", "Roc", "Rock" + std::string(400, 'x')})
        EXPECT_TRUE(FindBest(file.data(), file.size(), other.c_str()).IsNone()) << other;
    EXPECT_EQ(NamesIn(file), (Names{"Rock", "rock", "Rock"}));
    Bytes empty = File({});
    EXPECT_TRUE(FindBest(empty.data(), empty.size(), "Rock").IsNone());
    EXPECT_TRUE(NamesIn(empty).empty());

    // Modes 1 and 3: a name not in the file selects nothing, or the first best.
    BestChoice choice = ChooseBest(file.data(), file.size(), "rock", false);
    EXPECT_EQ(choice.names, NamesIn(file));
    EXPECT_EQ(choice.selected, 1);
    EXPECT_EQ(BytesOf(choice.record), Record("rock", {}));
    EXPECT_EQ(ChooseBest(file.data(), file.size(), "Pop", false).selected, -1);
    EXPECT_TRUE(ChooseBest(file.data(), file.size(), "Pop", false).record.IsNone());
    EXPECT_EQ(ChooseBest(file.data(), file.size(), "Pop", true).selected, 0);
    EXPECT_EQ(ChooseBest(file.data(), file.size(), "rock", true).selected, 1);
}

// Only a missing or bestless file leads to the default best; a failed read
// never does.
TEST(BestFileReader, OnlyAMissingOrBestlessFileHasNoBest) {
    Bytes good = File({Record("A", {})}), damaged = File({Record("Lost", {}, 2, -1, 5000)});
    EXPECT_EQ(JudgeBestFile(FileReading::Read, good.data(), good.size()), BestFileState::Bests);
    EXPECT_EQ(JudgeBestFile(FileReading::Failed, good.data(), good.size()), BestFileState::Unreadable);
    EXPECT_EQ(JudgeBestFile(FileReading::Missing, nullptr, 0), BestFileState::NoBest);
    for (const Bytes &none : {Bytes{}, Bytes(4, 0), damaged})
        EXPECT_EQ(JudgeBestFile(FileReading::Read, none.data(), none.size()), BestFileState::NoBest);
}

TEST(BestFileWriter, SavesInPlaceAppendsDeletesAndRoundTrips) {
    Bytes a = Record("A", {"C:\\a.mid"}), b = Record("B", {}, 7), c = Record("C", {"C:\\c.mid"});
    Bytes file = File({a, b, c});
    BestRecord newB = Make("B", {"C:\\b1.mid", "C:\\b2.mid"}), d = Make("D", {});
    EXPECT_EQ(Merge(file, newB, 1), File({a, BytesOf(newB), c}));
    EXPECT_EQ(Merge(file, d, 2), File({a, b, c, BytesOf(d)}));
    EXPECT_EQ(Merge(file, newB, 0), File({a, c}));
    EXPECT_EQ(Merge(file, Make("b", {}), 0), file);
    // Later records of the name go; bytes after the end marker are not kept.
    Bytes twice = File({b, a, b});
    twice.push_back(0x55);
    EXPECT_EQ(Merge(twice, newB, 1), File({BytesOf(newB), a}));

    // No file and a file of 0 bytes are alike: saving is possible again.
    Bytes out;
    ASSERT_EQ(MergeBestFile(nullptr, 0, newB, 1, &out), MergeResult::Merged);
    EXPECT_EQ(out, File({BytesOf(newB)}));
    EXPECT_EQ(Merge(Bytes(), newB, 0), File({}));
    EXPECT_EQ(MergeBestFile(file.data(), file.size(), BestRecord(), 1, &out), MergeResult::NoRecord);

    Bytes saved = Merge(Merge(file, newB, 1), Make("E", {"C:\\e.mid"}), 1);
    EXPECT_EQ(BytesOf(FindBest(saved.data(), saved.size(), "B")), BytesOf(newB));
    EXPECT_EQ(NamesIn(saved), (Names{"A", "B", "C", "E"}));
}

TEST(BestFileWriter, NeverWritesWhatTheReaderWouldRefuseOrTakesBackAnUnfinishedFile) {
    Bytes file = File({Record("A", {"C:\\a.mid"})}), out;
    BestRecord grown = Make("B", {"C:\\b.mid"});
    size_t size = file.size() + grown.Size();
    EXPECT_EQ(MergeBestFile(file.data(), file.size(), grown, 1, &out, nullptr, size), MergeResult::Merged);
    EXPECT_EQ(MergeBestFile(file.data(), file.size(), grown, 1, &out, nullptr, size - 1), MergeResult::TooLarge);
    EXPECT_TRUE(out.empty());

    // Only the writer's whole output is a best file to take back.
    Bytes whole = Merge(file, grown, 1), trailing = whole, damaged = File({Record("Bad", {"C:\\x.mid"}, 2, 3)});
    trailing.push_back(0);
    EXPECT_TRUE(IsCompleteBestFile(whole.data(), whole.size()));
    for (size_t cut : {size_t{1}, size_t{4}, grown.Size()})
        EXPECT_FALSE(IsCompleteBestFile(whole.data(), whole.size() - cut)) << cut;
    EXPECT_FALSE(IsCompleteBestFile(trailing.data(), trailing.size()));
    EXPECT_FALSE(IsCompleteBestFile(damaged.data(), damaged.size()));
}

TEST(DamagedBestFile, ReaderAndWriterPassOverTheSameRecordsAndNeverWriteThemBack) {
    using bestbytes::Raw;
    Bytes good = Record("Good", {"C:\\g.mid"}), after = Record("After", {});
    const std::vector<std::pair<const char *, Bytes>> damaged = {
        {"length 11", Record("L", {}, 2, -1, 11)},
        {"length 1", Record("L", {}, 2, -1, 1)},
        {"length past the end", Record("L", {}, 2, -1, 10000)},
        {"name without NUL", Raw("nnnnnnnn", 0)},
        {"entry without NUL", Raw(std::string("N\0C:\\x.mid", 10), 1)},
        {"no terminator", Raw(std::string("T\0C:\\x.mid\0", 11), 1)},
        {"count too high", Record("C", {"C:\\x.mid"}, 2, 2)},
        {"count too low", Record("C", {"C:\\x.mid", "C:\\y.mid"}, 2, 1)},
        {"huge count", Record("C", {"C:\\x.mid"}, 2, 0xFFFFFFFF)},
        {"name of 260 bytes", Record(std::string(260, 'n'), {})},
    };
    for (const auto &[what, record] : damaged) {
        SCOPED_TRACE(what);
        Bytes file = File({good, record, after});
        // Behind a plausible length the record is passed over and the good
        // best after it is still found; behind an implausible one nothing can
        // be located.  The writer keeps exactly what the reader lists and
        // reports what it lost.
        RecordView view;
        bool located = CheckRecord(file.data(), file.size(), good.size(), &view) == RecordState::BadContent;
        const Names listed = located ? Names{"Good", "After"} : Names{"Good"};
        EXPECT_EQ(NamesIn(file), listed);
        EXPECT_EQ(FindBest(file.data(), file.size(), "After").IsNone(), !located);

        MergeReport report;
        Bytes saved = Merge(file, Make("New", {}), 1, &report);
        ExpectClean(saved);
        Names expected = listed;
        expected.push_back("New");
        EXPECT_EQ(NamesIn(saved), expected);
        EXPECT_EQ(report.damagedRecords, located ? 1u : 0u);
        EXPECT_EQ(report.lostBytes, located ? record.size() : record.size() + after.size() + 4);
    }
}

TEST(DamagedBestFile, BestsBehindADamagedRecordStayVisibleUntilALengthCannotBeTrusted) {
    Bytes a = Record("A", {"C:\\a.mid"}), bad = Record("X", {"C:\\x.mid"}, 2, 5), b = Record("B", {"C:\\b.mid"});
    Bytes file = File({a, bad, b});
    EXPECT_EQ(BytesOf(FindBest(file.data(), file.size(), "B")), b);
    EXPECT_TRUE(FindBest(file.data(), file.size(), "X").IsNone());
    EXPECT_EQ(NamesIn(file), (Names{"A", "B"}));
    // The combo box indices are those of the listed names, not of the records.
    BestChoice choice = ChooseBest(file.data(), file.size(), "B", false);
    EXPECT_EQ(choice.names, (Names{"A", "B"}));
    EXPECT_EQ(choice.selected, 1);
    EXPECT_EQ(BytesOf(choice.record), b);

    // The walk reaches the end marker and still tells that it passed over damage.
    RecordWalk walk(file.data(), file.size());
    RecordView record;
    while (walk.Next(&record)) {}
    EXPECT_TRUE(walk.MetDamage());
    EXPECT_EQ(walk.Offset() + 4, file.size());

    // A length that cannot be trusted still ends the walk, even after a passed-over record.
    Bytes cut = File({a, bad, Record("L", {}, 2, -1, 11), b});
    EXPECT_EQ(NamesIn(cut), Names{"A"});
    EXPECT_TRUE(FindBest(cut.data(), cut.size(), "B").IsNone());
    EXPECT_EQ(ChooseBest(cut.data(), cut.size(), "B", true).selected, 0);
    RecordWalk stopped(cut.data(), cut.size());
    while (stopped.Next(&record)) {}
    EXPECT_TRUE(stopped.MetDamage());
    EXPECT_EQ(stopped.Offset(), a.size() + bad.size());
}

TEST(DamagedBestFile, EveryTruncationReadsTheWholeRecordsAndSavesCleanly) {
    const Names names = {"One", "Two", "Three"};
    const std::vector<Bytes> records = {Record("One", {"C:\\1.mid", "C:\\\x83\x5c.mid"}), Record("Two", {}, 9),
                                        Record("Three", {"D:\\3/"})};
    Bytes full = File(records);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE(cut);
        // A buffer of exactly cut bytes, so that the sanitizers see any read past it.
        std::unique_ptr<unsigned char[]> bytes(new unsigned char[cut]);
        std::copy(full.begin(), full.begin() + cut, bytes.get());
        size_t whole = 0;
        for (size_t end = 0; whole < records.size() && end + records[whole].size() <= cut; ++whole)
            end += records[whole].size();
        EXPECT_EQ(ListBestNames(bytes.get(), cut), Names(names.begin(), names.begin() + whole));

        Bytes saved;
        ASSERT_EQ(MergeBestFile(bytes.get(), cut, Make("Two", {"C:\\2.mid"}), 1, &saved), MergeResult::Merged);
        ExpectClean(saved);
        EXPECT_FALSE(FindBest(saved.data(), saved.size(), "Two").IsNone());
    }
}

}  // namespace
