// The hidden resident window (template 104) that receives every command.
#ifndef TIVORN_SHELL_RESIDENT_WINDOW_H
#define TIVORN_SHELL_RESIDENT_WINDOW_H

#include <windows.h>

#include "shell/shell_state.h"

// Creates the window hidden; null on failure.
HWND CreateResidentWindow();

INT_PTR CALLBACK ResidentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The application mode once the best settings dialog is gone: About showing
// while the window shows as the About view (opened over the dialog), else idle.
AppMode ModeWithoutBestSettings();

#endif
