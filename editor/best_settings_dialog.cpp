// The best settings dialog: its creation and message routing, the bitmap
// buttons, the MIDI folder, the advanced settings, and the way out through
// OK, Cancel and Close.  The bests themselves: best_settings_dialog_bests.cpp.
#include "editor/best_settings_dialog.h"

#include <algorithm>
#include <memory>

#include <uxtheme.h>

#include "editor/advanced_dialog.h"
#include "editor/data_boxes.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "utils/ansi_text.h"
#include "utils/message_box.h"
#include "utils/private_messages.h"
#include "utils/path_rules.h"
#include "utils/scope_guard.h"
#include "utils/caption.h"

namespace {

const char kMidiFolderPrompt[] = "MIDIフォルダを指定してください。";

// The faces of the three bitmap buttons: normal, hot and pressed for each.
constexpr int kButtonCount = 3;
constexpr int kHotFaces = 3;
constexpr int kPressedFaces = 6;
constexpr int kFaceCount = 9;
constexpr COLORREF kTransparent = RGB(0, 0, 255);

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Tick(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

std::string ControlText(HWND dialog, int id) {
    char text[MAX_PATH] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

}  // namespace

// --- creation and the window procedure ---------------------------------------

HWND BestSettingsDialog::Create(HINSTANCE instance, HWND owner, EditorHost *host, Store &store,
                                TaskbarButton button) {
    auto dialog = std::make_unique<BestSettingsDialog>(host, store);
    dialog->taskbarButton_ = button;
    return Binding::Create(instance, IDD_BEST_SETTINGS, owner, std::move(dialog));
}

BestSettingsDialog *BestSettingsDialog::From(HWND dialog) { return Binding::From(dialog); }

INT_PTR BestSettingsDialog::OnInitDialog(HWND window) {
    window_ = window;
    host_->BestSettingsOpening(window);
    // An owned window has no taskbar button unless it asks for one, and the
    // taskbar takes the style when the window first shows, after this.
    if (taskbarButton_ == TaskbarButton::Own)
        SetWindowLongPtrA(window, GWL_EXSTYLE, GetWindowLongPtrA(window, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    HandlerDepth::Scope handling(depth_);
    return SetUp() ? TRUE : FALSE;
}

INT_PTR BestSettingsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Not a handler like the others: it waits for them, or ends the dialog.
    if (message == kMsgClose) {
        OnPostedClose();
        return TRUE;
    }
    HandlerDepth::Scope handling(depth_);
    return Dispatch(message, wParam, lParam);
}

INT_PTR BestSettingsDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        // Once the close is on its way, a click queued behind it is too late.
        if (closing_) return TRUE;
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<const NMHDR *>(lParam));
    case WM_DRAWITEM:
        OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT *>(lParam));
        return TRUE;
    case WM_SETCURSOR:
        OnSetCursor(reinterpret_cast<HWND>(wParam), HIWORD(lParam));
        return FALSE;
    case WM_COPYDATA:
        // The engine tells the playback owner that its preview has to end.
        host_->player().ResumeAfterPreview(AfterPreview::Stay);
        return FALSE;
    case WM_CLOSE:
        OnCancel();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR BestSettingsDialog::OnCommand(WORD id, WORD notification) {
    switch (id) {
    case IDC_OK: OnOk(); return TRUE;
    case IDC_CANCEL: OnCancel(); return TRUE;
    case IDC_SAVE_BEST: OnSave(); return TRUE;
    case IDC_NEW_BEST: OnNewBest(); return TRUE;
    case IDC_DELETE_BEST: OnDeleteBest(); return TRUE;
    case IDC_CHANGE_PLAY_BEST: OnChangeBestToPlay(); return TRUE;
    case IDC_CHANGE_MIDI_FOLDER: OnChangeMidiFolder(); return TRUE;
    case IDC_ADVANCED: OnAdvanced(); return TRUE;
    case IDC_BEST_LIST:
        if (notification == CBN_SELCHANGE) OnBestSelected();
        return TRUE;
    default:
        // Enter and Esc (IDOK, IDCANCEL) never close this dialog.
        return FALSE;
    }
}

INT_PTR BestSettingsDialog::OnNotify(const NMHDR *notice) {
    if (notice->code == TCN_SELCHANGE) {
        // The marks of the tab being left go into the edited best first.
        SaveBest(window_, false, SaveBestMode::RebuildOnly);
        tree_.OnTabChanged();
        return FALSE;
    }
    LRESULT result = FALSE;
    if (!tree_.OnNotify(notice, &result)) return FALSE;
    return Binding::Answer(window_, result);
}

// --- opening ----------------------------------------------------------------------

HWND BestSettingsDialog::Combo() const { return GetDlgItem(window_, IDC_BEST_LIST); }

bool BestSettingsDialog::CreateButtonImages() {
    buttonImages_.Reset(ImageList_Create(25, 23, ILC_COLOR8 | ILC_MASK, kFaceCount, 0));
    if (!buttonImages_) return false;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
    for (int i = 0; i < kFaceCount; ++i) {
        // The list keeps a copy of the picture.
        GdiObject<HBITMAP> face(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_BUTTON_FIRST + i)));
        ImageList_AddMasked(buttonImages_.Get(), face.Get(), kTransparent);
    }
    return true;
}

bool BestSettingsDialog::SetUp() {
    tree_.Attach(window_);
    // Under a visual style the tab control has no bottom tabs: it draws
    // TCS_BOTTOM as top tabs turned over.  Drawn unthemed, it keeps them.
    SetWindowTheme(GetDlgItem(window_, IDC_TABS), L"", L"");
    for (int k = 0; k < kButtonCount; ++k) buttons_[k] = GetDlgItem(window_, IDC_NEW_BEST + k);
    if (!CreateButtonImages()) return false;

    state_ = EditState();
    Tick(window_, IDC_RANDOM, store_.option(Option::Random));
    Tick(window_, IDC_SKIP_SHORTCUTS, store_.option(Option::SkipShortcuts));
    Tick(window_, IDC_AUTO_SAVE, store_.option(Option::AutoSave));
    Tick(window_, IDC_HOTKEYS, host_->HotkeyHookInstalled());
    store_.ReadMidiFolder(midiFolder_, sizeof midiFolder_);

    HWND combo = Combo();
    best::BestRecord record;
    // A current best that the file no longer holds is treated as none.
    const char *current = host_->player().CurrentBestName();
    if (!current || !ReadBests(current, ReadBestsMode::FillSelect, combo, &record)) {
        // The player has no best until this dialog names one, so any way
        // out switches to it; only a default best, made in place of every
        // played history, has to be confirmed with OK.
        playerWaits_ = true;
        FirstBest first = LoadFirstOrDefaultBest(combo, &record);
        if (first == FirstBest::Gone) return false;
        if (first == FirstBest::DefaultMade) RequireOk();
        if (!record.IsNone()) {
            host_->player().SetCurrentBestName(record.Name());
            state_.changes.Add(EditChange::BestToPlay);
        }
    }
    state_.edited = std::move(record);

    tree_.SetUp();
    treeShown_ = true;
    ShowMidiFolder();
    ShowBestToPlay();
    return true;
}

void BestSettingsDialog::OnDestroy() {
    // Last resort: the dialog went without OK or Cancel (the program ends).
    tree_.EndLabelEdit();
    tree_.TearDown();
    buttonImages_.Reset();
}

// --- the bitmap buttons ------------------------------------------------------------

void BestSettingsDialog::OnDrawItem(const DRAWITEMSTRUCT *draw) {
    int k = static_cast<int>(draw->CtlID) - IDC_NEW_BEST;
    if (k < 0 || k >= kButtonCount) return;
    HWND button = draw->hwndItem;
    int face = k;
    if ((draw->itemAction & ODA_SELECT) && (draw->itemState & ODS_SELECTED)) {
        face = kPressedFaces + k;
    } else if (draw->itemState & ODS_FOCUS) {
        face = kHotFaces + k;
    } else if (draw->itemAction & (ODA_SELECT | ODA_FOCUS)) {
        if (hotButton_ == button) hotButton_ = nullptr;
        InvalidateRect(button, nullptr, TRUE);
    } else if (hotButton_ == button) {
        face = kHotFaces + k;
    }
    // The faces keep their pixel size; a button grown with the display's
    // DPI shows its face in the middle.
    int width = 0, height = 0;
    ImageList_GetIconSize(buttonImages_.Get(), &width, &height);
    int x = (std::max)(0, (static_cast<int>(draw->rcItem.right - draw->rcItem.left) - width) / 2);
    int y = (std::max)(0, (static_cast<int>(draw->rcItem.bottom - draw->rcItem.top) - height) / 2);
    ImageList_Draw(buttonImages_.Get(), face, draw->hDC, draw->rcItem.left + x, draw->rcItem.top + y, ILD_NORMAL);
}

void BestSettingsDialog::OnSetCursor(HWND under, UINT mouseMessage) {
    if (under == hotButton_) return;
    if (hotButton_) InvalidateRect(hotButton_, nullptr, TRUE);
    hotButton_ = nullptr;
    if (mouseMessage != WM_MOUSEMOVE) return;
    for (HWND button : buttons_) {
        if (button && button == under) {
            hotButton_ = button;
            InvalidateRect(button, nullptr, TRUE);
        }
    }
}

// --- the dialog's state ---------------------------------------------------------------

// From here on only OK closes the dialog: a best to play has to be confirmed.
void BestSettingsDialog::RequireOk() {
    EnableWindow(GetDlgItem(window_, IDC_CANCEL), FALSE);
    EnableMenuItem(GetSystemMenu(window_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void BestSettingsDialog::ShowMidiFolder() {
    // A drive root is stored as "D:" and shown as "D:\".
    std::string shown = paths::ShownFolder(midiFolder_);
    SetDlgItemTextA(window_, IDC_MIDI_FOLDER, shown.c_str());
    // A long path shows its end, where the folder's own name is.
    LPARAM end = static_cast<LPARAM>(shown.size());
    SendDlgItemMessageA(window_, IDC_MIDI_FOLDER, EM_SETSEL, end, end);
    SendDlgItemMessageA(window_, IDC_MIDI_FOLDER, EM_SCROLLCARET, 0, 0);
}

std::string BestSettingsDialog::ShownBestToPlay() { return ControlText(window_, IDC_PLAY_BEST); }

void BestSettingsDialog::ReportFailure() {
    // Modal to this dialog, so that Cancel, OK or Close cannot be clicked
    // while the box is up; the application then ends the program.
    ReportUnexpectedError(window_, *host_);
    failed_ = true;
}

// --- the MIDI folder and the advanced settings --------------------------------------

void BestSettingsDialog::OnChangeMidiFolder() {
    char chosen[KORVEL_PATH_BUFFER] = "";
    if (!picker_(window_, chosen, kMidiFolderPrompt, TIVORN_CAPTION)) return;
    chosen[sizeof chosen - 1] = '\0';
    SaveBest(window_, false, SaveBestMode::RebuildOnly);
    // A drive root comes back as "D:\" and is kept as "D:".
    ansi::CopyFit(midiFolder_, sizeof midiFolder_, paths::KeptFolder(chosen).c_str());
    tree_.ShowTab(0);
    state_.changes.Add(EditChange::MidiFolder);
    ShowMidiFolder();
}

void BestSettingsDialog::OnAdvanced() {
    AdvancedChoice choice = RunAdvancedSettings(window_, picker_, store_);
    if (choice.end != AdvancedEnd::Accepted) return;
    // Applying can show boxes (a hook that cannot be installed, the data
    // files in the way); the dialog takes no clicks meanwhile, as it took
    // none under the advanced settings.
    EnableWindow(window_, FALSE);
    ScopeGuard enable([this] { EnableWindow(window_, TRUE); });
    ApplyAdvanced(choice);
}

// The hook and the media keys follow the store's changes: the application
// listens.  "MediaKeys", "Loop" and "SongNotice" are values of their own, written at
// once: the settings block has no room for them.
void BestSettingsDialog::ApplyAdvanced(const AdvancedChoice &choice) {
    bool changed = store_.SetHotkeys(choice.nextHotkey, choice.menuHotkey);
    store_.SetMediaKeys(choice.mediaKeys == MediaKeyUse::On);
    store_.SetLoopPlay(choice.loopPlay);
    store_.SetSongNotice(choice.songNotice == SongNoticeUse::On);
    changed = ApplyCheckLook(choice) || changed;
    // The edits on screen are saved, or given up, where they were made.
    auto leaveEdits = [this] {
        SaveBestResult left = LeaveBestSave();
        return left == SaveBestResult::Saved || left == SaveBestResult::Declined;
    };
    DataFolderChange folder = MoveChosenDataFolder(window_, choice, store_, leaveEdits);
    if (folder != DataFolderChange::None) changed = true;
    if (changed) store_.SaveSettings();
    if (folder == DataFolderChange::Switched) ShowNewFolderBests();
}

// The data folder now holds other bests: the dialog shows them, as an
// opening would, and the best to play is one of them.  Nothing of the
// folder left behind is written over: it keeps its own file.
void BestSettingsDialog::ShowNewFolderBests() {
    HWND combo = Combo();
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    best::BestRecord record;
    const char *current = host_->player().CurrentBestName();
    if (current && ReadBests(current, ReadBestsMode::FillSelect, combo, &record)) {
        // A best of the same name there is another list: the player goes on
        // over it, each song keeping its played bit by its path.
        host_->player().TakeSavedBest(record);
    } else {
        FirstBest first = LoadFirstOrDefaultBest(combo, &record, OtherHistories::Keep);
        if (first == FirstBest::Gone) return;
        if (first == FirstBest::DefaultMade) RequireOk();
        // The player goes over to it at the close.
        if (!record.IsNone()) {
            SetDlgItemTextA(window_, IDC_PLAY_BEST, record.Name());
            state_.changes.Add(EditChange::BestToPlay);
        }
    }
    state_.edited = std::move(record);
    state_.dirty = false;
    state_.changes.Add(EditChange::BestList);
    ShowLoadedBest();
}

bool BestSettingsDialog::ApplyCheckLook(const AdvancedChoice &choice) {
    bool alternative = choice.look == CheckLook::Alternative;
    if (alternative == store_.option(Option::AltMarkIcons)) return false;
    // The marks on screen go into the edited best before the tree is built
    // anew from it.
    SaveBest(window_, false, SaveBestMode::RebuildOnly);
    store_.SetAltMarkIcons(alternative);
    tree_.BuildStateImages();
    tree_.ShowTab(0);
    return true;
}

// --- the way out -----------------------------------------------------------------------

void BestSettingsDialog::OnOk() {
    // An album name being typed is kept, as a click on OK would keep it.
    tree_.EndLabelEdit();
    SaveBestResult saved = LeaveBestSave();
    // Unsaved, the dialog stays open with the changes.
    if (saved == SaveBestResult::Cancelled || saved == SaveBestResult::Failed) return;
    // A Cancel handled while a box was up has closed the dialog already.
    if (closing_) return;

    bool randomChanged = IsChecked(window_, IDC_RANDOM) != store_.option(Option::Random);
    store_.SetOption(Option::AutoSave, IsChecked(window_, IDC_AUTO_SAVE));
    bool hotkeys = IsChecked(window_, IDC_HOTKEYS);
    store_.SetOption(Option::Hotkeys, hotkeys);
    // A hook that cannot be installed is reported in a box of its own.
    if (hotkeys != host_->HotkeyHookInstalled()) host_->SetHotkeyHook(hotkeys);
    if (closing_) return;
    store_.SetOption(Option::SkipShortcuts, IsChecked(window_, IDC_SKIP_SHORTCUTS));

    if (state_.changes.Has(EditChange::MidiFolder)) {
        std::string folder = paths::KeptFolder(ControlText(window_, IDC_MIDI_FOLDER).c_str());
        store_.WriteMidiFolder(folder.c_str());
    }
    if (state_.changes.Has(EditChange::BestToPlay)) {
        host_->player().SaveHistory(HistorySave::IfPresent);
        std::string name = ShownBestToPlay();
        host_->player().SetCurrentBestName(name.empty() ? nullptr : name.c_str());
    }
    store_.SaveSettings();
    Close(OkResult(state_.changes, randomChanged));
}

void BestSettingsDialog::OnCancel() {
    // While only OK may close the dialog, Close and Esc do nothing.
    if (closing_ || !IsWindowEnabled(GetDlgItem(window_, IDC_CANCEL))) return;
    tree_.EndLabelEdit();
    Close(KeptResult(state_.changes));
}

void BestSettingsDialog::Close(const BestSettingsResult &result) {
    if (closing_) return;
    closing_ = true;
    result_ = result;
    PostMessageA(window_, kMsgClose, 0, 0);
}

void BestSettingsDialog::OnPostedClose() {
    // A box, menu or nested dialog of a handler is up and its loop took the
    // message: the close waits until that handler has returned.
    if (depth_.Running()) {
        closeWaits_ = true;
        return;
    }
    // The host destroys this dialog and its object: nothing is touched after.
    host_->CloseBestSettings(result_);
}

void BestSettingsDialog::OnHandlersReturned() {
    if (!closeWaits_) return;
    closeWaits_ = false;
    PostMessageA(window_, kMsgClose, 0, 0);
}
