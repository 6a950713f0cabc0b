// The best settings dialog over the best file: filling its combo box, and
// saving the edited best with the save question answered as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "editor/best_name_dialog.h"
#include "editor/best_settings_dialog.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "testing/midi_writer.h"
#include "testing/best_bytes.h"
#include "testing/best_dialog_driving.h"
#include "testing/fake_editor_host.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;
using bestbytes::Bytes;
using bestbytes::Record;
using R = BestSettingsResult;

const char kSaveQuestion[] = "このベストの変更点を保存しますか？";

// Answers the next message box of this process with a button, from a thread
// of its own while the test's thread waits inside the box.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button, const char *caption = "Tivorn", const char *text = nullptr)
        : caption_(caption), typed_(text ? text : ""), type_(text != nullptr),
          thread_([this, button] { Run(button); }) {}
    ~BoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    const std::string &text() const { return text_; }

private:
    void Run(int button) {
        DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < 15000) {
            if (HWND box = FindMessageBox(GetCurrentProcessId(), caption_)) {
                text_ = MessageBoxText(box);
                if (type_) SetDlgItemTextA(box, IDC_BEST_NAME, typed_.c_str());
                PressButton(box, button);
                return;
            }
            Sleep(10);
        }
    }

    const char *caption_;
    std::string typed_;
    bool type_;
    std::atomic<bool> stop_{false};
    std::string text_;
    std::thread thread_;
};

class BestSettingsTest : public StoreFixture {
protected:
    void TearDown() override {
        if (combo_) DestroyWindow(combo_);
        StoreFixture::TearDown();
    }

    void Edit(const char *name, const std::vector<std::string> &entries) {
        best::BestRecord &edited = dialog_.state().edited;
        edited = best::BestRecord::ForName(name);
        size_t cursor = edited.Terminator();
        for (const std::string &entry : entries) ASSERT_TRUE(edited.InsertEntry(&cursor, entry.c_str()));
    }

    HWND Combo() {
        if (combo_) DestroyWindow(combo_);
        combo_ = CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        return combo_;
    }

    std::string ComboText(int index) {
        char text[300] = "";
        SendMessageA(combo_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    FakeEditorHost shell_{store_};
    BestSettingsDialog dialog_{&shell_, store_};
    HWND combo_ = nullptr;
};

TEST_F(BestSettingsTest, TheComboBoxIsFilledAndTheSelectedBestLoaded) {
    WriteBests({Record("Jazz", {"C:\\j.mid"}), Record("jazz", {"C:\\k.mid", "C:\\l.mid"}), Record("Rock", {})});
    best::BestRecord found;
    ASSERT_EQ(dialog_.ReadBests("jazz", ReadBestsMode::Find, nullptr, &found), 1);
    EXPECT_EQ(found.Count(), 2u);
    EXPECT_EQ(dialog_.ReadBests("JAZZ", ReadBestsMode::Find, nullptr, &found), 0);
    EXPECT_TRUE(found.IsNone());

    // Fill and select: the combo box holds every name, the edited best is loaded.
    dialog_.state().dirty = true;
    ASSERT_EQ(dialog_.ReadBests("Rock", ReadBestsMode::FillSelect, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ComboText(1), "jazz");
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 2);
    EXPECT_STREQ(found.Name(), "Rock");
    EXPECT_STREQ(dialog_.state().edited.Name(), "Rock");
    EXPECT_FALSE(dialog_.state().dirty);
    EXPECT_EQ(dialog_.ReadBests("Blues", ReadBestsMode::FillSelect, Combo(), &found), 0);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_TRUE(found.IsNone());
    ASSERT_EQ(dialog_.ReadBests("Blues", ReadBestsMode::FillSelectFirst, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 0);
    EXPECT_STREQ(dialog_.state().edited.Name(), "Jazz");
    ASSERT_EQ(dialog_.ReadBests("jazz", ReadBestsMode::FillSelectFirst, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 1);

    // Without a best file the combo box stays empty.
    DeleteFileA(store_.bestFile());
    EXPECT_EQ(dialog_.ReadBests(nullptr, ReadBestsMode::FillSelectFirst, Combo(), &found), 0);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(BestSettingsTest, TheSaveQuestionAndTheRebuildModes) {
    Bytes old = bestbytes::File({Record("Asked", {})});
    WriteBestFile(old);
    Edit("Asked", {"C:\\a.mid"});

    // Nothing collected from the tree and nothing dirty: nothing to save.
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuild), kSaved);
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuildOnly), kSaved);
    EXPECT_FALSE(program_key::Exists(program_key::HistoryKey(), "Asked"));

    dialog_.state().dirty = true;
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuildOnly), kSaveCancelled);
    {
        BoxAnswerer answer(IDCANCEL);
        EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuild), kSaveCancelled);
        EXPECT_EQ(answer.text(), kSaveQuestion);
    }
    {
        BoxAnswerer answer(IDNO);
        EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuild), kSaveDeclined);
    }
    EXPECT_TRUE(dialog_.state().dirty);
    EXPECT_EQ(Stored(), old);
    {
        BoxAnswerer answer(IDYES);
        EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuild), kSaved);
    }
    EXPECT_EQ(Stored(), bestbytes::File({Record("Asked", {"C:\\a.mid"})}));
    EXPECT_FALSE(dialog_.state().dirty);

    // Saved without asking when changes are saved automatically.
    store_.SetOption(Option::AutoSave, 1);
    dialog_.state().dirty = true;
    Edit("Asked", {});
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuild), kSaved);
    EXPECT_EQ(Stored(), old);

    // A failed save keeps the changes marked as unsaved.
    HANDLE reader = CreateFileA(store_.bestFile(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    dialog_.state().dirty = true;
    EXPECT_EQ(dialog_.SaveBest(nullptr, false, kSaveAsIs), kSaveFailed);
    CloseHandle(reader);
    EXPECT_TRUE(dialog_.state().dirty);
}

// --- the real dialog over a scratch MIDI folder --------------------------------

int PickChosenFolder(HWND, char *folder, const char *, const char *);
std::string g_chosenFolder;

class BestDialogTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        log_ = data_.Join("play.log");
        program_key::WriteString(program_key::EngineKey(), "Output", "log:" + log_);
        ASSERT_TRUE(EngineInit());
        for (const char *song : {"A\\a1.mid", "A\\a2.mid", "B\\b1.mid", "r.mid"})
            midi_.WriteFile(song, midiw::Tune({60}, 30000));
        program_key::WriteString(program_key::Key(), "Root", midi_.path());
    }
    void TearDown() override {
        if (IsWindow(shell_.dialog)) DestroyWindow(shell_.dialog);
        StopSong();
        SetPlaybackOwner(nullptr, 0);
        EngineClose();
        shell_.player().SetCurrentBestName(nullptr);
        StoreFixture::TearDown();
    }

    std::string M(const std::string &below = "") const { return below.empty() ? midi_.path() : midi_.Join(below); }

    void Open(const std::vector<bestbytes::Bytes> &bests, const char *current, HWND owner = nullptr) {
        if (!bests.empty()) WriteBests(bests);
        shell_.player().SetCurrentBestName(current);
        shell_.dialog = BestSettingsDialog::Create(GetModuleHandleA(nullptr), owner, &shell_, store_);
        ASSERT_NE(shell_.dialog, nullptr);
        Dialog().SetFolderPicker(PickChosenFolder);
        tree_ = GetDlgItem(shell_.dialog, IDC_TREE);
    }

    BestSettingsDialog &Dialog() { return *BestSettingsDialog::From(shell_.dialog); }

    // The item reached by labels from the root "MIDIファイル".
    HTREEITEM Item(const std::vector<std::string> &labels) {
        HTREEITEM item = TreeView_GetRoot(tree_);
        for (const std::string &label : labels) {
            TreeView_Expand(tree_, item, TVE_EXPAND);
            item = ChildLabelled(tree_, item, label);
            if (!item) return nullptr;
        }
        return item;
    }

    std::string Label(HTREEITEM item) { return ItemLabel(tree_, item); }

    unsigned Mark(HTREEITEM item) { return TreeView_GetItemState(tree_, item, 0xF000) & 0x3000; }

    // A press on the item's check box, the mouse given back over the box or
    // elsewhere, as the tree's own tracking gives it back.
    void ClickBox(HTREEITEM item, bool releaseOver = true) {
        TreeView_EnsureVisible(tree_, item);
        RECT label = {};
        TreeView_GetItemRect(tree_, item, &label, TRUE);
        POINT box = {0, (label.top + label.bottom) / 2};
        TVHITTESTINFO hit = {};
        for (box.x = 0; box.x < label.left; ++box.x) {
            hit.pt = box;
            if (TreeView_HitTest(tree_, &hit) == item && (hit.flags & TVHT_ONITEMSTATEICON)) break;
        }
        ASSERT_LT(box.x, label.left) << "no check box";
        POINT release = releaseOver ? box : POINT{label.right + 40, label.top - 40};
        ClientToScreen(tree_, &release);
        SetCursorPos(release.x, release.y);
        PumpMessages();
        PostMessageA(tree_, WM_LBUTTONUP, 0, MAKELPARAM(box.x, box.y));
        SendMessageA(tree_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.x, box.y));
        PumpMessages();
    }

    // A key as the dialog manager offers it to the tree.
    void Key(HTREEITEM item, UINT message, WPARAM key) { OfferKey(tree_, item, message, key); }

    void Command(int id, int notification = BN_CLICKED) {
        SendMessageA(shell_.dialog, WM_COMMAND, MAKEWPARAM(id, notification), 0);
    }

    void SelectBest(int index) {
        SendDlgItemMessageA(shell_.dialog, IDC_BEST_LIST, CB_SETCURSEL, index, 0);
        Command(IDC_BEST_LIST, CBN_SELCHANGE);
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        store_.ReadBestNames(&names);
        return names;
    }

    std::vector<std::string> Entries(const char *best) {
        std::vector<std::string> entries;
        best::BestRecord record = store_.FindBestInFile(best);
        for (size_t at = record.FirstEntry(); at != record.Terminator(); at = record.Next(at))
            entries.push_back(record.At(at));
        return entries;
    }

    std::vector<std::string> Events() { return LogMarkers(log_); }

    ScratchFolder midi_;
    std::string log_;
    FakeEditorHost shell_{store_};
    HWND tree_ = nullptr;
};

int PickChosenFolder(HWND, char *folder, const char *, const char *) {
    if (g_chosenFolder.empty()) return 0;
    lstrcpyA(folder, g_chosenFolder.c_str());
    return 1;
}

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
    TabCtrl_SetCurSel(GetDlgItem(shell_.dialog, IDC_TABS), 1);
    NMHDR change = {GetDlgItem(shell_.dialog, IDC_TABS), IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(shell_.dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    TabCtrl_SetCurSel(GetDlgItem(shell_.dialog, IDC_TABS), 0);
    SendMessageA(shell_.dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(Mark(Item({"A"})), 0x2000u);
    EXPECT_EQ(Mark(Item({"r.mid"})), 0x2000u);
    EXPECT_EQ(Mark(Item({"B"})), 0x1000u);
    EXPECT_EQ(Dialog().state().edited.Count(), 4u);  // A/, a1, a2, r
    Command(IDC_CANCEL);
    PumpMessages();
    EXPECT_EQ(shell_.result, Closed({&R::playingBestSaved}));
}

// With the names table full, opened folders stay frozen: clicks change
// nothing, a save keeps the best as it was, and the user is told once.
TEST_F(BestDialogTest, AFullNamesTableFreezesTheFoldersOpenedAndTellsOnce) {
    Open({Record("T", {M("A\\a1.mid"), M("r.mid")})}, "T");
    Bytes before = Stored();
    Dialog().tree().SetNameCap(4);  // the root, A, B and r.mid
    std::vector<std::string> told;
    std::atomic<bool> done{false};
    std::thread user([&] {  // answers every box until the test is done
        HWND box = nullptr;
        while (WaitUntil([&] { return done || (box = FindMessageBox(GetCurrentProcessId())) != nullptr; }) && !done) {
            told.push_back(MessageBoxText(box));
            PressButton(box, IDOK);
            WaitUntil([&] { return !IsWindow(box); });
        }
    });
    HTREEITEM a = Item({"A"});
    TreeView_Expand(tree_, a, TVE_EXPAND);
    TreeView_Expand(tree_, Item({"B"}), TVE_EXPAND);
    ClickBox(a);
    EXPECT_EQ(Mark(a), 0x3000u);
    Dialog().state().dirty = true;
    Command(IDC_SAVE_BEST);
    done = true;
    JoinAnswering(user);
    EXPECT_EQ(Stored(), before);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("開いたフォルダの中身を加えると、ツリーに表示できる", 0), 0u) << told[0];
}

TEST_F(BestDialogTest, NewSaveDeleteAndTheSaveQuestion) {
    Open({Record("T", {}), Record("U", {M("r.mid")})}, "U");
    EXPECT_EQ(Mark(Item({"r.mid"})), 0x2000u);
    HWND combo = GetDlgItem(shell_.dialog, IDC_BEST_LIST);

    // Changes, then another best: Cancel stays, No leaves them, Yes saves.
    Key(Item({"r.mid"}), WM_CHAR, ' ');
    {
        BoxAnswerer answer(IDCANCEL);
        SelectBest(0);
        EXPECT_EQ(answer.text(), kSaveQuestion);
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
        EXPECT_EQ(answer.text(), "このベストを削除してもよろしいですか？");
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"T", "New"}));
    EXPECT_STREQ(shell_.player().CurrentBestName(), "New");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(shell_.dialog, IDC_CANCEL)));
    EXPECT_TRUE(BestSettingsDialog::From(shell_.dialog)->PlayerWaits());
    char shown[MAX_PATH] = "";
    GetDlgItemTextA(shell_.dialog, IDC_PLAY_BEST, shown, sizeof shown);
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
        EXPECT_EQ(answer.text(), "すべてのベストを削除することはできません。");
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"T"});
    Command(IDC_OK);
    PumpMessages();
    EXPECT_EQ(shell_.result, Closed({&R::bestToPlayChanged, &R::bestListChanged, &R::playingBestSaved}));
}

TEST_F(BestDialogTest, BestToPlayMidiFolderAlbumNamesAndPreview) {
    Open({Record("T", {}), Record("U", {})}, "T");
    SelectBest(1);
    Command(IDC_CHANGE_PLAY_BEST);
    char shown[MAX_PATH] = "";
    GetDlgItemTextA(shell_.dialog, IDC_PLAY_BEST, shown, sizeof shown);
    EXPECT_STREQ(shown, "U");

    // Album names: F2 names a folder; Esc takes the name away again.
    HTREEITEM a = Item({"A"});
    TreeView_SelectItem(tree_, a);
    NMTVKEYDOWN f2 = {{tree_, IDC_TREE, static_cast<UINT>(TVN_KEYDOWN)}, VK_F2, 0};
    SendMessageA(shell_.dialog, WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&f2));
    HWND edit = TreeView_GetEditControl(tree_);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetParent(edit), tree_);  // what the message loop knows a label edit by
    SetWindowTextA(edit, "アルバム");
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(store_.ReadAlbumName(M("A").c_str()), "アルバム");
    EXPECT_EQ(Label(Item({"アルバム"})), "アルバム");
    EXPECT_EQ(TreeView_GetEditControl(tree_), nullptr);  // the edit has ended
    EXPECT_FALSE(BestSettingsDialog::From(shell_.dialog)->PlayerWaits());
    // A fill shows the names the settings file keeps, in any letter case.
    std::string upper = M("A");
    CharUpperA(&upper[0]);
    store_.DeleteAlbumName(M("A").c_str());
    store_.WriteAlbumName(upper.c_str(), "アルバム");
    SwitchTab(shell_.dialog, 1);
    SwitchTab(shell_.dialog, 0);
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

    // A double-click on a file's icon plays it with the dialog as owner;
    // the engine's call to the owner ends it.
    HTREEITEM song = Item({"r.mid"});
    RECT label = {};
    TreeView_GetItemRect(tree_, song, &label, TRUE);
    SendMessageA(tree_, WM_LBUTTONDBLCLK, 0, MAKELPARAM(label.left - 8, (label.top + label.bottom) / 2));
    EXPECT_EQ(Events(), (std::vector<std::string>{"open " + AnsiToUtf8(M("r.mid")), "start"}));
    EXPECT_EQ(PlaybackOwner(), shell_.dialog);
    COPYDATASTRUCT end = {};
    SendMessageA(shell_.dialog, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&end));
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
    EXPECT_EQ(shell_.result, Closed({&R::bestToPlayChanged, &R::playingBestSaved}));
    EXPECT_STREQ(shell_.player().CurrentBestName(), "U");
    std::string root;
    program_key::ReadRaw(program_key::Key(), "Root", &root);
    EXPECT_EQ(root, other.path() + '\0');
}

// Typed as the keyboard types it, one character after another.
void Type(HWND edit, const wchar_t *text) {
    for (; *text; ++text) SendMessageW(edit, WM_CHAR, *text, 0);
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

TEST_F(BestDialogTest, AFailedSaveReportsOverTheDialogAndACloseMeanwhileEndsItCleanly) {
    // The resident window: the report's shut-down is posted to it.
    HWND resident = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    Open({Record("T", {}), Record("U", {})}, "T", resident);
    HWND dialog = shell_.dialog;
    std::string before, after;
    ReadWholeFile(store_.bestFile(), &before);
    store_.SetOption(Option::AutoSave, 1);
    Key(Item({"r.mid"}), WM_CHAR, ' ');
    // The writer cannot make its temporary file: a folder has its name.
    ASSERT_TRUE(CreateDirectoryA(data_.Join("KORVEL.tmp").c_str(), nullptr));

    // While the report is up the dialog takes no clicks; a Cancel that
    // reaches it all the same closes it, once OK's handler has returned, and
    // OK goes no further.
    std::string report;
    bool disabled = false;
    std::thread user([&] {
        HWND box = nullptr;
        WaitUntil([&] { return (box = FindMessageBox(GetCurrentProcessId())) != nullptr; });
        report = MessageBoxText(box);
        disabled = !IsWindowEnabled(dialog);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_CANCEL)));
        PressButton(box, IDOK);  // posted behind the close that Cancel posted
    });
    Command(IDC_OK);
    JoinAnswering(user);
    // The box's loop took the close; it waited for OK's handler to return.
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(shell_.closes, 0);
    MSG posted;
    while (PeekMessageA(&posted, dialog, 0, 0, PM_REMOVE)) DispatchMessageA(&posted);
    EXPECT_EQ(report.rfind("予期せぬエラーが発生しました。", 0), 0u) << report;
    EXPECT_TRUE(disabled);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(shell_.closes, 1);
    EXPECT_EQ(shell_.exits, std::vector<ExitReason>{ExitReason::FatalError});
    ReadWholeFile(store_.bestFile(), &after);
    EXPECT_EQ(after, before);
    DestroyWindow(resident);
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
    // A tab click leaves the focus in the edit: the name is kept all the same.
    SwitchTab(shell_.dialog, 1);
    EXPECT_EQ(TreeView_GetEditControl(tree_), nullptr);
    EXPECT_EQ(store_.ReadAlbumName(M("A").c_str()), "かき" + full.substr(0, 255));

    SwitchTab(shell_.dialog, 0);
    SetWindowTextA(TreeView_EditLabel(tree_, Item({"B"})), "ベスト盤");
    Command(IDC_CANCEL);
    EXPECT_EQ(TreeView_GetEditControl(tree_), nullptr);
    EXPECT_EQ(store_.ReadAlbumName(M("B").c_str()), "ベスト盤");
}

TEST_F(BestDialogTest, WithoutAMidiFolderTheDefaultBestIsMadeEmpty) {
    program_key::Delete(program_key::Key(), "Root");
    Open({}, nullptr);
    EXPECT_EQ(Names(), std::vector<std::string>{"すべてのMIDIファイル"});
    EXPECT_TRUE(Entries("すべてのMIDIファイル").empty());
    EXPECT_STREQ(shell_.player().CurrentBestName(), "すべてのMIDIファイル");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(shell_.dialog, IDC_CANCEL)));
}

using BestNameDialog = StoreFixture;

TEST_F(BestNameDialog, RefusesEmptyListedAndStoredNames) {
    WriteBests({Record("Stored", {})});
    HWND combo = CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Listed"));
    std::string name;
    std::vector<std::string> warnings;
    for (const char *refused : {"", "LISTED", "Stored"}) {
        // As a user would: type the name, press OK, read the warning, then
        // give up with Cancel.
        std::string warning;
        std::thread user([&] {
            DWORD self = GetCurrentProcessId();
            HWND dialog = nullptr, box = nullptr;
            WaitUntil([&] { return (dialog = FindMessageBox(self, "ベスト名の入力")) != nullptr; });
            SetDlgItemTextA(dialog, IDC_BEST_NAME, refused);
            PressButton(dialog, IDOK);
            WaitUntil([&] { return (box = FindMessageBox(self)) != nullptr; });
            warning = MessageBoxText(box);
            PressButton(box, IDOK);
            WaitUntil([&] { return !IsWindow(box); });
            PressButton(dialog, IDCANCEL);
        });
        EXPECT_FALSE(AskBestName(combo, combo, store_, &name)) << refused;
        JoinAnswering(user);
        warnings.push_back(warning);
    }
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "ベスト名が入力されていません。",
                            "このベスト名はすでに登録されています。\n別の名前を入力してください。",
                            "同じ名前のベストがすでに存在します。\n別の名前を入力してください。"}));
    DestroyWindow(combo);
}

TEST_F(BestSettingsTest, TheBestNameIsHeldTo259BytesAsTyped) {
    std::string name, typed = "ab";
    for (int i = 0; i < 128; ++i) typed += "あ";
    std::thread user([&] {
        HWND dialog = nullptr;
        WaitUntil([&] { return (dialog = FindMessageBox(GetCurrentProcessId(), "ベスト名の入力")) != nullptr; });
        HWND edit = GetDlgItem(dialog, IDC_BEST_NAME);
        SetWindowTextA(edit, typed.c_str());
        SendMessageA(edit, EM_SETSEL, 0, 0);
        Type(edit, L"いc");
        PressButton(dialog, IDOK);
    });
    HWND combo = Combo();
    EXPECT_TRUE(AskBestName(combo, combo, store_, &name));
    JoinAnswering(user);
    EXPECT_EQ(name, "c" + typed);
}

}  // namespace
