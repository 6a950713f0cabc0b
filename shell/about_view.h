// The About view (the resident window made visible) and help.
#ifndef TIVORN_SHELL_ABOUT_VIEW_H
#define TIVORN_SHELL_ABOUT_VIEW_H

#include <windows.h>

// Timer of the resident window that animates the About view while it shows.
constexpr UINT_PTR kAboutAnimationTimer = 2;

// WM_SHOWWINDOW of the resident window.
void OnAboutShowWindow(HWND window, bool shown);
// Timer 2 of the resident window.
void OnAboutTimer(HWND window);
// WM_PAINT of the resident window; FALSE leaves the painting to the dialog.
INT_PTR OnAboutPaint(HWND window);

// Opens KORVEL.chm beside the program file with HTML Help.
void ShowHelp(HWND owner);

#endif
