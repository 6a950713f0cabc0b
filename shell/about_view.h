// The About view, with its animation.
#ifndef TIVORN_SHELL_ABOUT_VIEW_H
#define TIVORN_SHELL_ABOUT_VIEW_H

#include <windows.h>

#include <commctrl.h>

#include "shell/application_state.h"
#include "utils/exit_request.h"
#include "utils/image_list.h"
#include "utils/window_binding.h"

// Whether the user turned high contrast on: the view then paints in the
// scheme's colours only.
enum class Contrast { Normal, High };
Contrast SystemContrast();

// Timer of the About window that animates it while it is open.
constexpr UINT_PTR kAboutAnimationTimer = 2;

// The About view: a window of its own (template IDD_RESIDENT, as the
// resident window, for the same look), made by Open and destroyed when it
// is closed, among the message loop's modeless windows while it is open.
// The application owns this object, which outlives each window.
class AboutView {
public:
    AboutView(ApplicationState &state, ExitRequester &exit);
    ~AboutView();
    AboutView(const AboutView &) = delete;
    AboutView &operator=(const AboutView &) = delete;

    // Shows the view; one that is open already stays as it is.
    void Open();
    // Destroys the view's window, if open.
    void Close();
    // The view's window while it is open, else null.
    HWND window() const { return window_; }

    // The animation's step (0 to 23); it runs on from where it stopped each
    // time the view shows again.
    int AnimationStep() const { return step_; }

    // Where the view learns whether high contrast is on: the system's
    // setting, or a stand-in for tests (Wine cannot switch it on).
    using ContrastQuery = Contrast (*)();
    void UseContrastQuery(ContrastQuery query) { contrast_ = query; }

private:
    friend class WindowBinding<AboutView, WindowLifetime::OutlivesWindow>;

    INT_PTR OnInitDialog(HWND window);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The animation's pictures and timer exist only while the view shows.
    void OnShowWindow(bool shown);
    // The next step of the animation.
    void OnTimer();
    // The current picture and the texts.
    INT_PTR OnPaint();
    void OnDestroy();

    // The view is a dialog, so it grows with the screen's DPI (the program
    // is DPI aware), and what it paints grows with it.
    int ViewDpi(HDC dc) const;

    using DpiForWindow = UINT(WINAPI *)(HWND);

    ApplicationState &state_;
    ExitRequester &exit_;  // a view that cannot show its pictures ends the program
    HWND window_ = nullptr;
    DpiForWindow dpiForWindow_ = nullptr;  // null before Windows 10 1607
    ContrastQuery contrast_ = SystemContrast;
    ImageList frames_;                     // exists only while the view shows
    bool animating_ = false;               // the animation's timer runs
    int step_ = 0;                         // survives closing: a reopened view runs on from here
};

#endif
