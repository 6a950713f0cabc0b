// The best settings dialog: the bests in a combo box with buttons to create,
// save and delete them, the folder tree of the edited best, the best to
// play, the MIDI folder, the options, and the way out through OK, Cancel and
// Close.
#include "editor/best_settings_dialog.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <uxtheme.h>

#include "editor/advanced_dialog.h"
#include "editor/best_name_dialog.h"
#include "editor/data_boxes.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "utils/ansi_text.h"
#include "utils/message_box.h"
#include "utils/path_rules.h"
#include "utils/scope_guard.h"

namespace {

const char kSaveQuestion[] = "このベストの変更点を保存しますか？";
const char kDeleteQuestion[] = "このベストを削除してもよろしいですか？";
const char kLastBest[] = "すべてのベストを削除することはできません。";
const char kFolderPrompt[] = "MIDIフォルダを指定してください。";
const char kCaption[] = "Tivorn";

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

bool SameName(const char *a, const char *b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace

// --- creation and the window procedure ---------------------------------------

HWND BestSettingsDialog::Create(HINSTANCE instance, HWND owner, EditorHost *host, TaskbarButton button) {
    auto dialog = std::make_unique<BestSettingsDialog>(host);
    dialog->taskbarButton_ = button;
    return Binding::Create(instance, IDD_BEST_SETTINGS, owner, std::move(dialog));
}

BestSettingsDialog *BestSettingsDialog::From(HWND dialog) { return Binding::From(dialog); }

INT_PTR BestSettingsDialog::OnInitDialog(HWND window) {
    window_ = window;
    // An owned window has no taskbar button unless it asks for one, and the
    // taskbar takes the style when the window first shows, after this.
    if (taskbarButton_ == TaskbarButton::Own)
        SetWindowLongPtrA(window, GWL_EXSTYLE, GetWindowLongPtrA(window, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    return SetUp() ? TRUE : FALSE;
}

INT_PTR BestSettingsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
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
        SaveBest(window_, false, kSaveRebuildOnly);
        tree_.OnTabChanged();
        return FALSE;
    }
    LifeWatch watch = life_.Watch();
    LRESULT result = FALSE;
    // The end of a label edit may show a box.
    if (!tree_.OnNotify(notice, &result) || watch.Ended()) return FALSE;
    SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
    return TRUE;
}

// --- the best file, as the dialog reads and writes it -------------------------

int BestSettingsDialog::ReadBests(const char *name, ReadBestsMode mode, HWND combo, best::BestRecord *record) {
    best::BestRecord ignored;
    if (!record) record = &ignored;
    *record = best::BestRecord();
    switch (mode) {
    case ReadBestsMode::Find:
        *record = FindBestInFile(name);
        return record->IsNone() ? 0 : 1;
    case ReadBestsMode::FillSelect:
    case ReadBestsMode::FillSelectFirst: {
        best::BestChoice choice;
        if (!combo || !ReadBestChoice(name, mode == ReadBestsMode::FillSelectFirst, &choice)) return 0;
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

SaveBestResult BestSettingsDialog::SaveBest(HWND owner, bool ask, SaveBestMode mode) {
    if (mode == kSaveRebuild || mode == kSaveRebuildOnly) {
        bool changed = CollectTreeMarks();
        if (!changed && !state_.dirty) return kSaved;
        state_.dirty = true;
    }
    if (mode == kSaveRebuildOnly) return kSaveCancelled;
    if (ask && !TestOption(OPT_AUTO_SAVE)) {
        LifeWatch watch = life_.Watch();
        int answer = ShowMessage(owner, kSaveQuestion, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (watch.Ended()) return kSaveCancelled;
        switch (answer) {
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

void BestSettingsDialog::ShowLoadedBest() {
    if (treeShown_) tree_.ShowTab(0);
}

bool BestSettingsDialog::CollectTreeMarks() { return window_ && tree_.Collect(); }

// --- opening ----------------------------------------------------------------------

HWND BestSettingsDialog::Combo() const { return GetDlgItem(window_, IDC_BEST_LIST); }

HWND BestSettingsDialog::Resident() const { return window_ ? GetWindow(window_, GW_OWNER) : nullptr; }

bool BestSettingsDialog::CreateButtonImages() {
    buttonImages_ = ImageList_Create(25, 23, ILC_COLOR8 | ILC_MASK, kFaceCount, 0);
    if (!buttonImages_) return false;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
    for (int i = 0; i < kFaceCount; ++i) {
        HBITMAP face = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_BUTTON_FIRST + i));
        ImageList_AddMasked(buttonImages_, face, kTransparent);
        if (face) DeleteObject(face);
    }
    return true;
}

BestSettingsDialog::FirstBest BestSettingsDialog::LoadFirstOrDefaultBest(HWND combo, best::BestRecord *record) {
    for (;;) {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        if (ReadBests(nullptr, ReadBestsMode::FillSelectFirst, combo, record)) return FirstBest::Loaded;
        LifeWatch watch = life_.Watch();
        switch (DeleteAllBests()) {
        case best::BestFileState::NoBest:
            MakeDefaultBest(combo, record);
            return watch.Ended() ? FirstBest::Gone : FirstBest::DefaultMade;
        case best::BestFileState::Bests:
            continue;  // a hold that passed meanwhile: the bests are there to read
        case best::BestFileState::Unreadable:
            break;
        }
        bool retry = AskRetryUnreadableBestFile(window_);
        if (watch.Ended()) return FirstBest::Gone;
        if (!retry) {
            // The program ends rather than go on without the user's bests.
            ShowWindow(window_, SW_HIDE);
            PostMessageA(Resident(), WM_DESTROY, 0, 0);
            return FirstBest::Gone;
        }
    }
}

// No best at all, and the cleared file says so: "すべてのMIDIファイル", the
// whole MIDI folder, becomes the only best.
void BestSettingsDialog::MakeDefaultBest(HWND combo, best::BestRecord *record) {
    state_.edited = best::BestRecord::Default();
    tree_.MarkWholeMidiFolder();
    // Written even when there is nothing to collect (no MIDI folder yet):
    // the dialog needs a best to show and to play.
    state_.dirty = true;
    SaveBest(window_, false, kSaveRebuild);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    if (!ReadBests(nullptr, ReadBestsMode::FillSelectFirst, combo, record)) ReportFailure();
}

bool BestSettingsDialog::SetUp() {
    tree_.Attach(window_);
    // Under a visual style the tab control has no bottom tabs: it draws
    // TCS_BOTTOM as top tabs turned over.  Drawn unthemed, it keeps them.
    SetWindowTheme(GetDlgItem(window_, IDC_TABS), L"", L"");
    for (int k = 0; k < kButtonCount; ++k) buttons_[k] = GetDlgItem(window_, IDC_NEW_BEST + k);
    if (!CreateButtonImages()) return false;

    state_ = EditState();
    Tick(window_, IDC_RANDOM, TestOption(OPT_RANDOM));
    Tick(window_, IDC_SKIP_SHORTCUTS, TestOption(OPT_SKIP_SHORTCUTS));
    Tick(window_, IDC_AUTO_SAVE, TestOption(OPT_AUTO_SAVE));
    Tick(window_, IDC_HOTKEYS, host_->HotkeyHookInstalled());
    ReadMidiFolder(midiFolder_, sizeof midiFolder_);

    HWND combo = Combo();
    best::BestRecord record;
    // A current best that the file no longer holds is treated as none.
    if (!host_->player().CurrentBestName() || !ReadBests(host_->player().CurrentBestName(), ReadBestsMode::FillSelect, combo, &record)) {
        FirstBest first = LoadFirstOrDefaultBest(combo, &record);
        if (first == FirstBest::Gone) return false;
        // The player has no best until this dialog names one, so any way
        // out switches to it; only a default best, made in place of every
        // played history, has to be confirmed with OK.
        host_->SetDialogKeys(DialogKeys::Required);
        if (first == FirstBest::DefaultMade) RequireOk();
        if (!record.IsNone()) {
            host_->player().SetCurrentBestName(record.Name());
            state_.changeMarks |= kMarkBestToPlay;
        }
    }
    state_.edited = std::move(record);

    tree_.SetUp();
    treeShown_ = true;
    ShowMidiFolder();
    SetDlgItemTextA(window_, IDC_PLAY_BEST, host_->player().CurrentBestName() ? host_->player().CurrentBestName() : "");
    return true;
}

void BestSettingsDialog::OnDestroy() {
    // Last resort: the dialog went without OK or Cancel (the program ends).
    tree_.EndLabelEdit();
    tree_.TearDown();
    if (buttonImages_) ImageList_Destroy(buttonImages_);
    buttonImages_ = nullptr;
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
    ImageList_GetIconSize(buttonImages_, &width, &height);
    int x = (std::max)(0, (static_cast<int>(draw->rcItem.right - draw->rcItem.left) - width) / 2);
    int y = (std::max)(0, (static_cast<int>(draw->rcItem.bottom - draw->rcItem.top) - height) / 2);
    ImageList_Draw(buttonImages_, face, draw->hDC, draw->rcItem.left + x, draw->rcItem.top + y, ILD_NORMAL);
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

bool BestSettingsDialog::EditedIsCurrent() const {
    const char *current = host_->player().CurrentBestName();
    return current && !state_.edited.IsNone() && state_.edited.NameEquals(current);
}

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

std::string BestSettingsDialog::SelectedName() {
    HWND combo = Combo();
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    LRESULT length = index == CB_ERR ? CB_ERR : SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length < 0 || length >= MAX_PATH) return std::string();
    char name[MAX_PATH] = "";
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
    return name;
}

// The save of the edited best before another takes its place.
SaveBestResult BestSettingsDialog::LeaveBestSave() {
    bool wasCurrent = EditedIsCurrent();
    SaveBestResult result = SaveBest(window_, true, kSaveRebuild);
    if (result == kSaved && wasCurrent) state_.changeMarks |= kMarkPlayingBestSaved;
    return result;
}

void BestSettingsDialog::ReportFailure() {
    // Modal to this dialog, so that Cancel, OK or Close cannot be clicked
    // while the box is up; the shut-down still goes to the resident window.
    ReportUnexpectedErrorOver(window_, Resident());
}

// --- commands ------------------------------------------------------------------------------

void BestSettingsDialog::OnBestSelected() {
    LifeWatch watch = life_.Watch();
    SaveBestResult left = LeaveBestSave();
    if (watch.Ended()) return;
    HWND combo = Combo();
    switch (left) {
    case kSaveFailed:
        ReportFailure();
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
    ShowLoadedBest();
}

void BestSettingsDialog::OnSave() {
    if (SaveBest(window_, false, kSaveRebuild) == kSaveFailed) {
        ReportFailure();
        return;
    }
    if (EditedIsCurrent()) state_.changeMarks |= kMarkPlayingBestSaved;
}

void BestSettingsDialog::OnNewBest() {
    LifeWatch watch = life_.Watch();
    HWND combo = Combo();
    std::string name;
    if (!AskBestName(window_, combo, &name) || watch.Ended()) return;
    SaveBestResult left = LeaveBestSave();
    if (watch.Ended()) return;
    if (left == kSaveFailed) ReportFailure();
    if (watch.Ended() || left == kSaveCancelled) return;
    LRESULT index = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    LoadSelectedBest(combo);
    ShowLoadedBest();
    if (SaveBest(window_, false, kSaveAsIs) == kSaveFailed) ReportFailure();
    if (watch.Ended()) return;
    state_.changeMarks |= kMarkBestList;
}

void BestSettingsDialog::OnDeleteBest() {
    LifeWatch watch = life_.Watch();
    HWND combo = Combo();
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    if (count == 1) {
        ShowMessage(window_, kLastBest, MB_OK | MB_ICONERROR);
        return;
    }
    int answer = ShowMessage(window_, kDeleteQuestion, MB_OKCANCEL | MB_ICONQUESTION);
    if (watch.Ended() || answer != IDOK) return;
    if (SaveBest(window_, false, kSaveDelete) == kSaveFailed) ReportFailure();
    if (watch.Ended()) return;

    std::string deleted = SelectedName();
    std::string shown = ControlText(window_, IDC_PLAY_BEST);
    LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    SendMessageA(combo, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
    // The best that followed takes the place; after the last, the one before.
    if (index >= SendMessageA(combo, CB_GETCOUNT, 0, 0)) --index;
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    LoadSelectedBest(combo);
    ShowLoadedBest();

    if (SameName(deleted.c_str(), host_->player().CurrentBestName())) {
        // The player's best is gone: the one now selected must be confirmed.
        host_->player().SetCurrentBestName(SelectedName().c_str());
        RequireOk();
        host_->SetDialogKeys(DialogKeys::Required);
    }
    if (deleted == shown) {
        SetDlgItemTextA(window_, IDC_PLAY_BEST, host_->player().CurrentBestName() ? host_->player().CurrentBestName() : "");
        state_.changeMarks |= kMarkBestToPlay;
    }
    DeleteHistory(deleted.c_str());
    state_.changeMarks |= kMarkBestList;
}

void BestSettingsDialog::OnChangeBestToPlay() {
    SetDlgItemTextA(window_, IDC_PLAY_BEST, SelectedName().c_str());
    state_.changeMarks |= kMarkBestToPlay;
}

void BestSettingsDialog::OnChangeMidiFolder() {
    LifeWatch watch = life_.Watch();
    char chosen[KORVEL_PATH_BUFFER] = "";
    int picked = picker_(window_, chosen, kFolderPrompt, kCaption);
    if (watch.Ended() || !picked) return;
    chosen[sizeof chosen - 1] = '\0';
    SaveBest(window_, false, kSaveRebuildOnly);
    // A drive root comes back as "D:\" and is kept as "D:".
    ansi::CopyFit(midiFolder_, sizeof midiFolder_, paths::KeptFolder(chosen).c_str());
    tree_.ShowTab(0);
    state_.changeMarks |= kMarkMidiFolder;
    ShowMidiFolder();
}

void BestSettingsDialog::OnAdvanced() {
    LifeWatch watch = life_.Watch();
    AdvancedChoice choice = RunAdvancedSettings(window_, picker_);
    if (watch.Ended() || choice.end != AdvancedEnd::Accepted) return;
    // Applying can show boxes (a hook that cannot be installed, the data
    // files in the way); the dialog takes no clicks meanwhile, as it took
    // none under the advanced settings.
    EnableWindow(window_, FALSE);
    ScopeGuard enable([this, watch] {
        if (!watch.Ended()) EnableWindow(window_, TRUE);
    });
    ApplyAdvanced(choice);
}

void BestSettingsDialog::ApplyAdvanced(const AdvancedChoice &choice) {
    LifeWatch watch = life_.Watch();
    bool changed = ApplyHotkeys(choice);
    // A hook that cannot be installed is reported in a box of its own.
    if (watch.Ended()) return;
    ApplyMediaKeys(choice);
    changed = ApplyCheckLook(choice) || changed;
    changed = MoveChosenDataFolder(window_, choice) || changed;
    if (changed) SaveSettings();
}

bool BestSettingsDialog::ApplyHotkeys(const AdvancedChoice &choice) {
    if (!SetHotkeys(choice.nextHotkey, choice.menuHotkey)) return false;
    // A running hook takes the new keys by being installed again; should
    // that fail, the host reports it and the program goes on without it.
    if (host_->HotkeyHookInstalled()) {
        host_->SetHotkeyHook(false);
        host_->SetHotkeyHook(true);
    }
    return true;
}

bool BestSettingsDialog::ApplyCheckLook(const AdvancedChoice &choice) {
    bool alternative = choice.look == CheckLook::Alternative;
    if (alternative == g_settings.altCheckIcons) return false;
    // The marks on screen go into the edited best before the tree is built
    // anew from it.
    SaveBest(window_, false, kSaveRebuildOnly);
    SetAltCheckIcons(alternative);
    tree_.BuildStateImages();
    tree_.ShowTab(0);
    return true;
}

// "MediaKeys" is a value of its own, written at once: the settings block
// has no bit for it.
void BestSettingsDialog::ApplyMediaKeys(const AdvancedChoice &choice) {
    bool on = choice.mediaKeys == MediaKeyUse::On;
    if (::SetMediaKeys(on)) host_->SetMediaKeys(on);
}

void BestSettingsDialog::OnOk() {
    LifeWatch watch = life_.Watch();
    // An album name being typed is kept, as a click on OK would keep it.
    tree_.EndLabelEdit();
    SaveBestResult saved = LeaveBestSave();
    if (watch.Ended() || saved == kSaveCancelled) return;
    // The report ends the program; until the shut-down arrives the dialog
    // goes on with OK, unless it was closed meanwhile.
    if (saved == kSaveFailed) ReportFailure();
    if (watch.Ended()) return;

    bool randomChanged = IsChecked(window_, IDC_RANDOM) != (TestOption(OPT_RANDOM) != 0);
    SetOption(OPT_AUTO_SAVE, IsChecked(window_, IDC_AUTO_SAVE));
    bool hotkeys = IsChecked(window_, IDC_HOTKEYS);
    SetOption(OPT_HOTKEYS, hotkeys);
    if (hotkeys != host_->HotkeyHookInstalled()) host_->SetHotkeyHook(hotkeys);
    // A hook that cannot be installed is reported in a box of its own.
    if (watch.Ended()) return;
    SetOption(OPT_SKIP_SHORTCUTS, IsChecked(window_, IDC_SKIP_SHORTCUTS));

    if (state_.changeMarks & kMarkMidiFolder) {
        std::string folder = paths::KeptFolder(ControlText(window_, IDC_MIDI_FOLDER).c_str());
        WriteMidiFolder(folder.c_str());
    }
    if (state_.changeMarks & kMarkBestToPlay) {
        host_->player().SaveHistory(HistorySave::IfPresent);
        std::string name = ControlText(window_, IDC_PLAY_BEST);
        host_->player().SetCurrentBestName(name.empty() ? nullptr : name.c_str());
    }
    SaveSettings();
    // The host destroys this dialog and its object.
    host_->CloseBestSettings(OkCloseFlags(state_.changeMarks, randomChanged));
}

void BestSettingsDialog::OnCancel() {
    // While only OK may close the dialog, Close and Esc do nothing.
    if (!IsWindowEnabled(GetDlgItem(window_, IDC_CANCEL))) return;
    tree_.EndLabelEdit();
    host_->CloseBestSettings(KeptCloseFlags(state_.changeMarks));
}
