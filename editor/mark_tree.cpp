#include "editor/mark_tree.h"

#include <cstring>
#include <vector>


namespace tree {

namespace {

void AddChangedBit(MarkTree &tree, Item item) { tree.SetData(item, tree.Data(item) | kChangedBit); }

// The mark the items from first on imply together: theirs when they agree,
// partly checked when they do not.
unsigned CombinedMark(MarkTree &tree, Item first) {
    unsigned combined = Mark(tree.State(first));
    for (Item sibling = tree.NextSibling(first); sibling != kNoItem; sibling = tree.NextSibling(sibling))
        if (Mark(tree.State(sibling)) != combined) return kPartly;
    return combined;
}

// Whether anything below folder that a click may change is checked.
bool ChangeableChecked(MarkTree &tree, Item folder) {
    for (Item child = tree.FirstChild(folder); child != kNoItem; child = tree.NextSibling(child)) {
        uint32_t data = tree.Data(child);
        if (IsFrozen(data)) continue;
        if (HoldsFrozen(data) ? ChangeableChecked(tree, child) : (tree.State(child) & kChecked) != 0) return true;
    }
    return false;
}

}  // namespace

bool NameTable::Push(const char *text, bool file, uint32_t *index) {
    if (Room() == 0) return false;
    *index = static_cast<uint32_t>(entries_.size());
    entries_.push_back(Entry{text, file});
    return true;
}

void RecomputeUp(MarkTree &tree, Item item, unsigned mark) {
    while (item != kNoItem) {
        Item first = item;
        if (mark != 0) {
            tree.SetStateImage(item, mark);
            AddChangedBit(tree, item);
            first = tree.FirstChild(tree.Parent(item));
        }
        unsigned combined = CombinedMark(tree, first);
        Item parent = tree.Parent(item);
        if (parent == kNoItem || IsShellNode(tree.Data(parent))) return;
        if (combined == kPartly && Mark(tree.State(parent)) == kChecked) {
            for (Item child = tree.FirstChild(parent); child != kNoItem; child = tree.NextSibling(child))
                if (Mark(tree.State(child)) == kChecked && !IsFrozen(tree.Data(child))) AddChangedBit(tree, child);
        }
        if (Mark(tree.State(parent)) == combined) return;
        item = parent;
        mark = combined;
    }
}

void SetSubtree(MarkTree &tree, Item item, unsigned mark) {
    for (Item child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child)) {
        uint32_t data = tree.Data(child);
        unsigned state = tree.State(child);
        if (IsFrozen(data) || Mark(state) == mark) continue;
        SetSubtree(tree, child, mark);
        unsigned own = HoldsFrozen(data) ? CombinedMark(tree, tree.FirstChild(child)) : mark;
        tree.SetStateImage(child, own | (state & kAltFileImages));
        AddChangedBit(tree, child);
    }
}

void SetFileChildren(MarkTree &tree, Item folder, unsigned mark, bool altIcons) {
    for (Item child = tree.FirstChild(folder); child != kNoItem; child = tree.NextSibling(child)) {
        if (!tree.IsFile(child)) continue;
        tree.SetStateImage(child, mark | (altIcons ? kAltFileImages : 0));
        AddChangedBit(tree, child);
    }
}

bool ToggleMark(MarkTree &tree, Item item, bool altIcons) {
    if (item == kNoItem) return false;
    uint32_t data = tree.Data(item);
    if (IsShellNode(data) || IsFrozen(data)) return false;
    tree.SetData(item, data | kChangedBit);
    unsigned state = tree.State(item);

    if (state & kExpanded) {
        // An open folder shows what it holds: the click is for its own files.
        Item first = tree.FirstChild(item);
        if (first == kNoItem) return false;
        unsigned mark;
        if (Mark(state) == kPartly) {
            mark = kChecked;
            for (Item child = first; child != kNoItem; child = tree.NextSibling(child)) {
                if (tree.IsFile(child) && (tree.State(child) & kChecked)) {
                    mark = kUnchecked;
                    break;
                }
            }
        } else {
            mark = Mark(state) == kChecked ? kUnchecked : kChecked;
        }
        SetFileChildren(tree, item, mark, altIcons);
        RecomputeUp(tree, tree.FirstChild(item), 0);
        return true;
    }

    bool holds = HoldsFrozen(data);
    // A frozen folder inside may keep the whole grey or checked for good:
    // the click goes by what it can change.
    bool checked = holds ? ChangeableChecked(tree, item) : (state & kChecked) != 0;
    unsigned mark = checked ? kUnchecked : kChecked;
    SetSubtree(tree, item, mark);
    unsigned own = holds ? CombinedMark(tree, tree.FirstChild(item)) : mark;
    RecomputeUp(tree, item, own | (state & kAltFileImages));
    return true;
}

void Freeze(MarkTree &tree, Item folder, unsigned mark) {
    tree.SetData(folder, (tree.Data(folder) & ~kChangedBit) | kFrozenBit);
    Item parent = tree.Parent(folder);
    for (Item up = parent; up != kNoItem && !IsShellNode(tree.Data(up)); up = tree.Parent(up))
        tree.SetData(up, tree.Data(up) | kHoldsFrozenBit);
    if (Mark(tree.State(folder)) == mark) return;
    tree.SetStateImage(folder, mark);
    if (parent != kNoItem) RecomputeUp(tree, tree.FirstChild(parent), 0);
}

bool ItemPath(MarkTree &tree, Item item, std::string *path) {
    path->clear();
    if (item == kNoItem || IsShellNode(tree.Data(item))) return true;
    std::vector<const char *> names;
    for (Item at = item; at != kNoItem; at = tree.Parent(at)) {
        uint32_t data = tree.Data(at);
        if (IsShellNode(data)) break;
        names.push_back(tree.Name(data & kNameIndexMask));
    }
    std::string built;
    for (size_t i = names.size(); i-- > 0;) {
        built += names[i];
        if (built.size() > kLongestPath) return false;
        // A name that ends with a separator ("C:\") needs none after it; the
        // item's own needs none at all.
        if (EndsWithSeparator(names[i])) {
            if (i == 0) built.pop_back();
        } else if (i > 0) {
            built += '\\';
        }
    }
    if (built.size() > kLongestPath) return false;
    *path = std::move(built);
    return true;
}

}  // namespace tree
