#include "editor/folder_tree.h"

#include <cstring>
#include <utility>

#include "editor/best_settings_dialog.h"
#include "editor/collection.h"
#include "editor/disk_index.h"
#include "editor/listing_ahead.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "utils/ansi_text.h"
#include "utils/code_page.h"
#include "utils/folder_listing.h"
#include "utils/scope_guard.h"

namespace {

const char kRootText[] = "MIDIファイル";
const char kMidiTabText[] = "MIDIファイル";
const char kAllFilesTabText[] = "すべてのファイル";


// The disk as the Win32 side sees it.  The entries its listings had to
// leave out are gathered, by full path, for the user to be told of.
class SystemDisk : public DiskAccess {
public:
    bool ListFolder(const std::string &pattern, listing::FolderEntries *out) override {
        if (!listing::ListEntries(pattern.c_str(), out)) return false;
        if (!out->leftOut.empty()) {
            std::wstring folder = codepage::Widen(pattern.c_str());
            folder.resize(folder.find_last_of(L"\\/") + 1);
            for (const std::wstring &name : out->leftOut) leftOut.push_back(folder + name);
        }
        return true;
    }
    PathKind Attributes(const char *path) override {
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
    }

    std::vector<std::wstring> leftOut;
};

int AddIcon(HIMAGELIST list, HINSTANCE instance, WORD id) {
    HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    int index = ImageList_AddIcon(list, icon);
    if (icon) DestroyIcon(icon);
    return index;
}

}  // namespace

// --- set-up and tabs -----------------------------------------------------------

void FolderTree::Attach(HWND dialog) {
    dialog_ = dialog;
    tree_ = GetDlgItem(dialog, IDC_TREE);
    tabs_ = GetDlgItem(dialog, IDC_TABS);
}

HINSTANCE FolderTree::Instance() const {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog_, GWLP_HINSTANCE));
}

void FolderTree::SetUp() {
    names_.Clear();
    // The tree is subclassed through its own procedure slot, with the object
    // in its user data, so that no message pays a look-up.  SetWindowSubclass
    // keeps its chain in a window property that the system's procedure reads
    // on every message, twice with the call down the chain; under Wine each
    // read is a round trip to the wineserver, and a fill of 10,000 items sends
    // the tree more than 10,000 messages.  The procedure stays Unicode, as the
    // control's own is, so no message is converted on its way.
    SetWindowLongPtrW(tree_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previous_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(tree_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeProc)));

    HINSTANCE instance = Instance();
    normalImages_.Reset(ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 3, 0));
    rootImage_ = AddIcon(normalImages_.Get(), instance, IDI_TRAY_A);
    folderImage_ = AddIcon(normalImages_.Get(), instance, IDI_FOLDER);
    fileImage_ = AddIcon(normalImages_.Get(), instance, IDI_FILE);
    TreeView_SetImageList(tree_, normalImages_.Get(), TVSIL_NORMAL);
    BuildStateImages();
    if (!shell_.Open(dialog_, tree_)) {
        // Nothing more: no tabs and no items (not even the default best's
        // stand-in item, which has been collected by now).
        TreeView_DeleteAllItems(tree_);
        names_.Clear();
        return;
    }

    const char *texts[] = {kMidiTabText, kAllFilesTabText};
    for (int i = 0; i < 2; ++i) {
        TCITEMA tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<char *>(texts[i]);
        SendMessageA(tabs_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&tab));
    }
    ShowTab(0);
}

void FolderTree::TearDown() {
    // Where another procedure has since gone over this one, putting the old
    // one back would cut that one out: TreeProc then stays, with the object,
    // which lives as long as the dialog and so outlasts the tree's last
    // message.
    if (previous_ && GetWindowLongPtrW(tree_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(TreeProc)) {
        SetWindowLongPtrW(tree_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        SetWindowLongPtrW(tree_, GWLP_USERDATA, 0);
        previous_ = nullptr;
    }
    if (tree_) {
        // The all-files tab's list is the system's: it is let go, never
        // destroyed.
        TreeView_SetImageList(tree_, nullptr, TVSIL_NORMAL);
        TreeView_SetImageList(tree_, nullptr, TVSIL_STATE);
    }
    normalImages_.Reset();
    stateImages_.Reset();
    names_.Clear();
    shell_.Close();
}

void FolderTree::BuildStateImages() {
    // The plain set shows boxes beside the item's own image; the alternative
    // set draws folder and file with their mark, and the tree then has no
    // normal images.
    static const WORD kPlain[] = {IDI_BOX_EMPTY, IDI_BOX_EMPTY, IDI_BOX_TICKED, IDI_BOX_PARTLY};
    static const WORD kAlternative[] = {IDI_BOX_EMPTY,  IDI_FOLDER_UNCHECKED, IDI_FOLDER,  IDI_FOLDER_PARTLY,
                                        IDI_BOX_EMPTY,  IDI_FILE_UNCHECKED,   IDI_FILE};
    bool alternative = store_.option(Option::AltMarkIcons);
    const WORD *ids = alternative ? kAlternative : kPlain;
    int count = alternative ? 7 : 4;
    ImageList list(ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, count, 0));
    HINSTANCE instance = Instance();
    for (int i = 0; i < count; ++i) AddIcon(list.Get(), instance, ids[i]);
    // The tree lets go of the old list here, so it can be destroyed.
    TreeView_SetImageList(tree_, list.Get(), TVSIL_STATE);
    stateImages_ = std::move(list);
}

void FolderTree::ShowTab(int tab) {
    SendMessageA(tabs_, TCM_SETCURSEL, tab, 0);
    midiTab_ = tab == 0;
    Rebuild();
}

void FolderTree::OnTabChanged() {
    midiTab_ = SendMessageA(tabs_, TCM_GETCURSEL, 0, 0) == 0;
    Rebuild();
}

void FolderTree::EndLabelEdit() {
    if (!editing_) return;
    quietEnd_ = true;
    if (tree_) TreeView_EndEditLabelNow(tree_, FALSE);
    quietEnd_ = false;
    // The control had no edit left to end.
    editing_ = false;
}

void FolderTree::Rebuild() {
    EndLabelEdit();
    pending_ = nullptr;
    shell_.Clear();
    names_.Clear();
    if (!shell_.IsOpen()) {
        // SetUp found no desktop folder: the tree stays empty.
        TreeView_DeleteAllItems(tree_);
    } else if (midiTab_) {
        BuildMidiTree();
    } else {
        shell_.BuildShellTree();
    }
}

bool FolderTree::PushName(const char *name, ItemKind kind, uint32_t *index) {
    if (names_.Push(name, kind == ItemKind::File, index)) return true;
    TellTreeFull();
    return false;
}

bool FolderTree::PushFolderPath(const std::string &path, uint32_t *index) {
    return PushName(path.c_str(), ItemKind::Folder, index);
}

void FolderTree::TellLeftOut(const std::vector<std::wstring> &paths) {
    if (paths.empty() || toldLeftOut_) return;
    bool posted = !leftOut_.empty();
    leftOut_.insert(leftOut_.end(), paths.begin(), paths.end());
    // After the fill, as for a full table.
    if (!posted) PostMessageA(tree_, kMsgTellLeftOut, 0, 0);
}

void FolderTree::TellTreeFull() {
    if (toldFull_) return;
    toldFull_ = true;
    // Not now: the fill that found the table full runs inside the tree's
    // expansion, with its redraw off.
    PostMessageA(tree_, kMsgTellTreeFull, 0, 0);
}

unsigned FolderTree::FolderPathMark(const std::string &path) {
    best::BestRecord &record = state_->edited;
    if (record.IsNone()) return tree::kUnchecked;
    SystemDisk system;
    DiskIndex disk(system);
    size_t cursor = record.FirstEntry();
    return FolderMark(record, &cursor, path, false, disk);
}

// --- the MIDI tab --------------------------------------------------------------

void FolderTree::BuildMidiTree() {
    TreeView_DeleteAllItems(tree_);
    TreeView_SetImageList(tree_, store_.option(Option::AltMarkIcons) ? nullptr : normalImages_.Get(), TVSIL_NORMAL);
    uint32_t index;
    PushName(midiFolder_, ItemKind::Folder, &index);
    SystemDisk system;
    DiskIndex disk(system);
    unsigned mark = tree::kUnchecked;
    if (!state_->edited.IsNone() && midiFolder_[0]) mark = RootMark(state_->edited, midiFolder_, disk);

    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    TVITEMA &item = insert.item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM | TVIF_STATE;
    item.pszText = const_cast<char *>(kRootText);
    item.iImage = item.iSelectedImage = rootImage_;
    item.cChildren = 1;
    item.lParam = 0;
    item.state = mark;
    item.stateMask = tree::kStateImageMask;
    HTREEITEM root = TreeView_InsertItem(tree_, &insert);
    if (!root) return;
    TreeView_Expand(tree_, root, TVE_EXPAND);
    TreeView_SelectItem(tree_, root);
}

void FolderTree::FillFolder(HTREEITEM folder) {
    SystemDisk system;
    DiskIndex disk(system);
    Collection fill{*this, state_->edited, disk, disk, midiTab_};
    albumsRead_ = false;
    // The items go in as one batch, the tree's redraw off meanwhile, so that
    // it works out its scroll range and repaints once for the whole folder
    // rather than as each of thousands of items arrives.
    SendMessageA(tree_, WM_SETREDRAW, FALSE, 0);
    ScopeGuard redraw([this] {
        SendMessageA(tree_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(tree_, nullptr, TRUE);
    });
    if (FillOpenedFolder(fill, *this, AsItem(folder), store_.option(Option::AltMarkIcons)) == FillEnd::NoRoom) TellTreeFull();
    TellLeftOut(system.leftOut);
}

void FolderTree::InsertChild(tree::Item folder, const std::string &name, const std::string &path, bool file,
                             unsigned state, uint32_t bits) {
    uint32_t index;
    if (!PushName(name.c_str(), file ? ItemKind::File : ItemKind::Folder, &index)) return;
    std::string album;
    if (midiTab_ && !file) {
        if (!albumsRead_) albums_ = AlbumNames::Read(store_);
        albumsRead_ = true;
        album = albums_.For(path.c_str());
    }
    TVINSERTSTRUCTA insert = {};
    insert.hParent = AsHandle(folder);
    insert.hInsertAfter = TVI_LAST;
    TVITEMA &item = insert.item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM | TVIF_STATE;
    item.pszText = const_cast<char *>(album.empty() ? name.c_str() : album.c_str());
    SetImages(&item, path, file ? ItemKind::File : ItemKind::Folder);
    item.cChildren = file ? 0 : 1;
    item.lParam = static_cast<LPARAM>(index | bits);
    item.state = state;
    item.stateMask = tree::kStateImageMask;
    TreeView_InsertItem(tree_, &insert);
}

void FolderTree::DropExpandButton(tree::Item folder) {
    TVITEMA empty = {};
    empty.mask = TVIF_CHILDREN;
    empty.hItem = AsHandle(folder);
    empty.cChildren = 0;
    TreeView_SetItem(tree_, &empty);
}

void FolderTree::SetImages(TVITEMA *item, const std::string &path, ItemKind kind) {
    if (midiTab_) {
        item->iImage = item->iSelectedImage = kind == ItemKind::File ? fileImage_ : folderImage_;
        return;
    }
    // The all-files tab shows the system's small icons, as the Shell does.
    // A file's icon does not open: one look-up (which may read the file)
    // gives both.
    int *open = kind == ItemKind::File ? nullptr : &item->iSelectedImage;
    bool found = SystemIconIndexes(path.c_str(), &item->iImage, open);
    if (!found) item->iImage = 0;
    if (!found || !open) item->iSelectedImage = item->iImage;
}

std::string FolderTree::PathOf(HTREEITEM item) {
    std::string path;
    tree::ItemPath(*this, AsItem(item), &path);
    return path;
}

void FolderTree::MarkWholeMidiFolder() {
    midiTab_ = true;
    names_.Clear();
    uint32_t index;
    PushName(midiFolder_, ItemKind::Folder, &index);
    TreeView_DeleteAllItems(tree_);
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_FIRST;
    insert.item.mask = TVIF_CHILDREN | TVIF_PARAM | TVIF_STATE;
    insert.item.cChildren = 1;
    insert.item.lParam = tree::kChangedBit;  // names entry 0, the MIDI folder
    insert.item.state = tree::kChecked;
    insert.item.stateMask = tree::kStateImageMask;
    TreeView_InsertItem(tree_, &insert);
}

bool FolderTree::Collect() {
    if (state_->edited.IsNone()) return false;
    SystemDisk system, ahead;
    // The whole MIDI folder ticked: every folder under it is listed, part of
    // them by a second thread.
    tree::Item root = FirstChild(tree::kNoItem);
    bool whole = midiTab_ && root != tree::kNoItem && tree::Mark(State(root)) == tree::kChecked;
    ListingAhead both(system, ahead, whole ? std::string(midiFolder_) : std::string());
    DiskIndex disk(both);
    Collection collection{*this, state_->edited, disk, disk, midiTab_};
    size_t cursor = state_->edited.FirstEntry();
    return CollectChecks(collection, std::string(), &cursor, FirstChild(tree::kNoItem),
                         midiTab_ ? CollectFrom::FirstEntry : CollectFrom::Cursor);
}

// --- tree::MarkTree over the control -------------------------------------------

tree::Item FolderTree::FirstChild(tree::Item parent) {
    return AsItem(parent == tree::kNoItem ? TreeView_GetRoot(tree_) : TreeView_GetChild(tree_, AsHandle(parent)));
}

tree::Item FolderTree::NextSibling(tree::Item item) { return AsItem(TreeView_GetNextSibling(tree_, AsHandle(item))); }

tree::Item FolderTree::Parent(tree::Item item) { return AsItem(TreeView_GetParent(tree_, AsHandle(item))); }

unsigned FolderTree::State(tree::Item item) {
    return static_cast<unsigned>(TreeView_GetItemState(tree_, AsHandle(item), 0xFFFF));
}

void FolderTree::SetStateImage(tree::Item item, unsigned bits) {
    TVITEMA changed = {};
    changed.mask = TVIF_STATE;
    changed.hItem = AsHandle(item);
    changed.state = bits & tree::kStateImageMask;
    changed.stateMask = tree::kStateImageMask;
    TreeView_SetItem(tree_, &changed);
}

TVITEMA FolderTree::Read(tree::Item item, UINT fields) {
    TVITEMA read = {};
    read.mask = fields;
    read.hItem = AsHandle(item);
    TreeView_GetItem(tree_, &read);
    return read;
}

uint32_t FolderTree::Data(tree::Item item) { return static_cast<uint32_t>(Read(item, TVIF_PARAM).lParam); }

void FolderTree::SetData(tree::Item item, uint32_t data) {
    TVITEMA changed = {};
    changed.mask = TVIF_PARAM;
    changed.hItem = AsHandle(item);
    changed.lParam = static_cast<LPARAM>(data);
    TreeView_SetItem(tree_, &changed);
}

bool FolderTree::IsFile(tree::Item item) {
    uint32_t data = Data(item);
    return !tree::IsShellNode(data) && names_.IsFile(data & tree::kNameIndexMask);
}

const char *FolderTree::Name(uint32_t index) { return names_.Text(index); }
