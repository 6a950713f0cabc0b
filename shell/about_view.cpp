#include "shell/about_view.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "shell/about_frames.h"
#include "engine/korvel.h"
#include "utils/handles.h"
#include "utils/image_list.h"
#include "utils/message_box.h"
#include "utils/scope_guard.h"
#include "utils/system_function.h"

namespace {

constexpr UINT kAboutAnimationPeriodMs = 500;

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
// The build's version (TIVORN_VERSION in the root CMakeLists), as the
// version resources give it: "Ver 1.00".
#define ABOUT_TEXT_OF(x) #x
#define ABOUT_TEXT(x) ABOUT_TEXT_OF(x)
const char kVersion[] = "Ver " ABOUT_TEXT(TIVORN_VERSION);
const char kProgramCredit[] = "プログラム：Tivorn 開発チーム";
const char kGraphicsCredit[] = "グラフィック：Tivorn 開発チーム";

// The title is drawn a little narrower with the engine's other variant.
constexpr int kTitleWidth = 12;
constexpr int kTitleWidthOtherEngine = 10;

// The bitmaps from IDB_ABOUT_FIRST on in one image list.  A picture that cannot be loaded
// ends the list there, so that the later ones never take its index.
ImageList BuildFrames(HINSTANCE instance) {
    ImageList list(ImageList_Create(kFrameSize, kFrameSize, ILC_COLOR8 | ILC_MASK, kAboutFrameCount, 0));
    if (!list) return list;
    for (int i = 0; i < kAboutFrameCount; ++i) {
        GdiObject<HBITMAP> bitmap(LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_ABOUT_FIRST + i)));
        if (!bitmap) break;
        ImageList_AddMasked(list.Get(), bitmap.Get(), kFrameGround);
    }
    return list;
}

// The view is a dialog, so it grows with the screen's DPI (the program is
// DPI aware).  The picture and the texts painted on it grow with it and keep
// their places beside the buttons; at 96 DPI they are the sizes above, pixel
// for pixel.
constexpr int kDesignDpi = 96;

int Scaled(int value, int dpi) { return MulDiv(value, dpi, kDesignDpi); }

// The colours the view paints in: the dialog's face under it, and with high
// contrast on, the scheme's text colour for every text and the picture.
struct ViewColours {
    Contrast contrast;
    COLORREF face;
    COLORREF text;
};

ViewColours ColoursFor(Contrast contrast) {
    return {contrast, GetSysColor(COLOR_3DFACE), GetSysColor(COLOR_BTNTEXT)};
}

uint32_t AsPixel(COLORREF colour) {
    return (uint32_t{GetRValue(colour)} << 16) | (uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

// The picture of the current step.  Its transparent part is filled with the
// dialog's colour in the same blit, so a picture drawn over the previous one
// by the timer leaves nothing of it behind, and nothing flickers.  On a
// larger DPI, or to be recoloured for high contrast, it is drawn so into a
// scratch bitmap first and stretched whole, pixel for pixel (it is pixel
// art: no smoothing).
void DrawFrame(HIMAGELIST frames, int step, HDC dc, int dpi, const ViewColours &colours) {
    if (!frames) return;
    int frame = AboutFrameAt(step);
    bool high = colours.contrast == Contrast::High;
    if (dpi != kDesignDpi || high) {
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof format.bmiHeader;
        format.bmiHeader.biWidth = kFrameSize;
        format.bmiHeader.biHeight = -kFrameSize;  // top-down
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        void *bits = nullptr;
        // The bitmap goes before the context it was selected out of.
        HDC scratch = CreateCompatibleDC(dc);
        ScopeGuard deleteScratch([scratch] {
            if (scratch) DeleteDC(scratch);
        });
        GdiObject<HBITMAP> bitmap(CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (scratch && bitmap && bits) {
            HGDIOBJ previous = SelectObject(scratch, bitmap.Get());
            // Recolouring needs the ground as it is in the bitmap.
            ImageList_DrawEx(frames, frame, scratch, 0, 0, 0, 0, high ? kFrameGround : colours.face, CLR_NONE,
                             ILD_NORMAL);
            if (high) {
                GdiFlush();
                uint32_t *pixels = static_cast<uint32_t *>(bits);
                for (int i = 0; i < kFrameSize * kFrameSize; ++i)
                    pixels[i] = HighContrastPixel(pixels[i], AsPixel(kFrameGround), AsPixel(colours.text),
                                                  AsPixel(colours.face));
            }
            int previousMode = SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, Scaled(kFrameX, dpi), Scaled(kFrameY, dpi), Scaled(kFrameSize, dpi),
                       Scaled(kFrameSize, dpi), scratch, 0, 0, kFrameSize, kFrameSize, SRCCOPY);
            if (previousMode) SetStretchBltMode(dc, previousMode);
            SelectObject(scratch, previous);
            return;
        }
        // Without the scratch bitmap the picture is still shown, unstretched.
    }
    ImageList_DrawEx(frames, frame, dc, kFrameX, kFrameY, 0, 0, colours.face, CLR_NONE, ILD_NORMAL);
}

// One text in its own font; a font that cannot be made leaves its text out.
void DrawAboutText(HDC dc, const AboutText &text, int dpi, const ViewColours &colours) {
    GdiObject<HFONT> font(CreateFontA(Scaled(text.height, dpi), Scaled(text.width, dpi), 0, 0, FW_BOLD,
                                      text.italic, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, 0, kFontFace));
    if (!font) return;
    HGDIOBJ previous = SelectObject(dc, font.Get());
    ScopeGuard restoreFont([dc, previous] { SelectObject(dc, previous); });
    SetTextColor(dc, colours.contrast == Contrast::High ? colours.text : text.colour);
    TextOutA(dc, Scaled(text.x, dpi), Scaled(text.y, dpi), text.text, lstrlenA(text.text));
}

void DrawAboutTexts(HDC dc, int dpi, const ViewColours &colours) {
    const AboutText texts[] = {
        {32, EngineVariant() == 0 ? kTitleWidth : kTitleWidthOtherEngine, true, kBlue, kTitle, 90, 7},
        {26, 12, false, kBlue, kVersion, 235, 47},
        {14, 7, false, kBlack, kProgramCredit, 40, 83},
        {14, 7, false, kBlack, kGraphicsCredit, 40, 103},
    };
    int previousMode = SetBkMode(dc, TRANSPARENT);
    for (const AboutText &text : texts) DrawAboutText(dc, text, dpi, colours);
    if (previousMode) SetBkMode(dc, previousMode);
}

}  // namespace

Contrast SystemContrast() {
    HIGHCONTRASTA setting = {};
    setting.cbSize = sizeof setting;
    if (!SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0)) return Contrast::Normal;
    return (setting.dwFlags & HCF_HIGHCONTRASTON) ? Contrast::High : Contrast::Normal;
}

AboutView::AboutView(ApplicationState &state, ExitRequester &exit) : state_(state), exit_(exit) {
    // GetDpiForWindow (Windows 10 1607 on) knows the monitor the view is on;
    // without it the device's DPI is the system's.
    dpiForWindow_ = SystemFunction<DpiForWindow>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
}

AboutView::~AboutView() { Close(); }

void AboutView::Open() {
    if (window_) return;
    // Unowned, as the view has always been: a window of its own on the
    // taskbar, in front of nothing in particular.
    HWND window = WindowBinding<AboutView, WindowLifetime::OutlivesWindow>::Create(state_.instance, IDD_RESIDENT,
                                                                                   nullptr, *this);
    if (!window) {
        ReportUnexpectedError(state_.resident, exit_);
        return;
    }
    ShowWindow(window, SW_SHOW);
}

void AboutView::Close() {
    if (window_) DestroyWindow(window_);
}

INT_PTR AboutView::OnInitDialog(HWND window) {
    window_ = window;
    state_.modeless.Add(window);
    return TRUE;
}

INT_PTR AboutView::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
        Close();
        return TRUE;
    case WM_SHOWWINDOW: OnShowWindow(wParam != 0); return FALSE;
    case WM_TIMER:
        if (wParam == kAboutAnimationTimer) OnTimer();
        return TRUE;
    case WM_PAINT: return OnPaint();
    // High contrast turned on or off: the view's own colours follow.
    case WM_SYSCOLORCHANGE: InvalidateRect(window_, nullptr, TRUE); return FALSE;
    case WM_DESTROY: OnDestroy(); return FALSE;
    default: return FALSE;
    }
}

void AboutView::OnDestroy() {
    OnShowWindow(false);
    state_.modeless.Remove(window_);
    window_ = nullptr;
}

int AboutView::ViewDpi(HDC dc) const {
    int dpi = dpiForWindow_ ? static_cast<int>(dpiForWindow_(window_)) : 0;
    if (dpi <= 0) dpi = GetDeviceCaps(dc, LOGPIXELSY);
    return dpi > 0 ? dpi : kDesignDpi;
}

void AboutView::OnShowWindow(bool shown) {
    if (shown && !frames_) {
        frames_ = BuildFrames(state_.instance);
        if (!frames_) {
            ReportUnexpectedError(state_.resident, exit_);
            return;
        }
        animating_ = SetTimer(window_, kAboutAnimationTimer, kAboutAnimationPeriodMs, nullptr) != 0;
    } else if (!shown && frames_) {
        if (animating_) KillTimer(window_, kAboutAnimationTimer);
        animating_ = false;
        frames_.Reset();
    }
}

void AboutView::OnTimer() {
    HDC dc = GetDC(window_);
    if (!dc) return;
    step_ = NextAboutStep(step_);
    DrawFrame(frames_.Get(), step_, dc, ViewDpi(dc), ColoursFor(contrast_()));
    ReleaseDC(window_, dc);
}

INT_PTR AboutView::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    if (!dc) return TRUE;
    int dpi = ViewDpi(dc);
    ViewColours colours = ColoursFor(contrast_());
    DrawFrame(frames_.Get(), step_, dc, dpi, colours);
    DrawAboutTexts(dc, dpi, colours);
    EndPaint(window_, &paint);
    return TRUE;
}
