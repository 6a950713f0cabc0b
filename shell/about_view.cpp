#include "shell/about_view.h"

#include <cstring>

#include "engine/korvel.h"
#include "shell/shell_state.h"
#include "utils/message_box.h"

namespace {

const char kHelpFileName[] = "KORVEL.chm";
const char kHelpMissing[] = "ヘルプファイルが見つかりません。\nTivornをインストールしなおしてください。";
const char kHelpFailed[] = "ヘルプを表示できませんでした。";

constexpr UINT kAboutAnimationPeriodMs = 500;
constexpr UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC

struct AboutState {
    bool animating;  // timer 2 runs while the view shows
};

AboutState g_about;

using HtmlHelpFunction = HWND(WINAPI *)(HWND, LPCSTR, UINT, DWORD_PTR);

// HTML Help is loaded on first use and kept: the control keeps its own
// windows and threads, which must not lose their code while they run.
HtmlHelpFunction LoadHtmlHelp() {
    static HtmlHelpFunction function;
    if (!function) {
        if (HMODULE module = LoadLibraryA("hhctrl.ocx"))
            function = reinterpret_cast<HtmlHelpFunction>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, "HtmlHelpA")));
    }
    return function;
}

}  // namespace

void OnAboutShowWindow(HWND window, bool shown) {
    if (shown && !g_about.animating) {
        g_about.animating = SetTimer(window, kAboutAnimationTimer, kAboutAnimationPeriodMs, nullptr) != 0;
    } else if (!shown && g_about.animating) {
        KillTimer(window, kAboutAnimationTimer);
        g_about.animating = false;
    }
}

// The view paints no frames yet, so a tick has nothing to advance.
void OnAboutTimer(HWND) {}

INT_PTR OnAboutPaint(HWND) { return FALSE; }

void ShowHelp(HWND owner) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        ReportUnexpectedError(g_shell.resident, true);
        return;
    }
    // The help file is looked for beside the program file only.
    char *separator = LastSeparator(path);
    char *name = separator ? separator + 1 : path;
    if (static_cast<size_t>(name - path) + sizeof kHelpFileName > sizeof path) {
        ShowMessage(owner, kHelpMissing, MB_OK | MB_ICONERROR);
        return;
    }
    std::memcpy(name, kHelpFileName, sizeof kHelpFileName);
    if (!FileExists(path, 0)) {
        ShowMessage(owner, kHelpMissing, MB_OK | MB_ICONERROR);
        return;
    }
    HtmlHelpFunction htmlHelp = LoadHtmlHelp();
    if (!htmlHelp || !htmlHelp(owner, path, kHelpDisplayTopic, 0))
        ShowMessage(owner, kHelpFailed, MB_OK | MB_ICONERROR);
}
