// The folder tree as the user handles it: clicks on the marks, the
// keys the dialog manager offers, the context menu and the preview, the
// expansion of a folder, and album names edited as labels.
#include "editor/folder_tree.h"

#include <windowsx.h>

#include "editor/best_settings_dialog.h"
#include "editor/byte_limited_edit.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "utils/ansi_text.h"
#include "utils/code_page.h"
#include "utils/message_box.h"
#include "utils/scope_guard.h"

namespace {

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
const char kAlbumNotStored[] =
    "アルバム名を設定ファイル (KORVEL.ini) に書き込めませんでした。\nアルバム名は変更されていません。";
const char kNamesLeftOut[] =
    "次のファイルとフォルダは、名前にコードページ 932 (シフト JIS) で表せない文字が含まれていて、"
    "短い名前 (8.3 形式) もないため、ツリーに表示できません。\n"
    "名前を変更すると、表示できるようになります。";

constexpr int kPopupFile = 1;  // the popup "ファイル" of IDR_POPUP_MENU

// The point of a mouse message, as signed client coordinates.
POINT MessagePoint(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

// WM_CONTEXTMENU made by the keyboard (Shift+F10, the menu key) has no
// point: both coordinates are -1.  A 64-bit lParam holding them is not -1
// as a whole, so each is tested.
bool FromKeyboard(LPARAM lParam) { return GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1; }

}  // namespace

// --- the subclassed tree -------------------------------------------------------

LRESULT CALLBACK FolderTree::TreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *tree = reinterpret_cast<FolderTree *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // A handler of the dialog's: its close waits for this one to return.
    HandlerDepth::Scope handling(tree->depth_);
    return tree->OnTreeMessage(message, wParam, lParam);
}

// Only inside TreeProc: the procedure below this subclass.
LRESULT FolderTree::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(previous_, tree_, message, wParam, lParam);
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
    case WM_CONTEXTMENU:
        // A right-click has had its menu when the button was let go over the
        // item; the mouse's own context menu message would be a second one.
        if (!FromKeyboard(lParam)) return 0;
        if (!Selected()) break;
        return OnKeyboardContextMenu();
    case WM_GETDLGCODE:
        return OnGetDlgCode(wParam, lParam);
    case kMsgTellTreeFull:
        ShowMessage(dialog_, kTreeFull, MB_OK | MB_ICONWARNING);
        return 0;
    case kMsgTellLeftOut:
        TellLeftOutNow();
        return 0;
    case kMsgTellAlbumNotStored:
        ShowMessage(dialog_, kAlbumNotStored, MB_OK | MB_ICONERROR);
        return 0;
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

// Shift+F10 or the menu key: the selected item's menu, at its label.
LRESULT FolderTree::OnKeyboardContextMenu() {
    HTREEITEM item = Selected();
    pending_ = item;
    RECT text = {};
    TreeView_GetItemRect(tree_, item, &text, TRUE);
    POINT at = {(text.left + text.right) / 2, (text.top + text.bottom) / 2};
    ClientToScreen(tree_, &at);
    ShowContextMenu(item, at);
    return 0;
}

// Once per opening of the dialog, with what the fills met so far.
void FolderTree::TellLeftOutNow() {
    toldLeftOut_ = true;
    std::vector<std::wstring> paths = std::move(leftOut_);
    leftOut_.clear();
    codepage::ShowLeftOut(dialog_, kNamesLeftOut, paths);
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
    tree::ToggleMark(*this, AsItem(pending_), store_.option(Option::AltMarkIcons));
    pending_ = nullptr;
    return 0;
}

LRESULT FolderTree::OnGetDlgCode(WPARAM wParam, LPARAM lParam) {
    // The dialog manager may ask without a message.
    const MSG *asked = reinterpret_cast<const MSG *>(lParam);
    if (asked && asked->message == WM_KEYDOWN && asked->wParam == VK_RETURN) {
        Preview(Selected());
    } else if (asked && asked->message == WM_CHAR && asked->wParam == ' ') {
        pending_ = Selected();
        if (HTREEITEM item = pending_) {
            // After a right-button press Space opens the context menu.
            OnCaptureChanged(true, 0, 0);
            TreeView_SelectItem(tree_, item);
            return 0;
        }
    }
    return Default(WM_GETDLGCODE, wParam, lParam);
}

void FolderTree::ShowContextMenu(HTREEITEM item, POINT at) {
    uint32_t data = Data(AsItem(item));
    if (midiTab_ ? !IsFile(AsItem(item)) : tree::IsShellNode(data)) return;
    HMENU menu = LoadMenuA(Instance(), MAKEINTRESOURCEA(IDR_POPUP_MENU));
    if (!menu) return;
    ScopeGuard destroyMenu([menu] { DestroyMenu(menu); });
    HMENU popup = GetSubMenu(menu, kPopupFile);
    if (!popup) return;
    if (!midiTab_ && !FileExists(PathOf(item).c_str(), 0))
        EnableMenuItem(popup, IDM_PLAY, MF_BYCOMMAND | MF_GRAYED);
    UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, tree_, nullptr));
    if (command) OnTreeMessage(WM_COMMAND, command, 0);
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
    // Both boxes are modal to the dialog; a close asked for meanwhile waits
    // for this handler to return.
    if (ReportPlayError(1, dialog_)) ShowMessage(dialog_, kPreviewFailed, MB_OK | MB_ICONERROR);
    host_->player().ResumeAfterPreview(AfterPreview::Resume);
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
    editing_ = true;
    // The album file keeps what a 260-byte buffer reads back whole.
    if (HWND edit = TreeView_GetEditControl(tree_)) LimitEditBytes(edit, tree::kLongestPath);
    return FALSE;
}

LRESULT FolderTree::OnEndLabelEdit(const NMTVDISPINFOA *info) {
    if (!editing_) return FALSE;
    editing_ = false;
    HTREEITEM item = info->item.hItem;
    std::string path = PathOf(item);

    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Files keep their names: nothing on disk is ever renamed.
        if (ansi::EndsWithNoCase(path.c_str(), ".lnk") && !quietEnd_)
            ShowMessage(dialog_, kShortcutLabel, MB_OK | MB_ICONWARNING);
        return FALSE;
    }
    const char *text = info->item.pszText;
    bool naming = text && text[0];
    // Cancelled (or emptied), the folder's name goes.
    bool stored = naming ? store_.WriteAlbumName(path.c_str(), text) : store_.DeleteAlbumName(path.c_str());
    if (!stored) {
        // FALSE: the label stays what it showed, which the album file still holds.
        PostMessageA(tree_, kMsgTellAlbumNotStored, 0, 0);
        return FALSE;
    }
    if (naming) return TRUE;
    // The folder is shown under its own name again.
    TVITEMA own = {};
    own.mask = TVIF_TEXT;
    own.hItem = item;
    own.pszText = const_cast<char *>(Name(Data(AsItem(item)) & tree::kNameIndexMask));
    TreeView_SetItem(tree_, &own);
    // FALSE: the control takes an emptied text as the label when this
    // answers TRUE, over the name just set.
    return FALSE;
}
