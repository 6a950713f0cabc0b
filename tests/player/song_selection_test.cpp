#include "player/song_selection.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "testing/best_bytes.h"

namespace {

struct FakeEnvironment : PlayerEnvironment {
    std::set<std::string> files;
    std::map<std::string, store::PathFound> answers;  // of paths neither files nor gone
    int ms = 0, msReads = 0, existsCalls = 0;
    bool skipShortcuts = false;
    std::vector<std::vector<unsigned char>> saved;

    store::PathFound FindPath(const char *path) override {
        ++existsCalls;
        if (files.count(path)) return store::PathFound::File;
        auto answer = answers.find(path);
        return answer != answers.end() ? answer->second : store::PathFound::NoName;
    }
    int LocalMilliseconds() override { return ++msReads, ms; }
    bool SkipShortcuts() override { return skipShortcuts; }
    void SaveHistory(const unsigned char *bitmap, size_t size) override { saved.emplace_back(bitmap, bitmap + size); }
};

std::string Song(int i) { return "C:\\MIDI\\song" + std::to_string(i) + ".mid"; }

// Through the file reader, which also takes entries the editor would refuse.
void Load(BestSongs *player, const std::vector<std::string> &entries, const std::vector<int> &played = {}) {
    bestbytes::Bytes file = bestbytes::File({bestbytes::Record("Best", entries)});
    LoadPlayerBest(player, best::FindBest(file.data(), file.size(), "Best"));
    ASSERT_EQ(player->songCount, static_cast<int32_t>(entries.size()));
    for (int i : played) player->history[i / 8] |= 1 << (i % 8);
}

// A best of count existing songs.
void LoadSongs(BestSongs *player, FakeEnvironment *env, int count, const std::vector<int> &played = {}) {
    std::vector<std::string> songs;
    for (int i = 0; i < count; ++i) songs.push_back(Song(i));
    env->files.insert(songs.begin(), songs.end());
    Load(player, songs, played);
}

int Pick(BestSongs *player, FakeEnvironment *env, int random) {
    EXPECT_EQ(SelectNextSong(player, env, random), 1);
    EXPECT_STREQ(player->currentSong, Song(player->position).c_str());
    return player->position;
}

TEST(SongSelection, InOrderPlaysEverySongOnceThenANewCycleFromTheStart) {
    BestSongs player;
    FakeEnvironment env;
    LoadSongs(&player, &env, 3);
    std::vector<int> order;
    for (int i = 0; i < 4; ++i) order.push_back(Pick(&player, &env, 0));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(env.saved, std::vector<std::vector<unsigned char>>{{0}});  // the new cycle's empty history
    EXPECT_EQ(player.history[0], 0x01);
    EXPECT_STREQ(player.currentSong, Song(0).c_str());  // the choice, for the player to show
}

TEST(SongSelection, RandomPickIsTheNthUnplayedEntryFromThePosition) {
    BestSongs player;
    FakeEnvironment env;
    for (int ms : {0, 1, 500, 999}) {  // u = 1
        LoadSongs(&player, &env, 10, {0, 1, 2, 3, 4, 5, 7, 8, 9});
        player.position = 8;
        env.ms = ms;
        EXPECT_EQ(Pick(&player, &env, 1), 6) << ms;
    }
    LoadSongs(&player, &env, 10, {3, 4});  // ms = 0: the in-order pick
    player.position = 3;
    env.ms = 0;
    EXPECT_EQ(Pick(&player, &env, 1), 5);
    LoadSongs(&player, &env, 12, {1, 5});  // ms = 999, u = 10: the tenth unplayed from 2
    player.position = 2;
    env.ms = 999;
    EXPECT_EQ(Pick(&player, &env, 1), 0);

    // n = 7 lands on the missing entry 7; the search goes on in list order
    // without drawing again, and the skipped entry is set played too.
    LoadSongs(&player, &env, 10);
    env.files.erase(Song(7));
    env.ms = 700;
    env.msReads = 0;
    EXPECT_EQ(Pick(&player, &env, 1), 8);
    EXPECT_EQ(env.msReads, 1);
    EXPECT_EQ(CountUnplayed(player), 8);
}

TEST(SongSelection, PassesOverEntriesThatCannotBePlayed) {
    const std::vector<std::string> entries = {"C:\\MIDI\\Folder", "C:\\MIDI\\Folder/", "C:\\MIDI\\gone.mid", "C:",
                                              "C:\\" + std::string(257, 'L'), "C:\\MIDI\\Link.LNK", "C:\\MIDI\\a.mid"};
    FakeEnvironment env;
    env.files = {"C:", entries[4], entries[5], entries[6]};  // too short or too long although they "exist"
    BestSongs player;
    Load(&player, entries);
    EXPECT_EQ(SelectNextSong(&player, &env, 0), 1);
    EXPECT_EQ(player.position, 5);  // a shortcut plays while the option is clear
    EXPECT_EQ(player.history[0], 0x3F);

    env.skipShortcuts = true;
    Load(&player, entries);
    EXPECT_EQ(SelectNextSong(&player, &env, 0), 1);
    EXPECT_EQ(player.position, 6);
    EXPECT_EQ(player.history[0], 0x7F);
}

TEST(SongSelection, NothingPlayableFailsAfterAtMostTwoPasses) {
    BestSongs player;
    FakeEnvironment env;
    Load(&player, {"C:\\a.mid", "C:\\b.mid", "C:\\c.mid"}, {0});
    EXPECT_EQ(SelectNextSong(&player, &env, 1), 0);
    EXPECT_EQ(env.existsCalls, 5);  // 1 and 2, then 0 to 2 after the history was cleared
    EXPECT_STREQ(player.currentSong, "C:\\c.mid");

    for (bool loaded : {true, false}) {  // an empty best, and no best at all
        LoadPlayerBest(&player, loaded ? best::BestRecord::ForName("Empty") : best::BestRecord());
        player.currentSong = "stale";
        EXPECT_EQ(SelectNextSong(&player, &env, 0), 0);
        EXPECT_EQ(player.currentSong, nullptr);
    }
}

// A share not back yet, a drive letter with nothing behind it, a file
// offline: passed over unplayed, each volume asked once, and a search that
// reaches nothing leaves the history as it was.  A folder deleted from a
// volume that answers is gone, and set played.
TEST(SongSelection, SongsOutOfReachAreLeftUnplayed) {
    using store::PathFound;
    BestSongs player;
    FakeEnvironment env;
    std::vector<std::string> share;
    for (int i = 0; i < 4; ++i) share.push_back("\\\\nas\\music\\" + std::to_string(i) + ".mid");
    for (const std::string &song : share) env.answers[song] = PathFound::NoAnswer;
    env.answers["\\\\nas\\music\\"] = PathFound::NoAnswer;
    Load(&player, share, {1});
    player.position = 1;
    player.currentSong = "kept";
    EXPECT_EQ(SelectNextSong(&player, &env, 1), 0);
    EXPECT_EQ(player.history, std::vector<unsigned char>{0x02});
    EXPECT_TRUE(env.saved.empty());
    EXPECT_EQ(player.position, 1);
    EXPECT_STREQ(player.currentSong, "kept");
    EXPECT_TRUE(ReachFailed(player));
    EXPECT_EQ(player.passed.place, "\\\\nas\\music");
    EXPECT_EQ(env.existsCalls, 2);  // the first song and its share
    // The share is back: the cycle goes on where it stood.
    ForgetPassedOver(&player);
    env.files.insert(share.begin(), share.end());
    EXPECT_EQ(SelectNextSong(&player, &env, 0), 1);
    EXPECT_EQ(player.position, 2);

    // A song whose folder is gone from a drive that answers is set played; one
    // on a drive with nothing behind it is not.
    env = FakeEnvironment();
    env.answers = {{"D:\\Old\\a.mid", PathFound::NoPath}, {"D:\\", PathFound::Folder},
                   {"Q:\\b.mid", PathFound::NoPath}, {"Q:\\", PathFound::NoPath}};
    env.files = {"C:\\c.mid"};
    Load(&player, {"D:\\Old\\a.mid", "Q:\\b.mid", "C:\\c.mid"});
    EXPECT_EQ(SelectNextSong(&player, &env, 0), 1);
    EXPECT_EQ(player.position, 2);
    EXPECT_EQ(player.history, std::vector<unsigned char>{0x05});

    // The file is there and cannot be opened (offline): left unplayed, and the
    // search after it asks for the gone song alone.
    EXPECT_TRUE(PassOverUnopened(&player, &env, "C:\\c.mid", PathFound::NoAnswer));
    EXPECT_EQ(player.history, std::vector<unsigned char>{0x01});
    int calls = env.existsCalls;
    EXPECT_EQ(SelectNextSong(&player, &env, 0), 0);
    EXPECT_EQ(env.existsCalls, calls + 1);
    EXPECT_EQ(player.passed.place, "Q:\\");
    EXPECT_EQ(player.history, std::vector<unsigned char>{0x01});
    EXPECT_TRUE(env.saved.empty());
}

TEST(PlayedHistory, ClearingDuringASongLetsItComeAgain) {
    BestSongs player;
    FakeEnvironment env;
    LoadSongs(&player, &env, 3);
    Pick(&player, &env, 0);
    EXPECT_EQ(Pick(&player, &env, 0), 1);  // the song that plays
    ClearHistory(&player, &env);
    EXPECT_EQ(player.position, 0);
    EXPECT_EQ(env.saved.back(), std::vector<unsigned char>{0});
    EXPECT_EQ(Pick(&player, &env, 0), 0);
    EXPECT_EQ(Pick(&player, &env, 0), 1);
}

TEST(PlayedHistory, CountsOnlySongsAndLoadsOnlyValuesThatFit) {
    BestSongs player;
    FakeEnvironment env;
    LoadSongs(&player, &env, 3);
    player.history[0] = 0xFA;  // entry 1 played; bits past the song count are not songs
    EXPECT_EQ(CountUnplayed(player), 2);

    LoadSongs(&player, &env, 12);  // 2 bytes
    const unsigned char larger[] = {0xFF, 0xFF, 0xFF}, shorter[] = {0x0F};
    LoadHistoryValue(&player, larger, sizeof larger);
    EXPECT_EQ(CountUnplayed(player), 12);
    LoadHistoryValue(&player, shorter, sizeof shorter);
    EXPECT_EQ(CountUnplayed(player), 8);

    // After a restart the cycle goes on: what was played does not come again.
    LoadSongs(&player, &env, 4);
    Pick(&player, &env, 0);
    Pick(&player, &env, 0);
    BestSongs restarted;
    LoadSongs(&restarted, &env, 4);
    LoadHistoryValue(&restarted, player.history.data(), player.history.size());
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) order.push_back(Pick(&restarted, &env, 0));
    EXPECT_EQ(order, (std::vector<int>{2, 3, 0}));
}

TEST(PlayedHistory, RandomSwitchAdjustsTheHistoryAroundThePosition) {
    BestSongs player;
    FakeEnvironment env;
    LoadSongs(&player, &env, 16, {5});
    player.position = 4;
    AdjustHistoryForRandomSwitch(&player, false);
    EXPECT_EQ(player.history[0], 0x3F);  // 0 to 4 played, 5 as it was
    EXPECT_EQ(Pick(&player, &env, 0), 6);

    LoadSongs(&player, &env, 16, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    player.position = 12;
    AdjustHistoryForRandomSwitch(&player, true);
    EXPECT_EQ(player.history, (std::vector<unsigned char>{0x00, 0x1F}));  // 8 to 12 keep their bits

    player.position = 15;  // the last song: no byte follows it
    AdjustHistoryForRandomSwitch(&player, false);
    EXPECT_EQ(CountUnplayed(player), 0);
    LoadPlayerBest(&player, best::BestRecord());
    AdjustHistoryForRandomSwitch(&player, false);
    EXPECT_TRUE(player.history.empty());
}

TEST(TrayTip, ShowsTheFileNameCutAtACharacterBoundary) {
    char tip[64];
    TrayTipText("C:\\MIDI\\\x83\x5c\\song.mid", tip, sizeof tip);
    EXPECT_STREQ(tip, "song.mid");
    TrayTipText("C:\\MIDI\\\x83\x5c.mid", tip, sizeof tip);  // the trail byte 0x5C is no separator
    EXPECT_STREQ(tip, "\x83\x5c.mid");
    std::string name = "a";
    for (int i = 0; i < 40; ++i) name += "\x83\x5c";
    TrayTipText(("C:\\" + name).c_str(), tip, sizeof tip);
    EXPECT_EQ(std::string(tip), name.substr(0, 59) + "...");
}

}  // namespace
