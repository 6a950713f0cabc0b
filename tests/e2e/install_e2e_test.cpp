// The setup program end to end in the test prefix: a silent installation
// that plays, one over a running copy that keeps the user's state and starts
// it again, one through its pages with the synthesizer ticked, and the
// uninstaller, which keeps the user's data unless told otherwise; both wait
// for a copy they cannot end.
#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/resident_window.h"
#include "resources/resource_ids.h"
#include "testing/best_bytes.h"
#include "testing/midi_writer.h"
#include "testing/win_test_support.h"

namespace {

using namespace tt;

// The real Tivorn.exe runs here: it keeps its state under its own key.
const bool kProgramsKey = program_key::UseProgramsKey();

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tivorn";
const char kAskRemoveData[] = "ベスト、再生の履歴、設定も削除しますか？\n\n「いいえ」を選ぶと、これらは残り、"
                              "もう一度インストールしたときにそのまま使えます。";
const char kBest[] = "インストールのテスト";
const char *const kProgramFiles[] = {"Tivorn.exe", "KORVEL.dll", "KORVEL.chm"};
// Installed beside them from elsewhere than build/bin.
const char *const kCompanionFiles[] = {"tivornctl.exe", "TimGM6mb.sf2", "TimGM6mb-license.txt"};
const char kEngineKey[] = "Software\\Zarnith\\Tivorn\\Engine";

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}
std::string Installed(const std::string &name = "") {
    return ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Tivorn" + (name.empty() ? "" : "\\" + name);
}
std::string Shortcut(int csidl) { return ShellFolder(csidl) + "\\Tivorn.lnk"; }
// "Open with": the application's entry, its ProgID, and a type's key.
const char kAppKey[] = "Software\\Classes\\Applications\\Tivorn.exe";
const char kProgIdKey[] = "Software\\Classes\\Zarnith.Tivorn.MidiFile";
const char kMidKey[] = "Software\\Classes\\.mid";
const char kKarList[] = "Software\\Classes\\.kar\\OpenWithProgids";

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::string Content(const std::string &path) {
    std::string content = "(missing)";
    ReadWholeFile(path, &content);
    return content;
}
// A stored value; a string without its NUL.
std::string Value(const char *subkey, const char *name) {
    std::string data;
    DWORD type = REG_NONE;
    if (!program_key::ReadRaw(subkey, name, &data, &type)) return "(missing)";
    return type == REG_SZ ? std::string(data.c_str()) : data;
}
std::string Bytes(const std::vector<uint8_t> &bytes) { return std::string(bytes.begin(), bytes.end()); }
bool KeyExists(const char *subkey) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The first window below top of that class, with that text unless text is null.
HWND FindDescendant(HWND top, const char *windowClass, const char *text) {
    struct Search {
        const char *windowClass, *text;
        HWND found;
    } search{windowClass, text, nullptr};
    EnumChildWindows(
        top,
        [](HWND window, LPARAM parameter) -> BOOL {
            auto &s = *reinterpret_cast<Search *>(parameter);
            if (ClassName(window) != s.windowClass || (s.text && WindowText(window) != s.text)) return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The setup's window once it holds a window of that class (and text), and
// its Next button (IDOK) can be pressed; *child is that window.
HWND WaitForPage(DWORD process, const char *windowClass, const char *text, HWND *child) {
    HWND page = nullptr;
    WaitUntil([&] {
        for (HWND window : ProcessWindows(process, true)) {
            HWND next = GetDlgItem(window, IDOK);
            if (next && IsWindowEnabled(next) && (*child = FindDescendant(window, windowClass, text))) page = window;
        }
        return page != nullptr;
    });
    return page;
}

// Runs the setup, or the uninstaller in place (without _? it copies itself
// away and ends at once); the exit code, or STILL_ACTIVE.
DWORD InstallSilently(const std::string &options = "") {
    const char *setup = std::getenv("TIVORN_SETUP");
    TivornProcess process;
    return process.Start("/S" + options, WindowsPath(setup ? setup : "")) ? process.WaitForExit(60000) : ~DWORD(0);
}
bool StartUninstall(TivornProcess *process, const std::string &options) {
    return process->Start(options + " _?=" + Installed(), Installed("Uninstall.exe"));
}

// Ends the running copy by its resident window's exit command; its exit
// code, or STILL_ACTIVE when none runs.
DWORD EndRunningCopy() {
    HWND window = FindTivornWindow();
    DWORD id = 0, code = STILL_ACTIVE;
    if (!window || !GetPropA(window, TIVORN_RESIDENT_PROP)) return code;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
    if (process && WaitForSingleObject(process, 15000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    if (process) CloseHandle(process);
    return code;
}

// Not in the SDK's headers: makes a window the desktop's Shell window.
extern "C" BOOL WINAPI SetShellWindow(HWND window);

// A window of this process standing in for the desktop's Shell while it
// lives.  Only where there is none, as in the test prefix.
struct StandInShell {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    bool set = SetShellWindow(window);
    ~StandInShell() { DestroyWindow(window); }
};
DWORD ParentOf(DWORD id) {
    DWORD parent = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == id) parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent;
}

class InstallE2E : public ::testing::Test {
protected:
    // Nothing of an installation may outlast a test: the other tests expect
    // no key, and the prefix would start the program with Wine.
    void SetUp() override { TearDown(); }
    void TearDown() override {
        EndRunningCopy();  // one a setup started again
        program_key::Clear();
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Zarnith");  // only when empty
        RegDeleteTreeA(HKEY_CURRENT_USER, kUninstallKey);
        for (const char *key : {kAppKey, kProgIdKey, kMidKey, "Software\\Classes\\.kar"})
            RegDeleteTreeA(HKEY_CURRENT_USER, key);
        DeleteFileA(Shortcut(CSIDL_PROGRAMS).c_str());
        DeleteFileA(Shortcut(CSIDL_STARTUP).c_str());
        DeleteTree(Installed());
    }

    // A best of one song in the data folder `folder`; starts the installed
    // program on it and waits until the song plays and its history is kept.
    void StartPlaying(const std::string &folder) {
        std::string song = songs_.WriteFile("song.mid", midiw::Tune({60}, 960));
        bestbytes::Bytes file = bestbytes::File({bestbytes::Record(kBest, {song})});
        songs_.WriteFile("KORVEL.dat", std::vector<uint8_t>(file.begin(), file.end()));
        if (folder != songs_.path()) {
            ASSERT_TRUE(CopyFileA(songs_.Join("KORVEL.dat").c_str(), (folder + "\\KORVEL.dat").c_str(), FALSE));
        }
        program_key::WriteString(program_key::Key(), "DataPath", folder);
        program_key::WriteString(program_key::Key(), "PlayBest", kBest);
        program_key::WriteString("Software\\Zarnith\\Tivorn\\Engine", "Output", "log:" + songs_.Join("log"));
        ASSERT_TRUE(tivorn_.Start("", Installed("Tivorn.exe")));
        ASSERT_TRUE(WaitUntil([&] {
            std::vector<std::string> log = ReadLines(songs_.Join("log"));
            return std::find(log.begin(), log.end(), "start") != log.end() &&
                   program_key::Exists(program_key::HistoryKey(), kBest);
        }));
    }

    ScratchFolder songs_;
    TivornProcess tivorn_;
};

TEST_F(InstallE2E, SilentInstallPlaysAndSilentUninstallEndsTheProgramAndKeepsTheData) {
    program_key::WriteString(kMidKey, "", "Their.mid");  // another program's default: not taken over
    ASSERT_EQ(InstallSilently(), 0u);
    std::string command = "\"" + Installed("Tivorn.exe") + "\" \"%1\"";
    EXPECT_EQ(Value((std::string(kAppKey) + "\\shell\\open\\command").c_str(), ""), command);
    EXPECT_EQ(Value((std::string(kAppKey) + "\\SupportedTypes").c_str(), ".rmi"), "");
    EXPECT_TRUE(program_key::Exists(kKarList, "Zarnith.Tivorn.MidiFile"));
    for (const char *name : kProgramFiles) EXPECT_EQ(Content(Installed(name)), Content(BinDir() + "\\" + name));
    for (const char *name : kCompanionFiles) EXPECT_TRUE(Exists(Installed(name))) << name;
    EXPECT_EQ(Value(kEngineKey, "Output"), "(missing)");  // the mapper, unless ticked
    EXPECT_TRUE(Exists(Shortcut(CSIDL_PROGRAMS)));
    EXPECT_TRUE(Exists(Shortcut(CSIDL_STARTUP)));
    EXPECT_EQ(Value(program_key::Key(), "Settings"), Bytes(program_key::Settings()));
    EXPECT_EQ(Value(program_key::Key(), "Root"), ShellFolder(CSIDL_MYMUSIC));
    std::string uninstaller = "\"" + Installed("Uninstall.exe") + "\"";
    const char *version = std::getenv("TIVORN_VERSION");
    const std::string expected[][2] = {
        {"DisplayName", "Tivorn"}, {"DisplayVersion", version ? version : ""}, {"Publisher", "Zarnith"},
        {"UninstallString", uninstaller}, {"QuietUninstallString", uninstaller + " /S"},
        {"InstallLocation", Installed()}, {"DisplayIcon", Installed("Tivorn.exe") + ",0"},
        {"NoModify", std::string("\1\0\0\0", 4)}, {"NoRepair", std::string("\1\0\0\0", 4)}};
    for (const auto &value : expected) EXPECT_EQ(Value(kUninstallKey, value[0].c_str()), value[1]) << value[0];
    std::string size = Value(kUninstallKey, "EstimatedSize");
    ASSERT_EQ(size.size(), 4u);
    EXPECT_GT(*reinterpret_cast<const DWORD *>(size.data()), Content(Installed("Tivorn.exe")).size() / 1024);

    StartPlaying(songs_.path());
    std::string history = Value(program_key::HistoryKey(), kBest);
    TivornProcess uninstall;
    ASSERT_TRUE(StartUninstall(&uninstall, "/S"));
    ASSERT_EQ(uninstall.WaitForExit(60000), 0u);
    EXPECT_EQ(tivorn_.WaitForExit(0), 0u);  // ended by its exit command, not killed
    for (const char *name : kProgramFiles) EXPECT_FALSE(Exists(Installed(name))) << name;
    for (const char *name : kCompanionFiles) EXPECT_FALSE(Exists(Installed(name))) << name;
    EXPECT_FALSE(Exists(Shortcut(CSIDL_PROGRAMS)));
    EXPECT_FALSE(Exists(Shortcut(CSIDL_STARTUP)));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    for (const char *key : {kAppKey, kProgIdKey, kKarList}) EXPECT_FALSE(KeyExists(key)) << key;
    EXPECT_EQ(Value(kMidKey, ""), "Their.mid");
    EXPECT_TRUE(Exists(songs_.Join("KORVEL.dat")));
    EXPECT_EQ(Value(program_key::HistoryKey(), kBest), history);
    EXPECT_EQ(Value(program_key::Key(), "Settings"), Bytes(program_key::Settings()));
}

TEST_F(InstallE2E, InstallingOverARunningCopyKeepsTheUsersStateAndMendsOnlyUnusableSettings) {
    ASSERT_EQ(InstallSilently(), 0u);
    std::vector<uint8_t> settings = program_key::Settings(0x15, 0x0274, 0x0675);
    settings[4] = 4;
    settings[20] = 0xA5;
    program_key::WriteSettings(settings);
    program_key::WriteString(program_key::Key(), "Root", "C:\\MIDI");
    ASSERT_TRUE(DeleteFileA(Shortcut(CSIDL_STARTUP).c_str()));  // unticked: stays so
    StartPlaying(Installed());  // the data folder the program starts with
    std::string bests = Content(Installed("KORVEL.dat")), history = Value(program_key::HistoryKey(), kBest);

    StandInShell shell;
    ASSERT_TRUE(shell.set);
    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_EQ(tivorn_.WaitForExit(0), 0u);
    EXPECT_EQ(Value(program_key::Key(), "Settings"), Bytes(settings));
    EXPECT_EQ(Value(program_key::Key(), "Root"), "C:\\MIDI");
    EXPECT_EQ(Content(Installed("KORVEL.dat")), bests);
    EXPECT_EQ(Value(program_key::HistoryKey(), kBest), history);
    EXPECT_FALSE(Exists(Shortcut(CSIDL_STARTUP)));
    // A silent update started it again, and as setup is elevated (Wine
    // reports every process so), as a child of the Shell window's process.
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (window = FindTivornWindow()) && GetPropA(window, TIVORN_RESIDENT_PROP); }, 30000));
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    EXPECT_EQ(ParentOf(id), GetCurrentProcessId());
    EXPECT_TRUE(WaitUntil([] { return EndRunningCopy() == 0; }, 30000));

    // The program asks for setup when "Settings" is no 29-byte block.
    // Ticked, the synthesizer plays the shipped SoundFont; installing again
    // keeps it ticked, and with it a SoundFont the user chose.
    program_key::WriteSettings(std::vector<uint8_t>(30, 7));
    ASSERT_EQ(InstallSilently(" /SYNTH"), 0u);
    EXPECT_EQ(Value(program_key::Key(), "Settings"), Bytes(program_key::Settings()));
    EXPECT_EQ(Value(kEngineKey, "Output"), "synth:" + Installed("TimGM6mb.sf2"));
    program_key::WriteString(kEngineKey, "Output", "synth:C:\\ソ\\mine.sf2");
    program_key::WriteString(program_key::Key(), "Settings", std::string(28, 'x'));
    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_EQ(Value(program_key::Key(), "Settings"), Bytes(program_key::Settings()));
    EXPECT_EQ(Value(kEngineKey, "Output"), "synth:C:\\ソ\\mine.sf2");
}

TEST_F(InstallE2E, ACopyWithoutAResidentWindowHoldsOffSetupAndUninstallUntilItEnds) {
    ASSERT_EQ(InstallSilently(), 0u);
    program_key::Delete(program_key::Key(), "Settings");  // the copy shows only its box
    TivornProcess boxOnly;
    ASSERT_TRUE(boxOnly.Start("", Installed("Tivorn.exe")));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(boxOnly.id())) != nullptr; }));
    TivornProcess uninstall;
    ASSERT_TRUE(StartUninstall(&uninstall, "/S"));
    EXPECT_NE(uninstall.WaitForExit(60000), 0u);
    EXPECT_NE(InstallSilently(), 0u);
    for (const char *name : kProgramFiles) EXPECT_TRUE(Exists(Installed(name))) << name;
    EXPECT_TRUE(KeyExists(kUninstallKey));
    EXPECT_FALSE(program_key::Exists(program_key::Key(), "Settings"));  // setup wrote nothing

    PressButton(box, IDOK);
    ASSERT_EQ(boxOnly.WaitForExit(), 0u);
    ASSERT_EQ(InstallSilently(), 0u);
    EXPECT_EQ(Value(program_key::Key(), "Settings"), Bytes(program_key::Settings()));
}

TEST_F(InstallE2E, InstallByThePagesWithTheSynthesizerTickedAndUninstallToldToRemoveTheData) {
    // As a user would: Next on the welcome page; on the components page the
    // third item (the synthesizer) ticked with the space bar; Tivorn not
    // started from the finish page.
    const char *setupPath = std::getenv("TIVORN_SETUP");
    TivornProcess setup;
    ASSERT_TRUE(setup.Start("", WindowsPath(setupPath ? setupPath : "")));
    HWND page = nullptr, child = nullptr;
    ASSERT_TRUE(page = WaitForPage(setup.id(), "Button", nullptr, &child)) << "the welcome page";
    PressButton(page, IDOK);  // 次へ
    ASSERT_TRUE(page = WaitForPage(setup.id(), "SysTreeView32", nullptr, &child)) << "the components page";
    HTREEITEM item = TreeView_GetRoot(child);
    for (int i = 0; i < 2 && item; ++i) item = TreeView_GetNextSibling(child, item);
    ASSERT_NE(item, nullptr);
    auto ticks = [&] {
        return SendMessageA(child, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
    };
    LRESULT unticked = ticks();
    TreeView_SelectItem(child, item);
    PostMessageA(child, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageA(child, WM_KEYUP, VK_SPACE, 0);
    ASSERT_TRUE(WaitUntil([&] { return ticks() != unticked; }));
    PressButton(page, IDOK);  // インストール
    ASSERT_TRUE(page = WaitForPage(setup.id(), "Button", "Tivorn を起動する", &child)) << "the finish page";
    PostMessageA(child, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(child, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }));
    PressButton(page, IDOK);  // 完了
    ASSERT_EQ(setup.WaitForExit(60000), 0u);
    EXPECT_EQ(Value(kEngineKey, "Output"), "synth:" + Installed("TimGM6mb.sf2"));
    EXPECT_TRUE(Exists(Shortcut(CSIDL_STARTUP)));
    EXPECT_EQ(FindTivornWindow(), nullptr);
    StartPlaying(songs_.path());
    tivorn_.Exit();
    for (const char *name : {"KORVEL.ini", "KORVEL.bak", "KORVEL.tmp", "KORVEL.~3a", "KORVEL.log"})
        songs_.WriteFile(name, {'[', 'A', ']'});
    std::string theirs[] = {songs_.WriteFile("mine\\KORVEL.dat", {1}), songs_.Join("song.mid"), Installed("x.txt")};
    ASSERT_TRUE(CopyFileA(songs_.Join("KORVEL.dat").c_str(), Installed("KORVEL.dat").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(theirs[0].c_str(), theirs[2].c_str(), FALSE));

    TivornProcess uninstall;
    ASSERT_TRUE(StartUninstall(&uninstall, ""));
    HWND box = nullptr;
    ASSERT_TRUE(page = WaitForPage(uninstall.id(), "Button", nullptr, &child));
    PressButton(page, IDOK);  // アンインストール
    ASSERT_TRUE(WaitUntil([&] {
        for (HWND window : ProcessWindows(uninstall.id(), true))
            if (MessageBoxText(window) == kAskRemoveData) box = window;
        return box != nullptr;
    }));
    EXPECT_EQ(GetWindowLongPtrA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    PressButton(box, IDYES);
    ASSERT_EQ(uninstall.WaitForExit(60000), 0u);

    for (const char *name : {"KORVEL.dat", "KORVEL.ini", "KORVEL.bak", "KORVEL.tmp", "KORVEL.~3a", "KORVEL.log"})
        EXPECT_FALSE(Exists(songs_.Join(name))) << name;
    EXPECT_FALSE(Exists(Installed("KORVEL.dat")));
    EXPECT_FALSE(Exists(Installed("Tivorn.exe")));
    EXPECT_FALSE(KeyExists(program_key::Key()));
    for (const std::string &path : theirs) EXPECT_TRUE(Exists(path)) << path;
}

}  // namespace
