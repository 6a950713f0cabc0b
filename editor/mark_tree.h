// The folder tree's items and marks as the editor's plain code sees
// them (no windows.h).  The Win32 side implements MarkTree over the tree
// view control; tests implement it over a few structs.
//
// Every file and file-system folder item carries a mark in its state image
// bits: unchecked, checked, or partly checked (a folder some of whose
// contents are checked).  The item data holds an index into the names table,
// the changed bit (the mark was changed since the last collection, so the
// collection rewrites the item's part of the entry list) and the Shell node
// bit (a Shell namespace node that is no file-system folder: no mark, never
// part of a path).
//
// A folder whose contents the tree could not show (its listing failed, or
// the names table had no room for them) is frozen until the tree is built
// anew: it has no children, its mark is what the best's entries give it and
// no click, Space or mark from above or below changes it, so the collection
// keeps its entries as they are.  Its ancestors carry the holds-frozen bit:
// they are written child by child, never as a whole folder, since a whole
// folder's entries would replace the frozen folder's.
#ifndef TIVORN_EDITOR_MARK_TREE_H
#define TIVORN_EDITOR_MARK_TREE_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "utils/path_rules.h"

namespace tree {

using Item = uintptr_t;  // the tree control's item handle
constexpr Item kNoItem = 0;

// The state image bits of an item's state.  Tests of a mark look at
// kMarkBits alone, so the alternative file images count as their marks.
constexpr unsigned kStateImageMask = 0xF000;
constexpr unsigned kMarkBits = 0x3000;
constexpr unsigned kUnchecked = 0x1000;
constexpr unsigned kChecked = 0x2000;
constexpr unsigned kPartly = 0x3000;
constexpr unsigned kAltFileImages = 0x4000;  // file items, with the alternative check icons

// The control's own state flags.
constexpr unsigned kExpanded = 0x20;
constexpr unsigned kExpandedOnce = 0x40;

constexpr uint32_t kNameIndexMask = 0xFFFF;
constexpr uint32_t kChangedBit = 0x10000;
constexpr uint32_t kFrozenBit = 0x20000;
constexpr uint32_t kHoldsFrozenBit = 0x40000;
constexpr uint32_t kShellNodeBit = 0x80000000u;
// The path rules the tree's paths follow (utils/path_rules.h).
using paths::EndsWithSeparator;
using paths::JoinPath;
using paths::kLongestPath;

// The names index has 16 bits: the table holds at most this many names.
constexpr uint32_t kMaxNames = 0x10000;

// The names table: each item's own name (on the all-files tab, a top
// folder's full path) and the kind it was created as, since a folder found
// empty loses its expand button but stays a folder.  Names are only added;
// the table empties when the tree is built anew.
class NameTable {
public:
    // cap: fewer names than the index holds, for tests.
    void SetCap(size_t cap) { cap_ = cap < kMaxNames ? cap : kMaxNames; }
    size_t Room() const { return cap_ - std::min(cap_, entries_.size()); }
    // False, with nothing added, when the table is full.
    bool Push(const char *text, bool file, uint32_t *index);
    void Clear() { entries_.clear(); }
    // "" and false for an index with no entry.
    const char *Text(uint32_t index) const { return index < entries_.size() ? entries_[index].text.c_str() : ""; }
    bool IsFile(uint32_t index) const { return index < entries_.size() && entries_[index].file; }

private:
    struct Entry {
        std::string text;
        bool file;
    };
    std::vector<Entry> entries_;
    size_t cap_ = kMaxNames;
};

class MarkTree {
public:
    // The first child of parent; kNoItem as parent: the first root item.
    virtual Item FirstChild(Item parent) = 0;
    virtual Item NextSibling(Item item) = 0;
    virtual Item Parent(Item item) = 0;
    virtual unsigned State(Item item) = 0;
    // Replaces the state image bits (kStateImageMask) of the item's state.
    virtual void SetStateImage(Item item, unsigned bits) = 0;
    virtual uint32_t Data(Item item) = 0;
    virtual void SetData(Item item, uint32_t data) = 0;
    // A file item, by the kind it was created as (a folder found empty has
    // lost its expand button but is no file).
    virtual bool IsFile(Item item) = 0;
    // Entry index of the names table; "" when there is none.
    virtual const char *Name(uint32_t index) = 0;

protected:
    ~MarkTree() = default;
};

// What a folder's first fill needs of the tree besides its marks.
class FillSite {
public:
    // How many more names the names table takes.
    virtual size_t NameRoom() = 0;
    // Adds a last child to folder with a names entry of its own; path is
    // the child's full path.  bits: item data bits besides the index.
    virtual void InsertChild(Item folder, const std::string &name, const std::string &path, bool file,
                             unsigned state, uint32_t bits) = 0;
    // The folder holds nothing: its expand button goes.
    virtual void DropExpandButton(Item folder) = 0;

protected:
    ~FillSite() = default;
};

inline unsigned Mark(unsigned state) { return state & kMarkBits; }
inline bool IsShellNode(uint32_t data) { return (data & kShellNodeBit) != 0; }
inline bool IsFrozen(uint32_t data) { return (data & kFrozenBit) != 0; }
inline bool HoldsFrozen(uint32_t data) { return (data & kHoldsFrozenBit) != 0; }

// Gives an item's parent the mark its children imply, and so on up while a
// mark changes; never into a Shell node.  With mark 0, item is a first child
// and its own mark counts; otherwise item first takes mark (and the changed
// bit).  A checked folder that becomes partly checked gives its checked
// children the changed bit, so that the collection writes them one by one
// instead of the whole folder.
void RecomputeUp(MarkTree &tree, Item item, unsigned mark);

// Gives every loaded item below item the mark (and the changed bit), except
// that a child already carrying it keeps it with its whole subtree.  A
// frozen folder keeps its mark; a folder holding one takes the mark its
// children then imply.
void SetSubtree(MarkTree &tree, Item item, unsigned mark);

// Gives the direct file children of folder the mark (and the changed bit);
// with altIcons the file images of the alternative set.
void SetFileChildren(MarkTree &tree, Item folder, unsigned mark, bool altIcons);

// A click on item's check box, or Space on it.  An expanded folder changes
// only its direct files; anything else changes with everything loaded below
// it.  Marks then go up.  A folder holding a frozen one is unchecked when
// anything in it that may change is checked, else checked.  False when
// nothing changed: a Shell node, a frozen folder, or an expanded item
// without children.
bool ToggleMark(MarkTree &tree, Item item, bool altIcons);

// Freezes folder, whose fill inserted nothing, with mark, the mark the
// best's entries give it: a change it carried from before it was opened is
// given up, and marks go up from it.  Its ancestors get the holds-frozen bit.
void Freeze(MarkTree &tree, Item folder, unsigned mark);

// The full path of item, built from the names table up to the first item or
// the first below a Shell node; empty for a Shell node itself.  False when
// the path would not fit a 260-byte buffer.
bool ItemPath(MarkTree &tree, Item item, std::string *path);

}  // namespace tree

#endif
