// The best settings dialog: choosing the best to edit, the options, and the
// way out through OK, Cancel and Close.  The folder tree, the best buttons
// and the folder choices are not part of this dialog yet.
#include "editor/best_settings_dialog.h"

#include <cstring>

#include "editor/best_editing.h"
#include "engine/korvel.h"
#include "utils/ansi_text.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/errors.h"
#include "shell/shell_state.h"
#include "store/best_file.h"
#include "store/registry_layout.h"
#include "store/settings.h"

namespace {

// What the user changed during one opening.
enum ChangeMark {
    kMarkBestToPlay = 1,
    kMarkSettingsFolder = 2,
    kMarkMidiFolder = 4,
    kMarkBestList = 8,
    kMarkPlayingBestSaved = 16,
};

struct BestDialogState {
    int changeMarks;
    char midiFolder[MAX_PATH];  // "Root", the folder shown under the tree's root
};

BestDialogState g_dialog;

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Tick(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

// From here on only OK closes the dialog: a best to play has to be confirmed.
void RequireOk(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDC_CANCEL), FALSE);
    EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}

void ShowMidiFolder(HWND dialog) {
    // A drive root is stored as "D:" and shown as "D:\".
    char shown[MAX_PATH + 1];
    ansi::CopyFit(shown, MAX_PATH, g_dialog.midiFolder);
    if (std::strlen(shown) == 2 && shown[1] == ':') std::strcat(shown, "\\");
    SetDlgItemTextA(dialog, IDC_MIDI_FOLDER, shown);
}

bool EditedIsCurrent() {
    const char *current = CurrentBestName();
    return current && !g_store.edited.IsNone() && g_store.edited.NameEquals(current);
}

// The save of the edited best before another takes its place.
int LeaveBestSave(HWND dialog) {
    bool wasCurrent = EditedIsCurrent();
    int result = SaveBest(dialog, 1, kSaveRebuild);
    if (result == kSaved && wasCurrent) g_dialog.changeMarks |= kMarkPlayingBestSaved;
    return result;
}

void OnInitDialog(HWND dialog) {
    g_dialog.changeMarks = 0;
    Tick(dialog, IDC_RANDOM, TestOption(OPT_RANDOM));
    Tick(dialog, IDC_SKIP_SHORTCUTS, TestOption(OPT_SKIP_SHORTCUTS));
    Tick(dialog, IDC_AUTO_SAVE, TestOption(OPT_AUTO_SAVE));
    Tick(dialog, IDC_HOTKEYS, g_shell.hook != nullptr);
    g_dialog.midiFolder[0] = '\0';
    ReadValue(kProgramKey, kValueRoot, g_dialog.midiFolder, sizeof g_dialog.midiFolder, REG_SZ, HKEY_CURRENT_USER);

    HWND combo = GetDlgItem(dialog, IDC_BEST_LIST);
    g_store.edited = best::BestRecord();
    g_store.dirty = false;
    best::BestRecord record;
    // A current best that the file no longer holds is treated as none.
    if (!CurrentBestName() || !ReadBests(CurrentBestName(), kReadFillSelect, combo, &record)) {
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
        if (ReadBests(nullptr, kReadFillSelectFirst, combo, &record)) {
            SetCurrentBestName(record.Name());
            g_dialog.changeMarks |= kMarkBestToPlay;
        }
        RequireOk(dialog);
    }
    g_store.edited = std::move(record);

    ShowMidiFolder(dialog);
    SetDlgItemTextA(dialog, IDC_PLAY_BEST, CurrentBestName() ? CurrentBestName() : "");
}

void OnBestSelected(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_BEST_LIST);
    switch (LeaveBestSave(dialog)) {
    case kSaveFailed:
        ReportUnexpectedError(true);
        return;
    case kSaveCancelled: {
        // Back to the best being edited.
        LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(g_store.edited.Name()));
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

void ApplyHotkeyOption(bool on) {
    SetOption(OPT_HOTKEYS, on);
    if (on && !g_shell.hook)
        InstallHotkeyHook(0);
    else if (!on && g_shell.hook)
        RemoveHotkeyHook();
}

int CloseFlagsKept() {
    int flags = 0;
    if (g_dialog.changeMarks & kMarkBestList) flags |= kCloseBestListChanged;
    if (g_dialog.changeMarks & kMarkPlayingBestSaved) flags |= kClosePlayingBestSaved;
    return flags;
}

void OnOk(HWND dialog) {
    int saved = LeaveBestSave(dialog);
    if (saved == kSaveCancelled) return;
    if (saved == kSaveFailed) ReportUnexpectedError(true);

    bool randomChanged = IsChecked(dialog, IDC_RANDOM) != (TestOption(OPT_RANDOM) != 0);
    SetOption(OPT_AUTO_SAVE, IsChecked(dialog, IDC_AUTO_SAVE));
    ApplyHotkeyOption(IsChecked(dialog, IDC_HOTKEYS));
    SetOption(OPT_SKIP_SHORTCUTS, IsChecked(dialog, IDC_SKIP_SHORTCUTS));

    int flags = CloseFlagsKept();
    if (g_dialog.changeMarks & kMarkBestToPlay) {
        SaveHistory(1);
        char name[MAX_PATH] = "";
        GetDlgItemTextA(dialog, IDC_PLAY_BEST, name, sizeof name);
        SetCurrentBestName(name[0] ? name : nullptr);
        flags |= kCloseBestToPlayChanged;
    }
    SaveSettings();
    if (randomChanged) flags |= kCloseRandomChanged;
    CloseBestSettings(flags);
}

void OnCancel(HWND dialog) {
    // While only OK may close the dialog, Close and Esc do nothing.
    if (!IsWindowEnabled(GetDlgItem(dialog, IDC_CANCEL))) return;
    CloseBestSettings(CloseFlagsKept());
}

INT_PTR OnCommand(HWND dialog, WORD id, WORD notification) {
    switch (id) {
    case IDC_OK: OnOk(dialog); return TRUE;
    case IDC_CANCEL: OnCancel(dialog); return TRUE;
    case IDC_BEST_LIST:
        if (notification == CBN_SELCHANGE) OnBestSelected(dialog);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

HWND CreateBestSettingsDialog(HWND owner) {
    return CreateDialogParamA(g_shell.instance, MAKEINTRESOURCEA(IDD_BEST_SETTINGS), owner,
                              BestSettingsDialogProc, 0);
}

INT_PTR CALLBACK BestSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_COPYDATA:
        // The engine tells the playback owner that its preview has to end.
        ResumeAfterPreview(0);
        return FALSE;
    case WM_CLOSE:
        OnCancel(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}
