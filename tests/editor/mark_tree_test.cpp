// The marks of the folder tree: how a click changes them and how they
// go up, and the paths of items.
#include "editor/mark_tree.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_tree.h"

namespace {

using faketree::FakeTree;
using tree::Item;

constexpr unsigned U = tree::kUnchecked, C = tree::kChecked, P = tree::kPartly;
constexpr unsigned kOpen = tree::kExpanded | tree::kExpandedOnce, kAlt = tree::kAltFileImages;
constexpr Item kTop = tree::kNoItem;

TEST(RecomputeUp, AMarkGoesUpWhileItChangesAndANewlyPartlyFolderMarksItsCheckedChildren) {
    FakeTree t;
    Item root = t.Add(kTop, "D:\\M", C | kOpen);
    Item f = t.Add(root, "F", C | kOpen);
    Item a = t.Add(f, "a.mid", C, true), b = t.Add(f, "b.mid", C, true), c = t.Add(f, "c.mid", C, true);
    Item g = t.Add(root, "G", C);
    tree::RecomputeUp(t, b, U);
    EXPECT_EQ(t.MarkOf(f), P);
    EXPECT_EQ(t.MarkOf(root), P);
    // Whatever was checked under a folder that stopped being checked is written one by one.
    for (Item item : {a, b, c, f, g, root}) EXPECT_TRUE(t.Changed(item)) << item;
    // It stops at a parent that agrees, whatever lies above.
    t.At(root).state = U;
    tree::RecomputeUp(t, c, U);
    EXPECT_EQ(t.MarkOf(root), U);

    // Without a mark the item and its later siblings decide, and none is changed.
    FakeTree u;
    Item folder = u.Add(kTop, "F", U | kOpen);
    Item first = u.Add(folder, "a.mid", U, true), second = u.Add(folder, "b.mid", C | kAlt, true);
    u.Add(folder, "c.mid", C, true);
    tree::RecomputeUp(u, second, 0);
    EXPECT_EQ(u.MarkOf(folder), C);
    EXPECT_FALSE(u.Changed(second));
    tree::RecomputeUp(u, first, 0);
    EXPECT_EQ(u.MarkOf(folder), P);
}

TEST(ToggleMark, ACollapsedItemChangesWithEverythingLoadedBelowIt) {
    FakeTree t;
    Item root = t.Add(kTop, "D:\\M", P | kOpen);
    Item f = t.Add(root, "F", C | tree::kExpandedOnce);
    Item sub = t.Add(f, "Sub", C);
    Item deep = t.Add(sub, "d.mid", C | kAlt, true);
    Item kept = t.Add(f, "Kept", U);  // already unchecked: it and its subtree are left alone
    Item odd = t.Add(kept, "odd.mid", C, true);
    Item file = t.Add(root, "a.mid", U, true);
    EXPECT_TRUE(tree::ToggleMark(t, f, false));
    for (Item item : {f, sub, root}) EXPECT_EQ(t.MarkOf(item), U) << item;
    EXPECT_EQ(t.Image(deep), U | kAlt);
    EXPECT_TRUE(t.Changed(f) && t.Changed(sub) && t.Changed(deep));
    EXPECT_FALSE(t.Changed(kept) || t.Changed(odd) || t.Changed(file));
    EXPECT_EQ(t.MarkOf(odd), C);

    t.At(f).state = P;  // partly checked: a click unchecks it
    EXPECT_TRUE(tree::ToggleMark(t, f, false));
    EXPECT_EQ(t.MarkOf(f), U);

    // A file keeps its own icon set; the folder follows.
    t.At(root).state = C | kOpen;
    t.At(file).state = C | kAlt;
    t.At(f).state = C;
    EXPECT_TRUE(tree::ToggleMark(t, file, false));
    EXPECT_EQ(t.Image(file), U | kAlt);
    EXPECT_EQ(t.MarkOf(root), P);
}

TEST(ToggleMark, AnExpandedFolderChangesOnlyItsOwnFiles) {
    FakeTree t;
    Item root = t.Add(kTop, "D:\\M", P | kOpen);
    Item f = t.Add(root, "F", P | kOpen);
    Item sub = t.Add(f, "Sub", C);
    Item a = t.Add(f, "a.mid", C, true), b = t.Add(f, "b.mid", U, true);
    // Partly with a checked file: its files are unchecked, its sub-folder stays.
    EXPECT_TRUE(tree::ToggleMark(t, f, true));
    EXPECT_EQ(t.Image(a), U | kAlt);
    EXPECT_EQ(t.MarkOf(sub), C);
    EXPECT_FALSE(t.Changed(sub));
    EXPECT_EQ(t.MarkOf(f), P);
    // Partly with no checked file: its files are checked, and then it all is.
    EXPECT_TRUE(tree::ToggleMark(t, f, false));
    EXPECT_EQ(t.Image(b), C);
    EXPECT_EQ(t.MarkOf(f), C);
    EXPECT_EQ(t.MarkOf(root), C);
    // Checked: its files are unchecked.
    EXPECT_TRUE(tree::ToggleMark(t, f, false));
    EXPECT_EQ(t.MarkOf(a), U);
    EXPECT_EQ(t.MarkOf(f), P);

    // Nothing changes for a Shell node or an expanded folder without
    // children, and marks never go up into a Shell node.
    Item shell = t.Add(kTop, "Computer", kOpen, false, tree::kShellNodeBit);
    Item drive = t.Add(shell, "C:\\", U);
    Item empty = t.Add(drive, "Empty", C | kOpen);
    EXPECT_FALSE(tree::ToggleMark(t, shell, false));
    EXPECT_FALSE(tree::ToggleMark(t, empty, false));
    EXPECT_EQ(t.MarkOf(empty), C);
    EXPECT_EQ(t.MarkOf(drive), U);
    EXPECT_TRUE(tree::ToggleMark(t, drive, false));
    EXPECT_EQ(t.MarkOf(drive), C);
    EXPECT_EQ(t.At(shell).state, kOpen);
    EXPECT_FALSE(t.Changed(shell));
}

// A frozen folder keeps its mark and takes no changed bit whatever happens
// around it; a folder holding one is clicked by what in it may change.
TEST(Freeze, AFrozenFolderKeepsItsMarkAndItsHoldersGoByWhatMayChange) {
    FakeTree t;
    Item root = t.Add(kTop, "D:\\M", P);
    Item h = t.Add(root, "H", C | tree::kExpandedOnce);
    Item a = t.Add(h, "A", C | kOpen), x = t.Add(h, "x.mid", C, true);
    t.Add(root, "r.mid", U, true);
    tree::Freeze(t, a, C);
    EXPECT_TRUE(tree::ToggleMark(t, x, false));  // H, checked, goes partly
    EXPECT_TRUE(tree::ToggleMark(t, h, false));
    EXPECT_EQ(t.MarkOf(x), C);
    EXPECT_EQ(t.MarkOf(h), C);
    EXPECT_TRUE(tree::ToggleMark(t, root, false));
    EXPECT_EQ(t.MarkOf(x), U);
    EXPECT_EQ(t.MarkOf(h), P);
    EXPECT_EQ(t.MarkOf(root), P);
    EXPECT_EQ(t.MarkOf(a), C);
    EXPECT_FALSE(t.Changed(a));
}

TEST(ItemPath, NamesJoinedUpToTheTopOrToBelowAShellNode) {
    FakeTree t;
    Item drive = t.Add(kTop, "C:\\", U);
    Item kana = t.Add(drive, "\x83\x5C", U);  // its trail byte is a backslash, not a separator
    std::string path = "old";
    EXPECT_TRUE(tree::ItemPath(t, t.Add(kana, "a.mid", U, true), &path));
    EXPECT_EQ(path, "C:\\\x83\x5C\\a.mid");
    EXPECT_TRUE(tree::ItemPath(t, drive, &path));
    EXPECT_EQ(path, "C:");

    Item shell = t.Add(kTop, "Computer", 0, false, tree::kShellNodeBit);
    EXPECT_TRUE(tree::ItemPath(t, t.Add(t.Add(shell, "D:\\", U), "x", U), &path));
    EXPECT_EQ(path, "D:\\x");
    EXPECT_TRUE(tree::ItemPath(t, shell, &path));
    EXPECT_EQ(path, "");

    // The longest path a 260-byte buffer holds, and one byte more.
    EXPECT_TRUE(tree::ItemPath(t, t.Add(drive, std::string(256, 'n'), U), &path));
    EXPECT_EQ(path.size(), 259u);
    EXPECT_FALSE(tree::ItemPath(t, t.Add(drive, std::string(257, 'n'), U), &path));
}

}  // namespace
