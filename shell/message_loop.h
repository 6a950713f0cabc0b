#ifndef TIVORN_SHELL_MESSAGE_LOOP_H
#define TIVORN_SHELL_MESSAGE_LOOP_H

#include "shell/shell_state.h"

// Runs until the quit message; returns its exit code.  The dialog keys go
// by the application mode in shell.
int RunMessageLoop(const ShellState &shell);

#endif
