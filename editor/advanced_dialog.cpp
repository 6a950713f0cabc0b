// The advanced settings dialog: hotkeys, the media keys, loop play, the mark look
// and the data folder, handed back by OK to be applied in that order.
#include "editor/advanced_dialog.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>

#include "editor/data_boxes.h"
#include "engine/korvel.h"
#include "engine/settings_block.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "store/data_folder.h"
#include "utils/ansi_text.h"
#include "utils/message_box.h"
#include "utils/path_rules.h"
#include "utils/window_binding.h"
#include "utils/caption.h"

namespace {

const char kDataFolderPrompt[] = "設定ファイルを保存するフォルダを指定してください。";
// Yes keeps every file where it is: the safe answer is the first one, and
// the default.
const char kFilesFoundQuestion[] =
    "指定したフォルダにはすでに設定ファイルが存在します。\n\n"
    "［はい］そのフォルダのファイルを使います。今のファイルは移動せず、元のフォルダに残します。\n"
    "［いいえ］今のファイルを移動して、そのフォルダのファイルを置き換えます。\n"
    "［キャンセル］データフォルダを変更しません。";
// Around the number of bests in the chosen folder's KORVEL.dat.
const char kReplaceBefore[] = "そのフォルダのファイルを置き換えると、そこにある ";
const char kReplaceAfter[] = " 個のベストとアルバム名が失われます。\n置き換えますか？";
const char kReplaceUncounted[] =
    "そのフォルダのファイルを置き換えると、そこにあるベストとアルバム名が失われます"
    "（ベストファイルを読み込めなかったため、ベストの数はわかりません）。\n置き換えますか？";
const char kSwitchFailed[] = "データフォルダを変更できませんでした。\nフォルダは変更されていません。";
// Followed by the data folder as it now is, and the other folder.
const char kMoveUnseen[] =
    "設定ファイルを移動しましたが、移動先または移動元のフォルダを確認できなかったため、"
    "結果を確かめられませんでした。\n次のフォルダをデータフォルダとして使います。"
    "ファイルの一部がもう一方のフォルダに残っている可能性があります。\n\n";
const char kOtherFolder[] = "\n\nもう一方のフォルダ:\n";
const char kMoveFailed[] = "設定ファイルを移動できませんでした。\nフォルダは変更されていません。";
// Followed by the chosen folder, where the files that could not go back are.
const char kMoveLeftFiles[] =
    "設定ファイルを移動できませんでした。\nフォルダは変更されていませんが、元に戻せなかったファイルが"
    "次のフォルダに残っています。\n\n";
const char kPathTooLong[] = "指定したフォルダのパスが長すぎます。\n別のフォルダを指定してください。";

// Index = the priority byte of the settings block.
const char *const kPriorities[kPriorityCount] = {"高", "通常以上", "通常", "通常以下", "低"};
// In the order of the values "Loop" stores, so that the index is the value.
const char *const kLoopPlayTexts[] = {"しない", "2回再生してフェードアウト", "次の曲まで繰り返す"};

// The dialog only shows and gathers: OK hands what it shows back to the
// caller, which applies it.
class AdvancedDialog {
public:
    AdvancedDialog(FolderPicker picker, const Store &store) : picker_(picker), store_(store) {}
    AdvancedDialog(const AdvancedDialog &) = delete;
    AdvancedDialog &operator=(const AdvancedDialog &) = delete;

    const AdvancedChoice &choice() const { return choice_; }

private:
    friend class WindowBinding<AdvancedDialog, WindowLifetime::OutlivesWindow>;

    INT_PTR OnInitDialog(HWND window);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_OK: OnOk(); return TRUE;
            case IDC_CANCEL: OnCancel(); return TRUE;
            case IDC_CHANGE_DATA_FOLDER: OnChooseFolder(); return TRUE;
            default:
                // Esc arrives as IDCANCEL and is ignored: only the buttons end the dialog.
                return FALSE;
            }
        case WM_CLOSE:
            OnCancel();
            return TRUE;
        default:
            return FALSE;
        }
    }

    void OnChooseFolder();
    void OnOk();
    void OnCancel();

    void ShowFolder(const char *folder);

    FolderPicker picker_;
    const Store &store_;
    HWND window_ = nullptr;
    bool folderChosen_ = false;  // a folder other than the current one is shown
    AdvancedChoice choice_;
};

INT_PTR AdvancedDialog::OnInitDialog(HWND window) {
    window_ = window;
    // The data folder: the album file's folder.
    char folder[MAX_PATH] = "";
    ansi::CopyFit(folder, sizeof folder, store_.albumFile());
    if (char *separator = const_cast<char *>(ansi::LastSeparator(folder))) *separator = '\0';
    ShowFolder(folder);

    HWND priority = GetDlgItem(window_, IDC_PRIORITY);
    for (const char *text : kPriorities) SendMessageA(priority, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(priority, CB_SETCURSEL, store_.settings().priority(), 0);

    CheckDlgButton(window_, IDC_READ_AT_ONCE, store_.option(Option::ReadAtOnce) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_ALT_CHECK_ICONS, store_.option(Option::AltMarkIcons) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window_, IDC_MEDIA_KEYS, store_.settings().mediaKeys ? BST_CHECKED : BST_UNCHECKED);
    HWND loop = GetDlgItem(window_, IDC_LOOP_PLAY);
    for (const char *text : kLoopPlayTexts) SendMessageA(loop, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(loop, CB_SETCURSEL, static_cast<WPARAM>(store_.settings().loopPlay), 0);
    CheckDlgButton(window_, IDC_SONG_NOTICE, store_.settings().songNotice ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(window_, IDC_HOTKEY_NEXT, HKM_SETHOTKEY, store_.settings().hotkey(HotkeyIndex::Next), 0);
    SendDlgItemMessageA(window_, IDC_HOTKEY_MENU, HKM_SETHOTKEY, store_.settings().hotkey(HotkeyIndex::Menu), 0);
    return FALSE;
}

// A drive root is kept as "D:" and shown as "D:\"; a long path shows its end.
void AdvancedDialog::ShowFolder(const char *folder) {
    std::string shown = paths::ShownFolder(folder);
    SetDlgItemTextA(window_, IDC_DATA_FOLDER, shown.c_str());
    LPARAM end = static_cast<LPARAM>(shown.size());
    SendDlgItemMessageA(window_, IDC_DATA_FOLDER, EM_SETSEL, end, end);
    SendDlgItemMessageA(window_, IDC_DATA_FOLDER, EM_SCROLLCARET, 0, 0);
}

void AdvancedDialog::OnChooseFolder() {
    char chosen[KORVEL_PATH_BUFFER] = "";
    if (!picker_(window_, chosen, kDataFolderPrompt, TIVORN_CAPTION)) return;
    chosen[sizeof chosen - 1] = '\0';
    if (!chosen[0]) return;
    // A folder whose file paths would not fit is refused, not cut to
    // another folder's name.
    store::DataFolder target;
    if (!store::FormDataFolder(chosen, &target)) {
        ShowMessage(window_, kPathTooLong, MB_OK | MB_ICONWARNING);
        return;
    }
    // The current folder written another way must never reach the move.
    folderChosen_ = !store_.IsDataFolder(target.folder.c_str());
    ShowFolder(target.folder.c_str());
}

void AdvancedDialog::OnOk() {
    // The priority and reading at once are shown only: never read back.
    choice_.end = AdvancedEnd::Accepted;
    choice_.nextHotkey = LOWORD(SendDlgItemMessageA(window_, IDC_HOTKEY_NEXT, HKM_GETHOTKEY, 0, 0));
    choice_.menuHotkey = LOWORD(SendDlgItemMessageA(window_, IDC_HOTKEY_MENU, HKM_GETHOTKEY, 0, 0));
    bool alternative = IsDlgButtonChecked(window_, IDC_ALT_CHECK_ICONS) == BST_CHECKED;
    choice_.look = alternative ? CheckLook::Alternative : CheckLook::Standard;
    bool mediaKeys = IsDlgButtonChecked(window_, IDC_MEDIA_KEYS) == BST_CHECKED;
    choice_.mediaKeys = mediaKeys ? MediaKeyUse::On : MediaKeyUse::Off;
    bool notice = IsDlgButtonChecked(window_, IDC_SONG_NOTICE) == BST_CHECKED;
    choice_.songNotice = notice ? SongNoticeUse::On : SongNoticeUse::Off;
    LRESULT loop = SendDlgItemMessageA(window_, IDC_LOOP_PLAY, CB_GETCURSEL, 0, 0);
    choice_.loopPlay = loop >= 0 && loop < static_cast<LRESULT>(sizeof kLoopPlayTexts / sizeof kLoopPlayTexts[0])
                           ? static_cast<LoopPlayUse>(loop)
                           : store_.settings().loopPlay;
    if (folderChosen_) {
        char text[KORVEL_PATH_BUFFER] = "";
        GetDlgItemTextA(window_, IDC_DATA_FOLDER, text, sizeof text);
        choice_.dataFolder = text;
    }
    EndDialog(window_, 0);
}

void AdvancedDialog::OnCancel() {
    choice_ = AdvancedChoice();
    EndDialog(window_, 0);
}

}  // namespace

AdvancedChoice RunAdvancedSettings(HWND owner, FolderPicker picker, const Store &store) {
    AdvancedDialog dialog(picker, store);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
    WindowBinding<AdvancedDialog, WindowLifetime::OutlivesWindow>::Run(instance, IDD_ADVANCED, owner, dialog);
    return dialog.choice();
}

namespace {

// What the user makes of a chosen folder that holds data files already.
enum class FoundFiles {
    Use,      // they become the data files; the current ones stay where they are
    Replace,  // the current ones move there in their place
    Keep,     // nothing changes
};

// Asked before anything is moved or deleted; replacing is confirmed once
// more, with what it would lose.
FoundFiles AskAboutFoundFiles(HWND owner, const store::DataFolder &target) {
    switch (ShowMessage(owner, kFilesFoundQuestion, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES: return FoundFiles::Use;
    case IDNO: break;
    default: return FoundFiles::Keep;
    }
    size_t bests = 0;
    std::string text = Store::CountBests(target.bestFile.c_str(), &bests)
                           ? kReplaceBefore + std::to_string(bests) + kReplaceAfter
                           : std::string(kReplaceUncounted);
    return ShowMessage(owner, text.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES ? FoundFiles::Replace
                                                                                              : FoundFiles::Keep;
}

}  // namespace

DataFolderChange MoveChosenDataFolder(HWND owner, const AdvancedChoice &choice, Store &store,
                                      const std::function<bool()> &leaveEdits) {
    if (choice.dataFolder.empty()) return DataFolderChange::None;
    // "D:\" is the drive root "D:"; the folder was checked to fit when chosen.
    store::DataFolder target;
    if (!store::FormDataFolder(choice.dataFolder.c_str(), &target)) return DataFolderChange::Kept;
    std::string unreachable;
    store::FileFound found;
    while ((found = store.FindDataFilesForMove(target, &unreachable)) == store::FileFound::Unknown)
        if (!AskRetryUnreachableFolder(owner, unreachable.c_str(), FolderWait::Move)) return DataFolderChange::Kept;
    if (found == store::FileFound::File) {
        switch (AskAboutFoundFiles(owner, target)) {
        case FoundFiles::Use:
            if (!leaveEdits()) return DataFolderChange::Kept;
            if (store.UseFoundDataFolder(target)) return DataFolderChange::Switched;
            ShowMessage(owner, kSwitchFailed, MB_OK | MB_ICONERROR);
            return DataFolderChange::Kept;
        case FoundFiles::Replace: break;
        case FoundFiles::Keep: return DataFolderChange::Kept;
        }
    }
    const std::string old = store.dataFolder();
    // Both files move or neither does: bests left behind would be gone from
    // the program, and the next start reads one folder for both.
    switch (store.MoveDataFolder(target)) {
    case store::DataMove::Moved: break;
    case store::DataMove::Undone: ShowMessage(owner, kMoveFailed, MB_OK | MB_ICONERROR); break;
    case store::DataMove::PartlyUndone: {
        // Nothing is lost, but what the old folder lacks now is there.
        std::string text = kMoveLeftFiles + paths::ShownFolder(target.folder);
        ShowMessage(owner, text.c_str(), MB_OK | MB_ICONERROR);
        break;
    }
    case store::DataMove::Unseen: {
        // The data folder is where "DataPath" says the files went; the user
        // is shown both, since the looks that would tell could not be had.
        std::string now = store.dataFolder();
        std::string other = ansi::EqualNoCase(now.c_str(), old.c_str()) ? target.folder : old;
        std::string text = kMoveUnseen + paths::ShownFolder(now) + kOtherFolder + paths::ShownFolder(other);
        ShowMessage(owner, text.c_str(), MB_OK | MB_ICONERROR);
        break;
    }
    }
    return DataFolderChange::Kept;
}
