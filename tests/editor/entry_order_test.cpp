// The folder-first order of best entries and the seek that relies on it,
// over a file system given as a table.
#include "editor/entry_order.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "testing/best_bytes.h"

namespace {

using Paths = std::vector<std::string>;

class TableQuery : public PathQuery {
public:
    explicit TableQuery(std::map<std::string, PathKind> kinds) : kinds_(std::move(kinds)) {}
    PathKind Kind(const char *path) override {
        ++asked;
        auto found = kinds_.find(path);
        return found == kinds_.end() ? PathKind::Missing : found->second;
    }
    int asked = 0;

private:
    std::map<std::string, PathKind> kinds_;
};

constexpr PathKind F = PathKind::File, D = PathKind::Folder;

// Every path in its place, with its kind.  "\x83\x5C" is "ソ": its trail byte
// is a backslash, which must not cut the name.
const std::vector<std::pair<std::string, PathKind>> kOrdered = {
    {"C:", D},
    {"C:\\j", D},
    {"C:\\j\\\x83\x5C", D},
    {"C:\\j\\\x83\x5C\\a.mid", F},
    {"C:\\j\\\x83\x5C" "b.mid", F},
    {"C:\\m", D},
    {"C:\\m\\a", D},
    {"C:\\m\\a\\x", D},
    {"C:\\m\\a\\x\\1.mid", F},
    {"C:\\m\\a\\2.mid", F},
    {"C:\\m\\a\\a.mid", F},
    {"C:\\m\\a\\B.mid", F},
    {"C:\\m\\a 2", D},  // goes on with a character below the separator
    {"C:\\m\\a 2\\1.mid", F},
    {"C:\\m\\ab", D},  // a sibling whose name goes on past "a"
    {"C:\\m\\ab\\3.mid", F},
    {"C:\\m\\B", D},  // after "ab" only when case is ignored
    {"C:\\m\\B\\4.mid", F},
    {"C:\\m\\0.mid", F},  // the folder's own files after all its sub-folders
    {"C:\\m\\z.mid", F},
    {"C:\\top.mid", F},
    {"d:", D},
    {"D:\\d.mid", F},
    {"\\\\srv\\share", D},
    {"\\\\srv\\share\\n.mid", F},
};

TableQuery Disk() { return TableQuery(std::map<std::string, PathKind>(kOrdered.begin(), kOrdered.end())); }

best::BestRecord Make(const Paths &entries) {
    best::BestRecord record = best::BestRecord::ForName("t");
    size_t cursor = record.Terminator();
    for (const std::string &entry : entries) EXPECT_TRUE(record.InsertEntry(&cursor, entry.c_str()));
    return record;
}

TEST(FolderFirstOrder, EveryPairOfPathsComesInListOrder) {
    TableQuery disk = Disk();
    for (size_t i = 0; i < kOrdered.size(); ++i) {
        for (size_t j = 0; j < kOrdered.size(); ++j) {
            const auto &[a, unused] = kOrdered[i];
            const auto &[p, kind] = kOrdered[j];
            EXPECT_EQ(ComesBefore(a.c_str(), p.c_str(), kind, disk), i < j) << a << " / " << p;
        }
    }
}

TEST(FolderFirstOrder, MissingEntriesAndFolderMarkers) {
    TableQuery disk = Disk();
    // A stale entry goes before any local path past a drive root, so a seek drops it.
    for (const char *p : {"C:\\j", "C:\\m\\a\\x\\1.mid", "D:\\d.mid"})
        EXPECT_TRUE(ComesBefore("C:\\zz\\gone.mid", p, F, disk)) << p;
    EXPECT_FALSE(ComesBefore("C:\\zz\\gone.mid", "C:", D, disk));
    EXPECT_FALSE(ComesBefore("\\\\srv\\gone.mid", "D:\\d.mid", F, disk));

    // A marker stands where its folder stands, and is a folder only if that one is.
    EXPECT_TRUE(ComesBefore("C:\\m\\a/", "C:\\m\\a\\2.mid", F, disk));
    EXPECT_FALSE(ComesBefore("C:\\m\\a/", "C:\\m\\a", D, disk));
    EXPECT_FALSE(ComesBefore("C:\\m\\a\\2.mid", "C:\\m\\a/", D, disk));
    EXPECT_TRUE(ComesBefore("C:\\m\\ab/", "C:\\m\\B/", D, disk));
    EXPECT_TRUE(ComesBefore("d:/", "D:\\d.mid", F, disk));
    EXPECT_TRUE(ComesBefore("C:\\m\\q/", "C:\\j", D, disk));  // its folder is gone
}

TEST(SeekEntry, StepsOverOrRemovesWhatComesBeforeAndKeepsTheRecordExact) {
    const Paths entries = {"C:\\gone.mid", "C:\\m\\a\\1.mid", "C:\\m\\stale.mid", "C:\\m\\z.mid", "D:\\d.mid"};
    TableQuery disk({{"C:\\m", D}, {"C:\\m\\a", D}, {"C:\\m\\a\\1.mid", F}, {"C:\\m\\b.mid", F},
                     {"C:\\m\\z.mid", F}, {"D:\\d.mid", F}});

    best::BestRecord stepped = Make(entries);
    size_t cursor = stepped.FirstEntry();
    SeekEntry(&stepped, &cursor, "C:\\m\\b.mid", SeekPass::StepOver, KnownKind::File, disk);
    EXPECT_STREQ(stepped.At(cursor), "C:\\m\\z.mid");
    EXPECT_EQ(stepped.Count(), 5u);
    // The seek goes on from where it stands, and may end at the terminator.
    SeekEntry(&stepped, &cursor, "\\\\srv\\share\\n.mid", SeekPass::StepOver, KnownKind::File, disk);
    EXPECT_EQ(cursor, stepped.Terminator());

    best::BestRecord removed = Make(entries);
    cursor = removed.FirstEntry();
    SeekEntry(&removed, &cursor, "C:\\m\\b.mid", SeekPass::Remove, KnownKind::Ask, disk);
    ASSERT_TRUE(removed.InsertEntry(&cursor, "C:\\m\\b.mid"));
    best::BestRecord expected = Make({"C:\\m\\b.mid", "C:\\m\\z.mid", "D:\\d.mid"});
    EXPECT_EQ(removed.Length(), expected.Length());
    EXPECT_EQ(removed.Count(), 3u);
    EXPECT_EQ(bestbytes::Bytes(removed.Bytes(), removed.Bytes() + removed.Size()),
              bestbytes::Bytes(expected.Bytes(), expected.Bytes() + expected.Size()));

    // A sought folder given with its marker is asked without it.
    best::BestRecord marked = Make(entries);
    cursor = marked.FirstEntry();
    SeekEntry(&marked, &cursor, "C:\\m\\a/", SeekPass::StepOver, KnownKind::Ask, disk);
    EXPECT_STREQ(marked.At(cursor), "C:\\m\\a\\1.mid");

    // A sought path that does not exist moves nothing, though a stale entry is at the cursor.
    best::BestRecord kept = Make(entries);
    cursor = kept.FirstEntry();
    disk.asked = 0;
    SeekEntry(&kept, &cursor, "C:\\m\\new.mid", SeekPass::Remove, KnownKind::Ask, disk);
    EXPECT_EQ(cursor, kept.FirstEntry());
    EXPECT_EQ(kept.Count(), 5u);
    EXPECT_EQ(disk.asked, 1);
}

}  // namespace
