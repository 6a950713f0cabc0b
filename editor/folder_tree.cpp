#include "editor/folder_tree.h"

#include <windowsx.h>

#include <cstring>

#include "editor/best_settings_dialog.h"
#include "editor/byte_limited_edit.h"
#include "editor/collection.h"
#include "editor/disk_index.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "utils/ansi_text.h"
#include "utils/code_page.h"
#include "utils/folder_listing.h"
#include "utils/message_box.h"
#include "utils/scope_guard.h"

namespace {

const char kRootText[] = "MIDIファイル";
const char kMidiTabText[] = "MIDIファイル";
const char kAllFilesTabText[] = "すべてのファイル";
const char kFileNotFound[] = "ファイルが見つかりません。";
const char kPreviewFailed[] = "エラーにより再生できませんでした。";
const char kShortcutLabel[] =
    "このファイルはショートカットです。\n名前を変更する場合はリンク元を編集してください。";
const char kTreeFull[] =
    "開いたフォルダの中身を加えると、ツリーに表示できるファイルとフォルダの数の上限を超えるため、"
    "中身を表示できませんでした。\n"
    "中身を表示できなかったフォルダのチェックは変更できません。そのフォルダについてベストに"
    "登録されている内容は、そのまま保たれます。\n\n"
    "タブを切り替えるか、このダイアログを開き直すと、ツリーが作り直されて空きができます。";
const char kNamesLeftOut[] =
    "次のファイルとフォルダは、名前にコードページ 932 (シフト JIS) で表せない文字が含まれていて、"
    "短い名前 (8.3 形式) もないため、ツリーに表示できません。\n"
    "名前を変更すると、表示できるようになります。";

using tree::JoinPath;
using tree::kLongestPath;
constexpr int kPopupFile = 1;  // the popup "ファイル" of menu 103
// Posted to the tree: the fill that found the names table full is over.
constexpr UINT kMsgTellTreeFull = WM_APP + 4;
// Posted to the tree: a fill met names that cannot be shown.
constexpr UINT kMsgTellLeftOut = WM_APP + 5;

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

HINSTANCE InstanceOf(HWND window) { return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)); }

HTREEITEM AsHandle(tree::Item item) { return reinterpret_cast<HTREEITEM>(item); }
tree::Item AsItem(HTREEITEM item) { return reinterpret_cast<tree::Item>(item); }

// The point of a mouse message, as signed client coordinates.
POINT MessagePoint(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

// WM_CONTEXTMENU made by the keyboard (Shift+F10, the menu key) has no
// point: both coordinates are -1.  A 64-bit lParam holding them is not -1
// as a whole, so each is tested.
bool FromKeyboard(LPARAM lParam) { return GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1; }

}  // namespace

// --- set-up and tabs -----------------------------------------------------------

void FolderTree::Attach(HWND dialog) {
    dialog_ = dialog;
    tree_ = GetDlgItem(dialog, IDC_TREE);
    tabs_ = GetDlgItem(dialog, IDC_TABS);
}

void FolderTree::SetUp() {
    names_.Clear();
    // The object rides in the tree's user data, not in a window property:
    // every message the tree gets looks it up, and a property look-up (by
    // name, through the atom table) cost more than inserting an item does.
    SetWindowLongPtrA(tree_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(tree_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeProc)));

    HINSTANCE instance = InstanceOf(dialog_);
    normalImages_ = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 3, 0);
    rootImage_ = AddIcon(normalImages_, instance, IDI_TRAY_A);
    folderImage_ = AddIcon(normalImages_, instance, IDI_FOLDER);
    fileImage_ = AddIcon(normalImages_, instance, IDI_FILE);
    TreeView_SetImageList(tree_, normalImages_, TVSIL_NORMAL);
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
    if (previous_) {
        SetWindowLongPtrA(tree_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        SetWindowLongPtrA(tree_, GWLP_USERDATA, 0);
        previous_ = nullptr;
    }
    if (tree_) {
        // The all-files tab's list is the system's: it is let go, never
        // destroyed.
        TreeView_SetImageList(tree_, nullptr, TVSIL_NORMAL);
        TreeView_SetImageList(tree_, nullptr, TVSIL_STATE);
    }
    if (normalImages_) ImageList_Destroy(normalImages_);
    if (stateImages_) ImageList_Destroy(stateImages_);
    normalImages_ = stateImages_ = nullptr;
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
    bool alternative = g_settings.altCheckIcons;
    const WORD *ids = alternative ? kAlternative : kPlain;
    int count = alternative ? 7 : 4;
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, count, 0);
    HINSTANCE instance = InstanceOf(dialog_);
    for (int i = 0; i < count; ++i) AddIcon(list, instance, ids[i]);
    TreeView_SetImageList(tree_, list, TVSIL_STATE);
    if (stateImages_) ImageList_Destroy(stateImages_);
    stateImages_ = list;
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
    // The control had no edit left to end: the keys come back all the same.
    if (editing_) {
        editing_ = false;
        RestoreDialogKeys();
    }
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
    TreeView_SetImageList(tree_, g_settings.altCheckIcons ? nullptr : normalImages_, TVSIL_NORMAL);
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
    if (FillOpenedFolder(fill, *this, AsItem(folder), g_settings.altCheckIcons) == FillEnd::NoRoom) TellTreeFull();
    TellLeftOut(system.leftOut);
}

void FolderTree::InsertChild(tree::Item folder, const std::string &name, const std::string &path, bool file,
                             unsigned state, uint32_t bits) {
    uint32_t index;
    if (!PushName(name.c_str(), file ? ItemKind::File : ItemKind::Folder, &index)) return;
    std::string album;
    if (midiTab_ && !file) {
        if (!albumsRead_) albums_ = AlbumNames::Read();
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
    // The all-files tab shows the system's small icons, as the shell does.
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
    SystemDisk system;
    DiskIndex disk(system);
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

// --- the subclassed tree -------------------------------------------------------

LRESULT CALLBACK FolderTree::TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *self = reinterpret_cast<FolderTree *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    return self->OnTreeMessage(message, wParam, lParam);
}

LRESULT FolderTree::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(previous_, tree_, message, wParam, lParam);
}

HTREEITEM FolderTree::HitAt(POINT client, UINT flags) {
    TVHITTESTINFO hit = {};
    hit.pt = client;
    HTREEITEM item = TreeView_HitTest(tree_, &hit);
    return item && (hit.flags & flags) ? item : nullptr;
}

HTREEITEM FolderTree::HitUnderCursor(UINT flags) {
    POINT at;
    GetCursorPos(&at);
    ScreenToClient(tree_, &at);
    return HitAt(at, flags);
}

HTREEITEM FolderTree::Selected() { return TreeView_GetSelection(tree_); }

LRESULT FolderTree::OnTreeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        pending_ = HitAt(MessagePoint(lParam), TVHT_ONITEMSTATEICON);
        rightButton_ = false;
        break;
    case WM_RBUTTONDOWN:
        pending_ = HitUnderCursor(TVHT_ONITEMICON | TVHT_ONITEMLABEL);
        rightButton_ = true;
        break;
    case WM_MOUSEMOVE:
        // Moving off where the button went down gives the click up.
        if (pending_ &&
            HitAt(MessagePoint(lParam), rightButton_ ? TVHT_ONITEMICON | TVHT_ONITEMLABEL : TVHT_ONITEMSTATEICON) !=
                pending_)
            pending_ = nullptr;
        break;
    case WM_CAPTURECHANGED:
        return OnCaptureChanged(false, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        if (HTREEITEM item = HitAt(MessagePoint(lParam), TVHT_ONITEMICON)) {
            Preview(item);
            return 0;
        }
        break;
    case WM_CONTEXTMENU: {
        // A right-click has had its menu when the button was let go over the
        // item; the mouse's own context menu message would be a second one.
        if (!FromKeyboard(lParam)) return 0;
        HTREEITEM item = Selected();
        if (!item) break;
        pending_ = item;
        RECT text = {};
        TreeView_GetItemRect(tree_, item, &text, TRUE);
        POINT at = {(text.left + text.right) / 2, (text.top + text.bottom) / 2};
        ClientToScreen(tree_, &at);
        ShowContextMenu(item, at);
        return 0;
    }
    case WM_GETDLGCODE:
        return OnGetDlgCode(wParam, lParam);
    case kMsgTellTreeFull:
        // The dialog may close while the box is up: nothing is touched after it.
        ShowMessage(dialog_, kTreeFull, MB_OK | MB_ICONWARNING);
        return 0;
    case kMsgTellLeftOut: {
        // Once per opening of the dialog, with what the fills met so far.
        toldLeftOut_ = true;
        std::vector<std::wstring> paths = std::move(leftOut_);
        leftOut_.clear();
        codepage::ShowLeftOut(dialog_, kNamesLeftOut, paths);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_PLAY) {
            Preview(pending_);
            return 1;
        }
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

LRESULT FolderTree::OnCaptureChanged(bool internal, WPARAM wParam, LPARAM lParam) {
    if (!pending_) return internal ? 0 : Default(WM_CAPTURECHANGED, wParam, lParam);
    if (rightButton_) {
        if (HitUnderCursor(TVHT_ONITEMICON | TVHT_ONITEMLABEL) == pending_) {
            POINT at;
            GetCursorPos(&at);
            ShowContextMenu(pending_, at);
            return 0;
        }
        return internal ? 0 : Default(WM_CAPTURECHANGED, wParam, lParam);
    }
    if (!internal && HitUnderCursor(TVHT_ONITEMSTATEICON) != pending_) {
        pending_ = nullptr;
        return Default(WM_CAPTURECHANGED, wParam, lParam);
    }
    tree::ToggleMark(*this, AsItem(pending_), g_settings.altCheckIcons);
    pending_ = nullptr;
    return 0;
}

LRESULT FolderTree::OnGetDlgCode(WPARAM wParam, LPARAM lParam) {
    // The dialog manager may ask without a message.
    const MSG *asked = reinterpret_cast<const MSG *>(lParam);
    if (asked && asked->message == WM_KEYDOWN && asked->wParam == VK_RETURN) {
        LifeWatch watch = life_.Watch();
        Preview(Selected());
        if (watch.Ended()) return 0;
    } else if (asked && asked->message == WM_CHAR && asked->wParam == ' ') {
        pending_ = Selected();
        if (HTREEITEM item = pending_) {
            // After a right-button press Space opens the context menu, whose
            // play can end in a box: the dialog may be gone when it returns.
            LifeWatch watch = life_.Watch();
            OnCaptureChanged(true, 0, 0);
            if (watch.Ended()) return 0;
            TreeView_SelectItem(tree_, item);
            return 0;
        }
    }
    return Default(WM_GETDLGCODE, wParam, lParam);
}

void FolderTree::ShowContextMenu(HTREEITEM item, POINT at) {
    uint32_t data = Data(AsItem(item));
    if (midiTab_ ? !IsFile(AsItem(item)) : tree::IsShellNode(data)) return;
    HMENU menu = LoadMenuA(InstanceOf(dialog_), MAKEINTRESOURCEA(IDR_POPUP_MENU));
    if (!menu) return;
    ScopeGuard destroyMenu([menu] { DestroyMenu(menu); });
    HMENU popup = GetSubMenu(menu, kPopupFile);
    if (!popup) return;
    if (!midiTab_ && !FileExists(PathOf(item).c_str(), 0))
        EnableMenuItem(popup, IDM_PLAY, MF_BYCOMMAND | MF_GRAYED);
    LifeWatch watch = life_.Watch();
    UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, tree_, nullptr));
    if (watch.Ended()) return;
    if (command) OnTreeMessage(WM_COMMAND, command, 0);
    if (watch.Ended()) return;
    // Whatever was chosen, the press that opened the menu is done with.
    pending_ = nullptr;
}

// --- the preview ---------------------------------------------------------------

void FolderTree::Preview(HTREEITEM item) {
    if (!item || (midiTab_ && !IsFile(AsItem(item)))) return;
    std::string path = PathOf(item);
    if (!FileExists(path.c_str(), 0)) {
        if (midiTab_) ShowMessage(dialog_, kFileNotFound, MB_OK | MB_ICONERROR);
        return;
    }
    if (host_->player().PlayPreview(path.c_str(), dialog_)) return;
    // Both boxes are modal to the dialog.  Should it close all the same while
    // one is up, its close has given playback back already.
    LifeWatch watch = life_.Watch();
    HWND dialog = dialog_;
    if (ReportPlayError(1, dialog) && !watch.Ended()) ShowMessage(dialog, kPreviewFailed, MB_OK | MB_ICONERROR);
    if (!watch.Ended()) host_->player().ResumeAfterPreview(AfterPreview::Resume);
}

// --- notices: expansion, drags and album names ----------------------------------

bool FolderTree::OnNotify(const NMHDR *notice, LRESULT *result) {
    if (notice->hwndFrom != tree_) return false;
    *result = FALSE;
    switch (notice->code) {
    case TVN_ITEMEXPANDINGA: {
        // Filled once, and a frozen folder never; the expansion itself is
        // never refused.
        HTREEITEM item = reinterpret_cast<const NMTREEVIEWA *>(notice)->itemNew.hItem;
        if (TreeView_GetItemState(tree_, item, TVIS_EXPANDEDONCE) & TVIS_EXPANDEDONCE) return true;
        uint32_t data = Data(AsItem(item));
        if (tree::IsFrozen(data)) return true;
        if (tree::IsShellNode(data))
            shell_.FillShellNode(data & tree::kNameIndexMask, item);
        else
            FillFolder(item);
        return true;
    }
    case TVN_KEYDOWN:
        if (reinterpret_cast<const NMTVKEYDOWN *>(notice)->wVKey == VK_F2 && midiTab_)
            if (HTREEITEM item = Selected()) TreeView_EditLabel(tree_, item);
        return true;
    case TVN_BEGINLABELEDITA:
        *result = OnBeginLabelEdit(reinterpret_cast<const NMTVDISPINFOA *>(notice));
        return true;
    case TVN_ENDLABELEDITA:
        *result = OnEndLabelEdit(reinterpret_cast<const NMTVDISPINFOA *>(notice));
        return true;
    case TVN_BEGINDRAGA:
    case TVN_BEGINRDRAGA:
        pending_ = nullptr;
        return true;
    default:
        return false;
    }
}

LRESULT FolderTree::OnBeginLabelEdit(const NMTVDISPINFOA *info) {
    // Album names are for the folders of the MIDI tab; the root is the MIDI
    // folder itself.
    if (!midiTab_ || (Data(AsItem(info->item.hItem)) & tree::kNameIndexMask) == 0) return TRUE;
    host_->SetDialogKeys(DialogKeys::LabelEditing);
    editing_ = true;
    // The settings file keeps what a 260-byte buffer reads back whole.
    if (HWND edit = TreeView_GetEditControl(tree_)) LimitEditBytes(edit, kLongestPath);
    return FALSE;
}

LRESULT FolderTree::OnEndLabelEdit(const NMTVDISPINFOA *info) {
    if (!editing_) return FALSE;
    editing_ = false;
    HTREEITEM item = info->item.hItem;
    std::string path = PathOf(item);
    RestoreDialogKeys();

    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Files keep their names: nothing on disk is ever renamed.
        if (ansi::EndsWithNoCase(path.c_str(), ".lnk") && !quietEnd_)
            ShowMessage(dialog_, kShortcutLabel, MB_OK | MB_ICONWARNING);
        return FALSE;
    }
    const char *text = info->item.pszText;
    if (text && text[0]) {
        WriteAlbumName(path.c_str(), text);
        return TRUE;
    }
    // Cancelled (or emptied): the folder is shown under its own name again.
    DeleteAlbumName(path.c_str());
    TVITEMA own = {};
    own.mask = TVIF_TEXT;
    own.hItem = item;
    own.pszText = const_cast<char *>(Name(Data(AsItem(item)) & tree::kNameIndexMask));
    TreeView_SetItem(tree_, &own);
    // FALSE: the control takes an emptied text as the label when this
    // answers TRUE, over the name just set.
    return FALSE;
}

void FolderTree::RestoreDialogKeys() {
    host_->SetDialogKeys(DialogKeys::LabelEdited);
}
