// The real Tivorn.exe as a player, for the tests that run it: a best file in
// a scratch data folder, songs from the MIDI writer, and the engine's log
// output in place of sound.
#ifndef TIVORN_TESTS_E2E_PLAYER_E2E_FIXTURE_H
#define TIVORN_TESTS_E2E_PLAYER_E2E_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testing/midi_writer.h"
#include "testing/store_fixture.h"

namespace player_e2e {

using namespace tt;

// The real Tivorn.exe runs here: it keeps its state under its own key.
const bool kProgramsKey = program_key::UseProgramsKey();

const char kEngineKey[] = "Software\\Zarnith\\Tivorn\\Engine";
const uint8_t kSkipShortcuts = 0x02;
const uint8_t kRandom = 0x04;
const char kNoMidiFiles[] = "このベストにはMIDIファイルがありません。\nほかのベストを指定してください。";
const char kBestSettingsTitle[] = "ベストの設定 - Tivorn";

// Paths as the log shows them: in UTF-8, while the program and its bests
// hold them in the ANSI code page.
inline std::string Logged(const std::string &path) { return AnsiToUtf8(path); }
inline std::vector<std::string> LoggedAll(const std::vector<std::string> &paths) {
    std::vector<std::string> logged;
    for (const std::string &path : paths) logged.push_back(Logged(path));
    return logged;
}
inline std::string Open(const std::string &path) { return "open " + Logged(path); }

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

    // The engine's song events: "open <path>" (UTF-8), "start", "end" and "stop".
    std::vector<std::string> Events() const { return SongEvents(log_); }

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

    // What the engine did after the first `from` song events.
    std::vector<std::string> EventsSince(size_t from) const { return SongEvents(log_, from); }

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

}  // namespace player_e2e

#endif
