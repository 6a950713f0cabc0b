// The program from start to end: everything WinMain does.
#ifndef TIVORN_SHELL_APPLICATION_H
#define TIVORN_SHELL_APPLICATION_H

#include <windows.h>

// Returns the process exit code.
int RunTivorn(HINSTANCE instance, const char *commandLine);

// Releases what start-up loaded: the menu and its bitmaps, the tray icon and
// the hotkey hook.
void ShutdownShell();

#endif
