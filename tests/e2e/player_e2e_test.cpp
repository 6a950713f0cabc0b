// The real Tivorn.exe playing a best: the order of its songs, the codes,
// menu commands and media keys that drive it, its history across restarts,
// power events and shortcuts.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "e2e/player_e2e_fixture.h"
#include "resources/resource_ids.h"
#include "testing/best_bytes.h"

namespace {

using namespace tt;
using namespace player_e2e;

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

    // The song's properties: Wine's Shell has no properties sheet for a
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
