// The best settings dialog over the best file: filling its combo box, and
// saving the edited best with the save question answered as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "editor/best_settings_dialog.h"
#include "store/best_file.h"
#include "store/settings.h"
#include "support/best_bytes.h"
#include "support/win_test_support.h"

namespace {

using namespace tt;
using bestbytes::Bytes;
using bestbytes::Record;

const char kSaveQuestion[] = "このベストの変更点を保存しますか？";

// Answers the next message box of this process with a button, from a thread
// of its own while the test's thread waits inside the box.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button) : thread_([this, button] { Run(button); }) {}
    ~BoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    const std::string &text() const { return text_; }

private:
    void Run(int button) {
        DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < 15000) {
            if (HWND box = FindMessageBox(GetCurrentProcessId())) {
                text_ = MessageBoxText(box);
                PressButton(box, button);
                return;
            }
            Sleep(10);
        }
    }

    std::atomic<bool> stop_{false};
    std::string text_;
    std::thread thread_;
};

class NoShell : public EditorHost {
public:
    void CloseBestSettings(int) override {}
    bool HotkeyHookInstalled() override { return false; }
    void SetHotkeyHook(bool) override {}
    void SetDialogKeys(DialogKeys) override {}
};

class BestSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_key::Clear();
        g_settings = SettingsState{};
        lstrcpyA(g_store.dataFolder, data_.path().c_str());
        lstrcpyA(g_store.bestFile, data_.Join("KORVEL.dat").c_str());
    }
    void TearDown() override {
        if (combo_) DestroyWindow(combo_);
        g_store = StoreState{};
        program_key::Clear();
    }

    void Write(const Bytes &bytes) { data_.WriteFile("KORVEL.dat", std::vector<uint8_t>(bytes.begin(), bytes.end())); }

    Bytes Stored() {
        std::string content;
        if (!ReadWholeFile(g_store.bestFile, &content)) return {};
        return Bytes(content.begin(), content.end());
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

    ScratchFolder data_;
    NoShell shell_;
    BestSettingsDialog dialog_{&shell_};
    HWND combo_ = nullptr;
};

TEST_F(BestSettingsTest, TheComboBoxIsFilledAndTheSelectedBestLoaded) {
    Write(bestbytes::File({Record("Jazz", {"C:\\j.mid"}), Record("jazz", {"C:\\k.mid", "C:\\l.mid"}),
                           Record("Rock", {})}));
    best::BestRecord found;
    ASSERT_EQ(dialog_.ReadBests("jazz", kReadFind, nullptr, &found), 1);
    EXPECT_EQ(found.Count(), 2u);
    EXPECT_EQ(dialog_.ReadBests("JAZZ", kReadFind, nullptr, &found), 0);
    EXPECT_TRUE(found.IsNone());

    // Fill and select: the combo box holds every name, the edited best is loaded.
    dialog_.state().dirty = true;
    ASSERT_EQ(dialog_.ReadBests("Rock", kReadFillSelect, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ComboText(1), "jazz");
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 2);
    EXPECT_STREQ(found.Name(), "Rock");
    EXPECT_STREQ(dialog_.state().edited.Name(), "Rock");
    EXPECT_FALSE(dialog_.state().dirty);
    EXPECT_EQ(dialog_.ReadBests("Blues", kReadFillSelect, Combo(), &found), 0);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_TRUE(found.IsNone());
    ASSERT_EQ(dialog_.ReadBests("Blues", kReadFillSelectFirst, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 0);
    EXPECT_STREQ(dialog_.state().edited.Name(), "Jazz");
    ASSERT_EQ(dialog_.ReadBests("jazz", kReadFillSelectFirst, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 1);

    // Without a best file the combo box stays empty.
    DeleteFileA(g_store.bestFile);
    EXPECT_EQ(dialog_.ReadBests(nullptr, kReadFillSelectFirst, Combo(), &found), 0);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 0);
}

TEST_F(BestSettingsTest, TheSaveQuestionAndTheRebuildModes) {
    Bytes old = bestbytes::File({Record("Asked", {})});
    Write(old);
    Edit("Asked", {"C:\\a.mid"});

    // Nothing collected from the tree and nothing dirty: nothing to save.
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuild), kSaved);
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuildOnly), kSaved);
    EXPECT_FALSE(program_key::Exists(program_key::kHistoryKey, "Asked"));

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
    SetOption(OPT_AUTO_SAVE, 1);
    dialog_.state().dirty = true;
    Edit("Asked", {});
    EXPECT_EQ(dialog_.SaveBest(nullptr, true, kSaveRebuild), kSaved);
    EXPECT_EQ(Stored(), old);

    // A failed save keeps the changes marked as unsaved.
    HANDLE reader = CreateFileA(g_store.bestFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    dialog_.state().dirty = true;
    EXPECT_EQ(dialog_.SaveBest(nullptr, false, kSaveAsIs), kSaveFailed);
    CloseHandle(reader);
    EXPECT_TRUE(dialog_.state().dirty);
}

}  // namespace
