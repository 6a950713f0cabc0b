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

}  // namespace

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
                if (Mark(tree.State(child)) == kChecked) AddChangedBit(tree, child);
        }
        if (Mark(tree.State(parent)) == combined) return;
        item = parent;
        mark = combined;
    }
}

void SetSubtree(MarkTree &tree, Item item, unsigned mark) {
    for (Item child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child)) {
        unsigned state = tree.State(child);
        if (Mark(state) == mark) continue;
        tree.SetStateImage(child, mark | (state & kAltFileImages));
        AddChangedBit(tree, child);
        SetSubtree(tree, child, mark);
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
    if (IsShellNode(data)) return false;
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

    unsigned mark = (state & kChecked) ? kUnchecked : kChecked;
    SetSubtree(tree, item, mark);
    RecomputeUp(tree, item, mark | (state & kAltFileImages));
    return true;
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
