// The tray menu's best items and play items, and the tray icon's images and
// tip, in process over the real menu resource.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "testing/best_bytes.h"
#include "player/player.h"
#include "resources/resource_ids.h"
#include "shell/application.h"
#include "shell/output_menu.h"
#include "shell/popup_menu.h"
#include "shell/application_state.h"
#include "store/store.h"
#include "testing/store_fixture.h"
#include "testing/win_test_support.h"

namespace {

using namespace tt;

class TrayMenuTest : public ProgramKeyFixture {
protected:
    void SetUp() override {
        ProgramKeyFixture::SetUp();
        app_.state().resident = app_.CreateResidentWindow();
        ASSERT_NE(app_.state().resident, nullptr);
        LoadPopupMenu(app_.state());
        tray_ = GetSubMenu(app_.state().popupMenu, 0);
        ASSERT_NE(tray_, nullptr);
        ASSERT_TRUE(app_.store().UseDataFolder(data_.path().c_str()));
        app_.player().SetCurrentBestName(nullptr);
    }
    void TearDown() override {
        app_.tray().UpdateIcon(TrayKind::Remove, nullptr);
        UnloadPopupMenu(app_.state());
        DestroyWindow(app_.state().resident);
        PumpMessages();
        app_.tray().FreeBestNames();
        app_.player().SetCurrentBestName(nullptr);
        ProgramKeyFixture::TearDown();
    }

    // Bests of these names, each with one song.
    static std::vector<bestbytes::Bytes> Named(const std::vector<std::string> &names) {
        std::vector<bestbytes::Bytes> records;
        for (const std::string &name : names) records.push_back(bestbytes::Record(name, {"C:\\a.mid"}));
        return records;
    }

    std::string Label(int position) {
        char text[512] = "";
        GetMenuStringA(tray_, position, text, sizeof text, MF_BYPOSITION);
        return text;
    }

    bool Checked(int position) { return (GetMenuState(tray_, position, MF_BYPOSITION) & MF_CHECKED) != 0; }

    std::vector<int> CheckedPositions() {
        std::vector<int> checked;
        for (int i = 0; i < GetMenuItemCount(tray_); ++i)
            if (Checked(i)) checked.push_back(i);
        return checked;
    }

    bool Grayed(UINT command) {
        return (GetMenuState(app_.state().popupMenu, command, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }

    // Sends an output command as the menu does while a user answers the
    // SoundFont dialog, if one opens: picks file, or cancels when it is
    // empty.  Whether a dialog opened; while it was open the menu could not.
    bool ChooseAnswering(UINT command, const std::string &file) {
        std::atomic<bool> ended{false};
        bool asked = false;
        std::thread user([&] {
            HWND dialog = nullptr;
            WaitUntil([&] {
                for (HWND window : ProcessWindows(GetCurrentProcessId(), true))
                    if (ClassName(window) == "#32770" && WindowText(window) == "SoundFont の選択") dialog = window;
                return dialog != nullptr || ended.load();
            });
            if (!dialog) return;
            asked = true;
            EXPECT_FALSE(ApplicationIdle(app_.state()));
            HWND name = GetDlgItem(dialog, cmb13) ? GetDlgItem(dialog, cmb13) : GetDlgItem(dialog, edt1);
            SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
            PressButton(dialog, file.empty() ? IDCANCEL : IDOK);
        });
        SendMessageA(app_.state().resident, WM_COMMAND, command, 0);
        ended = true;
        JoinAnswering(user);
        return asked;
    }

    Application app_{GetModuleHandleA(nullptr), TestRegistryRoot()};
    HMENU tray_ = nullptr;
};

TEST_F(TrayMenuTest, TenBestsGetTheDigitMnemonicsAndTheCurrentOneIsChecked) {
    std::vector<std::string> names;
    for (int i = 0; i < 11; ++i) names.push_back("Best " + std::to_string(i));
    names[3] = "Rock & Roll";
    names[7] = "ソース";  // a name with a 0x5C trail byte
    WriteBests(Named(names));
    app_.player().SetCurrentBestName("Best 9");
    ASSERT_EQ(app_.tray().BuildBestMenu(BestMenuMode::Rebuild), 1);

    const int staticItems = 15;
    ASSERT_EQ(GetMenuItemCount(tray_), 11 + staticItems);
    ASSERT_EQ(app_.tray().BestMenuItemCount(), 11);
    EXPECT_EQ(Label(0), "&1 Best 0");
    EXPECT_EQ(Label(3), "&4 Rock && Roll");  // shows a plain '&'
    EXPECT_EQ(Label(7), "&8 ソース");
    EXPECT_EQ(Label(8), "&9 Best 8");
    EXPECT_EQ(Label(9), "1&0 Best 9");
    EXPECT_EQ(Label(10), "Best 10");  // no number, no mnemonic
    EXPECT_EQ(GetMenuItemID(tray_, 11), 0u);  // the separator moved down
    EXPECT_EQ(GetMenuItemID(tray_, 12), static_cast<UINT>(IDM_BEST_SETTINGS));
    for (int i = 0; i < 11; ++i) {
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_CHECKMARKS;
        ASSERT_TRUE(GetMenuItemInfoA(tray_, i, TRUE, &item));
        EXPECT_EQ(item.wID, static_cast<UINT>(IDM_BEST_FIRST + i));
        EXPECT_TRUE(item.fType & MFT_RADIOCHECK);
        EXPECT_EQ(item.hbmpChecked, app_.state().checkBitmap.Get());
        EXPECT_EQ(item.hbmpUnchecked, nullptr);
    }
    EXPECT_EQ(CheckedPositions(), std::vector<int>{9});
    EXPECT_EQ(app_.tray().BestNames(), names);

    // Ten bests: the tenth is the last with a mnemonic; the rebuild replaces
    // the old items rather than adding to them.
    names.resize(10);
    WriteBests(Named(names));
    ASSERT_EQ(app_.tray().BuildBestMenu(BestMenuMode::Rebuild), 1);
    EXPECT_EQ(GetMenuItemCount(tray_), 10 + staticItems);
    EXPECT_EQ(Label(9), "1&0 Best 9");
    EXPECT_EQ(CheckedPositions(), std::vector<int>{9});
}

TEST_F(TrayMenuTest, TheCheckFollowsTheExactNameOnly) {
    WriteBests(Named({"Jazz", "jazz", "Jazz "}));
    app_.player().SetCurrentBestName("jazz");
    app_.tray().BuildBestMenu(BestMenuMode::Rebuild);
    EXPECT_EQ(CheckedPositions(), std::vector<int>{1});

    // Mode 1 only moves the check; it does not read the file.
    WriteBests(Named({"Other"}));
    app_.player().SetCurrentBestName("Jazz");
    ASSERT_EQ(app_.tray().BuildBestMenu(BestMenuMode::MoveCheck), 1);
    EXPECT_EQ(CheckedPositions(), std::vector<int>{0});
    EXPECT_EQ(Label(0), "&1 Jazz");
    app_.player().SetCurrentBestName("JAZZ");
    app_.tray().BuildBestMenu(BestMenuMode::MoveCheck);
    EXPECT_EQ(CheckedPositions(), std::vector<int>{});

    // The random and repeat items' checks are not best items.
    CheckMenuItem(app_.state().popupMenu, IDM_RANDOM, MF_BYCOMMAND | MF_CHECKED);
    app_.player().SetCurrentBestName(nullptr);
    app_.tray().BuildBestMenu(BestMenuMode::MoveCheck);
    EXPECT_TRUE(GetMenuState(app_.state().popupMenu, IDM_RANDOM, MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(TrayMenuTest, AnUnreadableFileLeavesNoBestsInMenuOrList) {
    WriteBests(Named({"A", "B"}));
    app_.tray().BuildBestMenu(BestMenuMode::Rebuild);
    ASSERT_EQ(app_.tray().BestMenuItemCount(), 2);
    DeleteFileA(app_.store().bestFile());
    ASSERT_EQ(app_.tray().BuildBestMenu(BestMenuMode::Rebuild), 1);
    EXPECT_EQ(app_.tray().BestMenuItemCount(), 0);
    EXPECT_TRUE(app_.tray().BestNames().empty());
    EXPECT_EQ(GetMenuItemID(tray_, 1), static_cast<UINT>(IDM_BEST_SETTINGS));
    // A best command that no item stands for is refused.
    SendMessageA(app_.state().resident, WM_COMMAND, IDM_BEST_FIRST, 0);
    EXPECT_EQ(app_.player().CurrentBestName(), nullptr);

    UnloadPopupMenu(app_.state());
    EXPECT_EQ(app_.tray().BuildBestMenu(BestMenuMode::Rebuild), 0);
}

TEST_F(TrayMenuTest, PlayItemsFollowThePlayingState) {
    WriteBests(Named({"A"}));
    app_.tray().BuildBestMenu(BestMenuMode::Rebuild);  // the items are found by command wherever they moved
    app_.tray().SetPlayMenuState(1);
    EXPECT_TRUE(Grayed(IDM_PLAY));
    EXPECT_FALSE(Grayed(IDM_STOP));
    EXPECT_FALSE(Grayed(IDM_SONG_INFO));
    app_.tray().SetPlayMenuState(0);
    EXPECT_FALSE(Grayed(IDM_PLAY));
    EXPECT_TRUE(Grayed(IDM_STOP));
    EXPECT_TRUE(Grayed(IDM_SONG_INFO));
    EXPECT_FALSE(Grayed(IDM_NEXT));

    // The option checks follow the settings, whoever changes them.
    auto checked = [&](UINT id) { return (GetMenuState(app_.state().popupMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    app_.store().SetOption(Option::RepeatOne, 1);
    EXPECT_TRUE(checked(IDM_REPEAT_ONE));
    SendMessageA(app_.state().resident, WM_COMMAND, IDM_REPEAT_ONE, 0);
    EXPECT_FALSE(checked(IDM_REPEAT_ONE));
    EXPECT_FALSE(app_.store().option(Option::RepeatOne));
}

// Wine has no MIDI devices: the mapper and the log output stand for them.
TEST_F(TrayMenuTest, TheOutputSubmenuChecksWhereTheMusicGoes) {
    const char *engineKey = program_key::EngineKey();
    int exit = GetMenuItemCount(tray_) - 1;
    ASSERT_EQ(GetMenuItemID(tray_, exit), static_cast<UINT>(IDM_EXIT));
    EXPECT_EQ(Label(exit - 1), "出力先(&D)");
    HMENU output = OutputSubmenu(tray_);
    ASSERT_EQ(output, GetSubMenu(tray_, exit - 1));
    auto items = [output] {
        std::vector<std::string> shown;
        for (int i = 0; i < GetMenuItemCount(output); ++i) {
            char text[128] = "";
            GetMenuStringA(output, i, text, sizeof text, MF_BYPOSITION);
            bool checked = GetMenuState(output, i, MF_BYPOSITION) & MF_CHECKED;
            shown.push_back(std::string(checked ? "* " : "") + text);
        }
        return shown;
    };
    std::string log = "log:" + data_.path() + "\\play.log";
    program_key::WriteString(engineKey, "Output", log);
    BuildOutputMenu(tray_, app_.store());
    EXPECT_EQ(items(), (std::vector<std::string>{"MIDIマッパー", "内蔵シンセサイザー", "* ログ出力", "",
                                                 "SoundFont を選ぶ…"}));

    // A device that is not plugged in plays on the mapper; its name is kept.
    program_key::WriteString(engineKey, "Output", "midi:name:Gone");
    BuildOutputMenu(tray_, app_.store());  // the rebuild drops the log's item
    EXPECT_EQ(items(), (std::vector<std::string>{"* MIDIマッパー", "内蔵シンセサイザー", "", "SoundFont を選ぶ…"}));
    program_key::WriteString(engineKey, "Output", "synth:C:\\ソ\\GM.sf2");
    BuildOutputMenu(tray_, app_.store());
    EXPECT_EQ(items(), (std::vector<std::string>{"MIDIマッパー", "* 内蔵シンセサイザー", "", "SoundFont を選ぶ…"}));

    program_key::WriteString(engineKey, "Output", log);
    SendMessageA(app_.state().resident, WM_COMMAND, IDM_OUTPUT_LOG, 0);  // already the output: nothing changes
    std::string stored;
    ASSERT_TRUE(program_key::ReadRaw(engineKey, "Output", &stored));
    EXPECT_EQ(stored, log + '\0');
    SendMessageA(app_.state().resident, WM_COMMAND, IDM_OUTPUT_MAPPER, 0);
    ASSERT_TRUE(program_key::ReadRaw(engineKey, "Output", &stored));
    EXPECT_EQ(stored, std::string(1, '\0'));
    BuildOutputMenu(tray_, app_.store());
    EXPECT_EQ(items().front(), "* MIDIマッパー");
    program_key::Delete(engineKey, "Output");
}

TEST_F(TrayMenuTest, TheSynthesizerPlaysTheSoundFontLastPlayedOrOneThatIsPicked) {
    const char *engineKey = program_key::EngineKey();
    HWND resident = app_.state().resident;
    auto stored = [engineKey](const char *name) {
        std::string value;
        return program_key::ReadRaw(engineKey, name, &value) ? std::string(value.c_str()) : "(missing)";
    };
    std::string mine = data_.WriteFile("ソース\\my.sf2", {'R', 'I', 'F', 'F'});
    std::string setups = data_.WriteFile("TimGM6mb.sf2", {'R', 'I', 'F', 'F'});

    // None played yet, and none beside the test program: the user is asked.
    EXPECT_TRUE(ChooseAnswering(IDM_OUTPUT_SYNTH, ""));
    EXPECT_EQ(stored("Output"), "(missing)");
    EXPECT_TRUE(ChooseAnswering(IDM_OUTPUT_SYNTH, mine));
    EXPECT_EQ(stored("Output"), "synth:" + mine);
    EXPECT_EQ(stored("SoundFont"), mine);

    // After the mapper, the synthesizer comes back with it, unasked.
    SendMessageA(resident, WM_COMMAND, IDM_OUTPUT_MAPPER, 0);
    EXPECT_EQ(stored("Output"), "");
    EXPECT_FALSE(ChooseAnswering(IDM_OUTPUT_SYNTH, ""));
    EXPECT_EQ(stored("Output"), "synth:" + mine);

    // The SoundFont item always asks; cancelled, nothing changes.
    EXPECT_TRUE(ChooseAnswering(IDM_OUTPUT_SOUNDFONT, ""));
    EXPECT_EQ(stored("Output"), "synth:" + mine);
    // One set outside the menu (as setup does) is the one kept on leaving it.
    program_key::WriteString(engineKey, "Output", "synth:" + setups);
    SendMessageA(resident, WM_COMMAND, IDM_OUTPUT_MAPPER, 0);
    EXPECT_EQ(stored("SoundFont"), setups);
    EXPECT_TRUE(ChooseAnswering(IDM_OUTPUT_SOUNDFONT, mine));
    EXPECT_EQ(stored("Output"), "synth:" + mine);
    EXPECT_EQ(stored("SoundFont"), mine);
    program_key::Delete(engineKey, "Output");
    program_key::Delete(engineKey, "SoundFont");
}

TEST_F(TrayMenuTest, IconAlternatesAndTheTipShowsTheFileName) {
    app_.tray().UpdateIcon(TrayKind::Add, nullptr);
    EXPECT_STREQ(app_.tray().TipText(), "Tivorn");
    EXPECT_EQ(app_.tray().ImageShown(), 0);
    app_.tray().UpdateIcon(TrayKind::Still, nullptr);
    std::vector<int> shown;
    for (int kind : {4, 4, 3, 4, 7, -1}) {  // 7 and -1 are no kinds: nothing
        app_.tray().UpdateIcon(static_cast<TrayKind>(kind), nullptr);
        shown.push_back(app_.tray().ImageShown());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 0, 0, 1, 1, 1}));

    app_.tray().UpdateIcon(TrayKind::Tip, "C:\\MIDI\\ソ\\曲.mid");
    EXPECT_STREQ(app_.tray().TipText(), "曲.mid");
    std::string longName;
    for (int i = 0; i < 40; ++i) longName += "ソ";
    app_.tray().UpdateIcon(TrayKind::Tip, ("C:\\MIDI\\" + longName).c_str());
    std::string tip = app_.tray().TipText();
    EXPECT_LE(tip.size(), 63u);
    EXPECT_EQ(tip.substr(tip.size() - 3), "...");
    EXPECT_EQ(tip.substr(0, tip.size() - 3), longName.substr(0, tip.size() - 3));
    EXPECT_EQ((tip.size() - 3) % 2, 0u);  // whole characters only
    app_.tray().UpdateIcon(TrayKind::Tip, nullptr);
    EXPECT_STREQ(app_.tray().TipText(), "Tivorn");

    // The taskbar came back: the icon is added again with image A.
    app_.tray().UpdateIcon(TrayKind::Alternate, nullptr);
    app_.tray().UpdateIcon(TrayKind::Tip, "C:\\a.mid");
    app_.state().taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    SendMessageA(app_.state().resident, app_.state().taskbarCreated, 0, 0);
    EXPECT_EQ(app_.tray().ImageShown(), 0);
    EXPECT_STREQ(app_.tray().TipText(), "Tivorn");

    // A new scale: the images at its size, not the size of the sign-in scale.
    for (UINT dpi : {144u, 192u, 96u}) {
        app_.tray().ReloadImagesAt(dpi);
        EXPECT_EQ(app_.tray().ImagePixels(), static_cast<int>(dpi / 6)) << dpi;
    }
}

}  // namespace
