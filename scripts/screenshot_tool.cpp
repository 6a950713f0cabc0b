// screenshot_tool.exe OUTPUT-FOLDER
//
// Shows every window of the program, built from the program's own resources,
// and writes what is on screen as one BMP per window into OUTPUT-FOLDER
// (scripts/screenshots.sh turns them into PNGs).  The windows are the
// program's own, opened the way a user opens them: the About view from the
// resident window's menu command, the best settings dialog as the tray menu
// opens it over a scratch MIDI folder and best file (once in each check-mark
// look, and on its all-files tab), and the advanced settings and best name
// dialogs from its buttons.
//
// The exit code is the number of windows that could not be captured.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "screenshot_tool.h"

namespace shots {
namespace {

// The whole window's device context, frame and title bar included.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
    ~WindowDC() { if (dc_) ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC &) = delete;
    WindowDC &operator=(const WindowDC &) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

}  // namespace

Application &App() {
    static Application app(Instance());
    return app;
}

// ---------------------------------------------------------------------------
// Capture

// Windows that overlap (a menu and its open submenu) go into one picture
// of the area they cover, the later ones over the earlier, on white.
bool SaveWindows(const std::vector<HWND> &windows, const char *folder, const char *name) {
    RECT r = {};
    for (HWND window : windows) {
        RECT part;
        GetWindowRect(window, &part);
        if (window == windows.front()) r = part;
        else UnionRect(&r, &r, &part);
    }
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (windows.empty() || width <= 0 || height <= 0) return false;

    WindowDC first(windows.front());
    MemoryDC memory(first.get());
    HBITMAP bitmap = CreateCompatibleBitmap(first.get(), width, height);
    if (!first.get() || !memory.get() || !bitmap) {
        if (bitmap) DeleteObject(bitmap);
        return false;
    }
    {
        Selection select(memory.get(), bitmap);
        PatBlt(memory.get(), 0, 0, width, height, WHITENESS);
        for (HWND window : windows) {
            RECT part;
            GetWindowRect(window, &part);
            WindowDC source(window);
            BitBlt(memory.get(), part.left - r.left, part.top - r.top, part.right - part.left,
                   part.bottom - part.top, source.get(), 0, 0, SRCCOPY);
        }
    }

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    info.biSizeImage = stride * height;
    std::vector<BYTE> pixels(info.biSizeImage);
    int rows = GetDIBits(memory.get(), bitmap, 0, height, pixels.data(),
                         reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    if (rows != height) return false;

    char path[MAX_PATH];
    if (snprintf(path, sizeof path, "%s\\%s.bmp", folder, name) >= static_cast<int>(sizeof path))
        return false;
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;
    bool written = fwrite(&header, sizeof header, 1, file) == 1 &&
                   fwrite(&info, sizeof info, 1, file) == 1 &&
                   fwrite(pixels.data(), pixels.size(), 1, file) == 1;
    return fclose(file) == 0 && written;
}

bool SaveWindow(HWND window, const char *folder, const char *name) {
    return SaveWindows({window}, folder, name);
}

// Lets the window and its children finish painting before the capture.
void Settle(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    for (int round = 0; round < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++round) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
}

void Report(Capture &capture, const char *name, bool ok) {
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", name);
    if (!ok) ++capture.failures;
}

}  // namespace shots

int main(int argc, char **argv) {
    using namespace shots;
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot_tool OUTPUT-FOLDER\n");
        return 100;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES |
                                                          ICC_HOTKEY_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Capture capture = {argv[1], 0};
    ShootTrayMenu(capture);
    ShootImageSheet(capture);
    // Last: the resident window it makes ends the message loop when it goes.
    ShootProgramScenes(capture);
    return capture.failures;
}
