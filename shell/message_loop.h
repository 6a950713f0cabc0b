#ifndef TIVORN_SHELL_MESSAGE_LOOP_H
#define TIVORN_SHELL_MESSAGE_LOOP_H

#include "shell/shell_state.h"
#include "utils/exit_request.h"

// Runs until the quit message; returns its exit code.  The dialog keys go
// by the application mode in shell.  A loop that cannot fetch a message
// reports it and asks exit to end the program.
int RunMessageLoop(const ShellState &shell, ExitRequester &exit);

#endif
