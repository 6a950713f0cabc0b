// Start, single instance and exit of the real program.
#include <gtest/gtest.h>

#include <thread>

#include "engine/resident_window.h"
#include "testing/best_bytes.h"
#include "testing/store_fixture.h"
#include "utils/code_page.h"

namespace {

using namespace tt;

// The real Tivorn.exe runs here: it keeps its state under its own key.
const bool kProgramsKey = program_key::UseProgramsKey();

const char kNotInstalled[] =
    "Tivorn はインストールされていません。\nセットアップを実行してください。";
const char kNoMidiFiles[] = "このベストにはMIDIファイルがありません。\nほかのベストを指定してください。";

class StartupTest : public ProgramKeyFixture {
protected:
    // Starts a copy that shows its not-installed message; checks it and
    // answers it.
    void ExpectNotInstalled() {
        TivornProcess tivorn;
        ASSERT_TRUE(tivorn.Start());
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(tivorn.id())) != nullptr; }));
        EXPECT_EQ(MessageBoxText(box), kNotInstalled);
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
        // Nothing else: no resident window.
        for (HWND window : ProcessWindows(tivorn.id()))
            EXPECT_TRUE(window == box || !IsWindowVisible(window) || ClassName(window) != "#32770")
                << WindowText(window);
        EXPECT_EQ(tivorn.WaitForResidentWindow(500), nullptr);
        PressButton(box, IDOK);
        EXPECT_EQ(tivorn.WaitForExit(), 0u);
    }
};

TEST_F(StartupTest, WithoutUsableSettingsTheProgramIsNotInstalled) {
    ExpectNotInstalled();  // no key at all

    std::vector<uint8_t> tooLong(30, 0);
    program_key::WriteSettings(tooLong);
    ExpectNotInstalled();

    program_key::WriteString(program_key::Key(), "Settings", "not a block");
    ExpectNotInstalled();
}

TEST_F(StartupTest, RunsHiddenOnceAndExitsWithTheMenuCommand) {
    program_key::WriteSettings(program_key::Settings());
    TivornProcess first;
    ASSERT_TRUE(first.Start());
    HWND resident = first.WaitForResidentWindow();
    ASSERT_NE(resident, nullptr);
    EXPECT_EQ(WindowText(resident), "Tivorn");
    EXPECT_EQ(ClassName(resident), "#32770");
    EXPECT_FALSE(IsWindowVisible(resident));
    EXPECT_TRUE(first.Running());

    // Second starts hand their command line over and end at once.  The
    // settings are gone meanwhile: a copy that read them would complain.
    program_key::Delete(program_key::Key(), "Settings");
    const char *commandLines[] = {"", "/next", "/stop", "/restart", "/NEXTBEST", "nonsense \"quoted arg\"",
                                  "/menu /menu", "\xff\xfe\x81"};
    for (const char *commandLine : commandLines) {
        TivornProcess second;
        ASSERT_TRUE(second.Start(commandLine));
        EXPECT_EQ(second.WaitForExit(), 0u) << commandLine;
        EXPECT_TRUE(ProcessWindows(second.id()).empty()) << commandLine;
    }
    TivornProcess longLine;
    ASSERT_TRUE(longLine.Start(std::string(20000, 'x'))) << "CreateProcess error " << GetLastError();
    EXPECT_EQ(longLine.WaitForExit(), 0u);

    // A file the code page cannot spell and that has no short name (here: is
    // not there) is named in a box, in UTF-16.
    std::string program = ProgramPath();
    std::wstring line = L"\"" + std::wstring(program.begin(), program.end()) + L"\" \"C:\\nowhere\\\uD55C.mid\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    HWND leftOut = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (leftOut = FindMessageBox(started.dwProcessId)) != nullptr; }));
    wchar_t text[512] = L"";
    GetDlgItemTextW(leftOut, 0xFFFF, text, ARRAYSIZE(text));
    EXPECT_NE(std::wstring(text).find(L"\n\nC:\\nowhere\\\uD55C.mid"), std::wstring::npos);
    PressButton(leftOut, IDOK);
    DWORD code = STILL_ACTIVE;
    EXPECT_EQ(WaitForSingleObject(started.hProcess, 15000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(started.hProcess, &code) && code == 0);
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);

    EXPECT_TRUE(first.Running());
    // With no best to play, "/next" warns that there is nothing to play; no
    // other command shows anything.
    if (HWND box = FindMessageBox(first.id())) {
        EXPECT_EQ(MessageBoxText(box), kNoMidiFiles);
        PressButton(box, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    EXPECT_EQ(FindMessageBox(first.id()), nullptr);
    EXPECT_EQ(first.Exit(), 0u);
}

TEST_F(StartupTest, ADataFolderOutOfReachIsToldOfAndNothingChanges) {
    // A copy of the program whose own folder, where a data folder that "is
    // not there" would fall back to, holds a best file.
    std::string program = ProgramPath(), dll = program.substr(0, program.rfind('\\')) + "\\KORVEL.dll";
    ASSERT_TRUE(CopyFileA(program.c_str(), data_.Join("Tivorn.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(dll.c_str(), data_.Join("KORVEL.dll").c_str(), FALSE));
    WriteBests({bestbytes::Record("Here", {})});
    // A drive letter with no drive behind it, as a share not yet reconnected.
    char letter = 'Y';
    while (letter > 'D' && (GetLogicalDrives() & (1u << (letter - 'A')))) --letter;
    std::string away = std::string(1, letter) + ":\\Tivorn";
    program_key::WriteSettings(program_key::Settings());
    program_key::WriteString(program_key::Key(), "DataPath", away);
    program_key::WriteBinary(program_key::HistoryKey(), "There", "\x05", 1);
    std::string registry = program_key::Snapshot();
    bestbytes::Bytes bests = Stored();

    TivornProcess tivorn;
    ASSERT_TRUE(tivorn.Start("", data_.Join("Tivorn.exe")));
    for (int button : {IDRETRY, IDCANCEL}) {
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(tivorn.id())) != nullptr; }));
        EXPECT_EQ(MessageBoxText(box).find("フォルダ「" + away + "」にアクセスできませんでした。"), 0u);
        PressButton(box, button);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    EXPECT_EQ(tivorn.WaitForExit(), 0u);
    EXPECT_EQ(program_key::Snapshot(), registry);
    EXPECT_EQ(Stored(), bests);
}

// A program folder the code page cannot spell (C:\\Users\\José): read by the
// A calls it would be "Jos?", a folder that is not there.  Its short name is.
TEST_F(StartupTest, AProgramFolderTheCodePageCannotSpellIsFoundByItsShortName) {
    std::wstring folder = codepage::Widen(data_.path().c_str()) + L"\\Jos\u00e9\\";
    std::string bin = ProgramPath().substr(0, ProgramPath().rfind('\\') + 1);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (const char *name : {"Tivorn.exe", "KORVEL.dll"})
        ASSERT_TRUE(CopyFileW(codepage::Widen((bin + name).c_str()).c_str(), (folder + codepage::Widen(name)).c_str(),
                              FALSE));
    std::string spelt;
    ASSERT_TRUE(codepage::Spell(codepage::ShortPath(folder.substr(0, folder.size() - 1)), &spelt));
    program_key::WriteSettings(program_key::Settings());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW((folder + L"Tivorn.exe").c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    std::string stored;
    EXPECT_TRUE(WaitUntil([&] { return program_key::ReadRaw(program_key::Key(), "DataPath", &stored); }));
    EXPECT_EQ(stored, spelt + '\0');
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    for (const wchar_t *name : {L"Tivorn.exe", L"KORVEL.dll", L"KORVEL.dat", L"KORVEL.tmp"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(StartupTest, CopyDataOfAnyCodeLeavesTheProgramRunning) {
    program_key::WriteSettings(program_key::Settings());
    TivornProcess tivorn;
    ASSERT_TRUE(tivorn.Start());
    HWND resident = tivorn.WaitForResidentWindow();
    ASSERT_NE(resident, nullptr);
    for (ULONG_PTR code : {ULONG_PTR(6), ULONG_PTR(1000), ~ULONG_PTR(0), ULONG_PTR(2)})
        EXPECT_EQ(tivorn.SendCode(code), 0) << code;

    // A data block is never read, whatever it holds.
    std::vector<char> junk(1 << 20, '\xff');
    COPYDATASTRUCT data = {2, static_cast<DWORD>(junk.size()), junk.data()};
    SendMessageTimeoutA(resident, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 5000, nullptr);
    EXPECT_TRUE(tivorn.Running());
    EXPECT_EQ(tivorn.Exit(), 0u);
}

TEST_F(StartupTest, OnlyTheTaggedWindowCountsAsARunningCopy) {
    // Windows whose titles merely contain the name, as the best settings
    // dialog's does, are not a running copy; nor is another program's window
    // titled exactly "Tivorn" (a folder window on the install folder) that
    // lacks the resident window's tag.
    const char *titles[] = {"ベストの設定 - Tivorn", "Tivorn2", "Tivorn"};
    HWND lookalikes[3];
    for (int i = 0; i < 3; ++i) {
        lookalikes[i] = CreateWindowExA(0, "STATIC", titles[i], WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(lookalikes[i], nullptr);
    }
    program_key::WriteSettings(program_key::Settings());
    TivornProcess tivorn;
    ASSERT_TRUE(tivorn.Start());
    EXPECT_NE(tivorn.WaitForResidentWindow(), nullptr);
    EXPECT_EQ(tivorn.Exit(), 0u);
    for (HWND window : lookalikes) DestroyWindow(window);
}

// A copy of the program beside its engine, whose manifest asks for another
// code page: what Windows 10 gives a process under an English system locale
// (en-US: 1252) or with the UTF-8 option (65001).  Wine honours the
// manifest, and keeps a process started from here in code page 932
// whatever its locale variables say.
std::string ProgramAskingFor(const ScratchFolder &folder, const char *codePage) {
    std::string program = ProgramPath(), copy = folder.Join("Tivorn.exe");
    CopyFileA(program.c_str(), copy.c_str(), FALSE);
    CopyFileA((program.substr(0, program.rfind('\\')) + "\\KORVEL.dll").c_str(), folder.Join("KORVEL.dll").c_str(),
              FALSE);
    std::string manifest = std::string("<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
                                       "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>"
                                       "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">") +
                           codePage + "</activeCodePage></windowsSettings></application></assembly>";
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    UpdateResourceA(update, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT),
                    &manifest[0], static_cast<DWORD>(manifest.size()));
    EXPECT_TRUE(update && EndUpdateResourceA(update, FALSE)) << codePage;
    return copy;
}

TEST_F(StartupTest, InAnotherCodePageTheProgramSaysWhatToChangeAndTouchesNothing) {
    program_key::WriteSettings(program_key::Settings());
    for (const char *codePage : {"en-US", "UTF-8"}) {
        ScratchFolder folder;  // the program's own, which would become the data folder
        std::string registry = program_key::Snapshot();
        TivornProcess tivorn;
        ASSERT_TRUE(tivorn.Start("\"C:\\x.mid\"", ProgramAskingFor(folder, codePage)));
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            return (box = FindMessageBox(tivorn.id())) != nullptr || tivorn.WaitForResidentWindow(0) != nullptr;
        }));
        if (!box) {
            // A Wine that ignores the manifest runs it in code page 932.
            EXPECT_EQ(tivorn.Exit(), 0u) << codePage;
            continue;
        }
        std::string text = MessageBoxText(box);
        EXPECT_NE(text.find("[日本語 (日本)] にし、"), std::string::npos) << codePage;
        EXPECT_NE(text.find("clear \"Beta: Use Unicode UTF-8 for worldwide language support\""), std::string::npos);
        EXPECT_EQ(tivorn.WaitForResidentWindow(300), nullptr);
        PressButton(box, IDOK);
        EXPECT_EQ(tivorn.WaitForExit(), 0u);
        EXPECT_EQ(program_key::Snapshot(), registry) << codePage;
        EXPECT_EQ(GetFileAttributesA(folder.Join("KORVEL.dat").c_str()), INVALID_FILE_ATTRIBUTES) << codePage;
    }
}

TEST_F(StartupTest, AStartThatCannotHandOverToAHungCopySaysSoAndEnds) {
    // The running copy's window, on a thread that answers nothing.
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread hung([release] {
        HWND window = CreateWindowExA(0, "STATIC", "Tivorn", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetPropA(window, TIVORN_RESIDENT_PROP, TIVORN_TAG_RUNNING_COPY);
        WaitForSingleObject(release, INFINITE);
        DestroyWindow(window);
    });
    EXPECT_TRUE(WaitUntil([] { return FindTivornWindow() != nullptr; }));
    TivornProcess second;
    EXPECT_TRUE(second.Start("/next"));
    HWND box = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (box = FindMessageBox(second.id())) != nullptr; }, 30000));
    EXPECT_EQ(MessageBoxText(box).find("実行中の Tivorn が応答しないため、"), 0u);
    PressButton(box, IDOK);
    EXPECT_EQ(second.WaitForExit(), 0u);
    SetEvent(release);
    hung.join();
    CloseHandle(release);
}

}  // namespace
