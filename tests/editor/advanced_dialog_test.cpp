// The advanced settings dialog, opened from the real best settings dialog:
// hotkeys and the hook, the check-mark look of the open tree, and the move of
// the data files, with the dialog, the folder picker and the message boxes
// answered as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "editor/best_settings_dialog.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "support/best_bytes.h"
#include "support/midi_writer.h"
#include "support/win_test_support.h"

namespace {

using namespace tt;
using bestbytes::Record;

const char kTitle[] = "高度な設定";
const char kOverwriteQuestion[] = "指定したフォルダにはすでに設定ファイルが存在します。\n上書きしますか？";
const char kMoveFailed[] = "設定ファイルを移動できませんでした。\nフォルダは変更されていません。";
const char kPathTooLong[] = "指定したフォルダのパスが長すぎます。\n別のフォルダを指定してください。";

class HookShell : public EditorHost {
public:
    void CloseBestSettings(int) override { DestroyWindow(dialog); }
    bool HotkeyHookInstalled() override { return installed; }
    void SetHotkeyHook(bool on) override {
        calls.push_back(on);
        installed = on;
    }
    void SetDialogKeys(DialogKeys) override {}
    HWND dialog = nullptr;
    bool installed = false;
    std::vector<bool> calls;
};

// The folder the picker answers with; empty: the user cancelled it.
std::string g_chosen;
std::string g_prompt;
int PickChosen(HWND, char *folder, const char *prompt, const char *) {
    g_prompt = prompt;
    if (g_chosen.empty()) return 0;
    lstrcpynA(folder, g_chosen.c_str(), KORVEL_PATH_BUFFER);
    return 1;
}

// What a user does in the advanced dialog, from a thread of its own while
// the test's thread runs the dialog's modal loop.
class User {
public:
    explicit User(HWND dialog) : dialog_(dialog) {}
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    unsigned Hotkey(int id) const { return LOWORD(SendMessageA(Item(id), HKM_GETHOTKEY, 0, 0)); }
    void SetHotkey(int id, unsigned hotkey) const { SendMessageA(Item(id), HKM_SETHOTKEY, hotkey, 0); }
    void Click(int id) const { SendMessageA(Item(id), BM_CLICK, 0, 0); }
    // Posted: a box may open on the way, and the user answers it.
    void Press(int id) const { PostMessageA(Item(id), BM_CLICK, 0, 0); }
    void Choose(const std::string &folder) const {
        g_chosen = folder;
        Click(IDC_CHANGE_DATA_FOLDER);
    }
    // A key as typed into the control that has the focus.
    void Key(WPARAM key) const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &info);
        PostMessageA(info.hwndFocus ? info.hwndFocus : dialog_, WM_KEYDOWN, key, 0);
    }
    // Presses a button of the next message box; its text.
    std::string Answer(int button) const {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindMessageBox(GetCurrentProcessId())) != nullptr; });
        if (!box) return "(no box)";
        std::string text = MessageBoxText(box);
        PressButton(box, button);
        return text;
    }

private:
    HWND dialog_;
};

class AdvancedTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                                              ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void SetUp() override {
        program_key::Clear();
        g_settings = SettingsState{};
        UseDataFolder(data_.path());
        for (const char *song : {"A\\a1.mid", "r.mid"}) midi_.WriteFile(song, midiw::Tune({60}));
        program_key::WriteString(program_key::kKey, "Root", midi_.path());
        BestSettingsDialog::SetFolderPicker(PickChosen);
        g_chosen.clear();
    }
    void TearDown() override {
        if (IsWindow(shell_.dialog)) DestroyWindow(shell_.dialog);
        BestSettingsDialog::SetFolderPicker(nullptr);
        SetCurrentBestName(nullptr);
        g_store = StoreState{};
        g_settings = SettingsState{};
        program_key::Clear();
    }

    static void UseDataFolder(const std::string &folder) {
        lstrcpyA(g_store.dataFolder, folder.c_str());
        lstrcpyA(g_store.settingsFile, (folder + "\\KORVEL.ini").c_str());
        lstrcpyA(g_store.bestFile, (folder + "\\KORVEL.dat").c_str());
    }

    void Open() {
        bestbytes::Bytes file = bestbytes::File({Record("T", {})});
        data_.WriteFile("KORVEL.dat", std::vector<uint8_t>(file.begin(), file.end()));
        SetCurrentBestName("T");
        shell_.dialog = BestSettingsDialog::Create(GetModuleHandleA(nullptr), nullptr, &shell_);
        ASSERT_NE(shell_.dialog, nullptr);
        tree_ = GetDlgItem(shell_.dialog, IDC_TREE);
    }

    // Button 1021 of the best settings dialog; returns once the advanced
    // dialog has ended.  A script that leaves it open fails the test.
    void Advanced(const std::function<void(const User &)> &script) {
        std::atomic<bool> ended{false};
        bool found = false, leftOpen = false;
        std::thread user([&] {
            HWND advanced = nullptr;
            found = WaitUntil([&] {
                for (HWND window : ProcessWindows(GetCurrentProcessId(), true))
                    if (WindowText(window) == kTitle) advanced = window;
                return advanced != nullptr;
            });
            if (!found) return;
            script(User(advanced));
            if (WaitUntil([&] { return ended.load(); })) return;
            // Left open, maybe behind a box nobody answered: both go, so
            // that the test fails instead of hanging.
            leftOpen = true;
            WaitUntil([&] {
                HWND box = FindMessageBox(GetCurrentProcessId());
                PostMessageA(box ? box : advanced, box ? WM_COMMAND : WM_CLOSE, IDOK, 0);
                return ended.load();
            });
        });
        SendMessageA(shell_.dialog, WM_COMMAND, MAKEWPARAM(IDC_ADVANCED, BN_CLICKED), 0);
        ended = true;
        user.join();
        EXPECT_TRUE(found);
        EXPECT_FALSE(leftOpen);
    }

    std::string StoredSettings() {
        std::string value;
        return program_key::ReadRaw(program_key::kKey, "Settings", &value) ? value : "(none)";
    }
    std::string Block() { return std::string(reinterpret_cast<char *>(g_settings.block), kSettingsSize); }
    std::string DataPath() {
        std::string value;
        return program_key::ReadRaw(program_key::kKey, "DataPath", &value) ? value : "(none)";
    }
    static bool Exists(const std::string &path) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    static std::string Content(const std::string &path) {
        std::string content;
        return ReadWholeFile(path, &content) ? content : "(none)";
    }

    HTREEITEM Child(HTREEITEM parent, const std::string &label) {
        TreeView_Expand(tree_, parent, TVE_EXPAND);
        for (HTREEITEM item = TreeView_GetChild(tree_, parent); item; item = TreeView_GetNextSibling(tree_, item)) {
            char text[MAX_PATH] = "";
            TVITEMA read = {};
            read.mask = TVIF_TEXT;
            read.hItem = item;
            read.pszText = text;
            read.cchTextMax = sizeof text;
            TreeView_GetItem(tree_, &read);
            if (label == text) return item;
        }
        return nullptr;
    }
    // The mark alone: the alternative look draws files with images of their own.
    unsigned Mark(HTREEITEM item) { return TreeView_GetItemState(tree_, item, 0xF000) & 0x3000; }
    int StateImages() { return ImageList_GetImageCount(TreeView_GetImageList(tree_, TVSIL_STATE)); }
    void SelectTab(int tab) {
        HWND tabs = GetDlgItem(shell_.dialog, IDC_TABS);
        TabCtrl_SetCurSel(tabs, tab);
        NMHDR change = {tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageA(shell_.dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    }

    ScratchFolder data_;
    ScratchFolder midi_;
    HookShell shell_;
    HWND tree_ = nullptr;
};

constexpr unsigned kCtrlA = MAKEWORD('A', HOTKEYF_CONTROL);
constexpr unsigned kCtrlAltB = MAKEWORD('B', HOTKEYF_CONTROL | HOTKEYF_ALT);

TEST_F(AdvancedTest, HotkeysAreStoredAndSavedAndARunningHookIsInstalledAgain) {
    SetHotkeyField(g_settings.block, 0, kCtrlA);
    TakeCurrentHotkeys();
    g_settings.block[4] = 3;
    SetOption(OPT_READ_AT_ONCE, 1);
    shell_.installed = true;
    Open();

    // Esc does not close the dialog; Enter is OK.
    Advanced([](const User &user) {
        EXPECT_EQ(user.Hotkey(IDC_HOTKEY_NEXT), kCtrlA);
        EXPECT_EQ(SendMessageA(user.Item(IDC_PRIORITY), CB_GETCURSEL, 0, 0), 3);
        EXPECT_EQ(SendMessageA(user.Item(IDC_PRIORITY), CB_GETCOUNT, 0, 0), 5);
        EXPECT_FALSE(IsWindowEnabled(user.Item(IDC_PRIORITY)));
        EXPECT_EQ(SendMessageA(user.Item(IDC_READ_AT_ONCE), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_FALSE(IsWindowEnabled(user.Item(IDC_READ_AT_ONCE)));
        user.SetHotkey(IDC_HOTKEY_NEXT, kCtrlAltB);
        user.Key(VK_ESCAPE);
        user.Key(VK_RETURN);
    });
    EXPECT_EQ(HotkeyField(g_settings.block, 0), kCtrlAltB);
    EXPECT_EQ(g_settings.currentHotkeys[0], kCtrlAltB);
    EXPECT_EQ(StoredSettings(), Block());
    EXPECT_EQ(shell_.calls, (std::vector<bool>{false, true}));

    // Cancel drops the change made on screen.
    shell_.installed = false;
    shell_.calls.clear();
    program_key::Delete(program_key::kKey, "Settings");
    std::string before = Block();
    Advanced([](const User &user) {
        user.SetHotkey(IDC_HOTKEY_MENU, kCtrlAltB);
        user.Press(IDC_CANCEL);
    });
    EXPECT_EQ(Block(), before);
    EXPECT_EQ(StoredSettings(), "(none)");

    // Without a hook none is installed; a menu hotkey equal to the other is
    // stored as given, and so is none.
    Advanced([](const User &user) {
        user.SetHotkey(IDC_HOTKEY_MENU, kCtrlAltB);
        user.SetHotkey(IDC_HOTKEY_NEXT, 0);
        user.Press(IDC_OK);
    });
    EXPECT_EQ(HotkeyField(g_settings.block, 0), 0u);
    EXPECT_EQ(HotkeyField(g_settings.block, 1), kCtrlAltB);
    EXPECT_EQ(g_settings.currentHotkeys[1], kCtrlAltB);
    EXPECT_EQ(StoredSettings(), Block());
    EXPECT_TRUE(shell_.calls.empty());

    // Nothing changed: nothing saved.  A priority byte out of the list
    // selects nothing, and stays as stored.
    program_key::Delete(program_key::kKey, "Settings");
    g_settings.block[4] = 7;
    Advanced([](const User &user) {
        EXPECT_EQ(SendMessageA(user.Item(IDC_PRIORITY), CB_GETCURSEL, 0, 0), CB_ERR);
        user.Press(IDC_OK);
    });
    EXPECT_EQ(StoredSettings(), "(none)");
    EXPECT_EQ(g_settings.block[4], 7);
}

TEST_F(AdvancedTest, TheLookSwapsTheTreeImagesKeepsTheMarksAndShowsTheMidiTab) {
    Open();
    EXPECT_EQ(StateImages(), 4);
    // A mark made on screen and not yet in the edited best.
    HTREEITEM song = Child(TreeView_GetRoot(tree_), "r.mid");
    ASSERT_NE(song, nullptr);
    TreeView_SelectItem(tree_, song);
    MSG space = {tree_, WM_CHAR, ' ', 0, 0, {}};
    SendMessageA(tree_, WM_GETDLGCODE, ' ', reinterpret_cast<LPARAM>(&space));
    ASSERT_EQ(Mark(song), 0x2000u);

    Advanced([](const User &user) {
        EXPECT_EQ(SendMessageA(user.Item(IDC_ALT_CHECK_ICONS), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        user.Click(IDC_ALT_CHECK_ICONS);
        user.Press(IDC_OK);
    });
    EXPECT_TRUE(g_settings.altCheckIcons);
    EXPECT_TRUE(TestOption(OPT_ALT_CHECK_ICONS));
    EXPECT_EQ(StoredSettings(), Block());
    EXPECT_EQ(StateImages(), 7);
    EXPECT_EQ(Mark(Child(TreeView_GetRoot(tree_), "r.mid")), 0x2000u);

    // From the all-files tab the look change returns to the MIDI tab.
    SelectTab(1);
    Advanced([](const User &user) {
        user.Click(IDC_ALT_CHECK_ICONS);
        user.Press(IDC_OK);
    });
    EXPECT_FALSE(g_settings.altCheckIcons);
    EXPECT_EQ(StateImages(), 4);
    EXPECT_EQ(TabCtrl_GetCurSel(GetDlgItem(shell_.dialog, IDC_TABS)), 0);
    EXPECT_EQ(Mark(Child(TreeView_GetRoot(tree_), "r.mid")), 0x2000u);
}

TEST_F(AdvancedTest, BothDataFilesMoveOnlyToAnotherFolder) {
    Open();
    WriteAlbumName(midi_.Join("A").c_str(), "アルバム");
    std::string dat = Content(data_.Join("KORVEL.dat")), ini = Content(data_.Join("KORVEL.ini"));
    ASSERT_NE(ini, "(none)");
    ScratchFolder other;

    // The data folder written another way is no other folder.
    char shortName[MAX_PATH] = "";
    ASSERT_NE(GetShortPathNameA(data_.path().c_str(), shortName, sizeof shortName), 0u);
    ASSERT_NE(shortName, data_.path());
    std::string upper = data_.path();
    CharUpperA(&upper[0]);
    for (const std::string &same : {upper + "\\", std::string(shortName)}) {
        Advanced([&](const User &user) {
            EXPECT_EQ(user.Text(IDC_DATA_FOLDER), data_.path());
            user.Choose(same);
            user.Press(IDC_OK);
        });
        EXPECT_EQ(g_prompt, "設定ファイルを保存するフォルダを指定してください。");
        EXPECT_EQ(Content(data_.Join("KORVEL.dat")), dat) << same;
        EXPECT_STREQ(g_store.dataFolder, data_.path().c_str());
        EXPECT_EQ(DataPath(), "(none)");
    }

    // Chosen, then Cancel: the next OK moves nothing.  A drive root is
    // shown with its backslash; a folder too deep for the files is refused.
    Advanced([&](const User &user) {
        user.Choose("C:\\");
        EXPECT_EQ(user.Text(IDC_DATA_FOLDER), "C:\\");
        user.Choose(other.path());
        g_chosen = "C:\\" + std::string(250, 'x');
        PostMessageA(user.Item(IDC_CHANGE_DATA_FOLDER), BM_CLICK, 0, 0);
        EXPECT_EQ(user.Answer(IDOK), kPathTooLong);
        WaitUntil([&] { return !FindMessageBox(GetCurrentProcessId()); });
        EXPECT_EQ(user.Text(IDC_DATA_FOLDER), other.path());
        user.Press(IDC_CANCEL);
    });
    Advanced([](const User &user) { user.Press(IDC_OK); });
    EXPECT_EQ(Content(data_.Join("KORVEL.ini")), ini);
    EXPECT_EQ(DataPath(), "(none)");

    Advanced([&](const User &user) {
        user.Choose(other.path());
        user.Press(IDC_OK);
    });
    EXPECT_EQ(Content(other.Join("KORVEL.dat")), dat);
    EXPECT_EQ(Content(other.Join("KORVEL.ini")), ini);
    EXPECT_FALSE(Exists(data_.Join("KORVEL.dat")));
    EXPECT_FALSE(Exists(data_.Join("KORVEL.ini")));
    EXPECT_EQ(DataPath(), other.path() + '\0');
    EXPECT_STREQ(g_store.bestFile, other.Join("KORVEL.dat").c_str());
    EXPECT_EQ(ReadAlbumName(midi_.Join("A").c_str()), "アルバム");
    EXPECT_FALSE(FindBestInFile("T").IsNone());

    // A settings file that does not exist yet moves nothing; its path
    // follows the folder all the same.
    DeleteFileA(other.Join("KORVEL.ini").c_str());
    ScratchFolder third;
    Advanced([&](const User &user) {
        user.Choose(third.path() + "\\");
        EXPECT_EQ(user.Text(IDC_DATA_FOLDER), third.path());
        user.Press(IDC_OK);
    });
    EXPECT_STREQ(g_store.settingsFile, third.Join("KORVEL.ini").c_str());
    EXPECT_EQ(Content(third.Join("KORVEL.dat")), dat);
    EXPECT_EQ(DataPath(), third.path() + '\0');
}

TEST_F(AdvancedTest, AFolderHoldingTheFilesIsOverwrittenOnlyAfterYes) {
    Open();
    WriteAlbumName(midi_.Join("A").c_str(), "アルバム");
    std::string dat = Content(data_.Join("KORVEL.dat")), ini = Content(data_.Join("KORVEL.ini"));
    ScratchFolder other;
    std::string theirs = other.WriteFile("KORVEL.ini", {'[', 'x', ']'});
    SetFileAttributesA(theirs.c_str(), FILE_ATTRIBUTE_READONLY);

    // No: the files stay, the other changes count.
    Advanced([&](const User &user) {
        user.SetHotkey(IDC_HOTKEY_NEXT, kCtrlA);
        user.Choose(other.path());
        user.Press(IDC_OK);
        EXPECT_EQ(user.Answer(IDNO), kOverwriteQuestion);
    });
    EXPECT_EQ(HotkeyField(g_settings.block, 0), kCtrlA);
    EXPECT_EQ(StoredSettings(), Block());
    EXPECT_EQ(Content(theirs), "[x]");
    EXPECT_EQ(Content(data_.Join("KORVEL.dat")), dat);
    EXPECT_STREQ(g_store.dataFolder, data_.path().c_str());
    EXPECT_EQ(DataPath(), "(none)");
    EXPECT_EQ(BestSettingsDialog::From(shell_.dialog)->state().changeMarks & kMarkSettingsFolder, 0);

    // Yes: a read-only file of theirs is replaced, and nothing is left beside.
    Advanced([&](const User &user) {
        user.Choose(other.path());
        user.Press(IDC_OK);
        EXPECT_EQ(user.Answer(IDYES), kOverwriteQuestion);
    });
    EXPECT_EQ(Content(theirs), ini);
    EXPECT_EQ(Content(other.Join("KORVEL.dat")), dat);
    EXPECT_FALSE(Exists(other.Join("KORVEL.in~")));
    EXPECT_EQ(DataPath(), other.path() + '\0');
}

TEST_F(AdvancedTest, ABestFileThatCannotMoveKeepsEverythingWhereItWas) {
    Open();
    WriteAlbumName(midi_.Join("A").c_str(), "アルバム");
    std::string ini = Content(data_.Join("KORVEL.ini"));
    ScratchFolder other;
    HANDLE held = CreateFileA(data_.Join("KORVEL.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Advanced([&](const User &user) {
        user.Choose(other.path());
        user.Press(IDC_OK);
        EXPECT_EQ(user.Answer(IDOK), kMoveFailed);
    });
    CloseHandle(held);
    // The settings file that had gone ahead is back.
    EXPECT_EQ(Content(data_.Join("KORVEL.ini")), ini);
    EXPECT_TRUE(Exists(data_.Join("KORVEL.dat")));
    EXPECT_FALSE(Exists(other.Join("KORVEL.ini")));
    EXPECT_FALSE(Exists(other.Join("KORVEL.dat")));
    EXPECT_STREQ(g_store.settingsFile, data_.Join("KORVEL.ini").c_str());
    EXPECT_STREQ(g_store.bestFile, data_.Join("KORVEL.dat").c_str());
    EXPECT_EQ(DataPath(), "(none)");
}

}  // namespace
