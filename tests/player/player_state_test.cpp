// The player alone, over a recording host, engine and store: its states and
// their transitions, and how often one change crosses its boundary.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "player/player.h"
#include "testing/best_bytes.h"
#include "testing/win_test_support.h"
#include "utils/message_box.h"

namespace {

struct Recorder {
    std::vector<std::string> calls;  // every call across the player's boundary
};

struct FakeEngine : PlayerEngine {
    explicit FakeEngine(Recorder &r) : rec(r) {}
    store::PathFound FindPath(const char *path) override {
        rec.calls.push_back("exists");
        return files.count(path) ? store::PathFound::File : store::PathFound::NoName;
    }
    store::PathFound FindReadableFile(const char *path) override { return FindPath(path); }
    bool ResolveShortcut(const char *, char *) override { return rec.calls.push_back("resolve"), false; }
    bool OpenSong(const char *path, bool) override { return rec.calls.push_back("open"), opened = path, true; }
    bool StartSong(KorvelEndHandler) override { return rec.calls.push_back("start"), true; }
    void StopSong() override { rec.calls.push_back("stop"); }
    void SetPlaybackOwner(HWND window, int) override { rec.calls.push_back("owner"), owner = window; }
    bool ReportPlayError(int, HWND) override { return rec.calls.push_back("report"), true; }
    Recorder &rec;
    std::set<std::string> files;
    std::string opened;
    HWND owner = nullptr;
};

struct FakeStore : PlayerStore {
    explicit FakeStore(Recorder &r) : rec(r) {}
    PlayerOptions Options() override { return rec.calls.push_back("options"), PlayerOptions(); }
    void SetRandom(bool, bool) override { rec.calls.push_back("random"); }
    best::BestRecord FindBest(const char *name) override {
        rec.calls.push_back("find");
        bestbytes::Bytes file = bestbytes::File({bestbytes::Record("B", songs)});
        return best::FindBest(file.data(), file.size(), name);
    }
    void WritePlayBest(const char *) override { rec.calls.push_back("playbest"); }
    std::vector<unsigned char> ReadHistory(const char *, size_t) override {
        rec.calls.push_back("read");
        return {};
    }
    void WriteHistory(const char *, const unsigned char *bitmap, size_t size) override {
        rec.calls.push_back("history");
        history.assign(bitmap, bitmap + size);
    }
    bool HistoryPresent(const char *) override { return rec.calls.push_back("present"), true; }
    Recorder &rec;
    std::vector<std::string> songs;
    std::vector<unsigned char> history;  // as last written
};

struct FakeHost : PlayerHost {
    explicit FakeHost(Recorder &r) : rec(r) {}
    HWND Window() override { return nullptr; }
    void ShowPlayer(const PlayerReport &report) override {
        rec.calls.push_back("show");
        reports.push_back(report);
        tip = report.tip ? report.tip : "";
    }
    void ShowCurrentBest() override { rec.calls.push_back("check"); }
    void ShowBox(const char *text, UINT) override { rec.calls.push_back("box"), box = text; }
    void RequestExit(ExitReason) override { rec.calls.push_back("exit"); }
    Recorder &rec;
    std::string box;
    std::vector<PlayerReport> reports;
    std::string tip;  // "" for the product name
};

class PlayerStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i) store_.songs.push_back("C:\\MIDI\\s" + std::to_string(i) + ".mid");
        engine_.files.insert(store_.songs.begin(), store_.songs.end());
        player_.SetHost(&host_);
        player_.SetCurrentBestName("B");
        player_.SwitchBest(AfterSwitch::Play, HandedFiles::Drop);
        ASSERT_EQ(player_.State(), PlayState::Playing);
    }
    // The crossings and reports of what runs in change.
    template <typename Change> size_t Crossings(Change change) {
        rec_.calls.clear();
        host_.reports.clear();
        change();
        return rec_.calls.size();
    }

    Recorder rec_;
    FakeEngine engine_{rec_};
    FakeStore store_{rec_};
    FakeHost host_{rec_};
    Player player_{engine_, store_};
};

TEST_F(PlayerStateTest, OneNextSongCrossesTheBoundaryAtMostTenTimes) {
    size_t crossings = Crossings([&] { EXPECT_EQ(player_.PlayNextSong(), 1); });
    EXPECT_LE(crossings, 10u) << ::testing::PrintToString(rec_.calls);
    EXPECT_EQ(engine_.opened, store_.songs[1]);
    ASSERT_EQ(host_.reports.size(), 1u);  // no stopped state in between
    EXPECT_EQ(host_.reports[0].state, PlayState::Playing);
    EXPECT_TRUE(host_.reports[0].sounding);
}

TEST_F(PlayerStateTest, EachTransitionEndsInOneStateAndOneReport) {
    HWND dialog = reinterpret_cast<HWND>(0x1234);
    auto once = [&](PlayState state, bool sounding, bool songPlaying) {
        ASSERT_EQ(host_.reports.size(), 1u);
        EXPECT_EQ(host_.reports[0].state, state);
        EXPECT_EQ(host_.reports[0].sounding, sounding);
        EXPECT_EQ(host_.reports[0].songPlaying, songPlaying);
        EXPECT_EQ(player_.State(), state);
    };
    Crossings([&] { player_.StopPlayback(); });
    once(PlayState::Stopped, false, false);
    Crossings([&] { player_.PlayNextSong(); });
    once(PlayState::Playing, true, true);
    EXPECT_EQ(host_.tip, store_.songs[1]);

    // A preview holds playback, and the engine is told whose it is.
    Crossings([&] { EXPECT_TRUE(player_.PlayPreview("C:\\other.mid", dialog)); });
    once(PlayState::Previewing, true, true);
    EXPECT_EQ(player_.PreviewWindow(), dialog);
    EXPECT_EQ(engine_.owner, dialog);
    Crossings([&] { player_.ResumeAfterPreview(AfterPreview::Resume); });
    once(PlayState::Playing, true, true);
    EXPECT_EQ(engine_.owner, nullptr);
    EXPECT_EQ(engine_.opened, store_.songs[1]);

    Crossings([&] { player_.SuspendPlayback(); });
    once(PlayState::Suspended, false, true);
    Crossings([&] { player_.ResumePlayback(); });
    once(PlayState::Playing, true, true);

    // Handed files play first; next drops the one that plays, and the best's
    // song comes back from its start.
    engine_.files.insert("C:\\h.mid");
    player_.QueueHandedFiles({"C:\\h.mid"});
    Crossings([&] { player_.PlayHandedFiles(); });
    once(PlayState::PlayingHanded, true, true);
    EXPECT_EQ(host_.tip, "C:\\h.mid");
    Crossings([&] { player_.PlayNextSong(); });
    once(PlayState::Playing, true, true);
    EXPECT_EQ(engine_.opened, store_.songs[1]);

    // Nothing left to play: the user is told, the tip names no song, and the
    // history's clearing leaves no song meant to play behind it.
    engine_.files.clear();
    Crossings([&] { EXPECT_EQ(player_.PlayNextSong(), 0); });
    once(PlayState::Stopped, false, false);
    EXPECT_EQ(host_.tip, "");
    EXPECT_NE(host_.box.find("このベストにはMIDIファイルがありません。"), std::string::npos) << host_.box;
}

// An edit of the best that plays is saved: the played bits follow the
// songs by path onto the saved list, that bitmap is stored at once, and the
// close of the dialog goes on from the same place in the cycle.
TEST_F(PlayerStateTest, ASavedEditOfThePlayingBestCarriesThePlayedBitsByPath) {
    player_.PlayNextSong();  // s0 and s1 played, s1 plays
    std::vector<std::string> edited = {"C:\\MIDI\\new.mid", store_.songs[1], store_.songs[2], "c:\\midi\\S3.MID"};
    engine_.files.insert(edited.begin(), edited.end());
    bestbytes::Bytes file = bestbytes::File({bestbytes::Record("B", edited)});
    player_.TakeSavedBest(best::FindBest(file.data(), file.size(), "B"));
    EXPECT_EQ(store_.history, std::vector<unsigned char>{0x02});
    EXPECT_EQ(player_.State(), PlayState::Playing);
    EXPECT_EQ(player_.Songs().position, 1);

    // The song's end stores the new list's bitmap, never the old one.
    player_.HandleSongEnded(player_.Generation());
    EXPECT_EQ(engine_.opened, store_.songs[2]);
    EXPECT_EQ(store_.history, std::vector<unsigned char>{0x06});

    // The dialog closes: the list read back from the file is the same.
    store_.songs = edited;
    player_.ReloadCurrentBest();
    EXPECT_EQ(store_.history, std::vector<unsigned char>{0x06});
    player_.PlayNextSong();
    EXPECT_EQ(engine_.opened, edited[3]);
}

}  // namespace
