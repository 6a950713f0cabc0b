// The About view (the resident window made visible) and help.
#ifndef TIVORN_SHELL_ABOUT_VIEW_H
#define TIVORN_SHELL_ABOUT_VIEW_H

#include <windows.h>

// Timer of the resident window that animates the About view while it shows.
constexpr UINT_PTR kAboutAnimationTimer = 2;

// WM_SHOWWINDOW of the resident window: the animation's pictures and timer
// exist only while the view shows.
void OnAboutShowWindow(HWND window, bool shown);
// Timer 2 of the resident window: the next step of the animation.
void OnAboutTimer(HWND window);
// WM_PAINT of the resident window: the current picture and the texts.
INT_PTR OnAboutPaint(HWND window);

// The animation's step (0 to 23); it runs on from where it stopped each time
// the view shows again.
int AboutAnimationStep();

// Opens KORVEL.chm beside the program file with HTML Help.
void ShowHelp(HWND owner);
// Closes the help windows at the program's end, before the process takes
// them away under HTML Help's own threads.
void CloseHelp();

#endif
