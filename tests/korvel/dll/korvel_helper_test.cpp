// The helper operations through the real KORVEL.dll: files and folder
// listings, the registry, shortcuts and the folder picker.  Literals are
// Shift-JIS here: ソ and 表 end in the byte of a backslash.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/korvel.h"
#include "utils/ansi_text.h"
#include "utils/folder_listing.h"
#include "tests/korvel/dll/korvel_test_windows.h"

namespace {

using Names = std::vector<std::string>;

// Every name of a listing, released as the program releases them.
Names Listed(const std::string &pattern, int kind, const char *filter) {
    int last = 12345;
    char **names = ListFolder(pattern.c_str(), kind, &last, filter);
    Names result;
    for (int i = 0; names && i <= last; ++i) {
        result.push_back(names[i]);
        FreeEngineMemory(names[i]);
    }
    FreeEngineMemory(names);
    EXPECT_EQ(last, static_cast<int>(result.size()) - 1);
    return result;
}

TEST(ListFolder, NamesInOrderFilteredByTheWholeExtension) {
    tt::ScratchFolder scratch;
    for (const char *name : {"b.mid", "A.MID", "_x.mid", "10.mid", "2.mid", "ソ.mid", "表.Mid", "a.mid.txt",
                             "x.midi", ".mid", "readme"})
        scratch.WriteFile(name, {'x'});
    for (const char *name : {"Sub", "album", "ソフト", "_1"}) scratch.MakeFolder(name);

    // The search pattern may also find x.midi through its short name.
    EXPECT_EQ(Listed(scratch.Join("*.mid"), 1, "*.mid"),
              (Names{".mid", "10.mid", "2.mid", "_x.mid", "A.MID", "b.mid", "ソ.mid", "表.Mid"}));
    EXPECT_EQ(Listed(scratch.Join("*.*"), 1, nullptr),
              (Names{".mid", "10.mid", "2.mid", "_x.mid", "A.MID", "a.mid.txt", "b.mid", "readme", "x.midi",
                     "ソ.mid", "表.Mid"}));
    EXPECT_EQ(Listed(scratch.Join("*.*"), 0, nullptr), (Names{"_1", "album", "Sub", "ソフト"}));

    EXPECT_TRUE(FileExists(scratch.Join("ソ.mid").c_str(), 0));
    EXPECT_FALSE(FileExists(scratch.Join("ソフト").c_str(), 0));
    EXPECT_FALSE(FileExists(scratch.Join("missing").c_str(), 0));
}

// A name the code page cannot spell comes back as '?' or a look-alike and
// could never be opened: the listing gives its short name instead, which
// can, and where the volume keeps none, leaves it out and says so.
TEST(ListFolder, ANameOutsideTheCodePageIsListedByOneThatOpensOrLeftOut) {
    tt::ScratchFolder scratch;
    scratch.WriteFile("a.mid", {'x'});
    const std::string base = scratch.Join("");  // ASCII: a scratch folder of the temporary folder
    std::wstring folder(base.begin(), base.end());
    HANDLE file = CreateFileW((folder + L"caf\u00e9 \u00e0 la carte.mid").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    Names names = Listed(scratch.Join("*.*"), 1, nullptr);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[names[0] == "a.mid" ? 1 : 0].find('?'), std::string::npos);
    for (const std::string &name : names) EXPECT_TRUE(FileExists(scratch.Join(name).c_str(), 0)) << name;

    // A volume without short names (exFAT, say), which Wine cannot show.
    listing::FolderEntries entries;
    ASSERT_TRUE(listing::ListEntries(scratch.Join("*.*").c_str(), &entries, listing::ShortNames::NoneKept));
    EXPECT_EQ(entries.files, Names{"a.mid"});
    EXPECT_EQ(entries.leftOut, std::vector<std::wstring>{L"caf\u00e9 \u00e0 la carte.mid"});
}

TEST(ListFolder, NothingToListGivesNull) {
    tt::ScratchFolder scratch;
    std::string empty = scratch.MakeFolder("empty");
    std::string tooLong = scratch.Join(std::string(300, 'a')) + "\\*.*";
    for (const std::string &pattern : {empty + "\\*.*", scratch.Join("missing\\*.*"), tooLong}) {
        EXPECT_EQ(Listed(pattern, 0, nullptr), Names{}) << pattern;
        EXPECT_EQ(Listed(pattern, 1, nullptr), Names{}) << pattern;
        EXPECT_FALSE(FileExists(pattern.c_str(), 0));
    }
    scratch.WriteFile("x.mid", {'x'});
    EXPECT_EQ(Listed(scratch.Join("*.*"), 2, nullptr), Names{});
    int last = 7;
    EXPECT_EQ(ListFolder(nullptr, 1, &last, nullptr), nullptr);
    EXPECT_EQ(last, -1);
    EXPECT_FALSE(FileExists(nullptr, 0));
    EXPECT_FALSE(FileExists("", 0));
}

// A registry key of the test's own, removed afterwards.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        char name[96];
        wsprintfA(name, "Software\\Zarnith\\TivornTest\\%lu-%lu", GetCurrentProcessId(), GetTickCount());
        subkey = name;
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, subkey.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Zarnith\\TivornTest");
    }
    DWORD Read(const char *name, void *buffer, DWORD size, DWORD type) {
        return ReadValue(subkey.c_str(), name, buffer, size, type, HKEY_CURRENT_USER);
    }
    void Write(const char *name, const void *data, DWORD size, DWORD type) {
        WriteValue(subkey.c_str(), name, data, size, type, HKEY_CURRENT_USER);
    }
    std::string subkey;
};

TEST_F(Registry, SizeQueryTooSmallBuffersAndOtherTypes) {
    const unsigned char block[29] = {0x78, 0x02, 0, 0, 2, 0x05, 9};
    Write("Settings", block, sizeof block, REG_BINARY);
    EXPECT_EQ(Read("Settings", nullptr, 0, REG_BINARY), 29u);
    unsigned char buffer[40];
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_EQ(Read("Settings", buffer, 28, REG_BINARY), 0u);
    EXPECT_EQ(Read("Settings", nullptr, 29, REG_BINARY), 0u);
    for (unsigned char b : buffer) ASSERT_EQ(b, 0xCC) << "a refused read wrote into the buffer";
    EXPECT_EQ(Read("Settings", buffer, sizeof buffer, REG_BINARY), 29u);
    EXPECT_EQ(std::memcmp(buffer, block, sizeof block), 0);

    EXPECT_EQ(Read("Settings", nullptr, 0, REG_SZ), 0u);
    EXPECT_EQ(Read("Settings", buffer, sizeof buffer, REG_DWORD), 0u);
    EXPECT_EQ(Read("Missing", nullptr, 0, REG_BINARY), 0u);
    DeleteValue(subkey.c_str(), "Settings", HKEY_CURRENT_USER);
    EXPECT_EQ(Read("Settings", nullptr, 0, REG_BINARY), 0u);
}

TEST_F(Registry, StringsComeBackTerminatedInsideTheBuffer) {
    const char folder[] = "C:\\ソ\\表";  // 8 bytes and the NUL
    Write("Root", folder, sizeof folder, REG_SZ);
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Read("Root", nullptr, 0, REG_SZ), 9u);
    EXPECT_EQ(Read("Root", buffer, 8, REG_SZ), 0u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(Read("Root", buffer, sizeof buffer, REG_SZ), 9u);
    EXPECT_STREQ(buffer, folder);

    // Stored by another program without its NUL: the caller still gets one.
    Write("Bare", "abc", 3, REG_SZ);
    Write("Empty", "", 0, REG_SZ);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Read("Bare", nullptr, 0, REG_SZ), 4u);
    EXPECT_EQ(Read("Bare", buffer, 3, REG_SZ), 0u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(Read("Bare", buffer, 4, REG_SZ), 4u);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(Read("Empty", buffer, sizeof buffer, REG_SZ), 1u);
    EXPECT_STREQ(buffer, "");
}

// Only a value that is not there may be taken for none: the last error says
// which answer a 0 is, and an expandable string is read as what it names.
TEST_F(Registry, TheLastErrorTellsAMissingValueFromOneThatCannotBeUsed) {
    const DWORD number = 7;
    Write("Number", &number, sizeof number, REG_DWORD);
    const char expandable[] = "%SystemRoot%\\ソ";
    Write("Expand", expandable, sizeof expandable, REG_EXPAND_SZ);
    Write("Empty", "", 0, REG_BINARY);
    char buffer[MAX_PATH], expanded[MAX_PATH];
    auto answer = [&](const char *name, DWORD size, DWORD type) {
        SetLastError(12345);
        DWORD got = Read(name, size ? buffer : nullptr, size, type);
        return std::make_pair(got, GetLastError());
    };
    using Answer = std::pair<DWORD, DWORD>;
    EXPECT_EQ(answer("Missing", 0, REG_SZ), Answer(0, ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(answer("Number", sizeof buffer, REG_SZ), Answer(0, ERROR_INVALID_DATATYPE));
    EXPECT_EQ(answer("Empty", sizeof buffer, REG_BINARY), Answer(0, ERROR_SUCCESS));
    ASSERT_GT(ExpandEnvironmentStringsA(expandable, expanded, sizeof expanded), 0u);
    EXPECT_EQ(answer("Expand", 0, REG_SZ), Answer(static_cast<DWORD>(std::strlen(expanded) + 1), ERROR_SUCCESS));
    EXPECT_EQ(answer("Expand", 4, REG_SZ), Answer(0, ERROR_MORE_DATA));
    EXPECT_EQ(answer("Expand", sizeof buffer, REG_SZ).second, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_STREQ(buffer, expanded);
}

TEST_F(Registry, JapaneseValueNamesAreStoredAsThemselves) {
    const unsigned char history[] = {0x05, 0x80};
    Write("ベスト１ソ", history, sizeof history, REG_BINARY);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"ベスト１ソ", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(Read("ベスト１", nullptr, 0, REG_BINARY), 0u);
    DeleteValue(subkey.c_str(), "ベスト１ソ", HKEY_CURRENT_USER);
    EXPECT_EQ(Read("ベスト１ソ", nullptr, 0, REG_BINARY), 0u);
}

TEST_F(Registry, OtherRootsAreRefused) {
    const unsigned char data[] = {1, 2, 3};
    Write("V", data, sizeof data, REG_BINARY);
    HKEY own;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_ALL_ACCESS, &own), ERROR_SUCCESS);
    for (HKEY root : {HKEY_LOCAL_MACHINE, own, static_cast<HKEY>(nullptr)}) {
        WriteValue(subkey.c_str(), "W", data, sizeof data, REG_BINARY, root);
        WriteValue("Child", "W", data, sizeof data, REG_BINARY, root);
        EXPECT_EQ(ReadValue(subkey.c_str(), "V", nullptr, 0, REG_BINARY, root), 0u);
        DeleteValue(subkey.c_str(), "V", root);
    }
    HKEY made;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &made), ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExA(own, "Child", 0, KEY_READ, &made), ERROR_SUCCESS);
    RegCloseKey(own);
    EXPECT_EQ(Read("V", nullptr, 0, REG_BINARY), 3u);
    EXPECT_EQ(Read("W", nullptr, 0, REG_BINARY), 0u);
    WriteValue("", "KorvelTestStray", data, sizeof data, REG_BINARY, HKEY_CURRENT_USER);
    EXPECT_NE(RegQueryValueExA(HKEY_CURRENT_USER, "KorvelTestStray", nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

TEST(ResolveShortcut, TargetOfAShortcutAndNothingForDamage) {
    tt::ScratchFolder scratch;
    scratch.MakeFolder("ソフト");
    std::string song = scratch.WriteFile("ソフト\\表.mid", {'x'});
    std::string lnk = scratch.Join("表ソ.lnk");
    ASSERT_TRUE(tt::MakeShortcut(lnk, song));
    char target[KORVEL_PATH_BUFFER];
    ASSERT_TRUE(ResolveShortcut(lnk.c_str(), target));
    EXPECT_TRUE(ansi::EqualNoCase(target, song.c_str())) << target;

    std::string damaged = scratch.WriteFile("damaged.lnk", std::vector<uint8_t>(200, 'L'));
    for (const std::string &path : {damaged, scratch.Join("missing.lnk"), std::string()}) {
        std::memset(target, 'x', sizeof target);
        EXPECT_FALSE(ResolveShortcut(path.c_str(), target)) << path;
        EXPECT_EQ(target[0], '\0');
    }
    EXPECT_FALSE(ResolveShortcut(lnk.c_str(), nullptr));
}

// Answers the folder picker from a second thread: finds it by its caption,
// picks a folder (or leaves the first one) and presses a button.
class PickerDriver {
public:
    PickerDriver(const char *caption, const char *select, int button)
        : caption_(caption), select_(select), button_(button), thread_([this] { Run(); }) {}
    ~PickerDriver() { thread_.join(); }
    bool found() const { return found_; }

private:
    void Run() {
        for (DWORD start = GetTickCount(); !dialog_ && GetTickCount() - start < 15000; Sleep(20)) {
            for (HWND window : tt::ProcessWindows(GetCurrentProcessId(), true))
                if (!dialog_ && tt::WindowText(window) == caption_) dialog_ = window;
        }
        if (!dialog_) return;
        found_ = true;
        if (select_) SendMessageA(dialog_, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(select_));
        PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
    }

    std::string caption_;
    const char *select_;
    int button_;
    HWND dialog_ = nullptr;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

TEST(BrowseFolder, CaptionCancelAndTheFormOfChosenFolders) {
    char folder[KORVEL_PATH_BUFFER] = "unchanged";
    {
        PickerDriver driver("フォルダの選択", nullptr, IDCANCEL);
        EXPECT_FALSE(BrowseFolder(nullptr, folder, "MIDIフォルダを指定してください。", "フォルダの選択"));
        EXPECT_TRUE(driver.found()) << "no picker with the caption";
    }
    EXPECT_STREQ(folder, "unchanged");

    // Folders the shell already knows: Wine's picker does not always find
    // one made moments ago by its path.  The caption is not "Tivorn": tests
    // that start the program run beside this one, and a window of that
    // title would be taken for a running copy.
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    std::string cases[][2] = {{std::string(windows) + "\\", windows}, {"C:\\", "C:\\"}};
    for (const auto &c : cases) {
        PickerDriver driver("フォルダの参照", c[0].c_str(), IDOK);
        EXPECT_TRUE(BrowseFolder(nullptr, folder, "", "フォルダの参照"));
        EXPECT_TRUE(ansi::EqualNoCase(folder, c[1].c_str())) << folder << " / " << c[1];
    }
    {   // the picker's first folder: a real one, without the separator
        PickerDriver driver("フォルダの参照", nullptr, IDOK);
        EXPECT_TRUE(BrowseFolder(nullptr, folder, "", "フォルダの参照"));
    }
    DWORD attributes = GetFileAttributesA(folder);
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << folder;
    EXPECT_FALSE(IsSeparatorAt(CharPrevExA(932, folder, folder + std::strlen(folder), 0))) << folder;
}

}  // namespace
