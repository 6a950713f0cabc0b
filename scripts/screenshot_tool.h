// What the parts of screenshot_tool.exe share: the capture of windows into
// BMP files, the tally of what was written, and the program's shell whose
// windows are shown.
#ifndef TIVORN_SCRIPTS_SCREENSHOT_TOOL_H
#define TIVORN_SCRIPTS_SCREENSHOT_TOOL_H

#include <windows.h>

#include <vector>

#include "shell/application.h"

namespace shots {

// ---------------------------------------------------------------------------
// Small owners of GDI objects.

class MemoryDC {
public:
    explicit MemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDC() { if (dc_) DeleteDC(dc_); }
    MemoryDC(const MemoryDC &) = delete;
    MemoryDC &operator=(const MemoryDC &) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

inline HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

// The program's shell, whose windows and menu are shown.
Application &App();

struct Capture {
    const char *folder;
    int failures;
};

bool SaveWindows(const std::vector<HWND> &windows, const char *folder, const char *name);
bool SaveWindow(HWND window, const char *folder, const char *name);
void Settle(HWND window);
// Prints what was written or failed, and counts the failures.
void Report(Capture &capture, const char *name, bool ok);

// The scenes, in the order they are shot: the tray menu and the picture
// sheet (screenshot_pictures.cpp), then the program's windows over a scratch
// MIDI folder (screenshot_scenes.cpp).
void ShootTrayMenu(Capture &capture);
void ShootImageSheet(Capture &capture);
void ShootProgramScenes(Capture &capture);

}  // namespace shots

#endif
