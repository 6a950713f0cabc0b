// Commands that reach the running copy: the hand-over of a second start and
// the hotkey hook, through the real KORVEL.dll.  The test process plays the
// running copy with a window titled "Tivorn" that wears the resident mark,
// and types, on a desktop of its own (main, below).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <thread>
#include <vector>

#include "engine/korvel.h"
#include "engine/registry_names.h"
#include "engine/resident_window.h"
#include "tests/korvel/dll/korvel_test_windows.h"

namespace {

using Codes = std::vector<ULONG_PTR>;

constexpr WPARAM kMaskKey = 0xE8;  // the unassigned key the hook masks Alt with

// Runs work on a second thread, as a second start does, while this thread
// keeps handling the messages of its windows.
void FromAnotherThread(const std::function<void()> &work) {
    std::atomic<bool> done{false};
    std::thread other([&] {
        work();
        done = true;
    });
    EXPECT_TRUE(tt::WaitUntil([&] { return done.load(); }, 60000));
    other.join();
}

TEST(HandOver, EachCommandLineSendsItsCodeToTheResidentWindow) {
    kt::RecordingWindow messageBox("Tivorn", false);
    kt::RecordingWindow resident("Tivorn", true);
    HWND window = resident.handle();
    FromAnotherThread([window] {
        for (const char *line : {"/next", "/rewind", "/stop", "/nextbest", "/restart", "/menu", "", "/unknown"})
            HandOver(line, window);
        HandOver(" \"/STOP\" ", nullptr);  // no window given: found by its title and mark
    });
    EXPECT_EQ(resident.codes, (Codes{0, 1, 2, 3, 4, 5, 5, 2}));
    EXPECT_TRUE(messageBox.codes.empty());
}

// "Settings" of this process's own key, which the library reads from now
// on (not the program's, which a Tivorn.exe beside this test reads), put
// back as it was after each test.  The key itself stays until the last
// test: the hook watches it, and a key made again is another key.
class SavedSettings {
public:
    SavedSettings() {
        SetSettingsKey(Key());
        size_ = ReadValue(Key(), kValueSettings, bytes_, sizeof bytes_, REG_BINARY, HKEY_CURRENT_USER);
    }
    ~SavedSettings() {
        if (size_)
            WriteValue(Key(), kValueSettings, bytes_, size_, REG_BINARY, HKEY_CURRENT_USER);
        else
            DeleteValue(Key(), kValueSettings, HKEY_CURRENT_USER);
    }
    static void WriteHotkeys(WORD next, WORD menu) {
        BYTE block[29] = {LOBYTE(next), HIBYTE(next), LOBYTE(menu), HIBYTE(menu), 2, 0x01};
        WriteValue(Key(), kValueSettings, block, sizeof block, REG_BINARY, HKEY_CURRENT_USER);
    }
    static const char *Key() { return tt::program_key::Key(); }

private:
    BYTE bytes_[256];
    DWORD size_;
};

void SendKey(WORD vk, bool down) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    tt::PumpMessages();
}

// A keystroke as the user types it.
void Press(WORD vk, std::initializer_list<WORD> modifiers = {}) {
    for (WORD modifier : modifiers) SendKey(modifier, true);
    SendKey(vk, true);
    SendKey(vk, false);
    for (auto it = modifiers.end(); it != modifiers.begin();) SendKey(*--it, false);
}

// Keys injected with SendInput into a low-level hook, under Wine as under
// Windows; the test process's thread installs the hook and receives its
// commands, as the program's user-interface thread does.
class Hook : public ::testing::Test {
protected:
    // One focused window for all: Wine takes seconds to destroy a shown one.
    static void SetUpTestSuite() {
        focusWindow = new kt::RecordingWindow("KorvelTestFocus", false);
        ShowWindow(focusWindow->handle(), SW_SHOW);
    }
    static void TearDownTestSuite() {
        delete focusWindow;
        tt::program_key::Clear();
    }

    void SetUp() override {
        SavedSettings::WriteHotkeys(0x0200 | VK_F9, 0x0500 | VK_F10);  // Ctrl+F9, Shift+Alt+F10
        hook = InstallHook(EngineVariant(), resident.handle());
        ASSERT_NE(hook, nullptr);
        SetForegroundWindow(focus.handle());
        SetFocus(focus.handle());
        focus.keys.clear();
        Press('Q');
        if (!tt::WaitUntil([&] { return focus.HasKey('Q'); }, 5000))
            GTEST_SKIP() << "injected keys do not reach the focused window here";
    }
    void TearDown() override {
        if (hook) UnhookWindowsHookEx(hook);
        SetPlaybackOwner(nullptr, 0);
    }
    // A key that passes through after those under test, so that their
    // absence in the focused window is not mere slowness.
    bool Settled() {
        Press('Z');
        return tt::WaitUntil([&] { return focus.HasKey('Z'); }, 5000);
    }

    static kt::RecordingWindow *focusWindow;
    kt::RecordingWindow &focus = *focusWindow;
    SavedSettings saved;
    kt::RecordingWindow resident{"Tivorn", true};
    HHOOK hook = nullptr;
};

kt::RecordingWindow *Hook::focusWindow;

TEST_F(Hook, HotkeysSendTheirCodesAndAreSwallowed) {
    focus.keys.clear();
    Press(VK_F9, {VK_CONTROL});
    Press(VK_F10, {VK_SHIFT, VK_MENU});
    ASSERT_TRUE(tt::WaitUntil([&] { return resident.codes.size() == 2; }));
    ASSERT_TRUE(Settled());
    EXPECT_EQ(resident.codes, (Codes{TIVORN_CODE_NEXT, TIVORN_CODE_MENU}));
    EXPECT_TRUE(focus.HasKey(VK_CONTROL));
    EXPECT_FALSE(focus.HasKey(VK_F9) || focus.HasKey(VK_F10)) << "a hotkey reached the focused window";
    // Alt was held for the second: the focused window got the masking key
    // between Alt's down and up, so it does not open its menu bar.
    EXPECT_TRUE(focus.HasKey(kMaskKey));

    // The same keys with other modifiers are the user's.
    focus.keys.clear();
    Press(VK_F9);
    Press(VK_F9, {VK_CONTROL, VK_SHIFT});
    Press(VK_F10, {VK_SHIFT});
    ASSERT_TRUE(Settled());
    EXPECT_EQ(resident.codes.size(), 2u);
    EXPECT_TRUE(focus.HasKey(VK_F9) && focus.HasKey(VK_F10));
}

TEST_F(Hook, DecidesWhileTheInstallingThreadIsBusyAndIsRemovedFromIt) {
    // This thread handles no message until the keys have been typed on
    // another; a hook serviced here would hold them (or be passed over).
    focus.keys.clear();
    std::thread typist([] {
        Press(VK_F9, {VK_CONTROL});
        Press('Z');
    });
    typist.join();
    ASSERT_TRUE(tt::WaitUntil([&] { return focus.HasKey('Z') && resident.codes.size() == 1; }));
    EXPECT_EQ(resident.codes, Codes{TIVORN_CODE_NEXT});
    EXPECT_FALSE(focus.HasKey(VK_F9) || focus.HasKey(kMaskKey)) << "the hotkey was not swallowed, or masked without Alt";

    // The program removes the hook from this thread, not the hook's.
    ASSERT_TRUE(UnhookWindowsHookEx(hook));
    hook = nullptr;
    Press(VK_F9, {VK_CONTROL});
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(focus.HasKey(VK_F9));
    EXPECT_EQ(resident.codes.size(), 1u);
}

TEST_F(Hook, NextGoesToThePlaybackOwner) {
    kt::RecordingWindow preview("KorvelTestPreview", false);
    SetPlaybackOwner(preview.handle(), 1);
    Press(VK_F9, {VK_CONTROL});
    Press(VK_F10, {VK_SHIFT, VK_MENU});
    ASSERT_TRUE(tt::WaitUntil([&] { return preview.codes.size() == 1 && resident.codes.size() == 1; }));
    EXPECT_EQ(preview.codes, Codes{TIVORN_CODE_NEXT});
    EXPECT_EQ(resident.codes, Codes{TIVORN_CODE_MENU});
}

TEST_F(Hook, SettingsSavedAfterInstallTakeEffect) {
    // The advanced settings dialog saves the block after it reinstalled the hook.
    SavedSettings::WriteHotkeys(VK_F11, 0);
    Press(VK_F11);
    ASSERT_TRUE(tt::WaitUntil([&] { return resident.codes.size() == 1; }));
    Press(VK_F9, {VK_CONTROL});
    Press(VK_F10, {VK_SHIFT, VK_MENU});
    ASSERT_TRUE(Settled());
    EXPECT_EQ(resident.codes, Codes{TIVORN_CODE_NEXT}) << "an old hotkey still acted";
}

}  // namespace
