// The best settings dialog: choosing the best to edit, the options, and the
// way out through OK, Cancel and Close.  The folder tree, the best buttons
// and the folder choices are not part of this dialog yet.
#include "editor/best_settings_dialog.h"

#include <cstring>
#include <memory>

#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/best_file.h"
#include "store/registry_layout.h"
#include "store/settings.h"
#include "utils/ansi_text.h"
#include "utils/message_box.h"

namespace {

const char kSaveQuestion[] = "このベストの変更点を保存しますか？";

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Tick(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

}  // namespace

// --- creation and the window procedure ---------------------------------------

HWND BestSettingsDialog::Create(HINSTANCE instance, HWND owner, EditorHost *host) {
    // The window takes the object over at WM_INITDIALOG; if it never gets
    // that far, the object goes with this scope.
    std::unique_ptr<BestSettingsDialog> dialog(new BestSettingsDialog(host));
    return CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_BEST_SETTINGS), owner, Proc,
                              reinterpret_cast<LPARAM>(&dialog));
}

BestSettingsDialog *BestSettingsDialog::From(HWND dialog) {
    return reinterpret_cast<BestSettingsDialog *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR CALLBACK BestSettingsDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto *owner = reinterpret_cast<std::unique_ptr<BestSettingsDialog> *>(lParam);
        BestSettingsDialog *self = owner->release();
        self->window_ = window;
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->OnInitDialog();
        return TRUE;
    }
    BestSettingsDialog *self = From(window);
    if (!self) return FALSE;  // messages before WM_INITDIALOG
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        delete self;
        return FALSE;
    }
    return self->OnMessage(message, wParam, lParam);
}

INT_PTR BestSettingsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_COPYDATA:
        // The engine tells the playback owner that its preview has to end.
        ResumeAfterPreview(false);
        return FALSE;
    case WM_CLOSE:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR BestSettingsDialog::OnCommand(WORD id, WORD notification) {
    switch (id) {
    case IDC_OK: OnOk(); return TRUE;
    case IDC_CANCEL: OnCancel(); return TRUE;
    case IDC_BEST_LIST:
        if (notification == CBN_SELCHANGE) OnBestSelected();
        return TRUE;
    default: return FALSE;
    }
}

// --- the best file, as the dialog reads and writes it -------------------------

int BestSettingsDialog::ReadBests(const char *name, ReadBestsMode mode, HWND combo, best::BestRecord *record) {
    best::BestRecord ignored;
    if (!record) record = &ignored;
    *record = best::BestRecord();
    switch (mode) {
    case kReadFind:
        *record = FindBestInFile(name);
        return record->IsNone() ? 0 : 1;
    case kReadFillSelect:
    case kReadFillSelectFirst: {
        best::BestChoice choice;
        if (!combo || !ReadBestChoice(name, mode == kReadFillSelectFirst, &choice)) return 0;
        for (size_t i = 0; i < choice.names.size(); ++i)
            SendMessageA(combo, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(choice.names[i].c_str()));
        if (choice.selected < 0) return 0;
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(choice.selected), 0);
        LoadSelectedBest(combo);
        *record = std::move(choice.record);
        return 1;
    }
    }
    return 0;
}

int BestSettingsDialog::SaveBest(HWND owner, bool ask, SaveBestMode mode) {
    if (mode == kSaveRebuild || mode == kSaveRebuildOnly) {
        bool changed = CollectTreeMarks();
        if (!changed && !state_.dirty) return kSaved;
        state_.dirty = true;
    }
    if (mode == kSaveRebuildOnly) return kSaveCancelled;
    if (ask && !TestOption(OPT_AUTO_SAVE)) {
        switch (ShowMessage(owner, kSaveQuestion, MB_YESNOCANCEL | MB_ICONQUESTION)) {
        case IDCANCEL: return kSaveCancelled;
        case IDNO: return kSaveDeclined;
        default: break;
        }
    }
    if (!WriteBest(state_.edited, mode == kSaveDelete)) return kSaveFailed;
    state_.dirty = false;
    return kSaved;
}

void BestSettingsDialog::LoadSelectedBest(HWND combo) {
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    // A name the best file cannot hold (longer than 259 bytes) is not loaded.
    char name[MAX_PATH];
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0 || static_cast<size_t>(length) >= sizeof name) return;
    if (SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name)) == CB_ERR)
        return;
    state_.dirty = false;
    state_.edited = FindBestInFile(name);
    if (state_.edited.IsNone()) state_.edited = best::BestRecord::ForName(name);
}

// The folder tree does not exist yet, so there are no marks to collect.
bool BestSettingsDialog::CollectTreeMarks() { return false; }

// --- the dialog ------------------------------------------------------------------

HWND BestSettingsDialog::Resident() const { return window_ ? GetWindow(window_, GW_OWNER) : nullptr; }

bool BestSettingsDialog::EditedIsCurrent() const {
    const char *current = CurrentBestName();
    return current && !state_.edited.IsNone() && state_.edited.NameEquals(current);
}

// From here on only OK closes the dialog: a best to play has to be confirmed.
void BestSettingsDialog::RequireOk() {
    EnableWindow(GetDlgItem(window_, IDC_CANCEL), FALSE);
    EnableMenuItem(GetSystemMenu(window_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void BestSettingsDialog::ShowMidiFolder() {
    // A drive root is stored as "D:" and shown as "D:\".
    char shown[MAX_PATH + 1];
    ansi::CopyFit(shown, MAX_PATH, midiFolder_);
    if (std::strlen(shown) == 2 && shown[1] == ':') std::strcat(shown, "\\");
    SetDlgItemTextA(window_, IDC_MIDI_FOLDER, shown);
}

// The save of the edited best before another takes its place.
int BestSettingsDialog::LeaveBestSave() {
    bool wasCurrent = EditedIsCurrent();
    int result = SaveBest(window_, true, kSaveRebuild);
    if (result == kSaved && wasCurrent) state_.changeMarks |= kMarkPlayingBestSaved;
    return result;
}

void BestSettingsDialog::OnInitDialog() {
    state_ = EditState();
    Tick(window_, IDC_RANDOM, TestOption(OPT_RANDOM));
    Tick(window_, IDC_SKIP_SHORTCUTS, TestOption(OPT_SKIP_SHORTCUTS));
    Tick(window_, IDC_AUTO_SAVE, TestOption(OPT_AUTO_SAVE));
    Tick(window_, IDC_HOTKEYS, host_->HotkeyHookInstalled());
    midiFolder_[0] = '\0';
    ReadValue(kProgramKey, kValueRoot, midiFolder_, sizeof midiFolder_, REG_SZ, HKEY_CURRENT_USER);

    HWND combo = GetDlgItem(window_, IDC_BEST_LIST);
    best::BestRecord record;
    // A current best that the file no longer holds is treated as none.
    if (!CurrentBestName() || !ReadBests(CurrentBestName(), kReadFillSelect, combo, &record)) {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        if (ReadBests(nullptr, kReadFillSelectFirst, combo, &record)) {
            SetCurrentBestName(record.Name());
            state_.changeMarks |= kMarkBestToPlay;
        }
        RequireOk();
    }
    state_.edited = std::move(record);

    ShowMidiFolder();
    SetDlgItemTextA(window_, IDC_PLAY_BEST, CurrentBestName() ? CurrentBestName() : "");
}

void BestSettingsDialog::OnBestSelected() {
    HWND combo = GetDlgItem(window_, IDC_BEST_LIST);
    switch (LeaveBestSave()) {
    case kSaveFailed:
        ReportUnexpectedError(Resident(), true);
        return;
    case kSaveCancelled: {
        // Back to the best being edited.
        LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(state_.edited.Name()));
        if (index != CB_ERR) {
            SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            return;
        }
        break;
    }
    default:
        break;
    }
    LoadSelectedBest(combo);
}

void BestSettingsDialog::OnOk() {
    int saved = LeaveBestSave();
    if (saved == kSaveCancelled) return;
    if (saved == kSaveFailed) ReportUnexpectedError(Resident(), true);

    bool randomChanged = IsChecked(window_, IDC_RANDOM) != (TestOption(OPT_RANDOM) != 0);
    SetOption(OPT_AUTO_SAVE, IsChecked(window_, IDC_AUTO_SAVE));
    bool hotkeys = IsChecked(window_, IDC_HOTKEYS);
    SetOption(OPT_HOTKEYS, hotkeys);
    if (hotkeys != host_->HotkeyHookInstalled()) host_->SetHotkeyHook(hotkeys);
    SetOption(OPT_SKIP_SHORTCUTS, IsChecked(window_, IDC_SKIP_SHORTCUTS));

    if (state_.changeMarks & kMarkBestToPlay) {
        SaveHistory(true);
        char name[MAX_PATH] = "";
        GetDlgItemTextA(window_, IDC_PLAY_BEST, name, sizeof name);
        SetCurrentBestName(name[0] ? name : nullptr);
    }
    SaveSettings();
    // The host destroys this dialog and its object.
    host_->CloseBestSettings(OkCloseFlags(state_.changeMarks, randomChanged));
}

void BestSettingsDialog::OnCancel() {
    // While only OK may close the dialog, Close and Esc do nothing.
    if (!IsWindowEnabled(GetDlgItem(window_, IDC_CANCEL))) return;
    host_->CloseBestSettings(KeptCloseFlags(state_.changeMarks));
}
