// The best file's reader and writer on real files in a scratch data folder,
// with the save question answered as a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/best_bytes.h"
#include "shell/shell_state.h"
#include "store/best_file.h"
#include "store/settings.h"
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

class BestFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_key::Clear();
        g_shell = ShellState{};
        g_settings = SettingsState{};
        lstrcpyA(g_store.dataFolder, data_.path().c_str());
        lstrcpyA(g_store.bestFile, data_.Join("KORVEL.dat").c_str());
        g_store.edited = best::BestRecord();
        g_store.dirty = false;
        FreeBestNames();
    }
    void TearDown() override {
        if (combo_) DestroyWindow(combo_);
        g_store = StoreState{};
        program_key::Clear();
    }

    void Write(const Bytes &bytes) { data_.WriteFile("KORVEL.dat", std::vector<uint8_t>(bytes.begin(), bytes.end())); }

    Bytes Stored(const std::string &name = "KORVEL.dat") {
        std::string content;
        if (!ReadWholeFile(data_.Join(name), &content)) return {};
        return Bytes(content.begin(), content.end());
    }

    // Files of the data folder, to see that no temporary file stays behind.
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(data_.Join("*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

    void Edit(const char *name, const std::vector<std::string> &entries) {
        g_store.edited = best::BestRecord::ForName(name);
        size_t cursor = g_store.edited.Terminator();
        for (const std::string &entry : entries) ASSERT_TRUE(g_store.edited.InsertEntry(&cursor, entry.c_str()));
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

    bool HistoryIsEmpty(const char *best) {
        std::string value;
        return program_key::ReadRaw(program_key::kHistoryKey, best, &value) && value.empty();
    }

    ScratchFolder data_;
    HWND combo_ = nullptr;
};

TEST_F(BestFileTest, ReaderFindsListsAndFillsByExactName) {
    Write(bestbytes::File({Record("Jazz", {"C:\\j.mid"}), Record("jazz", {"C:\\k.mid", "C:\\l.mid"}),
                           Record("Rock", {})}));
    best::BestRecord found;
    ASSERT_EQ(ReadBests("jazz", kReadFind, nullptr, &found), 1);
    EXPECT_STREQ(found.Name(), "jazz");
    EXPECT_EQ(found.Count(), 2u);
    EXPECT_EQ(ReadBests("JAZZ", kReadFind, nullptr, &found), 0);
    EXPECT_TRUE(found.IsNone());
    std::string longName(400, 'n');
    EXPECT_TRUE(FindBestInFile(longName.c_str()).IsNone());
    EXPECT_TRUE(FindBestInFile(nullptr).IsNone());

    ASSERT_EQ(ReadBests(nullptr, kReadNames, nullptr, nullptr), 1);
    EXPECT_EQ(g_store.bestNames, (std::vector<std::string>{"Jazz", "jazz", "Rock"}));

    // Fill and select: the combo box holds every name, the edited best is loaded.
    ASSERT_EQ(ReadBests("Rock", kReadFillSelect, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ComboText(1), "jazz");
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 2);
    EXPECT_STREQ(found.Name(), "Rock");
    EXPECT_STREQ(g_store.edited.Name(), "Rock");
    EXPECT_EQ(ReadBests("Blues", kReadFillSelect, Combo(), &found), 0);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_TRUE(found.IsNone());
    ASSERT_EQ(ReadBests("Blues", kReadFillSelectFirst, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 0);
    EXPECT_STREQ(g_store.edited.Name(), "Jazz");
    ASSERT_EQ(ReadBests("jazz", kReadFillSelectFirst, Combo(), &found), 1);
    EXPECT_EQ(SendMessageA(combo_, CB_GETCURSEL, 0, 0), 1);

    // Missing and empty files hold no best; the names stay what they were.
    for (bool empty : {true, false}) {
        if (empty)
            Write({});
        else
            DeleteFileA(g_store.bestFile);
        EXPECT_EQ(ReadBests("Jazz", kReadFind, nullptr, &found), 0);
        EXPECT_EQ(ReadBests(nullptr, kReadNames, nullptr, nullptr), 0);
        EXPECT_EQ(g_store.bestNames.size(), 3u);
        EXPECT_EQ(ReadBests(nullptr, kReadFillSelectFirst, Combo(), &found), 0);
        EXPECT_EQ(SendMessageA(combo_, CB_GETCOUNT, 0, 0), 0);
    }
}

TEST_F(BestFileTest, ReaderStopsAtTheFirstDamagedRecord) {
    Bytes badCount = Record("Bad", {"C:\\x.mid"}, 2, /*count=*/3);
    Write(bestbytes::File({Record("Good", {"C:\\g.mid"}), badCount, Record("Behind", {})}));
    ReadBests(nullptr, kReadNames, nullptr, nullptr);
    EXPECT_EQ(g_store.bestNames, std::vector<std::string>{"Good"});
    EXPECT_TRUE(FindBestInFile("Behind").IsNone());

    // A length that reaches past the end, and a file cut inside a record.
    Bytes file = bestbytes::File({Record("Good", {}), Record("Long", {"C:\\x.mid"}, 2, -1, 5000)});
    Write(file);
    EXPECT_TRUE(FindBestInFile("Long").IsNone());
    EXPECT_FALSE(FindBestInFile("Good").IsNone());
    file = bestbytes::File({Record("Good", {}), Record("Cut", {"C:\\x.mid"})});
    file.resize(file.size() - 10);
    Write(file);
    ReadBests(nullptr, kReadNames, nullptr, nullptr);
    EXPECT_EQ(g_store.bestNames, std::vector<std::string>{"Good"});
}

TEST_F(BestFileTest, WriterAppendsReplacesInPlaceAndDeletes) {
    // No file yet: it is created with the one record.
    Edit("B", {"C:\\b.mid"});
    g_store.dirty = true;
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaved);
    EXPECT_FALSE(g_store.dirty);
    EXPECT_EQ(Stored(), bestbytes::File({Record("B", {"C:\\b.mid"})}));
    EXPECT_TRUE(HistoryIsEmpty("B"));

    Write(bestbytes::File({Record("A", {"C:\\a.mid"}, 5), Record("B", {"C:\\b.mid"})}));
    Edit("C", {});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaved);
    Edit("A", {"C:\\x.mid", "C:\\y.mid"});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaved);
    EXPECT_EQ(Stored(), bestbytes::File({Record("A", {"C:\\x.mid", "C:\\y.mid"}), Record("B", {"C:\\b.mid"}),
                                         Record("C", {})}));

    Edit("B", {});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveDelete), kSaved);
    Bytes afterDelete = Stored();
    EXPECT_EQ(afterDelete, bestbytes::File({Record("A", {"C:\\x.mid", "C:\\y.mid"}), Record("C", {})}));
    Edit("Z", {});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveDelete), kSaved);
    EXPECT_EQ(Stored(), afterDelete);
    EXPECT_TRUE(HistoryIsEmpty("Z"));

    // The last best deleted: only the end marker is left.
    for (const char *name : {"A", "C"}) {
        Edit(name, {});
        ASSERT_EQ(SaveBest(nullptr, 0, kSaveDelete), kSaved);
    }
    EXPECT_EQ(Stored(), Bytes(4, 0));
    EXPECT_EQ(ReadBests(nullptr, kReadNames, nullptr, nullptr), 1);
    EXPECT_TRUE(g_store.bestNames.empty());
    EXPECT_EQ(Files(), std::vector<std::string>{"KORVEL.dat"});
}

TEST_F(BestFileTest, WriterSavesOverEmptyReadOnlyAndDamagedFiles) {
    // A file of 0 bytes is a file without bests.
    Write({});
    Edit("New", {"C:\\n.mid"});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaved);
    EXPECT_EQ(Stored(), bestbytes::File({Record("New", {"C:\\n.mid"})}));

    // A read-only file is made writable first.
    SetFileAttributesA(g_store.bestFile, FILE_ATTRIBUTE_READONLY);
    Edit("Other", {});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaved);
    EXPECT_EQ(Stored(), bestbytes::File({Record("New", {"C:\\n.mid"}), Record("Other", {})}));

    // Damaged records cannot be carried over; the old file is kept beside.
    Bytes damaged = bestbytes::File({Record("Good", {}), Record("Bad", {"C:\\x.mid"}, 2, 7), Record("Behind", {})});
    Write(damaged);
    Edit("Good", {"C:\\g.mid"});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaved);
    EXPECT_EQ(Stored(), bestbytes::File({Record("Good", {"C:\\g.mid"}), Record("Behind", {})}));
    EXPECT_EQ(Stored("KORVEL.dat.bak"), damaged);
    // A clean save leaves the copy alone.
    Edit("Good", {});
    ASSERT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaved);
    EXPECT_EQ(Stored("KORVEL.dat.bak"), damaged);
}

TEST_F(BestFileTest, AFailedSaveLeavesTheOldFileWhole) {
    Bytes old = bestbytes::File({Record("Keep", {"C:\\k.mid"})});
    Write(old);
    Edit("Keep", {});
    g_store.dirty = true;

    // Another program reads the file without letting it be replaced.
    HANDLE reader = CreateFileA(g_store.bestFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaveFailed);
    CloseHandle(reader);
    EXPECT_EQ(Stored(), old);
    EXPECT_TRUE(g_store.dirty);
    EXPECT_EQ(Files(), std::vector<std::string>{"KORVEL.dat"});

    // A file locked against reading is not taken for a missing one.
    HANDLE locker = CreateFileA(g_store.bestFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaveFailed);
    CloseHandle(locker);
    EXPECT_EQ(Stored(), old);

    // Without a data folder there is nowhere to write.
    g_store.dataFolder[0] = '\0';
    EXPECT_EQ(SaveBest(nullptr, 0, kSaveAsIs), kSaveFailed);
    EXPECT_EQ(Stored(), old);
}

TEST_F(BestFileTest, TheSaveQuestionAndTheRebuildModes) {
    Bytes old = bestbytes::File({Record("Asked", {})});
    Write(old);
    Edit("Asked", {"C:\\a.mid"});

    // Nothing collected from the tree and nothing dirty: nothing to save.
    EXPECT_EQ(SaveBest(nullptr, 1, kSaveRebuild), kSaved);
    EXPECT_EQ(SaveBest(nullptr, 1, kSaveRebuildOnly), kSaved);
    EXPECT_FALSE(program_key::Exists(program_key::kHistoryKey, "Asked"));

    g_store.dirty = true;
    EXPECT_EQ(SaveBest(nullptr, 1, kSaveRebuildOnly), kSaveCancelled);
    {
        BoxAnswerer answer(IDCANCEL);
        EXPECT_EQ(SaveBest(nullptr, 1, kSaveRebuild), kSaveCancelled);
        EXPECT_EQ(answer.text(), kSaveQuestion);
    }
    {
        BoxAnswerer answer(IDNO);
        EXPECT_EQ(SaveBest(nullptr, 1, kSaveRebuild), kSaveDeclined);
    }
    EXPECT_TRUE(g_store.dirty);
    EXPECT_EQ(Stored(), old);
    {
        BoxAnswerer answer(IDYES);
        EXPECT_EQ(SaveBest(nullptr, 1, kSaveRebuild), kSaved);
    }
    EXPECT_EQ(Stored(), bestbytes::File({Record("Asked", {"C:\\a.mid"})}));

    // Saved without asking when changes are saved automatically.
    SetOption(OPT_AUTO_SAVE, 1);
    g_store.dirty = true;
    Edit("Asked", {});
    EXPECT_EQ(SaveBest(nullptr, 1, kSaveRebuild), kSaved);
    EXPECT_EQ(Stored(), old);
}

TEST_F(BestFileTest, DataFolderIsStoredWhenTheProgramsFolderIsChosen) {
    g_store = StoreState{};
    data_.WriteFile("KORVEL.dat", {0, 0, 0, 0});
    program_key::WriteString(program_key::kKey, "DataPath", data_.path() + "\\");
    ASSERT_TRUE(LoadDataFolder());
    EXPECT_EQ(std::string(g_store.dataFolder), data_.path());
    EXPECT_EQ(std::string(g_store.bestFile), data_.Join("KORVEL.dat"));
    EXPECT_EQ(std::string(g_store.settingsFile), data_.Join("KORVEL.ini"));

    DeleteFileA(data_.Join("KORVEL.dat").c_str());
    ASSERT_TRUE(LoadDataFolder());
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    *strrchr(module, '\\') = '\0';
    EXPECT_STREQ(g_store.dataFolder, module);
    std::string stored;
    ASSERT_TRUE(program_key::ReadRaw(program_key::kKey, "DataPath", &stored));
    EXPECT_EQ(stored, std::string(module) + '\0');
}

}  // namespace
