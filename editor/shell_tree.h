// The top of the all-files tab: the Shell namespace from the Desktop down to
// the first file-system folders (drives, shares, folders on the desktop).
// The Desktop holds My Computer, filled with its drives at once, expanded
// and selected, and Network Neighborhood, then what the Shell's desktop
// holds besides (the user's folders, libraries, folders on the desktop);
// any node that is no file-system folder is filled from the Shell when it
// is first opened.  A
// file-system folder found there becomes an ordinary folder item of the
// folder tree: its full path goes into the names table, it carries a check
// mark, and the folder tree fills it from the disk.
//
// A Shell node's item data is its index in the Shell node table with the
// Shell node bit.  The table keeps only each node's own item ID; the
// absolute item-ID list of a node is put together from the node and its
// ancestors when the Shell needs it.
#ifndef TIVORN_EDITOR_SHELL_TREE_H
#define TIVORN_EDITOR_SHELL_TREE_H

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "utils/com.h"

// An item-ID list from the Shell or for it, freed with the Shell's
// allocator (the COM task allocator that SHGetMalloc hands out).
struct ShellFree {
    void operator()(ITEMIDLIST *list) const { CoTaskMemFree(list); }
};
using ShellIdList = std::unique_ptr<ITEMIDLIST, ShellFree>;

// The Shell node table: a copy of the first item ID of every Shell node's
// list, in the order the nodes were found.  Entry 0 is the Desktop, whose
// list is empty.
class ShellNodes {
public:
    static constexpr uint32_t kDesktop = 0;
    static constexpr uint32_t kMyComputer = 1;
    static constexpr uint32_t kNetwork = 2;
    // Item data keeps 16 bits of index.
    static constexpr size_t kMaxNodes = 0x10000;

    // Empty, then the Desktop's entry.
    void Start();
    void Clear() { ids_.clear(); }
    size_t Count() const { return ids_.size(); }

    // Appends a copy of the first item ID of list.  False for an empty list,
    // a size field too small to hold itself, or a full table.
    bool Push(LPCITEMIDLIST list);

    // The absolute list of the node path[last] below path[0] .. (indexes
    // from the top down; the Desktop's entry adds nothing), followed by the
    // first item ID of child when there is one.  Null when an index is not
    // in the table or child's size field is too small.
    ShellIdList Compose(const std::vector<uint32_t> &path, LPCITEMIDLIST child) const;

private:
    std::vector<std::vector<BYTE>> ids_;
};

// What the Shell nodes need of the folder tree that shows them.
class ShellTreeSite {
public:
    // Puts a file-system folder's full path into the names table; false when
    // the table is full.
    virtual bool PushFolderPath(const std::string &path, uint32_t *index) = 0;
    // The mark of a file-system folder at path, from the edited best.
    virtual unsigned FolderPathMark(const std::string &path) = 0;
    // Folders left out because their paths cannot be spelt in code page 932.
    virtual void TellLeftOut(const std::vector<std::wstring> &paths) = 0;

protected:
    ~ShellTreeSite() = default;
};

// The Shell objects of the all-files tab for the life of the tree: COM for
// the dialog's thread, the desktop folder, and the Shell node table.
class ShellTree {
public:
    explicit ShellTree(ShellTreeSite *site) : site_(site) {}
    ~ShellTree() { Close(); }
    ShellTree(const ShellTree &) = delete;
    ShellTree &operator=(const ShellTree &) = delete;

    // Obtains the desktop folder; false without it.  dialog owns what the
    // Shell shows while it enumerates.
    bool Open(HWND dialog, HWND tree);
    // Frees the node table and releases the desktop folder.
    void Close();
    bool IsOpen() const { return static_cast<bool>(desktop_); }
    // The node table goes with the items that referred to it.
    void Clear() { nodes_.Clear(); }

    // Empties the tree and builds Desktop > (My Computer with its drives,
    // Network Neighborhood, the desktop's own folders).  True when the three
    // roots were built; a failure leaves what was built so far.
    bool BuildShellTree();
    // The first expansion of Shell node index, item: its folders, except
    // nodes already below it (the Desktop's two from the build).  True when
    // the node was enumerated; otherwise nothing is added.
    bool FillShellNode(uint32_t index, HTREEITEM item);

    const ShellNodes &nodes() const { return nodes_; }

private:
    enum class ShellItem { Folder, Node };
    // Inserts the item for the absolute list below parent (null: a root):
    // a Shell node standing for the table's last entry, or a file-system
    // folder.  Null when the Shell gives no icon, name or path.
    HTREEITEM InsertShellItem(LPCITEMIDLIST list, HTREEITEM parent, ShellItem kind);
    bool SetFolderItem(LPCITEMIDLIST list, TVITEMA *item);
    // The absolute list of Shell node item, with child's item ID after it
    // when child is given.
    ShellIdList NodeIdList(HTREEITEM item, LPCITEMIDLIST child);
    bool PushNodeIdList(LPCITEMIDLIST list) { return nodes_.Push(list); }

    ShellTreeSite *site_;
    HWND dialog_ = nullptr;
    HWND tree_ = nullptr;
    std::optional<ComApartment> com_;  // from Open to Close
    ComPtr<IShellFolder> desktop_;
    ShellNodes nodes_;
    // While the roots are built, items go last in the order found; later
    // ones are sorted by their text.
    bool building_ = false;
};

// The system small icon list's indexes for a path (normal and open), as the
// all-files tab shows files and folders.  A null open asks only the normal
// one, which is all a file has.  False when the Shell has none.
bool SystemIconIndexes(const char *path, int *normal, int *open);

#endif
