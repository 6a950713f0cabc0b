#include "editor/shell_tree.h"

#include <algorithm>
#include <cstring>

#include "editor/mark_tree.h"
#include "utils/code_page.h"
#include "utils/name_spelling.h"
#include "utils/path_rules.h"
#include "utils/scope_guard.h"

namespace {

// The size field of an item ID counts itself.
constexpr USHORT kSizeField = sizeof(USHORT);

// The first item ID's size, or 0 when there is none or it cannot be one.
USHORT FirstIdSize(LPCITEMIDLIST list) {
    if (!list) return 0;
    USHORT size;
    std::memcpy(&size, &list->mkid.cb, sizeof size);
    return size < kSizeField ? 0 : size;
}

uint32_t ItemData(HWND tree, HTREEITEM item) {
    TVITEMA read = {};
    read.mask = TVIF_PARAM;
    read.hItem = item;
    TreeView_GetItem(tree, &read);
    return static_cast<uint32_t>(read.lParam);
}

}  // namespace

// --- the node table ----------------------------------------------------------

void ShellNodes::Start() {
    ids_.clear();
    ids_.emplace_back();  // the Desktop: an empty list
}

bool ShellNodes::Push(LPCITEMIDLIST list) {
    USHORT size = FirstIdSize(list);
    if (size == 0 || ids_.size() >= kMaxNodes) return false;
    const BYTE *bytes = reinterpret_cast<const BYTE *>(list);
    ids_.emplace_back(bytes, bytes + size);
    return true;
}

ShellIdList ShellNodes::Compose(const std::vector<uint32_t> &path, LPCITEMIDLIST child) const {
    size_t total = kSizeField;  // the terminator
    for (uint32_t index : path) {
        if (index >= ids_.size()) return nullptr;
        total += ids_[index].size();
    }
    USHORT childSize = FirstIdSize(child);
    if (child && childSize == 0) return nullptr;
    total += childSize;

    ShellIdList list(static_cast<ITEMIDLIST *>(CoTaskMemAlloc(total)));
    if (!list) return nullptr;
    BYTE *at = reinterpret_cast<BYTE *>(list.get());
    for (uint32_t index : path) {
        const std::vector<BYTE> &id = ids_[index];
        if (!id.empty()) std::memcpy(at, id.data(), id.size());
        at += id.size();
    }
    if (childSize) std::memcpy(at, child, childSize);
    at += childSize;
    std::memset(at, 0, kSizeField);
    return list;
}

// --- the Shell objects ---------------------------------------------------------

bool ShellTree::Open(HWND dialog, HWND tree) {
    Close();
    dialog_ = dialog;
    tree_ = tree;
    // The Shell's folders and icons want COM on the calling thread; a thread
    // that already has it keeps its own.
    com_.emplace(kShellApartment);
    if (SUCCEEDED(SHGetDesktopFolder(desktop_.Put())) && desktop_) return true;
    Close();
    return false;
}

void ShellTree::Close() {
    nodes_.Clear();
    desktop_.Reset();
    com_.reset();
}

// --- building and filling --------------------------------------------------------

bool ShellTree::BuildShellTree() {
    // Nothing of another tab may stay: its items refer to names just freed.
    TreeView_DeleteAllItems(tree_);
    nodes_.Clear();
    if (!desktop_) return false;
    building_ = true;
    ScopeGuard built([this] { building_ = false; });

    ShellIdList lists[3];
    const int folders[3] = {CSIDL_DESKTOP, CSIDL_DRIVES, CSIDL_NETWORK};
    for (int i = 0; i < 3; ++i) {
        LPITEMIDLIST found = nullptr;
        HRESULT result = SHGetSpecialFolderLocation(dialog_, folders[i], &found);
        lists[i].reset(found);
        if (FAILED(result) || !found) return false;
    }
    SHFILEINFOA info = {};
    DWORD_PTR system = SHGetFileInfoA(reinterpret_cast<LPCSTR>(lists[0].get()), 0, &info, sizeof info,
                                      SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON);
    if (!system) return false;
    // The system's own list: the tree shows it and never destroys it.
    TreeView_SetImageList(tree_, reinterpret_cast<HIMAGELIST>(system), TVSIL_NORMAL);

    nodes_.Start();
    HTREEITEM desktop = InsertShellItem(lists[0].get(), nullptr, ShellItem::Node);
    if (!desktop) return false;
    if (!PushNodeIdList(lists[1].get())) return false;
    HTREEITEM computer = InsertShellItem(lists[1].get(), desktop, ShellItem::Node);
    if (!computer) return false;
    // Both nodes go in before the Desktop opens (selecting My Computer opens
    // it too): its first expansion notice adds the desktop's own folders
    // after them, in the Shell's order, and leaves out these two.
    bool network = PushNodeIdList(lists[2].get()) && InsertShellItem(lists[2].get(), desktop, ShellItem::Node);
    // Its first expansion notice fills it with the drives.
    TreeView_Expand(tree_, computer, TVE_EXPAND);
    TreeView_Expand(tree_, desktop, TVE_EXPAND);
    TreeView_SelectItem(tree_, computer);
    return network;
}

bool ShellTree::FillShellNode(uint32_t index, HTREEITEM item) {
    if (!desktop_) return false;
    ComPtr<IShellFolder> folder;
    if (index == ShellNodes::kDesktop) {
        // The desktop folder itself: its empty list has nothing to bind.
        if (FAILED(desktop_->QueryInterface(IID_IShellFolder, folder.PutVoid()))) return false;
    } else {
        ShellIdList list = NodeIdList(item, nullptr);
        if (!list) return false;
        if (FAILED(desktop_->BindToObject(list.get(), nullptr, IID_IShellFolder, folder.PutVoid()))) return false;
    }
    if (!folder) return false;
    ComPtr<IEnumIDList> children;
    // S_FALSE: nothing to list, and no enumerator.
    if (folder->EnumObjects(dialog_, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN, children.Put()) != S_OK || !children)
        return false;

    // The nodes already below the item: on the Desktop, the build's My
    // Computer and Network Neighborhood, which the Shell lists again there.
    std::vector<ShellIdList> present;
    for (HTREEITEM at = TreeView_GetChild(tree_, item); at; at = TreeView_GetNextSibling(tree_, at)) {
        uint32_t data = ItemData(tree_, at);
        if (!tree::IsShellNode(data)) continue;
        if (ShellIdList id = nodes_.Compose({data & tree::kNameIndexMask}, nullptr)) present.push_back(std::move(id));
    }

    for (;;) {
        LPITEMIDLIST found = nullptr;
        ULONG fetched = 0;
        HRESULT next = children->Next(1, &found, &fetched);
        ShellIdList child(found);
        if (next != S_OK || fetched != 1 || !child) break;

        // The same item, not merely the same name.
        auto same = [&](const ShellIdList &id) {
            HRESULT order = folder->CompareIDs(SHCIDS_CANONICALONLY, id.get(), child.get());
            return SUCCEEDED(order) && HRESULT_CODE(order) == 0;
        };
        if (std::any_of(present.begin(), present.end(), same)) continue;
        SFGAOF attributes = SFGAO_FILESYSTEM;
        LPCITEMIDLIST asked = child.get();
        bool fileSystem =
            SUCCEEDED(folder->GetAttributesOf(1, &asked, &attributes)) && (attributes & SFGAO_FILESYSTEM);
        // My Computer shows its drives only, not the control panel, printers
        // and the like.
        if (!fileSystem && index == ShellNodes::kMyComputer) continue;
        ShellIdList absolute = NodeIdList(item, child.get());
        if (!absolute) continue;
        if (!fileSystem && !PushNodeIdList(child.get())) continue;
        InsertShellItem(absolute.get(), item, fileSystem ? ShellItem::Folder : ShellItem::Node);
    }
    return true;
}

HTREEITEM ShellTree::InsertShellItem(LPCITEMIDLIST list, HTREEITEM parent, ShellItem kind) {
    const bool shellNode = kind == ShellItem::Node;
    LPCSTR asPath = reinterpret_cast<LPCSTR>(list);
    SHFILEINFOA normal = {};
    SHFILEINFOA open = {};
    if (!SHGetFileInfoA(asPath, 0, &normal, sizeof normal, SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON))
        return nullptr;
    if (!SHGetFileInfoA(asPath, 0, &open, sizeof open,
                        SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_PIDL | SHGFI_OPENICON | SHGFI_SMALLICON))
        return nullptr;
    // Only indexes were asked for; a handle all the same is not kept.
    if (normal.hIcon) DestroyIcon(normal.hIcon);
    if (open.hIcon) DestroyIcon(open.hIcon);
    open.szDisplayName[sizeof open.szDisplayName - 1] = '\0';
    if (!open.szDisplayName[0]) return nullptr;

    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = building_ ? TVI_LAST : TVI_SORT;
    TVITEMA &item = insert.item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_STATE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    item.pszText = open.szDisplayName;
    item.iImage = normal.iIcon;
    item.iSelectedImage = open.iIcon;
    item.cChildren = 1;
    item.state = parent ? 0 : TVIS_EXPANDED;
    if (shellNode) {
        // No mark, and the table's last entry.
        item.stateMask = 0;
        item.lParam = static_cast<LPARAM>(static_cast<uint32_t>(nodes_.Count() - 1) | tree::kShellNodeBit);
    } else if (!SetFolderItem(list, &item)) {
        return nullptr;
    }
    return TreeView_InsertItem(tree_, &insert);
}

// A file-system folder's path, mark and names-table entry into item; false
// when it is not shown.
bool ShellTree::SetFolderItem(LPCITEMIDLIST list, TVITEMA *item) {
    // The path in UTF-16, spelt by the program's rule: the ANSI call
    // gives look-alikes ("e" for "é"), and a look-alike path may name,
    // and tick, another folder.
    wchar_t wide[MAX_PATH] = L"";
    if (!SHGetPathFromIDListW(list, wide)) return false;
    wide[MAX_PATH - 1] = L'\0';
    std::wstring widePath = wide;
    std::string folder;
    auto shortPath = [&widePath] { return codepage::ShortPath(widePath); };
    if (spelling::SpellName(widePath, shortPath, codepage::Spell, &folder) == spelling::Spelt::Not) {
        site_->TellLeftOut({widePath});
        return false;
    }
    // Folders are kept without a final separator; a drive root as "C:".
    if (paths::EndsWithSeparator(folder)) folder.pop_back();
    if (folder.empty() || folder.size() > tree::kLongestPath) return false;
    // An archive the Shell opens as a folder is a file on the disk: the
    // folder tree could not fill it, and the best would hold a file as a
    // folder.  Drives ("C:") are not asked: one without a disk in it is
    // shown all the same.
    DWORD kind = folder.size() > 2 ? GetFileAttributesA(folder.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (kind != INVALID_FILE_ATTRIBUTES && !(kind & FILE_ATTRIBUTE_DIRECTORY)) return false;
    uint32_t index = 0;
    if (!site_->PushFolderPath(folder, &index)) return false;
    item->stateMask = tree::kStateImageMask;
    item->state = site_->FolderPathMark(folder);
    item->lParam = static_cast<LPARAM>(index);
    return true;
}

ShellIdList ShellTree::NodeIdList(HTREEITEM item, LPCITEMIDLIST child) {
    // Every ancestor of a Shell node is one.
    std::vector<uint32_t> path;
    for (HTREEITEM at = item; at; at = TreeView_GetParent(tree_, at)) {
        uint32_t data = ItemData(tree_, at);
        if (!tree::IsShellNode(data)) return nullptr;
        path.push_back(data & tree::kNameIndexMask);
    }
    std::reverse(path.begin(), path.end());
    return nodes_.Compose(path, child);
}

bool SystemIconIndexes(const char *path, int *normal, int *open) {
    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) return false;
    if (info.hIcon) DestroyIcon(info.hIcon);
    *normal = info.iIcon;
    if (!open) return true;
    info = SHFILEINFOA();
    if (!SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON))
        return false;
    if (info.hIcon) DestroyIcon(info.hIcon);
    *open = info.iIcon;
    return true;
}
