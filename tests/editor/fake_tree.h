// The folder tree's items as plain structs, for the tests of the marks and
// of the collection.  An item's handle is its node's index + 1, so that 0
// stays tree::kNoItem; items with no parent are the root items.
#ifndef TIVORN_TESTS_EDITOR_FAKE_TREE_H
#define TIVORN_TESTS_EDITOR_FAKE_TREE_H

#include <string>
#include <vector>

#include "editor/mark_tree.h"

namespace faketree {

using tree::Item;

struct Node {
    Item parent;
    std::vector<Item> children;
    unsigned state;
    uint32_t data;
    bool isFile;
};

class FakeTree : public tree::MarkTree, public tree::FillSite {
public:
    // A new last child of parent, named by the next names entry.
    Item Add(Item parent, const std::string &name, unsigned state, bool file = false, uint32_t bits = 0) {
        names.push_back(name);
        nodes.push_back({parent, {}, state, static_cast<uint32_t>(names.size() - 1) | bits, file});
        Siblings(parent).push_back(nodes.size());
        return nodes.size();
    }
    Item Child(Item parent, const std::string &name) {
        for (Item child : Siblings(parent))
            if (names[At(child).data & tree::kNameIndexMask] == name) return child;
        return tree::kNoItem;
    }
    Node &At(Item item) { return nodes[item - 1]; }
    unsigned MarkOf(Item item) { return tree::Mark(At(item).state); }
    unsigned Image(Item item) { return At(item).state & tree::kStateImageMask; }
    bool Changed(Item item) { return (At(item).data & tree::kChangedBit) != 0; }

    Item FirstChild(Item parent) override { return Siblings(parent).empty() ? 0 : Siblings(parent).front(); }
    Item NextSibling(Item item) override {
        const std::vector<Item> &list = Siblings(At(item).parent);
        for (size_t i = 0; i + 1 < list.size(); ++i)
            if (list[i] == item) return list[i + 1];
        return tree::kNoItem;
    }
    Item Parent(Item item) override { return At(item).parent; }
    unsigned State(Item item) override { return At(item).state; }
    void SetStateImage(Item item, unsigned bits) override {
        At(item).state = (At(item).state & ~tree::kStateImageMask) | (bits & tree::kStateImageMask);
    }
    uint32_t Data(Item item) override { return At(item).data; }
    void SetData(Item item, uint32_t data) override { At(item).data = data; }
    bool IsFile(Item item) override { return At(item).isFile; }
    const char *Name(uint32_t index) override { return index < names.size() ? names[index].c_str() : ""; }

    size_t NameRoom() override { return nameCap - names.size(); }
    void InsertChild(Item folder, const std::string &name, const std::string &, bool file, unsigned state,
                     uint32_t bits) override { Add(folder, name, state, file, bits); }
    void DropExpandButton(Item) override {}

    std::vector<Node> nodes;
    std::vector<std::string> names;
    size_t nameCap = tree::kMaxNames;
    std::vector<Item> roots;

private:
    std::vector<Item> &Siblings(Item parent) { return parent == tree::kNoItem ? roots : At(parent).children; }
};

}  // namespace faketree

#endif
