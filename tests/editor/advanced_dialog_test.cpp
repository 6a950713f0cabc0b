// The advanced settings dialog opened from the real best settings dialog,
// driven from a thread of its own as a user would, with the folder picker
// and the message boxes answered.
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
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/fake_editor_host.h"
#include "testing/midi_writer.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;

std::string g_chosen;  // the picker's answer; empty: cancelled
int PickChosen(HWND, char *folder, const char *prompt, const char *) {
    EXPECT_STREQ(prompt, "設定ファイルを保存するフォルダを指定してください。");
    lstrcpynA(folder, g_chosen.c_str(), KORVEL_PATH_BUFFER);
    return !g_chosen.empty();
}

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0) {
    return SendMessageA(GetDlgItem(dialog, id), message, wParam, 0);
}
void Choose(HWND dialog, const std::string &folder) {
    g_chosen = folder;
    Send(dialog, IDC_CHANGE_DATA_FOLDER, BM_CLICK);
}
// Posted: the dialog's thread may open a box on the way.
void Press(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
std::string Answer(int button) {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindMessageBox(GetCurrentProcessId())) != nullptr; })) return "(no box)";
    std::string text = MessageBoxText(box);
    PressButton(box, button);
    WaitUntil([] { return !FindMessageBox(GetCurrentProcessId()); });
    return text;
}

const char kQuestion[] =
    "指定したフォルダにはすでに設定ファイルが存在します。\n\n"
    "［はい］そのフォルダのファイルを使います。今のファイルは移動せず、元のフォルダに残します。\n"
    "［いいえ］今のファイルを移動して、そのフォルダのファイルを置き換えます。\n"
    "［キャンセル］データフォルダを変更しません。";
const char kReplaceTwo[] =
    "そのフォルダのファイルを置き換えると、そこにある 2 個のベストとアルバム名が失われます。\n置き換えますか？";
constexpr unsigned kCtrlA = MAKEWORD('A', HOTKEYF_CONTROL);
constexpr unsigned kCtrlAltB = MAKEWORD('B', HOTKEYF_CONTROL | HOTKEYF_ALT);

class AdvancedTest : public StoreFixture {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES | ICC_HOTKEY_CLASS};
        InitCommonControlsEx(&controls);
        StoreFixture::SetUp();
        for (const char *song : {"A\\a1.mid", "r.mid"}) midi_.WriteFile(song, midiw::Tune({60}));
        program_key::WriteString(program_key::Key(), "Root", midi_.path());
        WriteBests({bestbytes::Record("T", {})});
        store_.WriteAlbumName(midi_.Join("A").c_str(), "アルバム");
        app_.player().SetCurrentBestName("T");
        dialog_ = BestSettingsDialog::Create(GetModuleHandleA(nullptr), nullptr, &app_, store_);
        ASSERT_NE(dialog_, nullptr);
        BestSettingsDialog::From(dialog_)->SetFolderPicker(PickChosen);
        tree_ = GetDlgItem(dialog_, IDC_TREE);
    }
    void TearDown() override {
        DestroyWindow(dialog_);
        app_.player().SetCurrentBestName(nullptr);
        StoreFixture::TearDown();
    }

    // Button 1021; the script runs on another thread against the advanced
    // dialog.  One that leaves it open (or a box) fails instead of hanging.
    void Advanced(const std::function<void(HWND)> &script) {
        std::atomic<bool> ended{false};
        bool leftOpen = false;
        std::thread user([&] {
            HWND advanced = nullptr;
            // Shown once WM_INITDIALOG has filled it; this process's, as others run beside.
            WaitUntil([&] {
                for (HWND window : ProcessWindows(GetCurrentProcessId(), true))
                    if (ClassName(window) == "#32770" && WindowText(window) == "高度な設定") advanced = window;
                return advanced != nullptr;
            });
            if (advanced) script(advanced);
            leftOpen = !WaitUntil([&] { return ended.load(); });
            if (leftOpen) WaitUntil([&] {
                HWND box = FindMessageBox(GetCurrentProcessId());
                PostMessageA(box ? box : advanced, box ? WM_COMMAND : WM_CLOSE, IDOK, 0);
                return ended.load();
            });
        });
        SendMessageA(dialog_, WM_COMMAND, IDC_ADVANCED, 0);
        ended = true;
        JoinAnswering(user);
        EXPECT_FALSE(leftOpen);
    }

    static std::string Value(const char *name) {
        std::string value;
        return program_key::ReadRaw(program_key::Key(), name, &value) ? value : "(none)";
    }
    static std::string Content(const std::string &path) {
        std::string content;
        return ReadWholeFile(path, &content) ? content : "(none)";
    }
    std::string Block() { return std::string(reinterpret_cast<const char *>(store_.settings().block()), kSettingsSize); }
    // r.mid follows the folder A under the root; its mark alone (the
    // alternative look gives files images of their own).
    unsigned SongMark() {
        HTREEITEM song = TreeView_GetNextSibling(tree_, TreeView_GetChild(tree_, TreeView_GetRoot(tree_)));
        return TreeView_GetItemState(tree_, song, 0xF000) & 0x3000;
    }
    int StateImages() { return ImageList_GetImageCount(TreeView_GetImageList(tree_, TVSIL_STATE)); }

    ScratchFolder midi_;
    FakeEditorHost app_{store_};
    HWND dialog_ = nullptr, tree_ = nullptr;
};

TEST_F(AdvancedTest, HotkeysAreStoredAndSavedAsGiven) {
    std::vector<uint8_t> block = program_key::Settings(0, kCtrlA);
    block[4] = 3;  // priority
    store_.UseSettings(block.data(), block.size());
    store_.SetOption(Option::ReadAtOnce, 1);
    // Esc is ignored; Enter is OK.
    Advanced([](HWND dialog) {
        EXPECT_EQ(Send(dialog, IDC_HOTKEY_NEXT, HKM_GETHOTKEY), LRESULT(kCtrlA));
        EXPECT_EQ(Send(dialog, IDC_PRIORITY, CB_GETCURSEL), 3);
        EXPECT_EQ(Send(dialog, IDC_READ_AT_ONCE, BM_GETCHECK), BST_CHECKED);
        Send(dialog, IDC_HOTKEY_NEXT, HKM_SETHOTKEY, kCtrlAltB);
        // The dialog is visible a moment before its activation gives a
        // control the focus; keys posted before then would go nowhere.
        GUITHREADINFO focus = {};
        focus.cbSize = sizeof focus;
        WaitUntil([&] {
            return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &focus) && IsChild(dialog, focus.hwndFocus);
        });
        for (WPARAM key : {VK_ESCAPE, VK_RETURN}) PostMessageA(focus.hwndFocus, WM_KEYDOWN, key, 0);
    });
    EXPECT_EQ(HotkeyField(store_.settings().block(), HotkeyIndex::Next), kCtrlAltB);
    EXPECT_EQ(store_.settings().hotkey(HotkeyIndex::Next), kCtrlAltB);
    EXPECT_EQ(Value("Settings"), Block());

    // Cancel drops what was changed on screen; OK without a change saves nothing.
    program_key::Delete(program_key::Key(), "Settings");
    std::string before = Block();
    before[4] = 7;  // a priority the list does not hold
    store_.UseSettings(reinterpret_cast<const unsigned char *>(before.data()), before.size());
    Advanced([](HWND dialog) {
        EXPECT_EQ(Send(dialog, IDC_PRIORITY, CB_GETCURSEL), CB_ERR);
        Send(dialog, IDC_HOTKEY_MENU, HKM_SETHOTKEY, kCtrlAltB);
        Press(dialog, IDC_CANCEL);
    });
    Advanced([](HWND dialog) { Press(dialog, IDC_OK); });
    EXPECT_EQ(Block(), before);
    EXPECT_EQ(Value("Settings"), "(none)");

    // A hotkey equal to the other, or none, is stored as given.
    Advanced([](HWND dialog) {
        Send(dialog, IDC_HOTKEY_MENU, HKM_SETHOTKEY, kCtrlAltB);
        Send(dialog, IDC_HOTKEY_NEXT, HKM_SETHOTKEY, 0);
        Press(dialog, IDC_OK);
    });
    EXPECT_EQ(HotkeyField(store_.settings().block(), HotkeyIndex::Next), 0u);
    EXPECT_EQ(HotkeyField(store_.settings().block(), HotkeyIndex::Menu), kCtrlAltB);
    EXPECT_EQ(Value("Settings"), Block());
}

TEST_F(AdvancedTest, MediaKeysAndLoopPlayAreStoredOnlyWhenChanged) {
    store_.ReadMediaKeys();  // no value: on
    DWORD unusable = 7;      // reads as twice with a fade, and stays until changed
    RegSetKeyValueA(HKEY_CURRENT_USER, program_key::Key(), "Loop", REG_DWORD, &unusable, sizeof unusable);
    store_.ReadLoopPlay();
    Advanced([](HWND dialog) {
        EXPECT_EQ(Send(dialog, IDC_LOOP_PLAY, CB_GETCURSEL), 1);
        Press(dialog, IDC_OK);
    });
    EXPECT_EQ(Value("MediaKeys"), "(none)");
    EXPECT_EQ(Value("Loop"), std::string("\x07\0\0\0", 4));
    Advanced([](HWND dialog) {
        Send(dialog, IDC_MEDIA_KEYS, BM_CLICK);
        Send(dialog, IDC_LOOP_PLAY, CB_SETCURSEL, 2);
        Press(dialog, IDC_OK);
    });
    EXPECT_EQ(Value("MediaKeys"), std::string(4, '\0'));
    EXPECT_EQ(Value("Loop"), std::string("\x02\0\0\0", 4));
}

TEST_F(AdvancedTest, TheLookSwapsTheImagesKeepsTheMarksAndShowsTheMidiTab) {
    // A mark made on screen, not yet taken into the edited best.
    HTREEITEM song = TreeView_GetNextSibling(tree_, TreeView_GetChild(tree_, TreeView_GetRoot(tree_)));
    TreeView_SelectItem(tree_, song);
    MSG space = {tree_, WM_CHAR, ' ', 0, 0, {}};
    SendMessageA(tree_, WM_GETDLGCODE, ' ', reinterpret_cast<LPARAM>(&space));
    ASSERT_EQ(SongMark(), 0x2000u);
    EXPECT_EQ(StateImages(), 4);
    auto toggle = [](HWND dialog) {
        Send(dialog, IDC_ALT_CHECK_ICONS, BM_CLICK);
        Press(dialog, IDC_OK);
    };
    Advanced(toggle);
    EXPECT_TRUE(store_.option(Option::AltMarkIcons) && store_.option(Option::AltMarkIcons));
    EXPECT_EQ(Value("Settings"), Block());
    EXPECT_EQ(StateImages(), 7);
    EXPECT_EQ(SongMark(), 0x2000u);

    HWND tabs = GetDlgItem(dialog_, IDC_TABS);
    TabCtrl_SetCurSel(tabs, 1);
    NMHDR change = {tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(dialog_, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    Advanced(toggle);
    EXPECT_EQ(StateImages(), 4);
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 0);
    EXPECT_EQ(SongMark(), 0x2000u);
}

TEST_F(AdvancedTest, TheDataFilesMoveTogetherOrNotAtAll) {
    const std::string dat = Content(data_.Join("KORVEL.dat")), ini = Content(data_.Join("KORVEL.ini"));
    ScratchFolder other;
    auto moveTo = [](const std::string &folder) { return [folder](HWND d) { Choose(d, folder); Press(d, IDC_OK); }; };

    // The data folder written another way; chosen, then Cancel; a folder too
    // deep for the files: nothing moves.  A drive root shows its backslash.
    char shortName[MAX_PATH] = "";
    GetShortPathNameA(data_.path().c_str(), shortName, sizeof shortName);
    ASSERT_NE(shortName, data_.path());
    std::string upper = data_.path();
    CharUpperA(&upper[0]);
    Advanced(moveTo(shortName));
    Advanced(moveTo(upper + "\\"));
    Advanced([&](HWND dialog) {
        Choose(dialog, "C:\\");
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_DATA_FOLDER)), "C:\\");
        Choose(dialog, other.path());
        g_chosen = "C:\\" + std::string(250, 'x');
        Press(dialog, IDC_CHANGE_DATA_FOLDER);
        EXPECT_EQ(Answer(IDOK), "指定したフォルダのパスが長すぎます。\n別のフォルダを指定してください。");
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_DATA_FOLDER)), other.path());
        Press(dialog, IDC_CANCEL);
    });
    Advanced([](HWND dialog) { Press(dialog, IDC_OK); });
    EXPECT_EQ(Content(data_.Join("KORVEL.ini")), ini);
    EXPECT_EQ(Content(data_.Join("KORVEL.dat")), dat);
    EXPECT_EQ(Value("DataPath"), "(none)");

    // A best file that cannot be moved: the album file comes back too.
    HANDLE held = CreateFileA(store_.bestFile(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Advanced([&](HWND dialog) {
        moveTo(other.path())(dialog);
        EXPECT_EQ(Answer(IDOK), "設定ファイルを移動できませんでした。\nフォルダは変更されていません。");
    });
    CloseHandle(held);
    EXPECT_EQ(Content(data_.Join("KORVEL.ini")), ini);
    EXPECT_EQ(Content(other.Join("KORVEL.ini")), "(none)");
    EXPECT_STREQ(store_.bestFile(), data_.Join("KORVEL.dat").c_str());
    EXPECT_EQ(Value("DataPath"), "(none)");

    // The album file, once moved, is held in the chosen folder as well,
    // so that it cannot come back: it stays there, and the user is told so.
    held = CreateFileA(store_.bestFile(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE arrived = INVALID_HANDLE_VALUE;
    Advanced([&](HWND dialog) {
        moveTo(other.path())(dialog);
        std::string moved = other.Join("KORVEL.ini");
        WaitUntil([&] {
            arrived = CreateFileA(moved.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            return arrived != INVALID_HANDLE_VALUE;
        });
        EXPECT_EQ(Answer(IDOK), "設定ファイルを移動できませんでした。\nフォルダは変更されていませんが、元に戻せなかった"
                                "ファイルが次のフォルダに残っています。\n\n" + other.path());
    });
    CloseHandle(arrived);
    CloseHandle(held);
    EXPECT_EQ(Content(other.Join("KORVEL.ini")), ini);
    EXPECT_EQ(Content(data_.Join("KORVEL.dat")), dat);
    EXPECT_STREQ(store_.albumFile(), data_.Join("KORVEL.ini").c_str());
    EXPECT_EQ(Value("DataPath"), "(none)");
    ASSERT_TRUE(MoveFileA(other.Join("KORVEL.ini").c_str(), data_.Join("KORVEL.ini").c_str()));  // as the user would

    // Files of theirs in the way: Cancel, or No and then No to replacing the
    // two bests there, moves nothing and applies the rest; No and Yes
    // replaces them, read-only as they are.
    std::string theirs = other.WriteFile("KORVEL.ini", {'[', ']'});
    const bestbytes::Bytes theirBests = bestbytes::File({bestbytes::Record("X", {}), bestbytes::Record("Y", {})});
    other.WriteFile("KORVEL.dat", theirBests);
    SetFileAttributesA(theirs.c_str(), FILE_ATTRIBUTE_READONLY);
    for (bool second : {false, true})
        Advanced([&](HWND dialog) {
            Send(dialog, IDC_HOTKEY_NEXT, HKM_SETHOTKEY, second ? kCtrlAltB : kCtrlA);
            moveTo(other.path())(dialog);
            EXPECT_EQ(Answer(second ? IDNO : IDCANCEL), kQuestion);
            EXPECT_EQ(second ? Answer(IDNO) : kReplaceTwo, kReplaceTwo);
        });
    EXPECT_EQ(Value("Settings"), Block());
    EXPECT_EQ(Content(theirs), "[]");
    EXPECT_STREQ(store_.dataFolder(), data_.path().c_str());
    Advanced([&](HWND dialog) {
        moveTo(other.path())(dialog);
        EXPECT_EQ(Answer(IDNO), kQuestion);
        EXPECT_EQ(Answer(IDYES), kReplaceTwo);
    });
    EXPECT_EQ(Content(theirs), ini);
    EXPECT_EQ(Content(other.Join("KORVEL.dat")), dat);
    EXPECT_EQ(Content(data_.Join("KORVEL.dat")), "(none)");
    EXPECT_EQ(Value("DataPath"), other.path() + '\0');
    EXPECT_EQ(store_.ReadAlbumName(midi_.Join("A").c_str()), "アルバム");
    EXPECT_FALSE(store_.FindBestInFile("T").IsNone());

    // An album file not made yet: its path follows the folder all the same.
    // To another drive too (Z:\dev\shm is a memory file system on most
    // hosts), where the best file is copied whole before its original goes.
    DeleteFileA(theirs.c_str());
    std::string third = "Z:\\dev\\shm\\tivorn-move-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(third.c_str(), nullptr));
    Advanced(moveTo(third));
    EXPECT_STREQ(store_.albumFile(), (third + "\\KORVEL.ini").c_str());
    EXPECT_EQ(Content(third + "\\KORVEL.dat"), dat);
    EXPECT_EQ(Content(other.Join("KORVEL.dat")), "(none)");

    // Yes uses the files found there: nothing moves and nothing goes.
    std::string found = other.WriteFile("KORVEL.dat", theirBests);
    Advanced([&](HWND dialog) {
        moveTo(other.path())(dialog);
        EXPECT_EQ(Answer(IDYES), kQuestion);
    });
    EXPECT_STREQ(store_.bestFile(), found.c_str());
    EXPECT_EQ(Value("DataPath"), other.path() + '\0');
    EXPECT_EQ(Content(found), std::string(theirBests.begin(), theirBests.end()));
    EXPECT_EQ(Content(third + "\\KORVEL.dat"), dat);
    // The dialog shows the bests found there, and plays one of them: a save
    // of the best left on screen would merge it into their file.
    HWND combo = GetDlgItem(dialog_, IDC_BEST_LIST);
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(WindowText(combo), "X");
    EXPECT_EQ(WindowText(GetDlgItem(dialog_, IDC_PLAY_BEST)), "X");
    DeleteTree(third);

    // A folder with album names alone has no best: the default best is made
    // there, and the histories of the bests left behind stay theirs.
    const unsigned char played = 1;
    store_.WriteHistory("X", &played, 1);
    ScratchFolder names;
    names.WriteFile("KORVEL.ini", {'[', ']'});
    Advanced([&](HWND dialog) {
        moveTo(names.path())(dialog);
        EXPECT_EQ(Answer(IDYES), kQuestion);
    });
    EXPECT_EQ(WindowText(combo), "すべてのMIDIファイル");
    EXPECT_TRUE(store_.HistoryPresent("X"));
}

}  // namespace
