// Opening and closing the best settings dialog, which the shell keeps in
// g_shell.bestDialog and whose keys the message loop routes to it.
#ifndef TIVORN_SHELL_BEST_SETTINGS_H
#define TIVORN_SHELL_BEST_SETTINGS_H

#include "shell/shell_state.h"

// Creates the dialog, owned by the resident window, in mode kModeBestRequired
// or kModeBestFromMenu.  False (and the mode idle again) when it could not
// be created.
bool OpenBestSettings(AppMode mode);

// The dialog closed: flags (CloseFlag) are applied to playback and to the
// best menu, the dialog is destroyed and the mode is idle again.
void CloseBestSettings(int flags);

#endif
