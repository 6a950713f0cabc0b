// The marks of the folder tree written into a best's entry list, and
// the entry list read back into marks, over a small disk in memory.
#include "editor/collection.h"
#include "editor/disk_index.h"
#include "editor/listing_ahead.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fake_tree.h"
#include "utils/ansi_text.h"

namespace collection_test {

using faketree::FakeTree;
using tree::Item;
using Paths = std::vector<std::string>;

constexpr unsigned U = tree::kUnchecked, C = tree::kChecked, P = tree::kPartly;

// Each folder's sorted sub-folders and files; a file exists when its folder lists it.
class Disk : public PathQuery, public FolderLister {
public:
    explicit Disk(std::map<std::string, std::pair<Paths, Paths>> folders) : folders_(std::move(folders)) {}
    PathKind Kind(const char *path) override {
        std::string p = path;
        if (!p.empty() && p.back() == '/') p.pop_back();  // a marker names its folder
        if (folders_.count(p)) return PathKind::Folder;
        size_t cut = p.rfind('\\');
        auto folder = folders_.find(p.substr(0, cut));
        if (cut == std::string::npos || folder == folders_.end()) return PathKind::Missing;
        for (const std::string &file : folder->second.second)
            if (file == p.substr(cut + 1)) return PathKind::File;
        return PathKind::Missing;
    }
    Paths List(const std::string &folder, Listing what) override {
        const bool files = what != Listing::Folders, midiOnly = what == Listing::MidiFiles;
        Paths out;
        auto found = folders_.find(folder);
        if (found == folders_.end()) return out;
        for (const std::string &name : files ? found->second.second : found->second.first)
            if (!midiOnly || ansi::EndsWithNoCase(name.c_str(), ".mid")) out.push_back(name);
        return out;
    }
    bool CanList(const std::string &folder) override { return folders_.count(folder) != 0; }

private:
    std::map<std::string, std::pair<Paths, Paths>> folders_;
};

best::BestRecord Make(const Paths &entries) {
    best::BestRecord record = best::BestRecord::ForName("t");
    size_t cursor = record.Terminator();
    for (const std::string &entry : entries) EXPECT_TRUE(record.InsertEntry(&cursor, entry.c_str()));
    return record;
}

Paths Entries(const best::BestRecord &record) {
    Paths out;
    for (size_t cursor = record.FirstEntry(); cursor != record.Terminator(); cursor = record.Next(cursor))
        out.emplace_back(record.At(cursor));
    return out;
}

Paths Join(Paths a, const Paths &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The MIDI tab (or with midi false the all-files tab), its MIDI folder "D:\M"
// the only root item (names entry 0).
struct MidiTab {
    MidiTab(const Paths &entries, unsigned rootState, bool midi = true, const char *folder = "D:\\M")
        : midi(midi), record(Make(entries)) {
        root = t.Add(tree::kNoItem, folder, rootState);
    }
    // An item for every sub-folder and file the tab shows in folder (at path), all with mark.
    void Fill(Item folder, const std::string &path, unsigned mark) {
        for (const std::string &name : disk.List(path, Listing::Folders)) t.Add(folder, name, mark);
        for (const std::string &name : disk.List(path, midi ? Listing::MidiFiles : Listing::Files)) t.Add(folder, name, mark, true);
        t.At(folder).state |= tree::kExpanded | tree::kExpandedOnce;
    }
    bool Collect() {
        Collection c{t, record, disk, disk, midi};
        size_t cursor = record.FirstEntry();
        return CollectChecks(c, std::string(), &cursor, t.FirstChild(tree::kNoItem), CollectFrom::FirstEntry);
    }

    Disk disk{{{"C:\\Other", {{}, {"x.mid"}}},
               {"D:\\M", {{"A", "B"}, {"a.wav", "top.mid"}}},
               {"D:\\M\\A", {{"Deep"}, {"1.mid", "2.mid", "cover.jpg", "s.lnk"}}},
               {"D:\\M\\A\\Deep", {{}, {"d.mid"}}},
               {"D:\\M\\B", {{}, {"b1.mid", "b2.mid", "b3.mid", "liner.txt"}}},
               {"D:\\MM", {{}, {"y.mid"}}}}};
    bool midi;
    FakeTree t;
    best::BestRecord record;
    Item root;
};

const Paths kB = {"D:\\M\\B/", "D:\\M\\B\\b1.mid", "D:\\M\\B\\b2.mid", "D:\\M\\B\\b3.mid"};

TEST(Collection, AWholeCheckedMidiFolderIsItsMarkerAndEveryMidiFileBelowSubFoldersFirst) {
    const Paths outside = {"C:\\Other\\x.mid", "D:\\M\\a.wav", "D:\\MM\\y.mid"};
    MidiTab tab(outside, C);
    tab.t.At(tab.root).data |= tree::kChangedBit;
    EXPECT_TRUE(tab.Collect());
    EXPECT_EQ(Entries(tab.record),
              (Paths{"C:\\Other\\x.mid", "D:\\M/", "D:\\M\\A\\Deep\\d.mid", "D:\\M\\A\\1.mid", "D:\\M\\A\\2.mid",
                     "D:\\M\\B\\b1.mid", "D:\\M\\B\\b2.mid", "D:\\M\\B\\b3.mid", "D:\\M\\a.wav", "D:\\M\\top.mid",
                     "D:\\MM\\y.mid"}));
    EXPECT_FALSE(tab.Collect());

    EXPECT_TRUE(tree::ToggleMark(tab.t, tab.root, false));
    EXPECT_TRUE(tab.Collect());
    EXPECT_EQ(Entries(tab.record), outside);
}

TEST(Collection, CheckingAFolderRewritesItsPartAndUncheckingTakesBackOnlyWhatTheTabWrites) {
    MidiTab tab(Join({"C:\\Other\\x.mid", "D:\\M\\A\\Deep/", "D:\\M\\A\\cover.jpg", "D:\\M\\A\\s.lnk"},
                     Join(kB, {"D:\\M\\a.wav"})),
                P);
    tab.Fill(tab.root, "D:\\M", U);
    Item a = tab.t.Child(tab.root, "A");
    tab.t.At(tab.t.Child(tab.root, "B")).state = C;

    EXPECT_TRUE(tree::ToggleMark(tab.t, a, false));
    EXPECT_TRUE(tab.Collect());
    const Paths checked = Join({"C:\\Other\\x.mid", "D:\\M\\A/", "D:\\M\\A\\Deep\\d.mid", "D:\\M\\A\\1.mid",
                                "D:\\M\\A\\2.mid", "D:\\M\\A\\cover.jpg"},
                               Join(kB, {"D:\\M\\a.wav"}));
    EXPECT_EQ(Entries(tab.record), checked);
    EXPECT_FALSE(tab.Collect());
    EXPECT_EQ(Entries(tab.record), checked);

    EXPECT_TRUE(tree::ToggleMark(tab.t, a, false));
    EXPECT_TRUE(tab.Collect());
    EXPECT_EQ(Entries(tab.record), Join({"C:\\Other\\x.mid", "D:\\M\\A\\cover.jpg"}, Join(kB, {"D:\\M\\a.wav"})));
}

TEST(Collection, UncheckingOneFileOfACheckedFolderWritesTheOtherFilesOneByOne) {
    MidiTab tab(kB, P);
    tab.Fill(tab.root, "D:\\M", U);
    Item b = tab.t.Child(tab.root, "B");
    tab.t.At(b).state = C;
    tab.Fill(b, "D:\\M\\B", C);
    Item b1 = tab.t.Child(b, "b1.mid"), b2 = tab.t.Child(b, "b2.mid"), b3 = tab.t.Child(b, "b3.mid");

    EXPECT_TRUE(tree::ToggleMark(tab.t, b2, false));
    EXPECT_EQ(tab.t.MarkOf(b), P);
    EXPECT_TRUE(tab.Collect());
    EXPECT_EQ(Entries(tab.record), (Paths{"D:\\M\\B\\b1.mid", "D:\\M\\B\\b3.mid"}));
    EXPECT_FALSE(tab.t.Changed(b1) || tab.t.Changed(b2) || tab.t.Changed(b3));
    EXPECT_FALSE(tab.Collect());
}

// A folder written by one tab is one state on the other: shown ticked (a
// marker partly on the all-files tab), taken out whole when unticked, and written once when ticked again (at the
// top of the walk, where no later item's seek tidies up after it).
TEST(Collection, AFolderTickedOnOneTabIsOneStateOnTheOther) {
    const std::string x = "C:\\Other\\x.mid", wav = "D:\\M\\a.wav", txt = "D:\\M\\B\\liner.txt", b = "D:\\M\\B";
    const Paths midiB = Join({x}, Join(kB, {wav})), wholeB = {x, b, kB[1], kB[2], kB[3], txt, wav};
    Paths both = wholeB;  // as the two tabs used to write it
    both.insert(both.end() - 1, kB.begin(), kB.end());
    // The entries, the tab, the folder (with the mark it shows) clicked or
    // opened for a file in it clicked off and on, and the entries after.
    struct Case { Paths entries; bool midi; std::string folder; unsigned shown; const char *file; Paths after; };
    const Case cases[] = {{both, false, b, C, nullptr, {x, wav}},
                          {midiB, false, b, P, "b1.mid", wholeB},
                          {wholeB, true, b, C, nullptr, {x, txt, wav}},
                          {wholeB, true, "D:\\M", P, nullptr, {x, txt, wav}},
                          {wholeB, true, b, C, "b2.mid", Join({x}, Join(kB, {txt, wav}))}};
    for (const auto &k : cases) {
        MidiTab tab(k.entries, U, k.midi, k.folder.c_str());
        size_t at = tab.record.FirstEntry();
        tab.t.At(tab.root).state = FolderMark(tab.record, &at, k.folder, k.midi, tab.disk);
        EXPECT_EQ(tab.t.MarkOf(tab.root), k.shown) << k.folder;
        Item clicked = tab.root;
        if (k.file) {
            tab.Fill(tab.root, k.folder, C);
            clicked = tab.t.Child(tab.root, k.file);
            tree::ToggleMark(tab.t, clicked, false);
        }
        tree::ToggleMark(tab.t, clicked, false);
        EXPECT_TRUE(tab.Collect());
        EXPECT_EQ(Entries(tab.record), k.after);
    }
}

TEST(Collection, UnchangedItemsKeepTheirEntriesAndOnlyStaleOnesInsideWalkedFoldersGo) {
    const Paths before = {"C:\\Gone\\x.mid", "D:\\M\\A\\Deep\\d.mid", "D:\\M\\A\\zz.mid"};
    const Paths after = {"D:\\M\\top.mid", "D:\\MM\\y.mid"};
    MidiTab tab(Join(Join(before, kB), Join({"D:\\M\\old.mid"}, after)), P);
    tab.Fill(tab.root, "D:\\M", C);
    // Partly checked but never filled: which of its entries are meant is
    // unknown, so all stay, the stale one too, though it was clicked.
    Item a = tab.t.Child(tab.root, "A");
    tab.t.At(a).state = P;
    tab.t.At(a).data |= tree::kChangedBit;
    EXPECT_FALSE(tab.Collect());
    EXPECT_EQ(Entries(tab.record), Join(Join(before, kB), after));
}

// A filled folder that held nothing the tab shows (no expand button left)
// is still a folder: on the MIDI tab it is written as its marker.
TEST(Collection, AFolderFoundEmptyIsWrittenAsAFolder) {
    Disk disk({{"D:\\M", {{"E", "F"}, {}}}, {"D:\\M\\E", {{}, {"n.txt"}}}, {"D:\\M\\F", {{}, {"f.mid"}}}});
    FakeTree t;
    best::BestRecord record = Make({"D:\\M\\E\\n.txt"});
    Item root = t.Add(tree::kNoItem, "D:\\M", P | tree::kExpanded | tree::kExpandedOnce);
    Item e = t.Add(root, "E", C | tree::kExpandedOnce, false, tree::kChangedBit);
    t.Add(root, "F", U);
    Collection c{t, record, disk, disk, true};
    size_t cursor = record.FirstEntry();
    EXPECT_TRUE(CollectChecks(c, std::string(), &cursor, root, CollectFrom::FirstEntry));
    EXPECT_EQ(Entries(record), (Paths{"D:\\M\\E/", "D:\\M\\E\\n.txt"}));
    EXPECT_FALSE(t.Changed(e));
}

TEST(MarksFromTheList, TheMidiFolderAsTheRoot) {
    MidiTab tab({}, U);
    auto root = [&](const Paths &entries) {
        best::BestRecord record = Make(entries);
        return RootMark(record, "D:\\M", tab.disk);
    };
    EXPECT_EQ(root({"D:\\M", "D:\\MM\\y.mid"}), C);
    EXPECT_EQ(root({"C:\\Other\\x.mid", "D:\\M/", "D:\\M\\top.mid"}), C);
    EXPECT_EQ(root({"C:\\Other\\x.mid", "D:\\M\\B\\b1.mid"}), P);
    EXPECT_EQ(root({"C:\\Other\\x.mid", "D:\\MM\\y.mid"}), U);  // a sibling that begins alike
    EXPECT_EQ(root({}), U);
}

TEST(MarksFromTheList, SubFoldersAndFilesInTheOrderOfOneFill) {
    Disk disk({{"D:\\R", {{"Deep", "Lnk", "Mark", "Plain", "Sub", "Subway", "Un"}, {}}},
               {"D:\\R\\Deep", {{}, {"a.lnk", "b.mid"}}}, {"D:\\R\\Lnk", {{}, {"s.lnk"}}},
               {"D:\\R\\Mark", {{}, {"x.mid"}}}, {"D:\\R\\Plain", {}}, {"D:\\R\\Sub", {{}, {"a.lnk"}}},
               {"D:\\R\\Subway", {{}, {"z.mid"}}}, {"D:\\R\\Un", {}}});
    best::BestRecord record = Make({"D:\\R\\Deep\\a.lnk", "D:\\R\\Deep\\b.mid", "D:\\R\\Lnk\\s.lnk", "D:\\R\\Mark/",
                                    "D:\\R\\Mark\\x.mid", "D:\\R\\Plain", "D:\\R\\Sub\\a.lnk", "D:\\R\\Subway\\z.mid"});
    // Deep: a MIDI file after a shortcut; Lnk: only a shortcut; Sub: "Subway\z.mid" is not below it.
    const std::vector<std::pair<std::string, unsigned>> folders = {
        {"Deep", P}, {"Lnk", U}, {"Mark", C}, {"Plain", C}, {"Sub", U}, {"Subway", P}, {"Un", U}};
    size_t cursor = record.FirstEntry();
    for (const auto &[name, mark] : folders)
        EXPECT_EQ(FolderMark(record, &cursor, "D:\\R\\" + name, true, disk), mark) << name;

    cursor = record.FirstEntry();
    for (const char *file : {"D:\\R\\Deep\\a.lnk", "D:\\R\\Deep\\a.mid", "D:\\R\\Deep\\b.mid", "D:\\R\\Sub\\a.lnk"})
        EXPECT_EQ(FileListed(record, &cursor, file, disk), std::string(file) != "D:\\R\\Deep\\a.mid") << file;
}

// The disk as the system shows it to an index, counting the calls.
struct CountingDisk : DiskAccess {
    explicit CountingDisk(Disk &disk) : disk(disk) {}
    bool ListFolder(const std::string &pattern, listing::FolderEntries *out) override {
        ++listings;
        std::string folder = pattern.substr(0, pattern.size() - 4);  // "\\*.*"
        if (folder == refused || disk.Kind(folder.c_str()) != PathKind::Folder) return false;
        out->folders = disk.List(folder, Listing::Folders);
        out->files = disk.List(folder, Listing::Files);
        return true;
    }
    PathKind Attributes(const char *path) override {
        ++queries;
        // Behind a refused folder (a junction to a drive unplugged, say) nothing answers.
        if (!refused.empty() && std::string(path).rfind(refused + '\\', 0) == 0) return PathKind::Missing;
        return disk.Kind(path);
    }
    Disk &disk;
    std::string refused;  // a folder there whose listing is refused (access denied, say)
    int listings = 0, queries = 0;
};

// A folder the tree cannot show whole (refused its listing, or too many
// names for the table) is frozen: the best keeps its entries whatever is
// clicked, above it too.
TEST(Collection, AFolderTheTreeCannotShowWholeKeepsItsEntries) {
    const Paths before = {"D:\\M\\A\\Deep/", "D:\\M\\A\\Deep\\d.mid", "D:\\M\\B\\b1.mid"};
    MidiTab tab(before, P);
    CountingDisk system(tab.disk);
    system.refused = "D:\\M\\A\\Deep";
    DiskIndex index(system);
    Collection c{tab.t, tab.record, index, index, true};
    auto open = [&](Item folder) {  // and closed again
        tab.t.At(folder).state |= tree::kExpandedOnce;
        return FillOpenedFolder(c, tab.t, folder, false);
    };
    auto collect = [&] {
        size_t cursor = tab.record.FirstEntry();
        CollectChecks(c, std::string(), &cursor, tab.root, CollectFrom::FirstEntry);
        return Entries(tab.record);
    };
    EXPECT_EQ(open(tab.root), FillEnd::Filled);
    Item a = tab.t.Child(tab.root, "A"), b = tab.t.Child(tab.root, "B");
    EXPECT_EQ(open(a), FillEnd::Filled);
    Item deep = tab.t.Child(a, "Deep");
    // Unticked and ticked again before it is opened: its entries stay, as
    // nothing could replace them.  Unticked, then opened: it shows them.
    tree::ToggleMark(tab.t, deep, false);
    tree::ToggleMark(tab.t, deep, false);
    EXPECT_EQ(collect(), before);
    tree::ToggleMark(tab.t, deep, false);
    EXPECT_EQ(open(deep), FillEnd::NotListed);
    EXPECT_EQ(tab.t.MarkOf(deep), C);
    tab.t.nameCap = tab.t.names.size() + 2;  // B shows three MIDI files
    EXPECT_EQ(open(b), FillEnd::NoRoom);
    EXPECT_FALSE(tree::ToggleMark(tab.t, b, false));
    EXPECT_EQ(collect(), before);

    // A ticked is all checked, and still written item by item.
    EXPECT_TRUE(tree::ToggleMark(tab.t, a, false));
    EXPECT_EQ(collect(), (Paths{before[0], before[1], "D:\\M\\A\\1.mid", "D:\\M\\A\\2.mid", before[2]}));
}

// A folder written whole from the disk keeps what the disk does not show:
// the entries of a sub-folder that cannot be listed stay, and the folders
// holding it are written as their items, never as whole folders, whether
// the folder was ticked or became whole by its last unticked child.
TEST(Collection, ASubFolderThatCannotBeListedKeepsItsEntriesWhenAFolderAboveIsWritten) {
    const Paths deep = {"D:\\M\\A\\Deep/", "D:\\M\\A\\Deep\\d.mid"}, b = {"D:\\M\\B", kB[1], kB[2], kB[3]};
    const Paths midiAfter = Join(Join(deep, {"D:\\M\\A\\1.mid", "D:\\M\\A\\2.mid"}), Join(kB, {"D:\\M\\top.mid"}));
    const Paths allAfter = Join({"D:\\M\\A", "D:\\M\\A\\Deep\\d.mid", "D:\\M\\A\\1.mid", "D:\\M\\A\\2.mid",
                                 "D:\\M\\A\\cover.jpg", "D:\\M\\A\\s.lnk"},
                                Join(b, {"D:\\M\\a.wav", "D:\\M\\top.mid"}));
    struct Case { bool midi, completed; const char *refused; Paths entries, after; };
    for (const Case &k : {Case{true, false, "D:\\M\\A\\Deep", deep, midiAfter},
                          Case{true, true, "D:\\M\\A\\Deep", deep, midiAfter}, Case{false, false, "D:\\M\\B", b, allAfter}}) {
        MidiTab tab(k.entries, k.completed ? P : C, k.midi);
        CountingDisk system(tab.disk);
        system.refused = k.refused;
        DiskIndex index(system);
        if (k.completed) {  // B and the MIDI folder's own file ticked, A the last to be
            tab.Fill(tab.root, "D:\\M", C);
            tab.t.At(tab.t.Child(tab.root, "A")).state = U;
            EXPECT_TRUE(tree::ToggleMark(tab.t, tab.t.Child(tab.root, "A"), false));
            EXPECT_EQ(tab.t.MarkOf(tab.root), C);
        }
        tab.t.At(tab.root).data |= tree::kChangedBit;
        Collection c{tab.t, tab.record, index, index, k.midi};
        size_t cursor = tab.record.FirstEntry();
        EXPECT_TRUE(CollectChecks(c, std::string(), &cursor, tab.root, CollectFrom::FirstEntry));
        EXPECT_EQ(Entries(tab.record), k.after) << k.refused;
    }
}

// At collection scale the system's price per call is the cost: the whole
// MIDI folder is read with one listing per folder and nothing per file, and
// a fill's marks ask nothing the folder's listing has answered.
TEST(DiskIndex, OneListingPerFolderAndNothingAskedPerFile) {
    MidiTab tab({"C:\\Other\\x.mid"}, C);
    tab.t.At(tab.root).data |= tree::kChangedBit;
    CountingDisk system(tab.disk);
    {
        DiskIndex index(system);
        Collection c{tab.t, tab.record, index, index, true};
        size_t cursor = tab.record.FirstEntry();
        EXPECT_TRUE(CollectChecks(c, std::string(), &cursor, tab.root, CollectFrom::FirstEntry));
    }
    EXPECT_EQ(Entries(tab.record),
              (Paths{"C:\\Other\\x.mid", "D:\\M/", "D:\\M\\A\\Deep\\d.mid", "D:\\M\\A\\1.mid", "D:\\M\\A\\2.mid",
                     "D:\\M\\B\\b1.mid", "D:\\M\\B\\b2.mid", "D:\\M\\B\\b3.mid", "D:\\M\\top.mid"}));
    EXPECT_EQ(system.listings, 4);  // D:\M, A, A\Deep, B
    EXPECT_LE(system.queries, 1);   // the MIDI folder itself, whose parent is not listed

    system.listings = system.queries = 0;
    DiskIndex index(system);
    size_t cursor = tab.record.FirstEntry();
    for (const std::string &name : index.List("D:\\M", Listing::Folders))
        EXPECT_EQ(FolderMark(tab.record, &cursor, "D:\\M\\" + name, true, index), P) << name;
    for (const std::string &name : index.List("d:\\m", Listing::Files))
        EXPECT_EQ(FileListed(tab.record, &cursor, "D:\\M\\" + name, index), name == "top.mid") << name;
    EXPECT_EQ(index.List("D:\\M", Listing::MidiFiles), Paths{"top.mid"});
    EXPECT_EQ(index.Kind("d:\\m\\a"), PathKind::Folder);
    EXPECT_EQ(index.List("D:\\Gone", Listing::Files), Paths{});
    EXPECT_EQ(index.List("D:\\Gone", Listing::Folders), Paths{});
    EXPECT_EQ(system.listings, 2);  // D:\M in either case, and D:\Gone once
    // The MIDI folder, which no listing shows, and per sub-folder the entry
    // its seek stops at (a stale one would be passed): none per file.
    EXPECT_LE(system.queries, 1 + 2);

    // Saved after a click in a filled folder: its items are checked against
    // one listing of it, not asked about one by one.
    tab.Fill(tab.root, "D:\\M", C);
    EXPECT_TRUE(tree::ToggleMark(tab.t, tab.t.Child(tab.root, "top.mid"), false));
    system.listings = system.queries = 0;
    DiskIndex saving(system);
    Collection c{tab.t, tab.record, saving, saving, true};
    EXPECT_TRUE(CollectChecks(c, std::string(), &cursor, tab.root, CollectFrom::FirstEntry));
    EXPECT_EQ(Entries(tab.record).back(), "D:\\M\\B\\b3.mid");
    // D:\\M once, and A, A\\Deep and B, whose files are now written one by
    // one; asked: the MIDI folder and its marker, which no listing shows, and
    // per sub-folder the entry its seek stops at.
    EXPECT_EQ(system.listings, 4);
    EXPECT_LE(system.queries, 2 + 2);
}

// The whole MIDI folder listed by two threads gives the best one thread
// gives, each folder listed once by one of them, and a folder whose
// listing is refused is refused whichever thread comes to it.
TEST(ListingAhead, TwoThreadsGiveWhatOneGivesListingEachFolderOnce) {
    for (const char *refused : {"", "D:\\M\\A\\Deep", "D:\\M\\B", "D:\\M"}) {
        auto collect = [&](bool ahead, int *listings) {
            MidiTab tab({"D:\\M\\A\\Deep/", "D:\\M\\A\\Deep\\d.mid", "D:\\M\\B\\gone.mid"}, C);
            tab.t.At(tab.root).data |= tree::kChangedBit;
            CountingDisk here(tab.disk), there(tab.disk);
            here.refused = there.refused = refused;
            {
                ListingAhead both(here, there, ahead ? "D:\\M" : "");
                DiskIndex index(both);
                Collection c{tab.t, tab.record, index, index, true};
                size_t cursor = tab.record.FirstEntry();
                CollectChecks(c, std::string(), &cursor, tab.root, CollectFrom::FirstEntry);
            }
            *listings = here.listings + there.listings;
            return Entries(tab.record);
        };
        int alone = 0, together = 0;
        Paths one = collect(false, &alone);
        for (int run = 0; run < 20; ++run) {  // the threads meet at other folders each time
            EXPECT_EQ(collect(true, &together), one) << refused;
            EXPECT_EQ(together, alone) << refused;
        }
    }
}

}  // namespace collection_test
