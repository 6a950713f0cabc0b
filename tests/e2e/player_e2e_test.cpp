// The real Tivorn.exe as a player: a best file in a scratch data folder,
// songs from the MIDI writer, and the engine's log output in place of sound.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource_ids.h"
#include "testing/best_bytes.h"
#include "testing/midi_writer.h"
#include "testing/store_fixture.h"

namespace {

using namespace tt;

// The real Tivorn.exe runs here: it keeps its state under its own key.
const bool kProgramsKey = program_key::UseProgramsKey();

const char kEngineKey[] = "Software\\Zarnith\\Tivorn\\Engine";
const uint8_t kSkipShortcuts = 0x02;
const uint8_t kRandom = 0x04;
const char kNoMidiFiles[] = "このベストにはMIDIファイルがありません。\nほかのベストを指定してください。";
const char kBestSettingsTitle[] = "ベストの設定 - Tivorn";

// A shortcut to target, made as the shell makes one.
bool MakeShortcut(const std::string &path, const std::string &target) {
    CoInitialize(nullptr);
    IShellLinkA *link = nullptr;
    IPersistFile *file = nullptr;
    bool made = false;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&link)))) {
        link->SetPath(target.c_str());
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
            made = SUCCEEDED(file->Save(wide, TRUE));
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return made;
}

// Paths as the log shows them: in UTF-8, while the program and its bests
// hold them in the ANSI code page.
std::string Logged(const std::string &path) { return AnsiToUtf8(path); }
std::vector<std::string> LoggedAll(const std::vector<std::string> &paths) {
    std::vector<std::string> logged;
    for (const std::string &path : paths) logged.push_back(Logged(path));
    return logged;
}
std::string Open(const std::string &path) { return "open " + Logged(path); }

class PlayerE2E : public ProgramKeyFixture {
protected:
    void SetUp() override {
        ProgramKeyFixture::SetUp();
        log_ = data_.Join("play.log");
        program_key::WriteString(kEngineKey, "Output", "log:" + log_);
        program_key::WriteString(program_key::Key(), "DataPath", data_.path());
    }

    // A song of about `ms` milliseconds: one note at 120 beats a minute.
    std::string Song(const std::string &name, int ms) {
        uint32_t ticks = static_cast<uint32_t>(ms) * 480 / 500;
        return data_.WriteFile("songs\\" + name, midiw::Tune({60}, ticks > 0 ? ticks : 1));
    }

    void Start(const std::string &playBest, uint8_t options = 0) {
        program_key::WriteSettings(program_key::Settings(options));
        program_key::WriteString(program_key::Key(), "PlayBest", playBest);
        ASSERT_TRUE(tivorn_.Start());
        ASSERT_NE(tivorn_.WaitForResidentWindow(), nullptr);
    }

    // The engine's markers: "open <path>" (UTF-8), "start", "end" and "stop".
    std::vector<std::string> Events() const { return LogMarkers(log_); }

    std::vector<std::string> Opened() const {
        std::vector<std::string> opened;
        for (const std::string &event : Events())
            if (event.compare(0, 5, "open ") == 0) opened.push_back(event.substr(5));
        return opened;
    }

    bool WaitForOpens(size_t count) {
        return WaitUntil([&] { return Opened().size() >= count; });
    }

    // The first song has started (its "start" follows its "open").
    bool WaitForFirstStart() {
        return WaitUntil([&] {
            std::vector<std::string> events = Events();
            return std::find(events.begin(), events.end(), "start") != events.end();
        });
    }

    // The first song has started, and the command that started it is done:
    // the media keys are taken only then, after the engine's "start".
    bool WaitForFirstStartHandled() {
        if (!WaitForFirstStart()) return false;
        return SendMessageTimeoutA(tivorn_.WaitForResidentWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 15000, nullptr) != 0;
    }

    // What the engine did after the first `from` markers.
    std::vector<std::string> EventsSince(size_t from) const { return LogMarkers(log_, from); }

    std::string Stored(const char *name) {
        std::string value;
        program_key::ReadRaw(program_key::Key(), name, &value);
        return value.c_str();
    }

    // Sends a power notification as the system does, and waits for its handling.
    void Power(WPARAM event) {
        SendMessageTimeoutA(tivorn_.WaitForResidentWindow(), WM_POWERBROADCAST, event, 0, SMTO_NORMAL, 15000,
                            nullptr);
    }

    // A command through the resident window, handled when this returns.
    void Command(WORD id) {
        SendMessageTimeoutA(tivorn_.WaitForResidentWindow(), WM_COMMAND, id, 0, SMTO_NORMAL, 15000, nullptr);
    }

    // A window of the program with this title and the dialog class.
    HWND Dialog(const char *title) const {
        for (HWND window : ProcessWindows(tivorn_.id(), true))
            if (ClassName(window) == "#32770" && WindowText(window) == title) return window;
        return nullptr;
    }

    // Waits for a message box, checks its text and answers OK.
    void AnswerBox(const char *text) {
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(tivorn_.id())) != nullptr; }));
        EXPECT_EQ(MessageBoxText(box), text);
        PressButton(box, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }

    // A mouse notification of the tray icon, handled when this returns.  (A
    // click that opens the menu does not return before the menu closes.)
    void TrayClick(UINT mouseMessage) {
        SendMessageTimeoutA(tivorn_.WaitForResidentWindow(), 32868, 1, mouseMessage, SMTO_NORMAL, 15000, nullptr);
    }
    void PostTrayClick(UINT mouseMessage) { PostMessageA(tivorn_.WaitForResidentWindow(), 32868, 1, mouseMessage); }

    HWND OpenMenu() const { return FindPopupMenu(tivorn_.id()); }

    std::string log_;
    TivornProcess tivorn_;
};

TEST_F(PlayerE2E, PlaysTheCurrentBestInListOrderAndCyclesPastWhatCannotPlay) {
    std::string a = Song("a.mid", 10), b = Song("b.mid", 10), c = Song("c.mid", 10);
    std::string notMidi = data_.WriteFile("songs\\notes.txt", {'h', 'i'});
    std::string folder = data_.path() + "\\songs";
    WriteBests({bestbytes::Record("Other", {c}),
                bestbytes::Record("Mixed", {a, folder + "/", data_.Join("gone.mid"), folder, notMidi, b, c})});
    Start("Mixed");
    ASSERT_TRUE(WaitForOpens(8));
    std::vector<std::string> opened = Opened();
    // The engine refuses the text file; it is passed over like the rest.
    EXPECT_EQ(std::vector<std::string>(opened.begin(), opened.begin() + 8),
              LoggedAll({a, b, c, a, b, c, a, b}));
    std::vector<std::string> events = Events();
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4),
              (std::vector<std::string>{Open(a), "start", "end", Open(b)}));
    EXPECT_EQ(tivorn_.Exit(), 0u);
    EXPECT_EQ(Stored("PlayBest"), "Mixed");
    EXPECT_EQ(FindMessageBox(tivorn_.id()), nullptr);
}

TEST_F(PlayerE2E, CopyDataCodesDriveThePlayer) {
    std::string s0 = Song("s0.mid", 30000), s1 = Song("s1.mid", 30000), s2 = Song("s2.mid", 30000);
    std::string t0 = Song("t0.mid", 30000);
    WriteBests({bestbytes::Record("One", {s0, s1, s2}), bestbytes::Record("Two", {t0})});
    Start("One");
    ASSERT_TRUE(WaitForFirstStart());
    EXPECT_EQ(Events(), (std::vector<std::string>{Open(s0), "start"}));

    size_t seen = Events().size();
    EXPECT_EQ(tivorn_.SendCode(0), 0);  // next song
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", Open(s1), "start"}));

    seen = Events().size();
    tivorn_.SendCode(1);  // the same song from its start
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", Open(s1), "start"}));

    seen = Events().size();
    tivorn_.SendCode(2);  // stop
    tivorn_.SendCode(4);  // restart only while playing: nothing
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop"}));

    seen = Events().size();
    tivorn_.SendCode(1);  // restarts even while stopped
    tivorn_.SendCode(4);
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{Open(s1), "start", "stop", Open(s1), "start"}));

    seen = Events().size();
    tivorn_.SendCode(3);  // next best, then after the last the first again
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", Open(t0), "start"}));
    EXPECT_EQ(Stored("PlayBest"), "Two");
    seen = Events().size();
    tivorn_.SendCode(3);
    // One's history came along: s0 and s1 were played in this cycle.
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", Open(s2), "start"}));
    EXPECT_EQ(Stored("PlayBest"), "One");
    EXPECT_EQ(History("One"), std::string(1, '\x07'));

    // Codes outside 0-5 do nothing.
    seen = Events().size();
    for (ULONG_PTR code : {ULONG_PTR(6), ULONG_PTR(0x10005), ~ULONG_PTR(0)}) EXPECT_EQ(tivorn_.SendCode(code), 0);
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});

    // 5 opens the tray menu, answering at once; only while nothing else is open.
    EXPECT_EQ(tivorn_.SendCode(5), 0);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = OpenMenu()) != nullptr; }));
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() == nullptr; }));
    Command(IDM_VERSION);  // the About view, a window of its own
    HWND about = Dialog("Tivorn");
    ASSERT_NE(about, nullptr);
    tivorn_.SendCode(5);
    // A rewind posted after the code shows in the log once the code's
    // posted work is done.
    seen = Events().size();
    tivorn_.PostCommand(IDM_REWIND);
    ASSERT_TRUE(WaitUntil([&] { return EventsSince(seen).size() == 3; }));
    EXPECT_EQ(OpenMenu(), nullptr);
    PressButton(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_FALSE(IsWindowVisible(tivorn_.WaitForResidentWindow()));

    EXPECT_EQ(tivorn_.Exit(), 0u);
    EXPECT_EQ(Events().back(), "stop");
}

TEST_F(PlayerE2E, RepeatOnePlaysTheSameSongAgain) {
    std::string a = Song("a.mid", 400), b = Song("b.mid", 400);
    WriteBests({bestbytes::Record("Best", {a, b})});
    Start("Best");
    ASSERT_TRUE(WaitForFirstStart());
    Command(IDM_REPEAT_ONE);
    ASSERT_TRUE(WaitForOpens(3));
    std::vector<std::string> opened = Opened();
    EXPECT_EQ(std::vector<std::string>(opened.begin(), opened.begin() + 3), LoggedAll({a, a, a}));
    // Off again: the list goes on with the next song (a repeat may still
    // have started while the command was on its way).
    size_t count = Opened().size();
    Command(IDM_REPEAT_ONE);
    ASSERT_TRUE(WaitUntil([&] {
        std::vector<std::string> now = Opened();
        return std::find(now.begin() + count, now.end(), Logged(b)) != now.end();
    }));
    opened = Opened();
    size_t repeats = std::find(opened.begin() + count, opened.end(), Logged(b)) - (opened.begin() + count);
    EXPECT_LE(repeats, 1u);
    EXPECT_EQ(tivorn_.Exit(), 0u);
}

TEST_F(PlayerE2E, RandomPlayPlaysEverySongOncePerCycle) {
    std::vector<std::string> songs;
    for (int i = 0; i < 6; ++i) songs.push_back(Song("r" + std::to_string(i) + ".mid", 10));
    WriteBests({bestbytes::Record("Random", songs)});
    Start("Random", kRandom);
    ASSERT_TRUE(WaitForOpens(18));
    std::vector<std::string> opened = Opened();
    EXPECT_EQ(tivorn_.Exit(), 0u);
    std::vector<std::string> logged = LoggedAll(songs);
    std::set<std::string> all(logged.begin(), logged.end());
    for (int cycle = 0; cycle < 3; ++cycle) {
        std::set<std::string> played(opened.begin() + 6 * cycle, opened.begin() + 6 * cycle + 6);
        EXPECT_EQ(played, all) << "cycle " << cycle;
    }
}

TEST_F(PlayerE2E, TheHistorySurvivesARestart) {
    std::vector<std::string> songs;
    for (int i = 0; i < 10; ++i) songs.push_back(Song("h" + std::to_string(i) + ".mid", 30000));
    WriteBests({bestbytes::Record("Kept", songs)});
    Start("Kept");
    ASSERT_TRUE(WaitForFirstStart());
    tivorn_.SendCode(0);
    tivorn_.SendCode(0);
    EXPECT_EQ(Opened(), LoggedAll({songs[0], songs[1], songs[2]}));
    EXPECT_EQ(tivorn_.Exit(), 0u);
    EXPECT_EQ(History("Kept"), std::string("\x07\x00", 2));

    // A history value that cannot belong to a list of ten songs is not used.
    TivornProcess restarted;
    ASSERT_TRUE(restarted.Start());
    ASSERT_TRUE(WaitForOpens(4));
    EXPECT_EQ(Opened()[3], Logged(songs[3]));
    EXPECT_EQ(restarted.Exit(), 0u);
    program_key::WriteBinary(program_key::HistoryKey(), "Kept", "\xff\xff\xff", 3);
    TivornProcess third;
    ASSERT_TRUE(third.Start());
    ASSERT_TRUE(WaitForOpens(5));
    EXPECT_EQ(Opened()[4], Logged(songs[0]));
    EXPECT_EQ(third.Exit(), 0u);
}

TEST_F(PlayerE2E, SuspendStopsTheSongAndResumeStartsItAgain) {
    std::string s0 = Song("s0.mid", 30000), s1 = Song("s1.mid", 30000);
    WriteBests({bestbytes::Record("Best", {s0, s1})});
    Start("Best");
    ASSERT_TRUE(WaitForFirstStart());
    tivorn_.SendCode(0);
    size_t seen = Events().size();
    Power(PBT_APMSUSPEND);
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{"stop"});
    Power(PBT_APMRESUMESUSPEND);  // plays again from a posted retry, after the message
    ASSERT_TRUE(WaitUntil([&] { return EventsSince(seen).size() >= 3; }));
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", Open(s1), "start"}));

    // Stopped by the user: a resume starts nothing.
    tivorn_.SendCode(2);
    seen = Events().size();
    Power(PBT_APMSUSPEND);
    Power(PBT_APMRESUMESUSPEND);
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});
    EXPECT_EQ(tivorn_.Exit(), 0u);
}

// A device that takes one program at a time is free for others while
// nothing plays: the output is let go when playback stops, and kept from
// one song to the next.
TEST_F(PlayerE2E, TheOutputIsKeptFromSongToSongAndLetGoWhenPlaybackStops) {
    std::string a = Song("a.mid", 10), b = Song("b.mid", 10), c = Song("c.mid", 30000);
    WriteBests({bestbytes::Record("Best", {a, b, c})});
    Start("Best");
    ASSERT_TRUE(WaitForOpens(3));
    Command(IDM_STOP);  // 停止(&S); the port closes once the command is done
    ASSERT_TRUE(WaitUntil([&] { return LogEvents(log_).back() == "output closed"; }));
    Command(IDM_PLAY);  // 再生(&P)
    EXPECT_EQ(tivorn_.Exit(), 0u);
    EXPECT_EQ(LogEvents(log_),
              (std::vector<std::string>{"output opened", Open(a), "start", "end", Open(b), "start", "end", Open(c),
                                        "start", "stop", "output closed", "output opened", Open(c), "start", "stop",
                                        "output closed"}));
}

TEST_F(PlayerE2E, ChoosingTheCheckedBestDoesNothingAndAnotherSwitches) {
    std::string s0 = Song("s0.mid", 30000), t0 = Song("t0.mid", 30000);
    WriteBests({bestbytes::Record("First", {s0}), bestbytes::Record("first", {t0})});
    Start("First");
    ASSERT_TRUE(WaitForFirstStart());
    size_t seen = Events().size();
    Command(IDM_BEST_FIRST);
    Command(IDM_BEST_FIRST + 2);  // no such best
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});
    Command(IDM_BEST_FIRST + 1);  // differs only in case: another best
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", Open(t0), "start"}));
    EXPECT_EQ(Stored("PlayBest"), "first");
    EXPECT_EQ(tivorn_.Exit(), 0u);
}

TEST_F(PlayerE2E, ShortcutsPlayTheirTargetsUnlessSkipped) {
    std::string a = Song("a.mid", 10), b = Song("b.mid", 10);
    std::string toA = data_.Join("songs\\to a.LNK"), toMissing = data_.Join("songs\\to gone.lnk");
    ASSERT_TRUE(MakeShortcut(toA, a));
    ASSERT_TRUE(MakeShortcut(toMissing, data_.Join("songs\\gone.mid")));
    std::string damaged = data_.WriteFile("songs\\damaged.lnk", std::vector<uint8_t>(100, 'L'));
    WriteBests({bestbytes::Record("Links", {toA, toMissing, damaged, b})});
    Start("Links");
    ASSERT_TRUE(WaitForOpens(4));
    std::vector<std::string> opened = Opened();
    EXPECT_EQ(std::vector<std::string>(opened.begin(), opened.begin() + 4), LoggedAll({a, b, a, b}));
    EXPECT_EQ(tivorn_.Exit(), 0u);

    TivornProcess skipping;
    program_key::WriteSettings(program_key::Settings(kSkipShortcuts));
    ASSERT_TRUE(skipping.Start());
    size_t before = Opened().size();
    ASSERT_TRUE(WaitForOpens(before + 3));
    opened = Opened();
    EXPECT_EQ(std::vector<std::string>(opened.begin() + before, opened.begin() + before + 3),
              LoggedAll({b, b, b}));
    EXPECT_EQ(skipping.Exit(), 0u);
}

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

    // From the menu the dialog can be left with Cancel, and changes nothing.
    Command(IDM_BEST_SETTINGS);
    ASSERT_TRUE(WaitUntil([&] { return (dialog = Dialog(kBestSettingsTitle)) != nullptr; }));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CANCEL)));
    TrayClick(WM_LBUTTONDBLCLK);  // skips even while the dialog is open from the menu
    EXPECT_EQ(Opened(), LoggedAll({s0, s0}));
    PressButton(dialog, 1005);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    // Under Wine the focus change of the dialog's end reaches the program
    // late, now and then after a menu opened at once, which it closes: the
    // user clicks again.
    HWND menu = nullptr;
    bool opened = false;
    for (int click = 0; click < 2 && !opened; ++click) {
        PostTrayClick(WM_RBUTTONUP);
        opened = WaitUntil([&] { return (menu = OpenMenu()) != nullptr; }, 3000);
    }
    ASSERT_TRUE(opened) << "resident window enabled: " << IsWindowEnabled(tivorn_.WaitForResidentWindow())
                        << ", foreground: " << ClassName(GetForegroundWindow()) << " \""
                        << WindowText(GetForegroundWindow()) << "\"";
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
    // A settings file keeps the scratch folder the data folder while it has
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

TEST_F(PlayerE2E, MenuCommandsOfTheSettingsAndTheHistory) {
    std::vector<std::string> songs;
    for (int i = 0; i < 4; ++i) songs.push_back(Song("m" + std::to_string(i) + ".mid", 30000));
    WriteBests({bestbytes::Record("Menu", songs)});
    Start("Menu");
    ASSERT_TRUE(WaitForFirstStart());
    Command(IDM_NEXT);
    Command(IDM_NEXT);
    EXPECT_EQ(History("Menu"), std::string(1, '\x07'));

    Command(IDM_RANDOM);  // random on: saved with the settings block
    std::string settings;
    ASSERT_TRUE(program_key::ReadRaw(program_key::Key(), "Settings", &settings));
    EXPECT_EQ(settings[5] & kRandom, kRandom);
    Command(IDM_RANDOM);
    ASSERT_TRUE(program_key::ReadRaw(program_key::Key(), "Settings", &settings));
    EXPECT_EQ(settings[5] & kRandom, 0);

    Command(IDM_CLEAR_HISTORY);  // clear the history: saved at once; the song plays on
    EXPECT_EQ(History("Menu"), std::string(1, '\0'));
    size_t seen = Events().size();
    Command(IDM_STOP);
    Command(IDM_PLAY);  // play after stop: the same song
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", Open(songs[2]), "start"}));
    Command(IDM_REWIND);
    EXPECT_EQ(EventsSince(seen).back(), "start");
    EXPECT_EQ(Opened().back(), Logged(songs[2]));
    Command(IDM_NEXT);  // the history was cleared: from the first song again
    EXPECT_EQ(Opened().back(), Logged(songs[0]));

    // The song's properties: Wine's shell has no properties sheet for a
    // file, so its refusal is what shows here.
    tivorn_.PostCommand(IDM_SONG_INFO);
    AnswerBox("プロパティを表示できませんでした。");

    // Help opens KORVEL.chm, built beside the program, in its own window
    // titled by the file; the program's end closes it.
    tivorn_.PostCommand(IDM_HELP);
    EXPECT_TRUE(WaitUntil([&] {
        for (HWND window : ProcessWindows(tivorn_.id(), true))
            if (WindowText(window) == "Tivorn ヘルプ") return true;
        return false;
    }));
    EXPECT_EQ(FindMessageBox(tivorn_.id()), nullptr);
    EXPECT_EQ(tivorn_.Exit(), 0u);
}

// A key pressed and released on the keyboard, wherever the focus is.
void PressKey(WORD key) {
    INPUT input[2] = {{INPUT_KEYBOARD, {}}, {INPUT_KEYBOARD, {}}};
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
}

TEST_F(PlayerE2E, MediaKeysActAsTheMenuLeaveKeysHeldElsewhereAndGoAtTheMenusStop) {
    std::string s0 = Song("s0.mid", 30000), s1 = Song("s1.mid", 30000);
    WriteBests({bestbytes::Record("Keys", {s0, s1})});
    // Stop is held here first, as by another player: it stays here.
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, 0, VK_MEDIA_STOP));
    Start("Keys");
    ASSERT_TRUE(WaitForFirstStartHandled());
    auto press = [&](WORD key, std::vector<std::string> expected) {
        size_t seen = Events().size();
        PressKey(key);
        EXPECT_TRUE(WaitUntil([&] { return EventsSince(seen).size() >= expected.size(); })) << key;
        EXPECT_EQ(EventsSince(seen), expected) << key;
    };
    press(VK_MEDIA_PLAY_PAUSE, {"stop"});
    press(VK_MEDIA_PLAY_PAUSE, {Open(s0), "start"});
    press(VK_MEDIA_NEXT_TRACK, {"stop", Open(s1), "start"});
    press(VK_MEDIA_PREV_TRACK, {"stop", Open(s1), "start"});
    PressKey(VK_MEDIA_STOP);  // were it Tivorn's, Play/Pause would play, then stop
    press(VK_MEDIA_PLAY_PAUSE, {"stop"});
    press(VK_MEDIA_PLAY_PAUSE, {Open(s1), "start"});
    // The menu's stop lets them go: another program can take them.
    EXPECT_FALSE(RegisterHotKey(nullptr, 2, 0, VK_MEDIA_PLAY_PAUSE));
    Command(IDM_STOP);
    EXPECT_TRUE(WaitUntil([] { return RegisterHotKey(nullptr, 2, 0, VK_MEDIA_PLAY_PAUSE) != FALSE; }));
    UnregisterHotKey(nullptr, 2);
    UnregisterHotKey(nullptr, 1);
    EXPECT_EQ(tivorn_.Exit(), 0u);

    // MediaKeys 0: Tivorn takes no key.
    DWORD off = 0;
    RegSetKeyValueA(HKEY_CURRENT_USER, program_key::Key(), "MediaKeys", REG_DWORD, &off, sizeof off);
    Start("Keys");
    ASSERT_TRUE(WaitForFirstStartHandled());
    EXPECT_TRUE(RegisterHotKey(nullptr, 2, 0, VK_MEDIA_PLAY_PAUSE));
    UnregisterHotKey(nullptr, 2);
    EXPECT_EQ(tivorn_.Exit(), 0u);
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
