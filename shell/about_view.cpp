#include "shell/about_view.h"

#include <commctrl.h>

#include <cstring>

#include "engine/korvel.h"
#include "resources/resource_ids.h"
#include "shell/about_frames.h"
#include "shell/shell_state.h"
#include "store/settings.h"
#include "utils/message_box.h"
#include "utils/scope_guard.h"

namespace {

const char kHelpFileName[] = "KORVEL.chm";
const char kHelpControl[] = "hhctrl.ocx";
const char kHelpMissing[] = "ヘルプファイルが見つかりません。\nTivornをインストールしなおしてください。";
const char kHelpFailed[] = "ヘルプを表示できませんでした。";

constexpr UINT kAboutAnimationPeriodMs = 500;
constexpr UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC
constexpr UINT kHelpCloseAll = 0x12;   // HH_CLOSE_ALL

// The pictures: 68 x 68 pixels, drawn on pure blue, which is left out so the
// figure stands on the dialog's own background.
constexpr int kFrameSize = 68;
constexpr COLORREF kFrameGround = RGB(0, 0, 255);
constexpr int kFrameX = 10;
constexpr int kFrameY = 10;

const char kFontFace[] = "ＭＳ Ｐゴシック";
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

struct AboutText {
    int height;
    int width;
    bool italic;
    COLORREF colour;
    const char *text;
    int x;
    int y;
};

const char kTitle[] = "Ｔｉｖｏｒｎ";
const char kVersion[] = "Ver 1.00";
const char kProgramCredit[] = "プログラム：Tivorn 開発チーム";
const char kGraphicsCredit[] = "グラフィック：Tivorn 開発チーム";

// The title is drawn a little narrower with the engine's other variant.
constexpr int kTitleWidth = 12;
constexpr int kTitleWidthOtherEngine = 10;

struct AboutState {
    HIMAGELIST frames;  // exists only while the view shows
    bool animating;     // timer 2 runs
    int step;           // survives hiding: a reopened view runs on from here
};

AboutState g_about;

// Bitmaps 167 to 177 in one image list.  A picture that cannot be loaded
// ends the list there, so that the later ones never take its index.
HIMAGELIST BuildFrames() {
    HIMAGELIST list = ImageList_Create(kFrameSize, kFrameSize, ILC_COLOR8 | ILC_MASK, kAboutFrameCount, 0);
    if (!list) return nullptr;
    for (int i = 0; i < kAboutFrameCount; ++i) {
        HBITMAP bitmap = LoadBitmapA(g_shell.instance, MAKEINTRESOURCEA(IDB_ABOUT_FIRST + i));
        if (!bitmap) break;
        ImageList_AddMasked(list, bitmap, kFrameGround);
        DeleteObject(bitmap);
    }
    return list;
}

// The view is a dialog, so it grows with the screen's DPI (the program is
// DPI aware).  The picture and the texts painted on it grow with it and keep
// their places beside the buttons; at 96 DPI they are the sizes above, pixel
// for pixel.
constexpr int kDesignDpi = 96;

int ViewDpi(HWND window, HDC dc) {
    // GetDpiForWindow (Windows 10 1607 on) knows the monitor the view is on;
    // without it the device's DPI is the system's.
    using DpiForWindow = UINT(WINAPI *)(HWND);
    static const DpiForWindow dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    int dpi = dpiForWindow ? static_cast<int>(dpiForWindow(window)) : 0;
    if (dpi <= 0) dpi = GetDeviceCaps(dc, LOGPIXELSY);
    return dpi > 0 ? dpi : kDesignDpi;
}

int Scaled(int value, int dpi) { return MulDiv(value, dpi, kDesignDpi); }

// The picture of the current step.  Its transparent part is filled with the
// dialog's colour in the same blit, so a picture drawn over the previous one
// by the timer leaves nothing of it behind, and nothing flickers.  On a
// larger DPI it is drawn so into a scratch bitmap first and stretched whole,
// pixel for pixel (it is pixel art: no smoothing).
void DrawCurrentFrame(HDC dc, int dpi) {
    if (!g_about.frames) return;
    int frame = AboutFrameAt(g_about.step);
    COLORREF ground = GetSysColor(COLOR_3DFACE);
    if (dpi != kDesignDpi) {
        HDC scratch = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, kFrameSize, kFrameSize);
        ScopeGuard release([scratch, bitmap] {
            if (bitmap) DeleteObject(bitmap);
            if (scratch) DeleteDC(scratch);
        });
        if (scratch && bitmap) {
            HGDIOBJ previous = SelectObject(scratch, bitmap);
            ImageList_DrawEx(g_about.frames, frame, scratch, 0, 0, 0, 0, ground, CLR_NONE, ILD_NORMAL);
            int previousMode = SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, Scaled(kFrameX, dpi), Scaled(kFrameY, dpi), Scaled(kFrameSize, dpi),
                       Scaled(kFrameSize, dpi), scratch, 0, 0, kFrameSize, kFrameSize, SRCCOPY);
            if (previousMode) SetStretchBltMode(dc, previousMode);
            SelectObject(scratch, previous);
            return;
        }
        // Without the scratch bitmap the picture is still shown, unstretched.
    }
    ImageList_DrawEx(g_about.frames, frame, dc, kFrameX, kFrameY, 0, 0, ground, CLR_NONE, ILD_NORMAL);
}

// One text in its own font; a font that cannot be made leaves its text out.
void DrawAboutText(HDC dc, const AboutText &text, int dpi) {
    HFONT font = CreateFontA(Scaled(text.height, dpi), Scaled(text.width, dpi), 0, 0, FW_BOLD, text.italic, FALSE,
                             FALSE, SHIFTJIS_CHARSET, 0, 0, 0, 0, kFontFace);
    if (!font) return;
    ScopeGuard deleteFont([font] { DeleteObject(font); });
    HGDIOBJ previous = SelectObject(dc, font);
    ScopeGuard restoreFont([dc, previous] { SelectObject(dc, previous); });
    SetTextColor(dc, text.colour);
    TextOutA(dc, Scaled(text.x, dpi), Scaled(text.y, dpi), text.text, lstrlenA(text.text));
}

void DrawAboutTexts(HDC dc, int dpi) {
    const AboutText texts[] = {
        {32, g_settings.engineVariant == 0 ? kTitleWidth : kTitleWidthOtherEngine, true, kBlue, kTitle, 90, 7},
        {26, 12, false, kBlue, kVersion, 235, 47},
        {14, 7, false, kBlack, kProgramCredit, 40, 83},
        {14, 7, false, kBlack, kGraphicsCredit, 40, 103},
    };
    int previousMode = SetBkMode(dc, TRANSPARENT);
    for (const AboutText &text : texts) DrawAboutText(dc, text, dpi);
    if (previousMode) SetBkMode(dc, previousMode);
}

using HtmlHelpFunction = HWND(WINAPI *)(HWND, LPCSTR, UINT, DWORD_PTR);

HtmlHelpFunction g_htmlHelp;

// HTML Help is loaded on first use and kept: the control keeps its own
// windows and threads, which must not lose their code while they run.  It is
// taken from the system folder by its full path, so that a file of the same
// name in the program's or the current folder is never loaded instead.
HtmlHelpFunction LoadHtmlHelp() {
    if (g_htmlHelp) return g_htmlHelp;
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, ARRAYSIZE(path));
    if (length == 0 || length + 1 + sizeof kHelpControl > ARRAYSIZE(path)) return nullptr;
    path[length] = '\\';
    std::memcpy(path + length + 1, kHelpControl, sizeof kHelpControl);
    if (HMODULE module = LoadLibraryA(path))
        g_htmlHelp = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "HtmlHelpA")));
    return g_htmlHelp;
}

}  // namespace

void OnAboutShowWindow(HWND window, bool shown) {
    if (shown && !g_about.frames) {
        g_about.frames = BuildFrames();
        if (!g_about.frames) {
            ReportUnexpectedError(g_shell.resident, true);
            return;
        }
        g_about.animating = SetTimer(window, kAboutAnimationTimer, kAboutAnimationPeriodMs, nullptr) != 0;
    } else if (!shown && g_about.frames) {
        if (g_about.animating) KillTimer(window, kAboutAnimationTimer);
        g_about.animating = false;
        ImageList_Destroy(g_about.frames);
        g_about.frames = nullptr;
    }
}

void OnAboutTimer(HWND window) {
    HDC dc = GetDC(window);
    if (!dc) return;
    g_about.step = NextAboutStep(g_about.step);
    DrawCurrentFrame(dc, ViewDpi(window, dc));
    ReleaseDC(window, dc);
}

INT_PTR OnAboutPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return TRUE;
    int dpi = ViewDpi(window, dc);
    DrawCurrentFrame(dc, dpi);
    DrawAboutTexts(dc, dpi);
    EndPaint(window, &paint);
    return TRUE;
}

int AboutAnimationStep() { return g_about.step; }

void ShowHelp(HWND owner) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path)) {
        ReportUnexpectedError(g_shell.resident, true);
        return;
    }
    // Beside the program file only, whatever the current folder is.
    char *separator = LastSeparator(path);
    char *name = separator ? separator + 1 : nullptr;
    if (!name || static_cast<size_t>(name - path) + sizeof kHelpFileName > ARRAYSIZE(path)) {
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

void CloseHelp() {
    // Only a help that was opened has windows to close.
    if (g_htmlHelp) g_htmlHelp(nullptr, nullptr, kHelpCloseAll, 0);
}
