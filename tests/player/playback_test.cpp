// The player in process over the real engine (log output): the end of a
// song, the end of a preview, the close of the best settings dialog, the end
// of the session and the played history in the registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testing/best_bytes.h"
#include "testing/fake_editor_host.h"
#include "engine/korvel.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/application.h"
#include "shell/popup_menu.h"
#include "store/store.h"
#include "testing/midi_writer.h"
#include "testing/store_fixture.h"
#include "utils/message_box.h"

namespace {

using namespace tt;
using bestbytes::Record;

class PlaybackTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        ASSERT_TRUE(app_.store().UseDataFolder(data_.path().c_str()));
        log_ = data_.Join("play.log");
        program_key::WriteString(program_key::EngineKey(), "Output", "log:" + log_);
        program_key::WriteSettings(program_key::Settings());
        app_.state().resident = app_.CreateResidentWindow();
        ASSERT_NE(app_.state().resident, nullptr);
        LoadPopupMenu(app_.state());
        ASSERT_TRUE(EngineInit());
        for (int i = 0; i < 3; ++i) songs_.push_back(data_.WriteFile("s" + std::to_string(i) + ".mid",
                                                                     midiw::Tune({60}, 30000)));
    }
    void TearDown() override {
        app_.player().StopPlayback();
        if (app_.state().bestDialog) DestroyWindow(app_.state().bestDialog);
        app_.RequestExit(ExitReason::ExitCommand);  // closes the engine and unloads the menu
        PumpMessages();
        StoreFixture::TearDown();
    }

    // Makes best `name` current and plays its first song.
    void PlayBest(const char *name) {
        app_.player().SetCurrentBestName(name);
        ASSERT_TRUE(app_.player().LoadCurrentBest());
        ASSERT_EQ(app_.player().NextSong(SongOrder::InOrder, NextChoice::Next), 1);
    }

    std::vector<std::string> Events() const { return SongEvents(log_); }
    std::vector<std::string> EventsSince(size_t from) const { return SongEvents(log_, from); }

    void OpenBestSettings(BestSettingsOpener opener) {
        ASSERT_TRUE(app_.editorHost().OpenBestSettings(opener));
        ASSERT_NE(app_.state().bestDialog, nullptr);
    }

    Application app_{GetModuleHandleA(nullptr), TestRegistryRoot()};
    std::string log_;
    std::vector<std::string> songs_;
};

TEST_F(PlaybackTest, AnEndMovesOnOnlyForTheSongThatStillPlays) {
    WriteBests({Record("Best", songs_)});
    PlayBest("Best");
    ASSERT_EQ(Events(), (std::vector<std::string>{"open " + AnsiToUtf8(songs_[0]), "start"}));

    // An end posted for an earlier song is dropped.
    size_t seen = Events().size();
    SendMessageA(app_.state().resident, kMsgSongEnded, app_.player().Generation() - 1, 0);
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});

    // The engine's handler only posts; the resident window moves on.
    OnSongEnd(1);
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});
    PumpMessages();
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", "open " + AnsiToUtf8(songs_[1]), "start"}));

    app_.store().SetOption(Option::RepeatOne, 1);
    seen = Events().size();
    OnSongEnd(1);
    PumpMessages();
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", "open " + AnsiToUtf8(songs_[1]), "start"}));
    EXPECT_EQ(app_.player().Songs().position, 1);
    EXPECT_EQ(History("Best"), std::string(1, '\x03'));

    // Stopped before the end was handled: nothing starts.
    OnSongEnd(1);
    app_.player().StopPlayback();
    seen = Events().size();
    PumpMessages();
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});
    EXPECT_FALSE(app_.player().SongPlaying());
}

TEST_F(PlaybackTest, APreviewsEndResumesOnlyABestThatWasPlaying) {
    WriteBests({Record("Best", songs_)});
    PlayBest("Best");
    HWND previewWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    // A preview takes playback over as the best settings dialog does.
    app_.player().StopForPreview(previewWindow);
    size_t seen = Events().size();
    OnPreviewEnd(1);
    PumpMessages();
    EXPECT_EQ(PlaybackOwner(), nullptr);
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"open " + AnsiToUtf8(songs_[0]), "start"}));

    // The engine asked the owner to end it: no resume.
    seen = Events().size();
    app_.player().StopForPreview(previewWindow);
    OnPreviewEnd(0);
    PumpMessages();
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{"stop"});
    EXPECT_TRUE(app_.player().SongPlaying());  // the player's state is kept for a later resume

    app_.player().StopPlayback();
    seen = Events().size();
    app_.player().ResumeAfterPreview(AfterPreview::Resume);
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});
    DestroyWindow(previewWindow);
}

TEST_F(PlaybackTest, TheEndOfAnEarlierPreviewStopsNeitherTheNextNorTheBest) {
    WriteBests({Record("Best", songs_)});
    PlayBest("Best");
    HWND previewWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    auto preview = [&](const std::string &song) {
        app_.player().StopForPreview(previewWindow);
        ASSERT_TRUE(OpenSong(song.c_str(), 0) && StartSong(OnPreviewEnd));
    };
    // Preview A ends; its end is still queued when preview B starts.
    preview(songs_[1]);
    OnPreviewEnd(1);
    preview(songs_[2]);
    size_t seen = Events().size();
    PumpMessages();
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});
    EXPECT_EQ(PlaybackOwner(), previewWindow);

    // B's own end gives playback back to the best; an end of B handled after
    // that (the engine asked its owner too) is stale as well.
    OnPreviewEnd(1);
    OnPreviewEnd(1);
    PumpMessages();
    EXPECT_EQ(EventsSince(seen), (std::vector<std::string>{"stop", "open " + AnsiToUtf8(songs_[0]), "start"}));
    EXPECT_EQ(PlaybackOwner(), nullptr);
    DestroyWindow(previewWindow);
}

TEST_F(PlaybackTest, ClosingTheBestSettingsAppliesItsFlags) {
    WriteBests({Record("A", {songs_[0]})});
    PlayBest("A");
    app_.tray().BuildBestMenu(BestMenuMode::Rebuild);

    // Bests were added and the playing best saved: the menu and the list are
    // read again without interrupting the song.
    WriteBests({Record("A", {songs_[0], songs_[1]}), Record("B", {songs_[2]})});
    OpenBestSettings(BestSettingsOpener::Menu);
    HWND dialog = app_.state().bestDialog;
    size_t seen = Events().size();
    app_.editorHost().CloseBestSettings(Closed({&BestSettingsResult::bestListChanged, &BestSettingsResult::playingBestSaved}));
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});
    EXPECT_EQ(app_.tray().BestMenuItemCount(), 2);
    EXPECT_EQ(app_.player().Songs().songCount, 2);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(app_.state().bestDialog, nullptr);
    EXPECT_TRUE(ApplicationIdle(app_.state()));

    // The random box changed: switched and stored.
    OpenBestSettings(BestSettingsOpener::Menu);
    app_.editorHost().CloseBestSettings(Closed({&BestSettingsResult::randomChanged}));
    EXPECT_EQ(app_.store().option(Option::Random), 1);
    EXPECT_TRUE(GetMenuState(app_.state().popupMenu, IDM_RANDOM, MF_BYCOMMAND) & MF_CHECKED);
    std::string stored;
    ASSERT_TRUE(program_key::ReadRaw(program_key::Key(), "Settings", &stored));
    EXPECT_EQ(stored[5] & 0x04, 0x04);

    // Another best to play; a preview of the dialog is ended first.
    OpenBestSettings(BestSettingsOpener::Menu);
    app_.player().StopForPreview(app_.state().bestDialog);
    app_.player().SetCurrentBestName("B");
    seen = Events().size();
    app_.editorHost().CloseBestSettings(Closed({&BestSettingsResult::bestToPlayChanged}));
    std::vector<std::string> events = EventsSince(seen);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "start");
    EXPECT_EQ(events[events.size() - 2], "open " + AnsiToUtf8(songs_[2]));
    EXPECT_EQ(PlaybackOwner(), nullptr);
    EXPECT_EQ(std::vector<int>{1}, [this] {
        std::vector<int> checked;
        HMENU tray = GetSubMenu(app_.state().popupMenu, 0);
        for (int i = 0; i < app_.tray().BestMenuItemCount(); ++i)
            if (GetMenuState(tray, i, MF_BYPOSITION) & MF_CHECKED) checked.push_back(i);
        return checked;
    }());
}

TEST_F(PlaybackTest, WithoutAnyBestTheRequiredDialogMakesTheDefaultBestAndOkPlaysIt) {
    program_key::WriteString(program_key::Key(), "Root", data_.path());
    OpenBestSettings(BestSettingsOpener::Startup);
    HWND dialog = app_.state().bestDialog;
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);  // nothing else shows it waits
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CANCEL)));
    SendMessageA(dialog, WM_CLOSE, 0, 0);  // only OK closes it
    EXPECT_TRUE(IsWindow(dialog));
    SendMessageA(dialog, WM_COMMAND, IDC_OK, 0);
    PumpMessages();  // the dialog's close arrives posted
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(ApplicationIdle(app_.state()));
    ASSERT_NE(app_.player().CurrentBestName(), nullptr);
    EXPECT_STREQ(app_.player().CurrentBestName(), "すべてのMIDIファイル");
    EXPECT_EQ(app_.tray().BestMenuItemCount(), 1);
    PumpMessages();  // no shut-down was asked for
    EXPECT_EQ(Events(), (std::vector<std::string>{"open " + AnsiToUtf8(songs_[0]), "start"}));
}

// The application's modes are read from its windows: the required dialog is the
// dialog's own state from its first box on, and keys typed into a tree's
// label edit box pass the dialog by in the real message loop.
TEST_F(PlaybackTest, ModesFollowFromTheOpenWindows) {
    data_.WriteFile("A\\a.mid", midiw::Tune({60}, 30000));
    program_key::WriteString(program_key::Key(), "Root", data_.path());
    OpenBestSettings(BestSettingsOpener::Startup);
    HWND dialog = app_.state().bestDialog;
    EXPECT_TRUE(app_.state().modeless.Contains(dialog));
    EXPECT_TRUE(BestSettingsRequired(app_.state()));
    SendMessageA(app_.state().resident, kTrayMessage, 0, WM_LBUTTONDBLCLK);  // no skipping
    EXPECT_EQ(Events(), std::vector<std::string>{});

    HWND tree = GetDlgItem(dialog, IDC_TREE);
    HTREEITEM folder = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    ASSERT_NE(folder, nullptr);
    HWND edit = TreeView_EditLabel(tree, folder);
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "名前");
    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    PostQuitMessage(0);
    EXPECT_EQ(app_.RunMessageLoop(), 0);
    EXPECT_EQ(TreeView_GetEditControl(tree), nullptr);
    EXPECT_EQ(app_.store().ReadAlbumName(data_.Join("A").c_str()), "名前");
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(PlaybackTest, TheHistoryIsWrittenBackOnlyWhereTheWriterLeftIt) {
    WriteBests({Record("H", songs_)});
    PlayBest("H");
    EXPECT_EQ(History("H"), std::string(1, '\x01'));

    // The best file's writer emptied the value: the old bitmap stays out.
    program_key::WriteBinary(program_key::HistoryKey(), "H", "", 0);
    app_.player().SaveHistory(HistorySave::IfPresent);
    EXPECT_EQ(History("H"), "");
    app_.player().SaveHistory(HistorySave::Always);
    EXPECT_EQ(History("H"), std::string(1, '\x01'));

    // Loading: a larger value is not this list's; a shorter one fills what it holds.
    program_key::WriteBinary(program_key::HistoryKey(), "H", "\x06\x01", 2);
    ASSERT_TRUE(app_.player().LoadCurrentBest());
    EXPECT_EQ(CountUnplayed(app_.player().Songs()), 3);
    program_key::WriteBinary(program_key::HistoryKey(), "H", "\x06", 1);
    ASSERT_TRUE(app_.player().LoadCurrentBest());
    EXPECT_EQ(CountUnplayed(app_.player().Songs()), 1);

    // Clearing during a song saves at once and does not stop it.
    size_t seen = Events().size();
    app_.player().ClearHistory();
    EXPECT_EQ(History("H"), std::string(1, '\0'));
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{});

    // The name already names another best that is not loaded yet: H's
    // bitmap is not stored under it.
    app_.player().SetCurrentBestName("Other");
    program_key::WriteBinary(program_key::HistoryKey(), "Other", "\x05", 1);
    app_.player().SaveHistory(HistorySave::Always);
    app_.player().SaveHistory(HistorySave::IfPresent);
    EXPECT_EQ(History("Other"), "\x05");
}

// Windows may end the process as soon as WM_ENDSESSION returns: the notes
// are released and the history saved there, as the exit does.
TEST_F(PlaybackTest, TheEndOfTheSessionReleasesTheSongAndSavesTheHistory) {
    WriteBests({Record("H", songs_)});
    PlayBest("H");
    app_.player().Songs().history[0] = 0x07;  // changed in memory only, as a random switch does
    size_t seen = Events().size();
    HWND resident = app_.state().resident;
    EXPECT_EQ(SendMessageA(resident, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    SendMessageA(resident, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(EventsSince(seen), std::vector<std::string>{"stop"});
    EXPECT_EQ(History("H"), std::string(1, '\x07'));
    EXPECT_EQ(app_.state().popupMenu, nullptr);  // the application is shut down too

    // What fails on the way out is logged beside the data, never shown: a
    // box would hold up the sign-out.
    app_.TellExitFailure("失敗\nした");
    std::string log;
    ASSERT_TRUE(tt::ReadWholeFile(data_.Join("KORVEL.log"), &log));
    EXPECT_NE(log.find(" 失敗 した\r\n"), std::string::npos) << log;
}

TEST_F(PlaybackTest, TheRandomSwitchWithoutABestChangesOnlyTheSetting) {
    app_.player().SetRandomMode(true, RandomChange::ShowOnly);
    EXPECT_EQ(app_.store().option(Option::Random), 1);
    EXPECT_TRUE(GetMenuState(app_.state().popupMenu, IDM_RANDOM, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(program_key::Settings(), [] {
        std::string stored;
        program_key::ReadRaw(program_key::Key(), "Settings", &stored);
        return std::vector<uint8_t>(stored.begin(), stored.end());
    }());  // without reset nothing is stored
    app_.player().SetRandomMode(false, RandomChange::Switch);
    EXPECT_EQ(app_.store().option(Option::Random), 0);
    EXPECT_FALSE(GetMenuState(app_.state().popupMenu, IDM_RANDOM, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(app_.player().Songs().history.empty());
}

// A song that begins is named in a balloon, by its own title and its best,
// only with the setting on, and a song begun again (a rewind) is no news.
TEST_F(PlaybackTest, ABeginningSongIsNoticedByItsTitleOnlyWhenAsked) {
    midiw::Track titled;
    titled.Name(0, "夜明けの歌").NoteOn(0, 0, 60, 100).NoteOff(30000, 0, 60).End();
    std::string song = data_.WriteFile("t.mid", midiw::File(0, 96, {titled}));
    WriteBests({Record("Best", {song, songs_[0]})});
    app_.tray().UpdateIcon(TrayKind::Add, nullptr);
    PlayBest("Best");
    EXPECT_EQ(app_.tray().NoticesAsked(), 0);  // off unless the user asks

    ASSERT_TRUE(app_.store().SetSongNotice(true));
    app_.player().StopPlayback();
    app_.player().PlayCurrentSong();
    app_.player().RestartCurrentSong();
    EXPECT_EQ(app_.tray().NoticesAsked(), 1);
    EXPECT_STREQ(app_.tray().NoticeTitle(), "夜明けの歌");
    EXPECT_STREQ(app_.tray().NoticeText(), "Best");
    app_.player().PlayNextSong();  // no title of its own: its file name
    EXPECT_EQ(app_.tray().NoticesAsked(), 2);
    EXPECT_STREQ(app_.tray().NoticeTitle(), "s0.mid");
    app_.tray().UpdateIcon(TrayKind::Remove, nullptr);
}

}  // namespace
