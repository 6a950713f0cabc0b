// The resident window, the message loop's key routing, the shutdown and the
// out-of-memory handler.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <thread>

#include "engine/korvel.h"
#include "resources/resource_ids.h"
#include "shell/hotkeys.h"
#include "shell/out_of_memory.h"
#include "shell/resident_window_fixture.h"
#include "testing/win_test_support.h"

namespace {

using namespace tt;

class ResidentWindowTest : public ResidentWindowFixture {
protected:
    LRESULT SendCode(ULONG_PTR code) {
        COPYDATASTRUCT data = {code, 0, nullptr};
        return SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
};

TEST_F(ResidentWindowTest, IsTheHiddenTemplateTaggedAsTheCommandTarget) {
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_EQ(WindowText(window_), "Tivorn");
    EXPECT_NE(GetPropA(window_, "TivornResident"), nullptr);
    EXPECT_EQ(GetWindowLongA(window_, GWL_STYLE) & WS_SYSMENU, 0);
}

TEST_F(ResidentWindowTest, CopyDataIsIgnoredUntilTheWindowIsStored) {
    EXPECT_EQ(SendCode(0), 1);  // still being created, as far as the program knows
    app_.state().resident = window_;
    for (ULONG_PTR code : {ULONG_PTR(6), ULONG_PTR(99), ~ULONG_PTR(0)}) EXPECT_EQ(SendCode(code), 0);
}

TEST_F(ResidentWindowTest, ExitCommandClosesTheEngineAndEndsTheLoop) {
    app_.state().resident = window_;
    PostMessageA(window_, WM_COMMAND, IDM_EXIT, 0);
    // The loop ends with the quit message that the exit posts.
    EXPECT_EQ(app_.RunMessageLoop(), 0);
    EXPECT_FALSE(IsWindow(window_));
}

// What a start meets while the copy exits: handled between the exit and the
// window's end, as a hand-over sent then would be.
struct DuringExit {
    static inline HWND resident;
    static inline bool tagged = true;
    static inline LRESULT answer = 0;
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_APP) return DefWindowProcA(window, message, wParam, lParam);
        tagged = GetPropA(resident, "TivornResident") != nullptr;
        COPYDATASTRUCT data = {0, 0, nullptr};
        answer = SendMessageA(resident, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        return 0;
    }
};

TEST_F(ResidentWindowTest, AnExitingCopyDropsItsTagTakesNothingAndHoldsTheStartLockToItsEnd) {
    app_.state().resident = DuringExit::resident = window_;
    HWND probe = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(probe, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DuringExit::Proc));
    PostMessageA(window_, WM_COMMAND, IDM_EXIT, 0);
    PostMessageA(probe, WM_APP, 0, 0);
    EXPECT_EQ(app_.RunMessageLoop(), 0);
    EXPECT_FALSE(DuringExit::tagged);
    EXPECT_EQ(DuringExit::answer, 1);  // not taken: the start runs as the new copy
    EXPECT_FALSE(IsWindow(window_));
    std::thread([] {
        HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, "Local\\Zarnith.Tivorn.Startup");
        ASSERT_NE(lock, nullptr);
        EXPECT_EQ(WaitForSingleObject(lock, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        CloseHandle(lock);
    }).join();
    DestroyWindow(probe);
}

TEST_F(ResidentWindowTest, DialogKeysReachTheAboutViewOnlyWhileItShows) {
    app_.state().resident = window_;
    // The resident window never takes dialog keys: it is not among the
    // modeless windows, and hidden.
    PostMessageA(GetDlgItem(window_, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    RunLoopOnce();
    EXPECT_TRUE(IsWindow(window_));

    SendMessageA(window_, WM_COMMAND, IDM_VERSION, 0);
    HWND about = app_.about().window();
    ASSERT_NE(about, nullptr);
    PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    RunLoopOnce();
    EXPECT_FALSE(IsWindow(about));
    EXPECT_TRUE(ApplicationIdle(app_.state()));
}

// The exit lets go of what the system holds for the program at once, and
// destroys the windows (the best settings dialog first) only once the loop
// has ended: a handler under way never has its dialog destroyed under it.
TEST_F(ResidentWindowTest, TheExitReleasesTheIconHookAndMenuAtOnceAndTheWindowsAfterTheLoop) {
    app_.state().resident = window_;
    HWND dialog = CreateDialogParamA(app_.state().instance, MAKEINTRESOURCEA(IDD_BEST_NAME), window_,
                                     [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; },
                                     0);
    ASSERT_NE(dialog, nullptr);
    app_.editorHost().BestSettingsOpening(dialog);
    SendMessageA(window_, WM_COMMAND, IDM_VERSION, 0);
    HWND about = app_.about().window();
    ASSERT_NE(about, nullptr);
    app_.tray().UpdateIcon(TrayKind::Add, nullptr);
    NOTIFYICONDATAA probe = {};
    probe.cbSize = sizeof probe;
    probe.hWnd = window_;
    probe.uID = kTrayIconId;
    probe.uFlags = NIF_TIP;
    lstrcpyA(probe.szTip, "probe");
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    app_.state().hook.reset(SetWindowsHookExA(WH_KEYBOARD_LL, [](int code, WPARAM w, LPARAM l) {
        return CallNextHookEx(nullptr, code, w, l);
    }, GetModuleHandleA(nullptr), 0));
    ASSERT_NE(app_.state().hook.get(), nullptr);
    HHOOK hook = app_.state().hook.get();

    app_.RequestExit(ExitReason::FatalError);
    app_.RequestExit(ExitReason::SessionEnd);  // only the first counts
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &probe));
    EXPECT_EQ(app_.state().hook.get(), nullptr);
    EXPECT_FALSE(UnhookWindowsHookEx(hook));  // already removed
    EXPECT_EQ(app_.state().popupMenu, nullptr);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindow(about));
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(app_.RunMessageLoop(), 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(about));
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(app_.state().bestDialog, nullptr);
    EXPECT_TRUE(ApplicationIdle(app_.state()));
}

// Whoever changes the stored settings, the keys follow: new hotkeys install
// a running hook again and install none where none runs, and the media keys
// are wanted or not at once.  No resident window: nothing is registered
// with the system, which other test programs share.
TEST_F(ResidentWindowTest, TheHookAndTheMediaKeysFollowTheStoredSettings) {
    Store &store = app_.store();
    ASSERT_TRUE(store.SetHotkeys(0x0227, 0));
    EXPECT_EQ(app_.state().hook.get(), nullptr);
    EXPECT_FALSE(program_key::Exists(program_key::Key(), "Hook"));

    ASSERT_TRUE(InstallHotkeyHook(app_.state(), store, HookFailure::GoesOn));
    program_key::Delete(program_key::Key(), "Hook");
    ASSERT_TRUE(store.SetHotkeys(0x0228, 0));
    EXPECT_NE(app_.state().hook.get(), nullptr);
    EXPECT_TRUE(program_key::Exists(program_key::Key(), "Hook"));  // the new hook's
    RemoveHotkeyHook(app_.state());

    app_.mediaKeys().Use(MediaKeySetting::On);
    app_.mediaKeys().PlaybackStarted();
    EXPECT_TRUE(app_.mediaKeys().Wanted());
    ASSERT_TRUE(store.SetMediaKeys(false));
    EXPECT_FALSE(app_.mediaKeys().Wanted());
    ASSERT_TRUE(store.SetMediaKeys(true));
    EXPECT_TRUE(app_.mediaKeys().Wanted());
}

// Presses the buttons of the out-of-memory box of another process: OK the
// first time (the allocation is retried), Cancel the second time.
void AnswerOutOfMemoryBoxes(DWORD parent, volatile bool *stop) {
    const char expected[] = "メモリが不足しています。";
    int answered = 0;
    while (!*stop && answered < 2) {
        for (HWND box = FindWindowA("#32770", "Tivorn"); box; box = FindWindowExA(nullptr, box, "#32770", "Tivorn")) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner == parent || MessageBoxText(box).compare(0, sizeof expected - 1, expected) != 0) continue;
            PressButton(box, answered == 0 ? IDOK : IDCANCEL);
            ++answered;
            // Wait for this box to go before looking for the next.
            while (!*stop && IsWindow(box)) Sleep(20);
            break;
        }
        Sleep(20);
    }
}

TEST(OutOfMemory, OkRetriesAndCancelEndsWithCodeTwo) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    volatile bool stop = false;
    std::thread answerer(AnswerOutOfMemoryBoxes, GetCurrentProcessId(), &stop);
    EXPECT_EXIT(
        {
            InstallOutOfMemoryHandler();
            // An ordinary new, as the program's containers and records use it;
            // the size is not known to the compiler, which could otherwise
            // drop an allocation that is never used.
            volatile size_t size = SIZE_MAX / 4;  // can never succeed
            char *block = new char[size];
            block[0] = 1;
            delete[] block;
        },
        ::testing::ExitedWithCode(2), "");
    stop = true;
    answerer.join();
}

}  // namespace
