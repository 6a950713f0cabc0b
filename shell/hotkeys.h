// The engine's keyboard hook for the two hotkeys.
#ifndef TIVORN_SHELL_HOTKEYS_H
#define TIVORN_SHELL_HOTKEYS_H

// Installs the hook and records it in "Hook".  On failure gives the
// unexpected-error report: with fatal set the program then shuts down; without
// it the box has no owner and the program goes on without the hook.
bool InstallHotkeyHook(bool fatal);
// Removes the hook, if one is installed.
void RemoveHotkeyHook();

#endif
