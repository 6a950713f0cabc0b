// The real best settings dialog over a scratch MIDI folder: the marks that
// clicks and keys set in its tree, the bests it makes, saves and deletes, and
// a save that fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "editor/best_dialog_fixture.h"
#include "editor/best_settings_dialog.h"
#include "resources/resource_ids.h"
#include "testing/best_bytes.h"
#include "testing/best_dialog_driving.h"
#include "testing/fake_editor_host.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;
using namespace best_dialog;

TEST_F(BestDialogTest, ClicksAndSpaceSetTheMarksThatSavingAndTabsKeep) {
    Open({Record("T", {})}, "T");
    HTREEITEM root = TreeView_GetRoot(tree_);
    HTREEITEM a = Item({"A"}), b = Item({"B"});
    TreeView_Expand(tree_, b, TVE_COLLAPSE);
    EXPECT_EQ(Mark(root), 0x1000u);

    ClickBox(a, false);  // given back elsewhere: no click
    EXPECT_EQ(Mark(a), 0x1000u);
    TreeView_Expand(tree_, a, TVE_COLLAPSE);
    ClickBox(a);
    EXPECT_EQ(Mark(a), 0x2000u);
    EXPECT_EQ(Mark(Item({"A", "a1.mid"})), 0x2000u);
    EXPECT_EQ(Mark(root), 0x3000u);
    Key(Item({"r.mid"}), WM_CHAR, ' ');
    EXPECT_EQ(Mark(Item({"r.mid"})), 0x2000u);

    // One file of the checked folder off: the folder is partly checked.
    Key(Item({"A", "a2.mid"}), WM_CHAR, ' ');
    EXPECT_EQ(Mark(a), 0x3000u);
    Command(IDC_SAVE_BEST);
    EXPECT_EQ(Entries("T"), (std::vector<std::string>{M("A\\a1.mid"), M("r.mid")}));

    // An expanded folder's click is for its files: a checked one among them
    // turns them all off, the next click all on, and the folder follows.
    ClickBox(a);
    EXPECT_EQ(Mark(a), 0x1000u);
    EXPECT_EQ(Mark(Item({"A", "a1.mid"})), 0x1000u);
    ClickBox(a);
    EXPECT_EQ(Mark(a), 0x2000u);
    EXPECT_EQ(Mark(Item({"A", "a2.mid"})), 0x2000u);

    // The marks of a tab are taken in before the other is shown.
    TabCtrl_SetCurSel(GetDlgItem(app_.dialog, IDC_TABS), 1);
    NMHDR change = {GetDlgItem(app_.dialog, IDC_TABS), IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(app_.dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    TabCtrl_SetCurSel(GetDlgItem(app_.dialog, IDC_TABS), 0);
    SendMessageA(app_.dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(Mark(Item({"A"})), 0x2000u);
    EXPECT_EQ(Mark(Item({"r.mid"})), 0x2000u);
    EXPECT_EQ(Mark(Item({"B"})), 0x1000u);
    EXPECT_EQ(Dialog().state().edited.Count(), 4u);  // A/, a1, a2, r
    Command(IDC_CANCEL);
    PumpMessages();
    EXPECT_EQ(app_.result, Closed({&R::playingBestSaved}));
}

// With the names table full, opened folders stay frozen: clicks change
// nothing, a save keeps the best as it was, and the user is told once.
TEST_F(BestDialogTest, AFullNamesTableFreezesTheFoldersOpenedAndTellsOnce) {
    Open({Record("T", {M("A\\a1.mid"), M("r.mid")})}, "T");
    Bytes before = Stored();
    Dialog().tree().SetNameCap(4);  // the root, A, B and r.mid
    BoxAnswerer user(Boxes::Every);
    HTREEITEM a = Item({"A"});
    TreeView_Expand(tree_, a, TVE_EXPAND);
    TreeView_Expand(tree_, Item({"B"}), TVE_EXPAND);
    ClickBox(a);
    EXPECT_EQ(Mark(a), 0x3000u);
    Dialog().state().dirty = true;
    Command(IDC_SAVE_BEST);
    std::vector<BoxAnswerer::Box> told = user.Seen();
    EXPECT_EQ(Stored(), before);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text.rfind("開いたフォルダの中身を加えると、ツリーに表示できる", 0), 0u) << told[0].text;
}

TEST_F(BestDialogTest, NewSaveDeleteAndTheSaveQuestion) {
    Open({Record("T", {}), Record("U", {M("r.mid")})}, "U");
    EXPECT_EQ(Mark(Item({"r.mid"})), 0x2000u);
    HWND combo = GetDlgItem(app_.dialog, IDC_BEST_LIST);

    // Changes, then another best: Cancel stays, No leaves them, Yes saves.
    Key(Item({"r.mid"}), WM_CHAR, ' ');
    {
        BoxAnswerer answer(IDCANCEL);
        SelectBest(0);
        EXPECT_EQ(answer.Text(), kSaveQuestion);
    }
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Mark(Item({"r.mid"})), 0x1000u);
    {
        BoxAnswerer answer(IDNO);
        SelectBest(0);
    }
    EXPECT_EQ(Entries("U"), std::vector<std::string>{M("r.mid")});
    Key(Item({"B", "b1.mid"}), WM_CHAR, ' ');
    {
        BoxAnswerer answer(IDYES);
        SelectBest(1);
    }
    // B's one file makes the whole folder checked: its marker and its file.
    EXPECT_EQ(Entries("T"), (std::vector<std::string>{M("B") + "/", M("B\\b1.mid")}));

    // A new best goes to the end of the file and is selected, empty.
    {
        BoxAnswerer answer(IDOK, "ベスト名の入力", "New");
        Command(IDC_NEW_BEST);
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"T", "U", "New"}));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2);

    // Deleting the current best selects the next and must be confirmed.
    SelectBest(1);
    {
        BoxAnswerer answer(IDOK);
        Command(IDC_DELETE_BEST);
        EXPECT_EQ(answer.Text(), "このベストを削除してもよろしいですか？");
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"T", "New"}));
    EXPECT_STREQ(app_.player().CurrentBestName(), "New");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(app_.dialog, IDC_CANCEL)));
    EXPECT_TRUE(BestSettingsDialog::From(app_.dialog)->PlayerWaits());
    char shown[MAX_PATH] = "";
    GetDlgItemTextA(app_.dialog, IDC_PLAY_BEST, shown, sizeof shown);
    EXPECT_STREQ(shown, "New");
    {
        BoxAnswerer answer(IDCANCEL);  // the question answered Cancel: nothing
        Command(IDC_DELETE_BEST);
    }
    {
        BoxAnswerer answer(IDOK);
        Command(IDC_DELETE_BEST);
    }
    {
        BoxAnswerer answer(IDOK);  // the last best cannot go
        Command(IDC_DELETE_BEST);
        EXPECT_EQ(answer.Text(), "すべてのベストを削除することはできません。");
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"T"});
    Command(IDC_OK);
    PumpMessages();
    EXPECT_EQ(app_.result, Closed({&R::bestToPlayChanged, &R::bestListChanged, &R::playingBestSaved}));
}

TEST_F(BestDialogTest, AFailedSaveIsToldAndGivingUpKeepsTheDialogItsEditsAndTheHistory) {
    Open({Record("T", {}), Record("U", {})}, "T");
    HWND combo = GetDlgItem(app_.dialog, IDC_BEST_LIST);
    Bytes before = Stored();
    program_key::WriteBinary(program_key::HistoryKey(), "T", "\1", 1);
    store_.SetOption(Option::AutoSave, 1);
    // A folder in the best file's place fails the save at once.
    ASSERT_TRUE(DeleteFileA(store_.bestFile()) && CreateDirectoryA(store_.bestFile(), nullptr));
    std::vector<std::string> told;
    {  // a new best that was not written leaves the list again
        BoxAnswerer name(IDOK, "ベスト名の入力", "N"), answer(IDCANCEL);
        Command(IDC_NEW_BEST);
        told.push_back(answer.Text());
    }
    EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
    Key(Item({"r.mid"}), WM_CHAR, ' ');
    for (int command : {IDC_OK, IDC_BEST_LIST}) {  // OK stays open; another best goes back
        BoxAnswerer answer(IDCANCEL);
        SendMessageA(combo, CB_SETCURSEL, 1, 0);
        Command(command, command == IDC_OK ? BN_CLICKED : CBN_SELCHANGE);
        told.push_back(answer.Text());
    }
    PumpMessages();
    EXPECT_EQ(app_.closes, 0);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Mark(Item({"r.mid"})), 0x2000u);
    for (const std::string &text : told) EXPECT_EQ(text.rfind("ベストを保存できませんでした。", 0), 0u) << text;
    EXPECT_TRUE(app_.exits.empty());
    EXPECT_EQ(History("T"), "\1");

    // Once the file can be written, the edits are still there to save.
    ASSERT_TRUE(RemoveDirectoryA(store_.bestFile()));
    WriteBestFile(before);
    Command(IDC_SAVE_BEST);
    EXPECT_EQ(Entries("T"), std::vector<std::string>{M("r.mid")});
    EXPECT_EQ(History("T"), "");
}

TEST_F(BestDialogTest, WithoutAMidiFolderTheDefaultBestIsMadeEmpty) {
    program_key::Delete(program_key::Key(), "Root");
    Open({}, nullptr);
    EXPECT_EQ(Names(), std::vector<std::string>{"すべてのMIDIファイル"});
    EXPECT_TRUE(Entries("すべてのMIDIファイル").empty());
    EXPECT_STREQ(app_.player().CurrentBestName(), "すべてのMIDIファイル");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(app_.dialog, IDC_CANCEL)));
}

}  // namespace
