// The engine's keyboard hook for the two hotkeys.
#ifndef TIVORN_SHELL_HOTKEYS_H
#define TIVORN_SHELL_HOTKEYS_H

#include "shell/application_state.h"

class Store;

// What a hook that cannot be installed leads to, after the unexpected-error
// report.
enum class HookFailure {
    EndsProgram,  // the box is owned by the resident window; the caller ends the program
    GoesOn,       // the box has no owner and the program goes on without the hook
};

// Installs the hook, keeps it in shell.hook and records it in "Hook".
bool InstallHotkeyHook(ApplicationState &state, Store &store, HookFailure failure);
// Removes the hook, if one is installed.
void RemoveHotkeyHook(ApplicationState &state);

// The media keys (Play/Pause, Next, Previous, Stop) as hotkeys of window,
// which then receives WM_HOTKEY.  A key another program holds already stays
// with it: its registration fails, and the others are taken all the same.
void RegisterMediaKeys(HWND window);
void UnregisterMediaKeys(HWND window);
// The tray menu command a media key's WM_HOTKEY stands for, 0 for none.
UINT MediaKeyCommand(WPARAM hotkeyId, bool playing);

// Brings window (this thread's) to the foreground for a menu opened by the
// menu hotkey or a hand-over; false when the system refused it.
bool TakeForegroundForMenu(HWND window);

#endif
