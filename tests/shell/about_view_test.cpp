// The About view's animation and painting, its keys beside the best settings
// dialog, and help when the help file is missing.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "resources/resource_ids.h"
#include "shell/resident_window_fixture.h"
#include "testing/win_test_support.h"

namespace {

using namespace tt;

class AboutViewTest : public ResidentWindowFixture {
protected:
    void SetUp() override {
        ResidentWindowFixture::SetUp();
        app_.state().resident = window_;
    }
    void TearDown() override {
        app_.about().Close();
        ResidentWindowFixture::TearDown();
    }

    void Command(WORD id) { SendMessageA(window_, WM_COMMAND, id, 0); }
    HWND About() { return app_.about().window(); }
    void CloseAbout() { SendMessageA(About(), WM_COMMAND, IDCANCEL, 0); }
    void Tick() { SendMessageA(About(), WM_TIMER, kAboutAnimationTimer, 0); }
    void Repaint() {
        InvalidateRect(About(), nullptr, TRUE);
        UpdateWindow(About());
    }
    void PressEscapeIn(HWND dialog, int control) {
        PostMessageA(GetDlgItem(dialog, control), WM_KEYDOWN, VK_ESCAPE, 0);
        RunLoopOnce();
    }
};

int Steps(int from, int to) { return (to - from + 24) % 24; }

TEST_F(AboutViewTest, TicksAdvanceTheAnimationRepaintsDoNotAndReopeningRunsOnWhereItStopped) {
    Command(IDM_VERSION);
    ASSERT_TRUE(IsWindowVisible(About()));
    EXPECT_FALSE(IsWindowVisible(window_));  // the view is a window of its own
    EXPECT_FALSE(ApplicationIdle(app_.state()));
    // The view's own timer runs while it shows.
    int shown = app_.about().AnimationStep();
    EXPECT_TRUE(WaitUntil([&] { return app_.about().AnimationStep() != shown; }, 5000));

    int start = app_.about().AnimationStep();
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(Steps(start, app_.about().AnimationStep()), 5);
    Repaint();
    Repaint();
    EXPECT_EQ(Steps(start, app_.about().AnimationStep()), 5);

    CloseAbout();
    EXPECT_EQ(About(), nullptr);
    EXPECT_TRUE(ApplicationIdle(app_.state()));
    int hidden = app_.about().AnimationStep();
    Command(IDM_VERSION);
    EXPECT_EQ(app_.about().AnimationStep(), hidden);
    Tick();
    EXPECT_EQ(Steps(hidden, app_.about().AnimationStep()), 1);

    // A whole cycle brings the same step back.
    int before = app_.about().AnimationStep();
    for (int i = 0; i < 24; ++i) Tick();
    EXPECT_EQ(app_.about().AnimationStep(), before);
}

TEST_F(AboutViewTest, ThePictureStandsOnTheDialogsOwnBackgroundNotOnItsBlueGround) {
    Command(IDM_VERSION);
    for (int round = 0; round < 2; ++round) {
        // Once painted whole, once drawn by a tick over the previous picture.
        if (round == 0)
            Repaint();
        else
            Tick();
        HDC dc = GetDC(About());
        ASSERT_NE(dc, nullptr);
        COLORREF background = GetNearestColor(dc, GetSysColor(COLOR_3DFACE));
        int blue = 0;
        for (int y = 10; y < 78; ++y)
            for (int x = 10; x < 78; ++x)
                if (GetPixel(dc, x, y) == RGB(0, 0, 255)) ++blue;
        EXPECT_EQ(blue, 0) << "round " << round;
        // The picture's corners are its ground.
        EXPECT_EQ(GetPixel(dc, 10, 10), background);
        EXPECT_EQ(GetPixel(dc, 77, 10), background);
        ReleaseDC(About(), dc);
    }
}

// High contrast: the picture in the scheme's text and face colours only, and
// no text in the view's own blue, which a dark scheme would swallow.
TEST_F(AboutViewTest, HighContrastPaintsInTheSchemesColoursOnly) {
    app_.about().UseContrastQuery([] { return Contrast::High; });
    Command(IDM_VERSION);
    Repaint();
    HDC dc = GetDC(About());
    ASSERT_NE(dc, nullptr);
    COLORREF face = GetNearestColor(dc, GetSysColor(COLOR_3DFACE));
    COLORREF ink = GetNearestColor(dc, GetSysColor(COLOR_BTNTEXT));
    int inked = 0, others = 0;
    for (int y = 10; y < 78; ++y)
        for (int x = 10; x < 78; ++x) {
            COLORREF pixel = GetPixel(dc, x, y);
            inked += pixel == ink;
            others += pixel != ink && pixel != face;
        }
    EXPECT_GT(inked, 200);  // the figure is there
    EXPECT_EQ(others, 0);
    int blue = 0;
    for (int y = 7; y < 80; ++y)
        for (int x = 90; x < 330; ++x) blue += GetPixel(dc, x, y) == RGB(0, 0, 255);
    EXPECT_EQ(blue, 0);
    ReleaseDC(About(), dc);
    app_.about().UseContrastQuery(SystemContrast);
}

// Stands in for the best settings dialog: a modeless dialog owned by the
// resident window that counts the Esc it receives.
int g_standInCancels;

INT_PTR CALLBACK StandInProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) ++g_standInCancels;
    return message == WM_INITDIALOG;
}

TEST_F(AboutViewTest, AboutAndTheBestSettingsDialogEachKeepTheirKeysAndTheDialogItsMode) {
    g_standInCancels = 0;
    HWND dialog = CreateDialogParamA(app_.state().instance, MAKEINTRESOURCEA(IDD_BEST_NAME), window_, StandInProc, 0);
    ASSERT_NE(dialog, nullptr);

    // About over the dialog: the dialog stays open and in charge of its
    // own keys, and the application is not idle until both are gone.
    app_.editorHost().BestSettingsOpening(dialog);
    Command(IDM_VERSION);
    HWND about = About();
    EXPECT_TRUE(IsWindowVisible(about));
    PressEscapeIn(dialog, IDC_BEST_NAME);
    EXPECT_EQ(g_standInCancels, 1);
    EXPECT_TRUE(IsWindowVisible(about));
    PressEscapeIn(about, IDOK);
    EXPECT_FALSE(IsWindow(about));
    EXPECT_FALSE(ApplicationIdle(app_.state()));
    PressEscapeIn(dialog, IDC_BEST_NAME);
    EXPECT_EQ(g_standInCancels, 2);

    // The dialog opened over the About view: both get their keys, and when
    // the dialog closes the view is in charge again.
    app_.editorHost().CloseBestSettings(BestSettingsResult());
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(ApplicationIdle(app_.state()));
    dialog = CreateDialogParamA(app_.state().instance, MAKEINTRESOURCEA(IDD_BEST_NAME), window_, StandInProc, 0);
    ASSERT_NE(dialog, nullptr);
    Command(IDM_VERSION);
    about = About();
    app_.editorHost().BestSettingsOpening(dialog);
    PressEscapeIn(dialog, IDC_BEST_NAME);
    EXPECT_EQ(g_standInCancels, 3);
    EXPECT_TRUE(IsWindowVisible(about));
    app_.editorHost().CloseBestSettings(BestSettingsResult());
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(ApplicationIdle(app_.state()));
    PressEscapeIn(about, IDOK);
    EXPECT_FALSE(IsWindow(about));
    EXPECT_TRUE(ApplicationIdle(app_.state()));
}

TEST_F(AboutViewTest, HelpIsLookedForBesideTheProgramOnlyAndItsAbsenceIsReported) {
    char program[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
    std::string beside(program);
    beside = beside.substr(0, beside.find_last_of('\\') + 1) + "KORVEL.chm";
    ASSERT_EQ(GetFileAttributesA(beside.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the tests need no help file beside them: " << beside;

    // A help file in the current folder is not the program's.
    ScratchFolder folder;
    folder.WriteFile("KORVEL.chm", {'I', 'T', 'S', 'F'});
    char previous[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.path().c_str()));

    std::string text;
    {
        BoxAnswerer answer;
        Command(IDM_HELP);
        text = answer.Text();
    }
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(text, "ヘルプファイルが見つかりません。\nTivornをインストールしなおしてください。");
}

}  // namespace
