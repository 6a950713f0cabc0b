// The hidden resident window (template 104) that receives every command.
#ifndef TIVORN_SHELL_RESIDENT_WINDOW_H
#define TIVORN_SHELL_RESIDENT_WINDOW_H

#include <windows.h>

// Creates the window hidden; null on failure.
HWND CreateResidentWindow();

INT_PTR CALLBACK ResidentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
