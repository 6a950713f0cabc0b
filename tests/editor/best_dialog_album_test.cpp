// The real best settings dialog over a scratch MIDI folder: album names
// given to its folders, songs played from its tree, and the best to play and
// the MIDI folder it chooses.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "editor/best_dialog_fixture.h"
#include "editor/best_settings_dialog.h"
#include "engine/korvel.h"
#include "resources/resource_ids.h"
#include "testing/best_dialog_driving.h"
#include "testing/midi_writer.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;
using namespace best_dialog;

TEST_F(BestDialogTest, BestToPlayMidiFolderAlbumNamesAndPreview) {
    Open({Record("T", {}), Record("U", {})}, "T");
    SelectBest(1);
    Command(IDC_CHANGE_PLAY_BEST);
    char shown[MAX_PATH] = "";
    GetDlgItemTextA(app_.dialog, IDC_PLAY_BEST, shown, sizeof shown);
    EXPECT_STREQ(shown, "U");

    // Album names: F2 names a folder; Esc takes the name away again.
    HTREEITEM a = Item({"A"});
    TreeView_SelectItem(tree_, a);
    NMTVKEYDOWN f2 = {{tree_, IDC_TREE, static_cast<UINT>(TVN_KEYDOWN)}, VK_F2, 0};
    SendMessageA(app_.dialog, WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&f2));
    HWND edit = TreeView_GetEditControl(tree_);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetParent(edit), tree_);  // what the message loop knows a label edit by
    SetWindowTextA(edit, "アルバム");
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(store_.ReadAlbumName(M("A").c_str()), "アルバム");
    EXPECT_EQ(Label(Item({"アルバム"})), "アルバム");
    EXPECT_EQ(TreeView_GetEditControl(tree_), nullptr);  // the edit has ended
    EXPECT_FALSE(BestSettingsDialog::From(app_.dialog)->PlayerWaits());
    // A fill shows the names the album file keeps, in any letter case.
    std::string upper = M("A");
    CharUpperA(&upper[0]);
    store_.DeleteAlbumName(M("A").c_str());
    store_.WriteAlbumName(upper.c_str(), "アルバム");
    SwitchTab(app_.dialog, 1);
    SwitchTab(app_.dialog, 0);
    HTREEITEM named = Item({"アルバム"});
    ASSERT_NE(named, nullptr);
    edit = TreeView_EditLabel(tree_, named);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(store_.ReadAlbumName(M("A").c_str()), "");
    EXPECT_NE(Item({"A"}), nullptr);
    // So does a name emptied and taken with Enter.
    edit = TreeView_EditLabel(tree_, Item({"A"}));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "");
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_NE(Item({"A"}), nullptr);
    // The album file held for longer than a write waits: the user is
    // told, and the label shows what the file still holds.
    HANDLE holder = CreateFileA(store_.albumFile(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    {
        BoxAnswerer told(IDOK);
        edit = TreeView_EditLabel(tree_, Item({"A"}));
        SetWindowTextA(edit, "新しい名前");
        SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
        PumpMessages();
        EXPECT_EQ(told.Text(), "アルバム名を設定ファイル (KORVEL.ini) に書き込めませんでした。\n"
                               "アルバム名は変更されていません。");
    }
    CloseHandle(holder);
    EXPECT_NE(Item({"A"}), nullptr);
    EXPECT_EQ(store_.ReadAlbumName(M("A").c_str()), "");

    // A double-click on a file's icon plays it with the dialog as owner;
    // the engine's call to the owner ends it.
    HTREEITEM song = Item({"r.mid"});
    RECT label = {};
    TreeView_GetItemRect(tree_, song, &label, TRUE);
    SendMessageA(tree_, WM_LBUTTONDBLCLK, 0, MAKELPARAM(label.left - 8, (label.top + label.bottom) / 2));
    EXPECT_EQ(Events(), (std::vector<std::string>{"open " + AnsiToUtf8(M("r.mid")), "start"}));
    EXPECT_EQ(PlaybackOwner(), app_.dialog);
    COPYDATASTRUCT end = {};
    SendMessageA(app_.dialog, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(PlaybackOwner(), nullptr);
    EXPECT_EQ(Events().back(), "stop");
    Key(Item({"B"}), WM_KEYDOWN, VK_RETURN);  // Enter on a folder plays nothing
    EXPECT_EQ(Events().back(), "stop");

    // Another MIDI folder: the tree shows it, OK stores it.
    ScratchFolder other;
    other.WriteFile("o.mid", midiw::Tune({60}, 30000));
    g_chosenFolder = other.path();
    Command(IDC_CHANGE_MIDI_FOLDER);
    g_chosenFolder.clear();
    EXPECT_NE(Item({"o.mid"}), nullptr);
    Command(IDC_OK);
    PumpMessages();
    // Leaving the current best saved it, with nothing to save: its list is
    // read again all the same.
    EXPECT_EQ(app_.result, Closed({&R::bestToPlayChanged, &R::playingBestSaved}));
    EXPECT_STREQ(app_.player().CurrentBestName(), "U");
    std::string root;
    program_key::ReadRaw(program_key::Key(), "Root", &root);
    EXPECT_EQ(root, other.path() + '\0');
}

void PutOnClipboard(const char *text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
    lstrcpyA(static_cast<char *>(GlobalLock(memory)), text);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
    // Wine hands the clipboard to its X11 side after the close; until that
    // is done a paste may find it empty.
    EXPECT_TRUE(WaitUntil([text] {
        bool there = false;
        if (OpenClipboard(nullptr)) {
            HANDLE data = GetClipboardData(CF_UNICODETEXT);
            const wchar_t *wide = data ? static_cast<const wchar_t *>(GlobalLock(data)) : nullptr;
            char ansi[64] = "";
            if (wide) WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
            there = wide && strcmp(ansi, text) == 0;
            if (wide) GlobalUnlock(data);
            CloseClipboard();
        }
        return there;
    }));
}

TEST_F(BestDialogTest, TheKeyboardsMenuAndAlbumNamesHeldTo259BytesAndKeptByATabSwitchOrAClose) {
    Open({Record("T", {})}, "T");
    // The menu key on a selected file, with both coordinates -1 as a 64-bit
    // lParam holds them: its menu's one item, 再生(&P), plays the file.
    TreeView_SelectItem(tree_, Item({"r.mid"}));
    std::thread user([] {
        HWND menu = nullptr;
        WaitUntil([&] { return (menu = FindPopupMenu(GetCurrentProcessId())) != nullptr; });
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    SendMessageA(tree_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree_), static_cast<LPARAM>(0xFFFFFFFFu));
    JoinAnswering(user);
    EXPECT_EQ(Events(), (std::vector<std::string>{"open " + AnsiToUtf8(M("r.mid")), "start"}));

    // 257 bytes: one more double-byte character fits, then nothing.
    std::string full = "a";
    for (int i = 0; i < 128; ++i) full += "あ";
    HWND edit = TreeView_EditLabel(tree_, Item({"A"}));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, full.c_str());
    SendMessageA(edit, EM_SETSEL, full.size(), full.size());
    Type(edit, L"あいb");
    EXPECT_EQ(WindowText(edit), full + "あ");
    // A paste puts in what fits, whole characters only.
    SetWindowTextA(edit, full.substr(0, 255).c_str());
    SendMessageA(edit, EM_SETSEL, 0, 0);
    PutOnClipboard("かきく");
    SendMessageA(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(WindowText(edit), "かき" + full.substr(0, 255));
    // A tab click leaves the focus in the edit: the name is kept all the same.
    SwitchTab(app_.dialog, 1);
    EXPECT_EQ(TreeView_GetEditControl(tree_), nullptr);
    EXPECT_EQ(store_.ReadAlbumName(M("A").c_str()), "かき" + full.substr(0, 255));

    SwitchTab(app_.dialog, 0);
    SetWindowTextA(TreeView_EditLabel(tree_, Item({"B"})), "ベスト盤");
    Command(IDC_CANCEL);
    EXPECT_EQ(TreeView_GetEditControl(tree_), nullptr);
    EXPECT_EQ(store_.ReadAlbumName(M("B").c_str()), "ベスト盤");
}

}  // namespace
