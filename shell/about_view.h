// The About view: the resident window made visible, with its animation.
#ifndef TIVORN_SHELL_ABOUT_VIEW_H
#define TIVORN_SHELL_ABOUT_VIEW_H

#include <windows.h>

#include <commctrl.h>

#include "shell/shell_state.h"
#include "utils/exit_request.h"

// Whether the user turned high contrast on: the view then paints in the
// scheme's colours only.
enum class Contrast { Normal, High };
Contrast SystemContrast();

// Timer of the resident window that animates the About view while it shows.
constexpr UINT_PTR kAboutAnimationTimer = 2;

class AboutView {
public:
    AboutView(const ShellState &shell, ExitRequester &exit);
    ~AboutView();
    AboutView(const AboutView &) = delete;
    AboutView &operator=(const AboutView &) = delete;

    // WM_SHOWWINDOW of the resident window: the animation's pictures and
    // timer exist only while the view shows.
    void OnShowWindow(HWND window, bool shown);
    // Timer 2 of the resident window: the next step of the animation.
    void OnTimer(HWND window);
    // WM_PAINT of the resident window: the current picture and the texts.
    INT_PTR OnPaint(HWND window);

    // The animation's step (0 to 23); it runs on from where it stopped each
    // time the view shows again.
    int AnimationStep() const { return step_; }

    // Where the view learns whether high contrast is on: the system's
    // setting, or a stand-in for tests (Wine cannot switch it on).
    using ContrastQuery = Contrast (*)();
    void UseContrastQuery(ContrastQuery query) { contrast_ = query; }

private:
    // The view is a dialog, so it grows with the screen's DPI (the program
    // is DPI aware), and what it paints grows with it.
    int ViewDpi(HWND window, HDC dc) const;

    using DpiForWindow = UINT(WINAPI *)(HWND);

    const ShellState &shell_;
    ExitRequester &exit_;  // a view that cannot show its pictures ends the program
    DpiForWindow dpiForWindow_ = nullptr;  // null before Windows 10 1607
    ContrastQuery contrast_ = SystemContrast;
    HIMAGELIST frames_ = nullptr;          // exists only while the view shows
    bool animating_ = false;               // timer 2 runs
    int step_ = 0;                         // survives hiding: a reopened view runs on from here
};

#endif
