// The best settings dialog over the best file: filling its combo box, and
// saving the edited best with the save question answered as a user would;
// the name asked for a new best.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "editor/best_dialog_fixture.h"
#include "editor/best_name_dialog.h"
#include "editor/best_settings_dialog.h"
#include "resources/resource_ids.h"
#include "store/store.h"
#include "testing/best_bytes.h"
#include "testing/fake_editor_host.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;
using namespace best_dialog;

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

    FakeEditorHost app_{store_};
    BestSettingsDialog dialog_{&app_, store_};
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
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, SaveBestMode::Rebuild), SaveBestResult::Saved);
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, SaveBestMode::RebuildOnly), SaveBestResult::Saved);
    EXPECT_FALSE(program_key::Exists(program_key::HistoryKey(), "Asked"));

    dialog_.state().dirty = true;
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, SaveBestMode::RebuildOnly), SaveBestResult::Cancelled);
    {
        BoxAnswerer answer(IDCANCEL);
        EXPECT_EQ(dialog_.SaveBest(nullptr, true, SaveBestMode::Rebuild), SaveBestResult::Cancelled);
        EXPECT_EQ(answer.Text(), kSaveQuestion);
    }
    {
        BoxAnswerer answer(IDNO);
        EXPECT_EQ(dialog_.SaveBest(nullptr, true, SaveBestMode::Rebuild), SaveBestResult::Declined);
    }
    EXPECT_TRUE(dialog_.state().dirty);
    EXPECT_EQ(Stored(), old);
    {
        BoxAnswerer answer(IDYES);
        EXPECT_EQ(dialog_.SaveBest(nullptr, true, SaveBestMode::Rebuild), SaveBestResult::Saved);
    }
    EXPECT_EQ(Stored(), bestbytes::File({Record("Asked", {"C:\\a.mid"})}));
    EXPECT_FALSE(dialog_.state().dirty);

    // Saved without asking when changes are saved automatically.
    store_.SetOption(Option::AutoSave, 1);
    dialog_.state().dirty = true;
    Edit("Asked", {});
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, SaveBestMode::Rebuild), SaveBestResult::Saved);
    EXPECT_EQ(Stored(), old);

    // A failed save keeps the changes counted as unsaved.
    HANDLE reader = CreateFileA(store_.bestFile(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    dialog_.state().dirty = true;
    {
        BoxAnswerer answer(IDCANCEL);
        EXPECT_EQ(dialog_.SaveBest(nullptr, false, SaveBestMode::AsIs), SaveBestResult::Failed);
    }
    CloseHandle(reader);
    EXPECT_TRUE(dialog_.state().dirty);
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
