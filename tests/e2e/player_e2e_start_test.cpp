// The real Tivorn.exe at its start: the best settings it shows while it has
// no best to play, a best file it cannot read, and the files handed to it on
// its command line, by a second start or many at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "e2e/player_e2e_fixture.h"
#include "resources/resource_ids.h"
#include "testing/best_bytes.h"
#include "testing/midi_writer.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;
using namespace player_e2e;

TEST_F(PlayerE2E, WithNothingPlayableTheBestSettingsNameTheBestToPlay) {
    // The files exist but the engine refuses every one: the search ends
    // with the message instead of going round for ever.
    std::string text1 = data_.WriteFile("songs\\one.txt", {'1'}), text2 = data_.WriteFile("songs\\two.txt", {'2'});
    std::string song = Song("song.mid", 30000);
    WriteBests({bestbytes::Record("Texts", {text1, text2}), bestbytes::Record("Songs", {song})});
    Start("Texts");
    AnswerBox(kNoMidiFiles);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr; }));
    TrayClick(WM_LBUTTONDBLCLK);  // no skipping while the player waits for a best
    TrayClick(WM_RBUTTONUP);      // nor a menu
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(OpenMenu(), nullptr);
    EXPECT_TRUE(Opened().empty());

    // No default best was made: Cancel and Close leave it as OK does, and
    // the first best, as the dialog shows it, becomes current.
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CANCEL)));
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY_BEST)), "Texts");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    AnswerBox(kNoMidiFiles);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(Stored("PlayBest"), "Texts");

    // Idle now: the next best plays.
    tivorn_.SendCode(3);
    EXPECT_EQ(Opened(), LoggedAll({song}));
    EXPECT_EQ(tivorn_.Exit(), 0u);
}

TEST_F(PlayerE2E, WithoutACurrentBestOkStartsTheFirstBest) {
    std::string s0 = Song("s0.mid", 30000), s1 = Song("s1.mid", 30000);
    WriteBests({bestbytes::Record("First", {s0}), bestbytes::Record("Second", {s1})});
    // A name longer than any best can have finds no best.
    Start(std::string(300, 'F'));
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr; }));
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY_BEST)), "First");
    PressButton(dialog, 1002);
    ASSERT_TRUE(WaitForFirstStart());
    EXPECT_EQ(Opened(), LoggedAll({s0}));
    EXPECT_EQ(Stored("PlayBest"), "First");
    // The song starts while the dialog still stands: a menu request before
    // it has gone would be kept for its close, and found the old one here.
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));

    // From the menu the dialog can be left with Cancel, and changes nothing.
    Command(IDM_BEST_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr; }));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CANCEL)));
    TrayClick(WM_LBUTTONDBLCLK);  // skips even while the dialog is open from the menu
    EXPECT_EQ(Opened(), LoggedAll({s0, s0}));
    PressButton(dialog, 1005);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    PostTrayClick(WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = OpenMenu()) != nullptr; }));
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() == nullptr; }));
    EXPECT_EQ(tivorn_.Exit(), 0u);
}

// The names and entries of every best in a best file, in file order.
using Bests = std::vector<std::pair<std::string, std::vector<std::string>>>;
Bests ReadBestFile(const std::string &path) {
    Bests bests;
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) return bests;
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        uint32_t length = 0;
        for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<uint8_t>(bytes[at + i]);
        if (length < 8 || at + length > bytes.size()) break;
        std::string content = bytes.substr(at + 8, length - 8);
        std::vector<std::string> strings;
        for (size_t from = 0; from < content.size();) {
            std::string text = content.c_str() + from;
            if (text.empty() && !strings.empty()) break;  // the terminator
            strings.push_back(text);
            from += text.size() + 1;
        }
        if (!strings.empty())
            bests.emplace_back(strings[0], std::vector<std::string>(strings.begin() + 1, strings.end()));
        at += length;
    }
    return bests;
}

TEST_F(PlayerE2E, WithoutAnyBestTheDefaultBestOfTheMidiFolderIsMadeAndOkPlaysItsFirstSong) {
    // An album file keeps the scratch folder the data folder while it has
    // no best file.  Japanese names hold 0x5C trail bytes ("ソ" is 83 5C):
    // no path may be split at them.  Sub-folders come before files (a.mid
    // last), and names compare without case ("ソa" before "ソB").
    data_.WriteFile("KORVEL.ini", {});
    std::string midi = data_.Join("midi");
    ASSERT_TRUE(CreateDirectoryA(midi.c_str(), nullptr));
    for (const char *folder : {"\\ソB", "\\ソa"}) ASSERT_TRUE(CreateDirectoryA((midi + folder).c_str(), nullptr));
    std::vector<std::string> songs = {midi + "\\ソa\\曲ソ.mid", midi + "\\ソB\\x.mid", midi + "\\a.mid"};
    for (const std::string &song : songs) ASSERT_TRUE(midiw::Save(song, midiw::Tune({60}, 28800)));
    program_key::WriteString(program_key::Key(), "Root", midi);
    program_key::WriteSettings(program_key::Settings());
    ASSERT_TRUE(tivorn_.Start());

    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr; }));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CANCEL)));
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_BEST_LIST), CB_GETCOUNT, 0, 0), 1);
    EXPECT_TRUE(Opened().empty());

    PressButton(dialog, 1002);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    ASSERT_TRUE(WaitForFirstStart());
    EXPECT_EQ(Events(), (std::vector<std::string>{Open(songs[0]), "start"}));

    const std::string kDefaultBest = "すべてのMIDIファイル";
    std::vector<std::string> entries = {midi + "/"};
    entries.insert(entries.end(), songs.begin(), songs.end());
    EXPECT_EQ(ReadBestFile(data_.Join("KORVEL.dat")), (Bests{{kDefaultBest, entries}}));
    EXPECT_EQ(Stored("PlayBest"), kDefaultBest);
    EXPECT_EQ(tivorn_.Exit(), 0u);
}

// A backup or sync client holding the best file at start: the failure is
// told, and neither giving up nor trying again loses a best or a history.
TEST_F(PlayerE2E, ABestFileHeldAtStartIsReportedAndKeptWithItsHistory) {
    std::string a = Song("a.mid", 30000), b = Song("b.mid", 30000), before, after;
    WriteBests({bestbytes::Record("Kept", {a, b})});
    ASSERT_TRUE(ReadWholeFile(data_.Join("KORVEL.dat"), &before));
    program_key::WriteBinary(program_key::HistoryKey(), "Kept", "\x01", 1);  // a has played
    HANDLE held = CreateFileA(data_.Join("KORVEL.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    program_key::WriteSettings(program_key::Settings());
    program_key::WriteString(program_key::Key(), "PlayBest", "Kept");
    auto failureBox = [&](const TivornProcess &tivorn) {
        HWND box = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (box = FindMessageBox(tivorn.id())) != nullptr; }));
        EXPECT_EQ(MessageBoxText(box).rfind("ベストファイル（KORVEL.dat）を読み込めませんでした。\n", 0), 0u);
        for (HWND window : ProcessWindows(tivorn.id(), false))  // shown or not
            EXPECT_FALSE(ClassName(window) == "#32770" && WindowText(window) == kBestSettingsTitle);
        EXPECT_EQ(History("Kept"), "\x01");
        return box;
    };
    TivornProcess givingUp;
    ASSERT_TRUE(givingUp.Start());
    PressButton(failureBox(givingUp), IDCANCEL);
    EXPECT_EQ(givingUp.WaitForExit(), 0u);
    ASSERT_TRUE(tivorn_.Start());
    HWND box = failureBox(tivorn_);
    CloseHandle(held);
    PressButton(box, IDRETRY);
    // Read at last, the current best goes on where its history stood.
    ASSERT_TRUE(WaitForFirstStart());
    EXPECT_EQ(Opened(), LoggedAll({b}));
    EXPECT_EQ(tivorn_.Exit(), 0u);
    ASSERT_TRUE(ReadWholeFile(data_.Join("KORVEL.dat"), &after));
    EXPECT_EQ(after, before);
}

// At logon a mapped drive or a share may not be back yet.  Wine answers a
// drive letter with nothing behind it "no such path", for the letter's root
// too, and a server it cannot reach "bad device type", both at once.
TEST_F(PlayerE2E, SongsOutOfReachAtStartKeepTheHistoryByteForByte) {
    char letter = 0;
    for (char c = 'Y'; c >= 'M' && !letter; --c)
        if (!(GetLogicalDrives() & (1u << (c - 'A')))) letter = c;
    ASSERT_NE(letter, 0);
    std::string drive = std::string(1, letter) + ":\\";
    WriteBests({bestbytes::Record("Share", {drive + "music\\a.mid", drive + "music\\b.mid",
                                            "\\\\nosuchserver-tivorn\\music\\c.mid"})});
    program_key::WriteBinary(program_key::HistoryKey(), "Share", "\x02", 1);  // b has played
    std::string before;
    ASSERT_TRUE(ReadWholeFile(data_.Join("KORVEL.dat"), &before));
    Start("Share");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(tivorn_.id())) != nullptr; }));
    EXPECT_EQ(MessageBoxText(box).rfind(drive + " に接続できません。\n", 0), 0u) << MessageBoxText(box);
    PressButton(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    // The best waits for its songs: no best settings, and no second box.
    SendMessageTimeoutA(tivorn_.WaitForResidentWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 15000, nullptr);
    for (HWND window : ProcessWindows(tivorn_.id(), false))
        EXPECT_FALSE(ClassName(window) == "#32770" && IsWindowVisible(window)) << WindowText(window);
    EXPECT_EQ(History("Share"), "\x02");
    EXPECT_EQ(tivorn_.Exit(), 0u);
    EXPECT_EQ(History("Share"), "\x02");
    EXPECT_TRUE(Opened().empty());
    std::string after;
    ASSERT_TRUE(ReadWholeFile(data_.Join("KORVEL.dat"), &after));
    EXPECT_EQ(after, before);
}

}  // namespace

TEST_F(PlayerE2E, FilesOnTheCommandLinePlayFirstThenTheBestGoesOnUnchanged) {
    std::string s0 = Song("s0.mid", 30000), s1 = Song("s1.mid", 30000);
    // Spaces, and "ソ" whose trail byte is a backslash.
    std::string first = Song("曲\\ソ a.mid", 10), second = Song("b c.mid", 10), third = Song("ソ.mid", 30000);
    WriteBests({bestbytes::Record("One", {s0, s1})});
    program_key::WriteSettings(program_key::Settings(0));
    program_key::WriteString(program_key::Key(), "PlayBest", "One");
    // A first start: the files play in order, the missing one skipped, then the best's first song.
    ASSERT_TRUE(tivorn_.Start("\"" + first + "\" \"" + data_.Join("gone.mid") + "\" /next \"" + second + "\""));
    ASSERT_TRUE(WaitUntil([&] { return Events().size() >= 8; }));
    EXPECT_EQ(Events(), (std::vector<std::string>{Open(first), "start", "end", Open(second), "start", "end",
                                                  Open(s0), "start"}));

    // A second start hands its file over and ends; next after it goes back to
    // the song it interrupted.
    TivornProcess secondStart;
    ASSERT_TRUE(secondStart.Start("\"" + third + "\""));
    EXPECT_EQ(secondStart.WaitForExit(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return Events().size() >= 11; }));
    EXPECT_EQ(EventsSince(8), (std::vector<std::string>{"stop", Open(third), "start"}));
    tivorn_.SendCode(0);
    EXPECT_EQ(EventsSince(11), (std::vector<std::string>{"stop", Open(s0), "start"}));
    EXPECT_EQ(tivorn_.Exit(), 0u);
    EXPECT_EQ(Stored("PlayBest"), "One");
    EXPECT_EQ(History("One"), "\x01");
    EXPECT_EQ(FindMessageBox(tivorn_.id()), nullptr);
}

TEST_F(PlayerE2E, HandedFilesWaitForTheBestSettingsAndMarkNoSongOfTheBest) {
    std::string s0 = Song("s0.mid", 30000), a = Song("a.mid", 30000), b = Song("b.mid", 30000);
    WriteBests({bestbytes::Record("One", {s0})});
    // A file handed over while the dialog is open from the menu waits for it.
    Start("One");
    ASSERT_TRUE(WaitForOpens(1));
    Command(IDM_BEST_SETTINGS);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr; }));
    TivornProcess second;
    ASSERT_TRUE(second.Start("\"" + b + "\""));
    EXPECT_EQ(second.WaitForExit(), 0u);
    // Handled in order: once the About view shows, the hand-over's play was.
    HWND resident = tivorn_.WaitForResidentWindow();
    PostMessageA(resident, WM_COMMAND, IDM_VERSION, 0);
    ASSERT_TRUE(WaitUntil([&] { return Dialog("Tivorn") != nullptr; }));
    EXPECT_EQ(Opened(), LoggedAll({s0}));
    PressButton(dialog, 1005);
    ASSERT_TRUE(WaitForOpens(2));
    EXPECT_EQ(Opened(), LoggedAll({s0, b}));
    EXPECT_EQ(tivorn_.Exit(), 0u);

    // A first start with a file and no best to play: the file waits for the
    // dialog, then plays before any song of the best is chosen.
    program_key::Delete(program_key::Key(), "PlayBest");
    program_key::WriteBinary(program_key::HistoryKey(), "One", "", 1);  // s0 not played
    ASSERT_TRUE(tivorn_.Start("\"" + a + "\""));
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr; }));
    EXPECT_EQ(Opened().size(), 2u);
    PressButton(dialog, 1002);
    ASSERT_TRUE(WaitForOpens(3));
    EXPECT_EQ(Opened().back(), Logged(a));
    EXPECT_EQ(tivorn_.Exit(), 0u);
    EXPECT_EQ(History("One"), std::string(1, '\0'));
}

TEST_F(PlayerE2E, TwentyFilesOpenedAtOnceEachPlayToTheEndThenTheBestGoesOn) {
    std::string s0 = Song("s0.mid", 30000);
    WriteBests({bestbytes::Record("One", {s0})});
    Start("One");
    ASSERT_TRUE(WaitForFirstStartHandled());
    // One start per file, as Explorer makes them for a selection; each song
    // lasts longer than the starts take to arrive, so none may cut another off.
    std::vector<std::string> files;
    for (int i = 0; i < 20; ++i) files.push_back(Song("burst" + std::to_string(i) + ".mid", 600));
    std::vector<std::unique_ptr<TivornProcess>> starts;
    for (const std::string &file : files) {
        starts.push_back(std::make_unique<TivornProcess>());
        ASSERT_TRUE(starts.back()->Start("\"" + file + "\""));
    }
    for (auto &start : starts) EXPECT_EQ(start->WaitForExit(60000), 0u);
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<std::string> opened = Opened();
        return !opened.empty() && opened.back() == Logged(s0) && std::all_of(files.begin(), files.end(), [&](const std::string &f) {
                   return std::count(opened.begin(), opened.end(), Logged(f)) > 0;
               });
    }, 60000));
    std::vector<std::string> events = Events();
    for (const std::string &file : files) {
        auto at = std::find(events.begin(), events.end(), Open(file));
        EXPECT_EQ(std::count(at, events.end(), Open(file)), 1) << file;
        ASSERT_LT(at + 2, events.end()) << file;
        EXPECT_EQ(std::vector<std::string>(at + 1, at + 3), (std::vector<std::string>{"start", "end"})) << file;
    }
    EXPECT_EQ(FindMessageBox(tivorn_.id()), nullptr);
    EXPECT_EQ(tivorn_.Exit(), 0u);
}
